#include "client/game_camera.h"

#include <cmath>

#include "client/game_controls.h"
#include "client/game_main.h"
#include "client/game_random.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/player_update.h"
#include "common/map_query.h"
#include "common/map_ray.h"
#include "common/player.h"
#include "platform/plat_input.h"
#include "platform/plat_sound.h"
#include "renderer/vox_player.h"

#define FOLLOW_DISTANCE 5.0f
#define HALF_CELL_DIAGONAL 0.8660254f // sqrt(3) / 2

static bool button_pressed(uint32_t button)
{
    return (local_controls.buttons & button) != 0 && (local_controls.prev_buttons & button) == 0;
}

int game_next_player_filter(const PlayerRecord *p) { return p->present && p->team >= 0 && p->alive; }

int game_next_teammate_filter(const PlayerRecord *p)
{
    const PlayerRecord *me = game_local_player();
    return p->present && p->team >= 0 && me && p->team == me->team;
}

int game_next_slot(int from, int step, bool (*accept)(const PlayerRecord *p))
{
    // The mask keeps every step inside the table, -1 and below 0 included.
    for (int k = 1; k <= PLAYER_MAX; k++) {
        int slot = (from + step * k) & (PLAYER_MAX - 1);
        if (accept(&player_table[slot])) return slot;
    }
    return -1;
}

// A click steps the followed player through the slots that `accept` passes.
static int step_by_clicks(int from, bool (*accept)(const PlayerRecord *p))
{
    if (button_pressed(MOUSE_LEFT)) return game_next_slot(from, 1, accept);
    if (button_pressed(MOUSE_RIGHT)) return game_next_slot(from, -1, accept);
    return -1;
}

// This frame's mouse motion as pitch and yaw angles.
static void mouse_angles(float factor, float *pitch, float *yaw)
{
    const LocalControls &c = local_controls;
    *yaw = (float)c.mouse_dx * factor;
    *pitch = client_settings.invert_y ? -(float)c.mouse_dy * factor : (float)c.mouse_dy * factor;
}

void game_view_update(PlayerRecord *p, float pitch_kick, float yaw_kick)
{
    float factor = client_settings.look_factor;
    float w = game_is_aiming_gun(p) ? factor / 2.0f : factor;
    float pitch, yaw;
    mouse_angles(w, &pitch, &yaw);
    pitch += pitch_kick;
    yaw += yaw_kick;
    Vec3 &r = p->right, &d = p->down, &f = p->forward;
    if ((f.z < 0.0f && d.z + pitch < 0.05f) || (f.z > 0.0f && d.z - pitch < 0.05f)) pitch = 0.0f;
    // Rounding can put |forward.z| a hair above 1: no root of a negative.
    float near_pole = 1.0f - f.z * f.z * f.z * f.z;
    rotateaxes(0.0f, pitch, yaw * std::sqrt(near_pole > 0.0f ? near_pole : 0.0f), &r, &d, &f);
    rotateaxes(std::atan2(r.z, d.z), 0.0f, 0.0f, &r, &d, &f);
}

void game_death_bounce(const PlayerRecord *p)
{
    LocalControls &c = local_controls;
    if (c.follow != -1) return;
    if (std::fabs(p->velocity.z) < 0.01f) {
        c.follow = local_player_id;
    } else {
        game_random_unit_vector(&c.death_direction);
        playsound("wav/bounce.wav", -300);
    }
}

void game_death_camera(PlayerRecord *p)
{
    LocalControls &c = local_controls;
    if (c.follow >= 0) {
        game_follow_camera();
        return;
    }
    const float angle = game_frame_time;
    spinaboutaxis(&p->right, &c.death_direction, angle);
    spinaboutaxis(&p->down, &c.death_direction, angle);
    spinaboutaxis(&p->forward, &c.death_direction, angle);
    p->eye = p->position;
}

static bool teammate(const PlayerRecord *p) { return game_next_teammate_filter(p) != 0; }

