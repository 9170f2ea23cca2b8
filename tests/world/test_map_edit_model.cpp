// Long random edit sequences against a dense solidity model.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "common/map_edit.h"
#include "common/map_query.h"
#include "world_fixture.h"

static DenseModel model;

static void apply_to_model(int op, int32_t x, int32_t y, int32_t z)
{
    uint64_t &c = model.col[(y << 9) | x];
    switch (op) {
    case 0: c |= 1ull << z; break;
    case 1: c &= ~(1ull << z); break;
    case 2: {
        int32_t z0 = z - 1 > 0 ? z - 1 : 0, z1 = z >= 60 ? 62 : z + 2;
        c &= ~z_range(z0, z1);
        break;
    }
    default: {
        int32_t z0 = z - 1 > 0 ? z - 1 : 0, z1 = z >= 60 ? 62 : z + 2;
        for (int32_t yy = y - 1; yy <= y + 1; yy++)
            for (int32_t xx = x - 1; xx <= x + 1; xx++)
                if (xx >= 0 && xx < 512 && yy >= 0 && yy < 512) model.col[(yy << 9) | xx] &= ~z_range(z0, z1);
        break;
    }
    }
}

// Random edits in a few small windows (one across the map's corner, so the
// wrapping neighbours are exercised) keep structure dense and interesting.
static void run_edits(uint32_t seed, int count)
{
    std::mt19937 gen(seed);
    const int32_t windows[4][2] = {{0, 0}, {500, 500}, {200, 300}, {505, 3}};
    for (int i = 0; i < count; i++) {
        const int32_t *w = windows[gen() % 4];
        int32_t x = (w[0] + (int32_t)(gen() % 12)) & 511, y = (w[1] + (int32_t)(gen() % 12)) & 511;
        int32_t z = 20 + (int32_t)(gen() % 44);
        if (gen() % 4 == 0) z = (int32_t)(gen() % 64);
        int op = (int)(gen() % 10);
        op = op < 5 ? 0 : op < 8 ? 1 : op < 9 ? 2 : 3;
        MapCell cell{x, y, z};
        int32_t r = 0;
        switch (op) {
        case 0: r = map_add_block(&cell, 0x123456); break;
        case 1: r = map_remove_block(&cell); break;
        case 2: r = map_remove_column3(&cell); break;
        default: r = map_remove_cube3(&cell); break;
        }
        if (r) apply_to_model(op, x, y, z);
        map_seed_count = 0;
        if (i % 500 == 499) {
            ASSERT_EQ(model_mismatch(&model), -1) << "after edit " << i;
        }
    }
}

TEST(MapEditModel, RandomEditsMatchDenseModelAndKeepInvariants)
{
    map_make_flat(40, 0x7F406080u);
    model_from_map(&model);
    run_edits(12345, 30000);
    ASSERT_EQ(model_mismatch(&model), -1);
    EXPECT_TRUE(map_valid(2));
    // The sequence really built caves and overhangs: many spans, many colours.
    MapStats st;
    char msg[200];
    map_check(&st, msg, sizeof msg, 2);
    EXPECT_GT(st.spans, MAP_COLUMNS + 300);
    EXPECT_GT(st.colours, MAP_COLUMNS + 3000);
}

TEST(MapEditModel, EditsOnALoadedMapKeepInvariants)
{
    // Build a varied map, save it, load it (border completion), then edit on.
    map_make_flat(30, 0x7F406080u);
    model_from_map(&model);
    run_edits(777, 8000);
    const char *path = "model_roundtrip.vxl";
    ASSERT_EQ(map_save(path), 1);
    ASSERT_EQ(map_read_file(std::fopen(path, "rb")), 1);
    ASSERT_EQ(map_index_columns(), 1);
    std::remove(path);
    ASSERT_EQ(model_mismatch(&model), -1);
    EXPECT_TRUE(map_valid(2));
    run_edits(4242, 8000);
    ASSERT_EQ(model_mismatch(&model), -1);
    EXPECT_TRUE(map_valid(2));
}
