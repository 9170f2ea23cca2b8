// The client program in a real SDL2 window on a virtual display (Xvfb)
// against the real server: the screens up to the team menu and a closed
// window's exit; and the whole game played through xdotool as a person would.
#include <signal.h>

#include <chrono>
#include <thread>

#include "common/weapon.h"
#include "window_fixture.h"

using namespace program_test;

namespace {

TEST_F(ClientWindow, SdlWindowShowsTheScreensAndClosingItEndsTheProgram)
{
    serve({}, "hills");
    make_client("Zarar");
    size_t from = srv.output.size();
    // The name typed, shots by the layer; the window closed by the script,
    // late enough for the search and screenshot below on a busy machine.
    run_client("0 screen 0\n300 type Windowed\n100 shot " + path("name.png") + "\n0 press RETURN\n0 screen 1\n0 shot " +
                   path("loading.png") + "\n0 screen 2\n400 shot " + path("team.png") + "\n8000 close\n",
               {"BKM_PLATFORM=sdl", "DISPLAY=" + x.display, "SDL_AUDIODRIVER=dummy"}, port);
    wid = window();
    ASSERT_FALSE(wid.empty()) << log();
    ASSERT_TRUE(tpr_wait_until([&] { return log().find("shot " + path("team.png")) != std::string::npos; }, 30000))
        << logs();
    ASSERT_TRUE(screen(&s, wid));
    expect_team_menu(s);
    EXPECT_EQ(wait_client(30000), 0) << log();
    expect_joined_screens();
    EXPECT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_ID_LEFT, 0), E2E_WAIT_MS, from));
}

// The whole game played as a person would: keys and the mouse sent to the
// window with xdotool (not through the layer's script) choose a name, a team
// and a weapon, walk, build, shoot, open the scoreboard and quit through the
// yes/no question, which opens the news page (a stub xdg-open on the PATH).
// Each key is held until what it does shows (on the screen, or to a
// spectator who watches the game), so slow frames on a busy machine cannot
// swallow a press; every wait is bounded.
TEST_F(ClientWindow, PlayedAsAPersonWould)
{
    serve();
    make_client("Zarar", 1);
    const size_t from = srv.output.size();
    run_window_client();
    ASSERT_FALSE(wid.empty()) << log();
    // The name, typed into its box; 1 takes the first team, then 1 the
    // rifle: in game, the sky above the ground, the health below.
    ASSERT_NO_FATAL_FAILURE(join_through_menus("1", "1", "x"));
    EXPECT_GT(s.colour(W / 2 - 90, H - 40, W / 2, H, 0xFFFFFF), 30); // health 100
    EXPECT_GT(s.colour(W - 200, H - 40, W - 40, H, 0xFFFF00), 30);    // the rifle's 10-50

    // A spectator who joins once the player is in game and sees what he does.
    ASSERT_TRUE(join_watcher("Walker"));
    const uint8_t me = (uint8_t)id;

    // Walking: W held for a second carries him forward.
    Vec3 start, end;
    ASSERT_TRUE(watched([&] { return seen_at(&start); }));
    mark = watcher.messages.size();
    ASSERT_TRUE(hold("w", [&] {
        if (!watched([&] { return seen({MSG_MOVE_KEYS, me, 1}); })) return false;
        return watched([&] { return seen_at(&end) && std::fabs(end.x - start.x) + std::fabs(end.y - start.y) > 2.0f; });
    })) << log();
    EXPECT_TRUE(watched([&] { return seen({MSG_MOVE_KEYS, me, 0}); }));
    mark = watcher.messages.size();

    // Building: the block tool, the view turned down to the ground before him,
    // a click; the server's echo of the block reaches everyone.
    ASSERT_TRUE(hold("2", [&] { return watched([&] { return seen({MSG_TOOL, me, TOOL_BLOCK}); }); })) << log();
    for (int i = 0; i < 8; i++) xdo({"mousemove_relative", "--", "0", "50"});
    mark = watcher.messages.size();
    // The block count in yellow left of the 8 x 8 palette in the corner.
    ASSERT_TRUE(shows([&] { return s.colour(W - 300, H - 40, W - 104, H, 0xFFFF00) > 30 && s.palette() >= 64; }, "x_block"))
        << log();
    EXPECT_TRUE(press_button("1", [&] { return watched([&] { return seen({MSG_BLOCK_ACTION, me, BLOCK_BUILD}); }); }))
        << log();
    screen(&s, wid, "x_built");

    // Shooting: the rifle, a pull of the trigger; the magazine shows one less.
    mark = watcher.messages.size();
    ASSERT_TRUE(hold("3", [&] { return watched([&] { return seen({MSG_TOOL, me, TOOL_GUN}); }); })) << log();
    ASSERT_TRUE(shows([&] { return s.colour(W - 200, H - 40, W - 40, H, 0xFFFF00) > 30; }, "x_rifle"));
    const int loaded = s.colour(W - 200, H - 40, W - 40, H, 0xFFFF00);
    mark = watcher.messages.size();
    EXPECT_TRUE(press_button("1", [&] { return watched([&] { return seen({MSG_FIRE_KEYS, me, 1}); }); })) << log();
    EXPECT_TRUE(shows([&] { return s.colour(W - 200, H - 40, W - 40, H, 0xFFFF00) != loaded; }, "x_shot")); // "9-50"
    // A click and key taps with no pause between press and release, far
    // shorter than a frame: the click fires once, the taps change the tool.
    const int fired = s.colour(W - 200, H - 40, W - 40, H, 0xFFFF00);
    // Not a wait for progress: the rifle takes no shot before its interval is over.
    std::this_thread::sleep_for(std::chrono::milliseconds((int)(weapon_info(WEAPON_SEMI)->fire_interval * 1000) + 200));
    mark = watcher.messages.size();
    xdo({"click", "1"});
    EXPECT_TRUE(watched([&] { return seen({MSG_FIRE_KEYS, me, 1}); })) << log();
    EXPECT_TRUE(shows([&] { return s.colour(W - 200, H - 40, W - 40, H, 0xFFFF00) != fired; }, "x_click")); // "8-50"
    int pulls = 0;
    for (size_t i = mark; i < watcher.messages.size(); i++)
        pulls += watcher.messages[i].size() >= 3 && watcher.messages[i][0] == MSG_FIRE_KEYS && watcher.messages[i][1] == me &&
                 watcher.messages[i][2] == 1;
    EXPECT_EQ(pulls, 1);
    mark = watcher.messages.size();
    xdo({"key", "--delay", "0", "2"});
    EXPECT_TRUE(watched([&] { return seen({MSG_TOOL, me, TOOL_BLOCK}); })) << log();
    mark = watcher.messages.size();
    xdo({"key", "--delay", "0", "3"});
    EXPECT_TRUE(watched([&] { return seen({MSG_TOOL, me, TOOL_GUN}); })) << log();
    for (int i = 0; i < 8; i++) xdo({"mousemove_relative", "--", "0", "-50"});

    // The scoreboard while Tab is held: his row, white, under his team's score.
    const int32_t rows = (int32_t)(0.01f * H + 108) + (int32_t)(0.1f * H);
    EXPECT_TRUE(hold("Tab", [&] {
        return shows([&] { return s.colour((int32_t)(0.09f * W), rows, W / 2, rows + 12, 0xFFFFFF) > 20; }, "x_score");
    }));
    EXPECT_GT(s.team((int32_t)(0.19f * W), rows - 70, W / 2, rows - 20, 0), 100); // team 0's score line

    // Quitting: Escape asks in red at a third of the height, "y" answers.
    quit_with_yes("x_quit");
    EXPECT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_PLAYER_CONNECTED, 0, "127.0.0.1"), E2E_WAIT_MS, from));
    EXPECT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_PLAYER_LEFT, "Walker"), E2E_WAIT_MS, from));
}

