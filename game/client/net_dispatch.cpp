#include "client/net_dispatch.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "client/game_controls.h"
#include "client/game_fatal.h"
#include "platform/plat_sound.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_state.h"
#include "client/net_checks.h"
#include "client/net_client.h"
#include "client/net_loading.h"
#include "common/feed.h"
#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/map_block_line.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/mode_objective.h"
#include "common/model_table.h"
#include "common/timer.h"
#include "common/weapon.h"
#include "renderer/vox_world.h"

Vec3 hud_damage_source;
double hud_damage_until;
char hud_announce_text[HUD_TEXT_SIZE];
double hud_announce_until;
int64_t hud_respawn_last_beep;

// ---- helpers -------------------------------------------------------------------

static const char *team_slot_name(int team) { return client_state.team[game_team_slot(team)].name; }

// A present player named by a message, or null.
static PlayerRecord *present_player(int id)
{
    PlayerRecord *p = player_get(id);
    return p && p->present ? p : nullptr;
}

// A present player on team 0 or 1 (the flag messages need his team).
static PlayerRecord *team_player(int id)
{
    PlayerRecord *p = present_player(id);
    return p && team_is_playing(p->team) ? p : nullptr;
}

static bool is_local(int id) { return local_player_id >= 0 && id == local_player_id; }

// Kills and scores count on from what the server announced, which may be any
// 32-bit value: they stop at the largest instead of wrapping.
static int32_t count_up(int32_t value, int32_t by) { return value > INT32_MAX - by ? INT32_MAX : value + by; }

static void announce(int team)
{
    snprintf(hud_announce_text, sizeof hud_announce_text, lang_get(LANG_TEAM_WINS), team_slot_name(team));
    hud_announce_until = game_time + 5.0f;
    playsound("wav/horn.wav", -700);
}

void game_sector_name(const Vec3 *position, char out[3])
{
    auto sector = [](float v) {
        float s = v / 64.0f;
        return s >= 0.0f && s < 8.0f ? (int)s : (s >= 8.0f ? 7 : 0);
    };
    out[0] = (char)('A' + sector(position->x));
    out[1] = (char)('1' + sector(position->y));
    out[2] = 0;
}

static const char *object_sector(int index, char out[3])
{
    game_sector_name(&world_objects[index].position, out);
    return out;
}

// An objective message of the given mode names an objective of the table.
static bool objective_index(int index, int mode)
{
    return client_state.game_mode == mode && index >= 0 && index < game_objective_count();
}

// ---- kill lines ------------------------------------------------------------------

void game_kill_cause_text(char *out, size_t size, int killer, int victim, uint32_t cause)
{
    const PlayerRecord *k = player_get(killer), *v = player_get(victim);
    const char *text = "";
    switch (cause) {
    case TOOL_SPADE: text = lang_get(LANG_CAUSE_SPADE); break;
    case TOOL_BLOCK: text = lang_get(LANG_CAUSE_BLOCK); break;
    case TOOL_GUN:
        switch (k ? k->weapon : -1) {
        case WEAPON_SEMI: text = lang_get(LANG_CAUSE_SEMI); break;
        case WEAPON_SMG: text = lang_get(LANG_CAUSE_SMG); break;
        case WEAPON_SHOTGUN: text = lang_get(LANG_CAUSE_SHOTGUN); break;
        default: break;
        }
        break;
    case TOOL_GRENADE: text = lang_get(LANG_CAUSE_GRENADE); break;
    default: break;
    }
    snprintf(out, size, lang_get(LANG_KILL_LINE), k ? k->name : "", v ? v->name : "", text);
}

