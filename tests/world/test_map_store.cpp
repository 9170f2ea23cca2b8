// Store, file and indexing behaviour: column sizes, shading, the rover and
// the bitmap, malformed images, saving, round trips.
#include <gtest/gtest.h>

#include <cstdio>

#include "common/map_damage.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "world_fixture.h"

// The roof-and-ground column of the file format's description.
static std::vector<uint8_t> roof_column()
{
    std::vector<uint8_t> c = {4, 10, 11, 0};
    const uint32_t colours[3] = {0x7F0A0A0A, 0x7F0B0B0B, 0x7F0F0F0F};
    for (uint32_t v : colours) c.insert(c.end(), {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)});
    c.insert(c.end(), {0, 40, 42, 16});
    for (uint32_t v : {0x7F282828u, 0x7F292929u, 0x7F2A2A2Au})
        c.insert(c.end(), {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)});
    return c;
}

TEST(MapStore, ColumnSizes)
{
    uint8_t full[260] = {0, 0, 63, 0};
    uint8_t single[8] = {0, 5, 5, 0};
    EXPECT_EQ(map_column_size(full), 260);
    EXPECT_EQ(map_column_size(single), 8);
    std::vector<uint8_t> roof = roof_column();
    EXPECT_EQ(map_column_size(roof.data()), 32);
}

TEST(MapStore, RoofColumnLoadsAndAnswersQueries)
{
    std::vector<uint8_t> img = flat_image(40);
    put_column(img, 100, 100, roof_column());
    ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
    // Loaded columns are taken as they are: the roof's sides lack colours.
    EXPECT_TRUE(map_valid(0));
    EXPECT_FALSE(map_valid(1));
    struct { int32_t z, solid; bool coloured; } cases[] = {
        {9, 0, false}, {10, 1, true}, {11, 1, true}, {12, 1, false}, {14, 1, false}, {15, 1, true},
        {16, 0, false}, {39, 0, false}, {40, 1, true}, {42, 1, true}, {43, 1, false}, {63, 1, false},
    };
    for (auto &c : cases) {
        EXPECT_EQ(map_is_solid(100, 100, c.z), c.solid) << c.z;
        EXPECT_EQ(map_colour_ptr(100, 100, c.z) != nullptr, c.coloured) << c.z;
    }
    EXPECT_EQ(VOXEL_RGB(*map_colour_ptr(100, 100, 15)), 0x0F0F0Fu);
    EXPECT_EQ(VOXEL_RGB(*map_colour_ptr(100, 100, 41)), 0x292929u);
    EXPECT_EQ(map_ground_z(100, 100), 10);
    EXPECT_EQ(map_floor_z(100, 100, 20), 40);
    EXPECT_EQ(map_floor_z(100, 100, 12), 12);
    EXPECT_EQ(map_floor_z(100, 100, 3), 10);
}

TEST(MapStore, ShadingRule)
{
    map_make_flat(0, 0x7F808080u);  // all solid
    EXPECT_EQ(map_voxel_shade(7, 7, 20), 37);
    EXPECT_EQ(map_voxel_shade(7, 7, 0), 127);
    EXPECT_EQ(map_voxel_shade(7, 7, 3), 127 - 18 - 16 - 14);
    map_make_flat(63, 0x7F808080u);
    EXPECT_EQ(map_voxel_shade(5, 0, 40), 127);
    // y = 0 looks at y = 511, 510, ...: a block at (5, 511, 39) darkens (5, 0, 40) by 18.
    MapCell a{5, 511, 39}, b{5, 509, 37};
    map_add_block(&a, 0x808080);
    EXPECT_EQ(map_voxel_shade(5, 0, 40), 127 - 18);
    map_add_block(&b, 0x808080);
    EXPECT_EQ(map_voxel_shade(5, 0, 40), 127 - 18 - 14);
}

TEST(MapStore, IndexingShadesEveryColour)
{
    std::vector<uint8_t> img = flat_image(40);
    put_column(img, 100, 100, roof_column());
    ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
    // Under the roof at (100, 101..109) the diagonal towards -y and up is solid.
    for (int32_t y = 99; y < 112; y++) {
        VoxelColour *c = map_colour_ptr(100, y, 40);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ((int32_t)VOXEL_SHADE(*c), map_voxel_shade(100, y, 40)) << y;
    }
    // The ground below the roof sees the roof's diagonal at z 40 and 39.
    EXPECT_EQ(VOXEL_SHADE(*map_colour_ptr(100, 100, 41)), 127u - 18);
    EXPECT_EQ(VOXEL_SHADE(*map_colour_ptr(100, 100, 42)), 127u - 18 - 16);
}

