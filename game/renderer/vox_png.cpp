// PNG decoding: the chunk walk, the row decoder fed by the inflater, the
// filters, Adam7 passes and the pixel conversion.
#include "renderer/vox_png.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/byteio.h"
#include "renderer/vox_inflate.h"

#define PNG_MAX_LINE 65535 // bytes per line without the filter byte
#define PNG_PAD 8          // zero bytes before each line: the left neighbours of its first pixel

static const uint32_t TYPE_IHDR = 0x49484452, TYPE_PLTE = 0x504C5445, TYPE_TRNS = 0x74524E53, TYPE_IDAT = 0x49444154;

// Adam7 passes; a plain image is one pass from (0, 0) with steps 1 and 1.
static const int32_t adam7_x0[7] = {0, 4, 0, 2, 0, 1, 0}, adam7_y0[7] = {0, 0, 4, 0, 2, 0, 1};
static const int32_t adam7_dx[7] = {8, 8, 4, 4, 2, 2, 1}, adam7_dy[7] = {8, 8, 8, 4, 4, 2, 2};

// The image being decoded; reset by every decodepng.
static struct {
    // header
    int32_t width, height, depth, ctype, interlace;
    int32_t samples; // per pixel
    int32_t bpp;     // bytes back to the left neighbour
    uint32_t palette[256];
    int32_t palcount;
    uint32_t colourkey; // 0 none
    // the run of IDAT chunks being read
    const uint8_t *data;
    size_t size, next; // `next`: offset of the CRC after the current IDAT's data
    // caller's rectangle
    uint8_t *dest;
    int32_t pitch, dw, dh;
    // rows
    uint8_t rows[2][PNG_PAD + PNG_MAX_LINE];
    uint8_t *cur, *prev; // line bytes (after the pad)
    int32_t filter;      // -1 until the line's first byte arrived
    int32_t linebytes, fill;
    int32_t pass, lastpass, passrow, passrows, passcols, x0, dx, dy;
    int64_t line;     // image line of the current row (may step past 2^31 - 1)
    int32_t complete; // every line that can be written is written
    int32_t error;    // PngError
} png;

static int32_t refuse(int32_t why)
{
    png.error = why;
    return -1;
}

int32_t vox_png_error() { return png.error; }

// Next IDAT chunk of the run, walked by its length.
static int more_idat(void *, const uint8_t **data, size_t *size)
{
    size_t pos = png.next + 4; // past the CRC
    if (png.next > png.size || png.size - png.next < 12) return 0;
    const uint32_t len = be_get_u32(png.data + pos), type = be_get_u32(png.data + pos + 4);
    pos += 8;
    if (type != TYPE_IDAT || len > png.size - pos) return 0;
    *data = png.data + pos;
    *size = len;
    png.next = pos + len;
    return 1;
}

// Sets up pass p (skipping empty passes); marks the image complete after
// the last one.
static void start_pass(int32_t p)
{
    const int32_t passes = png.interlace ? 7 : 1;
    for (; p < passes; p++) {
        const int32_t x0 = png.interlace ? adam7_x0[p] : 0, y0 = png.interlace ? adam7_y0[p] : 0;
        const int32_t dx = png.interlace ? adam7_dx[p] : 1, dy = png.interlace ? adam7_dy[p] : 1;
        if (x0 >= png.width || y0 >= png.height) continue;
        png.pass = p;
        png.x0 = x0;
        png.dx = dx;
        png.dy = dy;
        png.line = y0;
        png.passrow = 0;
        png.passcols = (int32_t)(((int64_t)png.width - x0 + dx - 1) / dx);
        png.passrows = (int32_t)(((int64_t)png.height - y0 + dy - 1) / dy);
        // No longer than the whole image line, which was checked.
        png.linebytes = (int32_t)(((int64_t)png.passcols * png.samples * png.depth + 7) / 8);
        png.fill = 0;
        png.filter = -1;
        std::memset(png.prev - PNG_PAD, 0, (size_t)(PNG_PAD + png.linebytes));
        std::memset(png.cur - PNG_PAD, 0, PNG_PAD);
        return;
    }
    png.complete = 1;
}

