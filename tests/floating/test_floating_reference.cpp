// Floating-block detection against a plain flood fill over the dense solid
// grid: after every removal exactly the solid voxels with no face path to the
// bottom layer (z 63) are cut, on structures whose columns the compiler splits
// into spans with no air between them.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/map_check.h"
#include "common/map_floating.h"
#include "common/map_query.h"
#include "map_fixture.h"

namespace {

// Bit z of column y * 512 + x: the voxel is solid / reaches the bottom layer.
uint64_t grid_solid[MAP_COLUMNS];
uint64_t grid_grounded[MAP_COLUMNS];

void grid_from_map()
{
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        uint64_t coloured;
        map_column_bits(i & 511, i >> 9, &grid_solid[i], &coloured);
    }
}

// Grows the set m through vertically adjacent solid voxels of one column.
uint64_t grow_in_column(uint64_t m, uint64_t solid)
{
    for (;;) {
        uint64_t g = (m | m << 1 | m >> 1) & solid;
        if (g == m) return m;
        m = g;
    }
}

// 6-connected flood from every solid voxel of z 63, never across the map
// edge, into grid_grounded.
void grid_flood_grounded()
{
    std::vector<int32_t> work;
    work.reserve(MAP_COLUMNS);
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        grid_grounded[i] = grow_in_column(grid_solid[i] & (1ull << 63), grid_solid[i]);
        if (grid_grounded[i]) work.push_back(i);
    }
    while (!work.empty()) {
        int32_t i = work.back();
        work.pop_back();
        int32_t x = i & 511, y = i >> 9;
        const int32_t nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
        for (int k = 0; k < 4; k++) {
            if (nx[k] < 0 || nx[k] > 511 || ny[k] < 0 || ny[k] > 511) continue;
            int32_t j = ny[k] * 512 + nx[k];
            uint64_t touch = grid_solid[j] & grid_grounded[i] & ~grid_grounded[j];
            if (!touch) continue;
            grid_grounded[j] = grow_in_column(grid_grounded[j] | touch, grid_solid[j]);
            work.push_back(j);
        }
    }
}

// What the map should hold once every floating group is cut: the grounded
// part of its current solid voxels.
void grid_expect_from_map()
{
    grid_from_map();
    grid_flood_grounded();
}

// Empty when the map's solid voxels are exactly the expected grounded ones.
std::string map_matches_grounded()
{
    int32_t lost = 0, kept = 0;
    std::string first;
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        uint64_t solid, coloured;
        map_column_bits(i & 511, i >> 9, &solid, &coloured);
        if (solid == grid_grounded[i]) continue;
        lost += __builtin_popcountll(grid_grounded[i] & ~solid);
        kept += __builtin_popcountll(solid & ~grid_grounded[i]);
        if (first.empty())
            first = " first at (" + std::to_string(i & 511) + ", " + std::to_string(i >> 9) + ")";
    }
    if (!lost && !kept) return "";
    return std::to_string(lost) + " grounded voxels cut, " + std::to_string(kept) + " floating voxels kept;" + first;
}

// Column (x, y) has a span that continues the solid block above it.
bool column_splits_a_block(int32_t x, int32_t y)
{
    const uint8_t *p = map_column(x, y);
    for (const uint8_t *q = p; map_span_n(q) != 0;) {
        q = map_span_next(q);
        if (map_span_a(q) >= map_span_s(q)) return true;
    }
    return false;
}

void add_blocks(int32_t x, int32_t y, int32_t z0, int32_t z1)
{
    for (int32_t z = z0; z < z1; z++) {
        MapCell c = {x, y, z};
        ASSERT_EQ(map_add_block(&c, 0x708090), 1);
    }
}

struct Box {
    int32_t x0, y0, x1, y1; // inclusive
};

struct Structure {
    const char *name;
    void (*build)();
    Box box;              // where the random removals fall
    MapCell split;        // a column the compiler splits (z unused)
    MapCell first_cut;    // the removal that must take exactly what the flood says
};

// A tower holds a 2-thick roof; a chain of single blocks hangs from it with a
// 2-thick 3 x 3 platform at its end (the chain's column splits at the platform).
void build_hanging_platform()
{
    fixture_fill(100, 100, 101, 101, 10, 60);
    fixture_fill(102, 100, 108, 104, 10, 12);
    add_blocks(105, 102, 12, 20);
    fixture_fill(104, 101, 106, 103, 20, 22);
}

// Two towers carry an upper deck; a lower deck hangs from it on three posts,
// whose columns split where they enter the lower deck.
void build_double_bridge()
{
    fixture_fill(200, 200, 200, 202, 20, 60);
    fixture_fill(212, 200, 212, 202, 20, 60);
    fixture_fill(200, 200, 212, 202, 20, 22);
    for (int32_t x : {203, 206, 209}) add_blocks(x, 201, 22, 26);
    fixture_fill(202, 200, 210, 202, 26, 28);
}

// A roof held by one pillar that hangs from a tower's arm: the pillar's
// column splits where it enters the roof.
void build_roof_on_pillar()
{
    fixture_fill(300, 300, 300, 300, 8, 60);
    fixture_fill(300, 299, 306, 301, 8, 10);
    add_blocks(305, 300, 10, 30);
    fixture_fill(303, 298, 307, 302, 30, 32);
}

