// Test maps for the renderer's tests, benchmark and tool, built through the
// world store's own functions (image load and edit batches).
#pragma once
#include <cstdint>

// Every map here leaves the store indexed and ready to render; each returns
// 1 on success, 0 when the store refused the image.

// Flat floor: solid from `ground` (0..63) down, one colour.
int vxmap_flat(int32_t ground, uint32_t rgb);
// Height field: ground z per column (y * 512 + x) and a 0xRRGGBB colour per
// column; the sides that face lower neighbours get the column's colour too.
int vxmap_heights(const uint8_t *ground, const uint32_t *rgb);
// Random heights in 8 x 8 plots (deterministic for a seed).
int vxmap_random(uint32_t seed);
// Flat floor at z 50 with towers: a grid of pillars of several heights, one
// tower across the map's corner (x 508..3, y 508..3) and a bridge (a slab with
// air below) for undersides. Colours tell faces apart.
int vxmap_towers();
// A town: blocks of buildings with streets and overhangs over terrain-like
// ground; the "built-up area" view of the benchmark.
int vxmap_town(uint32_t seed);
// The generated map of a seed (terrain_generate, then indexed and shaded).
int vxmap_generated(int32_t seed);
// Terrain from the shared generator's height map for a seed, loaded as an
// image of single-span columns.
int vxmap_terrain(int32_t seed);

// Colours used by vxmap_towers.
#define VXMAP_FLOOR_RGB 0x3C8C3Cu
#define VXMAP_TOWER_RGB 0xC06040u
#define VXMAP_CORNER_RGB 0x4060E0u
#define VXMAP_BRIDGE_RGB 0xE0E040u
