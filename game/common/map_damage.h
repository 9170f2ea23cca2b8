// The client's ring of damaged blocks: a hit darkens a block's colour by its
// remaining health, and the colour comes back after 10 s without hits.
#pragma once
#include <cstdint>

#include "common/map_edit.h"
#include "common/map_ray.h"

#define MAP_DAMAGE_SLOTS 32
#define MAP_DAMAGE_SECONDS 10.0f

struct DamageRecord {
    int32_t x, y, z;
    VoxelColour saved;   // colour before the first hit
    int32_t health;      // 0..100
    double expiry;       // game clock seconds
};

// Record i of the ring is slot (head + i) & 31; head is the oldest.
extern DamageRecord map_damage_ring[MAP_DAMAGE_SLOTS];
extern int32_t map_damage_head;
extern int32_t map_damage_count;

// Empties the ring without restoring colours (a new map is loaded).
void map_damage_clear();
// Damages the voxel of a ray-cast hit. 1 when the block breaks (the caller
// destroys it), 0 otherwise; z 62 and 63, cells outside the map and voxels
// without a stored colour take no damage. A 33rd damaged block restores the
// oldest one's colour and takes its slot.
int32_t map_damage_block(const HitRecord *hit, int32_t damage, double now);
// Restores the colours of records whose expiry < now and drops them. Returns
// the number restored. Call every frame.
int32_t map_heal_blocks(double now);
// Drops the record of a cell (it is being rebuilt). 1 when one was dropped.
int32_t map_damage_forget(const MapCell *cell);
// 1 when the cell has a record.
int32_t map_damage_has(const MapCell *cell);
// Replaces blue, green and red of the record's voxel, keeping its shade byte.
// Returns the colour pointer, or null when the voxel no longer has a colour.
VoxelColour *map_set_voxel_rgb(const DamageRecord *record, int32_t colour);
