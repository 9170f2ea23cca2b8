#include "client/game_mode.h"

#include <cmath>

#include "client/game_assets.h"
#include "client/game_objects.h"
#include "client/game_state.h"
#include "common/mode_objective.h"
#include "common/model_table.h"

GameModeHooks game_mode_hooks;

static const GameModeHooks ctf_hooks = {game_ctf_read_state, hud_ctf_map_icon, hud_ctf_held_intel_model};
static const GameModeHooks tc_hooks = {game_tc_read_state, hud_tc_map_icon, hud_tc_territory_model};

void game_select_mode(int mode)
{
    client_state.game_mode = mode == GAME_MODE_CTF ? GAME_MODE_CTF : GAME_MODE_TC;
    game_mode_hooks = mode == GAME_MODE_CTF ? ctf_hooks : tc_hooks;
}

int game_objective_count()
{
    return mode_objective_count < OBJECTIVE_MAX ? (int)mode_objective_count : OBJECTIVE_MAX;
}

void game_advance_capture()
{
    if (client_state.game_mode == GAME_MODE_TC) mode_advance_capture();
}

// An intel is carried by a player id, or by nobody when the id is not one.
static void game_ctf_intel(int i, bool carried, uint8_t carrier, const Vec3 *position)
{
    WorldObject *o = &world_objects[i];
    if (carried) {
        wobj_set_kind(o, OBJECT_CARRIED);
        mode_objectives[i].owner = carrier < PLAYER_MAX ? carrier : -1;
    } else {
        wobj_set_kind(o, OBJECT_LYING);
        mode_objectives[i].owner = -1;
        o->position = *position;
    }
}

void game_ctf_read_state(const GameStateMsg *m)
{
    const CtfState &c = m->ctf;
    mode_objective_count = 4;
    client_state.score[0] = (int32_t)c.score[0];
    client_state.score[1] = (int32_t)c.score[1];
    capture_limit = (int32_t)c.capture_limit;
    world_objects[2].position = c.base[0];
    world_objects[3].position = c.base[1];
    game_ctf_intel(1, (c.flags & CTF_INTEL1_CARRIED) != 0, c.carrier[1], &c.intel[1]);
    game_ctf_intel(0, (c.flags & CTF_INTEL0_CARRIED) != 0, c.carrier[0], &c.intel[0]);
}

void game_tc_read_state(const GameStateMsg *m)
{
    uint32_t n = m->tc.count < OBJECTIVE_MAX ? m->tc.count : OBJECTIVE_MAX;
    mode_objective_count = n;
    for (uint32_t i = 0; i < n; i++) {
        int32_t owner = m->tc.territory[i].owner;
        mode_objectives[i].owner = owner == 0 || owner == 1 ? owner : TEAM_NEUTRAL;
        wobj_set_kind(&world_objects[i], OBJECT_LYING);
        world_objects[i].position = m->tc.territory[i].pos;
    }
}

void hud_ctf_map_icon(int index, int *bitmap, uint32_t *colour)
{
    *bitmap = index < 2 ? BMP_INTEL : BMP_MEDICAL;
    *colour = client_state.team[index < 2 ? index & 1 : (index - 2) & 1].colour;
}

void hud_tc_map_icon(int index, int *bitmap, uint32_t *colour)
{
    *bitmap = BMP_COMMAND;
    int owner = index >= 0 && index < OBJECTIVE_MAX ? mode_objectives[index].owner : TEAM_NEUTRAL;
    *colour = owner == 0 || owner == 1 ? client_state.team[owner].colour : 0xFFFFFFu;
}

Kv6Model *game_territory_model(int owner)
{
    return model_slot(owner == 0 ? MODEL_CP_B : owner == 1 ? MODEL_CP_G : MODEL_CP_N);
}

Kv6Model *hud_ctf_held_intel_model()
{
    const PlayerRecord *p = game_local_player();
    if (!p) return nullptr;
    int other = p->team == TEAM_BLUE ? 1 : 0;
    if (mode_objectives[other].owner != local_player_id) return nullptr;
    return model_slot(p->team == TEAM_BLUE ? MODEL_INTEL_G : MODEL_INTEL_B);
}

Kv6Model *hud_tc_territory_model()
{
    const PlayerRecord *p = game_local_player();
    if (!p) return nullptr;
    int n = game_objective_count();
    for (int i = 0; i < n; i++) {
        const Vec3 &t = world_objects[i].position;
        if (std::fabs(t.x - p->eye.x) < 16.0f && std::fabs(t.y - p->eye.y) < 16.0f)
            return game_territory_model(mode_objectives[i].owner);
    }
    return nullptr;
}

void game_setup_objective_objects()
{
    int n = game_objective_count();
    if (client_state.game_mode == GAME_MODE_CTF) {
        static const int models[4] = {MODEL_INTEL_B, MODEL_INTEL_G, MODEL_CP_B, MODEL_CP_G};
        for (int i = 0; i < 4; i++) {
            world_objects[i].model = model_slot(models[i]);
            wobj_set_scale(&world_objects[i], i < 2 ? 0.2f : 0.3f);
        }
        wobj_set_kind(&world_objects[2], OBJECT_LYING);
        wobj_set_kind(&world_objects[3], OBJECT_LYING);
    } else {
        for (int i = 0; i < n; i++) {
            world_objects[i].model = game_territory_model(mode_objectives[i].owner);
            wobj_set_scale(&world_objects[i], 0.3f);
        }
    }
    world_objective_count = n;
    world_object_count = n;
}
