// assetsheet: draws the data files of a ready-to-run folder into one PNG to
// look at, loaded and drawn by the game's own code. The models are loaded as
// the client loads them (team colours painted, held tools' pivots shifted)
// and drawn by the game's renderer: every model from three sides, players
// posed and lit by the renderer's player drawing (through vxrender's scene
// posing), the first-person views, the objectives in the world. Pictures and
// bitmaps come through the client's loaders (bitmaps tinted and turned by
// the platform's rule), and the fonts as the platform layer loads and draws
// them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ag_canvas.h"
#include "ag_formats.h"
#include "client/game_assets.h"
#include "client/game_fatal.h"
#include "client/game_state.h"
#include "common/game_enums.h"
#include "common/model_table.h"
#include "common/player.h"
#include "platform/plat_bitmap.h"
#include "platform/plat_display.h"
#include "platform/plat_font.h"
#include "platform/plat_test.h"
#include "renderer/voxrender.h"
#include "vxmaps.h"
#include "vxscene.h"

static const uint32_t BACKGROUND = 0xFF20242C, PANEL = 0xFF343A44, LABEL = 0xE0E0E0, DIM = 0x9AA0A8;
static const uint32_t TITLE = 0xFFD040, SKY = 0x8FB4D8, GRASS = 0x5E6E48;
static const float GROUND = 40.0f; // the flat map's surface
// The server's default team colours.
static const uint32_t TEAM_COLOUR[2] = {0x0000C4, 0x00C400};
static const float DEG = 3.14159265f / 180.0f;

// ---------------------------------------------------------------- text

// Text in one of the platform layer's three fonts, drawn by it onto a
// scratch surface and copied onto the canvas, black transparent. Returns the
// x where the text ends.
static int32_t text(Canvas *c, int slot, int32_t x, int32_t y, const char *s, uint32_t colour = LABEL)
{
    BitmapFont *f = getfont(slot);
    const int32_t w = gettextwidth(f, s), h = getfontheight(f);
    Surface *sf = w > 0 && h > 0 ? createsurface(getdirectdraw(), w, h) : nullptr;
    if (!sf) return x;
    drawtextcolor(f, s, 0, 0, sf, colour);
    for (int32_t j = 0; j < h; j++)
        for (int32_t i = 0; i < w; i++) {
            const uint32_t px = *(const uint32_t *)(sf->pixels + (size_t)j * sf->pitch + 4 * (size_t)i) & 0xFFFFFF;
            if (px) canvas_blend(c, x + i, y + j, 0xFF000000u | px, 1.0f);
        }
    releasesurface(sf);
    return x + w;
}

// ---------------------------------------------------------------- frames

// Binds the canvas as the renderer's frame, filled with `fill`, every depth
// far (for views that draw no world).
static void frame_begin(Canvas *c, int32_t w, int32_t h, uint32_t fill)
{
    canvas_init(c, w, h, fill);
    voxsetframebuffer(c->px.data(), 4 * w, w, h);
    for (size_t i = 0; i < c->px.size(); i++) *(float *)((uint8_t *)&c->px[i] + vox_frame.zoffset) = 1e30f;
}

// The renderer writes a model voxel's fourth colour byte as the pixel's top
// byte: the finished frame is opaque.
static void frame_end(Canvas *c)
{
    for (uint32_t &p : c->px) p |= 0xFF000000u;
}

// A camera `distance` behind `target` looking along yaw and pitch (degrees,
// pitch positive looks down). Returns the eye.
static Vec3 camera(Vec3 target, float yaw, float pitch, float distance, int32_t w, int32_t h, int32_t focal)
{
    Vec3 r, d, f;
    vox_axes_from_angles(yaw * DEG, pitch * DEG, 0.0f, &r, &d, &f);
    const Vec3 eye{target.x - distance * f.x, target.y - distance * f.y, target.z - distance * f.z};
    setviewpoint(&eye, &r, &d, &f, w / 2, h / 2, focal);
    return eye;
}

// A model standing in the world with axes of `scale` turned by yaw (radians)
// about the vertical, its pivot at `at`.
static SpriteInstance posed(Kv6Model *m, Vec3 at, float scale, float yaw)
{
    SpriteInstance s{};
    s.model = m;
    s.position = at;
    s.xaxis = Vec3{scale, 0, 0};
    s.yaxis = Vec3{0, scale, 0};
    s.zaxis = Vec3{0, 0, scale};
    rotateaxes(yaw, 0, 0, &s.xaxis, &s.yaxis, &s.zaxis);
    return s;
}

