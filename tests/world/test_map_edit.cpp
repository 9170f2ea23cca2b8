// Edit geometry, colours of placed and dug voxels, refused cells.
#include <gtest/gtest.h>

#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/rng.h"
#include "world_fixture.h"

#include <cmath>

static uint64_t solid_bits(int32_t x, int32_t y)
{
    uint64_t s, c;
    map_column_bits(x, y, &s, &c);
    return s;
}

TEST(MapEdit, ExpandAndSlabLists)
{
    int32_t list[MAP_LIST_INTS] = {10, 20, 30, 64};
    map_insert_slab(list, 20, 25);  // touching joins
    EXPECT_EQ(std::vector<int32_t>(list, list + 4), (std::vector<int32_t>{10, 25, 30, 64}));
    map_delete_slab(list, 12, 14);  // strictly inside splits
    EXPECT_EQ(std::vector<int32_t>(list, list + 6), (std::vector<int32_t>{10, 12, 14, 25, 30, 64}));
    map_insert_slab(list, 0, 64);
    EXPECT_EQ(std::vector<int32_t>(list, list + 2), (std::vector<int32_t>{0, 64}));
    map_delete_slab(list, 0, 64);  // the bottom voxel stays
    EXPECT_EQ(std::vector<int32_t>(list, list + 2), (std::vector<int32_t>{63, 64}));
}

TEST(MapEdit, AddOnTopGetsPlacedColourAndHidesOldTop)
{
    map_make_flat(40, 0x7F406080u);
    map_placed_rng = 0;
    MapCell c{100, 100, 39};
    ASSERT_EQ(map_add_block(&c, 0x112233), 1);
    EXPECT_EQ(map_ground_z(100, 100), 39);
    ASSERT_NE(map_colour_ptr(100, 100, 39), nullptr);
    // First placed voxel of a run: jitter (1 & 0x70707) = 1 in blue.
    EXPECT_EQ(*map_colour_ptr(100, 100, 39), 0x7F112232u);
    // The old top has no air neighbour left.
    EXPECT_EQ(map_colour_ptr(100, 100, 40), nullptr);
    EXPECT_NE(map_colour_ptr(101, 100, 40), nullptr);
    // A second block beside it: the first keeps its colour (still faces air).
    MapCell d{101, 100, 39};
    map_add_block(&d, 0x112233);
    EXPECT_EQ(*map_colour_ptr(100, 100, 39), 0x7F112232u);
    EXPECT_TRUE(map_valid(2));
}

TEST(MapEdit, RemovingInsideSolidMakesACave)
{
    map_make_flat(40, 0x7F406080u);
    MapCell c{200, 200, 50};
    ASSERT_EQ(map_remove_block(&c), 1);
    EXPECT_EQ(map_is_solid(200, 200, 50), 0);
    EXPECT_EQ(map_is_solid(200, 200, 49), 1);
    EXPECT_EQ(map_column_size(map_column(200, 200)) > 8, true);
    const int32_t faces[6][3] = {{199, 200, 50}, {201, 200, 50}, {200, 199, 50},
                                 {200, 201, 50}, {200, 200, 49}, {200, 200, 51}};
    for (auto &f : faces) {
        VoxelColour *p = map_colour_ptr(f[0], f[1], f[2]);
        ASSERT_NE(p, nullptr) << f[0] << "," << f[1] << "," << f[2];
        EXPECT_EQ(VOXEL_SHADE(*p), 0x3Fu);
    }
    // The top kept its colour.
    EXPECT_EQ(*map_colour_ptr(200, 200, 40), 0x7F406080u);
    EXPECT_EQ(map_seed_count > 0, true);
    map_seed_count = 0;
    EXPECT_TRUE(map_valid(2));
}

