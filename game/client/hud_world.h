// What the in-game frame draws in the world after the map itself: the other
// players' bodies (keeping each player's HUD flags), the world objects and
// the particles, and the outline of the block cursor or block line.
#pragma once
#include <cstdint>

#include "common/map_block_line.h"

// The range of everything drawn around the camera: 128 blocks horizontally.
#define HUD_NEAR_DISTANCE2 16384.0f

// Every present player on a team (the local player only while his dead
// camera follows someone) within 128 blocks of the camera is near; whose
// box around the point 1 below his eye overlaps the screen is on screen
// and drawn, and under the crosshair when that box holds the screen centre.
// Players farther away, or off screen, have those flags cleared.
void hud_draw_players();
// The world objects, last to first, except carried objectives: those within
// 128 blocks and in view, tinted by the shade of the ground under them; then
// every particle, oldest first, as a square shrinking with its life.
void hud_draw_objects();
// The block cursor: with an end, the cells of the line from start to end,
// the first `blocks` of them outlined white and the rest red; without one,
// the start cell white.
void hud_draw_block_line(const BlockCell *start, const BlockCell *end, int32_t blocks);

// Where the block tool would build and, while the secondary button is held,
// where the block line would end. Returns 0 with nothing aimed at, 1 with
// *start set, 2 with *start and *end set.
//
// These belong to the player update (its block cursor and block-line end,
// both null when nothing placeable is aimed at), which is not in this tree
// yet: until it joins, hud_block_cursor reads this record, which nothing but
// the tests sets. The join replaces the body of hud_block_cursor with reads
// of the player update's pointers.
struct HudBlockCursor {
    int32_t has_start, has_end;
    BlockCell start, end;
};
extern HudBlockCursor hud_block_cursor_seam;
int hud_block_cursor(BlockCell *start, BlockCell *end);
