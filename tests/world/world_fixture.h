// Helpers shared by the world tests: a dense solidity model of the map.
#pragma once
#include <cstdint>
#include <cstring>

#include "common/map_check.h"
#include "common/map_store.h"

// Bit z of model[y * 512 + x] set when the voxel is solid.
struct DenseModel {
    uint64_t col[MAP_COLUMNS];
};

inline void model_from_map(DenseModel *m)
{
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        uint64_t s, c;
        map_column_bits(i & 511, i >> 9, &s, &c);
        m->col[i] = s;
    }
}

inline uint64_t z_range(int32_t z0, int32_t z1)
{
    uint64_t m = 0;
    for (int32_t z = z0; z < z1; z++) m |= 1ull << z;
    return m;
}

// Index of the first column that differs from the model, or -1.
inline int32_t model_mismatch(const DenseModel *m)
{
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        uint64_t s, c;
        map_column_bits(i & 511, i >> 9, &s, &c);
        if (s != m->col[i]) return i;
    }
    return -1;
}

inline bool map_valid(int32_t colour_rule = 2)
{
    char msg[200];
    MapStats st;
    int32_t ok = map_check(&st, msg, sizeof msg, colour_rule);
    if (!ok) std::fprintf(stderr, "map_check: %s\n", msg);
    return ok == 1;
}

#include <vector>

// A map image of flat two-word columns at ground z, as bytes.
inline std::vector<uint8_t> flat_image(int32_t ground, uint32_t colour = 0x7F406080u)
{
    std::vector<uint8_t> img;
    img.reserve(MAP_COLUMNS * 8);
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        uint8_t h[8] = {0, (uint8_t)ground, (uint8_t)ground, 0, (uint8_t)colour, (uint8_t)(colour >> 8),
                        (uint8_t)(colour >> 16), (uint8_t)(colour >> 24)};
        img.insert(img.end(), h, h + 8);
    }
    return img;
}

// Byte offset of column i in a flat image.
inline size_t flat_offset(int32_t x, int32_t y) { return (size_t)((y << 9) | x) * 8; }

// Replaces column (x, y) of a flat image with the given bytes.
inline void put_column(std::vector<uint8_t> &img, int32_t x, int32_t y, const std::vector<uint8_t> &col)
{
    size_t at = flat_offset(x, y);
    img.erase(img.begin() + (long)at, img.begin() + (long)at + 8);
    img.insert(img.begin() + (long)at, col.begin(), col.end());
}

inline std::vector<uint8_t> read_all(const char *path)
{
    std::vector<uint8_t> v;
    FILE *f = std::fopen(path, "rb");
    if (!f) return v;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) v.insert(v.end(), buf, buf + n);
    std::fclose(f);
    return v;
}
