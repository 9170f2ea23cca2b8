// Models built in code for the renderer's tests, benchmark and tool: shapes
// from a voxel grid with exposed-face bits and normal indices, and a set of
// simple player figures (body parts in the sizes the client checks, held
// tools, intels) in the client's model table.
#pragma once
#include <cstdint>

#include "common/model_types.h"

// Grid values: 0 empty, else VXMODEL_SOLID | 0xRRGGBB.
#define VXMODEL_SOLID 0x01000000u

// A model of the surface voxels of a grid of xs x ys x zs values, index
// (x * ys + y) * zs + z (z = 0 the top). Faces are exposed toward empty cells
// and the grid's outside; each normal points away from the solid around the
// voxel. Pivot (px, py, pz). Null when a size is not 1..255 or allocation fails.
// Free with discardmodel.
Kv6Model *vxmodel_from_grid(int32_t xs, int32_t ys, int32_t zs, const uint32_t *grid, float px, float py,
                            float pz);
// A solid box of one colour (0xRRGGBB), pivot at its centre.
Kv6Model *vxmodel_box(int32_t xs, int32_t ys, int32_t zs, uint32_t rgb);

// Built figures for the model table's slots 0..5 (held tools) and 12..27
// (both teams' body parts and the two intels); team 0 blue, team 1 green.
// Returns 1, or 0 when an allocation failed (nothing left allocated).
int vxmodel_make_figures();
// Frees what vxmodel_make_figures put in the table and clears those slots.
void vxmodel_free_figures();
// The figure of a slot by name for the tool ("head", "torso", "torsoc",
// "arms", "leg", "legc", "dead", "intel" -- team 0 -- and "spade", "block",
// "semi", "smg", "shotgun", "grenade"), or null. Needs vxmodel_make_figures.
Kv6Model *vxmodel_figure(const char *name);
