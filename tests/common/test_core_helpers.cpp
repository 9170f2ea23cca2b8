#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "common/byteio.h"
#include "common/math_vec.h"
#include "common/rng.h"
#include "common/timer.h"

TEST(Rng, MatchesClassicRuntimeSequence)
{
    // The classic runtime's first values for seed 1 and seed 0.
    rng_srand(1);
    const int seed1[] = {41, 18467, 6334, 26500, 19169};
    for (int v : seed1) EXPECT_EQ(rng_rand(), v);
    rng_srand(0);
    const int seed0[] = {38, 7719, 21238, 2437, 8855};
    for (int v : seed0) EXPECT_EQ(rng_rand(), v);
}

TEST(Rng, StaysInFifteenBits)
{
    rng_srand(12345);
    for (int i = 0; i < 100000; i++) {
        int v = rng_rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, RNG_MAX);
    }
}

TEST(ByteIo, LittleEndianRoundTrip)
{
    uint8_t b[8];
    le_put_u32(b, 0x11223344u);
    EXPECT_EQ(b[0], 0x44);
    EXPECT_EQ(b[3], 0x11);
    EXPECT_EQ(le_get_u32(b), 0x11223344u);
    le_put_i16(b, -2);
    EXPECT_EQ(le_get_i16(b), -2);
    le_put_f32(b, -1.5f);
    EXPECT_EQ(le_get_f32(b), -1.5f);
    le_put_u64(b, 0x0102030405060708ull);
    EXPECT_EQ(b[0], 8);
    EXPECT_EQ(le_get_u64(b), 0x0102030405060708ull);
}

TEST(ByteIo, ReaderRefusesToReadPastEnd)
{
    const uint8_t data[5] = {1, 2, 3, 4, 5};
    ByteReader r = byte_reader(data, sizeof data);
    EXPECT_EQ(byte_u32(&r), 0x04030201u);
    EXPECT_FALSE(r.overread);
    EXPECT_EQ(byte_u16(&r), 0);  // only one byte left
    EXPECT_TRUE(r.overread);
    EXPECT_EQ(byte_u8(&r), 0);   // sticky
}

TEST(Timer, StartsNearZeroAndGrows)
{
    double t0 = -1.0;
    game_step = 5.0f;
    timer_start(&t0);
    EXPECT_EQ(game_step, 0.0f);
    EXPECT_GE(t0, 0.0);
    EXPECT_LT(t0, 0.01);
    double prev = t0;
    for (int i = 0; i < 1000; i++) {
        double t;
        timer_read(&t);
        ASSERT_GE(t, prev);
        prev = t;
    }
}

// With the start moved back by an uptime, the clock reads that uptime and
// still measures spans as the system's steady clock does, to microseconds
// (float seconds would step by 0.25 s at 30 days). A later timer_start keeps
// the uptime.
TEST(Timer, KeepsItsPrecisionAtLongUptimes)
{
    const double uptimes[] = {3600.0, 36000.0, 360000.0, 30 * 86400.0};
    for (double up : uptimes) {
        SCOPED_TRACE(up);
        ASSERT_EQ(timer_set_uptime(up), 1);
        double t0;
        timer_start(&t0);
        EXPECT_GE(t0, up);
        EXPECT_LT(t0, up + 0.01);
        auto c0 = std::chrono::steady_clock::now();
        timer_read(&t0);
        // The smallest step between two reads: the counter's, not the value's.
        double least = 1.0, prev = t0, t = t0;
        while (t - t0 < 0.02) {
            timer_read(&t);
            if (t > prev && t - prev < least) least = t - prev;
            prev = t;
        }
        auto c1 = std::chrono::steady_clock::now();
        double t1;
        timer_read(&t1);
        const double steady = std::chrono::duration<double>(c1 - c0).count();
        EXPECT_LT(least, 1e-5);
        EXPECT_NEAR(t1 - t0, steady, 1e-4);
    }
    EXPECT_EQ(timer_set_uptime(-1.0), 0);
    EXPECT_EQ(timer_set_uptime(NAN), 0);
    EXPECT_EQ(timer_set_uptime(2e9), 0);
    ASSERT_EQ(timer_set_uptime(0.0), 1);
    double t;
    timer_start(&t);
    EXPECT_LT(t, 0.01);
}

TEST(MathVec, AngleDiffIsNotWrapped)
{
    const float pi = 3.14159265f;
    struct { float ax, ay, bx, by, want; } cases[] = {
        {1, 0, 0, 1, pi / 2},
        {0, 1, 1, 0, -pi / 2},
        {-1, 0, 0, -1, -3 * pi / 2},
    };
    for (auto &c : cases) EXPECT_NEAR(math_angle_diff(c.ax, c.ay, c.bx, c.by), c.want, 1e-5f);
}

TEST(MathVec, LengthsAndDistances)
{
    EXPECT_EQ(math_distance3(1, 2, 3, 1, 2, 3), 0.0f);
    EXPECT_EQ(math_length3(3, 4, 12), 13.0f);
    EXPECT_EQ(math_distance3(0, 0, 0, 3, 4, 12), 13.0f);
    EXPECT_EQ(math_dot3(1, 2, 3, 4, 5, 6), 32.0f);
}
