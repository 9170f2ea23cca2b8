#include "client/game_assets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "client/game_fatal.h"
#include "client/game_objects.h"
#include "client/game_state.h"
#include "renderer/vox_png.h"
#include "common/kv6.h"
#include "common/lang_ids.h"
#include "common/map_query.h"
#include "common/model_table.h"
#include "common/player.h"
#include "common/weapon.h"
#include "platform/plat_bitmap.h"

uint32_t block_palette[PALETTE_SIZE];
uint32_t palette_picker[PICKER_SIZE * PICKER_SIZE];
uint32_t palette_frame[PICKER_FRAME_SIZE * PICKER_FRAME_SIZE];
uint32_t palette_frame_mask[PICKER_FRAME_SIZE * PICKER_FRAME_SIZE];
uint32_t overview_map[OVERVIEW_SIZE * OVERVIEW_SIZE];
GameImages game_images;

const char *const model_names[MODEL_SLOT_COUNT] = {
    "SPADE_3", "BLOCK_3", "SEMI_3", "SMG_3", "SHOTGUN_3", "GRENADE_3",
    "SPADE", "BLOCK", "SEMI", "SMG", "SHOTGUN", "GRENADE",
    "PLAYERHEAD_B", "PLAYERTORSO_B", "PLAYERTORSOC_B", "PLAYERARMS_B", "PLAYERLEG_B", "PLAYERLEGC_B", "PLAYERDEAD_B",
    "PLAYERHEAD_G", "PLAYERTORSO_G", "PLAYERTORSOC_G", "PLAYERARMS_G", "PLAYERLEG_G", "PLAYERLEGC_G", "PLAYERDEAD_G",
    "INTEL_B", "INTEL_G", "CP_B", "CP_G", "CP_N",
    "SEMITRACER", "SMGTRACER", "SHOTGUNTRACER",
    "SEMICASING", "SMGCASING", "SHOTGUNCASING",
};

const GamePictureFile game_picture_files[PIC_COUNT] = {
    {"png/knumb.png", 24, 352}, {"png/semi.png", 800, 600}, {"png/smg.png", 800, 600},
    {"png/shotgun.png", 800, 600}, {"png/splash.png", 800, 600}, {"png/white.png", 4, 4},
    {"png/target.png", 16, 16},
};

const char *const hud_bitmap_files[BMP_COUNT] = {
    "png/indicator.bmp", "png/player.bmp", "png/intel.bmp", "png/command.bmp",
    "png/medical.bmp",   "png/tracer.bmp", "png/health.bmp", "png/block.bmp",
    "png/semi.bmp",      "png/shotgun.bmp", "png/smg.bmp",   "png/grenade.bmp",
};

Bitmap *hud_bitmaps[BMP_COUNT];

// ---- palette -----------------------------------------------------------------

static const float palette_base[8][3] = {
    {127.5f, 127.5f, 127.5f}, {255.0f, 0.0f, 0.0f}, {255.0f, 127.5f, 0.0f}, {255.0f, 255.0f, 0.0f},
    {0.0f, 255.0f, 0.0f},     {0.0f, 255.0f, 255.0f}, {0.0f, 0.0f, 255.0f}, {255.0f, 0.0f, 255.0f},
};

// Shades 0..3 darken the channel, 4..7 lighten it, in single precision.
static uint32_t palette_channel(float c, int shade)
{
    float v;
    if (shade < 4) {
        float k = (float)(shade + 1);
        v = k * c / 4.0f - c / 8.0f;
    } else {
        float k = (float)(shade - 3);
        v = k * (255.0f - c) / 4.0f + c - (255.0f - c) / 8.0f;
    }
    return (uint32_t)(int32_t)v;
}

void game_build_palette()
{
    for (int b = 0; b < 8; b++)
        for (int s = 0; s < 8; s++)
            block_palette[b * 8 + s] = palette_channel(palette_base[b][0], s) << 16 |
                                       palette_channel(palette_base[b][1], s) << 8 |
                                       palette_channel(palette_base[b][2], s);
    for (int y = 0; y < PICKER_SIZE; y++)
        for (int x = 0; x < PICKER_SIZE; x++) {
            bool inside = x % 8 != 0 && x % 8 != 7 && y % 8 != 0 && y % 8 != 7;
            palette_picker[y * PICKER_SIZE + x] = inside ? block_palette[(y / 8) * 8 + x / 8] | 0xFF000000u : 0;
        }
    for (int y = 0; y < PICKER_FRAME_SIZE; y++)
        for (int x = 0; x < PICKER_FRAME_SIZE; x++) {
            bool border = x == 0 || x == 7 || y == 0 || y == 7;
            palette_frame[y * PICKER_FRAME_SIZE + x] = border ? 0xFF000000u : 0;
            palette_frame_mask[y * PICKER_FRAME_SIZE + x] = border ? 0xFFFFFFFFu : 0;
        }
}

// ---- pictures ------------------------------------------------------------------

static void game_load_picture(int picture, uint32_t **out)
{
    const GamePictureFile &p = game_picture_files[picture];
    loadpngfile(p.file, out, p.width, p.height);
}

