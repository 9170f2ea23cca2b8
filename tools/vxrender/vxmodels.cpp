// Models from voxel grids, and the player figures of the tests and the tool.
#include "vxmodels.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "common/kv6.h"
#include "common/kv6_dirtable.h"
#include "common/model_table.h"

static bool grid_solid(int32_t xs, int32_t ys, int32_t zs, const uint32_t *g, int32_t x, int32_t y, int32_t z)
{
    if (x < 0 || y < 0 || z < 0 || x >= xs || y >= ys || z >= zs) return false;
    return g[((size_t)x * ys + y) * zs + z] != 0;
}

Kv6Model *vxmodel_from_grid(int32_t xs, int32_t ys, int32_t zs, const uint32_t *grid, float px, float py, float pz)
{
    if (xs < 1 || ys < 1 || zs < 1 || xs > 255 || ys > 255 || zs > 255 || !grid) return nullptr;
    if (dirtable.count != 255) builddirtable(255);
    static const int32_t face_dir[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    std::vector<Kv6Voxel> voxels;
    std::vector<uint16_t> columns((size_t)xs * ys, 0);
    std::vector<uint32_t> slices((size_t)xs, 0);
    for (int32_t x = 0; x < xs; x++)
        for (int32_t y = 0; y < ys; y++)
            for (int32_t z = 0; z < zs; z++) {
                if (!grid_solid(xs, ys, zs, grid, x, y, z)) continue;
                uint8_t faces = 0;
                for (int f = 0; f < 6; f++)
                    if (!grid_solid(xs, ys, zs, grid, x + face_dir[f][0], y + face_dir[f][1], z + face_dir[f][2]))
                        faces |= (uint8_t)(1 << f);
                if (!faces) continue;
                // The normal points away from the solid around the voxel.
                int32_t n[3] = {0, 0, 0};
                for (int32_t dx = -1; dx <= 1; dx++)
                    for (int32_t dy = -1; dy <= 1; dy++)
                        for (int32_t dz = -1; dz <= 1; dz++)
                            if (!grid_solid(xs, ys, zs, grid, x + dx, y + dy, z + dz)) {
                                n[0] += dx;
                                n[1] += dy;
                                n[2] += dz;
                            }
                if (!n[0] && !n[1] && !n[2])
                    for (int f = 0; f < 6; f++)
                        if (faces & (1 << f))
                            for (int k = 0; k < 3; k++) n[k] += face_dir[f][k];
                Kv6Voxel v;
                v.colour = grid[((size_t)x * ys + y) * zs + z] & 0xFFFFFFu;
                v.z = (uint16_t)z;
                v.faces = faces;
                v.normalindex = (n[0] || n[1] || n[2]) ? (uint8_t)indexfromdir((float)n[0], (float)n[1], (float)n[2])
                                                       : (uint8_t)255;
                voxels.push_back(v);
                columns[(size_t)x * ys + y]++;
                slices[(size_t)x]++;
            }
    Kv6Model *m = kv6_model_alloc(xs, ys, zs, (int32_t)voxels.size());
    if (!m) return nullptr;
    m->xpivot = px;
    m->ypivot = py;
    m->zpivot = pz;
    if (!voxels.empty()) std::memcpy(m->voxels, voxels.data(), voxels.size() * sizeof(Kv6Voxel));
    std::memcpy(m->xcounts, slices.data(), slices.size() * sizeof(uint32_t));
    std::memcpy(m->xycounts, columns.data(), columns.size() * sizeof(uint16_t));
    return m;
}

Kv6Model *vxmodel_box(int32_t xs, int32_t ys, int32_t zs, uint32_t rgb)
{
    if (xs < 1 || ys < 1 || zs < 1 || xs > 255 || ys > 255 || zs > 255) return nullptr;
    std::vector<uint32_t> g((size_t)xs * ys * zs, VXMODEL_SOLID | (rgb & 0xFFFFFFu));
    return vxmodel_from_grid(xs, ys, zs, g.data(), xs * 0.5f, ys * 0.5f, zs * 0.5f);
}

// A grid being painted: boxes of colour, half-open ranges.
struct Painter {
    int32_t xs, ys, zs;
    std::vector<uint32_t> g;
    Painter(int32_t x, int32_t y, int32_t z) : xs(x), ys(y), zs(z), g((size_t)x * y * z, 0) {}
    void box(int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t z0, int32_t z1, uint32_t rgb)
    {
        for (int32_t x = x0; x < x1; x++)
            for (int32_t y = y0; y < y1; y++)
                for (int32_t z = z0; z < z1; z++)
                    if (x >= 0 && y >= 0 && z >= 0 && x < xs && y < ys && z < zs)
                        g[((size_t)x * ys + y) * zs + z] = VXMODEL_SOLID | rgb;
    }
    Kv6Model *model(float px, float py, float pz) { return vxmodel_from_grid(xs, ys, zs, g.data(), px, py, pz); }
};

static const uint32_t SKIN = 0xE0B090, HAIR = 0x503020, DARK = 0x202020, TROUSERS = 0x384050, BOOTS = 0x2A2018;
static const uint32_t TEAM_RGB[2] = {0x3050C8, 0x38A040};

// Held tools sit in the hands: 10 voxels forward of and 1.5 below the pivot,
// at 0.65 of the arms' scale.
static Kv6Model *held_model(int tool)
{
    switch (tool) {
    case 0: { // spade: handle and blade
        Painter p(3, 22, 3);
        p.box(1, 2, 0, 16, 1, 2, 0x8A5A2A);
        p.box(0, 3, 16, 22, 0, 3, 0x9098A0);
        return p.model(1.5f, -6.0f, -0.5f);
    }
    case 1: { // block, grey so that the player's colour tints it
        Painter p(5, 5, 5);
        p.box(0, 5, 0, 5, 0, 5, 0x7F7F7F);
        return p.model(2.5f, -7.5f, 1.0f);
    }
    case 2: { // semi-automatic rifle: stock, body, magazine
        Painter p(3, 24, 5);
        p.box(0, 3, 0, 6, 0, 3, 0x6A4020);
        p.box(1, 2, 6, 24, 0, 2, 0x303030);
        p.box(1, 2, 10, 13, 2, 5, 0x404040);
        return p.model(1.5f, -2.0f, 0.5f);
    }
    case 3: { // submachine gun: short body, long magazine, grip
        Painter p(3, 18, 6);
        p.box(0, 3, 4, 18, 0, 2, 0x282828);
        p.box(1, 2, 9, 11, 2, 6, 0x505050);
        p.box(1, 2, 5, 7, 2, 4, 0x383838);
        return p.model(1.5f, -4.0f, 0.5f);
    }
    case 4: { // shotgun: wooden stock and fore-end, long barrel
        Painter p(3, 26, 4);
        p.box(0, 3, 0, 12, 1, 3, 0x7A4A20);
        p.box(1, 2, 8, 26, 0, 1, 0x606870);
        p.box(1, 2, 15, 20, 1, 2, 0x7A4A20);
        return p.model(1.5f, -2.0f, 0.5f);
    }
    default: { // grenade with its lever
        Painter p(4, 4, 5);
        p.box(0, 4, 0, 4, 1, 5, 0x4A5A2A);
        p.box(1, 3, 1, 3, 0, 1, 0x909090);
        return p.model(2.0f, -8.0f, 1.0f);
    }
    }
}

static Kv6Model *body_model(int part, int team)
{
    const uint32_t shirt = TEAM_RGB[team];
    switch (part) {
    case 0: { // head: face to +y, hair on top and at the back
        Painter p(6, 6, 6);
        p.box(0, 6, 0, 6, 0, 6, SKIN);
        p.box(0, 6, 0, 6, 0, 1, HAIR);
        p.box(0, 6, 0, 1, 0, 3, HAIR);
        p.box(1, 2, 5, 6, 2, 3, DARK);
        p.box(4, 5, 5, 6, 2, 3, DARK);
        return p.model(3.0f, 3.0f, 6.0f);
    }
    case 1: { // torso with a belt
        Painter p(8, 4, 9);
        p.box(0, 8, 0, 4, 0, 9, shirt);
        p.box(0, 8, 0, 4, 8, 9, 0x403020);
        return p.model(4.0f, 2.0f, 0.0f);
    }
    case 2: { // crouched torso, leaning forward
        Painter p(8, 8, 7);
        p.box(0, 8, 2, 8, 0, 4, shirt);
        p.box(0, 8, 0, 5, 3, 7, shirt);
        p.box(0, 8, 0, 5, 6, 7, 0x403020);
        return p.model(4.0f, 3.0f, 0.0f);
    }
    case 3: { // arms reaching forward to the hands
        Painter p(12, 10, 6);
        p.box(0, 2, 0, 6, 0, 2, shirt);
        p.box(10, 12, 0, 6, 0, 2, shirt);
        p.box(0, 2, 6, 8, 0, 2, SKIN);
        p.box(10, 12, 6, 8, 0, 2, SKIN);
        p.box(0, 12, 8, 10, 0, 2, SKIN);
        return p.model(6.0f, 2.0f, 1.0f);
    }
    case 4: { // leg with a boot
        Painter p(3, 5, 12);
        p.box(0, 3, 0, 4, 0, 10, TROUSERS);
        p.box(0, 3, 0, 5, 10, 12, BOOTS);
        return p.model(1.5f, 2.5f, 0.0f);
    }
    case 5: { // crouched leg: knee forward
        Painter p(3, 7, 8);
        p.box(0, 3, 3, 7, 0, 3, TROUSERS);
        p.box(0, 3, 0, 4, 3, 6, TROUSERS);
        p.box(0, 3, 0, 4, 6, 8, BOOTS);
        return p.model(1.5f, 3.5f, 0.0f);
    }
    default: { // dead body lying on its back, head at +y
        Painter p(8, 22, 4);
        p.box(0, 3, 0, 9, 1, 4, TROUSERS);
        p.box(5, 8, 0, 9, 1, 4, TROUSERS);
        p.box(0, 8, 9, 17, 0, 4, shirt);
        p.box(1, 7, 17, 22, 0, 4, SKIN);
        return p.model(4.0f, 11.0f, -20.0f);
    }
    }
}

static Kv6Model *intel_model(int team)
{
    Painter p(8, 6, 6);
    p.box(0, 8, 0, 6, 1, 6, TEAM_RGB[team]);
    p.box(3, 5, 2, 4, 0, 1, DARK);
    return p.model(4.0f, 3.0f, 6.0f);
}

static const int figure_slots[] = {MODEL_SPADE_3, MODEL_BLOCK_3, MODEL_SEMI_3, MODEL_SMG_3, MODEL_SHOTGUN_3,
                                   MODEL_GRENADE_3, MODEL_HEAD_B, MODEL_TORSO_B, MODEL_TORSOC_B, MODEL_ARMS_B,
                                   MODEL_LEG_B, MODEL_LEGC_B, MODEL_DEAD_B, MODEL_HEAD_G, MODEL_TORSO_G,
                                   MODEL_TORSOC_G, MODEL_ARMS_G, MODEL_LEG_G, MODEL_LEGC_G, MODEL_DEAD_G,
                                   MODEL_INTEL_B, MODEL_INTEL_G};

void vxmodel_free_figures()
{
    for (int slot : figure_slots) {
        discardmodel(model_table[slot]);
        model_table[slot] = nullptr;
    }
}

int vxmodel_make_figures()
{
    vxmodel_free_figures();
    for (int t = 0; t < 6; t++) model_table[MODEL_SPADE_3 + t] = held_model(t);
    for (int part = 0; part < 7; part++) {
        model_table[MODEL_HEAD_B + part] = body_model(part, 0);
        model_table[MODEL_HEAD_G + part] = body_model(part, 1);
    }
    model_table[MODEL_INTEL_B] = intel_model(0);
    model_table[MODEL_INTEL_G] = intel_model(1);
    for (int slot : figure_slots)
        if (!model_table[slot]) {
            vxmodel_free_figures();
            return 0;
        }
    return 1;
}

Kv6Model *vxmodel_figure(const char *name)
{
    static const struct {
        const char *name;
        int slot;
    } names[] = {{"head", MODEL_HEAD_B}, {"torso", MODEL_TORSO_B}, {"torsoc", MODEL_TORSOC_B},
                 {"arms", MODEL_ARMS_B}, {"leg", MODEL_LEG_B},     {"legc", MODEL_LEGC_B},
                 {"dead", MODEL_DEAD_B}, {"intel", MODEL_INTEL_B}, {"spade", MODEL_SPADE_3},
                 {"block", MODEL_BLOCK_3}, {"semi", MODEL_SEMI_3}, {"smg", MODEL_SMG_3},
                 {"shotgun", MODEL_SHOTGUN_3}, {"grenade", MODEL_GRENADE_3}};
    if (!name) return nullptr;
    for (const auto &n : names)
        if (!std::strcmp(n.name, name)) return model_table[n.slot];
    return nullptr;
}
