// Ray set-up and the column scanner: walks one ray through the map's columns
// and resolves its samples into wall, floor, ceiling or sky colours.
#include <cmath>
#include <cstring>

#include "common/map_store.h"
#include "renderer/vox_camera.h"
#include "renderer/vox_scan_state.h"
#include "renderer/vox_world.h"

VoxScanState vox_scan;
VoxWorldStats vox_world_stats;
int32_t vox_scan_frame_limit = VOX_SPAN_FRAMES;

static int32_t wallshades[8];

// The tops of the map's one-span columns, taken a block of BLOCK_CELLS x
// BLOCK_CELLS columns at a time for a frame, when a ray first comes to the
// block (the map may change between frames): cell_tops holds each column's
// top, TOP_MIXED for a column of more than one span; block_tops the block's
// highest top (least z), TOP_MIXED when a column of the block is so, as
// (frame stamp << 8) | top. The walk reads a column's spans only where it
// meets something there. Rays on several threads may take the same block at
// once: they write the same values, and the stamp is written after the
// tops it vouches for.
#define BLOCK_SHIFT 2
#define BLOCK_CELLS (1 << BLOCK_SHIFT)
#define BLOCK_ROW (MAP_SIZE >> BLOCK_SHIFT)
#define TOP_MIXED 255
#define FLY_LEVELS 8
static uint32_t block_tops[BLOCK_ROW * BLOCK_ROW];
static uint8_t cell_tops[MAP_COLUMNS];
static uint32_t block_stamp;

// Takes block (bx, by) for this frame from its columns; returns its highest
// top. Kept out of line: the walk calls it about once a block a frame.
static __attribute__((noinline)) int32_t take_block(int32_t bx, int32_t by)
{
    int32_t top = TOP_MIXED - 1;
    bool mixed = false;
    for (int32_t y = by * BLOCK_CELLS; y < (by + 1) * BLOCK_CELLS; y++)
        for (int32_t x = bx * BLOCK_CELLS; x < (bx + 1) * BLOCK_CELLS; x++) {
            const uint8_t *p = voxel_map.columns[(y << 9) | x];
            const int32_t t = p[0] ? TOP_MIXED : p[1];
            // Written only when changed: a line left clean stays in the other drawing threads' caches.
            if (__atomic_load_n(&cell_tops[(y << 9) | x], __ATOMIC_RELAXED) != (uint8_t)t)
                __atomic_store_n(&cell_tops[(y << 9) | x], (uint8_t)t, __ATOMIC_RELAXED);
            mixed |= t == TOP_MIXED;
            top = t < top ? t : top;
        }
    top = mixed ? TOP_MIXED : top;
    __atomic_store_n(&block_tops[by * BLOCK_ROW + bx], block_stamp << 8 | (uint32_t)top, __ATOMIC_RELEASE);
    return top;
}

// The highest top of the block of column (cx, cy).
static inline int32_t block_top(int32_t cx, int32_t cy)
{
    const int32_t bx = cx >> BLOCK_SHIFT, by = cy >> BLOCK_SHIFT;
    const uint32_t v = __atomic_load_n(&block_tops[by * BLOCK_ROW + bx], __ATOMIC_ACQUIRE);
    return (v >> 8) == block_stamp ? (int32_t)(v & 255) : take_block(bx, by);
}

// The top of column (cx, cy), TOP_MIXED when it has more than one span.
static inline int32_t cell_top(int32_t cx, int32_t cy)
{
    block_top(cx, cy);
    return __atomic_load_n(&cell_tops[(cy << 9) | cx], __ATOMIC_RELAXED);
}

void setwallshades(int32_t top, int32_t under, int32_t plusx, int32_t minusx, int32_t plusy, int32_t minusy)
{
    wallshades[3] = top & 255;
    wallshades[2] = under & 255;
    wallshades[4] = plusx & 255;
    wallshades[5] = minusx & 255;
    wallshades[6] = plusy & 255;
    wallshades[7] = minusy & 255;
}

void roundtoint(float value, int32_t *out) { *out = (int32_t)std::nearbyint(value); }

int32_t mulfix16(int32_t a, int32_t b) { return (int32_t)(uint32_t)(((int64_t)a * (int64_t)b) >> 16); }

int32_t divfix16(int32_t a, int32_t b)
{
    if (b == 0) return a >= 0 ? INT32_MAX : INT32_MIN;
    int64_t q = ((int64_t)a * 65536) / (int64_t)b;
    return (int32_t)(uint32_t)q;
}

int32_t divfix16fits(int32_t a, int32_t b)
{
    const int64_t aa = a < 0 ? -(int64_t)a : a;
    const int64_t bb = b < 0 ? -(int64_t)b : b;
    return bb > (aa + 16383) / 16384 ? 1 : 0;
}

