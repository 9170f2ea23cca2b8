// Bitmaps: Windows bitmap files loaded into memory, and the pixel operations
// beside the fonts: turning a picture about its centre with a background
// colour and a tint for its grey pixels, reading its pixels, and copying it
// onto a surface. The HUD draws a turned, tinted picture by loading it once
// (loadbitmap), then per draw: rotatebitmap, createsurface of the result's
// size, setsurfacekey(black), bitmaptosurface, blitsurface with the key onto
// the frame surface, releasesurface and freebitmap of the turned copy.
#pragma once
#include <cstdint>

#include "platform/plat_display.h"

#define BITMAP_MAX_SIDE 8192

// A picture of width x height 32-bit pixels 0x00RRGGBB, rows from the top,
// packed (width * 4 bytes per row).
struct Bitmap {
    uint32_t *pixels;
    int32_t width, height;
};

// Loads an uncompressed Windows bitmap file (1, 4, 8, 24 or 32 bits per
// pixel, rows bottom-up or top-down). Null when the file is missing,
// malformed, larger than BITMAP_MAX_SIDE on a side, or memory runs out.
Bitmap *loadbitmap(const char *file);
// A new bitmap of width x height cleared to 0; null on a bad size or no memory.
Bitmap *createbitmap(int32_t width, int32_t height);
// Frees a bitmap; null is ignored.
void freebitmap(Bitmap *bitmap);

// Turns `source` by `angle` radians about its centre into a new bitmap large
// enough for the turned corners. Uncovered pixels get the background colour;
// a source pixel whose red, green and blue are one grey level v, v different
// from each of the background's three bytes, becomes tint * v / 255 per
// channel; any other source pixel is copied whole. Angle 0, and an angle that
// is not finite, keeps the size and only tints. Returns the new bitmap (the
// caller frees it), null for a null source or no memory.
Bitmap *rotatebitmap(const Bitmap *source, float angle, uint32_t tint, uint32_t background);
// A new malloc'd block of width x height pixels, rows from the top, copied
// from the bitmap (the caller frees it with free). Null when the bitmap is
// null, the size differs from the bitmap's, or no memory.
uint32_t *getbitmappixels(const Bitmap *bitmap, int32_t width, int32_t height);
// Copies the whole bitmap to (x, y) of the surface, clipped to the surface
// (a plain copy, no key). DD_OK, DDERR_SURFACEBUSY while the surface is
// locked, DDERR_INVALIDPARAMS for null.
int32_t bitmaptosurface(Surface *surface, int32_t x, int32_t y, const Bitmap *bitmap);
// A new surface holding the bitmap file `file` (its own size); null when the
// file does not load or there is no display.
Surface *loadbitmapsurface(DirectDraw *dd, const char *file);
// Shows the name of a DisplayResult ("DDERR_SURFACELOST" ..., "Unknown Error")
// in a box with caption "Error", then posts the quit message.
void showddrawerror(int32_t result);
// The name of a DisplayResult ("DD_OK", "DDERR_INVALIDRECT" ..., "Unknown Error").
const char *ddrawerrorname(int32_t result);
