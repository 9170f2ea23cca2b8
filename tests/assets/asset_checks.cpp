// The client's data files through the client's own loaders.
#include "asset_checks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ag_formats.h"
#include "common/byteio.h"
#include "platform/plat_bitmap.h"
#include "platform/plat_font.h"
#include "platform/plat_wav.h"
#include "renderer/vox_png.h"

std::vector<uint8_t> read_all(const std::string &path) { return ag_read_file(path.c_str()); }

static std::string refused(const char *what, int code)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s (code %d)", what, code);
    return text;
}

static uint32_t be32(const uint8_t *p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }

std::string check_png(const char *path, int32_t width, int32_t height, Picture *out)
{
    *out = Picture{};
    std::vector<uint8_t> f = read_all(path);
    if (f.size() < 24 || std::memcmp(&f[12], "IHDR", 4) != 0) return "no PNG header";
    if ((int32_t)be32(&f[16]) != width || (int32_t)be32(&f[20]) != height) return "not the size the client asks for";
    PngImage *img = nullptr;
    loadpngfile(path, &img, width, height);
    if (!img) {
        // The same decoding again, for the reason.
        std::vector<uint32_t> scratch((size_t)width * height);
        decodepng(f.data(), f.size(), scratch.data(), 4 * width, width, height);
        static const char *const why[] = {"ok",           "bad call",          "no header",        "bad header",
                                          "line too long", "no palette",        "palette too big",  "chunk past end",
                                          "no image data", "bad zlib stream",   "bad filter",       "image data short"};
        int e = vox_png_error();
        return refused(e >= 0 && e < (int)(sizeof why / sizeof why[0]) ? why[e] : "decoder refused", e);
    }
    out->w = width;
    out->h = height;
    out->px.assign(img, img + (size_t)width * height);
    std::free(img);
    return "";
}

std::string check_bmp(const char *path, Picture *out)
{
    *out = Picture{};
    Bitmap *b = loadbitmap(path);
    if (!b) return "loadbitmap refused it";
    out->w = b->width;
    out->h = b->height;
    out->px.assign(b->pixels, b->pixels + (size_t)b->width * b->height);
    freebitmap(b);
    return "";
}

std::string check_font(const BitmapFont *font)
{
    if (!font) return "no font";
    static const char *const why[] = {"cannot be opened",   "not a font header",       "no memory",
                                      "bitmap not drawable", "metrics missing or short", "no surface",
                                      "cannot render"};
    int code = font->loadcode;
    if (code == FONT_LOADED) return "";
    return refused(code >= 0 && code < (int)(sizeof why / sizeof why[0]) ? why[code] : "refused", code);
}

std::vector<uint8_t> font_ink(const BitmapFont *font)
{
    const Surface *s = font->surface;
    std::vector<uint8_t> ink((size_t)s->width * s->height);
    for (int32_t y = 0; y < s->height; y++)
        for (int32_t x = 0; x < s->width; x++) {
            const uint32_t px = le_get_u32(s->pixels + (size_t)y * s->pitch + 4 * (size_t)x) & 0xFFFFFF;
            ink[(size_t)y * s->width + x] = px == 0 ? 0 : px == font->colour ? 1 : 2;
        }
    return ink;
}

std::string check_wav(const char *path, Sound *out)
{
    *out = Sound{};
    uint8_t *bytes = nullptr;
    size_t size = 0;
    WavSound w;
    int code = wav_load_file(path, &bytes, &size, &w);
    if (code != WAV_OK) return refused("the WAV reader refused it", code);
    std::string why;
    if (w.format.formattag != 1 || w.format.channels != 1 || w.format.bitspersample != 16)
        why = "not mono 16-bit PCM";
    else if (w.format.blockalign != 2 || w.format.bytespersec != 2 * w.format.samplerate)
        why = "block align or byte rate do not match mono 16-bit";
    out->rate = (int32_t)w.format.samplerate;
    for (uint32_t i = 0; why.empty() && i + 1 < w.bytes; i += 2) out->s.push_back(le_get_i16(w.samples + i));
    std::free(bytes);
    return why;
}
