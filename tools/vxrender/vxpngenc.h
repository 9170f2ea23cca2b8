// PNG files made to order for the decoder's tests and benchmark: any colour
// type and bit depth (the header is written as given, valid or not), either
// interlace, a chosen row filter, stored / fixed / dynamic deflate blocks
// (zlib) and the image data split into IDAT chunks of a chosen size.
#pragma once
#include <cstdint>
#include <vector>

enum VxDeflate {
    VXDEFLATE_STORED,  // level 0
    VXDEFLATE_FIXED,   // fixed Huffman codes
    VXDEFLATE_DEFAULT, // zlib's default (dynamic codes on all but tiny data)
};

struct VxPngOptions {
    int32_t ctype = 6, depth = 8, interlace = 0;
    int32_t filter = 0; // 0..4 on every line; -1: line n (of each pass) uses n mod 5
    int32_t deflate = VXDEFLATE_DEFAULT;
    int32_t idat_bytes = 0;    // bytes per IDAT chunk, 0: one chunk
    std::vector<uint8_t> plte; // RGB triples; written when not empty
    std::vector<uint8_t> trns; // written when not empty
};

// Bits per pixel: samples of the colour type x depth.
int32_t vxpng_pixel_bits(int32_t ctype, int32_t depth);
// Bytes of one packed line of w pixels.
int32_t vxpng_line_bytes(int32_t ctype, int32_t depth, int32_t w);

// The PNG file of a w x h image whose packed lines (vxpng_line_bytes each,
// samples high bits first) are in `raw`, top to bottom. The filters step back
// one byte at depths below 8, else one pixel.
std::vector<uint8_t> vxpng_encode(const uint8_t *raw, int32_t w, int32_t h, const VxPngOptions &o);

// Appends one chunk (length, type, data, CRC) to `file`.
void vxpng_chunk(std::vector<uint8_t> *file, const char *type, const uint8_t *data, uint32_t len);
// The 8-byte signature followed by an IHDR chunk.
std::vector<uint8_t> vxpng_start(uint32_t w, uint32_t h, int32_t depth, int32_t ctype, int32_t interlace);