static void find_last_pass()
{
    png.lastpass = 0;
    if (!png.interlace) return;
    for (int32_t p = 0; p < 7; p++)
        if (adam7_x0[p] < png.width && adam7_y0[p] < png.height) png.lastpass = p;
}

static int32_t unfilter()
{
    uint8_t *c = png.cur;
    const uint8_t *u = png.prev;
    const int32_t n = png.linebytes, b = png.bpp;
    switch (png.filter) {
    case 0:
        break;
    case 1:
        for (int32_t i = 0; i < n; i++) c[i] = (uint8_t)(c[i] + c[i - b]);
        break;
    case 2:
        for (int32_t i = 0; i < n; i++) c[i] = (uint8_t)(c[i] + u[i]);
        break;
    case 3:
        for (int32_t i = 0; i < n; i++) c[i] = (uint8_t)(c[i] + ((c[i - b] + u[i]) >> 1));
        break;
    case 4:
        for (int32_t i = 0; i < n; i++) {
            const int32_t a = c[i - b], up = u[i], ul = u[i - b];
            const int32_t p = a + up - ul;
            const int32_t pa = p > a ? p - a : a - p, pb = p > up ? p - up : up - p, pc = p > ul ? p - ul : ul - p;
            const int32_t pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? up : ul);
            c[i] = (uint8_t)(c[i] + pred);
        }
        break;
    default:
        return refuse(PNG_BAD_FILTER);
    }
    return 0;
}

// Sample i of the line (depths below 8: high bits first).
static inline uint32_t sample(const uint8_t *line, int32_t i)
{
    const int32_t bit = i * png.depth;
    const int32_t shift = 8 - png.depth - (bit & 7);
    return (uint32_t)(line[bit >> 3] >> shift) & ((1u << png.depth) - 1);
}

// Writes the current line's pixels inside the caller's width.
static void convert_line()
{
    uint32_t *out = (uint32_t *)(png.dest + png.line * png.pitch);
    const uint8_t *l = png.cur;
    int32_t cols = png.passcols;
    if (png.x0 >= png.dw) return;
    const int64_t fit = ((int64_t)png.dw - png.x0 + png.dx - 1) / png.dx;
    if (cols > fit) cols = (int32_t)fit;
    const int32_t x0 = png.x0, dx = png.dx;
    if (png.depth == 8) {
        switch (png.ctype) {
        case 6:
            for (int32_t c = 0; c < cols; c++, l += 4)
                out[x0 + c * dx] = ((uint32_t)l[3] << 24) | ((uint32_t)l[0] << 16) | ((uint32_t)l[1] << 8) | l[2];
            break;
        case 2:
            for (int32_t c = 0; c < cols; c++, l += 3) {
                const uint32_t v = 0xFF000000u | ((uint32_t)l[0] << 16) | ((uint32_t)l[1] << 8) | l[2];
                out[x0 + c * dx] = v == png.colourkey ? v & 0x00FFFFFFu : v;
            }
            break;
        case 4:
            for (int32_t c = 0; c < cols; c++, l += 2)
                out[x0 + c * dx] = (png.palette[l[0]] & 0x00FFFFFFu) | ((uint32_t)l[1] << 24);
            break;
        default:
            for (int32_t c = 0; c < cols; c++) out[x0 + c * dx] = png.palette[l[c]];
            break;
        }
        return;
    }
    const uint32_t scale = 255u / ((1u << png.depth) - 1);
    for (int32_t c = 0; c < cols; c++) {
        const int32_t s = c * png.samples;
        uint32_t v;
        switch (png.ctype) {
        case 2:
            v = 0xFF000000u | (sample(l, s) * scale << 16) | (sample(l, s + 1) * scale << 8) | sample(l, s + 2) * scale;
            break;
        case 4:
            v = (png.palette[sample(l, s)] & 0x00FFFFFFu) | (sample(l, s + 1) * scale << 24);
            break;
        case 6:
            v = (sample(l, s + 3) * scale << 24) | (sample(l, s) * scale << 16) | (sample(l, s + 1) * scale << 8) |
                sample(l, s + 2) * scale;
            break;
        default:
            v = png.palette[sample(l, s)];
            break;
        }
        out[x0 + c * dx] = v;
    }
}

