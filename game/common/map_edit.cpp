// Map editing: expanded interval lists, edit batches, the column compiler,
// block operations, seed collection and colour helpers.
#include "common/map_edit.h"

#include <cstring>

#include "common/map_damage.h"
#include "common/rng.h"

MapColourFn map_colour_callback = map_colour_exposed_voxel;
VoxelColour map_placed_colour = 0x7F7F7F7Fu;
uint32_t map_placed_rng = 0;
FloatSeed map_seeds[MAP_MAX_SEEDS];
int32_t map_seed_count = 0;
MapRemovalBox map_removal_box;

static const uint32_t map_dig_gradient[9] = {0x506050, 0x605848, 0x705040, 0x804838, 0x704030,
                                             0x603828, 0x503020, 0x402818, 0x302010};

static int32_t edit_stub_list[MAP_LIST_INTS];

int32_t map_edit_set_scratch(void *area, size_t bytes)
{
    (void)area;
    (void)bytes;
    return 0;
}

int32_t *map_edit_column(int32_t x, int32_t y)
{
    map_expand_column(x, y, edit_stub_list);
    return edit_stub_list;
}

void map_expand_column(int32_t x, int32_t y, int32_t *out)
{
    const uint8_t *p = map_column(x, y);
    int32_t n = 0;
    out[n++] = p[1];
    while (p[0]) {
        p += p[0] * 4;
        if (p[3] < p[1]) {
            out[n++] = p[3];
            out[n++] = p[1];
        }
    }
    out[n] = 64;
}

void map_insert_slab(int32_t *list, int32_t z0, int32_t z1)
{
    (void)list;
    (void)z0;
    (void)z1;
}

void map_delete_slab(int32_t *list, int32_t z0, int32_t z1)
{
    (void)list;
    (void)z0;
    (void)z1;
}

void map_edit_finish() {}
void map_edit_flush() {}

int32_t map_compile_column(const int32_t *list, const int32_t *xm, const int32_t *xp, const int32_t *ym,
                           const int32_t *yp, uint8_t *out, int32_t x, int32_t y)
{
    (void)list; (void)xm; (void)xp; (void)ym; (void)yp; (void)out; (void)x; (void)y;
    return 0;
}

void map_copy_dwords(const void *src, void *dst, int32_t count)
{
    std::memmove(dst, src, (size_t)count * 4);
}

int32_t map_add_block(const MapCell *cell, int32_t colour)
{
    (void)cell;
    (void)colour;
    return 0;
}

int32_t map_remove_block(const MapCell *cell)
{
    (void)cell;
    return 0;
}

int32_t map_remove_column3(const MapCell *cell)
{
    (void)cell;
    return 0;
}

int32_t map_remove_cube3(const MapCell *cell)
{
    (void)cell;
    return 0;
}

void map_collect_float_seeds() {}

VoxelColour map_colour_placed_block(int32_t *x, int32_t *y, int32_t *z)
{
    (void)x;
    (void)y;
    (void)z;
    map_placed_rng = map_placed_rng * 27584621u + 1u;
    return (map_placed_rng & 0x70707u) ^ map_placed_colour;
}

static inline int32_t iabs(int32_t v) { return v < 0 ? -v : v; }

VoxelColour map_colour_exposed_voxel(int32_t *x, int32_t *y, int32_t *z)
{
    int32_t zz = *z < 0 ? 0 : (*z > 63 ? 63 : *z);
    uint32_t g0 = map_dig_gradient[zz >> 3], g1 = map_dig_gradient[(zz >> 3) + 1];
    int32_t f = zz & 7;
    uint32_t rb = (g0 + (uint32_t)((((int32_t)(g1 & 0xff00ff) - (int32_t)(g0 & 0xff00ff)) * f) >> 3)) & 0xff00ff;
    uint32_t gg = (g0 + (uint32_t)((((int32_t)(g1 & 0xff00) - (int32_t)(g0 & 0xff00)) * f) >> 3)) & 0xff00;
    uint32_t c = rb + gg;
    c += (uint32_t)iabs((*x & 7) - 4) << 18;
    c += (uint32_t)iabs((*y & 7) - 4) << 10;
    c += (uint32_t)iabs((zz & 7) - 4) << 2;
    c += (uint32_t)(rng_rand() & 7) * 0x010101u;
    return c | 0x3f000000u;
}

int32_t map_shaded_rgb(const VoxelColour *v)
{
    uint32_t c = *v, s = c >> 24;
    uint32_t r = ((c >> 16) & 255) * s >> 7, g = ((c >> 8) & 255) * s >> 7, b = (c & 255) * s >> 7;
    if (r > 255) r = 255;
    if (g > 255) g = 255;
    if (b > 255) b = 255;
    return (int32_t)(r << 16 | g << 8 | b);
}

void map_darken_colour(VoxelColour *p, int32_t saved, int32_t health)
{
    float f = (float)(health / 100.0);
    uint32_t s = (uint32_t)saved;
    uint32_t b = (uint32_t)((float)(s & 255) * f), g = (uint32_t)((float)((s >> 8) & 255) * f),
             r = (uint32_t)((float)((s >> 16) & 255) * f);
    *p = (*p & 0xFF000000u) | (r & 255) << 16 | (g & 255) << 8 | (b & 255);
}
