#include "client/menu_pictures.h"

#include <cstdio>
#include <cstring>

#include "client/game_assets.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/hud_canvas.h"
#include "client/hud_view.h"
#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/model_table.h"
#include "common/player.h"
#include "common/timer.h"
#include "platform/plat_input.h"
#include "renderer/vox_blit.h"
#include "renderer/vox_camera.h"
#include "renderer/vox_player.h"
#include "renderer/vox_sprite.h"

#define MENU_RED 0xFF0000u
#define MENU_YELLOW 0xFFFF00u
#define SPLASH_W 800
#define SPLASH_H 600

static void menu_splash_at(float zoom, int32_t y)
{
    if (!game_images.splash || !hud_lock()) return;
    blitpicturepx(game_images.splash, SPLASH_W, SPLASH_H, SPLASH_W / 2, SPLASH_H / 2, hud_width() / 2, y, zoom, zoom,
                  0xFFFFFFFFu);
}

void menu_draw_splash() { menu_splash_at(0.7f, hud_height() / 2 - 50); }

void menu_draw_small_splash() { menu_splash_at(0.3f, (int32_t)(0.15f * (float)hud_height())); }

void menu_draw_standin_player(int team, int weapon, int tool, const Vec3 *position, const Vec3 *angles)
{
    static PlayerRecord standin;
    std::memset(&standin, 0, sizeof standin);
    if (!player_init(&standin, -2, team, weapon, tool, 0, 0x7F7F7Fu, "dummy") || !hud_lock()) return;
    standin.position = Vec3{position->x - 0.15f, position->y, position->z};
    standin.eye = standin.position;
    rotateaxes(angles->x, angles->y, angles->z, &standin.right, &standin.down, &standin.forward);
    drawplayermodel(&standin, 0, nullptr);
    modeltint = VOX_TINT_NEUTRAL;
}

// The choices' labels on the line at 90 % of the height, in the small font:
// the first at the left margin, the second centred, the third at the right.
static void menu_labels(const char *first, const char *middle, const char *last)
{
    const int32_t margin = (int32_t)(0.05f * (float)hud_width()), y = (int32_t)(0.9f * (float)hud_height());
    hud_text(HUD_FONT_SMALL, first, margin, y, MENU_RED);
    hud_text_centred(HUD_FONT_SMALL, middle, y, MENU_RED);
    hud_text_right(HUD_FONT_SMALL, last, hud_width() - margin, y, MENU_RED);
}

void menu_draw_team_choice()
{
    if (hud_lock()) {
        const Vec3 origin{0.0f, 0.0f, 0.0f}, right{-1.0f, 0.0f, 0.0f}, down{0.0f, 0.0f, 1.0f}, forward{0.0f, 1.0f, 0.0f};
        const int32_t w = hud_width(), h = hud_height();
        setviewpoint(&origin, &right, &down, &forward, w / 2, h / 2, w / 2);
        const Vec3 left_at{1.7f, 3.0f, 0.8f}, left_turn{0.0f, 0.2f, -0.5f};
        const Vec3 right_at{-1.7f, 3.0f, 0.8f}, right_turn{0.0f, 0.2f, 0.5f};
        menu_draw_standin_player(TEAM_BLUE, WEAPON_SEMI, TOOL_SPADE, &left_at, &left_turn);
        menu_draw_standin_player(TEAM_GREEN, WEAPON_SEMI, TOOL_SPADE, &right_at, &right_turn);
        hud_unlock();
    }
    char first[64], middle[64], last[64];
    snprintf(first, sizeof first, lang_get(LANG_TEAM_CHOICE), 1, client_state.team[0].name);
    snprintf(middle, sizeof middle, lang_get(LANG_SPECTATOR_CHOICE), 3);
    snprintf(last, sizeof last, lang_get(LANG_TEAM_CHOICE), 2, client_state.team[1].name);
    menu_labels(first, middle, last);
}

