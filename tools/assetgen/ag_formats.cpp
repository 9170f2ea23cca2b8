// PNG, BMP and WAV writers for the generator.
#include "ag_formats.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

static void put_be32(Bytes &b, uint32_t v)
{
    b.push_back((uint8_t)(v >> 24));
    b.push_back((uint8_t)(v >> 16));
    b.push_back((uint8_t)(v >> 8));
    b.push_back((uint8_t)v);
}

static void put_le(Bytes &b, uint32_t v, int n)
{
    for (int i = 0; i < n; i++) b.push_back((uint8_t)(v >> (8 * i)));
}

static void put_tag(Bytes &b, const char *tag)
{
    for (int i = 0; i < 4; i++) b.push_back((uint8_t)tag[i]);
}

static void png_chunk(Bytes &out, const char *type, const uint8_t *data, size_t len)
{
    put_be32(out, (uint32_t)len);
    size_t start = out.size();
    put_tag(out, type);
    if (len) out.insert(out.end(), data, data + len);
    uint32_t crc = (uint32_t)crc32(0L, out.data() + start, (uInt)(out.size() - start));
    put_be32(out, crc);
}

Bytes png_encode(const uint32_t *pixels, int32_t width, int32_t height, int with_alpha)
{
    int bpp = with_alpha ? 4 : 3;
    size_t line = (size_t)width * bpp + 1;
    Bytes raw(line * (size_t)height);
    for (int32_t y = 0; y < height; y++) {
        uint8_t *d = raw.data() + line * (size_t)y;
        *d++ = 0; // filter None
        for (int32_t x = 0; x < width; x++) {
            uint32_t p = pixels[(size_t)y * width + x];
            *d++ = (uint8_t)(p >> 16);
            *d++ = (uint8_t)(p >> 8);
            *d++ = (uint8_t)p;
            if (with_alpha) *d++ = (uint8_t)(p >> 24);
        }
    }
    uLongf zlen = compressBound((uLong)raw.size());
    Bytes z(zlen);
    if (compress2(z.data(), &zlen, raw.data(), (uLong)raw.size(), 9) != Z_OK) return Bytes();
    z.resize(zlen);

    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes out(signature, signature + 8);
    Bytes ihdr;
    put_be32(ihdr, (uint32_t)width);
    put_be32(ihdr, (uint32_t)height);
    ihdr.push_back(8);                    // bit depth
    ihdr.push_back(with_alpha ? 6 : 2);   // colour type
    ihdr.push_back(0);                    // compression
    ihdr.push_back(0);                    // filter method
    ihdr.push_back(0);                    // no interlace
    png_chunk(out, "IHDR", ihdr.data(), ihdr.size());
    png_chunk(out, "IDAT", z.data(), z.size());
    png_chunk(out, "IEND", nullptr, 0);
    return out;
}

Bytes bmp24_encode(const uint32_t *pixels, int32_t width, int32_t height)
{
    uint32_t stride = ((uint32_t)width * 3 + 3) & ~3u;
    uint32_t image = stride * (uint32_t)height;
    Bytes b;
    b.push_back('B');
    b.push_back('M');
    put_le(b, 14 + 40 + image, 4); // bfSize
    put_le(b, 0, 4);               // reserved words
    put_le(b, 14 + 40, 4);         // bfOffBits
    put_le(b, 40, 4);              // biSize
    put_le(b, (uint32_t)width, 4);
    put_le(b, (uint32_t)height, 4); // positive: bottom-up
    put_le(b, 1, 2);               // planes
    put_le(b, 24, 2);              // bits per pixel
    put_le(b, 0, 4);               // BI_RGB
    put_le(b, image, 4);
    put_le(b, 2835, 4);            // 72 dpi
    put_le(b, 2835, 4);
    put_le(b, 0, 4);               // colours used
    put_le(b, 0, 4);               // colours important
    for (int32_t y = height - 1; y >= 0; y--) {
        size_t row = b.size();
        for (int32_t x = 0; x < width; x++) put_le(b, pixels[(size_t)y * width + x] & 0xFFFFFF, 3);
        b.resize(row + stride, 0);
    }
    return b;
}

Bytes wav_encode(const int16_t *samples, int32_t count, int32_t rate)
{
    uint32_t data = (uint32_t)count * 2;
    Bytes b;
    put_tag(b, "RIFF");
    put_le(b, 4 + 8 + 16 + 8 + data, 4);
    put_tag(b, "WAVE");
    put_tag(b, "fmt ");
    put_le(b, 16, 4);
    put_le(b, 1, 2);               // PCM
    put_le(b, 1, 2);               // mono
    put_le(b, (uint32_t)rate, 4);
    put_le(b, (uint32_t)rate * 2, 4);
    put_le(b, 2, 2);               // block align
    put_le(b, 16, 2);              // bits per sample
    put_tag(b, "data");
    put_le(b, data, 4);
    for (int32_t i = 0; i < count; i++) put_le(b, (uint16_t)samples[i], 2);
    return b;
}

Bytes ag_read_file(const char *path)
{
    Bytes out;
    FILE *f = std::fopen(path, "rb");
    if (!f) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

// mkdir -p for every folder on the way to the file.
static int make_parents(const std::string &path)
{
    for (size_t i = 1; i < path.size(); i++) {
        if (path[i] != '/') continue;
        std::string dir = path.substr(0, i);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return 0;
    }
    return 1;
}

int ag_write_file(const char *root, const char *relpath, const Bytes &bytes)
{
    std::string path = std::string(root) + "/" + relpath;
    if (bytes.empty() || !make_parents(path)) {
        std::fprintf(stderr, "assetgen: cannot make %s\n", path.c_str());
        return 0;
    }
    // Written beside and renamed, so a reader never sees half a file.
    std::string tmp = path + ".tmp";
    FILE *f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "assetgen: cannot write %s: %s\n", tmp.c_str(), std::strerror(errno));
        return 0;
    }
    size_t n = std::fwrite(bytes.data(), 1, bytes.size(), f);
    int closed = std::fclose(f);
    if (n != bytes.size() || closed != 0 || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
        std::remove(tmp.c_str());
        return 0;
    }
    return 1;
}
