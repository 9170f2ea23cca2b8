// The pictures of the menus: the splash picture (large on the name and
// loading screens, small over the backdrop), the two players to choose a
// team between, the three guns to choose a weapon from, and the panel that
// lists the controls.
#pragma once
#include <cstdint>

#include "common/math_vec.h"

// The splash picture at 0.7 of its size, centred 50 pixels above the
// screen's centre. Locks the frame.
void menu_draw_splash();
// The splash picture at 0.3 of its size, centred at 15 % of the height.
void menu_draw_small_splash();
// A stand-in player of `team` holding `tool` (and `weapon`), standing at
// `position` turned by the three angles of `angles`, drawn without fog.
void menu_draw_standin_player(int team, int weapon, int tool, const Vec3 *position, const Vec3 *angles);
// The team menu's picture: a team-0 player on the left, a team-1 player on
// the right, and the keys that choose them or the spectators.
void menu_draw_team_choice();
// The weapon menu's picture: the three guns turning, and their keys.
void menu_draw_weapon_choice();
// The controls panel: what each key does, with the names of the bound keys.
void menu_draw_controls_help();