int32_t clampcoord(int32_t a, int32_t b)
{
    if ((uint32_t)a <= (uint32_t)b) return a;
    return a < 0 ? 0 : b;
}

void vox_set_ray_cursor(RaySample *samples) { vox_scan.cursor = samples; }

int vox_world_setup()
{
    VoxScanState &st = vox_scan;
    const ViewCamera &c = vox_camera;
    if (!voxel_map.loaded) return 0;
    const float lim = 16777216.0f;
    if (!(std::fabs(c.pos.x) < lim && std::fabs(c.pos.y) < lim && c.pos.z > -4096.0f && c.pos.z < 4096.0f))
        return 0;
    st.sign = c.forward.z < 0.0f ? -1 : 1;
    const double fx = std::floor((double)c.pos.x), fy = std::floor((double)c.pos.y);
    st.cellx = (int32_t)((int64_t)fx & 511);
    st.celly = (int32_t)((int64_t)fy & 511);
    st.fracx = (double)c.pos.x - fx;
    st.fracy = (double)c.pos.y - fy;
    const int32_t zi = (int32_t)std::floor(c.pos.z);
    st.camz = (int64_t)std::nearbyint((double)c.pos.z * VOX_DEPTH_PER_BLOCK);
    for (int a = 0; a < 260; a++) st.height[a] = (int32_t)((st.camz - (int64_t)a * VOX_DEPTH_PER_BLOCK) >> 16);
    for (int i = 0; i < 8; i++) st.shade[i] = wallshades[i];
    block_stamp = (block_stamp + 1) & 0xFFFFFF;
    if (block_stamp == 0) { // wrapped: no slot may look taken this frame
        std::memset(block_tops, 0, sizeof block_tops);
        block_stamp = 1;
    }

    const uint8_t *col = voxel_map.columns[(st.celly << 9) | st.cellx];
    if (!col) return 0;
    st.camcolumn = col;
    if (zi < map_span_s(col)) {
        st.ceilingz = 0;
        st.floorz = map_span_s(col);
        st.camspan = col;
        st.camprev = nullptr;
        return 1;
    }
    const uint8_t *p = col, *prev = nullptr;
    do {
        if (map_span_n(p) == 0) return 0; // below the last span's top: in the ground
        prev = p;
        p = map_span_next(p);
    } while (zi >= map_span_s(p));
    if (zi < map_span_a(p)) return 0; // inside solid
    st.ceilingz = map_span_a(p);
    st.floorz = map_span_s(p);
    st.camspan = p;
    st.camprev = prev;
    return 1;
}

// A voxel colour darkened by its shade byte less the face shade: each channel
// (channel x shade) >> 7, capped at 255; blue and red in one multiply, as
// 16-bit lanes (a lane reaches 508 at most, bit 8 marks one above 255).
static inline uint32_t shade_colour(uint32_t c, int32_t face)
{
    int32_t s = (int32_t)(c >> 24) - face;
    s = s < 0 ? 0 : s;
    uint32_t rb = (((c & 0x00FF00FFu) * (uint32_t)s) >> 7) & 0x01FF01FFu;
    const uint32_t g = (((c >> 8) & 0xFFu) * (uint32_t)s) >> 7;
    rb = (rb | ((rb >> 8) & 0x00010001u) * 0xFFu) & 0x00FF00FFu;
    return rb | (g > 255 ? 255 : g) << 8;
}

// Colour i of a span's list (top run, then on into its bottom colours);
// clamped to what the span stores, so a malformed column cannot lead the read
// past its own words.
static inline uint32_t span_colour(const uint8_t *p, int32_t i)
{
    const int32_t avail = p[0] ? p[0] - 1 : p[2] - p[1] + 1;
    if (avail <= 0) return 0;
    i = i < 0 ? 0 : (i >= avail ? avail - 1 : i);
    uint32_t c;
    std::memcpy(&c, p + 4 + 4 * i, 4);
    return c;
}

// The colour `back` words before span p's header: the bottom colours of the
// span `prev` before it (back = 1 is voxel A - 1).
static inline uint32_t colour_before(const uint8_t *p, const uint8_t *prev, int32_t back)
{
    const int32_t avail = prev ? prev[0] - 1 : 0;
    if (avail <= 0) return 0;
    back = back < 1 ? 1 : (back > avail ? avail : back);
    uint32_t c;
    std::memcpy(&c, p - 4 * back, 4);
    return c;
}

