// Built-in 6x8 text written straight into the bound frame.
#pragma once
#include <cstdint>

// 256 glyphs of 6 bytes: byte k is column k of the cell, bit r row r (top
// first); a set bit is a foreground pixel. Read-only.
extern const uint8_t *const Font6x8;

// Writes `text` (zero-terminated; null draws nothing) with its first cell's
// top-left corner at pixel (x, y), character i in columns x + 6 i .. x + 6 i + 5,
// in `colour` (0xAARRGGBB, written unchanged). No background, no blending,
// the z-buffer untouched. Pixels outside the bound frame are skipped; nothing
// is drawn while no frame is bound.
void printtext6x8(int32_t x, int32_t y, uint32_t colour, const char *text);
