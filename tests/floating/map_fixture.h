// Small built worlds and whole-store checks for the floating-block tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/map_edit.h"
#include "common/map_store.h"

// Flat ground: every column solid from z 60 down.
void fixture_flat();
// Makes [z0, z1) solid over the box x0..x1, y0..y1 (inclusive) in one batch.
void fixture_fill(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t z0, int32_t z1);
// Removes one block through the game's removal (collects seeds).
void fixture_remove(int32_t x, int32_t y, int32_t z);
// Every column well formed and the image valid, the bitmap marking exactly the
// columns' words and the sentinel, and map_check's colour rule (0 none, 1 no
// required colour missing). Empty string when all hold, else what failed.
std::string fixture_check_store(int32_t colour_rule = 1);
// The whole map as the file image (columns back to back).
std::vector<uint8_t> fixture_image();
// Solid voxels in the box (inclusive).
int32_t fixture_count_solid(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1);
// FNV-1a 64 of a byte string.
uint64_t fixture_fnv1a(const std::vector<uint8_t> &bytes);
