// renderworld: the vanishing point of the vertical, the four screen regions
// around it, one ray per pixel of each region's outer edge, and the line walk
// that hands each screen line to the span kernels.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/map_store.h"
#include "renderer/vox_camera.h"
#include "renderer/vox_cpu.h"
#include "renderer/vox_kernels.h"
#include "renderer/vox_pool.h"
#include "renderer/vox_scan_state.h"
#include "renderer/vox_sprite.h"
#include "renderer/vox_world.h"

static RaySample *own_samples;
static size_t own_capacity; // samples
static RaySample *lent_samples;
static size_t lent_capacity;
static RayEntry *ray_table;
static RayLine *ray_lines;
static int32_t *ray_sky; // each ray's sky bound (SpanKernelParams::sky), and a window's room past the last
static int16_t *range_area; // the range tables' levels
static size_t ray_capacity;
static int32_t firstcol[VOX_MAX_YRES + 1];
static int32_t colrow0[VOX_MAX_XRES]; // first row that uses each column's ray table entry
static uint16_t fogwords[4] = {0, 0, 0, 0};

// One screen line of a top or bottom region, as drawspanstep takes it.
struct RowSpan {
    int32_t row, x0, x1, raynumber, step;
};
static RowSpan row_spans[VOX_MAX_YRES];

void voxsetfogcolour(uint32_t rgb)
{
    fogwords[0] = (uint16_t)(rgb & 0xFF);
    fogwords[1] = (uint16_t)((rgb >> 8) & 0xFF);
    fogwords[2] = (uint16_t)((rgb >> 16) & 0xFF);
    fogwords[3] = 0;
}

uint32_t vox_fog_colour() { return (uint32_t)fogwords[0] | (uint32_t)fogwords[1] << 8 | (uint32_t)fogwords[2] << 16; }

void voxsetworkbuffer(void *buffer, size_t bytes)
{
    // Aligned to 64 for the samples, so that drawing threads never share a
    // cache line of them.
    uintptr_t a = ((uintptr_t)buffer + 63) & ~(uintptr_t)63;
    if (!buffer || bytes < (a - (uintptr_t)buffer) + sizeof(RaySample)) {
        lent_samples = nullptr;
        lent_capacity = 0;
        return;
    }
    lent_samples = (RaySample *)a;
    lent_capacity = (bytes - (a - (uintptr_t)buffer)) / sizeof(RaySample);
}

static int grow_samples(size_t need)
{
    if (need <= own_capacity) return 1;
    std::free(own_samples);
    own_capacity = 0;
    own_samples = (RaySample *)std::aligned_alloc(64, (need * sizeof(RaySample) + 63) & ~(size_t)63);
    if (!own_samples) return 0;
    own_capacity = need;
    return 1;
}

static int grow_rays(size_t need)
{
    if (need <= ray_capacity) return 1;
    RayEntry *r = (RayEntry *)std::realloc(ray_table, need * sizeof(RayEntry));
    if (r) ray_table = r;
    RayLine *l = (RayLine *)std::realloc(ray_lines, need * sizeof(RayLine));
    if (l) ray_lines = l;
    int16_t *t = (int16_t *)std::realloc(range_area, need * 4 * VOX_RANGE_LEVELS * sizeof(int16_t));
    if (t) range_area = t;
    int32_t *k = (int32_t *)std::realloc(ray_sky, (need + 8) * sizeof(int32_t));
    if (k) ray_sky = k;
    if (!r || !l || !t || !k) return 0;
    ray_capacity = need;
    return 1;
}

int vox_world_reserve(int32_t xres, int32_t yres)
{
    const size_t m = (size_t)(xres > yres ? xres : yres);
    return grow_samples((m * 2 + 8) * (m + 4)) && grow_rays(m * 2 + 8);
}

void vox_world_release()
{
    std::free(own_samples);
    own_samples = nullptr;
    own_capacity = 0;
    std::free(ray_table);
    ray_table = nullptr;
    std::free(ray_lines);
    ray_lines = nullptr;
    std::free(range_area);
    range_area = nullptr;
    std::free(ray_sky);
    ray_sky = nullptr;
    ray_capacity = 0;
}

