// Block palette and picker, team colours of the models, model checks, and
// the overview map.
#include <cfloat>
#include <filesystem>

#include "client/game_assets.h"
#include "client/game_objects.h"
#include "client/game_state.h"
#include "client_fixture.h"
#include "common/kv6.h"
#include "common/lang_ids.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/model_table.h"
#include "common/weapon.h"
#include "palette_table.h"
#include "platform/plat_bitmap.h"
#include "renderer/voxrender.h"

namespace {

TEST(Palette, WholeTable)
{
    game_build_palette();
    for (int i = 0; i < 64; i++) EXPECT_EQ(block_palette[i], ctest_palette[i]) << i;
    EXPECT_EQ(block_palette[3], 0x6F6F6Fu);
}

TEST(Palette, PickerSwatchesAndFrame)
{
    game_build_palette();
    // A 6 x 6 swatch inside each 8 x 8 cell: rows are base colours, columns shades.
    EXPECT_EQ(palette_picker[1 * 64 + 1], 0xFF000000u | block_palette[0]);
    EXPECT_EQ(palette_picker[(8 + 6) * 64 + 3 * 8 + 1], 0xFF000000u | block_palette[8 + 3]);
    EXPECT_EQ(palette_picker[62 * 64 + 62], 0xFF000000u | block_palette[63]);
    EXPECT_EQ(palette_picker[0], 0u);
    EXPECT_EQ(palette_picker[7 * 64 + 3], 0u);
    EXPECT_EQ(palette_picker[9 * 64 + 15], 0u);
    EXPECT_EQ(palette_frame[0], 0xFF000000u);
    EXPECT_EQ(palette_frame[3 * 8 + 7], 0xFF000000u);
    EXPECT_EQ(palette_frame[3 * 8 + 3], 0u);
    EXPECT_EQ(palette_frame_mask[7 * 8 + 2], 0xFFFFFFFFu);
    EXPECT_EQ(palette_frame_mask[1 * 8 + 1], 0u);
}

TEST(ModelNames, TeamSlotByName)
{
    struct Case {
        const char *name;
        int slot;
    } cases[] = {
        {"PLAYERTORSO_G", 1}, {"PLAYERHEAD_B", 0}, {"SPADE_3", 0}, {"CP_N", -1},
        {"SEMICASING", -1},   {"INTEL_G", 1},      {"CP_B", 0},    {"SPADE", -1},
    };
    for (const Case &c : cases) EXPECT_EQ(game_model_team_slot(c.name), c.slot) << c.name;
}

struct Models : ::testing::Test {
    std::string dir;
    void SetUp() override
    {
        ctest_load_strings();
        dir = ctest_enter_scratch();
        ctest_reset_client();
        game_set_team_slot(0, "Blue", 0xFF0000C4u);
        game_set_team_slot(1, "Green", 0xFF00C400u);
    }
    void TearDown() override
    {
        game_free_models();
        ctest_leave_scratch();
    }
    static uint32_t voxel(int slot, int x, int y)
    {
        const Kv6Model *m = model_table[slot];
        return m->voxels[x * m->ysize + y].colour;
    }
};

TEST_F(Models, PureBlackTakesHalfTheTeamColour)
{
    ctest_write_models(dir);
    ASSERT_EQ(game_load_models(), 1);
    EXPECT_TRUE(ctest_fatals.empty());
    EXPECT_EQ(voxel(MODEL_TORSO_G, 0, 0), 0x006200u);  // half of 0x00C400
    EXPECT_EQ(voxel(MODEL_TORSO_G, 1, 0), 0x010000u);  // not pure black: kept
    EXPECT_EQ(voxel(MODEL_TORSO_G, 2, 0), 0x808080u);
    EXPECT_EQ(voxel(MODEL_HEAD_B, 0, 0), 0x000062u);
    EXPECT_EQ(voxel(MODEL_SPADE_3, 0, 0), 0x000062u);  // held tools take team 0's colour
    EXPECT_EQ(voxel(MODEL_CP_G, 0, 0), 0x006200u);
    EXPECT_EQ(voxel(MODEL_CP_N, 0, 0), 0x80000000u);   // never painted
    EXPECT_EQ(voxel(MODEL_SEMICASING, 0, 0), 0x80000000u);
    EXPECT_EQ(voxel(MODEL_SPADE, 0, 0), 0x80000000u);
}

TEST_F(Models, HeldToolPivotsAreShifted)
{
    ctest_write_models(dir);
    ASSERT_EQ(game_load_models(), 1);
    struct Case {
        int slot;
        float dx, dy, dz;
    } cases[] = {
        {MODEL_SPADE_3, 6, -12, 2}, {MODEL_BLOCK_3, 5, -13, 0}, {MODEL_GRENADE_3, 5, -13, 0},
        {MODEL_SEMI_3, 6, -18, 0},  {MODEL_SMG_3, 6, -18, 0},   {MODEL_SHOTGUN_3, 6, -18, 0},
        {MODEL_SEMI, 0, 0, 0},
    };
    for (const Case &c : cases) {
        const Kv6Model *m = model_table[c.slot];
        EXPECT_FLOAT_EQ(m->xpivot, 2.0f + c.dx) << c.slot;
        EXPECT_FLOAT_EQ(m->ypivot, 2.0f + c.dy) << c.slot;
        EXPECT_FLOAT_EQ(m->zpivot, 2.0f + c.dz) << c.slot;
    }
}

TEST_F(Models, ABodyPartOfAnotherSizeStopsTheClient)
{
    ctest_write_models(dir, MODEL_HEAD_B, {6, 6, 7});
    EXPECT_EQ(game_load_models(), 0);
    ASSERT_EQ(ctest_fatals.size(), 1u);
    EXPECT_EQ(ctest_fatals[0], ctest_text(LANG_ERR_MODEL_SIZE));
}

// A model too tall to draw (zsize 1024 or more) is no reason to stop: it
// loads, and a player holding it is drawn without it. A body part of that
// height is of the wrong size.
TEST_F(Models, ATallModelLoadsAndIsNotDrawn)
{
    ctest_write_models(dir, MODEL_SPADE_3, {4, 4, KV6_MAX_ZSIZE});
    ASSERT_EQ(game_load_models(), 1);
    EXPECT_TRUE(ctest_fatals.empty());
    ASSERT_EQ(model_table[MODEL_SPADE_3]->zsize, KV6_MAX_ZSIZE);

    ASSERT_EQ(startrenderer(getcpufeatures()), 0);
    static uint32_t pixels[80 * 60];
    auto bind = [] {
        ASSERT_EQ(voxsetframebuffer(pixels, 80 * 4, 80, 60), 1);
        for (int i = 0; i < 80 * 60; i++) vox_frame.zbuffer[i] = FLT_MAX;
        const Vec3 pos{2, 10, 6}, right{0, 1, 0}, down{0, 0, 1}, forward{1, 0, 0};
        setviewpoint(&pos, &right, &down, &forward, 40, 30, 160);
    };
    auto touched = [] {
        int n = 0;
        for (int i = 0; i < 80 * 60; i++) n += vox_frame.zbuffer[i] != FLT_MAX;
        return n;
    };
    PlayerRecord p{};
    ASSERT_EQ(player_init(&p, 0, TEAM_BLUE, WEAPON_SEMI, TOOL_SPADE, 0, 0x808080, "P"), 1);
    const Vec3 at{5, 10, 8};
    player_respawn(&p, &at);
    ASSERT_EQ(player_set_tool(&p, TOOL_SPADE), 1);
    ASSERT_EQ(p.sprites[SPRITE_HELD].model, model_table[MODEL_SPADE_3]);
    bind();
    drawplayermodel(&p, 0, nullptr);
    EXPECT_GT(touched(), 0); // the body
    // Alone, with its voxels where those of the 4 x 4 x 4 spade are.
    Kv6Model *tall = model_table[MODEL_SPADE_3];
    tall->xpivot = tall->ypivot = tall->zpivot = 2.0f;
    bind();
    rendermodel(&p.sprites[SPRITE_HELD], 0, nullptr);
    EXPECT_EQ(touched(), 0);
    p.sprites[SPRITE_HELD].model = model_table[MODEL_SPADE];
    rendermodel(&p.sprites[SPRITE_HELD], 0, nullptr);
    EXPECT_GT(touched(), 0);
    closerenderer();

    game_free_models();
    ctest_fatals.clear();
    ctest_write_models(dir, MODEL_TORSO_G, {8, 4, KV6_MAX_ZSIZE});
    EXPECT_EQ(game_load_models(), 0);
    ASSERT_EQ(ctest_fatals.size(), 1u);
    EXPECT_EQ(ctest_fatals[0], ctest_text(LANG_ERR_MODEL_SIZE));
}

TEST_F(Models, AMissingModelFileStopsTheClient)
{
    ctest_write_models(dir);
    std::filesystem::remove(dir + "/kv6/SMGTRACER.kv6");
    EXPECT_EQ(game_load_models(), 0);
    ASSERT_EQ(ctest_fatals.size(), 1u);
    EXPECT_EQ(ctest_fatals[0], "could not load kv6 file");
}

// A new set of models frees the debris the old map left falling, and no
// player keeps pointing at a freed model.
TEST_F(Models, ReloadFreesDebrisAndDropsOldModelPointers)
{
    ctest_write_models(dir);
    ASSERT_EQ(game_load_models(), 1);
    world_object_count = 2;
    for (int i = 0; i < 2; i++) {
        world_objects[i].model = kv6_model_alloc(2, 2, 2, 0);
        wobj_set_kind(&world_objects[i], OBJECT_DEBRIS);
    }
    player_table[5].sprites[SPRITE_HEAD].model = model_table[MODEL_HEAD_B];
    ASSERT_EQ(game_load_models(), 1);  // the sanitizer build reports a leak or a double free
    EXPECT_EQ(world_object_count, 0);
    EXPECT_EQ(player_table[5].sprites[SPRITE_HEAD].model, nullptr);
}

TEST(OverviewMap, GridEvery64AndTopColoursElsewhere)
{
    map_make_flat(40, 0x7F112233u);
    MapCell cell = {100, 200, 30};
    map_add_block(&cell, 0x445566);
    hud_build_overview_map();
    for (int i = 0; i < 512; i += 64) {
        EXPECT_EQ(overview_map[10 * 512 + i], OVERVIEW_GRID_COLOUR) << i;
        EXPECT_EQ(overview_map[i * 512 + 10], OVERVIEW_GRID_COLOUR) << i;
    }
    EXPECT_EQ(overview_map[5 * 512 + 511], 0x7F112233u);
    EXPECT_EQ(overview_map[511 * 512 + 511], 0x7F112233u);
    EXPECT_EQ(overview_map[200 * 512 + 100], *map_colour_ptr(100, 200, 30));
    EXPECT_EQ(overview_map[200 * 512 + 100] & 0xFFFFFFu, *map_colour_ptr(100, 200, 30) & 0xFFFFFFu);
    EXPECT_NE(overview_map[200 * 512 + 100], 0x7F112233u);
}

} // namespace

