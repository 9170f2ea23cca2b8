// Entry point, the two ways out, start-up failures, the frame's lock and
// presentation, message boxes and the input script.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "plat_test_game.h"
#include "platform/plat_display.h"
#include "platform/plat_input.h"
#include "platform/plat_log.h"
#include "platform/plat_main.h"
#include "platform/plat_script.h"
#include "platform/plat_test.h"
#include "vxpng.h"

namespace {

const std::vector<std::string> kReleaseOrder = {
    "game_shutdown", "release mouse", "release keyboard", "release input", "release sound", "release display",
    "release window"};

// Runs platform_main on the headless backend with `cmdline` as the program's
// first argument (none when null) and `script` as its input script.
int run_main(const char *cmdline, const std::string &script)
{
    const std::string path = test_dir("script") + "/input.txt";
    test_write_file(path, std::vector<uint8_t>(script.begin(), script.end()));
    setenv("BKM_PLATFORM", "headless", 1);
    setenv("BKM_INPUT_SCRIPT", path.c_str(), 1);
    char prog[] = "client";
    std::string arg = cmdline ? cmdline : "";
    char *argv[] = {prog, cmdline ? arg.data() : nullptr, nullptr};
    const int rc = platform_main(cmdline ? 2 : 1, argv);
    unsetenv("BKM_INPUT_SCRIPT");
    return rc;
}

void frame_nap() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

class PlatEntry : public ::testing::Test {
protected:
    void SetUp() override { test_platform_reset(); }
    void TearDown() override
    {
        script_clear();
        uninitdirectdraw();
        plat_destroy_window();
        plat_close_backend();
    }
};

TEST_F(PlatEntry, ClosingTheWindowRunsOneShutdownThenTheReleasesInOrder)
{
    test_game.frame = frame_nap;
    // The close comes from the main loop (the screen wait ends in the pump
    // before it, however long the start took); the second close reaches a
    // window that no longer exists.
    EXPECT_EQ(run_main("x127", "0 screen 0\n30 close\n0 close\n"), 0);
    EXPECT_EQ(test_game.shutdowns, 1);
    EXPECT_GT(test_game.frames, 0);
    EXPECT_EQ(test_log_lines({"game_shutdown", "release"}), kReleaseOrder);
    EXPECT_EQ(test_screens.current, SCREEN_NAME_ENTRY);
    EXPECT_EQ(test_screens.screens[SCREEN_IN_GAME], game_play_screen);
    EXPECT_EQ(test_screens.screens[SCREEN_LOADING], menu_loading_screen);
    EXPECT_FALSE(windowexists());
}

void terminate_on_third_frame()
{
    frame_nap();
    if (test_game.frames == 3) raise(SIGTERM);
}

TEST_F(PlatEntry, TerminationSignalClosesTheWindowNormally)
{
    test_game.frame = terminate_on_third_frame;
    EXPECT_EQ(run_main("x1", ""), 0);
    EXPECT_EQ(test_game.shutdowns, 1);
    EXPECT_EQ(test_log_lines({"game_shutdown", "release"}), kReleaseOrder);
}

TEST_F(PlatEntry, CommandLineReachesTheGameLessItsFirstCharacter)
{
    struct Case {
        const char *cmdline;
        int argc;
        bool null;
        const char *arg;
    } cases[] = {
        {"x16777343:32887", 15, false, "16777343:32887"},
        {"\"client.exe", 11, false, "client.exe"},
        {"x", 1, false, ""},
        {"", 0, true, ""},
        {nullptr, 0, true, ""},
    };
    for (const Case &c : cases) {
        test_platform_reset();
        test_game.init_result = -1; // stop right after the hand-over
        EXPECT_EQ(run_main(c.cmdline, ""), -1);
        EXPECT_EQ(test_game.init_argc, c.argc) << (c.cmdline ? c.cmdline : "(none)");
        EXPECT_EQ(test_game.init_arg_null, c.null);
        EXPECT_EQ(test_game.init_arg, c.arg);
        EXPECT_EQ(test_game.shutdowns, 0); // a failed game_init is not shut down
        EXPECT_EQ(plat_log_find("release window", 0), -1);
    }
}

TEST_F(PlatEntry, StartUpFailureAfterTheGameConnectedShutsItDown)
{
    test_display.width = 0; // no frame surface can be made
    EXPECT_EQ(run_main("x1", "1000 close\n"), -1);
    EXPECT_EQ(test_game.shutdowns, 1);
    EXPECT_EQ(test_game.frames, 0);
    const auto lines = test_log_lines({"box", "game_shutdown", "release"});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "box ERROR: The display could not be started.");
    EXPECT_EQ(lines[1], "game_shutdown");
    EXPECT_EQ(lines[2], "release display"); // made before the frame surface failed
    EXPECT_EQ(lines[3], "release window");
}

