// Solidity variants, colours, random points, aim box, line of sight, rays.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/map_ray.h"
#include "common/rng.h"
#include "world_fixture.h"

class MapQuery : public ::testing::Test {
protected:
    // Flat ground at 40; a roof z 20 over x 100..104, y 100..104; a cave
    // cell at (300, 300, 50); a pillar at (0, 5) from z 10 down.
    void SetUp() override
    {
        map_make_flat(40, 0x7F406080u);
        for (int32_t y = 100; y <= 104; y++)
            for (int32_t x = 100; x <= 104; x++) map_insert_slab(map_edit_column(x, y), 20, 21);
        map_edit_finish();
        MapCell cave{300, 300, 50};
        map_remove_block(&cave);
        for (int32_t z = 10; z < 40; z++) {
            MapCell p{0, 5, z};
            map_add_block(&p, 0x404040);
        }
        map_seed_count = 0;
    }
};

TEST_F(MapQuery, SolidityVariants)
{
    EXPECT_EQ(map_is_solid_at(-0.1f, 5, 10), 1);
    EXPECT_EQ(map_is_solid_at(512.0f, 5, 10), 1);
    EXPECT_EQ(map_is_solid_at(5, 5, -0.1f), 0);
    EXPECT_EQ(map_is_solid_at(5, 5, 64.0f), 1);
    EXPECT_EQ(map_is_solid_at(5.5f, 5.5f, 39.9f), 0);
    EXPECT_EQ(map_is_solid_at(5.5f, 5.5f, 40.0f), 1);
    EXPECT_EQ(map_is_solid_at(std::nanf(""), 5, 5), 1);
    EXPECT_EQ(map_is_solid_at(5, 5, std::nanf("")), 1);
    // z 63.5 is tested as z 62: solid under the flat ground, air in a shaft.
    EXPECT_EQ(map_is_solid_at(5, 5, 63.5f), 1);
    MapCell shaft{7, 7, 62};
    map_remove_block(&shaft);
    map_seed_count = 0;
    EXPECT_EQ(map_is_solid_at(7.5f, 7.5f, 63.5f), 0);
    EXPECT_EQ(map_is_solid_no_water(7, 7, 63), 0);
    EXPECT_EQ(map_is_solid(7, 7, 63), 1);
    EXPECT_EQ(map_is_solid(-1, 5, 10), 0);
    EXPECT_EQ(map_is_solid_wrap(-1, 5, 10), map_is_solid(511, 5, 10));
    EXPECT_EQ(map_is_solid_wrap(-512, 5, 10), 1);  // (0, 5) is the pillar
    EXPECT_EQ(map_is_solid(5, 5, -1), 0);
    EXPECT_EQ(map_is_solid(5, 5, 64), 1);
    EXPECT_EQ(map_is_solid(300, 300, 50), 0);
    EXPECT_EQ(map_is_solid(102, 102, 20), 1);
    EXPECT_EQ(map_is_solid(102, 102, 21), 0);
}

TEST_F(MapQuery, GroundFloorAndColours)
{
    EXPECT_EQ(map_ground_z(102, 102), 20);
    EXPECT_EQ(map_floor_z(102, 102, 25), 40);
    EXPECT_EQ(map_floor_z(102, 102, 10), 20);
    EXPECT_EQ(map_floor_z(300, 300, 50), 51);
    EXPECT_EQ(map_floor_z(300, 300, 45), 45);
    EXPECT_NE(map_surface_colour(102, 102, 20), nullptr);
    EXPECT_EQ(map_surface_colour(102, 102, 25), nullptr);
    EXPECT_NE(map_surface_colour(300, 300, 49), nullptr);
    EXPECT_NE(map_surface_colour(300, 300, 51), nullptr);
    EXPECT_EQ(map_surface_colour(300, 300, 55), nullptr);
    EXPECT_EQ(map_surface_colour(-512, 5, 10), map_colour_ptr(0, 5, 10));
    EXPECT_EQ(map_colour_ptr(-1, 5, 10), nullptr);
    EXPECT_EQ(map_colour_ptr(5, 5, 64), nullptr);
}

