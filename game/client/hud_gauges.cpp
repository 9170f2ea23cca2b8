#include "client/hud_gauges.h"

#include <cstdio>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_main.h"
#include "client/game_state.h"
#include "client/hud_canvas.h"
#include "client/net_dispatch.h"
#include "common/player.h"
#include "common/timer.h"
#include "common/weapon.h"
#include "renderer/vox_blit.h"

#define HUD_WHITE 0xFFFFFFu
#define HUD_RED 0xFF0000u
#define HUD_YELLOW 0xFFFF00u
#define HUD_LOW_HEALTH 20
#define HUD_ICON_TOP 44 // icons stand this far above the bottom edge
#define SCOPE_W 800
#define SCOPE_H 600

void hud_draw_health(const PlayerRecord *p)
{
    char text[16];
    snprintf(text, sizeof text, "%d", p->health);
    const uint32_t colour = p->health < HUD_LOW_HEALTH ? HUD_RED : HUD_WHITE;
    const int32_t w = hud_width(), h = hud_height();
    hud_text_right(HUD_FONT_LARGE, text, w / 2, h - hud_font_height(HUD_FONT_LARGE), colour);
    hud_icon(BMP_HEALTH, w / 2 + 4, h - HUD_ICON_TOP, 0, 0.0f, colour);
}

// The palette picker in the bottom-right corner with the selection frame
// blinking between its two pictures.
static void hud_draw_palette()
{
    if (!hud_lock()) return;
    const int32_t x0 = hud_width() - PICKER_SIZE, y0 = hud_height() - PICKER_SIZE;
    blitpicturepx(palette_picker, PICKER_SIZE, PICKER_SIZE, 0, 0, x0, y0, 1.0f, 1.0f, 0xFFFFFFFFu);
    const int32_t index = local_controls.palette_index;
    if (index < 0 || index >= PALETTE_SIZE) return;
    const uint32_t *frame = game_millis % 512 < 255 ? palette_frame : palette_frame_mask;
    blitpicturepx(frame, PICKER_FRAME_SIZE, PICKER_FRAME_SIZE, 0, 0, x0 + (index & 7) * PICKER_FRAME_SIZE,
                  y0 + (index >> 3) * PICKER_FRAME_SIZE, 1.0f, 1.0f, 0xFFFFFFFFu);
}

void hud_draw_ammo(const PlayerRecord *p)
{
    const int32_t w = hud_width(), h = hud_height();
    int32_t margin = (int32_t)(0.05f * (float)w);
    char text[32];
    uint32_t colour = HUD_YELLOW;
    int icon;
    switch (local_controls.tool) {
    case TOOL_SPADE:
        snprintf(text, sizeof text, "%d", p->blocks);
        icon = BMP_BLOCK;
        break;
    case TOOL_BLOCK:
        hud_draw_palette();
        snprintf(text, sizeof text, "%d", p->blocks);
        icon = BMP_BLOCK;
        margin += PICKER_SIZE;
        break;
    case TOOL_GUN: {
        static const int gun_icons[WEAPON_COUNT] = {BMP_SEMI, BMP_SMG, BMP_SHOTGUN};
        snprintf(text, sizeof text, "%d-%d", p->magazine, p->reserve);
        icon = weapon_is_valid(p->weapon) ? gun_icons[p->weapon] : -1;
        if (p->magazine == 0) colour = HUD_RED;
        break;
    }
    case TOOL_GRENADE:
        snprintf(text, sizeof text, "%d", p->grenades);
        icon = BMP_GRENADE;
        break;
    default: return;
    }
    hud_text_right(HUD_FONT_LARGE, text, w - margin, h - hud_font_height(HUD_FONT_LARGE), colour);
    hud_icon(icon, w - margin + 4, h - HUD_ICON_TOP, 0, 0.0f, colour);
}

void hud_draw_crosshair(const PlayerRecord *p)
{
    if (!hud_lock()) return;
    const int32_t w = hud_width(), h = hud_height();
    if (!game_is_aiming_gun(p)) {
        if (game_images.target) blitpicturepx(game_images.target, 16, 16, 8, 8, w / 2, h / 2, 1.0f, 1.0f, 0xFFFFFFFFu);
        return;
    }
    const WeaponInfo *wi = weapon_info(p->weapon);
    if (!wi || !wi->scope_image) return;
    // The scope kicks out to 1.25 right after a shot and settles to 1 by the next.
    float k = 1.0f;
    if (p->next_use > game_time && wi->fire_interval > 0.0f)
        k = (float)(p->next_use + wi->fire_interval - game_time) / wi->fire_interval / 4.0f + 0.75f;
    const int32_t zx = (int32_t)((float)w * 81.92f * k), zy = (int32_t)((float)h * 109.23f * k);
    blitpicture(wi->scope_image, SCOPE_W * 4, SCOPE_W, SCOPE_H, (SCOPE_W / 2) << 16, (SCOPE_H / 2) << 16,
                (w / 2) << 16, (h / 2) << 16, zx, zy, 0xFFFFFFFFu);
}

void hud_bar_rect(int32_t *left, int32_t *top, int32_t *width)
{
    *width = (int32_t)(0.55f * (float)hud_width());
    *left = (hud_width() - *width) / 2;
    *top = (int32_t)(0.75f * (float)hud_height());
}

void hud_draw_progress_bar(float progress, uint32_t fill, uint32_t back)
{
    const uint32_t *white = game_images.white;
    if (!white || !hud_lock()) return;
    int32_t left, top, bw;
    hud_bar_rect(&left, &top, &bw);
    if (!(progress >= 0.0f)) progress = 0.0f; // NaN draws an empty bar
    if (progress > 1.0f) progress = 1.0f;
    blitpicturepx(white, 4, 4, 0, 0, left, top, (float)bw / 4.0f, 20.0f / 4.0f, back);
    blitpicturepx(white, 4, 4, 0, 0, left, top, (float)bw * progress / 4.0f, 20.0f / 4.0f, fill);
}

void hud_draw_damage_marker(const PlayerRecord *p)
{
    if (game_time > hud_damage_until) return;
    const float angle = math_angle_diff(p->forward.x, p->forward.y, hud_damage_source.x - p->position.x,
                                        hud_damage_source.y - p->position.y);
    hud_icon(BMP_INDICATOR, hud_width() / 2, hud_height() / 2, 1, angle, HUD_WHITE);
}
