// Ray casts through the map: the first coloured voxel along a ray and the
// face it was entered through (shooting, building, the spade, particles).
#pragma once
#include <cstdint>

#include "common/map_store.h"
#include "common/math_vec.h"

// Faces: 0 the -x face (ray moving +x), 1 +x, 2 -y, 3 +y, 4 the top (-z,
// ray moving down), 5 the bottom (ray moving up).
struct HitRecord {
    int32_t x, y, z;              // hit cell; on a miss the last cell reached
    int32_t adj_x, adj_y, adj_z;  // cell in front of the hit face (map_ray_cast_adjacent)
    VoxelColour *colour;          // the hit voxel's colour in the pool, valid until the next edit
    int32_t face;
};

// The caller keeps its own HitRecord, points a pointer at it and passes the
// pointer's address; afterwards a null pointer means nothing was hit. A start
// outside the map horizontally, far above it (z < -1024), inside the bottom
// solid (any z below 63 included), or a non-finite start or direction is a miss. An all-zero direction
// steps along +x.
void map_ray_cast(const Vec3 *pos, const Vec3 *dir, HitRecord **hit);
// As map_ray_cast, and on a hit fills the adjacent cell: where a block goes.
void map_ray_cast_adjacent(const Vec3 *pos, const Vec3 *dir, HitRecord **hit);
