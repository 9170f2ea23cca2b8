// assetsheet: draws the generated data files of a ready-to-run folder into
// one PNG to look at: every model from three sides, players posed as the
// game poses them, the first-person views, the objectives in the world, the
// pictures and icons, and the three fonts' glyph grids.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ag_canvas.h"
#include "ag_formats.h"
#include "ag_splat.h"
#include "common/byteio.h"
#include "common/kv6.h"
#include "common/kv6_dirtable.h"

static std::string g_dist;
static const uint32_t BACKGROUND = 0xFF20242C, PANEL = 0xFF343A44, LABEL = 0xFFE0E0E0, TITLE = 0xFFFFD040;
// The server's default team colours; the client paints team black at half strength.
static const uint32_t TEAM_COLOUR[2] = {0x0000C4, 0x00C400};

// ---------------------------------------------------------------- files

static Bytes read_file(const std::string &path) { return ag_read_file(path.c_str()); }

static int read_png(const std::string &path, Canvas *c)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return 0;
    img.format = PNG_FORMAT_BGRA;
    canvas_init(c, (int32_t)img.width, (int32_t)img.height, 0);
    if (!png_image_finish_read(&img, nullptr, c->px.data(), (png_int_32)(img.width * 4), nullptr)) {
        png_image_free(&img);
        return 0;
    }
    return 1;
}

// A 24-bit bottom-up bitmap into 0xFFRRGGBB pixels.
static int read_bmp24(const std::string &path, Canvas *c)
{
    std::vector<uint8_t> b = read_file(path);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || le_get_u16(&b[28]) != 24) return 0;
    int32_t w = le_get_i32(&b[18]), h = le_get_i32(&b[22]);
    uint32_t off = le_get_u32(&b[10]), stride = ((uint32_t)w * 3 + 3) & ~3u;
    if (w <= 0 || h <= 0 || off + stride * (uint64_t)h > b.size()) return 0;
    canvas_init(c, w, h, 0);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            const uint8_t *p = &b[off + stride * (uint32_t)(h - 1 - y) + 3 * (uint32_t)x];
            c->px[(size_t)y * w + x] = 0xFF000000u | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
        }
    return 1;
}

// ---------------------------------------------------------------- fonts

struct SheetFont {
    int32_t w, h, cellw, cellh, height;
    std::vector<uint8_t> ink; // w * h, 1 = ink
    int32_t a[256], b[256], c[256];
};

static int font_load(const std::string &path, SheetFont *f)
{
    std::vector<uint8_t> d = read_file(path);
    if (d.size() < 54 || le_get_u16(&d[0]) != 0x4D42) return 0;
    uint32_t size = le_get_u32(&d[2]), off = le_get_u32(&d[10]);
    if ((uint64_t)size + 2804 > d.size() || le_get_u16(&d[28]) != 1) return 0;
    f->w = le_get_i32(&d[18]);
    f->h = le_get_i32(&d[22]);
    uint32_t stride = (((uint32_t)f->w + 31) / 32) * 4;
    if (f->w <= 0 || f->h <= 0 || off + stride * (uint64_t)f->h > size) return 0;
    f->cellw = f->w >> 4;
    f->cellh = f->h / 14;
    f->ink.assign((size_t)f->w * f->h, 0);
    for (int32_t y = 0; y < f->h; y++)
        for (int32_t x = 0; x < f->w; x++)
            f->ink[(size_t)y * f->w + x] = (d[off + stride * (uint32_t)(f->h - 1 - y) + (uint32_t)x / 8] >> (7 - x % 8)) & 1;
    f->height = le_get_i32(&d[size]);
    for (int k = 0; k < 256; k++) {
        f->a[k] = f->b[k] = f->c[k] = 0;
        if (k < 32) continue;
        const uint8_t *r = &d[size + 56 + 12 * (k - 32)];
        f->a[k] = le_get_i32(r);
        f->b[k] = le_get_i32(r + 4);
        f->c[k] = le_get_i32(r + 8);
    }
    return 1;
}