void hud_kill_message(const KillMsg *m)
{
    const PlayerRecord *k = player_get(m->killer), *v = player_get(m->victim);
    if (!k || !v) return;
    // A killer outside both teams takes the victim's colour.
    int kind = k->team == 0 ? 5 : k->team == 1 ? 6 : v->team == 0 ? 5 : v->team == 1 ? 6 : 7;
    if (is_local(m->victim)) {
        hud_respawn_last_beep = 0;
        player_table[m->victim].respawn_time = (int64_t)(game_time + (float)m->respawn_seconds);
        kind = 7;
    } else if (is_local(m->killer)) {
        kind = 7;
    }
    char text[HUD_TEXT_SIZE];
    switch (m->kill_type) {
    case KILL_WEAPON:
    case KILL_SPADE: game_kill_cause_text(text, sizeof text, m->killer, m->victim, (uint32_t)k->tool); break;
    case KILL_HEAD:
        snprintf(text, sizeof text, lang_get(LANG_KILL_LINE), k->name, v->name, lang_get(LANG_CAUSE_HEADSHOT));
        break;
    case KILL_GRENADE: game_kill_cause_text(text, sizeof text, m->killer, m->victim, TOOL_GRENADE); break;
    case KILL_FALL: snprintf(text, sizeof text, lang_get(LANG_KILL_FALL), v->name); break;
    case KILL_TEAM_CHANGE: snprintf(text, sizeof text, lang_get(LANG_KILL_TEAM_CHANGE), v->name); break;
    case KILL_WEAPON_CHANGE: snprintf(text, sizeof text, lang_get(LANG_KILL_WEAPON_CHANGE), v->name); break;
    default: snprintf(text, sizeof text, "Derpy Kill Message"); break;
    }
    feed_push_kill(text, kind);
}

// ---- handlers --------------------------------------------------------------------

static void on_position(const uint8_t *d, size_t n)
{
    PositionMsg m;
    PlayerRecord *p = game_local_player();
    if (msg_decode_position(d, n, &m) != MSG_OK || !p || !net_position(&m.pos)) return;
    player_set_position(p, &m.pos);
}

static void on_world_update(const uint8_t *d, size_t n)
{
    static WorldUpdateMsg m; // 768 bytes of slots: kept off the stack
    if (msg_decode_world_update(d, n, &m) != MSG_OK) return;
    for (int i = 0; i < PLAYER_MAX; i++) {
        PlayerRecord *p = &player_table[i];
        if (i == local_player_id || !p->present || p->team < 0 || !p->alive) continue;
        const WorldUpdateSlot &s = m.slot[i];
        if (!net_position(&s.pos) || !net_vec_finite(&s.forward)) continue;
        player_set_position(p, &s.pos);
        player_set_orientation(p, &s.forward);
    }
}

static void set_body_models(PlayerRecord *p, bool crouched)
{
    bool blue = p->team == TEAM_BLUE;
    int torso = crouched ? (blue ? MODEL_TORSOC_B : MODEL_TORSOC_G) : (blue ? MODEL_TORSO_B : MODEL_TORSO_G);
    int leg = crouched ? (blue ? MODEL_LEGC_B : MODEL_LEGC_G) : (blue ? MODEL_LEG_B : MODEL_LEG_G);
    p->sprites[SPRITE_TORSO].model = model_slot(torso);
    p->sprites[SPRITE_LEG_LEFT].model = model_slot(leg);
    p->sprites[SPRITE_LEG_RIGHT].model = model_slot(leg);
}

static void on_move_keys(const uint8_t *d, size_t n)
{
    MoveKeysMsg m;
    if (msg_decode_move_keys(d, n, &m) != MSG_OK) return;
    PlayerRecord *p = present_player(m.player);
    if (!p) return;
    for (int k = KEY_FORWARD; k <= KEY_JUMP; k++) p->keys[k] = (m.keys >> k) & 1;
    bool crouch = (m.keys >> KEY_CROUCH) & 1;
    if (!crouch && p->keys[KEY_CROUCH]) {
        p->keys[KEY_CROUCH] = 0;
        p->position.z -= 0.9f;
        set_body_models(p, false);
    } else if (crouch && !p->keys[KEY_CROUCH]) {
        p->keys[KEY_CROUCH] = 1;
        if (!p->airborne) p->position.z += 0.9f;
        set_body_models(p, true);
    }
    p->keys[KEY_SNEAK] = (m.keys >> KEY_SNEAK) & 1;
    p->keys[KEY_SPRINT] = (m.keys >> KEY_SPRINT) & 1;
}

static void on_fire_keys(const uint8_t *d, size_t n)
{
    FireKeysMsg m;
    if (msg_decode_fire_keys(d, n, &m) != MSG_OK) return;
    PlayerRecord *p = present_player(m.player);
    if (!p) return;
    p->primary = (m.keys & FIRE_PRIMARY) != 0;
    p->secondary = (m.keys & FIRE_SECONDARY) != 0;
}

