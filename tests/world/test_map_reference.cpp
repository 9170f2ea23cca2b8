// Step-by-step models of the column compiler, the ray cast and the line of
// sight, written straight from their descriptions, against the fast code:
// client and server must agree bit for bit, so every byte, callback call,
// hit cell and face must match.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/map_ray.h"
#include "common/rng.h"
#include "world_fixture.h"

namespace {

uint32_t ref_seed = 12345;
uint32_t ref_next()
{
    ref_seed = ref_seed * 1664525u + 1013904223u;
    return ref_seed >> 8;
}

// A random solidity mask with the bottom voxel solid: a few intervals.
uint64_t random_mask()
{
    uint64_t m = 1ull << 63;
    int32_t runs = (int32_t)(ref_next() % 5);
    for (int32_t i = 0; i < runs; i++) {
        int32_t a = (int32_t)(ref_next() % 64), len = 1 + (int32_t)(ref_next() % 20);
        for (int32_t z = a; z < a + len && z < 64; z++) m |= 1ull << z;
    }
    if (ref_next() % 4 == 0) m |= ~0ull << (ref_next() % 64);
    return m;
}

void mask_list(uint64_t m, int32_t *list)
{
    int32_t n = 0, z = 0;
    while (z < 64) {
        while (z < 64 && !((m >> z) & 1)) z++;
        list[n++] = z;
        while (z < 64 && ((m >> z) & 1)) z++;
        list[n++] = z;
    }
    while (n < MAP_LIST_INTS) list[n++] = 64;
}

// Neighbour with an air flag that flips at each boundary of its list.
struct RefNeighbour {
    const int32_t *list;
    int32_t next;  // index of the next boundary not yet passed
    bool air;
};

void ref_pass(RefNeighbour *nb, int32_t z)
{
    for (int i = 0; i < 4; i++)
        while (nb[i].list[nb[i].next] <= z && nb[i].list[nb[i].next] < 64) {
            nb[i].air = !nb[i].air;
            nb[i].next++;
        }
}

struct CallLog {
    std::vector<int32_t> calls;  // x, y, z per call
    uint32_t counter = 0;
};
CallLog *active_log;
VoxelColour logging_colour(int32_t *x, int32_t *y, int32_t *z)
{
    active_log->calls.insert(active_log->calls.end(), {*x, *y, *z});
    return 0x3F000000u | (++active_log->counter & 0xFFFFFF);
}

// The compiler as described: neighbour flags, provisional E, gaps, jumps.
int32_t ref_compile(const int32_t *list, const int32_t *const nbl[4], uint8_t *out, int32_t x, int32_t y)
{
    // Old colours of the column's current storage.
    uint32_t old[64];
    bool has[64] = {};
    const uint8_t *p = map_column(x, y);
    for (;;) {
        int32_t s = p[1], e = p[2];
        const uint32_t *c = (const uint32_t *)(p + 4);
        for (int32_t z = s; z <= e; z++) old[z] = *c++, has[z] = true;
        if (!p[0]) break;
        const uint8_t *q = p + p[0] * 4;
        int32_t k = p[0] - 1 - (e - s + 1);
        for (int32_t z = q[3] - k; z < q[3]; z++) old[z] = *c++, has[z] = true;
        p = q;
    }
    RefNeighbour nb[4];
    for (int i = 0; i < 4; i++) nb[i] = {nbl[i], 0, true};
    uint32_t *o = (uint32_t *)out;
    uint8_t *hdr = nullptr;
    auto colour = [&](int32_t z) {
        if (has[z]) {
            *o++ = old[z];
        } else {
            int32_t cx = x, cy = y, cz = z;
            *o++ = map_colour_callback(&cx, &cy, &cz);
        }
    };
    auto header = [&](int32_t s, int32_t e, int32_t a) {
        hdr = (uint8_t *)o;
        hdr[0] = 0, hdr[1] = (uint8_t)s, hdr[2] = (uint8_t)e, hdr[3] = (uint8_t)a;
        o++;
    };
    int32_t prev_e = 0;
    for (int32_t j = 0;; j++) {
        int32_t t = list[2 * j], e = list[2 * j + 1];
        header(t, e - 1, j == 0 ? 0 : prev_e);
        ref_pass(nb, t);
        colour(t);
        bool first_gap = true;
        for (int32_t z = t + 1; z <= e - 1;) {
            ref_pass(nb, z);
            bool need = nb[0].air || nb[1].air || nb[2].air || nb[3].air || (j == 0 && z == e - 1 && e < 64);
            if (need) {
                colour(z);
                z++;
                continue;
            }
            if (first_gap) {
                hdr[2] = (uint8_t)(z - 1);
                first_gap = false;
            } else {
                hdr[0] = (uint8_t)(o - (uint32_t *)hdr);
                header(z, z - 1, z);
            }
            int32_t target = 64;
            for (int i = 0; i < 4; i++) {
                int32_t b = nb[i].list[nb[i].next];
                if (b > z && b < e && b < target) target = b;
            }
            if (target == 64) target = e - 1;
            ref_pass(nb, target);
            if (e == 64 && target == 63) return (int32_t)((uint8_t *)o - out);  // hdr N stays 0
            colour(target);
            z = target + 1;
        }
        if (e >= 64) return (int32_t)((uint8_t *)o - out);
        hdr[0] = (uint8_t)(o - (uint32_t *)hdr);
        prev_e = e;
    }
}

}  // namespace

