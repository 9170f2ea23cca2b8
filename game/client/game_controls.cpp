#include "client/game_controls.h"

#include "client/game_assets.h"
#include "client/game_random.h"
#include "client/game_settings.h"
#include "client/game_shooting.h"
#include "client/game_state.h"
#include "client/net_client.h"
#include "client/net_dispatch.h"
#include "client/player_update.h"
#include "common/map_block_line.h"
#include "common/map_ray.h"
#include "common/player_physics.h"
#include "common/protocol.h"
#include "common/timer.h"
#include "common/weapon.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_sound.h"

LocalControls local_controls;

// ---- keys --------------------------------------------------------------------

static bool key_index(int scan_code) { return scan_code >= 0 && scan_code < 256; }

bool game_key_down(int scan_code) { return key_index(scan_code) && keystates.current[scan_code] != 0; }

bool game_key_pressed(int scan_code)
{
    return key_index(scan_code) && keystates.current[scan_code] != 0 && (keystates.previous[scan_code] & 1) == 0;
}

bool game_control_down(int control)
{
    return control >= 0 && control < CTL_COUNT && game_key_down(key_bindings.key[control]);
}

bool game_control_pressed(int control)
{
    return control >= 0 && control < CTL_COUNT && game_key_pressed(key_bindings.key[control]);
}

void game_consume_key(int scan_code)
{
    if (key_index(scan_code)) keystates.current[scan_code] = 0;
}

static bool button_down(uint32_t button) { return (local_controls.buttons & button) != 0; }
static bool button_went_down(uint32_t button)
{
    return (local_controls.buttons & button) != 0 && (local_controls.prev_buttons & button) == 0;
}

// ---- tools ---------------------------------------------------------------------

int game_player_tool(const PlayerRecord *p) { return game_is_local(p) ? local_controls.tool : p->tool; }

bool game_is_aiming_gun(const PlayerRecord *p) { return game_player_tool(p) == TOOL_GUN && p->secondary; }

bool game_tool_usable(const PlayerRecord *p, int tool)
{
    switch (tool) {
    case TOOL_SPADE: return true;
    case TOOL_BLOCK: return p->blocks > 0;
    case TOOL_GUN: return p->magazine > 0 || p->reserve > 0;
    case TOOL_GRENADE: return p->grenades > 0;
    default: return false;
    }
}

// ---- messages ------------------------------------------------------------------

void net_send_move_keys()
{
    const PlayerRecord *p = game_local_player();
    if (!p) return;
    uint32_t bits = 0;
    for (int k = 0; k < KEY_COUNT; k++)
        if (p->keys[k]) bits |= 1u << k;
    net_send_msg(msg_write_move_keys, MoveKeysMsg{(uint8_t)local_player_id, bits});
}

void net_send_fire_keys()
{
    const PlayerRecord *p = game_local_player();
    if (!p) return;
    uint32_t bits = (p->primary ? (uint32_t)FIRE_PRIMARY : 0u) | (p->secondary ? (uint32_t)FIRE_SECONDARY : 0u);
    net_send_msg(msg_write_fire_keys, FireKeysMsg{(uint8_t)local_player_id, bits});
}

// ---- buttons and movement keys ----------------------------------------------------

// A reload is running that the trigger may not interrupt: only shell-by-shell
// reloads give way to a shot or the sight.
static bool reload_blocks(const PlayerRecord *p)
{
    const WeaponInfo *w = weapon_info(p->weapon);
    return p->reload_end != 0.0f && !(w && !w->whole_reload);
}

// The block-line drag ends: a line of cells from the cursor to the end cell
// is built when the stock covers it. Both ends are dropped either way.
static void end_block_line(PlayerRecord *p)
{
    BlockCell start, end;
    if (game_block_line_cells(&start, &end) == 2) {
        BlockCell cells[BLOCK_LINE_MAX];
        // The server builds no cell inside the builder: those cost nothing.
        const int n = player_cells_outside_body(p, cells, map_block_line(&start, &end, cells));
        if (n > 0 && n <= p->blocks) {
            p->blocks -= n;
            p->next_use = game_time + 0.5f;
            playsound("wav/switch.wav", -300);
            BlockLineMsg m = {(uint8_t)local_player_id, {start.x, start.y, start.z}, {end.x, end.y, end.z}};
            net_send_msg(msg_write_block_line, m);
        }
    }
    game_drop_block_line();
}