// Draws text the way the game does: per byte, move by abcA, copy the glyph
// rectangle (abcB wide, one cell high), move by abcB + abcC. Returns the end x.
static int32_t font_text(Canvas *c, const SheetFont *f, int32_t x, int32_t y, const char *text, uint32_t colour)
{
    if (f->w <= 0) return x;
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        int k = *p;
        if (k < 32) continue;
        x += f->a[k];
        int32_t gx = ((k - 32) % 16) * f->cellw, gy = ((k - 32) / 16) * f->cellh;
        for (int32_t j = 0; j < f->cellh; j++)
            for (int32_t i = 0; i < f->b[k] && gx + i < f->w; i++)
                if (f->ink[(size_t)(gy + j) * f->w + gx + i]) canvas_blend(c, x + i, y + j, colour, 1.0f);
        x += f->b[k] + f->c[k];
    }
    return x;
}

static SheetFont g_small, g_medium;

static void label(Canvas *c, int32_t x, int32_t y, const char *text, uint32_t colour = LABEL)
{
    font_text(c, &g_small, x, y, text, colour);
}

// ---------------------------------------------------------------- models

static Kv6Model *g_models[37];
static const char *const MODEL_NAMES[37] = {
    "SPADE_3", "BLOCK_3", "SEMI_3", "SMG_3", "SHOTGUN_3", "GRENADE_3", "SPADE", "BLOCK", "SEMI", "SMG",
    "SHOTGUN", "GRENADE", "PLAYERHEAD_B", "PLAYERTORSO_B", "PLAYERTORSOC_B", "PLAYERARMS_B", "PLAYERLEG_B",
    "PLAYERLEGC_B", "PLAYERDEAD_B", "PLAYERHEAD_G", "PLAYERTORSO_G", "PLAYERTORSOC_G", "PLAYERARMS_G",
    "PLAYERLEG_G", "PLAYERLEGC_G", "PLAYERDEAD_G", "INTEL_B", "INTEL_G", "CP_B", "CP_G", "CP_N",
    "SEMITRACER", "SMGTRACER", "SHOTGUNTRACER", "SEMICASING", "SMGCASING", "SHOTGUNCASING"};
enum { M_SPADE_3, M_BLOCK_3, M_SEMI_3, M_SMG_3, M_SHOTGUN_3, M_GRENADE_3, M_SPADE, M_BLOCK, M_SEMI, M_SMG,
       M_SHOTGUN, M_GRENADE, M_BODY_B = 12, M_BODY_G = 19, M_INTEL_B = 26, M_INTEL_G, M_CP_B, M_CP_G, M_CP_N,
       M_TRACER = 31, M_CASING = 34 };
enum { BODY_HEAD, BODY_TORSO, BODY_TORSOC, BODY_ARMS, BODY_LEG, BODY_LEGC, BODY_DEAD };

static void no_exit(const char *) {}

// Loads the models as the client does: team black painted, held tools shifted.
static void load_models()
{
    kv6_set_fatal_handler(no_exit);
    for (int i = 0; i < 37; i++) {
        Kv6Model *m = loadkv6((g_dist + "/kv6/" + MODEL_NAMES[i] + ".kv6").c_str());
        g_models[i] = m;
        if (!m) {
            std::fprintf(stderr, "assetsheet: cannot load %s\n", MODEL_NAMES[i]);
            continue;
        }
        const char *name = MODEL_NAMES[i];
        size_t len = std::strlen(name);
        if (std::strchr(name, '_') && name[len - 1] != 'N') {
            uint32_t t = TEAM_COLOUR[name[len - 1] == 'G' ? 1 : 0];
            uint32_t half = ((t >> 16 & 0xFF) / 2) << 16 | ((t >> 8 & 0xFF) / 2) << 8 | (t & 0xFF) / 2;
            for (int32_t v = 0; v < m->voxelcount; v++)
                if ((m->voxels[v].colour & 0xFFFFFF) == 0) m->voxels[v].colour = half;
        }
        static const float shift[6][3] = {{6, -12, 2}, {5, -13, 0}, {6, -18, 0}, {6, -18, 0}, {6, -18, 0}, {5, -13, 0}};
        if (i < 6) {
            m->xpivot += shift[i][0];
            m->ypivot += shift[i][1];
            m->zpivot += shift[i][2];
        }
    }
}

