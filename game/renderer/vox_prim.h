// Lines, projected points, block outlines and fogged squares, drawn into the
// bound frame with the camera of setviewpoint. None of them writes outside
// the frame; none draws while no frame is bound. Values that are not finite
// draw nothing.
#pragma once
#include <cstdint>

#include "common/math_vec.h"

// Pixels of the line from (x0, y0) to (x1, y1), both ends included, in
// `colour`. Stepped along y when |dx| < |dy|, else along x (ties step x),
// with a 12.20 slope truncated toward zero and positions floored. Equal ends
// draw nothing.
void plotline(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour);

// Projects world point (x, y, z). Returns 0 without writing when it lies at or
// behind the camera plane; otherwise writes *sx (the truncated screen x) and
// returns 0 when it is outside 0..xres-1, else writes *sy and returns 1 when
// it is inside 0..yres-1, 0 when not. Unrepresentable positions count as
// outside.
int32_t projectvertex(int32_t x, int32_t y, int32_t z, int32_t *sx, int32_t *sy);

// plotline between the projections of two world points, drawn only when both
// project onto the screen.
void plotspaceline(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1, uint32_t colour);

// The twelve edges of the cell (x, y, z)..(x + 1, y + 1, z + 1): the four
// vertical edges, then the four of the z face, then the four of the z + 1 face.
void drawblockoutline(int32_t x, int32_t y, int32_t z, uint32_t colour);

// The screen box of a point with 1.5 world units around it: the projection
// (cx, cy) and half size e = focal x 1.5 / depth give left, top, right,
// bottom = nearest(cx - e), nearest(cy - e), nearest(cx + e), nearest(cy + e)
// (ties to even, clamped to the int32 range); not clipped. All four are -1
// when the point is at or behind the camera plane or not finite.
void projectscreenpoint(const Vec3 *p, int32_t *left, int32_t *top, int32_t *right, int32_t *bottom);

// A square of the projected sphere's size (screen radius focal x radius /
// depth), columns nearest(cx - r)..nearest(cx + r) inclusive and lines
// nearest(cy - r)..nearest(cy + r) - 1, clipped to the frame; nothing when the
// centre is at or behind the camera plane or the square is under a pixel
// across. The colour is fogged toward the fog colour by the horizontal
// distance to the camera; each pixel whose depth lies beyond the centre's
// depth takes the colour and that depth.
void fillsphere(const Vec3 *centre, float radius, uint32_t colour);