// A lamp on one link block under a tower's arm: cap, stem and shade, the stem's
// column split at the shade. Taking the link must drop all of it.
void build_lamp()
{
    fixture_fill(400, 400, 400, 400, 5, 60);
    fixture_fill(400, 400, 404, 400, 5, 6);
    add_blocks(404, 400, 6, 7);
    fixture_fill(403, 399, 405, 401, 7, 9);
    add_blocks(404, 400, 9, 15);
    fixture_fill(403, 399, 405, 401, 15, 17);
}

const Structure structures[] = {
    {"hanging platform", build_hanging_platform, {100, 100, 108, 104}, {105, 102, 0}, {104, 101, 21}},
    {"double-deck bridge", build_double_bridge, {200, 200, 212, 202}, {206, 201, 0}, {210, 202, 27}},
    {"roof on one pillar", build_roof_on_pillar, {300, 298, 307, 302}, {305, 300, 0}, {303, 298, 31}},
    {"lamp on a link", build_lamp, {400, 399, 405, 401}, {404, 400, 0}, {404, 400, 6}},
};

// Solid cells above the ground (z < 60) inside the box.
std::vector<MapCell> solid_cells(const Box &b)
{
    std::vector<MapCell> cells;
    for (int32_t y = b.y0; y <= b.y1; y++)
        for (int32_t x = b.x0; x <= b.x1; x++)
            for (int32_t z = 0; z < 60; z++)
                if (map_is_solid(x, y, z)) cells.push_back({x, y, z});
    return cells;
}

// Voxels the flood reference says must fall.
int64_t grid_floating_voxels()
{
    int64_t n = 0;
    for (int32_t i = 0; i < MAP_COLUMNS; i++) n += __builtin_popcountll(grid_solid[i] & ~grid_grounded[i]);
    return n;
}

// One removal as the server applies it, then its floating step.
void remove_and_settle(int op, const MapCell &c)
{
    switch (op) {
    case 0: ASSERT_EQ(map_remove_block(&c), 1); break;
    case 1: ASSERT_EQ(map_remove_column3(&c), 1); break;
    default: ASSERT_EQ(map_remove_cube3(&c), 1); break;
    }
    grid_expect_from_map();
    map_remove_floating();
}

} // namespace

TEST(MapFloatingReference, StructuresBuiltThroughEditsAreGroundedAndSplit)
{
    for (const Structure &s : structures) {
        SCOPED_TRACE(s.name);
        fixture_flat();
        s.build();
        EXPECT_TRUE(column_splits_a_block(s.split.x, s.split.y));
        grid_expect_from_map();
        EXPECT_EQ(map_matches_grounded(), "");
        // Nothing of a grounded structure is cut when the whole map is passed.
        map_remove_all_floating();
        EXPECT_EQ(map_matches_grounded(), "");
    }
}

TEST(MapFloatingReference, RemovalsCutExactlyTheUngroundedVoxels)
{
    for (const Structure &s : structures) {
        SCOPED_TRACE(s.name);
        fixture_flat();
        s.build();
        voxel_map.chunk_count = 0;
        map_seed_count = 0;
        remove_and_settle(0, s.first_cut);
        ASSERT_EQ(map_matches_grounded(), "") << "after the first cut";
        std::mt19937 gen(1234);
        int64_t fell = 0;
        for (int step = 0; step < 40; step++) {
            std::vector<MapCell> cells = solid_cells(s.box);
            if (cells.empty()) break;
            MapCell c = cells[gen() % cells.size()];
            int op = (int)(gen() % 8);
            op = op < 6 ? 0 : op - 5;
            SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op) + " at (" +
                         std::to_string(c.x) + ", " + std::to_string(c.y) + ", " + std::to_string(c.z) + ")");
            remove_and_settle(op, c);
            fell += grid_floating_voxels();
            ASSERT_EQ(map_matches_grounded(), "");
        }
        EXPECT_GT(fell, 0); // the removals really cut groups loose
        EXPECT_EQ(fixture_check_store(), "");
    }
}

TEST(MapFloatingReference, LampFallsWhole)
{
    fixture_flat();
    build_lamp();
    fixture_remove(404, 400, 6);
    map_remove_floating();
    // Cap and shade 3 x 3 x 2 each, the stem 6: all of it, nothing of the arm.
    EXPECT_EQ(fixture_count_solid(403, 399, 7, 405, 401, 16), 0);
    EXPECT_EQ(fixture_count_solid(400, 400, 5, 404, 400, 5), 5);
}

TEST(MapFloatingReference, WholeMapPassCutsExactlyTheUngroundedVoxels)
{
    // Every structure on one map, then removals made without collecting seeds
    // (as a loaded map may hold them): the start-up pass alone must settle it.
    fixture_flat();
    for (const Structure &s : structures) s.build();
    std::mt19937 gen(99);
    for (const Structure &s : structures) {
        for (int i = 0; i < 6; i++) {
            std::vector<MapCell> cells = solid_cells(s.box);
            const MapCell c = i == 0 ? s.first_cut : cells[gen() % cells.size()];
            map_delete_slab(map_edit_column(c.x, c.y), c.z, c.z + 1);
            map_edit_finish();
        }
    }
    fixture_fill(20, 20, 22, 22, 30, 32); // a free group never seeded
    map_seed_count = 0;
    voxel_map.chunk_count = 0;
    grid_expect_from_map();
    map_remove_all_floating();
    EXPECT_EQ(map_matches_grounded(), "");
    EXPECT_EQ(fixture_count_solid(20, 20, 30, 22, 22, 31), 0);
    EXPECT_EQ(fixture_check_store(), "");
}
