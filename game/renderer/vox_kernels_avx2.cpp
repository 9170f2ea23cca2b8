// AVX2 span kernel for the lines of the top and bottom regions: eight pixels
// per step, each 128-bit half doing what the SSE2 kernel does for four, so
// the results equal the other sets bit for bit (no fused multiply-add: the
// file is built without it). The table kernel stays the SSE2 one. Only
// called when the processor and system support AVX2.
#include <immintrin.h>

#include "renderer/vox_kernels_x4.h"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

// Fog of eight pixels: vox_fog4's steps in each half.
inline __m256i fog8(__m256i col, __m256i dist, __m256i fog)
{
    __m256i k = _mm256_packs_epi32(_mm256_srai_epi32(dist, 20), _mm256_srai_epi32(dist, 20));
    k = _mm256_min_epi16(_mm256_max_epi16(k, _mm256_setzero_si256()), _mm256_set1_epi16(1536));
    const __m256i ramp = _mm256_add_epi16(_mm256_mullo_epi16(k, _mm256_set1_epi16(21)),
                                          _mm256_mulhi_epu16(k, _mm256_set1_epi16(0x5555)));
    const __m256i ramp4 = _mm256_unpacklo_epi16(ramp, ramp);
    const __m256i ramp01 = _mm256_unpacklo_epi32(ramp4, ramp4);
    const __m256i ramp23 = _mm256_unpackhi_epi32(ramp4, ramp4);
    const __m256i zero = _mm256_setzero_si256();
    __m256i lo = _mm256_unpacklo_epi8(col, zero);
    __m256i hi = _mm256_unpackhi_epi8(col, zero);
    const __m256i dlo = _mm256_slli_epi16(_mm256_sub_epi16(fog, lo), 1);
    const __m256i dhi = _mm256_slli_epi16(_mm256_sub_epi16(fog, hi), 1);
    lo = _mm256_add_epi16(lo, _mm256_mulhi_epi16(dlo, ramp01));
    hi = _mm256_add_epi16(hi, _mm256_mulhi_epi16(dhi, ramp23));
    return _mm256_packus_epi16(lo, hi);
}

// Splits samples as (colour, distance) pairs, s0123 and s4567, into the
// colours and the distances of pixels 0..7 (pixels 0..3 in the low half).
inline void split8(__m256i s0123, __m256i s4567, __m256i *col, __m256i *dist)
{
    const __m256i evens = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const __m256i a = _mm256_permutevar8x32_epi32(s0123, evens); // c0 c1 c2 c3 d0 d1 d2 d3
    const __m256i b = _mm256_permutevar8x32_epi32(s4567, evens); // c4 c5 c6 c7 d4 d5 d6 d7
    *col = _mm256_permute2x128_si256(a, b, 0x20);
    *dist = _mm256_permute2x128_si256(a, b, 0x31);
}

// Depth of pixels fx (as floats): dist / sqrt(X^2 + Y^2), X = rowx + fx ax.
inline __m256 depth8(__m256i dist, __m256 fx, __m256 rowx, __m256 rowy, __m256 ax, __m256 ay)
{
    const __m256 X = _mm256_add_ps(rowx, _mm256_mul_ps(fx, ax));
    const __m256 Y = _mm256_add_ps(rowy, _mm256_mul_ps(fx, ay));
    __m256 sq = _mm256_add_ps(_mm256_mul_ps(X, X), _mm256_mul_ps(Y, Y));
    sq = _mm256_max_ps(sq, _mm256_set1_ps(1e-30f));
    return _mm256_div_ps(_mm256_cvtepi32_ps(dist), _mm256_sqrt_ps(sq));
}

