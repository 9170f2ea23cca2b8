// Voxel grid painting and KV6 encoding.
#include "ag_voxel.h"

#include <cmath>
#include <cstring>

#include "common/byteio.h"
#include "common/kv6_dirtable.h"
#include "common/model_types.h"

static size_t cell_index(const VoxGrid *g, int32_t x, int32_t y, int32_t z)
{
    return ((size_t)x * g->size[1] + y) * g->size[2] + z;
}

int vox_filled(const VoxGrid *g, int32_t x, int32_t y, int32_t z)
{
    if (x < 0 || y < 0 || z < 0 || x >= g->size[0] || y >= g->size[1] || z >= g->size[2]) return 0;
    return g->filled[cell_index(g, x, y, z)];
}

// Whether the centre p of a cell lies inside the primitive.
static int prim_contains(const VoxPrim *p, const float c[3])
{
    float lo[3], hi[3];
    for (int i = 0; i < 3; i++) {
        lo[i] = std::fmin(p->a[i], p->b[i]);
        hi[i] = std::fmax(p->a[i], p->b[i]) + 1.0f;
    }
    switch (p->shape) {
    case VOX_BOX:
    case VOX_CUT:
    case VOX_PAINT:
        return c[0] > lo[0] && c[0] < hi[0] && c[1] > lo[1] && c[1] < hi[1] && c[2] > lo[2] && c[2] < hi[2];
    case VOX_EDGES: {
        int on_side = 0;
        for (int i = 0; i < 3; i++) {
            if (c[i] < lo[i] || c[i] > hi[i]) return 0;
            on_side += c[i] < lo[i] + 1.0f || c[i] > hi[i] - 1.0f;
        }
        return on_side >= 2;
    }
    case VOX_BALL:
    case VOX_CYL_X:
    case VOX_CYL_Y:
    case VOX_CYL_Z: {
        int along = p->shape == VOX_CYL_X ? 0 : p->shape == VOX_CYL_Y ? 1 : p->shape == VOX_CYL_Z ? 2 : -1;
        float s = 0.0f;
        for (int i = 0; i < 3; i++) {
            if (i == along) {
                if (c[i] < lo[i] || c[i] > hi[i]) return 0;
                continue;
            }
            float mid = 0.5f * (lo[i] + hi[i]), rad = 0.5f * (hi[i] - lo[i]);
            float d = (c[i] - mid) / rad;
            s += d * d;
        }
        return s <= 1.0f;
    }
    case VOX_ROD: {
        float ab[3], ac[3], len2 = 0.0f, t = 0.0f;
        for (int i = 0; i < 3; i++) {
            ab[i] = p->b[i] - p->a[i];
            ac[i] = c[i] - p->a[i];
            len2 += ab[i] * ab[i];
            t += ab[i] * ac[i];
        }
        t = len2 > 0.0f ? std::fmin(1.0f, std::fmax(0.0f, t / len2)) : 0.0f;
        float d2 = 0.0f;
        for (int i = 0; i < 3; i++) {
            float d = ac[i] - t * ab[i];
            d2 += d * d;
        }
        return d2 <= p->r * p->r;
    }
    }
    return 0;
}

// A small, fixed hash of a cell, for the colour grain.
static uint32_t cell_hash(int32_t x, int32_t y, int32_t z)
{
    uint32_t h = (uint32_t)x * 73856093u ^ (uint32_t)y * 19349663u ^ (uint32_t)z * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h ^ (h >> 15);
}

static uint32_t grained(uint32_t colour, int32_t grain, uint32_t hash)
{
    if (grain <= 0 || colour == VOX_TEAM) return colour;
    int32_t d = (int32_t)(hash % (uint32_t)(2 * grain + 1)) - grain;
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) {
        int32_t ch = (int32_t)((colour >> s) & 0xFF) + d;
        ch = ch < 0 ? 0 : ch > 255 ? 255 : ch;
        out |= (uint32_t)ch << s;
    }
    return out == VOX_TEAM ? 0x010101u : out; // grain never makes team black
}

void vox_build(const VoxModelDesc *desc, VoxGrid *g)
{
    for (int i = 0; i < 3; i++) g->size[i] = desc->size[i];
    size_t n = (size_t)g->size[0] * g->size[1] * g->size[2];
    g->filled.assign(n, 0);
    g->colour.assign(n, 0);
    for (int32_t k = 0; k < desc->count; k++) {
        const VoxPrim *p = &desc->prims[k];
        uint32_t colour = p->colour == VOX_TEAM && desc->team_as ? desc->team_as : p->colour;
        for (int32_t x = 0; x < g->size[0]; x++)
            for (int32_t y = 0; y < g->size[1]; y++)
                for (int32_t z = 0; z < g->size[2]; z++) {
                    const float c[3] = {x + 0.5f, y + 0.5f, z + 0.5f};
                    if (!prim_contains(p, c)) continue;
                    size_t i = cell_index(g, x, y, z);
                    if (p->shape == VOX_CUT) {
                        g->filled[i] = 0;
                    } else if (p->shape == VOX_PAINT || p->shape == VOX_EDGES) {
                        if (g->filled[i]) g->colour[i] = colour;
                    } else {
                        g->filled[i] = 1;
                        g->colour[i] = colour;
                    }
                }
    }
    for (int32_t x = 0; x < g->size[0]; x++)
        for (int32_t y = 0; y < g->size[1]; y++)
            for (int32_t z = 0; z < g->size[2]; z++) {
                size_t i = cell_index(g, x, y, z);
                g->colour[i] = grained(g->colour[i], desc->grain, cell_hash(x, y, z));
            }
}

