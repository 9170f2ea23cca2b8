// The map download and the loading phase: the server's compressed map
// (MSG_MAP_BEGIN, then MSG_MAP_CHUNK messages), the players already in the
// game and last the game state; then the map is expanded, validated and
// indexed and the team menu opens.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/protocol.h"

#define MAP_DOWNLOAD_MAX 16777216u // largest compressed map taken

struct MapDownload {
    uint32_t size;      // announced compressed size; 0 while no download runs
    uint8_t *buffer;    // the compressed bytes, size bytes; null while none runs
    uint32_t received;
    float progress;     // received / size; 1 once the map is loaded
};
extern MapDownload map_download;

// One pass of the loading pump: a non-zero size starts a download first;
// then events are taken until none is waiting or the game state has been
// handled (later events stay queued). Escape, a disconnect and every fault of
// the download (chunks before the map begins or beyond its size, a size of 0
// or over 16 MiB, a map that does not expand or validate) end the program.
void net_pump_loading(uint32_t size);
// Handles one loading-phase message. Returns 1 for the game state, 0 for any
// other message, -1 after a fatal error.
int net_loading_packet(const uint8_t *data, size_t len);
// Starts a download of size bytes, discarding one that runs. Returns 1, or 0
// after a fatal error (size 0 or over the limit, no memory).
int net_loading_begin(uint32_t size);
// Applies a game state (mode, objectives, fog, team slots, models, players'
// models). Returns 1, or 0 after a fatal error.
int net_apply_game_state(const GameStateMsg *m);
// Expands the complete download into the map store, validates it with the
// core's map checks and indexes it. Returns 1, or 0 when the data does not
// expand or the image is malformed (the store then holds the empty map).
int net_expand_map();
// After the game state: expands the download into the map store, validates
// and indexes it, and opens the team menu. Returns 1, or 0 after a fatal
// error.
int net_loading_finish();
// Frees the download buffer and clears the download state.
void net_loading_free();