template <bool Fast>
void spanstep(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex)
{
    const SpanKernelParams &p = vox_kparams;
    const RaySample *row = Fast ? vox_sample_row(sampleindex) : nullptr;
    const VoxLine ln = vox_line(y);
    const float rowxs = ln.rowx, rowys = ln.rowy;
    uint8_t *line = ln.pixels;
    const intptr_t zoff = p.zoffset;
    uint32_t rn = (uint32_t)raynumber;
    const uint32_t st = (uint32_t)raystep;
    int32_t x = x0;
    for (; x < x1 && (((uintptr_t)(line + 4 * (intptr_t)x)) & 15); x++, rn += st)
        vox_put_pixel(x, y, vox_pick<Fast>(row, (int32_t)rn, sampleindex), rowxs, rowys);
    const __m128 rowx4 = _mm_set1_ps(rowxs), rowy4 = _mm_set1_ps(rowys);
    const __m128 ax4 = _mm_set1_ps(p.ax), ay4 = _mm_set1_ps(p.ay);
    const __m128i fog4v = vox_fog_words();
    auto group4 = [&]() {
        const __m128 fx = _mm_cvtepi32_ps(_mm_setr_epi32(x, x + 1, x + 2, x + 3));
        vox_put4(line + 4 * (intptr_t)x, fx, vox_pick<Fast>(row, (int32_t)rn, sampleindex),
             vox_pick<Fast>(row, (int32_t)(rn + st), sampleindex), vox_pick<Fast>(row, (int32_t)(rn + 2 * st), sampleindex),
             vox_pick<Fast>(row, (int32_t)(rn + 3 * st), sampleindex), rowx4, rowy4, ax4, ay4, fog4v);
        x += 4;
        rn += 4 * st;
    };
    if (x + 4 <= x1 && (((uintptr_t)(line + 4 * (intptr_t)x)) & 31)) group4();
    if (x + 8 <= x1) {
        const __m256 rowx = _mm256_set1_ps(rowxs), rowy = _mm256_set1_ps(rowys);
        const __m256 ax = _mm256_set1_ps(p.ax), ay = _mm256_set1_ps(p.ay);
        const __m256i fog = _mm256_broadcastsi128_si256(fog4v);
        __m256 fx = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
        const __m256 eight = _mm256_set1_ps(8.0f);
        const uint32_t st2 = 2 * st, st3 = 3 * st, st4 = 4 * st, st5 = 5 * st, st6 = 6 * st, st7 = 7 * st;
        for (; x + 8 <= x1; x += 8, rn += 8 * st, fx = _mm256_add_ps(fx, eight)) {
            auto two = [&](uint32_t a, uint32_t b) {
                return _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i *)vox_pick<Fast>(row, (int32_t)a, sampleindex)),
                                          _mm_loadl_epi64((const __m128i *)vox_pick<Fast>(row, (int32_t)b, sampleindex)));
            };
            const __m256i s0123 = _mm256_inserti128_si256(_mm256_castsi128_si256(two(rn, rn + st)),
                                                          two(rn + st2, rn + st3), 1);
            const __m256i s4567 = _mm256_inserti128_si256(_mm256_castsi128_si256(two(rn + st4, rn + st5)),
                                                          two(rn + st6, rn + st7), 1);
            __m256i col, dist;
            split8(s0123, s4567, &col, &dist);
            uint8_t *pix = line + 4 * (intptr_t)x;
            _mm256_stream_si256((__m256i *)pix, fog8(col, dist, fog));
            _mm256_stream_ps((float *)(pix + zoff), depth8(dist, fx, rowx, rowy, ax, ay));
        }
    }
    if (x + 4 <= x1) group4();
    for (; x < x1; x++, rn += st) vox_put_pixel(x, y, vox_pick<Fast>(row, (int32_t)rn, sampleindex), rowxs, rowys);
}

} // namespace

void drawspanstepavx2(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex)
{
    if (vox_span_in_range(x0, x1, raynumber, raystep, sampleindex))
        spanstep<true>(x0, y, x1, raynumber, raystep, sampleindex);
    else
        spanstep<false>(x0, y, x1, raynumber, raystep, sampleindex);
}

#pragma GCC pop_options
