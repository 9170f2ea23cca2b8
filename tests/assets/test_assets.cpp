// The generated data files in the ready-to-run folder (the working folder):
// every file the client loads is there and loads through the client's own
// loaders and checks, the generator's tables are the client's, the models fit
// the way the client poses and lights them, and generation is repeatable.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ag_controls.h"
#include "ag_files.h"
#include "ag_models.h"
#include "asset_checks.h"
#include "client/game_assets.h"
#include "client/game_fatal.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "common/cfg.h"
#include "common/kv6.h"
#include "common/kv6_dirtable.h"
#include "common/model_table.h"
#include "common/weapon.h"
#include "platform/plat_bitmap.h"
#include "platform/plat_display.h"
#include "platform/plat_font.h"
#include "platform/plat_test.h"
#include "renderer/voxrender.h"

namespace {

// The fonts load onto a display, as the platform layer loads them at start:
// a headless one here, for the whole run.
class FontDisplay : public testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_EQ(plat_select_backend(PLAT_BACKEND_HEADLESS), 1);
        *game_display_settings() = DisplaySettings{64, 48, 1, 0};
        ASSERT_EQ(plat_create_window(), 1);
        ASSERT_EQ(initdirectdraw(1), 1);
        loadfonts(getdirectdraw());
    }
    void TearDown() override
    {
        freefonts();
        freetextcontext(textcontext);
        uninitdirectdraw();
        plat_destroy_window();
        plat_close_backend();
    }
};
testing::Environment *const font_display = testing::AddGlobalTestEnvironment(new FontDisplay);

// ---- What the client loads, by name: its own tables (models, pictures,
// bitmaps, fonts, controls) and the sounds the game plays.

const char *const SOUNDS[] = {
    "beep1", "beep2", "bounce", "build", "chat", "cock", "death", "debris", "empty", "explode", "fallhurt",
    "footstep1", "footstep2", "footstep3", "footstep4", "grenadebounce", "hitground", "hitplayer", "horn",
    "intro", "jump", "land", "pickup", "pin", "semireload", "semishoot", "shotgunreload", "shotgunshoot",
    "smgreload", "smgshoot", "switch", "wade1", "wade2", "wade3", "wade4", "waterexplode", "waterjump",
    "waterland", "whack", "woosh"};

std::set<std::string> client_files()
{
    std::set<std::string> s;
    for (const char *m : model_names) s.insert(std::string("kv6/") + m + ".kv6");
    for (const GamePictureFile &p : game_picture_files) s.insert(p.file);
    for (const char *b : hud_bitmap_files) s.insert(b);
    for (int i = 0; i < FONT_SLOTS; i++) s.insert(getfont(i) ? getfont(i)->filename : "(font not loaded)");
    for (const char *w : SOUNDS) s.insert(std::string("wav/") + w + ".wav");
    s.insert(GAME_CONTROLS_FILE);
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
        EXPECT_FALSE(read_all(f).empty()) << "missing from the ready-to-run folder: " << f;
    }
    for (const std::string &f : made) EXPECT_TRUE(wanted.count(f)) << "nothing loads " << f;
    // The weapon table names its own shot and reload sounds.
    for (const WeaponInfo &w : weapon_table) {
        EXPECT_TRUE(wanted.count(w.shot_sound)) << w.shot_sound;
        EXPECT_TRUE(wanted.count(w.reload_sound)) << w.reload_sound;
    }
}

// The generator's model list is the client's slot table, name for name.
TEST(ClientTables, GeneratedModelsAreTheClientsSlots)
{
    ASSERT_EQ(model_desc_count, MODEL_SLOT_COUNT);
    for (int i = 0; i < MODEL_SLOT_COUNT; i++) EXPECT_STREQ(model_descs[i].name, model_names[i]) << "slot " << i;
}

// controls.ini binds every control the client reads from it, in its order,
// to the client's default key.
TEST(ClientTables, GeneratedBindingsAreTheClientsDefaults)
{
    game_init_control_names();
    ASSERT_EQ(control_desc_count, CTL_READ_COUNT);
    for (int i = 0; i < CTL_READ_COUNT; i++) {
        EXPECT_STREQ(control_descs[i].name, control_names[i]);
        EXPECT_EQ(control_descs[i].code, control_defaults[i]) << control_names[i];
    }
}

