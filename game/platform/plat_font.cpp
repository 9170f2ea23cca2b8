// Bitmap fonts: loading the font file, rendering the glyph grid in an ink
// colour, measuring and drawing text.
#include "platform/plat_font.h"

#include <cstdlib>
#include <cstring>

#include "common/byteio.h"
#include "platform/plat_bmp.h"
#include "platform/plat_file.h"

#define FONT_MAX_FILE (64u << 20)

BitmapFont *fontslots[FONT_SLOTS];
TextContext *textcontext;

static const char *const font_files[FONT_SLOTS] = {
    "fonts/FixedSys_Bold_12.bmp",
    "fonts/FixedSys_Bold_18.bmp",
    "fonts/FixedSys_Bold_36.bmp",
};

static int32_t clamp_i32(int64_t v, int64_t lo, int64_t hi) { return (int32_t)(v < lo ? lo : v > hi ? hi : v); }

// Renders the pixel block into the font surface with entry 1 as the ink.
static int32_t font_render(BitmapFont *font)
{
    if (!font->surface || !font->info || !font->pixels) return DDERR_INVALIDPARAMS;
    if (font->surface->locked) return DDERR_SURFACEBUSY;
    BmpInfo bi;
    if (!bmp_parse_info(font->info, font->infosize, font->pixelsize, FONT_MAX_SIDE, &bi)) return DDERR_INVALIDPARAMS;
    bmp_decode(&bi, font->pixels, font->surface->pixels, font->surface->pitch, 1, font->colour);
    font->rendered = 1;
    return DD_OK;
}

// The load proper; returns FONT_LOADED or the refusal code.
static int32_t font_load(BitmapFont *font, const uint8_t *file, size_t size)
{
    if (size < BMP_FILE_HEADER || le_get_u16(file) != 0x4D42 || le_get_u16(file + 6) != 0x4444 ||
        le_get_u16(file + 8) != 0x4646)
        return FONT_ERR_HEADER;
    const uint32_t bfsize = le_get_u32(file + 2);
    const uint32_t offbits = le_get_u32(file + 10);
    if (offbits < BMP_FILE_HEADER + BMP_INFO_HEADER || offbits > bfsize) return FONT_ERR_HEADER;

    font->infosize = offbits - BMP_FILE_HEADER;
    font->info = (uint8_t *)std::malloc(font->infosize);
    if (!font->info) return FONT_ERR_NOMEM;
    font->pixelsize = bfsize - offbits;
    font->pixels = (uint8_t *)std::malloc(font->pixelsize ? font->pixelsize : 1);
    if (!font->pixels) return FONT_ERR_NOMEM;
    // The whole layout must be present before anything is taken from it.
    if ((uint64_t)bfsize + FONT_TRAILER_BYTES > size) return FONT_ERR_METRICS;
    std::memcpy(font->info, file + BMP_FILE_HEADER, font->infosize);
    std::memcpy(font->pixels, file + offbits, font->pixelsize);

    BmpInfo bi;
    if (!bmp_parse_info(font->info, font->infosize, font->pixelsize, FONT_MAX_SIDE, &bi)) return FONT_ERR_BITMAP;
    font->width = bi.width;
    font->height = bi.height;
    font->surface = createsurface(font->context ? font->context->directdraw : nullptr, bi.width, bi.height);
    if (!font->surface) return FONT_ERR_SURFACE;
    setsurfacekey(font->surface, 0);

    const uint8_t *trailer = file + bfsize;
    std::memcpy(font->textmetric, trailer, FONT_METRICS_BYTES);
    for (int k = 32; k < 256; k++) {
        const uint8_t *abc = trailer + FONT_METRICS_BYTES + 12 * (k - 32);
        font->abc[k] = FontAbc{le_get_i32(abc), le_get_u32(abc + 4), le_get_i32(abc + 8)};
    }
    std::memcpy(font->logfont, trailer + FONT_METRICS_BYTES + FONT_ABC_BYTES, FONT_LOGFONT_BYTES);

    font->cellwidth = font->width >> 4;
    font->cellheight = font->height / 14;
    for (int k = 32; k < 256; k++) {
        const int64_t left = clamp_i32((int64_t)((k - 32) % 16) * font->cellwidth, 0, font->width);
        const int64_t top = clamp_i32((int64_t)((k - 32) / 16) * font->cellheight, 0, font->height);
        const int64_t right = clamp_i32(left + font->abc[k].b, left, font->width);
        const int64_t bottom = clamp_i32(top + font->cellheight, 0, font->height);
        font->glyphs[k] = SurfaceRect{(int32_t)left, (int32_t)top, (int32_t)right, (int32_t)bottom};
        font->advance[k] = clamp_i32((int64_t)font->abc[k].b + font->abc[k].c, INT32_MIN, INT32_MAX);
    }
    if (font_render(font) != DD_OK) return FONT_ERR_RENDER;
    return FONT_LOADED;
}