// Sample buffer of `need` samples for a region.
static RaySample *region_buffer(size_t need)
{
    if (lent_samples && need <= lent_capacity) return lent_samples;
    if (!grow_samples(need)) return nullptr;
    return own_samples;
}

static inline int32_t iround(double v) { return (int32_t)std::nearbyint(v); }

struct Region {
    float vx, vy;      // vanishing point
    int32_t xres, yres;
    int32_t sign;
};

// Bands a pass is cut into: one on a single thread (the plain path), else
// several per thread, so that threads that finish early (or that the system
// has not run for a while) are made up for by the others.
static int32_t pass_bands(int32_t items, int32_t per_thread)
{
    const int32_t t = vox_threads();
    if (t == 1) return 1;
    const int32_t b = t * per_thread;
    return b < items ? b : (items > 0 ? items : 1);
}

// A region's rays on their way from the clipping to the kernels. The rays
// are cut into the same bands for clipping and casting.
struct RegionJob {
    Region g;
    bool rows;
    float edge;
    double r0, u;
    int32_t n, s, per, bands;
    RaySample *samples;
    intptr_t istride;
    int32_t imin;
    int32_t lo[VOX_MAX_THREADS * 16], hi[VOX_MAX_THREADS * 16];
    int64_t first[VOX_MAX_THREADS * 16]; // samples of each band's rays; then the band's first sample
    VoxScanCounts counts[VOX_MAX_THREADS * 16];
    VoxAsideJob aside;
    void *aside_arg;
};

// Clips the band's rays: the screen lines from the vanishing point to the edge
// points r0 + (j + 1) u (of a top or bottom region to the edge y = `edge`,
// else to x = `edge`). Samples run from the one that looks highest.
static void clip_band(void *arg, int32_t band)
{
    RegionJob &c = *(RegionJob *)arg;
    const int32_t j0 = band * c.per, j1 = j0 + c.per < c.n ? j0 + c.per : c.n;
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    int64_t total = 0;
    for (int32_t j = j0; j < j1; j++) {
        const float e = (float)(c.r0 + (double)(j + 1) * c.u);
        RayLine &l = ray_lines[j];
        if (c.rows) vox_clip_ray(0, c.g.vx, c.g.vy, e, c.edge, &l);
        else vox_clip_ray(1, c.g.vx, c.g.vy, c.edge, e, &l);
        RayEntry &re = ray_table[j];
        re.lo = (c.g.sign >= 0 ? l.end : l.start) * c.s;
        re.hi = re.lo + l.n;
        total += (int64_t)l.n + 1;
        lo = re.lo < lo ? re.lo : lo;
        hi = re.hi > hi ? re.hi : hi;
    }
    c.lo[band] = lo;
    c.hi[band] = hi;
    c.first[band] = total;
}

// Lays out the clipped rays' samples. Rows (a top or bottom region): stored
// by sample index (ray j's sample i at rowbase[i * istride + j]) so that a
// screen line reads them in order; else (left or right) each ray's samples
// together. Returns the sample buffer, or null when none could be had.
// Rows are kept whole on purpose: tiles that hold 2-8 of a ray's samples
// per cache line wrote no faster (each line of a row is written by eight
// neighbouring rays while still close in cache) and would cost the line
// kernels their contiguous reads. Nor is the region cast and drawn in strips
// of neighbouring rays with an L2-sized buffer: the kernels wait little on
// reading the samples back (drawing every line a second time, from a hot
// row, costs 90% of the first), and the kernel calls per line and strip, the
// rays carried between strips and the scattered frame stores cost more.
static RaySample *region_layout(RegionJob &c)
{
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    int64_t total = 0;
    for (int32_t b = 0; b < c.bands; b++) {
        lo = c.lo[b] < lo ? c.lo[b] : lo;
        hi = c.hi[b] > hi ? c.hi[b] : hi;
        const int64_t t = c.first[b];
        c.first[b] = total;
        total += t;
    }
    c.imin = lo;
    if (!c.rows) {
        c.istride = 1;
        return region_buffer((size_t)total);
    }
    c.istride = ((intptr_t)c.n + 7) & ~(intptr_t)7;
    // Room for a kernel's window of eight rays past the last ray of the last row.
    return region_buffer((size_t)c.istride * (size_t)(hi - lo + 1) + 8);
}