TEST(MapStore, BitmapAndRoverAfterIndexing)
{
    std::vector<uint8_t> img = flat_image(40);
    ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
    EXPECT_TRUE(map_valid(2));
    int32_t words = 1 + MAP_COLUMNS * 2;
    // Border columns were recompiled in place of their old storage; the
    // image's words stay used and the rover sits after them.
    EXPECT_GE(voxel_map.rover, words);
    int32_t rover = voxel_map.rover;
    uint8_t *p = map_column_alloc(8);
    EXPECT_EQ((uint32_t *)p - voxel_map.pool, rover);
    EXPECT_EQ(voxel_map.rover, rover + 2);
}

TEST(MapStore, RoverStridesAndRestarts)
{
    map_make_flat(40, 0x7F406080u);
    int32_t used = 1 + MAP_COLUMNS * 2;
    ASSERT_EQ(voxel_map.rover, used);
    // First candidate used: the rover strides by the request size until free.
    voxel_map.rover = 1;
    uint8_t *p = map_column_alloc(8);
    EXPECT_EQ((uint32_t *)p - voxel_map.pool, used);
    EXPECT_EQ(voxel_map.rover, used + 2);
    // Past the limit the search restarts at word 0; the sentinel sends it on.
    voxel_map.rover = MAP_POOL_WORDS - 3;
    p = map_column_alloc(12);
    EXPECT_EQ((uint32_t *)p - voxel_map.pool, used + 2);
    map_column_free(p);
    EXPECT_EQ(voxel_map.bitmap[(used + 2) >> 5] >> ((used + 2) & 31) & 1, 0u);
}

TEST(MapStore, ImageThatFillsThePool)
{
    // 2044 border columns of 64 words, interior columns of 16 and 15 words:
    // exactly the pool less its sentinel.
    std::vector<uint8_t> img;
    img.reserve(MAP_IMAGE_MAX_BYTES);
    int32_t sixteen = MAP_POOL_WORDS - 1 - 2044 * 64 - 260100 * 15;
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        int32_t x = i & 511, y = i >> 9;
        int border = x == 0 || y == 0 || x == 511 || y == 511;
        int32_t e = border ? 62 : (sixteen-- > 0 ? 14 : 13);
        img.insert(img.end(), {0, 0, (uint8_t)e, 0});
        for (int32_t z = 0; z <= e; z++) img.insert(img.end(), {0x40, 0x50, 0x60, 0x7F});
    }
    ASSERT_EQ(img.size(), (size_t)MAP_IMAGE_MAX_BYTES);
    ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
    EXPECT_EQ(voxel_map.rover, MAP_POOL_WORDS);
    EXPECT_EQ(voxel_map.image_bytes, (uint32_t)MAP_IMAGE_MAX_BYTES);
    EXPECT_EQ(voxel_map.bitmap[MAP_BITMAP_WORDS - 1], 0xFFFFFFFFu);
    EXPECT_TRUE(map_valid(0));
    // One byte more does not fit.
    img.push_back(0);
    EXPECT_EQ(map_load_image(img.data(), img.size()), 0);
}

TEST(MapStore, MalformedImagesAreRefused)
{
    struct Case {
        const char *name;
        void (*spoil)(std::vector<uint8_t> &);
    } cases[] = {
        {"empty", [](std::vector<uint8_t> &v) { v.clear(); }},
        {"one header", [](std::vector<uint8_t> &v) { v.resize(4); }},
        {"last column cut", [](std::vector<uint8_t> &v) { v.resize(v.size() - 4); }},
        {"half the map", [](std::vector<uint8_t> &v) { v.resize(v.size() / 2); }},
        {"trailing word", [](std::vector<uint8_t> &v) { v.insert(v.end(), {0, 40, 40, 0}); }},
        {"S above E + 1", [](std::vector<uint8_t> &v) { v[flat_offset(3, 3) + 1] = 50; }},
        {"E of 64", [](std::vector<uint8_t> &v) { v[flat_offset(3, 3) + 2] = 64; }},
        {"z 63 air", [](std::vector<uint8_t> &v) { v[flat_offset(3, 3) + 1] = 64; v[flat_offset(3, 3) + 2] = 63; }},
        {"N shorter than colours", [](std::vector<uint8_t> &v) { v[flat_offset(3, 3)] = 1; }},
        {"N past the end", [](std::vector<uint8_t> &v) { v[v.size() - 8] = 200; }},
        {"gap out of order", [](std::vector<uint8_t> &v) {
             // Column becomes two spans whose second one starts above the first.
             v[flat_offset(3, 3)] = 2;
             v[flat_offset(4, 3) + 3] = 10;
         }},
        {"long E in the last column", [](std::vector<uint8_t> &v) { v[v.size() - 6] = 63; }},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> img = flat_image(40);
        c.spoil(img);
        EXPECT_EQ(map_load_image(img.data(), img.size()), 0) << c.name;
        const char *why = nullptr;
        EXPECT_EQ(map_validate_image(img.data(), img.size(), &why), 0) << c.name;
        EXPECT_NE(why, nullptr);
        // A refused load leaves the empty map, sound for every query.
        EXPECT_TRUE(map_valid(2)) << c.name;
        EXPECT_EQ(map_ground_z(3, 3), 63) << c.name;
    }
    std::vector<uint8_t> big(MAP_IMAGE_MAX_BYTES + 4, 0);
    EXPECT_EQ(map_load_image(big.data(), big.size()), 0);
}

