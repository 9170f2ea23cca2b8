#include "common/math_vec.h"

#include <cmath>

float math_angle_diff(float ax, float ay, float bx, float by)
{
    return std::atan2(by, bx) - std::atan2(ay, ax);
}

float math_dot3(float ax, float ay, float az, float bx, float by, float bz)
{
    return ax * bx + ay * by + az * bz;
}

float math_length3(float x, float y, float z)
{
    return std::sqrt(x * x + y * y + z * z);
}

float math_distance3(float ax, float ay, float az, float bx, float by, float bz)
{
    float dx = bx - ax, dy = by - ay, dz = bz - az;
    return std::sqrt(dz * dz + (dy * dy + dx * dx));
}

void math_round_int(float value, int32_t *out)
{
    if (!(value == value)) {
        *out = 0;
        return;
    }
    if (value >= 2147483520.0f) {
        *out = INT32_MAX;
        return;
    }
    if (value <= -2147483648.0f) {
        *out = INT32_MIN;
        return;
    }
    *out = (int32_t)std::nearbyint(value);
}
