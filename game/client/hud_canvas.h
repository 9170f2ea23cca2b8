// The frame as the HUD and the menus draw on it: its size, the lock that
// binds it to the renderer, text in the platform fonts (drawn on the
// unlocked frame surface) and in the renderer's 6x8 font (drawn into the
// locked frame), and the HUD's bitmaps turned and tinted onto the surface.
// Pictures, models and lines need the lock; fonts and bitmaps need it
// released: each call below takes or releases it as it needs, so callers
// draw in the order they mean without tracking it.
#pragma once
#include <cstdint>

#include "common/math_vec.h"

struct Bitmap;
struct DirectDraw;
struct Surface;

// The platform fonts by slot.
enum HudFont {
    HUD_FONT_SMALL = 0,  // 12 pixel lines
    HUD_FONT_MEDIUM = 1, // 18
    HUD_FONT_LARGE = 2,  // 36
};

// Display width and height in pixels (the client's settings).
int hud_width();
int hud_height();

// Locks the frame and binds it to the renderer. 1 while pixels may be
// drawn (already locked: 1 at once); 0 when the frame cannot be drawn now
// (the lock did not return 1, or the renderer refused the frame): the
// caller skips that drawing.
int hud_lock();
// Releases the frame when locked.
void hud_unlock();

// Text in a platform font at (x, y) (the top of the line), colour 0xRRGGBB
// (a top byte is ignored). Nothing for an unknown font or null text.
void hud_text(int font, const char *text, int32_t x, int32_t y, uint32_t colour);
// The same centred on the frame's width, or ending at right_x.
void hud_text_centred(int font, const char *text, int32_t y, uint32_t colour);
void hud_text_right(int font, const char *text, int32_t right_x, int32_t y, uint32_t colour);
// Width of the text in the font, and the font's line height; 0 when the
// font did not load.
int32_t hud_text_width(int font, const char *text);
int32_t hud_font_height(int font);
// The renderer's 6x8 text (locks the frame; nothing when it cannot).
void hud_text6x8(int32_t x, int32_t y, uint32_t colour, const char *text);

// Draws `bitmap` turned by `angle` radians about its centre, its grey
// pixels tinted with `colour` (0xRRGGBB), onto `surface` through a
// temporary surface whose pixels equal to `key` are transparent: at
// (x - w/2, y - h/2) of the turned size w x h when centred, else at (x, y).
// A picture not wholly inside the surface is not drawn. Returns 1 drawn
// (or refused by the surface), 0 without a bitmap, a surface or memory.
int hud_blit_bitmap(DirectDraw *display, Surface *surface, const Bitmap *bitmap, int32_t x, int32_t y,
                    int centred, float angle, uint32_t colour, uint32_t key);
// One of the HUD's bitmaps (HudBitmap) onto the frame surface with black
// transparent; an index outside the table or an absent bitmap draws nothing.
void hud_icon(int bitmap, int32_t x, int32_t y, int centred, float angle, uint32_t colour);

// The outline of the rectangle (x0, y0)-(x1, y1) in black (locks the frame).
void hud_rectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// A 0xRRGGBB colour with the channels of `colour` scaled by k / 127.5 (each
// truncated, at most 255): a model tint that lights `colour` as shade k.
uint32_t hud_scale_colour(uint32_t colour, int32_t k);
// The heading of a facing (x, y) on the map, in radians clockwise from the
// map's up (0, -1): what the map arrows are turned by.
float hud_heading(float x, float y);
// The horizontal squared distance between two points.
float hud_distance2(const Vec3 *a, const Vec3 *b);
