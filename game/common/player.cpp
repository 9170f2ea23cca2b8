#include "common/player.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "common/map_query.h"
#include "common/model_table.h"
#include "common/timer.h"
#include "common/weapon.h"

PlayerRecord player_table[PLAYER_MAX];

static void player_clear_controls(PlayerRecord *player)
{
    for (int k = 0; k < KEY_COUNT; k++) player->keys[k] = 0;
    player->primary = 0;
    player->secondary = 0;
}

int player_set_team(PlayerRecord *player, int team)
{
    if (!team_is_player_team(team)) return 0;
    player->team = team;
    SpriteInstance *s = player->sprites;
    if (team == TEAM_BLUE) {
        s[SPRITE_TORSO].model = model_table[MODEL_TORSO_B];
        s[SPRITE_LEG_LEFT].model = model_table[MODEL_LEG_B];
        s[SPRITE_LEG_RIGHT].model = model_table[MODEL_LEG_B];
        s[SPRITE_ARMS].model = model_table[MODEL_ARMS_B];
        s[SPRITE_HEAD].model = model_table[MODEL_HEAD_B];
        s[SPRITE_DEAD].model = model_table[MODEL_DEAD_B];
        s[SPRITE_INTEL].model = model_table[MODEL_INTEL_G];  // carries the other team's intel
    } else if (team == TEAM_GREEN) {
        s[SPRITE_TORSO].model = model_table[MODEL_TORSO_G];
        s[SPRITE_LEG_LEFT].model = model_table[MODEL_LEG_G];
        s[SPRITE_LEG_RIGHT].model = model_table[MODEL_LEG_G];
        s[SPRITE_ARMS].model = model_table[MODEL_ARMS_G];
        s[SPRITE_HEAD].model = model_table[MODEL_HEAD_G];
        s[SPRITE_DEAD].model = model_table[MODEL_DEAD_G];
        s[SPRITE_INTEL].model = model_table[MODEL_INTEL_B];
    }
    return 1;
}

int player_set_held_model(PlayerRecord *player, int tool)
{
    int slot;
    switch (tool) {
    case TOOL_SPADE: slot = MODEL_SPADE_3; break;
    case TOOL_BLOCK: slot = MODEL_BLOCK_3; break;
    case TOOL_GUN: {
        const WeaponInfo *w = weapon_info(player->weapon);
        if (!w) return 0;
        slot = w->held_model;
        break;
    }
    case TOOL_GRENADE: slot = MODEL_GRENADE_3; break;
    default: return 0;
    }
    player->sprites[SPRITE_HELD].model = model_slot(slot);
    return 1;
}

int player_set_tool(PlayerRecord *player, int tool)
{
    if (!tool_is_valid(tool)) return 0;
    if (!player_set_held_model(player, tool)) return 0;
    player->tool = tool;
    return 1;
}

int player_set_weapon(PlayerRecord *player, int weapon)
{
    if (!weapon_is_valid(weapon)) return 0;
    player->weapon = weapon;
    return 1;
}

int player_restock(PlayerRecord *player, int with_magazine)
{
    const WeaponInfo *w = weapon_info(player->weapon);
    if (!w) return 0;
    player->blocks = 50;
    if (with_magazine) player->magazine = w->magazine_size;
    player->reserve = w->reserve_size;
    player->grenades = 3;
    player->health = 100;
    return 1;
}

int player_init(PlayerRecord *player, int id, int team, int weapon, int tool, int kills,
                uint32_t colour, const char *name)
{
    if (!team_is_player_team(team)) return 0;
    bool takes_loadout = team != TEAM_SPECTATOR;
    if (takes_loadout && (!weapon_is_valid(weapon) || !tool_is_valid(tool))) return 0;
    // A spectator keeps the old weapon, which restock indexes.
    if (!takes_loadout && !weapon_is_valid(player->weapon)) return 0;

    SpriteInstance *dead = &player->sprites[SPRITE_DEAD];
    dead->xaxis.z = 0.0f;
    dead->yaxis.z = 0.0f;
    dead->zaxis.x = 0.0f;
    dead->zaxis.y = 0.0f;
    dead->zaxis.z = 0.1f;
    SpriteInstance *torso = &player->sprites[SPRITE_TORSO];
    torso->yaxis.z = 0.0f;
    torso->zaxis.x = 0.0f;
    torso->zaxis.y = 0.0f;
    torso->zaxis.z = 0.1f;
    player->sprites[SPRITE_HEAD].xaxis.z = 0.0f;

    player->position = Vec3{256.0f, 256.0f, 128.0f};
    player->eye = player->position;
    player->velocity = Vec3{0.0f, 0.0f, 0.0f};
    player->right = Vec3{1.0f, 0.0f, 0.0f};
    player->down = Vec3{0.0f, 0.0f, 1.0f};
    player->forward = Vec3{0.0f, -1.0f, 0.0f};
    player_clear_controls(player);
    player_set_team(player, team);
    if (takes_loadout) {
        player->weapon = weapon;
        player->tool = tool;
        player_set_held_model(player, tool);
        player->colour = colour;
        player->kills = kills;
    }
    player->alive = 1;
    player->present = 1;
    player->in_water = 0;
    player->airborne = 0;
    player_restock(player, 1);
    player->climb_time = 0.0f;
    player->next_footstep = 0.0f;
    player->reload_end = 0.0f;
    player->grenade_fuse_end = 0.0f;
    player->next_use = 0.0f;
    player->respawn_time = 0;
    player->last_block_loss = 0;
    player->last_resupply = 0;
    player->on_screen = 0;
    player->under_crosshair = 0;
    player->near = 0;
    player->id = id;
    player->admin = 0;
    player->flood = 0;
    player->secondary = 0;
    size_t n = 0;
    if (name)
        while (n < PLAYER_NAME_SIZE - 1 && name[n]) n++;
    if (n) std::memcpy(player->name, name, n);
    std::memset(player->name + n, 0, PLAYER_NAME_SIZE - n);
    return 1;
}

