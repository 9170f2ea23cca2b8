#include "client/hud_frame.h"

#include <cmath>
#include <cstdio>

#include "client/game_controls.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/hud_canvas.h"
#include "client/hud_gauges.h"
#include "client/hud_map.h"
#include "client/hud_overlay.h"
#include "client/hud_score.h"
#include "client/hud_view.h"
#include "client/hud_world.h"
#include "client/menu_pictures.h"
#include "client/net_client.h"
#include "client/net_dispatch.h"
#include "client/net_stats.h"
#include "client/player_update.h"
#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "common/player.h"
#include "common/protocol.h"
#include "common/timer.h"
#include "platform/plat_display.h"
#include "platform/plat_input.h"
#include "platform/plat_sound.h"
#include "renderer/vox_camera.h"
#include "renderer/vox_world.h"

#define TERRITORY_REACH 16.0f // a territory's bar shows within this on x and y

// Frames drawn in game; its low five bits choose the map row re-shaded.
static uint32_t hud_frame_counter;

// The capture bar of the first territory within reach that is being taken.
static void hud_draw_territory_bar(const PlayerRecord *me)
{
    int n = game_objective_count();
    if (n > world_object_count) n = world_object_count;
    for (int i = 0; i < n; i++) {
        const ObjectiveState &t = mode_objectives[i];
        const Vec3 &at = world_objects[i].position;
        if (!(std::fabs(at.x - me->position.x) < TERRITORY_REACH && std::fabs(at.y - me->position.y) < TERRITORY_REACH))
            continue;
        if (!(t.progress > 0.0f && t.progress < 1.0f)) continue;
        const uint32_t fill = client_state.team[game_team_slot(t.capturing_team)].colour | 0xFF000000u;
        const uint32_t back = t.owner == 0 || t.owner == 1 ? client_state.team[t.owner].colour | 0xFF000000u : 0xFF000000u;
        hud_draw_progress_bar(t.progress, fill, back);
        return;
    }
}

// The HUD of a living player on a team: crosshair or scope, objective in
// view, tool switch or the tool in hand, capture bar, hints and gauges.
static void hud_draw_alive(PlayerRecord *me)
{
    const LocalControls &c = local_controls;
    hud_draw_crosshair(me);
    hud_draw_view_objective();
    const float left = (float)(c.next_use - game_time);
    const bool switching = left > 0.0f;
    float offset = 0.0f;
    if (switching) {
        offset = left;
        hud_draw_tool_switch(me);
    } else {
        game_finish_tool_switch();
    }
    if (!me->keys[KEY_SPRINT] && !c.team_menu_open && !c.weapon_menu_open) hud_draw_view_tool(me, offset, offset);
    if (client_state.game_mode == GAME_MODE_TC) hud_draw_territory_bar(me);
    hud_unlock();
    if (me->magazine == 0 && !switching)
        hud_draw_centre_alert(lang_get(LANG_MAGAZINE_EMPTY), client_state.empty_hint_until, game_time,
                              getframesurface(), hud_width(), hud_height());
    hud_draw_ammo(me);
    hud_draw_health(me);
    hud_draw_damage_marker(me);
}

void game_draw_frame()
{
    if (!hud_lock()) return;
    PlayerRecord *me = game_local_player();
    const LocalControls &c = local_controls;
    const int32_t w = hud_width(), h = hud_height();
    if (me && !me->present) me = nullptr; // not spawned yet: no view of his own
    if (me) {
        // The world from the eye; aiming the gun zooms in twice.
        setviewpoint(&me->eye, &me->right, &me->down, &me->forward, w / 2, h / 2, game_is_aiming_gun(me) ? w : w / 2);
        setlistener(me->eye, me->forward, me->down);
        renderworld();
        hud_frame_counter++;
        const ViewCamera &cam = vox_camera;
        map_reshade_row((int32_t)(hud_frame_counter & 31) - 16, cam.pos.x, cam.pos.y, cam.forward.x, cam.forward.y);
        hud_draw_players();
        hud_draw_objects();
        BlockCell start, end;
        const int cursor = game_block_line_cells(&start, &end);
        if (cursor && me->team >= 0 && me->alive && c.tool == TOOL_BLOCK)
            hud_draw_block_line(&start, cursor == 2 ? &end : nullptr, me);
        hud_view_camera();
    }
    if (me) {
        if (me->team >= 0 && me->alive) {
            hud_draw_alive(me);
        } else if (me->team >= 0) {
            hud_unlock();
            hud_draw_respawn_count(me->respawn_time, &hud_respawn_last_beep);
            if (c.follow >= 0) hud_text_centred(HUD_FONT_LARGE, lang_get(LANG_FOLLOWING), 0, 0xFFFF00u);
        }
        hud_draw_name_tag();
        hud_unlock();
        if (c.big_map)
            hud_draw_big_map();
        else
            hud_draw_minimap();
    }
    hud_unlock();
    if (c.team_menu_open)
        menu_draw_team_choice();
    else if (c.weapon_menu_open)
        menu_draw_weapon_choice();
    hud_draw_chat();
    hud_draw_kill_feed();
    const int score_key = key_bindings.key[CTL_VIEW_SCORE];
    if (score_key >= 0 && score_key < 256 && keystates.current[score_key] && c.chat_mode == CHAT_CLOSED) {
        hud_draw_scoreboard(1);
        char ping[32];
        snprintf(ping, sizeof ping, "PING: %ums", net_server_peer ? (unsigned)net_server_peer->roundTripTime : 0u);
        hud_text6x8(w / 2 - 30, 48, 0xFF0000u, ping);
    }
    if (game_time < hud_announce_until) hud_draw_big_message();
    if (c.net_graph) hud_draw_net_graph();
    if (c.quit_open) hud_draw_quit_prompt();
    hud_unlock();
}
