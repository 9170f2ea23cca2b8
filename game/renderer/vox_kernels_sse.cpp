// SSE2 span kernels: single pixels up to a 16-byte boundary, then four pixels
// per step (exact sqrt and division, packed 16-bit fog, streaming stores),
// then single pixels. Results equal the scalar kernels bit for bit.
#include "renderer/vox_kernels.h"

#include <emmintrin.h>

// Four pixels from x (16-byte aligned pixel address) with the given samples;
// fx holds x .. x + 3 as floats.
static inline void put4(uint8_t *pix, __m128 fx, const RaySample *s0, const RaySample *s1, const RaySample *s2,
                        const RaySample *s3, __m128 rowx, __m128 rowy, __m128 ax, __m128 ay, __m128i fog)
{
    // Samples are (colour, distance) pairs: two per register, then split.
    const __m128 p01 = _mm_castsi128_ps(
        _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i *)s0), _mm_loadl_epi64((const __m128i *)s1)));
    const __m128 p23 = _mm_castsi128_ps(
        _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i *)s2), _mm_loadl_epi64((const __m128i *)s3)));
    const __m128i col = _mm_castps_si128(_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i dist = _mm_castps_si128(_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1)));

    // Depth: dist / sqrt(X^2 + Y^2), with X = rowx + x * ax, as the scalar path.
    const __m128 X = _mm_add_ps(rowx, _mm_mul_ps(fx, ax));
    const __m128 Y = _mm_add_ps(rowy, _mm_mul_ps(fx, ay));
    __m128 sq = _mm_add_ps(_mm_mul_ps(X, X), _mm_mul_ps(Y, Y));
    sq = _mm_max_ps(sq, _mm_set1_ps(1e-30f));
    const __m128 depth = _mm_div_ps(_mm_cvtepi32_ps(dist), _mm_sqrt_ps(sq));

    // Fog ramp entry of dist >> 20, computed rather than looked up: the table
    // holds (k * 0x155555) >> 16 = 21 k + ((k * 0x5555) >> 16) for k below
    // 1536 and 0x7FFF, the same expression at k = 1536, from there on.
    __m128i k = _mm_packs_epi32(_mm_srai_epi32(dist, 20), _mm_srai_epi32(dist, 20));
    k = _mm_min_epi16(_mm_max_epi16(k, _mm_setzero_si128()), _mm_set1_epi16(1536));
    const __m128i ramp = _mm_add_epi16(_mm_mullo_epi16(k, _mm_set1_epi16(21)),
                                       _mm_mulhi_epu16(k, _mm_set1_epi16(0x5555)));
    const __m128i ramp4 = _mm_unpacklo_epi16(ramp, ramp); // r0 r0 r1 r1 r2 r2 r3 r3
    const __m128i ramp01 = _mm_unpacklo_epi32(ramp4, ramp4);
    const __m128i ramp23 = _mm_unpackhi_epi32(ramp4, ramp4);
    const __m128i zero = _mm_setzero_si128();
    __m128i lo = _mm_unpacklo_epi8(col, zero);
    __m128i hi = _mm_unpackhi_epi8(col, zero);
    const __m128i dlo = _mm_slli_epi16(_mm_sub_epi16(fog, lo), 1);
    const __m128i dhi = _mm_slli_epi16(_mm_sub_epi16(fog, hi), 1);
    lo = _mm_add_epi16(lo, _mm_mulhi_epi16(dlo, ramp01));
    hi = _mm_add_epi16(hi, _mm_mulhi_epi16(dhi, ramp23));
    _mm_stream_si128((__m128i *)pix, _mm_packus_epi16(lo, hi));
    _mm_stream_ps((float *)(pix + vox_kparams.zoffset), depth);
}

// The sample of ray number rn: unclamped from the span's row of samples, or
// clamped to what the ray holds.
template <bool Fast>
static inline const RaySample *pick(const RaySample *row, int32_t rn, int32_t sampleindex)
{
    return Fast ? &row[(uint32_t)rn >> 16] : vox_sample_at(rn, sampleindex);
}

