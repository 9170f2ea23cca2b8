// The input pass as a player drives it through the platform layer: the chat
// line, the position and facing rates, the menus and the join, the quit
// question, the fixed keys, tool selection, the fire and move keys, reload
// and the block colour; each checked by the exact bytes a stand-in server
// receives.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_input.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/player_update.h"
#include "client_fixture.h"
#include "common/feed.h"
#include "common/lang_ids.h"
#include "common/map_edit.h"
#include "common/player.h"
#include "common/timer.h"
#include "common/weapon.h"
#include "play_fixture.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_log.h"
#include "platform/plat_test.h"

namespace {

struct Input : PlayTest {};
const int ME = PlayTest::ME;

TEST_F(Input, ChatLine)
{
    std::string eighty_five(85, 'a'), seventy_nine(79, 'a');
    struct Case {
        const char *name;
        std::string typed;
        std::vector<Bytes> expected; // MSG_CHAT and MSG_FOG_COLOUR packets
    } cases[] = {
        {"fog command", "/fog 10 20 30\n", {msg({27, ME, 30, 20, 10})}},
        {"other command is chat", "/help\n", {msg({17, ME, 0}, "/help", true)}},
        {"team chat", "yhi all\n", {msg({17, ME, 1}, "hi all", true)}},
        {"all chat", "Tgg\n", {msg({17, ME, 0}, "gg", true)}},
        {"empty line only closes", "t\n", {}},
        {"80th character ignored", "t" + eighty_five + "\n", {msg({17, ME, 0}, seventy_nine, true)}},
        {"backspace", "t\b\bab\bc\n", {msg({17, ME, 0}, "ac", true)}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        int from = plat_log_count();
        pf_type(c.typed);
        std::vector<Bytes> got = ctest_standin_take(&tap), chat = ctest_only(got, 17), fog = ctest_only(got, 27);
        chat.insert(chat.end(), fog.begin(), fog.end());
        EXPECT_EQ(chat, c.expected);
        EXPECT_EQ(local_controls.chat_mode, CHAT_CLOSED);
        EXPECT_EQ(plat_log_find("sound wav/chat.wav -700", from) >= 0, !c.expected.empty());
    }
}

TEST_F(Input, EscapeClosesTheChatWithoutSendingOrOpeningTheQuitQuestion)
{
    pf_type("tabc");
    EXPECT_STREQ(local_controls.chat_line, "abc_");
    pf_key(DIK_ESCAPE, true);
    pf_frames(3);
    EXPECT_EQ(local_controls.chat_mode, CHAT_CLOSED);
    EXPECT_EQ(local_controls.quit_open, 0);
    EXPECT_TRUE(sent(17).empty());
}

TEST_F(Input, OpeningTheChatLetsGoOfKeysAndTrigger)
{
    pf_key(DIK_W, true);
    pf_button(0, true);
    pf_frame();
    std::vector<Bytes> got = ctest_standin_take(&tap);
    EXPECT_EQ(ctest_only(got, MSG_MOVE_KEYS), std::vector<Bytes>{msg({3, ME, 1, 0, 0, 0})});
    EXPECT_EQ(ctest_only(got, MSG_FIRE_KEYS), std::vector<Bytes>{msg({4, ME, 1, 0, 0, 0})});
    pf_type("t");
    got = ctest_standin_take(&tap);
    EXPECT_EQ(ctest_only(got, MSG_MOVE_KEYS), std::vector<Bytes>{msg({3, ME, 0, 0, 0, 0})});
    EXPECT_EQ(ctest_only(got, MSG_FIRE_KEYS), std::vector<Bytes>{msg({4, ME, 0, 0, 0, 0})});
    // Held keys stay released while the line is open.
    pf_frames(5);
    EXPECT_EQ(me->keys[KEY_FORWARD], 0);
    EXPECT_TRUE(sent(MSG_MOVE_KEYS).empty());
}

TEST_F(Input, PositionAtMostOnceASecondAndFacingEveryTenth)
{
    Vec3 start = me->position;
    pf_frames(61); // a second after the settling steps were sent
    ctest_standin_take(&tap);
    me->position = Vec3{start.x + 0.02f, start.y + 0.02f, start.z - 0.02f};
    pf_frame();
    EXPECT_TRUE(sent(MSG_POSITION).empty());
    me->position.x = start.x + 0.04f;
    pf_frame();
    EXPECT_EQ(local_controls.last_sent_position.x, start.x + 0.04f);
    Bytes expected = {0};
    put_vec(&expected, local_controls.last_sent_position); // sent before this frame's step
    EXPECT_EQ(sent(MSG_POSITION), std::vector<Bytes>{expected});
    me->position.x += 0.5f;
    pf_frames(55); // 0.92 s
    EXPECT_TRUE(sent(MSG_POSITION).empty());
    pf_frames(7);
    EXPECT_EQ(sent(MSG_POSITION).size(), 1u);

    // Turning all the time: a facing every 0.1 s.
    int frames = 0;
    std::vector<Bytes> facing;
    for (; frames < 60; frames++) {
        pf_mouse(20, 0);
        pf_frame();
    }
    facing = sent(MSG_ORIENT);
    EXPECT_GE(facing.size(), 8u);
    EXPECT_LE(facing.size(), 10u);
    Bytes last = {1};
    put_vec(&last, local_controls.last_sent_orientation);
    EXPECT_EQ(facing.back(), last);
}

TEST_F(Input, JoinThroughTheMenus)
{
    struct Case {
        const char *name;
        int join_mode;
        std::vector<int> keys;
        int screen_after_first; // screen after the first key
        Bytes expected;
    } cases[] = {
        {"team then weapon", JOIN_FIRST, {DIK_2, DIK_3}, SCREEN_WEAPON_MENU,
         msg({9, ME, 1, 2, 2, 0, 0, 0, 0, 127, 127, 127}, "Joiner", true)},
        {"spectator", JOIN_FIRST, {DIK_3}, SCREEN_TEAM_MENU,
         msg({9, ME, 255, 0, 2, 0, 0, 0, 0, 127, 127, 127}, "Joiner", true)},
        {"again, on a team", JOIN_SPECTATOR, {DIK_1, DIK_2}, SCREEN_WEAPON_MENU, msg({10, ME, 0, 1})},
        {"again, watching", JOIN_SPECTATOR, {DIK_3}, SCREEN_TEAM_MENU, msg({10, ME, 255, 0})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        me->present = 0;
        menu_open_team_menu(c.join_mode);
        snprintf(me->name, sizeof me->name, "Joiner");
        for (size_t i = 0; i < c.keys.size(); i++) {
            tap_key(c.keys[i]);
            if (i == 0) {
                EXPECT_EQ(client_state.screens.current, c.screen_after_first);
            }
            if (i + 1 < c.keys.size()) {
                EXPECT_TRUE(ctest_standin_take(&tap).empty());
            }
        }
        EXPECT_EQ(ctest_standin_take(&tap), std::vector<Bytes>{c.expected});
        EXPECT_EQ(local_controls.team_menu_open, 0);
        EXPECT_EQ(local_controls.weapon_menu_open, 0);
        EXPECT_EQ(local_controls.join_mode, c.join_mode); // until the server's spawn
    }
}

TEST_F(Input, InGameMenusChangeTeamAndWeaponOnlyToSomethingNew)
{
    struct Case {
        const char *name;
        int opener;
        int key;
        std::vector<Bytes> expected;
    } cases[] = {
        {"own team", DIK_COMMA, DIK_1, {}},
        {"other team", DIK_COMMA, DIK_2, {msg({29, ME, 1})}},
        {"watch", DIK_COMMA, DIK_3, {msg({29, ME, 255})}},
        {"team menu escape", DIK_COMMA, DIK_ESCAPE, {}},
        {"own weapon", DIK_PERIOD, DIK_1, {}},
        {"shotgun", DIK_PERIOD, DIK_3, {msg({30, ME, 2})}},
        {"weapon menu escape", DIK_PERIOD, DIK_ESCAPE, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        tap_key(c.opener);
        EXPECT_TRUE(local_controls.team_menu_open || local_controls.weapon_menu_open);
        tap_key(c.key);
        std::vector<Bytes> got = ctest_standin_take(&tap), changes = ctest_only(got, 29), w = ctest_only(got, 30);
        changes.insert(changes.end(), w.begin(), w.end());
        EXPECT_EQ(changes, c.expected);
        EXPECT_EQ(local_controls.team_menu_open + local_controls.weapon_menu_open, 0);
        // The menu used the key up: no tool switch, no quit question.
        EXPECT_EQ(local_controls.tool, TOOL_GUN);
        EXPECT_EQ(local_controls.quit_open, 0);
    }
}

TEST_F(Input, TheQuitQuestionOpensOnAPressAndClosesOnlyOnANewOne)
{
    pf_key(DIK_ESCAPE, true);
    pf_frame();
    EXPECT_EQ(local_controls.quit_open, 1);
    pf_frames(10); // Escape still held: the question stays
    EXPECT_EQ(local_controls.quit_open, 1);
    pf_key(DIK_ESCAPE, false);
    pf_frame();
    pf_key(DIK_ESCAPE, true);
    pf_frame(); // the new press closes it and is used up
    EXPECT_EQ(local_controls.quit_open, 0);
    pf_frames(5);
    EXPECT_EQ(local_controls.quit_open, 0);
    pf_key(DIK_ESCAPE, false);
    pf_frame();
    tap_key(DIK_ESCAPE);
    EXPECT_EQ(local_controls.quit_open, 1);
    tap_key(DIK_N);
    EXPECT_EQ(local_controls.quit_open, 0);
    // While it is open, 'y' answers and opens no team chat.
    for (int news : {0, 1}) {
        SCOPED_TRACE(news);
        client_settings.show_news = news;
        tap_key(DIK_ESCAPE);
        int from = plat_log_count();
        pf_key(DIK_Y, true);
        pf_frame();
        EXPECT_EQ(local_controls.chat_mode, CHAT_CLOSED);
        int url = plat_log_find("url ", from);
        EXPECT_EQ(url >= 0, news == 1);
        if (url >= 0) {
            std::string line = plat_log_line(url);
            EXPECT_EQ(line.rfind("url file:///", 0), 0u) << line;
            EXPECT_EQ(line.substr(line.size() - 10), "/news.html") << line;
        }
        // The quit request waits in the queue: drop it, this is no real run.
        plat_reset_input();
        plat_inject_focus(1);
        pf_key(DIK_Y, false);
        pf_frame();
        local_controls.quit_open = 0;
    }
}

TEST(NewsPage, AddressOfTheShippedPage)
{
    char out[256];
    ASSERT_EQ(game_news_url("/opt/brick mire/dist", out, sizeof out), 1);
    EXPECT_STREQ(out, "file:///opt/brick%20mire/dist/news.html");
    ASSERT_EQ(game_news_url("/a/\xC3\xA9t\xC3\xA9", out, sizeof out), 1);
    EXPECT_STREQ(out, "file:///a/%C3%A9t%C3%A9/news.html");
    EXPECT_EQ(game_news_url("/long/folder", out, 20), 0);
    EXPECT_EQ(std::strlen(out), 19u);
}

TEST_F(Input, FixedKeys)
{
    tap_key(DIK_ADD);
    EXPECT_EQ(client_settings.volume, 10);
    EXPECT_STREQ(feed_chat.lines[0].text, ctest_text(LANG_VOLUME, 10).c_str());
    tap_key(DIK_SUBTRACT);
    EXPECT_EQ(client_settings.volume, 9);
    EXPECT_STREQ(feed_chat.lines[0].text, ctest_text(LANG_VOLUME, 9).c_str());

    // Saving: announced only when the file was written.
    feed_clear(&feed_chat);
    tap_key(DIK_F1);
    EXPECT_EQ(feed_chat.lines[0].text[0], 0);
    std::filesystem::create_directory("vxl");
    tap_key(DIK_F1);
    EXPECT_STREQ(feed_chat.lines[0].text, ctest_text(LANG_MAP_SAVED).c_str());
    EXPECT_TRUE(std::filesystem::exists("vxl/lastsav.vxl"));

    tap_key(DIK_F11);
    EXPECT_EQ(local_controls.net_graph, 1);
    tap_key(DIK_M);
    EXPECT_EQ(local_controls.big_map, 1);
    tap_key(DIK_M);
    EXPECT_EQ(local_controls.big_map, 0);
    tap_key(DIK_F5);
    EXPECT_EQ(getactive(), 0);
}

TEST_F(Input, ToolSelection)
{
    enum Act { NOTHING, WHEEL_UP, WHEEL_DOWN, DIGIT, LAST };
    struct Case {
        const char *name;
        int tool, blocks, magazine, reserve, grenades;
        Act act;
        int arg;       // digit key 1..4, or the last tool
        int expected;  // tool afterwards
    } cases[] = {
        {"no blocks left", TOOL_BLOCK, 0, 10, 50, 3, NOTHING, 0, TOOL_SPADE},
        {"no ammunition left", TOOL_GUN, 5, 0, 0, 3, NOTHING, 0, TOOL_BLOCK},
        {"up from grenade", TOOL_GRENADE, 5, 10, 50, 3, WHEEL_UP, 0, TOOL_SPADE},
        {"down from spade", TOOL_SPADE, 5, 10, 50, 3, WHEEL_DOWN, 0, TOOL_GRENADE},
        {"down skips grenade", TOOL_SPADE, 5, 10, 50, 0, WHEEL_DOWN, 0, TOOL_GUN},
        {"down skips grenade and gun", TOOL_SPADE, 5, 0, 0, 0, WHEEL_DOWN, 0, TOOL_BLOCK},
        {"down to nothing else", TOOL_SPADE, 0, 0, 0, 0, WHEEL_DOWN, 0, TOOL_SPADE},
        {"up skips block", TOOL_SPADE, 0, 10, 50, 3, WHEEL_UP, 0, TOOL_GUN},
        {"up skips grenade", TOOL_GUN, 5, 10, 50, 0, WHEEL_UP, 0, TOOL_SPADE},
        {"digit of unusable tool", TOOL_GUN, 0, 10, 50, 3, DIGIT, 2, TOOL_GUN},
        {"digit 4", TOOL_GUN, 5, 10, 50, 3, DIGIT, 4, TOOL_GRENADE},
        {"digit of the tool in hand", TOOL_GUN, 5, 10, 50, 3, DIGIT, 3, TOOL_GUN},
        {"last tool", TOOL_GUN, 5, 10, 50, 3, LAST, TOOL_SPADE, TOOL_SPADE},
        {"last tool unusable", TOOL_GUN, 0, 10, 50, 3, LAST, TOOL_BLOCK, TOOL_GUN},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        local_controls.tool = c.tool;
        local_controls.last_tool = c.act == LAST ? c.arg : c.tool;
        local_controls.next_use = game_time;
        me->blocks = c.blocks;
        me->magazine = c.magazine;
        me->reserve = c.reserve;
        me->grenades = c.grenades;
        int from = plat_log_count();
        switch (c.act) {
        case NOTHING: pf_frame(); break;
        case WHEEL_UP: pf_wheel(1); pf_frame(); break;
        case WHEEL_DOWN: pf_wheel(-1); pf_frame(); break;
        case DIGIT: tap_key(DIK_1 + c.arg - 1); break;
        case LAST: tap_key(DIK_Q); break;
        }
        EXPECT_EQ(local_controls.tool, c.expected);
        // The wheel (also the one an unusable tool turns) always starts a switch.
        bool switched = c.expected != c.tool || c.act == WHEEL_UP || c.act == WHEEL_DOWN || c.act == NOTHING;
        EXPECT_EQ(plat_log_find("sound wav/switch.wav -300", from) >= 0, switched);
        if (switched) {
            EXPECT_EQ(local_controls.last_tool, c.tool);
        }
        pf_frames(40); // the switch ends
    }
}

TEST_F(Input, MoveKeys)
{
    struct Step {
        const char *name;
        int dik;
        bool down;
        int expected; // key bits sent, -1 none
    } steps[] = {
        {"forward", DIK_W, true, 0x01},     {"and left", DIK_A, true, 0x05},
        {"backward loses", DIK_S, true, -1}, {"forward up", DIK_W, false, 0x06},
        {"right loses", DIK_D, true, -1},   {"left up", DIK_A, false, 0x0A},
        {"all up", DIK_S, false, 0x08},     {"right up", DIK_D, false, 0x00},
        {"crouch", DIK_LCONTROL, true, 0x20}, {"stand", DIK_LCONTROL, false, 0x00},
        {"sneak", DIK_LSHIFT, true, 0x40},  {"sneak up", DIK_LSHIFT, false, 0x00},
        {"sprint", DIK_V, true, 0x80},      {"sprint up", DIK_V, false, 0x00},
        {"jump", DIK_SPACE, true, 0x10},    {"jump up", DIK_SPACE, false, -1},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        float z = me->position.z;
        pf_key(s.dik, s.down);
        pf_frame();
        std::vector<Bytes> got = sent(MSG_MOVE_KEYS);
        if (s.expected < 0) {
            EXPECT_TRUE(got.empty());
        } else {
            EXPECT_EQ(got, std::vector<Bytes>{msg({3, ME, (uint8_t)s.expected, 0, 0, 0})});
        }
        if (s.dik == DIK_LCONTROL) {
            EXPECT_NEAR(me->position.z - z, s.down ? 0.9f : -0.9f, 1e-4f);
        }
        // Letting go of sprint makes the tools wait half a second.
        if (s.dik == DIK_V && !s.down) {
            EXPECT_FLOAT_EQ(local_controls.next_use, game_time + 0.5f);
        }
        me->velocity = Vec3{0, 0, 0};
        pf_frames(60); // landed again
        ctest_standin_take(&tap);
    }
}

TEST_F(Input, FireKeysSightAndTheEmptyClick)
{
    click(0);
    EXPECT_EQ(sent(MSG_FIRE_KEYS), (std::vector<Bytes>{msg({4, ME, 1, 0, 0, 0}), msg({4, ME, 0, 0, 0, 0})}));
    click(1);
    EXPECT_EQ(me->secondary, 1); // the sight stays up after the click
    click(1);
    EXPECT_EQ(me->secondary, 0);
    EXPECT_EQ(sent(MSG_FIRE_KEYS), (std::vector<Bytes>{msg({4, ME, 2, 0, 0, 0}), msg({4, ME, 0, 0, 0, 0})}));

    // An empty gun clicks once per press and never fires.
    me->magazine = 0;
    int from = plat_log_count();
    pf_button(0, true);
    pf_frames(20);
    EXPECT_EQ(ctest_sounds(from), std::vector<std::string>{"sound wav/empty.wav -300"});
    EXPECT_NEAR(client_state.empty_hint_until, game_time - 19.0f / 60.0f + 0.4f, 1e-3f);
    EXPECT_TRUE(sent(MSG_FIRE_KEYS).empty());
    pf_button(0, false);
    pf_frame();
    click(0);
    EXPECT_EQ(ctest_sounds(from).size(), 2u);
}

TEST_F(Input, Reload)
{
    struct Case {
        const char *name;
        int weapon, magazine, reserve;
        bool aiming;
        bool starts;
    } cases[] = {
        {"rifle", WEAPON_SEMI, 4, 50, false, true},
        {"rifle while aiming", WEAPON_SEMI, 4, 50, true, true},
        {"shotgun shell by shell", WEAPON_SHOTGUN, 2, 48, false, true},
        {"full magazine", WEAPON_SEMI, 10, 50, false, false},
        {"no reserve", WEAPON_SMG, 3, 0, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        me->weapon = c.weapon;
        me->magazine = c.magazine;
        me->reserve = c.reserve;
        me->reload_end = 0.0f;
        me->secondary = c.aiming;
        const WeaponInfo *w = weapon_info(c.weapon);
        int from = plat_log_count();
        pf_key(DIK_R, true);
        pf_frame();
        pf_key(DIK_R, false);
        std::vector<Bytes> got = ctest_standin_take(&tap);
        if (!c.starts) {
            EXPECT_TRUE(ctest_only(got, MSG_RELOAD).empty());
            pf_frame();
            continue;
        }
        EXPECT_EQ(ctest_only(got, MSG_RELOAD), std::vector<Bytes>{msg({28, ME, 0, 0})});
        EXPECT_FLOAT_EQ(me->reload_end, game_time + w->reload_time);
        EXPECT_EQ(ctest_only(got, MSG_FIRE_KEYS).size(), c.aiming ? 1u : 0u);
        std::string sound = std::string("sound ") + w->reload_sound + " -300";
        EXPECT_EQ(plat_log_find(sound.c_str(), from) >= 0, w->whole_reload == 1);
        if (w->whole_reload) {
            EXPECT_FLOAT_EQ(local_controls.next_use, me->reload_end);
        }
        me->reload_end = 0.0f;
        local_controls.next_use = game_time;
        pf_frame();
    }
}

TEST_F(Input, BlockColourKeysSampleAndAnnounce)
{
    tap_key(DIK_2);
    pf_frames(40); // the switch ends: MSG_TOOL
    EXPECT_EQ(sent(MSG_TOOL), std::vector<Bytes>{msg({7, ME, 1})});
    struct Case {
        const char *name;
        int from, dik, expected;
    } cases[] = {
        {"up wraps", 3, DIK_UP, 59},        {"down", 3, DIK_DOWN, 11},      {"down wraps", 60, DIK_DOWN, 4},
        {"left wraps in row", 8, DIK_LEFT, 15}, {"right wraps in row", 15, DIK_RIGHT, 8},
        {"from a sampled colour", -1, DIK_LEFT, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        local_controls.palette_index = c.from;
        tap_key(c.dik);
        EXPECT_EQ(local_controls.palette_index, c.expected);
        EXPECT_EQ(local_controls.block_colour, block_palette[c.expected]);
        pf_frames(15);
        uint32_t rgb = block_palette[c.expected];
        EXPECT_EQ(sent(MSG_BLOCK_COLOUR),
                  std::vector<Bytes>{msg({8, ME, (uint8_t)rgb, (uint8_t)(rgb >> 8), (uint8_t)(rgb >> 16)})});
    }
    // Held, the key repeats every 0.2 s.
    local_controls.palette_index = 0;
    pf_key(DIK_RIGHT, true);
    pf_frames(22);
    pf_key(DIK_RIGHT, false);
    pf_frame();
    EXPECT_EQ(local_controls.palette_index, 2);

    // Sampling the ground under the feet.
    pf_face(me, Vec3{me->eye.x + 1.0f, me->eye.y, 40.5f});
    pf_frames(15);
    tap_key(DIK_E);
    EXPECT_EQ(local_controls.palette_index, -1);
    EXPECT_EQ(local_controls.block_colour, 0x446688u);
}

} // namespace
