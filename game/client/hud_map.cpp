#include "client/hud_map.h"

#include <cmath>

#include "client/game_assets.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_state.h"
#include "client/hud_canvas.h"
#include "client/player_update.h"
#include "common/player.h"
#include "renderer/vox_blit.h"

#define LOCAL_ARROW_COLOUR 0x00FFFFu
#define MINIMAP_SIZE 128
#define MINIMAP_HALF 64
#define MINIMAP_RIGHT 15 // window from W - 143 to W - 15, lines 15 to 143
#define MINIMAP_TOP 15

// A map position (or offset) as the nearest integer, halves to even.
static int32_t map_int(float v)
{
    int32_t out;
    math_round_int(v, &out);
    return out;
}

// The whole-block part of a coordinate; 0 for one that is no map position.
static int32_t map_trunc(float v) { return std::fabs(v) < 1.0e9f ? (int32_t)v : 0; }

// Whom the local player sees on the maps: another player, present, on a
// team and alive, who is his team-mate (anyone when he is a spectator).
static bool map_shows(const PlayerRecord *me, int id)
{
    const PlayerRecord &p = player_table[id];
    return id != local_player_id && p.present && p.team >= 0 && p.alive && game_pose_valid(&p) &&
           (me->team == TEAM_SPECTATOR || p.team == me->team);
}

// The objectives on the map: each one not carried, through the mode's
// marker hook. `place` turns a map position into the marker's screen point.
template <typename Place> static void map_objectives(Place place)
{
    if (!game_mode_hooks.map_icon) return;
    int n = game_objective_count();
    if (n > world_object_count) n = world_object_count;
    for (int i = 0; i < n; i++) {
        const WorldObject *o = &world_objects[i];
        if (wobj_kind(o) == OBJECT_CARRIED) continue;
        int bitmap = -1;
        uint32_t colour = 0;
        game_mode_hooks.map_icon(i, &bitmap, &colour);
        int32_t x, y;
        place(o->position, &x, &y);
        hud_icon(bitmap, x, y, 1, 0.0f, colour);
    }
}

void hud_draw_big_map()
{
    const PlayerRecord *me = game_local_player();
    if (!me) return;
    const int32_t w = hud_width(), h = hud_height();
    const int32_t x0 = w / 2 - OVERVIEW_SIZE / 2, y0 = h / 2 - OVERVIEW_SIZE / 2;
    if (hud_lock()) {
        blitpicturepx(overview_map, OVERVIEW_SIZE, OVERVIEW_SIZE, OVERVIEW_SIZE / 2, OVERVIEW_SIZE / 2, w / 2, h / 2,
                      1.0f, 1.0f, 0);
        hud_rectangle(x0, y0, w / 2 + OVERVIEW_SIZE / 2, h / 2 + OVERVIEW_SIZE / 2);
    }
    map_objectives([&](const Vec3 &p, int32_t *x, int32_t *y) {
        *x = x0 + map_int(p.x);
        *y = y0 + map_int(p.y);
    });
    const int32_t count = world_object_count < WORLD_OBJECT_MAX ? world_object_count : WORLD_OBJECT_MAX;
    for (int i = 0; i < count; i++) {
        const WorldObject *o = &world_objects[i];
        const Vec3 &p = o->position;
        if (wobj_kind(o) != OBJECT_TRACER || !(p.x >= 0.0f && p.x < 512.0f && p.y >= 0.0f && p.y < 512.0f)) continue;
        hud_icon(BMP_TRACER, x0 + map_int(p.x), y0 + map_int(p.y), 1, hud_heading(o->yaxis.x, o->yaxis.y), 0xFFFFFFu);
    }
    for (int i = 0; i < PLAYER_MAX; i++) {
        if (!map_shows(me, i)) continue;
        const PlayerRecord &p = player_table[i];
        hud_icon(BMP_PLAYER, x0 + map_int(p.position.x), y0 + map_int(p.position.y), 1,
                 hud_heading(p.forward.x, p.forward.y), client_state.team[p.team & 1].colour);
    }
    for (int i = 0; i < 8; i++) {
        const char letter[2] = {(char)('A' + i), 0}, digit[2] = {(char)('1' + i), 0};
        hud_text6x8(x0 + 29 + 64 * i, y0 - 7, 0xFFFFFFu, letter);
        hud_text6x8(x0 - 7, y0 + 29 + 64 * i, 0xFFFFFFu, digit);
    }
    hud_icon(BMP_PLAYER, x0 + map_int(me->eye.x), y0 + map_int(me->eye.y), 1, hud_heading(me->forward.x, me->forward.y),
             LOCAL_ARROW_COLOUR);
}

