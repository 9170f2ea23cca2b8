// WAV chunk walk, the slot ring, volumes and the 3-D listener, checked on
// OpenAL Soft's loopback device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "common/byteio.h"
#include "plat_test_game.h"
#include "platform/plat_events.h"
#include "platform/plat_input.h"
#include "platform/plat_log.h"
#include "platform/plat_script.h"
#include "platform/plat_sound.h"
#include "platform/plat_test.h"
#include "platform/plat_wav.h"

namespace {

std::vector<uint8_t> bytes(size_t n, uint8_t v = 0x11) { return std::vector<uint8_t>(n, v); }

TEST(PlatWav, ChunkWalk)
{
    const auto fmt = fx_fmt(1, 1, 22050, 16);
    auto fmt18 = fmt;
    fmt18.push_back(0xAA);
    fmt18.push_back(0xBB);
    std::vector<WavChunk> fifteen_before, sixteen_before;
    for (int i = 0; i < 14; i++) fifteen_before.push_back({"junk", bytes(3)});
    fifteen_before.insert(fifteen_before.begin(), {"fmt ", fmt});
    sixteen_before = fifteen_before;
    sixteen_before.push_back({"LIST", bytes(1)});
    fifteen_before.push_back({"data", bytes(8)});
    sixteen_before.push_back({"data", bytes(8)});
    auto cut_data = fx_wav({{"fmt ", fmt}, {"data", bytes(100)}});
    cut_data.resize(cut_data.size() - 10);

    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        int result;
        uint32_t samplebytes;
    } cases[] = {
        {"plain", fx_wav({{"fmt ", fmt}, {"data", bytes(10)}}), WAV_OK, 10},
        {"fmt of 18 bytes", fx_wav({{"fmt ", fmt18}, {"data", bytes(10)}}), WAV_OK, 10},
        {"odd LIST before data", fx_wav({{"fmt ", fmt}, {"LIST", bytes(5)}, {"data", bytes(4)}}), WAV_OK, 4},
        {"odd data size, whole frames", fx_wav({{"fmt ", fmt}, {"data", bytes(7)}}), WAV_OK, 6},
        {"15 chunks before data", fx_wav(fifteen_before), WAV_OK, 8},
        {"16 chunks before data", fx_wav(sixteen_before), WAV_ERR_NO_DATA, 0},
        {"no data", fx_wav({{"fmt ", fmt}}), WAV_ERR_NO_DATA, 0},
        {"chunk past the end", fx_wav({{"fmt ", fmt}, {"LIST", bytes(2)}}), WAV_OK, 0},
        {"data before fmt", fx_wav({{"data", bytes(4)}, {"fmt ", fmt}}), WAV_ERR_NO_FMT, 0},
        {"fmt shorter than 16", fx_wav({{"fmt ", bytes(14)}, {"data", bytes(4)}}), WAV_ERR_FMT_SHORT, 0},
        {"data size past the file", cut_data, WAV_ERR_DATA_SIZE, 0},
        {"float format", fx_wav({{"fmt ", fx_fmt(3, 1, 22050, 32)}, {"data", bytes(8)}}), WAV_ERR_FORMAT, 0},
        {"24-bit", fx_wav({{"fmt ", fx_fmt(1, 1, 22050, 24)}, {"data", bytes(6)}}), WAV_ERR_FORMAT, 0},
        {"three channels", fx_wav({{"fmt ", fx_fmt(1, 3, 22050, 8)}, {"data", bytes(6)}}), WAV_ERR_FORMAT, 0},
        {"rate 0", fx_wav({{"fmt ", fx_fmt(1, 1, 0, 8)}, {"data", bytes(6)}}), WAV_ERR_FORMAT, 0},
        {"header only", std::vector<uint8_t>{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, WAV_ERR_NO_DATA, 0},
        {"shorter than the header", std::vector<uint8_t>{'R', 'I', 'F', 'F'}, WAV_ERR_SHORT, 0},
    };
    // "chunk past the end": the LIST chunk (2 bytes) fits; what follows is missing.
    cases[7].result = WAV_ERR_NO_DATA;
    for (const Case &c : cases) {
        WavSound w;
        EXPECT_EQ(wav_parse(c.file.data(), c.file.size(), &w), c.result) << c.what;
        if (c.result == WAV_OK) {
            EXPECT_EQ(w.bytes, c.samplebytes) << c.what;
            EXPECT_EQ(w.format.samplerate, 22050u) << c.what;
            EXPECT_EQ(w.samples[0], 0x11) << c.what;
        }
    }
    // A chunk size near 4 GB never wraps a bound.
    auto huge = fx_wav({{"fmt ", fmt}, {"LIST", bytes(2)}, {"data", bytes(4)}});
    le_put_u32(huge.data() + 12 + 8 + 16 + 4, 0xFFFFFFFFu);
    WavSound w;
    EXPECT_EQ(wav_parse(huge.data(), huge.size(), &w), WAV_ERR_NO_DATA);
}

// Sound on a loopback device; the renders measure what the listener hears.
class PlatSound : public ::testing::Test {
protected:
    static constexpr int kRate = 22050;
    std::string dir, tone, shorttone, stereo;