namespace {

// Pictures that are missing stay absent (the drawing skips them); the ones
// present load, the bitmaps in their order.
TEST(Images, MissingPicturesStayAbsentPresentBitmapsLoad)
{
    std::string dir = ctest_enter_scratch();
    std::filesystem::create_directories(dir + "/png");
    // A 2 x 1 bottom-up 24-bit bitmap.
    const uint8_t bmp[62] = {
        'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,       // file header: size, pixels at 54
        40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0,     // info: 2 x 1, 1 plane, 24 bits
        0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,       // no compression, 8 bytes of pixels
        0, 0, 0, 0, 0, 0, 0, 0,                               // no palette
        0xFF, 0, 0, 0, 0xFF, 0, 0, 0,                         // blue, green, row padding
    };
    FILE *f = fopen((dir + "/png/medical.bmp").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bmp, 1, sizeof bmp, f);
    fclose(f);
    game_load_images();
    EXPECT_EQ(game_images.splash, nullptr);
    EXPECT_EQ(game_images.digit[10], nullptr);
    EXPECT_EQ(weapon_table[WEAPON_SMG].scope_image, nullptr);
    EXPECT_EQ(hud_bitmaps[BMP_INTEL], nullptr);
    ASSERT_NE(hud_bitmaps[BMP_MEDICAL], nullptr);
    EXPECT_EQ(hud_bitmaps[BMP_MEDICAL]->width, 2);
    EXPECT_EQ(hud_bitmaps[BMP_MEDICAL]->pixels[0], 0x0000FFu);
    game_free_images();
    EXPECT_EQ(hud_bitmaps[BMP_MEDICAL], nullptr);
    ctest_leave_scratch();
}

} // namespace
