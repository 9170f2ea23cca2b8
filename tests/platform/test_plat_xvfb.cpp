// The SDL2 backend in a real window on a virtual X display: platdemo opens
// its window and presents a test pattern, a screenshot of the display (and
// the layer's own frame dump) shows it, and keys typed with xdotool arrive
// as the right scan codes. Starts its own Xvfb and stops it; every wait is bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "plat_test_game.h"
#include "support/test_process.h"
#include "platform/plat_png.h"
#include "vxpng.h"

namespace {

const uint32_t kBars[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};

// The demo's pattern at 320 x 240: eight bars of 40 over 180 lines, a grey ramp below.
void expect_pattern(const std::vector<uint32_t> &px, int32_t stride, int32_t ox, int32_t oy, const char *what)
{
    for (int i = 0; i < 8; i++) EXPECT_EQ(px[(size_t)(oy + 90) * stride + ox + 40 * i + 20], kBars[i]) << what << " bar " << i;
    EXPECT_EQ(px[(size_t)(oy + 220) * stride + ox + 0], 0x000000u) << what;
    EXPECT_EQ(px[(size_t)(oy + 220) * stride + ox + 319], 0xFFFFFFu) << what;
}

class PlatXvfb : public ::testing::Test {
protected:
    TestXvfb x;
    pid_t demo = -1;
    std::string dir = XVFB_TMP; // a folder of its own: ctest runs the tests in parallel
    std::string screen = "640x480x24";

    void SetUp() override
    {
        if (!tpr_on_path("Xvfb") || !tpr_on_path("xdotool")) GTEST_SKIP() << "Xvfb or xdotool missing";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(txv_start(&x, screen)) << "no free display for Xvfb";
    }

