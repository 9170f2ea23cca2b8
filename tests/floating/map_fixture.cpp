#include "map_fixture.h"

#include "common/map_check.h"
#include "common/map_query.h"
#include "common/rng.h"

void fixture_flat()
{
    map_make_flat(60, 0x7F406080u);
    map_seed_count = 0;
    map_placed_rng = 0;
    rng_srand(1);
}

void fixture_fill(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t z0, int32_t z1)
{
    map_colour_callback = map_colour_placed_block;
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = x0; x <= x1; x++) map_insert_slab(map_edit_column(x, y), z0, z1);
    map_edit_finish();
}

void fixture_remove(int32_t x, int32_t y, int32_t z)
{
    MapCell c = {x, y, z};
    map_remove_block(&c);
}

std::vector<uint8_t> fixture_image()
{
    std::vector<uint8_t> img;
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        const uint8_t *p = voxel_map.columns[i];
        img.insert(img.end(), p, p + map_column_size(p));
    }
    return img;
}

std::string fixture_check_store(int32_t colour_rule)
{
    std::vector<uint32_t> used(MAP_BITMAP_WORDS, 0);
    used[0] |= 1;
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        const uint8_t *p = voxel_map.columns[i];
        const uint8_t *base = (const uint8_t *)voxel_map.pool;
        if (p < base + 4 || p >= base + sizeof(voxel_map.pool)) return "column outside the pool";
        int64_t w0 = (p - base) / 4;
        int32_t size = map_column_size(p);
        for (int64_t w = w0; w < w0 + size / 4; w++) {
            if (used[w >> 5] & (1u << (w & 31))) return "two columns share a word";
            used[w >> 5] |= 1u << (w & 31);
        }
    }
    for (int32_t k = 0; k < MAP_BITMAP_WORDS; k++)
        if (used[k] != voxel_map.bitmap[k]) return "bitmap differs from the columns' words at " + std::to_string(k);
    char msg[200];
    if (!map_check(nullptr, msg, sizeof msg, colour_rule)) return std::string("map_check: ") + msg;
    std::vector<uint8_t> img = fixture_image();
    const char *why = "";
    if (!map_validate_image(img.data(), img.size(), &why)) return std::string("image: ") + why;
    return "";
}

int32_t fixture_count_solid(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1)
{
    int32_t n = 0;
    for (int32_t x = x0; x <= x1; x++)
        for (int32_t y = y0; y <= y1; y++)
            for (int32_t z = z0; z <= z1; z++) n += map_is_solid(x, y, z);
    return n;
}

uint64_t fixture_fnv1a(const std::vector<uint8_t> &bytes)
{
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}
