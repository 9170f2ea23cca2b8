// Camera set-up and the view transform of posed models.
#include "renderer/vox_camera.h"

#include <cmath>

#include "renderer/vox_start.h"

ViewCamera vox_camera;

static Vec3 v3(float x, float y, float z) { return Vec3{x, y, z}; }
static float dot(const Vec3 &a, const Vec3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
static Vec3 cross(const Vec3 &a, const Vec3 &b)
{
    return v3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

void setviewpoint(const Vec3 *pos, const Vec3 *right, const Vec3 *down, const Vec3 *forward, int32_t halfwidth,
                  int32_t halfheight, int32_t focal)
{
    ViewCamera &c = vox_camera;
    c.pos = *pos;
    c.right = *right;
    c.down = *down;
    c.forward = *forward;
    c.halfwidth = halfwidth;
    c.halfheight = halfheight;
    c.focal = focal;
    c.row0 = v3(right->x, down->x, forward->x);
    c.row1 = v3(right->y, down->y, forward->y);
    c.row2 = v3(right->z, down->z, forward->z);
    c.translation = v3(-dot(*right, *pos), -dot(*down, *pos), -dot(*forward, *pos));
    const float hw = (float)halfwidth, hh = (float)halfheight, fo = (float)focal;
    const float xr = (float)vox_frame.xres, yr = (float)vox_frame.yres;
    c.corner[0] = v3(-hw * right->x - hh * down->x + fo * forward->x, -hw * right->y - hh * down->y + fo * forward->y,
                     -hw * right->z - hh * down->z + fo * forward->z);
    c.corner[1] = v3(c.corner[0].x + xr * right->x, c.corner[0].y + xr * right->y, c.corner[0].z + xr * right->z);
    c.corner[2] = v3(c.corner[1].x + yr * down->x, c.corner[1].y + yr * down->y, c.corner[1].z + yr * down->z);
    c.corner[3] = v3(c.corner[0].x + yr * down->x, c.corner[0].y + yr * down->y, c.corner[0].z + yr * down->z);
    for (int k = 0; k < 4; k++) c.sidenormal[k] = cross(c.corner[k], c.corner[(k + 1) & 3]);
}

void transformspriteaxes(const Vec3 *row0, const Vec3 *row1, const Vec3 *row2, const Vec3 *translation,
                         const Vec3 *axis1, const Vec3 *axis2, const Vec3 *axis3, const Vec3 *point, Vec3 *out1,
                         Vec3 *out2, Vec3 *out3, Vec3 *outpoint)
{
    // Column k of the three rows is the camera axis k (right, down, forward).
    auto view = [&](const Vec3 &v) {
        return v3(row0->x * v.x + row1->x * v.y + row2->x * v.z, row0->y * v.x + row1->y * v.y + row2->y * v.z,
                  row0->z * v.x + row1->z * v.y + row2->z * v.z);
    };
    *out1 = view(*axis1);
    *out2 = view(*axis2);
    *out3 = view(*axis3);
    const Vec3 p = view(*point);
    *outpoint = v3(p.x + translation->x, p.y + translation->y, p.z + translation->z);
}

void vox_axes_from_angles(float yaw, float pitch, float roll, Vec3 *right, Vec3 *down, Vec3 *forward)
{
    const double cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
    // Unrolled: forward along yaw, tilted down by pitch; z grows downwards.
    const double f[3] = {cy * cp, sy * cp, sp};
    const double r0[3] = {-sy, cy, 0.0};
    const double d0[3] = {-cy * sp, -sy * sp, cp};
    const double cr = std::cos(roll), sr = std::sin(roll);
    double r[3], d[3];
    for (int i = 0; i < 3; i++) {
        r[i] = r0[i] * cr + d0[i] * sr;
        d[i] = d0[i] * cr - r0[i] * sr;
    }
    *right = v3((float)r[0], (float)r[1], (float)r[2]);
    *down = v3((float)d[0], (float)d[1], (float)d[2]);
    *forward = v3((float)f[0], (float)f[1], (float)f[2]);
}
