// Detection of floating block groups: after removals, flood the spans around
// the collected seed cells; a group with no face path to a column's last span
// (the ground) is listed as a FloatingChunk, then cut out of the map in place,
// optionally as a debris model.
//
// Per-frame use (client with sprites, server without), after the edits:
//   map_find_floating();
//   for each listed chunk i with handled == 0: handled = 1; map_take_chunk(sprite or null, i);
//   map_drop_taken_chunks();
#pragma once
#include <cstdint>

#include "common/map_store.h"
#include "common/model_types.h"

#define SPAN_SET_BUCKETS 4096
#define SPAN_SET_MAX 65536   // spans one detection pass may visit
#define FLOOD_STACK_MAX 8192

// Found groups live in voxel_map.chunks / chunk_count (at most MAP_MAX_CHUNKS);
// every load or build empties that list.

// The set of spans visited in one pass. Keys are span byte offsets in the
// pool; 0 marks a span that was cut out. Entries are numbered in insertion
// order, so one flood's spans are the index range [first, end).
struct SpanSetEntry {
    int32_t key;
    int32_t next; // -1 ends a chain
};
struct SpanSet {
    int32_t head[SPAN_SET_BUCKETS];
    SpanSetEntry entry[SPAN_SET_MAX];
    int32_t count;
};
extern SpanSet map_span_set;

// Adds key at the head of its bucket; returns the new count, or -1 when the
// set is full (nothing is written then).
int32_t map_span_set_insert(int32_t key);
// Entry index of key, or -1.
int32_t map_span_set_find(int32_t key);
// Changes the entry of old_key to new_key (no-op when old_key is absent).
void map_span_set_rekey(int32_t old_key, int32_t new_key);
// Empties the set (only the used buckets when it was small).
void map_span_set_clear();

// Floods the group holding the chunk's seed (seed_x, seed_y, seed_z). 1: floating, first/end/box
// filled. 0: grounded, already found earlier in this pass, or a limit reached
// (the group is then left in place).
int32_t map_flood_chunk(FloatingChunk *chunk);

// Revalidates listed chunks, floods every seed (at most 32 chunks listed),
// empties the seed list. Once the span set runs full the pass ends: no more
// floods, and chunks it could not revalidate leave the list.
void map_find_floating();

// Cuts chunk i out of the map. With a sprite, also builds the debris model
// (sprite position = box centre, unit axes, model; sprite->model is null when
// the group has no coloured voxels or the model could not be allocated: the
// group is cut all the same, so every program's map loses the same blocks).
// Returns 1 when the group was cut, 0 when i is not a listed chunk or it was
// cut already.
int32_t map_take_chunk(SpriteInstance *sprite, int32_t i);

// Recompiles the columns across the map edge beside cut groups and removes
// the cut chunks from the list. 1; MAP_EDIT_NO_ROOM when the pool had no room
// for such a recompile: those columns keep their storage (the same solid
// voxels, only the faces the cut laid open lack colours), the cut stands.
int32_t map_drop_taken_chunks();

// The server's step: map_find_floating, then every unhandled chunk cut
// without a model, then map_drop_taken_chunks (its result). Loose groups are
// never sent: each client finds and cuts the same ones on its own map.
int32_t map_remove_floating();

// Whole-map pass without models, row by row (server, after every load).
// 1, or MAP_EDIT_NO_ROOM when a recompile beside a cut found no room.
int32_t map_remove_all_floating();
