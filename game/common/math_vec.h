// Small vector helpers shared by both programs.
#pragma once

struct Vec3 {
    float x, y, z;
};

// atan2(by, bx) - atan2(ay, ax), in radians, not wrapped into -pi..pi.
float math_angle_diff(float ax, float ay, float bx, float by);
float math_dot3(float ax, float ay, float az, float bx, float by, float bz);
float math_length3(float x, float y, float z);
// sqrt((bz - az)^2 + ((by - ay)^2 + (bx - ax)^2)), summed in that order.
float math_distance3(float ax, float ay, float az, float bx, float by, float bz);