// rendermodel takes its light with the second and third components traded
// (see its contract): this is the argument that lights along world direction d.
static Vec3 world_light(Vec3 d) { return Vec3{d.x, d.z, d.y}; }

// ---------------------------------------------------------------- models

// Every model from the front, its right and above the front left, lit from
// above its front left; a red mark at the pivot, where the game's position
// puts the model.
static void section_models(Canvas *out)
{
    const int VIEW = 136, COLS = 4, CELLW = 3 * VIEW + 24, CELLH = VIEW + 22;
    canvas_init(out, COLS * CELLW, ((MODEL_SLOT_COUNT + COLS - 1) / COLS) * CELLH, BACKGROUND);
    // Model +x is the holder's left, +y his front, +z down.
    const Vec3 light = world_light(Vec3{-0.3f, -0.5f, 0.8f});
    static const float views[3][2] = {{-90, 0}, {0, 0}, {-125, 35}}; // yaw, pitch
    for (int i = 0; i < MODEL_SLOT_COUNT; i++) {
        Kv6Model *m = model_table[i];
        const int32_t x0 = (i % COLS) * CELLW + 8, y0 = (i / COLS) * CELLH + 4;
        char label[96];
        std::snprintf(label, sizeof label, "%d %s", i, model_names[i]);
        text(out, 0, x0, y0, label);
        std::snprintf(label, sizeof label, "%dx%dx%d", m->xsize, m->ysize, m->zsize);
        text(out, 0, x0 + 2 * VIEW + 40, y0, label, DIM);
        const float extent = (float)std::max(m->xsize, std::max(m->ysize, m->zsize));
        // The box's centre at the origin.
        const Vec3 pivot{m->xpivot - m->xsize * 0.5f, m->ypivot - m->ysize * 0.5f, m->zpivot - m->zsize * 0.5f};
        for (int k = 0; k < 3; k++) {
            Canvas view;
            frame_begin(&view, VIEW, VIEW, PANEL);
            const float distance = 6.0f * extent;
            const int32_t focal = (int32_t)((VIEW - 16) * distance / (extent * 1.7f));
            const Vec3 eye = camera(Vec3{0, 0, 0}, views[k][0], views[k][1], distance, VIEW, VIEW, focal);
            SpriteInstance s = posed(m, pivot, 1.0f, 0.0f);
            rendermodel(&s, 0, &light);
            frame_end(&view);
            // The pivot's screen point.
            const ViewCamera &c = vox_camera;
            const Vec3 d{pivot.x - eye.x, pivot.y - eye.y, pivot.z - eye.z};
            const float depth = d.x * c.forward.x + d.y * c.forward.y + d.z * c.forward.z;
            const float px = VIEW / 2 + (d.x * c.right.x + d.y * c.right.y + d.z * c.right.z) * focal / depth;
            const float py = VIEW / 2 + (d.x * c.down.x + d.y * c.down.y + d.z * c.down.z) * focal / depth;
            canvas_line(&view, px - 3, py, px + 3, py, 1.0f, 0xFFFF3030);
            canvas_line(&view, px, py - 3, px, py + 3, 1.0f, 0xFFFF3030);
            canvas_paste(out, &view, x0 + k * VIEW, y0 + 16, 1, 1);
        }
    }
}

// ---------------------------------------------------------------- players

// A frame of the flat map seen from `eye_yaw`/`pitch`, `distance` from target.
static void world_begin(Canvas *c, int32_t w, int32_t h, Vec3 target, float yaw, float pitch, float distance,
                        int32_t focal)
{
    canvas_init(c, w, h, 0xFF000000u | SKY);
    voxsetframebuffer(c->px.data(), 4 * w, w, h);
    camera(target, yaw, pitch, distance, w, h, focal);
    renderworld();
}

// A player posed by vxrender's scene code and drawn by the renderer. A dead
// body lies where the client's body physics leaves it: its position, the
// point that fell, rests on the ground.
static void draw_player(int id, const VxPlayerPose &pose)
{
    if (!vxscene_pose_player(id, &pose)) return;
    if (pose.pose == VXPOSE_DEAD) player_get(id)->position = pose.ground;
    vxscene_draw_player(id, 1);
}

