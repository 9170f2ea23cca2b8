#include "client/game_state.h"

#include <cstdio>
#include <cstring>

#include "client/game_controls.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_workbuf.h"
#include "client/net_dispatch.h"
#include "common/feed.h"
#include "common/map_edit.h"

ClientGameState client_state;
int32_t local_player_id = -1;
int32_t capture_limit;

PlayerRecord *game_local_player() { return player_get(local_player_id); }

void game_set_team_slot(int slot, const char *name, uint32_t colour)
{
    if (slot < 0 || slot >= TEAM_SLOTS) return;
    TeamSlot &t = client_state.team[slot];
    std::memset(t.name, 0, sizeof t.name);
    for (int i = 0; name && i < 9 && name[i]; i++) t.name[i] = name[i];
    t.colour = colour;
}

int game_team_slot(int team) { return team == 0 || team == 1 ? team : TEAM_SLOT_SPECTATOR; }

void game_set_screen(int screen)
{
    if (screen >= 0 && screen < SCREEN_COUNT) client_state.screens.current = screen;
}

void game_reset_state()
{
    LocalControls &c = local_controls;
    c.chat_mode = CHAT_CLOSED;
    c.chat_line[0] = 0;
    map_placed_colour = 0x7F7F7F7Fu;
    c.buttons = c.prev_buttons = c.wheel = c.mouse_dx = c.mouse_dy = 0;
    world_next_heal = 0.0;
    hud_announce_until = 0.0f;
    game_clear_particles();
    feed_clear(&feed_chat);
    feed_clear(&feed_kill);
    game_work_buffer_align();
    for (int i = 0; i < PLAYER_MAX; i++) {
        player_table[i].team = TEAM_NONE;
        player_table[i].kills = 0;
    }
}

void menu_open_team_menu(int join_mode)
{
    game_set_screen(SCREEN_TEAM_MENU);
    LocalControls &c = local_controls;
    c.join_mode = join_mode;
    c.quit_open = 0;
    c.team_menu_open = 1;
    c.weapon_menu_open = 0;
    if (PlayerRecord *p = game_local_player()) {
        p->team = TEAM_NONE;
        p->alive = 0;
    }
}