static void on_health(const uint8_t *d, size_t n)
{
    HealthMsg m;
    PlayerRecord *p = game_local_player();
    if (msg_decode_health(d, n, &m) != MSG_OK || !p) return;
    p->health = m.health;
    if (m.has_source == 1 && net_position(&m.source)) {
        hud_damage_source = m.source;
        playsound("wav/hitplayer.wav", -500);
        hud_damage_until = game_time + 0.5f;
    }
}

static void on_grenade(const uint8_t *d, size_t n)
{
    GrenadeMsg m;
    if (msg_decode_grenade(d, n, &m) != MSG_OK || !net_player_id(m.player)) return;
    if (!net_position(&m.pos) || !net_vec_finite(&m.vel) || !std::isfinite(m.fuse)) return;
    game_add_grenade_object(&m.pos, &m.vel, m.player, game_time + m.fuse);
}

static void on_tool(const uint8_t *d, size_t n)
{
    ToolMsg m;
    if (msg_decode_tool(d, n, &m) != MSG_OK || !tool_is_valid(m.tool)) return;
    PlayerRecord *p = present_player(m.player);
    if (!p) return;
    p->tool = m.tool;
    player_set_held_model(p, m.tool);
    p->next_use = 0.0f;
    p->grenade_fuse_end = 0.0f;
}

static void on_block_colour(const uint8_t *d, size_t n)
{
    ColourMsg m;
    if (msg_decode_colour(d, n, &m) != MSG_OK || m.id != MSG_BLOCK_COLOUR) return;
    if (PlayerRecord *p = present_player(m.player)) p->colour = m.colour;
}

static void on_fog_colour(const uint8_t *d, size_t n)
{
    ColourMsg m;
    if (msg_decode_colour(d, n, &m) != MSG_OK || m.id != MSG_FOG_COLOUR) return;
    voxsetfogcolour(m.colour);
}

static void on_objective_move(const uint8_t *d, size_t n)
{
    ObjectiveMoveMsg m;
    if (msg_decode_objective_move(d, n, &m) != MSG_OK || !net_position(&m.pos)) return;
    if (m.index >= game_objective_count()) return;
    WorldObject *o = &world_objects[m.index];
    if (client_state.game_mode == GAME_MODE_CTF) {
        wobj_set_kind(o, OBJECT_LYING);
    } else {
        if (m.owner < TEAM_BLUE || m.owner > TEAM_NEUTRAL) return;
        mode_objectives[m.index].owner = m.owner;
        o->model = game_territory_model(m.owner);
    }
    o->position = m.pos;
}

static void on_player_spawn(const uint8_t *d, size_t n)
{
    PlayerSpawnMsg m;
    if (!net_read_spawn(d, n, &m)) return;
    PlayerRecord *p = &player_table[m.player];
    bool local = is_local(m.player);
    if (local && local_controls.join_mode != JOIN_IN_GAME) {
        local_controls.join_mode = JOIN_IN_GAME;
        game_set_screen(SCREEN_IN_GAME);
        char name[PLAYER_NAME_SIZE];
        snprintf(name, sizeof name, "%s", p->name);
        if (std::strcmp(name, "Zarar") == 0) snprintf(name, sizeof name, "Zarar%d", m.player);
        player_init(p, m.player, m.team, m.weapon, TOOL_GUN, 0, 0x7F7F7F, name);
        feed_push_format(&feed_chat, FEED_KIND_NOTICE, lang_get(LANG_PLAYER_JOINED), p->name, team_slot_name(m.team));
    } else {
        if (!p->present || p->team != m.team) {
            if (!p->present)
                player_init(p, m.player, m.team, m.weapon, TOOL_GUN, 0, 0x7F7F7F, m.name);
            else
                player_set_team(p, m.team);
            feed_push_format(&feed_chat, FEED_KIND_NOTICE, lang_get(LANG_PLAYER_JOINED), p->name,
                             team_slot_name(m.team));
        }
        p->weapon = m.weapon;
    }
    if (local) {
        playsound("wav/switch.wav", -300);
        game_reset_local_loadout();
    }
    player_respawn(p, &m.pos);
}

// The server sends only edits that its map stored; one this map has no room
// for would leave the two apart, so it ends the game (the map held nothing
// of it).
static bool net_edit_stored(int32_t result)
{
    if (result != MAP_EDIT_NO_ROOM) return true;
    game_fatal(LANG_ERR_MAP_DATA);
    return false;
}