    void SetUp() override
    {
        test_platform_reset();
        dir = test_dir("sound");
        tone = dir + "/tone.wav";
        shorttone = dir + "/short.wav";
        stereo = dir + "/stereo.wav";
        test_write_file(tone, fx_wav_sine(kRate, 2000, 441.0f, 0.5f));
        test_write_file(shorttone, fx_wav_sine(kRate, 20, 441.0f, 0.5f));
        std::vector<uint8_t> st;
        for (int i = 0; i < kRate; i++) st.insert(st.end(), {0x00, 0x40, 0x00, 0x40}); // both channels 0.5
        test_write_file(stereo, fx_wav({{"fmt ", fx_fmt(1, 2, kRate, 16)}, {"data", st}}));
        ASSERT_EQ(sound_init_loopback(kRate), 1);
        setmastervolume(10);
    }
    void TearDown() override { uninitdirectsound(); }

    // Root mean square of each channel over `ms` rendered milliseconds.
    static void render(int ms, double *left, double *right)
    {
        const int frames = kRate * ms / 1000;
        std::vector<float> out(2 * (size_t)frames);
        ASSERT_EQ(sound_render_loopback(out.data(), frames), 1);
        double l = 0, r = 0;
        for (int i = 0; i < frames; i++) {
            l += (double)out[2 * i] * out[2 * i];
            r += (double)out[2 * i + 1] * out[2 * i + 1];
        }
        *left = std::sqrt(l / frames);
        *right = std::sqrt(r / frames);
    }
    static double loudness(int ms = 100)
    {
        double l, r;
        render(ms, &l, &r);
        return l + r;
    }
};

TEST_F(PlatSound, TheRingCyclesThrough32SlotsAndCutsTheOldest)
{
    EXPECT_EQ(sound_slot_counter(), -1);
    for (int i = 0; i < 32; i++) playsound(tone.c_str(), 0);
    for (int s = 0; s < 32; s++) EXPECT_EQ(sound_slot_state(s), 1) << s;
    EXPECT_EQ(nextsoundslot(), 0); // the 33rd play takes slot 0 and stops what is there
    EXPECT_EQ(sound_slot_state(0), 0);
    EXPECT_EQ(sound_slot_state(1), 1);
}

TEST_F(PlatSound, FinishedSoundsAreFreedByTheNextPlayAndPlayingOnesSurvive)
{
    playsound(tone.c_str(), 0);      // slot 0, two seconds
    playsound(shorttone.c_str(), 0); // slot 1, 20 ms
    loudness(100);
    EXPECT_EQ(sound_slot_state(0), 1);
    EXPECT_EQ(sound_slot_state(1), 2); // finished, still held
    playsound(shorttone.c_str(), 0);   // slot 2
    EXPECT_EQ(sound_slot_state(0), 1);
    EXPECT_EQ(sound_slot_state(1), 0);
    EXPECT_EQ(sound_slot_state(2), 1);

    playsound((dir + "/missing.wav").c_str(), 0); // slot 3 stays empty
    EXPECT_EQ(sound_slot_counter(), 3);
    EXPECT_EQ(sound_slot_state(3), 0);
}

TEST_F(PlatSound, MasterVolumeTableAndPerSoundAttenuation)
{
    const int32_t table[11] = {-10000, -1000, -699, -523, -398, -301, -222, -155, -97, -46, 0};
    for (int level = 0; level <= 10; level++) {
        setmastervolume(level);
        EXPECT_EQ(sound_master_volume(), table[level]);
        EXPECT_EQ(sound_volume_table[level], table[level]);
    }
    setmastervolume(42);
    EXPECT_EQ(sound_master_volume(), 0);
    setmastervolume(-3);
    EXPECT_EQ(sound_master_volume(), -10000);

    struct Case {
        int level;
        int32_t volume;
        double ratio; // of the full level
    } cases[] = {{10, 0, 1.0}, {10, 100, 1.0}, {10, -700, 0.4467}, {5, 0, 0.7070}, {0, 0, 0.0}};
    setmastervolume(10);
    playsound(tone.c_str(), 0);
    loudness(20);
    const double full = loudness(200);
    ASSERT_GT(full, 0.1);
    for (const Case &c : cases) {
        uninitdirectsound();
        ASSERT_EQ(sound_init_loopback(kRate), 1);
        setmastervolume(c.level);
        playsound(tone.c_str(), c.volume);
        loudness(20); // past the start of the mix
        EXPECT_NEAR(loudness(200) / full, c.ratio, 0.02) << c.level << " " << c.volume;
    }
}

// The game's axes: right x down = forward, z pointing down.
struct Basis {
    Vec3 right, down, forward;
};

TEST_F(PlatSound, ASoundOnThePlayersRightIsHeardOnTheRight)
{
    const Basis bases[] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},   // looking down the z axis
        {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},  // level, facing -y
        {{0, -1, 0}, {0, 0, 1}, {-1, 0, 0}}, // level, facing -x
    };
    const Vec3 at = {256, 256, 30};
    for (const Basis &b : bases) {
        for (int side = -1; side <= 1; side += 2) {
            uninitdirectsound();
            ASSERT_EQ(sound_init_loopback(kRate), 1);
            setlistener(at, b.forward, b.down);
            const Vec3 p = {at.x + side * 5 * b.right.x, at.y + side * 5 * b.right.y, at.z + side * 5 * b.right.z};
            playsound3d(tone.c_str(), 0, p);
            double l, r;
            render(20, &l, &r);
            render(200, &l, &r);
            if (side > 0) EXPECT_GT(r, 2 * l) << "right side, forward " << b.forward.x << b.forward.y << b.forward.z;
            else EXPECT_GT(l, 2 * r) << "left side, forward " << b.forward.x << b.forward.y << b.forward.z;
        }
    }
}

