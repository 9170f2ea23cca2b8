// Span kernels: fill screen lines from ray samples with fog and depth. Two
// sets with byte-identical results: SSE2 intrinsics and portable scalar code.
// Internal to the renderer; renderworld calls them through vox_kernels.
#pragma once
#include <cstdint>

#include "renderer/vox_start.h"

// Where a ray's samples lie: sample index i (a line's index, r * s or -r * s)
// of the ray is samples[base + clamp(i, lo, hi) * istride].
struct RayEntry {
    int32_t base, lo, hi, pad;
};

// Sample ranges of runs of rays, for drawspanstep's unclamped path: level k
// holds, for each ray j, the largest lo, the smallest hi and the largest and
// smallest sky bound of rays j .. j + 2^k - 1 (as far as there are rays).
#define VOX_RANGE_LEVELS 16
struct RayRangeTable {
    const int16_t *maxlo[VOX_RANGE_LEVELS];
    const int16_t *minhi[VOX_RANGE_LEVELS];
    const int16_t *maxsky[VOX_RANGE_LEVELS];
    const int16_t *minsky[VOX_RANGE_LEVELS];
    int32_t levels;
};

// What the kernels read: the frame geometry (set at every bind) and the
// per-region ray and camera terms (set by renderworld before drawing).
struct SpanKernelParams {
    uint8_t *pixels;
    intptr_t pitch;
    intptr_t zoffset;
    int32_t *columnraytable;
    const RaySample *samples;
    const RayEntry *rays;
    int32_t lastray;          // rays 0..lastray are valid
    intptr_t istride;         // samples from index i to i + 1 of one ray
    // Ray j's samples of index below sky[j] are SkySample and not stored
    // (the ones that look highest and meet nothing); sky[lastray + 1 ..
    // lastray + 8] exist, so that eight rays from any ray can be read.
    const int32_t *sky;
    // Rows of drawspanstep: when every ray a span reads holds its sample
    // index i (ranges says so), ray j's sample is rowbase[i * istride + j].
    const RaySample *rowbase;
    RayRangeTable ranges;
    float ax, ay, dx, dy, cx, cy; // scaled pixel-direction terms
    uint16_t fog[4];          // blue, green, red, 0
};
extern SpanKernelParams vox_kparams;

void drawspanstepsse(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex);
void drawspantablesse(int32_t x0, int32_t y, int32_t x1, int32_t sampleindex, int32_t step, int32_t *raytable);
void drawspanstepavx2(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex);
void drawspanstepscalar(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex);
void drawspantablescalar(int32_t x0, int32_t y, int32_t x1, int32_t sampleindex, int32_t step, int32_t *raytable);

// True when pixels x0..x1-1 of a drawspanstep row all read an existing ray
// that holds sample index `sampleindex` (then vox_sample_fast gives the same
// sample as vox_sample_at).
static inline bool vox_span_in_range(int32_t x0, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex)
{
    const SpanKernelParams &p = vox_kparams;
    if (x1 <= x0 || !p.rowbase) return false;
    const int64_t last = (int64_t)raynumber + (int64_t)(x1 - x0 - 1) * raystep;
    const int64_t lim = ((int64_t)p.lastray + 1) << 16;
    if (raynumber < 0 || raynumber >= lim || last < 0 || last >= lim) return false;
    int32_t ja = raynumber >> 16, jb = (int32_t)(last >> 16);
    if (ja > jb) {
        const int32_t t = ja;
        ja = jb;
        jb = t;
    }
    const int32_t k = 31 - __builtin_clz((uint32_t)(jb - ja + 1));
    if (k >= p.ranges.levels) return false;
    const int32_t jc = jb - (1 << k) + 1;
    const int16_t *ml = p.ranges.maxlo[k], *mh = p.ranges.minhi[k];
    return ml[ja] <= sampleindex && ml[jc] <= sampleindex && mh[ja] >= sampleindex && mh[jc] >= sampleindex;
}

