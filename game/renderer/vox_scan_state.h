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
    RaySample *cursor;      // where the next ray's samples go
};
extern VoxScanState vox_scan;
// Span frames a ray may hold (1..VOX_SPAN_FRAMES); a ray that needs more ends
// with its open samples set to the sky sample. Lowered only by tests.
extern int32_t vox_scan_frame_limit;