static void cast_band(void *arg, int32_t band)
{
    RegionJob &c = *(RegionJob *)arg;
    const int32_t j0 = band * c.per, j1 = j0 + c.per < c.n ? j0 + c.per : c.n;
    int64_t at = c.first[band];
    VoxScanCounts counts{0, 0, 0}; // the bands' counts share cache lines: kept here while casting
    for (int32_t j = j0; j < j1; j++) {
        const RayLine &l = ray_lines[j];
        RayEntry &e = ray_table[j];
        e.base = c.rows ? (int32_t)(j - (intptr_t)c.imin * c.istride) : (int32_t)at - e.lo;
        at += (int64_t)l.n + 1;
        int32_t sky;
        vox_cast_ray(c.samples + e.base + (intptr_t)e.lo * c.istride, c.istride, l.n, l.x0, l.y0, l.x1, l.y1,
                     &counts, &sky);
        ray_sky[j] = e.lo + sky;
    }
    c.counts[band] = counts;
}

// Levels of the range tables m0 .. m1 - 1 of drawspanstep (0, 1: over the
// rays' sample ranges; 2, 3: over their sky bounds).
static void build_ranges(int32_t n, int32_t m0, int32_t m1)
{
    RayRangeTable &t = vox_kparams.ranges;
    const int16_t **tables[4] = {t.maxlo, t.minhi, t.maxsky, t.minsky};
    int32_t levels = 0;
    for (int32_t k = 0; k < VOX_RANGE_LEVELS && (1 << k) <= n; k++, levels++)
        for (int32_t m = m0; m < m1; m++) {
            int16_t *v = range_area + (size_t)(4 * k + m) * (size_t)n;
            if (k == 0) {
                for (int32_t j = 0; j < n; j++)
                    v[j] = (int16_t)(m == 0 ? ray_table[j].lo : (m == 1 ? ray_table[j].hi : ray_sky[j]));
            } else {
                const int32_t h = 1 << (k - 1), last = n - (1 << k);
                const int16_t *q = tables[m][k - 1];
                if (m % 2 == 0)
                    for (int32_t j = 0; j <= last; j++) v[j] = q[j] > q[j + h] ? q[j] : q[j + h];
                else
                    for (int32_t j = 0; j <= last; j++) v[j] = q[j] < q[j + h] ? q[j] : q[j + h];
            }
            tables[m][k] = v;
        }
    t.levels = levels;
}

// Beside the cast: hands the region's rays to the kernels as far as the
// cast leaves them alone (all but the sky bounds), then the caller's work.
static void bind_aside(void *arg)
{
    const RegionJob &c = *(const RegionJob *)arg;
    const int32_t n = c.n;
    vox_kparams.samples = c.samples;
    vox_kparams.rays = ray_table;
    vox_kparams.lastray = n - 1;
    vox_kparams.istride = c.istride;
    for (int32_t j = n; j < n + 8; j++) ray_sky[j] = INT32_MIN;
    vox_kparams.sky = ray_sky;
    vox_kparams.rowbase = nullptr;
    vox_kparams.ranges.levels = 0;
    if (c.rows) {
        vox_kparams.rowbase = c.samples - (intptr_t)c.imin * c.istride;
        build_ranges(n, 0, 2);
    }
    if (c.aside) c.aside(c.aside_arg);
}

// Rays of a region, n = region_count(r0, r1) of them, to the edge `edge`
// for r0..r1 (rows: a top or bottom region): clipped and cast on the drawing
// threads, and handed to the kernels, while the caller runs aside(aside_arg)
// (which must leave the rays alone). s: the sample step of one screen line.
// Returns whether they were cast: not when there are none or no room for them.
static bool region_rays(const Region &g, bool rows, float edge, float r0, float r1, int32_t n, int32_t s,
                        VoxAsideJob aside, void *aside_arg)
{
    if (n < 1 || n > 16 * VOX_MAX_XRES || !grow_rays((size_t)n)) return false;
    static RegionJob c;
    c.g = g;
    c.rows = rows;
    c.edge = edge;
    c.r0 = (double)r0;
    c.u = ((double)r1 - (double)r0) / n;
    c.n = n;
    c.s = s;
    // Bands of whole cache lines of samples.
    const int32_t bands = pass_bands((n + 7) / 8, 16);
    c.per = (((n + bands - 1) / bands) + 7) & ~7;
    c.bands = (n + c.per - 1) / c.per;
    c.aside = aside;
    c.aside_arg = aside_arg;
    vox_pool_run(clip_band, &c, c.bands);
    c.samples = region_layout(c);
    if (!c.samples) return false;
    vox_pool_run_aside(cast_band, &c, c.bands, bind_aside, &c);
    for (int32_t b = 0; b < c.bands; b++) {
        vox_world_stats.rays += c.counts[b].rays;
        vox_world_stats.samples += c.counts[b].samples;
        vox_world_stats.frame_limit += c.counts[b].frame_limit;
    }
    if (rows) build_ranges(n, 2, 4);
    return true;
}