void game_update_local_controls()
{
    PlayerRecord *p = game_local_player();
    if (!p) return;
    LocalControls &c = local_controls;
    const double now = game_time;
    const bool sprinting = p->keys[KEY_SPRINT] != 0;
    const int32_t primary = p->primary, secondary = p->secondary;
    int32_t keys[KEY_COUNT];
    for (int k = 0; k < KEY_COUNT; k++) keys[k] = p->keys[k];

    // Primary: the trigger, the spade swing, the block, the grenade pin.
    if (button_down(MOUSE_LEFT) && now >= c.next_use && !reload_blocks(p) &&
        !(c.tool == TOOL_GUN && p->magazine == 0) && !sprinting) {
        p->reload_end = 0.0f;
        p->primary = 1;
    } else if (button_went_down(MOUSE_LEFT) && c.tool == TOOL_GUN) {
        playsound("wav/empty.wav", -300);
        if (now >= c.next_use) client_state.empty_hint_until = now + 0.4f;
    } else {
        p->primary = 0;
    }

    // Secondary: the gun's sight toggles on each press; with other tools it
    // is held (the dig, the block-line drag).
    if (button_down(MOUSE_RIGHT) && now >= c.next_use && !sprinting && !reload_blocks(p)) {
        if (c.tool == TOOL_GUN) {
            if (button_went_down(MOUSE_RIGHT)) p->secondary = !p->secondary;
        } else {
            p->secondary = 1;
        }
    } else if (c.tool != TOOL_GUN && p->secondary) {
        end_block_line(p);
        p->secondary = 0;
    }
    if (p->primary != primary || p->secondary != secondary) net_send_fire_keys();

    if (game_control_down(CTL_JUMP) && !p->airborne) {
        game_consume_key(key_bindings.key[CTL_JUMP]);
        p->keys[KEY_JUMP] = 1;
    }

    // Crouch, sneak and sprint: one of them acts per frame.
    if (game_control_down(CTL_CROUCH)) {
        if (!p->keys[KEY_CROUCH]) {
            p->keys[KEY_CROUCH] = 1;
            if (!p->airborne) p->position.z += 0.9f;
        }
    } else if (p->keys[KEY_CROUCH]) {
        if (player_try_stand_up(p)) p->keys[KEY_CROUCH] = 0;
    } else if (game_control_down(CTL_SNEAK)) {
        p->keys[KEY_SNEAK] = 1;
    } else if (p->keys[KEY_SNEAK]) {
        p->keys[KEY_SNEAK] = 0;
    } else if (game_control_down(CTL_SPRINT)) {
        if (!p->keys[KEY_SPRINT]) {
            p->keys[KEY_SPRINT] = 1;
            game_begin_tool_switch(false);
        }
    } else if (p->keys[KEY_SPRINT]) {
        p->keys[KEY_SPRINT] = 0;
        c.next_use = now + 0.5f;
    }

    bool fwd = game_control_down(CTL_MOVE_FORWARD), back = game_control_down(CTL_MOVE_BACKWARD);
    p->keys[KEY_FORWARD] = fwd;
    p->keys[KEY_BACKWARD] = !fwd && back;
    bool left = game_control_down(CTL_MOVE_LEFT), right = game_control_down(CTL_MOVE_RIGHT);
    p->keys[KEY_LEFT] = left;
    p->keys[KEY_RIGHT] = !left && right;

    for (int k = 0; k < KEY_COUNT; k++)
        if (p->keys[k] != keys[k]) {
            net_send_move_keys();
            break;
        }
}

// ---- tool selection, reload, colours --------------------------------------------

static void switch_to(int tool)
{
    LocalControls &c = local_controls;
    c.last_tool = c.tool;
    c.tool = tool;
    game_begin_tool_switch(true);
}

// The wheel: down steps back, up steps forward, past the tools that cannot
// be used (as far as one skip each).
static int wheel_tool(const PlayerRecord *p, int tool, int wheel)
{
    if (wheel < 0) {
        tool = tool == TOOL_SPADE ? TOOL_GRENADE : tool - 1;
        if (tool == TOOL_GRENADE && p->grenades <= 0) tool = TOOL_GUN;
        if (tool == TOOL_GUN && !game_tool_usable(p, TOOL_GUN)) tool = TOOL_BLOCK;
        if (tool == TOOL_BLOCK && p->blocks <= 0) tool = TOOL_SPADE;
    } else {
        tool = tool == TOOL_GRENADE ? TOOL_SPADE : tool + 1;
        if (tool == TOOL_BLOCK && p->blocks <= 0) tool = TOOL_GUN;
        if (tool == TOOL_GUN && !game_tool_usable(p, TOOL_GUN)) tool = TOOL_GRENADE;
        if (tool == TOOL_GRENADE && p->grenades <= 0) tool = TOOL_SPADE;
    }
    return tool;
}

// The reload key. Returns true when a reload started (the frame's input ends).
static bool start_reload(PlayerRecord *p)
{
    LocalControls &c = local_controls;
    const WeaponInfo *w = weapon_info(p->weapon);
    if (!w || !game_control_down(CTL_RELOAD) || p->reserve <= 0 || p->magazine >= w->magazine_size ||
        c.tool != TOOL_GUN || p->reload_end != 0.0f || p->primary)
        return false;
    p->reload_end = game_time + w->reload_time;
    if (w->whole_reload) {
        if (p->secondary) {
            p->secondary = 0;
            net_send_fire_keys();
        }
        c.next_use = p->reload_end;
        playsound(w->reload_sound, -300);
    }
    net_send_msg(msg_write_reload, ReloadMsg{(uint8_t)local_player_id, 0, 0});
    return true;
}

