// Bitmaps: loading Windows bitmap files, turning and tinting pictures, and
// copying them onto surfaces.
#include "platform/plat_bitmap.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/byteio.h"
#include "platform/plat_bmp.h"
#include "platform/plat_file.h"
#include "platform/plat_main.h"

#define BITMAP_MAX_FILE (256u << 20)

Bitmap *createbitmap(int32_t width, int32_t height)
{
    if (width < 1 || height < 1 || width > BITMAP_MAX_SIDE || height > BITMAP_MAX_SIDE) return nullptr;
    Bitmap *b = (Bitmap *)std::malloc(sizeof(Bitmap));
    uint32_t *pixels = (uint32_t *)std::calloc((size_t)width * (size_t)height, 4);
    if (!b || !pixels) {
        std::free(b);
        std::free(pixels);
        return nullptr;
    }
    *b = Bitmap{pixels, width, height};
    return b;
}

void freebitmap(Bitmap *bitmap)
{
    if (!bitmap) return;
    std::free(bitmap->pixels);
    std::free(bitmap);
}

Bitmap *loadbitmap(const char *file)
{
    uint8_t *data;
    size_t size;
    if (!plat_read_file(file, BITMAP_MAX_FILE, &data, &size)) return nullptr;
    Bitmap *b = nullptr;
    BmpInfo bi;
    if (size >= BMP_FILE_HEADER && data[0] == 'B' && data[1] == 'M') {
        const uint32_t offbits = le_get_u32(data + 10);
        if (offbits >= BMP_FILE_HEADER && offbits <= size &&
            bmp_parse_info(data + BMP_FILE_HEADER, offbits - BMP_FILE_HEADER, size - offbits, BITMAP_MAX_SIDE, &bi) &&
            (b = createbitmap(bi.width, bi.height)) != nullptr)
            bmp_decode(&bi, data + offbits, (uint8_t *)b->pixels, bi.width * 4, 0, 0);
    }
    std::free(data);
    return b;
}

Bitmap *rotatebitmap(const Bitmap *source, float angle, uint32_t tint, uint32_t background)
{
    if (!source || !source->pixels) return nullptr;
    const uint32_t bgr = (background >> 16) & 255, bgg = (background >> 8) & 255, bgb = background & 255;
    const uint32_t tr = (tint >> 16) & 255, tg = (tint >> 8) & 255, tb = tint & 255;
    const int32_t w = source->width, h = source->height;
    // No turn is sized from an angle that is not a number: it shows upright.
    if (!std::isfinite(angle)) angle = 0.0f;

    // Sampling: result pixel (i, j) reads source (sx, sy). The corner turn
    // and its inverse below are exact for the square pictures the HUD turns.
    const bool turned = angle != 0.0f;
    const float cx = (float)w / 2.0f, cy = (float)h / 2.0f;
    const float K = std::cos(angle), S = std::sin(angle), D = K * K + S * S;
    int32_t minx = 0, miny = 0, rw = w, rh = h;
    if (turned) {
        const float corners[4][2] = {{0, 0}, {(float)w, 0}, {(float)w, (float)h}, {0, (float)h}};
        float lox = 0, hix = 0, loy = 0, hiy = 0;
        for (int c = 0; c < 4; c++) {
            const float x = corners[c][0], y = corners[c][1];
            const float tx = cx + (x - cx) * K - (y - cy) * S;
            const float ty = cy + (y - cy) * K + (x - cx) * S;
            if (c == 0 || tx < lox) lox = tx;
            if (c == 0 || tx > hix) hix = tx;
            if (c == 0 || ty < loy) loy = ty;
            if (c == 0 || ty > hiy) hiy = ty;
        }
        minx = (int32_t)std::floor(lox);
        miny = (int32_t)std::floor(loy);
        rw = (int32_t)std::ceil(hix - (float)minx);
        rh = (int32_t)std::ceil(hiy - (float)miny);
    }
    Bitmap *out = createbitmap(rw, rh);
    if (!out) return nullptr;

    for (int32_t j = 0; j < rh; j++) {
        for (int32_t i = 0; i < rw; i++) {
            int32_t sx = i, sy = j;
            if (turned) {
                const float X = (float)(i + minx), Y = (float)(j + miny);
                sx = (int32_t)(((X + (K - 1.0f) * cx) * K + (Y + (S - 1.0f) * cy) * S) / D);
                sy = (int32_t)(cy + (cx - X) * S + K * ((Y - cy) + (cy - cx) * S));
            }
            uint32_t *dst = &out->pixels[(size_t)j * (size_t)rw + (size_t)i];
            if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                *dst = (*dst & 0xFF000000u) | (bgr << 16) | (bgg << 8) | bgb;
                continue;
            }
            const uint32_t p = source->pixels[(size_t)sy * (size_t)w + (size_t)sx];
            const uint32_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            if (r == g && g == b && r != bgr && r != bgg && r != bgb)
                *dst = (*dst & 0xFF000000u) | (tr * r / 255) << 16 | (tg * r / 255) << 8 | (tb * r / 255);
            else
                *dst = p;
        }
    }
    return out;
}