// A full line has arrived: unfilter, write, step to the next line or pass.
static int32_t finish_line()
{
    if (unfilter() < 0) return -1;
    if (png.line < png.dh) convert_line();
    uint8_t *t = png.prev;
    png.prev = png.cur;
    png.cur = t;
    png.fill = 0;
    png.filter = -1;
    png.line += png.dy;
    if (++png.passrow >= png.passrows) start_pass(png.pass + 1);
    // The last pass's lines beyond the caller's height are never written.
    if (!png.complete && png.pass == png.lastpass && png.line >= png.dh) png.complete = 1;
    return 0;
}

// Takes inflated bytes into lines.
static int take_rows(void *, const uint8_t *bytes, size_t n)
{
    while (n > 0 && !png.complete) {
        if (png.filter < 0) {
            png.filter = *bytes++;
            n--;
            continue;
        }
        size_t k = (size_t)(png.linebytes - png.fill);
        if (k > n) k = n;
        std::memcpy(png.cur + png.fill, bytes, k);
        png.fill += (int32_t)k;
        bytes += k;
        n -= k;
        if (png.fill == png.linebytes && finish_line() < 0) return -1;
    }
    return png.complete ? 0 : 1;
}

static int32_t read_header(const uint8_t *d, uint32_t len)
{
    if (len < 13) return refuse(PNG_BAD_HEADER);
    const uint32_t w = be_get_u32(d), h = be_get_u32(d + 4);
    const int32_t depth = d[8], ctype = d[9];
    const bool sizes = w > 0 && h > 0 && w <= 0x7FFFFFFFu && h <= 0x7FFFFFFFu;
    const bool depths = depth == 1 || depth == 2 || depth == 4 || depth == 8;
    const bool types = ctype == 0 || ctype == 2 || ctype == 3 || ctype == 4 || ctype == 6;
    if (!sizes || !depths || !types || d[10] != 0 || d[11] != 0 || d[12] > 1) return refuse(PNG_BAD_HEADER);
    png.width = (int32_t)w;
    png.height = (int32_t)h;
    png.depth = depth;
    png.ctype = ctype;
    png.interlace = d[12];
    png.samples = ctype == 2 ? 3 : ctype == 4 ? 2 : ctype == 6 ? 4 : 1;
    png.bpp = depth < 8 ? 1 : png.samples;
    if (ctype == 0 || ctype == 4) {
        const uint32_t levels = 1u << depth, step = 255u / (levels - 1);
        for (uint32_t i = 0; i < levels; i++) png.palette[i] = 0xFF000000u + i * step * 0x010101u;
        png.palcount = (int32_t)levels;
    }
    return 0;
}

static void read_transparency(const uint8_t *d, uint32_t len)
{
    if (png.ctype == 0 && len >= 2) {
        png.palette[d[1]] &= 0x00FFFFFFu;
    } else if (png.ctype == 3) {
        for (uint32_t i = 0; i < len && (int32_t)i < png.palcount; i++)
            png.palette[i] = (png.palette[i] & 0x00FFFFFFu) | ((uint32_t)d[i] << 24);
    } else if (png.ctype == 2 && png.depth == 8 && len >= 6) {
        png.colourkey = 0xFF000000u | ((uint32_t)d[1] << 16) | ((uint32_t)d[3] << 8) | d[5];
    }
}