TEST_F(MapQuery, RandomPointInWaterGivesUpAfter32Tries)
{
    map_make_flat(63, 0x7F406080u);
    MapRect r{10, 10, 20, 20};
    Vec3 v;
    rng_srand(9);
    map_random_point_in_rect(&v, &r);
    EXPECT_EQ(v.z, 63.0f);
    EXPECT_GE(v.x, 10.5f);
    EXPECT_LT(v.x, 20.0f);
    // 32 tries of two draws each.
    rng_srand(9);
    for (int i = 0; i < 64; i++) rng_rand();
    uint32_t after = rng_state();
    rng_srand(9);
    map_random_point_in_rect(&v, &r);
    EXPECT_EQ(rng_state(), after);
    // A degenerate rectangle does not divide by zero.
    MapRect z{30, 30, 30, 30};
    map_random_point_in_rect(&v, &z);
    EXPECT_EQ(v.x, 30.5f);
}

TEST_F(MapQuery, RandomPointOnLand)
{
    MapRect r{200, 200, 210, 220};
    Vec3 v;
    map_random_point_in_rect(&v, &r);
    EXPECT_EQ(v.z, 40.0f);
    EXPECT_EQ(v.x - std::floor(v.x), 0.5f);
}

TEST_F(MapQuery, AimBox)
{
    Vec3 eye{0, 0, 0}, fwd{1, 0, 0}, right{0, 1, 0}, down{0, 0, 1};
    EXPECT_EQ(map_aim_box_test(&eye, &fwd, &right, &down, 10, 0.5f, 0.5f, 1.0f), 1);
    EXPECT_EQ(map_aim_box_test(&eye, &fwd, &right, &down, 10, 1.5f, 0.0f, 1.0f), 0);
    EXPECT_EQ(map_aim_box_test(&eye, &fwd, &right, &down, -10, 0.0f, 0.0f, 1.0f), 0);
    EXPECT_EQ(map_aim_box_test(&eye, &fwd, &right, &down, 0, 0.0f, 0.0f, 1.0f), 0);
    EXPECT_EQ(map_aim_box_test(&eye, &fwd, &right, &down, 0, 0.5f, 0.0f, 1.0f), 0);
}

TEST_F(MapQuery, LineOfSight)
{
    EXPECT_EQ(map_line_of_sight(10.2f, 10.2f, 30.2f, 10.7f, 10.7f, 30.7f), 1);
    EXPECT_EQ(map_line_of_sight(10.5f, 10.5f, 30.5f, 30.5f, 10.5f, 30.5f), 1);
    EXPECT_EQ(map_line_of_sight(10.5f, 10.5f, 30.5f, 10.5f, 10.5f, 45.5f), 0);
    // Through the roof from above and below.
    EXPECT_EQ(map_line_of_sight(102.5f, 102.5f, 15.5f, 102.5f, 102.5f, 25.5f), 0);
    // Beyond 32 cells nothing is tested: a wall at 40 cells is not seen.
    for (int32_t z = 30; z < 40; z++) {
        MapCell w{250, 200, z};
        map_add_block(&w, 0x101010);
    }
    EXPECT_EQ(map_line_of_sight(200.5f, 200.5f, 35.5f, 260.5f, 200.5f, 35.5f), 1);
    EXPECT_EQ(map_line_of_sight(230.5f, 200.5f, 35.5f, 260.5f, 200.5f, 35.5f), 0);
    float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(map_line_of_sight(inf, 0, 0, 1, 1, 1), 0);
    EXPECT_EQ(map_line_of_sight(1e30f, 0, 50, -1e30f, 1, 50), 0);  // no overflow; underground
}

struct RayCase {
    const char *name;
    Vec3 pos, dir;
    bool hit;
    int32_t x, y, z, face;
};