static int32_t region_count(float r0, float r1) { return iround((double)r1 - (double)r0); }

struct RowsJob {
    Region g;
    bool top;
    float r0, r1;
    int32_t n, s, nspans, per;
};

// The screen lines of a top or bottom region, from the vanishing point outward.
static void rows_spans(void *arg)
{
    RowsJob &r = *(RowsJob *)arg;
    const Region &g = r.g;
    const bool top = r.top;
    const float edge = top ? -1.0f : (float)g.yres;
    const int32_t n = r.n;
    const float r0 = r.r0, r1 = r.r1;
    const double dedge = (double)edge - g.vy;
    const int64_t w = (int64_t)std::nearbyint((double)n * 65536.0 * dedge / ((double)r1 - (double)r0));
    const int64_t o = (int64_t)std::nearbyint(((double)g.vx - (double)r0) * (double)w / dedge);
    const int64_t vx16 = (int64_t)std::nearbyint((double)g.vx * 65536.0);
    const int64_t vy16 = (int64_t)std::nearbyint((double)g.vy * 65536.0);
    const int64_t nmax = (int64_t)n * 65536;

    // Rows strictly on this region's side of the vanishing point.
    const int32_t dir = top ? -1 : 1;
    int32_t row = top ? (int32_t)std::ceil(g.vy) - 1 : (int32_t)std::floor(g.vy) + 1;
    if (top && row > g.yres - 1) row = g.yres - 1;
    if (!top && row < 0) row = 0;
    const int32_t vxi = iround(g.vx);
    int32_t x0 = clampcoord(vxi + 1, g.xres), x1 = clampcoord(vxi, g.xres);
    const double spread = (std::fabs((double)x1 - g.vx) + 1.0) * (double)(w < 0 ? -w : w) / 2147483648.0;
    auto inside = [&](int32_t r) { return top ? r >= 0 : r < g.yres; };
    while (inside(row) && std::fabs((double)row - g.vy) <= spread) row += dir;
    while (inside(row) && (row * (int64_t)65536 - vy16) != 0 &&
           !divfix16fits((int32_t)w, (int32_t)(row * (int64_t)65536 - vy16)))
        row += dir;
    int32_t nspans = 0;
    for (; inside(row); row += dir) {
        const int64_t den = row * (int64_t)65536 - vy16;
        if (den == 0) continue;
        const int64_t step = (w * 65536) / den;
        auto rn = [&](int32_t x) { return (((int64_t)x * 65536 - vx16) * step >> 16) + o; };
        while (x0 > 0 && rn(x0 - 1) >= 0) x0--;
        while (x1 < g.xres && rn(x1) < nmax) x1++;
        while (x0 < x1 && rn(x0) < 0) x0++;
        while (x1 > x0 && rn(x1 - 1) >= nmax) x1--;
        if (x0 < x1 && step > -(1ll << 30) && step < (1ll << 30))
            row_spans[nspans++] = RowSpan{row, x0, x1, (int32_t)rn(x0), (int32_t)step};
    }
    r.nspans = nspans;
}

static void rows_band(void *arg, int32_t band)
{
    const RowsJob &r = *(const RowsJob *)arg;
    const int32_t k0 = band * r.per, k1 = k0 + r.per < r.nspans ? k0 + r.per : r.nspans;
    for (int32_t k = k0; k < k1; k++) {
        const RowSpan &sp = row_spans[k];
        vox_kernels.drawspanstep(sp.x0, sp.row, sp.x1, sp.raynumber, sp.step, sp.row * r.s);
    }
    __builtin_ia32_sfence(); // the kernels' streaming stores, before the band counts as done
}