// Both teams with each tool, crouched, carrying the intel, and dead, posed
// and drawn by the renderer's player drawing; seen from the front left.
static void section_players(Canvas *out)
{
    const int W = 220, H = 300, COLS = 9;
    canvas_init(out, COLS * W, 2 * (H + 18), BACKGROUND);
    static const char *const what[COLS] = {"spade", "block", "semi", "smg", "shotgun", "grenade", "crouched",
                                           "intel", "dead"};
    for (int team = 0; team < 2; team++)
        for (int k = 0; k < COLS; k++) {
            VxPlayerPose pose = vxscene_default_pose();
            pose.team = team;
            pose.ground = Vec3{256.0f, 256.0f, GROUND};
            pose.yaw = -100.0f * DEG;
            pose.tool = k == 0 ? TOOL_SPADE : k == 1 ? TOOL_BLOCK : k == 5 ? TOOL_GRENADE : TOOL_GUN;
            pose.weapon = k == 3 ? WEAPON_SMG : k == 4 ? WEAPON_SHOTGUN : WEAPON_SEMI;
            pose.colour = block_palette[6 * 8 + 5];
            pose.pose = k == 6 ? VXPOSE_CROUCH : k == 8 ? VXPOSE_DEAD : VXPOSE_STAND;
            pose.intel = k == 7;
            if (k == 7) pose.yaw = 40.0f * DEG; // the case rides on the back
            Canvas view;
            world_begin(&view, W, H, Vec3{256.0f, 256.0f, GROUND - 1.1f}, 60.0f, 20.0f, 4.5f, 300);
            draw_player(0, pose);
            frame_end(&view);
            canvas_paste(out, &view, k * W, team * (H + 18) + 16, 1, 1);
            char label[64];
            std::snprintf(label, sizeof label, "team %d %s", team, what[k]);
            text(out, 0, k * W + 4, team * (H + 18) + 2, label);
        }
}

// ---------------------------------------------------------------- views

// A model in view space with axes of `scale` as the client poses view models.
static SpriteInstance view_model(int slot, Vec3 at, float scale)
{
    SpriteInstance s{};
    s.model = model_table[slot];
    s.position = at;
    s.xaxis = Vec3{-scale, 0, 0};
    s.yaxis = Vec3{0, 0, scale};
    s.zaxis = Vec3{0, scale, 0};
    return s;
}

// The first-person views in view space (eye at the origin, right +x, down
// +y, forward +z): each tool at its place with the forward vector as light,
// the crosshair over it; the tool row while switching; the weapon menu.
static void section_views(Canvas *out)
{
    const int W = 400, H = 300;
    canvas_init(out, 4 * W, 2 * (H + 18), BACKGROUND);
    static const int tools[6] = {MODEL_SPADE, MODEL_BLOCK, MODEL_SEMI, MODEL_SMG, MODEL_SHOTGUN, MODEL_GRENADE};
    static const char *const what[8] = {"spade", "block", "semi", "smg", "shotgun", "grenade", "tool row",
                                        "weapon menu"};
    const uint32_t block_colour = block_palette[6 * 8 + 5];
    const Vec3 origin{0, 0, 0}, right{1, 0, 0}, down{0, 1, 0}, forward{0, 0, 1};
    for (int k = 0; k < 8; k++) {
        Canvas view;
        frame_begin(&view, W, H, 0xFF000000u | SKY);
        canvas_fill_rect(&view, 0, H / 2, W, H / 2, 0xFF000000u | GRASS);
        setviewpoint(&origin, &right, &down, &forward, W / 2, H / 2, W / 2);
        if (k < 6) {
            SpriteInstance s = view_model(tools[k], Vec3{0.05f, 0.06f, 0.1f}, 0.005f);
            modeltint = tools[k] == MODEL_BLOCK ? block_colour : VOX_TINT_NEUTRAL;
            rendermodel(&s, 0, &forward);
            const uint32_t *target = game_images.target;
            if (target) blitpicturepx(target, 16, 16, 8, 8, W / 2, H / 2, 1.0f, 1.0f, 0xFFFFFFFFu);
        } else {
            // The row: spade, block, gun and grenade, the gun selected; the
            // menu: the three guns.
            static const int row[4] = {MODEL_SPADE, MODEL_BLOCK, MODEL_SEMI, MODEL_GRENADE};
            static const int guns[3] = {MODEL_SEMI, MODEL_SMG, MODEL_SHOTGUN};
            static const float row_x[4] = {-0.0225f, -0.0075f, 0.0075f, 0.0225f};
            static const float gun_x[3] = {-0.017f, 0.0f, 0.017f};
            const int n = k == 6 ? 4 : 3;
            for (int i = 0; i < n; i++) {
                const bool selected = k == 6 && i == 2;
                const int slot = k == 6 ? row[i] : guns[i];
                SpriteInstance s = view_model(slot,
                                        Vec3{k == 6 ? (selected ? 0.00495f : row_x[i]) : gun_x[i], 0.015f,
                                             k == 6 ? (selected ? 0.04f : 0.06f) : 0.03f},
                                        0.0005f);
                rotateaxes(k == 6 ? 0.7f : 1.1f, 0, 0, &s.xaxis, &s.yaxis, &s.zaxis);
                modeltint = slot == MODEL_BLOCK ? block_colour : VOX_TINT_NEUTRAL;
                rendermodel(&s, 0, k == 6 ? &forward : nullptr);
            }
        }
        modeltint = VOX_TINT_NEUTRAL;
        frame_end(&view);
        canvas_paste(out, &view, (k % 4) * W, (k / 4) * (H + 18) + 16, 1, 1);
        text(out, 0, (k % 4) * W + 4, (k / 4) * (H + 18) + 2, what[k]);
    }
}