TEST_F(MapQuery, RayCastFaces)
{
    const RayCase cases[] = {
        {"straight down onto flat", {50.5f, 50.5f, 30.5f}, {0, 0, 1}, true, 50, 50, 40, 4},
        {"up from under the roof", {102.5f, 102.5f, 30.5f}, {0, 0, -1}, true, 102, 102, 20, 5},
        {"up in the open leaves", {50.5f, 50.5f, 30.5f}, {0, 0, -1}, false, 0, 0, 0, 0},
        {"+x into the roof side", {90.5f, 102.5f, 20.5f}, {1, 0, 0}, true, 100, 102, 20, 0},
        {"-x into the roof side", {110.5f, 102.5f, 20.5f}, {-1, 0, 0}, true, 104, 102, 20, 1},
        {"+y into the roof side", {102.5f, 90.5f, 20.5f}, {0, 1, 0}, true, 102, 100, 20, 2},
        {"-y into the roof side", {102.5f, 110.5f, 20.5f}, {0, -1, 0}, true, 102, 104, 20, 3},
        {"zero direction steps +x", {90.5f, 102.5f, 20.5f}, {0, 0, 0}, true, 100, 102, 20, 0},
        {"inside the cave, up", {300.5f, 300.5f, 50.5f}, {0, 0, -1}, true, 300, 300, 49, 5},
        {"inside the cave, down", {300.5f, 300.5f, 50.5f}, {0, 0, 1}, true, 300, 300, 51, 4},
        {"into the pillar across the edge", {10.5f, 5.5f, 20.5f}, {-1, 0, 0}, true, 0, 5, 20, 1},
        {"off the side", {500.5f, 5.5f, 20.5f}, {1, 0, 0}, false, 0, 0, 0, 0},
        {"diagonal to the ground", {50.5f, 50.5f, 30.5f}, {0.6f, 0.3f, 0.7f}, true, 0, 0, 40, 4},
        {"tiny y component", {200.5f, 300.5f, 39.5f}, {1, 1e-30f, 1e-6f}, false, 0, 0, 0, 0},
        {"start outside", {-3.0f, 5.5f, 20.5f}, {1, 0, 0}, false, 0, 0, 0, 0},
        {"start in bottom solid", {5.5f, 5.5f, 50.5f}, {0, 0, -1}, false, 0, 0, 0, 0},
        {"start far above", {5.5f, 5.5f, -5000.0f}, {0, 0, 1}, false, 0, 0, 0, 0},
        {"NaN direction", {5.5f, 5.5f, 20.5f}, {std::nanf(""), 0, 1}, false, 0, 0, 0, 0},
        {"infinite start", {std::numeric_limits<float>::infinity(), 5.5f, 20.5f}, {0, 0, 1}, false, 0, 0, 0, 0},
    };
    for (const RayCase &c : cases) {
        HitRecord rec{}, *hp = &rec;
        map_ray_cast_adjacent(&c.pos, &c.dir, &hp);
        ASSERT_EQ(hp != nullptr, c.hit) << c.name;
        if (!c.hit) continue;
        if (c.x || c.y) {
            EXPECT_EQ(rec.x, c.x) << c.name;
            EXPECT_EQ(rec.y, c.y) << c.name;
        }
        EXPECT_EQ(rec.z, c.z) << c.name;
        EXPECT_EQ(rec.face, c.face) << c.name;
        EXPECT_EQ(rec.colour, map_colour_ptr(rec.x, rec.y, rec.z)) << c.name;
        EXPECT_EQ(map_is_solid(rec.adj_x, rec.adj_y, rec.adj_z), 0) << c.name;
        const int32_t d[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
        EXPECT_EQ(rec.adj_x - rec.x, d[c.face][0]) << c.name;
        EXPECT_EQ(rec.adj_y - rec.y, d[c.face][1]) << c.name;
        EXPECT_EQ(rec.adj_z - rec.z, d[c.face][2]) << c.name;
    }
}

TEST_F(MapQuery, RayHitsAreTheFirstSolidAlongTheRay)
{
    // Against a plain march in small steps: same first solid cell.
    uint32_t s = 1;
    auto rnd = [&]() { s = s * 1103515245u + 12345u; return (float)((s >> 8) & 0xFFFF) / 65536.0f; };
    int agree = 0, total = 0;
    for (int i = 0; i < 2000; i++) {
        Vec3 pos{100.0f + rnd() * 8, 100.0f + rnd() * 8, 22.0f + rnd() * 17};
        Vec3 dir{rnd() - 0.5f, rnd() - 0.5f, rnd() - 0.5f};
        HitRecord rec{}, *hp = &rec;
        map_ray_cast(&pos, &dir, &hp);
        float len = std::sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
        int32_t mx = -1, my = -1, mz = -1;
        for (float t = 0; t < 700; t += 0.002f) {
            float px = pos.x + dir.x / len * t, py = pos.y + dir.y / len * t, pz = pos.z + dir.z / len * t;
            if (px < 0 || px >= 512 || py < 0 || py >= 512 || pz < 0) break;
            if (map_is_solid((int32_t)px, (int32_t)py, (int32_t)pz)) {
                mx = (int32_t)px, my = (int32_t)py, mz = (int32_t)pz;
                break;
            }
        }
        if (mx < 0) continue;
        total++;
        if (hp && rec.x == mx && rec.y == my && rec.z == mz) agree++;
    }
    // Rays that graze an edge may differ by a cell; nearly all agree.
    EXPECT_GT(total, 500);
    EXPECT_GE(agree, total * 97 / 100);
}
