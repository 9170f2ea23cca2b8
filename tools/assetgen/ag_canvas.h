// A picture in memory (0xAARRGGBB, rows top to bottom) and the few drawing
// operations the generated pictures and the contact sheet need. Shapes are
// antialiased by coverage (4 x 4 samples per pixel) and blended "over".
#pragma once
#include <cstdint>
#include <vector>

struct Canvas {
    int32_t w, h;
    std::vector<uint32_t> px;
};

void canvas_init(Canvas *c, int32_t w, int32_t h, uint32_t fill);
// Blends colour over the pixel with extra coverage 0..1 (times its alpha).
void canvas_blend(Canvas *c, int32_t x, int32_t y, uint32_t colour, float coverage);
void canvas_fill_rect(Canvas *c, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
// Replaces pixels (no blending), e.g. to punch a transparent hole.
void canvas_set_rect(Canvas *c, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);

// Coverage shapes, in pixel coordinates (pixel centres at +0.5).
void canvas_disc(Canvas *c, float cx, float cy, float r, uint32_t colour);
void canvas_ring(Canvas *c, float cx, float cy, float r_in, float r_out, uint32_t colour);
void canvas_line(Canvas *c, float x0, float y0, float x1, float y1, float width, uint32_t colour);
// Sets every pixel's alpha to 0 inside the disc (edge antialiased), keeping
// the pixels outside; RGB of fully clear pixels becomes 0.
void canvas_clear_disc(Canvas *c, float cx, float cy, float r);

// Draws an ASCII-art picture: rows of characters, each looked up in keys
// ("c" -> colour pairs); characters not in keys are left unchanged. Each
// character covers scale x scale pixels at (x, y).
struct ArtKey {
    char ch;
    uint32_t colour;
};
void canvas_art(Canvas *c, int32_t x, int32_t y, int32_t scale, const char *const *rows, int32_t row_count,
                const ArtKey *keys, int32_t key_count);

// Copies src onto c at (x, y), blending by src's alpha; zoom by integer
// factors (up > 1 enlarges, down > 1 takes every down-th pixel).
void canvas_paste(Canvas *c, const Canvas *src, int32_t x, int32_t y, int32_t up, int32_t down);
