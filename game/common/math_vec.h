// Small vector helpers shared by both programs.
#pragma once
#include <cstdint>

struct Vec3 {
    float x, y, z;
};

// atan2(by, bx) - atan2(ay, ax), in radians, not wrapped into -pi..pi.
float math_angle_diff(float ax, float ay, float bx, float by);
float math_dot3(float ax, float ay, float az, float bx, float by, float bz);
float math_length3(float x, float y, float z);
// sqrt((bz - az)^2 + ((by - ay)^2 + (bx - ax)^2)), summed in that order.
float math_distance3(float ax, float ay, float az, float bx, float by, float bz);
// Stores the value rounded to the nearest integer, ties to even, into *out;
// values beyond the int32 range (and NaN) are clamped (NaN gives 0).
void math_round_int(float value, int32_t *out);
