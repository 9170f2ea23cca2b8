// The client's pictures and icons. Small ones are pixel art: each character
// of a row is one pixel (or a square of pixels) in the colour its key names.
#include "ag_pictures.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

// ---------------------------------------------------------------- text

// Antialiased text from the typeface, its box centred on (cx, cy); with a
// dark outline of `outline` pixels when not 0.
static void ft_text(Canvas *c, const char *ttf, int px, float cx, float cy, const char *text, uint32_t colour,
                    int outline)
{
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) return;
    FT_Face face;
    if (FT_New_Face(lib, ttf, 0, &face) || FT_Set_Pixel_Sizes(face, 0, (FT_UInt)px)) {
        FT_Done_FreeType(lib);
        return;
    }
    // Measure: advance width and the ink rows of the whole string.
    int32_t width = 0, top = 1 << 30, bottom = -(1 << 30);
    for (const char *p = text; *p; p++) {
        if (FT_Load_Char(face, (unsigned char)*p, FT_LOAD_RENDER)) continue;
        width += (int32_t)(face->glyph->advance.x >> 6);
        top = std::min(top, -face->glyph->bitmap_top);
        bottom = std::max(bottom, -face->glyph->bitmap_top + (int32_t)face->glyph->bitmap.rows);
    }
    int32_t pen = (int32_t)std::lround(cx - width / 2.0f), base = (int32_t)std::lround(cy - (top + bottom) / 2.0f);
    for (int pass = outline ? 0 : 1; pass < 2; pass++) {
        int32_t x = pen;
        for (const char *p = text; *p; p++) {
            if (FT_Load_Char(face, (unsigned char)*p, FT_LOAD_RENDER)) continue;
            const FT_Bitmap *bm = &face->glyph->bitmap;
            int32_t gx = x + face->glyph->bitmap_left, gy = base - face->glyph->bitmap_top;
            for (uint32_t r = 0; r < bm->rows; r++)
                for (uint32_t k = 0; k < bm->width; k++) {
                    float a = bm->buffer[(int32_t)r * bm->pitch + (int32_t)k] / 255.0f;
                    if (pass == 1) {
                        canvas_blend(c, gx + (int32_t)k, gy + (int32_t)r, colour, a);
                        continue;
                    }
                    for (int dy = -outline; dy <= outline; dy++)
                        for (int dx = -outline; dx <= outline; dx++)
                            canvas_blend(c, gx + (int32_t)k + dx, gy + (int32_t)r + dy, 0xE0000000, a);
                }
            x += (int32_t)(face->glyph->advance.x >> 6);
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
}

// ---------------------------------------------------------------- splash

// The title in a block letter font, 5 x 7 cells per letter.
static const char *const BLOCK_LETTERS[][7] = {
    {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}, // B
    {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}, // R
    {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"}, // I
    {".####", "#....", "#....", "#....", "#....", "#....", ".####"}, // C
    {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}, // K
    {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}, // M
    {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}, // E
};
static const char TITLE[] = "BRICKMIRE";
static const char TITLE_LETTERS[] = "BRICKME";

// Heights of the block skyline along the bottom, in blocks, left to right.
static const int SKYLINE[] = {5, 5, 6, 6, 7, 7, 7, 6, 6, 5, 4, 4, 4, 5, 6, 8, 9, 9, 8, 7,
                              6, 6, 5, 5, 5, 6, 7, 7, 6, 5, 4, 4, 5, 6, 6, 7, 8, 8, 7, 6};

// One bevelled block: lighter top and left edges, darker bottom and right.
static void bevel_block(Canvas *c, int32_t x, int32_t y, int32_t s, uint32_t colour)
{
    auto shade = [](uint32_t col, float f) {
        uint32_t out = 0xFF000000;
        for (int k = 0; k < 24; k += 8) {
            float v = (float)((col >> k) & 0xFF) * f;
            out |= (uint32_t)(v > 255.0f ? 255.0f : v) << k;
        }
        return out;
    };
    canvas_set_rect(c, x, y, s, s, shade(colour, 1.0f));
    canvas_set_rect(c, x, y, s, 2, shade(colour, 1.3f));
    canvas_set_rect(c, x, y, 2, s, shade(colour, 1.15f));
    canvas_set_rect(c, x, y + s - 2, s, 2, shade(colour, 0.65f));
    canvas_set_rect(c, x + s - 2, y, 2, s, shade(colour, 0.75f));
}

static void draw_splash(Canvas *c, const char *ttf)
{
    for (int32_t y = 0; y < c->h; y++) { // sky: deep blue to pale at the horizon
        float t = (float)y / 430.0f;
        t = t > 1.0f ? 1.0f : t;
        uint32_t r = (uint32_t)(0x14 + t * (0x8C - 0x14)), g = (uint32_t)(0x22 + t * (0xB0 - 0x22)),
                 b = (uint32_t)(0x44 + t * (0xD8 - 0x44));
        canvas_set_rect(c, 0, y, c->w, 1, 0xFF000000 | r << 16 | g << 8 | b);
    }
    const int32_t S = 20; // skyline block size
    for (int i = 0; i < (int)std::size(SKYLINE); i++)
        for (int k = 0; k < SKYLINE[i]; k++) {
            int32_t y = c->h - (k + 1) * S;
            uint32_t col = k == SKYLINE[i] - 1 ? 0x4C8A3A : k >= SKYLINE[i] - 3 ? 0x7A5634 : 0x6A6A6E;
            bevel_block(c, i * S, y, S, col);
        }
    // Title with a drop shadow, bricks shading from orange to red downwards.
    const int32_t B = 14, letters = (int32_t)std::strlen(TITLE), width = letters * 6 * B - B;
    for (int shadow = 1; shadow >= 0; shadow--)
        for (int32_t i = 0; i < letters; i++) {
            const char *const *glyph = BLOCK_LETTERS[std::strchr(TITLE_LETTERS, TITLE[i]) - TITLE_LETTERS];
            for (int32_t row = 0; row < 7; row++)
                for (int32_t col = 0; col < 5; col++) {
                    if (glyph[row][col] != '#') continue;
                    int32_t x = (c->w - width) / 2 + (i * 6 + col) * B, y = 110 + row * B;
                    if (shadow) {
                        canvas_fill_rect(c, x + 6, y + 6, B, B, 0x80000000);
                    } else {
                        uint32_t g = 0x70 - (uint32_t)row * 12;
                        bevel_block(c, x, y, B, 0xE00000 | g << 8 | 0x20);
                    }
                }
        }
    ft_text(c, ttf, 26, c->w / 2.0f, 250.0f, "BUILD  DIG  FIGHT", 0xFFF0E8D8, 2);
}

// ---------------------------------------------------------------- scopes

// A black mask with a round window of radius r, its rim shaded inwards
// over 14 pixels.
static void scope_window(Canvas *c, float r)
{
    float cx = c->w / 2.0f, cy = c->h / 2.0f;
    canvas_init(c, c->w, c->h, 0xFF000000);
    canvas_clear_disc(c, cx, cy, r);
    for (int32_t y = (int32_t)(cy - r); y <= (int32_t)(cy + r); y++)
        for (int32_t x = (int32_t)(cx - r); x <= (int32_t)(cx + r); x++) {
            float d = std::sqrt((x + 0.5f - cx) * (x + 0.5f - cx) + (y + 0.5f - cy) * (y + 0.5f - cy));
            if (d < r - 14.0f || d > r) continue;
            canvas_blend(c, x, y, 0xFF000000, 0.6f * (d - (r - 14.0f)) / 14.0f);
        }
}

static void draw_scope_semi(Canvas *c, const char *)
{
    float cx = c->w / 2.0f, cy = c->h / 2.0f, r = 280.0f;
    scope_window(c, r);
    // Fine crosshair, heavy posts from the rim, range marks on the lines.
    canvas_line(c, cx - r, cy, cx + r, cy, 1.5f, 0xFF000000);
    canvas_line(c, cx, cy - r, cx, cy + r, 1.5f, 0xFF000000);
    canvas_line(c, cx - r, cy, cx - 90.0f, cy, 7.0f, 0xFF000000);
    canvas_line(c, cx + 90.0f, cy, cx + r, cy, 7.0f, 0xFF000000);
    canvas_line(c, cx, cy + 90.0f, cx, cy + r, 7.0f, 0xFF000000);
    for (int i = 1; i <= 4; i++) {
        float d = 18.0f * i;
        canvas_disc(c, cx + d, cy, 2.2f, 0xFF000000);
        canvas_disc(c, cx - d, cy, 2.2f, 0xFF000000);
        canvas_disc(c, cx, cy + d, 2.2f, 0xFF000000);
        canvas_disc(c, cx, cy - d, 2.2f, 0xFF000000);
    }
}

static void draw_scope_smg(Canvas *c, const char *)
{
    // A reflex sight: a wide window in a dark housing, a red ring and dot.
    float cx = c->w / 2.0f, cy = c->h / 2.0f;
    scope_window(c, 250.0f);
    canvas_ring(c, cx, cy, 250.0f, 262.0f, 0xFF2A2E32);
    canvas_ring(c, cx, cy, 46.0f, 50.0f, 0xE0FF2020);
    canvas_disc(c, cx, cy, 3.5f, 0xF0FF3030);
    for (int i = 0; i < 4; i++) { // ticks at the ring's quarters
        float a = i * 1.5707964f, s = std::sin(a), k = std::cos(a);
        canvas_line(c, cx + k * 50.0f, cy + s * 50.0f, cx + k * 62.0f, cy + s * 62.0f, 3.0f, 0xE0FF2020);
    }
}

static void draw_scope_shotgun(Canvas *c, const char *)
{
    // Ghost ring: a thick dark ring around a front post with a brass bead.
    float cx = c->w / 2.0f, cy = c->h / 2.0f;
    scope_window(c, 290.0f);
    canvas_ring(c, cx, cy, 95.0f, 125.0f, 0xF0101010);
    canvas_ring(c, cx, cy, 123.0f, 127.0f, 0xFF3A3A3A);
    canvas_line(c, cx, cy + 6.0f, cx, cy + 290.0f, 16.0f, 0xFF141414);
    canvas_disc(c, cx, cy, 7.0f, 0xFFD8B050);
    canvas_disc(c, cx - 2.0f, cy - 2.0f, 2.5f, 0xFFFFF0C0);
}

// ---------------------------------------------------------------- small pictures

static void draw_white(Canvas *c, const char *) { canvas_set_rect(c, 0, 0, c->w, c->h, 0xFFFFFFFF); }

static const ArtKey CROSSHAIR_KEYS[] = {{'#', 0xFFFFFFFF}, {'o', 0x90000000}};
static const char *const CROSSHAIR[] = {
    "......oooo......",
    "......o##o......",
    "......o##o......",
    "......o##o......",
    "......oooo......",
    "................",
    "ooooo.oooo.ooooo",
    "o###o.o##o.o###o",
    "o###o.o##o.o###o",
    "ooooo.oooo.ooooo",
    "................",
    "......oooo......",
    "......o##o......",
    "......o##o......",
    "......o##o......",
    "......oooo......",
};

static void draw_target(Canvas *c, const char *)
{
    canvas_art(c, 0, 0, 1, CROSSHAIR, (int32_t)std::size(CROSSHAIR), CROSSHAIR_KEYS, (int32_t)std::size(CROSSHAIR_KEYS));
}

// Digits 0..9 and a minus sign, one 24 x 32 glyph each, top to bottom.
static void draw_digits(Canvas *c, const char *ttf)
{
    static const char glyphs[] = "0123456789-";
    for (int i = 0; i < 11; i++) {
        char s[2] = {glyphs[i], 0};
        ft_text(c, ttf, 34, 12.0f, 32.0f * i + 16.0f, s, 0xFFFFFFFF, 2);
    }
}

// ---------------------------------------------------------------- icons

// Icon pixels: black is transparent; greys take the colour the HUD draws
// with ('#' full, '+' and '=' shaded); other colours stay as they are.
static const ArtKey ICON_KEYS[] = {
    {'#', 0xFFFFFF}, {'+', 0xC4C4C4}, {'=', 0x8C8C8C}, {'-', 0x5A5A5A},
    {'r', 0xE82828}, {'R', 0x901818}, {'y', 0xFFE070}, {'Y', 0xFFB030},
};

struct IconArt {
    const char *name;
    int32_t scale;
    int32_t top;  // first row drawn (the rows above stay transparent)
    const char *const *rows;
    int32_t row_count;
};

// The arrow of a player on the map, pointing the way he looks (up = north).
static const char *const ICON_PLAYER[] = {
    "................",
    ".......##.......",
    ".......##.......",
    "......####......",
    "......####......",
    ".....######.....",
    ".....######.....",
    "....########....",
    "....########....",
    "...##########...",
    "...##########...",
    "..#####++#####..",
    "..####+..+####..",
    ".####+....+####.",
    ".###+......+###.",
    "................",
};

static const char *const ICON_INTEL[] = {
    "................",
    "................",
    "......####......",
    ".....##..##.....",
    ".....#....#.....",
    "..############..",
    "..#++++++++++#..",
    "..#++++++++++#..",
    "..############..",
    "..#+++=##=+++#..",
    "..#++++++++++#..",
    "..#++++++++++#..",
    "..#++++++++++#..",
    "..############..",
    "................",
    "................",
};

static const char *const ICON_COMMAND[] = {
    "................",
    "..=.............",
    "..=##########...",
    "..=###########..",
    "..=##########...",
    "..=#########....",
    "..=##########...",
    "..=###########..",
    "..=.............",
    "..=.............",
    "..=.............",
    "..=.............",
    "..=.............",
    ".+++............",
    "+++++...........",
    "................",
};

static const char *const ICON_MEDICAL[] = {
    "................",
    ".....######.....",
    ".....#++++#.....",
    ".....#++++#.....",
    ".....#++++#.....",
    ".#####++++#####.",
    ".#++++++++++++#.",
    ".#++++++++++++#.",
    ".#++++++++++++#.",
    ".#++++++++++++#.",
    ".#####++++#####.",
    ".....#++++#.....",
    ".....#++++#.....",
    ".....#++++#.....",
    ".....######.....",
    "................",
};

static const char *const ICON_TRACER[] = {
    "....Y....",
    "....y....",
    "....y....",
    "....y....",
    "....y....",
    "....Y....",
    "....Y....",
    "....R....",
    ".........",
};

static const char *const ICON_HEALTH[] = {
    "................",
    "................",
    "......####......",
    "......#++=......",
    "......#++=......",
    "......#++=......",
    "..#####++=====..",
    "..#++++++++++=..",
    "..#++++++++++=..",
    "..====#++=====..",
    "......#++=......",
    "......#++=......",
    "......#++=......",
    "......====......",
    "................",
    "................",
};

static const char *const ICON_BLOCK[] = {
    "................",
    ".......##.......",
    ".....######.....",
    "...##########...",
    ".##############.",
    ".++##########==.",
    ".++++######====.",
    ".++++++##======.",
    ".+++++++=======.",
    ".+++++++=======.",
    ".+++++++=======.",
    ".+++++++=======.",
    "..++++++======..",
    "....++++====....",
    "......++==......",
    "................",
};

static const char *const ICON_GRENADE[] = {
    "................",
    ".......==.......",
    "......====##....",
    ".......==..#....",
    ".....######=....",
    "....#+#+#+#+#...",
    "...#+#+#+#+#+=..",
    "...=#=#=#=#=#=..",
    "...#+#+#+#+#+=..",
    "...=#=#=#=#=#=..",
    "...#+#+#+#+#+=..",
    "...=#=#=#=#=#=..",
    "....#+#+#+#+=...",
    ".....=======....",
    "................",
    "................",
};

// Guns in profile, muzzle to the right, in a 32 x 32 icon.
static const char *const ICON_SEMI[] = {
    "..........=======...............",
    ".........=+++++++=..............",
    "..........=.....=............+..",
    "#.......==========##############",
    "##....==+++++++++++==++++++++=..",
    "###==++++++++====+++++++++++=...",
    "##########+=..=+=...............",
    "########....=..==...............",
    "#######......==.=...............",
};

static const char *const ICON_SMG[] = {
    "......+..............+..........",
    "==...##################=+=+=....",
    "=.=..##################=+=+=###.",
    "=..=+##################=+=+=....",
    "=...=====##..==..####...........",
    "=..........##.==.####...........",
    "............##...####...........",
    "............##...####...........",
    ".................####...........",
    ".................####...........",
    ".................####...........",
};

static const char *const ICON_SHOTGUN[] = {
    "..............................+.",
    "#...........====################",
    "##.......===++++################",
    "###====+++++++++==########==....",
    "#########+=..=+==..++++++++=....",
    "########....=..=...=+=+=+=+=....",
    "#######......==.................",
};

static const IconArt ICON_ART[] = {
    {"png/player.bmp", 1, 0, ICON_PLAYER, (int32_t)std::size(ICON_PLAYER)},
    {"png/intel.bmp", 1, 0, ICON_INTEL, (int32_t)std::size(ICON_INTEL)},
    {"png/command.bmp", 1, 0, ICON_COMMAND, (int32_t)std::size(ICON_COMMAND)},
    {"png/medical.bmp", 1, 0, ICON_MEDICAL, (int32_t)std::size(ICON_MEDICAL)},
    {"png/tracer.bmp", 1, 0, ICON_TRACER, (int32_t)std::size(ICON_TRACER)},
    {"png/health.bmp", 2, 0, ICON_HEALTH, (int32_t)std::size(ICON_HEALTH)},
    {"png/block.bmp", 2, 0, ICON_BLOCK, (int32_t)std::size(ICON_BLOCK)},
    {"png/grenade.bmp", 2, 0, ICON_GRENADE, (int32_t)std::size(ICON_GRENADE)},
    {"png/semi.bmp", 1, 9, ICON_SEMI, (int32_t)std::size(ICON_SEMI)},
    {"png/smg.bmp", 1, 10, ICON_SMG, (int32_t)std::size(ICON_SMG)},
    {"png/shotgun.bmp", 1, 10, ICON_SHOTGUN, (int32_t)std::size(ICON_SHOTGUN)},
};

static const IconArt *icon_art(const char *file)
{
    for (const IconArt &a : ICON_ART)
        if (std::strcmp(a.name, file) == 0) return &a;
    return nullptr;
}

// Draws the art of the file being built (set by picture_build).
static const IconArt *g_icon;
static void draw_icon(Canvas *c, const char *)
{
    if (g_icon)
        canvas_art(c, 0, g_icon->top, g_icon->scale, g_icon->rows, g_icon->row_count, ICON_KEYS, (int32_t)std::size(ICON_KEYS));
}

// The damage direction: a red arc above the crosshair; turned to the side
// the damage came from.
static void indicator_arc(Canvas *c, float r_in, float r_out, float widen, uint32_t colour)
{
    float cx = c->w / 2.0f, cy = c->h / 2.0f;
    for (int i = -6; i <= 6; i++) { // thickest at the top, thinning towards both ends
        float a = -1.5707964f + i * 0.07f, k = std::cos(a), s = std::sin(a);
        float w = 7.0f - std::fabs((float)i) * 0.6f + widen;
        canvas_line(c, cx + k * r_in, cy + s * r_in, cx + k * r_out, cy + s * r_out, w, colour);
    }
}

static void draw_indicator(Canvas *c, const char *)
{
    indicator_arc(c, 46.0f, 58.0f, 2.0f, 0xFF901818); // dark rim
    indicator_arc(c, 48.0f, 56.0f, 0.0f, 0xFFE82828);
}

// ---------------------------------------------------------------- table

const PictureDesc picture_descs[] = {
    {"png/splash.png", 800, 600, draw_splash},
    {"png/semi.png", 800, 600, draw_scope_semi},
    {"png/smg.png", 800, 600, draw_scope_smg},
    {"png/shotgun.png", 800, 600, draw_scope_shotgun},
    {"png/white.png", 4, 4, draw_white},
    {"png/target.png", 16, 16, draw_target},
    {"png/knumb.png", 24, 352, draw_digits},
    {"png/indicator.bmp", 128, 128, draw_indicator},
    {"png/player.bmp", 16, 16, draw_icon},
    {"png/intel.bmp", 16, 16, draw_icon},
    {"png/command.bmp", 16, 16, draw_icon},
    {"png/medical.bmp", 16, 16, draw_icon},
    {"png/tracer.bmp", 9, 9, draw_icon},
    {"png/health.bmp", 32, 32, draw_icon},
    {"png/block.bmp", 32, 32, draw_icon},
    {"png/semi.bmp", 32, 32, draw_icon},
    {"png/shotgun.bmp", 32, 32, draw_icon},
    {"png/smg.bmp", 32, 32, draw_icon},
    {"png/grenade.bmp", 32, 32, draw_icon},
};
const int picture_desc_count = (int)std::size(picture_descs);

Bytes picture_build(const PictureDesc *desc, const char *ttf_path)
{
    Canvas c;
    canvas_init(&c, desc->w, desc->h, 0);
    g_icon = icon_art(desc->file);
    desc->draw(&c, ttf_path);
    size_t len = std::strlen(desc->file);
    if (len > 4 && std::strcmp(desc->file + len - 4, ".bmp") == 0) return bmp24_encode(c.px.data(), c.w, c.h);
    // Fully transparent pixels carry black, so a plain copy shows black there.
    for (uint32_t &p : c.px)
        if ((p >> 24) == 0) p = 0;
    return png_encode(c.px.data(), c.w, c.h, 1);
}
