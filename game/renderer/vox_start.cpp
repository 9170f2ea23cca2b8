// Start-up tables, kernel choice, frame binding and shutdown.
#include "renderer/vox_start.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/kv6_dirtable.h"
#include "common/map_store.h"
#include "renderer/vox_cpu.h"
#include "renderer/vox_cube.h"
#include "renderer/vox_kernels.h"
#include "renderer/vox_pool.h"
#include "renderer/vox_sprite.h"
#include "renderer/vox_world.h"

FrameBufferDesc vox_frame;
KernelSlots vox_kernels;
SpanKernelParams vox_kparams;
float ReciprocalTable[VOX_RECIP_ENTRIES];
int16_t FogRamp[VOX_FOGRAMP_ENTRIES][4];
int16_t FixedNormals[VOX_NORMALS][4];
RaySample SkySample;

static int vox_started_set = VOX_KERNELS_NONE;
static int vox_bound;
// The column ray table with one spare entry, so that it can sit at the same
// address modulo 8 as the frame's pixels.
alignas(8) static int32_t vox_columnrayarea[2 * VOX_MAX_XRES + 2];

static void vox_default_fatal(const char *text)
{
    std::fprintf(stderr, "%s\n", text ? text : "renderer: fatal error");
    std::exit(1);
}
static VoxFatalFn vox_fatal_fn = vox_default_fatal;

void vox_set_fatal_handler(VoxFatalFn fn) { vox_fatal_fn = fn ? fn : vox_default_fatal; }
void vox_fatal(const char *text) { vox_fatal_fn(text); }

int vox_use_kernels(int set)
{
    if (vox_started_set == VOX_KERNELS_NONE) return 0;
    if (set == VOX_KERNELS_SSE) {
        vox_kernels = KernelSlots{drawspanstepsse, drawspantablesse, drawvoxelcubesse, copyvec4, splatvec4,
                                  addvec4, mulvec4, subvec4};
    } else if (set == VOX_KERNELS_AVX2 && vox_cpu_has_avx2()) {
        vox_kernels = KernelSlots{drawspanstepavx2, drawspantablesse, drawvoxelcubesse, copyvec4, splatvec4,
                                  addvec4, mulvec4, subvec4};
    } else if (set == VOX_KERNELS_SCALAR) {
        vox_kernels = KernelSlots{drawspanstepscalar, drawspantablescalar, drawvoxelcubescalar, copyvec4scalar,
                                  splatvec4scalar, addvec4scalar, mulvec4scalar, subvec4scalar};
    } else {
        return 0;
    }
    vox_started_set = set;
    return 1;
}

int vox_kernel_set() { return vox_started_set; }

int startrenderer(uint32_t cpufeatures)
{
    // No code is patched here, so nothing has to be made writable.
    int set = vox_processor_gate(cpufeatures);
    if (set == VOX_KERNELS_NONE) return -1;
    const char *force = std::getenv("BKM_SCALAR_KERNELS");
    if (force && force[0] && std::strcmp(force, "0") != 0) set = VOX_KERNELS_SCALAR;
    else if (set == VOX_KERNELS_SSE && vox_cpu_has_avx2()) set = VOX_KERNELS_AVX2;
    vox_started_set = set;
    vox_use_kernels(set);

    ReciprocalTable[0] = 0.0f;
    for (int i = 1; i < VOX_RECIP_ENTRIES; i++) ReciprocalTable[i] = (float)(1048576.0 / (double)i);

    builddirtable(255);
    for (int i = 0; i < VOX_NORMALS; i++) {
        for (int c = 0; c < 3; c++) FixedNormals[i][c] = (int16_t)(dirtable.dir[i][c] * 4096.0f);
        FixedNormals[i][3] = 4096;
    }

    SkySample.colour = 0;
    SkySample.dist = VOX_SCAN_LIMIT;
    voxel_map.chunk_count = 0;

    // Fog rises with k * 0x155555 while the next step still fits 32 bits.
    for (int k = 0; k < VOX_FOGRAMP_ENTRIES; k++) {
        const int64_t next = (int64_t)(k + 1) * 0x155555;
        const int16_t v = next <= INT32_MAX ? (int16_t)(((int64_t)k * 0x155555) >> 16) : (int16_t)0x7FFF;
        for (int c = 0; c < 4; c++) FogRamp[k][c] = v;
    }
    // Once saturated, stay saturated.
    for (int k = 1; k < VOX_FOGRAMP_ENTRIES; k++)
        if (FogRamp[k - 1][0] == 0x7FFF)
            for (int c = 0; c < 4; c++) FogRamp[k][c] = 0x7FFF;
    return 0;
}

