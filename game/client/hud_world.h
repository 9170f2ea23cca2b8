// What the in-game frame draws in the world after the map itself: the other
// players' bodies (keeping each player's HUD flags), the world objects and
// the particles, and the outline of the block cursor or block line.
#pragma once
#include <cstdint>

#include "common/map_block_line.h"

struct PlayerRecord;

// The range of everything drawn around the camera: 128 blocks horizontally.
#define HUD_NEAR_DISTANCE2 16384.0f

// Every present player on a team (the local player only while his dead
// camera follows someone) within 128 blocks of the camera is near; whose
// box around the point 1 below his eye overlaps the screen is on screen
// and drawn, and under the crosshair when that box holds the screen centre.
// Players farther away, off screen, or whose pose from the wire lies
// outside the map (game_pose_valid) have those flags cleared and are not
// drawn. The followed player's body is not drawn while the follow camera
// sits inside it.
void hud_draw_players();
// The world objects, last to first, except carried objectives: those within
// 128 blocks and in view, tinted by the shade of the ground under them; then
// every particle, oldest first, as a square shrinking with its life.
void hud_draw_objects();
// The block cursor: with an end, the cells of the line from start to end
// that lie outside the builder's body, the first of them as many as his
// blocks outlined white and the rest red; without one, the start cell white.
void hud_draw_block_line(const BlockCell *start, const BlockCell *end, const PlayerRecord *builder);
