// Ray casts: fixed-point cell walk (scale 1024 along the dominant axis) that
// follows the spans of the columns it passes.
#include "common/map_ray.h"

#include <cmath>

// Quotient of a zero component.
#define RAY_K_ZERO 0x1fffff
// Largest quotient kept: a distance of k plus one more k still fits in 32
// bits, and the dominant axis never gets near it (a ray takes at most about
// 1,100 steps along it). Smaller quotients are used exactly as computed.
#define RAY_K_LIMIT 0x3fffffff

// Stands in for the colour of a solid voxel that a loaded map left without a
// stored colour, so a hit never points into span headers.
static VoxelColour map_ray_blank = 0x7F808080u;

static int32_t ray_quotient(float a, float b)
{
    if (b == 0.0f) return RAY_K_ZERO;
    float q = std::fabs(a * 1024.0f / b);
    // Only a quotient that would overflow is cut: a tiny component still
    // crosses its next boundary where the ray really does.
    if (!(q < (float)RAY_K_LIMIT)) return RAY_K_LIMIT;
    return (int32_t)q;
}

static inline int32_t span_bottom_count(const uint8_t *p)
{
    return p[0] - 1 - (p[2] - p[1] + 1);
}

void map_ray_cast(const Vec3 *pos, const Vec3 *dir, HitRecord **hit)
{
    HitRecord *h = *hit;
    if (!h) return;
    if (!std::isfinite(pos->x) || !std::isfinite(pos->y) || !std::isfinite(pos->z) ||
        !std::isfinite(dir->x) || !std::isfinite(dir->y) || !std::isfinite(dir->z)) {
        *hit = nullptr;
        return;
    }
    int32_t x, y, z;
    math_round_int(pos->x - 0.5f, &x);
    math_round_int(pos->y - 0.5f, &y);
    math_round_int(pos->z - 0.5f, &z);
    h->x = x;
    h->y = y;
    h->z = z;
    // Below z 63 every start lies in the bottom solid (a miss); refusing it
    // here keeps a huge z out of the fixed-point distances.
    if ((uint32_t)x >= 512u || (uint32_t)y >= 512u || z < -1024 || z > 63) {
        *hit = nullptr;
        return;
    }
    int32_t sx = dir->x < 0 ? -1 : 1, sy = dir->y < 0 ? -1 : 1, sz = dir->z < 0 ? -1 : 1;
    int32_t ztop = z < 0 ? z : 0;
    float ax = std::fabs(dir->x), ay = std::fabs(dir->y), az = std::fabs(dir->z);
    int32_t kx, ky, kz;
    if (ay <= ax && az <= ax) {
        kx = 1024;
        ky = ray_quotient(dir->x, dir->y);
        kz = ray_quotient(dir->x, dir->z);
    } else if (az <= ay) {
        ky = 1024;
        kx = ray_quotient(dir->y, dir->x);
        kz = ray_quotient(dir->y, dir->z);
    } else {
        kz = 1024;
        kx = ray_quotient(dir->z, dir->x);
        ky = ray_quotient(dir->z, dir->y);
    }
    int32_t gx = (int32_t)((pos->x - (float)x) * (float)kx);
    int32_t gy = (int32_t)((pos->y - (float)y) * (float)ky);
    int32_t gz = (int32_t)((pos->z - (float)z) * (float)kz);
    int32_t ex = sx < 0 ? gx : kx - gx;
    int32_t ey = sy < 0 ? gy : ky - gy;
    int32_t ez = sz < 0 ? gz : kz - gz;

    // Locate the start in its column: the gap [u, w) holding z.
    uint8_t *p = map_column(x, y);
    uint8_t *prev = nullptr;
    while (z >= p[1]) {
        if (!p[0]) {
            *hit = nullptr;
            return;
        }
        prev = p;
        p += p[0] * 4;
    }
    int32_t u = prev ? p[3] : ztop;
    int32_t w = p[1];

    for (;;) {
        if (ex < ez || ey < ez) {
            if (ex < ey) {
                x += sx;
                h->x = x;
                h->face = sx > 0 ? 0 : 1;
                if ((uint32_t)x >= 512u) {
                    *hit = nullptr;
                    return;
                }
                ex += kx;
            } else {
                y += sy;
                h->y = y;
                h->face = sy > 0 ? 2 : 3;
                if ((uint32_t)y >= 512u) {
                    *hit = nullptr;
                    return;
                }
                ey += ky;
            }
            p = map_column(x, y);
            prev = nullptr;
            while (z >= p[1]) {
                if (z <= p[2]) {
                    h->colour = map_span_colours(p) + (z - p[1]);
                    return;
                }
                if (!p[0]) {
                    h->colour = &map_ray_blank;
                    return;
                }
                prev = p;
                p += p[0] * 4;
            }
            if (!prev) {
                u = ztop;
            } else {
                u = p[3];
                if (z < u) {
                    h->colour = z >= u - span_bottom_count(prev) ? (VoxelColour *)p - (u - z) : &map_ray_blank;
                    return;
                }
            }
            w = p[1];
        } else {
            z += sz;
            h->z = z;
            h->face = sz > 0 ? 4 : 5;
            if (z < u) {
                if (z < ztop || !prev) {
                    *hit = nullptr;
                    return;
                }
                // The solid above the gap: its bottom voxel u - 1.
                int coloured = span_bottom_count(prev) > 0 || prev[2] == u - 1;
                h->colour = coloured ? (VoxelColour *)p - 1 : &map_ray_blank;
                return;
            }
            if (z >= w) {
                h->colour = p[2] >= p[1] ? map_span_colours(p) : &map_ray_blank;
                return;
            }
            ez += kz;
        }
    }
}

void map_ray_cast_adjacent(const Vec3 *pos, const Vec3 *dir, HitRecord **hit)
{
    map_ray_cast(pos, dir, hit);
    HitRecord *h = *hit;
    if (!h) return;
    h->adj_x = h->x;
    h->adj_y = h->y;
    h->adj_z = h->z;
    switch (h->face) {
    case 0: h->adj_x--; break;
    case 1: h->adj_x++; break;
    case 2: h->adj_y--; break;
    case 3: h->adj_y++; break;
    case 4: h->adj_z--; break;
    default: h->adj_z++; break;
    }
}
