#include "common/player_physics.h"

#include "common/map_query.h"
#include "common/timer.h"

// Box: 0.9 wide; heights relative to the reference r = position.z + e.
#define BOX_HALF 0.45f
#define STAND_OFFSET 0.9f
#define STAND_HALF 1.35f
#define CROUCH_OFFSET 0.45f
#define CROUCH_HALF 0.9f
#define JUMP_VELOCITY -0.36f

static int corners_solid(float x, float y, float z)
{
    return map_is_solid_at(x - BOX_HALF, y - BOX_HALF, z) || map_is_solid_at(x - BOX_HALF, y + BOX_HALF, z) ||
           map_is_solid_at(x + BOX_HALF, y - BOX_HALF, z) || map_is_solid_at(x + BOX_HALF, y + BOX_HALF, z);
}

// Heights of the side tests, relative to the reference: standing, crouched,
// and one block higher for the step up. Lower offsets are nearer the feet.
static const float side_stand[] = {1.35f, 0.45f, -0.45f, -1.35f};
static const float side_crouch[] = {0.9f, 0.0f, -0.9f};
static const float side_climb[] = {0.35f, -0.55f, -1.45f, -2.35f};

// The two corners of the leading face at x = edge (or y = edge when along_y),
// at each height r + o.
static int face_blocked(float edge, float side, bool along_y, float r, const float *o, int n)
{
    for (int i = 0; i < n; i++) {
        float z = r + o[i];
        if (along_y) {
            if (map_is_solid_at(side - BOX_HALF, edge, z) || map_is_solid_at(side + BOX_HALF, edge, z)) return 1;
        } else {
            if (map_is_solid_at(edge, side - BOX_HALF, z) || map_is_solid_at(edge, side + BOX_HALF, z)) return 1;
        }
    }
    return 0;
}

void player_move_box(PlayerRecord *player)
{
    const bool crouched = player->keys[KEY_CROUCH] != 0;
    const float e = crouched ? CROUCH_OFFSET : STAND_OFFSET;
    const float d = crouched ? CROUCH_HALF : STAND_HALF;
    const float *side = crouched ? side_crouch : side_stand;
    const int sides = crouched ? 3 : 4;
    const float s = game_step * 32.0f;
    const bool may_climb = !crouched && player->forward.z < 0.5f && !player->keys[KEY_SPRINT];
    Vec3 p = player->position;
    Vec3 *v = &player->velocity;
    const float r = p.z + e;
    bool climbed = false;

    float nx = p.x + v->x * s;
    float edge = v->x < 0.0f ? nx - BOX_HALF : nx + BOX_HALF;
    if (!face_blocked(edge, p.y, false, r, side, sides)) {
        p.x = nx;
    } else if (may_climb && !face_blocked(edge, p.y, false, r, side_climb, 4)) {
        p.x = nx;
        climbed = true;
    } else {
        v->x = 0.0f;
    }

    float ny = p.y + v->y * s;
    edge = v->y < 0.0f ? ny - BOX_HALF : ny + BOX_HALF;
    if (!face_blocked(edge, p.x, true, r, side, sides)) {
        p.y = ny;
    } else if (climbed) {
        // The step up already taken on x keeps the y velocity.
    } else if (may_climb && !face_blocked(edge, p.x, true, r, side_climb, 4)) {
        p.y = ny;
        climbed = true;
    } else {
        v->y = 0.0f;
    }

    float h, candidate;
    if (climbed) {
        v->x *= 0.5f;
        v->y *= 0.5f;
        player->climb_time = game_time;
        h = r - 1.0f - 1.35f;
        candidate = r - 1.0f;
    } else {
        candidate = r + v->z * s;
        h = candidate + (v->z >= 0.0f ? d : -d);
    }

    player->airborne = 1;
    if (corners_solid(p.x, p.y, h)) {
        if (v->z >= 0.0f) {
            player->in_water = p.z > 61.0f;
            player->airborne = 0;
        }
        v->z = 0.0f;
    } else {
        p.z = candidate - e;
    }
    player_set_position(player, &p);
}

int player_physics_step(PlayerRecord *player)
{
    Vec3 *v = &player->velocity;
    if (player->keys[KEY_JUMP]) {
        player->keys[KEY_JUMP] = 0;
        v->z = JUMP_VELOCITY;
    }

    float a = game_step;
    if (player->airborne)
        a *= 0.1f;
    else if (player->keys[KEY_CROUCH])
        a *= 0.3f;
    else if ((player->secondary && player->tool == TOOL_GUN) || player->keys[KEY_SNEAK])
        a *= 0.5f;
    else if (player->keys[KEY_SPRINT])
        a *= 1.3f;

    const int *k = player->keys;
    if ((k[KEY_FORWARD] || k[KEY_BACKWARD]) && (k[KEY_LEFT] || k[KEY_RIGHT])) a *= 0.70710677f;
    if (k[KEY_FORWARD]) {
        v->x += a * player->forward.x;
        v->y += a * player->forward.y;
    } else if (k[KEY_BACKWARD]) {
        v->x -= a * player->forward.x;
        v->y -= a * player->forward.y;
    }
    if (k[KEY_LEFT]) {
        v->x -= a * player->right.x;
        v->y -= a * player->right.y;
    } else if (k[KEY_RIGHT]) {
        v->x += a * player->right.x;
        v->y += a * player->right.y;
    }

    v->z = (v->z + game_step) / (game_step + 1.0f);
    const float w = v->z;
    float g = game_step + 1.0f;
    if (player->in_water)
        g = 6.0f * game_step + 1.0f;
    else if (!player->airborne)
        g = 4.0f * game_step + 1.0f;
    v->x /= g;
    v->y /= g;

    player_move_box(player);

    if (v->z != 0.0f || w <= 0.24f) return 0;
    v->x *= 0.5f;
    v->y *= 0.5f;
    if (w <= 0.58f) return -1;
    float t = w - 0.58f;
    return (int)(t * t * 4096.0f);
}

int player_try_stand_up(PlayerRecord *player)
{
    Vec3 *p = &player->position;
    if (player->airborne && !corners_solid(p->x, p->y, p->z + 2.25f)) return 1;
    if (corners_solid(p->x, p->y, p->z - 1.35f)) return 0;
    p->z -= 0.9f;
    return 1;
}
