// PNG writing for screenshots of the frame: 8-bit RGB, one zlib-compressed
// IDAT. The top byte of each pixel is dropped.
#pragma once
#include <cstdint>

// Writes width x height pixels 0x00RRGGBB (rows `pitch` bytes apart) to
// path. 1 written, 0 on a bad size, no memory or a write failure.
int png_write_file(const char *path, const uint8_t *pixels, int32_t pitch, int32_t width, int32_t height);