template <bool Fast>
static void spanstep(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex)
{
    const SpanKernelParams &p = vox_kparams;
    const RaySample *row = Fast ? vox_sample_row(sampleindex) : nullptr;
    const float fy = (float)y;
    const float rowxs = p.cx + fy * p.dx;
    const float rowys = p.cy + fy * p.dy;
    uint8_t *line = p.pixels + (intptr_t)y * p.pitch;
    uint32_t rn = (uint32_t)raynumber;
    int32_t x = x0;
    for (; x < x1 && (((uintptr_t)(line + 4 * (intptr_t)x)) & 15); x++, rn += (uint32_t)raystep)
        vox_put_pixel(x, y, pick<Fast>(row, (int32_t)rn, sampleindex), rowxs, rowys);
    if (x + 4 <= x1) {
        const __m128 rowx = _mm_set1_ps(rowxs), rowy = _mm_set1_ps(rowys);
        const __m128 ax = _mm_set1_ps(p.ax), ay = _mm_set1_ps(p.ay);
        const __m128i fog = _mm_setr_epi16((short)p.fog[0], (short)p.fog[1], (short)p.fog[2], (short)p.fog[3],
                                           (short)p.fog[0], (short)p.fog[1], (short)p.fog[2], (short)p.fog[3]);
        const uint32_t st = (uint32_t)raystep;
        __m128 fx = _mm_cvtepi32_ps(_mm_setr_epi32(x, x + 1, x + 2, x + 3));
        const __m128 four = _mm_set1_ps(4.0f);
        for (; x + 4 <= x1; x += 4, rn += 4 * st, fx = _mm_add_ps(fx, four)) {
            const RaySample *s0 = pick<Fast>(row, (int32_t)rn, sampleindex);
            const RaySample *s1 = pick<Fast>(row, (int32_t)(rn + st), sampleindex);
            const RaySample *s2 = pick<Fast>(row, (int32_t)(rn + 2 * st), sampleindex);
            const RaySample *s3 = pick<Fast>(row, (int32_t)(rn + 3 * st), sampleindex);
            put4(line + 4 * (intptr_t)x, fx, s0, s1, s2, s3, rowx, rowy, ax, ay, fog);
        }
    }
    for (; x < x1; x++, rn += (uint32_t)raystep)
        vox_put_pixel(x, y, pick<Fast>(row, (int32_t)rn, sampleindex), rowxs, rowys);
}

void drawspanstepsse(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex)
{
    if (vox_span_in_range(x0, x1, raynumber, raystep, sampleindex))
        spanstep<true>(x0, y, x1, raynumber, raystep, sampleindex);
    else
        spanstep<false>(x0, y, x1, raynumber, raystep, sampleindex);
}

void drawspantablesse(int32_t x0, int32_t y, int32_t x1, int32_t sampleindex, int32_t step, int32_t *raytable)
{
    const SpanKernelParams &p = vox_kparams;
    const float fy = (float)y;
    const float rowxs = p.cx + fy * p.dx;
    const float rowys = p.cy + fy * p.dy;
    uint8_t *line = p.pixels + (intptr_t)y * p.pitch;
    int32_t *rn = raytable;
    int32_t x = x0;
    auto next = [&](int32_t xx) {
        const int32_t r = rn[xx];
        rn[xx] = (int32_t)((uint32_t)r + (uint32_t)rn[xx + VOX_MAX_XRES]);
        return r;
    };
    for (; x < x1 && (((uintptr_t)(line + 4 * (intptr_t)x)) & 15); x++, sampleindex += step)
        vox_put_pixel(x, y, vox_sample_at(next(x), sampleindex), rowxs, rowys);
    if (x + 4 <= x1) {
        const __m128 rowx = _mm_set1_ps(rowxs), rowy = _mm_set1_ps(rowys);
        const __m128 ax = _mm_set1_ps(p.ax), ay = _mm_set1_ps(p.ay);
        const __m128i fog = _mm_setr_epi16((short)p.fog[0], (short)p.fog[1], (short)p.fog[2], (short)p.fog[3],
                                           (short)p.fog[0], (short)p.fog[1], (short)p.fog[2], (short)p.fog[3]);
        __m128 fx = _mm_cvtepi32_ps(_mm_setr_epi32(x, x + 1, x + 2, x + 3));
        const __m128 four = _mm_set1_ps(4.0f);
        for (; x + 4 <= x1; x += 4, sampleindex += 4 * step, fx = _mm_add_ps(fx, four)) {
            const RaySample *s0 = vox_sample_at(next(x), sampleindex);
            const RaySample *s1 = vox_sample_at(next(x + 1), sampleindex + step);
            const RaySample *s2 = vox_sample_at(next(x + 2), sampleindex + 2 * step);
            const RaySample *s3 = vox_sample_at(next(x + 3), sampleindex + 3 * step);
            put4(line + 4 * (intptr_t)x, fx, s0, s1, s2, s3, rowx, rowy, ax, ay, fog);
        }
    }
    for (; x < x1; x++, sampleindex += step)
        vox_put_pixel(x, y, vox_sample_at(next(x), sampleindex), rowxs, rowys);
}