// The listener's rolloff of 0.1 is a tenth of the real-world fall-off of 6 dB
// per doubling of the distance: a gain of d ^ -0.1 from the minimum distance
// of one block on, d clamped to 1 nearer. Attenuations add in decibels.
TEST_F(PlatSound, DistantSoundsFallOffByATenthOfTheRealWorldRate)
{
    const Vec3 front = {0, 0, 1}, down = {0, 1, 0};
    auto heard = [&](float distance, int32_t volume) {
        uninitdirectsound();
        EXPECT_EQ(sound_init_loopback(kRate), 1);
        setlistener(Vec3{0, 0, 0}, front, down);
        playsound3d(tone.c_str(), volume, Vec3{0, 0, distance}); // straight ahead
        loudness(20);
        return loudness(200);
    };
    const double full = heard(1.0f, 0);
    ASSERT_GT(full, 0.1);
    struct Case {
        float distance;
        int32_t volume;
    } cases[] = {{0.5f, 0}, {2, 0}, {10, 0}, {50, 0}, {100, 0}, {127, 0}, {50, -700}};
    for (const Case &c : cases) {
        const double expected_db = -20.0 * 0.1 * std::log10(std::max(1.0, (double)c.distance)) + c.volume / 100.0;
        const double db = 20.0 * std::log10(heard(c.distance, c.volume) / full);
        EXPECT_NEAR(db, expected_db, 0.5) << c.distance << " blocks, volume " << c.volume;
    }
}

TEST_F(PlatSound, BeyondTheMaximumDistanceASoundIsSilent)
{
    const Vec3 front = {0, 0, 1}, down = {0, 1, 0};
    setlistener(Vec3{0, 0, 0}, front, down);
    playsound3d(tone.c_str(), 0, Vec3{0, 0, 128.5f});
    loudness(20);
    EXPECT_LT(loudness(100), 1e-4);
    setlistener(Vec3{0, 0, 10}, front, down); // the listener comes within 128
    loudness(20);
    EXPECT_GT(loudness(100), 0.01);
    setlistener(Vec3{0, 0, -3}, front, down); // and leaves again
    loudness(20);
    EXPECT_LT(loudness(100), 1e-4);

    // Positions that are not numbers count as the origin; a listener made of them is ignored.
    const float nan = std::nanf("");
    setlistener(Vec3{nan, 0, 0}, front, down);
    playsound3d(tone.c_str(), 0, Vec3{nan, 0, INFINITY});
    EXPECT_NE(plat_log_find("sound3d", 0), -1);
    loudness(20);
    EXPECT_GT(loudness(100), 0.01); // 1 block from the listener at (0, 0, -1)
}

