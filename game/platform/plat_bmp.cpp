// Windows bitmap decoding for pictures and fonts.
#include "platform/plat_bmp.h"

#include <cstring>

#include "common/byteio.h"

int bmp_parse_info(const uint8_t *info, size_t infosize, size_t pixelsize, int32_t maxside, BmpInfo *out)
{
    std::memset(out, 0, sizeof *out);
    if (!info || infosize < BMP_INFO_HEADER) return 0;
    const uint32_t headersize = le_get_u32(info);
    const int32_t width = le_get_i32(info + 4);
    const int32_t height = le_get_i32(info + 8);
    const uint16_t bpp = le_get_u16(info + 14);
    const uint32_t compression = le_get_u32(info + 16);
    const uint32_t used = le_get_u32(info + 32);
    if (headersize < BMP_INFO_HEADER || headersize > infosize) return 0;
    if (width < 1 || width > maxside || height == 0 || height < -maxside || height > maxside) return 0;
    if (compression != 0) return 0;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return 0;
    out->width = width;
    out->height = height < 0 ? -height : height;
    out->topdown = height < 0;
    out->bpp = bpp;
    out->rowbytes = (uint32_t)(((uint64_t)width * bpp + 31) / 32 * 4);
    if ((uint64_t)out->rowbytes * (uint64_t)out->height > pixelsize) return 0;
    if (bpp <= 8) {
        uint32_t count = used ? used : 1u << bpp;
        if (count > (1u << bpp)) count = 1u << bpp;
        if ((uint64_t)count * 4 > infosize - headersize) return 0;
        out->colours = (int32_t)count;
        for (uint32_t i = 0; i < count; i++) out->palette[i] = le_get_u32(info + headersize + 4 * i) & 0xFFFFFFu;
    }
    return 1;
}

void bmp_decode(const BmpInfo *bi, const uint8_t *pixels, uint8_t *out, int32_t outpitch, int useink, uint32_t ink)
{
    uint32_t palette[256];
    std::memcpy(palette, bi->palette, sizeof palette);
    if (useink) palette[1] = ink & 0xFFFFFFu;
    for (int32_t y = 0; y < bi->height; y++) {
        const int32_t stored = bi->topdown ? y : bi->height - 1 - y;
        const uint8_t *row = pixels + (size_t)stored * bi->rowbytes;
        uint8_t *dst = out + (size_t)y * (size_t)outpitch;
        for (int32_t x = 0; x < bi->width; x++) {
            uint32_t c;
            switch (bi->bpp) {
            case 1: c = palette[(row[x >> 3] >> (7 - (x & 7))) & 1]; break;
            case 4: c = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
            case 8: c = palette[row[x]]; break;
            case 24: c = (uint32_t)row[3 * x] | (uint32_t)row[3 * x + 1] << 8 | (uint32_t)row[3 * x + 2] << 16; break;
            default: c = le_get_u32(row + 4 * (size_t)x) & 0xFFFFFFu; break;
            }
            le_put_u32(dst + 4 * (size_t)x, c);
        }
    }
}
