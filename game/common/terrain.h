// Terrain generator: fractal gradient noise turned into a ground height and a
// colour per column, driven by the deterministic 15-bit generator (rng.h) so a
// seed gives the same map on every machine.
#pragma once
#include <cstdint>

#define TERRAIN_COLUMNS (512 * 512)

// Permutation (a shuffle of 0..255, then a copy) and gradient indices
// (permutation & 15); filled by terrain_init_permutation.
extern uint8_t terrain_perm[512];
extern uint8_t terrain_grad[512];

// Fills the permutation and gradient tables from rng_rand().
void terrain_init_permutation();
// Dot product of (x, y, z) with gradient direction h (0..15).
float terrain_gradient(int32_t h, float x, float y, float z);
// Gradient noise at (x, y, z); the lattice repeats with period mask + 1.
float terrain_noise(float x, float y, float z, int32_t mask);

// Seeds the generator and writes the height map of the whole map: word
// y * 512 + x holds blue, green, red and the column's ground z (0..63) in its
// bytes from low to high.
void terrain_build_heightmap(int32_t seed, uint32_t *heightmap);

// Generates the map for a seed into the world store (terrain_build_heightmap,
// then map_build_from_heightmap). Returns 1, or 0 when the columns did not fit.
int terrain_generate(int32_t seed);
