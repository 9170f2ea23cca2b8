// Picture options of vxrender: a small table of placements, each loaded with
// loadpngfile and drawn with blitpicturepx.
#include "vxpicture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/byteio.h"
#include "renderer/voxrender.h"

#define VXPICTURE_MAX 16
#define VXPICTURE_MAX_SIDE 16384 // refuse absurd headers before allocating

const char *const vxpicture_usage =
    "  picture: --picture FILE.png [--picture-at X,Y] [--picture-zoom Z] [--picture-colour AARRGGBB]\n"
    "           (repeatable; colour FFFFFFFF blends by alpha (default), 0 copies)\n";

struct VxPicture {
    const char *path;
    int32_t x, y;
    float zoom;
    uint32_t colour;
};
static VxPicture pictures[VXPICTURE_MAX];
static int32_t picture_count;

int vxpicture_option(const char *option, const char *value)
{
    if (std::strncmp(option, "--picture", 9) != 0) return 0;
    if (!value) return -1;
    if (!std::strcmp(option, "--picture")) {
        if (picture_count == VXPICTURE_MAX) return -1;
        pictures[picture_count++] = VxPicture{value, 0, 0, 1.0f, 0xFFFFFFFFu};
        return 1;
    }
    if (picture_count == 0) return -1;
    VxPicture &p = pictures[picture_count - 1];
    if (!std::strcmp(option, "--picture-at")) return std::sscanf(value, "%d,%d", &p.x, &p.y) == 2 ? 1 : -1;
    if (!std::strcmp(option, "--picture-zoom")) return std::sscanf(value, "%f", &p.zoom) == 1 ? 1 : -1;
    if (!std::strcmp(option, "--picture-colour")) {
        char *end = nullptr;
        p.colour = (uint32_t)std::strtoul(value, &end, 16);
        return end && end != value && !*end ? 1 : -1;
    }
    return 0;
}

// Width and height from the file's IHDR chunk (the first chunk).
static int picture_size(const char *path, int32_t *w, int32_t *h)
{
    uint8_t head[24];
    FILE *f = std::fopen(path, "rb");
    if (!f) return 0;
    const bool got = std::fread(head, 1, sizeof head, f) == sizeof head;
    std::fclose(f);
    if (!got || std::memcmp(head + 12, "IHDR", 4) != 0) return 0;
    const uint32_t fw = be_get_u32(head + 16), fh = be_get_u32(head + 20);
    if (fw < 1 || fh < 1 || fw > VXPICTURE_MAX_SIDE || fh > VXPICTURE_MAX_SIDE) return 0;
    *w = (int32_t)fw;
    *h = (int32_t)fh;
    return 1;
}

int vxpicture_draw()
{
    int ok = 1;
    for (int32_t i = 0; i < picture_count; i++) {
        const VxPicture &p = pictures[i];
        int32_t w = 0, h = 0;
        PngImage *img = nullptr;
        if (picture_size(p.path, &w, &h)) loadpngfile(p.path, &img, w, h);
        if (!img) {
            std::fprintf(stderr, "vxrender: cannot load the picture %s\n", p.path);
            ok = 0;
            continue;
        }
        blitpicturepx(img, w, h, 0, 0, p.x, p.y, p.zoom, p.zoom, p.colour);
        std::free(img);
    }
    return ok;
}
