// PNG decoder: libpng as the reference over a generated corpus, worked
// examples for the depths only this decoder takes, crafted streams it must
// refuse, and a bounded mutation fuzz loop.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/rng.h"
#include "renderer/vox_inflate.h"
#include "renderer/voxrender.h"
#include "vxpngenc.h"

namespace {

const uint32_t kSentinel = 0xA5C3E1F7u;

// ---- the reference: libpng, expanded to 8-bit BGRA ----

struct MemReader {
    const uint8_t *p;
    size_t n, at;
};

void read_mem(png_structp png, png_bytep out, png_size_t n)
{
    MemReader *r = (MemReader *)png_get_io_ptr(png);
    if (n > r->n - r->at) png_error(png, "read past the end");
    std::memcpy(out, r->p + r->at, n);
    r->at += n;
}

void quiet_warning(png_structp, png_const_charp) {}

// 1 and the w x h pixels as 0xAARRGGBB, or 0 when libpng refuses the file.
int libpng_decode(const std::vector<uint8_t> &file, std::vector<uint32_t> *out, uint32_t *w, uint32_t *h)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quiet_warning);
    png_infop info = png_create_info_struct(png);
    MemReader mem{file.data(), file.size(), 0};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return 0;
    }
    png_set_read_fn(png, &mem, read_mem);
    png_read_info(png, info);
    *w = png_get_image_width(png, info);
    *h = png_get_image_height(png, info);
    const int ctype = png_get_color_type(png, info);
    if (ctype == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (ctype == PNG_COLOR_TYPE_GRAY) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (ctype == PNG_COLOR_TYPE_GRAY || ctype == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->assign((size_t)*w * *h, 0);
    rows.resize(*h);
    for (uint32_t y = 0; y < *h; y++) rows[y] = (png_bytep)(out->data() + (size_t)y * *w);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return 1;
}

// ---- decoding into a guarded buffer ----

// A dw x dh destination inside a sentinel border of `margin` pixels (and a
// pitch with spare pixels), so any write outside the caller's rectangle shows.
struct Dest {
    int32_t dw, dh, margin, stride;
    std::vector<uint32_t> buf;
    Dest(int32_t w, int32_t h, int32_t m = 3)
        : dw(w), dh(h), margin(m), stride(w + 2 * m + 1), buf((size_t)stride * (h + 2 * m), kSentinel)
    {
    }
    uint32_t *origin() { return buf.data() + (size_t)margin * stride + margin; }
    uint32_t at(int32_t x, int32_t y) { return origin()[(size_t)y * stride + x]; }
    int32_t decode(const std::vector<uint8_t> &f)
    {
        return decodepng(f.data(), f.size(), origin(), stride * 4, dw, dh);
    }
    // Every pixel outside the caller's rectangle still holds the sentinel.
    bool border_intact()
    {
        for (int32_t y = 0; y < dh + 2 * margin; y++)
            for (int32_t x = 0; x < stride; x++) {
                const bool inside = y >= margin && y < margin + dh && x >= margin && x < margin + dw;
                if (!inside && buf[(size_t)y * stride + x] != kSentinel) return false;
            }
        return true;
    }
};

uint32_t rnd32() { return ((uint32_t)rng_rand() << 15) ^ (uint32_t)rng_rand(); }

struct Format {
    int32_t ctype, depth;
    bool trns;
};

// Packed lines of a w x h image: noise, runs and repeated lines, so the
// compressor finds matches; palette indices stay below `palcount`.
std::vector<uint8_t> make_raw(const Format &f, int32_t w, int32_t h, int32_t palcount)
{
    const int32_t stride = vxpng_line_bytes(f.ctype, f.depth, w), bits = vxpng_pixel_bits(f.ctype, f.depth);
    std::vector<uint8_t> raw((size_t)stride * h, 0);
    for (int32_t y = 0; y < h; y++) {
        uint8_t *line = raw.data() + (size_t)y * stride;
        if (y % 4 == 3) {
            std::memcpy(line, line - stride, (size_t)stride);
            continue;
        }
        for (int32_t x = 0; x < w; x++) {
            for (int32_t s = 0; s < bits / f.depth; s++) {
                uint32_t v = (y % 4 == 1) ? (uint32_t)(x / 3) : rnd32();
                v &= (1u << f.depth) - 1;
                if (f.ctype == 3) v %= (uint32_t)palcount;
                const int64_t at = ((int64_t)x * bits + (int64_t)s * f.depth);
                for (int32_t b = 0; b < f.depth; b++)
                    if (v & (1u << (f.depth - 1 - b))) line[(at + b) >> 3] |= (uint8_t)(0x80 >> ((at + b) & 7));
            }
        }
    }
    return raw;
}

// Options for a format: a palette (2^depth entries, 200 at depth 8) and a
// tRNS chunk when asked (a grey level, black as the colour key, or alphas for
// about half the palette).
VxPngOptions options_for(const Format &f, int32_t *palcount)
{
    VxPngOptions o;
    o.ctype = f.ctype;
    o.depth = f.depth;
    *palcount = f.ctype == 3 ? (f.depth == 8 ? 200 : 1 << f.depth) : 0;
    for (int32_t i = 0; i < *palcount; i++) {
        o.plte.push_back((uint8_t)(i * 37 + 5));
        o.plte.push_back((uint8_t)(255 - i));
        o.plte.push_back((uint8_t)(i * 11));
    }
    if (f.trns) {
        if (f.ctype == 0) o.trns = {0, (uint8_t)((1 << f.depth) / 3)};
        if (f.ctype == 2) o.trns = {0, 0, 0, 0, 0, 0}; // black is the colour key
        if (f.ctype == 3)
            for (int32_t i = 0; i < *palcount / 2 + 1 && i < *palcount; i++) o.trns.push_back((uint8_t)(i * 50));
    }
    return o;
}

// Decodes with both and compares, the caller's size equal to the image's.
void expect_same_as_libpng(const std::vector<uint8_t> &file, const std::string &what)
{
    std::vector<uint32_t> ref;
    uint32_t w = 0, h = 0;
    ASSERT_EQ(libpng_decode(file, &ref, &w, &h), 1) << what;
    Dest d((int32_t)w, (int32_t)h);
    ASSERT_EQ(d.decode(file), 0) << what;
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++)
            ASSERT_EQ(d.at((int32_t)x, (int32_t)y), ref[(size_t)y * w + x])
                << what << " at " << x << "," << y << std::hex << " ref " << ref[(size_t)y * w + x];
    EXPECT_TRUE(d.border_intact()) << what;
}

