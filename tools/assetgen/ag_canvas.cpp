// Canvas drawing with coverage antialiasing.
#include "ag_canvas.h"

#include <cmath>

void canvas_init(Canvas *c, int32_t w, int32_t h, uint32_t fill)
{
    c->w = w;
    c->h = h;
    c->px.assign((size_t)w * h, fill);
}

void canvas_blend(Canvas *c, int32_t x, int32_t y, uint32_t colour, float coverage)
{
    if (x < 0 || y < 0 || x >= c->w || y >= c->h || coverage <= 0.0f) return;
    float a = coverage * (float)(colour >> 24) / 255.0f;
    if (a > 1.0f) a = 1.0f;
    uint32_t &d = c->px[(size_t)y * c->w + x];
    float da = (float)(d >> 24) / 255.0f;
    float oa = a + da * (1.0f - a);
    uint32_t out = (uint32_t)std::lround(oa * 255.0f) << 24;
    for (int s = 0; s < 24; s += 8) {
        float sc = (float)((colour >> s) & 0xFF), dc = (float)((d >> s) & 0xFF);
        float v = oa > 0.0f ? (sc * a + dc * da * (1.0f - a)) / oa : 0.0f;
        out |= (uint32_t)std::lround(v) << s;
    }
    d = out;
}

void canvas_fill_rect(Canvas *c, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour)
{
    for (int32_t j = y; j < y + h; j++)
        for (int32_t i = x; i < x + w; i++) canvas_blend(c, i, j, colour, 1.0f);
}

void canvas_set_rect(Canvas *c, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour)
{
    for (int32_t j = y < 0 ? 0 : y; j < y + h && j < c->h; j++)
        for (int32_t i = x < 0 ? 0 : x; i < x + w && i < c->w; i++) c->px[(size_t)j * c->w + i] = colour;
}

// Fraction of a pixel's 16 sample points inside a shape. A pixel whose
// corners and centre all agree is taken as wholly in or out (the shapes
// here are never thinner than a pixel).
template <typename Inside> static float coverage(int32_t x, int32_t y, Inside inside)
{
    bool c = inside(x + 0.5f, y + 0.5f);
    if (inside((float)x, (float)y) == c && inside(x + 1.0f, (float)y) == c && inside((float)x, y + 1.0f) == c &&
        inside(x + 1.0f, y + 1.0f) == c)
        return c ? 1.0f : 0.0f;
    int n = 0;
    for (int sy = 0; sy < 4; sy++)
        for (int sx = 0; sx < 4; sx++)
            if (inside(x + (sx + 0.5f) / 4.0f, y + (sy + 0.5f) / 4.0f)) n++;
    return n / 16.0f;
}

template <typename Inside>
static void fill_shape(Canvas *c, float x0, float y0, float x1, float y1, uint32_t colour, Inside inside)
{
    for (int32_t y = (int32_t)std::floor(y0); y <= (int32_t)std::ceil(y1); y++)
        for (int32_t x = (int32_t)std::floor(x0); x <= (int32_t)std::ceil(x1); x++)
            canvas_blend(c, x, y, colour, coverage(x, y, inside));
}

void canvas_disc(Canvas *c, float cx, float cy, float r, uint32_t colour)
{
    fill_shape(c, cx - r, cy - r, cx + r, cy + r, colour,
               [&](float x, float y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; });
}

void canvas_ring(Canvas *c, float cx, float cy, float r_in, float r_out, uint32_t colour)
{
    fill_shape(c, cx - r_out, cy - r_out, cx + r_out, cy + r_out, colour, [&](float x, float y) {
        float d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        return d2 <= r_out * r_out && d2 >= r_in * r_in;
    });
}

void canvas_line(Canvas *c, float x0, float y0, float x1, float y1, float width, uint32_t colour)
{
    float h = width * 0.5f;
    float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    fill_shape(c, std::fmin(x0, x1) - h, std::fmin(y0, y1) - h, std::fmax(x0, x1) + h, std::fmax(y0, y1) + h, colour,
               [&](float x, float y) {
                   float t = len2 > 0.0f ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0.0f;
                   if (t < 0.0f || t > 1.0f) return false; // square ends, exactly the segment's length
                   float px = x0 + t * dx - x, py = y0 + t * dy - y;
                   return px * px + py * py <= h * h;
               });
}

void canvas_clear_disc(Canvas *c, float cx, float cy, float r)
{
    for (int32_t y = (int32_t)std::floor(cy - r); y <= (int32_t)std::ceil(cy + r); y++)
        for (int32_t x = (int32_t)std::floor(cx - r); x <= (int32_t)std::ceil(cx + r); x++) {
            if (x < 0 || y < 0 || x >= c->w || y >= c->h) continue;
            float cov = coverage(x, y, [&](float px, float py) {
                return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
            });
            if (cov <= 0.0f) continue;
            uint32_t &d = c->px[(size_t)y * c->w + x];
            uint32_t a = (uint32_t)std::lround((float)(d >> 24) * (1.0f - cov));
            d = a ? (a << 24) | (d & 0xFFFFFF) : 0;
        }
}

void canvas_art(Canvas *c, int32_t x, int32_t y, int32_t scale, const char *const *rows, int32_t row_count,
                const ArtKey *keys, int32_t key_count)
{
    for (int32_t j = 0; j < row_count; j++)
        for (int32_t i = 0; rows[j][i]; i++)
            for (int32_t k = 0; k < key_count; k++)
                if (keys[k].ch == rows[j][i]) canvas_set_rect(c, x + i * scale, y + j * scale, scale, scale, keys[k].colour);
}

void canvas_paste(Canvas *c, const Canvas *src, int32_t x, int32_t y, int32_t up, int32_t down)
{
    for (int32_t j = 0; j < src->h * up / down; j++)
        for (int32_t i = 0; i < src->w * up / down; i++) {
            uint32_t p = src->px[(size_t)(j * down / up) * src->w + (size_t)(i * down / up)];
            canvas_blend(c, x + i, y + j, p, 1.0f);
        }
}
