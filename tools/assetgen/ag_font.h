// The client's bitmap fonts: a monospace bold typeface rendered through
// FreeType into the font file layout the client reads (a 1-bit Windows
// bitmap with a 16 x 14 grid of glyph cells for codes 32..255, the reserved
// words 0x4444 and 0x4646, then the text metrics, 224 ABC width records
// and the logical font record).
#pragma once
#include <cstdint>

#include "ag_formats.h"

struct FontDesc {
    const char *file;   // below the output folder
    int32_t height;     // line height in pixels (tmHeight, the cell height)
};

extern const FontDesc font_descs[];
extern const int font_desc_count;

// Renders one font from the typeface at ttf_path. Codes 128..255 are the
// Windows-1252 characters (the language files are Latin-1). An empty
// result when the typeface cannot be loaded or has no size that fits.
Bytes font_build(const FontDesc *desc, const char *ttf_path);
