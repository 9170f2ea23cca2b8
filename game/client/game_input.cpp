#include "client/game_input.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/net_client.h"
#include "common/feed.h"
#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/map_store.h"
#include "common/player.h"
#include "common/player_physics.h"
#include "common/protocol.h"
#include "common/sys_host.h"
#include "common/timer.h"
#include "platform/plat_display.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_main.h"
#include "platform/plat_sound.h"

#define POSITION_SEND_STEP 0.03f   // smallest move sent
#define POSITION_SEND_SECONDS 1.0f
#define ORIENT_SEND_STEP 0.005f
#define ORIENT_SEND_SECONDS 0.1f

// ---- chat line ---------------------------------------------------------------------

static size_t chat_typed() { return std::strlen(local_controls.chat_line) - 1; } // less the cursor

static void chat_send()
{
    LocalControls &c = local_controls;
    c.chat_line[chat_typed()] = 0;
    int r, g, b;
    if (c.chat_line[0] == '/' && sscanf(c.chat_line + 1, "fog %i %i %i", &r, &g, &b) == 3) {
        uint32_t colour = (uint32_t)(r & 255) << 16 | (uint32_t)(g & 255) << 8 | (uint32_t)(b & 255);
        net_send_msg(msg_write_colour, ColourMsg{MSG_FOG_COLOUR, (uint8_t)local_player_id, colour});
    } else {
        ChatMsg m;
        std::memset(&m, 0, sizeof m);
        m.player = (uint8_t)local_player_id;
        m.chat_type = c.chat_mode == CHAT_OPEN_TEAM ? CHAT_TEAM : CHAT_ALL;
        snprintf(m.text, sizeof m.text, "%s", c.chat_line);
        net_send_msg(msg_write_chat, m);
    }
    playsound("wav/chat.wav", -700);
}

static void chat_step(uint8_t typed)
{
    LocalControls &c = local_controls;
    if (game_key_down(DIK_ESCAPE)) {
        game_consume_key(DIK_ESCAPE);
        c.chat_mode = CHAT_CLOSED;
        return;
    }
    size_t n = chat_typed();
    if (typed == 8) {
        if (n > 0) std::strcpy(c.chat_line + n - 1, "_");
    } else if (typed == 13) {
        if (n > 0) chat_send();
        c.chat_mode = CHAT_CLOSED;
    } else if (typed != 0 && n < CHAT_LINE_MAX) {
        c.chat_line[n] = (char)typed;
        std::strcpy(c.chat_line + n + 1, "_");
    }
}

// 't', 'T' or '/' opens the all-chat, 'y' or 'Y' the team chat; the player
// lets go of every key and button meanwhile. Returns true when it opened.
static bool chat_open(uint8_t typed)
{
    LocalControls &c = local_controls;
    bool all = typed == 't' || typed == 'T' || typed == '/';
    if (!all && typed != 'y' && typed != 'Y') return false;
    c.chat_mode = all ? CHAT_OPEN_ALL : CHAT_OPEN_TEAM;
    std::strcpy(c.chat_line, typed == '/' ? "/_" : "_");
    PlayerRecord *p = game_local_player();
    if (!p) return true;
    int32_t *k = p->keys;
    bool moving = false;
    for (int i = 0; i < KEY_COUNT; i++) moving = moving || k[i];
    if (moving) {
        k[KEY_FORWARD] = k[KEY_BACKWARD] = k[KEY_LEFT] = k[KEY_RIGHT] = k[KEY_JUMP] = 0;
        if (k[KEY_CROUCH] && player_try_stand_up(p)) k[KEY_CROUCH] = 0;
        k[KEY_SNEAK] = k[KEY_SPRINT] = 0;
        net_send_move_keys();
    }
    if (p->primary || p->secondary) {
        p->grenade_fuse_end = 0.0f;
        p->primary = p->secondary = 0;
        net_send_fire_keys();
    }
    return true;
}

// ---- position and facing -------------------------------------------------------------

