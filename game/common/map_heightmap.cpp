// Height map to one-span columns.
#include "common/map_heightmap.h"

#include "common/map_store.h"

static inline int32_t map_hm_z(const uint32_t *m, int32_t x, int32_t y)
{
    int32_t z = (int32_t)(m[(y << 9) | x] >> 24);
    return z > 63 ? 63 : z;
}

// One past the deepest coloured voxel of column (x, y).
static inline int32_t map_hm_colour_end(const uint32_t *m, int32_t x, int32_t y)
{
    int32_t e = map_hm_z(m, x, y) + 1;
    if (x > 0 && map_hm_z(m, x - 1, y) > e) e = map_hm_z(m, x - 1, y);
    if (x < 511 && map_hm_z(m, x + 1, y) > e) e = map_hm_z(m, x + 1, y);
    if (y > 0 && map_hm_z(m, x, y - 1) > e) e = map_hm_z(m, x, y - 1);
    if (y < 511 && map_hm_z(m, x, y + 1) > e) e = map_hm_z(m, x, y + 1);
    return e;
}

int32_t map_build_from_heightmap(const uint32_t *m)
{
    // Size first, so a map that cannot fit leaves nothing half written.
    int64_t words = 1;
    for (int32_t y = 0; y < 512; y++)
        for (int32_t x = 0; x < 512; x++) words += 1 + map_hm_colour_end(m, x, y) - map_hm_z(m, x, y);
    if (words > MAP_POOL_WORDS) {
        map_clear();
        return 0;
    }
    uint32_t *w = &voxel_map.pool[1];
    for (int32_t y = 0; y < 512; y++) {
        for (int32_t x = 0; x < 512; x++) {
            int32_t i = (y << 9) | x;
            int32_t l = map_hm_z(m, x, y), e = map_hm_colour_end(m, x, y);
            uint8_t *p = (uint8_t *)w;
            voxel_map.columns[i] = p;
            p[0] = 0;
            p[1] = (uint8_t)l;
            p[2] = (uint8_t)(e - 1);
            p[3] = 0;
            for (int32_t k = 0; k < e - l; k++) w[1 + k] = m[i];
            w += 1 + e - l;
        }
    }
    voxel_map.image_bytes = (uint32_t)((words - 1) * 4);
    map_mark_used_below((int32_t)words);
    voxel_map.chunk_count = 0;
    voxel_map.loaded = 1;
    return 1;
}
