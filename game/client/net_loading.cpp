#include "client/net_loading.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_fatal.h"
#include "platform/plat_input.h"
#include "platform/plat_sound.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/net_checks.h"
#include "client/net_client.h"
#include "common/lang_ids.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "common/timer.h"
#include "renderer/vox_world.h"

MapDownload map_download;

void net_loading_free()
{
    std::free(map_download.buffer);
    map_download.buffer = nullptr;
    map_download.size = 0;
    map_download.received = 0;
}

int net_loading_begin(uint32_t size)
{
    net_loading_free();
    map_download.progress = 0.0f;
    // A map of no bytes cannot expand, and one past the limit cannot be held.
    if (size == 0 || size > MAP_DOWNLOAD_MAX) {
        game_fatal(LANG_ERR_MAP_DATA);
        return 0;
    }
    map_download.buffer = (uint8_t *)std::malloc(size);
    if (!map_download.buffer) {
        game_fatal(LANG_ERR_MAP_DATA);
        return 0;
    }
    map_download.size = size;
    return 1;
}

static int net_loading_map_begin(const uint8_t *data, size_t len)
{
    MapBeginMsg m;
    if (msg_decode_map_begin(data, len, &m) != MSG_OK) return 0;
    // A second map replaces the first; the restart runs here, not by recursion.
    if (map_download.buffer) game_reset_state();
    return net_loading_begin(m.length) ? 0 : -1;
}

static int net_loading_map_chunk(const uint8_t *data, size_t len)
{
    MapChunkMsg m;
    if (msg_decode_map_chunk(data, len, &m) != MSG_OK) return 0;
    MapDownload &d = map_download;
    if (!d.buffer || m.length > d.size - d.received) {
        game_fatal(LANG_ERR_MAP_DATA);
        return -1;
    }
    std::memcpy(d.buffer + d.received, m.data, m.length);
    d.received += m.length;
    d.progress = (float)d.received / (float)d.size;
    return 0;
}

static void net_loading_player_info(const uint8_t *data, size_t len)
{
    PlayerInfoMsg m;
    if (msg_decode_player_info(data, len, &m) != MSG_OK) return;
    if (!net_player_id(m.player) || !net_joined_team(m.team)) return;
    player_init(&player_table[m.player], m.player, m.team, m.weapon, m.tool, (int)m.kills, m.colour, m.name);
}

static void net_loading_player_spawn(const uint8_t *data, size_t len)
{
    PlayerSpawnMsg m;
    if (!net_read_spawn(data, len, &m)) return;
    PlayerRecord *p = &player_table[m.player];
    if (!p->present) {
        player_init(p, m.player, m.team, m.weapon, TOOL_GUN, 0, 0x7F7F7F, m.name);
    } else {
        if (m.team != p->team && m.team >= 0) player_set_team(p, m.team);
        p->weapon = m.weapon;
    }
    player_respawn(p, &m.pos);
}

static void net_loading_player_left(const uint8_t *data, size_t len)
{
    PlayerLeftMsg m;
    if (msg_decode_player_left(data, len, &m) != MSG_OK || !net_player_id(m.player)) return;
    player_table[m.player].present = 0;
}

// Every position a game state carries must be a number near the map before
// it is used.
static bool net_game_state_valid(const GameStateMsg *m)
{
    if (local_player_id < 0 && !net_player_id(m->player)) return false;
    if (m->game_mode == GAME_MODE_CTF) {
        const CtfState &c = m->ctf;
        for (int i = 0; i < 2; i++)
            if (!net_position(&c.intel[i]) || !net_position(&c.base[i])) return false;
        return true;
    }
    for (uint32_t i = 0; i < m->tc.count && i < MSG_TERRITORIES; i++)
        if (!net_position(&m->tc.territory[i].pos)) return false;
    return true;
}