// A sample as one 64-bit word (colour, then distance, as RaySample lays them
// out), stored with one write.
typedef uint64_t SampleWord;
static inline SampleWord sample_word(const RaySample &s)
{
    return (uint64_t)s.colour | (uint64_t)(uint32_t)s.dist << 32;
}
static inline void put_sample(RaySample *o, SampleWord w) { std::memcpy(o, &w, sizeof w); }

// A sample of a face met at depth d: its colour, and d with the low 16 bits cleared.
static inline SampleWord face_sample(uint32_t colour, int64_t d)
{
    return sample_word(RaySample{colour, (int32_t)(d & ~(int64_t)0xFFFF)});
}

struct ScanFrame {
    int32_t i0, i1; // first and last unresolved sample (i0 looks highest)
    int32_t uz, lz; // air gap being looked through: first air z, top of the solid below
};

// The ray being scanned: sample i looks along the gradient pair
// (h0 + i dh, z0 + i dz), horizontal length and z component x 2^20, and is
// stored at out[i * stride].
struct ScanRay {
    RaySample *out;
    intptr_t stride;
    int64_t h0, dh, z0, dz;
    const int32_t *height;
    int32_t *sky; // where the leading run of sky samples is told, not written (null: write it)
    bool small; // |gh|, |gz|, |dh|, |dz| below 2^40: certain_run fits 64 bits for levels below 2^20
    inline int64_t gh(int32_t i) const { return h0 + (int64_t)i * dh; }
    inline int64_t gz(int32_t i) const { return z0 + (int64_t)i * dz; }
    // Ray of sample i at a distance whose high 16 bits are d16 lies below the
    // level of height hz: h hz + zc d16 > 0 on the high 16 bits of the
    // gradient pair.
    inline bool below_h(int32_t i, int64_t d16, int64_t hz) const
    {
        return (gh(i) >> 16) * hz + (gz(i) >> 16) * d16 > 0;
    }
    inline bool below(int32_t i, int64_t d16, int32_t z) const { return below_h(i, d16, height[z]); }
};

// How many samples after sample i, stepping by dir and at most `room`, take
// the same side of the level (hz, d16) as i for certain (i itself must
// certainly be below it when `below`, at or above it otherwise; else 0). The
// test floor(gh / 2^16) hz + floor(gz / 2^16) d16 lies within
// (A - max(hz, 0) - d16, A + max(-hz, 0)] of A = (gh hz + gz d16) / 2^16,
// which is linear in the sample, so the run where A keeps clear of those
// margins is found with one division, and every sample in it tests the same.
// `Wide` is the integer type that holds A x 2^16 and its step exactly.
template <typename Wide>
static inline __attribute__((always_inline)) int32_t certain_run(const ScanRay &r, int32_t i, int32_t dir,
                                                                 int32_t room, int64_t hz, int64_t d16, bool below)
{
    if (room <= 0) return 0;
    const Wide a = (Wide)r.gh(i) * hz + (Wide)r.gz(i) * d16;
    const Wide slope = ((Wide)r.dh * hz + (Wide)r.dz * d16) * dir;
    // Distance of A from its margin, which the run uses up at -slope per step.
    Wide clear, use;
    if (below) {
        clear = a - (Wide)65536 * ((hz > 0 ? hz : 0) + d16);
        use = -slope;
    } else {
        clear = -(Wide)65536 * (hz < 0 ? -hz : 0) - a;
        use = slope;
    }
    if (clear < 0) return 0;
    if (use <= 0) return room;
    if (clear < use) return 0; // the common short run, without a division
    // The quotient in double is off by far less than the margin taken, so
    // the run found is never too long.
    const double q = (double)clear / (double)use - 1e-9;
    return q < 0.0 ? 0 : (q >= (double)room ? room : (int32_t)q);
}

// For rays or levels too large for 64 bits; seldom met, so kept out of line.
static __attribute__((noinline)) int32_t certain_run_wide(const ScanRay &r, int32_t i, int32_t dir, int32_t room,
                                                          int64_t hz, int64_t d16, bool below)
{
    return certain_run<__int128>(r, i, dir, room, hz, d16, below);
}

static inline int32_t certain_run(const ScanRay &r, int32_t i, int32_t dir, int32_t room, int64_t hz, int64_t d16,
                                  bool below)
{
    return r.small && hz > -(1 << 20) && hz < (1 << 20)
               ? certain_run<int64_t>(r, i, dir, room, hz, d16, below)
               : certain_run_wide(r, i, dir, room, hz, d16, below);
}