void menu_draw_weapon_choice()
{
    if (hud_lock()) {
        hud_view_camera();
        SpriteInstance s = hud_view_sprite(0.0005f, nullptr);
        rotateaxes(hud_view_spin(), 0.0f, 0.0f, &s.xaxis, &s.yaxis, &s.zaxis);
        static const struct {
            int slot;
            float x;
        } guns[] = {{MODEL_SEMI, -0.017f}, {MODEL_SHOTGUN, 0.017f}, {MODEL_SMG, 0.0f}};
        for (const auto &g : guns) {
            s.model = model_slot(g.slot);
            s.position = Vec3{g.x, 0.015f, 0.03f};
            rendermodel(&s, 0, nullptr);
        }
        hud_unlock();
    }
    char first[32], middle[32], last[32];
    snprintf(first, sizeof first, lang_get(LANG_WEAPON_CHOICE), 1);
    snprintf(middle, sizeof middle, lang_get(LANG_WEAPON_CHOICE), 2);
    snprintf(last, sizeof last, lang_get(LANG_WEAPON_CHOICE), 3);
    menu_labels(first, middle, last);
}

// The first four characters of the name of the key bound to a control.
static const char *menu_key(int control, char out[8])
{
    char name[4];
    game_key_name(getkeyboarddevice(), key_bindings.key[control], name);
    snprintf(out, 8, "%.4s", name);
    return out;
}

void menu_draw_controls_help()
{
    char k0[8], k1[8], k2[8], k3[8], movement[40];
    snprintf(movement, sizeof movement, "%s %s %s %s", menu_key(CTL_MOVE_FORWARD, k0), menu_key(CTL_MOVE_LEFT, k1),
             menu_key(CTL_MOVE_BACKWARD, k2), menu_key(CTL_MOVE_RIGHT, k3));
    static const struct {
        const char *label;
        const char *fixed; // the key text when no control names it
        int control;
    } rows[] = {
        {"Movement", nullptr, -1},        {"Fire", "L. Mouse", -1},
        {"Gunsight", "R. Mouse", -1},     {"Weapons", "1-4/Wheel", -1},
        {"Reload", nullptr, CTL_RELOAD},  {"Jump", nullptr, CTL_JUMP},
        {"Crouch", nullptr, CTL_CROUCH},  {"Sneak", nullptr, CTL_SNEAK},
        {"Sprint", nullptr, CTL_SPRINT},  {"View Score", nullptr, CTL_VIEW_SCORE},
        {"Map", nullptr, CTL_VIEW_MAP},   {"Change Team", nullptr, CTL_CHANGE_TEAM},
        {"Change Weapon", nullptr, CTL_CHANGE_WEAPON}, {"Allchat", "T", -1},
        {"Teamchat", "Y", -1},            {"Color Select", "Arrows", -1},
        {"Color Sample", nullptr, CTL_CUBE_COLOR_SAMPLE}, {"Quit", nullptr, CTL_QUIT_GAME},
    };
    const int32_t left = (hud_width() - hud_text_width(HUD_FONT_SMALL, "GGGGGGGGGGGGGGGGGGGGG")) / 2;
    const int32_t keys = left + hud_text_width(HUD_FONT_SMALL, "GGGGGGGGGGGG") + 10;
    int32_t y = (int32_t)(0.3f * (float)hud_height());
    hud_text(HUD_FONT_MEDIUM, "CONTROLS", keys - hud_text_width(HUD_FONT_MEDIUM, "CONTROLS") / 2 - 10, y, MENU_YELLOW);
    y += hud_font_height(HUD_FONT_MEDIUM);
    const int32_t line = hud_font_height(HUD_FONT_SMALL);
    for (const auto &r : rows) {
        char key[8];
        const char *text = r.control >= 0 ? menu_key(r.control, key) : (r.fixed ? r.fixed : movement);
        hud_text(HUD_FONT_SMALL, r.label, left, y, MENU_YELLOW);
        hud_text(HUD_FONT_SMALL, text, keys, y, MENU_YELLOW);
        y += line;
    }
}