void fatal_on_third_frame()
{
    if (test_game.frames == 3) quitwitherror("boom");
}

TEST_F(PlatEntry, FatalErrorShowsItsTextRunsTheSameShutdownAndExitsZero)
{
    const std::string log = test_dir("fatal") + "/log.txt";
    EXPECT_EXIT(
        {
            plat_log_set_file(log.c_str());
            test_game.frame = fatal_on_third_frame;
            run_main("x1", "");
        },
        ::testing::ExitedWithCode(0), "ERROR: boom");
    const std::vector<uint8_t> bytes = test_read_file(log);
    std::vector<std::string> lines;
    std::string cur;
    for (uint8_t b : bytes) {
        if (b == '\n') {
            if (cur == "box ERROR: boom" || cur == "exit 0" || cur == "game_shutdown" || cur.rfind("release", 0) == 0)
                lines.push_back(cur);
            cur.clear();
        } else {
            cur += (char)b;
        }
    }
    std::vector<std::string> expected = {"box ERROR: boom"};
    expected.insert(expected.end(), kReleaseOrder.begin(), kReleaseOrder.end() - 1); // the window is not destroyed
    expected.push_back("exit 0");
    EXPECT_EQ(lines, expected);
}

TEST_F(PlatEntry, FrameLocksUnlocksPresentsAndSurvivesLostSurfaces)
{
    EXPECT_EQ(lockframe(nullptr, nullptr), -1); // no display yet
    ASSERT_EQ(plat_create_window(), 1);
    ASSERT_EQ(initdirectdraw(1), 1);
    uint8_t *p1 = nullptr, *p2 = nullptr;
    int32_t pitch1 = 0, pitch2 = 0;
    EXPECT_EQ(lockframe(&p1, &pitch1), 1);
    EXPECT_EQ(lockframe(&p2, &pitch2), 1); // unlocks and locks again
    EXPECT_EQ(p1, p2);
    EXPECT_GE(pitch1, 4 * test_display.width);
    EXPECT_EQ(pitch1 % 4, 0);
    EXPECT_EQ(fillsurface(getframesurface(), 1, 2, 3), DDERR_SURFACEBUSY);
    EXPECT_EQ(presentframe(), DDERR_SURFACEBUSY); // a locked frame is not shown
    EXPECT_EQ(plat_frames_presented(), 0);
    unlockframe();
    unlockframe(); // nothing to unlock: nothing happens
    EXPECT_EQ(fillsurface(getframesurface(), 1, 2, 3), DD_OK);
    EXPECT_EQ(presentframe(), DD_OK);
    EXPECT_EQ(plat_frames_presented(), 1);

    plat_lose_surfaces();
    EXPECT_EQ(lockframe(&p1, &pitch1), 0); // restored; draw nothing this frame
    EXPECT_EQ(lockframe(&p1, &pitch1), 1);
    unlockframe();

    uninitdirectdraw();
    uninitdirectdraw(); // the second call does nothing
    EXPECT_EQ(lockframe(&p1, &pitch1), -1);
    EXPECT_EQ(getframesurface(), nullptr);
    EXPECT_EQ(presentframe(), DDERR_NODIRECTDRAW);
}

TEST_F(PlatEntry, MessageBoxesAreLogged)
{
    messagebox("no sound", "ERROR", 1);
    messagebox(nullptr, nullptr, 0);
    EXPECT_EQ(test_log_lines({"box"}), (std::vector<std::string>{"box ERROR: no sound", "box : "}));
}

