// The real client program in an SDL2 window on a virtual display (Xvfb),
// driven with xdotool as a person drives it, against the real server; a
// spectator (a scripted client) watches what the player does. Every wait is
// bounded and polls for progress; the program, the server and Xvfb are
// stopped on every way out.
#pragma once
#include <cmath>

#include "common/byteio.h"
#include "common/player.h"
#include "platform/plat_png.h"
#include "program_fixture.h"
#include "support/test_client.h"

namespace program_test {

class ClientWindow : public ClientProgram {
protected:
    TestXvfb x;
    std::string wid;    // the game window, once shown
    Shot s;             // the last screenshot
    TestClient watcher; // a spectator once joined (see join_watcher)
    TestClient mate;    // a team-mate, for what only his team receives
    int id = -1;        // the player's slot as the watcher knows it
    size_t mark = 0;    // the watcher's messages before this one are old

    void SetUp() override
    {
        if (!tpr_on_path("Xvfb") || !tpr_on_path("xdotool")) GTEST_SKIP() << "Xvfb or xdotool missing";
        ASSERT_TRUE(txv_start(&x, "1024x768x24")) << "no free display for Xvfb";
    }
    void TearDown() override
    {
        if (client > 0) tpr_wait(client, 1);
        if (watcher.host) tcl_abort(&watcher);
        if (mate.host) tcl_abort(&mate);
        txv_stop(&x);
        ClientProgram::TearDown();
    }
    std::string xdo(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv = {"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        return txv_run(x, argv, path("xdotool.txt"));
    }
    // The game window's id once it is shown.
    std::string window()
    {
        std::string id;
        tpr_wait_until(
            [&] {
                id = xdo({"search", "--onlyvisible", "--name", "Brickmire"});
                return !id.empty();
            },
            20000);
        return id.substr(0, id.find('\n'));
    }
    // A screenshot of the window's client area from the display, kept as
    // `name`.png in the client's folder.
    bool screen(Shot *s, const std::string &wid, const std::string &name = "screen")
    {
        const std::string geometry = xdo({"getwindowgeometry", wid});
        int wx, wy;
        const size_t at = geometry.find("Position: ");
        if (at == std::string::npos || std::sscanf(geometry.c_str() + at, "Position: %d,%d", &wx, &wy) != 2) return false;
        std::vector<uint32_t> px;
        int32_t sw, sh;
        if (!txv_screenshot(x, path("screen.xwd"), &px, &sw, &sh) || wx < 0 || wy < 0 || wx + W > sw || wy + H > sh)
            return false;
        s->px.resize((size_t)W * H);
        for (int32_t y = 0; y < H; y++)
            for (int32_t i = 0; i < W; i++) s->px[(size_t)y * W + i] = px[(size_t)(wy + y) * sw + wx + i];
        png_write_file(path(name + ".png").c_str(), (const uint8_t *)s->px.data(), W * 4, W, H);
        return true;
    }

    // Starts the program in its window on the display, with a stub xdg-open
    // first on the PATH that notes what it was asked to open.
    void run_window_client()
    {
        fs::create_directories(path("bin"));
        std::ofstream(path("bin/xdg-open")) << "#!/bin/sh\necho \"$@\" >> \"" << path("opened.txt") << "\"\n";
        fs::permissions(path("bin/xdg-open"), fs::perms::owner_all);
        run_client("", {"BKM_PLATFORM=sdl", "DISPLAY=" + x.display, "SDL_AUDIODRIVER=dummy",
                        "PATH=" + path("bin") + ":" + std::getenv("PATH")},
                   port);
        wid = window();
    }
    // The screens as the last screenshot shows them.
    bool name_box() const { return s.colour(200, 440, 300, 470, 0xFFFF00) > 30; }
    bool team_menu_shown() const { return s.team(0, H / 2, W / 2, H, 0) > 2000; }
    bool weapon_menu_shown() const { return s.team(0, H / 2, W / 2, H, 0) < 200 && s.colours() > 50; }
    // In game: the sky above the ground.
    bool in_game() const
    {
        const uint32_t sky = s.at(W / 2, 5);
        return s.colour(0, 0, W, 40, sky) > W * 25 && s.colour(0, H - 40, W, H, sky) < W * 10;
    }
    // The quit question, in red at a third of the height.
    bool quit_asked() const { return s.colour(0, H / 3, W, H / 3 + 30, 0xFF0000) > 100; }
    // Escape held until the question shows, then y until the program has
    // ended: with 0, having asked the stub xdg-open for the news page.
    void quit_with_yes(const std::string &shot)
    {
        EXPECT_TRUE(hold("Escape", [&] { return shows([&] { return quit_asked(); }, shot); }));
        int code = -1;
        hold("y", [&] {
            code = wait_client(30000);
            return true;
        });
        EXPECT_EQ(code, 0) << log();
        EXPECT_NE(tpr_slurp(path("opened.txt")).find("file://" + path("news.html")), std::string::npos) << log();
    }
    // From the name screen into the game as "Walker": the name typed, then
    // the team and the weapon keys, each held until its screen has gone.
    // The screenshots are kept as `prefix`_name, _team, _weapon and _game.
    void join_through_menus(const char *team_key, const char *weapon_key, const std::string &prefix)
    {
        xdo({"windowfocus", "--sync", wid});
        ASSERT_TRUE(shows([&] { return name_box(); }, prefix + "_name")) << log();
        expect_name_screen(s);
        xdo({"type", "--delay", "120", "Walker"});
        xdo({"key", "Return"});
        ASSERT_TRUE(shows([&] { return team_menu_shown(); }, prefix + "_team")) << log();
        expect_team_menu(s);
        ASSERT_TRUE(hold(team_key, [&] { return shows([&] { return weapon_menu_shown(); }, prefix + "_weapon"); }))
            << log();
        EXPECT_GT(s.colour(0, (int32_t)(0.9f * H), W, (int32_t)(0.9f * H) + 14, 0xFF0000), 30); // "Press 1".."3"
        ASSERT_TRUE(hold(weapon_key, [&] { return shows([&] { return in_game(); }, prefix + "_game"); })) << log();
    }
    // The spectator joins and finds the player called `name`.
    bool join_watcher(const std::string &name)
    {
        if (!connect_and_download(&watcher) || !tcl_join(&watcher, TEAM_SPECTATOR, WEAPON_SEMI, "Watcher")) return false;
        for (const std::vector<uint8_t> &m : watcher.messages)
            if (m.size() > 12 && m[0] == MSG_PLAYER_INFO && tcl_name_at(m, 12) == name) id = m[1];
        return id >= 0;
    }

    void watch()
    {
        if (watcher.host) tcl_poll(&watcher);
        if (mate.host) tcl_poll(&mate);
    }
    // A message that begins with `head` among those the watcher received
    // since the mark (set before each action).
    bool seen(std::vector<uint8_t> head)
    {
        for (size_t i = mark; i < watcher.messages.size(); i++) {
            const std::vector<uint8_t> &m = watcher.messages[i];
            if (m.size() >= head.size() && std::equal(head.begin(), head.end(), m.begin())) return true;
        }
        return false;
    }
    // The watcher's messages of one kind since the mark.
    std::vector<std::vector<uint8_t>> since_mark(int msg_id)
    {
        std::vector<std::vector<uint8_t>> out;
        for (size_t i = mark; i < watcher.messages.size(); i++)
            if (!watcher.messages[i].empty() && watcher.messages[i][0] == msg_id) out.push_back(watcher.messages[i]);
        return out;
    }
    // Polls the watcher and the window until pred holds for a screenshot
    // (kept as `name`.png).
    bool shows(const std::function<bool()> &pred, const std::string &name, int ms = 30000)
    {
        return tpr_wait_until(
            [&] {
                watch();
                return screen(&s, wid, name) && pred();
            },
            ms);
    }
    bool watched(const std::function<bool()> &pred, int ms = 30000)
    {
        return tpr_wait_until(
            [&] {
                watch();
                return pred();
            },
            ms);
    }
    // A key pressed for 150 ms, as a person taps it: for keys that act
    // again while held.
    void tap(const char *key) { xdo({"keydown", key, "sleep", "0.15", "keyup", key}); }
    // A key (or button) held down until `done`, then let go.
    bool hold(const char *key, const std::function<bool()> &done)
    {
        xdo({"keydown", key});
        const bool ok = done();
        xdo({"keyup", key});
        return ok;
    }
    bool press_button(const char *button, const std::function<bool()> &done)
    {
        xdo({"mousedown", button});
        const bool ok = done();
        xdo({"mouseup", button});
        return ok;
    }
    // Where the watcher last saw him, from the world updates (24 bytes a slot).
    bool seen_at(Vec3 *at)
    {
        for (auto m = watcher.messages.rbegin(); m != watcher.messages.rend(); ++m)
            if ((*m)[0] == MSG_WORLD_UPDATE && m->size() >= 1 + 24 * (size_t)(id + 1)) {
                const uint8_t *p = m->data() + 1 + 24 * id;
                *at = Vec3{le_get_f32(p), le_get_f32(p + 4), le_get_f32(p + 8)};
                return true;
            }
        return false;
    }
};

} // namespace program_test
