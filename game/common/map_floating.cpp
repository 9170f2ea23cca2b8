// Floating-block detection: a flood over spans through face neighbours, a
// fixed hash set of visited spans, and in-place removal of detached groups.
#include "common/map_floating.h"

#include "common/kv6.h"
#include "common/map_edit.h"
#include "common/map_query.h"

SpanSet map_span_set;

// Static storage starts zeroed, but an empty bucket is -1.
static int32_t map_span_set_ready;

static inline int32_t map_span_bucket(int32_t k) { return ((k >> 15) - (k >> 3)) & (SPAN_SET_BUCKETS - 1); }

int32_t map_span_set_insert(int32_t key)
{
    if (!map_span_set_ready) map_span_set_clear();
    SpanSet *s = &map_span_set;
    if (s->count >= SPAN_SET_MAX) return -1;
    int32_t b = map_span_bucket(key);
    int32_t i = s->count++;
    s->entry[i].key = key;
    s->entry[i].next = s->head[b];
    s->head[b] = i;
    return s->count;
}

int32_t map_span_set_find(int32_t key)
{
    if (!map_span_set_ready) map_span_set_clear();
    const SpanSet *s = &map_span_set;
    for (int32_t i = s->head[map_span_bucket(key)]; i >= 0; i = s->entry[i].next)
        if (s->entry[i].key == key) return i;
    return -1;
}

void map_span_set_rekey(int32_t old_key, int32_t new_key)
{
    if (!map_span_set_ready) map_span_set_clear();
    SpanSet *s = &map_span_set;
    int32_t ob = map_span_bucket(old_key), nb = map_span_bucket(new_key);
    int32_t *link = &s->head[ob];
    while (*link >= 0 && s->entry[*link].key != old_key) link = &s->entry[*link].next;
    int32_t i = *link;
    if (i < 0) return;
    s->entry[i].key = new_key;
    if (ob == nb) return;
    *link = s->entry[i].next;
    s->entry[i].next = s->head[nb];
    s->head[nb] = i;
}

void map_span_set_clear()
{
    SpanSet *s = &map_span_set;
    if (!map_span_set_ready || s->count > 2047) {
        map_span_set_ready = 1;
        for (int32_t b = 0; b < SPAN_SET_BUCKETS; b++) s->head[b] = -1;
    } else {
        for (int32_t i = 0; i < s->count; i++) s->head[map_span_bucket(s->entry[i].key)] = -1;
    }
    s->count = 0;
}

// ---- flood ----

struct FloodEntry {
    int32_t x, y;
    uint8_t *span;
};
static FloodEntry map_flood_stack[FLOOD_STACK_MAX];
// Set when the span set runs full: the rest of the pass is skipped.
static int32_t map_pass_full;

static inline int32_t map_span_key(const uint8_t *p) { return (int32_t)(p - (const uint8_t *)voxel_map.pool); }
static inline uint8_t *map_span_at(int32_t key) { return (uint8_t *)voxel_map.pool + key; }

// A span the flood reached. 1 to go on; 0 when the flood must stop (the span
// belongs to an earlier flood of the pass, or a table ran full).
static int32_t map_flood_visit(uint8_t *q, int32_t x, int32_t y, int32_t first, int32_t *sp)
{
    int32_t idx = map_span_set_find(map_span_key(q));
    if (idx >= 0) return idx >= first;
    if (map_span_set_insert(map_span_key(q)) < 0) {
        map_pass_full = 1;
        return 0;
    }
    map_flood_stack[(*sp)++] = {x, y, q};
    if (map_span_set.count >= SPAN_SET_MAX) {
        map_pass_full = 1;
        return 0;
    }
    return *sp < FLOOD_STACK_MAX;
}