// The first deflate block's type (0 stored, 1 fixed, 2 dynamic) of a file
// with the image data in one IDAT chunk.
int32_t first_block_type(const std::vector<uint8_t> &file)
{
    for (size_t at = 8; at + 8 <= file.size();) {
        const uint32_t len = (uint32_t)file[at] << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        if (!std::memcmp(&file[at + 4], "IDAT", 4)) return (file[at + 10] >> 1) & 3;
        at += 12 + len;
    }
    return -1;
}

const Format kFormats[] = {
    {0, 1, false}, {0, 2, false}, {0, 4, false}, {0, 8, false}, {0, 1, true},  {0, 2, true},  {0, 4, true},
    {0, 8, true},  {2, 8, false}, {2, 8, true},  {3, 1, false}, {3, 2, false}, {3, 4, false}, {3, 8, false},
    {3, 1, true},  {3, 4, true},  {3, 8, true},  {4, 8, false}, {6, 8, false},
};

TEST(PngDecode, MatchesLibpngOverEveryFormatFilterBlockTypeAndSplit)
{
    rng_srand(12);
    const int32_t sizes[][2] = {{1, 1}, {3, 2}, {9, 5}, {17, 11}, {70, 23}};
    int32_t block_types_seen[3] = {0, 0, 0};
    for (const Format &f : kFormats)
        for (const auto &sz : sizes) {
            int32_t palcount;
            VxPngOptions o = options_for(f, &palcount);
            const std::vector<uint8_t> raw = make_raw(f, sz[0], sz[1], palcount);
            for (int32_t interlace = 0; interlace < 2; interlace++)
                for (int32_t filter = -1; filter <= 4; filter++)
                    for (int32_t deflate : {VXDEFLATE_STORED, VXDEFLATE_FIXED, VXDEFLATE_DEFAULT})
                        for (int32_t split : {0, 1}) {
                            o.interlace = interlace;
                            o.filter = filter;
                            o.deflate = deflate;
                            o.idat_bytes = split;
                            const std::vector<uint8_t> file = vxpng_encode(raw.data(), sz[0], sz[1], o);
                            if (!split) {
                                const int32_t t = first_block_type(file);
                                if (t >= 0 && t < 3) block_types_seen[t]++;
                            }
                            char what[160];
                            std::snprintf(what, sizeof what,
                                          "type %d depth %d trns %d %dx%d interlace %d filter %d "
                                          "deflate %d split %d",
                                          f.ctype, f.depth, f.trns, sz[0], sz[1], interlace, filter, deflate, split);
                            expect_same_as_libpng(file, what);
                            if (HasFatalFailure()) return;
                        }
        }
    for (int32_t t = 0; t < 3; t++) EXPECT_GT(block_types_seen[t], 0) << "block type " << t;
}