// Another window takes the focus: the sounds play on unheard, and are heard
// again at the master volume (set meanwhile) once the focus comes back. The
// input script's focus command is the same event.
TEST_F(PlatSound, SilentWhileAnotherWindowHasTheFocus)
{
    playsound(tone.c_str(), 0);
    loudness(20);
    const double full = loudness(100);
    ASSERT_GT(full, 0.1);
    plat_inject_focus(0);
    events_collect();
    loudness(20); // the mixer's fade to the new gain
    EXPECT_LT(loudness(100), 1e-5);
    EXPECT_EQ(sound_slot_state(0), 1); // still playing
    setmastervolume(5);
    EXPECT_LT(loudness(100), 1e-5);
    plat_inject_focus(1);
    events_collect();
    loudness(20);
    EXPECT_NEAR(loudness(100) / full, 0.7070, 0.02);

    uninitdirectsound();
    ASSERT_EQ(sound_init_loopback(kRate), 1);
    setmastervolume(10);
    ASSERT_EQ(script_parse("0 focus 0\n150 focus 1\n"), 1);
    events_collect();
    ASSERT_FALSE(events_focused());
    playsound(tone.c_str(), 0); // started without the focus
    loudness(20);
    EXPECT_LT(loudness(100), 1e-5);
    for (int i = 0; i < 400 && !events_focused(); i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        events_collect();
    }
    ASSERT_TRUE(events_focused());
    loudness(20);
    EXPECT_NEAR(loudness(100) / full, 1.0, 0.05);
    script_clear();
}

TEST_F(PlatSound, StereoFilesPlayFlatAndMixDownIn3D)
{
    playsound(stereo.c_str(), 0);
    loudness(20);
    EXPECT_GT(loudness(100), 0.1);
    uninitdirectsound();
    ASSERT_EQ(sound_init_loopback(kRate), 1);
    setlistener(Vec3{0, 0, 0}, Vec3{0, 0, 1}, Vec3{0, 1, 0});
    playsound3d(stereo.c_str(), 0, Vec3{1, 0, 0});
    double l, r;
    render(20, &l, &r);
    render(100, &l, &r);
    EXPECT_GT(r, 2 * l);
}

TEST_F(PlatSound, PlaysAreLoggedAndNothingHappensWithSoundOff)
{
    plat_log_clear();
    playsound("wav/intro.wav", 0);
    playsound3d("wav/jump.wav", -300, Vec3{1.5f, 2, 3});
    EXPECT_EQ(test_log_lines({"sound"}),
              (std::vector<std::string>{"sound wav/intro.wav 0", "sound3d wav/jump.wav -300 1.50 2.00 3.00"}));
    uninitdirectsound();
    uninitdirectsound(); // twice: nothing
    EXPECT_FALSE(sound_is_on());
    playsound(tone.c_str(), 0);
    setlistener(Vec3{0, 0, 0}, Vec3{0, 0, 1}, Vec3{0, 1, 0});
    EXPECT_EQ(sound_slot_state(0), 0);
    EXPECT_EQ(sound_render_loopback(nullptr, 0), 0);
}

TEST(PlatSoundHeadless, TheHeadlessBackendHasSoundThatRunsOnTheClock)
{
    test_platform_reset();
    const std::string path = test_dir("headless_sound") + "/short.wav";
    test_write_file(path, fx_wav_sine(8000, 30, 400.0f, 0.5f));
    initdirectsound();
    ASSERT_TRUE(sound_is_on());
    playsound(path.c_str(), 0);
    EXPECT_EQ(sound_slot_state(0), 1);
    for (int i = 0; i < 200 && sound_slot_state(0) == 1; i++) {
        waitforinput(5); // lets the clock run the mix
    }
    EXPECT_EQ(sound_slot_state(0), 2);
    uninitdirectsound();
}

} // namespace
