// The plain column caster. Per screen column: a 2-D grid walk (one division
// per cell crossed), each solid run of the cell's column projected at the
// cell's near and far boundaries, and the rows it covers taken out of the
// list of rows still uncovered.
#include "ref_caster.h"

#include <cmath>

#include "common/map_store.h"

namespace {

const int32_t kMaxGaps = 64;

// Colour of voxel z of the solid run that starts at span p's top: the top
// colours, then the bottom colours stored before the next span's header; a
// voxel that stores none takes the nearest top colour.
uint32_t run_colour(const uint8_t *p, int32_t z)
{
    const int32_t s = p[1], e = p[2];
    if (z <= e) return map_span_colours(p)[z < s ? 0 : z - s];
    if (p[0]) {
        const uint8_t *next = p + p[0] * 4;
        const int32_t bottom = p[0] - 1 - (e - s + 1);
        if (z >= next[3] - bottom) return ((const uint32_t *)next)[z - next[3]];
    }
    return e >= s ? map_span_colours(p)[e - s] : 0;
}

} // namespace

void ref_cast_frame(uint32_t *pixels, int32_t pitch, int32_t w, int32_t h, const RefCamera &cam, float range,
                    uint32_t sky)
{
    const float fx = std::cos(cam.yaw), fy = std::sin(cam.yaw);
    const float rx = -fy, ry = fx;
    const float hw = (float)(w / 2), hh = (float)(h / 2), focal = (float)cam.focal;
    const int32_t cellx = (int32_t)std::floor(cam.x), celly = (int32_t)std::floor(cam.y);
    const float fracx = cam.x - (float)cellx, fracy = cam.y - (float)celly;

    for (int32_t x = 0; x < w; x++) {
        // Direction with a forward component of 1: the walk's t is the depth
        // along the view axis, so rows project without a fish-eye.
        const float u = ((float)x + 0.5f - hw) / focal;
        const float dx = fx + u * rx, dy = fy + u * ry;
        const float tmax = range / std::sqrt(dx * dx + dy * dy);
        const int32_t stepx = dx < 0.0f ? -1 : 1, stepy = dy < 0.0f ? -1 : 1;
        const float ddx = dx != 0.0f ? std::fabs(1.0f / dx) : 1e30f;
        const float ddy = dy != 0.0f ? std::fabs(1.0f / dy) : 1e30f;
        float tx = (dx < 0.0f ? fracx : 1.0f - fracx) * ddx;
        float ty = (dy < 0.0f ? fracy : 1.0f - fracy) * ddy;
        int32_t cx = cellx, cy = celly;

        int32_t gap0[kMaxGaps], gap1[kMaxGaps];
        int32_t ngaps = 1;
        gap0[0] = 0;
        gap1[0] = h;
        float tn = 0.0f;
        float kn = 0.0f; // focal / tn
        for (;;) {
            const float tf = tx < ty ? tx : ty;
            if (tf > tmax) break;
            const float kf = focal / tf;
            if (tn > 0.0f) {
                const uint8_t *p = map_column(cx, cy);
                for (;;) {
                    const int32_t s = p[1];
                    const int32_t b = p[0] ? p[p[0] * 4 + 3] : MAP_DEPTH;
                    // The run z in [s, b) covers these screen rows (row centres).
                    const float ys = (float)s - cam.z, yb = (float)b - cam.z;
                    const float top = hh + (ys * kn < ys * kf ? ys * kn : ys * kf);
                    const float bot = hh + (yb * kn > yb * kf ? yb * kn : yb * kf);
                    const int32_t r0 = (int32_t)std::ceil(top - 0.5f), r1 = (int32_t)std::ceil(bot - 0.5f);
                    for (int32_t g = 0; g < ngaps && r0 < r1;) {
                        const int32_t a = gap0[g] > r0 ? gap0[g] : r0;
                        const int32_t e = gap1[g] < r1 ? gap1[g] : r1;
                        if (a >= e) {
                            g++;
                            continue;
                        }
                        for (int32_t r = a; r < e; r++) {
                            // The near face's voxel at this row; above it the
                            // run's top, below it its underside.
                            const float z = cam.z + ((float)r + 0.5f - hh) / kn;
                            const int32_t zi = z < (float)s ? s : (z >= (float)b ? b - 1 : (int32_t)z);
                            pixels[(intptr_t)r * pitch + x] = VOXEL_RGB(run_colour(p, zi));
                        }
                        if (a == gap0[g] && e == gap1[g]) { // gap closed
                            for (int32_t k = g + 1; k < ngaps; k++) gap0[k - 1] = gap0[k], gap1[k - 1] = gap1[k];
                            ngaps--;
                        } else if (a == gap0[g]) {
                            gap0[g++] = e;
                        } else if (e == gap1[g]) {
                            gap1[g++] = a;
                        } else if (ngaps < kMaxGaps) { // split in two
                            for (int32_t k = ngaps; k > g + 1; k--) gap0[k] = gap0[k - 1], gap1[k] = gap1[k - 1];
                            gap0[g + 1] = e;
                            gap1[g + 1] = gap1[g];
                            gap1[g] = a;
                            ngaps++;
                            g += 2;
                        } else {
                            g++;
                        }
                    }
                    if (!p[0] || ngaps == 0) break;
                    p += p[0] * 4;
                }
                if (ngaps == 0) break;
            }
            tn = tf;
            kn = kf;
            if (tx < ty) {
                tx += ddx;
                cx += stepx;
            } else {
                ty += ddy;
                cy += stepy;
            }
        }
        for (int32_t g = 0; g < ngaps; g++)
            for (int32_t r = gap0[g]; r < gap1[g]; r++) pixels[(intptr_t)r * pitch + x] = sky;
    }
}
