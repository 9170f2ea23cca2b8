// 2-D lines and the 3-D primitives that project through the camera.
#include "renderer/vox_prim.h"

#include <cmath>

#include "renderer/vox_camera.h"
#include "renderer/vox_sprite.h"
#include "renderer/vox_start.h"
#include "renderer/vox_world.h"

static inline void put(int64_t x, int64_t y, uint32_t colour)
{
    ((uint32_t *)(vox_frame.pixels + vox_frame.rowoffset[y]))[x] = colour;
}

// Steps the major axis a from min(a0, a1) to max(a0, a1); the minor
// coordinate is b0 plus (a - a0) x the 12.20 slope db / da (truncated),
// floored. `ylead`: a is y. Only steps whose a lies on the frame can draw.
static void step_line(int64_t a0, int64_t b0, int64_t a1, int64_t da, int64_t db, int ylead, uint32_t colour)
{
    const int64_t alim = ylead ? vox_frame.yres : vox_frame.xres, blim = ylead ? vox_frame.xres : vox_frame.yres;
    const int64_t slope = db * (1 << 20) / da;
    int64_t lo = a0 < a1 ? a0 : a1, hi = a0 < a1 ? a1 : a0;
    lo = lo < 0 ? 0 : lo;
    hi = hi > alim - 1 ? alim - 1 : hi;
    for (int64_t a = lo; a <= hi; a++) {
        const int64_t b = (b0 * (1 << 20) + (a - a0) * slope) >> 20;
        if (b < 0 || b >= blim) continue;
        if (ylead)
            put(b, a, colour);
        else
            put(a, b, colour);
    }
}

void plotline(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour)
{
    vox_sprite_list_end();
    if (!vox_frame_bound()) return;
    const int64_t dx = (int64_t)x1 - x0, dy = (int64_t)y1 - y0;
    if (!dx && !dy) return;
    if ((dx < 0 ? -dx : dx) < (dy < 0 ? -dy : dy))
        step_line(y0, x0, y1, dy, dx, 1, colour);
    else
        step_line(x0, y0, x1, dx, dy, 0, colour); // ties step along x
}

// Truncation toward zero, clamped to the int32 range; NaN gives INT32_MIN
// (off every screen).
static int32_t trunc_clamped(float v)
{
    if (!(v == v) || v <= -2147483648.0f) return INT32_MIN;
    if (v >= 2147483648.0f) return INT32_MAX;
    return (int32_t)v;
}

// View-space depth of p and its screen position, unrounded. 0 when p is at or
// behind the camera plane (or not finite).
static int project(float px, float py, float pz, float *depth, float *cx, float *cy)
{
    const ViewCamera &c = vox_camera;
    const float dx = px - c.pos.x, dy = py - c.pos.y, dz = pz - c.pos.z;
    const float d = dx * c.forward.x + dy * c.forward.y + dz * c.forward.z;
    if (!(d > 0.0f)) return 0;
    const float f = (float)c.focal;
    *depth = d;
    *cx = (dx * c.right.x + dy * c.right.y + dz * c.right.z) * f / d + (float)c.halfwidth;
    *cy = (dx * c.down.x + dy * c.down.y + dz * c.down.z) * f / d + (float)c.halfheight;
    return 1;
}

static int32_t project_vertex(float x, float y, float z, int32_t *sx, int32_t *sy)
{
    float d, cx, cy;
    if (!project(x, y, z, &d, &cx, &cy)) return 0;
    *sx = trunc_clamped(cx);
    if ((uint32_t)*sx >= (uint32_t)vox_frame.xres) return 0;
    *sy = trunc_clamped(cy);
    return (uint32_t)*sy < (uint32_t)vox_frame.yres;
}

int32_t projectvertex(int32_t x, int32_t y, int32_t z, int32_t *sx, int32_t *sy)
{
    return project_vertex((float)x, (float)y, (float)z, sx, sy);
}

static void space_line(const float *a, const float *b, uint32_t colour)
{
    int32_t x0, y0, x1, y1;
    if (project_vertex(a[0], a[1], a[2], &x0, &y0) && project_vertex(b[0], b[1], b[2], &x1, &y1))
        plotline(x0, y0, x1, y1, colour);
}

