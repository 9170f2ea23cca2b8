// Bitmap fonts: a Windows bitmap of 16 x 14 glyph cells for the codes 32..255
// with the font's metrics and per-character widths appended. A loaded font is
// rendered in its ink colour into an off-screen surface whose black is
// transparent; drawing copies one glyph rectangle per byte onto a surface,
// normally the frame surface after unlockframe.
//
// Font file (little-endian): 14-byte file header ("BM", bfSize = bytes of the
// bitmap part, reserved words 0x4444 and 0x4646, bfOffBits = pixel offset),
// the bitmap information (BITMAPINFOHEADER and colour table; entry 0 is the
// black background, entry 1 the ink), the pixels (1, 4, 8, 24 or 32 bits,
// uncompressed), then at bfSize: 56 bytes of text metrics (first field: the
// line height, i32), 224 ABC records for codes 32..255 (i32 space before, u32
// glyph width, i32 space after) and 60 bytes of logical-font record. The file
// is bfSize + 2804 bytes long.
#pragma once
#include <cstdint>

#include "platform/plat_display.h"

#define FONT_SLOTS 3
#define FONT_METRICS_BYTES 56
#define FONT_ABC_BYTES 2688
#define FONT_LOGFONT_BYTES 60
#define FONT_TRAILER_BYTES (FONT_METRICS_BYTES + FONT_ABC_BYTES + FONT_LOGFONT_BYTES)
#define FONT_MAX_SIDE 4096 // larger bitmaps are refused

// Why a font did not load; FONT_LOADED when it did.
enum FontLoadCode {
    FONT_LOADED = -1,
    FONT_ERR_OPEN = 0,     // the file cannot be opened
    FONT_ERR_HEADER = 1,   // not a font header ("BM", the two reserved words, offsets in order)
    FONT_ERR_NOMEM = 2,    // no memory for the bitmap information
    FONT_ERR_BITMAP = 3,   // the bitmap information or pixels do not describe a drawable bitmap
    FONT_ERR_METRICS = 4,  // the file ends before its appended metrics do
    FONT_ERR_SURFACE = 5,  // the font surface cannot be created
    FONT_ERR_RENDER = 6,   // the glyphs cannot be rendered
};

struct FontAbc {
    int32_t a;  // space before the glyph
    uint32_t b; // glyph width
    int32_t c;  // space after the glyph
};

struct TextContext;

struct BitmapFont {
    TextContext *context;  // reaches the display through context->directdraw
    Surface *surface;      // the glyph grid in the ink colour, black keyed; null when the load failed
    char *filename;        // own copy
    uint8_t *info;         // bitmap information as read (header and colour table), owned
    uint32_t infosize;
    uint8_t *pixels;       // pixel block as read, owned
    uint32_t pixelsize;
    uint8_t textmetric[FONT_METRICS_BYTES];
    FontAbc abc[256];      // codes 0..31 zero
    uint8_t logfont[FONT_LOGFONT_BYTES];
    int32_t width, height;         // of the bitmap
    int32_t cellwidth, cellheight; // width >> 4, height / 14
    SurfaceRect glyphs[256];       // codes 0..31 empty
    int32_t advance[256];          // abc.b + abc.c; codes 0..31 zero
    uint32_t colour;               // ink 0x00RRGGBB
    int32_t loadcode;              // FontLoadCode
    int32_t rendered;              // 1 while the surface holds the glyphs in `colour`
};

struct TextContext {
    DirectDraw *directdraw;
    BitmapFont *current; // null until selectfont
};

// The three fonts loaded by loadfonts ("fonts/FixedSys_Bold_12.bmp", "_18",
// "_36"), and the context they draw through. Null when not loaded.
extern BitmapFont *fontslots[FONT_SLOTS];
extern TextContext *textcontext;

// Allocates a font for `context`, white ink, and loads `file` into it. The
// font is handed out in *out whether the load succeeded or not (check
// loadcode; a failed font draws nothing); *out is null only when no memory.
// Returns the font's loadcode.
int32_t loadfont(BitmapFont **out, TextContext *context, const char *file);
// Frees the font and its surface; null is ignored.
void freefont(BitmapFont *font);
// Sets the ink colour (low 24 bits of colour; the top byte is ignored) and
// renders the glyphs in it. DD_OK, or a negative DisplayResult when the
// font has no surface or it cannot be written (the old rendering stays).
int32_t setfontcolor(BitmapFont *font, uint32_t colour);
// Width in pixels of text drawn in the font: the sum over its bytes of the
// space before the glyph plus the advance. 0 for null font or text.
int32_t gettextwidth(const BitmapFont *font, const char *text);
// Line height of the font (from its metrics; 0 when it did not load them).
int32_t getfontheight(const BitmapFont *font);

// Allocates a text context for the display; *out null on no memory. Returns *out.
TextContext *createtextcontext(TextContext **out, DirectDraw *directdraw);
// Frees a context made by createtextcontext (clearing textcontext when it is
// that one); null is ignored.
void freetextcontext(TextContext *context);
// Makes `font` the context's current font.
void selectfont(TextContext *context, BitmapFont *font);
// Draws text with the current font at (x, y) of surface, byte by byte: x
// moves by the space before, the glyph is copied with its black transparent,
// x moves by the advance. A glyph that does not lie wholly inside the
// surface is skipped whole; the rest of the string is drawn. Returns 0.
int32_t drawcontexttext(TextContext *context, Surface *surface, int32_t x, int32_t y, const char *text);

// Creates textcontext and loads the three fonts into fontslots, in order.
// Called once by platform_main after the first message pump.
void loadfonts(DirectDraw *directdraw);
// Frees the three fonts and clears the slots (the program's game_shutdown calls it).
void freefonts();
// fontslots[index], null for an index outside 0..2.
BitmapFont *getfont(int32_t index);
// drawcontexttext with textcontext.
int32_t drawtext(const char *text, int32_t x, int32_t y, Surface *surface);
// Selects font into textcontext, sets its colour (0xAARRGGBB or 0xRRGGBB;
// the top byte is ignored) and draws text at (x, y) of surface.
int32_t drawtextcolor(BitmapFont *font, const char *text, int32_t x, int32_t y, Surface *surface, uint32_t colour);
