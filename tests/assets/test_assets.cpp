// The generated data files in the ready-to-run folder: every file the client
// loads is there and passes the client's own format and size checks, the
// models fit the way the client poses them, and generation is repeatable.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "ag_files.h"
#include "asset_checks.h"
#include "common/cfg.h"
#include "common/kv6.h"
#include "common/kv6_dirtable.h"
#include "common/model_table.h"
#include "common/weapon.h"

namespace {

const std::string DIST = BKM_DIST_DIR;

// ---- What the client loads, by name (its model table in slot order, its
// pictures at the sizes it asks for, icons, fonts, sounds, key bindings).

const char *const MODEL_NAMES[MODEL_SLOT_COUNT] = {
    "SPADE_3", "BLOCK_3", "SEMI_3", "SMG_3", "SHOTGUN_3", "GRENADE_3", "SPADE", "BLOCK", "SEMI", "SMG",
    "SHOTGUN", "GRENADE", "PLAYERHEAD_B", "PLAYERTORSO_B", "PLAYERTORSOC_B", "PLAYERARMS_B", "PLAYERLEG_B",
    "PLAYERLEGC_B", "PLAYERDEAD_B", "PLAYERHEAD_G", "PLAYERTORSO_G", "PLAYERTORSOC_G", "PLAYERARMS_G",
    "PLAYERLEG_G", "PLAYERLEGC_G", "PLAYERDEAD_G", "INTEL_B", "INTEL_G", "CP_B", "CP_G", "CP_N",
    "SEMITRACER", "SMGTRACER", "SHOTGUNTRACER", "SEMICASING", "SMGCASING", "SHOTGUNCASING"};

struct PictureSize {
    const char *path;
    int32_t w, h;
};
const PictureSize PICTURES[] = {
    {"png/knumb.png", 24, 352}, {"png/semi.png", 800, 600},   {"png/smg.png", 800, 600}, {"png/shotgun.png", 800, 600},
    {"png/splash.png", 800, 600}, {"png/white.png", 4, 4}, {"png/target.png", 16, 16},
};

// HUD and map bitmaps. Tinted: drawn with a colour that paints their greys,
// so they are all grey. Turned: drawn rotated, so square.
struct BitmapUse {
    const char *path;
    bool tinted, turned, hud_corner; // hud_corner: drawn beside the count at the bottom right
};
const BitmapUse BITMAPS[] = {
    {"png/indicator.bmp", false, true, false}, {"png/player.bmp", true, true, false},
    {"png/intel.bmp", true, false, false},     {"png/command.bmp", true, false, false},
    {"png/medical.bmp", true, false, false},   {"png/tracer.bmp", false, true, false},
    {"png/health.bmp", true, false, true},     {"png/block.bmp", true, false, true},
    {"png/semi.bmp", true, false, true},       {"png/shotgun.bmp", true, false, true},
    {"png/smg.bmp", true, false, true},        {"png/grenade.bmp", true, false, true},
};

struct FontFile {
    const char *path;
    int32_t line_height;
};
const FontFile FONTS[] = {
    {"fonts/FixedSys_Bold_12.bmp", 12}, {"fonts/FixedSys_Bold_18.bmp", 18}, {"fonts/FixedSys_Bold_36.bmp", 36}};

const char *const SOUNDS[] = {
    "beep1", "beep2", "bounce", "build", "chat", "cock", "death", "debris", "empty", "explode", "fallhurt",
    "footstep1", "footstep2", "footstep3", "footstep4", "grenadebounce", "hitground", "hitplayer", "horn",
    "intro", "jump", "land", "pickup", "pin", "semireload", "semishoot", "shotgunreload", "shotgunshoot",
    "smgreload", "smgshoot", "switch", "wade1", "wade2", "wade3", "wade4", "waterexplode", "waterjump",
    "waterland", "whack", "woosh"};

struct Binding {
    const char *control;
    int code;
};
const Binding DEFAULT_BINDINGS[24] = {
    {"move_forward", 17}, {"move_backward", 31}, {"move_left", 30},       {"move_right", 32},
    {"jump", 57},         {"crouch", 29},        {"sneak", 42},           {"sprint", 47},
    {"view_map", 50},     {"reload", 19},        {"cube_color_up", 200},  {"cube_color_down", 208},
    {"cube_color_left", 203}, {"cube_color_right", 205}, {"cube_color_sample", 18}, {"quit_game", 1},
    {"save_map", 59},     {"volume_up", 78},     {"volume_down", 74},     {"show_mouse", 63},
    {"view_score", 15},   {"change_team", 51},   {"change_weapon", 52},   {"last_weapon", 16},
};

std::set<std::string> client_files()
{
    std::set<std::string> s;
    for (const char *m : MODEL_NAMES) s.insert(std::string("kv6/") + m + ".kv6");
    for (const PictureSize &p : PICTURES) s.insert(p.path);
    for (const BitmapUse &b : BITMAPS) s.insert(b.path);
    for (const FontFile &f : FONTS) s.insert(f.path);
    for (const char *w : SOUNDS) s.insert(std::string("wav/") + w + ".wav");
    s.insert("controls.ini");
    return s;
}

TEST(ClientFiles, EveryFileTheClientLoadsIsGeneratedAndNothingElse)
{
    static AssetFile files[ASSET_MAX_FILES];
    int n = asset_files(files);
    std::set<std::string> made;
    for (int i = 0; i < n; i++) EXPECT_TRUE(made.insert(files[i].path).second) << "listed twice: " << files[i].path;
    std::set<std::string> wanted = client_files();
    for (const std::string &f : wanted) {
        EXPECT_TRUE(made.count(f)) << "the generator does not make " << f;
        EXPECT_FALSE(read_all(DIST + "/" + f).empty()) << "missing from the ready-to-run folder: " << f;
    }
    for (const std::string &f : made) EXPECT_TRUE(wanted.count(f)) << "nothing loads " << f;
    // The weapon table names its own shot and reload sounds.
    for (const WeaponInfo &w : weapon_table) {
        EXPECT_TRUE(wanted.count(w.shot_sound)) << w.shot_sound;
        EXPECT_TRUE(wanted.count(w.reload_sound)) << w.reload_sound;
    }
}

// ---- Models.

void ignore_fatal(const char *) {}

struct Models {
    Kv6Model *m[MODEL_SLOT_COUNT];
    Models()
    {
        kv6_set_fatal_handler(ignore_fatal);
        builddirtable(255);
        for (int i = 0; i < MODEL_SLOT_COUNT; i++) m[i] = loadkv6((DIST + "/kv6/" + MODEL_NAMES[i] + ".kv6").c_str());
        kv6_set_fatal_handler(nullptr);
    }
    ~Models()
    {
        for (Kv6Model *p : m) discardmodel(p);
    }
};

// The filled cells of a model, as the file stores them (surface voxels).
struct VoxelAt {
    int32_t x, y;
    const Kv6Voxel *v;
};
std::vector<VoxelAt> voxels_of(const Kv6Model *m)
{
    std::vector<VoxelAt> out;
    const Kv6Voxel *v = m->voxels;
    for (int32_t x = 0; x < m->xsize; x++)
        for (int32_t y = 0; y < m->ysize; y++)
            for (int k = 0; k < m->xycounts[x * m->ysize + y]; k++) out.push_back({x, y, v++});
    return out;
}

TEST(Models, LoadWithConsistentFacesAndInwardNormals)
{
    Models ms;
    for (int i = 0; i < MODEL_SLOT_COUNT; i++) {
        const Kv6Model *m = ms.m[i];
        ASSERT_NE(m, nullptr) << MODEL_NAMES[i];
        ASSERT_TRUE(kv6_model_valid(m)) << MODEL_NAMES[i];
        EXPECT_GT(m->voxelcount, 0) << MODEL_NAMES[i];
        std::set<int64_t> stored;
        std::vector<VoxelAt> vs = voxels_of(m);
        for (const VoxelAt &a : vs) stored.insert(((int64_t)a.x * m->ysize + a.y) * m->zsize + a.v->z);
        auto has = [&](int32_t x, int32_t y, int32_t z) {
            return stored.count(((int64_t)x * m->ysize + y) * m->zsize + z) > 0;
        };
        auto inside = [&](int32_t x, int32_t y, int32_t z) {
            return x >= 0 && y >= 0 && z >= 0 && x < m->xsize && y < m->ysize && z < m->zsize;
        };
        static const int step[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
        int single = 0, lit_inwards = 0;
        for (const VoxelAt &a : vs) {
            uint8_t f = a.v->faces;
            ASSERT_TRUE(f != 0 && f < 64) << MODEL_NAMES[i] << " voxel without a face or with stray bits";
            for (int k = 0; k < 6; k++) {
                int32_t nx = a.x + step[k][0], ny = a.y + step[k][1], nz = a.v->z + step[k][2];
                bool open = !inside(nx, ny, nz) || !has(nx, ny, nz);
                if (!inside(nx, ny, nz)) {
                    EXPECT_TRUE(f & (1 << k)) << MODEL_NAMES[i] << " face on the model's edge hidden";
                }
                if (!open) {
                    EXPECT_FALSE(f & (1 << k)) << MODEL_NAMES[i] << " face against a stored voxel shown";
                }
            }
            // A voxel showing one face is lit through it: its normal points
            // into the model, against that face's outward direction.
            for (int k = 0; k < 6; k++) {
                if (f != (1 << k) || a.v->normalindex == 255) continue;
                float d[3];
                dirfromindex(a.v->normalindex, &d[0], &d[1], &d[2]);
                single++;
                if (d[0] * step[k][0] + d[1] * step[k][1] + d[2] * step[k][2] < 0.0f) lit_inwards++;
            }
        }
        EXPECT_EQ(lit_inwards, single) << MODEL_NAMES[i];
    }
}

TEST(Models, BodyPartsHaveTheSizesTheClientRequires)
{
    Models ms;
    struct Size {
        int part;
        int32_t x, y, z;
    };
    const Size sizes[] = {{0, 6, 6, 6}, {1, 8, 4, 9}, {2, 8, 8, 7}, {3, 12, 10, 6}, {4, 3, 5, 12}, {5, 3, 7, 8}};
    for (int team = 0; team < 2; team++)
        for (const Size &s : sizes) {
            const Kv6Model *m = ms.m[(team ? MODEL_HEAD_G : MODEL_HEAD_B) + s.part];
            ASSERT_NE(m, nullptr);
            EXPECT_EQ(m->xsize, s.x) << MODEL_NAMES[(team ? MODEL_HEAD_G : MODEL_HEAD_B) + s.part];
            EXPECT_EQ(m->ysize, s.y);
            EXPECT_EQ(m->zsize, s.z);
        }
}

// Pure black is what the client repaints with a team colour: models it
// repaints for a team carry it (uniform, case, flag); held tools, which it
// repaints with team 0's colour whoever holds them, and the models it never
// repaints carry none.
TEST(Models, TeamBlackOnlyWhereTheClientPaintsTheTeam)
{
    Models ms;
    for (int i = 0; i < MODEL_SLOT_COUNT; i++) {
        ASSERT_NE(ms.m[i], nullptr);
        int black = 0;
        for (int32_t v = 0; v < ms.m[i]->voxelcount; v++) black += (ms.m[i]->voxels[v].colour & 0xFFFFFF) == 0;
        bool team_model = (i >= MODEL_HEAD_B && i <= MODEL_DEAD_G) || (i >= MODEL_INTEL_B && i <= MODEL_CP_G);
        if (team_model) {
            EXPECT_GE(black, 10) << MODEL_NAMES[i];
        } else {
            EXPECT_EQ(black, 0) << MODEL_NAMES[i];
        }
    }
}

// World box of a posed model (axis-aligned: the poses below are level).
struct Box {
    float lo[3], hi[3];
};
Box posed_box(const Kv6Model *m, const float pos[3], const float ax[3], const float ay[3], const float az[3])
{
    Box b = {{1e9f, 1e9f, 1e9f}, {-1e9f, -1e9f, -1e9f}};
    for (int c = 0; c < 8; c++) {
        float mx = (c & 1 ? m->xsize : 0) - m->xpivot, my = (c & 2 ? m->ysize : 0) - m->ypivot;
        float mz = (c & 4 ? m->zsize : 0) - m->zpivot;
        for (int i = 0; i < 3; i++) {
            float w = pos[i] + mx * ax[i] + my * ay[i] + mz * az[i];
            b.lo[i] = std::fmin(b.lo[i], w);
            b.hi[i] = std::fmax(b.hi[i], w);
        }
    }
    return b;
}

// A player at eye (0, 0, 0) looking along +x: right is +y, down +z. Body
// parts posed as the client poses them: 0.1 per voxel, model x along minus
// right, head/torso/arms 0.3 below the eye (arms 0.5, crouched 0.4), legs
// 0.25 to either side and 1.1 below (crouched 0.7, and 0.3 back).
const float AX[3] = {0, -0.1f, 0}, AY[3] = {0.1f, 0, 0}, AZ[3] = {0, 0, 0.1f};

TEST(Models, BodyPartsFillThePlayersBox)
{
    Models ms;
    for (int team = 0; team < 2; team++)
        for (int crouch = 0; crouch < 2; crouch++) {
            const int base = team ? MODEL_HEAD_G : MODEL_HEAD_B;
            const float feet = crouch ? 1.35f : 2.25f; // the box's bottom below the eye
            const float at_head[3] = {0, 0, 0.3f}, leg_l[3] = {crouch ? -0.3f : 0, -0.25f, crouch ? 0.7f : 1.1f};
            const float leg_r[3] = {leg_l[0], 0.25f, leg_l[2]};
            Box head = posed_box(ms.m[base], at_head, AX, AY, AZ);
            Box torso = posed_box(ms.m[base + (crouch ? 2 : 1)], at_head, AX, AY, AZ);
            Box left = posed_box(ms.m[base + (crouch ? 5 : 4)], leg_l, AX, AY, AZ);
            Box right = posed_box(ms.m[base + (crouch ? 5 : 4)], leg_r, AX, AY, AZ);
            SCOPED_TRACE(testing::Message() << "team " << team << (crouch ? " crouched" : " standing"));
            // The eye looks out of the head; the head sits on the torso.
            for (int i = 0; i < 3; i++) {
                EXPECT_LE(head.lo[i], 0.0f);
                EXPECT_GE(head.hi[i], 0.0f);
            }
            EXPECT_NEAR(head.hi[2], torso.lo[2], 0.05f);
            EXPECT_GE(head.lo[2], -0.5f); // not above the box's top, 0.45 over the eye
            // Legs reach from under the torso to the feet, one on each side.
            EXPECT_LE(left.lo[2], torso.hi[2]);
            EXPECT_NEAR(left.hi[2], feet, 0.1f);
            EXPECT_NEAR(right.hi[2], feet, 0.1f);
            EXPECT_LT(left.hi[1], 0.05f);
            EXPECT_GT(right.lo[1], -0.05f);
            // Hit boxes stay within the player's 0.9-wide box.
            for (const Box *b : {&head, &torso, &left, &right})
                for (int i = 0; i < 2; i++) {
                    EXPECT_GE(b->lo[i], -0.55f);
                    EXPECT_LE(b->hi[i], 0.55f);
                }
        }
}

// Held tools: the client shifts their pivots and poses them with 0.65 of the
// arms' axes at the arms' place; each must end up in the arms' right hand
// (the uniform is team black, the hands are not).
TEST(Models, HeldToolsSitInTheRightHand)
{
    Models ms;
    const float shift[6][3] = {{6, -12, 2}, {5, -13, 0}, {6, -18, 0}, {6, -18, 0}, {6, -18, 0}, {5, -13, 0}};
    const float at_arms[3] = {0, 0, 0.5f};
    for (int team = 0; team < 2; team++) {
        const Kv6Model *arms = ms.m[team ? MODEL_ARMS_G : MODEL_ARMS_B];
        ASSERT_NE(arms, nullptr);
        float hand[3] = {0, 0, 0};
        int n = 0;
        for (const VoxelAt &a : voxels_of(arms)) {
            if ((a.v->colour & 0xFFFFFF) == 0 || a.x >= arms->xsize / 2) continue;
            const float m[3] = {a.x + 0.5f - arms->xpivot, a.y + 0.5f - arms->ypivot, a.v->z + 0.5f - arms->zpivot};
            for (int i = 0; i < 3; i++) hand[i] += at_arms[i] + m[0] * AX[i] + m[1] * AY[i] + m[2] * AZ[i];
            n++;
        }
        ASSERT_GT(n, 0) << "no right hand";
        for (float &h : hand) h /= (float)n;
        EXPECT_GT(hand[1], 0.1f) << "the right hand is on the player's right";
        EXPECT_GT(hand[0], 0.4f) << "the right hand is held forward";
        for (int slot = MODEL_SPADE_3; slot <= MODEL_GRENADE_3; slot++) {
            Kv6Model *m = ms.m[slot];
            ASSERT_NE(m, nullptr);
            m->xpivot += shift[slot][0];
            m->ypivot += shift[slot][1];
            m->zpivot += shift[slot][2];
            const float hx[3] = {0, -0.065f, 0}, hy[3] = {0.065f, 0, 0}, hz[3] = {0, 0, 0.065f};
            Box b = posed_box(m, at_arms, hx, hy, hz);
            float d2 = 0;
            for (int i = 0; i < 3; i++) {
                float d = hand[i] < b.lo[i] ? b.lo[i] - hand[i] : hand[i] > b.hi[i] ? hand[i] - b.hi[i] : 0.0f;
                d2 += d * d;
            }
            EXPECT_LE(std::sqrt(d2), 0.1f) << MODEL_NAMES[slot] << " is not in the right hand";
            m->xpivot -= shift[slot][0];
            m->ypivot -= shift[slot][1];
            m->zpivot -= shift[slot][2];
        }
    }
}

// Intel cases, bases and territories are placed on the ground point their
// position names, so they stand on their pivot.
TEST(Models, ObjectivesStandOnTheirPivot)
{
    Models ms;
    for (int i = MODEL_INTEL_B; i <= MODEL_CP_N; i++) {
        ASSERT_NE(ms.m[i], nullptr);
        EXPECT_FLOAT_EQ(ms.m[i]->zpivot, (float)ms.m[i]->zsize) << MODEL_NAMES[i];
        EXPECT_FLOAT_EQ(ms.m[i]->xpivot, ms.m[i]->xsize / 2.0f) << MODEL_NAMES[i];
        EXPECT_FLOAT_EQ(ms.m[i]->ypivot, ms.m[i]->ysize / 2.0f) << MODEL_NAMES[i];
    }
}

// ---- Pictures.

struct Picture {
    int32_t w = 0, h = 0;
    std::vector<uint32_t> px;
    uint32_t at(int32_t x, int32_t y) const { return px[(size_t)y * w + x]; }
};

Picture load_png(const char *path)
{
    Picture p;
    std::string why = check_png(read_all(DIST + "/" + path), &p.w, &p.h, &p.px);
    EXPECT_EQ(why, "") << path;
    return p;
}

TEST(Pictures, PngFilesDecodeAtTheSizesTheClientAsks)
{
    for (const PictureSize &s : PICTURES) {
        Picture p = load_png(s.path);
        EXPECT_EQ(p.w, s.w) << s.path;
        EXPECT_EQ(p.h, s.h) << s.path;
    }
}

TEST(Pictures, ScopesShowTheViewThroughAClearWindowInAnOpaqueMask)
{
    for (const char *path : {"png/semi.png", "png/smg.png", "png/shotgun.png"}) {
        Picture p = load_png(path);
        ASSERT_EQ(p.w, 800);
        ASSERT_EQ(p.h, 600);
        for (auto [x, y] : {std::pair{0, 0}, {799, 0}, {0, 599}, {799, 599}, {20, 300}, {780, 300}})
            EXPECT_EQ(p.at(x, y), 0xFF000000u) << path << " corner " << x << "," << y;
        int clear = 0;
        for (uint32_t px : p.px) clear += (px >> 24) == 0;
        EXPECT_GT(clear, 800 * 600 / 4) << path << ": the window is too small";
        EXPECT_EQ(p.at(300, 200) >> 24, 0u) << path << ": the view is not clear";
    }
}

TEST(Pictures, SmallPicturesHoldWhatTheHudDraws)
{
    Picture white = load_png("png/white.png");
    for (uint32_t px : white.px) EXPECT_EQ(px, 0xFFFFFFFFu);
    Picture splash = load_png("png/splash.png");
    for (uint32_t px : splash.px) ASSERT_EQ(px >> 24, 255u) << "the splash picture is opaque";
    // The crosshair: opaque marks, clear around them and in its centre.
    Picture target = load_png("png/target.png");
    ASSERT_EQ(target.w, 16);
    EXPECT_EQ(target.at(0, 0) >> 24, 0u);
    EXPECT_EQ(target.at(15, 15) >> 24, 0u);
    int marks = 0;
    for (uint32_t px : target.px) marks += px == 0xFFFFFFFFu;
    EXPECT_GT(marks, 12);
    // Eleven glyphs of 24 x 32, each with ink, no two alike.
    Picture digits = load_png("png/knumb.png");
    ASSERT_EQ(digits.h, 11 * 32);
    std::set<std::vector<uint32_t>> seen;
    for (int g = 0; g < 11; g++) {
        std::vector<uint32_t> glyph(digits.px.begin() + g * 32 * 24, digits.px.begin() + (g + 1) * 32 * 24);
        int ink = 0;
        for (uint32_t px : glyph) ink += (px >> 24) > 128;
        EXPECT_GT(ink, 20) << "glyph " << g;
        EXPECT_TRUE(seen.insert(glyph).second) << "glyph " << g << " repeats another";
    }
}

TEST(Bitmaps, IconsFollowTheHudsKeyAndTintConventions)
{
    for (const BitmapUse &u : BITMAPS) {
        Picture p;
        ASSERT_EQ(check_bmp(read_all(DIST + "/" + u.path), &p.w, &p.h, &p.px), "") << u.path;
        int key = 0, grey = 0, coloured = 0;
        for (uint32_t px : p.px) {
            uint32_t r = px >> 16 & 0xFF, g = px >> 8 & 0xFF, b = px & 0xFF;
            if (px == 0)
                key++;
            else if (r == g && g == b)
                grey++;
            else
                coloured++;
        }
        EXPECT_GT(key, 0) << u.path << ": black is the transparent key around the shape";
        EXPECT_GT(grey + coloured, 0) << u.path << " is empty";
        if (u.tinted) {
            EXPECT_EQ(coloured, 0) << u.path << ": every pixel must take the drawing colour";
        }
        if (u.turned) {
            EXPECT_EQ(p.w, p.h) << u.path << ": turned pictures are square";
        }
        if (u.hud_corner) { // drawn at W - 0.05 W + 4, H - 44: it must fit on screen
            EXPECT_LE(p.w, 36) << u.path;
            EXPECT_LE(p.h, 44) << u.path;
        }
        // The border row and column stay transparent, so a turned or tinted
        // copy has no hard edge.
        for (int32_t x = 0; x < p.w; x++) EXPECT_EQ(p.at(x, p.h - 1), 0u) << u.path;
    }
}

// ---- Fonts.

TEST(Fonts, GridAndMetricsMatchWhatIsDrawn)
{
    for (const FontFile &ff : FONTS) {
        FontInfo f;
        ASSERT_EQ(check_font(read_all(DIST + "/" + ff.path), &f), "") << ff.path;
        SCOPED_TRACE(ff.path);
        EXPECT_EQ(f.line_height, ff.line_height);
        EXPECT_EQ(f.cell_h, ff.line_height);
        EXPECT_EQ(f.background, 0u) << "black is the font surface's transparent key";
        EXPECT_NE(f.ink, 0u);
        const int32_t advance = f.abc[32][1] + f.abc[32][2];
        EXPECT_GT(advance, ff.line_height / 3);
        for (int k = 32; k < 256; k++) {
            const int32_t a = f.abc[k][0], b = f.abc[k][1], c = f.abc[k][2];
            EXPECT_EQ(a + b + c, advance) << "code " << k << ": one advance for every glyph";
            EXPECT_GE(a, 0) << "code " << k;
            EXPECT_LE(b, f.cell_w) << "code " << k << ": the glyph rectangle leaves its cell";
            // All ink lies inside the rectangle the client copies (abcB wide
            // from the cell's left), so nothing drawn is lost or overlaps.
            int32_t gx = ((k - 32) % 16) * f.cell_w, gy = ((k - 32) / 16) * f.cell_h, ink = 0, outside = 0;
            for (int32_t y = 0; y < f.cell_h; y++)
                for (int32_t x = 0; x < f.cell_w; x++)
                    if (f.mask[(size_t)(gy + y) * f.width + gx + x]) {
                        ink++;
                        outside += x >= b;
                    }
            EXPECT_EQ(outside, 0) << "code " << k;
            bool printable = (k > 32 && k < 127) || k >= 0xC0;
            if (printable) {
                EXPECT_GT(ink, 0) << "code " << k << " draws nothing";
            }
            if (k == 32) {
                EXPECT_EQ(ink, 0);
            }
        }
    }
}

// ---- Sounds.

struct Sound {
    int32_t rate = 0;
    std::vector<int16_t> s;
};
Sound load_wav(const std::string &name)
{
    Sound w;
    EXPECT_EQ(check_wav(read_all(DIST + "/wav/" + name + ".wav"), &w.rate, &w.s), "") << name;
    return w;
}

TEST(Sounds, MonoPcmNearFullScaleWithQuietEnds)
{
    for (const char *name : SOUNDS) {
        Sound w = load_wav(name);
        ASSERT_FALSE(w.s.empty()) << name;
        int peak = 0;
        for (int16_t v : w.s) peak = std::max(peak, std::abs((int)v));
        double seconds = (double)w.s.size() / w.rate;
        EXPECT_GE(w.rate, 11025) << name;
        EXPECT_TRUE(seconds > 0.03 && seconds < 4.0) << name << " lasts " << seconds << " s";
        EXPECT_GE(peak, 26000) << name << " is not normalised near full scale";
        for (size_t i : {(size_t)0, (size_t)1, w.s.size() - 2, w.s.size() - 1})
            EXPECT_LE(std::abs((int)w.s[i]), 330) << name << ": an end would click";
    }
}

TEST(Sounds, EachGunFootstepAndWadeSoundsItsOwn)
{
    const std::vector<std::vector<const char *>> families = {
        {"semishoot", "smgshoot", "shotgunshoot"}, {"semireload", "smgreload", "shotgunreload"},
        {"footstep1", "footstep2", "footstep3", "footstep4"}, {"wade1", "wade2", "wade3", "wade4"},
        {"explode", "waterexplode"}, {"jump", "waterjump"}, {"land", "waterland"}, {"beep1", "beep2"}};
    for (const auto &family : families)
        for (size_t i = 0; i < family.size(); i++)
            for (size_t j = i + 1; j < family.size(); j++)
                EXPECT_NE(load_wav(family[i]).s, load_wav(family[j]).s) << family[i] << " sounds as " << family[j];
}

// ---- Key bindings.

TEST(Controls, FileHoldsTheDefaultBindingsWithComments)
{
    ConfigDict *d = nullptr;
    ASSERT_TRUE(cfg_load((DIST + "/controls.ini").c_str(), &d));
    ASSERT_NE(d, nullptr);
    char key[CFG_KEY_SIZE];
    for (const Binding &b : DEFAULT_BINDINGS)
        EXPECT_EQ(cfg_get_int(d, cfg_key("controls:", b.control, key), -1), b.code) << b.control;
    // F11's graph key is fixed; the file does not pretend to bind it.
    EXPECT_EQ(cfg_get_int(d, "controls:toggle_graph", -1), -1);
    cfg_free(d);
    FileBytes text = read_all(DIST + "/controls.ini");
    EXPECT_EQ(text.empty() ? 0 : text[0], ';') << "the file opens with its explanation";
}

// ---- Repeatability: a second run writes the same bytes as the build's run.

TEST(Generator, TwoRunsGiveIdenticalBytes)
{
    std::string dir = std::string(testing::TempDir()) + "assetgen_again";
    std::string cmd = std::string("rm -rf '") + dir + "' && '" + BKM_ASSETGEN + "' '" + dir + "' '" + BKM_ASSET_FONT +
                      "' > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    static AssetFile files[ASSET_MAX_FILES];
    int n = asset_files(files);
    for (int i = 0; i < n; i++) {
        FileBytes a = read_all(DIST + "/" + files[i].path), b = read_all(dir + "/" + files[i].path);
        EXPECT_FALSE(a.empty()) << files[i].path;
        EXPECT_TRUE(a == b) << files[i].path << " differs between two runs";
    }
    std::system((std::string("rm -rf '") + dir + "'").c_str());
}

} // namespace