// ---------------------------------------------------------------- world

// Objectives, a grenade, tracers and casings at the scales the client gives
// them, beside a player and a dead body, fogged as the client draws them.
static void section_world(Canvas *out)
{
    const int W = 800, H = 320;
    world_begin(out, W, H, Vec3{256.0f, 256.0f, GROUND - 1.5f}, -90.0f, 19.0f, 11.0f, 520);
    struct Placed {
        int slot;
        float x, y, z, scale, yaw;
    };
    // x to the right, y towards the back.
    const Placed placed[] = {
        {MODEL_INTEL_B, -6.0f, 0, GROUND, 0.2f, 0.3f},        {MODEL_INTEL_G, -4.0f, 0, GROUND, 0.2f, -0.3f},
        {MODEL_CP_B, -1.8f, -1.5f, GROUND, 0.3f, 0.2f},       {MODEL_CP_G, 1.2f, -1.5f, GROUND, 0.3f, 0.6f},
        {MODEL_CP_N, 4.2f, -1.5f, GROUND, 0.3f, 0.0f},        {MODEL_GRENADE, 2.6f, 1.5f, GROUND - 0.25f, 0.05f, 0.4f},
        {MODEL_SEMITRACER, -1.0f, 1.5f, GROUND - 2.0f, 0.1f, 1.2f},
        {MODEL_SMGTRACER, -0.5f, 1.5f, GROUND - 2.4f, 0.1f, 1.2f},
        {MODEL_SHOTGUNTRACER, 0.0f, 1.5f, GROUND - 2.8f, 0.1f, 1.2f},
        {MODEL_SEMICASING, 0.5f, 2.5f, GROUND - 0.1f, 0.02f, 0.8f},
        {MODEL_SMGCASING, 0.8f, 2.5f, GROUND - 0.1f, 0.02f, 0.3f},
        {MODEL_SHOTGUNCASING, 1.1f, 2.5f, GROUND - 0.1f, 0.02f, 1.5f},
    };
    for (const Placed &p : placed) {
        SpriteInstance s = posed(model_table[p.slot], Vec3{256.0f + p.x, 256.0f + p.y, p.z}, p.scale, p.yaw);
        rendermodel(&s, 1, nullptr);
    }
    VxPlayerPose pose = vxscene_default_pose();
    pose.ground = Vec3{262.5f, 256.5f, GROUND};
    pose.yaw = 110.0f * DEG;
    draw_player(0, pose);
    pose.team = 1;
    pose.pose = VXPOSE_DEAD;
    pose.ground = Vec3{253.5f, 258.0f, GROUND};
    pose.yaw = 200.0f * DEG;
    draw_player(1, pose);
    frame_end(out);
}

// ---------------------------------------------------------------- pictures

static void checker(Canvas *c, int32_t x, int32_t y, int32_t w, int32_t h)
{
    for (int32_t j = 0; j < h; j++)
        for (int32_t i = 0; i < w; i++)
            canvas_blend(c, x + i, y + j, ((i / 8 + j / 8) & 1) ? 0xFF6A6A6A : 0xFF9A9A9A, 1.0f);
}