    void TearDown() override
    {
        if (demo > 0) tpr_wait(demo, 1);
        txv_stop(&x);
    }
    std::string run(const std::vector<std::string> &argv) { return txv_run(x, argv, dir + "/cmd.txt"); }
};

TEST_F(PlatXvfb, DemoWindowShowsThePatternAndReceivesScanCodes)
{
    const std::string out = dir + "/out.txt", log = dir + "/log.txt", script = dir + "/script.txt";
    const std::string frame = dir + "/frame.png";
    const std::string text = "400 shot " + frame + "\n";
    test_write_file(script, std::vector<uint8_t>(text.begin(), text.end()));
    demo = tpr_spawn({PLATDEMO_BIN, "x320x240"},
                 {"DISPLAY=" + x.display, "BKM_PLATFORM=sdl", "BKM_PLATFORM_LOG=" + log, "BKM_INPUT_SCRIPT=" + script},
                 out);
    ASSERT_TRUE(tpr_wait_until([&] { return tpr_slurp(out).find("presented 10 frames") != std::string::npos; }, 20000))
        << tpr_slurp(out);
    EXPECT_NE(tpr_slurp(out).find("cmdline 8 [320x240]"), std::string::npos);

    const std::string ids = run({"xdotool", "search", "--name", "Brickmire"});
    ASSERT_FALSE(ids.empty());
    const std::string wid = ids.substr(0, ids.find('\n'));
    const std::string geometry = run({"xdotool", "getwindowgeometry", wid});
    int wx = -1, wy = -1, ww = 0, wh = 0;
    const size_t pos = geometry.find("Position: "), geo = geometry.find("Geometry: ");
    ASSERT_NE(pos, std::string::npos) << geometry;
    ASSERT_EQ(std::sscanf(geometry.c_str() + pos, "Position: %d,%d", &wx, &wy), 2);
    ASSERT_EQ(std::sscanf(geometry.c_str() + geo, "Geometry: %dx%d", &ww, &wh), 2);
    EXPECT_EQ(ww, 320);
    EXPECT_EQ(wh, 240);

    // The layer's own frame dump, then the display itself.
    ASSERT_TRUE(tpr_wait_until([&] { return tpr_slurp(log).find("shot " + frame) != std::string::npos; }, 10000));
    uint32_t *dump = nullptr;
    int32_t fw = 0, fh = 0;
    ASSERT_EQ(vxpng_read(frame.c_str(), &dump, &fw, &fh), 1);
    ASSERT_EQ(fw, 320);
    ASSERT_EQ(fh, 240);
    std::vector<uint32_t> dumped(dump, dump + 320 * 240);
    for (uint32_t &p : dumped) p &= 0xFFFFFF;
    delete[] dump;
    expect_pattern(dumped, 320, 0, 0, "frame dump");
    if (tpr_on_path("xwd")) {
        std::vector<uint32_t> screen;
        int32_t sw, sh;
        ASSERT_TRUE(txv_screenshot(x, dir + "/screen.xwd", &screen, &sw, &sh));
        png_write_file((dir + "/screen.png").c_str(), (const uint8_t *)screen.data(), sw * 4, sw, sh);
        ASSERT_LE(wx + 320, sw);
        ASSERT_LE(wy + 240, sh);
        expect_pattern(screen, sw, wx, wy, "screenshot");
    }

    // Keys typed into the focused window.
    run({"xdotool", "windowfocus", "--sync", wid});
    // Each key is held for a few frames, so that the device read sees it down.
    std::vector<std::string> keys = {"xdotool"};
    for (const char *k : {"a", "shift+b", "Return", "Up", "Control_R", "KP_Enter", "F11"})
        keys.insert(keys.end(), {"keydown", k, "sleep", "0.12", "keyup", k, "sleep", "0.05"});
    run(keys);
    const std::vector<std::string> expected = {
        "key 0x1e down", "typed char 0x61 dik 0x1e mods 0x000000", "key 0x1e up",
        "typed char 0x42 dik 0x30 mods 0x010000",                    // B with left Shift held
        "typed char 0x0d dik 0x1c mods 0x000000",                    // Enter types 13
        "key 0xc8 down", "typed char 0x00 dik 0xc8 mods 0x000000",   // Up: extended, no character
        "key 0x9d down",                                             // right Ctrl: extended
        "typed char 0x0d dik 0x9c mods 0x000000",                    // keypad Enter: extended, 13
        "key 0x57 down",                                             // F11
    };
    ASSERT_TRUE(tpr_wait_until([&] { return tpr_slurp(out).find("key 0x57 down") != std::string::npos; }, 10000))
        << tpr_slurp(out);
    const std::string got = tpr_slurp(out);
    size_t from = 0;
    for (const std::string &line : expected) {
        const size_t at = got.find(line, from);
        EXPECT_NE(at, std::string::npos) << line << "\n" << got;
        if (at != std::string::npos) from = at;
    }

    // Taps and clicks with no pause between press and release, far shorter
    // than a frame: each is read down once, then up.
    const size_t tapped = tpr_slurp(out).size();
    std::vector<std::string> taps = {"xdotool"};
    for (int i = 0; i < 5; i++) taps.insert(taps.end(), {"key", "--delay", "0", "k", "sleep", "0.1"});
    for (int i = 0; i < 3; i++) taps.insert(taps.end(), {"click", "1", "sleep", "0.1"});
    run(taps);
    const auto count = [&](const std::string &line) {
        const std::string got = tpr_slurp(out);
        int n = 0;
        for (size_t at = got.find(line, tapped); at != std::string::npos; at = got.find(line, at + 1)) n++;
        return n;
    };
    tpr_wait_until([&] { return count("key 0x25 up") >= 5 && count("buttons 1\n") >= 3; }, 10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // nothing more comes
    EXPECT_EQ(count("key 0x25 down"), 5) << tpr_slurp(out).substr(tapped);
    EXPECT_EQ(count("key 0x25 up"), 5) << tpr_slurp(out).substr(tapped);
    EXPECT_EQ(count("buttons 1\n"), 3) << tpr_slurp(out).substr(tapped);

    // Escape quits through the normal shutdown.
    run({"xdotool", "key", "Escape"});
    EXPECT_EQ(tpr_wait(demo, 15000), 0);
    demo = -1;
    EXPECT_NE(tpr_slurp(out).find("shutdown"), std::string::npos);
    const std::string l = tpr_slurp(log);
    const size_t m = l.find("release mouse"), k = l.find("release keyboard"), d = l.find("release display"),
                 w = l.find("release window");
    EXPECT_TRUE(m != std::string::npos && m < k && k < d && d < w) << l;
}

// The mouse reports device motion whatever the display mode: the same moves
// read the same sums in a window (also one stretched to another size) and in
// full screen, where the frame is scaled up to the desktop, at two frame sizes.
class PlatXvfbMouse : public PlatXvfb {
protected:
    PlatXvfbMouse()
    {
        screen = "1024x768x24";
        dir = XVFB_TMP "_mouse";
    }
};

// The motion platdemo printed after `from` bytes of its output, summed.
void mouse_sums(const std::string &out, size_t from, int *dx, int *dy)
{
    *dx = *dy = 0;
    for (size_t at = out.find("mouse ", from); at != std::string::npos; at = out.find("mouse ", at + 1)) {
        int x = 0, y = 0;
        if (std::sscanf(out.c_str() + at, "mouse %d %d", &x, &y) == 2) *dx += x, *dy += y;
    }
}

TEST_F(PlatXvfbMouse, MotionIsTheSameInAWindowAndInFullScreen)
{
    const struct {
        const char *mode;
        const char *resize; // the window's new size, or null
    } cases[] = {{"x320x240", nullptr}, {"x320x240f", nullptr}, {"x640x480", nullptr},
                 {"x640x480f", nullptr}, {"x320x240", "900x700"}};
    for (const auto &c : cases) {
        const std::string mode = c.mode + std::string(c.resize ? " " : "") + (c.resize ? c.resize : "");
        const std::string out = dir + "/mouse_" + (c.mode + 1) + (c.resize ? "_resized" : "") + ".txt";
        demo = tpr_spawn({PLATDEMO_BIN, c.mode}, {"DISPLAY=" + x.display, "BKM_PLATFORM=sdl"}, out);
        ASSERT_TRUE(tpr_wait_until([&] { return tpr_slurp(out).find("presented 10 frames") != std::string::npos; }, 20000))
            << mode << "\n" << tpr_slurp(out);
        const std::string ids = run({"xdotool", "search", "--name", "Brickmire"});
        ASSERT_FALSE(ids.empty()) << mode;
        const std::string wid = ids.substr(0, ids.find('\n'));
        if (c.resize) {
            const std::string w(c.resize, std::strchr(c.resize, 'x')), h(std::strchr(c.resize, 'x') + 1);
            run({"xdotool", "windowsize", "--sync", wid, w, h});
            EXPECT_NE(run({"xdotool", "getwindowgeometry", wid}).find("Geometry: " + std::string(c.resize)),
                      std::string::npos);
        }
        run({"xdotool", "windowfocus", "--sync", wid});
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const size_t from = tpr_slurp(out).size();
        std::vector<std::string> moves = {"xdotool"};
        for (int i = 0; i < 5; i++) moves.insert(moves.end(), {"mousemove_relative", "--", "20", "-10", "sleep", "0.05"});
        run(moves);
        int dx = 0, dy = 0;
        tpr_wait_until([&] {
            mouse_sums(tpr_slurp(out), from, &dx, &dy);
            return dx >= 100;
        }, 5000);
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // nothing more comes
        mouse_sums(tpr_slurp(out), from, &dx, &dy);
        EXPECT_EQ(dx, 100) << mode;
        EXPECT_EQ(dy, -50) << mode;
        run({"xdotool", "key", "Escape"});
        EXPECT_EQ(tpr_wait(demo, 15000), 0) << mode;
        demo = -1;
    }
}

} // namespace

// Tests start their displays in parallel from numbers that may coincide:
// servers started at the same moment on one number must not end up sharing
// it (the loser's server exits, and its test would draw on the other's).
TEST(XvfbStart, DisplaysStartedAtOnceAreEachTheirOwn)
{
    if (!tpr_on_path("Xvfb")) GTEST_SKIP() << "Xvfb missing";
    TestXvfb xs[8];
    bool ok[8] = {};
    std::vector<std::thread> starts;
    for (int i = 0; i < 8; i++) starts.emplace_back([&, i] { ok[i] = txv_start(&xs[i], "64x64x24"); });
    for (std::thread &t : starts) t.join();
    for (int i = 0; i < 8; i++) {
        ASSERT_TRUE(ok[i]) << i;
        for (int j = 0; j < i; j++) EXPECT_NE(xs[i].display, xs[j].display);
        // The display's lock names this test's own server, which still runs.
        const std::string lock = "/tmp/.X" + xs[i].display.substr(1) + "-lock";
        EXPECT_EQ(std::atol(tpr_slurp(lock).c_str()), (long)xs[i].pid) << xs[i].display;
    }
    for (TestXvfb &x : xs) txv_stop(&x);
}
