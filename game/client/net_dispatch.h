// The in-game message pump (team menu, weapon menu, in game): every server
// message applied to the client's state, with its feed lines and sounds.
// Everything from the wire is checked before use: player ids, objective
// indices, teams, weapons, tools, kill types, block cells and floats
// (positions within reach of the map); a message that fails a check changes
// nothing.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/math_vec.h"
#include "common/protocol.h"

#define HUD_TEXT_SIZE 112 // a feed line's size; lines built here are cut to fit
#define CHAT_SYSTEM_SENDER 255

// Read by the HUD.
extern Vec3 hud_damage_source;
extern double hud_damage_until;         // game-clock deadline of the damage marker
extern char hud_announce_text[HUD_TEXT_SIZE];
extern double hud_announce_until;       // game-clock deadline of the announcement
extern int64_t hud_respawn_last_beep;   // respawn countdown: last second announced

// Services the connection until no event is waiting (or a new map's download
// takes over) and applies every message. A disconnect is a fatal error with
// the server's reason.
void net_dispatch_messages();
// Applies one received message (data[0] is its id). Ids the client does not
// handle, and malformed messages, change nothing.
void net_dispatch_packet(const uint8_t *data, size_t len);
// Builds and pushes the kill-feed line; for the local victim also sets his
// respawn time.
void hud_kill_message(const KillMsg *m);
// The kill line "killer, victim, cause" into out (size bytes) for a cause
// selector: 0 spade, 1 block, 2 the killer's gun, 3 grenade, else no cause.
void game_kill_cause_text(char *out, size_t size, int killer, int victim, uint32_t cause);
// The sector of a position: 'A' + x / 64 and '1' + y / 64 ("A1".."H8"; a
// position outside the map names the nearest edge sector). out holds 3 bytes.
void game_sector_name(const Vec3 *position, char out[3]);