void plotspaceline(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1, uint32_t colour)
{
    const float a[3] = {(float)x0, (float)y0, (float)z0}, b[3] = {(float)x1, (float)y1, (float)z1};
    space_line(a, b, colour);
}

void drawblockoutline(int32_t x, int32_t y, int32_t z, uint32_t colour)
{
    // Corners as 0/1 offsets; the far side computed in 64 bits so x + 1 cannot wrap.
    const float lo[3] = {(float)x, (float)y, (float)z};
    const float hi[3] = {(float)((int64_t)x + 1), (float)((int64_t)y + 1), (float)((int64_t)z + 1)};
    static const uint8_t edges[12][6] = {
        {0, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 1, 1}, {1, 1, 0, 1, 1, 1}, {1, 0, 0, 1, 0, 1}, // vertical
        {0, 0, 0, 0, 1, 0}, {0, 1, 0, 1, 1, 0}, {1, 1, 0, 1, 0, 0}, {1, 0, 0, 0, 0, 0}, // z face
        {0, 0, 1, 0, 1, 1}, {0, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 0, 1}, {1, 0, 1, 0, 0, 1}, // z + 1 face
    };
    for (const uint8_t *e : edges) {
        float a[3], b[3];
        for (int i = 0; i < 3; i++) {
            a[i] = e[i] ? hi[i] : lo[i];
            b[i] = e[3 + i] ? hi[i] : lo[i];
        }
        space_line(a, b, colour);
    }
}

// Nearest integer (ties to even), clamped to the int32 range; 0 for NaN.
static int nearest(float v, int32_t *out)
{
    if (!(v == v)) return 0;
    math_round_int(v, out);
    return 1;
}

void projectscreenpoint(const Vec3 *p, int32_t *left, int32_t *top, int32_t *right, int32_t *bottom)
{
    float d, cx, cy;
    int32_t l, t, r, b;
    if (project(p->x, p->y, p->z, &d, &cx, &cy)) {
        const float e = (float)vox_camera.focal * 1.5f / d;
        if (nearest(cx - e, &l) && nearest(cy - e, &t) && nearest(cx + e, &r) && nearest(cy + e, &b)) {
            *left = l, *top = t, *right = r, *bottom = b;
            return;
        }
    }
    *left = *top = *right = *bottom = -1;
}

void fillsphere(const Vec3 *centre, float radius, uint32_t colour)
{
    vox_sprite_list_end();
    if (!vox_frame_bound()) return;
    const FrameBufferDesc &f = vox_frame;
    float depth, cx, cy;
    if (!project(centre->x, centre->y, centre->z, &depth, &cx, &cy)) return;
    const float r = (float)vox_camera.focal * radius / depth;
    int32_t left, right, top, bottom;
    if (!nearest(cx - r, &left) || !nearest(cx + r, &right) || !nearest(cy - r, &top) || !nearest(cy + r, &bottom))
        return;
    left = left < 0 ? 0 : left;
    right = right > f.xres - 1 ? f.xres - 1 : right;
    top = top < 0 ? 0 : top;
    bottom = bottom > f.yres - 1 ? f.yres - 1 : bottom;
    if (left >= right || top >= bottom) return;

    const float hx = centre->x - vox_camera.pos.x, hy = centre->y - vox_camera.pos.y;
    int32_t k;
    if (!nearest(12.0f * std::sqrt(hx * hx + hy * hy), &k)) return;
    k = k > VOX_FOGRAMP_ENTRIES - 1 ? VOX_FOGRAMP_ENTRIES - 1 : k;
    const int32_t ramp = FogRamp[k][0];
    const uint32_t fog = vox_fog_colour();
    uint32_t c = colour & 0xFF000000u;
    for (int32_t sh = 0; sh < 24; sh += 8) {
        const int32_t ch = (int32_t)((colour >> sh) & 0xFF), fc = (int32_t)((fog >> sh) & 0xFF);
        c |= (uint32_t)(ch + (((fc - ch) * ramp) >> 15)) << sh;
    }
    for (int32_t y = top; y < bottom; y++) {
        uint8_t *row = f.pixels + f.rowoffset[y];
        for (int32_t x = left; x <= right; x++) {
            uint8_t *p = row + 4 * x;
            float *z = (float *)(p + f.zoffset);
            if (depth < *z) {
                *z = depth;
                *(uint32_t *)p = c;
            }
        }
    }
}
