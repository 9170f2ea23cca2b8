// A loose-group fixture on the flat test ground (z 40): a one-column stem
// from z 30 to 39 carrying a 3 x 3 cap at z 28 and 29. Digging the stem at
// z 38 (which takes 37..39) leaves the stem's rest and the cap floating.
#pragma once
#include <vector>

#include "common/map_edit.h"

#define PILLAR_X 100
#define PILLAR_Y 100
#define PILLAR_DIG_Z 38
#define PILLAR_COLOUR 0x00A05020

// The cells of the pillar that float once the stem is dug at PILLAR_DIG_Z.
inline std::vector<MapCell> pillar_loose_cells()
{
    std::vector<MapCell> cells;
    for (int y = PILLAR_Y - 1; y <= PILLAR_Y + 1; y++)
        for (int x = PILLAR_X - 1; x <= PILLAR_X + 1; x++)
            for (int z = 28; z <= 29; z++) cells.push_back({x, y, z});
    for (int z = 30; z < PILLAR_DIG_Z - 1; z++) cells.push_back({PILLAR_X, PILLAR_Y, z});
    return cells;
}

// Builds the pillar on the current map.
inline void pillar_build()
{
    for (const MapCell &c : pillar_loose_cells()) map_add_block(&c, PILLAR_COLOUR);
    for (int z = PILLAR_DIG_Z - 1; z < 40; z++) {
        MapCell c = {PILLAR_X, PILLAR_Y, z};
        map_add_block(&c, PILLAR_COLOUR);
    }
}
