// Portable voxel-cube kernel and vector helpers: the reference for the SSE2 set.
#include "renderer/vox_cube.h"

int projectvoxelcubescalar(const Kv6Voxel *voxel, uint32_t mask, const float *columnbase, CubeRect *r)
{
    const uint32_t set = mask & voxel->faces;
    if (!set) return 0;
    const CubeParams &p = vox_cube;
    const float *ds = p.depthsteps[voxel->z & (VOX_DEPTH_STEPS - 1)];
    float v[4];
    for (int k = 0; k < 4; k++) v[k] = columnbase[k] + ds[k];
    if (v[2] < p.nearlimit) return 0;
    const uint8_t *sil = SilhouetteTable[set];
    if (!sil[0]) return 0;

    int16_t x0 = 32767, y0 = 32767, x1 = -32768, y1 = -32768;
    for (int i = 1; i <= sil[0]; i++) {
        const float *c = p.corners[sil[i]];
        const float px = v[0] + c[0], py = v[1] + c[1], pd = v[2] + c[2];
        const int16_t sx = vox_trunc16(px / pd), sy = vox_trunc16(py / pd);
        x0 = sx < x0 ? sx : x0;
        y0 = sy < y0 ? sy : y0;
        x1 = sx > x1 ? sx : x1;
        y1 = sy > y1 ? sy : y1;
    }
    // Biased coordinates: off the right or bottom saturates at the edge, off
    // the left or top is raised to it.
    x0 = vox_sat16(x0 + p.screenoffset[0]);
    y0 = vox_sat16(y0 + p.screenoffset[1]);
    x1 = vox_sat16(x1 + p.screenoffset[0]);
    y1 = vox_sat16(y1 + p.screenoffset[1]);
    x0 = x0 > p.clipmin[0] ? x0 : p.clipmin[0];
    y0 = y0 > p.clipmin[1] ? y0 : p.clipmin[1];
    x1 = x1 > p.clipmin[0] ? x1 : p.clipmin[0];
    y1 = y1 > p.clipmin[1] ? y1 : p.clipmin[1];
    r->x0 = x0;
    r->y0 = y0;
    r->w = x1 - x0;
    r->h = y1 - y0;
    if (r->w <= 0 || r->h <= 0) return 0;
    r->colour = vox_cube_colour(voxel->colour, p.lighttable[voxel->normalindex], p.colouradd);
    r->depth = v[2];
    return 1;
}

void fillvoxelrectscalar(const CubeRect *r, int32_t y0, int32_t y1)
{
    const CubeParams &p = vox_cube;
    const int32_t ja = y0 > r->y0 ? y0 - r->y0 : 0, jb = y1 < r->y0 + r->h ? y1 - r->y0 : r->h;
    uint8_t *row = (uint8_t *)(p.framebase + 4 * (intptr_t)r->x0 + p.pitch * (intptr_t)(r->y0 + ja));
    for (int32_t j = ja; j < jb; j++, row += p.pitch)
        for (int32_t i = 0; i < r->w; i++) vox_cube_pixel(row + 4 * i, r->depth, r->colour);
}

void drawvoxelcubescalar(const Kv6Voxel *voxel, uint32_t mask)
{
    CubeRect r;
    if (projectvoxelcubescalar(voxel, mask, vox_cube.columnbase, &r)) fillvoxelrectscalar(&r, INT32_MIN, INT32_MAX);
}

float *copyvec4scalar(float *out, const float *a)
{
    for (int k = 0; k < 4; k++) out[k] = a[k];
    return out;
}

float *splatvec4scalar(float *out, int32_t value)
{
    for (int k = 0; k < 4; k++) out[k] = (float)value;
    return out;
}

float *addvec4scalar(float *out, const float *a, const float *b)
{
    for (int k = 0; k < 4; k++) out[k] = a[k] + b[k];
    return out;
}

float *mulvec4scalar(float *out, const float *a, const float *b)
{
    for (int k = 0; k < 4; k++) out[k] = a[k] * b[k];
    return out;
}

float *subvec4scalar(float *out, const float *a, const float *b)
{
    for (int k = 0; k < 4; k++) out[k] = a[k] - b[k];
    return out;
}
