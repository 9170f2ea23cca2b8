// Map invariant checker.
#include "common/map_check.h"

#include <cstdio>
#include <cstring>

#include "common/map_store.h"

static uint32_t check_used[MAP_BITMAP_WORDS];
static uint64_t check_solid[MAP_COLUMNS];
static uint64_t check_coloured[MAP_COLUMNS];

static void column_bits(const uint8_t *p, uint64_t *solid, uint64_t *coloured)
{
    uint64_t s = 0, c = 0;
    for (;;) {
        int32_t top = p[1], e = p[2];
        for (int32_t z = top; z <= e; z++) c |= 1ull << z;
        if (!p[0]) {
            s |= ~0ull << top;
            break;
        }
        const uint8_t *q = p + p[0] * 4;
        int32_t a = q[3], k = p[0] - 1 - (e - top + 1);
        for (int32_t z = a - k; z < a; z++) c |= 1ull << z;
        for (int32_t z = top; z < a; z++) s |= 1ull << z;
        p = q;
    }
    *solid = s;
    *coloured = c;
}

void map_column_bits(int32_t x, int32_t y, uint64_t *solid, uint64_t *coloured)
{
    column_bits(map_column(x, y), solid, coloured);
}

int32_t map_check(MapStats *stats, char *msg, size_t msglen, int32_t colour_rule)
{
    MapStats st;
    std::memset(&st, 0, sizeof st);
    st.min_ground = 64;
    st.max_ground = -1;
    if (msglen) msg[0] = 0;
    int ok = 1;
    auto fail = [&](const char *what, int32_t i) {
        if (ok && msglen) std::snprintf(msg, msglen, "column (%d, %d): %s", i & 511, i >> 9, what);
        ok = 0;
    };
    std::memset(check_used, 0, sizeof check_used);
    check_used[0] = 1;  // the sentinel
    st.pool_words_used = 1;
    const uint8_t *pool_lo = (const uint8_t *)&voxel_map.pool[1];
    const uint8_t *pool_hi = (const uint8_t *)&voxel_map.pool[MAP_POOL_WORDS];
    for (int32_t i = 0; i < MAP_COLUMNS && ok; i++) {
        const uint8_t *p = voxel_map.columns[i];
        if (!p || p < pool_lo || p >= pool_hi || ((uintptr_t)p & 3)) {
            fail("table entry outside the pool", i);
            break;
        }
        const char *why = nullptr;
        // Well-formed: the image validator on this one column (so the walk
        // never leaves the pool), then exactly one column long.
        int32_t len = 0;
        {
            const uint8_t *q = p;
            for (;;) {
                if (pool_hi - q < 4) { why = "runs past the pool"; break; }
                int32_t n = q[0], s = q[1], e = q[2];
                if (s > e + 1 || e > 63) { why = "S > E + 1 or E > 63"; break; }
                if (n == 0) {
                    if (s > 63) { why = "z 63 is air"; break; }
                    if (pool_hi - q < (e - s + 2) * 4) { why = "runs past the pool"; break; }
                    len = (int32_t)(q - p) + (e - s + 2) * 4;
                    break;
                }
                int32_t k = n - 1 - (e - s + 1);
                if (k < 0) { why = "N shorter than the top colours"; break; }
                if (pool_hi - q < n * 4 + 4) { why = "runs past the pool"; break; }
                const uint8_t *r = q + n * 4;
                int32_t a = r[3];
                if (a - k < e + 1 || a <= s || r[1] < a || r[1] > 63) { why = "bottom colours or gap out of order"; break; }
                st.spans++;
                q = r;
            }
        }
        if (why) {
            fail(why, i);
            break;
        }
        st.spans++;
        st.columns++;
        int32_t w0 = (int32_t)((const uint32_t *)p - voxel_map.pool);
        for (int32_t w = w0; w < w0 + len / 4; w++) {
            if ((check_used[w >> 5] >> (w & 31)) & 1) {
                fail("shares pool words with another column", i);
                break;
            }
            check_used[w >> 5] |= 1u << (w & 31);
        }
        st.pool_words_used += len / 4;
        column_bits(p, &check_solid[i], &check_coloured[i]);
        if (p[1] < st.min_ground) st.min_ground = p[1];
        if (p[1] > st.max_ground) st.max_ground = p[1];
    }
    if (ok) {
        for (int32_t w = 0; w < MAP_BITMAP_WORDS; w++) {
            if (check_used[w] != voxel_map.bitmap[w]) {
                if (msglen)
                    std::snprintf(msg, msglen, "bitmap word %d is %08x, the columns use %08x", w,
                                  voxel_map.bitmap[w], check_used[w]);
                ok = 0;
                break;
            }
        }
    }
    if (ok) {
        for (int32_t i = 0; i < MAP_COLUMNS; i++) {
            int32_t x = i & 511, y = i >> 9;
            uint64_t s = check_solid[i], c = check_coloured[i];
            uint64_t nb = check_solid[(y << 9) | ((x + 1) & 511)] & check_solid[(y << 9) | ((x - 1) & 511)] &
                          check_solid[(((y + 1) & 511) << 9) | x] & check_solid[(((y - 1) & 511) << 9) | x];
            uint64_t run_top = s & ~(s << 1);
            uint64_t run_bottom = s & ~(s >> 1) & ~(1ull << 63);
            uint64_t need = run_top | (s & ~nb & ~(1ull << 63)) | run_bottom;
            st.colours += __builtin_popcountll(c);
            st.solid_voxels += __builtin_popcountll(s);
            st.colour_missing += __builtin_popcountll(need & ~c);
            st.colour_extra += __builtin_popcountll(c & ~need);
            if ((c >> 63) & 1 && !((run_top >> 63) & 1)) st.bottom_coloured++;
        }
        if ((colour_rule >= 1 && (st.colour_missing || st.bottom_coloured)) || (colour_rule >= 2 && st.colour_extra)) {
            if (msglen)
                std::snprintf(msg, msglen, "colour rule broken: %d missing, %d extra, %d at z 63",
                              st.colour_missing, st.colour_extra, st.bottom_coloured);
            ok = 0;
        }
    }
    if (stats) *stats = st;
    return ok;
}