int net_apply_game_state(const GameStateMsg *m)
{
    if (!net_game_state_valid(m)) {
        game_fatal(LANG_ERR_MAP_DATA);
        return 0;
    }
    // Debris of the last map goes before the objectives take their entries.
    game_clear_world_objects();
    if (local_player_id < 0) local_player_id = m->player;
    game_select_mode(m->game_mode);
    game_mode_hooks.read_state(m);
    voxsetfogcolour(m->fog_colour);
    game_set_team_slot(0, m->team_name[0], 0xFF000000u | m->team_colour[0]);
    game_set_team_slot(1, m->team_name[1], 0xFF000000u | m->team_colour[1]);
    game_set_team_slot(TEAM_SLOT_SPECTATOR, "Spectator", 0xFF000000u);
    if (!game_load_models()) return 0;
    game_setup_objective_objects();
    for (int i = 0; i < PLAYER_MAX; i++) {
        PlayerRecord *p = &player_table[i];
        if (!p->present || p->team < 0) continue;
        player_set_held_model(p, p->tool);
        player_set_team(p, p->team);
    }
    return 1;
}

int net_loading_packet(const uint8_t *data, size_t len)
{
    switch (msg_type_bytes(data, len)) {
    case MSG_MAP_BEGIN: return net_loading_map_begin(data, len);
    case MSG_MAP_CHUNK: return net_loading_map_chunk(data, len);
    case MSG_PLAYER_INFO: net_loading_player_info(data, len); return 0;
    case MSG_PLAYER_SPAWN: net_loading_player_spawn(data, len); return 0;
    case MSG_PLAYER_LEFT: net_loading_player_left(data, len); return 0;
    case MSG_GAME_STATE: {
        GameStateMsg m;
        if (msg_decode_game_state(data, len, &m) != MSG_OK) return 0;
        // The map must be complete before the state that follows it.
        if (!map_download.buffer || map_download.received != map_download.size) {
            game_fatal(LANG_ERR_MAP_DATA);
            return -1;
        }
        return net_apply_game_state(&m) ? 1 : -1;
    }
    default: return 0;
    }
}

// The transferred image goes straight into the map store and is checked
// there before anything reads it.
int net_expand_map()
{
    MapDownload &d = map_download;
    uLongf out = MAP_IMAGE_MAX_BYTES;
    uint8_t *area = map_image_area();
    if (uncompress(area, &out, d.buffer, d.received) != Z_OK) return 0;
    if (!map_validate_image(area, out, nullptr)) {
        map_clear();
        return 0;
    }
    return map_set_image_bytes(out) && map_index_columns();
}

int net_loading_finish()
{
    if (!net_expand_map()) {
        net_loading_free();
        game_fatal(LANG_ERR_MAP_DATA);
        return 0;
    }
    if (PlayerRecord *p = game_local_player())
        snprintf(p->name, sizeof p->name, "%s", client_settings.name);
    local_controls.next_position_send = game_time + 1.0f;
    local_controls.next_orientation_send = game_time + 0.1f;
    playsound("wav/intro.wav", 0);
    menu_open_team_menu(JOIN_FIRST);
    hud_build_overview_map();
    net_loading_free();
    map_download.progress = 1.0f;
    return 1;
}

void net_pump_loading(uint32_t size)
{
    if (size != 0 && !net_loading_begin(size)) return;
    int handled = 0;
    ENetEvent ev;
    while (!handled && net_next_event(&ev)) {
        readkeyboard();
        if (keystates.current[DIK_ESCAPE]) {
            net_event_done(&ev);
            game_fatal(LANG_DOWNLOAD_CANCELLED);
            return;
        }
        if (ev.type == ENET_EVENT_TYPE_DISCONNECT) {
            game_fatal(net_disconnect_text(ev.data));
            return;
        }
        if (ev.type != ENET_EVENT_TYPE_RECEIVE) continue;
        int r = net_loading_packet(ev.packet->data, ev.packet->dataLength);
        net_event_done(&ev);
        if (r < 0) return;
        handled = r;
    }
    if (handled) net_loading_finish();
}
