// Registration with the master server over its own one-peer ENet host:
// the registration message when the link comes up and at every map change,
// and the player count when it changes, at most every 10 s. Nothing here
// ever stops the game server.
#pragma once
#include <cstddef>
#include <cstdint>

#define SRV_MASTER_CONNECT_VALUE 30u
#define SRV_MASTER_RETRY_SECONDS 10.0f
#define SRV_MASTER_UPDATE_SECONDS 10

// Builds the registration message into buf: player count, port, server
// name, mode word, map name (each with its zero) and one spare byte.
// Returns its length (7 + the three text lengths), or 0 when cap is short.
int srv_master_build_registration(uint8_t *buf, size_t cap);
// Starts a connection to the master host; a host name that does not resolve
// is a failed attempt. Returns 0 when started, -1 when the link stays empty.
int srv_master_connect();
// Sends the registration when the link exists; prints string 28 when it
// cannot be queued.
void srv_master_register();
// Polls the link once (zero time-out) and handles at most one event.
void srv_service_master();
// The per-tick step: the count update when due, or a reconnection attempt
// when there is no link. t: whole seconds; now: game clock.
void srv_master_tick(int64_t t, double now);
// Disconnects politely (waiting up to 2,500 ms) and destroys the link.
void srv_master_shutdown();