static void send_position_and_orientation()
{
    PlayerRecord *p = game_local_player();
    if (!p || !p->alive || p->team < 0) return;
    LocalControls &c = local_controls;
    const double now = game_time;
    if (player_moved_beyond(&p->position, &c.last_sent_position, POSITION_SEND_STEP) && c.next_position_send < now) {
        net_send_msg(msg_write_position, PositionMsg{p->position});
        c.last_sent_position = p->position;
        c.next_position_send = now + POSITION_SEND_SECONDS;
    }
    if (player_moved_beyond(&p->forward, &c.last_sent_orientation, ORIENT_SEND_STEP) &&
        c.next_orientation_send < now) {
        net_send_msg(msg_write_orient, OrientMsg{p->forward});
        c.last_sent_orientation = p->forward;
        c.next_orientation_send = now + ORIENT_SEND_SECONDS;
    }
}

// ---- menus, the join and the quit question ----------------------------------------------

// The first of the digit keys 1..3 that is down: 1..3, or 0.
static int menu_key()
{
    for (int n = 1; n <= 3; n++)
        if (game_key_down(DIK_1 + n - 1)) return n;
    return 0;
}

static void send_join(int weapon)
{
    LocalControls &c = local_controls;
    if (local_player_id < 0) return;
    if (c.join_mode == JOIN_FIRST) {
        PlayerInfoMsg m;
        std::memset(&m, 0, sizeof m);
        m.player = (uint8_t)local_player_id;
        m.team = c.chosen_team;
        m.weapon = (uint8_t)weapon;
        m.tool = TOOL_GUN;
        m.colour = 0x7F7F7F;
        const PlayerRecord *p = game_local_player();
        snprintf(m.name, sizeof m.name, "%s", p && p->name[0] ? p->name : client_settings.name);
        net_send_msg(msg_write_player_info, m);
    } else {
        net_send_msg(msg_write_rejoin, RejoinMsg{(uint8_t)local_player_id, c.chosen_team, (uint8_t)weapon});
    }
}

static void team_menu(const PlayerRecord *p)
{
    LocalControls &c = local_controls;
    int key = menu_key();
    if (c.join_mode != JOIN_IN_GAME) {
        if (!key) return;
        game_consume_key(DIK_1 + key - 1);
        c.team_menu_open = 0;
        c.chosen_team = key == 3 ? TEAM_SPECTATOR : key - 1;
        if (key == 3) {
            send_join(0);
        } else {
            c.weapon_menu_open = 1;
            game_set_screen(SCREEN_WEAPON_MENU);
        }
        return;
    }
    if (key) {
        int team = key == 3 ? TEAM_SPECTATOR : key - 1;
        if (!p || p->team != team)
            net_send_msg(msg_write_team_change, TeamChangeMsg{(uint8_t)local_player_id, team});
        game_consume_key(DIK_1 + key - 1);
        c.team_menu_open = 0;
    } else if (game_key_down(DIK_ESCAPE)) {
        game_consume_key(DIK_ESCAPE);
        c.team_menu_open = 0;
    }
}

static void weapon_menu(const PlayerRecord *p)
{
    LocalControls &c = local_controls;
    if (c.join_mode == JOIN_IN_GAME && game_key_down(DIK_ESCAPE)) {
        game_consume_key(DIK_ESCAPE);
        c.weapon_menu_open = 0;
        return;
    }
    int key = menu_key();
    if (!key) return;
    game_consume_key(DIK_1 + key - 1);
    c.weapon_menu_open = 0;
    int weapon = key - 1;
    if (c.join_mode != JOIN_IN_GAME)
        send_join(weapon);
    else if (!p || p->weapon != weapon)
        net_send_msg(msg_write_weapon_change, WeaponChangeMsg{(uint8_t)local_player_id, (uint8_t)weapon});
}

int game_news_url(const char *folder, char *out, size_t size)
{
    static const char hex[] = "0123456789ABCDEF";
    size_t n = 0;
    auto put = [&](char ch) {
        if (n + 1 < size) out[n] = ch;
        n++;
    };
    for (const char *s = "file://"; *s; s++) put(*s);
    std::string_view path[3] = {folder ? folder : "", "/", GAME_NEWS_FILE};
    for (std::string_view part : path)
        for (char ch : part) {
            unsigned char b = (unsigned char)ch;
            if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || std::strchr("-._~/", b)) {
                put(ch);
            } else {
                put('%');
                put(hex[b >> 4]);
                put(hex[b & 15]);
            }
        }
    if (size > 0) out[n < size ? n : size - 1] = 0;
    return n < size;
}