// Top (top = true) or bottom region: rays to the edge y = T or B for x in
// [r0, r1], then rows from the vanishing point outward.
static void region_rows(const Region &g, bool top, float r0, float r1)
{
    // Sample index of row r: r * s.
    RowsJob job{g, top, r0, r1, region_count(r0, r1), top ? g.sign : -g.sign, 0, 0};
    const float edge = top ? -1.0f : (float)g.yres;
    if (!region_rays(g, true, edge, r0, r1, job.n, job.s, rows_spans, &job)) return;
    const int32_t bands = pass_bands(job.nspans, 8);
    job.per = (job.nspans + bands - 1) / bands;
    vox_pool_run(rows_band, &job, job.per ? (job.nspans + job.per - 1) / job.per : 0);
}

struct ColumnsJob {
    Region g;
    bool right;
    float r0, r1;
    int32_t n, s, per;
    bool any;
    int32_t cy0, cy1; // rows covered
    int32_t c0, c1; // columns the rows use
};

// The column ray table of a left or right region: columns from the vanishing
// point outward, and the rows they cover.
static void columns_table(void *arg)
{
    ColumnsJob &cj = *(ColumnsJob *)arg;
    const Region &g = cj.g;
    const bool right = cj.right;
    const float edge = right ? (float)g.xres : -1.0f;
    const int32_t n = cj.n;
    const float r0 = cj.r0, r1 = cj.r1;
    const double dedge = (double)edge - g.vx;
    const int64_t w = (int64_t)std::nearbyint((double)n * 65536.0 * dedge / ((double)r1 - (double)r0));
    const int64_t o = (int64_t)std::nearbyint(((double)g.vy - (double)r0) * (double)w / dedge);
    const int64_t vx16 = (int64_t)std::nearbyint((double)g.vx * 65536.0);
    const int64_t vy16 = (int64_t)std::nearbyint((double)g.vy * 65536.0);
    const int64_t nmax = (int64_t)n * 65536;
    int32_t *crt = vox_frame.columnraytable;

    const int32_t dir = right ? 1 : -1;
    int32_t col = right ? (int32_t)std::floor(g.vx) + 1 : (int32_t)std::ceil(g.vx) - 1;
    if (right && col < 0) col = 0;
    if (!right && col > g.xres - 1) col = g.xres - 1;
    const int32_t vyi = iround(g.vy);
    int32_t y0 = clampcoord(vyi + 1, g.yres), y1 = clampcoord(vyi, g.yres);
    const double spread = (std::fabs((double)y1 - g.vy) + 1.0) * (double)(w < 0 ? -w : w) / 2147483648.0;
    auto inside = [&](int32_t c) { return right ? c < g.xres : c >= 0; };
    while (inside(col) && std::fabs((double)col - g.vx) <= spread) col += dir;
    while (inside(col) && (col * (int64_t)65536 - vx16) != 0 &&
           !divfix16fits((int32_t)w, (int32_t)(col * (int64_t)65536 - vx16)))
        col += dir;
    int32_t cy0 = 0, cy1 = 0; // rows covered so far
    int32_t c0 = g.xres, c1 = 0; // columns set
    bool any = false;
    for (; inside(col); col += dir) {
        const int64_t den = col * (int64_t)65536 - vx16;
        int64_t step = den != 0 ? (w * 65536) / den : 0;
        if (den == 0 || step <= -(1ll << 30) || step >= (1ll << 30)) {
            step = 0;
        }
        auto rn = [&](int32_t y) { return (((int64_t)y * 65536 - vy16) * step >> 16) + o; };
        if (step != 0) {
            while (y0 > 0 && rn(y0 - 1) >= 0) y0--;
            while (y1 < g.yres && rn(y1) < nmax) y1++;
        }
        if (y0 < y1) {
            if (!any) {
                for (int32_t r = y0; r < y1; r++) firstcol[r] = col;
                cy0 = y0;
                cy1 = y1;
                any = true;
            } else {
                for (int32_t r = y0; r < cy0; r++) firstcol[r] = col;
                for (int32_t r = cy1; r < y1; r++) firstcol[r] = col;
                if (y0 < cy0) cy0 = y0;
                if (y1 > cy1) cy1 = y1;
            }
            int64_t v = rn(y0);
            v = v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v);
            crt[col] = (int32_t)v;
            crt[col + VOX_MAX_XRES] = (int32_t)step;
            colrow0[col] = y0;
            c0 = col < c0 ? col : c0;
            c1 = col + 1 > c1 ? col + 1 : c1;
        }
    }
    cj.any = any;
    cj.cy0 = cy0;
    cj.cy1 = cy1;
    cj.c0 = c0;
    cj.c1 = c1;
}

