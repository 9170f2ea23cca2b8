// Windows bitmap decoding shared by the picture loader and the fonts: the
// bitmap information (BITMAPINFOHEADER and colour table) and uncompressed
// pixels of 1, 4, 8, 24 or 32 bits. Internal to the layer.
#pragma once
#include <cstddef>
#include <cstdint>

#define BMP_FILE_HEADER 14
#define BMP_INFO_HEADER 40

struct BmpInfo {
    int32_t width, height; // height positive; topdown says the row order
    int32_t topdown;
    int32_t bpp;
    uint32_t rowbytes;     // bytes per stored row (4-byte aligned)
    int32_t colours;       // entries in palette
    uint32_t palette[256]; // 0x00RRGGBB; entries past `colours` are black
};

// Reads the bitmap information and checks that `pixelsize` bytes of pixels
// hold the whole picture. 1 drawable; 0 when the header is short, the size is
// not 1..maxside on each side, the format is not one of the uncompressed
// ones, the colour table runs past the information or the pixels are short.
int bmp_parse_info(const uint8_t *info, size_t infosize, size_t pixelsize, int32_t maxside, BmpInfo *out);
// Writes the picture as 0x00RRGGBB words into out (rows from the top,
// outpitch bytes apart); colour-table entry 1 is drawn as `ink` when
// useink is 1 (the fonts' ink colour).
void bmp_decode(const BmpInfo *bi, const uint8_t *pixels, uint8_t *out, int32_t outpitch, int useink, uint32_t ink);