static Vec3 v3(float x, float y, float z) { return Vec3{x, y, z}; }
static Vec3 vscale(Vec3 a, float s) { return v3(a.x * s, a.y * s, a.z * s); }
static Vec3 vadd(Vec3 a, Vec3 b) { return v3(a.x + b.x, a.y + b.y, a.z + b.z); }

static SpriteInstance sprite(Kv6Model *m, Vec3 pos, Vec3 xa, Vec3 ya, Vec3 za)
{
    SpriteInstance s{};
    s.position = pos;
    s.xaxis = xa;
    s.yaxis = ya;
    s.zaxis = za;
    s.model = m;
    return s;
}

// Turns the first two axes about the third (the game's first rotation angle).
static void spin(SpriteInstance *s, float angle)
{
    float c = std::cos(angle), sn = std::sin(angle);
    Vec3 x = s->xaxis, y = s->yaxis;
    s->xaxis = vadd(vscale(x, c), vscale(y, -sn));
    s->yaxis = vadd(vscale(x, sn), vscale(y, c));
}

// Camera looking along forward, world z down.
static void look(SplatView *v, Vec3 eye, Vec3 f, float focal, float scale, float cx, float cy)
{
    float fl = std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z);
    f = vscale(f, 1.0f / fl);
    Vec3 r = v3(-f.y, f.x, 0.0f); // down x forward with down = (0, 0, 1)
    float rl = std::sqrt(r.x * r.x + r.y * r.y);
    r = rl > 1e-6f ? vscale(r, 1.0f / rl) : v3(1, 0, 0);
    Vec3 d = v3(f.y * r.z - f.z * r.y, f.z * r.x - f.x * r.z, f.x * r.y - f.y * r.x);
    const float e[3] = {eye.x, eye.y, eye.z}, ff[3] = {f.x, f.y, f.z}, rr[3] = {r.x, r.y, r.z}, dd[3] = {d.x, d.y, d.z};
    for (int i = 0; i < 3; i++) {
        v->pos[i] = e[i];
        v->forward[i] = ff[i];
        v->right[i] = rr[i];
        v->down[i] = dd[i];
    }
    v->focal = focal;
    v->scale = scale;
    v->cx = cx;
    v->cy = cy;
}

// A checkered floor of whole blocks whose top is at z = ground.
static Kv6Model *g_floor;
static void make_floor()
{
    const int N = 24;
    g_floor = kv6_model_alloc(N, N, 1, N * N);
    for (int x = 0; x < N; x++) {
        g_floor->xcounts[x] = N;
        for (int y = 0; y < N; y++) {
            Kv6Voxel &v = g_floor->voxels[x * N + y];
            v.colour = ((x + y) & 1) ? 0x6A7A52 : 0x5E6E48;
            v.z = 0;
            v.faces = 16;
            v.normalindex = 0; // almost straight up: lit like open ground
            g_floor->xycounts[x * N + y] = 1;
        }
    }
    g_floor->xpivot = N / 2.0f;
    g_floor->ypivot = N / 2.0f;
}

static void draw_floor(SplatView *v, float ground)
{
    SpriteInstance s = sprite(g_floor, v3(0, 0, ground), v3(1, 0, 0), v3(0, 1, 0), v3(0, 0, 1));
    splat_sprite(v, &s, 0x7F7F7F, nullptr);
}

// ---------------------------------------------------------------- sections