int32_t map_flood_chunk(FloatingChunk *c)
{
    int32_t x = c->seed_x, y = c->seed_y, sz = c->seed_z;
    if ((uint32_t)x >= 512u || (uint32_t)y >= 512u) return 0;
    uint8_t *p = map_column(x, y);
    for (;;) {
        if (sz < map_span_s(p) || map_span_n(p) == 0) return 0;
        uint8_t *q = map_span_next(p);
        if (sz < map_span_a(q)) break;
        p = q;
    }
    if (map_span_set_find(map_span_key(p)) >= 0) return 0;
    int32_t first = map_span_set.count;
    if (map_span_set_insert(map_span_key(p)) < 0 || map_span_set.count >= SPAN_SET_MAX) {
        map_pass_full = 1;
        return 0;
    }
    int32_t bx0 = x, by0 = y, bz0 = sz, bx1 = x, by1 = y, bz1 = sz;
    int32_t sp = 0; // a flood that stopped early must not leave entries behind
    static const int32_t ndx[4] = {-1, 0, 1, 0}, ndy[4] = {0, -1, 0, 1};
    for (;;) {
        int32_t top = map_span_s(p);
        uint8_t *p2 = map_span_next(p);
        int32_t a = map_span_a(p2);
        if (top < bz0) bz0 = top;
        if (a - 1 > bz1) bz1 = a - 1;
        int32_t h = a;
        if (map_span_e(p2) < a) {
            // p2 continues the same solid block (no air gap, no top colours):
            // take voxel a as ours unless p2 already carries its colour.
            int32_t coloured = 0;
            if (map_span_n(p2) != 0) {
                int32_t k = map_span_n(p2) - 1 - (map_span_e(p2) - map_span_s(p2) + 1);
                coloured = k > 0 && map_span_a(map_span_next(p2)) - k <= a;
            }
            h = coloured ? a : a + 1;
        }
        if (map_span_s(p2) <= a) {
            // No air gap: the block goes on in p2 itself. Follow it, so a block
            // is never judged by its upper half alone (the neighbour that split
            // it may lie across the map edge, where the flood does not go).
            if (map_span_n(p2) == 0) return 0;
            if (!map_flood_visit(p2, x, y, first, &sp)) return 0;
        }
        uint8_t *col = map_column(x, y);
        if (p != col && map_span_a(p) >= top) {
            // Likewise upwards: p continues the block of the span above it,
            // which may be what holds the group.
            uint8_t *up = col;
            while (map_span_next(up) != p) up = map_span_next(up);
            if (!map_flood_visit(up, x, y, first, &sp)) return 0;
        }
        for (int k = 0; k < 4; k++) {
            int32_t nx = x + ndx[k], ny = y + ndy[k];
            if ((uint32_t)nx >= 512u || (uint32_t)ny >= 512u) continue;
            if (nx < bx0) bx0 = nx;
            if (nx > bx1) bx1 = nx;
            if (ny < by0) by0 = ny;
            if (ny > by1) by1 = ny;
            uint8_t *q = map_column(nx, ny);
            for (;;) {
                if (map_span_n(q) == 0) {
                    if (map_span_s(q) < h) return 0; // touches the ground
                    break;
                }
                if (map_span_s(q) >= h) break;
                uint8_t *qn = map_span_next(q);
                if (map_span_a(qn) > top && !map_flood_visit(q, nx, ny, first, &sp)) return 0;
                q = qn;
            }
        }
        if (sp == 0) break;
        sp--;
        x = map_flood_stack[sp].x;
        y = map_flood_stack[sp].y;
        p = map_flood_stack[sp].span;
    }
    c->first = first;
    c->end = map_span_set.count;
    c->x0 = bx0;
    c->y0 = by0;
    c->z0 = bz0;
    c->x1 = bx1;
    c->y1 = by1;
    c->z1 = bz1;
    return 1;
}

static void map_chunk_remove(int32_t i)
{
    voxel_map.chunks[i] = voxel_map.chunks[--voxel_map.chunk_count];
}

