// A plain column ray caster, the yardstick for the world pass's speed: one ray
// per screen column walked through the map's columns on a 2-D grid, a list of
// the rows still uncovered, one colour written per pixel; no fog, no depth
// buffer, no SIMD. Level cameras only (each screen column is then the image
// of one vertical plane of the world). It lives in the benchmark alone.
#pragma once
#include <cstdint>

struct RefCamera {
    float x, y, z;  // eye position, block units, z growing downwards
    float yaw;      // radians, 0 looks along +x, as vox_axes_from_angles
    int32_t focal;  // screen distance in pixels
};

// Draws the current map as seen from `cam` into a w x h frame of 32-bit
// pixels (`pitch` pixels per line), the screen centre at (w / 2, h / 2), as
// far as `range` blocks of horizontal distance; rows that meet nothing get
// `sky`.
void ref_cast_frame(uint32_t *pixels, int32_t pitch, int32_t w, int32_t h, const RefCamera &cam, float range,
                    uint32_t sky);
