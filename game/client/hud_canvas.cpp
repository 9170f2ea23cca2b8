#include "client/hud_canvas.h"

#include "client/game_assets.h"
#include "client/game_settings.h"
#include "platform/plat_bitmap.h"
#include "platform/plat_display.h"
#include "platform/plat_font.h"
#include "renderer/vox_prim.h"
#include "renderer/vox_start.h"
#include "renderer/vox_text.h"

// 1 between a lock of ours that bound the frame and its release.
static int hud_locked;

int hud_width() { return client_settings.xres; }
int hud_height() { return client_settings.yres; }

int hud_lock()
{
    const Surface *frame = getframesurface();
    if (hud_locked && frame && frame->locked) return 1;
    hud_locked = 0;
    uint8_t *pixels;
    int32_t pitch;
    if (lockframe(&pixels, &pitch) != 1) return 0;
    if (!voxsetframebuffer(pixels, pitch, hud_width(), hud_height())) {
        unlockframe();
        return 0;
    }
    hud_locked = 1;
    return 1;
}

void hud_unlock()
{
    if (!hud_locked) return;
    unlockframe();
    hud_locked = 0;
}

void hud_text(int font, const char *text, int32_t x, int32_t y, uint32_t colour)
{
    BitmapFont *f = getfont(font);
    if (!f || !text) return;
    hud_unlock();
    drawtextcolor(f, text, x, y, getframesurface(), colour & 0xFFFFFFu);
}

void hud_text_centred(int font, const char *text, int32_t y, uint32_t colour)
{
    hud_text(font, text, (hud_width() - hud_text_width(font, text)) / 2, y, colour);
}

void hud_text_right(int font, const char *text, int32_t right_x, int32_t y, uint32_t colour)
{
    hud_text(font, text, right_x - hud_text_width(font, text), y, colour);
}

int32_t hud_text_width(int font, const char *text) { return gettextwidth(getfont(font), text); }

int32_t hud_font_height(int font) { return getfontheight(getfont(font)); }

void hud_text6x8(int32_t x, int32_t y, uint32_t colour, const char *text)
{
    if (text && hud_lock()) printtext6x8(x, y, colour, text);
}

int hud_blit_bitmap(DirectDraw *display, Surface *surface, const Bitmap *bitmap, int32_t x, int32_t y,
                    int centred, float angle, uint32_t colour, uint32_t key)
{
    if (!bitmap || !surface) return 0;
    if (surface->lost) restoresurface(surface);
    // The uncovered corners of the turned picture take the key colour, so
    // they stay transparent.
    Bitmap *turned = rotatebitmap(bitmap, angle, colour & 0xFFFFFFu, key);
    if (!turned) return 0;
    Surface *temp = createsurface(display, turned->width, turned->height);
    if (!temp) {
        freebitmap(turned);
        return 0;
    }
    setsurfacekey(temp, key);
    bitmaptosurface(temp, 0, 0, turned);
    const int32_t w = turned->width, h = turned->height;
    blitsurface(surface, centred ? x - w / 2 : x, centred ? y - h / 2 : y, temp, nullptr, 1);
    releasesurface(temp);
    freebitmap(turned);
    return 1;
}

void hud_icon(int bitmap, int32_t x, int32_t y, int centred, float angle, uint32_t colour)
{
    if (bitmap < 0 || bitmap >= BMP_COUNT || !hud_bitmaps[bitmap]) return;
    hud_unlock();
    hud_blit_bitmap(getdirectdraw(), getframesurface(), hud_bitmaps[bitmap], x, y, centred, angle, colour, 0);
}

void hud_rectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    if (!hud_lock()) return;
    plotline(x0, y0, x1, y0, 0);
    plotline(x1, y0, x1, y1, 0);
    plotline(x1, y1, x0, y1, 0);
    plotline(x0, y1, x0, y0, 0);
}

uint32_t hud_scale_colour(uint32_t colour, int32_t k)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const float v = (float)((colour >> shift) & 255) * (float)k / 127.5f;
        const uint32_t c = v >= 255.0f ? 255u : (v > 0.0f ? (uint32_t)v : 0u);
        out |= c << shift;
    }
    return out;
}

float hud_heading(float x, float y) { return math_angle_diff(0.0f, -1.0f, x, y); }

float hud_distance2(const Vec3 *a, const Vec3 *b)
{
    const float dx = a->x - b->x, dy = a->y - b->y;
    return dx * dx + dy * dy;
}
