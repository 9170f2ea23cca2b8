// The in-game frame: the world from the local player's eye, players, objects,
// the first-person tool and the head-up display.
#pragma once
#include <cstdint>

// Frames drawn in game; its low five bits choose the map row re-shaded.
extern uint32_t hud_frame_counter;

// Draws one in-game frame; runs after the player and world-object updates.
// Nothing is drawn when the frame cannot be locked. Once a tool switch has
// run its time, it also tells the server the tool now in hand (MSG_TOOL) or
// the block colour chosen meanwhile (MSG_BLOCK_COLOUR). Leaves the frame
// unlocked.
void game_draw_frame();
// The end of a tool switch: the record takes the selected tool (MSG_TOOL,
// reload cancelled) or, with the same tool, the chosen block colour
// (MSG_BLOCK_COLOUR). Nothing when both already agree.
void hud_finish_tool_switch();