TEST(MapEdit, ExposedColourFollowsGradient)
{
    rng_srand(5);
    int32_t x = 4, y = 4, z = 0;
    VoxelColour c = map_colour_exposed_voxel(&x, &y, &z);
    rng_srand(5);
    uint32_t jitter = (uint32_t)(rng_rand() & 7) * 0x010101u;
    // z = 0: g0 itself; |4-4| adds nothing for x and y, |0-4| << 2 in blue.
    EXPECT_EQ(c, (0x506050u + (4u << 2) + jitter) | 0x3F000000u);
    z = 63;
    x = 0;
    y = 7;
    c = map_colour_exposed_voxel(&x, &y, &z);
    EXPECT_EQ(VOXEL_SHADE(c), 0x3Fu);
}

TEST(MapEdit, ThreeCellRemovalsClampTheirBoxes)
{
    struct Case {
        int op;  // 0 column3, 1 cube3
        int32_t x, y, z;
        int32_t cx, cy;  // a column that must lose [z0, z1)
        int32_t z0, z1;
    } cases[] = {
        {0, 50, 50, 61, 50, 50, 60, 62},
        {0, 50, 50, 0, 50, 50, 0, 2},
        {0, 50, 50, 30, 50, 50, 29, 32},
        {1, 0, 50, 30, 1, 50, 29, 32},
        {1, 511, 50, 30, 510, 50, 29, 32},
        {1, 100, 0, 62, 100, 1, 61, 62},
    };
    for (const Case &c : cases) {
        map_make_flat(0, 0x7F406080u);
        MapCell cell{c.x, c.y, c.z};
        ASSERT_EQ(c.op == 0 ? map_remove_column3(&cell) : map_remove_cube3(&cell), 1);
        map_seed_count = 0;
        EXPECT_EQ(solid_bits(c.cx, c.cy), ~z_range(c.z0, c.z1)) << c.x << "," << c.z;
        EXPECT_EQ(solid_bits(c.x, c.y), ~z_range(c.z0, c.z1));
        if (c.op == 1) {
            // Nothing beyond the clamped box, nor across the map edge.
            EXPECT_EQ(solid_bits(c.x == 0 ? 511 : (c.x == 511 ? 0 : c.x + 2), c.y), ~0ull);
            EXPECT_EQ(solid_bits(c.x, c.y == 0 ? 511 : c.y + 2), ~0ull);
        }
        EXPECT_TRUE(map_valid(2));
    }
}

TEST(MapEdit, CellsOutsideTheRangesAreRefused)
{
    map_make_flat(40, 0x7F406080u);
    const MapCell bad_add[] = {{-1, 5, 30}, {512, 5, 30}, {5, -1, 30}, {5, 512, 30}, {5, 5, 63}, {5, 5, -1}};
    for (const MapCell &c : bad_add) EXPECT_EQ(map_add_block(&c, 0x10), 0);
    const MapCell bad_remove[] = {{-1, 5, 50}, {5, 600, 50}, {5, 5, 63}, {5, 5, 64}, {5, 5, -1}};
    for (const MapCell &c : bad_remove) EXPECT_EQ(map_remove_block(&c), 0);
    MapCell top{9, 9, 0};
    EXPECT_EQ(map_add_block(&top, 0x10), 1);  // the top layer of the map
    EXPECT_EQ(map_ground_z(9, 9), 0);
    MapCell c62{5, 5, 62};
    EXPECT_EQ(map_remove_block(&c62), 1);  // a single removal may take z 62
    EXPECT_EQ(map_is_solid(5, 5, 62), 0);
    EXPECT_EQ(map_is_solid(5, 5, 63), 1);
    MapCell col63{7, 7, 63}, far{-5, -5, 30};
    EXPECT_EQ(map_remove_column3(&col63), 0);
    EXPECT_EQ(map_remove_cube3(&far), 0);
    map_seed_count = 0;
    EXPECT_TRUE(map_valid(2));
}

