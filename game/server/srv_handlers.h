// Handlers of the client messages, called by srv_dispatch_message with the
// receive event. Each checks its message (the sender is the peer's slot, never
// a byte of the message), applies it and relays it; a refused message is
// dropped silently. Only what the server applied is relayed, so every
// client's map stays equal to the server's.
#pragma once
#include <cstdint>

typedef struct _ENetEvent ENetEvent;
struct PlayerRecord;

// Chat, block lines and block actions with a tool other than the gun raise
// the flood counter; a message that finds it above this kicks the sender.
#define SRV_FLOOD_LIMIT 10
// A block cell is in reach when each axis alone is within this of the eye.
#define SRV_REACH 4.0f
// A reported position this far off the server's on some axis is corrected.
#define SRV_POSITION_TOLERANCE 3.0f
// Reported positions are refused outside x, y 0..512 and this z range (the
// spectator camera flies up to z -64).
#define SRV_POSITION_Z_MIN -64.0f
#define SRV_POSITION_Z_MAX 64.0f

// The flood rule: 1 when the message may be handled (the counter rose by 1),
// 0 when the sender was kicked.
int srv_flood_check(int player);
// 1 when cell (x, y, z) is within reach of the player's eye.
int srv_within_reach(const PlayerRecord *p, int32_t x, int32_t y, int32_t z);

void srv_on_position(ENetEvent *event);
void srv_on_orientation(ENetEvent *event);
void srv_on_input(ENetEvent *event);
void srv_on_weapon_input(ENetEvent *event);
void srv_on_hit(ENetEvent *event);
void srv_on_grenade(ENetEvent *event);
void srv_on_tool(ENetEvent *event);
void srv_on_colour(ENetEvent *event);
void srv_on_block_action(ENetEvent *event);
void srv_on_block_line(ENetEvent *event);
void srv_on_chat(ENetEvent *event);
void srv_on_reload(ENetEvent *event);
void srv_on_change_team(ENetEvent *event);
void srv_on_change_weapon(ENetEvent *event);
