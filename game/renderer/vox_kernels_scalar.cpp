// Portable span kernels: one pixel at a time, the reference for the SSE set.
#include "renderer/vox_kernels.h"

void drawspanstepscalar(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex)
{
    const VoxLine ln = vox_line(y);
    const float rowx = ln.rowx, rowy = ln.rowy;
    uint32_t rn = (uint32_t)raynumber;
    if (vox_span_in_range(x0, x1, raynumber, raystep, sampleindex)) {
        const RaySample *row = vox_sample_row(sampleindex);
        for (int32_t x = x0; x < x1; x++, rn += (uint32_t)raystep) vox_put_pixel(x, y, vox_row_sample(row, rn >> 16, sampleindex), rowx, rowy);
        return;
    }
    for (int32_t x = x0; x < x1; x++, rn += (uint32_t)raystep)
        vox_put_pixel(x, y, vox_sample_at((int32_t)rn, sampleindex), rowx, rowy);
}

void drawspantablescalar(int32_t x0, int32_t y, int32_t x1, int32_t sampleindex, int32_t step, int32_t *raytable)
{
    const VoxLine ln = vox_line(y);
    const float rowx = ln.rowx, rowy = ln.rowy;
    int32_t *rn = raytable;
    for (int32_t x = x0; x < x1; x++, sampleindex += step) {
        const int32_t r = rn[x];
        rn[x] = (int32_t)((uint32_t)r + (uint32_t)rn[x + VOX_MAX_XRES]);
        vox_put_pixel(x, y, vox_sample_at(r, sampleindex), rowx, rowy);
    }
}
