// The in-game frame: the world from the local player's eye, players, objects,
// the first-person tool and the head-up display.
#pragma once

// Draws one in-game frame; runs after the player and world-object updates.
void game_draw_frame();
