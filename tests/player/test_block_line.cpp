#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "common/map_block_line.h"
#include "common/rng.h"

namespace {

int line(BlockCell a, BlockCell b, BlockCell *out) { return map_block_line(&a, &b, out); }

bool same(const BlockCell &a, const BlockCell &b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

}  // namespace

TEST(BlockLine, ListsTheCellsInWalkOrder)
{
    struct Case {
        BlockCell a, b;
        int n;
        BlockCell cells[4];
    } cases[] = {
        {{10, 10, 10}, {10, 10, 10}, 1, {{10, 10, 10}}},
        // Equal accumulators: z first, then y before x.
        {{0, 0, 0}, {1, 1, 1}, 4, {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {1, 1, 1}}},
        {{0, 0, 0}, {2, 1, 0}, 4, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {2, 1, 0}}},
        {{10, 10, 10}, {7, 10, 10}, 4, {{10, 10, 10}, {9, 10, 10}, {8, 10, 10}, {7, 10, 10}}},
        {{5, 5, 5}, {5, 3, 4}, 4, {{5, 5, 5}, {5, 4, 5}, {5, 4, 4}, {5, 3, 4}}},
        // The next cell would leave the map: the line ends before it.
        {{510, 5, 5}, {600, 5, 5}, 2, {{510, 5, 5}, {511, 5, 5}}},
        {{1, 5, 5}, {-9, 5, 5}, 2, {{1, 5, 5}, {0, 5, 5}}},
        {{5, 5, 62}, {5, 5, 70}, 2, {{5, 5, 62}, {5, 5, 63}}},
        {{5, 5, 1}, {5, 5, -3}, 2, {{5, 5, 1}, {5, 5, 0}}},
    };
    for (const Case &c : cases) {
        BlockCell out[BLOCK_LINE_MAX];
        int n = line(c.a, c.b, out);
        ASSERT_EQ(n, c.n) << c.a.x << "," << c.a.y << "," << c.a.z;
        for (int i = 0; i < n; i++)
            EXPECT_TRUE(same(out[i], c.cells[i])) << "cell " << i << ": " << out[i].x << "," << out[i].y << "," << out[i].z;
    }
}

TEST(BlockLine, LongLinesStopAtSixtyFiveCells)
{
    BlockCell out[BLOCK_LINE_MAX];
    ASSERT_EQ(line({0, 0, 0}, {100, 0, 0}, out), 65);
    EXPECT_TRUE(same(out[64], BlockCell{64, 0, 0}));
    ASSERT_EQ(line({511, 511, 63}, {0, 0, 0}, out), 65);
    EXPECT_TRUE(same(out[0], BlockCell{511, 511, 63}));
}

TEST(BlockLine, CellsAreFaceConnectedAndReachShortEnds)
{
    rng_srand(77);
    for (int k = 0; k < 2000; k++) {
        BlockCell a = {rng_rand() % 512, rng_rand() % 512, rng_rand() % 64};
        BlockCell b = {a.x + rng_rand() % 41 - 20, a.y + rng_rand() % 41 - 20, a.z + rng_rand() % 21 - 10};
        bool inside = b.x >= 0 && b.x < 512 && b.y >= 0 && b.y < 512 && b.z >= 0 && b.z < 64;
        BlockCell out[BLOCK_LINE_MAX];
        int n = line(a, b, out);
        int dist = std::abs(b.x - a.x) + std::abs(b.y - a.y) + std::abs(b.z - a.z);
        ASSERT_GE(n, 1);
        ASSERT_LE(n, BLOCK_LINE_MAX);
        ASSERT_TRUE(same(out[0], a));
        for (int i = 1; i < n; i++) {
            int step = std::abs(out[i].x - out[i - 1].x) + std::abs(out[i].y - out[i - 1].y) +
                       std::abs(out[i].z - out[i - 1].z);
            ASSERT_EQ(step, 1);
            // Every step moves towards the end.
            ASSERT_LT(std::abs(b.x - out[i].x) + std::abs(b.y - out[i].y) + std::abs(b.z - out[i].z),
                      std::abs(b.x - out[i - 1].x) + std::abs(b.y - out[i - 1].y) + std::abs(b.z - out[i - 1].z));
        }
        if (inside && dist < BLOCK_LINE_MAX) {
            ASSERT_EQ(n, dist + 1);
            ASSERT_TRUE(same(out[n - 1], b));
        }
    }
}

TEST(BlockLine, ExtremeCoordinatesAreSafe)
{
    BlockCell out[BLOCK_LINE_MAX];
    EXPECT_EQ(line({INT_MIN, INT_MIN, INT_MIN}, {INT_MAX, INT_MAX, INT_MAX}, out), 1);
    EXPECT_EQ(line({0, 0, 0}, {INT_MAX, INT_MIN, 0}, out), 1);  // -y leaves at once
    EXPECT_EQ(line({3, 3, 3}, {INT_MAX, 3, 3}, out), 65);
    EXPECT_EQ(line({3, 3, 3}, {3, 3, INT_MIN}, out), 4);
}
