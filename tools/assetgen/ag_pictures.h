// The client's pictures: PNG files (splash, scope overlays, crosshair,
// digit strip, white tile) and the Windows bitmaps of the HUD and map
// (black is their transparent colour; grey pixels take the colour they are
// drawn with, other colours stay as they are).
#pragma once
#include <cstdint>

#include "ag_canvas.h"
#include "ag_formats.h"

struct PictureDesc {
    const char *file;        // below the output folder; ".png" or ".bmp"
    int32_t w, h;            // the size the client asks for
    void (*draw)(Canvas *c, const char *ttf_path);
};

extern const PictureDesc picture_descs[];
extern const int picture_desc_count;

// Draws a picture and encodes it as its file's format; empty on failure.
Bytes picture_build(const PictureDesc *desc, const char *ttf_path);
