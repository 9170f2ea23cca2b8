// Shared by the client's fuzz loops: the map a server sends, a join through
// the real loading pump, packets built by the core's encoders, and the checks
// the client's tables must pass after any input at all.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "client_fixture.h"
#include "common/protocol.h"
#include "support/fuzz_bytes.h"

typedef std::vector<uint8_t> Packet;

// The test map (flat ground, towers with ledges, a cave) as its image and
// its zlib stream, made once.
const std::vector<uint8_t> &cfz_map_image();
const std::vector<uint8_t> &cfz_map_stream();
// zlib stream of any bytes.
std::vector<uint8_t> cfz_compress(const std::vector<uint8_t> &raw);

// The players a join announces: slot, team, weapon, kills, name. Slot 0 is
// the local player (team 0); 3 is a spectator; 31 is the last slot. The
// kills are at the edges the wire allows.
struct CfzCast {
    int id, team, weapon;
    uint32_t kills;
    const char *name;
};
extern const CfzCast cfz_cast[6];
// A spawn point on the ground of the current map.
Vec3 cfz_ground_point(int x, int y);

// A game state of the mode for local player 0: flag mode with player 2
// carrying team 1's intel and scores at the edges of the wire's range, or
// 16 territories with mixed owners.
GameStateMsg cfz_game_state(int mode);
// The packets of a transfer: MSG_MAP_BEGIN with `size`, the stream in chunks
// of up to 1,023 bytes, the cast's MSG_PLAYER_INFO, the game state.
std::vector<Packet> cfz_transfer(const std::vector<uint8_t> &stream, uint32_t size, const GameStateMsg &state);

// How a loading phase ended.
enum CfzLoad {
    CFZ_LOADED,   // map in the store, team menu open, no fatal error
    CFZ_FAILED,   // one fatal error, nothing after it
    CFZ_WAITING,  // the packets ran out before the game state
};
// Feeds packets to the loading pump as net_pump_loading takes them: each
// through net_loading_packet; a fault ends the phase, the game state ends it
// with net_loading_finish.
CfzLoad cfz_run_loading(const std::vector<Packet> &packets);

// A fresh client joined to a game of the mode through the loading pump and
// the dispatcher: map loaded, every cast member present and spawned, in game.
// Fails the running test if any step does.
void cfz_join(int mode);
// Spawns the cast through the dispatcher (teams, positions; the weapons turn
// by one with each call after a join).
void cfz_respawn_cast();

// The first broken invariant of the client's tables, or "" when all hold:
// counts within their tables, player and objective values in range, model
// pointers into the model table, floats of present players and of world
// objects finite, players and objectives within reach of the map, texts
// terminated.
std::string cfz_check_tables();
// The map store's structural check; "" when sound.
std::string cfz_check_map();
