// Format checks of the client's data files.
#include "asset_checks.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ag_formats.h"
#include "common/byteio.h"

FileBytes read_all(const std::string &path) { return ag_read_file(path.c_str()); }

static uint32_t be32(const uint8_t *p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }

static int paeth(int a, int b, int c)
{
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

std::string check_png(const FileBytes &f, int32_t *width, int32_t *height, std::vector<uint32_t> *pixels)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (f.size() < 8 + 25 || std::memcmp(f.data(), signature, 8) != 0) return "no PNG signature";
    size_t at = 8;
    int32_t w = 0, h = 0, depth = 0, type = -1, interlace = 0;
    FileBytes z;
    int ended = 0;
    while (at + 12 <= f.size()) {
        uint32_t len = be32(&f[at]);
        if (len > f.size() - at - 12) return "chunk runs past the end";
        const uint8_t *tag = &f[at + 4], *d = &f[at + 8];
        if (at == 8 && std::memcmp(tag, "IHDR", 4) != 0) return "IHDR is not the first chunk";
        if (std::memcmp(tag, "IHDR", 4) == 0) {
            if (len != 13) return "IHDR length";
            w = (int32_t)be32(d);
            h = (int32_t)be32(d + 4);
            depth = d[8];
            type = d[9];
            interlace = d[12];
            if (w <= 0 || h <= 0) return "size not positive";
            if (depth != 1 && depth != 2 && depth != 4 && depth != 8) return "bit depth the decoder refuses";
            if (type != 0 && type != 2 && type != 3 && type != 4 && type != 6) return "colour type the decoder refuses";
            if (d[10] != 0 || d[11] != 0 || interlace > 1) return "compression, filter or interlace method";
        } else if (std::memcmp(tag, "IDAT", 4) == 0) {
            z.insert(z.end(), d, d + len);
        } else if (std::memcmp(tag, "IEND", 4) == 0) {
            ended = 1;
        }
        at += 12 + len;
    }
    if (!ended || z.empty()) return "no image data or no IEND";
    int samples = type == 2 ? 3 : type == 6 ? 4 : type == 4 ? 2 : 1;
    int64_t line = ((int64_t)samples * w * depth + 7) / 8;
    if (line + 1 > 65536) return "line too long for the decoder";
    // The decoding below covers what the generator writes.
    if (depth != 8 || (type != 2 && type != 6) || interlace) return "not 8-bit RGB/RGBA without interlace";
    FileBytes raw((size_t)(line + 1) * h);
    uLongf rawlen = (uLongf)raw.size();
    if (uncompress(raw.data(), &rawlen, z.data(), (uLong)z.size()) != Z_OK || rawlen != raw.size())
        return "image data does not inflate to the image size";
    pixels->assign((size_t)w * h, 0);
    FileBytes prev((size_t)line, 0), cur((size_t)line);
    for (int32_t y = 0; y < h; y++) {
        const uint8_t *src = &raw[(size_t)y * (line + 1)];
        int filter = src[0];
        if (filter > 4) return "row filter above 4";
        for (int64_t i = 0; i < line; i++) {
            int a = i >= samples ? cur[i - samples] : 0, b = prev[i], c = i >= samples ? prev[i - samples] : 0;
            int pred = filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2 : filter == 4 ? paeth(a, b, c) : 0;
            cur[i] = (uint8_t)(src[1 + i] + pred);
        }
        for (int32_t x = 0; x < w; x++) {
            const uint8_t *p = &cur[(size_t)x * samples];
            uint32_t alpha = type == 6 ? p[3] : 255;
            (*pixels)[(size_t)y * w + x] = alpha << 24 | (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
        }
        prev = cur;
    }
    *width = w;
    *height = h;
    return "";
}

std::string check_bmp(const FileBytes &f, int32_t *width, int32_t *height, std::vector<uint32_t> *pixels)
{
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') return "no BM header";
    uint32_t off = le_get_u32(&f[10]);
    if (le_get_u32(&f[14]) != 40) return "not a BITMAPINFOHEADER";
    int32_t w = le_get_i32(&f[18]), h = le_get_i32(&f[22]);
    if (w <= 0 || h <= 0) return "size not positive (rows must be bottom-up)";
    if (le_get_u16(&f[26]) != 1 || le_get_u16(&f[28]) != 24 || le_get_u32(&f[30]) != 0)
        return "not one plane of uncompressed 24-bit pixels";
    uint32_t stride = ((uint32_t)w * 3 + 3) & ~3u;
    if (off < 54 || (uint64_t)off + (uint64_t)stride * h > f.size()) return "pixels run past the end";
    if (le_get_u32(&f[2]) != f.size()) return "bfSize is not the file size";
    pixels->assign((size_t)w * h, 0);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            const uint8_t *p = &f[off + stride * (uint32_t)(h - 1 - y) + 3 * (uint32_t)x];
            (*pixels)[(size_t)y * w + x] = (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
        }
    *width = w;
    *height = h;
    return "";
}

std::string check_font(const FileBytes &f, FontInfo *font)
{
    if (f.size() < 14) return "short file header";
    if (le_get_u16(&f[0]) != 0x4D42 || le_get_u16(&f[6]) != 0x4444 || le_get_u16(&f[8]) != 0x4646)
        return "not a font header (BM, 0x4444, 0x4646)";
    uint32_t size = le_get_u32(&f[2]), off = le_get_u32(&f[10]);
    if ((uint64_t)size + 56 + 2688 + 60 != f.size()) return "file is not bitmap part + 2804 bytes of metrics";
    if (off < 14 + 40 + 8 || off > size || le_get_u32(&f[14]) != 40) return "bitmap information";
    int32_t w = le_get_i32(&f[18]), h = le_get_i32(&f[22]);
    if (w <= 0 || h <= 0 || w % 16 || h % 14) return "glyph bitmap is not a 16 x 14 grid, rows bottom-up";
    if (le_get_u16(&f[28]) != 1 || le_get_u32(&f[30]) != 0) return "not 1 bit per pixel, uncompressed";
    uint32_t used = le_get_u32(&f[46]);
    if (used != 0 && used != 2) return "colour table is not two entries";
    uint32_t stride = (((uint32_t)w + 31) / 32) * 4;
    if ((uint64_t)off + (uint64_t)stride * h > size) return "pixels run past the bitmap part";
    font->width = w;
    font->height = h;
    font->cell_w = w >> 4;
    font->cell_h = h / 14;
    font->background = le_get_u32(&f[54]) & 0xFFFFFF;
    font->ink = le_get_u32(&f[58]) & 0xFFFFFF;
    font->mask.assign((size_t)w * h, 0);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            font->mask[(size_t)y * w + x] = (f[off + stride * (uint32_t)(h - 1 - y) + (uint32_t)x / 8] >> (7 - x % 8)) & 1;
    font->line_height = le_get_i32(&f[size]);
    std::memset(font->abc, 0, sizeof font->abc);
    for (int k = 32; k < 256; k++)
        for (int i = 0; i < 3; i++) font->abc[k][i] = le_get_i32(&f[size + 56 + 12 * (k - 32) + 4 * i]);
    return "";
}

std::string check_wav(const FileBytes &f, int32_t *rate, std::vector<int16_t> *samples)
{
    if (f.size() < 12 || std::memcmp(&f[0], "RIFF", 4) != 0 || std::memcmp(&f[8], "WAVE", 4) != 0)
        return "no RIFF/WAVE header";
    size_t at = 12;
    int have_fmt = 0, tag = 0, channels = 0, bits = 0;
    for (int chunk = 0; chunk < 16; chunk++) {
        if (at + 8 > f.size()) return "no data chunk";
        uint32_t len = le_get_u32(&f[at + 4]);
        const uint8_t *id = &f[at];
        if (std::memcmp(id, "data", 4) == 0) {
            if (!have_fmt) return "data before fmt";
            if (tag != 1 || channels != 1 || bits != 16) return "not PCM mono 16-bit";
            if (len % 2 || len > f.size() - at - 8) return "data size";
            samples->resize(len / 2);
            for (uint32_t i = 0; i < len / 2; i++) (*samples)[i] = le_get_i16(&f[at + 8 + 2 * i]);
            return "";
        }
        if (len > f.size() - at - 8) return "chunk runs past the end";
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (len < 16) return "short fmt chunk";
            tag = le_get_u16(&f[at + 8]);
            channels = le_get_u16(&f[at + 10]);
            *rate = (int32_t)le_get_u32(&f[at + 12]);
            bits = le_get_u16(&f[at + 22]);
            if (*rate <= 0 || le_get_u32(&f[at + 16]) != (uint32_t)*rate * 2 || le_get_u16(&f[at + 20]) != 2)
                return "rate, byte rate or block align";
            have_fmt = 1;
        }
        at += 8 + len + (len & 1);
    }
    return "no data chunk within 16 chunk headers";
}
