// Test maps through the world store: height fields go in as VXL images
// (map_load_image validates, indexes and shades them), everything with
// overhangs is added by edit batches.
#include "vxmaps.h"

#include <cstdio>
#include <vector>

#include "common/map_edit.h"
#include "common/map_store.h"
#include "common/terrain.h"

int vxmap_flat(int32_t ground, uint32_t rgb)
{
    map_make_flat(ground < 0 ? 0 : (ground > 63 ? 63 : ground), 0x7F000000u | (rgb & 0xFFFFFFu));
    return voxel_map.loaded ? 1 : 0;
}

int vxmap_heights(const uint8_t *ground, const uint32_t *rgb)
{
    std::vector<uint8_t> img;
    img.reserve((size_t)MAP_COLUMNS * 24);
    for (int32_t y = 0; y < 512; y++) {
        for (int32_t x = 0; x < 512; x++) {
            const int32_t i = y * 512 + x;
            const int32_t s = ground[i] > 63 ? 63 : ground[i];
            // Colour down to the lowest voxel a lower neighbour exposes.
            int32_t e = s;
            const int32_t nb[4] = {y * 512 + ((x + 1) & 511), y * 512 + ((x - 1) & 511),
                                   ((y + 1) & 511) * 512 + x, ((y - 1) & 511) * 512 + x};
            for (int32_t k = 0; k < 4; k++) {
                const int32_t g = ground[nb[k]] > 63 ? 63 : ground[nb[k]];
                if (g - 1 > e) e = g - 1;
            }
            if (e > 63) e = 63;
            img.push_back(0);
            img.push_back((uint8_t)s);
            img.push_back((uint8_t)e);
            img.push_back(0);
            for (int32_t z = s; z <= e; z++) {
                // Sides a little darker with depth, so steps read by eye.
                const uint32_t c = rgb[i];
                const int32_t f = 256 - 6 * (z - s < 20 ? z - s : 20);
                const uint32_t b = ((c & 0xFF) * (uint32_t)f) >> 8;
                const uint32_t g = (((c >> 8) & 0xFF) * (uint32_t)f) >> 8;
                const uint32_t r = (((c >> 16) & 0xFF) * (uint32_t)f) >> 8;
                img.push_back((uint8_t)b);
                img.push_back((uint8_t)g);
                img.push_back((uint8_t)r);
                img.push_back(0x7F);
            }
        }
    }
    return map_load_image(img.data(), img.size());
}

static uint32_t lcg_next(uint32_t *s)
{
    *s = *s * 1664525u + 1013904223u;
    return *s >> 8;
}

int vxmap_random(uint32_t seed)
{
    std::vector<uint8_t> g(MAP_COLUMNS);
    std::vector<uint32_t> c(MAP_COLUMNS);
    uint32_t s = seed * 2654435761u + 1;
    uint8_t plot[64 * 64];
    uint32_t pc[64 * 64];
    for (int i = 0; i < 64 * 64; i++) {
        plot[i] = (uint8_t)(20 + lcg_next(&s) % 41);
        pc[i] = 0x404040u + (lcg_next(&s) & 0x7F7F7Fu);
    }
    for (int32_t y = 0; y < 512; y++)
        for (int32_t x = 0; x < 512; x++) {
            g[y * 512 + x] = plot[(y >> 3) * 64 + (x >> 3)];
            c[y * 512 + x] = pc[(y >> 3) * 64 + (x >> 3)];
        }
    return vxmap_heights(g.data(), c.data());
}

int vxmap_generated(int32_t seed)
{
    // As the server does: generate, then index (shading) like a loaded map.
    if (!terrain_generate(seed)) return 0;
    return map_index_columns();
}

int vxmap_terrain(int32_t seed)
{
    std::vector<uint32_t> hm(MAP_COLUMNS);
    terrain_build_heightmap(seed, hm.data());
    std::vector<uint8_t> g(MAP_COLUMNS);
    std::vector<uint32_t> c(MAP_COLUMNS);
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        g[i] = (uint8_t)(hm[i] >> 24);
        const uint32_t w = hm[i];
        c[i] = ((w & 0xFF) << 0) | (w & 0xFF00) | (w & 0xFF0000); // bytes blue, green, red
    }
    return vxmap_heights(g.data(), c.data());
}

// Solid intervals added to a column by an edit plan: up to four [z0, z1).
struct ColumnPlan {
    int32_t n;
    int32_t z0[4], z1[4];
};

typedef void (*PlanFn)(int32_t x, int32_t y, ColumnPlan *plan, void *ctx);
typedef uint32_t (*PaintFn)(int32_t x, int32_t y, int32_t z, void *ctx);

static PaintFn paint_fn;
static void *paint_ctx;
static VoxelColour paint_callback(int32_t *x, int32_t *y, int32_t *z)
{
    return 0x7F000000u | (paint_fn(*x & 511, *y & 511, *z, paint_ctx) & 0xFFFFFFu);
}

