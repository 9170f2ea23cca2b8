// rendermodel: per-model projection set-up, lighting and fog, and the walk
// that hands every voxel to the cube kernel from the side away from the
// camera towards it; the frustum and line tests against a model's box.
#include "renderer/vox_sprite.h"

#include <cmath>
#include <cstdlib>

#include "renderer/vox_camera.h"
#include "renderer/vox_cube.h"
#include "renderer/vox_pool.h"
#include "renderer/vox_world.h"

// A model drawn alone (outside drawplayermodel) goes to the drawing threads
// from this many voxels on; for smaller ones handing the work out costs more
// than it saves.
#define VOX_THREADED_VOXELS 2048

uint32_t modeltint = VOX_TINT_NEUTRAL;
CubeParams vox_cube;

const uint8_t SilhouetteTable[VOX_SILHOUETTES][7] = {
    {0}, {4, 0, 2, 6, 4, 0, 0}, {4, 1, 5, 7, 3, 0, 0}, {0},
    {4, 4, 6, 7, 5, 0, 0}, {6, 0, 2, 6, 7, 5, 4}, {6, 1, 5, 4, 6, 7, 3}, {0},
    {4, 0, 1, 3, 2, 0, 0}, {6, 0, 1, 3, 2, 6, 4}, {6, 0, 1, 5, 7, 3, 2}, {0},
    {0}, {0}, {0}, {0},
    {4, 0, 4, 5, 1, 0, 0}, {6, 0, 2, 6, 4, 5, 1}, {6, 0, 4, 5, 7, 3, 1}, {0},
    {6, 0, 4, 6, 7, 5, 1}, {6, 0, 2, 6, 7, 5, 1}, {6, 0, 4, 6, 7, 3, 1}, {0},
    {6, 0, 4, 5, 1, 3, 2}, {6, 1, 3, 2, 6, 4, 5}, {6, 0, 4, 5, 7, 3, 2}, {0},
    {0}, {0}, {0}, {0},
    {4, 2, 3, 7, 6, 0, 0}, {6, 0, 2, 3, 7, 6, 4}, {6, 1, 5, 7, 6, 2, 3}, {0},
    {6, 2, 3, 7, 5, 4, 6}, {6, 0, 2, 3, 7, 5, 4}, {6, 1, 5, 4, 6, 2, 3}, {0},
    {6, 0, 1, 3, 7, 6, 2}, {6, 0, 1, 3, 7, 6, 4}, {6, 0, 1, 5, 7, 6, 2},
};

void patchcubesplat()
{
    const FrameBufferDesc &f = vox_frame;
    vox_cube.framebase = f.framebase;
    vox_cube.zoffset = f.zoffset;
    vox_cube.pitch = f.pitch;
    for (int k = 0; k < 4; k++) vox_cube.clipmin[k] = f.clipmin[k];
}

int32_t clampbetween(int32_t a, int32_t low, int32_t high)
{
    if ((uint32_t)high - (uint32_t)low >= (uint32_t)a - (uint32_t)low) return a;
    return (int32_t)((uint32_t)low - (uint32_t)a) < 0 ? high : low;
}

