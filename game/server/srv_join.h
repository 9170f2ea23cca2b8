// Joining: the map transfer, the joined players and the game state that a
// newly accepted client receives, and the join request that puts him into
// the game.
#pragma once
#include "common/math_vec.h"

typedef struct _ENetEvent ENetEvent;

// The notice players get when the player joins a team ("Name joined Team"),
// on the console and in the log with the player's id, which the kick, ban
// and admin commands take.
void srv_say_team_join(int player);
// The map transfer to one player, or to all connected players with -1 (a
// new map: a transfer that has not begun yet is replaced by this one). The
// map is taken as it stands now and compressed off the game thread; when
// the worker is busy with another image the transfer starts, from the map
// as it then stands, in a later pass (srv_join_service). Meanwhile, and
// until the whole map has gone out, everything else for the player waits
// behind it (or, before it starts, is dropped: the map and the info and
// state that follow it bring what he missed). A failure drops the
// player(s) concerned, never the server. Returns 1 when the transfer is
// under way or owed.
int srv_send_map(int player);
// Every pass: collects the worker's result and starts the transfers that
// waited for it.
void srv_join_service();
// Drops every player whose held packets overflowed (srv_pending_broken): he
// can no longer receive in order. Called after each pass's release.
void srv_drop_broken_transfers();
// MSG_GAME_STATE to one player, or to all with -1 (a player whose transfer
// has not started gets it after his map). In territory control one player
// is then sent the capture progress the state does not carry.
void srv_send_state(int player);
// One MSG_PLAYER_INFO per other joined player, then the state, to `player`
// (after his map when his transfer has not started: the info is then that
// of the moment it starts).
void srv_send_existing_players(int player);
// Handler of MSG_PLAYER_INFO (not joined) and MSG_REJOIN (spectator).
// Teams other than 0, 1, -1 and weapons outside 0..2 are refused.
void srv_on_join(ENetEvent *event);
// MSG_PLAYER_SPAWN to all: the short form, or with the player's name.
void srv_send_spawn(int player, const Vec3 *point, int with_name);
