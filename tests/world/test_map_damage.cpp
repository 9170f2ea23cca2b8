// The damage ring: darkening, breaking, eviction and healing.
#include <gtest/gtest.h>

#include "common/map_damage.h"
#include "common/map_query.h"
#include "world_fixture.h"

static HitRecord hit_at(int32_t x, int32_t y, int32_t z)
{
    HitRecord h{};
    h.x = x;
    h.y = y;
    h.z = z;
    h.colour = map_colour_ptr(x, y, z);
    return h;
}

class MapDamage : public ::testing::Test {
protected:
    void SetUp() override { map_make_flat(40, 0x7F648C28u); }
};

TEST_F(MapDamage, TwoHitsOfFiftyBreakABlock)
{
    HitRecord h = hit_at(10, 10, 40);
    EXPECT_EQ(map_damage_block(&h, 50, 1.0f), 0);
    EXPECT_EQ(*map_colour_ptr(10, 10, 40), 0x7F324614u);  // halved, shade kept
    EXPECT_EQ(map_damage_block(&h, 50, 2.0f), 1);
    EXPECT_EQ(map_damage_block(&h, 50, 3.0f), 0);  // already at 0 until it expires
}

TEST_F(MapDamage, HundredBreaksAtOnceWithoutDarkening)
{
    HitRecord h = hit_at(11, 10, 40);
    EXPECT_EQ(map_damage_block(&h, 120, 1.0f), 1);
    EXPECT_EQ(map_damage_count, 1);
    EXPECT_EQ(map_damage_ring[map_damage_head].health, 0);
    EXPECT_EQ(*map_colour_ptr(11, 10, 40), 0x7F648C28u);
}

TEST_F(MapDamage, BottomLayersAndAirTakeNoDamage)
{
    map_make_flat(62, 0x7F648C28u);
    HitRecord a = hit_at(1, 1, 62), b = hit_at(1, 1, 63), c = hit_at(1, 1, 20), d = hit_at(-1, 1, 20);
    EXPECT_EQ(map_damage_block(&a, 100, 0.0f), 0);
    EXPECT_EQ(map_damage_block(&b, 100, 0.0f), 0);
    EXPECT_EQ(map_damage_block(&c, 100, 0.0f), 0);
    EXPECT_EQ(map_damage_block(&d, 100, 0.0f), 0);
    EXPECT_EQ(map_damage_count, 0);
}

TEST_F(MapDamage, ThirtyThirdBlockRestoresTheOldest)
{
    for (int32_t i = 0; i < 32; i++) {
        HitRecord h = hit_at(i, 0, 40);
        map_damage_block(&h, 10, 0.0f);
    }
    EXPECT_EQ(map_damage_count, 32);
    EXPECT_NE(*map_colour_ptr(0, 0, 40), 0x7F648C28u);
    HitRecord h = hit_at(40, 0, 40);
    map_damage_block(&h, 10, 0.0f);
    EXPECT_EQ(map_damage_count, 32);
    EXPECT_EQ(*map_colour_ptr(0, 0, 40), 0x7F648C28u);
    EXPECT_EQ(map_damage_ring[(map_damage_head + 31) & 31].x, 40);
}

TEST_F(MapDamage, HealingAfterExpiry)
{
    HitRecord h = hit_at(5, 5, 40);
    map_damage_block(&h, 30, 0.0f);
    EXPECT_EQ(map_heal_blocks(9.5f), 0);
    EXPECT_NE(*map_colour_ptr(5, 5, 40), 0x7F648C28u);
    EXPECT_EQ(map_heal_blocks(10.5f), 1);
    EXPECT_EQ(*map_colour_ptr(5, 5, 40), 0x7F648C28u);
    EXPECT_EQ(map_damage_count, 0);
    // A block dug away before healing: the restore leaves the air alone.
    map_damage_block(&h, 30, 20.0f);
    MapCell c{5, 5, 40};
    map_remove_block(&c);
    map_seed_count = 0;
    EXPECT_EQ(map_heal_blocks(31.0f), 1);
    EXPECT_EQ(map_is_solid(5, 5, 40), 0);
    EXPECT_TRUE(map_valid(2));
}

TEST_F(MapDamage, BuildingForgetsTheRecord)
{
    HitRecord h = hit_at(6, 6, 40);
    map_damage_block(&h, 30, 0.0f);
    MapCell c{6, 6, 40};
    EXPECT_EQ(map_damage_forget(&c), 1);
    EXPECT_EQ(map_damage_forget(&c), 0);
    map_damage_block(&h, 30, 0.0f);
    MapCell above{6, 6, 39};
    map_add_block(&above, 0x102030);
    EXPECT_EQ(map_damage_count, 1);  // a different cell
}