int32_t loadfont(BitmapFont **out, TextContext *context, const char *file)
{
    BitmapFont *font = (BitmapFont *)std::calloc(1, sizeof(BitmapFont));
    *out = font;
    if (!font) return FONT_ERR_NOMEM;
    font->context = context;
    font->colour = 0xFFFFFF;
    if (file) {
        const size_t n = std::strlen(file) + 1;
        font->filename = (char *)std::malloc(n);
        if (font->filename) std::memcpy(font->filename, file, n);
    }
    uint8_t *data = nullptr;
    size_t size = 0;
    if (!plat_read_file(file, FONT_MAX_FILE, &data, &size)) font->loadcode = FONT_ERR_OPEN;
    else font->loadcode = font_load(font, data, size);
    std::free(data);
    if (font->loadcode != FONT_LOADED) {
        releasesurface(font->surface);
        font->surface = nullptr;
        font->rendered = 0;
        if (font->loadcode <= FONT_ERR_NOMEM) {
            std::free(font->info);
            std::free(font->pixels);
            font->info = font->pixels = nullptr;
        }
    }
    return font->loadcode;
}

void freefont(BitmapFont *font)
{
    if (!font) return;
    releasesurface(font->surface);
    std::free(font->filename);
    std::free(font->pixels);
    std::free(font->info);
    std::free(font);
}

int32_t setfontcolor(BitmapFont *font, uint32_t colour)
{
    if (!font) return DDERR_INVALIDPARAMS;
    colour &= 0xFFFFFFu;
    // Rendering again in the colour the surface already shows changes nothing.
    if (font->rendered && font->colour == colour) return DD_OK;
    const uint32_t old = font->colour;
    font->colour = colour;
    int32_t rc = font_render(font);
    if (rc != DD_OK && font->surface) {
        font->colour = old; // the surface keeps its old colour
        return rc;
    }
    return rc;
}

int32_t gettextwidth(const BitmapFont *font, const char *text)
{
    if (!font || !text) return 0;
    int64_t w = 0;
    for (const uint8_t *p = (const uint8_t *)text; *p; p++) w += (int64_t)font->abc[*p].a + font->advance[*p];
    return clamp_i32(w, INT32_MIN, INT32_MAX);
}

int32_t getfontheight(const BitmapFont *font) { return font ? le_get_i32(font->textmetric) : 0; }

TextContext *createtextcontext(TextContext **out, DirectDraw *directdraw)
{
    TextContext *c = (TextContext *)std::calloc(1, sizeof(TextContext));
    if (c) c->directdraw = directdraw;
    *out = c;
    return c;
}

void freetextcontext(TextContext *context)
{
    if (context == textcontext) textcontext = nullptr;
    std::free(context);
}

void selectfont(TextContext *context, BitmapFont *font)
{
    if (context) context->current = font;
}

int32_t drawcontexttext(TextContext *context, Surface *surface, int32_t x, int32_t y, const char *text)
{
    const BitmapFont *font = context ? context->current : nullptr;
    if (!font || !font->surface || !surface || !text) return 0;
    int64_t pen = x;
    for (const uint8_t *p = (const uint8_t *)text; *p; p++) {
        pen += font->abc[*p].a;
        if (pen >= INT32_MIN && pen <= INT32_MAX)
            blitsurface(surface, (int32_t)pen, y, font->surface, &font->glyphs[*p], 1);
        pen += font->advance[*p];
    }
    return 0;
}

void loadfonts(DirectDraw *directdraw)
{
    if (!textcontext) createtextcontext(&textcontext, directdraw);
    else textcontext->directdraw = directdraw;
    for (int i = 0; i < FONT_SLOTS; i++) {
        freefont(fontslots[i]);
        loadfont(&fontslots[i], textcontext, font_files[i]);
    }
}

void freefonts()
{
    for (int i = 0; i < FONT_SLOTS; i++) {
        freefont(fontslots[i]);
        fontslots[i] = nullptr;
    }
    if (textcontext) textcontext->current = nullptr;
}

BitmapFont *getfont(int32_t index) { return index >= 0 && index < FONT_SLOTS ? fontslots[index] : nullptr; }

int32_t drawtext(const char *text, int32_t x, int32_t y, Surface *surface)
{
    return drawcontexttext(textcontext, surface, x, y, text);
}

int32_t drawtextcolor(BitmapFont *font, const char *text, int32_t x, int32_t y, Surface *surface, uint32_t colour)
{
    selectfont(textcontext, font);
    setfontcolor(font, colour);
    return drawtext(text, x, y, surface);
}