// A bitmap onto the canvas at `up` times its size; key_black: black is
// transparent, as the HUD's colour key makes it.
static void paste_bitmap(Canvas *out, const Bitmap *b, int32_t x, int32_t y, int32_t up, bool key_black)
{
    Canvas c;
    canvas_init(&c, b->width, b->height, 0);
    for (size_t i = 0; i < c.px.size(); i++) {
        const uint32_t p = b->pixels[i] & 0xFFFFFF;
        c.px[i] = key_black && p == 0 ? 0 : 0xFF000000u | p;
    }
    canvas_paste(out, &c, x, y, up, 1);
}

// The pictures as the client decoded them, over a checker where they are
// clear; the bitmaps as files, then as the HUD draws them: tinted (and the
// turned ones turned) by the platform's bitmap rule, black keyed out.
static void section_pictures(Canvas *out)
{
    canvas_init(out, 1600, 640, BACKGROUND);
    struct Pic {
        int picture;
        const uint32_t *pixels;
        int32_t x, up, down;
    };
    const GameImages &g = game_images;
    const Pic pics[] = {{PIC_SPLASH, g.splash, 0, 1, 2},          {PIC_SCOPE_SEMI, g.scope[0], 420, 1, 4},
                        {PIC_SCOPE_SMG, g.scope[1], 630, 1, 4},    {PIC_SCOPE_SHOTGUN, g.scope[2], 840, 1, 4},
                        {PIC_TARGET, g.target, 1060, 4, 1},        {PIC_WHITE, g.white, 1140, 8, 1},
                        {PIC_DIGITS, g.digit_strip, 1190, 1, 1}};
    for (const Pic &p : pics) {
        const GamePictureFile &f = game_picture_files[p.picture];
        text(out, 0, p.x, 0, f.file + 4);
        if (!p.pixels) continue;
        Canvas c;
        canvas_init(&c, f.width, f.height, 0);
        c.px.assign(p.pixels, p.pixels + (size_t)f.width * f.height);
        checker(out, p.x, 16, f.width * p.up / p.down, f.height * p.up / p.down);
        canvas_paste(out, &c, p.x, 16, p.up, p.down);
    }
    // The colour each bitmap is drawn in, and the turn of the turned ones.
    static const uint32_t tints[BMP_COUNT] = {0xFFFFFF, TEAM_COLOUR[0], TEAM_COLOUR[1], 0xFFFFFF, TEAM_COLOUR[0],
                                              0xFFFFFF, 0xFFFFFF,       0xFFFF00,       0xFFFF00, 0xFF0000,
                                              0xFFFF00, 0xFFFF00};
    static const float turns[BMP_COUNT] = {0.6f, 0.6f, 0, 0, 0, 0.6f, 0, 0, 0, 0, 0, 0};
    int32_t x = 0;
    for (int i = 0; i < BMP_COUNT; i++) {
        const Bitmap *b = hud_bitmaps[i];
        text(out, 0, x, 340, hud_bitmap_files[i] + 4);
        if (!b) {
            x += 120;
            continue;
        }
        const int32_t up = b->width <= 20 ? 4 : b->width <= 48 ? 2 : 1;
        paste_bitmap(out, b, x, 356, up, false);
        Bitmap *drawn = rotatebitmap(b, turns[i], tints[i], 0);
        if (drawn) {
            canvas_fill_rect(out, x, 356 + b->height * up + 4, drawn->width * up, drawn->height * up,
                             0xFF000000u | GRASS);
            paste_bitmap(out, drawn, x, 356 + b->height * up + 4, up, true);
            x += std::max(b->width, drawn->width) * up + 16;
            freebitmap(drawn);
        }
    }
}

// ---------------------------------------------------------------- fonts

