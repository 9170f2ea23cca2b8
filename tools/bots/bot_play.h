// One scripted player's mind: what it learns from the server's messages and
// which message it sends next. Pure logic over plain state and a seeded
// generator, so the choices can be tested without a network. Legal play
// keeps within every server check that has a sanction (flood counter,
// position tolerance); hostile play sends malformed and abusive messages.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/math_vec.h"

// xorshift64*: the bots' own generator (never the game's rng).
struct BotRng {
    uint64_t s;
};
void bot_rng_seed(BotRng *r, uint64_t seed);
uint32_t bot_rng_next(BotRng *r);
// Uniform integer in lo..hi (inclusive).
int bot_rng_range(BotRng *r, int lo, int hi);
float bot_rng_float(BotRng *r, float lo, float hi);

#define BOT_FLOOD_GAP_MS 500 // at most two flood-counted messages a second

struct BotState {
    int id;            // own player id, -1 until the game state arrives
    int hostile;       // 1: mixes malformed and abusive messages in
    int joined;        // join request sent for the current map
    int spawned;       // own spawn seen since the last join request
    int alive;
    int team, weapon, tool;
    Vec3 pos;          // the server's view of the own position
    int have_pos;
    Vec3 others[32];   // last positions of the other players in play
    uint32_t others_mask; // bit i: others[i] is in play and alive
    uint32_t keys;     // move keys last sent
    int fire;          // primary fire last sent
    int blocks, grenades;
    int64_t next_act_ms, next_orient_ms, next_flood_ms, next_position_ms, next_hostile_ms;
    int64_t next_change_ms; // earliest team or weapon change
    int64_t flood_at_ms;    // hostile: when to flood the chat once (0 = never)
    // Counters.
    long sent, sent_hostile, received, world_updates;
    int64_t last_update_ms;
    int deaths, spawns;
};

// A message to send: bytes and its delivery.
struct BotMessage {
    std::vector<uint8_t> bytes;
    bool reliable;
};

void bot_init(BotState *b, int hostile, int64_t now_ms, BotRng *r);
// Takes one message from the server. World updates are timed by the caller.
void bot_on_message(BotState *b, const uint8_t *data, size_t len);
// The join request (MSG_PLAYER_INFO) for a random team and weapon.
BotMessage bot_join_message(BotState *b, BotRng *r, const char *name);
// The messages due at now_ms (possibly none), appended to out.
void bot_step(BotState *b, BotRng *r, int64_t now_ms, std::vector<BotMessage> *out);
// One hostile message: malformed, out of range, out of place or abusive.
// Those the flood counter sees keep to the same budget as legal play.
BotMessage bot_hostile_message(BotState *b, BotRng *r, int64_t now_ms);
// A burst of chat lines past the flood limit: the server must kick us.
void bot_flood_burst(BotState *b, std::vector<BotMessage> *out);