namespace {

const int32_t *nb_ptrs(int32_t (*n)[MAP_LIST_INTS], const int32_t *out[4])
{
    for (int i = 0; i < 4; i++) out[i] = n[i];
    return out[0];
}

// The ray cast as described, with the quotients left unclamped (the caller
// skips rays whose quotients would not fit).
struct RefRay {
    bool hit;
    int32_t x, y, z, face;
    const VoxelColour *colour;
};

const int64_t REF_K_ZERO = 0x1fffff;

int64_t ref_quotient(float a, float b)
{
    if (b == 0.0f) return REF_K_ZERO;
    return (int64_t)std::fabs(a * 1024.0f / b);
}

bool ref_quotients_fit(const Vec3 &d)
{
    float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
    int64_t q[2];
    if (ay <= ax && az <= ax) q[0] = ref_quotient(d.x, d.y), q[1] = ref_quotient(d.x, d.z);
    else if (az <= ay) q[0] = ref_quotient(d.y, d.x), q[1] = ref_quotient(d.y, d.z);
    else q[0] = ref_quotient(d.z, d.x), q[1] = ref_quotient(d.z, d.y);
    return q[0] < (1 << 28) && q[1] < (1 << 28);
}

RefRay ref_ray(const Vec3 &pos, const Vec3 &dir)
{
    RefRay r{};
    int32_t x, y, z;
    math_round_int(pos.x - 0.5f, &x);
    math_round_int(pos.y - 0.5f, &y);
    math_round_int(pos.z - 0.5f, &z);
    r.x = x, r.y = y, r.z = z;
    int32_t sx = dir.x < 0 ? -1 : 1, sy = dir.y < 0 ? -1 : 1, sz = dir.z < 0 ? -1 : 1;
    int32_t ztop = z < 0 ? z : 0;
    int64_t kx, ky, kz;
    if (std::fabs(dir.y) <= std::fabs(dir.x) && std::fabs(dir.z) <= std::fabs(dir.x)) {
        kx = 1024, ky = ref_quotient(dir.x, dir.y), kz = ref_quotient(dir.x, dir.z);
    } else if (std::fabs(dir.z) <= std::fabs(dir.y)) {
        ky = 1024, kx = ref_quotient(dir.y, dir.x), kz = ref_quotient(dir.y, dir.z);
    } else {
        kz = 1024, kx = ref_quotient(dir.z, dir.x), ky = ref_quotient(dir.z, dir.y);
    }
    int64_t gx = (int64_t)((pos.x - (float)x) * (float)kx);
    int64_t gy = (int64_t)((pos.y - (float)y) * (float)ky);
    int64_t gz = (int64_t)((pos.z - (float)z) * (float)kz);
    int64_t ex = sx < 0 ? gx : kx - gx, ey = sy < 0 ? gy : ky - gy, ez = sz < 0 ? gz : kz - gz;

    uint8_t *first = map_column(x, y), *cur = first;
    while (z >= cur[1]) {
        if (!cur[0]) return r;  // inside the bottom solid
        cur += cur[0] * 4;
    }
    int32_t u = cur == first ? ztop : cur[3], w = cur[1];
    for (;;) {
        if (ex < ez || ey < ez) {
            if (ex < ey) {
                x += sx, r.x = x, r.face = sx > 0 ? 0 : 1;
                if (x < 0 || x > 511) return r;
                ex += kx;
            } else {
                y += sy, r.y = y, r.face = sy > 0 ? 2 : 3;
                if (y < 0 || y > 511) return r;
                ey += ky;
            }
            first = cur = map_column(x, y);
            while (z >= cur[1]) {
                if (z <= cur[2] || !cur[0]) {
                    r.hit = true, r.colour = (VoxelColour *)(cur + 4) + (z - cur[1]);
                    return r;
                }
                cur += cur[0] * 4;
            }
            if (cur == first) {
                u = ztop;
            } else {
                u = cur[3];
                if (z < u) {
                    r.hit = true, r.colour = (VoxelColour *)cur - (u - z);
                    return r;
                }
            }
            w = cur[1];
        } else {
            z += sz, r.z = z, r.face = sz > 0 ? 4 : 5;
            if (z < u) {
                if (z < ztop) return r;
                r.hit = true, r.colour = (VoxelColour *)cur - 1;
                return r;
            }
            if (z >= w) {
                r.hit = true, r.colour = (VoxelColour *)(cur + 4);
                return r;
            }
            ez += kz;
        }
    }
}

// Flat ground at 40 with random pillars, roofs, loose blocks and caves in
// x, y 90..170 and along the x = 0 edge, all built by edits so that every
// exposed voxel carries a colour.
void build_ray_map()
{
    map_make_flat(40, 0x7F406080u);
    ref_seed = 777;
    for (int32_t i = 0; i < 1500; i++) {
        int32_t x = 90 + (int32_t)(ref_next() % 80), y = 90 + (int32_t)(ref_next() % 80);
        if (i % 7 == 0) x = (int32_t)(ref_next() % 3), y = (int32_t)(ref_next() % 512);
        int32_t kind = (int32_t)(ref_next() % 4);
        if (kind == 0) {
            for (int32_t z = 40 - 1 - (int32_t)(ref_next() % 12); z < 40; z++) {
                MapCell c{x, y, z};
                map_add_block(&c, 0x204060);
            }
        } else if (kind == 1) {
            MapCell c{x, y, 20 + (int32_t)(ref_next() % 18)};
            map_add_block(&c, 0x604020);
        } else {
            MapCell c{x, y, 40 + (int32_t)(ref_next() % 20)};
            map_remove_block(&c);
        }
    }
    map_seed_count = 0;
}

float ref_coord(float lo, float span)
{
    // Now and then exactly on a cell boundary or a cell centre.
    uint32_t k = ref_next() % 8;
    float v = lo + (float)(ref_next() % 65536) / 65536.0f * span;
    if (k == 0) return std::floor(v);
    if (k == 1) return std::floor(v) + 0.5f;
    if (k == 2) return std::floor(v) + 0.999f;
    return v;
}

float ref_component()
{
    uint32_t k = ref_next() % 10;
    float v = (float)(ref_next() % 65536) / 32768.0f - 1.0f;
    if (k == 0) return 0.0f;
    if (k == 1) return v * 1e-4f;  // tiny: quotients far above 0x1fffff
    if (k == 2) return v * 1e-6f;
    return v;
}

}  // namespace

