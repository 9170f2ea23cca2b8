// SSE2 voxel-cube kernel and vector helpers: corners projected two at a time,
// the rectangle clipped with saturating 16-bit arithmetic, four pixels per
// depth test where the rectangle is wide enough. Results equal the scalar set
// bit for bit (exact division, the same clamping before truncation).
#include <emmintrin.h>

#include "renderer/vox_cube.h"

// Corners a and b of the voxel at base v, divided by their depths:
// (xa, ya, xb, yb) as 32-bit integers, saturated to the 16-bit range.
static inline __m128i project2(__m128 v, int a, int b)
{
    const __m128 pa = _mm_add_ps(v, _mm_load_ps(vox_cube.corners[a]));
    const __m128 pb = _mm_add_ps(v, _mm_load_ps(vox_cube.corners[b]));
    const __m128 xy = _mm_shuffle_ps(pa, pb, _MM_SHUFFLE(1, 0, 1, 0));
    const __m128 dd = _mm_shuffle_ps(pa, pb, _MM_SHUFFLE(2, 2, 2, 2));
    __m128 q = _mm_div_ps(xy, dd);
    q = _mm_min_ps(_mm_max_ps(q, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
    return _mm_cvttps_epi32(q);
}

int projectvoxelcubesse(const Kv6Voxel *voxel, uint32_t mask, const float *columnbase, CubeRect *r)
{
    const uint32_t set = mask & voxel->faces;
    if (!set) return 0;
    const CubeParams &p = vox_cube;
    const __m128 v =
        _mm_add_ps(_mm_load_ps(columnbase), _mm_load_ps(p.depthsteps[voxel->z & (VOX_DEPTH_STEPS - 1)]));
    const __m128 depth = _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2));
    if (_mm_cvtss_f32(depth) < p.nearlimit) return 0;
    const uint8_t *sil = SilhouetteTable[set];
    if (!sil[0]) return 0;

    // Words x, y of four corners; six corners repeat the last two.
    const __m128i a = _mm_packs_epi32(project2(v, sil[1], sil[2]), project2(v, sil[3], sil[4]));
    __m128i lo = a, hi = a;
    if (sil[0] == 6) {
        const __m128i q = project2(v, sil[5], sil[6]);
        const __m128i b = _mm_packs_epi32(q, q);
        lo = _mm_min_epi16(lo, b);
        hi = _mm_max_epi16(hi, b);
    }
    lo = _mm_min_epi16(lo, _mm_shuffle_epi32(lo, _MM_SHUFFLE(1, 0, 3, 2)));
    hi = _mm_max_epi16(hi, _mm_shuffle_epi32(hi, _MM_SHUFFLE(1, 0, 3, 2)));
    lo = _mm_min_epi16(lo, _mm_shuffle_epi32(lo, _MM_SHUFFLE(2, 3, 0, 1)));
    hi = _mm_max_epi16(hi, _mm_shuffle_epi32(hi, _MM_SHUFFLE(2, 3, 0, 1)));
    // (min x, min y, max x, max y), biased and clipped.
    __m128i box = _mm_unpacklo_epi32(lo, hi);
    box = _mm_adds_epi16(box, _mm_loadl_epi64((const __m128i *)p.screenoffset));
    box = _mm_max_epi16(box, _mm_loadl_epi64((const __m128i *)p.clipmin));
    r->x0 = (int16_t)_mm_extract_epi16(box, 0);
    r->y0 = (int16_t)_mm_extract_epi16(box, 1);
    r->w = (int16_t)_mm_extract_epi16(box, 2) - r->x0;
    r->h = (int16_t)_mm_extract_epi16(box, 3) - r->y0;
    if (r->w <= 0 || r->h <= 0) return 0;

    __m128i c = _mm_unpacklo_epi8(_mm_setzero_si128(), _mm_cvtsi32_si128((int)voxel->colour));
    c = _mm_mulhi_epu16(c, _mm_loadl_epi64((const __m128i *)p.lighttable[voxel->normalindex]));
    c = _mm_add_epi16(c, _mm_loadl_epi64((const __m128i *)p.colouradd));
    r->colour = (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(c, c));
    r->depth = _mm_cvtss_f32(depth);
    return 1;
}

void fillvoxelrectsse(const CubeRect *r, int32_t y0, int32_t y1)
{
    const CubeParams &p = vox_cube;
    const int32_t ja = y0 > r->y0 ? y0 - r->y0 : 0, jb = y1 < r->y0 + r->h ? y1 - r->y0 : r->h;
    const float d = r->depth;
    const __m128 depth = _mm_set1_ps(d);
    const __m128i colour4 = _mm_set1_epi32((int)r->colour);
    uint8_t *row = (uint8_t *)(p.framebase + 4 * (intptr_t)r->x0 + p.pitch * (intptr_t)(r->y0 + ja));
    for (int32_t j = ja; j < jb; j++, row += p.pitch) {
        int32_t i = 0;
        for (; i + 4 <= r->w; i += 4) {
            uint8_t *pix = row + 4 * i;
            float *zp = (float *)(pix + p.zoffset);
            const __m128 old = _mm_loadu_ps(zp);
            const __m128 nearer = _mm_cmplt_ps(depth, old);
            _mm_storeu_ps(zp, _mm_or_ps(_mm_and_ps(nearer, depth), _mm_andnot_ps(nearer, old)));
            const __m128i m = _mm_castps_si128(nearer);
            const __m128i px = _mm_loadu_si128((const __m128i *)pix);
            _mm_storeu_si128((__m128i *)pix, _mm_or_si128(_mm_and_si128(m, colour4), _mm_andnot_si128(m, px)));
        }
        for (; i < r->w; i++) vox_cube_pixel(row + 4 * i, d, r->colour);
    }
}

void drawvoxelcubesse(const Kv6Voxel *voxel, uint32_t mask)
{
    CubeRect r;
    if (projectvoxelcubesse(voxel, mask, vox_cube.columnbase, &r)) fillvoxelrectsse(&r, INT32_MIN, INT32_MAX);
}

float *copyvec4(float *out, const float *a)
{
    _mm_store_ps(out, _mm_load_ps(a));
    return out;
}

float *splatvec4(float *out, int32_t value)
{
    _mm_store_ps(out, _mm_cvtepi32_ps(_mm_set1_epi32(value)));
    return out;
}

float *addvec4(float *out, const float *a, const float *b)
{
    _mm_store_ps(out, _mm_add_ps(_mm_load_ps(a), _mm_load_ps(b)));
    return out;
}

float *mulvec4(float *out, const float *a, const float *b)
{
    _mm_store_ps(out, _mm_mul_ps(_mm_load_ps(a), _mm_load_ps(b)));
    return out;
}

float *subvec4(float *out, const float *a, const float *b)
{
    _mm_store_ps(out, _mm_sub_ps(_mm_load_ps(a), _mm_load_ps(b)));
    return out;
}
