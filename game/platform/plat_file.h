// Whole-file reads for the layer's loaders (WAV, bitmaps, fonts).
#pragma once
#include <cstddef>
#include <cstdint>

// Reads the file into a new malloc'd block (*data, *size; the caller frees).
// 1 read; 0 when it cannot be opened or read, is larger than max bytes, or
// memory runs out (*data null then). An empty file gives a 1-byte block, size 0.
int plat_read_file(const char *path, size_t max, uint8_t **data, size_t *size);