// Each font's glyph grid as the platform layer rendered it, and a line drawn
// with it; the red bar is where the font's advances say the line ends.
static void section_fonts(Canvas *out)
{
    static const char *const line = "Health 100  Ammo 10-50  FPS: 60.00  \xC4rger \xE9t\xE9 \xF1o\xF1o";
    int32_t width = 0, height = 0, lines = 0;
    for (int i = 0; i < FONT_SLOTS; i++) {
        const BitmapFont *f = getfont(i);
        const int32_t label = gettextwidth(getfont(0), f->filename);
        width += std::max(f->surface ? f->surface->width : 0, label) + 24;
        height = std::max(height, f->surface ? f->surface->height : 0);
        lines = std::max(lines, gettextwidth(f, line) + 8);
    }
    canvas_init(out, std::max(width, lines), height + 200, BACKGROUND);
    int32_t x = 0;
    for (int i = 0; i < FONT_SLOTS; i++) {
        BitmapFont *f = getfont(i);
        const int32_t end = text(out, 0, x, 0, f->filename);
        if (!f->surface) continue;
        setfontcolor(f, 0xFFFFFF);
        const Surface *s = f->surface;
        canvas_fill_rect(out, x, 16, s->width, s->height, 0xFF102040);
        for (int32_t j = 0; j < s->height; j++)
            for (int32_t k = 0; k < s->width; k++)
                if (*(const uint32_t *)(s->pixels + (size_t)j * s->pitch + 4 * (size_t)k) & 0xFFFFFF)
                    canvas_blend(out, x + k, 16 + j, 0xFFFFFFFF, 1.0f);
        x = std::max(x + s->width, end) + 24;
    }
    int32_t y = height + 30;
    for (int i = 0; i < FONT_SLOTS; i++) {
        const int32_t end = text(out, i, 0, y, line, 0xFFFF00);
        canvas_fill_rect(out, end, y, 2, getfontheight(getfont(i)), 0xFFFF4040);
        y += getfontheight(getfont(i)) + 6;
    }
}

// ---------------------------------------------------------------- main

static void fatal(const char *message)
{
    std::fprintf(stderr, "assetsheet: %s\n", message ? message : "fatal error");
    std::exit(1);
}

int main(int argc, char **argv)
{
    struct Section {
        const char *name;
        void (*draw)(Canvas *);
    };
    const Section sections[] = {{"models", section_models}, {"players", section_players}, {"views", section_views},
                                {"world", section_world},   {"pictures", section_pictures}, {"fonts", section_fonts}};
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: assetsheet DISTDIR OUT.png [models|players|views|world|pictures|fonts]\n");
        return 2;
    }
    const std::string out_path = std::filesystem::absolute(argv[2]).string();
    const char *only = argc > 3 ? argv[3] : nullptr;
    int known = !only;
    for (const Section &s : sections) known |= only && !std::strcmp(only, s.name);
    if (!known) {
        std::fprintf(stderr,
                     "assetsheet: \"%s\" is not a part; the parts are models, players, views, world, pictures "
                     "and fonts\n",
                     only);
        return 2;
    }
    // The client reads its files from its own folder.
    std::error_code ec;
    std::filesystem::current_path(argv[1], ec);
    if (ec) {
        std::fprintf(stderr, "assetsheet: cannot enter the folder %s\n", argv[1]);
        return 1;
    }
    game_set_fatal_handler(fatal);
    if (!plat_select_backend(PLAT_BACKEND_HEADLESS)) fatal("no display");
    *game_display_settings() = DisplaySettings{64, 48, 1, 0};
    if (!plat_create_window() || initdirectdraw(1) != 1) fatal("no display");
    loadfonts(getdirectdraw());
    if (startrenderer(getcpufeatures()) != 0) fatal("this processor lacks a feature the renderer needs");
    setwallshades(0, 64, 32, 32, 16, 48);
    voxsetfogcolour(SKY);
    if (!vxmap_flat((int32_t)GROUND, GRASS)) fatal("cannot build the map");
    game_build_palette();
    game_load_images();
    for (int t = 0; t < 2; t++) game_set_team_slot(t, t ? "Green" : "Blue", TEAM_COLOUR[t]);
    if (!game_load_models()) fatal("the models did not load");

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
        text(&sheet, 1, 8, y + 10, s.name, TITLE);
        canvas_paste(&sheet, &parts[k], 8, y + 34, 1, 1);
        y += parts[k].h + 40;
        k++;
    }
    Bytes png = png_encode(sheet.px.data(), sheet.w, sheet.h, 0);
    FILE *f = std::fopen(out_path.c_str(), "wb");
    if (!f || std::fwrite(png.data(), 1, png.size(), f) != png.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "assetsheet: cannot write %s\n", out_path.c_str());
        return 1;
    }
    game_free_models();
    game_free_images();
    closerenderer();
    freefonts();
    freetextcontext(textcontext);
    uninitdirectdraw();
    plat_destroy_window();
    plat_close_backend();
    std::printf("assetsheet: %s (%dx%d)\n", out_path.c_str(), sheet.w, sheet.h);
    return 0;
}