// Every model from the front, the right side and above; a red mark at the pivot.
static void section_models(Canvas *out)
{
    const int VIEW = 136, COLS = 4, CELLW = 3 * VIEW + 24, CELLH = VIEW + 22;
    canvas_init(out, COLS * CELLW, ((37 + COLS - 1) / COLS) * CELLH, BACKGROUND);
    for (int i = 0; i < 37; i++) {
        Kv6Model *m = g_models[i];
        int32_t x0 = (i % COLS) * CELLW + 8, y0 = (i / COLS) * CELLH + 4;
        char text[96];
        std::snprintf(text, sizeof text, "%d %s", i, MODEL_NAMES[i]);
        label(out, x0, y0, text);
        if (!m) continue;
        std::snprintf(text, sizeof text, "%dx%dx%d", m->xsize, m->ysize, m->zsize);
        label(out, x0 + 2 * VIEW, y0, text, 0xFF9AA0A8);
        float extent = (float)std::max(m->xsize, std::max(m->ysize, m->zsize));
        Vec3 centre = v3(m->xsize * 0.5f - m->xpivot, m->ysize * 0.5f - m->ypivot, m->zsize * 0.5f - m->zpivot);
        static const Vec3 dirs[3] = {{0, -1, 0}, {1, 0, 0}, {0.55f, -0.65f, 0.55f}};
        for (int k = 0; k < 3; k++) {
            Canvas view;
            canvas_init(&view, VIEW, VIEW, PANEL);
            SplatView sv;
            splat_begin(&sv, &view);
            look(&sv, vadd(centre, vscale(dirs[k], -100.0f)), dirs[k], 0.0f, (VIEW - 12) / (extent * 1.25f),
                 VIEW / 2.0f, VIEW / 2.0f);
            SpriteInstance s = sprite(m, v3(0, 0, 0), v3(1, 0, 0), v3(0, 1, 0), v3(0, 0, 1));
            splat_sprite(&sv, &s, 0x7F7F7F, nullptr);
            // The pivot, where the game's position puts the model.
            float px = sv.cx - (centre.x * sv.right[0] + centre.y * sv.right[1] + centre.z * sv.right[2]) * sv.scale;
            float py = sv.cy - (centre.x * sv.down[0] + centre.y * sv.down[1] + centre.z * sv.down[2]) * sv.scale;
            canvas_line(&view, px - 3, py, px + 3, py, 1.0f, 0xFFFF3030);
            canvas_line(&view, px, py - 3, px, py + 3, 1.0f, 0xFFFF3030);
            canvas_paste(out, &view, x0 + k * VIEW, y0 + 16, 1, 1);
        }
    }
}

// A player posed as the game poses one (standing or crouched, any tool,
// level view), or lying dead; returns nothing, draws into the view.
static void draw_player(SplatView *v, int team, float x, float y, float ground, float yaw, int crouch, int held,
                        int dead)
{
    Vec3 fwd = v3(std::cos(yaw), std::sin(yaw), 0), right = v3(-fwd.y, fwd.x, 0), down = v3(0, 0, 1);
    // Horizontal forward as the game derives it from right and forward.
    int differ = std::signbit(right.x) != std::signbit(fwd.y);
    Vec3 hf = differ ? v3(right.y, -right.x, 0) : v3(-right.y, right.x, 0);
    Kv6Model **body = &g_models[team ? M_BODY_G : M_BODY_B];
    Vec3 xa = v3(-0.1f * right.x, -0.1f * right.y, 0);
    if (dead) {
        SpriteInstance s = sprite(body[BODY_DEAD], v3(x, y, ground - 0.01f), xa, vscale(hf, 0.1f), v3(0, 0, 0.1f));
        splat_sprite(v, &s, 0x7F7F7F, nullptr);
        return;
    }
    // The box's feet are 2.25 (crouched 1.35) below the position; the eye is the position.
    Vec3 e = v3(x, y, ground - (crouch ? 1.35f : 2.25f));
    Vec3 hv = vscale(hf, 0.3f);
    SpriteInstance head = sprite(body[BODY_HEAD], v3(e.x, e.y, e.z + 0.3f), xa, vscale(fwd, 0.1f), vscale(down, 0.1f));
    SpriteInstance torso = sprite(body[crouch ? BODY_TORSOC : BODY_TORSO], head.position, xa, vscale(hf, 0.1f),
                                  v3(0, 0, 0.1f));
    SpriteInstance arms = sprite(body[BODY_ARMS], v3(e.x, e.y, e.z + (crouch ? 0.4f : 0.5f)), xa, vscale(fwd, 0.1f),
                                 vscale(down, 0.1f));
    float lz = e.z + (crouch ? 0.7f : 1.1f);
    Vec3 back = crouch ? vscale(hv, -1.0f) : v3(0, 0, 0);
    Kv6Model *legm = body[crouch ? BODY_LEGC : BODY_LEG];
    SpriteInstance left = sprite(legm, v3(e.x - 0.25f * right.x + back.x, e.y - 0.25f * right.y + back.y, lz), xa,
                                 torso.yaxis, torso.zaxis);
    SpriteInstance rightleg = sprite(legm, v3(e.x + 0.25f * right.x + back.x, e.y + 0.25f * right.y + back.y, lz), xa,
                                     torso.yaxis, torso.zaxis);
    SpriteInstance tool = sprite(g_models[held], arms.position, vscale(arms.xaxis, 0.65f), vscale(arms.yaxis, 0.65f),
                                 vscale(arms.zaxis, 0.65f));
    const SpriteInstance *parts[] = {&head, &torso, &arms, &left, &rightleg};
    for (const SpriteInstance *p : parts) splat_sprite(v, p, 0x7F7F7F, nullptr);
    splat_sprite(v, &tool, held == M_BLOCK_3 ? 0x20A0E0 : 0x7F7F7F, nullptr);
}

