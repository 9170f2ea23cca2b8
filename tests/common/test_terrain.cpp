#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/rng.h"
#include "common/terrain.h"

TEST(TerrainNoise, PermutationIsShuffleWithCopy)
{
    rng_srand(7);
    terrain_init_permutation();
    int seen[256] = {};
    for (int i = 0; i < 256; i++) seen[terrain_perm[i]]++;
    for (int i = 0; i < 256; i++) EXPECT_EQ(seen[i], 1) << i;
    for (int i = 0; i < 256; i++) EXPECT_EQ(terrain_perm[256 + i], terrain_perm[i]);
    for (int i = 0; i < 512; i++) EXPECT_EQ(terrain_grad[i], terrain_perm[i] & 15);
    // 255 draws of the generator, no more.
    uint32_t after = rng_state();
    rng_srand(7);
    for (int i = 0; i < 255; i++) rng_rand();
    EXPECT_EQ(rng_state(), after);
}

TEST(TerrainNoise, GradientTable)
{
    const float x = 1.0f, y = 10.0f, z = 100.0f;
    const float want[16] = {x + y, y - x, x - y, -x - y, x + z, z - x, x - z, -x - z,
                            y + z, z - y, y - z, -y - z, x + y, y - x, y - z, -y - z};
    for (int h = 0; h < 16; h++) EXPECT_EQ(terrain_gradient(h, x, y, z), want[h]) << h;
}

TEST(TerrainNoise, ZeroOnLatticeAndPeriodicByMask)
{
    rng_srand(3);
    terrain_init_permutation();
    EXPECT_EQ(terrain_noise(2.0f, 5.0f, 1.0f, 255), 0.0f);
    for (float p : {0.25f, 1.7f, 2.5f}) {
        float a = terrain_noise(p, p * 0.5f, 9.5f, 7);
        EXPECT_NEAR(terrain_noise(p + 8.0f, p * 0.5f, 9.5f, 7), a, 1e-5f);
        EXPECT_NEAR(terrain_noise(p, p * 0.5f + 16.0f, 9.5f, 7), a, 1e-5f);
        EXPECT_LE(std::fabs(a), 2.0f);
    }
}

TEST(TerrainHeightmap, DeterministicPerSeedAndGroundInRange)
{
    std::vector<uint32_t> a(TERRAIN_COLUMNS), b(TERRAIN_COLUMNS), c(TERRAIN_COLUMNS);
    terrain_build_heightmap(1, a.data());
    terrain_build_heightmap(2, c.data());
    terrain_build_heightmap(1, b.data());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    int water = 0, maxstep = 0;
    (void)maxstep;
    for (int y = 0; y < 512; y++) {
        for (int x = 0; x < 512; x++) {
            int z = (int)(a[y * 512 + x] >> 24);
            ASSERT_LE(z, 63);
            water += z == 63;
            // Heights join across the map edges as smoothly as inside it.
            int zr = (int)(a[y * 512 + ((x + 1) & 511)] >> 24);
            int zd = (int)(a[((y + 1) & 511) * 512 + x] >> 24);
            maxstep = std::max({maxstep, std::abs(z - zr), std::abs(z - zd)});
            if (x == 511) {
                EXPECT_LE(std::abs(z - zr), 12) << y;
            }
        }
    }
    EXPECT_GT(water, 0);
    EXPECT_LT(water, TERRAIN_COLUMNS);
}
