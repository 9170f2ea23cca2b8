// The camera of the frame: set once per frame before the world, the models and
// the 3-D primitives are drawn; read by all of them.
#pragma once
#include <cstdint>

#include "common/math_vec.h"

struct ViewCamera {
    Vec3 pos;
    Vec3 right, down, forward; // orthonormal axes in world space (caller's duty)
    int32_t halfwidth, halfheight; // screen point of the forward axis
    int32_t focal;                 // screen distance in pixels
    // Derived by setviewpoint:
    Vec3 row0, row1, row2;  // view-to-world rows: (right.x, down.x, forward.x), ...
    Vec3 translation;       // -(right . pos), -(down . pos), -(forward . pos)
    Vec3 corner[4];         // rays through the frame's corners (top-left, top-right, ...)
    Vec3 sidenormal[4];     // corner[k] x corner[k + 1]: top, right, bottom, left sides
};
extern ViewCamera vox_camera;

// Stores the camera and derives the rows, translation, corner rays and side
// normals (single precision). The corners use the bound frame's size, so call
// after voxsetframebuffer in each frame.
void setviewpoint(const Vec3 *pos, const Vec3 *right, const Vec3 *down, const Vec3 *forward, int32_t halfwidth,
                  int32_t halfheight, int32_t focal);

// Writes axis1..3 in view coordinates ((right . v, down . v, forward . v)) to
// out1..3 and point in view coordinates plus the translation to outpoint.
void transformspriteaxes(const Vec3 *row0, const Vec3 *row1, const Vec3 *row2, const Vec3 *translation,
                         const Vec3 *axis1, const Vec3 *axis2, const Vec3 *axis3, const Vec3 *point, Vec3 *out1,
                         Vec3 *out2, Vec3 *out3, Vec3 *outpoint);

// Camera axes from yaw (about +z, 0 = looking along +x), pitch (positive looks
// down) and roll (about the view axis), in radians. A helper for tools/tests.
void vox_axes_from_angles(float yaw, float pitch, float roll, Vec3 *right, Vec3 *down, Vec3 *forward);
