// Every control of the default key table, one at a time, on the real client
// in its SDL2 window under Xvfb against the real server, pressed through
// xdotool as a person presses them; and each gun fired, reloaded, fired again
// and aimed after a reload and after a respawn. Each effect is checked from
// outside: what a spectator (and a team-mate) receives from the server, or
// the HUD in a screenshot of the window.
#include <chrono>

#include "palette_table.h"
#include "window_fixture.h"

using namespace program_test;

namespace {

class ControlsWalk : public ClientWindow {
protected:
    // The end of the program's log, for a failure.
    std::string recent() const
    {
        const std::string l = log();
        return l.size() > 1500 ? l.substr(l.size() - 1500) : l;
    }
    // The tool's count at the bottom right (magazine and reserve, blocks,
    // grenades): its yellow pixels, or red ones for an empty magazine.
    std::vector<bool> count_mask() const
    {
        std::vector<bool> m;
        for (int32_t y = H - 40; y < H; y++)
            for (int32_t i = W - 200; i < W - 40; i++) m.push_back(s.at(i, y) == 0xFFFF00 || s.at(i, y) == 0xFF0000);
        return m;
    }
    static int drawn(const std::vector<bool> &m) { return (int)std::count(m.begin(), m.end(), true); }
    // The count once two screenshots in a row show the same one that is not
    // `other`: a count that has stopped changing.
    std::vector<bool> settled_count(const std::vector<bool> &other, const std::string &name, int ms = 30000)
    {
        std::vector<bool> last;
        const bool ok = shows(
            [&] {
                std::vector<bool> m = count_mask();
                const bool same = m == last && drawn(m) > 30 && m != other;
                last = m;
                return same;
            },
            name, ms);
        return ok ? last : std::vector<bool>();
    }

    // Fire keys of his since the mark with (keys & bits) == want.
    bool fire_keys(uint32_t bits, uint32_t want)
    {
        for (const std::vector<uint8_t> &m : since_mark(MSG_FIRE_KEYS)) {
            FireKeysMsg f;
            if (msg_decode_fire_keys(m.data(), m.size(), &f) == MSG_OK && f.player == id && (f.keys & bits) == want)
                return true;
        }
        return false;
    }
    bool move_key(int key, bool down)
    {
        for (const std::vector<uint8_t> &m : since_mark(MSG_MOVE_KEYS)) {
            MoveKeysMsg k;
            if (msg_decode_move_keys(m.data(), m.size(), &k) == MSG_OK && k.player == id &&
                ((k.keys >> key) & 1u) == (down ? 1u : 0u))
                return true;
        }
        return false;
    }
    bool tool(int t) { return seen({MSG_TOOL, (uint8_t)id, (uint8_t)t}); }
    bool block_action(int kind) { return seen({MSG_BLOCK_ACTION, (uint8_t)id, (uint8_t)kind}); }
    // His block colours since the mark, in order.
    std::vector<uint32_t> colours()
    {
        std::vector<uint32_t> out;
        for (const std::vector<uint8_t> &m : since_mark(MSG_BLOCK_COLOUR)) {
            ColourMsg c;
            if (msg_decode_colour(m.data(), m.size(), &c) == MSG_OK && c.player == id) out.push_back(c.colour);
        }
        return out;
    }
    bool spawned_as(int team, int weapon)
    {
        for (const std::vector<uint8_t> &m : since_mark(MSG_PLAYER_SPAWN)) {
            PlayerSpawnMsg p;
            if (msg_decode_player_spawn(m.data(), m.size(), &p) == MSG_OK && p.player == id && p.team == team &&
                p.weapon == weapon)
                return true;
        }
        return false;
    }
    // A key tapped until `done` holds (for the screenshot `name` when
    // given): a tap a slow frame missed is made again after 10 s.
    bool tap_until(const char *key, const std::function<bool()> &done, const std::string &name = "")
    {
        for (int attempt = 0; attempt < 3; attempt++) {
            tap(key);
            if (name.empty() ? watched(done, 10000) : shows(done, name, 10000)) return true;
        }
        return false;
    }
    bool killed(int kill_type)
    {
        for (const std::vector<uint8_t> &m : since_mark(MSG_KILL)) {
            KillMsg k;
            if (msg_decode_kill(m.data(), m.size(), &k) == MSG_OK && k.victim == id && k.kill_type == kill_type)
                return true;
        }
        return false;
    }
    static bool chat(const TestClient &c, int from, int type, const std::string &text)
    {
        for (const std::vector<uint8_t> &m : c.messages) {
            ChatMsg k;
            if (!m.empty() && m[0] == MSG_CHAT && msg_decode_chat(m.data(), m.size(), &k) == MSG_OK &&
                k.player == from && k.chat_type == type && text == k.text)
                return true;
        }
        return false;
    }
    // Where the watcher saw him in the world updates since the mark.
    std::vector<Vec3> track()
    {
        std::vector<Vec3> out;
        for (const std::vector<uint8_t> &m : since_mark(MSG_WORLD_UPDATE))
            if (m.size() >= 1 + 24 * (size_t)(id + 1)) {
                const uint8_t *p = m.data() + 1 + 24 * id;
                out.push_back(Vec3{le_get_f32(p), le_get_f32(p + 4), le_get_f32(p + 8)});
            }
        return out;
    }
    // His facing in the last world update.
    Vec3 facing()
    {
        for (auto m = watcher.messages.rbegin(); m != watcher.messages.rend(); ++m)
            if ((*m)[0] == MSG_WORLD_UPDATE && m->size() >= 1 + 24 * (size_t)(id + 1)) {
                const uint8_t *p = m->data() + 1 + 24 * id + 12;
                return Vec3{le_get_f32(p), le_get_f32(p + 4), le_get_f32(p + 8)};
            }
        return Vec3{0, 0, 0};
    }

