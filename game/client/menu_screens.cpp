// The five screens the platform layer calls once per frame: each takes its
// step (the name question, the loading pump, the game's updates) and draws.
#include "client/menu_screens.h"

#include <cstring>

#include "client/game_assets.h"
#include "client/game_objects.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/hud_canvas.h"
#include "client/hud_frame.h"
#include "client/hud_gauges.h"
#include "client/hud_score.h"
#include "client/menu_pictures.h"
#include "client/net_loading.h"
#include "client/player_update.h"
#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/map_query.h"
#include "platform/plat_display.h"
#include "renderer/vox_camera.h"
#include "renderer/vox_world.h"

int menu_name_asked;
char menu_name_line[EDIT_LINE_SIZE];

#define BOX_GREY 0xFF454545u

static void menu_draw_name_question()
{
    int32_t left, top, width;
    hud_bar_rect(&left, &top, &width);
    hud_unlock();
    fillsurface(getframesurface(), 0, 0, 0);
    menu_draw_splash();
    hud_draw_progress_bar(0.0f, 0, BOX_GREY); // the box is the bar's empty back
    hud_unlock();
    hud_text(HUD_FONT_MEDIUM, "NAME:", left + 5, top - 3, 0xFFFFFF00u);
    hud_text(HUD_FONT_MEDIUM, menu_name_line, left + 5 + hud_text_width(HUD_FONT_MEDIUM, "NAME:") + 2, top - 3,
             0xFFFFFFFFu);
    hud_text(HUD_FONT_MEDIUM, "Type your name then press Enter", left + 5, top + 20, 0xFF858585u);
}

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
    menu_draw_name_question();
}

void menu_loading_screen()
{
    net_pump_loading(0);
    const float progress = map_download.progress;
    if (progress > 1.0f) return;
    hud_unlock();
    fillsurface(getframesurface(), 0, 0, 0);
    menu_draw_splash();
    hud_draw_progress_bar(progress > 0.01f ? progress : 0.01f, 0xFFFFFF33u, BOX_GREY);
    hud_unlock();
    hud_text_centred(HUD_FONT_MEDIUM, lang_get(LANG_LOADING_MAP), (int32_t)(0.75f * (float)hud_height() + 20.0f),
                     BOX_GREY);
}

void menu_draw_backdrop()
{
    if (hud_lock()) {
        // The map's centre seen from high above, straight down.
        const Vec3 at{256.0f, 256.0f, (float)(map_ground_z(256, 256) - 63)};
        const Vec3 right{1.0f, 0.0f, 0.0f}, down{0.0f, 1.0f, 0.0f}, forward{0.0f, 0.0f, 1.0f};
        const int32_t w = hud_width(), h = hud_height();
        setviewpoint(&at, &right, &down, &forward, w / 2, h / 2, w / 2);
        renderworld();
        menu_draw_small_splash();
    }
    hud_unlock();
    hud_draw_scoreboard(0);
}

// The server's edits reach the map on the menus too (the dispatcher runs
// there): block groups they leave loose must leave it now, as they leave the
// server's, and not pile up unseen until the game starts.
void menu_team_screen()
{
    game_take_loose_groups(false);
    menu_draw_backdrop();
    menu_draw_team_choice();
    menu_draw_controls_help();
}

void menu_weapon_screen()
{
    game_take_loose_groups(false);
    menu_draw_backdrop();
    menu_draw_weapon_choice();
    menu_draw_controls_help();
}

void game_play_screen()
{
    game_update_players();
    game_update_world_objects();
    game_draw_frame();
}