// Lines of 1,001 bytes repeating every 32 lines: matches reach almost the
// whole 32 KB window, and the rows arrive in many 16 KB pieces.
std::vector<uint8_t> long_distance_raw(int32_t w, int32_t h)
{
    std::vector<uint8_t> raw((size_t)w * 4 * h);
    rng_srand(99);
    for (int32_t y = 0; y < h; y++)
        for (int32_t i = 0; i < w * 4; i++)
            raw[(size_t)y * w * 4 + i] = y >= 32 ? raw[(size_t)(y - 32) * w * 4 + i] : (uint8_t)rnd32();
    return raw;
}

TEST(PngDecode, LargePicturesWithFarMatchesMatchLibpng)
{
    const int32_t w = 250, h = 150;
    const std::vector<uint8_t> raw = long_distance_raw(w, h);
    for (int32_t interlace = 0; interlace < 2; interlace++)
        for (int32_t filter : {0, 4}) {
            VxPngOptions o;
            o.interlace = interlace;
            o.filter = filter;
            const std::vector<uint8_t> file = vxpng_encode(raw.data(), w, h, o);
            ASSERT_LT(file.size(), raw.size() / 2); // the far matches were found
            expect_same_as_libpng(file, "interlace " + std::to_string(interlace) + " filter " + std::to_string(filter));
        }
}

TEST(PngDecode, CallerSizeCropsOrLeavesTheRest)
{
    const int32_t w = 120, h = 90;
    const std::vector<uint8_t> raw = long_distance_raw(w, h);
    std::vector<uint32_t> ref;
    for (int32_t interlace = 0; interlace < 2; interlace++) {
        VxPngOptions o;
        o.interlace = interlace;
        o.filter = -1;
        const std::vector<uint8_t> file = vxpng_encode(raw.data(), w, h, o);
        uint32_t rw, rh;
        ASSERT_EQ(libpng_decode(file, &ref, &rw, &rh), 1);
        const int32_t sizes[][2] = {{w, h}, {w - 37, h - 41}, {1, 1}, {w + 5, h + 7}, {w - 10, h + 3}};
        for (const auto &s : sizes) {
            Dest d(s[0], s[1]);
            ASSERT_EQ(d.decode(file), 0) << s[0] << "x" << s[1];
            for (int32_t y = 0; y < s[1]; y++)
                for (int32_t x = 0; x < s[0]; x++) {
                    const uint32_t want = (x < w && y < h) ? ref[(size_t)y * w + x] : kSentinel;
                    ASSERT_EQ(d.at(x, y), want)
                        << s[0] << "x" << s[1] << " interlace " << interlace << " at " << x << "," << y;
                }
            EXPECT_TRUE(d.border_intact());
        }
    }
}

// A non-interlaced picture stops inflating once the caller's lines are done:
// damage after them goes unseen.
TEST(PngDecode, PlainPictureStopsAtTheCallersHeight)
{
    const int32_t w = 200, h = 200;
    std::vector<uint8_t> raw((size_t)w * h, 0);
    for (size_t i = 0; i < raw.size(); i++) raw[i] = (uint8_t)(i * 7 + i / 13);
    VxPngOptions o;
    o.ctype = 0;
    o.deflate = VXDEFLATE_STORED;
    o.idat_bytes = 4000;
    std::vector<uint8_t> file = vxpng_encode(raw.data(), w, h, o);
    file.resize(8 + 25 + 6 * (12 + 4000)); // whole chunks holding lines 0..118 only
    Dest top(w, 20);
    EXPECT_EQ(top.decode(file), 0);
    EXPECT_EQ(top.at(5, 19), 0xFF000000u | raw[19 * w + 5] * 0x010101u);
    Dest all(w, h);
    EXPECT_EQ(all.decode(file), -1);
}

