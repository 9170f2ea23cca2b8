// Display: the frame surface in memory, its lock, unlock and presentation,
// and the off-screen surfaces that text and pictures are blitted from.
#include "platform/plat_display.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/byteio.h"
#include "platform/plat_backend.h"
#include "platform/plat_log.h"
#include "platform/plat_main.h"
#include "platform/plat_script.h"
#include "platform/plat_test.h"

#define SURFACE_MAX_SIDE 8192

struct DirectDraw {
    int32_t windowed;
};

// Display state, one per run: exists between initdirectdraw and uninitdirectdraw.
static DirectDraw display_object;
static DirectDraw *display;      // &display_object while the display exists
static Surface frame_surface;
static Surface *frame;           // &frame_surface while the frame exists
static int32_t frames_presented;

static void display_fail_box(int32_t code)
{
    char text[64];
    std::snprintf(text, sizeof text, "initdirectdraw failed: 0x%08lx", (unsigned long)(uint32_t)code);
    messagebox(text, "ERROR", 1);
}

int initdirectdraw(int windowed)
{
    DisplaySettings *ds = game_display_settings();
    if (display) uninitdirectdraw();
    if (!windowexists()) {
        display_fail_box(DDERR_NODIRECTDRAW);
        return 0;
    }
    if (windowed) ds->windowed = 1;
    display_object.windowed = windowed ? 1 : 0;
    display = &display_object;
    frames_presented = 0;

    // The frame's lines lie further apart than its width needs, as a display
    // surface's may: callers must step by the pitch.
    const int32_t w = ds->width, h = ds->height;
    if (w < 1 || h < 1 || w > SURFACE_MAX_SIDE || h > SURFACE_MAX_SIDE) return -1;
    const int32_t pitch = ((w * 4 + 63) & ~63) + 64;
    uint8_t *pixels = (uint8_t *)std::aligned_alloc(64, (size_t)pitch * (size_t)h);
    if (!pixels) return -1;
    std::memset(pixels, 0, (size_t)pitch * (size_t)h);
    frame_surface = Surface{pixels, w, h, pitch, 0, 0, 0, 0};
    frame = &frame_surface;
    return 1;
}

void uninitdirectdraw()
{
    if (!display) return;
    if (frame) {
        std::free(frame->pixels);
        frame_surface = Surface{};
        frame = nullptr;
    }
    display = nullptr;
    plat_log("release display");
}

int lockframe(uint8_t **pixels, int32_t *pitch)
{
    if (frame && frame->locked) unlockframe();
    if (!frame) return -1;
    if (frame->lost) {
        restoresurface(frame);
        return 0;
    }
    frame->locked = 1;
    *pixels = frame->pixels;
    *pitch = frame->pitch;
    return 1;
}

void unlockframe()
{
    if (frame && frame->locked) frame->locked = 0;
}

int32_t presentframe()
{
    if (!display || !frame) return DDERR_NODIRECTDRAW;
    if (frame->locked) return DDERR_SURFACEBUSY;
    if (frame->lost) restoresurface(frame); // restored once, then shown
    if (plat_backend) plat_backend->present(frame->pixels, frame->pitch, frame->width, frame->height);
    frames_presented++;
    script_after_present(frame->pixels, frame->pitch, frame->width, frame->height);
    return DD_OK;
}

int32_t plat_frames_presented() { return frames_presented; }

void plat_lose_surfaces()
{
    if (frame) frame->lost = 1;
}

static int32_t surface_usable(const Surface *s)
{
    if (!s || !s->pixels) return DDERR_INVALIDPARAMS;
    if (s->locked) return DDERR_SURFACEBUSY;
    if (s->lost) return DDERR_SURFACELOST;
    return DD_OK;
}

int32_t fillsurface(Surface *surface, int32_t red, int32_t green, int32_t blue)
{
    int32_t rc = surface_usable(surface);
    if (rc != DD_OK) return rc;
    const uint32_t c = ((uint32_t)(red & 255) << 16) | ((uint32_t)(green & 255) << 8) | (uint32_t)(blue & 255);
    for (int32_t y = 0; y < surface->height; y++) {
        uint8_t *row = surface->pixels + (size_t)y * (size_t)surface->pitch;
        for (int32_t x = 0; x < surface->width; x++) le_put_u32(row + 4 * (size_t)x, c);
    }
    return DD_OK;
}

Surface *getframesurface() { return frame; }

DirectDraw *getdirectdraw() { return display; }

Surface *createsurface(DirectDraw *dd, int32_t width, int32_t height)
{
    if (!dd || width < 1 || height < 1 || width > SURFACE_MAX_SIDE || height > SURFACE_MAX_SIDE) return nullptr;
    Surface *s = (Surface *)std::calloc(1, sizeof(Surface));
    uint8_t *pixels = (uint8_t *)std::calloc((size_t)width * (size_t)height, 4);
    if (!s || !pixels) {
        std::free(s);
        std::free(pixels);
        return nullptr;
    }
    *s = Surface{pixels, width, height, width * 4, 0, 0, 0, 0};
    return s;
}

void releasesurface(Surface *surface)
{
    if (!surface || surface == frame) return;
    std::free(surface->pixels);
    std::free(surface);
}

void setsurfacekey(Surface *surface, uint32_t key)
{
    if (!surface) return;
    surface->haskey = 1;
    surface->colourkey = key & 0xFFFFFFu;
}

int32_t restoresurface(Surface *surface)
{
    if (!surface) return DDERR_INVALIDPARAMS;
    surface->lost = 0;
    return DD_OK;
}

int32_t blitsurface(Surface *to, int32_t x, int32_t y, const Surface *from, const SurfaceRect *src, int usekey)
{
    int32_t rc = surface_usable(to);
    if (rc == DD_OK) rc = surface_usable(from);
    if (rc != DD_OK) return rc;
    const SurfaceRect whole{0, 0, from->width, from->height};
    const SurfaceRect r = src ? *src : whole;
    if (r.left < 0 || r.top < 0 || r.right > from->width || r.bottom > from->height || r.left > r.right ||
        r.top > r.bottom)
        return DDERR_INVALIDRECT;
    const int32_t w = r.right - r.left, h = r.bottom - r.top;
    if (w == 0 || h == 0) return DD_OK;
    if (x < 0 || y < 0 || x > to->width - w || y > to->height - h) return DDERR_INVALIDRECT;
    const bool keyed = usekey && from->haskey;
    for (int32_t j = 0; j < h; j++) {
        const uint8_t *in = from->pixels + (size_t)(r.top + j) * (size_t)from->pitch + 4 * (size_t)r.left;
        uint8_t *out = to->pixels + (size_t)(y + j) * (size_t)to->pitch + 4 * (size_t)x;
        if (!keyed) {
            std::memmove(out, in, 4 * (size_t)w);
            continue;
        }
        for (int32_t i = 0; i < w; i++) {
            const uint32_t p = le_get_u32(in + 4 * (size_t)i);
            if ((p & 0xFFFFFFu) != from->colourkey) le_put_u32(out + 4 * (size_t)i, p);
        }
    }
    return DD_OK;
}

int32_t locksurface(Surface *surface, uint8_t **pixels, int32_t *pitch)
{
    int32_t rc = surface_usable(surface);
    if (rc != DD_OK) return rc;
    surface->locked = 1;
    *pixels = surface->pixels;
    *pitch = surface->pitch;
    return DD_OK;
}

void unlocksurface(Surface *surface)
{
    if (surface) surface->locked = 0;
}
