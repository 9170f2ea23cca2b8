// The senders every outgoing game message passes through (channel 0). Each
// takes a packet made by the caller and hands it to ENet; a packet that ends
// up with no recipient is destroyed here. With the performance log on, one
// line per packet is written before ENet gets it.
#pragma once
#include <cstdint>

typedef struct _ENetPacket ENetPacket;
typedef struct _ENetPeer ENetPeer;

// Every peer of the game host (ENet broadcast).
void srv_send_all(ENetPacket *packet);
// One peer. Returns 0 when ENet queued it, -1 otherwise (packet destroyed).
int srv_send_to(ENetPeer *peer, ENetPacket *packet);
// Each connected slot, one srv_send_to each.
void srv_send_each(ENetPacket *packet);
// Each connected slot except `player`.
void srv_send_all_but(ENetPacket *packet, int player);
// Each connected slot whose team is not -2 and equals the player's team.
void srv_send_team(ENetPacket *packet, int player);
// Each connected slot except `player` whose eye lies within 32 blocks of the
// player's eye on x and on y (each axis alone).
void srv_send_nearby(int player, ENetPacket *packet);

// One player's peer when he is connected (the packet is destroyed when he is
// not), or every peer with -1.
void srv_send_player_or_all(int player, ENetPacket *packet);

// Convenience: a packet of buf[0..len) with the message's delivery flag.
// Null when len is not positive or ENet has no memory.
ENetPacket *srv_packet(const uint8_t *buf, int len);
// The "recv:" trace line of a received packet (dispatch).
void srv_trace_recv(int player, const ENetPacket *packet);
// A system chat line (player 255, type 2): to one player, or to all with -1.
void srv_system_chat(int player, const char *text);

// Map transfers are handed to ENet a batch at a time (see srv_send.cpp).
#define SRV_MAP_CHUNK_DATA 1023 // compressed bytes per MSG_MAP_CHUNK
// Holds a packet for the player (every connected player with -1) behind what
// is already held; the player's later packets wait behind it. Traced like
// srv_send_to / srv_send_all. Returns 0 (also when the player is owed a
// transfer, srv_pending_defer, and the packet is dropped), or -1 when a
// player is not connected or his hold is full (the transfer cannot go on in
// order).
int srv_send_held(int player, ENetPacket *packet);
// Holds the map transfer of compressed image `zmap` (srv_mapzip) for one
// player: MSG_MAP_BEGIN and the chunks are made as they are released, once
// the image is compressed, and everything later waits behind them. The hold
// uses the image until the transfer is through or discarded. Returns 0, or
// -1 as srv_send_held.
int srv_send_held_map(int player, int zmap);
// Hands the next batch of each player's held packets to ENet once ENet has
// sent the previous one. Called every pass of the main loop. A transfer
// whose image failed to compress marks its player broken.
void srv_pending_release();
// Drops what is held for a player (removal, a new occupant, shutdown), and
// what he is owed.
void srv_pending_discard(int player);
// Entries held for a player (a whole map transfer counts one).
int srv_pending_count(int player);
// 1 when a packet for the player could not be held (his hold was full): what
// he receives is no longer in order, so he must be dropped. Cleared by
// srv_pending_discard.
int srv_pending_broken(int player);
// The image of the map transfer the player's hold starts with, or -1; with
// *begun 1 once its MSG_MAP_BEGIN has gone to ENet.
int srv_pending_head_map(int player, int *begun);
// A player owed a map transfer that cannot start yet: while `owed` (bits the
// caller defines) is not 0, whatever is sent to him is dropped, since the
// transfer, when it starts, brings the map as it then stands.
void srv_pending_defer(int player, int owed);
// What srv_pending_defer last set for the player (0: nothing owed).
int srv_pending_deferred(int player);