// Both teams standing with each tool, crouched, carrying the intel, and dead.
static void section_players(Canvas *out)
{
    const int W = 220, H = 300, COLS = 9;
    canvas_init(out, COLS * W, 2 * (H + 18), BACKGROUND);
    static const int held[6] = {M_SPADE_3, M_BLOCK_3, M_SEMI_3, M_SMG_3, M_SHOTGUN_3, M_GRENADE_3};
    static const char *const what[COLS] = {"spade", "block", "semi", "smg", "shotgun", "grenade", "crouched",
                                           "intel", "dead"};
    for (int team = 0; team < 2; team++)
        for (int k = 0; k < COLS; k++) {
            Canvas view;
            canvas_init(&view, W, H, 0xFF8FB4D8);
            SplatView sv;
            splat_begin(&sv, &view);
            // Seen from the front left, a little from above.
            const float ground = 40.0f, yaw = 0.0f;
            Vec3 at = v3(0, 0, ground - 1.2f), dir = v3(-std::cos(yaw + 0.8f), -std::sin(yaw + 0.8f), 0.35f);
            look(&sv, vadd(at, vscale(dir, -5.0f)), dir, 360.0f, 0, W / 2.0f, H / 2.0f);
            draw_floor(&sv, ground);
            if (k == 8) {
                draw_player(&sv, team, 0, 0, ground, yaw, 0, 0, 1);
            } else {
                int crouch = k == 6;
                draw_player(&sv, team, 0, 0, ground, yaw, crouch, k < 6 ? held[k] : M_SEMI_3, 0);
                if (k == 7) {
                    // The other team's intel on the back, with the torso's axes.
                    Vec3 fwd = v3(std::cos(yaw), std::sin(yaw), 0), right = v3(-fwd.y, fwd.x, 0);
                    int differ = std::signbit(right.x) != std::signbit(fwd.y);
                    Vec3 hf = differ ? v3(right.y, -right.x, 0) : v3(-right.y, right.x, 0);
                    float ez = ground - 2.25f;
                    SpriteInstance s = sprite(g_models[team ? M_INTEL_B : M_INTEL_G],
                                              v3(-0.3f * hf.x, -0.3f * hf.y, ez + 1.0f),
                                              v3(-0.1f * right.x, -0.1f * right.y, 0), vscale(hf, 0.1f), v3(0, 0, 0.1f));
                    splat_sprite(&sv, &s, 0x7F7F7F, nullptr);
                }
            }
            canvas_paste(out, &view, k * W, team * (H + 18) + 16, 1, 1);
            char text[64];
            std::snprintf(text, sizeof text, "team %d %s", team, what[k]);
            label(out, k * W + 4, team * (H + 18) + 2, text);
        }
}