TEST(PngDecode, LoadpngfileReadsAFileAndGivesNullOnFailure)
{
    const int32_t w = 7, h = 5;
    const Format f{6, 8, false};
    rng_srand(3);
    const std::vector<uint8_t> raw = make_raw(f, w, h, 0);
    VxPngOptions o;
    const std::vector<uint8_t> file = vxpng_encode(raw.data(), w, h, o);
    const std::string path = std::string(::testing::TempDir()) + "vox_png_load.png";
    FILE *fp = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(fp);
    ASSERT_EQ(std::fwrite(file.data(), 1, file.size(), fp), file.size());
    std::fclose(fp);

    PngImage *img = (PngImage *)&img;
    loadpngfile(path.c_str(), &img, w + 2, h);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img[w], 0u); // beyond the file's width: zero
    EXPECT_EQ(img[w + 2 + 1], (uint32_t)raw[4 * w + 7] << 24 | (uint32_t)raw[4 * w + 4] << 16 |
                                  (uint32_t)raw[4 * w + 5] << 8 | raw[4 * w + 6]);
    std::free(img);

    img = (PngImage *)&img;
    loadpngfile((path + ".missing").c_str(), &img, w, h);
    EXPECT_EQ(img, nullptr);
    fp = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(fp);
    std::fwrite(file.data(), 1, 30, fp); // cut inside the header chunk
    std::fclose(fp);
    img = (PngImage *)&img;
    loadpngfile(path.c_str(), &img, w, h);
    EXPECT_EQ(img, nullptr);
    std::remove(path.c_str());
}

// ---- depths that libpng refuses: worked examples ----

std::vector<uint8_t> zlib_of(const std::vector<uint8_t> &data)
{
    uLongf n = compressBound((uLong)data.size());
    std::vector<uint8_t> z(n);
    compress2(z.data(), &n, data.data(), (uLong)data.size(), 9);
    z.resize(n);
    return z;
}

// A file of the given header whose image data inflates to `lines` (filter
// bytes included), in one IDAT chunk.
std::vector<uint8_t> file_of(int32_t w, int32_t h, int32_t depth, int32_t ctype, int32_t interlace,
                             const std::vector<uint8_t> &lines, const std::vector<uint8_t> &z = {})
{
    std::vector<uint8_t> f = vxpng_start((uint32_t)w, (uint32_t)h, depth, ctype, interlace);
    const std::vector<uint8_t> data = z.empty() ? zlib_of(lines) : z;
    vxpng_chunk(&f, "IDAT", data.data(), (uint32_t)data.size());
    vxpng_chunk(&f, "IEND", nullptr, 0);
    return f;
}

TEST(PngDecode, LowDepthColourTypesUnpackAndScaleEverySample)
{
    struct Case {
        const char *what;
        int32_t ctype, depth, w, h;
        std::vector<uint8_t> lines; // filter byte, then the line
        std::vector<uint32_t> want;
    } cases[] = {
        // RGB nibbles F,0,8 and 1,2,3: each times 17.
        {"rgb 4-bit", 2, 4, 2, 1, {0, 0xF0, 0x81, 0x23}, {0xFFFF0088u, 0xFF112233u}},
        // The same line through Sub, stepping back one byte: F0, 81-F0, 23-81.
        {"rgb 4-bit sub", 2, 4, 2, 1, {1, 0xF0, 0x91, 0xA2}, {0xFFFF0088u, 0xFF112233u}},
        // Two lines, the second through Up: one byte above.
        {"rgb 2-bit up", 2, 2, 1, 2, {0, 0xE4, 2, 0x34}, {0xFFFFAA55u, 0xFF0055AAu}},
        // Grey, alpha pairs of 2 bits: (3,0) (1,2) (2,3); steps of 85.
        {"grey+alpha 2-bit", 4, 2, 3, 1, {0, 0xC6, 0xB0}, {0x00FFFFFFu, 0xAA555555u, 0xFFAAAAAAu}},
        {"grey+alpha 1-bit", 4, 1, 4, 1, {0, 0x6C}, {0xFF000000u, 0x00FFFFFFu, 0xFFFFFFFFu, 0x00000000u}},
        // (3,F) (A,8) through Paeth: the second byte predicted from its left.
        {"grey+alpha 4-bit paeth", 4, 4, 2, 1, {4, 0x3F, 0x69}, {0xFF333333u, 0x88AAAAAAu}},
        // RGBA bits (1,0,1,1) (0,1,0,0).
        {"rgba 1-bit", 6, 1, 2, 1, {0, 0xB4}, {0xFFFF00FFu, 0x0000FF00u}},
        // RGBA nibbles (1,2,3,4) (5,6,7,8) through Average: each byte
        // predicted from half the byte before it.
        {"rgba 4-bit average", 6, 4, 2, 1, {3, 0x12, 0x2B, 0x3C, 0x4D}, {0x44112233u, 0x88556677u}},
    };
    for (const Case &c : cases) {
        const std::vector<uint8_t> file = file_of(c.w, c.h, c.depth, c.ctype, 0, c.lines);
        Dest d(c.w, c.h);
        ASSERT_EQ(d.decode(file), 0) << c.what;
        for (int32_t i = 0; i < c.w * c.h; i++)
            EXPECT_EQ(d.at(i % c.w, i / c.w), c.want[(size_t)i]) << c.what << " pixel " << i << std::hex;
    }
}

