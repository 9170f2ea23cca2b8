// The client's fixed assets: the block palette and its picker pictures, the
// 37 models with their team colours, the overview map and the pictures.
#pragma once
#include <cstdint>

#include "common/model_types.h"

#define PALETTE_SIZE 64         // 8 base colours x 8 shades, index = base x 8 + shade
#define PICKER_SIZE 64          // the picker picture is 64 x 64
#define PICKER_FRAME_SIZE 8
#define OVERVIEW_SIZE 512
#define OVERVIEW_GRID_COLOUR 0xFFCCCCCCu

extern uint32_t block_palette[PALETTE_SIZE];                      // 0x00RRGGBB
extern uint32_t palette_picker[PICKER_SIZE * PICKER_SIZE];        // 0xAARRGGBB
extern uint32_t palette_frame[PICKER_FRAME_SIZE * PICKER_FRAME_SIZE];
extern uint32_t palette_frame_mask[PICKER_FRAME_SIZE * PICKER_FRAME_SIZE];
extern uint32_t overview_map[OVERVIEW_SIZE * OVERVIEW_SIZE];      // pixel (x, y) at y x 512 + x

// The decoded pictures; null when a file could not be read or decoded (the
// drawing code skips an absent picture).
#define DIGIT_GLYPHS 11
struct GameImages {
    uint32_t *digit_strip;            // 24 x 352: 11 glyphs of 24 x 32
    uint32_t *digit[DIGIT_GLYPHS];    // glyph i = strip + 24 x 32 x i
    uint32_t *scope[3];               // 800 x 600 by weapon row
    uint32_t *splash;                 // 800 x 600
    uint32_t *white;                  // 4 x 4
    uint32_t *target;                 // 16 x 16 crosshair
};
extern GameImages game_images;

// The PNG pictures, each decoded at the size given here (the file's own size
// is not consulted: a larger picture is cropped, a smaller one padded).
enum GamePicture {
    PIC_DIGITS, PIC_SCOPE_SEMI, PIC_SCOPE_SMG, PIC_SCOPE_SHOTGUN, PIC_SPLASH, PIC_WHITE, PIC_TARGET,
    PIC_COUNT,
};
struct GamePictureFile {
    const char *file; // "png/knumb.png" ...
    int32_t width, height;
};
extern const GamePictureFile game_picture_files[PIC_COUNT];

// The HUD's bitmaps, in load order (files "png/<name>.bmp", hud_bitmap_files).
enum HudBitmap {
    BMP_INDICATOR, BMP_PLAYER, BMP_INTEL, BMP_COMMAND, BMP_MEDICAL, BMP_TRACER,
    BMP_HEALTH, BMP_BLOCK, BMP_SEMI, BMP_SHOTGUN, BMP_SMG, BMP_GRENADE,
    BMP_COUNT,
};
extern const char *const hud_bitmap_files[BMP_COUNT];
struct Bitmap;
// The loaded bitmaps by HudBitmap; null when a file could not be loaded.
extern Bitmap *hud_bitmaps[BMP_COUNT];

// The model file names by slot ("SPADE_3" ...).
extern const char *const model_names[37];

// Builds the palette and the three picker pictures.
void game_build_palette();
// Loads the PNG pictures and the HUD's bitmaps (absent ones stay null) and
// points each weapon's scope field at its picture.
void game_load_images();
// Frees the pictures and the bitmaps.
void game_free_images();
// Discards the previous models (and empties the world-object table, freeing
// debris models), loads the 37 models from "kv6/<name>.kv6", paints team
// colours, shifts the held tools' pivots and checks the body sizes. Returns 1;
// 0 after a fatal error (a missing or malformed file, a wrong body size).
int game_load_models();
// Discards every model; player sprites no longer point at them.
void game_free_models();
// Paints every pure-black voxel (low 24 bits 0) with half of team_colour's
// channels (0xRRGGBB, top byte 0).
void game_paint_team_colour(Kv6Model *model, uint32_t team_colour);
// The team slot whose colour a model takes: -1 none (a name without '_' or
// ending in 'N'), 1 for a name ending in 'G', else 0.
int game_model_team_slot(const char *name);
// Redraws the overview map from the current map: each column's top colour
// word, with grid lines (0xFFCCCCCC) on every 64th row and column.
void hud_build_overview_map();