TEST(MapReference, CompilerMatchesTheDescribedSteps)
{
    map_make_flat(63, 0x7F000000u);
    MapColourFn keep = map_colour_callback;
    map_colour_callback = logging_colour;
    const int32_t x = 77, y = 88, idx = (y << 9) | x;
    uint8_t *own_storage = voxel_map.columns[idx];
    static uint8_t old_column[MAP_COMPILE_MAX_BYTES];
    ref_seed = 4242;
    int32_t mismatches = 0;
    for (int32_t iter = 0; iter < 20000 && mismatches < 5; iter++) {
        int32_t list[MAP_LIST_INTS], nb[4][MAP_LIST_INTS];
        const int32_t *nbp[4];
        nb_ptrs(nb, nbp);
        // Old storage: a compiled column of another shape.
        uint64_t old_mask = random_mask();
        mask_list(old_mask, list);
        for (int i = 0; i < 4; i++) mask_list(random_mask(), nb[i]);
        CallLog setup;
        active_log = &setup;
        voxel_map.columns[idx] = own_storage;
        ref_compile(list, nbp, old_column, x, y);
        voxel_map.columns[idx] = old_column;
        // The new shape: often the old one with a few voxels changed.
        uint64_t m = ref_next() % 2 ? old_mask : random_mask();
        for (int32_t i = (int32_t)(ref_next() % 4); i > 0; i--) m ^= 1ull << (ref_next() % 63);
        mask_list(m | 1ull << 63, list);
        for (int i = 0; i < 4; i++)
            if (ref_next() % 3 == 0) mask_list(random_mask(), nb[i]);
        uint8_t want[MAP_COMPILE_MAX_BYTES], got[MAP_COMPILE_MAX_BYTES];
        CallLog a, b;
        active_log = &a;
        int32_t nw = ref_compile(list, nbp, want, x, y);
        active_log = &b;
        int32_t ng = map_compile_column(list, nb[0], nb[1], nb[2], nb[3], got, x, y);
        bool same = nw == ng && std::vector<uint8_t>(want, want + nw) == std::vector<uint8_t>(got, got + ng) &&
                    a.calls == b.calls;
        if (!same) {
            mismatches++;
            ADD_FAILURE() << "iteration " << iter << ": " << nw << " vs " << ng << " bytes, " << a.calls.size() / 3
                          << " vs " << b.calls.size() / 3 << " callback calls";
        }
    }
    voxel_map.columns[idx] = own_storage;
    map_colour_callback = keep;
}

