// SSE2 span kernels: single pixels up to a 16-byte boundary, then four pixels
// per step (exact sqrt and division, packed 16-bit fog, streaming stores),
// then single pixels. Results equal the scalar kernels bit for bit.
#include "renderer/vox_kernels_x4.h"

template <bool Fast>
static void spanstep(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex)
{
    const SpanKernelParams &p = vox_kparams;
    const RaySample *row = Fast ? vox_sample_row(sampleindex) : nullptr;
    const VoxLine ln = vox_line(y);
    const float rowxs = ln.rowx, rowys = ln.rowy;
    uint8_t *line = ln.pixels;
    uint32_t rn = (uint32_t)raynumber;
    int32_t x = x0;
    for (; x < x1 && (((uintptr_t)(line + 4 * (intptr_t)x)) & 15); x++, rn += (uint32_t)raystep)
        vox_put_pixel(x, y, vox_pick<Fast>(row, (int32_t)rn, sampleindex), rowxs, rowys);
    if (x + 4 <= x1) {
        const __m128 rowx = _mm_set1_ps(rowxs), rowy = _mm_set1_ps(rowys);
        const __m128 ax = _mm_set1_ps(p.ax), ay = _mm_set1_ps(p.ay);
        const __m128i fog = vox_fog_words();
        const uint32_t st = (uint32_t)raystep;
        __m128 fx = _mm_cvtepi32_ps(_mm_setr_epi32(x, x + 1, x + 2, x + 3));
        const __m128 four = _mm_set1_ps(4.0f);
        for (; x + 4 <= x1; x += 4, rn += 4 * st, fx = _mm_add_ps(fx, four)) {
            const RaySample *s0 = vox_pick<Fast>(row, (int32_t)rn, sampleindex);
            const RaySample *s1 = vox_pick<Fast>(row, (int32_t)(rn + st), sampleindex);
            const RaySample *s2 = vox_pick<Fast>(row, (int32_t)(rn + 2 * st), sampleindex);
            const RaySample *s3 = vox_pick<Fast>(row, (int32_t)(rn + 3 * st), sampleindex);
            vox_put4(line + 4 * (intptr_t)x, fx, s0, s1, s2, s3, rowx, rowy, ax, ay, fog);
        }
    }
    for (; x < x1; x++, rn += (uint32_t)raystep)
        vox_put_pixel(x, y, vox_pick<Fast>(row, (int32_t)rn, sampleindex), rowxs, rowys);
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
    const VoxLine ln = vox_line(y);
    const float rowxs = ln.rowx, rowys = ln.rowy;
    uint8_t *line = ln.pixels;
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
        const __m128i fog = vox_fog_words();
        __m128 fx = _mm_cvtepi32_ps(_mm_setr_epi32(x, x + 1, x + 2, x + 3));
        const __m128 four = _mm_set1_ps(4.0f);
        for (; x + 4 <= x1; x += 4, sampleindex += 4 * step, fx = _mm_add_ps(fx, four)) {
            const RaySample *s0 = vox_sample_at(next(x), sampleindex);
            const RaySample *s1 = vox_sample_at(next(x + 1), sampleindex + step);
            const RaySample *s2 = vox_sample_at(next(x + 2), sampleindex + 2 * step);
            const RaySample *s3 = vox_sample_at(next(x + 3), sampleindex + 3 * step);
            vox_put4(line + 4 * (intptr_t)x, fx, s0, s1, s2, s3, rowx, rowy, ax, ay, fog);
        }
    }
    for (; x < x1; x++, sampleindex += step)
        vox_put_pixel(x, y, vox_sample_at(next(x), sampleindex), rowxs, rowys);
}
