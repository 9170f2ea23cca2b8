// Voxel model records shared by the renderer, the client game and the server.
// No renderer code here: the server builds debris models from detached block
// groups and the player record embeds sprite records.
#pragma once
#include <cstdint>
#include <cstring>

#include "common/math_vec.h"

// One surface voxel of a model. 8 bytes, the same fields as the file record
// (the file is still parsed field by field, never copied onto this struct).
struct Kv6Voxel {
    uint32_t colour;     // bytes blue, green, red, fourth (lit alike, becomes the pixel's top byte)
    uint16_t z;          // z within its column, 0 = top of the model
    uint8_t faces;       // exposed faces, KV6_FACE_* bits; 0 = never drawn
    uint8_t normalindex; // index into the direction table; 255 = zero vector
};
static_assert(sizeof(Kv6Voxel) == 8, "the drawer steps voxels as 8-byte records");

// Exposed-face bits of Kv6Voxel::faces.
enum : uint8_t {
    KV6_FACE_NEG_X = 1,
    KV6_FACE_POS_X = 2,
    KV6_FACE_NEG_Y = 4,
    KV6_FACE_POS_Y = 8,
    KV6_FACE_TOP = 16,    // -z face
    KV6_FACE_BOTTOM = 32, // +z face
};

// Models with zsize at or above this are not drawn (depth-step table size).
#define KV6_MAX_ZSIZE 1024

// One model in a single allocation: this header, then `voxelcount` voxels,
// then `xsize` 32-bit slice counts, then `xsize * ysize` 16-bit column counts
// (index x * ysize + y). Voxels run x-major, then y, then z ascending.
// Invariants: sum(xcounts) == voxelcount; each slice's column counts sum to
// its xcount; z strictly ascends within a column and stays below zsize.
struct Kv6Model {
    int32_t xsize, ysize, zsize;
    float xpivot, ypivot, zpivot; // voxel units from the model's low corner
    int32_t voxelcount;
    Kv6Voxel *voxels;
    uint32_t *xcounts;
    uint16_t *xycounts;
};

// A posed model. The renderer only reads it; the owner keeps its own state in
// `ownerdata`, which the renderer never touches.
// World point of model point m: position + (m - pivot) . (xaxis, yaxis, zaxis).
struct SpriteInstance {
    Vec3 position;              // where the model's pivot stands
    Vec3 xaxis, yaxis, zaxis;   // one voxel step along each model axis (scale included)
    uint32_t ownerdata[8];
    Kv6Model *model;            // null = nothing drawn
};

// Owner words hold floats or ints as the owner decides; these keep the bit
// copies explicit.
inline float sprite_owner_f32(const SpriteInstance *s, int i)
{
    float f;
    std::memcpy(&f, &s->ownerdata[i], 4);
    return f;
}
inline void sprite_owner_set_f32(SpriteInstance *s, int i, float f) { std::memcpy(&s->ownerdata[i], &f, 4); }