// Writes `smp` to count samples from o on, step samples apart; returns the
// next place.
static inline RaySample *fill_samples(RaySample *o, intptr_t step, int32_t count, SampleWord smp)
{
    const intptr_t step2 = 2 * step, step3 = 3 * step, step4 = 4 * step;
    for (; count >= 4; count -= 4, o += step4) {
        put_sample(o, smp);
        put_sample(o + step, smp);
        put_sample(o + step2, smp);
        put_sample(o + step3, smp);
    }
    for (; count > 0; count--, o += step) put_sample(o, smp);
    return o;
}

// Paints a run of samples with `smp`: Below, from sample f.i1 (whose ray
// lies below the level (hz, d16)) back while the samples' rays do too;
// otherwise from f.i0 (at or above the level) forward while theirs do too.
// Runs longer than a few samples are painted without testing each sample,
// where certain_run vouches for them.
template <bool Below>
static inline void paint_run(const ScanRay &r, ScanFrame &f, int64_t hz, int64_t d16, SampleWord smp)
{
    const int32_t dir = Below ? -1 : 1;
    const int32_t end = Below ? f.i0 : f.i1; // kept aside: the stores below might otherwise reload it
    int32_t i = Below ? f.i1 : f.i0;
    int64_t gh = r.gh(i), gz = r.gz(i);
    const int64_t dh = dir * r.dh, dz = dir * r.dz;
    RaySample *o = r.out + i * r.stride;
    const intptr_t step = dir * r.stride;
    int32_t tested = 0;
    for (;;) {
        put_sample(o, smp);
        o += step;
        i += dir;
        if (Below ? i < end : i > end) break;
        gh += dh;
        gz += dz;
        if (((gh >> 16) * hz + (gz >> 16) * d16 > 0) != Below) break;
        if (++tested == 2) {
            const int32_t t = certain_run(r, i, dir, Below ? i - end : end - i, hz, d16, Below);
            o = fill_samples(o, step, t, smp);
            i += dir * t;
            gh += t * dh;
            gz += t * dz;
        }
    }
    (Below ? f.i1 : f.i0) = i;
}

static inline void paint_back(const ScanRay &r, ScanFrame &f, int64_t hz, int64_t d16, SampleWord smp)
{
    paint_run<true>(r, f, hz, d16, smp);
}

static inline void paint_fwd(const ScanRay &r, ScanFrame &f, int64_t hz, int64_t d16, SampleWord smp)
{
    paint_run<false>(r, f, hz, d16, smp);
}

static void fill_sky(const ScanRay &r, const ScanFrame *frames, int32_t nf)
{
    const SampleWord sky = sample_word(SkySample);
    int32_t f = 0;
    if (r.sky && nf > 0 && frames[0].i0 == 0) {
        *r.sky = frames[0].i1 + 1;
        f = 1;
    }
    for (; f < nf; f++)
        fill_samples(r.out + frames[f].i0 * r.stride, r.stride, frames[f].i1 - frames[f].i0 + 1, sky);
}

// Walls from below: the levels lz - 1 up to the top s of span p, as long as
// the frame's last sample's ray at dn lies below them.
static inline void walls_below(const ScanRay &r, ScanFrame &f, const uint8_t *p, int32_t s, int64_t dn,
                               int32_t wallshade)
{
    const int64_t dn16 = dn >> 16;
    const int32_t *height = r.height;
    // The last sample's high words, renewed whenever it moves.
    int64_t h1 = r.gh(f.i1) >> 16, z1 = r.gz(f.i1) >> 16;
    for (int32_t z = f.lz - 1; z >= s; z--) {
        if (h1 * height[z] + z1 * dn16 <= 0) continue;
        paint_back(r, f, height[z], dn16, face_sample(shade_colour(span_colour(p, z - s), wallshade), dn));
        if (f.i0 > f.i1) return;
        h1 = r.gh(f.i1) >> 16;
        z1 = r.gz(f.i1) >> 16;
    }
}