void hud_draw_minimap()
{
    const PlayerRecord *me = game_local_player();
    if (!me) return;
    const int32_t w = hud_width();
    const int32_t left = w - MINIMAP_SIZE - MINIMAP_RIGHT, right = w - MINIMAP_RIGHT;
    const int32_t top = MINIMAP_TOP, bottom = MINIMAP_TOP + MINIMAP_SIZE;
    const int32_t cx = left + MINIMAP_HALF, cy = top + MINIMAP_HALF;
    const Vec3 &at = me->eye;
    if (hud_lock()) {
        static uint32_t window[MINIMAP_SIZE * MINIMAP_SIZE];
        const int32_t sx = map_trunc(at.x) - MINIMAP_HALF, sy = map_trunc(at.y) - MINIMAP_HALF;
        for (int32_t j = 0; j < MINIMAP_SIZE; j++) {
            const uint32_t *row = &overview_map[((sy + j) & (OVERVIEW_SIZE - 1)) * OVERVIEW_SIZE];
            for (int32_t i = 0; i < MINIMAP_SIZE; i++)
                window[j * MINIMAP_SIZE + i] = row[(sx + i) & (OVERVIEW_SIZE - 1)];
        }
        blitpicturepx(window, MINIMAP_SIZE, MINIMAP_SIZE, 0, 0, left, top, 1.0f, 1.0f, 0);
        hud_rectangle(left - 1, top - 1, right, bottom);
    }
    // Distant objectives sit on the window's edge in their direction.
    map_objectives([&](const Vec3 &p, int32_t *x, int32_t *y) {
        const int32_t mx = cx + map_int(p.x - at.x), my = cy + map_int(p.y - at.y);
        *x = mx < left ? left : (mx > right ? right : mx);
        *y = my < top ? top : (my > bottom ? bottom : my);
    });
    const int32_t count = world_object_count < WORLD_OBJECT_MAX ? world_object_count : WORLD_OBJECT_MAX;
    for (int i = 0; i < count; i++) {
        const WorldObject *o = &world_objects[i];
        const float dx = o->position.x - at.x, dy = o->position.y - at.y;
        if (wobj_kind(o) != OBJECT_TRACER || !(std::fabs(dx) < MINIMAP_HALF && std::fabs(dy) < MINIMAP_HALF)) continue;
        hud_icon(BMP_TRACER, cx + map_int(dx), cy + map_int(dy), 1, hud_heading(o->yaxis.x, o->yaxis.y), 0xFFFFFFu);
    }
    for (int i = 0; i < PLAYER_MAX; i++) {
        const PlayerRecord &p = player_table[i];
        const float dx = p.position.x - at.x, dy = p.position.y - at.y;
        if (!map_shows(me, i) || !p.near || !(std::fabs(dx) <= MINIMAP_HALF && std::fabs(dy) <= MINIMAP_HALF)) continue;
        hud_icon(BMP_PLAYER, cx + map_int(dx), cy + map_int(dy), 1, hud_heading(p.forward.x, p.forward.y),
                 client_state.team[p.team & 1].colour);
    }
    hud_icon(BMP_PLAYER, cx, cy, 1, hud_heading(me->forward.x, me->forward.y), LOCAL_ARROW_COLOUR);
}