int player_respawn(PlayerRecord *player, const Vec3 *point)
{
    if (!weapon_is_valid(player->weapon)) return 0;
    SpriteInstance *s = player->sprites;
    if (player->team == TEAM_BLUE) {
        s[SPRITE_TORSO].model = model_table[MODEL_TORSO_B];
        s[SPRITE_LEG_LEFT].model = model_table[MODEL_LEG_B];
        s[SPRITE_LEG_RIGHT].model = model_table[MODEL_LEG_B];
        player->right = Vec3{0.0f, 1.0f, 0.0f};
        player->forward = Vec3{1.0f, 0.0f, 0.0f};
    } else if (player->team == TEAM_GREEN) {
        s[SPRITE_TORSO].model = model_table[MODEL_TORSO_G];
        s[SPRITE_LEG_LEFT].model = model_table[MODEL_LEG_G];
        s[SPRITE_LEG_RIGHT].model = model_table[MODEL_LEG_G];
        player->right = Vec3{0.0f, -1.0f, 0.0f};
        player->forward = Vec3{-1.0f, 0.0f, 0.0f};
    } else {
        player->right = Vec3{1.0f, 0.0f, 0.0f};
        player->forward = Vec3{0.0f, -1.0f, 0.0f};
    }
    player->down = Vec3{0.0f, 0.0f, 1.0f};
    player_set_held_model(player, TOOL_GUN);
    player->position = Vec3{point->x, point->y, point->z - 2.4f};
    player->eye = player->position;
    player->velocity = Vec3{0.0f, 0.0f, 0.0f};
    player_clear_controls(player);
    player->tool = TOOL_GUN;
    player->colour = 0x7F7F7F;
    player->alive = 1;
    player->grenade_fuse_end = 0.0f;
    player->next_use = 0.0f;
    player->in_water = 0;
    player->airborne = 0;
    player->climb_time = 0.0f;
    player->next_footstep = 0.0f;
    player->reload_end = 0.0f;
    player_restock(player, 1);
    return 1;
}

int player_body_holds_cell(const PlayerRecord *player, int32_t x, int32_t y, int32_t z)
{
    const float dx = player->eye.x - ((float)x + 0.5f), dy = player->eye.y - ((float)y + 0.5f),
                dz = player->eye.z - ((float)z + 0.5f);
    const float feet = -1.85f - 0.9f * (float)(1 - (player->keys[KEY_CROUCH] != 0));
    return !(std::fabs(dx) >= 0.95f || std::fabs(dy) >= 0.95f || dz >= 0.95f || dz <= feet);
}

int player_cells_outside_body(const PlayerRecord *player, BlockCell *cells, int n)
{
    int kept = 0;
    for (int i = 0; i < n; i++)
        if (!player_body_holds_cell(player, cells[i].x, cells[i].y, cells[i].z)) cells[kept++] = cells[i];
    return kept;
}

void player_set_position(PlayerRecord *player, const Vec3 *point)
{
    player->position = *point;
    player->eye = *point;
    float d = (float)(player->climb_time - game_time);
    if (d > -0.25f) player->eye.z = point->z + (d + 0.25f) / 0.25f;
}

int player_set_orientation(PlayerRecord *player, const Vec3 *forward)
{
    Vec3 f = *forward;
    if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.z)) return 0;
    // Senders pass their camera's unit vector: kept bit for bit, so that every
    // program derives the same axes and moves the player the same way. Any
    // other length is scaled to 1 (in double: no overflow or underflow), so a
    // long vector cannot speed up movement or throws.
    double fx = f.x, fy = f.y, fz = f.z;
    double len2 = fx * fx + fy * fy + fz * fz;
    if (!(len2 >= 0.98 && len2 <= 1.02)) {
        if (len2 == 0.0) return 0;
        double len = std::sqrt(len2);
        f = Vec3{(float)(fx / len), (float)(fy / len), (float)(fz / len)};
    }
    // Right and down in single precision from the stored forward, as every
    // receiver of the vector computes them. Too little horizontal part (none,
    // or so little that its square is not a normal float) has no direction.
    float h2 = f.x * f.x + f.y * f.y;
    if (!(h2 >= FLT_MIN)) return 0;
    float l = std::sqrt(h2);
    Vec3 r = {-f.y / l, f.x / l, 0.0f};
    player->forward = f;
    player->right = r;
    player->down = Vec3{-f.z * r.y, f.z * r.x, f.x * r.y - f.y * r.x};
    return 1;
}

int player_moved_beyond(const Vec3 *a, const Vec3 *b, float limit)
{
    return std::fabs(a->x - b->x) > limit || std::fabs(a->y - b->y) > limit ||
           std::fabs(a->z - b->z) > limit;
}

int player_aim_box_test(int id, float x, float y, float z, float r)
{
    const PlayerRecord *p = player_get(id);
    if (!p) return 0;
    return map_aim_box_test(&p->eye, &p->forward, &p->right, &p->down, x, y, z, r);
}

void player_sort_by_kills(int order[PLAYER_MAX])
{
    for (int i = 0; i < PLAYER_MAX; i++) order[i] = i;
    for (int i = 1; i < PLAYER_MAX; i++) {
        int v = order[i];
        int j = i;
        while (j > 0 && player_table[order[j - 1]].kills < player_table[v].kills) {
            order[j] = order[j - 1];
            j--;
        }
        order[j] = v;
    }
}
