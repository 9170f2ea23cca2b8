// Random directions and angles shared by the client's effects.
#pragma once
#include "common/math_vec.h"

// A random unit vector from two draws of the project's 15-bit rand: z evenly
// in -1..1, then an angle around z. Returns out.
Vec3 *game_random_unit_vector(Vec3 *out);
// Cosine and sine of an angle in radians.
void game_sincos(float angle, float *cosine, float *sine);
