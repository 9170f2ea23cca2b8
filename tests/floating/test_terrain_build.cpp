#include <gtest/gtest.h>

#include <vector>

#include "common/map_floating.h"
#include "common/map_heightmap.h"
#include "common/map_query.h"
#include "common/terrain.h"
#include "map_fixture.h"

namespace {

uint32_t hm_word(int32_t z, uint32_t rgb) { return ((uint32_t)z << 24) | rgb; }

} // namespace

TEST(MapHeightmap, ColumnsColouredDownToTheDeepestNeighbourTop)
{
    std::vector<uint32_t> hm(MAP_COLUMNS, hm_word(40, 0x102030));
    hm[10 * 512 + 10] = hm_word(63, 0x0000ff);   // water between higher ground
    hm[20 * 512 + 20] = hm_word(30, 0x00ff00);   // peak: 10 above its neighbours
    hm[5 * 512 + 0] = hm_word(50, 0xff0000);     // on the x = 0 edge
    hm[5 * 512 + 511] = hm_word(20, 0xff0000);   // across the edge: ignored
    hm[7 * 512 + 7] = hm_word(200, 0x123456);    // out of range: taken as 63
    voxel_map.chunk_count = 5;
    ASSERT_EQ(map_build_from_heightmap(hm.data()), 1);
    EXPECT_EQ(voxel_map.chunk_count, 0);
    struct Case {
        int32_t x, y, bytes, top, colours;
    } cases[] = {
        {10, 10, 8, 63, 1},  // water: header and one colour
        {11, 10, 0, 40, 0},  // filled in below
        {20, 20, 44, 30, 10}, // z 30..39 face the air above the neighbours' tops
        {0, 5, 8, 50, 1},
        {7, 7, 8, 63, 1},
    };
    // (11, 10) sits beside the water column, so it is coloured down to z 62.
    cases[1].bytes = 4 + 4 * 23;
    cases[1].colours = 23;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.x * 1000 + c.y);
        const uint8_t *p = map_column(c.x, c.y);
        EXPECT_EQ(map_column_size(p), c.bytes);
        EXPECT_EQ(map_span_n(p), 0);
        EXPECT_EQ(map_span_s(p), c.top);
        EXPECT_EQ(map_span_e(p) - map_span_s(p) + 1, c.colours);
        EXPECT_EQ(map_ground_z(c.x, c.y), c.top);
    }
    EXPECT_EQ(map_span_colours(map_column(20, 20))[9], hm_word(30, 0x00ff00)); // whole word copied
    // Faces across the map edge are left to the indexing step.
    EXPECT_EQ(fixture_check_store(0), "");
    ASSERT_EQ(map_index_columns(), 1);
    EXPECT_EQ(fixture_check_store(1), "");
}

TEST(MapHeightmap, MapThatCannotFitIsRefused)
{
    // Alternating 0 and 63 gives 65-word columns: far beyond the pool.
    std::vector<uint32_t> hm(MAP_COLUMNS);
    for (int32_t i = 0; i < MAP_COLUMNS; i++) hm[i] = hm_word(((i ^ (i >> 9)) & 1) ? 63 : 0, 0x808080);
    EXPECT_EQ(map_build_from_heightmap(hm.data()), 0);
    EXPECT_EQ(map_ground_z(3, 3), 63); // the empty map
    EXPECT_EQ(fixture_check_store(), "");
}

TEST(TerrainGenerate, SeedOneMapIsPinnedAndRepeatable)
{
    ASSERT_EQ(terrain_generate(1), 1);
    std::vector<uint8_t> a = fixture_image();
    EXPECT_EQ(fixture_check_store(0), "");
    ASSERT_EQ(terrain_generate(2), 1);
    std::vector<uint8_t> b = fixture_image();
    ASSERT_EQ(terrain_generate(1), 1);
    EXPECT_EQ(fixture_image(), a);
    EXPECT_NE(a, b);
    // The generated map of seed 1, byte for byte; a change here changes every
    // server's "gen" map.
    EXPECT_EQ(a.size(), 2111384u);
    EXPECT_EQ(fixture_fnv1a(a), 2157356836190413527ull);
    // A generated map holds no floating groups, and the whole-map pass keeps it.
    map_remove_all_floating();
    EXPECT_EQ(fixture_image(), a);
    // Indexed as the server does after saving it, it meets the colour rule.
    ASSERT_EQ(map_index_columns(), 1);
    EXPECT_EQ(fixture_check_store(1), "");
}
