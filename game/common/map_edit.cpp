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

// ---- scratch area and batch state ----

#define EDIT_NO_ROW INT32_MIN
#define EDIT_ROW_INTS (512 * MAP_LIST_INTS)

// The batch's own area; a lent one replaces it only when large enough.
static int32_t edit_own_rows[3 * EDIT_ROW_INTS];
static uint8_t edit_own_out[MAP_COMPILE_MAX_BYTES];

struct EditRow {
    int32_t *lists;          // 512 slots of MAP_LIST_INTS
    uint32_t stamp[512];     // slot x holds row `y`'s list when stamp == gen
    uint32_t gen;
    int32_t y;               // unwrapped row number
    int32_t lo, hi;          // x range opened by the caller (lo > hi: none)
};

// Undo journal of the open batch (or group of batches): every column storage
// replaced, so that a batch that finds no room in the pool leaves the table,
// the bitmap, the rover and the colour generators exactly as they were. The
// old bytes are kept here and their words freed at once, as the allocator
// expects; once this area is full, further old storages stay allocated until
// the batch closes (such a batch needs room for both).
#define EDIT_UNDO_MAX (MAP_COLUMNS + 4 * MAP_SIZE) // a batch over every row, wrapping
#define EDIT_KEPT_WORDS 262144                      // 1 MiB of old column bytes

struct EditUndo {
    int32_t column;   // index into the column table
    int32_t old_word; // pool word of the storage it replaced
    int32_t kept;     // word offset of its bytes in edit_kept, -1: still allocated
};

static EditUndo edit_undo[EDIT_UNDO_MAX];
static uint32_t edit_kept[EDIT_KEPT_WORDS];
static int32_t edit_undo_count, edit_kept_used;
static int32_t edit_recording; // a batch or group is open
static int32_t edit_grouped;   // map_edit_group_begin was called
static int32_t edit_failed;    // a store found no room: everything undone, nothing more stored
static int32_t edit_saved_rover;
// Cells built in the open group whose damage records go only once the group
// is kept: a refused group leaves them, and their darkened colours, to heal.
// Only cells with a record are listed, so the ring's size bounds the list.
static MapCell edit_forget[MAP_DAMAGE_SLOTS];
static int32_t edit_forget_count;
static uint32_t edit_saved_placed_rng, edit_saved_rng;

static EditRow edit_row_state[3];
static EditRow *edit_rows[3] = {&edit_row_state[0], &edit_row_state[1], &edit_row_state[2]};  // y-2, y-1, y
static uint32_t edit_gen_counter = 0;
static int32_t edit_cur_row = EDIT_NO_ROW;
static uint8_t *edit_out = edit_own_out;

static void edit_bind_area(int32_t *rows, uint8_t *out)
{
    for (int i = 0; i < 3; i++) edit_row_state[i].lists = rows + i * EDIT_ROW_INTS;
    edit_out = out;
}

int32_t map_edit_set_scratch(void *area, size_t bytes)
{
    if (edit_cur_row != EDIT_NO_ROW) return 0;
    uintptr_t a = (uintptr_t)area;
    size_t skip = (size_t)((8 - (a & 7)) & 7);
    if (!area || bytes < skip || bytes - skip < (size_t)3 * EDIT_ROW_INTS * 4 + MAP_COMPILE_MAX_BYTES) {
        edit_bind_area(edit_own_rows, edit_own_out);
        return 0;
    }
    int32_t *rows = (int32_t *)(a + skip);
    edit_bind_area(rows, (uint8_t *)(rows + 3 * EDIT_ROW_INTS));
    return 1;
}

static void edit_row_reset(EditRow *r, int32_t y)
{
    if (!r->lists) edit_bind_area(edit_own_rows, edit_out ? edit_out : edit_own_out);
    r->gen = ++edit_gen_counter;
    if (r->gen == 0) {  // the counter wrapped: old stamps could match again
        for (int i = 0; i < 3; i++) std::memset(edit_row_state[i].stamp, 0, sizeof edit_row_state[i].stamp);
        r->gen = edit_gen_counter = 1;
    }
    r->y = y;
    r->lo = 1;
    r->hi = 0;
}

// The list of column x of a row, expanded from the map on first use.
static int32_t *edit_row_list(EditRow *r, int32_t x)
{
    x &= 511;
    int32_t *list = r->lists + x * MAP_LIST_INTS;
    if (r->stamp[x] != r->gen) {
        map_expand_column(x, r->y, list);
        r->stamp[x] = r->gen;
    }
    return list;
}