static void on_block_action(const uint8_t *d, size_t n)
{
    BlockActionMsg m;
    if (msg_decode_block_action(d, n, &m) != MSG_OK || !net_player_id(m.player)) return;
    if (!net_cell_in_map(m.x, m.y, m.z)) return;
    MapCell cell = {m.x, m.y, m.z};
    Vec3 at = {m.x + 0.5f, m.y + 0.5f, m.z + 0.5f};
    switch (m.kind) {
    case BLOCK_BUILD:
        if (!net_edit_stored(map_add_block(&cell, (int32_t)player_table[m.player].colour))) return;
        playsound3d("wav/build.wav", -700, at);
        break;
    case BLOCK_DESTROY: net_edit_stored(map_remove_block(&cell)); break;
    case BLOCK_DIG: {
        // The server sends a dig only when it took blocks out of its map, and
        // takes them out whatever the aimed cell holds (air above the ground,
        // an uncoloured voxel inside it): so does this map, or the two part
        // ways. Only a coloured voxel there makes particles and a sound.
        const VoxelColour *c = map_surface_colour(m.x, m.y, m.z);
        const VoxelColour colour = c ? *c : 0;
        if (!net_edit_stored(map_remove_column3(&cell)) || !c) break;
        game_spawn_particles(&at, 0.25f, colour, 6);
        playsound3d("wav/hitground.wav", 0, at);
        break;
    }
    case BLOCK_BLAST: net_edit_stored(map_remove_cube3(&cell)); break;
    default: break;
    }
}

static void on_block_line(const uint8_t *d, size_t n)
{
    BlockLineMsg m;
    if (msg_decode_block_line(d, n, &m) != MSG_OK || !net_player_id(m.player)) return;
    if (!net_cell_in_map(m.start[0], m.start[1], m.start[2]) || !net_cell_in_map(m.end[0], m.end[1], m.end[2]))
        return;
    BlockCell start = {m.start[0], m.start[1], m.start[2]}, end = {m.end[0], m.end[1], m.end[2]};
    BlockCell cells[BLOCK_LINE_MAX];
    int count = map_block_line(&start, &end, cells);
    int32_t colour = (int32_t)player_table[m.player].colour;
    map_edit_group_begin();
    for (int i = count - 1; i >= 0; i--) {
        MapCell c = {cells[i].x, cells[i].y, cells[i].z};
        map_add_block(&c, colour);
    }
    if (!net_edit_stored(map_edit_group_end())) return;
    Vec3 at = {end.x + 0.5f, end.y + 0.5f, end.z + 0.5f};
    playsound3d("wav/build.wav", -700, at);
}

static void on_kill(const uint8_t *d, size_t n)
{
    KillMsg m;
    if (msg_decode_kill(d, n, &m) != MSG_OK) return;
    if (!net_player_id(m.victim) || !net_player_id(m.killer) || m.kill_type >= KILL_TYPE_COUNT) return;
    PlayerRecord *v = &player_table[m.victim], *k = &player_table[m.killer];
    bool local_dies = is_local(m.victim) && v->alive;
    if (local_dies)
        game_local_player_died();
    else
        v->alive = 0;
    if (m.kill_type <= KILL_GRENADE) {
        if (local_dies) {
            playsound("wav/hitplayer.wav", 0);
            if (m.kill_type == KILL_HEAD) playsound("wav/whack.wav", 0);
        }
        if (v->team != k->team) k->kills = count_up(k->kills, 1);
    }
    float rx = v->right.x, ry = v->right.y;
    float a, b;
    if (std::signbit(rx) == std::signbit(v->forward.y)) {
        a = -ry;
        b = rx;
    } else {
        a = ry;
        b = -rx;
    }
    SpriteInstance *dead = &v->sprites[SPRITE_DEAD];
    dead->xaxis.x = -0.1f * rx;
    dead->xaxis.y = -0.1f * ry;
    dead->yaxis.x = 0.1f * a;
    dead->yaxis.y = 0.1f * b;
    hud_kill_message(&m);
}

static void on_chat(const uint8_t *d, size_t n)
{
    ChatMsg m;
    if (msg_decode_chat(d, n, &m) != MSG_OK) return;
    if (m.chat_type == CHAT_SYSTEM) {
        if (m.player == CHAT_SYSTEM_SENDER || net_player_id(m.player)) feed_push_notice(m.text);
        return;
    }
    const PlayerRecord *p = player_get(m.player);
    if (!p) return;
    if (m.chat_type == CHAT_ALL)
        feed_push_format(&feed_chat, 3, "%s (%s): %s", p->name, team_slot_name(p->team), m.text);
    else if (m.chat_type == CHAT_TEAM)
        feed_push_format(&feed_chat, game_team_slot(p->team), "%s: %s", p->name, m.text);
}

