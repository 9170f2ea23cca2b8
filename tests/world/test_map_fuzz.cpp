// Mutated map images: every one is either refused or loads into a store that
// passes the structural checks and survives queries, rays and edits.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/map_ray.h"
#include "world_fixture.h"

TEST(MapFuzz, MutatedImagesAreRefusedOrSafe)
{
    // A small but varied image: flat ground, a roof, a cave, a pillar.
    map_make_flat(40, 0x7F406080u);
    for (int32_t y = 10; y < 14; y++)
        for (int32_t x = 10; x < 14; x++) map_insert_slab(map_edit_column(x, y), 20, 22);
    map_edit_finish();
    MapCell cave{12, 12, 50};
    map_remove_cube3(&cave);
    map_seed_count = 0;
    ASSERT_EQ(map_save("fuzz_base.vxl"), 1);
    std::vector<uint8_t> base = read_all("fuzz_base.vxl");
    std::remove("fuzz_base.vxl");
    // Columns of interest sit at the front of the image when they are in
    // the first rows, so mutate the first rows' bytes.
    size_t hot = 0;
    for (int32_t i = 0; i < 16 * 512; i++) hot += (size_t)map_column_size(voxel_map.columns[i]);

    std::mt19937 gen(2024);
    int accepted = 0, refused = 0;
    for (int round = 0; round < 150; round++) {
        std::vector<uint8_t> img = base;
        int flips = 1 + (int)(gen() % 3);
        for (int k = 0; k < flips; k++) img[gen() % hot] = (uint8_t)gen();
        if (gen() % 5 == 0) img.resize(img.size() - 4 * (1 + gen() % 8));
        if (map_load_image(img.data(), img.size())) {
            accepted++;
            ASSERT_TRUE(map_valid(0)) << round;
            std::uniform_real_distribution<float> u(0.0f, 1.0f);
            for (int r = 0; r < 300; r++) {
                Vec3 pos{5 + u(gen) * 20, 5 + u(gen) * 20, u(gen) * 60};
                Vec3 dir{u(gen) - 0.5f, u(gen) - 0.5f, u(gen) - 0.5f};
                HitRecord rec, *hp = &rec;
                map_ray_cast(&pos, &dir, &hp);
                if (hp) {
                    ASSERT_NE(rec.colour, nullptr);
                    volatile VoxelColour c = *rec.colour;
                    (void)c;
                }
                map_surface_colour((int32_t)pos.x, (int32_t)pos.y, (int32_t)pos.z);
                map_floor_z((int32_t)pos.x, (int32_t)pos.y, (int32_t)pos.z);
            }
            MapCell c{(int32_t)(gen() % 24), (int32_t)(gen() % 24), (int32_t)(gen() % 62)};
            map_remove_cube3(&c);
            map_add_block(&c, 0x102030);
            map_seed_count = 0;
            ASSERT_TRUE(map_valid(0)) << round;
        } else {
            refused++;
            ASSERT_TRUE(map_valid(2)) << round;
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(accepted, 0);
}