// The first-person views as the game sets them up: each tool at its view
// place with the view light; the tool row while switching; the weapon menu.
static void section_views(Canvas *out)
{
    const int W = 400, H = 300;
    canvas_init(out, 4 * W, 2 * (H + 18), BACKGROUND);
    static const int tools[6] = {M_SPADE, M_BLOCK, M_SEMI, M_SMG, M_SHOTGUN, M_GRENADE};
    static const char *const what[8] = {"spade", "block", "semi", "smg", "shotgun", "grenade", "tool row",
                                        "weapon menu"};
    Canvas target;
    int have_target = read_png(g_dist + "/png/target.png", &target);
    for (int k = 0; k < 8; k++) {
        Canvas view;
        canvas_init(&view, W, H, 0xFF8FB4D8);
        canvas_fill_rect(&view, 0, H / 2, W, H / 2, 0xFF5E6E48);
        // View space, as the game sets it for view models: eye at the
        // origin, right (1, 0, 0), down (0, 1, 0), forward (0, 0, 1).
        SplatView sv = {};
        splat_begin(&sv, &view);
        sv.right[0] = sv.down[1] = sv.forward[2] = 1.0f;
        sv.focal = W / 2.0f;
        sv.cx = W / 2.0f;
        sv.cy = H / 2.0f;
        const float light[3] = {0, 0, 1};
        if (k < 6) {
            float s = 0.005f;
            SpriteInstance sp = sprite(g_models[tools[k]], v3(0.05f, 0.06f, 0.1f), v3(-s, 0, 0), v3(0, 0, s), v3(0, s, 0));
            splat_sprite(&sv, &sp, tools[k] == M_BLOCK ? 0x20A0E0 : 0x7F7F7F, light);
            if (have_target) canvas_paste(&view, &target, W / 2 - target.w / 2, H / 2 - target.h / 2, 1, 1);
        } else if (k == 6) {
            static const int row[4] = {M_SPADE, M_BLOCK, M_SEMI, M_GRENADE};
            static const float xs[4] = {-0.0225f, -0.0075f, 0.0075f, 0.0225f};
            for (int i = 0; i < 4; i++) {
                float s = 0.0005f;
                int sel = i == 2;
                SpriteInstance sp = sprite(g_models[row[i]], v3(sel ? 0.00495f : xs[i], 0.015f, sel ? 0.04f : 0.06f),
                                           v3(-s, 0, 0), v3(0, 0, s), v3(0, s, 0));
                spin(&sp, 0.7f);
                splat_sprite(&sv, &sp, row[i] == M_BLOCK ? 0x20A0E0 : 0x7F7F7F, light);
            }
        } else {
            static const int guns[3] = {M_SEMI, M_SMG, M_SHOTGUN};
            static const float xs[3] = {-0.017f, 0.0f, 0.017f};
            for (int i = 0; i < 3; i++) {
                float s = 0.0005f;
                SpriteInstance sp = sprite(g_models[guns[i]], v3(xs[i], 0.015f, 0.03f), v3(-s, 0, 0), v3(0, 0, s),
                                           v3(0, s, 0));
                spin(&sp, 1.1f);
                splat_sprite(&sv, &sp, 0x7F7F7F, nullptr);
            }
        }
        canvas_paste(out, &view, (k % 4) * W, (k / 4) * (H + 18) + 16, 1, 1);
        label(out, (k % 4) * W + 4, (k / 4) * (H + 18) + 2, what[k]);
    }
}

