// Byte images of the generated files: PNG pictures, 24-bit Windows bitmaps,
// mono 16-bit WAV sounds, and writing a file below the output folder.
#pragma once
#include <cstdint>
#include <vector>

typedef std::vector<uint8_t> Bytes;

// A PNG of width x height 0xAARRGGBB pixels (rows top to bottom): 8-bit RGBA
// (colour type 6) when with_alpha, else 8-bit RGB (type 2); not interlaced,
// every row with filter 0, one zlib stream at level 9. The same pixels always
// give the same bytes.
Bytes png_encode(const uint32_t *pixels, int32_t width, int32_t height, int with_alpha);

// A Windows bitmap, 24 bits per pixel, uncompressed, rows stored bottom-up
// and padded to 4 bytes, from 0x00RRGGBB pixels (rows top to bottom; the top
// byte is ignored).
Bytes bmp24_encode(const uint32_t *pixels, int32_t width, int32_t height);

// A RIFF/WAVE file: one "fmt " chunk of 16 bytes (PCM, 1 channel, 16 bits)
// and one "data" chunk holding the samples.
Bytes wav_encode(const int16_t *samples, int32_t count, int32_t rate);

// The whole file; empty when it cannot be read.
Bytes ag_read_file(const char *path);

// Writes bytes to root/relpath, creating the folders of relpath. 1 written,
// 0 after printing why on stderr.
int ag_write_file(const char *root, const char *relpath, const Bytes &bytes);
