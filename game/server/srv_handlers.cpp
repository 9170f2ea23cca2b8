// Client message handlers. Until the game rules are in, in-game messages are
// accepted and dropped; joins are handled by srv_join.
#include "server/srv_handlers.h"

void srv_on_position(ENetEvent *) {}
void srv_on_orientation(ENetEvent *) {}
void srv_on_input(ENetEvent *) {}
void srv_on_weapon_input(ENetEvent *) {}
void srv_on_hit(ENetEvent *) {}
void srv_on_grenade(ENetEvent *) {}
void srv_on_tool(ENetEvent *) {}
void srv_on_colour(ENetEvent *) {}
void srv_on_block_action(ENetEvent *) {}
void srv_on_block_line(ENetEvent *) {}
void srv_on_chat(ENetEvent *) {}
void srv_on_reload(ENetEvent *) {}
void srv_on_change_team(ENetEvent *) {}
void srv_on_change_weapon(ENetEvent *) {}
