// A small PNG writer on zlib: signature, IHDR, one IDAT, IEND.
#include "platform/plat_png.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

#include "common/byteio.h"

static int png_chunk(FILE *f, const char *type, const uint8_t *data, uint32_t size)
{
    uint8_t head[8];
    head[0] = (uint8_t)(size >> 24);
    head[1] = (uint8_t)(size >> 16);
    head[2] = (uint8_t)(size >> 8);
    head[3] = (uint8_t)size;
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    if (size) crc = crc32(crc, data, size);
    uint8_t tail[4] = {(uint8_t)(crc >> 24), (uint8_t)(crc >> 16), (uint8_t)(crc >> 8), (uint8_t)crc};
    return std::fwrite(head, 1, 8, f) == 8 && (size == 0 || std::fwrite(data, 1, size, f) == size) &&
           std::fwrite(tail, 1, 4, f) == 4;
}

int png_write_file(const char *path, const uint8_t *pixels, int32_t pitch, int32_t width, int32_t height)
{
    if (!path || !pixels || width <= 0 || height <= 0 || width > 16384 || height > 16384) return 0;
    const size_t rowbytes = (size_t)width * 3 + 1;
    const size_t rawsize = rowbytes * (size_t)height;
    uint8_t *raw = (uint8_t *)std::malloc(rawsize);
    uLongf packedsize = compressBound((uLong)rawsize);
    uint8_t *packed = (uint8_t *)std::malloc(packedsize);
    int ok = 0;
    if (raw && packed) {
        for (int32_t y = 0; y < height; y++) {
            uint8_t *out = raw + rowbytes * (size_t)y;
            const uint8_t *in = pixels + (size_t)y * (size_t)pitch;
            *out++ = 0; // filter: none
            for (int32_t x = 0; x < width; x++) {
                uint32_t p = le_get_u32(in + 4 * (size_t)x);
                *out++ = (uint8_t)(p >> 16);
                *out++ = (uint8_t)(p >> 8);
                *out++ = (uint8_t)p;
            }
        }
        if (compress2(packed, &packedsize, raw, (uLong)rawsize, 6) == Z_OK) {
            FILE *f = std::fopen(path, "wb");
            if (f) {
                static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
                uint8_t ihdr[13];
                const uint32_t w = (uint32_t)width, h = (uint32_t)height;
                const uint8_t size[8] = {(uint8_t)(w >> 24), (uint8_t)(w >> 16), (uint8_t)(w >> 8), (uint8_t)w,
                                         (uint8_t)(h >> 24), (uint8_t)(h >> 16), (uint8_t)(h >> 8), (uint8_t)h};
                std::memcpy(ihdr, size, 8);
                ihdr[8] = 8;  // bits per channel
                ihdr[9] = 2;  // colour type: RGB
                ihdr[10] = 0; // deflate
                ihdr[11] = 0; // adaptive filtering
                ihdr[12] = 0; // no interlace
                ok = std::fwrite(signature, 1, 8, f) == 8 && png_chunk(f, "IHDR", ihdr, 13) &&
                     png_chunk(f, "IDAT", packed, (uint32_t)packedsize) && png_chunk(f, "IEND", nullptr, 0);
                if (std::fclose(f) != 0) ok = 0;
            }
        }
    }
    std::free(raw);
    std::free(packed);
    return ok;
}
