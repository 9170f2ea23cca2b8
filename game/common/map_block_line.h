// The cells of a straight block line between two block cells, as built by a
// block-line drag (client) and checked and built by the server.
#pragma once
#include <cstdint>

#define BLOCK_LINE_MAX 65

struct BlockCell {
    int32_t x, y, z;
};

// Fills cells with the line from start towards end and returns the count
// (1..65): start first; end last unless the line is longer than 65 cells or
// its next cell would leave the map (x, y 0..511, z 0..63). The start itself
// is not range-checked: callers validate it. Any int32 input is safe.
int map_block_line(const BlockCell *start, const BlockCell *end, BlockCell cells[BLOCK_LINE_MAX]);
