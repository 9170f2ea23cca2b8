// Handlers of the client messages that srv_dispatch_message routes. Each takes
// the receive event; the sender is the player bound to the event's peer.
#pragma once

typedef struct _ENetEvent ENetEvent;

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
