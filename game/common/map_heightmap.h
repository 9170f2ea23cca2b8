// Builds the world store from a 512 x 512 height map (the terrain generator's
// output, or any other producer's).
#pragma once
#include <cstdint>

// Word y * 512 + x: bytes blue, green, red, ground z (low to high). Every
// column becomes one span solid from its ground z down, coloured from the
// ground z down to one above the deepest neighbour top (neighbours inside the
// map only), each colour the whole word (so the z byte is the shade until the
// map is indexed). Sets the table, bitmap and rover and empties the
// floating-chunk list; no shading. A z byte above 63 is taken as 63.
// Returns 1; 0 when the columns would not fit into the pool (the store then
// holds the empty map).
int32_t map_build_from_heightmap(const uint32_t *heightmap);
