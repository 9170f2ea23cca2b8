// The screens' steps. Their drawing comes with the HUD: the name and loading
// screens' pictures and text, the backdrop, team and weapon pictures, and the
// in-game frame with the player and world-object updates.
#include "client/menu_screens.h"

#include <cstring>

#include "client/game_objects.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/hud_frame.h"
#include "client/net_loading.h"
#include "client/player_update.h"

int menu_name_asked;
char menu_name_line[EDIT_LINE_SIZE];

// The default name asks for one; any other passes straight to loading. The
// connection is kept alive meanwhile by the frame's network step.
void menu_name_screen()
{
    if (std::strcmp(client_settings.name, GAME_DEFAULT_NAME) == 0 && !menu_name_asked) {
        menu_name_asked = 1;
        std::strcpy(menu_name_line, "_");
    }
    if (!menu_name_asked) {
        local_player_id = -1;
        game_set_screen(SCREEN_LOADING);
        return;
    }
    if (edittextline(menu_name_line) == 1) {
        game_save_name(menu_name_line);
        local_player_id = -1;
        game_set_screen(SCREEN_LOADING);
    }
}

void menu_loading_screen() { net_pump_loading(0); }

void menu_team_screen() {}

void menu_weapon_screen() {}

void game_play_screen()
{
    game_update_players();
    game_update_world_objects();
    game_draw_frame();
}