TEST(PngDecode, LowDepthColourTypesDecodeAlikeInterlacedOrNot)
{
    rng_srand(5);
    for (int32_t ctype : {2, 4, 6})
        for (int32_t depth : {1, 2, 4}) {
            const int32_t w = 13, h = 11;
            const Format f{ctype, depth, false};
            const std::vector<uint8_t> raw = make_raw(f, w, h, 0);
            VxPngOptions o;
            o.ctype = ctype;
            o.depth = depth;
            o.filter = -1;
            Dest plain(w, h), laced(w, h);
            ASSERT_EQ(plain.decode(vxpng_encode(raw.data(), w, h, o)), 0);
            o.interlace = 1;
            ASSERT_EQ(laced.decode(vxpng_encode(raw.data(), w, h, o)), 0);
            EXPECT_EQ(plain.buf, laced.buf) << ctype << "/" << depth;
        }
}

// ---- refusals ----

// Deflate bits, least significant first; Huffman codes most significant first.
struct Bits {
    std::vector<uint8_t> out;
    uint32_t acc = 0;
    int32_t n = 0;
    Bits() { out.assign(2, 0x78), out[1] = 0x01; } // zlib header
    Bits &put(uint32_t v, int32_t count)
    {
        for (int32_t i = 0; i < count; i++) {
            acc |= ((v >> i) & 1u) << n;
            if (++n == 8) out.push_back((uint8_t)acc), acc = 0, n = 0;
        }
        return *this;
    }
    Bits &code(uint32_t c, int32_t len)
    {
        for (int32_t i = len - 1; i >= 0; i--) put((c >> i) & 1u, 1);
        return *this;
    }
    // Fixed-code literal/length symbol.
    Bits &fixed(int32_t s)
    {
        if (s < 144) return code(0x30 + s, 8);
        if (s < 256) return code(0x190 + s - 144, 9);
        if (s < 280) return code(s - 256, 7);
        return code(0xC0 + s - 280, 8);
    }
    std::vector<uint8_t> done()
    {
        std::vector<uint8_t> v = out;
        if (n) v.push_back((uint8_t)acc);
        for (int i = 0; i < 8; i++) v.push_back(0); // room for any read-ahead
        return v;
    }
};

// A dynamic block header with HLIT 257, HDIST 1 and a code-length code whose
// lengths are given in transmission order (16, 17, 18, 0, 8, ...).
Bits dynamic_header(std::initializer_list<uint32_t> clens, uint32_t hlit = 0)
{
    Bits b;
    b.put(1, 1).put(2, 2).put(hlit, 5).put(0, 5).put((uint32_t)clens.size() - 4, 4);
    for (uint32_t l : clens) b.put(l, 3);
    return b;
}

// A dynamic block for a 4 x 1 grey picture of 0x80s: literal/length lengths
// 8 for 0..253 and 9 for 254..257, one distance code of length 1 (a lone
// code, allowed), then literal 0, literal 0x80, a match of 3 at the distance
// whose code is `distbit` (0 the lone code, 1 no code), end of block.
// Code-length code: 8 -> 0, 1 -> 10, 9 -> 11.
std::vector<uint8_t> lone_distance_block(uint32_t distbit)
{
    Bits b = dynamic_header({0, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}, 1);
    for (int32_t i = 0; i < 254; i++) b.code(0, 1);
    for (int32_t i = 0; i < 4; i++) b.code(3, 2);
    b.code(2, 2);
    b.code(0, 8).code(128, 8).code(511, 9).code(distbit, 1).code(510, 9);
    return b.done();
}

// 1 x 1 grey picture: its data inflates to {0 (filter), 0x80}.
std::vector<uint8_t> grey1x1(const std::vector<uint8_t> &z) { return file_of(1, 1, 8, 0, 0, {}, z); }

std::vector<uint8_t> with_header_byte(size_t at, uint8_t v)
{
    std::vector<uint8_t> f = file_of(2, 2, 8, 6, 0, std::vector<uint8_t>(18, 0));
    f[8 + 8 + at] = v;
    return f;
}

std::vector<uint8_t> with_size(uint32_t w, uint32_t h, int32_t depth, int32_t ctype)
{
    return file_of((int32_t)w, (int32_t)h, depth, ctype, 0, {0, 0, 0, 0, 0});
}