// Resolves what frame f sees of span p (prev: the span before it, null for
// the column's first): walls of the solid below the gap, walls of the solid
// above it, the underside above and the floor top below.
static inline __attribute__((always_inline)) void scan_frame_span(const ScanRay &r, ScanFrame &f, const uint8_t *p,
                                                                  const uint8_t *prev, int64_t dn, int64_t df,
                                                                  int32_t wallshade, const int32_t *shade)
{
    const int32_t s = p[1];
    const int64_t dn16 = dn >> 16, df16 = df >> 16;
    const int32_t *height = r.height;
    if (f.lz - 1 >= s && f.i0 <= f.i1) walls_below(r, f, p, s, dn, wallshade);
    f.lz = s;
    if (prev) {
        const int32_t a = p[3];
        if (f.uz < a && f.i0 <= f.i1) {
            int64_t h0 = r.gh(f.i0) >> 16, z0 = r.gz(f.i0) >> 16;
            for (int32_t z = f.uz; z < a; z++) {
                if (h0 * height[z + 1] + z0 * dn16 > 0) continue;
                paint_fwd(r, f, height[z + 1], dn16,
                          face_sample(shade_colour(colour_before(p, prev, a - z), wallshade), dn));
                if (f.i0 > f.i1) break;
                h0 = r.gh(f.i0) >> 16;
                z0 = r.gz(f.i0) >> 16;
            }
        }
        f.uz = a;
        if (f.i0 <= f.i1 && !r.below(f.i0, df16, a))
            paint_fwd(r, f, height[a], df16, face_sample(shade_colour(colour_before(p, prev, 1), shade[2]), df));
    } else {
        f.uz = 0;
    }
    if (f.i0 <= f.i1 && r.below(f.i1, df16, s))
        paint_back(r, f, height[s], df16, face_sample(shade_colour(span_colour(p, 0), shade[3]), df));
}

// Last sample of [i0, i1] whose ray at d16 lies at or above level z (i0 - 1
// when none): back 16 at a time, then one at a time.
static inline int32_t last_at_or_above(const ScanRay &r, int32_t i0, int32_t i1, int64_t d16, int32_t z)
{
    int32_t j = i1;
    while (j - 16 >= i0 && r.below(j - 16, d16, z)) j -= 16;
    while (j >= i0 && r.below(j, d16, z)) j--;
    return j;
}

// On from frame *fi of the *nf, which the column has just resolved: closed
// when it has no samples left, else the next one's turn.
static inline void next_frame(ScanFrame *frames, int32_t *nf, int32_t *fi)
{
    if (frames[*fi].i0 > frames[*fi].i1) {
        std::memmove(&frames[*fi], &frames[*fi + 1], sizeof(ScanFrame) * (size_t)(*nf - *fi - 1));
        (*nf)--;
    } else {
        (*fi)++;
    }
}

// Resolves what the frames (*nfp of them) see of the column of spans p,
// entered at dn and left at df; frames may split and close. Returns false
// when the ray is done (no frame left, or it ended with sky). Kept out of
// line: most columns of most views take the walk's short path.
static __attribute__((noinline)) bool scan_column(const ScanRay &r, ScanFrame *frames, int32_t *nfp, const uint8_t *p,
                                                  int64_t dn, int64_t df, int32_t wall, const int32_t *shade,
                                                  VoxScanCounts *counts)
{
    int32_t nf = *nfp;
    const int64_t dn16 = dn >> 16;
    const uint8_t *prev = nullptr;
    for (int32_t fi = 0; fi < nf;) {
        ScanFrame &f = frames[fi];
        while (p[0] && r.below(f.i0, dn16, p[2] + 1)) {
            prev = p;
            p += p[0] * 4;
        }
        if (p[0]) {
            const int32_t anext = p[p[0] * 4 + 3];
            if (r.below(f.i1, dn16, anext)) {
                // Part of the frame looks into the gap under this span:
                // the samples at or above its air start get a frame of
                // their own, the rest go on with the spans below.
                const int32_t j = last_at_or_above(r, f.i0, f.i1, dn16, anext);
                if (j < f.i0) {
                    prev = p;
                    p += p[0] * 4;
                    continue;
                }
                if (nf >= vox_scan_frame_limit || nf >= VOX_SPAN_FRAMES) {
                    counts->frame_limit++;
                    fill_sky(r, frames, nf);
                    return false;
                }
                std::memmove(&frames[fi + 1], &frames[fi], sizeof(ScanFrame) * (size_t)(nf - fi));
                nf++;
                ScanFrame &u = frames[fi];
                ScanFrame &l = frames[fi + 1];
                u.i1 = j;
                u.lz = anext;
                l.i0 = j + 1;
                l.uz = anext;
                scan_frame_span(r, u, p, prev, dn, df, wall, shade);
                next_frame(frames, &nf, &fi);
                continue; // the lower part: on with the span walk
            }
        }
        scan_frame_span(r, f, p, prev, dn, df, wall, shade);
        next_frame(frames, &nf, &fi);
    }
    *nfp = nf;
    return nf > 0;
}

