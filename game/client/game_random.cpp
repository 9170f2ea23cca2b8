#include "client/game_random.h"

#include <cmath>

#include "common/kv6_dirtable.h"
#include "common/rng.h"

void game_sincos(float angle, float *cosine, float *sine) { getsincos(angle, cosine, sine); }

Vec3 *game_random_unit_vector(Vec3 *out)
{
    float z = (float)((double)rng_rand() / 16383.0 - 1.0);
    float angle = (float)((double)rng_rand() * 0.00019175345369149);
    float c, s;
    game_sincos(angle, &c, &s);
    // rand 32767 gives z a hair above 1: no negative root.
    float r2 = 1.0f - z * z;
    float r = r2 > 0.0f ? std::sqrt(r2) : 0.0f;
    out->x = c * r;
    out->y = s * r;
    out->z = z;
    return out;
}
