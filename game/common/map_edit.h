// Map editing: every change of the map goes through an edit batch. A batch
// expands the affected columns into lists of solid intervals held in three
// rolling rows, the caller changes the lists, and the batch recompiles each
// column whose colouring may have changed (the edited ones and their face
// neighbours) back into the span layout, colouring newly exposed voxels with
// the current colour callback. The four block operations of the game, the
// seed collection for the floating-block test and the colour helpers stand on it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/map_store.h"

// Expanded column: [t0, e0, t1, e1, ..., tk, 64], solid intervals [t, e) in
// rising z, disjoint and not touching, the last ending at 64.
#define MAP_LIST_INTS 128
// Largest compiled column (64 colours and their headers) with room to spare.
#define MAP_COMPILE_MAX_BYTES 1024
// Scratch of the batch: three rows of 512 lists plus the compile output
// (and 8 bytes for alignment). The module owns an area of this size.
#define MAP_EDIT_SCRATCH_BYTES (3 * 512 * MAP_LIST_INTS * 4 + MAP_COMPILE_MAX_BYTES + 8)
#define MAP_MAX_SEEDS 4096
// An edit that the column pool has no room for (refused, map unchanged).
#define MAP_EDIT_NO_ROOM (-1)

struct MapCell {
    int32_t x, y, z;
};

struct FloatSeed {
    int32_t x, y, z;
};

// Box of the last removal, lower bounds inclusive, upper exclusive.
struct MapRemovalBox {
    int32_t x0, x1, y0, y1, z0, z1;
};

// Colour callback: returns the colour of a voxel that needs one and had none.
typedef VoxelColour (*MapColourFn)(int32_t *x, int32_t *y, int32_t *z);

extern MapColourFn map_colour_callback;
extern VoxelColour map_placed_colour;  // base colour of building, shade 0x7f
extern uint32_t map_placed_rng;        // jitter generator of placed blocks, 0 at start
extern FloatSeed map_seeds[MAP_MAX_SEEDS];
extern int32_t map_seed_count;         // read and emptied by map_find_floating
extern MapRemovalBox map_removal_box;

// Offers a lent scratch area. The batch always keeps working in an area of
// MAP_EDIT_SCRATCH_BYTES; a lent one is used only when at least that large.
// Returns 1 when the lent area is used, 0 when it was refused (own area kept).
// A null area returns to the module's own. Never call while a batch is open;
// a lent area must stay allocated until it is replaced (lend null before
// freeing it).
int32_t map_edit_set_scratch(void *area, size_t bytes);

// Opens column (x, y) (0..511) in the current batch, starting one if none is
// open, and returns its expanded list for the caller to change. Open columns
// row by row with y rising by one and x rising within a row; a y that does
// not continue the batch closes it and starts a new one there. The list
// stays valid until the next map_edit_column or map_edit_finish.
int32_t *map_edit_column(int32_t x, int32_t y);
// Makes [z0, z1) solid in the list (0 <= z0 < z1 <= 64).
void map_insert_slab(int32_t *list, int32_t z0, int32_t z1);
// Makes [z0, z1) air in the list; z1 is capped at 63 so the bottom stays solid.
void map_delete_slab(int32_t *list, int32_t z0, int32_t z1);
// Recompiles what the batch changed and closes it; nothing when none is open.
// 1 stored (or nothing open); MAP_EDIT_NO_ROOM when the pool had no room for
// a recompiled column: the whole batch is then undone, leaving the map, the
// pool's bitmap and rover and the colour generators as before it. Each
// column's old storage is freed before its new one is placed while the
// batch's old bytes fit its 1 MiB undo area; beyond that (batches of tens of
// thousands of columns) old storages stay allocated until the batch closes.
int32_t map_edit_finish();
// One row step of the open batch: compiles the row above the current row.
// 1, or MAP_EDIT_NO_ROOM once a column found no room (all undone; the batch
// stores nothing more and its finish reports the failure).
int32_t map_edit_flush();
// Groups the batches (block operations) that follow until map_edit_group_end
// into one: when any of them finds no room, all are undone and the rest of
// the group stores nothing (each then returns MAP_EDIT_NO_ROOM). Call between
// batches; groups do not nest.
void map_edit_group_begin();
// Closes the group: 1 all kept, MAP_EDIT_NO_ROOM all undone.
int32_t map_edit_group_end();
// Writes the expanded list of column (x & 511, y & 511) into out.
void map_expand_column(int32_t x, int32_t y, int32_t *out);
// Compiles column (x, y) from its list and the lists of its four face
// neighbours into out (MAP_COMPILE_MAX_BYTES), reusing its current colours and
// calling the colour callback for new ones. Returns the bytes written.
int32_t map_compile_column(const int32_t *list, const int32_t *xm, const int32_t *xp,
                           const int32_t *ym, const int32_t *yp, uint8_t *out,
                           int32_t x, int32_t y);
// Moves count 32-bit words; overlapping allowed.
void map_copy_dwords(const void *src, void *dst, int32_t count);

// Block operations. Cells outside x, y 0..511 (and the z ranges named) are
// refused with 0; 1 means the batch ran; MAP_EDIT_NO_ROOM means the pool had
// no room for it and the map is unchanged (no seeds collected, no damage
// record dropped).
// Builds one block (z 0..62) with colour 0x00RRGGBB; forgets its damage
// record (inside a group, once the group is kept).
int32_t map_add_block(const MapCell *cell, int32_t colour);
// Destroys one block (z 0..62), collects seeds.
int32_t map_remove_block(const MapCell *cell);
// Destroys z - 1 .. z + 1 of one column (never layers 62, 63), collects seeds.
int32_t map_remove_column3(const MapCell *cell);
// Destroys the 3 x 3 x 3 cube around the cell, clamped to the map and to
// z 0..61, collects seeds. 0 when the clamped box is empty.
int32_t map_remove_cube3(const MapCell *cell);
// Adds seeds around the last removal box (stops at MAP_MAX_SEEDS).
void map_collect_float_seeds();

// Colour callback of building: base colour with jittered low bits of each channel.
VoxelColour map_colour_placed_block(int32_t *x, int32_t *y, int32_t *z);
// Colour callback of digging and indexing: earth gradient by depth, shade 0x3f.
// Calls rng_rand() once.
VoxelColour map_colour_exposed_voxel(int32_t *x, int32_t *y, int32_t *z);
// channel * shade >> 7, capped at 255, as 0x00RRGGBB.
int32_t map_shaded_rgb(const VoxelColour *v);
// Writes the saved colour's channels scaled by health / 100 into *p; shade kept.
void map_darken_colour(VoxelColour *p, int32_t saved, int32_t health);
