// A well-formed map image that fills the column pool to its last word, as a
// hostile server or a crafted map file may: flat ground at z 40 (one colour
// at the top, two words a column; on the map's border coloured down to z 62,
// so that loading recompiles nothing), but for a band of rows from y 390 on
// whose columns are stacks of single blocks, one every other z from the top
// down (every voxel the top of its run, so every colour is needed), as many
// as the rest of the pool takes. No word is left free: an edit on the flat
// ground that needs one more word anywhere cannot be stored (a block in the
// air above the ground, a cave dug under its top whose neighbours then face
// air). A block on top of the ground still fits, in the words of the colour
// it covers, and so does taking the top block away.
#pragma once
#include <cstdint>
#include <vector>

#include "common/map_store.h"

#define FULL_POOL_GROUND 40
#define FULL_POOL_BAND_Y 390

inline void full_pool_put(std::vector<uint8_t> &img, int32_t n, int32_t s, int32_t e, int32_t a, int32_t colours)
{
    img.insert(img.end(), {(uint8_t)n, (uint8_t)s, (uint8_t)e, (uint8_t)a});
    for (int32_t c = 0; c < colours; c++) img.insert(img.end(), {0x60, 0x70, 0x50, 0x7F});
}

// A column of `words` words (3..64): single blocks (two words each) at z 0,
// 2, 4, ...; an odd count starts with a block of two voxels (top and bottom
// colour, three words). The ground is z 62 and 63.
inline void full_pool_stack(std::vector<uint8_t> &img, int32_t words)
{
    int32_t left = words - 2, z = 0, a = 0;
    if (left & 1) {
        full_pool_put(img, 3, 0, 0, 0, 2);
        left -= 3;
        z = 3;
        a = 2;
    }
    for (; left > 0; left -= 2, z += 2) {
        full_pool_put(img, 2, z, z, a, 1);
        a = z + 1;
    }
    full_pool_put(img, 0, 62, 62, a, 1);
}

inline std::vector<uint8_t> full_pool_image()
{
    const int32_t border_words = 62 - FULL_POOL_GROUND + 2;
    std::vector<int32_t> words(MAP_COLUMNS, 2);
    int64_t extra = (int64_t)MAP_POOL_WORDS - 1;
    auto border = [](int32_t i) { return (i & 511) == 0 || (i & 511) == 511 || (i >> 9) == 0 || (i >> 9) == 511; };
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        if (border(i)) words[i] = border_words;
        extra -= words[i];
    }
    // The words left, given to the band's columns, at most 62 more each.
    for (int32_t i = FULL_POOL_BAND_Y * MAP_SIZE; i < MAP_COLUMNS && extra > 0; i++) {
        if (border(i)) continue;
        int32_t more = extra > 62 ? 62 : (int32_t)extra;
        words[i] += more;
        extra -= more;
    }
    std::vector<uint8_t> img;
    img.reserve(MAP_IMAGE_MAX_BYTES);
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        if (border(i)) {
            full_pool_put(img, 0, FULL_POOL_GROUND, 62, 0, border_words - 1);
            continue;
        }
        if (words[i] == 2) {
            full_pool_put(img, 0, FULL_POOL_GROUND, FULL_POOL_GROUND, 0, 1);
            continue;
        }
        full_pool_stack(img, words[i]);
    }
    return img;
}
