// Edits the column pool has no room for: refused with MAP_EDIT_NO_ROOM and
// undone to the last byte (columns, table, bitmap, rover, colour generators),
// while edits that fit in the words they free are still stored.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "common/map_damage.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/rng.h"
#include "support/full_pool_map.h"
#include "world_fixture.h"

namespace {

// Everything of the store an undone edit must give back.
struct StoreState {
    std::vector<uint8_t> image;
    std::vector<uint8_t *> table;
    std::vector<uint32_t> bitmap;
    int32_t rover;
    uint32_t rng, placed_rng;
    int32_t seeds;

    static StoreState take()
    {
        StoreState s;
        s.image.reserve(MAP_IMAGE_MAX_BYTES);
        for (int32_t i = 0; i < MAP_COLUMNS; i++) {
            const uint8_t *p = voxel_map.columns[i];
            s.image.insert(s.image.end(), p, p + map_column_size(p));
        }
        s.table.assign(voxel_map.columns, voxel_map.columns + MAP_COLUMNS);
        s.bitmap.assign(voxel_map.bitmap, voxel_map.bitmap + MAP_BITMAP_WORDS);
        s.rover = voxel_map.rover;
        s.rng = rng_state();
        s.placed_rng = map_placed_rng;
        s.seeds = map_seed_count;
        return s;
    }
    // Empty when equal, else what differs.
    std::string differs(const StoreState &o) const
    {
        if (image != o.image) return "column bytes";
        if (table != o.table) return "column table";
        if (bitmap != o.bitmap) return "bitmap";
        if (rover != o.rover) return "rover";
        if (rng != o.rng || placed_rng != o.placed_rng) return "colour generators";
        if (seeds != o.seeds) return "seed list";
        return "";
    }
};

int32_t pool_free_words()
{
    int32_t used = 0;
    for (int32_t k = 0; k < MAP_BITMAP_WORDS; k++) used += __builtin_popcount(voxel_map.bitmap[k]);
    return MAP_POOL_WORDS - used;
}

void load_full_pool()
{
    static const std::vector<uint8_t> img = full_pool_image();
    ASSERT_EQ(img.size(), (size_t)MAP_IMAGE_MAX_BYTES);
    ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
    ASSERT_EQ(pool_free_words(), 0);
    map_seed_count = 0;
    rng_srand(7);
    map_placed_rng = 99;
}

MapCell cell(int32_t x, int32_t y, int32_t z) { return MapCell{x, y, z}; }

} // namespace

TEST(MapFullPool, EditsThatNeedAWordMoreAreRefusedAndUndone)
{
    const int32_t g = FULL_POOL_GROUND;
    struct Case {
        const char *name;
        std::function<int32_t()> edit;
    } cases[] = {
        {"block in the air", [&] { MapCell c = cell(100, 100, g - 2); return map_add_block(&c, 0x123456); }},
        {"cave under the ground's top", [&] { MapCell c = cell(100, 100, g + 1); return map_remove_block(&c); }},
        {"dig into the ground", [&] { MapCell c = cell(100, 100, g + 1); return map_remove_column3(&c); }},
        {"blast in the ground", [&] { MapCell c = cell(100, 100, g); return map_remove_cube3(&c); }},
        {"a batch of two rows", [&] {
             map_insert_slab(map_edit_column(200, 200), g - 1, g);  // fits: covers the top colour
             map_insert_slab(map_edit_column(200, 201), g - 3, g - 2); // does not
             return map_edit_finish();
         }},
        {"a group whose last block does not fit", [&] {
             map_edit_group_begin();
             MapCell a = cell(300, 300, g - 1), b = cell(301, 300, g - 1), c = cell(305, 300, g - 2);
             int32_t ra = map_add_block(&a, 0x111111), rb = map_add_block(&b, 0x222222), rc = map_add_block(&c, 0x333333);
             int32_t r = map_edit_group_end();
             EXPECT_EQ(ra, 1);
             EXPECT_EQ(rb, 1);
             EXPECT_EQ(rc, MAP_EDIT_NO_ROOM);
             return r;
         }},
    };
    load_full_pool();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const StoreState before = StoreState::take();
        EXPECT_EQ(c.edit(), MAP_EDIT_NO_ROOM);
        EXPECT_EQ(StoreState::take().differs(before), "");
    }
    EXPECT_TRUE(map_valid(0));
    // Refusals leave nothing behind: an edit that fits is stored next.
    MapCell top = cell(100, 100, g - 1);
    EXPECT_EQ(map_add_block(&top, 0x445566), 1);
    EXPECT_TRUE(map_is_solid(100, 100, g - 1));
    EXPECT_EQ(pool_free_words(), 0);
}

