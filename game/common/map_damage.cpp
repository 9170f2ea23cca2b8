// Ring of damaged blocks: darkening on hits, healing after expiry.
#include "common/map_damage.h"

#include "common/map_query.h"

DamageRecord map_damage_ring[MAP_DAMAGE_SLOTS];
int32_t map_damage_head = 0;
int32_t map_damage_count = 0;

void map_damage_clear()
{
    map_damage_head = 0;
    map_damage_count = 0;
}

static inline DamageRecord *damage_slot(int32_t i) { return &map_damage_ring[(map_damage_head + i) & 31]; }

// Drops record i by moving the oldest record into its slot.
static void damage_drop(int32_t i)
{
    *damage_slot(i) = map_damage_ring[map_damage_head & 31];
    map_damage_head = (map_damage_head + 1) & 31;
    map_damage_count--;
}

VoxelColour *map_set_voxel_rgb(const DamageRecord *record, int32_t colour)
{
    VoxelColour *p = map_colour_ptr(record->x, record->y, record->z);
    if (p) *p = (*p & 0xFF000000u) | ((uint32_t)colour & 0xFFFFFFu);
    return p;
}

int32_t map_damage_block(const HitRecord *hit, int32_t damage, double now)
{
    if (!hit || hit->z >= 62 || hit->z < 0 || (uint32_t)hit->x >= 512u || (uint32_t)hit->y >= 512u) return 0;
    for (int32_t i = 0; i < map_damage_count; i++) {
        DamageRecord *r = damage_slot(i);
        if (r->x != hit->x || r->y != hit->y || r->z != hit->z) continue;
        if (r->health <= 0) return 0;
        r->health = r->health - damage > 0 ? r->health - damage : 0;
        if (r->health == 0) return 1;
        r->expiry = now + MAP_DAMAGE_SECONDS;
        VoxelColour *p = map_colour_ptr(r->x, r->y, r->z);
        if (p) map_darken_colour(p, (int32_t)r->saved, r->health);
        return 0;
    }
    // A voxel without a stored colour has nothing to darken or restore.
    VoxelColour *p = map_colour_ptr(hit->x, hit->y, hit->z);
    if (!p) return 0;
    DamageRecord *r = damage_slot(map_damage_count);
    if (map_damage_count == MAP_DAMAGE_SLOTS) {
        map_set_voxel_rgb(r, (int32_t)VOXEL_RGB(r->saved));
        map_damage_head = (map_damage_head + 1) & 31;
    } else {
        map_damage_count++;
    }
    r->x = hit->x;
    r->y = hit->y;
    r->z = hit->z;
    r->expiry = now + MAP_DAMAGE_SECONDS;
    r->saved = *p;
    r->health = 100 - damage > 0 ? 100 - damage : 0;
    if (r->health == 0) return 1;
    map_darken_colour(p, (int32_t)r->saved, r->health);
    return 0;
}

int32_t map_heal_blocks(double now)
{
    int32_t healed = 0;
    for (int32_t i = 0; i < map_damage_count; i++) {
        DamageRecord *r = damage_slot(i);
        if (r->expiry < now) {
            map_set_voxel_rgb(r, (int32_t)VOXEL_RGB(r->saved));
            damage_drop(i);
            healed++;
        }
    }
    return healed;
}

static int32_t damage_find(const MapCell *cell)
{
    for (int32_t i = 0; i < map_damage_count; i++) {
        const DamageRecord *r = damage_slot(i);
        if (r->x == cell->x && r->y == cell->y && r->z == cell->z) return i;
    }
    return -1;
}

int32_t map_damage_forget(const MapCell *cell)
{
    int32_t i = damage_find(cell);
    if (i < 0) return 0;
    damage_drop(i);
    return 1;
}

int32_t map_damage_has(const MapCell *cell) { return damage_find(cell) >= 0; }
