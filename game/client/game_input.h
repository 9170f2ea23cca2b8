// The per-frame input pass of the team menu, the weapon menu and the game.
#pragma once

// Reads the keyboard and the mouse into the local controls. The menus, the
// chat line, the fixed keys and the local player's controls and messages
// build on it.
void game_handle_input();