static void open_news()
{
    char folder[4096], url[3 * 4096 + 64];
    if (sys_program_dir(folder, sizeof folder) && game_news_url(folder, url, sizeof url)) openurl(url);
}

// The quit question: a new press of Escape or of the no letter closes it (the
// press is used up, so the quit key cannot open it again in the same frame);
// the yes letter quits, showing the news page first when asked to.
static void quit_question()
{
    LocalControls &c = local_controls;
    const char *letters = lang_yes_no();
    int shift;
    int yes = key_for_char((uint8_t)letters[0], &shift), no = key_for_char((uint8_t)letters[2], &shift);
    int closing = game_key_pressed(DIK_ESCAPE) ? DIK_ESCAPE : game_key_pressed(no) ? no : -1;
    if (closing >= 0) {
        game_consume_key(closing);
        c.quit_open = 0;
    } else if (game_key_pressed(yes)) {
        if (client_settings.show_news) open_news();
        requestquit();
    }
}

static void menus()
{
    LocalControls &c = local_controls;
    const PlayerRecord *p = game_local_player();
    if (c.team_menu_open) {
        team_menu(p);
    } else if (c.weapon_menu_open) {
        weapon_menu(p);
    } else if (c.join_mode == JOIN_IN_GAME) {
        if (c.quit_open) quit_question();
        if (!p || p->team < 0) return;
        if (game_control_down(CTL_CHANGE_TEAM)) {
            game_consume_key(key_bindings.key[CTL_CHANGE_TEAM]);
            c.team_menu_open = 1;
        } else if (game_control_down(CTL_CHANGE_WEAPON)) {
            game_consume_key(key_bindings.key[CTL_CHANGE_WEAPON]);
            c.weapon_menu_open = 1;
        }
    }
}

// ---- fixed keys ----------------------------------------------------------------------------

static bool take_control(int control)
{
    if (!game_control_down(control)) return false;
    game_consume_key(key_bindings.key[control]);
    return true;
}

static void fixed_keys()
{
    LocalControls &c = local_controls;
    if (game_control_pressed(CTL_QUIT_GAME)) {
        if (client_state.screens.current == SCREEN_IN_GAME)
            c.quit_open = 1;
        else
            requestquit();
    } else if (take_control(CTL_SAVE_MAP)) {
        // Only a map that was written is announced as saved.
        if (map_save("vxl/lastsav.vxl")) feed_push_notice(lang_get(LANG_MAP_SAVED));
    }
    int32_t &level = client_settings.volume;
    bool changed = false;
    if (take_control(CTL_VOLUME_DOWN)) {
        level = level > 0 ? level - 1 : 0;
        changed = true;
    } else if (take_control(CTL_VOLUME_UP)) {
        level = level < GAME_MAX_VOLUME ? level + 1 : GAME_MAX_VOLUME;
        changed = true;
    }
    if (changed) {
        game_display_settings()->volume = level;
        setmastervolume(level);
        char text[FEED_TEXT_SIZE];
        snprintf(text, sizeof text, lang_get(LANG_VOLUME), (int)level);
        feed_push_notice(text);
    }
    if (client_settings.windowed && take_control(CTL_SHOW_MOUSE)) setactive(0);
    if (game_control_pressed(CTL_TOGGLE_GRAPH)) c.net_graph = !c.net_graph;
    if (game_control_pressed(CTL_VIEW_MAP)) {
        c.big_map = !c.big_map;
        hud_build_overview_map();
    }
}

// ---- the pass ----------------------------------------------------------------------------

void game_handle_input()
{
    LocalControls &c = local_controls;
    c.prev_buttons = c.buttons;
    readkeyboard();
    uint32_t buttons = 0;
    readmouse(&c.mouse_dx, &c.mouse_dy, &c.wheel, &buttons);
    c.buttons = (int32_t)buttons;
    uint8_t typed = (uint8_t)KEYEVENT_CHAR(readkeyevent());

    if (c.chat_mode != CHAT_CLOSED) {
        chat_step(typed);
        return;
    }
    if (c.join_mode == JOIN_IN_GAME) {
        if (!c.quit_open && chat_open(typed)) return;
        send_position_and_orientation();
    }
    menus();
    fixed_keys();
    const PlayerRecord *p = game_local_player();
    if (p && p->alive && p->team >= 0) {
        game_update_local_controls();
        game_select_tool();
    }
}