TEST(PngDecode, CraftedStreamsAcceptedOrRefused)
{
    // Code-length codes (lengths in the order 16, 17, 18, 0, 8, 7, 9, 6, 10,
    // 5, 11, 4, 12, 3, 13, 2, 14, 1), as symbol -> code:
    // zeros: 18 -> 0, 0 -> 10, 8 -> 11;  twos: 18 -> 0, 0 -> 10, 2 -> 11;
    // ones: 18 -> 0, 0 -> 10, 1 -> 11; the repeat case: 16 -> 0, 0 -> 10, 8 -> 11.
    auto zeros = [] { return dynamic_header({0, 0, 1, 2, 2}); };
    auto twos = [] { return dynamic_header({0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}); };
    auto ones = [] { return dynamic_header({0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}); };

    std::vector<uint8_t> palette_over = vxpng_start(1, 1, 8, 3, 0);
    std::vector<uint8_t> big_plte(257 * 3, 9);
    vxpng_chunk(&palette_over, "PLTE", big_plte.data(), (uint32_t)big_plte.size());
    const std::vector<uint8_t> px = zlib_of({0, 0});
    vxpng_chunk(&palette_over, "IDAT", px.data(), (uint32_t)px.size());

    std::vector<uint8_t> no_palette = file_of(1, 1, 8, 3, 0, {0, 0});
    std::vector<uint8_t> no_header = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    vxpng_chunk(&no_header, "IDAT", px.data(), (uint32_t)px.size());
    std::vector<uint8_t> no_data = vxpng_start(1, 1, 8, 0, 0);
    vxpng_chunk(&no_data, "IEND", nullptr, 0);
    std::vector<uint8_t> past_end = vxpng_start(1, 1, 8, 0, 0);
    vxpng_chunk(&past_end, "IDAT", px.data(), (uint32_t)px.size());
    past_end.resize(past_end.size() - 5); // the IDAT's length now runs past the data

    const std::vector<uint8_t> good = zlib_of({0, 0x80});
    std::vector<uint8_t> cut = good;
    cut.resize(3);
    std::vector<uint8_t> lines(2 * 5, 0); // 2 x 2 RGBA needs 2 x 9 bytes
    std::vector<uint8_t> wide_line(65536, 0);

    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        int32_t png_error, inflate_error; // what the refusal names
    } cases[] = {
        {"control: a fixed block", grey1x1(Bits().put(1, 1).put(1, 2).fixed(0).fixed(0x80).fixed(256).done()), PNG_OK,
         INFLATE_OK},
        {"stored block of length 0, then one with the line",
         grey1x1(Bits()
                     .put(0, 3)
                     .put(0, 5)
                     .put(0, 16)
                     .put(0xFFFF, 16)
                     .put(1, 3)
                     .put(0, 5)
                     .put(2, 16)
                     .put(0xFFFD, 16)
                     .put(0, 8)
                     .put(0x80, 8)
                     .done()),
         PNG_OK, INFLATE_OK},
        {"reserved block type skipped",
         grey1x1(Bits().put(0, 1).put(3, 2).put(1, 1).put(1, 2).fixed(0).fixed(0x80).fixed(256).done()), PNG_OK,
         INFLATE_OK},
        {"lone distance code", file_of(4, 1, 8, 0, 0, {}, lone_distance_block(0)), PNG_OK, INFLATE_OK},
        {"bits that form no distance code", file_of(4, 1, 8, 0, 0, {}, lone_distance_block(1)), PNG_BAD_STREAM,
         INFLATE_BAD_CODE},
        {"line of 65,535 bytes", file_of(65535, 1, 8, 0, 0, wide_line), PNG_OK, INFLATE_OK},
        {"line of 65,536 bytes", file_of(65536, 1, 8, 0, 0, wide_line), PNG_LINE_TOO_LONG, INFLATE_OK},
        {"bytes per line wrapping 32 bits", with_size(0x08000000u, 1, 8, 6), PNG_LINE_TOO_LONG, INFLATE_OK},
        {"width 2^31 - 1 RGBA", with_size(0x7FFFFFFFu, 1, 8, 6), PNG_LINE_TOO_LONG, INFLATE_OK},
        {"width 0", with_size(0, 1, 8, 0), PNG_BAD_HEADER, INFLATE_OK},
        {"height 0", with_size(1, 0, 8, 0), PNG_BAD_HEADER, INFLATE_OK},
        {"width 2^31", with_size(0x80000000u, 1, 8, 0), PNG_BAD_HEADER, INFLATE_OK},
        {"depth 16", with_header_byte(8, 16), PNG_BAD_HEADER, INFLATE_OK},
        {"depth 3", with_header_byte(8, 3), PNG_BAD_HEADER, INFLATE_OK},
        {"colour type 1", with_header_byte(9, 1), PNG_BAD_HEADER, INFLATE_OK},
        {"colour type 5", with_header_byte(9, 5), PNG_BAD_HEADER, INFLATE_OK},
        {"colour type 7", with_header_byte(9, 7), PNG_BAD_HEADER, INFLATE_OK},
        {"compression method 1", with_header_byte(10, 1), PNG_BAD_HEADER, INFLATE_OK},
        {"filter method 1", with_header_byte(11, 1), PNG_BAD_HEADER, INFLATE_OK},
        {"interlace method 2", with_header_byte(12, 2), PNG_BAD_HEADER, INFLATE_OK},
        {"image data before IHDR", no_header, PNG_NO_HEADER, INFLATE_OK},
        {"no image data", no_data, PNG_NO_IMAGE_DATA, INFLATE_OK},
        {"chunk running past the data", past_end, PNG_CHUNK_PAST_END, INFLATE_OK},
        {"shorter than the signature", std::vector<uint8_t>(5, 0x89), PNG_NO_IMAGE_DATA, INFLATE_OK},
        {"palette image without PLTE", no_palette, PNG_NO_PALETTE, INFLATE_OK},
        {"PLTE of 257 entries", palette_over, PNG_PALETTE_TOO_BIG, INFLATE_OK},
        {"filter type 5", grey1x1(zlib_of({5, 0x80})), PNG_BAD_FILTER, INFLATE_REFUSED_BY_TAKER},
        {"image data ends before the last line", file_of(2, 2, 8, 6, 0, lines), PNG_IMAGE_DATA_SHORT, INFLATE_OK},
        {"compressed data runs past the last IDAT", grey1x1(cut), PNG_BAD_STREAM, INFLATE_DATA_ENDED},
        {"stored block NLEN not the complement",
         grey1x1(Bits().put(1, 3).put(0, 5).put(2, 16).put(0xFFFC, 16).put(0, 8).put(0x80, 8).done()), PNG_BAD_STREAM,
         INFLATE_STORED_LENGTH},
        {"literal/length symbol 286", grey1x1(Bits().put(1, 1).put(1, 2).fixed(0).fixed(286).done()), PNG_BAD_STREAM,
         INFLATE_LENGTH_SYMBOL},
        {"literal/length symbol 287", grey1x1(Bits().put(1, 1).put(1, 2).fixed(0).fixed(287).done()), PNG_BAD_STREAM,
         INFLATE_LENGTH_SYMBOL},
        {"distance symbol 30", grey1x1(Bits().put(1, 1).put(1, 2).fixed(0).fixed(257).code(30, 5).done()),
         PNG_BAD_STREAM, INFLATE_DISTANCE_SYMBOL},
        {"distance symbol 31", grey1x1(Bits().put(1, 1).put(1, 2).fixed(0).fixed(257).code(31, 5).done()),
         PNG_BAD_STREAM, INFLATE_DISTANCE_SYMBOL},
        {"distance with no output yet", grey1x1(Bits().put(1, 1).put(1, 2).fixed(257).code(0, 5).done()),
         PNG_BAD_STREAM, INFLATE_DISTANCE_TOO_FAR},
        {"distance one beyond the output", grey1x1(Bits().put(1, 1).put(1, 2).fixed(0).fixed(257).code(1, 5).done()),
         PNG_BAD_STREAM, INFLATE_DISTANCE_TOO_FAR},
        {"code-length code oversubscribed", grey1x1(dynamic_header({1, 1, 1, 1}).done()), PNG_BAD_STREAM,
         INFLATE_CODE_OVERSUBSCRIBED},
        {"code-length code incomplete", grey1x1(dynamic_header({0, 0, 1, 0}).done()), PNG_BAD_STREAM,
         INFLATE_CODE_INCOMPLETE},
        {"repeat at the first code length", grey1x1(dynamic_header({1, 0, 0, 2, 2}).code(0, 1).done()), PNG_BAD_STREAM,
         INFLATE_REPEAT_AT_START},
        {"repeat past the code lengths", grey1x1(zeros().code(0, 1).put(127, 7).code(0, 1).put(127, 7).done()),
         PNG_BAD_STREAM, INFLATE_REPEAT_PAST_END},
        {"literal/length code incomplete",
         grey1x1(twos().code(0, 1).put(127, 7).code(0, 1).put(107, 7).code(3, 2).code(2, 2).done()), PNG_BAD_STREAM,
         INFLATE_CODE_INCOMPLETE},
        {"literal/length code oversubscribed",
         grey1x1(
             ones().code(3, 2).code(3, 2).code(0, 1).put(127, 7).code(0, 1).put(105, 7).code(3, 2).code(2, 2).done()),
         PNG_BAD_STREAM, INFLATE_CODE_OVERSUBSCRIBED},
        {"no end-of-block code",
         grey1x1(ones().code(3, 2).code(3, 2).code(0, 1).put(127, 7).code(0, 1).put(106, 7).code(2, 2).done()),
         PNG_BAD_STREAM, INFLATE_NO_END_CODE},
    };
    for (const Case &c : cases) {
        Dest d(2, 2);
        EXPECT_EQ(d.decode(c.file), c.png_error == PNG_OK ? 0 : -1) << c.what;
        EXPECT_EQ(vox_png_error(), c.png_error) << c.what;
        if (c.png_error == PNG_BAD_STREAM || c.png_error == PNG_BAD_FILTER) {
            EXPECT_EQ(vox_inflate_error(), c.inflate_error) << c.what;
        }
        EXPECT_TRUE(d.border_intact()) << c.what;
    }

    // The caller's side.
    uint32_t one = 0;
    const std::vector<uint8_t> ok = grey1x1(good);
    EXPECT_EQ(decodepng(ok.data(), ok.size(), &one, 4, 1, 1), 0);
    EXPECT_EQ(one, 0xFF808080u);
    EXPECT_EQ(decodepng(ok.data(), ok.size(), nullptr, 4, 1, 1), -1);
    EXPECT_EQ(decodepng(ok.data(), ok.size(), &one, 3, 1, 1), -1);
    EXPECT_EQ(decodepng(ok.data(), ok.size(), &one, 4, 0, 1), -1);
    EXPECT_EQ(decodepng(ok.data(), ok.size(), &one, 4, 1, -1), -1);
    EXPECT_EQ(decodepng(ok.data(), ok.size() - 20, &one, 4, 1, 1), -1); // size is honoured
}

