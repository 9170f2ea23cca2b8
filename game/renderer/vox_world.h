// World pass: draws the voxel map from the camera into the bound frame and its
// z-buffer by casting one ray per screen line through the vanishing point of
// the vertical. Call setviewpoint, then renderworld, after voxsetframebuffer.
#pragma once
#include <cstdint>

#include "renderer/vox_start.h"

// Face shades (0..255, subtracted from the colours' shade byte) of floor
// tops, undersides and walls met moving toward +x, -x, +y, -y. The client
// calls setwallshades(0, 64, 32, 32, 16, 48) once at start-up.
void setwallshades(int32_t top, int32_t under, int32_t plusx, int32_t minusx, int32_t plusy, int32_t minusy);
// Fog colour 0xRRGGBB (what the sky shows, less one per channel).
void voxsetfogcolour(uint32_t rgb);
// The fog colour last set, 0xRRGGBB.
uint32_t vox_fog_colour();

// Draws the world for the current camera. Returns 1 when drawn; 0 when
// nothing was drawn (no frame bound, no map, camera inside solid or below its
// column's last span, focal length below 1, camera values not finite or far
// outside the map) -- the frame and z-buffer then keep their contents.
int renderworld();

// Nearest integer under the current rounding mode (ties to even).
void roundtoint(float value, int32_t *out);
// Low 32 bits of (a * b) >> 16.
int32_t mulfix16(int32_t a, int32_t b);
// (a * 65536) / b truncated; only meaningful when divfix16fits(a, b).
int32_t divfix16(int32_t a, int32_t b);
// 1 when |b| > ceil(|a| / 16384), i.e. divfix16(a, b) fits 32 bits.
int32_t divfix16fits(int32_t a, int32_t b);
// a when 0 <= a <= b, 0 when a < 0, b when a > b.
int32_t clampcoord(int32_t a, int32_t b);

// One ray of n + 1 samples along the screen line (x0, y0) -> (x1, y1), written
// at the ray buffer cursor (renderworld's set-up must have run). Exposed for
// tests; renderworld calls it through the clip routines.
void castrayline(int32_t n, float x0, float y0, float x1, float y1);
void clipraylinex(float vx, float vy, float edgex, float edgey, int32_t *start, int32_t *end);
void cliprayliney(float vx, float vy, float edgex, float edgey, int32_t *start, int32_t *end);

// Set-up of the camera-dependent scan state for a frame (steps 1 and 2 of
// renderworld). 1 ready, 0 nothing to draw.
int vox_world_setup();
// Points the ray buffer cursor at `samples` (n + 1 entries are written by the
// next castrayline). Tests use it to cast single rays.
void vox_set_ray_cursor(RaySample *samples);

// Statistics of the last renderworld, for tests and the tool.
struct VoxWorldStats {
    int32_t rays;          // rays cast
    int32_t samples;       // samples written
    int32_t frame_limit;   // rays that met the span-frame limit
    int32_t vpx, vpy;      // vanishing point, nearest integers
};
extern VoxWorldStats vox_world_stats;

// Buffers of the world pass, sized for a frame; called by the bind and by
// closerenderer. reserve returns 0 when an allocation fails.
int vox_world_reserve(int32_t xres, int32_t yres);
void vox_world_release();