TEST(MapStore, ReadFileRefusesNullAndOversizedFiles)
{
    EXPECT_EQ(map_read_file(nullptr), 0);
    const char *path = "oversized.vxl";
    FILE *f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> zeros(1 << 20, 0);
    for (int i = 0; i < 17; i++) std::fwrite(zeros.data(), 1, zeros.size(), f);
    std::fclose(f);
    map_make_flat(40, 0x7F406080u);
    EXPECT_EQ(map_read_file(std::fopen(path, "rb")), 0);
    // Refused before anything was overwritten.
    EXPECT_EQ(map_ground_z(1, 1), 40);
    EXPECT_TRUE(map_valid(2));
    std::remove(path);
    // A truncated file reads, then indexing refuses it.
    std::vector<uint8_t> img = flat_image(40);
    f = std::fopen(path, "wb");
    std::fwrite(img.data(), 1, img.size() - 3, f);
    std::fclose(f);
    ASSERT_EQ(map_read_file(std::fopen(path, "rb")), 1);
    EXPECT_EQ(map_index_columns(), 0);
    EXPECT_TRUE(map_valid(2));
    std::remove(path);
}

TEST(MapStore, SaveReportsFailures)
{
    map_make_flat(40, 0x7F406080u);
    EXPECT_EQ(map_save("no/such/dir/map.vxl"), 0);
    FILE *full = std::fopen("/dev/full", "wb");
    if (full) {
        std::fclose(full);
        EXPECT_EQ(map_save("/dev/full"), 0);
    }
}

TEST(MapStore, SaveLoadRoundTrip)
{
    // A flat map is stable: loading and saving gives the same bytes.
    std::vector<uint8_t> img = flat_image(40, 0x7F406080u);
    ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
    ASSERT_EQ(map_save("rt_a.vxl"), 1);
    EXPECT_EQ(read_all("rt_a.vxl"), img);

    // An edited map: after one load every border column is complete, so
    // further load/save cycles change no byte.
    map_make_flat(30, 0x7F406080u);
    for (int32_t i = 0; i < 40; i++) {
        MapCell c{(i * 37) & 511, (i * 11) & 511, 29 - (i % 5)};
        map_add_block(&c, 0x204060);
        MapCell d{(i * 13) & 511, 511 - i, 35};
        map_remove_block(&d);
    }
    ASSERT_EQ(map_save("rt_a.vxl"), 1);
    ASSERT_EQ(map_read_file(std::fopen("rt_a.vxl", "rb")), 1);
    ASSERT_EQ(map_index_columns(), 1);
    ASSERT_EQ(map_save("rt_b.vxl"), 1);
    ASSERT_EQ(map_read_file(std::fopen("rt_b.vxl", "rb")), 1);
    ASSERT_EQ(map_index_columns(), 1);
    ASSERT_EQ(map_save("rt_c.vxl"), 1);
    std::vector<uint8_t> b = read_all("rt_b.vxl"), c = read_all("rt_c.vxl");
    EXPECT_EQ(b.size(), read_all("rt_a.vxl").size());
    EXPECT_EQ(b, c);
    std::remove("rt_a.vxl");
    std::remove("rt_b.vxl");
    std::remove("rt_c.vxl");
}

TEST(MapStore, LoadingCompletesBorderColumnsFacingAir)
{
    // Column (0, 50) is a tall pillar whose side faces (511, 50), which is
    // low: loading colours the pillar's side across the map edge.
    std::vector<uint8_t> img = flat_image(40);
    put_column(img, 0, 50, {0, 20, 20, 0, 1, 2, 3, 0x7F});
    ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
    for (int32_t z = 20; z < 40; z++) EXPECT_NE(map_colour_ptr(0, 50, z), nullptr) << z;
    EXPECT_EQ(map_colour_ptr(0, 50, 40), nullptr);
    // New colours come from the dig gradient.
    EXPECT_NE(VOXEL_RGB(*map_colour_ptr(0, 50, 30)), 0x030201u);
    EXPECT_TRUE(map_valid(2));
}

TEST(MapStore, LoadClearsDamageAndChunks)
{
    map_make_flat(40, 0x7F406080u);
    HitRecord h{};
    h.x = 10, h.y = 10, h.z = 40;
    EXPECT_EQ(map_damage_block(&h, 30, 0.0f), 0);
    EXPECT_EQ(map_damage_count, 1);
    voxel_map.chunk_count = 3;
    std::vector<uint8_t> img = flat_image(40, 0x7F112233u);
    ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
    EXPECT_EQ(map_damage_count, 0);
    EXPECT_EQ(voxel_map.chunk_count, 0);
    map_heal_blocks(100.0f);
    EXPECT_EQ(VOXEL_RGB(*map_colour_ptr(10, 10, 40)), 0x112233u);
}
