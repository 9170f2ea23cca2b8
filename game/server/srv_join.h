// Joining: the map transfer, the joined players and the game state that a
// newly accepted client receives, and the join request that puts him into
// the game.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/math_vec.h"

typedef struct _ENetEvent ENetEvent;

#define SRV_MAP_CHUNK_DATA 1023 // compressed bytes per MSG_MAP_CHUNK

// Allocates the transfer buffers (once). Returns 1, or 0 when memory is short.
int srv_map_cache_init();
// Frees the transfer buffers.
void srv_map_cache_free();
// Brings the compressed map image up to date with the map (compressing only
// when the map changed since the last call). Returns 1, or 0 on failure
// (no memory, oversized map or a compression error).
int srv_map_compress();
// Forgets the compressed image, so the next srv_map_compress compresses again.
void srv_map_cache_invalidate();
// The compressed image of the last srv_map_compress and its length.
const uint8_t *srv_map_compressed(size_t *length);
// The map transfer (MSG_MAP_BEGIN, then the chunks) to one player, or to all
// connected players with -1, handed to ENet a batch per loop pass behind
// which the player's later messages wait. A failure drops the player(s)
// concerned, never the server.
// Returns 1 when sent.
int srv_send_map(int player);
// Drops every player whose held packets overflowed (srv_pending_broken): he
// can no longer receive in order. Called after each pass's release.
void srv_drop_broken_transfers();
// MSG_GAME_STATE to one player, or to all with -1.
void srv_send_state(int player);
// One MSG_PLAYER_INFO per other joined player, then the state, to `player`.
void srv_send_existing_players(int player);
// Handler of MSG_PLAYER_INFO (not joined) and MSG_REJOIN (spectator).
// Teams other than 0, 1, -1 and weapons outside 0..2 are refused.
void srv_on_join(ENetEvent *event);
// MSG_PLAYER_SPAWN to all: the short form, or with the player's name.
void srv_send_spawn(int player, const Vec3 *point, int with_name);
