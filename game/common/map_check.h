// Map invariant checker for tests and tools: every column well-formed inside
// the pool, no two columns sharing words, the bitmap marking exactly the
// words in use, and the colouring rule of the span layout.
#pragma once
#include <cstddef>
#include <cstdint>

struct MapStats {
    int32_t columns;          // table entries checked
    int32_t pool_words_used;  // words of all columns plus the sentinel
    int32_t spans;
    int32_t colours;          // stored colour words
    int64_t solid_voxels;
    int32_t min_ground, max_ground;
    int32_t colour_missing;   // voxels that must be coloured but are not
    int32_t colour_extra;     // stored colours the rule does not ask for (loaded maps may have them)
    int32_t bottom_coloured;  // z 63 coloured below the top of its run
};

// Solidity and colour bits (bit z) of column (x, y) (wrapping).
void map_column_bits(int32_t x, int32_t y, uint64_t *solid, uint64_t *coloured);
// Checks the whole store. Returns 1 when the structure and the bitmap are
// sound and the colouring meets colour_rule: 0 not tested (loaded maps are
// taken as they are), 1 no required colour missing and z 63 coloured only at
// the top of its run, 2 as 1 and no extra colours (what the edit compiler
// produces). 0 otherwise, with the first fault in msg. stats (may be null)
// is filled as far as the walk got.
int32_t map_check(MapStats *stats, char *msg, size_t msglen, int32_t colour_rule);