TEST(MapFullPool, EditsThatFitInTheWordsTheyFreeAreStored)
{
    // The edited column's old storage is free again before its new one is
    // placed, as the allocator always had it: a block on top of the ground
    // takes the words of the colour it covers, and taking it back gives them
    // back (the ground's top then has a new colour).
    load_full_pool();
    const int32_t g = FULL_POOL_GROUND;
    MapCell top = cell(150, 150, g - 1);
    ASSERT_EQ(map_add_block(&top, 0x445566), 1);
    EXPECT_TRUE(map_is_solid(150, 150, g - 1));
    ASSERT_EQ(map_remove_block(&top), 1);
    EXPECT_FALSE(map_is_solid(150, 150, g - 1));
    EXPECT_TRUE(map_is_solid(150, 150, g));
    MapCell ground = cell(150, 152, g);
    ASSERT_EQ(map_remove_block(&ground), 1);
    EXPECT_FALSE(map_is_solid(150, 152, g));
    // A group of blocks that all fit is kept whole.
    map_edit_group_begin();
    for (int32_t x = 160; x < 165; x++) {
        MapCell c = cell(x, 150, g - 1);
        EXPECT_EQ(map_add_block(&c, 0x445566), 1);
    }
    EXPECT_EQ(map_edit_group_end(), 1);
    for (int32_t x = 160; x < 165; x++) EXPECT_TRUE(map_is_solid(x, 150, g - 1)) << x;
    EXPECT_EQ(pool_free_words(), 0);
    EXPECT_TRUE(map_valid(0));
}

// A block line over a shot block (building on a solid cell changes nothing
// there) that the pool refuses as a whole keeps the shot block's record, so
// its darkened colour still heals; a line that is kept drops it, as a single
// build does.
TEST(MapFullPool, ARefusedBlockLineKeepsTheDamageRecordsUnderIt)
{
    load_full_pool();
    map_damage_clear();
    const int32_t g = FULL_POOL_GROUND;
    const auto shoot = [](int32_t x, int32_t y, int32_t z) {
        HitRecord h{};
        h.x = x, h.y = y, h.z = z;
        return map_damage_block(&h, 40, 0.0);
    };
    const auto rgb = [](int32_t x, int32_t y, int32_t z) { return VOXEL_RGB(*map_colour_ptr(x, y, z)); };
    const auto line = [&](int32_t y, int32_t last_z) {
        map_edit_group_begin();
        for (int32_t x = 300; x <= 302; x++) {
            MapCell c = cell(x, y, g);  // the ground's top: solid already
            map_add_block(&c, 0x445566);
        }
        MapCell c = cell(303, y, last_z);
        map_add_block(&c, 0x445566);
        return map_edit_group_end();
    };

    const uint32_t before = rgb(301, 300, g);
    ASSERT_EQ(shoot(301, 300, g), 0);
    // 60 % of each channel, as the darkening scales them.
    const uint32_t dark = (uint32_t)(0x50 * 0.6f) << 16 | (uint32_t)(0x70 * 0.6f) << 8 | (uint32_t)(0x60 * 0.6f);
    ASSERT_EQ(before, 0x507060u);
    ASSERT_EQ(rgb(301, 300, g), dark);
    // Its last block, in the air, needs a word the pool does not have.
    ASSERT_EQ(line(300, g - 2), MAP_EDIT_NO_ROOM);
    EXPECT_EQ(map_damage_count, 1);
    EXPECT_EQ(rgb(301, 300, g), dark);
    EXPECT_EQ(map_heal_blocks(11.0), 1);
    EXPECT_EQ(rgb(301, 300, g), before);

    ASSERT_EQ(shoot(301, 310, g), 0);
    ASSERT_EQ(line(310, g - 1), 1);  // on top of the ground: fits
    EXPECT_EQ(map_damage_count, 0);
}

