// Pictures drawn into the bound frame: scaled about a pivot, plain copies or
// modulated by a colour and blended by their alpha. The z-buffer is not
// touched. Nothing is drawn while no frame is bound.
#pragma once
#include <cstdint>

// Pictures wider or taller than this are not drawn (keeps every fixed-point
// product of the placement inside 64 bits).
#define VOX_PICTURE_MAX 0x1000000

// Draws the w x h picture at `pic` (`bpl` bytes per line, at least 4 w) so
// that its pivot (pivx, pivy; 16.16 picture pixels) lands on screen point
// (sx, sy) (16.16), scaled by zoomx, zoomy (16.16, above 0; otherwise nothing
// is drawn). Covered screen pixels are those from the ceiling of the
// picture's left/top edge up to, not including, the ceiling of its
// right/bottom edge, clipped to the frame; each takes the source pixel under
// it (source steps 2^32 / zoom, clipped columns skipped, not squeezed).
// colour 0: plain copy of all four bytes. Otherwise each channel is scaled
// by the colour's byte (255 counts as 256), then by the scaled alpha a: a 0
// leaves the pixel, a 255 writes it whole, else blue, green and red move
// toward it by a / 256 (d + ((s - d) 16 x a 16) >> 16) and alpha becomes
// (a x a) >> 8. Offsets and zooms of any size are computed in 64 bits.
void blitpicture(const void *pic, int32_t bpl, int32_t w, int32_t h, int32_t pivx, int32_t pivy, int32_t sx, int32_t sy,
                 int32_t zoomx, int32_t zoomy, uint32_t colour);

// The same in whole pixels: bytes per line 4 w, pivot and screen point in
// pixels, zooms as factors. A zoom that is not finite or whose 16.16 value is
// not within 1..2^31 - 1 draws nothing.
void blitpicturepx(const void *pic, int32_t w, int32_t h, int32_t pivx, int32_t pivy, int32_t sx, int32_t sy,
                   float zoomx, float zoomy, uint32_t colour);