TEST_F(PlatEntry, ScriptTypesPressesAndSavesTheFrame)
{
    ASSERT_EQ(plat_create_window(), 1);
    ASSERT_EQ(initdirectdraw(1), 1);
    ASSERT_EQ(initdirectinput(), 1);
    ASSERT_EQ(initkeyboard(), 1);
    const std::string png = test_dir("shot") + "/frame.png";
    ASSERT_EQ(script_parse(("# a comment\n\n0 type Hi!\n0 press RETURN 300\n0 wheel 2\n0 shot " + png + "\n").c_str()), 1);
    pumpmessages();
    const uint32_t shift = KEYMOD_LSHIFT;
    EXPECT_EQ(readkeyevent(), (KeyEvent)('H' | DIK_H << 8 | shift));
    EXPECT_EQ(readkeyevent(), (KeyEvent)('i' | DIK_I << 8));
    EXPECT_EQ(readkeyevent(), (KeyEvent)('!' | DIK_1 << 8 | shift));
    EXPECT_EQ(readkeyevent(), (KeyEvent)(13 | DIK_RETURN << 8));
    EXPECT_EQ(readkeyevent(), 0u);
    readkeyboard();
    EXPECT_EQ(keystates.current[DIK_RETURN], 1); // held until the release is due
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    readkeyboard();
    EXPECT_EQ(keystates.current[DIK_RETURN], 0);

    uint8_t *pixels;
    int32_t pitch;
    ASSERT_EQ(lockframe(&pixels, &pitch), 1);
    for (int32_t y = 0; y < test_display.height; y++)
        for (int32_t x = 0; x < test_display.width; x++)
            ((uint32_t *)(pixels + y * pitch))[x] = 0xFF000000u | (uint32_t)(x * 4) << 16 | (uint32_t)(y * 5) << 8 | 77;
    unlockframe();
    ASSERT_EQ(presentframe(), DD_OK);
    EXPECT_NE(plat_log_find(("shot " + png).c_str(), 0), -1);
    uint32_t *read = nullptr;
    int32_t w = 0, h = 0;
    ASSERT_EQ(vxpng_read(png.c_str(), &read, &w, &h), 1);
    ASSERT_EQ(w, test_display.width);
    ASSERT_EQ(h, test_display.height);
    EXPECT_EQ(read[0], 0xFF00004Du);
    EXPECT_EQ(read[(size_t)(h - 1) * w + (w - 1)], 0xFF000000u | (uint32_t)((w - 1) * 4) << 16 |
                                                         (uint32_t)((h - 1) * 5) << 8 | 77u);
    delete[] read;
    EXPECT_TRUE(script_done());
}

TEST_F(PlatEntry, ScriptRefusesMalformedLines)
{
    const char *bad[] = {
        "key A\n",          "press NOSUCHKEY\n", "x key A down\n", "-5 close\n",       "0 button 4 down\n",
        "0 focus 2\n",      "0 screen 9\n",      "0 fly\n",        "0 type\n",         "0 close now\n",
        "0 mouse 1\n",      "0 wheel many\n",    "10\n",
    };
    for (const char *text : bad) {
        plat_log_clear();
        EXPECT_EQ(script_parse(text), 0) << text;
        EXPECT_EQ(plat_log_find("script: line 1:", 0), 0) << text;
        EXPECT_FALSE(script_active());
    }
    EXPECT_EQ(script_parse("0 close\n1 close x\n"), 0);
    EXPECT_EQ(plat_log_find("script: line 2:", 0), 1);
    EXPECT_EQ(script_parse("  # indented comment\r\n5 key lshift down\r\n5 click 1\n0 screen 4 100\n"), 1);
}

void reach_team_menu_at_frame_five()
{
    frame_nap();
    if (test_game.frames == 5) test_screens.current = SCREEN_TEAM_MENU;
}

TEST_F(PlatEntry, ScriptWaitsForAScreenAndClosesWhenItNeverComes)
{
    test_game.frame = reach_team_menu_at_frame_five;
    EXPECT_EQ(run_main("x1", "0 screen 2 5000\n0 close\n"), 0);
    EXPECT_EQ(plat_log_find("script: screen", 0), -1);
    EXPECT_GE(test_game.frames, 5);

    test_platform_reset();
    test_game.frame = frame_nap;
    EXPECT_EQ(run_main("x1", "0 screen 3 40\n100000 key A down\n"), 0);
    EXPECT_NE(plat_log_find("script: screen 3 not reached", 0), -1);
    EXPECT_EQ(test_game.shutdowns, 1);
}