static float dot(const Vec3 &a, const Vec3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
static float negative_part(float d) { return d < 0.0f ? -d : 0.0f; }
static bool finite3(const Vec3 &v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

static bool sprite_finite(const SpriteInstance *s)
{
    return finite3(s->position) && finite3(s->xaxis) && finite3(s->yaxis) && finite3(s->zaxis);
}

// The determinant of the columns a, b, c in the arrangement the camera cell
// uses: c.x (a.y b.z - b.y a.z) + b.x (c.y a.z - a.y c.z) + a.x (b.y c.z - c.y b.z).
static float det3(const Vec3 &a, const Vec3 &b, const Vec3 &c)
{
    return c.x * (a.y * b.z - b.y * a.z) + b.x * (c.y * a.z - a.y * c.z) + a.x * (b.y * c.z - c.y * b.z);
}

// One coordinate of the camera cell: truncated toward zero, then clamped to
// [-1, size]; checked before the conversion.
static int32_t camera_cell(float v, int32_t size)
{
    if (!(v > -1.0f)) return -1;
    if (v >= (float)size) return size;
    return clampbetween((int32_t)v, -1, size);
}

// 1 when the slice and column counts add up to the voxel count, so that the
// walk stays inside the model's arrays.
static int model_counts_ok(const Kv6Model *m)
{
    if (m->xsize < 0 || m->ysize < 0 || m->voxelcount < 0) return 0;
    int64_t total = 0;
    for (int32_t x = 0; x < m->xsize; x++) {
        int64_t slice = 0;
        const uint16_t *col = m->xycounts + (int64_t)x * m->ysize;
        for (int32_t y = 0; y < m->ysize; y++) slice += col[y];
        if (slice != m->xcounts[x]) return 0;
        total += slice;
        if (total > m->voxelcount) return 0;
    }
    return total == m->voxelcount;
}

// The walk's state for one model.
struct ModelWalk {
    const Kv6Model *m;
    int32_t cy, cz;
    alignas(16) float rowbase[4];   // model point (0, 1, 0)
    alignas(16) float slicebase[4]; // model point (x, 1, 0)
    alignas(16) float ystep[4];     // one model y step
    // While listing: the set's projection, whose rectangles go to the list
    // instead of being drawn at once.
    int (*project)(const Kv6Voxel *, uint32_t, const float *, CubeRect *);
};

// Models drawn on the drawing threads: the walk of each model finds its
// voxels' rectangles on the calling thread and lists them; the threads then
// fill the listed rectangles in bands of lines, each band in the list's
// order, so that every pixel meets the same depth tests in the same order as
// when each voxel is drawn at once. drawplayermodel lists a player's models
// together, rendermodel alone a large model.
static CubeRect *cube_rects;
static int64_t cube_capacity, cube_count;
static int cube_listing; // 1 while rectangles are listed

// The screen's lines in this many bands, each with the list of the
// rectangles that reach it, in the list's order.
#define VOX_FILL_BANDS 32
struct FillBand {
    int32_t *rects;
    int64_t count, capacity;
};
static FillBand fill_bands[VOX_FILL_BANDS];
static int32_t band_lines; // lines per band while listing
static int cube_full;      // a band's list could not grow: draw what is listed first

// The cube kernel halves of the installed set; null when the installed cube
// kernel is not the set's own (tests record the walk through the slot), which
// then gets every voxel in order on the calling thread.
struct CubeHalves {
    int (*project)(const Kv6Voxel *, uint32_t, const float *, CubeRect *);
    void (*fill)(const CubeRect *, int32_t, int32_t);
};
static CubeHalves cube_halves()
{
    if (vox_kernels.drawvoxelcube == drawvoxelcubesse) return CubeHalves{projectvoxelcubesse, fillvoxelrectsse};
    if (vox_kernels.drawvoxelcube == drawvoxelcubescalar)
        return CubeHalves{projectvoxelcubescalar, fillvoxelrectscalar};
    return CubeHalves{nullptr, nullptr};
}

// Room for `more` rectangles; 0 when it cannot be had.
static int reserve_rects(int64_t more)
{
    if (cube_count + more <= cube_capacity) return 1;
    const int64_t need = cube_count + more > 2 * cube_capacity ? cube_count + more : 2 * cube_capacity;
    CubeRect *r = (CubeRect *)std::realloc(cube_rects, (size_t)need * sizeof(CubeRect));
    if (!r) return 0;
    cube_rects = r;
    cube_capacity = need;
    return 1;
}

// Enters listed rectangle k in the lists of the bands it reaches.
static void band_rect(int64_t k)
{
    const CubeRect &r = cube_rects[k];
    const int32_t top = vox_cube.clipmin[1];
    int32_t b0 = (r.y0 - top) / band_lines, b1 = (r.y0 + r.h - 1 - top) / band_lines;
    b1 = b1 < VOX_FILL_BANDS - 1 ? b1 : VOX_FILL_BANDS - 1;
    for (int32_t b = b0 < 0 ? 0 : b0; b <= b1; b++) {
        FillBand &f = fill_bands[b];
        if (f.count == f.capacity) {
            const int64_t grow = f.capacity ? 2 * f.capacity : 4096;
            int32_t *p = (int32_t *)std::realloc(f.rects, (size_t)grow * sizeof(int32_t));
            if (!p) {
                cube_full = 1;
                continue;
            }
            f.rects = p;
            f.capacity = grow;
        }
        f.rects[f.count++] = (int32_t)k;
    }
}

struct FillJob {
    void (*fill)(const CubeRect *, int32_t, int32_t);
};

static void fill_band(void *arg, int32_t band)
{
    const FillJob &j = *(const FillJob *)arg;
    const int32_t ya = vox_cube.clipmin[1] + band * band_lines;
    const int32_t yb = band == VOX_FILL_BANDS - 1 ? INT32_MAX : ya + band_lines;
    const FillBand &f = fill_bands[band];
    for (int64_t i = 0; i < f.count; i++) j.fill(&cube_rects[f.rects[i]], ya, yb);
}

int vox_sprite_list_begin()
{
    if (cube_listing || vox_threads() < 2 || !cube_halves().fill || !vox_frame_bound()) return 0;
    cube_listing = 1;
    cube_count = 0;
    cube_full = 0;
    band_lines = (vox_frame.yres + VOX_FILL_BANDS - 1) / VOX_FILL_BANDS;
    for (FillBand &f : fill_bands) f.count = 0;
    return 1;
}

void vox_sprite_list_end()
{
    if (!cube_listing) return;
    cube_listing = 0;
    if (cube_count > 0) {
        if (cube_full) {
            // A band's list is short of rectangles: all of them, in order, here.
            const CubeHalves h = cube_halves();
            for (int64_t k = 0; k < cube_count; k++) h.fill(&cube_rects[k], INT32_MIN, INT32_MAX);
        } else {
            FillJob job{cube_halves().fill};
            vox_pool_run(fill_band, &job, VOX_FILL_BANDS);
        }
    }
    cube_count = 0;
}

static inline void draw_voxel(const ModelWalk &w, const Kv6Voxel *v, uint32_t mask)
{
    if (v->z >= w.m->zsize) return;
    if (!w.project) vox_kernels.drawvoxelcube(v, mask);
    else if (w.project(v, mask, vox_cube.columnbase, &cube_rects[cube_count])) band_rect(cube_count++);
}

// Column y of the current slice, voxels [first, first + n): from the top down
// while above the camera, from the bottom up while below it, then the voxel
// at the camera's level.
static void draw_column(const ModelWalk &w, int32_t y, int64_t first, int64_t n, uint32_t mask)
{
    if (n <= 0) return;
    alignas(16) float t[4];
    vox_kernels.splatvec4(t, y);
    vox_kernels.mulvec4(t, t, w.ystep);
    vox_kernels.addvec4(vox_cube.columnbase, w.slicebase, t);
    const Kv6Voxel *col = w.m->voxels + first;
    int64_t i = 0, j = n - 1;
    for (; i <= j && (int32_t)col[i].z < w.cz; i++) draw_voxel(w, &col[i], mask | KV6_FACE_BOTTOM);
    for (; j >= i && (int32_t)col[j].z > w.cz; j--) draw_voxel(w, &col[j], mask | KV6_FACE_TOP);
    if (i == j) draw_voxel(w, &col[i], mask);
}

// Slice x, voxels [lo, hi): the columns on either side of the camera's y,
// each run from its far end towards the camera (the run below the camera's y
// first when ascending_first), then the camera's own column.
static void draw_slice(ModelWalk &w, int32_t x, int64_t lo, int64_t hi, uint32_t xmask, bool ascending_first)
{
    const Kv6Model *m = w.m;
    alignas(16) float t[4];
    vox_kernels.splatvec4(t, x);
    vox_kernels.mulvec4(t, t, vox_cube.corners[1]);
    vox_kernels.addvec4(w.slicebase, w.rowbase, t);
    const uint16_t *counts = m->xycounts + (int64_t)x * m->ysize;
    int32_t ya = 0, yd = m->ysize - 1;
    auto ascend = [&] {
        for (; ya < w.cy; ya++) {
            draw_column(w, ya, lo, counts[ya], xmask | KV6_FACE_POS_Y);
            lo += counts[ya];
        }
    };
    auto descend = [&] {
        for (; yd > w.cy; yd--) {
            draw_column(w, yd, hi - counts[yd], counts[yd], xmask | KV6_FACE_NEG_Y);
            hi -= counts[yd];
        }
    };
    if (ascending_first) {
        ascend();
        descend();
    } else {
        descend();
        ascend();
    }
    if (w.cy >= 0 && w.cy < m->ysize) draw_column(w, w.cy, lo, hi - lo, xmask);
}

// Light multipliers of the 256 normals for light vector lm (model axes) and
// fog ramp value r, scaled by modeltint.
static void build_light_table(const Vec3 &lm, int32_t r)
{
    const int32_t ambient = (0x7FFF - (r & 0x7FFF)) >> 2;
    int32_t lw[3] = {0, 0, 0};
    const float len = std::sqrt(dot(lm, lm));
    const float scale = (float)(ambient >> 1) / len;
    if (len > 0.0f && std::isfinite(scale)) {
        const float c[3] = {lm.x * scale, lm.y * scale, lm.z * scale};
        for (int k = 0; k < 3; k++) lw[k] = vox_trunc16(c[k]);
    }
    uint32_t tint[4];
    for (int k = 0; k < 4; k++) tint[k] = ((modeltint >> (8 * k)) & 0xFF) << 8;
    for (int i = 0; i < VOX_NORMALS; i++) {
        const int16_t *n = FixedNormals[i];
        const int32_t s = n[0] * lw[0] + n[1] * lw[1] + n[2] * lw[2] + 4096 * ambient;
        const uint32_t light = (uint32_t)(s >> 16) & 0xFFFF;
        for (int k = 0; k < 4; k++) vox_cube.lighttable[i][k] = (uint16_t)((light * tint[k]) >> 16);
    }
}

void rendermodel(const SpriteInstance *sprite, int fog, const Vec3 *light)
{
    if (!sprite || !sprite->model || !vox_frame_bound() || vox_kernel_set() < 0) return;
    const Kv6Model *m = sprite->model;
    if (m->zsize < 0 || m->zsize >= KV6_MAX_ZSIZE || !sprite_finite(sprite) || (light && !finite3(*light))) return;
    if (!std::isfinite(m->xpivot) || !std::isfinite(m->ypivot) || !std::isfinite(m->zpivot)) return;
    if (!model_counts_ok(m)) return;
    const ViewCamera &cam = vox_camera;

    // Camera space: S, H, F the model's axes, P its position, O its origin.
    Vec3 S, H, F, P;
    transformspriteaxes(&cam.row0, &cam.row1, &cam.row2, &cam.translation, &sprite->xaxis, &sprite->yaxis,
                        &sprite->zaxis, &sprite->position, &S, &H, &F, &P);
    const Vec3 O{P.x - (m->xpivot * S.x + m->ypivot * H.x + m->zpivot * F.x),
                 P.y - (m->xpivot * S.y + m->ypivot * H.y + m->zpivot * F.y),
                 P.z - (m->xpivot * S.z + m->ypivot * H.z + m->zpivot * F.z)};
    if (!finite3(S) || !finite3(H) || !finite3(F) || !finite3(O)) return;

    // The model cell that holds the camera: O + cx S + cy H + cz F = 0.
    ModelWalk w;
    w.m = m;
    int32_t cx = -1;
    w.cy = w.cz = -1;
    const float d = det3(S, H, F);
    if (d != 0.0f) {
        const Vec3 mo{-O.x, -O.y, -O.z};
        cx = camera_cell(det3(mo, H, F) / d, m->xsize);
        w.cy = camera_cell(det3(S, mo, F) / d, m->ysize);
        w.cz = camera_cell(det3(S, H, mo) / d, m->zsize);
    }

    CubeParams &p = vox_cube;
    const int64_t sx = 32767 - (int64_t)vox_frame.xres + cam.halfwidth;
    const int64_t sy = 32767 - (int64_t)vox_frame.yres + cam.halfheight;
    p.screenoffset[0] = p.screenoffset[2] = vox_sat16(sx);
    p.screenoffset[1] = p.screenoffset[3] = vox_sat16(sy);
    const float f = (float)cam.focal;
    alignas(16) const float c1[4] = {f * S.x, f * S.y, S.z, S.z};
    alignas(16) const float c2[4] = {f * F.x, f * F.y, F.z, F.z};
    alignas(16) const float c4[4] = {-f * H.x, -f * H.y, -H.z, -H.z};
    // A voxel is drawn only when every corner has depth 0 or more: its base
    // depth must make up for each step that goes towards the camera.
    p.nearlimit = negative_part(c1[2]) + negative_part(c2[2]) + negative_part(c4[2]);
    vox_kernels.splatvec4(p.corners[0], 0);
    vox_kernels.copyvec4(p.corners[1], c1);
    vox_kernels.copyvec4(p.corners[2], c2);
    vox_kernels.copyvec4(p.corners[4], c4);
    vox_kernels.addvec4(p.corners[3], p.corners[1], p.corners[2]);
    vox_kernels.addvec4(p.corners[5], p.corners[1], p.corners[4]);
    vox_kernels.addvec4(p.corners[6], p.corners[2], p.corners[4]);
    vox_kernels.addvec4(p.corners[7], p.corners[3], p.corners[4]);

    // Fog by horizontal distance.
    int32_t r = 0;
    for (int k = 0; k < 4; k++) p.colouradd[k] = 0;
    if (fog) {
        const float dx = sprite->position.x - cam.pos.x, dy = sprite->position.y - cam.pos.y;
        const float kf = 12.0f * std::sqrt(dx * dx + dy * dy);
        const int32_t k = kf < (float)(VOX_FOGRAMP_ENTRIES - 1) ? (int32_t)kf : VOX_FOGRAMP_ENTRIES - 1;
        r = FogRamp[k][0];
        const uint32_t rgb = vox_fog_colour();
        for (int c = 0; c < 3; c++) p.colouradd[c] = (uint16_t)((2u * ((rgb >> (8 * c)) & 0xFF) * (uint32_t)r) >> 16);
    }

    // Light in model axes; the default comes from above the model's corner.
    Vec3 lm;
    if (light) {
        const Vec3 l{light->x, light->z, light->y};
        lm = Vec3{dot(sprite->xaxis, l), dot(sprite->yaxis, l), dot(sprite->zaxis, l)};
    } else {
        const Vec3 &a = sprite->xaxis, &b = sprite->yaxis, &c = sprite->zaxis;
        lm = Vec3{a.x + a.y + a.z, b.x + b.y + b.z, c.x + c.y + c.z};
    }
    build_light_table(lm, r);

    vox_kernels.splatvec4(p.depthsteps[0], 0);
    for (int32_t z = 1; z < m->zsize; z++) vox_kernels.addvec4(p.depthsteps[z], p.depthsteps[z - 1], c2);
    vox_kernels.subvec4(w.ystep, p.corners[0], c4);
    alignas(16) const float o[4] = {f * O.x, f * O.y, O.z, O.z};
    vox_kernels.subvec4(w.rowbase, o, c4);

    // Listed for the drawing threads while a player's models are listed, or
    // when the model is large; else drawn voxel by voxel.
    const int own_list = !cube_listing && m->voxelcount >= VOX_THREADED_VOXELS && vox_sprite_list_begin();
    if (cube_listing && !reserve_rects(m->voxelcount)) vox_sprite_list_end(); // no room: what is listed first
    w.project = cube_listing ? cube_halves().project : nullptr;

    // Slices from both ends towards the camera's, then the camera's own.
    int64_t lo = 0, hi = m->voxelcount;
    for (int32_t x = 0; x < cx; x++) {
        draw_slice(w, x, lo, lo + m->xcounts[x], KV6_FACE_POS_X, true);
        lo += m->xcounts[x];
    }
    for (int32_t x = m->xsize - 1; x > cx; x--) {
        draw_slice(w, x, hi - m->xcounts[x], hi, KV6_FACE_NEG_X, false);
        hi -= m->xcounts[x];
    }
    if (cx >= 0 && cx < m->xsize) draw_slice(w, cx, lo, hi, 0, false);
    if (own_list) vox_sprite_list_end();
}

int testspritevisible(const SpriteInstance *sprite)
{
    if (!sprite || !sprite->model || !sprite_finite(sprite)) return 0;
    const Kv6Model *m = sprite->model;
    const float gx = (float)m->xsize * 0.5f, gy = (float)m->ysize * 0.5f, gz = (float)m->zsize * 0.5f;
    const Vec3 &a = sprite->xaxis, &b = sprite->yaxis, &c = sprite->zaxis, &cp = vox_camera.pos;
    const float ox = gx - m->xpivot, oy = gy - m->ypivot, oz = gz - m->zpivot;
    const Vec3 q{sprite->position.x + ox * a.x + oy * b.x + oz * c.x - cp.x,
                 sprite->position.y + ox * a.y + oy * b.y + oz * c.y - cp.y,
                 sprite->position.z + ox * a.z + oy * b.z + oz * c.z - cp.z};
    for (int k = 3; k >= 0; k--) {
        const Vec3 &n = vox_camera.sidenormal[k];
        if (std::fabs(gx * dot(a, n)) + std::fabs(gy * dot(b, n)) + std::fabs(gz * dot(c, n)) + dot(q, n) < 0.0f)
            return 0;
    }
    return 1;
}

int raytestsprite(const Vec3 *start, const Vec3 *direction, const SpriteInstance *sprite, Vec3 *hit)
{
    if (!start || !direction || !sprite || !sprite->model || !hit) return 0;
    if (!sprite_finite(sprite) || !finite3(*start) || !finite3(*direction)) return 0;
    const Kv6Model *mdl = sprite->model;
    const Vec3 *axis[3] = {&sprite->xaxis, &sprite->yaxis, &sprite->zaxis};
    const float pivot[3] = {mdl->xpivot, mdl->ypivot, mdl->zpivot};
    const float size[3] = {(float)mdl->xsize, (float)mdl->ysize, (float)mdl->zsize};
    const Vec3 rel{start->x - sprite->position.x, start->y - sprite->position.y, start->z - sprite->position.z};
    float m[3], d[3];
    for (int k = 0; k < 3; k++) {
        const float l2 = dot(*axis[k], *axis[k]);
        if (!(l2 > 0.0f)) return 0;
        m[k] = dot(rel, *axis[k]) / l2 + pivot[k];
        d[k] = dot(*direction, *axis[k]) / l2;
        if (!std::isfinite(m[k]) || !std::isfinite(d[k])) return 0;
    }
    // Onto the box, one axis after the other.
    for (int k = 0; k < 3; k++) {
        float plane;
        if (m[k] < 0.0f) {
            if (d[k] <= 0.0f) return 0;
            plane = 0.0f;
        } else if (m[k] > size[k]) {
            if (d[k] >= 0.0f) return 0;
            plane = size[k];
        } else {
            continue;
        }
        const float t = (plane - m[k]) / d[k];
        for (int j = 0; j < 3; j++) m[j] = j == k ? plane : m[j] + t * d[j];
    }
    if (m[0] < 0.0f || m[0] > size[0] || m[1] < 0.0f || m[1] > size[1]) return 0;
    Vec3 out = sprite->position;
    for (int k = 0; k < 3; k++) {
        const float u = m[k] - pivot[k];
        out.x += u * axis[k]->x;
        out.y += u * axis[k]->y;
        out.z += u * axis[k]->z;
    }
    *hit = out;
    return 1;
}