// The palette index the colour control moves to from index (-1: a sampled
// colour, from which every key goes to 3).
static int palette_step(int control, int index)
{
    if (index < 0) return 3;
    switch (control) {
    case CTL_CUBE_COLOR_UP: return (index + PALETTE_SIZE - 8) % PALETTE_SIZE;
    case CTL_CUBE_COLOR_DOWN: return (index + 8) % PALETTE_SIZE;
    case CTL_CUBE_COLOR_LEFT: return index - index % 8 + (index + 7) % 8;
    default: return index - index % 8 + (index + 1) % 8;
    }
}

static void colour_keys(PlayerRecord *p)
{
    LocalControls &c = local_controls;
    if (c.tool != TOOL_BLOCK || game_time < c.next_use) return;
    static const int keys[4] = {CTL_CUBE_COLOR_UP, CTL_CUBE_COLOR_DOWN, CTL_CUBE_COLOR_LEFT, CTL_CUBE_COLOR_RIGHT};
    for (int control : keys)
        if (game_control_down(control)) {
            c.palette_index = palette_step(control, c.palette_index);
            game_set_block_colour(block_palette[c.palette_index]);
            return;
        }
    if (!game_control_pressed(CTL_CUBE_COLOR_SAMPLE)) return;
    HitRecord rec, *hit = &rec;
    map_ray_cast(&p->eye, &p->forward, &hit);
    if (hit && hit->colour) {
        c.palette_index = -1;
        game_set_block_colour(VOXEL_RGB(*hit->colour));
    }
}

void game_select_tool()
{
    PlayerRecord *p = game_local_player();
    if (!p) return;
    LocalControls &c = local_controls;
    int wheel = c.wheel;
    if (!game_tool_usable(p, c.tool)) wheel = -1;
    if (wheel != 0) {
        switch_to(wheel_tool(p, c.tool, wheel));
        return;
    }
    for (int key = DIK_1; key <= DIK_4; key++) {
        int tool = key - DIK_1;
        if (game_key_down(key) && tool != c.tool && game_tool_usable(p, tool)) {
            switch_to(tool);
            return;
        }
    }
    if (game_control_pressed(CTL_LAST_WEAPON)) {
        if (c.last_tool != c.tool && game_tool_usable(p, c.last_tool)) switch_to(c.last_tool);
        return;
    }
    if (start_reload(p)) return;
    colour_keys(p);
}

// ---- routines for the local player ---------------------------------------------------

void game_local_player_died()
{
    PlayerRecord *p = game_local_player();
    if (!p) return;
    LocalControls &c = local_controls;
    if (c.tool == TOOL_GRENADE && p->grenade_fuse_end != 0.0f) game_throw_grenade(p);
    p->primary = p->secondary = 0;
    p->alive = 0;
    game_drop_block_line();
    game_random_unit_vector(&c.death_direction);
    playsound("wav/death.wav", -400);
}

void game_begin_tool_switch(bool with_delay)
{
    if (with_delay) {
        local_controls.next_use = game_time + 0.5f;
        playsound("wav/switch.wav", -300);
    }
    if (PlayerRecord *p = game_local_player()) {
        p->next_use = 0.0f;
        p->grenade_fuse_end = 0.0f;
        if (p->primary || p->secondary) {
            p->primary = p->secondary = 0;
            net_send_fire_keys();
        }
    }
    game_drop_block_line();
}

void game_reset_local_loadout()
{
    LocalControls &c = local_controls;
    c.tool = c.last_tool = TOOL_GUN;
    c.palette_index = 3;
    c.block_colour = block_palette[3];
    c.next_use = game_time + 0.5f;
    if (PlayerRecord *p = game_local_player()) p->primary = p->secondary = 0;
    hud_damage_source = Vec3{0.0f, 0.0f, 0.0f};
    hud_damage_until = 0.0f;
    c.follow = -1;
}

void game_set_block_colour(uint32_t colour)
{
    local_controls.block_colour = colour;
    local_controls.next_use = game_time + 0.2f;
    playsound("wav/switch.wav", -300);
}

void game_finish_tool_switch()
{
    PlayerRecord *p = game_local_player();
    if (!p) return;
    const LocalControls &c = local_controls;
    if (c.tool != p->tool) {
        // A tool the record cannot take is never announced (nor again each frame).
        if (!player_set_tool(p, c.tool)) return;
        p->reload_end = 0.0f;
        net_send_msg(msg_write_tool, ToolMsg{(uint8_t)local_player_id, (uint8_t)c.tool});
    } else if (c.block_colour != p->colour) {
        p->colour = c.block_colour;
        net_send_msg(msg_write_colour, ColourMsg{MSG_BLOCK_COLOUR, (uint8_t)local_player_id, c.block_colour});
    }
}