static void columns_band(void *arg, int32_t band)
{
    const ColumnsJob &c = *(const ColumnsJob *)arg;
    const int32_t ra = c.cy0 + band * c.per, rb = ra + c.per < c.cy1 ? ra + c.per : c.cy1;
    int32_t *crt = vox_frame.columnraytable;
    alignas(16) int32_t own[2 * VOX_MAX_XRES];
    if (c.per < c.cy1 - c.cy0) {
        // A band of its own: each column's entry as the rows above the band
        // would have left it (one step per row that used it).
        for (int32_t col = c.c0; col < c.c1; col++) {
            const int32_t used = ra > colrow0[col] ? ra - colrow0[col] : 0;
            own[col] = (int32_t)((uint32_t)crt[col] + (uint32_t)used * (uint32_t)crt[col + VOX_MAX_XRES]);
            own[col + VOX_MAX_XRES] = crt[col + VOX_MAX_XRES];
        }
        crt = own;
    }
    for (int32_t r = ra; r < rb; r++) {
        const int32_t f = firstcol[r];
        if (c.right) vox_kernels.drawspantable(f, r, c.g.xres, f * c.s, c.s, crt);
        else vox_kernels.drawspantable(0, r, f + 1, 0, c.s, crt);
    }
    __builtin_ia32_sfence();
}

// Right (right = true) or left region: rays to the edge x = R or L for y in
// [r0, r1]; columns from the vanishing point outward fill the column ray
// table, then the covered rows are drawn top to bottom.
static void region_columns(const Region &g, bool right, float r0, float r1)
{
    // Sample index of column c: c * s.
    ColumnsJob job{g, right, r0, r1, region_count(r0, r1), right ? -g.sign : g.sign, 0, false, 0, 0, 0, 0};
    const float edge = right ? (float)g.xres : -1.0f;
    if (!region_rays(g, false, edge, r0, r1, job.n, job.s, columns_table, &job) || !job.any) return;
    const int32_t bands = pass_bands(job.cy1 - job.cy0, 8);
    job.per = (job.cy1 - job.cy0 + bands - 1) / bands;
    vox_pool_run(columns_band, &job, (job.cy1 - job.cy0 + job.per - 1) / job.per);
}