void game_follow_camera()
{
    PlayerRecord *me = game_local_player();
    if (!me) return;
    LocalControls &c = local_controls;
    int next = step_by_clicks(c.follow, teammate);
    if (next >= 0) c.follow = next;
    float pitch, yaw;
    mouse_angles(client_settings.look_factor, &pitch, &yaw);
    rotateaxes(game_frame_time * me->right.z * 8.0f, pitch, yaw, &me->right, &me->down, &me->forward);

    const PlayerRecord *t = player_get(c.follow);
    if (!t || !game_pose_valid(t)) return;
    const Vec3 &at = t->position;
    Vec3 back = {-me->forward.x, -me->forward.y, -me->forward.z};
    HitRecord rec, *hit = &rec;
    map_ray_cast(&at, &back, &hit);
    float distance = FOLLOW_DISTANCE;
    if (hit) {
        float d = math_distance3((float)hit->x + 0.5f, (float)hit->y + 0.5f, (float)hit->z + 0.5f, at.x, at.y, at.z);
        if (d < FOLLOW_DISTANCE + HALF_CELL_DIAGONAL) distance = d > HALF_CELL_DIAGONAL ? d - HALF_CELL_DIAGONAL : 0.0f;
    }
    me->eye = Vec3{at.x + back.x * distance, at.y + back.y * distance, at.z + back.z * distance};
}

static bool living_player(const PlayerRecord *p) { return game_next_player_filter(p) && game_pose_valid(p); }

// A coordinate's cell (its integer part), kept inside the int range.
static int32_t cell(float v) { return v < -1.0e6f ? -1000000 : v > 1.0e6f ? 1000000 : (int32_t)v; }

static float wrap_map(float v) { return v - std::floor(v / 512.0f) * 512.0f; }

void game_spectator_camera()
{
    PlayerRecord *me = game_local_player();
    if (!me) return;
    LocalControls &c = local_controls;
    const float dt = game_frame_time;
    int next = step_by_clicks(c.follow, living_player);
    if (next >= 0) {
        const PlayerRecord *t = &player_table[next];
        c.follow = next;
        me->velocity = Vec3{0.0f, 0.0f, 0.0f};
        me->eye = t->eye;
        me->right = t->right;
        me->down = t->down;
        me->forward = t->forward;
    }

    Vec3 &v = me->velocity, &e = me->eye;
    if (c.chat_mode == CHAT_CLOSED) {
        if (game_control_down(CTL_CHANGE_TEAM) || game_control_down(CTL_CHANGE_WEAPON)) {
            game_consume_key(key_bindings.key[CTL_CHANGE_TEAM]);
            game_consume_key(key_bindings.key[CTL_CHANGE_WEAPON]);
            menu_open_team_menu(JOIN_SPECTATOR);
        }
        float h = game_control_down(CTL_SPRINT) ? 2.0f * dt : game_control_down(CTL_SNEAK) ? dt / 2.0f : dt;
        auto push = [&](const Vec3 &dir, float k) {
            v.x += k * dir.x;
            v.y += k * dir.y;
            v.z += k * dir.z;
        };
        if (game_control_down(CTL_JUMP))
            push(me->down, -h);
        else if (game_control_down(CTL_CROUCH))
            push(me->down, h);
        if (game_control_down(CTL_MOVE_FORWARD))
            push(me->forward, h);
        else if (game_control_down(CTL_MOVE_BACKWARD))
            push(me->forward, -h);
        if (game_control_down(CTL_MOVE_LEFT))
            push(me->right, -h);
        else if (game_control_down(CTL_MOVE_RIGHT))
            push(me->right, h);
    }
    v.x /= dt + 1.0f;
    v.y /= dt + 1.0f;
    v.z /= dt + 1.0f;

    // One axis at a time, never into a solid cell; x and y wrap round the map.
    const float g = dt * 32.0f;
    float nx = wrap_map(e.x + v.x * g);
    if (map_is_solid(cell(nx), cell(e.y), cell(e.z)))
        v.x = 0.0f;
    else
        e.x = nx;
    float ny = wrap_map(e.y + v.y * g);
    if (map_is_solid(cell(e.x), cell(ny), cell(e.z)))
        v.y = 0.0f;
    else
        e.y = ny;
    float nz = e.z + v.z * g;
    if (nz > -64.0f && !map_is_solid(cell(e.x), cell(e.y), cell(nz)))
        e.z = nz;
    else
        v.z = 0.0f;

    float pitch, yaw;
    mouse_angles(client_settings.look_factor, &pitch, &yaw);
    rotateaxes(dt * me->right.z * 4.0f, pitch, yaw, &me->right, &me->down, &me->forward);
}