// The image data starts in the chunk at d[0..len): check the line size, set up
// the rows and inflate.
static int32_t read_image(const uint8_t *d, uint32_t len)
{
    const int64_t linebytes = ((int64_t)png.samples * png.width * png.depth + 7) / 8;
    if (linebytes + 1 > PNG_MAX_LINE + 1) return refuse(PNG_LINE_TOO_LONG);
    if (png.ctype == 3 && png.palcount == 0) return refuse(PNG_NO_PALETTE);
    if (png.depth < 8) {
        const uint32_t mask = (1u << png.depth) - 1;
        for (uint32_t v = mask + 1; v < 256; v++) png.palette[v] = png.palette[v & mask];
    }
    png.cur = png.rows[0] + PNG_PAD;
    png.prev = png.rows[1] + PNG_PAD;
    png.complete = 0;
    find_last_pass();
    start_pass(0);
    if (vox_inflate_zlib(d, len, more_idat, take_rows, nullptr) < 0)
        return png.error != PNG_OK ? -1 : refuse(PNG_BAD_STREAM);
    return png.complete ? 0 : refuse(PNG_IMAGE_DATA_SHORT);
}

int32_t decodepng(const uint8_t *data, size_t size, void *dest, int32_t pitch, int32_t width, int32_t height)
{
    png.error = PNG_OK;
    if (!data || !dest || width < 1 || height < 1 || (int64_t)pitch < 4 * (int64_t)width) return refuse(PNG_BAD_CALL);
    png.dest = (uint8_t *)dest;
    png.pitch = pitch;
    png.dw = width;
    png.dh = height;
    png.data = data;
    png.size = size;
    png.colourkey = 0;
    png.palcount = 0;
    for (uint32_t &p : png.palette) p = 0xFF000000u;
    int header = 0;

    size_t pos = 8; // the signature is not checked
    while (pos <= size && size - pos >= 8) {
        const uint32_t len = be_get_u32(data + pos), type = be_get_u32(data + pos + 4);
        const size_t body = pos + 8;
        if (len > 0x7FFFFFFFu || len > size - body) return refuse(PNG_CHUNK_PAST_END);
        const uint8_t *d = data + body;
        if (type == TYPE_IHDR) {
            if (read_header(d, len) < 0) return -1;
            header = 1;
        } else if (type == TYPE_PLTE && header) {
            if (len / 3 > 256) return refuse(PNG_PALETTE_TOO_BIG);
            // A palette in a grey image is not allowed; it would replace the grey ramp.
            if (png.ctype != 0 && png.ctype != 4) {
                png.palcount = (int32_t)(len / 3);
                for (int32_t i = 0; i < png.palcount; i++)
                    png.palette[i] =
                        0xFF000000u | ((uint32_t)d[3 * i] << 16) | ((uint32_t)d[3 * i + 1] << 8) | d[3 * i + 2];
            }
        } else if (type == TYPE_TRNS && header) {
            read_transparency(d, len);
        } else if (type == TYPE_IDAT) {
            if (!header) return refuse(PNG_NO_HEADER);
            png.next = body + len;
            return read_image(d, len);
        }
        pos = body + len + 4; // data and CRC
    }
    return refuse(PNG_NO_IMAGE_DATA);
}

void loadpngfile(const char *path, PngImage **out, int32_t width, int32_t height)
{
    if (!out) return;
    *out = nullptr;
    if (!path || width < 1 || height < 1) return;
    FILE *f = std::fopen(path, "rb");
    if (!f) return;
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    if (length <= 0 || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return;
    }
    uint8_t *data = (uint8_t *)std::malloc((size_t)length);
    const bool read = data && std::fread(data, 1, (size_t)length, f) == (size_t)length;
    std::fclose(f);
    if (!read) {
        std::free(data);
        return;
    }
    const uint64_t pixels = (uint64_t)width * (uint64_t)height;
    uint32_t *image = nullptr;
    if ((int64_t)width * 4 <= INT32_MAX && pixels <= SIZE_MAX / 4) image = (uint32_t *)std::calloc((size_t)pixels, 4);
    if (image && decodepng(data, (size_t)length, image, width * 4, width, height) == 0)
        *out = image;
    else
        std::free(image);
    std::free(data);
}