static void on_map_begin(const uint8_t *d, size_t n)
{
    MapBeginMsg m;
    if (msg_decode_map_begin(d, n, &m) != MSG_OK) return;
    game_set_screen(SCREEN_LOADING);
    game_reset_state();
    if (m.length == 0) {
        game_fatal(LANG_ERR_MAP_DATA);
        return;
    }
    net_pump_loading(m.length);
}

static void on_player_left(const uint8_t *d, size_t n)
{
    PlayerLeftMsg m;
    if (msg_decode_player_left(d, n, &m) != MSG_OK) return;
    PlayerRecord *p = present_player(m.player);
    if (!p) return;
    p->present = 0;
    feed_push_format(&feed_chat, FEED_KIND_NOTICE, lang_get(LANG_PLAYER_LEFT), p->name);
}

static void on_territory_taken(const uint8_t *d, size_t n)
{
    TerritoryTakenMsg m;
    if (msg_decode_territory_taken(d, n, &m) != MSG_OK || !objective_index(m.index, GAME_MODE_TC)) return;
    if (!team_is_playing(m.team)) return;
    char sector[3];
    feed_push_format(&feed_chat, FEED_KIND_NOTICE, lang_get(LANG_TERRITORY_CAPTURED), team_slot_name(m.team),
                     object_sector(m.index, sector));
    if (m.wins)
        announce(m.team);
    else
        playsound("wav/pickup.wav", -700);
    mode_objectives[m.index].owner = m.team;
    world_objects[m.index].model = game_territory_model(m.team);
}

static void on_capture_progress(const uint8_t *d, size_t n)
{
    CaptureProgressMsg m;
    if (msg_decode_capture_progress(d, n, &m) != MSG_OK || !objective_index(m.index, GAME_MODE_TC)) return;
    if (m.team < TEAM_BLUE || m.team > TEAM_NEUTRAL || !std::isfinite(m.progress)) return;
    ObjectiveState *o = &mode_objectives[m.index];
    if (o->progress == 0.0f) {
        playsound("wav/pickup.wav", -700);
        char sector[3];
        feed_push_format(&feed_chat, FEED_KIND_NOTICE, lang_get(LANG_CAPTURING), team_slot_name(m.team),
                         object_sector(m.index, sector));
    }
    o->capturing_team = m.team;
    o->progress = m.progress < 0.0f ? 0.0f : (m.progress > 1.0f ? 1.0f : m.progress);
    o->rate = m.rate;
}

static void on_intel_scored(const uint8_t *d, size_t n)
{
    IntelScoredMsg m;
    if (msg_decode_intel_scored(d, n, &m) != MSG_OK || client_state.game_mode != GAME_MODE_CTF) return;
    PlayerRecord *p = team_player(m.player);
    if (!p) return;
    int t = p->team;
    feed_push_format(&feed_chat, FEED_KIND_NOTICE, lang_get(LANG_INTEL_CAPTURED), p->name, team_slot_name(1 - t));
    p->kills = count_up(p->kills, 10);
    if (m.wins) {
        mode_objectives[0].owner = mode_objectives[1].owner = -1;
        client_state.score[0] = client_state.score[1] = 0;
        announce(t);
    } else {
        client_state.score[t] = count_up(client_state.score[t], 1);
        mode_objectives[1 - t].owner = -1;
        playsound("wav/pickup.wav", -700);
    }
}

static void on_intel_taken(const uint8_t *d, size_t n)
{
    IntelTakenMsg m;
    if (msg_decode_intel_taken(d, n, &m) != MSG_OK || client_state.game_mode != GAME_MODE_CTF) return;
    PlayerRecord *p = team_player(m.player);
    if (!p) return;
    int other = 1 - p->team;
    playsound("wav/pickup.wav", -700);
    feed_push_format(&feed_chat, FEED_KIND_NOTICE, lang_get(LANG_INTEL_TAKEN), p->name, team_slot_name(other));
    mode_objectives[other].owner = m.player;
    wobj_set_kind(&world_objects[other], OBJECT_CARRIED);
}

