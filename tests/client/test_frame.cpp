// The frame entry's 60 Hz gate and its capture advance, the name screen's
// steps, and start-up's refusal of an argument without an address.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "client/game_main.h"
#include "client/net_client.h"
#include "client/game_mode.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/menu_screens.h"
#include "client_fixture.h"
#include "common/cfg.h"
#include "common/lang_ids.h"
#include "common/mode_objective.h"
#include "common/timer.h"
#include "client/game_fatal.h"
#include "renderer/vox_cpu.h"
#include "platform/plat_display.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_log.h"
#include "platform/plat_main.h"
#include "platform/plat_test.h"

namespace {

int frames_drawn;
void count_frame() { frames_drawn++; }

TEST(Frame, ASecondCallWithinASixtiethOnlySleeps)
{
    ctest_reset_client();
    timer_start(&game_time);
    for (ScreenFn &f : client_state.screens.screens) f = count_frame;
    game_set_screen(SCREEN_TEAM_MENU);
    frames_drawn = 0;
    game_last_frame = -1.0f;
    game_run_frame();
    EXPECT_EQ(frames_drawn, 1);
    double last = game_last_frame;
    game_run_frame();
    EXPECT_EQ(frames_drawn, 1);
    EXPECT_FLOAT_EQ(game_last_frame, last);
    game_last_frame -= 0.02f;
    game_run_frame();
    EXPECT_EQ(frames_drawn, 2);
    EXPECT_GE(game_frame_time, 0.02f);
    EXPECT_EQ(game_millis, (int32_t)(game_last_frame * 1000.0f));
}

// The server sends a capture's rate, not its steady advance: every frame past
// loading works it out, whatever the player is doing, and only in territory
// control.
TEST(Frame, CaptureBarsAdvanceOnEveryScreenPastLoading)
{
    struct Case {
        int screen, mode;
        float expected; // progress after 0.5 s at rate 2 from 0.25
    } cases[] = {{SCREEN_NAME_ENTRY, GAME_MODE_TC, 0.25f}, {SCREEN_LOADING, GAME_MODE_TC, 0.25f},
                 {SCREEN_TEAM_MENU, GAME_MODE_TC, 0.3f},   {SCREEN_WEAPON_MENU, GAME_MODE_TC, 0.3f},
                 {SCREEN_IN_GAME, GAME_MODE_TC, 0.3f},     {SCREEN_IN_GAME, GAME_MODE_CTF, 0.25f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.screen * 10 + c.mode);
        ctest_reset_client();
        timer_start(&game_time);
        for (ScreenFn &f : client_state.screens.screens) f = count_frame;
        game_set_screen(c.screen);
        game_select_mode(c.mode);
        memset(mode_objectives, 0, sizeof mode_objectives);
        mode_objective_count = 3;
        mode_objectives[1].rate = 2;
        mode_objectives[1].progress = 0.25f;
        double now;
        timer_read(&now);
        game_last_frame = now - 0.5f;
        game_run_frame();
        // The frame's step is a little above 0.5 s: it reads the clock again.
        EXPECT_NEAR(mode_objectives[1].progress, c.expected, 0.001f);
        EXPECT_EQ(mode_objectives[0].progress, 0.0f);
    }
}

// The cap after long uptimes (the clock's start moved back): frames never
// come sooner than 1/60 s apart and keep close to 60 a second, and the frame
// times add up to the time that passed. A float clock would step by 3.9 ms
// at 10 h (51 frames a second) and by 0.25 s at 30 days (4).
TEST(Frame, TheCapHoldsAtLongUptimes)
{
    ctest_reset_client();
    for (ScreenFn &f : client_state.screens.screens) f = count_frame;
    game_set_screen(SCREEN_TEAM_MENU);
    const double uptimes[] = {3600.0, 36000.0, 360000.0, 30 * 86400.0};
    for (double up : uptimes) {
        SCOPED_TRACE(up);
        ASSERT_EQ(timer_set_uptime(up), 1);
        timer_start(&game_time);
        game_last_frame = game_time - 1.0;
        frames_drawn = 0;
        game_run_frame(); // the first frame, a second after the "last"
        ASSERT_EQ(frames_drawn, 1);
        const double first = game_last_frame;
        std::vector<float> times;
        const auto t0 = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(1)) {
            int before = frames_drawn;
            game_run_frame();
            if (frames_drawn != before) times.push_back(game_frame_time);
        }
        ASSERT_GT(times.size(), 10u);
        double sum = 0.0;
        for (float t : times) sum += t;
        EXPECT_NEAR(sum, game_last_frame - first, 1e-4);
        EXPECT_GE(game_last_frame, up);
        EXPECT_GE(*std::min_element(times.begin(), times.end()), 0.016666668f);
        std::sort(times.begin(), times.end());
        // A refused call sleeps 1 ms, so a frame comes up to ~1 ms late; a
        // busy machine delays many, hence the low percentile (a float clock
        // makes every frame 19.5 ms at 10 h).
        EXPECT_LT(times[times.size() / 10], 1.0f / 60.0f + 0.0015f);
        EXPECT_LE(times.size(), 60u);
        EXPECT_EQ(game_millis, game_millis_of(game_last_frame));
    }
    ASSERT_EQ(timer_set_uptime(0.0), 1);
    timer_start(&game_time);
    // Whole milliseconds, modulo 2^31 past 24.8 days: 30 days is
    // 2,592,000,000 ms, less 2^31.
    EXPECT_EQ(game_millis_of(30 * 86400.0), 2592000000 - 2147483648);
    EXPECT_EQ(game_millis_of(30 * 86400.0 + 0.5117) & 1023, (2592000000 + 511) & 1023);
    EXPECT_EQ(game_millis_of(12.3456), 12345);
}

