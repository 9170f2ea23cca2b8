// Picture blits: placement in 64-bit 16.16, then one row loop per mode.
#include "renderer/vox_blit.h"

#include <cstring>

#include "renderer/vox_pool.h"
#include "renderer/vox_sprite.h"
#include "renderer/vox_start.h"

static inline int64_t ceil16(int64_t v) { return (v + 0xFFFF) >> 16; }

static inline uint32_t clamp255(int32_t v) { return (uint32_t)(v < 0 ? 0 : v > 255 ? 255 : v); }

// One source pixel s already modulated, over d.
static inline uint32_t blend(uint32_t s, uint32_t d)
{
    const uint32_t a = s >> 24;
    if (a == 0) return d;
    if (a == 255) return s;
    const int32_t a16 = (int32_t)a * 16;
    uint32_t out = ((a * 16 * a * 16) >> 16) << 24;
    for (int32_t sh = 0; sh < 24; sh += 8) {
        const int32_t sc = (int32_t)((s >> sh) & 0xFF), dc = (int32_t)((d >> sh) & 0xFF);
        out |= clamp255(dc + ((((sc - dc) * 16) * a16) >> 16)) << sh;
    }
    return out;
}

// A placed picture: lines y0..y1-1 of the frame, columns x0 .. x0 + cols - 1,
// source positions (16.16) u0, v0 of the first column and line.
struct BlitJob {
    const uint8_t *pic;
    int64_t bpl;
    int64_t x0, y0, y1, per;
    int32_t cols;
    int64_t u0, v0, stepx, stepy;
    uint32_t colour;
    uint32_t m[4]; // blue, green, red, alpha multipliers
};

// Lines band * per .. of a placed picture.
static void blit_band(void *arg, int32_t band)
{
    const BlitJob &j = *(const BlitJob *)arg;
    const FrameBufferDesc &f = vox_frame;
    const int64_t ya = j.y0 + band * j.per, yb = ya + j.per < j.y1 ? ya + j.per : j.y1;
    const bool modulate = j.colour != 0xFFFFFFFFu;
    const int32_t cols = j.cols;
    int64_t v = j.v0 + (ya - j.y0) * j.stepy;
    for (int64_t y = ya; y < yb; y++, v += j.stepy) {
        const uint32_t *src = (const uint32_t *)(j.pic + (v >> 16) * j.bpl);
        uint32_t *dst = (uint32_t *)(f.pixels + f.rowoffset[y]) + j.x0;
        int64_t u = j.u0;
        if (j.colour == 0) {
            if (j.stepx == 0x10000) {
                std::memcpy(dst, src + (j.u0 >> 16), (size_t)cols * 4);
            } else {
                for (int32_t i = 0; i < cols; i++, u += j.stepx) dst[i] = src[u >> 16];
            }
            continue;
        }
        for (int32_t i = 0; i < cols; i++, u += j.stepx) {
            uint32_t s = src[u >> 16];
            if (modulate) {
                // (s x 16) x (m x 16) >> 16 = s x m / 256, never above 255.
                s = (((s & 0xFF) * j.m[0]) >> 8) | ((((s >> 8) & 0xFF) * j.m[1]) >> 8) << 8 |
                    ((((s >> 16) & 0xFF) * j.m[2]) >> 8) << 16 | (((s >> 24) * j.m[3]) >> 8) << 24;
            }
            dst[i] = blend(s, dst[i]);
        }
    }
}

// The picture's left and top edges L, T in 16.16 screen units.
static void blit(const uint8_t *pic, int64_t bpl, int32_t w, int32_t h, int64_t L, int64_t T, int32_t zoomx,
                 int32_t zoomy, uint32_t colour)
{
    vox_sprite_list_end();
    const FrameBufferDesc &f = vox_frame;
    if (!vox_frame_bound() || !pic || w < 1 || h < 1 || w > VOX_PICTURE_MAX || h > VOX_PICTURE_MAX || zoomx < 1 ||
        zoomy < 1 || bpl < 4 * (int64_t)w)
        return;
    const int64_t R = L + (int64_t)w * zoomx, B = T + (int64_t)h * zoomy;
    int64_t x0 = ceil16(L), x1 = ceil16(R), y0 = ceil16(T), y1 = ceil16(B);
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > f.xres) x1 = f.xres;
    if (y1 > f.yres) y1 = f.yres;
    if (x0 >= x1 || y0 >= y1) return;
    const int64_t stepx = ((int64_t)1 << 32) / zoomx, stepy = ((int64_t)1 << 32) / zoomy;
    // Source positions (16.16) of the first column and line. Both are below
    // w and h x 2^16 over the covered range; the trims only guard that.
    const int64_t u0 = (((x0 << 16) - L) * stepx) >> 16;
    int64_t v = (((y0 << 16) - T) * stepy) >> 16;
    while (x1 > x0 && ((u0 + (x1 - 1 - x0) * stepx) >> 16) >= w) x1--;
    while (y1 > y0 && ((v + (y1 - 1 - y0) * stepy) >> 16) >= h) y1--;

    BlitJob job;
    job.pic = pic;
    job.bpl = bpl;
    job.x0 = x0;
    job.y0 = y0;
    job.y1 = y1;
    job.cols = (int32_t)(x1 - x0);
    job.u0 = u0;
    job.v0 = v;
    job.stepx = stepx;
    job.stepy = stepy;
    job.colour = colour;
    for (int32_t c = 0; c < 4; c++) {
        job.m[c] = (colour >> (8 * c)) & 0xFF;
        if (job.m[c] == 255) job.m[c] = 256;
    }
    // Large pictures in bands of lines over the drawing threads: every line
    // is drawn alone, so the bands meet nowhere.
    const int64_t lines = y1 - y0;
    const int64_t threads = vox_threads();
    int32_t bands = 1;
    if (threads > 1 && lines * job.cols >= 65536) bands = (int32_t)(threads * 2 < lines ? threads * 2 : lines);
    job.per = (lines + bands - 1) / bands;
    vox_pool_run(blit_band, &job, (int32_t)((lines + job.per - 1) / job.per));
}

void blitpicture(const void *pic, int32_t bpl, int32_t w, int32_t h, int32_t pivx, int32_t pivy, int32_t sx, int32_t sy,
                 int32_t zoomx, int32_t zoomy, uint32_t colour)
{
    const int64_t L = (int64_t)sx - (((int64_t)pivx * zoomx) >> 16);
    const int64_t T = (int64_t)sy - (((int64_t)pivy * zoomy) >> 16);
    blit((const uint8_t *)pic, bpl, w, h, L, T, zoomx, zoomy, colour);
}

// 16.16 value of a zoom factor, 0 when it is not finite or out of range.
static int32_t zoom16(float z)
{
    const double v = (double)z * 65536.0;
    if (!(v >= 1.0 && v < 2147483648.0)) return 0;
    return (int32_t)v;
}

void blitpicturepx(const void *pic, int32_t w, int32_t h, int32_t pivx, int32_t pivy, int32_t sx, int32_t sy,
                   float zoomx, float zoomy, uint32_t colour)
{
    const int32_t zx = zoom16(zoomx), zy = zoom16(zoomy);
    if (!zx || !zy) return;
    // Pivot in whole pixels: (pivx << 16) x zoom >> 16 = pivx x zoom.
    const int64_t L = ((int64_t)sx << 16) - (int64_t)pivx * zx;
    const int64_t T = ((int64_t)sy << 16) - (int64_t)pivy * zy;
    blit((const uint8_t *)pic, 4 * (int64_t)w, w, h, L, T, zx, zy, colour);
}