// Walks the ray from the camera's column. Boundaries: bx, by the distances
// of the next x and y cell boundaries, stepx, stepy their spacing.
static void scancolumnray(const ScanRay &r, int32_t n, int64_t bx, int64_t by, int64_t stepx, int64_t stepy,
                          int32_t dirx, int32_t diry, int32_t shadex, int32_t shadey, VoxScanCounts *counts)
{
    const VoxScanState &st = vox_scan;
    const int32_t *shade = st.shade;
    ScanFrame frames[VOX_SPAN_FRAMES];
    int32_t nf = 1;
    frames[0] = ScanFrame{0, n, st.ceilingz, st.floorz};

    // The camera's own column: only its ceiling and its floor can be met.
    {
        ScanFrame &f = frames[0];
        const int64_t df = bx < by ? bx : by;
        const uint8_t *p = st.camspan;
        if (st.camprev && f.i0 <= f.i1 && !r.below(f.i0, df >> 16, p[3]))
            paint_fwd(r, f, r.height[p[3]], df >> 16,
                      face_sample(shade_colour(colour_before(p, st.camprev, 1), shade[2]), df));
        if (f.i0 <= f.i1 && r.below(f.i1, df >> 16, p[1]))
            paint_back(r, f, r.height[p[1]], df >> 16, face_sample(shade_colour(span_colour(p, 0), shade[3]), df));
        if (f.i0 > f.i1) return;
        if (!st.camprev) f.uz = 0;
    }

    uint8_t *const *columns = voxel_map.columns;
    int32_t cx = st.cellx, cy = st.celly;
    int64_t h1 = INT64_MIN, z1 = 0; // INT64_MIN: not known
    int32_t tried = -1;             // the last block the ray tried to cross at once
    bool flying = false; // one frame, and the last column took the short path, met nothing and was left
                         // FLY_LEVELS or more above its top
    for (;;) {
        int64_t dn;
        int32_t wall;
        if (bx <= by) {
            dn = bx;
            bx += stepx;
            cx = (cx + dirx) & 511;
            wall = shadex;
        } else {
            dn = by;
            by += stepy;
            cy = (cy + diry) & 511;
            wall = shadey;
        }
        const int64_t df = bx < by ? bx : by;
        if (df > VOX_SCAN_LIMIT) {
            fill_sky(r, frames, nf);
            return;
        }
        const int32_t blk = (cy >> BLOCK_SHIFT) * BLOCK_ROW + (cx >> BLOCK_SHIFT);
        if (flying && blk != tried) {
            // One frame in a block of one-span columns: while the last
            // sample's ray passes at or above the block's highest top (and
            // its horizontal length is not negative), it meets no wall and
            // no top in any of them, which the test at the two ends of its
            // way through the block vouches for (it is linear in the
            // distance). Then the walk goes on from the block's last column.
            // (h1, z1 are known: the last column met nothing.)
            tried = blk;
            if (h1 >= 0) {
                const int32_t top = block_top(cx, cy);
                const int32_t m = BLOCK_CELLS - 1;
                const int32_t rx = dirx > 0 ? m - (cx & m) : (cx & m);
                const int32_t ry = diry > 0 ? m - (cy & m) : (cy & m);
                const int64_t bxe = bx + rx * stepx, bye = by + ry * stepy;
                const int64_t e = bxe <= bye ? bxe : bye;
                if (top != TOP_MIXED && e <= VOX_SCAN_LIMIT && h1 * r.height[top] + z1 * (dn >> 16) <= 0 &&
                    h1 * r.height[top] + z1 * (e >> 16) <= 0) {
                    // Boundaries crossed: all those of the axis it leaves
                    // by, and those of the other that come first (x first
                    // on a tie).
                    int32_t kx = rx, ky = ry;
                    if (bxe <= bye) {
                        ky = 0;
                        while (ky < ry && by + ky * stepy < bxe) ky++;
                    } else {
                        kx = 0;
                        while (kx < rx && bx + kx * stepx <= bye) kx++;
                    }
                    cx = (cx + kx * dirx) & 511;
                    cy = (cy + ky * diry) & 511;
                    bx += kx * stepx;
                    by += ky * stepy;
                    frames[0].lz = __atomic_load_n(&cell_tops[(cy << 9) | cx], __ATOMIC_RELAXED);
                    frames[0].uz = 0;
                    continue;
                }
            }
        }
        // The column's spans, read here only when the column has more than
        // one or the frames do; else on the short path once it meets them.
        const uint8_t *p = nullptr;
        int32_t s = nf == 1 ? cell_top(cx, cy) : TOP_MIXED;
        if (s == TOP_MIXED) {
            p = columns[(cy << 9) | cx];
            s = p[1];
        }
        if (nf == 1 && (!p || p[0] == 0)) {
            // One frame and a column of one span: only the span's walls from
            // below and its top can be met. While the last sample's ray
            // passes above the top (and its horizontal length is not
            // negative, so that the levels below the top are passed too),
            // no wall is. h1, z1: the high words of the last sample.
            ScanFrame &f = frames[0];
            const uint8_t *const *col = &columns[(cy << 9) | cx];
            if (h1 == INT64_MIN) {
                h1 = r.gh(f.i1) >> 16;
                z1 = r.gz(f.i1) >> 16;
            }
            const int64_t hs = r.height[s];
            bool met = false;
            if (f.lz > s && (h1 < 0 || h1 * hs + z1 * (dn >> 16) > 0)) {
                met = true;
                walls_below(r, f, *col, s, dn, wall);
                if (f.i0 > f.i1) return;
                h1 = r.gh(f.i1) >> 16;
                z1 = r.gz(f.i1) >> 16;
            }
            f.lz = s;
            f.uz = 0;
            if (h1 * hs + z1 * (df >> 16) > 0) {
                met = true;
                // The last sample is painted here; most tops end there or
                // soon after, so the run goes on out of line only if the
                // sample before it meets the top too.
                const SampleWord top = face_sample(shade_colour(span_colour(*col, 0), shade[3]), df);
                put_sample(r.out + f.i1 * r.stride, top);
                f.i1--;
                if (f.i0 > f.i1) return;
                if (r.below_h(f.i1, df >> 16, hs)) {
                    paint_back(r, f, hs, df >> 16, top);
                    if (f.i0 > f.i1) return;
                }
                h1 = INT64_MIN;
            }
            // A ray that only just clears the tops is seldom clear of a
            // whole block: it is not tried.
            flying = !met && (s < FLY_LEVELS || h1 * r.height[s - FLY_LEVELS] + z1 * (df >> 16) <= 0);
            continue;
        }
        h1 = INT64_MIN; // the frames change below
        flying = false;
        if (!scan_column(r, frames, &nf, p, dn, df, wall, shade, counts)) return;
    }
}