static void on_intel_dropped(const uint8_t *d, size_t n)
{
    IntelDroppedMsg m;
    if (msg_decode_intel_dropped(d, n, &m) != MSG_OK || client_state.game_mode != GAME_MODE_CTF) return;
    PlayerRecord *p = team_player(m.player);
    if (!p || !net_position(&m.pos)) return;
    int other = 1 - p->team;
    feed_push_format(&feed_chat, FEED_KIND_NOTICE, lang_get(LANG_INTEL_DROPPED), p->name, team_slot_name(other));
    mode_objectives[other].owner = -1;
    wobj_set_kind(&world_objects[other], OBJECT_LYING);
    world_objects[other].position = m.pos;
}

static void on_resupply(const uint8_t *d, size_t n)
{
    ResupplyMsg m;
    PlayerRecord *p = game_local_player();
    if (msg_decode_resupply(d, n, &m) != MSG_OK || !p) return;
    player_restock(p, 0);
    playsound("wav/switch.wav", -300);
}

static void on_reload(const uint8_t *d, size_t n)
{
    ReloadMsg m;
    if (msg_decode_reload(d, n, &m) != MSG_OK) return;
    PlayerRecord *p = present_player(m.player);
    const WeaponInfo *w = p ? weapon_info(p->weapon) : nullptr;
    if (!w) return;
    if (!is_local(m.player)) {
        playsound3d(w->reload_sound, 0, p->eye);
        return;
    }
    p->magazine = m.magazine;
    p->reserve = m.reserve;
    if (!w->whole_reload)
        playsound(p->magazine < w->magazine_size ? w->reload_sound : "wav/cock.wav", -300);
    // Every weapon's reload ends here: a whole magazine's arrives only once it is done.
    if (p->magazine >= w->magazine_size || p->reserve == 0) p->reload_end = 0.0f;
}

// ---- the pump ----------------------------------------------------------------------

void net_dispatch_packet(const uint8_t *data, size_t len)
{
    switch (msg_type_bytes(data, len)) {
    case MSG_POSITION: on_position(data, len); break;
    case MSG_WORLD_UPDATE: on_world_update(data, len); break;
    case MSG_MOVE_KEYS: on_move_keys(data, len); break;
    case MSG_FIRE_KEYS: on_fire_keys(data, len); break;
    case MSG_HIT: on_health(data, len); break;
    case MSG_GRENADE: on_grenade(data, len); break;
    case MSG_TOOL: on_tool(data, len); break;
    case MSG_BLOCK_COLOUR: on_block_colour(data, len); break;
    case MSG_OBJECTIVE_MOVE: on_objective_move(data, len); break;
    case MSG_PLAYER_SPAWN: on_player_spawn(data, len); break;
    case MSG_BLOCK_ACTION: on_block_action(data, len); break;
    case MSG_BLOCK_LINE: on_block_line(data, len); break;
    case MSG_KILL: on_kill(data, len); break;
    case MSG_CHAT: on_chat(data, len); break;
    case MSG_MAP_BEGIN: on_map_begin(data, len); break;
    case MSG_PLAYER_LEFT: on_player_left(data, len); break;
    case MSG_TERRITORY_TAKEN: on_territory_taken(data, len); break;
    case MSG_CAPTURE_PROGRESS: on_capture_progress(data, len); break;
    case MSG_INTEL_SCORED: on_intel_scored(data, len); break;
    case MSG_INTEL_TAKEN: on_intel_taken(data, len); break;
    case MSG_INTEL_DROPPED: on_intel_dropped(data, len); break;
    case MSG_RESUPPLY: on_resupply(data, len); break;
    case MSG_FOG_COLOUR: on_fog_colour(data, len); break;
    case MSG_RELOAD: on_reload(data, len); break;
    default: break;
    }
}

void net_dispatch_messages()
{
    ENetEvent ev;
    // A new map hands the connection to the loading pump: once it returns
    // with the download still running, the rest waits for the loading screen.
    while (client_state.screens.current > SCREEN_LOADING && net_next_event(&ev)) {
        if (ev.type == ENET_EVENT_TYPE_DISCONNECT) {
            game_fatal(net_disconnect_text(ev.data));
            return;
        }
        if (ev.type != ENET_EVENT_TYPE_RECEIVE) continue;
        net_dispatch_packet(ev.packet->data, ev.packet->dataLength);
        net_event_done(&ev);
    }
}
