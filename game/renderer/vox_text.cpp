// 6x8 text into the bound frame, clipped to it.
#include "renderer/vox_text.h"

#include <cstring>

#include "renderer/vox_sprite.h"
#include "renderer/vox_start.h"

void printtext6x8(int32_t x, int32_t y, uint32_t colour, const char *text)
{
    vox_sprite_list_end();
    if (!text || !vox_frame_bound()) return;
    const FrameBufferDesc &f = vox_frame;
    const int64_t len = (int64_t)std::strlen(text);
    for (int32_t r = 0; r < 8; r++) {
        const int64_t py = (int64_t)y + r;
        if (py < 0 || py >= f.yres) continue;
        uint8_t *line = f.pixels + py * (int64_t)f.pitchcopy;
        const uint8_t mask = (uint8_t)(1u << r);
        // Only the characters that can reach the frame's columns.
        int64_t c0 = x < 0 ? (-(int64_t)x) / 6 : 0;
        int64_t c1 = ((int64_t)f.xres - x + 5) / 6;
        if (c1 > len) c1 = len;
        for (int64_t c = c0; c < c1; c++) {
            const uint8_t *g = &Font6x8[(uint8_t)text[c] * 6];
            for (int k = 0; k < 6; k++) {
                if (!(g[k] & mask)) continue;
                const int64_t px = (int64_t)x + 6 * c + k;
                if (px < 0 || px >= f.xres) continue;
                std::memcpy(line + 4 * px, &colour, 4);
            }
        }
    }
}
