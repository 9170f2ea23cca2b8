#include "client/hud_view.h"

#include <cmath>

#include "client/game_controls.h"
#include "client/game_main.h"
#include "client/game_mode.h"
#include "client/hud_canvas.h"
#include "common/model_table.h"
#include "common/player.h"
#include "common/timer.h"
#include "common/weapon.h"
#include "renderer/vox_camera.h"
#include "renderer/vox_player.h"
#include "renderer/vox_sprite.h"

void hud_view_camera()
{
    const Vec3 origin{0.0f, 0.0f, 0.0f}, right{1.0f, 0.0f, 0.0f}, down{0.0f, 1.0f, 0.0f}, forward{0.0f, 0.0f, 1.0f};
    const int32_t w = hud_width(), h = hud_height();
    setviewpoint(&origin, &right, &down, &forward, w / 2, h / 2, w / 2);
}

SpriteInstance hud_view_sprite(float size, Kv6Model *model)
{
    SpriteInstance s{};
    s.xaxis = Vec3{-size, 0.0f, 0.0f};
    s.yaxis = Vec3{0.0f, 0.0f, size};
    s.zaxis = Vec3{0.0f, size, 0.0f};
    s.model = model;
    return s;
}

// The first-person model of the player's gun.
static Kv6Model *gun_model(const PlayerRecord *p)
{
    const WeaponInfo *w = weapon_info(p->weapon);
    return w ? model_slot(w->view_model) : nullptr;
}

void hud_draw_view_tool(const PlayerRecord *p, float offset_x, float offset_y)
{
    if (!hud_lock()) return;
    const LocalControls &c = local_controls;
    SpriteInstance s = hud_view_sprite(0.005f, nullptr);
    float x = offset_x + 0.05f - 0.0004f * (float)c.mouse_dx;
    float y = offset_y + 0.06f - 0.0004f * (float)c.mouse_dy;
    if (p->airborne) y -= 0.03f * p->velocity.z;
    // Bob: a 1,024 ms triangle wave scaled by the walking speed.
    const float speed = std::fabs(p->velocity.x > p->velocity.y ? p->velocity.x : p->velocity.y);
    float z = ((float)(game_millis & 511) - 255.5f) * speed / ((game_millis & 512) ? 6000.0f : -6000.0f) + 0.1f;
    const int32_t light = vox_ground_shade(&p->position);
    uint32_t tint = (uint32_t)light * 0x010101u;
    const float t = (float)(p->next_use - game_time);
    switch (c.tool) {
    case TOOL_SPADE:
        s.model = model_slot(MODEL_SPADE);
        if (p->primary && t > 0.0f) {
            x -= t / 16.0f;
            z += t / 2.0f;
            y += t / 4.0f;
            rotateaxes(0.0f, -8.0f * t, 0.0f, &s.xaxis, &s.yaxis, &s.zaxis);
        } else if (p->secondary && p->grenade_fuse_end != 0.0f) {
            // Digging: the spade goes in, then levers the earth up.
            const float d = (float)(p->grenade_fuse_end - game_time);
            float e, lift;
            if (d >= 0.6f) {
                e = 0.0f;
                lift = 1.0f - d;
            } else if (d >= 0.3f) {
                e = 0.6f - d;
                lift = 0.4f;
            } else if (d >= 0.1f) {
                e = 0.3f;
                lift = 0.4f;
            } else {
                e = 3.0f * d;
                lift = 4.0f * d;
            }
            x -= e / 16.0f;
            y += lift / 32.0f;
            z += e / 4.0f;
            rotateaxes(0.0f, lift / -0.32f, -lift, &s.xaxis, &s.yaxis, &s.zaxis);
        }
        break;
    case TOOL_BLOCK:
        s.model = model_slot(MODEL_BLOCK);
        if (t > 0.0f) {
            x += t;
            y += t;
        }
        tint = hud_scale_colour(c.block_colour, light);
        break;
    case TOOL_GUN:
        if (game_is_aiming_gun(p)) return;
        s.model = gun_model(p);
        if (t > 0.0f) {
            x += t / 32.0f;
            y += t / 32.0f;
            z -= t / 32.0f;
            rotateaxes(0.0f, t / 4.0f, 0.0f, &s.xaxis, &s.yaxis, &s.zaxis);
        }
        break;
    case TOOL_GRENADE:
        s.model = model_slot(MODEL_GRENADE);
        if (t > 0.0f) {
            x += t;
            y += t;
        } else if (p->grenade_fuse_end != 0.0f) {
            const float u = (float)(game_time + 3.0 - p->grenade_fuse_end) / 8.0f;
            x += u;
            y -= u;
        }
        break;
    default: return;
    }
    s.position = Vec3{x, y, z};
    modeltint = tint;
    rendermodel(&s, 0, &p->forward);
    modeltint = VOX_TINT_NEUTRAL;
}

float hud_view_spin() { return (float)std::fmod(game_time, 6.283185307179586); }

void hud_draw_tool_switch(const PlayerRecord *p)
{
    if (!hud_lock()) return;
    const LocalControls &c = local_controls;
    SpriteInstance s = hud_view_sprite(0.0005f, nullptr);
    rotateaxes(hud_view_spin(), 0.0f, 0.0f, &s.xaxis, &s.yaxis, &s.zaxis);
    static const float row_x[TOOL_COUNT] = {-0.0225f, -0.0075f, 0.0075f, 0.0225f};
    static const float selected_x[TOOL_COUNT] = {-0.015f, -0.00495f, 0.00495f, 0.015f};
    Kv6Model *const models[TOOL_COUNT] = {model_slot(MODEL_SPADE), model_slot(MODEL_BLOCK), gun_model(p),
                                          model_slot(MODEL_GRENADE)};
    const bool has[TOOL_COUNT] = {true, p->blocks > 0, p->magazine > 0 || p->reserve > 0, p->grenades > 0};
    for (int tool = 0; tool < TOOL_COUNT; tool++) {
        if (!has[tool]) continue;
        const bool selected = tool == c.tool;
        s.model = models[tool];
        s.position = Vec3{selected ? selected_x[tool] : row_x[tool], 0.015f, selected ? 0.04f : 0.06f};
        modeltint = tool == TOOL_BLOCK ? c.block_colour : VOX_TINT_NEUTRAL;
        rendermodel(&s, 0, nullptr);
    }
    modeltint = VOX_TINT_NEUTRAL;
}

void hud_draw_view_objective()
{
    Kv6Model *model = game_mode_hooks.view_objective ? game_mode_hooks.view_objective() : nullptr;
    if (!model || !hud_lock()) return;
    SpriteInstance s = hud_view_sprite(0.0005f, model);
    s.position = Vec3{-0.02f, 0.0f, 0.025f};
    rendermodel(&s, 0, nullptr);
}
