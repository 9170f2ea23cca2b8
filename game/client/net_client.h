// The client's connection to its server: the host and peer, sending, and the
// event source both message pumps read. While the player types his name the
// connection is kept alive: ENet is serviced and every event is held, in
// order, for the pumps that run once the name is entered.
#pragma once
#include <cstddef>
#include <cstdint>

#include <enet/enet.h>

#define NET_DEFAULT_PORT 32887
// Events held while the name is typed: a large map's chunks and many minutes
// of world updates. When the hold is full, servicing stops (no event is ever
// dropped) and the server's time-out applies again.
#define NET_HOLD_MAX 32768
// A server that stops answering (killed, paused, its link gone) is given up
// once a reliable packet has gone unanswered for NET_TIMEOUT_MAX_MS, or for
// NET_TIMEOUT_MIN_MS when its resends have backed off NET_TIMEOUT_LIMIT-fold
// (a round trip known to be short): 3 to 5 s, where ENet's own defaults take
// 10 to 30 s. A server silent for less, or a client frame that stalls for
// less than the maximum, loses nothing.
#define NET_TIMEOUT_LIMIT 8
#define NET_TIMEOUT_MIN_MS 3000
#define NET_TIMEOUT_MAX_MS 5000

extern ENetHost *net_client_host;
extern ENetPeer *net_server_peer;

// Creates the client host and connects to host (ENet's 32-bit value, address
// bytes in network order) at port, waiting up to 2,500 ms; both ends of the
// connection then never thin out its unreliable packets (world updates), and
// the client gives the server up after the time-outs above.
// The server has the handshake's confirmation when this returns and starts
// the map at once; that waits unacknowledged until the first service, which
// must come within ENet's time-out (about 5 s for a peer so near).
// Returns 1 connected, 0 failed (nothing left open).
int net_client_connect(uint32_t host, uint16_t port);
// Disconnects (waiting up to 2,500 ms), destroys the host and drops every
// held event. Safe when not connected.
void net_client_close();
// The next event for a pump: a held one first, then a new one from ENet
// (time-out 0). Returns 1 with *event filled, 0 when none is waiting. A
// received packet belongs to the caller (net_event_done).
int net_next_event(ENetEvent *event);
// Destroys the packet of a received event; safe for any event.
void net_event_done(ENetEvent *event);
// Services ENet once without taking anything: new events are held for
// net_next_event. Returns the number of events now held.
int net_hold_events();
// The name screen's network step: net_hold_events, and a held disconnect
// ends the program at once with the server's reason.
void net_keep_alive();
// Number of events held.
int net_held_count();
// 1 when a disconnect is among the held events, with its data in *reason.
int net_held_disconnect(uint32_t *reason);
// The language string that explains a disconnect's data (a RejectReason, or
// anything else for a lost connection).
int net_disconnect_text(uint32_t reason);
// Sends an encoded message (buf[0..len)) to the server on channel 0 with its
// message's delivery. Returns 1 handed to ENet, 0 otherwise.
int net_send(const uint8_t *buf, int len);

// Encodes a record with its writer and sends it.
template <typename Msg> int net_send_msg(int (*write)(uint8_t *, size_t, const Msg *), const Msg &m)
{
    uint8_t buf[1024];
    return net_send(buf, write(buf, sizeof buf, &m));
}