// Objectives, a grenade, tracers and casings at their world scales beside a player.
static void section_world(Canvas *out)
{
    const int W = 800, H = 320;
    canvas_init(out, W, H, 0xFF8FB4D8);
    SplatView sv;
    splat_begin(&sv, out);
    const float ground = 40.0f;
    Vec3 at = v3(0, 0, ground - 1.5f), dir = v3(0.0f, 1.0f, 0.35f);
    look(&sv, vadd(at, vscale(dir, -11.0f)), dir, 520.0f, 0, W / 2.0f, H / 2.0f);
    draw_floor(&sv, ground);
    struct Placed {
        int model;
        float x, y, z, scale, turn;
    };
    const Placed placed[] = {
        {M_INTEL_B, -6.0f, 0, ground, 0.2f, 0.3f}, {M_INTEL_G, -4.0f, 0, ground, 0.2f, -0.3f},
        {M_CP_B, -1.8f, 1.5f, ground, 0.3f, 0.2f}, {M_CP_G, 1.2f, 1.5f, ground, 0.3f, 0.6f},
        {M_CP_N, 4.2f, 1.5f, ground, 0.3f, 0.0f}, {M_GRENADE, 2.6f, -1.5f, ground - 0.25f, 0.05f, 0.4f},
        {M_TRACER + 0, 0.0f, -1.5f, ground - 2.0f, 0.1f, 1.2f}, {M_TRACER + 1, 0.5f, -1.5f, ground - 2.4f, 0.1f, 1.2f},
        {M_TRACER + 2, 1.0f, -1.5f, ground - 2.8f, 0.1f, 1.2f}, {M_CASING + 0, 1.5f, -2.5f, ground - 0.1f, 0.02f, 0.8f},
        {M_CASING + 1, 1.8f, -2.5f, ground - 0.1f, 0.02f, 0.3f}, {M_CASING + 2, 2.1f, -2.5f, ground - 0.1f, 0.02f, 1.5f},
    };
    for (const Placed &p : placed) {
        SpriteInstance s = sprite(g_models[p.model], v3(p.x, p.y, p.z), v3(p.scale, 0, 0), v3(0, p.scale, 0),
                                  v3(0, 0, p.scale));
        spin(&s, p.turn);
        splat_sprite(&sv, &s, 0x7F7F7F, nullptr);
    }
    draw_player(&sv, 0, 6.5f, 0.5f, ground, -1.9f, 0, M_SEMI_3, 0);
    draw_player(&sv, 1, -2.5f, -2.0f, ground, 0.5f, 0, 0, 1);
}

// Applies the HUD's tint rule: grey pixels scaled by the colour, black kept.
static void tint_icon(Canvas *c, uint32_t tint)
{
    for (uint32_t &p : c->px) {
        uint32_t r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
        if (r == 0 && g == 0 && b == 0) {
            p = 0; // the colour key: transparent
        } else if (r == g && g == b) {
            p = 0xFF000000u | ((tint >> 16 & 0xFF) * r / 255) << 16 | ((tint >> 8 & 0xFF) * r / 255) << 8 |
                ((tint & 0xFF) * r / 255);
        }
    }
}

static void checker(Canvas *c, int32_t x, int32_t y, int32_t w, int32_t h)
{
    for (int32_t j = 0; j < h; j++)
        for (int32_t i = 0; i < w; i++)
            canvas_blend(c, x + i, y + j, ((i / 8 + j / 8) & 1) ? 0xFF6A6A6A : 0xFF9A9A9A, 1.0f);
}

static void section_pictures(Canvas *out)
{
    canvas_init(out, 1600, 700, BACKGROUND);
    struct Pic {
        const char *name;
        int32_t x, y, up, down;
    };
    const Pic pics[] = {{"splash.png", 0, 16, 1, 2},   {"semi.png", 420, 16, 1, 4}, {"smg.png", 630, 16, 1, 4},
                        {"shotgun.png", 840, 16, 1, 4}, {"target.png", 1060, 16, 4, 1}, {"white.png", 1140, 16, 8, 1},
                        {"knumb.png", 1190, 16, 1, 1}};
    for (const Pic &p : pics) {
        Canvas c;
        label(out, p.x, p.y - 14, p.name);
        if (!read_png(g_dist + "/png/" + p.name, &c)) continue;
        checker(out, p.x, p.y + 2, c.w * p.up / p.down, c.h * p.up / p.down);
        canvas_paste(out, &c, p.x, p.y + 2, p.up, p.down);
    }
    static const char *const icons[12] = {"indicator", "player", "intel", "command", "medical", "tracer",
                                          "health", "block", "semi", "shotgun", "smg", "grenade"};
    static const uint32_t tints[12] = {0xFFFFFF, 0x0000C4, 0x00C400, 0xFFFFFF, 0x0000C4, 0xFFFFFF,
                                       0xFFFFFF, 0xFFFF00, 0xFFFF00, 0xFF0000, 0xFFFF00, 0xFFFF00};
    int32_t x = 0;
    for (int i = 0; i < 12; i++) {
        Canvas c;
        std::string name = std::string(icons[i]) + ".bmp";
        label(out, x, 340, name.c_str());
        if (!read_bmp24(g_dist + "/png/" + name, &c)) {
            x += 120;
            continue;
        }
        int up = c.w <= 20 ? 4 : c.w <= 48 ? 2 : 1;
        canvas_paste(out, &c, x, 356, up, 1);
        tint_icon(&c, tints[i]);
        canvas_fill_rect(out, x, 356 + c.h * up + 4, c.w * up, c.h * up, 0xFF505A46);
        canvas_paste(out, &c, x, 356 + c.h * up + 4, up, 1);
        x += c.w * up + 16;
    }
}