uint32_t *getbitmappixels(const Bitmap *bitmap, int32_t width, int32_t height)
{
    if (!bitmap || !bitmap->pixels || width != bitmap->width || height != bitmap->height) return nullptr;
    const size_t bytes = (size_t)width * (size_t)height * 4;
    uint32_t *block = (uint32_t *)std::malloc(bytes);
    if (block) std::memcpy(block, bitmap->pixels, bytes);
    return block;
}

int32_t bitmaptosurface(Surface *surface, int32_t x, int32_t y, const Bitmap *bitmap)
{
    if (!surface || !surface->pixels || !bitmap || !bitmap->pixels) return DDERR_INVALIDPARAMS;
    if (surface->locked) return DDERR_SURFACEBUSY;
    for (int32_t j = 0; j < bitmap->height; j++) {
        const int32_t ty = y + j;
        if (ty < 0 || ty >= surface->height) continue;
        const int32_t i0 = x < 0 ? -x : 0;
        const int32_t i1 = bitmap->width < surface->width - x ? bitmap->width : surface->width - x;
        if (i1 <= i0) continue;
        uint8_t *out = surface->pixels + (size_t)ty * (size_t)surface->pitch + 4 * (size_t)(x + i0);
        const uint32_t *in = bitmap->pixels + (size_t)j * (size_t)bitmap->width + i0;
        for (int32_t i = 0; i < i1 - i0; i++) le_put_u32(out + 4 * (size_t)i, in[i]);
    }
    return DD_OK;
}

Surface *loadbitmapsurface(DirectDraw *dd, const char *file)
{
    Bitmap *b = dd ? loadbitmap(file) : nullptr;
    if (!b) return nullptr;
    Surface *s = createsurface(dd, b->width, b->height);
    if (s) bitmaptosurface(s, 0, 0, b);
    freebitmap(b);
    return s;
}

static const struct {
    int32_t code;
    const char *name;
} ddraw_names[] = {
    {DD_OK, "DD_OK"},
    {DDERR_SURFACELOST, "DDERR_SURFACELOST"},
    {DDERR_INVALIDRECT, "DDERR_INVALIDRECT"},
    {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY"},
    {DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
    {DDERR_OUTOFMEMORY, "DDERR_OUTOFMEMORY"},
    {DDERR_CANTLOCKSURFACE, "DDERR_CANTLOCKSURFACE"},
    {DDERR_WASSTILLDRAWING, "DDERR_WASSTILLDRAWING"},
    {DDERR_NODIRECTDRAW, "DDERR_NODIRECTDRAW"},
};

const char *ddrawerrorname(int32_t result)
{
    for (const auto &n : ddraw_names)
        if (n.code == result) return n.name;
    return "Unknown Error";
}

void showddrawerror(int32_t result)
{
    messagebox(ddrawerrorname(result), "Error", 1);
    postmessage(WM_QUIT, 0, 0);
}
