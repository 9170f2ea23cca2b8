// Builds small test worlds from a solidity mask per column and loads them
// through the map store's image loader, so movement tests read the real store.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "common/map_store.h"

// Bit z set = voxel (x, y, z) solid. Bit 63 must be set in every column.
typedef std::function<uint64_t(int x, int y)> ColumnMask;

inline uint64_t mask_ground(int z) { return ~0ull << z; }
inline uint64_t mask_slab(int z0, int z1) { return (~0ull << z0) & (~0ull >> (63 - z1)); }  // z0..z1

// Runs above the bottom one are coloured whole; the bottom run is coloured
// from its top down to its deepest voxel that faces air sideways (`exposed`),
// which keeps the image small and the store's colour rules intact.
inline void fixture_put_column(std::vector<uint8_t> &img, uint64_t mask, uint64_t exposed)
{
    mask |= 1ull << 63;
    int z = 0;
    int air_start = 0;
    bool first = true;
    while (z < 64) {
        while (z < 64 && !(mask >> z & 1)) z++;
        int s = z;
        while (z < 64 && (mask >> z & 1)) z++;
        int t = z;
        bool last = t == 64;
        int e = t - 1;
        if (last) {
            e = s;
            for (int k = s + 1; k < 63; k++)
                if (exposed >> k & 1) e = k;
        }
        img.push_back(last ? 0 : (uint8_t)(1 + (t - s)));
        img.push_back((uint8_t)s);
        img.push_back((uint8_t)e);
        img.push_back(first ? 0 : (uint8_t)air_start);
        for (int k = s; k <= e; k++) {
            uint8_t c[4] = {0x40, (uint8_t)(0x60 + k), 0x80, 0x7F};
            img.insert(img.end(), c, c + 4);
        }
        first = false;
        air_start = t;
    }
}

inline bool fixture_load(const ColumnMask &solid)
{
    std::vector<uint64_t> m(MAP_COLUMNS);
    for (int y = 0; y < 512; y++)
        for (int x = 0; x < 512; x++) m[y * 512 + x] = solid(x, y) | 1ull << 63;
    auto at = [&](int x, int y) { return m[(y & 511) * 512 + (x & 511)]; };
    std::vector<uint8_t> img;
    img.reserve(MAP_COLUMNS * 12);
    for (int y = 0; y < 512; y++)
        for (int x = 0; x < 512; x++) {
            uint64_t own = at(x, y);
            uint64_t all = at(x - 1, y) & at(x + 1, y) & at(x, y - 1) & at(x, y + 1);
            fixture_put_column(img, own, own & ~all);
        }
    return map_load_image(img.data(), img.size()) == 1;
}
