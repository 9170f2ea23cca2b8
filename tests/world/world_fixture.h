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

inline bool map_valid(int32_t exact = 1)
{
    char msg[200];
    MapStats st;
    int32_t ok = map_check(&st, msg, sizeof msg, exact);
    if (!ok) std::fprintf(stderr, "map_check: %s\n", msg);
    return ok == 1;
}