// ---- Models.

void ignore_fatal(const char *) {}

// The models as the files hold them (no team colour, no pivot shift).
struct Models {
    Kv6Model *m[MODEL_SLOT_COUNT];
    Models()
    {
        kv6_set_fatal_handler(ignore_fatal);
        builddirtable(255);
        for (int i = 0; i < MODEL_SLOT_COUNT; i++) m[i] = loadkv6((std::string("kv6/") + model_names[i] + ".kv6").c_str());
        kv6_set_fatal_handler(nullptr);
    }
    ~Models()
    {
        for (Kv6Model *p : m) discardmodel(p);
    }
};

std::vector<std::string> fatals;
void record_fatal(const char *text) { fatals.push_back(text ? text : ""); }

// The models as the client loads them into its model table: team colours
// painted, held tools' pivots shifted, body sizes checked.
struct ClientModels : testing::Test {
    void SetUp() override
    {
        fatals.clear();
        game_set_fatal_handler(record_fatal);
        game_set_team_slot(0, "Blue", 0x0000C4);
        game_set_team_slot(1, "Green", 0x00C400);
        loaded = game_load_models();
    }
    void TearDown() override
    {
        game_free_models();
        game_set_fatal_handler(nullptr);
    }
    int loaded = 0;
};

TEST_F(ClientModels, TheClientLoadsAndAcceptsEveryModel)
{
    EXPECT_EQ(loaded, 1);
    EXPECT_TRUE(fatals.empty()) << fatals.front();
    for (int i = 0; i < MODEL_SLOT_COUNT; i++) EXPECT_NE(model_table[i], nullptr) << model_names[i];
}

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
        ASSERT_NE(m, nullptr) << model_names[i];
        ASSERT_TRUE(kv6_model_valid(m)) << model_names[i];
        EXPECT_GT(m->voxelcount, 0) << model_names[i];
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
            ASSERT_TRUE(f != 0 && f < 64) << model_names[i] << " voxel without a face or with stray bits";
            for (int k = 0; k < 6; k++) {
                int32_t nx = a.x + step[k][0], ny = a.y + step[k][1], nz = a.v->z + step[k][2];
                bool open = !inside(nx, ny, nz) || !has(nx, ny, nz);
                if (!inside(nx, ny, nz)) {
                    EXPECT_TRUE(f & (1 << k)) << model_names[i] << " face on the model's edge hidden";
                }
                if (!open) {
                    EXPECT_FALSE(f & (1 << k)) << model_names[i] << " face against a stored voxel shown";
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
        EXPECT_EQ(lit_inwards, single) << model_names[i];
    }
}

// Mean brightness of what the game's renderer draws of the model seen from
// straight above (from_above) or below, with the default light, which falls
// from above; 0 when nothing is drawn.
double mean_brightness(const Kv6Model *m, bool from_above)
{
    const int32_t W = 96, H = 96;
    std::vector<uint32_t> frame((size_t)W * H, 0);
    if (!voxsetframebuffer(frame.data(), 4 * W, W, H)) return 0;
    for (int32_t y = 0; y < H; y++)
        for (int32_t x = 0; x < W; x++) *(float *)((uint8_t *)&frame[(size_t)y * W + x] + vox_frame.zoffset) = 1e30f;
    const float side = from_above ? -1.0f : 1.0f;
    const Vec3 pos{0, 0, side * 40.0f}, right{1, 0, 0}, down{0, -side, 0}, forward{0, 0, -side};
    setviewpoint(&pos, &right, &down, &forward, W / 2, H / 2, W);
    SpriteInstance s{};
    s.model = const_cast<Kv6Model *>(m);
    s.position = Vec3{m->xpivot - m->xsize / 2.0f, m->ypivot - m->ysize / 2.0f, m->zpivot - m->zsize / 2.0f};
    s.xaxis = Vec3{1, 0, 0};
    s.yaxis = Vec3{0, 1, 0};
    s.zaxis = Vec3{0, 0, 1};
    rendermodel(&s, 0, nullptr);
    double sum = 0;
    int n = 0;
    for (uint32_t px : frame)
        if (px & 0xFFFFFF) {
            sum += (px >> 16 & 0xFF) + (px >> 8 & 0xFF) + (px & 0xFF);
            n++;
        }
    return n ? sum / n : 0;
}

