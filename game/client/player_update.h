// The per-frame pass over all 32 player slots: movement with its sounds,
// footsteps, the use of each player's tool (the spade and the block tool
// here, the gun and grenades in game_shooting), the dead bodies, and at fixed
// points the local player's view and cameras (game_camera). Every player's
// tool use is shown on every client; only the local player's own use sends
// messages and changes his stock. The map is never edited here: edits wait
// for the server's echo.
#pragma once
#include <cstdint>

#include "common/map_block_line.h"
#include "common/map_ray.h"
#include "common/math_vec.h"

struct PlayerRecord;

// A cell the local player aims at with the block tool: `hit` points at
// `record` while a placeable cell is aimed at, null otherwise.
struct BlockAim {
    HitRecord record;
    HitRecord *hit;
};
// The cell the block tool would build in (record.adj_x, adj_y, adj_z), moved
// only while no fire button is held; it is also the start of a block-line
// drag. The HUD outlines it.
extern BlockAim block_cursor;
// The end cell (adj_*) of a block line while the secondary button is held
// with the block tool; the HUD outlines the cells from the cursor to it.
extern BlockAim block_line_end;

// Runs once per in-game frame, before game_update_world_objects. Players are
// simulated when present, on a team and either local or near the local eye
// (the HUD's near flag); spectators are moved by the spectator camera.
void game_update_players();
// Drops both ends of the block-line drag (the cursor included).
void game_drop_block_line();
// The cells of the drag: 0 with no cursor, 1 with *start (the cursor's
// cell) set, 2 with *start and *end (the line's end) set.
int game_block_line_cells(BlockCell *start, BlockCell *end);

// 1 when a block may be placed in the cell by the player: inside the map (x,
// y 0..511, z 0..61), its centre within 3 of his eye on every axis, and
// outside his own box; other players are not tested.
int game_block_fits(int32_t x, int32_t y, int32_t z, const PlayerRecord *player);
// MSG_BLOCK_ACTION (build, destroy or dig) for a cell, sent reliably.
// Returns 1 when handed to ENet.
int net_send_block_action(int32_t x, int32_t y, int32_t z, int action);
// The point just outside the face a ray entered a cell through (0.1 beyond
// the face, centred on it); the eye for a face value outside 0..5.
Vec3 game_face_point(const HitRecord *hit, const Vec3 *eye);
// Plays a sound of a player's doing: without position for the local player,
// at the player's eye for anyone else.
void game_player_sound(const PlayerRecord *p, const char *file, int32_t volume);
// 1 when the local player id is set and p is his record.
bool game_is_local(const PlayerRecord *p);
// A pose from the wire fit for ray casts and drawing: position and eye
// finite and within the map's box (x, y 0..512, z -64..64), the three axis
// vectors finite and the forward vector not zero.
bool game_pose_valid(const PlayerRecord *p);
