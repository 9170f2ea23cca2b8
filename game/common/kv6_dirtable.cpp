// Golden-angle spiral of unit directions.
#include "common/kv6_dirtable.h"

#include <cmath>

DirectionTable dirtable;

void getsincos(float angle, float *c, float *s)
{
    *c = (float)std::cos((double)angle);
    *s = (float)std::sin((double)angle);
}

int32_t muladd2(int32_t a, int32_t b, int32_t x, int32_t y)
{
    return (int32_t)((uint32_t)a * (uint32_t)b + (uint32_t)x * (uint32_t)y);
}

void dirfromindex(int32_t i, float *x, float *y, float *z)
{
    int32_t n = dirtable.count > 0 ? dirtable.count : 255;
    float step = 2.0f / (float)n;
    float offset = step * 0.5f - 1.0f;
    float zz = (float)i * step + offset;
    float r = std::sqrt(1.0f - zz * zz);
    float angle = (float)((double)i * 2.39996337890625);
    float c, s;
    getsincos(angle, &c, &s);
    *x = c * r;
    *y = s * r;
    *z = zz;
}

void builddirtable(int32_t n)
{
    if (n < 1) n = 1;
    if (n > DIRTABLE_MAX - 1) n = DIRTABLE_MAX - 1;
    dirtable.count = n;
    for (int32_t i = n - 1; i >= 0; i--) dirfromindex(i, &dirtable.dir[i][0], &dirtable.dir[i][1], &dirtable.dir[i][2]);
    if (n & 1) dirtable.dir[n][0] = dirtable.dir[n][1] = dirtable.dir[n][2] = 0.0f;
}

int32_t indexfromdir(float x, float y, float z)
{
    // A full scan of at most 255 entries: exact, and nothing calls it per frame.
    int32_t n = dirtable.count > 0 ? dirtable.count : 0;
    int32_t best = 0;
    float bestdot = -INFINITY;
    for (int32_t i = 0; i < n; i++) {
        float d = dirtable.dir[i][0] * x + dirtable.dir[i][1] * y + dirtable.dir[i][2] * z;
        if (d > bestdot) {
            bestdot = d;
            best = i;
        }
    }
    return best;
}
