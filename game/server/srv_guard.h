// Connection guard of the game host: connections in progress never hold a
// player's place for long, and no address fills the peer table with them.
// ENet takes a peer for every connection request and keeps it for about 30 s
// when the handshake is never completed; a few dozen unanswered requests
// would lock every player out. The guard sees each packet before ENet takes a
// peer for it (the host's intercept hook) and reaps stale peers each tick.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/player.h"

typedef struct _ENetHost ENetHost;

// Peers beyond the player slots, for connections in progress and refusals
// under way: a flood from many addresses finds room, and when even this is
// full the oldest connection in progress gives way to the newest request.
#define SRV_GUARD_ROOM 128
// Connections in progress from one address; further requests from it are
// dropped until one completes or is reaped. Connected players are not
// counted: players behind one home router share its address.
#define SRV_GUARD_PER_ADDRESS 4
// A handshake takes one round trip; this leaves room for two retransmissions
// of ENet's answer (0.5 s, then 1 s later) on a slow, lossy link. A refused
// peer that has not confirmed its disconnect by then is reset as well.
#define SRV_GUARD_HANDSHAKE_MS 3000u
// The most peers a guarded host has: every player slot, one for refusing the
// next, and the room.
#define SRV_GUARD_PEERS_MAX (PLAYER_MAX + 1 + SRV_GUARD_ROOM)

// Peers the game host is created with for `players` slots (1..PLAYER_MAX).
size_t srv_guard_peer_count(uint32_t players);
// Installs the guard on a freshly created host (at most SRV_GUARD_PEERS_MAX
// peers are watched) and forgets any host guarded before. Null does nothing.
void srv_guard_attach(ENetHost *host);
// Resets every connection in progress, and every refused peer still waiting
// for its disconnect to be confirmed, that has been so for
// SRV_GUARD_HANDSHAKE_MS or more by `now_ms` (ENet's clock). Call every tick
// with the guarded host; a peer is timed from the first sweep that sees it.
// Returns the number of peers reset.
int srv_guard_sweep(ENetHost *host, uint32_t now_ms);
// Connections in progress on the host, from `address` (network order) or from
// anywhere with 0.
int srv_guard_in_progress(const ENetHost *host, uint32_t address);