uint8_t vox_faces(const VoxGrid *g, int32_t x, int32_t y, int32_t z)
{
    uint8_t f = 0;
    if (!vox_filled(g, x - 1, y, z)) f |= KV6_FACE_NEG_X;
    if (!vox_filled(g, x + 1, y, z)) f |= KV6_FACE_POS_X;
    if (!vox_filled(g, x, y - 1, z)) f |= KV6_FACE_NEG_Y;
    if (!vox_filled(g, x, y + 1, z)) f |= KV6_FACE_POS_Y;
    if (!vox_filled(g, x, y, z - 1)) f |= KV6_FACE_TOP;
    if (!vox_filled(g, x, y, z + 1)) f |= KV6_FACE_BOTTOM;
    return f;
}

uint8_t vox_normal(const VoxGrid *g, int32_t x, int32_t y, int32_t z)
{
    const int R = 2;
    float v[3] = {0, 0, 0};
    for (int dx = -R; dx <= R; dx++)
        for (int dy = -R; dy <= R; dy++)
            for (int dz = -R; dz <= R; dz++) {
                int d2 = dx * dx + dy * dy + dz * dz;
                if (d2 == 0 || d2 > R * R + 1 || !vox_filled(g, x + dx, y + dy, z + dz)) continue;
                float w = 1.0f / std::sqrt((float)d2);
                v[0] += dx * w;
                v[1] += dy * w;
                v[2] += dz * w;
            }
    float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len < 0.5f) {
        // A thin plate or a lone voxel: inwards through its exposed faces.
        uint8_t f = vox_faces(g, x, y, z);
        v[0] = (float)(((f & KV6_FACE_NEG_X) ? 1 : 0) - ((f & KV6_FACE_POS_X) ? 1 : 0));
        v[1] = (float)(((f & KV6_FACE_NEG_Y) ? 1 : 0) - ((f & KV6_FACE_POS_Y) ? 1 : 0));
        v[2] = (float)(((f & KV6_FACE_TOP) ? 1 : 0) - ((f & KV6_FACE_BOTTOM) ? 1 : 0));
        len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (len < 0.5f) return 255;
    }
    return (uint8_t)indexfromdir(v[0] / len, v[1] / len, v[2] / len);
}

Bytes vox_encode_kv6(const VoxGrid *g, VoxPoint pivot)
{
    const int32_t xs = g->size[0], ys = g->size[1], zs = g->size[2];
    Bytes voxels, xcounts((size_t)xs * 4), xycounts((size_t)xs * ys * 2);
    int32_t total = 0;
    for (int32_t x = 0; x < xs; x++) {
        uint32_t slice = 0;
        for (int32_t y = 0; y < ys; y++) {
            uint16_t column = 0;
            for (int32_t z = 0; z < zs; z++) {
                if (!vox_filled(g, x, y, z)) continue;
                uint8_t faces = vox_faces(g, x, y, z);
                if (!faces) continue; // hidden inside: never drawn
                uint8_t rec[8];
                le_put_u32(rec, g->colour[cell_index(g, x, y, z)]);
                le_put_u16(rec + 4, (uint16_t)z);
                rec[6] = faces;
                rec[7] = vox_normal(g, x, y, z);
                voxels.insert(voxels.end(), rec, rec + 8);
                column++;
            }
            le_put_u16(&xycounts[((size_t)x * ys + y) * 2], column);
            slice += column;
        }
        le_put_u32(&xcounts[(size_t)x * 4], slice);
        total += (int32_t)slice;
    }
    Bytes out(32);
    std::memcpy(out.data(), "Kvxl", 4);
    le_put_i32(&out[4], xs);
    le_put_i32(&out[8], ys);
    le_put_i32(&out[12], zs);
    le_put_f32(&out[16], pivot.x);
    le_put_f32(&out[20], pivot.y);
    le_put_f32(&out[24], pivot.z);
    le_put_i32(&out[28], total);
    out.insert(out.end(), voxels.begin(), voxels.end());
    out.insert(out.end(), xcounts.begin(), xcounts.end());
    out.insert(out.end(), xycounts.begin(), xycounts.end());
    return out;
}