TEST(MapReference, RayCastMatchesTheDescribedSteps)
{
    build_ray_map();
    ref_seed = 99;
    int32_t compared = 0, hits = 0, mismatches = 0;
    for (int32_t i = 0; i < 60000 && mismatches < 5; i++) {
        Vec3 pos{ref_coord(95, 70), ref_coord(95, 70), ref_coord(-3, 42)};
        if (i % 5 == 0) pos.x = ref_coord(0, 12);
        Vec3 dir{ref_component(), ref_component(), ref_component()};
        if (!ref_quotients_fit(dir)) continue;
        RefRay want = ref_ray(pos, dir);
        HitRecord rec{}, *hp = &rec;
        map_ray_cast(&pos, &dir, &hp);
        compared++;
        hits += want.hit;
        bool same = (hp != nullptr) == want.hit && rec.x == want.x && rec.y == want.y && rec.z == want.z;
        if (same && want.hit) same = rec.face == want.face && rec.colour == want.colour;
        if (!same) {
            mismatches++;
            ADD_FAILURE() << "pos " << pos.x << " " << pos.y << " " << pos.z << " dir " << dir.x << " " << dir.y
                          << " " << dir.z << ": want " << want.hit << " " << want.x << "," << want.y << ","
                          << want.z << " face " << want.face << ", got " << (hp != nullptr) << " " << rec.x << ","
                          << rec.y << "," << rec.z << " face " << rec.face;
        }
    }
    EXPECT_GT(compared, 40000);
    EXPECT_GT(hits, 15000);
}