void castrayline(int32_t n, float x0, float y0, float x1, float y1)
{
    VoxScanCounts counts{0, 0, 0};
    vox_cast_ray(vox_scan.cursor, 1, n, x0, y0, x1, y1, &counts, nullptr);
    vox_world_stats.rays += counts.rays;
    vox_world_stats.samples += counts.samples;
    vox_world_stats.frame_limit += counts.frame_limit;
}

void vox_cast_ray(RaySample *out, intptr_t stride, int32_t n, float x0, float y0, float x1, float y1,
                  VoxScanCounts *counts, int32_t *sky)
{
    const VoxScanState &st = vox_scan;
    const ViewCamera &c = vox_camera;
    if (sky) *sky = 0;
    if (n < 0) n = 0;
    if (n > VOX_RECIP_ENTRIES - 1) n = VOX_RECIP_ENTRIES - 1;
    counts->rays++;
    counts->samples += n + 1;

    const Vec3 &c0 = c.corner[0], &rt = c.right, &dn = c.down;
    const float e = c0.x + x1 * rt.x + y1 * dn.x;
    const float jj = c0.y + x1 * rt.y + y1 * dn.y;
    const float ze = c0.z + x1 * rt.z + y1 * dn.z;
    const float es = c0.x + x0 * rt.x + y0 * dn.x;
    const float js = c0.y + x0 * rt.y + y0 * dn.y;
    const float zs = c0.z + x0 * rt.z + y0 * dn.z;
    const double k = std::sqrt((double)e * e + (double)jj * jj);
    if (!(k > 1e-6) || !std::isfinite(k)) {
        fill_samples(out, stride, n + 1, sample_word(SkySample));
        return;
    }
    double hs = std::fabs(e) >= std::fabs(jj) ? (double)es * k / (double)e : (double)js * k / (double)jj;
    if (!(hs > 0.0)) hs = 0.0;
    const double he = k;

    // Distance between cell boundaries along the ray, and to the first one.
    const double big = 4.0e18;
    int64_t stepx, stepy, bx, by;
    const double qx = std::fabs(e) > 0.0 ? k / std::fabs(e) * VOX_DEPTH_PER_BLOCK : big;
    const double qy = std::fabs(jj) > 0.0 ? k / std::fabs(jj) * VOX_DEPTH_PER_BLOCK : big;
    if (qx < 1.0e15) {
        stepx = (int64_t)std::nearbyint(qx);
        bx = (int64_t)std::nearbyint((double)stepx * (e < 0.0f ? st.fracx : 1.0 - st.fracx));
    } else {
        stepx = (int64_t)1 << 50;
        bx = (int64_t)1 << 50;
    }
    if (qy < 1.0e15) {
        stepy = (int64_t)std::nearbyint(qy);
        by = (int64_t)std::nearbyint((double)stepy * (jj < 0.0f ? st.fracy : 1.0 - st.fracy));
    } else {
        stepy = (int64_t)1 << 50;
        by = (int64_t)1 << 50;
    }
    const int32_t shadex = e < 0.0f ? st.shade[5] : st.shade[4];
    const int32_t shadey = jj < 0.0f ? st.shade[7] : st.shade[6];

    // Gradients: the first sample looks highest.
    ScanRay r;
    r.out = out;
    r.stride = stride;
    r.height = st.height;
    r.sky = sky;
    const double rc = (double)ReciprocalTable[n];
    if (st.sign >= 0) {
        r.h0 = (int64_t)std::nearbyint(he * 1048576.0);
        r.z0 = (int64_t)std::nearbyint((double)ze * 1048576.0);
        r.dh = (int64_t)std::nearbyint((hs - he) * rc);
        r.dz = (int64_t)std::nearbyint(((double)zs - (double)ze) * rc);
    } else {
        r.h0 = (int64_t)std::nearbyint(hs * 1048576.0);
        r.z0 = (int64_t)std::nearbyint((double)zs * 1048576.0);
        r.dh = (int64_t)std::nearbyint((he - hs) * rc);
        r.dz = (int64_t)std::nearbyint(((double)ze - (double)zs) * rc);
    }
    auto below40 = [](int64_t v) { return v > -((int64_t)1 << 40) && v < ((int64_t)1 << 40); };
    r.small = below40(r.h0) && below40(r.z0) && below40(r.dh) && below40(r.dz) && below40(r.gh(n)) &&
              below40(r.gz(n));
    scancolumnray(r, n, bx, by, stepx, stepy, e < 0.0f ? -1 : 1, jj < 0.0f ? -1 : 1, shadex, shadey, counts);
}