void map_find_floating()
{
    map_span_set_clear();
    map_pass_full = 0;
    for (int32_t i = voxel_map.chunk_count - 1; i >= 0; i--) {
        // A chunk not revalidated in this pass would index stale set entries.
        if (map_pass_full || !map_flood_chunk(&voxel_map.chunks[i])) map_chunk_remove(i);
    }
    for (int32_t s = map_seed_count - 1; s >= 0 && !map_pass_full && voxel_map.chunk_count < MAP_MAX_CHUNKS; s--) {
        FloatingChunk *c = &voxel_map.chunks[voxel_map.chunk_count];
        c->seed_x = map_seeds[s].x;
        c->seed_y = map_seeds[s].y;
        c->seed_z = map_seeds[s].z;
        if (map_flood_chunk(c)) {
            c->handled = 0;
            voxel_map.chunk_count++;
        }
    }
    map_seed_count = 0;
}

// ---- cutting ----

// Index of span p's set entry when it belongs to [first, end), else -1.
static inline int32_t map_chunk_span(const uint8_t *p, int32_t first, int32_t end)
{
    int32_t idx = map_span_set_find(map_span_key(p));
    return idx >= first && idx < end ? idx : -1;
}

static void map_chunk_model(SpriteInstance *sprite, const FloatingChunk *c)
{
    int32_t xs = c->x1 - c->x0 + 1, ys = c->y1 - c->y0 + 1, zs = c->z1 - c->z0 + 1;
    sprite->position.x = (float)c->x0 + (float)xs / 2.0f;
    sprite->position.y = (float)c->y0 + (float)ys / 2.0f;
    sprite->position.z = (float)c->z0 + (float)zs / 2.0f;
    sprite->xaxis = {1.0f, 0.0f, 0.0f};
    sprite->yaxis = {0.0f, 1.0f, 0.0f};
    sprite->zaxis = {0.0f, 0.0f, 1.0f};
    sprite->model = nullptr;

    int64_t e = 0;
    for (int32_t i = c->first; i < c->end; i++) {
        int32_t key = map_span_set.entry[i].key;
        if (key) e += map_span_n(map_span_at(key)) - 1;
    }
    if (e < 1) return;
    Kv6Model *m = kv6_model_alloc(xs, ys, zs, (int32_t)e);
    if (!m) return;
    m->xpivot = (float)xs / 2.0f;
    m->ypivot = (float)ys / 2.0f;
    m->zpivot = (float)zs / 2.0f;

    int32_t v = 0;
    for (int32_t x = c->x0; x <= c->x1; x++) {
        int32_t slice = 0;
        for (int32_t y = c->y0; y <= c->y1; y++) {
            int32_t column = 0;
            uint8_t *p = map_column(x, y);
            for (; map_span_n(p) != 0; p = map_span_next(p)) {
                if (map_chunk_span(p, c->first, c->end) < 0) continue;
                int32_t s = map_span_s(p), top_end = map_span_e(p);
                uint8_t *q = map_span_next(p);
                int32_t k = map_span_n(p) - 1 - (top_end - s + 1);
                int32_t a = map_span_a(q);
                const uint32_t *col = map_span_colours(p);
                int32_t n = map_span_n(p) - 1;
                for (int32_t j = 0; j < n && v < e; j++, v++, column++) {
                    int32_t z = j < top_end - s + 1 ? s + j : a - k + (j - (top_end - s + 1));
                    Kv6Voxel *o = &m->voxels[v];
                    o->colour = (uint32_t)map_shaded_rgb(&col[j]);
                    o->z = (uint16_t)(z - c->z0);
                    o->normalindex = 0;
                    uint8_t f = 0;
                    if (!map_is_solid(x - 1, y, z)) f |= KV6_FACE_NEG_X;
                    if (!map_is_solid(x + 1, y, z)) f |= KV6_FACE_POS_X;
                    if (!map_is_solid(x, y - 1, z)) f |= KV6_FACE_NEG_Y;
                    if (!map_is_solid(x, y + 1, z)) f |= KV6_FACE_POS_Y;
                    if (j == 0 && top_end >= s) f |= KV6_FACE_TOP;
                    if (j == n - 1) f |= KV6_FACE_BOTTOM;
                    o->faces = f;
                }
            }
            m->xycounts[(x - c->x0) * ys + (y - c->y0)] = (uint16_t)column;
            slice += column;
        }
        m->xcounts[x - c->x0] = (uint32_t)slice;
    }
    if (v != e || !kv6_model_valid(m)) {
        // Only a map that breaks the column rules gets here; no debris then.
        discardmodel(m);
        return;
    }
    sprite->model = m;
}