// The generator's normals and the renderer's lighting agree: a block of one
// colour seen from above, where the light comes from, is brighter than seen
// from below.
TEST(Models, FacesTowardsTheLightAreTheBrightOnes)
{
    Models ms;
    ASSERT_EQ(startrenderer(getcpufeatures()), 0);
    for (int slot : {MODEL_BLOCK, MODEL_BLOCK_3}) {
        ASSERT_NE(ms.m[slot], nullptr);
        double top = mean_brightness(ms.m[slot], true), bottom = mean_brightness(ms.m[slot], false);
        EXPECT_GT(bottom, 0.0) << model_names[slot];
        EXPECT_GT(top, 1.3 * bottom) << model_names[slot];
    }
    closerenderer();
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
        bool team_model = game_model_team_slot(model_names[i]) >= 0 && i > MODEL_GRENADE_3;
        if (team_model) {
            EXPECT_GE(black, 10) << model_names[i];
        } else {
            EXPECT_EQ(black, 0) << model_names[i];
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

// Held tools, with the pivots the client shifted at load, posed with 0.65
// of the arms' axes at the arms' place: each must end up in the arms' right
// hand (found in the file's arms, where the uniform is still team black and
// the hands are not).
TEST_F(ClientModels, HeldToolsSitInTheRightHand)
{
    ASSERT_EQ(loaded, 1);
    Models ms;
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
            const float hx[3] = {0, -0.065f, 0}, hy[3] = {0.065f, 0, 0}, hz[3] = {0, 0, 0.065f};
            Box b = posed_box(model_table[slot], at_arms, hx, hy, hz);
            float d2 = 0;
            for (int i = 0; i < 3; i++) {
                float d = hand[i] < b.lo[i] ? b.lo[i] - hand[i] : hand[i] > b.hi[i] ? hand[i] - b.hi[i] : 0.0f;
                d2 += d * d;
            }
            EXPECT_LE(std::sqrt(d2), 0.1f) << model_names[slot] << " is not in the right hand";
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
        EXPECT_FLOAT_EQ(ms.m[i]->zpivot, (float)ms.m[i]->zsize) << model_names[i];
        EXPECT_FLOAT_EQ(ms.m[i]->xpivot, ms.m[i]->xsize / 2.0f) << model_names[i];
        EXPECT_FLOAT_EQ(ms.m[i]->ypivot, ms.m[i]->ysize / 2.0f) << model_names[i];
    }
}

// ---- Pictures and bitmaps.

TEST(Pictures, TheClientLoadsEveryPictureAndBitmap)
{
    game_load_images();
    const GameImages &g = game_images;
    for (const uint32_t *p : {g.digit_strip, g.scope[0], g.scope[1], g.scope[2], g.splash, g.white, g.target})
        EXPECT_NE(p, nullptr);
    for (int i = 0; i < BMP_COUNT; i++) EXPECT_NE(hud_bitmaps[i], nullptr) << hud_bitmap_files[i];
    game_free_images();
}

Picture load_png(int picture)
{
    const GamePictureFile &f = game_picture_files[picture];
    Picture p;
    EXPECT_EQ(check_png(f.file, f.width, f.height, &p), "") << f.file;
    return p;
}

TEST(Pictures, PngFilesDecodeAtTheSizesTheClientAsks)
{
    for (int i = 0; i < PIC_COUNT; i++) load_png(i);
}

TEST(Pictures, ScopesShowTheViewThroughAClearWindowInAnOpaqueMask)
{
    for (int scope : {PIC_SCOPE_SEMI, PIC_SCOPE_SMG, PIC_SCOPE_SHOTGUN}) {
        const char *path = game_picture_files[scope].file;
        Picture p = load_png(scope);
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
    Picture white = load_png(PIC_WHITE);
    for (uint32_t px : white.px) EXPECT_EQ(px, 0xFFFFFFFFu);
    Picture splash = load_png(PIC_SPLASH);
    for (uint32_t px : splash.px) ASSERT_EQ(px >> 24, 255u) << "the splash picture is opaque";
    // The crosshair: opaque marks, clear around them and in its centre.
    Picture target = load_png(PIC_TARGET);
    ASSERT_EQ(target.w, 16);
    EXPECT_EQ(target.at(0, 0) >> 24, 0u);
    EXPECT_EQ(target.at(15, 15) >> 24, 0u);
    int marks = 0;
    for (uint32_t px : target.px) marks += px == 0xFFFFFFFFu;
    EXPECT_GT(marks, 12);
    // Eleven glyphs of 24 x 32, each with ink, no two alike.
    Picture digits = load_png(PIC_DIGITS);
    ASSERT_EQ(digits.h, DIGIT_GLYPHS * 32);
    std::set<std::vector<uint32_t>> seen;
    for (int g = 0; g < DIGIT_GLYPHS; g++) {
        std::vector<uint32_t> glyph(digits.px.begin() + g * 32 * 24, digits.px.begin() + (g + 1) * 32 * 24);
        int ink = 0;
        for (uint32_t px : glyph) ink += (px >> 24) > 128;
        EXPECT_GT(ink, 20) << "glyph " << g;
        EXPECT_TRUE(seen.insert(glyph).second) << "glyph " << g << " repeats another";
    }
}

// How the HUD draws each bitmap. Tinted: drawn with a colour that paints its
// greys, so it is all grey. Turned: drawn rotated, so square. Corner: drawn
// beside the count at the bottom right.
struct BitmapUse {
    int bitmap; // HudBitmap
    bool tinted, turned, hud_corner;
};
const BitmapUse BITMAPS[] = {
    {BMP_INDICATOR, false, true, false}, {BMP_PLAYER, true, true, false}, {BMP_INTEL, true, false, false},
    {BMP_COMMAND, true, false, false},   {BMP_MEDICAL, true, false, false}, {BMP_TRACER, false, true, false},
    {BMP_HEALTH, true, false, true},     {BMP_BLOCK, true, false, true},   {BMP_SEMI, true, false, true},
    {BMP_SHOTGUN, true, false, true},    {BMP_SMG, true, false, true},     {BMP_GRENADE, true, false, true},
};

TEST(Bitmaps, IconsFollowTheHudsKeyAndTintConventions)
{
    ASSERT_EQ(std::size(BITMAPS), (size_t)BMP_COUNT);
    for (const BitmapUse &u : BITMAPS) {
        const char *path = hud_bitmap_files[u.bitmap];
        Picture p;
        ASSERT_EQ(check_bmp(path, &p), "") << path;
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
        EXPECT_GT(key, 0) << path << ": black is the transparent key around the shape";
        EXPECT_GT(grey + coloured, 0) << path << " is empty";
        if (u.tinted) {
            EXPECT_EQ(coloured, 0) << path << ": every pixel must take the drawing colour";
        }
        if (u.turned) {
            EXPECT_EQ(p.w, p.h) << path << ": turned pictures are square";
        }
        if (u.hud_corner) { // drawn at W - 0.05 W + 4, H - 44: it must fit on screen
            EXPECT_LE(p.w, 36) << path;
            EXPECT_LE(p.h, 44) << path;
        }
        // The border row and column stay transparent, so a turned or tinted
        // copy has no hard edge.
        for (int32_t x = 0; x < p.w; x++) EXPECT_EQ(p.at(x, p.h - 1), 0u) << path;
    }
}

// ---- Fonts, as the platform layer loaded them into its three slots.

TEST(Fonts, GridAndMetricsMatchWhatIsDrawn)
{
    const int32_t line_height[FONT_SLOTS] = {12, 18, 36};
    for (int slot = 0; slot < FONT_SLOTS; slot++) {
        const BitmapFont *f = getfont(slot);
        ASSERT_EQ(check_font(f), "") << "slot " << slot;
        SCOPED_TRACE(f->filename);
        EXPECT_EQ(getfontheight(f), line_height[slot]);
        EXPECT_EQ(f->cellheight, line_height[slot]);
        // Every pixel is the ink or black, the surface's transparent key.
        std::vector<uint8_t> ink = font_ink(f);
        EXPECT_EQ(std::count(ink.begin(), ink.end(), 2), 0) << "pixels neither ink nor black";
        const int32_t width = f->surface->width;
        const int32_t advance = f->abc[32].a + f->advance[32];
        EXPECT_GT(advance, line_height[slot] / 3);
        for (int k = 32; k < 256; k++) {
            const int32_t a = f->abc[k].a, b = (int32_t)f->abc[k].b;
            EXPECT_EQ(a + f->advance[k], advance) << "code " << k << ": one advance for every glyph";
            EXPECT_GE(a, 0) << "code " << k;
            EXPECT_LE(b, f->cellwidth) << "code " << k << ": the glyph rectangle leaves its cell";
            // All ink lies inside the rectangle the client copies (abcB wide
            // from the cell's left), so nothing drawn is lost or overlaps.
            const SurfaceRect &r = f->glyphs[k];
            int32_t gx = ((k - 32) % 16) * f->cellwidth, gy = ((k - 32) / 16) * f->cellheight, inked = 0, outside = 0;
            EXPECT_EQ(r.left, gx);
            EXPECT_EQ(r.right - r.left, b) << "code " << k;
            for (int32_t y = 0; y < f->cellheight; y++)
                for (int32_t x = 0; x < f->cellwidth; x++)
                    if (ink[(size_t)(gy + y) * width + gx + x] == 1) {
                        inked++;
                        outside += x >= b;
                    }
            EXPECT_EQ(outside, 0) << "code " << k;
            bool printable = (k > 32 && k < 127) || k >= 0xC0;
            if (printable) {
                EXPECT_GT(inked, 0) << "code " << k << " draws nothing";
            }
            if (k == 32) {
                EXPECT_EQ(inked, 0);
            }
        }
        EXPECT_EQ(gettextwidth(f, "Ammo 10-50"), 10 * advance);
    }
}

// ---- Sounds.

Sound load_wav(const std::string &name)
{
    Sound w;
    EXPECT_EQ(check_wav(("wav/" + name + ".wav").c_str(), &w), "") << name;
    return w;
}

TEST(Sounds, MonoPcmNearFullScaleWithQuietEnds)
{
    for (const char *name : SOUNDS) {
        Sound w = load_wav(name);
        ASSERT_GE(w.s.size(), 2u) << name;
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

TEST(Controls, FileHoldsTheClientsDefaultBindingsWithComments)
{
    ConfigDict *d = nullptr;
    ASSERT_TRUE(cfg_load(GAME_CONTROLS_FILE, &d));
    ASSERT_NE(d, nullptr);
    game_init_control_names();
    char key[CFG_KEY_SIZE];
    for (int i = 0; i < CTL_READ_COUNT; i++)
        EXPECT_EQ(cfg_get_int(d, cfg_key("controls:", control_names[i], key), -1), control_defaults[i])
            << control_names[i];
    // The graph key is fixed; the file does not pretend to bind it.
    EXPECT_EQ(cfg_get_int(d, cfg_key("controls:", control_names[CTL_TOGGLE_GRAPH], key), -1), -1);
    cfg_free(d);
    std::vector<uint8_t> text = read_all(GAME_CONTROLS_FILE);
    EXPECT_EQ(text.empty() ? 0 : text[0], ';') << "the file opens with its explanation";
}

// ---- Repeatability: a second run writes the same bytes as the build's run.

TEST(Generator, TwoRunsGiveIdenticalBytes)
{
    // Its own folder: other runs of the suite on the machine run this too.
    std::string dir = std::string(testing::TempDir()) + "assetgen_again." + std::to_string(getpid());
    std::string cmd = std::string("rm -rf '") + dir + "' && '" + BKM_ASSETGEN + "' '" + dir + "' '" + BKM_ASSET_FONT +
                      "' > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    static AssetFile files[ASSET_MAX_FILES];
    int n = asset_files(files);
    for (int i = 0; i < n; i++) {
        std::vector<uint8_t> a = read_all(files[i].path), b = read_all(dir + "/" + files[i].path);
        EXPECT_FALSE(a.empty()) << files[i].path;
        EXPECT_TRUE(a == b) << files[i].path << " differs between two runs";
    }
    std::system((std::string("rm -rf '") + dir + "'").c_str());
}

} // namespace
