// Voxel-cube kernels: draw one model voxel as one screen rectangle at one
// depth. Two sets with byte-identical results: SSE2 intrinsics and portable
// scalar code. Internal to the renderer; rendermodel fills the per-call state
// below and calls them through vox_kernels.
#pragma once
#include <cstdint>

#include "common/model_types.h"
#include "renderer/vox_start.h"

#define VOX_DEPTH_STEPS KV6_MAX_ZSIZE
#define VOX_SILHOUETTES 43

// What the cube kernels read. Vectors are in projection form: (x * focal,
// y * focal, depth, depth) in camera space.
struct CubeParams {
    // Per model (rendermodel):
    alignas(16) float corners[8][4];   // cell corners from the base corner: bit 0 +x, bit 1 +z, bit 2 -y
    alignas(16) float depthsteps[VOX_DEPTH_STEPS][4]; // [z] = z model z steps
    alignas(16) float columnbase[4];   // base corner of the current column: model point (x, y + 1, 0)
    float nearlimit;                   // least base depth at which a voxel is drawn: all its corners at depth 0 or more
    alignas(8) int16_t screenoffset[4]; // 32767 - xres + halfwidth, 32767 - yres + halfheight, twice
    uint16_t colouradd[4];              // fog added to every lit channel: blue, green, red, fourth
    uint16_t lighttable[256][4];        // per normal index, one multiplier per colour byte
    // Per bind (patchcubesplat):
    intptr_t framebase;  // pixel at biased (x', y') = framebase + 4 x' + pitch y'
    intptr_t zoffset;    // depth address = pixel address + zoffset
    intptr_t pitch;
    alignas(8) int16_t clipmin[4]; // 32767 - xres, 32767 - yres, twice
};
extern CubeParams vox_cube;

// Per set of visible faces (KV6_FACE_* bits, one of each opposite pair at
// most): corner count (4, 6, or 0 for sets that cannot occur), then the
// corners of CubeParams::corners that outline the set.
extern const uint8_t SilhouetteTable[VOX_SILHOUETTES][7];

// Copies the bound frame's geometry into vox_cube; voxsetframebuffer calls it
// at every bind.
void patchcubesplat();

// Draws voxel `voxel` of the current model with the faces `mask` (only bits
// that can face the camera); reads vox_cube. Only rendermodel calls them.
void drawvoxelcubesse(const Kv6Voxel *voxel, uint32_t mask);
void drawvoxelcubescalar(const Kv6Voxel *voxel, uint32_t mask);

// The two halves of a cube kernel, for drawing one model on several threads:
// the screen rectangle of a voxel, found once, then its pixels in bands of
// lines. drawvoxelcube is the one followed by the other over all lines.
struct CubeRect {
    int32_t x0, y0, w, h; // biased corner (see FrameBufferDesc) and size
    float depth;
    uint32_t colour;      // lit
};
// The rectangle of voxel `voxel` (faces `mask`) in the column whose base is
// `columnbase` (as CubeParams::columnbase); 0 when nothing is drawn.
int projectvoxelcubesse(const Kv6Voxel *voxel, uint32_t mask, const float *columnbase, CubeRect *r);
int projectvoxelcubescalar(const Kv6Voxel *voxel, uint32_t mask, const float *columnbase, CubeRect *r);
// Depth test and writes of the rectangle's pixels on biased lines y0..y1-1.
void fillvoxelrectsse(const CubeRect *r, int32_t y0, int32_t y1);
void fillvoxelrectscalar(const CubeRect *r, int32_t y0, int32_t y1);


// Four-lane float vectors (16-byte aligned); each writes `out` and returns it.
float *copyvec4(float *out, const float *a);
float *splatvec4(float *out, int32_t value); // all lanes = (float)value
float *addvec4(float *out, const float *a, const float *b);
float *mulvec4(float *out, const float *a, const float *b);
float *subvec4(float *out, const float *a, const float *b); // a - b
float *copyvec4scalar(float *out, const float *a);
float *splatvec4scalar(float *out, int32_t value);
float *addvec4scalar(float *out, const float *a, const float *b);
float *mulvec4scalar(float *out, const float *a, const float *b);
float *subvec4scalar(float *out, const float *a, const float *b);

// Shared by both sets so their results agree exactly.

// A float truncated toward zero and saturated to 16 bits (NaN gives the low
// bound, as the packed minimum and maximum do): projected corners, light.
static inline int16_t vox_trunc16(float q)
{
    q = q > -32768.0f ? q : -32768.0f;
    q = q < 32767.0f ? q : 32767.0f;
    return (int16_t)(int32_t)q;
}

static inline int16_t vox_sat16(int64_t v) { return (int16_t)(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }

// Lit colour of a voxel: each byte times its light multiplier, plus the fog
// word, saturated to 0..255.
static inline uint32_t vox_cube_colour(uint32_t colour, const uint16_t light[4], const uint16_t add[4])
{
    uint32_t out = 0;
    for (int k = 0; k < 4; k++) {
        const uint32_t b = ((colour >> (8 * k)) & 0xFF) << 8;
        int32_t c = (int32_t)((b * light[k]) >> 16) + add[k];
        c = c > 255 ? 255 : c;
        out |= (uint32_t)c << (8 * k);
    }
    return out;
}

// One pixel of a rectangle: depth test, then depth and colour.
static inline void vox_cube_pixel(uint8_t *pix, float depth, uint32_t colour)
{
    float *z = (float *)(pix + vox_cube.zoffset);
    if (depth < *z) {
        *z = depth;
        *(uint32_t *)pix = colour;
    }
}