// The error box without a window manager: it takes Return and Escape as
// soon as it opens (where nothing gives it the keyboard, the keys would go
// to the game window), and SIGTERM ends the program at any time, with a box
// open (the box goes with it) or in a running game (which says goodbye).
TEST_F(ClientWindow, TheErrorBoxTakesReturnAndEscapeAndSigtermEndsTheProgramAtAnyTime)
{
    serve();
    struct Case {
        const char *name;
        std::string address; // what follows "bkm://"
        const char *player;
        const char *key;     // pressed in the box; null: SIGTERM
        int exit_code;
    } cases[] = {
        // The first frame cannot connect: the box comes over the window.
        {"Return in a box over the window", "16777343:" + std::to_string(tsv_free_port()), "Boxed", "Return", 0},
        {"SIGTERM with a box open", "16777343:" + std::to_string(tsv_free_port()), "Boxed", nullptr, 0},
        // A malformed address: the box comes before any window.
        {"Escape in a box before the window", "127.0.0.1:" + std::to_string(port), "Boxed", "Escape", 255},
        {"SIGTERM on the name screen", "16777343:" + std::to_string(port), "Zarar", nullptr, 0},
    };
    // The box's window (xdotool does not match its UTF-8 title).
    auto box_shown = [&] {
        return txv_run(x, {"xwininfo", "-root", "-children"}, path("windows.txt")).find("\"ERROR\"") !=
               std::string::npos;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        make_client(c.player);
        const size_t from = srv.output.size();
        client = tpr_spawn({path("client"), "\"bkm://" + c.address + "\""},
                           {"BKM_PLATFORM=sdl", "DISPLAY=" + x.display, "SDL_AUDIODRIVER=dummy", "BKM_MESSAGEBOX=",
                            "BKM_INPUT_SCRIPT=", "BKM_PLATFORM_LOG=" + path("log.txt")},
                           path("out.txt"));
        const bool in_game = std::string(c.player) == "Zarar";
        if (in_game) {
            ASSERT_FALSE(window().empty()) << log();
            ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_PLAYER_CONNECTED, 0, "127.0.0.1"), E2E_WAIT_MS, from));
        } else {
            ASSERT_TRUE(tpr_wait_until(box_shown, E2E_WAIT_MS)) << log();
        }
        if (c.key) xdo({"key", c.key});
        else kill(client, SIGTERM);
        EXPECT_EQ(wait_client(5000), c.exit_code) << log();
        EXPECT_FALSE(box_shown()) << "the box stayed";
        if (in_game) {
            EXPECT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_ID_LEFT, 0), E2E_WAIT_MS, from)) << srv.output.substr(from);
        }
    }
}

} // namespace