static void edit_record_begin()
{
    if (edit_recording) return;
    edit_recording = 1;
    edit_failed = 0;
    edit_undo_count = edit_kept_used = 0;
    edit_saved_rover = voxel_map.rover;
    edit_saved_placed_rng = map_placed_rng;
    edit_saved_rng = rng_state();
}

// Puts the compiled column (edit_out, bytes) in place of column idx's
// storage. 0 when the pool has no room (nothing of it changed then).
static int32_t edit_store(int32_t idx, int32_t bytes)
{
    if (edit_undo_count >= EDIT_UNDO_MAX) return 0;
    uint8_t **slot = &voxel_map.columns[idx];
    uint8_t *old = *slot;
    int32_t words = map_column_size(old) / 4;
    EditUndo *u = &edit_undo[edit_undo_count];
    u->column = idx;
    u->old_word = (int32_t)((uint32_t *)old - voxel_map.pool);
    u->kept = -1;
    if (edit_kept_used + words <= EDIT_KEPT_WORDS) {
        u->kept = edit_kept_used;
        map_copy_dwords(old, &edit_kept[edit_kept_used], words);
        map_column_free(old);
    }
    uint8_t *dst = map_column_alloc(bytes);
    if (!dst) {
        if (u->kept >= 0) map_column_claim(old);
        return 0;
    }
    if (u->kept >= 0) edit_kept_used += words;
    edit_undo_count++;
    *slot = dst;
    map_copy_dwords(edit_out, dst, bytes / 4);
    return 1;
}

// Undoes every store of the journal, newest first: each step finds the pool
// as that store left it, so an old storage's words are free again when its
// bytes go back.
static void edit_undo_all()
{
    for (int32_t i = edit_undo_count - 1; i >= 0; i--) {
        const EditUndo *u = &edit_undo[i];
        uint8_t **slot = &voxel_map.columns[u->column];
        uint8_t *old = (uint8_t *)&voxel_map.pool[u->old_word];
        map_column_free(*slot);
        if (u->kept >= 0) {
            const uint32_t *bytes = &edit_kept[u->kept];
            map_copy_dwords(bytes, old, map_column_size((const uint8_t *)bytes) / 4);
            map_column_claim(old);
        }
        *slot = old;
    }
    edit_undo_count = edit_kept_used = 0;
    voxel_map.rover = edit_saved_rover;
    map_placed_rng = edit_saved_placed_rng;
    rng_srand(edit_saved_rng);
}

// Closes the journal: frees the old storages still held, or reports the
// failure whose stores were undone. 1 kept, MAP_EDIT_NO_ROOM undone.
static int32_t edit_record_end()
{
    int32_t result = edit_failed ? MAP_EDIT_NO_ROOM : 1;
    for (int32_t i = 0; i < edit_undo_count; i++)
        if (edit_undo[i].kept < 0) map_column_free((const uint8_t *)&voxel_map.pool[edit_undo[i].old_word]);
    edit_undo_count = edit_kept_used = 0;
    edit_recording = edit_grouped = edit_failed = 0;
    return result;
}

static void edit_start(int32_t y)
{
    edit_record_begin();
    edit_row_reset(edit_rows[0], y - 2);
    edit_row_reset(edit_rows[1], y - 1);
    edit_row_reset(edit_rows[2], y);
    edit_cur_row = y;
}

static void edit_advance()
{
    EditRow *r = edit_rows[0];
    edit_rows[0] = edit_rows[1];
    edit_rows[1] = edit_rows[2];
    edit_rows[2] = r;
    edit_cur_row++;
    edit_row_reset(r, edit_cur_row);
}

static void edit_close_rows();

int32_t *map_edit_column(int32_t x, int32_t y)
{
    x &= 511;
    y &= 511;
    if (edit_cur_row == EDIT_NO_ROW) {
        edit_start(y);
    } else if (y != (edit_cur_row & 511)) {
        if (y == ((edit_cur_row + 1) & 511)) {
            map_edit_flush();
            edit_advance();
        } else {
            // Not the next row: the rolling rows cannot hold it, so close
            // these rows and go on from there rather than mix rows; the
            // journal stays open, so the caller's finish keeps or undoes all.
            edit_close_rows();
            edit_start(y);
        }
    }
    EditRow *r = edit_rows[2];
    if (r->lo > r->hi) {
        r->lo = r->hi = x;
    } else {
        if (x < r->lo) r->lo = x;
        if (x > r->hi) r->hi = x;
    }
    return edit_row_list(r, x);
}

