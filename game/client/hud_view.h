// The first-person view: models posed in view space (the camera at the
// origin looking along +z): the tool in the local player's hand with its
// sway, bob and use motions, the row of tools shown while switching, and
// the game mode's objective held or stood on.
#pragma once

#include "common/model_types.h"

struct PlayerRecord;

// Sets the view-space camera: eye at the origin, right +x, down +y,
// forward +z, centre of the screen, focal length half the width.
void hud_view_camera();
// A view-space pose of `model` at the origin with axes `size` long: the
// model's x to the left, its y away from the eye and its z down.
SpriteInstance hud_view_sprite(float size, Kv6Model *model);
// The turn of the models that spin on the weapon menu and the tool row: one
// radian per second of game clock, taken modulo 2 pi in double so that it
// stays smooth at any uptime.
float hud_view_spin();
// The selected tool in the player's hand, moved by (offset_x, offset_y)
// (the time left of a tool switch), the mouse, the fall, the walk and the
// tool's use, lit by the ground under him. Nothing while aiming the gun.
void hud_draw_view_tool(const PlayerRecord *p, float offset_x, float offset_y);
// The four tools in a row, turning; each only when the player has it, the
// selected one larger in front.
void hud_draw_tool_switch(const PlayerRecord *p);
// The game mode's objective in view (the intel carried, the territory
// stood on), when its hook gives a model.
void hud_draw_view_objective();