TEST(MapEdit, BatchOverConsecutiveRowsRecompilesTheWidenedRectangle)
{
    map_make_flat(40, 0x7F406080u);
    // Exactly rows y0..y1 over x0 - 1..x1 + 1 and rows y0 - 1, y1 + 1 over
    // x0..x1 get new storage.
    std::vector<uint8_t *> before(voxel_map.columns, voxel_map.columns + MAP_COLUMNS);
    for (int32_t y = 101; y <= 103; y++)
        for (int32_t x = 201; x <= 203; x++) map_edit_column(x, y);
    map_edit_finish();
    int32_t moved = 0;
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        if (voxel_map.columns[i] == before[i]) continue;
        moved++;
        int32_t x = i & 511, y = i >> 9;
        bool in = (y >= 101 && y <= 103 && x >= 200 && x <= 204) || ((y == 100 || y == 104) && x >= 201 && x <= 203);
        EXPECT_TRUE(in) << x << "," << y;
    }
    EXPECT_EQ(moved, 21);

    // Column (300, 300) faces air after the batch removes its neighbours'
    // tops, proving row y0 - 1 and y1 + 1 and x0 - 1, x1 + 1 were compiled.
    for (int32_t y = 301; y <= 303; y++)
        for (int32_t x = 301; x <= 303; x++) map_delete_slab(map_edit_column(x, y), 40, 45);
    map_edit_finish();
    EXPECT_NE(map_colour_ptr(302, 300, 44), nullptr);
    EXPECT_NE(map_colour_ptr(300, 302, 44), nullptr);
    EXPECT_NE(map_colour_ptr(304, 302, 44), nullptr);
    EXPECT_NE(map_colour_ptr(302, 304, 44), nullptr);
    EXPECT_TRUE(map_valid(2));
    // A batch whose next row is not y + 1 is split, not mixed up.
    map_delete_slab(map_edit_column(10, 10), 40, 42);
    map_delete_slab(map_edit_column(10, 20), 40, 43);
    map_edit_finish();
    EXPECT_EQ(solid_bits(10, 10), ~z_range(0, 42));
    EXPECT_EQ(solid_bits(10, 20), ~z_range(0, 43));
    EXPECT_TRUE(map_valid(2));
}

TEST(MapEdit, LentScratchAreaMustBeLargeEnough)
{
    static uint8_t small[1000];
    EXPECT_EQ(map_edit_set_scratch(small, sizeof small), 0);
    std::vector<uint8_t> area(MAP_EDIT_SCRATCH_BYTES + 3);
    EXPECT_EQ(map_edit_set_scratch(area.data() + 3, MAP_EDIT_SCRATCH_BYTES), 1);
    map_make_flat(40, 0x7F406080u);
    MapCell c{9, 9, 45};
    map_remove_cube3(&c);
    map_seed_count = 0;
    EXPECT_TRUE(map_valid(2));
    EXPECT_EQ(map_edit_set_scratch(nullptr, 0), 0);  // back to the module's own
    map_remove_cube3(&c);
    map_seed_count = 0;
}

TEST(MapEdit, SeedsAroundARemoval)
{
    map_make_flat(40, 0x7F406080u);
    // A roof over (120, 120): removing the block under the roof's middle
    // seeds the roof spans that touch the removal box.
    for (int32_t x = 119; x <= 121; x++) {
        MapCell c{x, 120, 30};
        map_add_block(&c, 0x808080);
    }
    MapCell pillar{120, 120, 31};
    map_seed_count = 0;
    for (int32_t z = 31; z < 40; z++) {
        pillar.z = z;
        map_add_block(&pillar, 0x808080);
    }
    pillar.z = 35;
    map_remove_block(&pillar);
    ASSERT_GT(map_seed_count, 0);
    bool roof = false;
    for (int32_t i = 0; i < map_seed_count; i++)
        if (map_seeds[i].x == 120 && map_seeds[i].y == 120 && map_seeds[i].z == 30) roof = true;
    EXPECT_TRUE(roof);
    map_seed_count = MAP_MAX_SEEDS;
    map_remove_block(&pillar);  // a full list takes no more
    EXPECT_EQ(map_seed_count, MAP_MAX_SEEDS);
    map_seed_count = 0;
}

static VoxelColour colour_by_z(int32_t *, int32_t *, int32_t *z) { return 0x7F000000u | (uint32_t)*z; }

