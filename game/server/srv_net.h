// Connections of the game host: who may take a slot, binding peers to slots,
// taking players out again, and routing received messages to their handlers.
#pragma once

typedef struct _ENetEvent ENetEvent;

enum RemoveMode {
    REMOVE_LEFT = 0,
    REMOVE_KICK = 1,
    REMOVE_BAN = 2,
};

// Connect event: refuses (wrong connect data, no free slot below the player
// count, last kicked address, ban list) with a polite disconnect carrying the
// RejectReason, or binds the peer to the lowest free slot, starting from a
// cleared record, and sends it the map, the joined players and the state.
void srv_on_connect(ENetEvent *event);
// Disconnect event: removes the player bound to the peer, as kicked when he
// is the vote-kick target. Ignored unless the slot's peer is this peer.
void srv_on_disconnect(ENetEvent *event);
// Takes a connected player out with the announcements of the mode; kick and
// ban reset the peer at once. Ignored for an id that is not connected.
void srv_remove_player(int player, int mode);
// Sets the admin flag and tells the console and the player.
void srv_grant_admin(int player);
// The player id bound to the event's peer, or -1 when it carries none or the
// slot no longer belongs to that peer.
int srv_peer_player_id(const ENetEvent *event);
// Receive event: routes the message by its id and releases the packet in
// every case.
void srv_dispatch_message(ENetEvent *event);