// What rays ja .. jb of a span that vox_span_in_range passed show at its
// sample index: the sky for none of them, for all, or for some.
enum VoxSkyShare { VOX_SKY_NONE, VOX_SKY_ALL, VOX_SKY_SOME };
static inline VoxSkyShare vox_sky_share(int32_t ja, int32_t jb, int32_t sampleindex)
{
    const RayRangeTable &t = vox_kparams.ranges;
    const int32_t k = 31 - __builtin_clz((uint32_t)(jb - ja + 1));
    const int32_t jc = jb - (1 << k) + 1;
    const int16_t *mx = t.maxsky[k], *mn = t.minsky[k];
    if (sampleindex >= mx[ja] && sampleindex >= mx[jc]) return VOX_SKY_NONE;
    if (sampleindex < mn[ja] && sampleindex < mn[jc]) return VOX_SKY_ALL;
    return VOX_SKY_SOME;
}

// The row of samples that a span with sample index i reads on the unclamped path.
static inline const RaySample *vox_sample_row(int32_t sampleindex)
{
    return vox_kparams.rowbase + (intptr_t)sampleindex * vox_kparams.istride;
}

// Ray j's sample on the unclamped path, from the span's row.
static inline const RaySample *vox_row_sample(const RaySample *row, uint32_t j, int32_t sampleindex)
{
    return sampleindex < vox_kparams.sky[j] ? &SkySample : &row[j];
}

// One pixel, shared by both sets so their single-pixel paths agree exactly.
static inline const RaySample *vox_sample_at(int32_t raynumber, int32_t sampleindex)
{
    const SpanKernelParams &p = vox_kparams;
    int32_t j = raynumber >> 16;
    j = j < 0 ? 0 : j;
    j = j > p.lastray ? p.lastray : j;
    const RayEntry &r = p.rays[j];
    int32_t i = sampleindex < r.lo ? r.lo : sampleindex;
    i = i > r.hi ? r.hi : i;
    return i < p.sky[j] ? &SkySample : &p.samples[r.base + (intptr_t)i * p.istride];
}

static inline uint32_t vox_fog_pixel(uint32_t colour, int32_t dist)
{
    int32_t k = dist >> 20;
    k = k < 0 ? 0 : (k > VOX_FOGRAMP_ENTRIES - 1 ? VOX_FOGRAMP_ENTRIES - 1 : k);
    const int32_t ramp = FogRamp[k][0];
    uint32_t out = 0;
    for (int c = 0; c < 4; c++) {
        const int32_t v = (int32_t)((colour >> (8 * c)) & 0xFF);
        const int32_t d = (int16_t)(((int32_t)vox_kparams.fog[c] - v) * 2);
        int32_t r = v + ((d * ramp) >> 16);
        r = r < 0 ? 0 : (r > 255 ? 255 : r);
        out |= (uint32_t)r << (8 * c);
    }
    return out;
}

static inline float vox_depth(int32_t dist, float x, float y)
{
    float sq = x * x + y * y;
    sq = sq > 1e-30f ? sq : 1e-30f;
    return (float)dist / __builtin_sqrtf(sq);
}

// What a kernel takes of screen line y: its first pixel and the line's part
// of the pixels' horizontal directions (rowx + x ax, rowy + x ay).
struct VoxLine {
    uint8_t *pixels;
    float rowx, rowy;
};
static inline VoxLine vox_line(int32_t y)
{
    const SpanKernelParams &p = vox_kparams;
    const float fy = (float)y;
    return VoxLine{p.pixels + (intptr_t)y * p.pitch, p.cx + fy * p.dx, p.cy + fy * p.dy};
}

static inline void vox_put_pixel(int32_t x, int32_t y, const RaySample *s, float rowx, float rowy)
{
    const SpanKernelParams &p = vox_kparams;
    uint8_t *pix = p.pixels + (intptr_t)y * p.pitch + (intptr_t)x * 4;
    const float fx = (float)x;
    const float X = rowx + fx * p.ax;
    const float Y = rowy + fx * p.ay;
    *(uint32_t *)pix = vox_fog_pixel(s->colour, s->dist);
    *(float *)(pix + p.zoffset) = vox_depth(s->dist, X, Y);
}
