// Renderer start-up, shutdown and frame binding: the start-up tables, the
// kernel slots and the bound frame with the renderer's own z-buffer.
// Single-threaded and not re-entrant, like the whole renderer.
#pragma once
#include <cstddef>
#include <cstdint>

// Frame limits. The client's settings clamp the display to at most 1280 x 960;
// the minimum keeps the focal length (half the width) and the span walk sane.
#define VOX_MIN_XRES 16
#define VOX_MIN_YRES 16
#define VOX_MAX_XRES 1280
#define VOX_MAX_YRES 960
#define VOX_RECIP_ENTRIES 1312
#define VOX_FOGRAMP_ENTRIES 2048
#define VOX_NORMALS 256
#define VOX_SCAN_LIMIT 0x60000000   // 128 blocks in depth units
#define VOX_DEPTH_PER_BLOCK 12582912 // 12 x 2^20 depth units per block

// One ray sample: shaded colour and horizontal distance in depth units.
struct RaySample {
    uint32_t colour;
    int32_t dist;
};

// The frame bound by voxsetframebuffer.
struct FrameBufferDesc {
    uint8_t *pixels;    // first byte of the top line, 0xAARRGGBB words
    int32_t pitch;      // bytes per line, 1..32767
    int32_t xres, yres; // frame size in pixels
    int32_t rowoffset[VOX_MAX_YRES + 1]; // rowoffset[i] = i * pitch; [yres] = frame bytes
    int32_t pitchcopy;  // pitch for the 2-D primitives and the text routine
    float *zbuffer;     // one float per pixel, owned here
    int32_t zbuffersize; // bytes allocated: rowoffset[yres] + 256 at the last allocation
    intptr_t zoffset;   // depth address = pixel address + zoffset
    int16_t clipmin[4]; // 32767 - xres, 32767 - yres, 32767 - xres, 32767 - yres
    int16_t addrmul[4]; // 4, pitch, 0, 0
    intptr_t framebase; // pixels - ((32767 - xres) * 4 + (32767 - yres) * pitch)
    int32_t *columnraytable; // 1280 16.16 ray numbers, then their per-row steps
};
extern FrameBufferDesc vox_frame;

struct Kv6Voxel;

// The kernel record: the two span kernels that renderworld draws through, the
// voxel-cube kernel and the four-lane vector helpers that rendermodel uses.
// One set (SSE2, SSE2 with the AVX2 line kernel, or portable scalar;
// byte-identical results) is installed at a time, by startrenderer or
// vox_use_kernels.
typedef void (*DrawSpanStepFn)(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep,
                               int32_t sampleindex);
// drawspantable reads and advances the column ray table `raytable` (the
// frame's columnraytable, or a drawing thread's copy of it).
typedef void (*DrawSpanTableFn)(int32_t x0, int32_t y, int32_t x1, int32_t sampleindex, int32_t step,
                                int32_t *raytable);
typedef void (*DrawVoxelCubeFn)(const Kv6Voxel *voxel, uint32_t mask);
typedef float *(*Vec4CopyFn)(float *out, const float *a);
typedef float *(*Vec4SplatFn)(float *out, int32_t value);
typedef float *(*Vec4OpFn)(float *out, const float *a, const float *b);
struct KernelSlots {
    DrawSpanStepFn drawspanstep;
    DrawSpanTableFn drawspantable;
    DrawVoxelCubeFn drawvoxelcube;
    Vec4CopyFn copyvec4;
    Vec4SplatFn splatvec4;
    Vec4OpFn addvec4, mulvec4, subvec4;
};
extern KernelSlots vox_kernels;

// Start-up tables.
extern float ReciprocalTable[VOX_RECIP_ENTRIES];        // [i] = 2^20 / i, [0] = 0
extern int16_t FogRamp[VOX_FOGRAMP_ENTRIES][4];          // four equal words per entry
extern int16_t FixedNormals[VOX_NORMALS][4];             // direction * 4096, w = 4096
extern RaySample SkySample;                              // colour 0, depth = scan limit

// Makes the renderer ready: processor gate on `cpufeatures`, kernel choice,
// tables. 0 ready, -1 the processor lacks a required feature (nothing else
// changed then). Call once before anything else of the renderer. The
// environment variable BKM_SCALAR_KERNELS=1 forces the scalar kernels.
int startrenderer(uint32_t cpufeatures);
// Which kernel set is installed (VoxKernelSet), -1 before a successful start.
int vox_kernel_set();
// Switches the installed kernels: VOX_KERNELS_SSE, VOX_KERNELS_AVX2 or
// VOX_KERNELS_SCALAR (tests and tools compare them). 1 switched, 0 refused
// (not started, or AVX2 asked of a processor without it).
int vox_use_kernels(int set);

// Binds a frame of xres x yres pixels at `pixels`, `pitch` bytes per line.
// Call after every lock of the frame surface and before any drawing of the
// frame. Returns 1 bound; 0 refused (null pixels, size outside
// VOX_MIN..VOX_MAX, pitch not a multiple of 4, below 4 * xres or above 32767,
// or the renderer not started), leaving nothing bound. A failed z-buffer
// allocation goes to the fatal handler.
int voxsetframebuffer(void *pixels, int32_t pitch, int32_t xres, int32_t yres);
// 1 while a frame is bound.
int vox_frame_bound();
// Frees the z-buffer and the renderer's own buffers; unbinds. Binding again
// afterwards allocates anew. Call at shutdown.
void closerenderer();

// Lends a buffer for the ray samples (the client's per-frame work buffer);
// renderworld uses it when it is large enough, else a buffer of its own.
// Null withdraws it.
void voxsetworkbuffer(void *buffer, size_t bytes);

// Where fatal renderer errors go (the client installs its fatal-error exit);
// the default prints the text and ends the process.
typedef void (*VoxFatalFn)(const char *text);
void vox_set_fatal_handler(VoxFatalFn fn);
void vox_fatal(const char *text);