// A game that turns its view: each frame reads the mouse and paints the
// whole frame in the colour of the motion read so far, then presents it.
// Each frame takes look_frame_ms (a loaded machine's frames are slow).
int32_t look_turned;
int32_t look_frame_ms = 1;
void look_frame()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(look_frame_ms));
    int32_t dx, dy, wheel;
    uint32_t buttons;
    readmouse(&dx, &dy, &wheel, &buttons);
    look_turned += dx;
    uint8_t *pixels;
    int32_t pitch;
    if (lockframe(&pixels, &pitch) == 1) {
        for (int32_t y = 0; y < test_display.height; y++)
            for (int32_t x = 0; x < test_display.width; x++)
                ((uint32_t *)(pixels + y * pitch))[x] = (uint32_t)look_turned & 0xFFFFFF;
        unlockframe();
    }
    presentframe();
}

// The motion a shot shows (its top-left pixel), -1 when there is no shot.
int32_t shot_turned(const std::string &path)
{
    uint32_t *px = nullptr;
    int32_t w = 0, h = 0;
    if (vxpng_read(path.c_str(), &px, &w, &h) != 1) return -1;
    const int32_t v = (int32_t)(px[0] & 0xFFFFFF);
    delete[] px;
    return v;
}

// A shot is the frame the commands before it made; the commands after it,
// due at once or not, reach the game just as they would without it.
TEST_F(PlatEntry, CommandsAfterAShotReachTheGameAsWithoutIt)
{
    struct Case {
        const char *script; // A and B stand for the two shots' paths
        int32_t a, b;       // the motion each shot shows (-1: not taken)
        int32_t read;       // the motion the game read in all
    } cases[] = {
        {"50 mouse 100 0\n200 shot B\n0 close\n", -1, 100, 100},
        {"50 shot A\n0 mouse 100 0\n200 shot B\n0 close\n", 0, 100, 100},
        {"50 shot A\n40 mouse 100 0\n200 shot B\n0 close\n", 0, 100, 100},
        {"50 mouse 30 0\n0 shot A\n0 mouse 100 0\n0 mouse 5 0\n200 shot B\n0 close\n", 30, 135, 135},
        {"50 shot A\n0 shot B\n0 mouse 9 0\n200 close\n", 0, 0, 9},
    };
    // Frames longer than the script's delays too: the delays after a shot
    // count from when its frame was saved, not from when the shot was due.
    for (const int32_t frame_ms : {1, 120})
        for (const Case &c : cases) {
            test_platform_reset();
            test_game.frame = look_frame;
            look_frame_ms = frame_ms;
            look_turned = 0;
            const std::string dir = test_dir("look");
            std::string script = c.script;
            for (size_t at; (at = script.find(" A\n")) != std::string::npos;)
                script.replace(at, 2, " " + dir + "/a.png");
            for (size_t at; (at = script.find(" B\n")) != std::string::npos;)
                script.replace(at, 2, " " + dir + "/b.png");
            EXPECT_EQ(run_main("x1", script), 0) << c.script << frame_ms;
            EXPECT_EQ(shot_turned(dir + "/a.png"), c.a) << c.script << frame_ms;
            EXPECT_EQ(shot_turned(dir + "/b.png"), c.b) << c.script << frame_ms;
            EXPECT_EQ(look_turned, c.read) << c.script << frame_ms;
        }
    look_frame_ms = 1;

    // A program that never presents holds the script up for 5 s at most.
    test_platform_reset();
    test_game.frame = frame_nap;
    const uint32_t start = plat_millis();
    EXPECT_EQ(run_main("x1", "0 shot " + test_dir("never") + "/a.png\n0 close\n"), 0);
    EXPECT_GE(plat_millis() - start, 5000u);
    EXPECT_EQ(test_game.shutdowns, 1);
}

} // namespace