int32_t map_edit_flush()
{
    if (edit_cur_row == EDIT_NO_ROW) return 1;
    if (edit_failed) return MAP_EDIT_NO_ROOM;
    EditRow *above = edit_rows[0], *row = edit_rows[1], *below = edit_rows[2];
    // Columns of row y - 1 to compile: its own opened ones and their x
    // neighbours, and the y neighbours of the rows above and below.
    int32_t lo[3], hi[3];
    lo[0] = row->lo > row->hi ? 1 : row->lo - 1;  // nothing opened stays empty
    hi[0] = row->lo > row->hi ? 0 : row->hi + 1;
    lo[1] = below->lo;
    hi[1] = below->hi;
    lo[2] = above->lo;
    hi[2] = above->hi;
    int32_t from = INT32_MAX, to = INT32_MIN;
    for (int i = 0; i < 3; i++) {
        if (lo[i] > hi[i]) continue;
        if (lo[i] < from) from = lo[i];
        if (hi[i] > to) to = hi[i];
    }
    if (from > to) return 1;
    uint64_t done[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    int32_t y = row->y & 511;
    for (int32_t u = from; u <= to; u++) {
        int in = 0;
        for (int i = 0; i < 3; i++) in |= u >= lo[i] && u <= hi[i];
        int32_t x = u & 511;
        if (!in || (done[x >> 6] >> (x & 63)) & 1) continue;
        done[x >> 6] |= 1ull << (x & 63);
        int32_t *own = edit_row_list(row, x);
        int32_t *xm = edit_row_list(row, x - 1);
        int32_t *xp = edit_row_list(row, x + 1);
        int32_t *ym = edit_row_list(above, x);
        int32_t *yp = edit_row_list(below, x);
        int32_t bytes = map_compile_column(own, xm, xp, ym, yp, edit_out, x, y);
        if (!edit_store((y << 9) | x, bytes)) {
            edit_undo_all();
            edit_failed = 1;
            return MAP_EDIT_NO_ROOM;
        }
    }
    return 1;
}

static void edit_close_rows()
{
    if (edit_cur_row == EDIT_NO_ROW) return;
    map_edit_flush();
    edit_advance();
    map_edit_flush();
    edit_advance();
    map_edit_flush();
    edit_cur_row = EDIT_NO_ROW;
}

int32_t map_edit_finish()
{
    edit_close_rows();
    if (edit_grouped) return edit_failed ? MAP_EDIT_NO_ROOM : 1;
    return edit_record_end();
}

void map_edit_group_begin()
{
    if (edit_grouped) return;
    map_edit_finish();
    edit_record_begin();
    edit_grouped = 1;
    edit_forget_count = 0;
}

int32_t map_edit_group_end()
{
    edit_close_rows();
    int32_t result = edit_record_end();
    if (result == 1)
        for (int32_t i = 0; i < edit_forget_count; i++) map_damage_forget(&edit_forget[i]);
    edit_forget_count = 0;
    return result;
}

// Drops the cell's damage record now, or when its group is kept.
static void edit_forget_damage(const MapCell *cell)
{
    if (!edit_grouped) {
        map_damage_forget(cell);
        return;
    }
    if (!map_damage_has(cell)) return;
    for (int32_t i = 0; i < edit_forget_count; i++)
        if (edit_forget[i].x == cell->x && edit_forget[i].y == cell->y && edit_forget[i].z == cell->z) return;
    if (edit_forget_count < MAP_DAMAGE_SLOTS) edit_forget[edit_forget_count++] = *cell;
}

// ---- interval lists ----

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

static uint64_t list_to_mask(const int32_t *list)
{
    uint64_t m = 0;
    for (int32_t i = 0; i < MAP_LIST_INTS - 1; i += 2) {
        int32_t t = list[i], e = list[i + 1];
        if (t < 0) t = 0;
        if (e > 64) e = 64;
        if (t < e) m |= (~0ull << t) & (e >= 64 ? ~0ull : ((1ull << e) - 1));
        if (list[i + 1] >= 64) break;
    }
    return m;
}

static void mask_to_list(uint64_t m, int32_t *list)
{
    m |= 1ull << 63;  // the bottom voxel is always solid
    int32_t n = 0, z = 0;
    while (z < 64) {
        while (z < 64 && !((m >> z) & 1)) z++;
        list[n++] = z;
        while (z < 64 && ((m >> z) & 1)) z++;
        list[n++] = z;
    }
}

static inline uint64_t range_mask(int32_t z0, int32_t z1)
{
    if (z0 < 0) z0 = 0;
    if (z0 >= z1 || z0 >= 64) return 0;
    return (~0ull << z0) & (z1 >= 64 ? ~0ull : ((1ull << z1) - 1));
}

void map_insert_slab(int32_t *list, int32_t z0, int32_t z1)
{
    if (z0 < 0) z0 = 0;
    if (z1 > 64) z1 = 64;
    if (z0 >= z1) return;
    mask_to_list(list_to_mask(list) | range_mask(z0, z1), list);
}

void map_delete_slab(int32_t *list, int32_t z0, int32_t z1)
{
    if (z0 < 0) z0 = 0;
    if (z1 > 63) z1 = 63;
    if (z0 >= z1) return;
    mask_to_list(list_to_mask(list) & ~range_mask(z0, z1), list);
}

// ---- column compiler ----

int32_t map_compile_column(const int32_t *list_in, const int32_t *xm, const int32_t *xp, const int32_t *ym,
                           const int32_t *yp, uint8_t *out, int32_t x, int32_t y)
{
    // Work on a canonical copy: whatever the caller passed, the intervals are
    // sorted, disjoint and end at 64, and reading stays inside the copy.
    int32_t list[MAP_LIST_INTS];
    mask_to_list(list_to_mask(list_in), list);

    // Voxels with an air face neighbour (x and y +- 1).
    const uint64_t air = ~(list_to_mask(xm) & list_to_mask(xp) & list_to_mask(ym) & list_to_mask(yp));

    // Colours of the column's current storage.
    uint32_t old[64];
    uint64_t has_old = 0;
    const uint8_t *p = map_column(x, y);
    for (;;) {
        int32_t s = p[1], e = p[2];
        const uint32_t *c = map_span_colours(p);
        for (int32_t z = s; z <= e; z++, c++) {
            old[z] = *c;
            has_old |= 1ull << z;
        }
        if (!p[0]) break;
        const uint8_t *q = p + p[0] * 4;
        int32_t a = q[3], k = p[0] - 1 - (e - s + 1);
        for (int32_t z = a - k; z < a; z++, c++) {
            old[z] = *c;
            has_old |= 1ull << z;
        }
        p = q;
    }

    uint32_t *o = (uint32_t *)out;
    uint8_t *hdr = out;
    auto colour = [&](int32_t z) {
        if ((has_old >> z) & 1) {
            *o++ = old[z];
        } else {
            int32_t cx = x, cy = y, cz = z;
            *o++ = map_colour_callback(&cx, &cy, &cz);
        }
    };
    auto open_span = [&](int32_t s, int32_t e, int32_t a) {
        hdr = (uint8_t *)o;
        hdr[0] = 0;
        hdr[1] = (uint8_t)s;
        hdr[2] = (uint8_t)e;
        hdr[3] = (uint8_t)a;
        o++;
    };
    auto close_span = [&]() { hdr[0] = (uint8_t)(o - (uint32_t *)hdr); };

    int32_t prev_end = 0;
    for (int32_t j = 0;; j++) {
        int32_t t = list[2 * j], e = list[2 * j + 1];
        int last = e >= 64;
        open_span(t, e - 1, j == 0 ? 0 : prev_end);
        colour(t);
        int first_gap = 1, ended = 0;
        int32_t z = t + 1;
        while (z <= e - 1) {
            int need = (int)((air >> z) & 1) || (j == 0 && z == e - 1 && e < 64);
            if (z == 63) need = 0;  // the bottom layer faces no air
            if (need) {
                colour(z);
                z++;
                continue;
            }
            if (first_gap) {
                hdr[2] = (uint8_t)(z - 1);
                first_gap = 0;
            } else {
                close_span();
                open_span(z, z - 1, z);
            }
            // Jump to the next voxel that faces air, or the interval's bottom.
            uint64_t ahead = (air & range_mask(z + 1, e)) & ~(1ull << 63);
            int32_t target = ahead ? __builtin_ctzll(ahead) : e - 1;
            if (last && target == 63) {
                ended = 1;
                break;
            }
            colour(target);
            z = target + 1;
        }
        if (last || ended) {
            hdr[0] = 0;
            break;
        }
        close_span();
        prev_end = e;
    }
    return (int32_t)((uint8_t *)o - out);
}

void map_copy_dwords(const void *src, void *dst, int32_t count)
{
    std::memmove(dst, src, (size_t)count * 4);
}

// ---- block operations ----

static inline int cell_in_map(const MapCell *c) { return (uint32_t)c->x < 512u && (uint32_t)c->y < 512u; }

int32_t map_add_block(const MapCell *cell, int32_t colour)
{
    if (!cell_in_map(cell) || cell->z < 0 || cell->z > 62) return 0;
    map_placed_colour = ((uint32_t)colour & 0xFFFFFFu) | 0x7F000000u;
    map_colour_callback = map_colour_placed_block;
    map_insert_slab(map_edit_column(cell->x, cell->y), cell->z, cell->z + 1);
    if (map_edit_finish() != 1) return MAP_EDIT_NO_ROOM;
    edit_forget_damage(cell);
    return 1;
}

// Seeds around a removal that was stored; a refused one removed nothing.
static int32_t removal_done(int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t z0, int32_t z1)
{
    if (map_edit_finish() != 1) return MAP_EDIT_NO_ROOM;
    map_removal_box = {x0, x1, y0, y1, z0, z1};
    map_collect_float_seeds();
    return 1;
}

int32_t map_remove_block(const MapCell *cell)
{
    if (!cell_in_map(cell) || cell->z < 0 || cell->z > 62) return 0;
    map_colour_callback = map_colour_exposed_voxel;
    map_delete_slab(map_edit_column(cell->x, cell->y), cell->z, cell->z + 1);
    return removal_done(cell->x, cell->x + 1, cell->y, cell->y + 1, cell->z, cell->z + 1);
}

static inline void three_high(int32_t z, int32_t *z0, int32_t *z1)
{
    *z0 = z - 1 > 0 ? z - 1 : 0;
    *z1 = z >= 60 ? 62 : z + 2;
}

int32_t map_remove_column3(const MapCell *cell)
{
    int32_t z0, z1;
    three_high(cell->z, &z0, &z1);
    if (!cell_in_map(cell) || z0 >= z1) return 0;
    map_colour_callback = map_colour_exposed_voxel;
    map_delete_slab(map_edit_column(cell->x, cell->y), z0, z1);
    return removal_done(cell->x, cell->x + 1, cell->y, cell->y + 1, z0, z1);
}

int32_t map_remove_cube3(const MapCell *cell)
{
    int32_t z0, z1;
    three_high(cell->z, &z0, &z1);
    int32_t x0 = cell->x - 1 > 0 ? cell->x - 1 : 0, x1 = cell->x + 2 < 512 ? cell->x + 2 : 512;
    int32_t y0 = cell->y - 1 > 0 ? cell->y - 1 : 0, y1 = cell->y + 2 < 512 ? cell->y + 2 : 512;
    if (x0 >= x1 || y0 >= y1 || z0 >= z1) return 0;
    map_colour_callback = map_colour_exposed_voxel;
    for (int32_t y = y0; y < y1; y++)
        for (int32_t x = x0; x < x1; x++) map_delete_slab(map_edit_column(x, y), z0, z1);
    return removal_done(x0, x1, y0, y1, z0, z1);
}

static void seed_column(int32_t x, int32_t y, int32_t zlo, int32_t zhi)
{
    if ((uint32_t)x >= 512u || (uint32_t)y >= 512u) return;
    const uint8_t *p = map_column(x, y);
    while (p[0] && p[1] <= zhi && map_seed_count < MAP_MAX_SEEDS) {
        const uint8_t *q = p + p[0] * 4;
        if (q[3] - 1 >= zlo) map_seeds[map_seed_count++] = {x, y, p[1]};
        p = q;
    }
}

void map_collect_float_seeds()
{
    const MapRemovalBox b = map_removal_box;
    for (int32_t y = b.y0 - 1; y <= b.y1 && map_seed_count < MAP_MAX_SEEDS; y++) {
        if ((uint32_t)y >= 512u) continue;
        if (y == b.y0 - 1 || y == b.y1) {
            for (int32_t x = b.x0; x < b.x1; x++) seed_column(x, y, b.z0, b.z1 - 1);
        } else {
            for (int32_t x = b.x0 - 1; x <= b.x1; x++) {
                if (x == b.x0 - 1 || x == b.x1) seed_column(x, y, b.z0, b.z1 - 1);
                else seed_column(x, y, b.z0 - 1, b.z1);
            }
        }
    }
}

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