struct NameScreen : ::testing::Test {
    void SetUp() override
    {
        ctest_enter_scratch();
        ctest_reset_client();
        ASSERT_EQ(plat_select_backend(PLAT_BACKEND_HEADLESS), 1);
        plat_reset_input();
        *game_display_settings() = DisplaySettings{320, 240, 1, 0};
        ASSERT_EQ(plat_create_window(), 1);
        plat_inject_focus(1);
        game_read_settings();
        menu_name_asked = 0;
        game_set_screen(SCREEN_NAME_ENTRY);
    }
    void TearDown() override
    {
        game_free_settings();
        plat_destroy_window();
        plat_close_backend();
        ctest_leave_scratch();
    }
    static void type(const char *text)
    {
        for (const char *c = text; *c; c++) ASSERT_EQ(plat_inject_typed((uint8_t)*c), 1);
        pumpmessages();
    }
};

TEST_F(NameScreen, AChosenNamePassesStraightToLoading)
{
    snprintf(client_settings.name, sizeof client_settings.name, "Chosen");
    local_player_id = 3;
    menu_name_screen();
    EXPECT_EQ(client_state.screens.current, SCREEN_LOADING);
    EXPECT_EQ(local_player_id, -1);
}

TEST_F(NameScreen, TheDefaultNameAsksAndSavesTheTypedOne)
{
    ASSERT_STREQ(client_settings.name, "Zarar");
    menu_name_screen();
    EXPECT_EQ(client_state.screens.current, SCREEN_NAME_ENTRY);
    type("New Guy\n");
    for (int i = 0; i < 20 && client_state.screens.current == SCREEN_NAME_ENTRY; i++) menu_name_screen();
    EXPECT_EQ(client_state.screens.current, SCREEN_LOADING);
    EXPECT_STREQ(client_settings.name, "New Guy");
    ConfigDict *d = nullptr;
    cfg_load(GAME_CONFIG_FILE, &d);
    EXPECT_STREQ(cfg_get_string(d, "client:name", ""), "New Guy");
    cfg_free(d);
}

TEST_F(NameScreen, KeyNamesForTheControlsHelp)
{
    ASSERT_EQ(initdirectinput(), 1);
    ASSERT_EQ(initkeyboard(), 1);
    char out[4];
    EXPECT_EQ(std::string(game_key_name(getkeyboarddevice(), DIK_W, out), 1), "W");
    EXPECT_EQ(out[1], 0);
    game_key_name(getkeyboarddevice(), DIK_CAPITAL, out); // a long name keeps its first four bytes
    EXPECT_EQ(std::string(out, 4), "Caps");
    uninitkeyboard();
    uninitdirectinput();
}

// Start-up refuses an argument without an address, or with one not in the
// form it takes, with its box and -1, before any connection is tried.
TEST(StartUp, NoAddressOrAMalformedOneShowsItsBoxAndFails)
{
    ctest_enter_scratch();
    ctest_load_strings();
    CpuFeatures = getcpufeatures();
    struct Case {
        const char *arg;
        int text;
        const char *shown; // the address as the box shows it
    } cases[] = {
        {"client.exe", LANG_ERR_NO_ADDRESS, nullptr},
        {"bkm://127.0.0.1:32887\"", LANG_ERR_BAD_ADDRESS, "127.0.0.1:32887\""},
        {"km://16777343:32887", LANG_ERR_BAD_ADDRESS, "6777343:32887"},
        {"bkm://16777343:32887\n\"", LANG_ERR_BAD_ADDRESS, "16777343:32887?\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arg);
        ctest_reset_client();
        plat_log_clear();
        std::vector<char> arg(c.arg, c.arg + std::strlen(c.arg) + 1);
        char *argv[] = {arg.data(), nullptr};
        EXPECT_EQ(game_init(1, argv), -1);
        EXPECT_EQ(net_client_host, nullptr);
        // The strings game_init loaded (or its own English ones).
        char box[1024];
        snprintf(box, sizeof box, game_text(c.text), c.shown);
        std::replace(box, box + std::strlen(box), '\n', ' '); // the log keeps each box on one line
        const int at = plat_log_find("box ERROR: ", 0);
        ASSERT_GE(at, 0);
        EXPECT_EQ(plat_log_line(at), std::string("box ERROR: ") + box);
        EXPECT_EQ(plat_log_find("box ", at + 1), -1);
        game_shutdown();
    }
    ctest_leave_scratch();
}

} // namespace