static void map_bitmap_clear(int32_t w0, int32_t n)
{
    for (int32_t w = w0; w < w0 + n; w++) voxel_map.bitmap[w >> 5] &= ~(1u << (w & 31));
}

// Removes the group's spans from column (x, y) inside its own storage.
static void map_cut_column(int32_t x, int32_t y, int32_t first, int32_t end)
{
    uint8_t *col = map_column(x, y);
    uint8_t *stop = col + map_column_size(col);
    uint8_t *r = col;
    while (map_span_n(r) != 0) {
        if (map_chunk_span(r, first, end) < 0) {
            r = map_span_next(r);
            continue;
        }
        int32_t rlen = map_span_n(r) * 4;
        uint8_t *s = r + rlen;
        map_span_set_rekey(map_span_key(r), 0);
        for (uint8_t *t = s; map_span_n(t) != 0; t = map_span_next(t))
            map_span_set_rekey(map_span_key(t), map_span_key(t) - rlen);
        // r takes the header of s but keeps its own A: the gap above r now
        // reaches down to the top of s.
        r[0] = s[0];
        r[1] = s[1];
        r[2] = s[2];
        map_copy_dwords(s + 4, r + 4, (int32_t)((stop - (s + 4)) / 4));
        map_bitmap_clear(map_span_key(stop) / 4 - rlen / 4, rlen / 4);
        stop -= rlen;
    }
}

int32_t map_take_chunk(SpriteInstance *sprite, int32_t i)
{
    if (i < 0 || i >= voxel_map.chunk_count) return 0;
    FloatingChunk *c = &voxel_map.chunks[i];
    if (c->end == -1) return 0;
    if (c->first < 0 || c->end > map_span_set.count || c->first > c->end) return 0;
    if (sprite) map_chunk_model(sprite, c);
    for (int32_t y = c->y0; y <= c->y1; y++)
        for (int32_t x = c->x0; x <= c->x1; x++) map_cut_column(x, y, c->first, c->end);
    c->end = -1;
    return 1;
}

// Recompiles the columns of the box (inclusive) without changing them.
static int32_t map_recompile(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = x0; x <= x1; x++) map_edit_column(x, y);
    return map_edit_finish();
}

int32_t map_drop_taken_chunks()
{
    int32_t result = 1;
    for (int32_t i = voxel_map.chunk_count - 1; i >= 0; i--) {
        const FloatingChunk c = voxel_map.chunks[i];
        if (c.end != -1) continue;
        // The compiler's neighbours wrap: columns across the edge may now face air.
        if (c.x0 == 0 && map_recompile(511, c.y0, 511, c.y1) != 1) result = MAP_EDIT_NO_ROOM;
        if (c.x1 == 511 && map_recompile(0, c.y0, 0, c.y1) != 1) result = MAP_EDIT_NO_ROOM;
        if (c.y0 == 0 && map_recompile(c.x0, 511, c.x1, 511) != 1) result = MAP_EDIT_NO_ROOM;
        if (c.y1 == 511 && map_recompile(c.x0, 0, c.x1, 0) != 1) result = MAP_EDIT_NO_ROOM;
        map_chunk_remove(i);
    }
    return result;
}

int32_t map_remove_floating()
{
    map_find_floating();
    for (int32_t i = 0; i < voxel_map.chunk_count; i++) {
        if (voxel_map.chunks[i].handled) continue;
        voxel_map.chunks[i].handled = 1;
        map_take_chunk(nullptr, i);
    }
    return map_drop_taken_chunks();
}

int32_t map_remove_all_floating()
{
    int32_t result = 1;
    for (int32_t y = 0; y < 512; y++) {
        map_removal_box = {0, 512, y, y + 1, 0, 62};
        map_collect_float_seeds();
        if (map_remove_floating() != 1) result = MAP_EDIT_NO_ROOM;
    }
    return result;
}
