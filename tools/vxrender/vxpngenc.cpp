// PNG encoder for tests: pass extraction, filters, zlib, chunking.
#include "vxpngenc.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

int32_t vxpng_pixel_bits(int32_t ctype, int32_t depth)
{
    const int32_t samples = ctype == 2 ? 3 : ctype == 4 ? 2 : ctype == 6 ? 4 : 1;
    return samples * depth;
}

int32_t vxpng_line_bytes(int32_t ctype, int32_t depth, int32_t w)
{
    return (int32_t)(((int64_t)w * vxpng_pixel_bits(ctype, depth) + 7) / 8);
}

static void put_be32(std::vector<uint8_t> *v, uint32_t x)
{
    const uint8_t b[4] = {(uint8_t)(x >> 24), (uint8_t)(x >> 16), (uint8_t)(x >> 8), (uint8_t)x};
    v->insert(v->end(), b, b + 4);
}

void vxpng_chunk(std::vector<uint8_t> *file, const char *type, const uint8_t *data, uint32_t len)
{
    put_be32(file, len);
    const size_t at = file->size();
    file->insert(file->end(), (const uint8_t *)type, (const uint8_t *)type + 4);
    if (len) file->insert(file->end(), data, data + len);
    put_be32(file, (uint32_t)crc32(0L, file->data() + at, (uInt)(len + 4)));
}

std::vector<uint8_t> vxpng_start(uint32_t w, uint32_t h, int32_t depth, int32_t ctype, int32_t interlace)
{
    static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> file(sig, sig + 8), ihdr;
    put_be32(&ihdr, w);
    put_be32(&ihdr, h);
    ihdr.push_back((uint8_t)depth);
    ihdr.push_back((uint8_t)ctype);
    ihdr.push_back(0);
    ihdr.push_back(0);
    ihdr.push_back((uint8_t)interlace);
    vxpng_chunk(&file, "IHDR", ihdr.data(), (uint32_t)ihdr.size());
    return file;
}

static int32_t paeth(int32_t a, int32_t b, int32_t c)
{
    const int32_t p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

// Appends the filter byte and the filtered line `cur` (previous line `prev`,
// zeros for a pass's first line).
static void filter_line(std::vector<uint8_t> *out, const std::vector<uint8_t> &cur, const std::vector<uint8_t> &prev,
                        int32_t type, int32_t bpp)
{
    out->push_back((uint8_t)type);
    for (size_t i = 0; i < cur.size(); i++) {
        const int32_t a = i >= (size_t)bpp ? cur[i - bpp] : 0, b = prev[i], c = i >= (size_t)bpp ? prev[i - bpp] : 0;
        const int32_t pred = type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) >> 1 : type == 4 ? paeth(a, b, c) : 0;
        out->push_back((uint8_t)(cur[i] - pred));
    }
}

static std::vector<uint8_t> compress(const std::vector<uint8_t> &in, int32_t mode)
{
    z_stream z{};
    const int level = mode == VXDEFLATE_STORED ? 0 : Z_DEFAULT_COMPRESSION;
    const int strategy = mode == VXDEFLATE_FIXED ? Z_FIXED : Z_DEFAULT_STRATEGY;
    std::vector<uint8_t> out;
    if (deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy) != Z_OK) return out;
    out.resize(deflateBound(&z, (uLong)in.size()) + 16);
    z.next_in = (Bytef *)in.data();
    z.avail_in = (uInt)in.size();
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    const int r = deflate(&z, Z_FINISH);
    out.resize(r == Z_STREAM_END ? z.total_out : 0);
    deflateEnd(&z);
    return out;
}

std::vector<uint8_t> vxpng_encode(const uint8_t *raw, int32_t w, int32_t h, const VxPngOptions &o)
{
    static const int32_t x0s[7] = {0, 4, 0, 2, 0, 1, 0}, y0s[7] = {0, 0, 4, 0, 2, 0, 1};
    static const int32_t dxs[7] = {8, 8, 4, 4, 2, 2, 1}, dys[7] = {8, 8, 8, 4, 4, 2, 2};
    const int32_t bits = vxpng_pixel_bits(o.ctype, o.depth), stride = vxpng_line_bytes(o.ctype, o.depth, w);
    const int32_t bpp = o.depth < 8 ? 1 : bits / 8;
    std::vector<uint8_t> filtered;
    const int32_t passes = o.interlace ? 7 : 1;
    for (int32_t p = 0; p < passes; p++) {
        const int32_t x0 = o.interlace ? x0s[p] : 0, y0 = o.interlace ? y0s[p] : 0;
        const int32_t dx = o.interlace ? dxs[p] : 1, dy = o.interlace ? dys[p] : 1;
        if (x0 >= w || y0 >= h) continue;
        const int32_t cols = (w - x0 + dx - 1) / dx;
        std::vector<uint8_t> prev((size_t)vxpng_line_bytes(o.ctype, o.depth, cols), 0), cur(prev.size());
        for (int32_t y = y0, n = 0; y < h; y += dy, n++) {
            std::fill(cur.begin(), cur.end(), 0);
            const uint8_t *line = raw + (size_t)y * stride;
            for (int32_t c = 0; c < cols; c++)
                for (int32_t b = 0; b < bits; b++) {
                    const int64_t from = (int64_t)(x0 + c * dx) * bits + b, to = (int64_t)c * bits + b;
                    if (line[from >> 3] & (0x80 >> (from & 7))) cur[(size_t)(to >> 3)] |= (uint8_t)(0x80 >> (to & 7));
                }
            filter_line(&filtered, cur, prev, o.filter < 0 ? n % 5 : o.filter, bpp);
            prev.swap(cur);
        }
    }
    const std::vector<uint8_t> z = compress(filtered, o.deflate);
    std::vector<uint8_t> file = vxpng_start((uint32_t)w, (uint32_t)h, o.depth, o.ctype, o.interlace);
    if (!o.plte.empty()) vxpng_chunk(&file, "PLTE", o.plte.data(), (uint32_t)o.plte.size());
    if (!o.trns.empty()) vxpng_chunk(&file, "tRNS", o.trns.data(), (uint32_t)o.trns.size());
    const size_t piece = o.idat_bytes > 0 ? (size_t)o.idat_bytes : (z.empty() ? 1 : z.size());
    for (size_t at = 0; at < z.size(); at += piece) {
        const size_t n = z.size() - at < piece ? z.size() - at : piece;
        vxpng_chunk(&file, "IDAT", z.data() + at, (uint32_t)n);
    }
    vxpng_chunk(&file, "IEND", nullptr, 0);
    return file;
}