TEST(MapReference, TinyComponentCrossesWhereTheRayDoes)
{
    // Along +x from y = 300.999 with dy = 1e-4 per cell the ray enters row
    // 301 after ten cells: it passes the block at x 203 and hits the one at
    // x 211. Cutting the quotient at the zero component's value would turn
    // into row 301 after two cells and hit x 203.
    map_make_flat(40, 0x7F406080u);
    for (int32_t x : {203, 211}) {
        MapCell c{x, 301, 30};
        map_add_block(&c, 0x808080);
    }
    Vec3 pos{200.5f, 300.999f, 30.5f}, dir{1.0f, 1e-4f, 0.0f};
    HitRecord rec{}, *hp = &rec;
    map_ray_cast(&pos, &dir, &hp);
    ASSERT_NE(hp, nullptr);
    EXPECT_EQ(rec.x, 211);
    EXPECT_EQ(rec.y, 301);
    EXPECT_EQ(rec.z, 30);
    EXPECT_EQ(rec.face, 0);
    // A component too small for any quotient still walks and misses cleanly.
    Vec3 flat{1.0f, 1e-30f, 0.0f};
    hp = &rec;
    map_ray_cast(&pos, &flat, &hp);
    EXPECT_EQ(hp, nullptr);
    EXPECT_EQ(rec.x, 512);
    // Starts below the map are in the bottom solid, however far down.
    for (float z : {64.0f, 1000.5f, 1e20f}) {
        Vec3 deep{200.5f, 300.5f, z}, up{0.0f, 0.0f, -1.0f};
        hp = &rec;
        map_ray_cast(&deep, &up, &hp);
        EXPECT_EQ(hp, nullptr) << z;
    }
}

TEST(MapReference, ExposedColourArithmetic)
{
    // Hand-worked blends between two gradient entries, with the position
    // terms and one rng_rand() call for the jitter.
    const struct {
        int32_t x, y, z;
        uint32_t base;  // before the jitter
    } cases[] = {
        {4, 4, 0, 0x506060u},    // g0 itself, |0 - 4| << 2 adds 16 to blue
        {1, 6, 13, 0x765B47u},   // g 0x605848 .. 0x705040, f 5; red + 12, green + 8, blue + 4
        {8, 12, 31, 0x82413Du},  // g 0x804838 .. 0x704030, f 7 (falling channels); red + 16, blue + 12
        {0, 0, 63, 0x42311Du},   // last entry pair 0x402818 .. 0x302010, f 7
    };
    for (const auto &c : cases) {
        rng_srand(77);
        int32_t x = c.x, y = c.y, z = c.z;
        VoxelColour got = map_colour_exposed_voxel(&x, &y, &z);
        rng_srand(77);
        uint32_t jitter = (uint32_t)(rng_rand() & 7) * 0x010101u;
        EXPECT_EQ(got, (c.base + jitter) | 0x3F000000u) << c.z;
        EXPECT_EQ(rng_state(), [] { rng_srand(77); rng_rand(); return rng_state(); }());
    }
}

TEST(MapReference, InvertedRectangleDrawsLikeTheRuntimeRemainder)
{
    map_make_flat(40, 0x7F406080u);
    MapRect r{20, 30, 10, 25};  // width -10, height -5
    rng_srand(3);
    int32_t rx = rng_rand(), ry = rng_rand();
    rng_srand(3);
    Vec3 v;
    map_random_point_in_rect(&v, &r);
    EXPECT_EQ(v.x, (float)(rx % -10 + 20) + 0.5f);
    EXPECT_EQ(v.y, (float)(ry % -5 + 30) + 0.5f);
    EXPECT_EQ(v.z, 40.0f);
}