static std::vector<uint8_t> compile_with(std::vector<int32_t> own, std::vector<int32_t> nb)
{
    map_make_flat(63, 0x7F000000u);  // no old colours in the way
    own.resize(MAP_LIST_INTS, 64);
    nb.resize(MAP_LIST_INTS, 64);
    MapColourFn keep = map_colour_callback;
    map_colour_callback = colour_by_z;
    uint8_t out[MAP_COMPILE_MAX_BYTES];
    int32_t n = map_compile_column(own.data(), nb.data(), nb.data(), nb.data(), nb.data(), out, 50, 50);
    map_colour_callback = keep;
    return std::vector<uint8_t>(out, out + n);
}

static std::vector<uint8_t> words(std::initializer_list<uint32_t> w)
{
    std::vector<uint8_t> v;
    for (uint32_t x : w) v.insert(v.end(), {(uint8_t)x, (uint8_t)(x >> 8), (uint8_t)(x >> 16), (uint8_t)(x >> 24)});
    return v;
}

TEST(MapCompile, RoofOverGroundGivesTheDocumentedLayout)
{
    // Neighbours air at 10, 11 and 41, 42; solid 12..15 and from 43 down.
    std::vector<uint8_t> got = compile_with({10, 16, 40, 64}, {12, 16, 43, 64});
    std::vector<uint8_t> want = words({0x000B0A04, 0x7F00000A, 0x7F00000B, 0x7F00000F, 0x102A2800, 0x7F000028,
                                       0x7F000029, 0x7F00002A});
    EXPECT_EQ(got, want);
}

TEST(MapCompile, ColoursInsideASolidBlockStandBeforeAHeaderWithAEqualS)
{
    // One block from 10 down; neighbours air at 10..12 and 21..22.
    std::vector<uint8_t> got = compile_with({10, 64}, {13, 21, 23, 64});
    std::vector<uint8_t> want = words({0x000C0A06, 0x7F00000A, 0x7F00000B, 0x7F00000C, 0x7F000015, 0x7F000016,
                                       0x17161700});
    EXPECT_EQ(got, want);
}

TEST(MapCompile, MalformedListsStayInBounds)
{
    std::vector<int32_t> junk(MAP_LIST_INTS, 5);  // never reaches 64
    std::vector<uint8_t> got = compile_with(junk, junk);
    ASSERT_GE(got.size(), 8u);
    EXPECT_EQ(got[0], 0);  // one column, z 63 solid
    EXPECT_LE((int)got[1], 63);
}

TEST(MapColour, ShadedRgbAndDarkening)
{
    const struct { VoxelColour v; int32_t rgb; } cases[] = {
        {0x7F804020u, 0x7F3F1F},   // 127/128 of each channel
        {0x80804020u, 0x804020},   // 128: unchanged
        {0xFF804020u, 0xFF7F3F},   // red capped at 255
        {0x00FFFFFFu, 0x000000},
    };
    for (auto &c : cases) EXPECT_EQ(map_shaded_rgb(&c.v), c.rgb) << std::hex << c.v;
    VoxelColour p = 0x3F000000u;
    map_darken_colour(&p, 0x7F648C28, 50);
    EXPECT_EQ(p, 0x3F324614u);
    map_darken_colour(&p, 0x7F648C28, 100);
    EXPECT_EQ(p, 0x3F648C28u);
}

TEST(MapColour, ReshadeRowFollowsSolidityChanges)
{
    std::vector<uint8_t> img = flat_image(40, 0x7F406080u);
    ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
    MapCell c{100, 99, 39};
    map_add_block(&c, 0x406080);
    // The column below keeps its stored shade until the camera row passes.
    EXPECT_EQ(VOXEL_SHADE(*map_colour_ptr(100, 100, 40)), 127u);
    map_reshade_row(0, 100.0f, 84.0f, 0.0f, 1.0f);  // row y = 100, x 84..115
    EXPECT_EQ(VOXEL_SHADE(*map_colour_ptr(100, 100, 40)), 127u - 18);
    EXPECT_EQ(VOXEL_SHADE(*map_colour_ptr(100, 99, 39)), 127u);
    map_reshade_row(0, std::nanf(""), 0.0f, 0.0f, 1.0f);  // nothing, no fault
}