// ---- mutation fuzz ----

TEST(PngDecode, MutatedFilesNeverWriteOutsideTheCallersRectangle)
{
    rng_srand(2024);
    std::vector<std::vector<uint8_t>> seeds;
    const Format fs[] = {{6, 8, false}, {3, 4, true}, {0, 2, true}, {2, 8, true}, {4, 8, false}, {2, 4, false}};
    int32_t k = 0;
    for (const Format &f : fs) {
        int32_t palcount;
        VxPngOptions o = options_for(f, &palcount);
        o.interlace = k & 1;
        o.filter = -1;
        o.deflate = k % 3;
        o.idat_bytes = k == 4 ? 7 : 0;
        const std::vector<uint8_t> raw = make_raw(f, 21, 13, palcount);
        seeds.push_back(vxpng_encode(raw.data(), 21, 13, o));
        k++;
    }
    const int32_t rounds = 60000;
    int32_t accepted = 0;
    for (int32_t i = 0; i < rounds; i++) {
        std::vector<uint8_t> f = seeds[(size_t)i % seeds.size()];
        const int32_t edits = 1 + rng_rand() % 4;
        for (int32_t e = 0; e < edits && !f.empty(); e++) {
            const size_t at = (size_t)rnd32() % f.size();
            switch (rng_rand() % 5) {
            case 0:
                f[at] ^= (uint8_t)(1u << (rng_rand() & 7));
                break;
            case 1:
                f[at] = (uint8_t)rng_rand();
                break;
            case 2:
                f.resize(at);
                break;
            case 3: // a slice repeated
            {
                const size_t n = (size_t)(rng_rand() % 64);
                if (at + n <= f.size())
                    f.insert(f.begin() + (long)at, f.begin() + (long)at, f.begin() + (long)(at + n));
                break;
            }
            default: // a random 32-bit word (lengths, sizes)
                for (size_t b = 0; b < 4 && at + b < f.size(); b++) f[at + b] = (uint8_t)rng_rand();
                break;
            }
        }
        Dest d(1 + rng_rand() % 30, 1 + rng_rand() % 20, 2);
        // Exactly sized data, so a read past the end is caught by the sanitizer.
        std::vector<uint8_t> exact(f.begin(), f.end());
        const int32_t r =
            decodepng(exact.empty() ? nullptr : exact.data(), exact.size(), d.origin(), d.stride * 4, d.dw, d.dh);
        ASSERT_TRUE(r == 0 || r == -1) << i;
        accepted += r == 0;
        ASSERT_TRUE(d.border_intact()) << "round " << i;
    }
    EXPECT_GT(accepted, rounds / 50); // the mutations reach the deeper code
    EXPECT_LT(accepted, rounds);
}

} // namespace
