// A generated data file loaded the way the client loads it: through the
// renderer's PNG decoder and the platform layer's bitmap, font and WAV
// readers. Each check returns "" when the file loads, else why it did not
// (with the loader's refusal code), and hands out what was loaded so the
// tests can look at the content. Paths are relative to the working folder,
// which is the ready-to-run folder, as the client's are.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct BitmapFont;

// The whole file (empty when unreadable).
std::vector<uint8_t> read_all(const std::string &path);

// Pixels, rows top down.
struct Picture {
    int32_t w = 0, h = 0;
    std::vector<uint32_t> px;
    uint32_t at(int32_t x, int32_t y) const { return px[(size_t)y * w + x]; }
};

// A PNG as the client decodes it: loadpngfile at width x height, pixels
// 0xAARRGGBB. The decoder crops or pads a picture of another size without a
// word, so the size in the file's header must be width x height too.
std::string check_png(const char *path, int32_t width, int32_t height, Picture *out);

// A Windows bitmap as the HUD loads it (loadbitmap): pixels 0x00RRGGBB.
std::string check_bmp(const char *path, Picture *out);

// "" when the platform layer loaded the font, else its refusal code.
std::string check_font(const BitmapFont *font);
// The font's glyph grid as its surface holds it (rendered in the font's
// colour): per pixel 1 for that colour, 0 for black (the transparent key), 2
// for anything else.
std::vector<uint8_t> font_ink(const BitmapFont *font);

// A sound as the platform layer reads it (wav_load_file), which must also be
// mono 16-bit PCM: the reader plays stereo and 8-bit too, but a stereo
// sound cannot be placed in 3-D.
struct Sound {
    int32_t rate = 0;
    std::vector<int16_t> s;
};
std::string check_wav(const char *path, Sound *out);
