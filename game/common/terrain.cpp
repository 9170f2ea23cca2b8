// Fractal gradient-noise terrain. All arithmetic is in 32-bit floats with
// every float-to-integer step truncating, so the output is a pure function of
// the seed.
#include "common/terrain.h"

#include <cmath>

#include "common/map_heightmap.h"
#include "common/rng.h"

uint8_t terrain_perm[512];
uint8_t terrain_grad[512];

// Ambient share of each column's colour, added to the lit colour at the end.
static uint32_t terrain_ambient[TERRAIN_COLUMNS];

void terrain_init_permutation()
{
    for (int i = 0; i < 256; i++) terrain_perm[i] = (uint8_t)i;
    for (int i = 255; i >= 1; i--) {
        int j = (rng_rand() * (i + 1)) >> 15;
        uint8_t t = terrain_perm[i];
        terrain_perm[i] = terrain_perm[j];
        terrain_perm[j] = t;
    }
    for (int i = 0; i < 256; i++) terrain_perm[256 + i] = terrain_perm[i];
    for (int i = 0; i < 512; i++) terrain_grad[i] = terrain_perm[i] & 15;
}

float terrain_gradient(int32_t h, float x, float y, float z)
{
    switch (h & 15) {
    case 0: case 12: return x + y;
    case 1: case 13: return y - x;
    case 2: return x - y;
    case 3: return -x - y;
    case 4: return x + z;
    case 5: return z - x;
    case 6: return x - z;
    case 7: return -x - z;
    case 8: return y + z;
    case 9: return z - y;
    case 10: case 14: return y - z;
    default: return -y - z; // 11, 15
    }
}

static inline float terrain_weight(float t) { return (3.0f - 2.0f * t) * (t * t); }
static inline float terrain_lerp(float a, float b, float w) { return (b - a) * w + a; }

float terrain_noise(float x, float y, float z, int32_t mask)
{
    int32_t fx = (int32_t)std::floor(x), fy = (int32_t)std::floor(y), fz = (int32_t)std::floor(z);
    int32_t x0 = fx & mask, x1 = (x0 + 1) & mask;
    int32_t y0 = fy & mask, y1 = (y0 + 1) & mask;
    int32_t z0 = fz & mask, z1 = (z0 + 1) & mask;
    float tx = x - (float)fx, ty = y - (float)fy, tz = z - (float)fz;
    const uint8_t *P = terrain_perm, *G = terrain_grad;
    int32_t h00 = P[P[x0] + y0], h01 = P[P[x0] + y1], h10 = P[P[x1] + y0], h11 = P[P[x1] + y1];

    float wz = terrain_weight(tz);
    float c00 = terrain_lerp(terrain_gradient(G[h00 + z0], tx, ty, tz),
                             terrain_gradient(G[h00 + z1], tx, ty, tz - 1.0f), wz);
    float c10 = terrain_lerp(terrain_gradient(G[h10 + z0], tx - 1.0f, ty, tz),
                             terrain_gradient(G[h10 + z1], tx - 1.0f, ty, tz - 1.0f), wz);
    float c01 = terrain_lerp(terrain_gradient(G[h01 + z0], tx, ty - 1.0f, tz),
                             terrain_gradient(G[h01 + z1], tx, ty - 1.0f, tz - 1.0f), wz);
    float c11 = terrain_lerp(terrain_gradient(G[h11 + z0], tx - 1.0f, ty - 1.0f, tz),
                             terrain_gradient(G[h11 + z1], tx - 1.0f, ty - 1.0f, tz - 1.0f), wz);
    float wy = terrain_weight(ty);
    float cx0 = terrain_lerp(c00, c01, wy);
    float cx1 = terrain_lerp(c10, c11, wy);
    return terrain_lerp(cx0, cx1, terrain_weight(tx));
}

// Clamp that also sends NaN to the low end, so the integer conversion after
// it is always defined.
static inline float terrain_clamp(float v, float lo, float hi)
{
    if (!(v > lo)) return lo;
    return v > hi ? hi : v;
}

static inline void terrain_towards(float *c, float r, float g, float b, float k)
{
    c[0] = (r - c[0]) * k + c[0];
    c[1] = (g - c[1]) * k + c[1];
    c[2] = (b - c[2]) * k + c[2];
}