static void section_fonts(Canvas *out)
{
    static const char *const files[3] = {"FixedSys_Bold_12.bmp", "FixedSys_Bold_18.bmp", "FixedSys_Bold_36.bmp"};
    SheetFont f[3];
    int32_t width = 0, height = 0;
    for (int i = 0; i < 3; i++) {
        f[i].w = 0;
        if (font_load(g_dist + "/fonts/" + files[i], &f[i])) {
            width += f[i].w + 24;
            height = std::max(height, f[i].h);
        }
    }
    canvas_init(out, std::max(width, 900), height + 200, BACKGROUND);
    int32_t x = 0;
    for (int i = 0; i < 3; i++) {
        label(out, x, 0, files[i]);
        if (f[i].w <= 0) continue;
        canvas_fill_rect(out, x, 16, f[i].w, f[i].h, 0xFF102040);
        for (int32_t j = 0; j < f[i].h; j++)
            for (int32_t k = 0; k < f[i].w; k++)
                if (f[i].ink[(size_t)j * f[i].w + k]) canvas_blend(out, x + k, 16 + j, 0xFFFFFFFF, 1.0f);
        x += f[i].w + 24;
    }
    int32_t y = height + 30;
    for (int i = 0; i < 3; i++) {
        if (f[i].w <= 0) continue;
        int32_t end = font_text(out, &f[i], 0, y, "Health 100  Ammo 10-50  FPS: 60.00  \xC4rger \xE9t\xE9 \xF1o\xF1o", 0xFFFFFF00);
        canvas_fill_rect(out, end, y, 2, f[i].height, 0xFFFF4040); // the advance ends here
        y += f[i].height + 6;
    }
}

// ---------------------------------------------------------------- main

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: assetsheet DISTDIR OUT.png [models|players|views|world|pictures|fonts]\n");
        return 2;
    }
    g_dist = argv[1];
    const char *only = argc > 3 ? argv[3] : nullptr;
    builddirtable(255);
    font_load(g_dist + "/fonts/FixedSys_Bold_12.bmp", &g_small);
    font_load(g_dist + "/fonts/FixedSys_Bold_18.bmp", &g_medium);
    load_models();
    make_floor();
    struct Section {
        const char *name;
        void (*draw)(Canvas *);
    };
    const Section sections[] = {{"models", section_models}, {"players", section_players}, {"views", section_views},
                                {"world", section_world},   {"pictures", section_pictures}, {"fonts", section_fonts}};
    std::vector<Canvas> parts;
    int32_t width = 0, height = 0;
    for (const Section &s : sections) {
        if (only && std::strcmp(only, s.name) != 0) continue;
        Canvas c;
        s.draw(&c);
        width = std::max(width, c.w);
        height += c.h + 40;
        parts.push_back(c);
    }
    Canvas sheet;
    canvas_init(&sheet, width + 16, height, BACKGROUND);
    int32_t y = 0, k = 0;
    for (const Section &s : sections) {
        if (only && std::strcmp(only, s.name) != 0) continue;
        font_text(&sheet, &g_medium, 8, y + 10, s.name, TITLE);
        canvas_paste(&sheet, &parts[k], 8, y + 34, 1, 1);
        y += parts[k].h + 40;
        k++;
    }
    Bytes png = png_encode(sheet.px.data(), sheet.w, sheet.h, 0);
    FILE *f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(png.data(), 1, png.size(), f) != png.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "assetsheet: cannot write %s\n", argv[2]);
        return 1;
    }
    for (Kv6Model *m : g_models) discardmodel(m);
    discardmodel(g_floor);
    std::printf("assetsheet: %s (%dx%d)\n", argv[2], sheet.w, sheet.h);
    return 0;
}