TEST(MapFullPool, AWholeMapBatchBeyondTheKeptBytesIsUndoneOrKeptWhole)
{
    // Flat ground (two words a column); a batch over every column adds single
    // blocks in the air. Its old columns' bytes outgrow what the batch keeps
    // for undo long before the pool runs out, so it holds the later old
    // storages until it closes: nine blocks a column do not fit, and
    // everything is undone; two a column fit, and the old storages are freed.
    for (int32_t blocks : {9, 2}) {
        SCOPED_TRACE(blocks);
        map_make_flat(40, 0x7F406080u);
        const StoreState before = StoreState::take();
        const int32_t free_before = pool_free_words();
        for (int32_t y = 0; y < 512; y++)
            for (int32_t x = 0; x < 512; x++) {
                int32_t *list = map_edit_column(x, y);
                for (int32_t k = 0; k < blocks; k++) map_insert_slab(list, 2 + 2 * k, 3 + 2 * k);
            }
        int32_t r = map_edit_finish();
        if (blocks == 9) {
            EXPECT_EQ(r, MAP_EDIT_NO_ROOM);
            EXPECT_EQ(StoreState::take().differs(before), "");
        } else {
            EXPECT_EQ(r, 1);
            EXPECT_TRUE(map_valid(2));
            uint64_t solid, coloured;
            map_column_bits(77, 300, &solid, &coloured);
            EXPECT_EQ(solid, z_range(2, 3) | z_range(4, 5) | z_range(40, 64));
            EXPECT_EQ(pool_free_words(), free_before - MAP_COLUMNS * 4);
        }
    }
}

TEST(MapFullPool, ABorderColumnWithoutRoomToCompleteLoadsAsItIs)
{
    // Border column (0, 100) is coloured only at its top, and its neighbours
    // (511, 100), (0, 99) and (0, 101) are stacks of single blocks: loading
    // would colour every voxel of it that faces their air, but the pool is
    // full (the stacks take the words it saves). It keeps its storage, and
    // the map loads.
    std::vector<std::vector<uint8_t>> cols;
    const std::vector<uint8_t> img = full_pool_image();
    for (size_t at = 0; at < img.size();) {
        size_t n = (size_t)map_column_size(&img[at]);
        cols.emplace_back(img.begin() + (long)at, img.begin() + (long)(at + n));
        at += n;
    }
    ASSERT_EQ(cols.size(), (size_t)MAP_COLUMNS);
    const int32_t g = FULL_POOL_GROUND, edge = 100 * 512;
    cols[edge].clear();
    full_pool_put(cols[edge], 0, g, g, 0, 1);
    const int32_t stacks[3][2] = {{edge + 511, 32}, {edge - 512, 32}, {edge + 512, 30}};
    for (const auto &st : stacks) {
        cols[st[0]].clear();
        full_pool_stack(cols[st[0]], st[1]);
    }
    std::vector<uint8_t> changed;
    for (const auto &c : cols) changed.insert(changed.end(), c.begin(), c.end());
    ASSERT_EQ(changed.size(), (size_t)MAP_IMAGE_MAX_BYTES);
    ASSERT_EQ(map_load_image(changed.data(), changed.size()), 1);
    EXPECT_EQ(pool_free_words(), 0);
    const uint8_t *p = map_column(0, 100);
    EXPECT_EQ(map_column_size(p), 8);
    EXPECT_EQ(map_colour_ptr(0, 100, g + 1), nullptr);
    EXPECT_TRUE(map_is_solid(0, 100, g + 1));
    EXPECT_FALSE(map_is_solid(511, 100, g + 1));
    EXPECT_TRUE(map_valid(0));
}
