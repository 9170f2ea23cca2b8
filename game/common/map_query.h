// Read-only questions put to the map: solidity, ground, stored colours,
// random ground points, the aim box and line of sight.
#pragma once
#include <cstdint>

#include "common/map_store.h"
#include "common/math_vec.h"

// Solidity, 1 solid / 0 air. They differ only at the edges:
// x or y < 0 or >= 512 is solid; z < 0 air; z 63 tested as 62; z >= 64 solid.
// Coordinates truncate toward zero; NaN counts as solid.
int32_t map_is_solid_at(float x, float y, float z);
// x or y outside 0..511 air; z < 0 air, z > 63 solid.
int32_t map_is_solid(int32_t x, int32_t y, int32_t z);
// x and y wrap (& 511); z as map_is_solid.
int32_t map_is_solid_wrap(int32_t x, int32_t y, int32_t z);
// x and y wrap; z 63 tested as 62, so the bottom layer is solid only under solid.
int32_t map_is_solid_no_water(int32_t x, int32_t y, int32_t z);

// z of the highest solid voxel of column (x, y); x, y wrap.
int32_t map_ground_z(int32_t x, int32_t y);
// z itself when (x, y, z) is solid, else the top of the solid below the gap
// holding z; x, y wrap; z < 0 is treated as above the column.
int32_t map_floor_z(int32_t x, int32_t y, int32_t z);
// Stored colour of (x & 511, y & 511, z); null for air and uncoloured solid.
VoxelColour *map_surface_colour(int32_t x, int32_t y, int32_t z);
// As map_surface_colour without wrapping: null outside 0..511 x 0..511 x 0..63.
VoxelColour *map_colour_ptr(int32_t x, int32_t y, int32_t z);

struct MapRect {
    int32_t x0, y0, x1, y1;  // x0 inclusive, x1 exclusive
};

// A ground point inside the rectangle not in water (z < 63), up to 32 tries
// of two rng_rand() calls each; after 32 failures the last try stands.
// A rectangle of width or height 0 takes x0 (y0); an inverted one gives
// x0 + rand % (x1 - x0) as the runtime's % does (0 .. |w| - 1). Returns out.
Vec3 *map_random_point_in_rect(Vec3 *out, const MapRect *rect);
// Aim-box core of player_aim_box_test: 1 when (x, y, z) lies in front of the
// eye within half size r of the forward axis along right and down.
int32_t map_aim_box_test(const Vec3 *eye, const Vec3 *forward, const Vec3 *right,
                         const Vec3 *down, float x, float y, float z, float r);
// 1 when no solid cell lies on the cell walk between the two points (at most
// 32 cells tested; the start cell never); 0 at the first solid cell, and for
// non-finite input.
int32_t map_line_of_sight(float x0, float y0, float z0, float x1, float y1, float z1);
