// FreeType rendering into the client's bitmap font files.
#include "ag_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

const FontDesc font_descs[] = {
    {"fonts/FixedSys_Bold_12.bmp", 12},
    {"fonts/FixedSys_Bold_18.bmp", 18},
    {"fonts/FixedSys_Bold_36.bmp", 36},
};
const int font_desc_count = (int)std::size(font_descs);

// Unicode of the Windows-1252 codes 0x80..0x9F (0 = unassigned, drawn empty).
static const uint16_t CP1252_HIGH[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

static uint32_t code_to_unicode(int code)
{
    if (code == 127) return 0; // DEL: nothing to draw
    if (code >= 0x80 && code < 0xA0) return CP1252_HIGH[code - 0x80];
    return (uint32_t)code;
}

static void put_le(Bytes &b, uint32_t v, int n)
{
    for (int i = 0; i < n; i++) b.push_back((uint8_t)(v >> (8 * i)));
}

// A pixel size whose ascent plus descent fits the line height.
static int fit_size(FT_Face face, int32_t height, int32_t *ascent)
{
    for (int px = height; px >= 4; px--) {
        if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)px)) continue;
        int32_t asc = (int32_t)(face->size->metrics.ascender >> 6);
        int32_t desc = (int32_t)(-face->size->metrics.descender >> 6);
        if (asc + desc <= height) {
            *ascent = asc + (height - asc - desc + 1) / 2; // spare rows shared above and below
            return px;
        }
    }
    return 0;
}

Bytes font_build(const FontDesc *desc, const char *ttf_path)
{
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) return Bytes();
    FT_Face face;
    if (FT_New_Face(lib, ttf_path, 0, &face)) {
        FT_Done_FreeType(lib);
        std::fprintf(stderr, "assetgen: cannot load typeface %s\n", ttf_path);
        return Bytes();
    }
    int32_t ascent = 0;
    int px = fit_size(face, desc->height, &ascent);
    if (!px) {
        FT_Done_Face(face);
        FT_Done_FreeType(lib);
        return Bytes();
    }
    // Monospace: one advance for every glyph, and the glyph rectangle the
    // client copies is exactly that wide.
    const int32_t cellw = (int32_t)(face->size->metrics.max_advance >> 6);
    const int32_t cellh = desc->height, width = 16 * cellw, height = 14 * cellh;
    std::vector<uint8_t> ink((size_t)width * height, 0);
    for (int code = 32; code < 256; code++) {
        uint32_t uc = code_to_unicode(code);
        if (!uc || !FT_Get_Char_Index(face, uc)) continue;
        if (FT_Load_Char(face, uc, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME)) continue;
        const FT_Bitmap *bm = &face->glyph->bitmap;
        int32_t gx = ((code - 32) % 16) * cellw, gy = ((code - 32) / 16) * cellh;
        int32_t left = face->glyph->bitmap_left, top = ascent - face->glyph->bitmap_top;
        // Keep the ink inside the glyph's own cell: a bold glyph that would
        // overhang its advance is moved in (and cut when wider than the cell).
        if (left + (int32_t)bm->width > cellw) left = cellw - (int32_t)bm->width;
        if (left < 0) left = 0;
        for (uint32_t r = 0; r < bm->rows; r++)
            for (uint32_t c = 0; c < bm->width; c++) {
                int32_t x = left + (int32_t)c, y = top + (int32_t)r;
                if (x >= cellw || y < 0 || y >= cellh) continue;
                if ((bm->buffer[(int32_t)r * bm->pitch + (int32_t)(c >> 3)] >> (7 - (c & 7))) & 1)
                    ink[(size_t)(gy + y) * width + gx + x] = 1;
            }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);

    const uint32_t stride = ((uint32_t)width + 31) / 32 * 4, pixels = stride * (uint32_t)height;
    const uint32_t off_bits = 14 + 40 + 8, bf_size = off_bits + pixels;
    Bytes b;
    put_le(b, 0x4D42, 2);          // "BM"
    put_le(b, bf_size, 4);         // the bitmap part; the metrics follow it
    put_le(b, 0x4444, 2);          // the font file's marker words
    put_le(b, 0x4646, 2);
    put_le(b, off_bits, 4);
    put_le(b, 40, 4);              // BITMAPINFOHEADER
    put_le(b, (uint32_t)width, 4);
    put_le(b, (uint32_t)height, 4); // positive: rows bottom-up
    put_le(b, 1, 2);
    put_le(b, 1, 2);               // 1 bit per pixel
    put_le(b, 0, 4);               // BI_RGB
    put_le(b, pixels, 4);
    put_le(b, 2835, 4);
    put_le(b, 2835, 4);
    put_le(b, 2, 4);               // colours used
    put_le(b, 2, 4);
    put_le(b, 0x000000, 4);        // entry 0: background, black (transparent)
    put_le(b, 0xFFFFFF, 4);        // entry 1: ink, replaced by the text colour
    for (int32_t y = height - 1; y >= 0; y--) {
        size_t row = b.size();
        b.resize(row + stride, 0);
        for (int32_t x = 0; x < width; x++)
            if (ink[(size_t)y * width + x]) b[row + (size_t)(x >> 3)] |= (uint8_t)(0x80 >> (x & 7));
    }
    // TEXTMETRICA (56 bytes).
    const int32_t descent = cellh - ascent;
    put_le(b, (uint32_t)cellh, 4);            // tmHeight: the line height
    put_le(b, (uint32_t)ascent, 4);
    put_le(b, (uint32_t)descent, 4);
    put_le(b, (uint32_t)(cellh - px), 4);     // tmInternalLeading
    put_le(b, 0, 4);                          // tmExternalLeading
    put_le(b, (uint32_t)cellw, 4);            // tmAveCharWidth
    put_le(b, (uint32_t)cellw, 4);            // tmMaxCharWidth
    put_le(b, 700, 4);                        // tmWeight: bold
    put_le(b, 0, 4);                          // tmOverhang
    put_le(b, 96, 4);                         // tmDigitizedAspectX, Y
    put_le(b, 96, 4);
    const uint8_t tail[12] = {32, 255, '?', 32, 0, 0, 0, 0x30, 0, 0, 0, 0}; // chars, flags, modern, ANSI, padding
    b.insert(b.end(), tail, tail + 12);
    // ABC widths of codes 32..255: no bearing, the whole advance drawn.
    for (int code = 32; code < 256; code++) {
        put_le(b, 0, 4);
        put_le(b, (uint32_t)cellw, 4);
        put_le(b, 0, 4);
    }
    // LOGFONTA (60 bytes).
    put_le(b, (uint32_t)-px, 4);              // lfHeight: character height
    put_le(b, (uint32_t)cellw, 4);            // lfWidth
    put_le(b, 0, 4);
    put_le(b, 0, 4);
    put_le(b, 700, 4);                        // lfWeight
    const uint8_t flags[8] = {0, 0, 0, 0, 0, 0, 3, 0x31}; // ANSI, non-antialiased, fixed pitch modern
    b.insert(b.end(), flags, flags + 8);
    char face_name[32] = {0};
    std::snprintf(face_name, sizeof face_name, "DejaVu Sans Mono Bold");
    b.insert(b.end(), face_name, face_name + 32);
    return b;
}