int renderworld()
{
    vox_sprite_list_end();
    std::memset(&vox_world_stats, 0, sizeof vox_world_stats);
    if (!vox_frame_bound() || vox_kernel_set() < 0) return 0;
    const ViewCamera &c = vox_camera;
    const FrameBufferDesc &fb = vox_frame;
    if (c.focal < 1) return 0;
    const float *cv = &c.pos.x;
    for (int i = 0; i < 12; i++)
        if (!std::isfinite(cv[i])) return 0;
    if (!vox_world_setup()) return 0;

    Region g;
    g.xres = fb.xres;
    g.yres = fb.yres;
    g.sign = vox_scan.sign;

    // Vanishing point of the vertical.
    float t = c.forward.z != 0.0f ? (float)c.focal / c.forward.z : 32000.0f;
    t = t < -32000.0f ? -32000.0f : (t > 32000.0f ? 32000.0f : t);
    const float vx = t * c.right.z + (float)c.halfwidth;
    const float vy = t * c.down.z + (float)c.halfheight;
    if (!std::isfinite(vx) || !std::isfinite(vy)) return 0;
    g.vx = vx;
    g.vy = vy;
    vox_world_stats.vpx = iround(vx);
    vox_world_stats.vpy = iround(vy);

    // Region ranges, split on the diagonals through the vanishing point.
    const float L = -1.0f, R = (float)fb.xres, T = -1.0f, B = (float)fb.yres;
    const float dl = L - vx, dr = R - vx, dt = T - vy, db = B - vy;
    float tx0 = L, tx1 = R, ry0 = T, ry1 = B, bx0 = L, bx1 = R, ly0 = T, ly1 = B;
    if (dt < 0.0f) {
        if (dl < 0.0f) {
            const float d = std::sqrt(dt * dl);
            tx0 = vx - d;
            ly0 = vy - d;
        }
        if (dr > 0.0f) {
            const float d = std::sqrt(-dr * dt);
            tx1 = vx + d;
            ry0 = vy - d;
        }
    }
    if (db > 0.0f) {
        if (dr > 0.0f) {
            const float d = std::sqrt(db * dr);
            bx1 = vx + d;
            ry1 = vy + d;
        }
        if (dl < 0.0f) {
            const float d = std::sqrt(-dl * db);
            bx0 = vx - d;
            ly1 = vy + d;
        }
    }
    if (tx1 < tx0) {
        if (dl < 0.0f) ly0 = vy + dt * dl / dr;
        else ry0 = vy + dt * dr / dl;
    }
    if (ry1 < ry0) {
        if (dt < 0.0f) tx1 = vx + dr * dt / db;
        else bx1 = vx + dr * db / dt;
    }
    if (bx0 > bx1) {
        if (dl < 0.0f) ly1 = vy + db * dl / dr;
        else ry1 = vy + db * dr / dl;
    }
    if (ly0 > ly1) {
        if (dt < 0.0f) tx0 = vx + dl * dt / db;
        else bx0 = vx + dl * db / dt;
    }

    // Pixel-direction terms for the kernels' depth.
    const float k = (float)(VOX_DEPTH_PER_BLOCK / c.focal);
    vox_kparams.ax = k * c.right.x;
    vox_kparams.ay = k * c.right.y;
    vox_kparams.dx = k * c.down.x;
    vox_kparams.dy = k * c.down.y;
    vox_kparams.cx = k * c.corner[0].x;
    vox_kparams.cy = k * c.corner[0].y;
    std::memcpy(vox_kparams.fog, fogwords, sizeof fogwords);

    // The regions meet at the vanishing point, where a pixel can fall between
    // them: mark the depths around it (the kernels write none below 0).
    int32_t nmark = 0;
    float *mark[9];
    uint32_t *markpix[9];
    int32_t markx[9], marky[9];
    for (int32_t y = vox_world_stats.vpy - 1; y <= vox_world_stats.vpy + 1; y++)
        for (int32_t x = vox_world_stats.vpx - 1; x <= vox_world_stats.vpx + 1; x++) {
            if (x < 0 || y < 0 || x >= fb.xres || y >= fb.yres) continue;
            uint8_t *px = fb.pixels + fb.rowoffset[y] + 4 * x;
            markpix[nmark] = (uint32_t *)px;
            mark[nmark] = (float *)(px + fb.zoffset);
            markx[nmark] = x;
            marky[nmark] = y;
            *mark[nmark++] = -1.0f;
        }

    if (dt < 0.0f) region_rows(g, true, tx0, tx1);
    if (dr > 0.0f) region_columns(g, true, ry0, ry1);
    if (db > 0.0f) region_rows(g, false, bx0, bx1);
    if (dl < 0.0f) region_columns(g, false, ly0, ly1);
    __builtin_ia32_sfence(); // the kernels' streaming stores

    // A pixel that no region drew takes its colour and depth from a drawn
    // neighbour, so no stale pixel is left at the vanishing point.
    static const int32_t nb[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
    for (int32_t m = 0; m < nmark; m++) {
        if (*mark[m] != -1.0f) continue;
        for (const auto &d : nb) {
            const int32_t x = markx[m] + d[0], y = marky[m] + d[1];
            if (x < 0 || y < 0 || x >= fb.xres || y >= fb.yres) continue;
            uint8_t *px = fb.pixels + fb.rowoffset[y] + 4 * x;
            const float depth = *(const float *)(px + fb.zoffset);
            if (depth == -1.0f) continue;
            *markpix[m] = *(const uint32_t *)px;
            *mark[m] = depth;
            break;
        }
    }
    return 1;
}
