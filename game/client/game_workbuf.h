// The per-frame work buffer: the renderer's ray samples while it draws the
// world and the map editor's scratch rows while the map is edited (never both
// at once). Owned here, lent to both.
#pragma once
#include <cstddef>
#include <cstdint>

struct RenderWorkBuffer {
    void *block;     // the allocation
    uint8_t *start;  // block rounded up to 8 bytes
    size_t bytes;    // usable bytes from start
};
extern RenderWorkBuffer render_work_buffer;

// Bytes for a frame of xres x yres: (xres x yres x 27) >> 1 rounded up to 8,
// and never less than the map editor's scratch area.
size_t game_work_buffer_bytes(int32_t xres, int32_t yres);
// Allocates the buffer for the frame size and lends it to the map editor and
// the renderer. Returns 1, or 0 when the allocation failed (nothing lent).
int game_work_buffer_alloc(int32_t xres, int32_t yres);
// Rounds the start up to 8 bytes again (a reset of the game state).
void game_work_buffer_align();
// Withdraws the loans and frees the buffer; safe without one.
void game_work_buffer_free();