// One edit batch over the whole map in the order the batch wants.
static void apply_plan(PlanFn plan, PaintFn paint, void *ctx)
{
    MapColourFn saved = map_colour_callback;
    paint_fn = paint;
    paint_ctx = ctx;
    map_colour_callback = paint_callback;
    for (int32_t y = 0; y < 512; y++)
        for (int32_t x = 0; x < 512; x++) {
            ColumnPlan p{};
            plan(x, y, &p, ctx);
            if (!p.n) continue;
            int32_t *list = map_edit_column(x, y);
            for (int32_t k = 0; k < p.n; k++) map_insert_slab(list, p.z0[k], p.z1[k]);
        }
    if (map_edit_finish() != 1) std::fprintf(stderr, "vxrender: the column pool has no room for this map's edits; drawn without them\n");
    map_colour_callback = saved;
}

static bool in_wrapped(int32_t v, int32_t from, int32_t count) { return ((v - from) & 511) < count; }

static void tower_plan(int32_t x, int32_t y, ColumnPlan *p, void *)
{
    for (int32_t i = 0; i < 8; i++)
        for (int32_t j = 0; j < 8; j++)
            if (x >= 200 + 12 * i && x < 204 + 12 * i && y >= 200 + 12 * j && y < 204 + 12 * j) {
                p->z0[p->n] = 46 - 3 * ((i + j) % 8);
                p->z1[p->n++] = 50;
            }
    if (in_wrapped(x, 508, 8) && in_wrapped(y, 508, 8)) {
        p->z0[p->n] = 30;
        p->z1[p->n++] = 50;
    }
    if (x >= 230 && x < 251 && y >= 300 && y < 304) {
        p->z0[p->n] = 40;
        p->z1[p->n++] = 42;
    }
    if (x >= 260 && x < 263 && y >= 180 && y < 261) {
        p->z0[p->n] = 35;
        p->z1[p->n++] = 50;
    }
}

static uint32_t tower_paint(int32_t x, int32_t y, int32_t z, void *)
{
    if (in_wrapped(x, 508, 8) && in_wrapped(y, 508, 8)) return VXMAP_CORNER_RGB;
    if (x >= 230 && x < 251 && y >= 300 && y < 304 && z < 42) return VXMAP_BRIDGE_RGB;
    return z < 50 ? VXMAP_TOWER_RGB : VXMAP_FLOOR_RGB;
}

int vxmap_towers()
{
    if (!vxmap_flat(50, VXMAP_FLOOR_RGB)) return 0;
    apply_plan(tower_plan, tower_paint, nullptr);
    return voxel_map.loaded ? 1 : 0;
}

struct Town {
    uint8_t height[32 * 32]; // building top per 16 x 16 block of the centre 512 x 512
    uint8_t bridge[32 * 32];
    uint32_t colour[32 * 32];
};

static void town_plan(int32_t x, int32_t y, ColumnPlan *p, void *ctx)
{
    const Town &t = *(const Town *)ctx;
    const int32_t bx = x >> 4, by = y >> 4, lx = x & 15, ly = y & 15;
    const int32_t b = by * 32 + bx;
    // Streets 4 wide between 12 x 12 buildings.
    if (lx < 12 && ly < 12 && t.height[b] < 50) {
        p->z0[p->n] = t.height[b];
        p->z1[p->n++] = 50;
        // Arcades: an air gap at street level along one side.
        if (ly < 3 && t.height[b] < 42) p->z0[p->n - 1] = t.height[b], p->z1[p->n - 1] = 44;
    }
    // Bridges across the street to the next block east.
    if (t.bridge[b] && lx >= 12 && ly >= 4 && ly < 7) {
        p->z0[p->n] = 40;
        p->z1[p->n++] = 41;
    }
}

static uint32_t town_paint(int32_t x, int32_t y, int32_t z, void *ctx)
{
    const Town &t = *(const Town *)ctx;
    const uint32_t c = t.colour[(y >> 4) * 32 + (x >> 4)];
    // Window bands on the facades.
    return (z % 4 == 1) ? (c >> 1) & 0x7F7F7Fu : c;
}

int vxmap_town(uint32_t seed)
{
    if (!vxmap_flat(50, 0x707070u)) return 0;
    Town t;
    uint32_t s = seed * 2246822519u + 7;
    for (int i = 0; i < 32 * 32; i++) {
        t.height[i] = (uint8_t)(lcg_next(&s) % 5 == 0 ? 60 : 18 + lcg_next(&s) % 28);
        t.bridge[i] = (uint8_t)(lcg_next(&s) % 3 == 0 && t.height[i] < 38);
        t.colour[i] = 0x606060u + (lcg_next(&s) & 0x7F7F7Fu);
    }
    apply_plan(town_plan, town_paint, &t);
    return voxel_map.loaded ? 1 : 0;
}