    // The mouse moved up or down a little at a time until the facing the
    // server relays has the height `z` (down is +z: 1 straight down).
    bool look_to(float z)
    {
        for (int i = 0; i < 100; i++) {
            const float now = facing().z;
            if (std::fabs(now - z) < 0.08f) return true;
            xdo({"mousemove_relative", "--", "0", now < z ? "15" : "-15"});
            watched([&] { return facing().z != now; }, 2000);
        }
        return false;
    }

    // A click of the right button that turns aiming on or off, after a
    // pause as between a person's two clicks (a release and a press within
    // one frame are no new press). A click the program has not seen after
    // seconds is made again.
    bool toggle_aim(bool on)
    {
        const uint32_t want = on ? FIRE_SECONDARY : 0;
        for (int attempt = 0; attempt < 3; attempt++) {
            mark = watcher.messages.size();
            xdo({"sleep", "0.3", "mousedown", "3"});
            const bool ok = watched([&] { return fire_keys(FIRE_SECONDARY, want); }, 8000);
            xdo({"mouseup", "3"});
            if (ok) return true;
        }
        return false;
    }

    // The gun in hand (just after a spawn or a reload): rounds of a shot, R
    // held until the magazine is full again, another shot, then the right
    // button aims and aims off again. The shot after the reload is the one
    // that matters: it must come within seconds of the full magazine.
    void gun_rounds(const char *gun, int rounds)
    {
        std::vector<bool> before = settled_count({}, std::string("g_") + gun + "_ready");
        ASSERT_GT(drawn(before), 30) << gun << "\n" << recent();
        for (int r = 0; r < rounds; r++) {
            SCOPED_TRACE(std::string(gun) + " round " + std::to_string(r));
            mark = watcher.messages.size();
            ASSERT_TRUE(press_button("1", [&] { return watched([&] { return fire_keys(FIRE_PRIMARY, FIRE_PRIMARY); }); }))
                << recent();
            EXPECT_TRUE(watched([&] { return fire_keys(FIRE_PRIMARY, 0); }));
            const std::vector<bool> shot = settled_count(before, std::string("g_") + gun + "_shot");
            ASSERT_FALSE(shot.empty()) << "the magazine shows no shot";
            // R held until the count changes again: the magazine refilled.
            std::vector<bool> full;
            ASSERT_TRUE(hold("r", [&] { return !(full = settled_count(shot, std::string("g_") + gun + "_full")).empty(); }))
                << "the reload never ends\n" << recent();
            before = full;
            mark = watcher.messages.size();
            ASSERT_TRUE(press_button(
                "1", [&] { return watched([&] { return fire_keys(FIRE_PRIMARY, FIRE_PRIMARY); }, 15000); }))
                << "no shot after the reload\n" << recent();
            EXPECT_TRUE(watched([&] { return fire_keys(FIRE_PRIMARY, 0); }));
            before = settled_count(full, std::string("g_") + gun + "_again");
            ASSERT_FALSE(before.empty()) << "the magazine shows no second shot";
            // Aiming is a toggle: one press aims, the next one stops.
            ASSERT_TRUE(toggle_aim(true)) << "no aim after the reload\n" << recent();
            EXPECT_TRUE(toggle_aim(false)) << recent();
        }
    }
};

TEST_F(ControlsWalk, EveryControlOnceAndEachGunAfterAReloadAndARespawn)
{
    serve();
    make_client("Zarar", 1); // the default name: the name screen asks
    const size_t from = srv.output.size();
    run_window_client();
    ASSERT_FALSE(wid.empty()) << recent();
    // Name, team 1 (the first), the shotgun.
    ASSERT_NO_FATAL_FAILURE(join_through_menus("1", "3", "c"));
    // The spectator sees him on team 0 with the shotgun; a team-mate joins.
    ASSERT_TRUE(join_watcher("Walker"));
    const uint8_t me = (uint8_t)id;
    std::vector<uint8_t> info;
    for (const std::vector<uint8_t> &m : watcher.messages)
        if (m.size() > 12 && m[0] == MSG_PLAYER_INFO && m[1] == me) info = m;
    ASSERT_FALSE(info.empty());
    PlayerInfoMsg pi;
    ASSERT_EQ(msg_decode_player_info(info.data(), info.size(), &pi), MSG_OK);
    EXPECT_EQ(pi.team, TEAM_BLUE);
    EXPECT_EQ(pi.weapon, WEAPON_SHOTGUN);
    ASSERT_TRUE(connect_and_download(&mate));
    ASSERT_TRUE(tcl_join(&mate, TEAM_BLUE, WEAPON_SEMI, "Mate"));

    // The shotgun, as first spawned.
    gun_rounds("shotgun", 1);
    if (HasFatalFailure()) return;

    // Period: the weapon menu; 1 takes the rifle, which kills him until the
    // next wave (every 30 s of the server's clock). The steps up to the
    // team change work dead or alive, whichever this wave leaves him.
    mark = watcher.messages.size();
    const size_t changed = mark;
    // The weapon menu over the game: its red "Press 2" and "Press 3" in the
    // middle and at the right (the chat feed's red lines stay at the left).
    const int32_t keys = (int32_t)(0.9f * H);
    const auto weapon_menu = [&] {
        return s.colour(W / 2 - 40, keys, W / 2 + 40, keys + 14, 0xFF0000) > 10 &&
               s.colour(W - 100, keys, W - 20, keys + 14, 0xFF0000) > 10;
    };
    ASSERT_TRUE(hold("period", [&] { return shows(weapon_menu, "c_weapon_menu"); })) << recent();
    ASSERT_TRUE(hold("1", [&] { return watched([&] { return killed(KILL_WEAPON_CHANGE); }); })) << recent();

    // Chat to all (T) and to the team (Y), seen by the spectator and by the
    // team-mate only.
    const auto chat_open = [&] { return s.colour(12, H - 110, 200, H - 92, 0xFFFFFF) > 10; };
    ASSERT_TRUE(tap_until("t", chat_open, "c_chat_all")) << recent();
    xdo({"type", "--delay", "80", "hello all"});
    EXPECT_TRUE(tap_until("Return", [&] { return chat(watcher, me, CHAT_ALL, "hello all"); })) << recent();
    EXPECT_TRUE(shows([&] { return !chat_open(); }, "c_chat_closed"));
    ASSERT_TRUE(tap_until("y", chat_open, "c_chat_team")) << recent();
    xdo({"type", "--delay", "80", "hello team"});
    EXPECT_TRUE(tap_until("Return", [&] { return chat(mate, me, CHAT_TEAM, "hello team"); })) << recent();
    EXPECT_FALSE(chat(watcher, me, CHAT_TEAM, "hello team")); // a spectator is not on his team

    // The scoreboard while Tab is held: the rows of his team, white, under
    // its score.
    const int32_t rows = (int32_t)(0.01f * H + 108) + (int32_t)(0.1f * H);
    EXPECT_TRUE(hold("Tab", [&] {
        return shows([&] { return s.colour((int32_t)(0.09f * W), rows, W / 2, rows + 30, 0xFFFFFF) > 20; }, "c_score");
    }));

    // M: the whole map, 512 pixels square in the middle with its sector
    // grid every 64 cells; M again: the minimap.
    const auto grid = [&] { return s.colour(W / 2 - 256, H / 2 - 256, W / 2 + 256, H / 2 + 256, 0xCCCCCC); };
    EXPECT_TRUE(hold("m", [&] { return shows([&] { return grid() > 4000; }, "c_map"); })) << grid();
    EXPECT_TRUE(hold("m", [&] { return shows([&] { return grid() < 1000; }, "c_minimap"); })) << grid();

    // Escape asks in red at a third of the height; n answers no.
    const auto asked = [&] { return quit_asked(); };
    EXPECT_TRUE(hold("Escape", [&] { return shows(asked, "c_quit"); }));
    EXPECT_TRUE(hold("n", [&] { return shows([&] { return !asked(); }, "c_quit_no"); }));

    // Comma: the team menu; 2 takes the other team.
    const auto team_menu = [&] { return s.team(W / 2, H / 2, W, H, 1) > 2000; };
    ASSERT_TRUE(hold("comma", [&] { return shows(team_menu, "c_team_menu"); })) << recent();
    EXPECT_TRUE(tap_until("2", [&] { return !team_menu(); }, "c_team_chosen"));

    // A wave later: team 1 with the rifle.
    mark = changed;
    ASSERT_TRUE(watched([&] { return spawned_as(TEAM_GREEN, WEAPON_SEMI); }, 70000)) << recent();
    gun_rounds("rifle", 2);
    if (HasFatalFailure()) return;

    // Walking: each key held until the spectator sees it, then let go.
    // W and S move him along his facing, A and D across it.
    struct Move {
        const char *key;
        int bit;
        float along, across; // the least distance moved, when not 0
    };
    const Move moves[] = {{"w", KEY_FORWARD, 1.0f, 0.0f},   {"s", KEY_BACKWARD, -1.0f, 0.0f},
                          {"a", KEY_LEFT, 0.0f, 1.0f},      {"d", KEY_RIGHT, 0.0f, -1.0f},
                          {"space", KEY_JUMP, 0.0f, 0.0f},  {"Control_L", KEY_CROUCH, 0.0f, 0.0f},
                          {"Shift_L", KEY_SNEAK, 0.0f, 0.0f}, {"v", KEY_SPRINT, 0.0f, 0.0f}};
    float sideways[2] = {0.0f, 0.0f}; // where A and D took him across his facing
    for (const Move &mv : moves) {
        SCOPED_TRACE(mv.key);
        // From rest: the last move's glide over.
        Vec3 start{0, 0, 0};
        ASSERT_TRUE(watched([&] {
            Vec3 now;
            if (!seen_at(&now) || now.x == 0.0f) return false; // in game, not just spawned
            const bool still = std::fabs(now.x - start.x) + std::fabs(now.y - start.y) + std::fabs(now.z - start.z) < 0.01f;
            start = now;
            return still;
        }));
        const Vec3 f = facing();
        const float fl = std::sqrt(f.x * f.x + f.y * f.y);
        ASSERT_GT(fl, 0.1f);
        const auto along = [&](const Vec3 &p) { return ((p.x - start.x) * f.x + (p.y - start.y) * f.y) / fl; };
        const auto across = [&](const Vec3 &p) { return ((p.x - start.x) * -f.y + (p.y - start.y) * f.x) / fl; };
        // Up is toward z 0: a jump lifts him, crouching lowers him by 0.9.
        const auto reached = [&](float dz) {
            return watched([&] {
                for (const Vec3 &p : track())
                    if (dz < 0.0f ? p.z < start.z + dz : p.z > start.z + dz) return true;
                return false;
            });
        };
        mark = watcher.messages.size();
        EXPECT_TRUE(hold(mv.key, [&] {
            if (!watched([&] { return move_key(mv.bit, true); })) return false;
            // Held until a world update shows him low: a busy machine may
            // deliver the key's down and up within one update.
            if (mv.bit == KEY_CROUCH) return reached(0.5f);
            Vec3 at;
            if (mv.along != 0.0f) return watched([&] { return seen_at(&at) && along(at) * mv.along > 1.0f; });
            if (mv.across == 0.0f) return true;
            // The way he goes once going, past the server's taking of the
            // client's position at the end of the last move.
            Vec3 from;
            if (!watched([&] { return seen_at(&from) && std::fabs(across(from)) >= 1.0f; })) return false;
            if (!watched([&] { return seen_at(&at) && std::fabs(across(at) - across(from)) >= 2.0f; })) return false;
            sideways[mv.across > 0.0f ? 0 : 1] = across(at) - across(from);
            EXPECT_LT(std::fabs(along(at) - along(from)), 0.5f) << "not sideways";
            return true;
        })) << recent();
        if (mv.bit == KEY_JUMP) {
            EXPECT_TRUE(reached(-0.3f));
        } else {
            EXPECT_TRUE(watched([&] { return move_key(mv.bit, false); }));
        }
    }
    EXPECT_LT(sideways[0] * sideways[1], 0.0f) << "A and D go the same way";

    // The mouse turns the view down to the ground a step before him.
    ASSERT_TRUE(look_to(0.8f)) << facing().z;
    // 2: blocks. E takes the colour of the ground aimed at (the map's).
    mark = watcher.messages.size();
    ASSERT_TRUE(hold("2", [&] { return watched([&] { return tool(TOOL_BLOCK); }); })) << recent();
    mark = watcher.messages.size();
    EXPECT_TRUE(tap_until("e", [&] { return !colours().empty(); })) << recent();
    if (!colours().empty()) {
        EXPECT_EQ(colours()[0], 0x336699u) << std::hex << colours()[0];
    }
    // The colour keys walk the palette: from a sampled colour each of them
    // goes back to the start colour (index 3); then right, down, left, up,
    // one step a tap, wrapping inside a row and from the top row to the
    // bottom one. A key held past 0.2 s steps again; colours that follow
    // each other within one switch are announced as the last of them.
    const auto step = [](const std::string &key, int i) {
        if (i < 0) return 3;
        if (key == "Right") return i - i % 8 + (i + 1) % 8;
        if (key == "Left") return i - i % 8 + (i + 7) % 8;
        return key == "Up" ? (i + 56) % 64 : (i + 8) % 64;
    };
    int index = -1;
    for (const char *key : {"Right", "Right", "Down", "Left", "Up", "Up"}) {
        SCOPED_TRACE(key);
        mark = watcher.messages.size();
        ASSERT_TRUE(tap_until(key, [&] { return !colours().empty(); })) << recent();
        // Until no colour has come for a second.
        size_t count = 0;
        auto last = std::chrono::steady_clock::now();
        watched([&] {
            if (colours().size() != count) count = colours().size(), last = std::chrono::steady_clock::now();
            return std::chrono::steady_clock::now() - last > std::chrono::seconds(1);
        });
        for (uint32_t c : colours()) {
            const int from = index;
            int steps = 1;
            for (index = step(key, index); ctest_palette[index] != c && steps < 8; steps++) index = step(key, index);
            ASSERT_EQ(c, ctest_palette[index]) << std::hex << c << " is not reached by " << key << " from index " << from;
        }
    }
    // The left button builds a block.
    mark = watcher.messages.size();
    EXPECT_TRUE(press_button("1", [&] { return watched([&] { return block_action(BLOCK_BUILD); }); })) << recent();
    // The right button held while the view turns: a line of blocks. Nothing
    // shows outside before the button is let go, so a drag the program
    // missed on a slow frame is tried again.
    for (int attempt = 0; attempt < 3; attempt++) {
        mark = watcher.messages.size();
        xdo({"mousedown", "3"});
        screen(&s, wid, "c_line_start");
        for (int i = 0; i < 4; i++) xdo({"mousemove_relative", "--", "25", "0"});
        screen(&s, wid, "c_line_end");
        xdo({"mouseup", "3"});
        if (watched([&] { return seen({MSG_BLOCK_LINE, me}); }, 10000)) break;
    }
    EXPECT_TRUE(seen({MSG_BLOCK_LINE, me})) << recent();
    // 1: the spade. Its left button breaks the block aimed at, the right one
    // digs.
    mark = watcher.messages.size();
    ASSERT_TRUE(hold("1", [&] { return watched([&] { return tool(TOOL_SPADE); }); })) << recent();
    EXPECT_TRUE(press_button("1", [&] { return watched([&] { return block_action(BLOCK_DESTROY); }); })) << recent();
    EXPECT_TRUE(press_button("3", [&] { return watched([&] { return block_action(BLOCK_DIG); }); })) << recent();
    screen(&s, wid, "c_dug");

    // 3 and 4: the gun and the grenades; the wheel steps down from the
    // grenades to the gun and up again; Q goes back to the tool held before,
    // and again.
    const struct {
        const char *how;
        int tool;
    } switches[] = {{"3", TOOL_GUN}, {"4", TOOL_GRENADE}, {"wheel down", TOOL_GUN},
                    {"wheel up", TOOL_GRENADE}, {"q", TOOL_GUN}, {"q", TOOL_GRENADE}};
    for (const auto &sw : switches) {
        SCOPED_TRACE(sw.how);
        mark = watcher.messages.size();
        const std::string how = sw.how;
        if (how == "wheel down" || how == "wheel up")
            xdo({"click", how == "wheel up" ? "4" : "5"});
        else if (how == "q")
            tap_until("q", [&] { return tool(sw.tool); });
        else
            hold(sw.how, [&] { return watched([&] { return tool(sw.tool); }); });
        ASSERT_TRUE(watched([&] { return tool(sw.tool); })) << recent();
    }
    // A grenade: the left button pulls the pin, letting go throws it, up and
    // away.
    EXPECT_TRUE(look_to(-0.5f)) << facing().z;
    mark = watcher.messages.size();
    EXPECT_TRUE(press_button("1", [&] { return watched([&] { return fire_keys(FIRE_PRIMARY, FIRE_PRIMARY); }); }));
    EXPECT_TRUE(watched([&] { return seen({MSG_GRENADE, me}); })) << recent();

    // Period again, 2: the submachine gun after the next wave.
    mark = watcher.messages.size();
    ASSERT_TRUE(hold("period", [&] { return shows(weapon_menu, "c_weapon_menu2"); })) << recent();
    EXPECT_TRUE(tap_until("2", [&] { return !weapon_menu(); }, "c_weapon_chosen"));
    ASSERT_TRUE(watched([&] { return spawned_as(TEAM_GREEN, WEAPON_SMG); }, 45000)) << recent();
    gun_rounds("smg", 1);
    if (HasFatalFailure()) return;

    // Escape, and y: the program ends and opens the news page.
    quit_with_yes("c_quit_end");
    EXPECT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_PLAYER_LEFT, "Walker"), E2E_WAIT_MS, from));
}

} // namespace
