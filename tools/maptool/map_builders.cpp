#include "map_builders.h"

#include <cstdio>
#include <random>
#include <vector>

#include "common/byteio.h"
#include "common/map_edit.h"
#include "common/map_store.h"
#include "common/terrain.h"

void build_flat_map(int32_t ground)
{
    std::vector<uint8_t> img((size_t)MAP_COLUMNS * 8);
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        uint8_t *p = &img[(size_t)i * 8];
        p[0] = 0;
        p[1] = p[2] = (uint8_t)ground;
        p[3] = 0;
        le_put_u32(p + 4, 0x7F3C8C3Cu);
    }
    map_load_image(img.data(), img.size());
}

void build_hills_map(int32_t seed)
{
    std::vector<uint32_t> hm(MAP_COLUMNS);
    terrain_build_heightmap(seed, hm.data());
    auto ground = [&](int32_t x, int32_t y) {
        int32_t z = (int32_t)(hm[(size_t)((y << 9) | x)] >> 24);
        return z < 0 ? 0 : (z > 63 ? 63 : z);
    };
    std::vector<uint8_t> img;
    img.reserve((size_t)MAP_COLUMNS * 64);
    for (int32_t y = 0; y < 512; y++) {
        for (int32_t x = 0; x < 512; x++) {
            int32_t l = ground(x, y), e = l + 1;
            const int32_t nb[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (auto &n : nb)
                if (n[0] >= 0 && n[0] < 512 && n[1] >= 0 && n[1] < 512 && ground(n[0], n[1]) > e) e = ground(n[0], n[1]);
            if (e > 64) e = 64;
            uint8_t h[4] = {0, (uint8_t)l, (uint8_t)(e - 1), 0};
            img.insert(img.end(), h, h + 4);
            uint32_t c = (hm[(size_t)((y << 9) | x)] & 0xFFFFFFu) | 0x7F000000u;
            for (int32_t z = l; z < e; z++) {
                uint8_t w[4];
                le_put_u32(w, c);
                img.insert(img.end(), w, w + 4);
            }
        }
    }
    map_load_image(img.data(), img.size());
}

void build_pillars_map(int32_t seed, int32_t count)
{
    build_flat_map(50);
    std::mt19937 gen((uint32_t)seed);
    map_colour_callback = map_colour_placed_block;
    for (int32_t i = 0; i < count; i++) {
        int32_t x = (int32_t)(gen() % 512), y = (int32_t)(gen() % 512);
        int32_t top = 50 - 2 - (int32_t)(gen() % 40);
        map_placed_colour = 0x7F000000u | (gen() & 0xF0F0F0u);
        map_insert_slab(map_edit_column(x, y), top, 50);
        if (map_edit_finish() != 1) {
            std::fprintf(stderr, "maptool: the column pool is full after %d pillars\n", i);
            return;
        }
    }
}

void build_random_map(int32_t seed, int32_t edits)
{
    build_hills_map(seed);
    std::mt19937 gen((uint32_t)seed * 2654435761u + 1u);
    int32_t cx = 256, cy = 256, refused = 0;
    for (int32_t i = 0; i < edits; i++) {
        if (i % 200 == 0) {
            cx = (int32_t)(gen() % 512);
            cy = (int32_t)(gen() % 512);
        }
        MapCell c{(cx + (int32_t)(gen() % 16)) & 511, (cy + (int32_t)(gen() % 16)) & 511, 0};
        int32_t g = map_column(c.x, c.y)[1];
        c.z = g - 6 + (int32_t)(gen() % 14);
        if (c.z < 0) c.z = 0;
        if (c.z > 62) c.z = 62;
        int32_t stored;
        switch (gen() % 8) {
        case 0: case 1: case 2: stored = map_add_block(&c, (int32_t)(gen() & 0xFFFFFF)); break;
        case 3: case 4: stored = map_remove_block(&c); break;
        case 5: case 6: stored = map_remove_column3(&c); break;
        default: stored = map_remove_cube3(&c); break;
        }
        refused += stored == MAP_EDIT_NO_ROOM;
        map_seed_count = 0;
    }
    if (refused) std::fprintf(stderr, "maptool: %d edits found no room in the column pool\n", refused);
}