void game_load_images()
{
    GameImages &g = game_images;
    game_free_images();
    game_load_picture(PIC_DIGITS, &g.digit_strip);
    for (int i = 0; i < DIGIT_GLYPHS; i++) g.digit[i] = g.digit_strip ? g.digit_strip + 24 * 32 * i : nullptr;
    game_load_picture(PIC_SCOPE_SEMI, &g.scope[WEAPON_SEMI]);
    game_load_picture(PIC_SCOPE_SMG, &g.scope[WEAPON_SMG]);
    game_load_picture(PIC_SCOPE_SHOTGUN, &g.scope[WEAPON_SHOTGUN]);
    game_load_picture(PIC_SPLASH, &g.splash);
    game_load_picture(PIC_WHITE, &g.white);
    game_load_picture(PIC_TARGET, &g.target);
    for (int w = 0; w < WEAPON_COUNT; w++) weapon_table[w].scope_image = g.scope[w];
    for (int i = 0; i < BMP_COUNT; i++) hud_bitmaps[i] = loadbitmap(hud_bitmap_files[i]);
}

void game_free_images()
{
    GameImages &g = game_images;
    for (int w = 0; w < WEAPON_COUNT; w++) weapon_table[w].scope_image = nullptr;
    std::free(g.digit_strip);
    for (int i = 0; i < 3; i++) std::free(g.scope[i]);
    std::free(g.splash);
    std::free(g.white);
    std::free(g.target);
    g = GameImages{};
    for (Bitmap *&b : hud_bitmaps) {
        freebitmap(b);
        b = nullptr;
    }
}

// ---- models ----------------------------------------------------------------------

int game_model_team_slot(const char *name)
{
    size_t n = std::strlen(name);
    if (n == 0 || !std::strchr(name, '_') || name[n - 1] == 'N') return -1;
    return name[n - 1] == 'G' ? 1 : 0;
}

void game_paint_team_colour(Kv6Model *model, uint32_t team_colour)
{
    if (!model) return;
    uint32_t r = (uint32_t)(((team_colour >> 16) & 255) * 0.5f);
    uint32_t g = (uint32_t)(((team_colour >> 8) & 255) * 0.5f);
    uint32_t b = (uint32_t)((team_colour & 255) * 0.5f);
    uint32_t half = r << 16 | g << 8 | b;
    for (int32_t i = 0; i < model->voxelcount; i++)
        if ((model->voxels[i].colour & 0xFFFFFFu) == 0) model->voxels[i].colour = half;
}

struct PivotShift {
    int slot;
    float dx, dy, dz;
};
static const PivotShift held_pivot_shift[] = {
    {MODEL_SPADE_3, 6, -12, 2}, {MODEL_BLOCK_3, 5, -13, 0}, {MODEL_GRENADE_3, 5, -13, 0},
    {MODEL_SEMI_3, 6, -18, 0},  {MODEL_SMG_3, 6, -18, 0},   {MODEL_SHOTGUN_3, 6, -18, 0},
};

struct BodySize {
    int offset; // from the team's head slot
    int32_t x, y, z;
};
static const BodySize body_sizes[] = {
    {0, 6, 6, 6}, {1, 8, 4, 9}, {2, 8, 8, 7}, {3, 12, 10, 6}, {4, 3, 5, 12}, {5, 3, 7, 8},
};

void game_free_models()
{
    // Player sprites point into the table: none may keep a freed model.
    for (int i = 0; i < PLAYER_MAX; i++)
        for (int s = 0; s < SPRITE_COUNT; s++) player_table[i].sprites[s].model = nullptr;
    for (int i = 0; i < MODEL_SLOT_COUNT; i++) {
        discardmodel(model_table[i]);
        model_table[i] = nullptr;
    }
}

static int game_kv6_failed;

static void game_kv6_fatal(const char *text)
{
    game_kv6_failed = 1;
    game_fatal_text(text);
}

int game_load_models()
{
    game_clear_world_objects();
    game_free_models();
    kv6_set_fatal_handler(game_kv6_fatal);
    game_kv6_failed = 0;
    for (int i = 0; i < MODEL_SLOT_COUNT; i++) {
        char path[64];
        snprintf(path, sizeof path, "kv6/%s.kv6", model_names[i]);
        model_table[i] = loadkv6(path);
        if (!model_table[i]) {
            // The loader reports its own failures; a failed allocation is silent.
            if (!game_kv6_failed) game_fatal_text("could not load kv6 file");
            return 0;
        }
        int slot = game_model_team_slot(model_names[i]);
        if (slot >= 0) game_paint_team_colour(model_table[i], client_state.team[slot].colour);
    }
    for (const PivotShift &p : held_pivot_shift) {
        Kv6Model *m = model_table[p.slot];
        m->xpivot += p.dx;
        m->ypivot += p.dy;
        m->zpivot += p.dz;
    }
    static const int team_heads[2] = {MODEL_HEAD_B, MODEL_HEAD_G};
    for (int head : team_heads)
        for (const BodySize &b : body_sizes) {
            const Kv6Model *m = model_table[head + b.offset];
            if (m->xsize != b.x || m->ysize != b.y || m->zsize != b.z) {
                game_fatal(LANG_ERR_MODEL_SIZE);
                return 0;
            }
        }
    return 1;
}

// ---- overview map ------------------------------------------------------------------

void hud_build_overview_map()
{
    for (int32_t y = 0; y < OVERVIEW_SIZE; y++)
        for (int32_t x = 0; x < OVERVIEW_SIZE; x++) {
            uint32_t pixel = OVERVIEW_GRID_COLOUR;
            if (x % 64 != 0 && y % 64 != 0) {
                const VoxelColour *c = map_colour_ptr(x, y, map_ground_z(x, y));
                pixel = c ? *c : 0;
            }
            overview_map[y * OVERVIEW_SIZE + x] = pixel;
        }
}
