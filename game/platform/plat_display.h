// Display: the frame surface in memory that the renderer and all 2-D drawing
// write, its lock and unlock, and its presentation in the game window (a
// streaming texture scaled to the window) or, headless, nowhere. Also the
// off-screen surfaces that fonts and HUD pictures are blitted from.
#pragma once
#include <cstdint>

// The part of the client's settings that the layer reads. Filled by the
// program in game_init (game_display_settings()); the layer reads width,
// height and windowed when it creates the window and the display, and the
// volume level (0..10) for setmastervolume.
struct DisplaySettings {
    int32_t width;    // frame width in pixels (the renderer accepts 16..1280)
    int32_t height;   // frame height in pixels (16..960)
    int32_t windowed; // 0 full screen, non-zero a centred, framed window
    int32_t volume;   // master volume level 0..10
};

// Results of the surface operations (0 success; the negative values name
// what failed, showddrawerror prints their names).
enum DisplayResult {
    DD_OK = 0,
    DDERR_SURFACELOST = -1,     // restore the surface, then try again
    DDERR_INVALIDRECT = -2,     // a rectangle that does not lie inside its surface
    DDERR_SURFACEBUSY = -3,     // the surface is locked
    DDERR_INVALIDPARAMS = -4,   // null surface or bad size
    DDERR_OUTOFMEMORY = -5,
    DDERR_CANTLOCKSURFACE = -6,
    DDERR_WASSTILLDRAWING = -7,
    DDERR_NODIRECTDRAW = -8,    // the display does not exist
};

// An off-screen surface of 32-bit pixels 0x00RRGGBB (the top byte carries no
// meaning and is never shown), rows from the top, `pitch` bytes apart (not
// necessarily width * 4). A blit from it may treat one colour as transparent.
struct Surface {
    uint8_t *pixels;
    int32_t width, height;
    int32_t pitch;
    int32_t haskey;     // 1: pixels equal to colourkey are not copied by keyed blits
    uint32_t colourkey; // compared on the low 24 bits
    int32_t locked;     // 1 between locksurface/lockframe and the unlock
    int32_t lost;       // 1 after the display lost its surfaces, until restored
};

// The display object itself (the DirectDraw object of the design): opaque.
struct DirectDraw;

struct SurfaceRect {
    int32_t left, top, right, bottom; // right and bottom exclusive
};

// Creates the display for the game window: windowed (windowed != 0: sets the
// DisplaySettings windowed flag to 1) or full screen, and the frame surface
// of DisplaySettings width x height. Returns 1 ready; 0 after its own box
// "initdirectdraw failed: 0x%08lx" / "ERROR" (everything released); -1 when
// everything but the frame surface was made (no box). Needs the window.
int initdirectdraw(int windowed);
// Releases the frame surface and the display; nothing when there is none.
// Safe to call twice.
void uninitdirectdraw();

// Locks the frame for drawing. A frame still locked is unlocked first.
// 1: *pixels and *pitch describe the frame (top-left pixel, bytes per line)
// until unlockframe; 0: draw nothing this frame (the surfaces were lost and
// have been restored, or another passing failure); -1: no frame surface
// exists. The out values are written only on 1.
int lockframe(uint8_t **pixels, int32_t *pitch);
// Unlocks the frame when it is locked; otherwise nothing.
void unlockframe();
// Shows the frame in the window, stretched to its client area (full screen:
// to the screen), and serves the input script's screenshots. Returns DD_OK,
// or a negative DisplayResult when nothing was shown (no display, frame
// still locked, lost surfaces).
int32_t presentframe();

// Fills the whole surface with (red << 16) | (green << 8) | blue. DD_OK, or
// DDERR_SURFACEBUSY while it is locked, DDERR_SURFACELOST, DDERR_INVALIDPARAMS.
int32_t fillsurface(Surface *surface, int32_t red, int32_t green, int32_t blue);
// The frame surface: the destination of text and picture blits (after
// unlockframe: blits to a locked surface fail). Null without a display.
Surface *getframesurface();
// The display object, for createsurface. Null without a display.
DirectDraw *getdirectdraw();

// A new off-screen surface of width x height (1..8192 each), cleared to 0,
// without colour key; null without a display, with a bad size or no memory.
Surface *createsurface(DirectDraw *dd, int32_t width, int32_t height);
// Frees a surface made by createsurface; null is ignored. Never the frame surface.
void releasesurface(Surface *surface);
// Sets the source colour key: keyed blits skip pixels whose low 24 bits equal
// key's. Black (0) is the key of fonts and HUD pictures.
void setsurfacekey(Surface *surface, uint32_t key);
// Restores a lost surface (its pixels are then undefined until redrawn).
// DD_OK, or DDERR_INVALIDPARAMS for null.
int32_t restoresurface(Surface *surface);
// Copies the rectangle `src` of `from` (null: the whole surface) to (x, y) of
// `to`, without stretching. usekey = 1 skips the source's key colour (when it
// has one). No clipping: a rectangle that does not lie wholly inside either
// surface copies nothing and gives DDERR_INVALIDRECT; an empty one copies
// nothing and gives DD_OK. Either surface locked: DDERR_SURFACEBUSY; lost:
// DDERR_SURFACELOST.
int32_t blitsurface(Surface *to, int32_t x, int32_t y, const Surface *from, const SurfaceRect *src, int usekey);
// Locks any surface for direct pixel access, as lockframe does for the frame:
// DD_OK with *pixels and *pitch set, DDERR_SURFACEBUSY when already locked,
// DDERR_SURFACELOST when lost, DDERR_INVALIDPARAMS for null.
int32_t locksurface(Surface *surface, uint8_t **pixels, int32_t *pitch);
void unlocksurface(Surface *surface);
