// The in-game frame: the world from the local player's eye, players, objects,
// the first-person tool and the head-up display.
#pragma once

// Draws one in-game frame; runs after the player and world-object updates.
// Nothing is drawn when the frame cannot be locked. Once a tool switch has
// run its time, it also tells the server the tool now in hand (MSG_TOOL) or
// the block colour chosen meanwhile (MSG_BLOCK_COLOUR). Leaves the frame
// unlocked.
void game_draw_frame();
