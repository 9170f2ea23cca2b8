// Readers that check a data file the way the client reads it, one function
// per format, each returning "" when the file is acceptable or the reason
// it is not. They decode into plain pixels / samples so the tests can look
// at the content too. (Once the client's own PNG decoder, bitmap, font and
// WAV loaders exist, each function is the one place to call them instead.)
#pragma once
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> FileBytes;

// The whole file (empty when unreadable).
FileBytes read_all(const std::string &path);

// PNG as the client's decoder accepts it: signature, IHDR first, a positive
// size, bit depth 1/2/4/8, colour type 0/2/3/4/6, compression and filter
// method 0, interlace 0 or 1, a line of at most 65,535 bytes. Decoded here
// for the formats the generator writes (8-bit RGB or RGBA, not interlaced)
// into 0xAARRGGBB pixels, rows top down.
std::string check_png(const FileBytes &file, int32_t *width, int32_t *height, std::vector<uint32_t> *pixels);

// A Windows bitmap as the HUD loads and draws it: file and info headers,
// one plane, 24 bits per pixel, uncompressed, bottom-up rows padded to 4
// bytes. Pixels as 0x00RRGGBB, rows top down (black is the transparent key).
std::string check_bmp(const FileBytes &file, int32_t *width, int32_t *height, std::vector<uint32_t> *pixels);

// A bitmap font file as the client's font loader reads it.
struct FontInfo {
    int32_t width, height;     // of the glyph bitmap
    int32_t cell_w, cell_h;    // width >> 4, height / 14
    int32_t line_height;       // tmHeight
    uint32_t background, ink;  // colour table entries 0 and 1
    int32_t abc[256][3];       // codes 32..255 from the file, the rest 0
    std::vector<uint8_t> mask; // width * height, 1 where a pixel has the ink entry, rows top down
};
std::string check_font(const FileBytes &file, FontInfo *font);

// A WAV file as the sound loader reads it: RIFF header, at most 16 chunk
// headers up to "data", a 16-byte (or longer) "fmt " chunk before it, PCM
// mono 16-bit (a stereo sound cannot be placed in 3-D).
std::string check_wav(const FileBytes &file, int32_t *rate, std::vector<int16_t> *samples);
