// PNG writing for the renderer's tool and tests (libpng).
#pragma once
#include <cstdint>

// Writes a width x height frame of 0xAARRGGBB words (pitch in bytes) as an
// 8-bit RGB PNG. 1 written, 0 on failure.
int vxpng_write(const char *path, const uint8_t *pixels, int32_t pitch, int32_t width, int32_t height);
// Reads an 8-bit RGB or RGBA PNG into 0xFFRRGGBB words (width * height,
// allocated with new[]; caller deletes). 1 read, 0 on failure.
int vxpng_read(const char *path, uint32_t **pixels, int32_t *width, int32_t *height);
