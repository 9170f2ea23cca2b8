#include "client/game_workbuf.h"

#include <cstdlib>

#include "common/map_edit.h"
#include "renderer/vox_start.h"

RenderWorkBuffer render_work_buffer;

size_t game_work_buffer_bytes(int32_t xres, int32_t yres)
{
    size_t x = xres > 0 ? (size_t)xres : 0, y = yres > 0 ? (size_t)yres : 0;
    size_t bytes = (((x * y * 27) >> 1) + 7) & ~(size_t)7;
    // At small frames the renderer's share is less than what an edit needs.
    return bytes < MAP_EDIT_SCRATCH_BYTES ? MAP_EDIT_SCRATCH_BYTES : bytes;
}

void game_work_buffer_align()
{
    RenderWorkBuffer &w = render_work_buffer;
    w.start = w.block ? (uint8_t *)(((uintptr_t)w.block + 7) & ~(uintptr_t)7) : nullptr;
}

int game_work_buffer_alloc(int32_t xres, int32_t yres)
{
    game_work_buffer_free();
    RenderWorkBuffer &w = render_work_buffer;
    size_t bytes = game_work_buffer_bytes(xres, yres);
    w.block = std::malloc(bytes + 8);
    if (!w.block) return 0;
    w.bytes = bytes;
    game_work_buffer_align();
    map_edit_set_scratch(w.start, w.bytes);
    voxsetworkbuffer(w.start, w.bytes);
    return 1;
}

void game_work_buffer_free()
{
    RenderWorkBuffer &w = render_work_buffer;
    if (!w.block) return;
    map_edit_set_scratch(nullptr, 0);
    voxsetworkbuffer(nullptr, 0);
    std::free(w.block);
    w = RenderWorkBuffer{};
}
