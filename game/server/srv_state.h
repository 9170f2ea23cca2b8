// The server's run-long state: map and server names, game mode and its
// callbacks, the network hosts, counts and the loop's clocks. Everything lives
// for the whole run; nothing is allocated per connection.
#pragma once
#include <cstdint>

#include "common/player.h"
#include "common/protocol.h"
#include "server/srv_settings.h"

typedef struct _ENetHost ENetHost;
typedef struct _ENetPeer ENetPeer;

#define SRV_TICK_SECONDS 0.016666668f
#define SRV_SERVICE_BUDGET_MS 8u // longest drain of the game host's events per pass
#define SRV_WORK_AREA_SIZE 792584 // scratch block of the map-editing module

// The five per-mode operations, chosen once at start by the mode flag.
struct GameModeCallbacks {
    void (*tick)();                        // per-tick step of the mode's objects
    void (*fill_state)(GameStateMsg *msg); // mode byte and block of MSG_GAME_STATE
    void (*reset)();                       // places the objectives for a new round
    void (*rules)(int64_t t);              // t: current time in whole seconds
    void (*spawn)(PlayerRecord *player);   // puts a joined player back into the game
};

// One vote-kick at a time; target -1 = none.
struct VoteKick {
    int target;
    int64_t deadline;
    int votes;
    int voted[PLAYER_MAX];
    int voter_count;
};

extern char srv_map_name[SRV_PATH_MAX];   // "gen" for a generated map
extern char srv_server_name[32];
extern char srv_mode_word[16];            // "ctf" or "tc"
extern int srv_mode_flag;                 // GAME_MODE_CTF or GAME_MODE_TC
extern GameModeCallbacks srv_mode;
extern uint32_t srv_player_count;         // slots offered, 1..32 once started
extern int srv_register;                  // registration switch

extern ENetHost *srv_host;                // the game host clients connect to
extern ENetHost *srv_master_host;         // one-peer master link, null = none
extern ENetPeer *srv_master_peer;

extern uint32_t srv_connected_count;      // also what the master is told
extern int srv_count_changed;
extern int64_t srv_last_second;           // last whole second seen by the loop
extern int64_t srv_map_change_time;       // 0 = no change scheduled
extern uint32_t srv_last_kicked;          // IPv4 address (network order), 0 = none
extern int64_t srv_next_master_update;    // seconds; count updates wait for it

extern double srv_now;                    // game clock, seconds since start
extern double srv_last_tick;
extern float srv_tick_delta;              // seconds between the last two ticks
extern double srv_next_world_update;
extern double srv_next_master_retry;

extern uint8_t *srv_work_area;
extern VoteKick srv_vote;

// "vxl/" + name + ".vxl" into out (cut to fit).
void srv_map_file_path(const char *name, char *out, int size);
// 1 when the slot is in use by a connection (its present flag).
inline bool srv_slot_connected(int id) { return id >= 0 && id < PLAYER_MAX && player_table[id].present; }