// Shared by both clip routines: a is the major axis (the one the samples step
// along), b the other; bounds of b are [lb, hb], of a [la, ha].
static void clipline(float va, float vb, float ea, float eb, float la, float ha, float lb, float hb, int32_t *start,
                     int32_t *end, float *bstart, float *bend)
{
    const float m = (eb - vb) / (ea - va); // b per a
    float sa = va, enda = ea;
    if (m != 0.0f && std::isfinite(m)) {
        if (vb < lb) sa = va + (lb - vb) / m;
        else if (vb > hb) sa = va + (hb - vb) / m;
        if (eb < lb) enda = ea + (lb - eb) / m;
        else if (eb > hb) enda = ea + (hb - eb) / m;
    }
    int32_t s, e;
    const int32_t lo = (int32_t)std::nearbyint(la), hi = (int32_t)std::nearbyint(ha);
    s = std::isfinite(sa) ? (int32_t)std::nearbyint(std::fmax(std::fmin(sa, 65536.0f), -65536.0f)) : lo;
    e = std::isfinite(enda) ? (int32_t)std::nearbyint(std::fmax(std::fmin(enda, 65536.0f), -65536.0f)) : lo;
    s = s < lo ? lo : (s > hi ? hi : s);
    e = e < lo ? lo : (e > hi ? hi : e);
    *start = s;
    *end = e;
    *bstart = std::isfinite(m) ? eb + m * ((float)s - ea) : eb;
    *bend = std::isfinite(m) ? eb + m * ((float)e - ea) : eb;
}

void vox_clip_ray(int xmajor, float vx, float vy, float edgex, float edgey, RayLine *line)
{
    const float xr = (float)vox_frame.xres, yr = (float)vox_frame.yres;
    float bs, be;
    if (xmajor) clipline(vx, vy, edgex, edgey, -1.0f, xr, -1.0f, yr, &line->start, &line->end, &bs, &be);
    else clipline(vy, vx, edgey, edgex, -1.0f, yr, -1.0f, xr, &line->start, &line->end, &bs, &be);
    line->n = line->end > line->start ? line->end - line->start : line->start - line->end;
    const float as = (float)line->start, ae = (float)line->end;
    line->x0 = xmajor ? as : bs;
    line->y0 = xmajor ? bs : as;
    line->x1 = xmajor ? ae : be;
    line->y1 = xmajor ? be : ae;
}

void clipraylinex(float vx, float vy, float edgex, float edgey, int32_t *start, int32_t *end)
{
    RayLine l;
    vox_clip_ray(1, vx, vy, edgex, edgey, &l);
    *start = l.start;
    *end = l.end;
    castrayline(l.n, l.x0, l.y0, l.x1, l.y1);
}

void cliprayliney(float vx, float vy, float edgex, float edgey, int32_t *start, int32_t *end)
{
    RayLine l;
    vox_clip_ray(0, vx, vy, edgex, edgey, &l);
    *start = l.start;
    *end = l.end;
    castrayline(l.n, l.x0, l.y0, l.x1, l.y1);
}
