// The five screens the platform layer calls once per frame by the current
// screen (platform/plat_game.h): name entry, map loading, team menu, weapon
// menu and the game.
#pragma once

#include "platform/plat_main.h"

// Name entry state: the question was opened, and the line being typed.
extern int menu_name_asked;
extern char menu_name_line[EDIT_LINE_SIZE];

// The menus' backdrop: the map's centre seen from high above, the small
// splash picture and the scoreboard without spectators.
void menu_draw_backdrop();
