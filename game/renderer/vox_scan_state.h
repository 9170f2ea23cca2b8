// Per-frame state shared by the world pass's region walk and its ray scanner.
// Internal to the renderer.
#pragma once
#include <cstdint>

#include "renderer/vox_start.h"

#define VOX_SPAN_FRAMES 65

struct VoxScanState {
    // Camera cell and its column.
    int32_t cellx, celly;   // floor of pos.x, pos.y, wrapped into 0..511
    double fracx, fracy;    // pos - floor(pos)
    int64_t camz;           // pos.z in depth units
    // HeightTable: level a above the camera in 1/192 block, (camz - a * 12582912) >> 16;
    // a 16-bit word for every camera inside the map's height, kept wider here
    // so that a camera far above the map does not wrap. Entries past 67 serve
    // span bytes of malformed columns.
    int32_t height[260];
    const uint8_t *camcolumn;
    const uint8_t *camspan; // span whose gap holds the camera (the column's first when above it)
    const uint8_t *camprev; // span before camspan, null when camspan is the first
    int32_t ceilingz, floorz;
    int32_t sign;           // -1 looking up, +1 otherwise
    int32_t shade[8];       // face shades of the WallShades entries
    RaySample *cursor;      // where castrayline writes its samples
};
extern VoxScanState vox_scan;
// Counts of the rays one caller cast.
struct VoxScanCounts {
    int32_t rays, samples, frame_limit;
};

// castrayline with the output and counts of its caller: the n + 1 samples go
// to out[0], out[stride], ... out[n * stride]. Reads only the frame's set-up
// (vox_world_setup, the camera, the map), so rays may be cast on several
// threads at once. With `sky`, the samples that look highest and meet
// nothing, 0 .. *sky - 1 (*sky may be 0), are the sky sample and are not
// written; without, every sample is.
void vox_cast_ray(RaySample *out, intptr_t stride, int32_t n, float x0, float y0, float x1, float y1,
                  VoxScanCounts *counts, int32_t *sky);

// The clipped screen line of a ray from the vanishing point (vx, vy) to an
// edge point: the first and last screen column (xmajor) or row it covers,
// and castrayline's arguments for it.
struct RayLine {
    int32_t start, end, n;
    float x0, y0, x1, y1;
};
void vox_clip_ray(int xmajor, float vx, float vy, float edgex, float edgey, RayLine *line);

// Span frames a ray may hold (1..VOX_SPAN_FRAMES); a ray that needs more ends
// with its open samples set to the sky sample. Lowered only by tests.
extern int32_t vox_scan_frame_limit;
