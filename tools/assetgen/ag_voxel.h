// Voxel models for the generator: a dense grid painted by shape primitives,
// then written in the KV6 layout with surface voxels only, their exposed-face
// bits and a lighting normal each.
#pragma once
#include <cstdint>
#include <vector>

#include "ag_formats.h"

// Pure black: the client repaints it with the team colour at load, so it is
// used for uniforms, team flags and intel cases and nowhere else.
#define VOX_TEAM 0x000000u

enum VoxShape : uint8_t {
    VOX_BOX,   // cells a..b, inclusive
    VOX_BALL,  // ellipsoid inscribed in cells a..b
    VOX_CYL_X, // cylinder along x inscribed in cells a..b (likewise y, z)
    VOX_CYL_Y,
    VOX_CYL_Z,
    VOX_ROD,   // cells whose centre lies within r of the segment a-b (model coordinates)
    VOX_CUT,   // empties cells a..b
    VOX_PAINT, // recolours the filled cells among a..b (eyes, stripes, trim)
    VOX_EDGES, // recolours the filled cells on the twelve edges of box a..b
};

// One primitive; later primitives paint over earlier ones. Model axes as the
// client poses them: +x the model's left, +y forward, +z down (z 0 on top).
struct VoxPrim {
    VoxShape shape;
    uint32_t colour; // 0x00RRGGBB
    float a[3];
    float b[3];
    float r = 0.0f;  // VOX_ROD only
};

struct VoxPoint {
    float x, y, z;
};

struct VoxModelDesc {
    const char *name;   // the file is kv6/<name>.kv6
    int32_t size[3];    // x, y, z in voxels
    VoxPoint pivot;     // voxel units from the low corner
    const VoxPrim *prims;
    int32_t count;
    int32_t grain;      // +- brightness jitter per voxel (0 none); never on team black
    uint32_t team_as;   // when not 0, team black is painted in this colour instead
};

struct VoxGrid {
    int32_t size[3];
    std::vector<uint8_t> filled; // index (x * ysize + y) * zsize + z
    std::vector<uint32_t> colour;
};

// Paints the description's primitives into a grid of its size.
void vox_build(const VoxModelDesc *desc, VoxGrid *grid);

// 1 when cell (x, y, z) lies in the grid and is filled.
int vox_filled(const VoxGrid *grid, int32_t x, int32_t y, int32_t z);

// Exposed-face bits of a filled cell (KV6_FACE_*: a face is exposed when the
// neighbour across it is empty or outside the model).
uint8_t vox_faces(const VoxGrid *grid, int32_t x, int32_t y, int32_t z);

// Normal index of a surface cell: the direction table entry nearest to the
// mean direction from the cell into the solid around it (light vectors point
// the way light travels, so a lit face's normal points inwards); 255 when the
// neighbourhood gives no direction. Needs builddirtable(255) first.
uint8_t vox_normal(const VoxGrid *grid, int32_t x, int32_t y, int32_t z);

// The KV6 file of a grid: surface voxels (at least one exposed face) in
// x, y, z order, then the slice and column counts.
Bytes vox_encode_kv6(const VoxGrid *grid, VoxPoint pivot);