void terrain_build_heightmap(int32_t seed, uint32_t *heightmap)
{
    rng_srand((uint32_t)seed);
    terrain_init_permutation();

    float amplitude[10];
    int32_t mask[10];
    float a = 1.0f;
    for (int k = 0; k < 10; k++) {
        amplitude[k] = a;
        a *= 0.4f;
        int32_t m = (1 << (k + 2)) - 1;
        mask[k] = m < 255 ? m : 255;
    }
    const float light_norm = (float)std::sqrt(1.3125);

    for (int32_t y = 0; y < 512; y++) {
        for (int32_t x = 0; x < 512; x++) {
            int32_t i = y * 512 + x;
            float land0 = 0.0f, low[3];
            for (int s = 0; s < 3; s++) {
                float px = ((float)x * 0.5f + (float)(s & 1) * 0.1f) * 0.015625f;
                float py = ((float)y * 0.5f + (float)(s >> 1) * 0.1f) * 0.015625f;
                float h = 0.0f, w = 0.0f;
                for (int k = 0; k < 10; k++) {
                    float u = terrain_noise(px, py, 9.5f, mask[k]);
                    h = u * amplitude[k] * (h * 1.6f + 1.0f) + h;
                    w = w + terrain_noise(px, py, 13.2f, mask[k]) * amplitude[k];
                    px *= 2.0f;
                    py *= 2.0f;
                }
                float land = h * -20.0f + 28.0f;
                float t = (float)std::sin((double)(w * 4.0f + (float)x * 0.012271846644580364f)) * 0.52f + 0.48f;
                if (t > 1.0f) t = 1.0f;
                float lo = land * t;
                if (t < 0.0f) t = 0.0f;
                land = land * t;
                if (lo < land) lo = -(float)std::log((double)(1.0f - lo));
                if (s == 0) land0 = land;
                low[s] = lo;
            }

            float nx = low[1] - low[0], ny = low[2] - low[0], nz = -0.1f;
            float len = (float)std::sqrt((double)(nx * nx + ny * ny + nz * nz));
            nx /= len;
            ny /= len;
            nz /= len;

            float c[3] = {140.0f, 125.0f, 115.0f};
            float q = terrain_noise((float)x * 0.015625f, (float)y * 0.015625f, 0.3f, 15) * 0.3f +
                      ((-nz > 0.0f ? -nz : 0.0f) * 1.4f - low[0] / 32.0f);
            q = terrain_clamp(q, 0.0f, 1.0f);
            terrain_towards(c, 72.0f, 80.0f, 32.0f, q);
            float v = (1.0f - 2.0f * std::fabs(q - 0.5f)) * 0.7f;
            terrain_towards(c, 68.0f, 78.0f, 40.0f, v);
            float d = terrain_clamp((land0 - low[0]) * 1.5f, 0.0f, 1.0f);
            float m = 1.0f - d * 0.2f;
            terrain_towards(c, m * 60.0f, m * 100.0f, m * 120.0f, d);

            int32_t ar = (int32_t)terrain_clamp(c[0] * 0.3f, 0.0f, 255.0f);
            int32_t ag = (int32_t)terrain_clamp(c[1] * 0.3f, 0.0f, 255.0f);
            int32_t ab = (int32_t)terrain_clamp(c[2] * 0.3f, 0.0f, 255.0f);
            terrain_ambient[i] = (uint32_t)ab | ((uint32_t)ag << 8) | ((uint32_t)ar << 16);
            int32_t mx = ar > ag ? ar : ag;
            if (ab > mx) mx = ab;

            float L = ((ny * 0.25f + nx * 0.5f) - nz) * 1.2f / light_norm;
            float top = (float)(255 - mx);
            // Ground z clamped to the map's depth: an out-of-range height would
            // make a column the store cannot hold.
            int32_t gz = (int32_t)terrain_clamp(63.0f - land0, 0.0f, 63.0f);
            int32_t r = (int32_t)terrain_clamp(c[0] * L, 0.0f, top);
            int32_t g = (int32_t)terrain_clamp(c[1] * L, 0.0f, top);
            int32_t b = (int32_t)terrain_clamp(c[2] * L, 0.0f, top);
            heightmap[i] = (uint32_t)b | ((uint32_t)g << 8) | ((uint32_t)r << 16) | ((uint32_t)gz << 24);
        }
    }
    // Ambient bytes on top of the lit bytes; each sum stays within 255.
    for (int32_t i = 0; i < TERRAIN_COLUMNS; i++) heightmap[i] += terrain_ambient[i];
}

int terrain_generate(int32_t seed)
{
    static uint32_t heightmap[TERRAIN_COLUMNS];
    terrain_build_heightmap(seed, heightmap);
    return map_build_from_heightmap(heightmap);
}
