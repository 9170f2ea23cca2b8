// Map queries: span walks for solidity, ground and colours; random ground
// points; the aim box; line of sight.
#include "common/map_query.h"

#include <cmath>

#include "common/rng.h"

// Span walk: air above a span's S, solid down to the next span's A.
static inline int32_t map_walk_solid(const uint8_t *p, int32_t z)
{
    for (;;) {
        if (z < p[1]) return 0;
        if (!p[0]) return 1;
        p += p[0] * 4;
        if (z < p[3]) return 1;
    }
}

int32_t map_is_solid_at(float x, float y, float z)
{
    if (!(x >= 0.0f && x < 512.0f) || !(y >= 0.0f && y < 512.0f)) return 1;
    if (z < 0.0f) return 0;
    if (!(z < 64.0f)) return 1;
    int32_t iz = (int32_t)z;
    if (iz == 63) iz = 62;
    return map_walk_solid(map_column((int32_t)x, (int32_t)y), iz);
}

int32_t map_is_solid(int32_t x, int32_t y, int32_t z)
{
    if ((uint32_t)x >= 512u || (uint32_t)y >= 512u || z < 0) return 0;
    if (z > 63) return 1;
    return map_walk_solid(map_column(x, y), z);
}

int32_t map_is_solid_wrap(int32_t x, int32_t y, int32_t z)
{
    if (z < 0) return 0;
    if (z > 63) return 1;
    return map_walk_solid(map_column(x, y), z);
}

int32_t map_is_solid_no_water(int32_t x, int32_t y, int32_t z)
{
    if (z < 0) return 0;
    if (z > 63) return 1;
    if (z == 63) z = 62;
    return map_walk_solid(map_column(x, y), z);
}

int32_t map_ground_z(int32_t x, int32_t y)
{
    return map_column(x, y)[1];
}

int32_t map_floor_z(int32_t x, int32_t y, int32_t z)
{
    const uint8_t *p = map_column(x, y);
    for (;;) {
        if (z <= p[1]) return p[1];
        if (!p[0]) return z;
        p += p[0] * 4;
        if (z < p[3]) return z;
    }
}

VoxelColour *map_surface_colour(int32_t x, int32_t y, int32_t z)
{
    if (z < 0 || z > 63) return nullptr;
    uint8_t *p = map_column(x, y);
    for (;;) {
        int32_t s = p[1], e = p[2];
        if (z <= e) return z >= s ? map_span_colours(p) + (z - s) : nullptr;
        if (!p[0]) return nullptr;
        uint8_t *q = p + p[0] * 4;
        int32_t a = q[3];
        if (z < a) {
            int32_t k = p[0] - 1 - (e - s + 1);
            return z >= a - k ? (VoxelColour *)q - (a - z) : nullptr;
        }
        p = q;
    }
}

VoxelColour *map_colour_ptr(int32_t x, int32_t y, int32_t z)
{
    if ((uint32_t)x >= 512u || (uint32_t)y >= 512u) return nullptr;
    return map_surface_colour(x, y, z);
}

Vec3 *map_random_point_in_rect(Vec3 *out, const MapRect *rect)
{
    int32_t w = rect->x1 - rect->x0, h = rect->y1 - rect->y0;
    for (int32_t i = 0; i < 32; i++) {
        // Two draws per try even for a degenerate rectangle, so every
        // program's generator stays in step.
        int32_t rx = rng_rand(), ry = rng_rand();
        out->x = (float)((w != 0 ? rx % w : 0) + rect->x0) + 0.5f;
        out->y = (float)((h != 0 ? ry % h : 0) + rect->y0) + 0.5f;
        int32_t z = map_ground_z((int32_t)out->x, (int32_t)out->y);
        out->z = (float)z;
        if (z < 63) break;
    }
    return out;
}

int32_t map_aim_box_test(const Vec3 *eye, const Vec3 *forward, const Vec3 *right,
                         const Vec3 *down, float x, float y, float z, float r)
{
    float dx = x - eye->x, dy = y - eye->y, dz = z - eye->z;
    // In the eye plane inv is infinite and the tests below see NaN: a miss.
    float inv = 1.0f / (dx * forward->x + dy * forward->y + dz * forward->z);
    float u = (dx * right->x + dy * right->y + dz * right->z) * inv;
    float v = (dx * down->x + dy * down->y + dz * down->z) * inv;
    float s = r * inv;
    return (u - s < 0.0f && u + s > 0.0f && v - s < 0.0f && v + s > 0.0f) ? 1 : 0;
}

int32_t map_line_of_sight(float x0, float y0, float z0, float x1, float y1, float z1)
{
    const float st[3] = {x0, y0, z0}, en[3] = {x1, y1, z1};
    int32_t c0[3], c1[3], step[3];
    float f[3], d[3];
    int32_t n = 0;
    for (int a = 0; a < 3; a++) {
        if (!std::isfinite(st[a]) || !std::isfinite(en[a])) return 0;
        math_round_int(st[a] - 0.5f, &c0[a]);
        math_round_int(en[a] - 0.5f, &c1[a]);
        if (c1[a] < c0[a]) {
            step[a] = -1;
            f[a] = st[a] - (float)c0[a];
            d[a] = (st[a] - en[a]) * 1024.0f;
        } else if (c1[a] == c0[a]) {
            step[a] = 1;
            f[a] = 0.0f;
            d[a] = 0.0f;
        } else {
            step[a] = 1;
            f[a] = (float)c0[a] + 1.0f - st[a];
            d[a] = (en[a] - st[a]) * 1024.0f;
        }
        int64_t diff = (int64_t)c1[a] - c0[a];
        n += (int32_t)(diff < 0 ? (-diff > 32 ? 32 : -diff) : (diff > 32 ? 32 : diff));
    }
    if (n > 32) n = 32;
    int32_t r;
    // 64-bit error terms: far-apart points cannot overflow them.
    math_round_int(f[0] * d[2] - f[2] * d[0], &r);
    int64_t exz = r;
    math_round_int(f[1] * d[2] - f[2] * d[1], &r);
    int64_t eyz = r;
    math_round_int(f[1] * d[0] - f[0] * d[1], &r);
    int64_t exy = r;
    int32_t ix, iy, iz;
    math_round_int(d[0], &ix);
    int64_t dx = ix;
    math_round_int(d[1], &iy);
    int64_t dy = iy;
    math_round_int(d[2], &iz);
    int64_t dz = iz;
    int64_t cx = c0[0], cy = c0[1], cz = c0[2];
    while (n > 0) {
        if (exz >= 0 && eyz >= 0 && cz != c1[2]) {
            cz += step[2];
            exz -= dx;
            eyz -= dy;
        } else if (exy >= 0 && cx != c1[0]) {
            cx += step[0];
            exz += dz;
            exy -= dy;
        } else {
            cy += step[1];
            eyz += dz;
            exy += dx;
        }
        if (map_is_solid_wrap((int32_t)cx, (int32_t)cy, (int32_t)(cz < -1 ? -1 : (cz > 64 ? 64 : cz)))) return 0;
        n--;
    }
    return 1;
}