int voxsetframebuffer(void *pixels, int32_t pitch, int32_t xres, int32_t yres)
{
    vox_sprite_list_end(); // into the frame bound so far
    if (vox_started_set == VOX_KERNELS_NONE || !pixels) return 0;
    if (xres < VOX_MIN_XRES || xres > VOX_MAX_XRES || yres < VOX_MIN_YRES || yres > VOX_MAX_YRES) return 0;
    if (pitch < 4 * xres || pitch > 32767 || (pitch & 3) || ((uintptr_t)pixels & 3)) return 0;

    FrameBufferDesc &f = vox_frame;
    f.pixels = (uint8_t *)pixels;
    const bool resized = f.xres != xres || f.yres != yres;
    f.xres = xres;
    f.yres = yres;
    f.clipmin[0] = f.clipmin[2] = (int16_t)(32767 - xres);
    f.clipmin[1] = f.clipmin[3] = (int16_t)(32767 - yres);
    f.addrmul[0] = 4;
    f.addrmul[1] = (int16_t)pitch;
    f.addrmul[2] = f.addrmul[3] = 0;
    f.framebase = (intptr_t)f.pixels - ((intptr_t)(32767 - xres) * 4 + (intptr_t)(32767 - yres) * pitch);

    if (pitch != f.rowoffset[1] || resized || !f.zbuffer) {
        f.pitch = pitch;
        f.pitchcopy = pitch;
        f.rowoffset[0] = 0;
        for (int i = 0; i < yres; i++) f.rowoffset[i + 1] = f.rowoffset[i] + pitch;
        const int32_t need = f.rowoffset[yres] + 256;
        if (!f.zbuffer || need > f.zbuffersize) {
            std::free(f.zbuffer);
            f.zbuffer = nullptr;
            f.zbuffersize = 0;
            f.zbuffer = (float *)std::malloc((size_t)need);
            if (!f.zbuffer) {
                vox_bound = 0;
                vox_fatal("voxsetframebuffer: allocation too big");
                return 0;
            }
            f.zbuffersize = need;
        }
    }
    f.pitch = pitch;
    const intptr_t delta = (intptr_t)((uintptr_t)f.zbuffer - (uintptr_t)f.pixels);
    f.zoffset = ((delta + 127) & ~(intptr_t)255) + 128;
    f.columnraytable = vox_columnrayarea + ((((uintptr_t)pixels) & 4) ? 1 : 0);
    if (!vox_world_reserve(xres, yres)) {
        vox_bound = 0;
        vox_fatal("voxsetframebuffer: allocation too big");
        return 0;
    }

    vox_kparams.pixels = f.pixels;
    vox_kparams.pitch = pitch;
    vox_kparams.zoffset = f.zoffset;
    vox_kparams.columnraytable = f.columnraytable;
    patchcubesplat();
    vox_bound = 1;
    return 1;
}

int vox_frame_bound() { return vox_bound; }

void closerenderer()
{
    vox_sprite_list_end();
    std::free(vox_frame.zbuffer);
    vox_frame.zbuffer = nullptr;
    vox_frame.zbuffersize = 0;
    vox_frame.rowoffset[1] = 0;
    vox_world_release();
    vox_pool_stop();
    vox_bound = 0;
}
