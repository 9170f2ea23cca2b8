// Start-up tables, processor gate, frame binding, 16.16 helpers and 6x8 text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/kv6_dirtable.h"
#include "renderer/vox_kernels.h"
#include "renderer/voxrender.h"

static const uint32_t kBase = CPU_FPU | CPU_TSC | CPU_CMOV | CPU_MMXEXT | CPU_MMX;

TEST(ProcessorGate, FeatureWords)
{
    struct Case {
        uint32_t word;
        int want;
    } cases[] = {
        {kBase | CPU_SSE, VOX_KERNELS_SSE},
        {kBase | CPU_SSE | CPU_3DNOW | CPU_3DNOWEXT, VOX_KERNELS_SSE},
        {kBase | CPU_3DNOW | CPU_3DNOWEXT, VOX_KERNELS_SCALAR},
        {kBase | CPU_3DNOW, VOX_KERNELS_NONE},
        {kBase, VOX_KERNELS_NONE},
        {(kBase & ~CPU_CMOV) | CPU_SSE, VOX_KERNELS_NONE},
        {(kBase & ~CPU_MMXEXT) | CPU_SSE | CPU_3DNOW | CPU_3DNOWEXT, VOX_KERNELS_NONE},
        {(kBase & ~CPU_TSC) | CPU_SSE, VOX_KERNELS_NONE},
        {0, VOX_KERNELS_NONE},
        {0xFFFFFFFFu, VOX_KERNELS_SSE},
    };
    for (const Case &c : cases) EXPECT_EQ(vox_processor_gate(c.word), c.want) << std::hex << c.word;
    EXPECT_EQ(vox_processor_gate(0x00C08011u | CPU_SSE), VOX_KERNELS_SSE);
}

TEST(ProcessorGate, RealProcessorPassesAndRefusalChangesNothing)
{
    const uint32_t f = getcpufeatures();
    EXPECT_EQ(f & kBase, kBase);
    EXPECT_TRUE(f & CPU_SSE);
    ASSERT_EQ(startrenderer(f), 0);
    const int set = vox_kernel_set();
    EXPECT_EQ(startrenderer(kBase | CPU_3DNOW), -1);
    EXPECT_EQ(vox_kernel_set(), set);
}

TEST(StartTables, ReciprocalsFogRampNormalsSky)
{
    ASSERT_EQ(startrenderer(getcpufeatures()), 0);
    EXPECT_EQ(ReciprocalTable[0], 0.0f);
    EXPECT_EQ(ReciprocalTable[1], 1048576.0f);
    EXPECT_EQ(ReciprocalTable[1311], (float)(1048576.0 / 1311.0));
    EXPECT_EQ(ReciprocalTable[3], (float)(1048576.0 / 3.0));
    EXPECT_EQ(FogRamp[0][0], 0);
    EXPECT_EQ(FogRamp[1][0], 21);
    EXPECT_EQ(FogRamp[1535][0], 32746);
    for (int k = 1536; k < 2048; k++) ASSERT_EQ(FogRamp[k][0], 32767) << k;
    for (int k = 0; k < 2048; k++)
        for (int c = 1; c < 4; c++) ASSERT_EQ(FogRamp[k][c], FogRamp[k][0]);
    for (int k = 1; k < 1536; k++) ASSERT_GE(FogRamp[k][0], FogRamp[k - 1][0]);
    for (int i = 0; i < 255; i++)
        for (int c = 0; c < 3; c++) ASSERT_EQ(FixedNormals[i][c], (int16_t)(int)(dirtable.dir[i][c] * 4096.0f));
    EXPECT_EQ(FixedNormals[255][0], 0);
    EXPECT_EQ(FixedNormals[255][2], 0);
    EXPECT_EQ(FixedNormals[17][3], 4096);
    EXPECT_LT(FixedNormals[0][2], -4000); // entry 0 points almost along -z
    EXPECT_EQ(SkySample.colour, 0u);
    EXPECT_EQ(SkySample.dist, 0x60000000);
}

TEST(FrameBind, ExampleArithmeticAndReallocation)
{
    ASSERT_EQ(startrenderer(getcpufeatures()), 0);
    closerenderer();
    std::vector<uint32_t> buf(1024 * 700 + 16);
    uint8_t *pix = (uint8_t *)buf.data();
    ASSERT_EQ(voxsetframebuffer(pix, 3200, 800, 600), 1);
    const FrameBufferDesc &f = vox_frame;
    EXPECT_EQ(f.clipmin[0], 31967);
    EXPECT_EQ(f.clipmin[1], 32167);
    EXPECT_EQ(f.clipmin[2], 31967);
    EXPECT_EQ(f.clipmin[3], 32167);
    EXPECT_EQ(f.addrmul[0], 4);
    EXPECT_EQ(f.addrmul[1], 3200);
    EXPECT_EQ(f.framebase, (intptr_t)pix - (31967 * 4 + (intptr_t)32167 * 3200));
    EXPECT_EQ(f.zbuffersize, 1920256);
    EXPECT_EQ(f.rowoffset[600], 1920000);
    EXPECT_EQ(f.rowoffset[1], 3200);
    EXPECT_EQ(f.pitchcopy, 3200);
    // Depth of every pixel inside the buffer, 128 bytes modulo 256 from it.
    EXPECT_EQ(((f.zoffset % 256) + 256) % 256, 128);
    const uintptr_t zb = (uintptr_t)f.zbuffer;
    const uintptr_t first = (uintptr_t)pix + f.zoffset;
    const uintptr_t last = (uintptr_t)pix + 1919996 + f.zoffset;
    EXPECT_GE(first, zb);
    EXPECT_LE(last + 4, zb + 1920256);
    EXPECT_EQ(((uintptr_t)f.columnraytable - (uintptr_t)pix) % 8, 0u);

    float *z0 = f.zbuffer;
    ASSERT_EQ(voxsetframebuffer(pix + 4, 3200, 800, 600), 1); // new lock, same pitch
    EXPECT_EQ(f.zbuffer, z0);
    EXPECT_EQ(((uintptr_t)f.columnraytable - (uintptr_t)(pix + 4)) % 8, 0u);
    ASSERT_EQ(voxsetframebuffer(pix, 4096, 800, 600), 1); // larger pitch: larger buffer
    EXPECT_EQ(f.zbuffersize, 4096 * 600 + 256);
    ASSERT_EQ(voxsetframebuffer(pix, 3328, 800, 600), 1); // smaller: keeps it
    EXPECT_EQ(f.zbuffersize, 4096 * 600 + 256);
    EXPECT_EQ(f.rowoffset[2], 6656);
    EXPECT_EQ(f.rowoffset[600], 3328 * 600);

    // Binding again after closerenderer allocates a z-buffer anew.
    closerenderer();
    EXPECT_EQ(f.zbuffer, nullptr);
    EXPECT_EQ(vox_frame_bound(), 0);
    ASSERT_EQ(voxsetframebuffer(pix, 3200, 800, 600), 1);
    ASSERT_NE(f.zbuffer, nullptr);
    EXPECT_EQ(f.zbuffersize, 1920256);
    closerenderer();
}

TEST(FrameBind, RefusesFramesItCannotDraw)
{
    ASSERT_EQ(startrenderer(getcpufeatures()), 0);
    std::vector<uint32_t> buf(1300 * 1000);
    struct Case {
        int32_t pitch, w, h;
    } bad[] = {{4 * 15, 15, 100}, {4 * 1, 1, 1}, {0, 0, 100}, {400, 100, 15}, {4 * 1281, 1281, 100},
               {4 * 100, 100, 961}, {396, 100, 100}, {402, 100, 100}, {32768, 100, 100}, {-400, 100, 100}};
    for (const Case &c : bad) EXPECT_EQ(voxsetframebuffer(buf.data(), c.pitch, c.w, c.h), 0) << c.w << "x" << c.h;
    EXPECT_EQ(voxsetframebuffer(nullptr, 400, 100, 100), 0);
    EXPECT_EQ(vox_frame_bound(), 0);
    EXPECT_EQ(voxsetframebuffer(buf.data(), 64, 16, 16), 1);
    EXPECT_EQ(voxsetframebuffer(buf.data(), 5120, 1280, 960), 1);
    closerenderer();
}

TEST(Fix16, Examples)
{
    EXPECT_EQ(divfix16fits(0, 5), 1);
    EXPECT_EQ(divfix16fits(65536 * 16384, 16384), 0);
    EXPECT_EQ(divfix16fits(65536 * 16384, 65537), 1);
    EXPECT_EQ(divfix16fits(-65536, -5), 1);
    EXPECT_EQ(divfix16fits(16384, 1), 0);
    EXPECT_EQ(clampcoord(-3, 799), 0);
    EXPECT_EQ(clampcoord(900, 799), 799);
    EXPECT_EQ(clampcoord(0, 799), 0);
    EXPECT_EQ(clampcoord(799, 799), 799);
    EXPECT_EQ(mulfix16(3 << 16, 5 << 16), 15 << 16);
    EXPECT_EQ(mulfix16(-(3 << 16), 1 << 15), -(3 << 15));
    EXPECT_EQ(divfix16(1, 2), 32768);
    EXPECT_EQ(divfix16(-3 << 16, 2 << 16), -(3 << 15));
    int32_t r;
    roundtoint(2.5f, &r);
    EXPECT_EQ(r, 2);
    roundtoint(-1.5f, &r);
    EXPECT_EQ(r, -2);
    roundtoint(7.49f, &r);
    EXPECT_EQ(r, 7);
}

TEST(KernelPixel, FogClampsRampIndexAndSaturates)
{
    ASSERT_EQ(startrenderer(getcpufeatures()), 0);
    vox_kparams.fog[0] = 0x40;
    vox_kparams.fog[1] = 0x00;
    vox_kparams.fog[2] = 0xFF;
    vox_kparams.fog[3] = 0;
    const uint32_t c = 0x00204080u; // red 0x20, green 0x40, blue 0x80
    EXPECT_EQ(vox_fog_pixel(c, 0), c);
    EXPECT_EQ(vox_fog_pixel(c, -5), c); // negative depth: ramp 0, not an out-of-range read
    // Saturated ramp: below the fog value ends one below it, above it ends at it.
    const uint32_t far = vox_fog_pixel(c, 0x60000000);
    EXPECT_EQ(far & 0xFF, 0x40u);
    EXPECT_EQ((far >> 8) & 0xFF, 0x00u);
    EXPECT_EQ((far >> 16) & 0xFF, 0xFEu);
    EXPECT_EQ(vox_fog_pixel(c, INT32_MAX), far);
    EXPECT_EQ(vox_fog_pixel(0, 0x60000000), 0x00FE003Fu);
}

// A frame inside a larger buffer: everything outside it must stay untouched.
struct GuardedFrame {
    static const int W = 64, H = 32, PAD = 16;
    std::vector<uint32_t> buf;
    GuardedFrame() : buf((size_t)(W + 2 * PAD) * (H + 2 * PAD), 0x11111111u) {}
    uint32_t *origin() { return &buf[(size_t)PAD * (W + 2 * PAD) + PAD]; }
    int32_t pitch() const { return (W + 2 * PAD) * 4; }
    uint32_t at(int x, int y) { return buf[(size_t)(y + PAD) * (W + 2 * PAD) + (x + PAD)]; }
};

TEST(Text6x8, GlyphsAndEmptyStrings)
{
    ASSERT_EQ(startrenderer(getcpufeatures()), 0);
    const uint8_t zero[6] = {0x00, 0x3e, 0x51, 0x49, 0x45, 0x3e};
    const uint8_t a[6] = {0x00, 0x7e, 0x11, 0x11, 0x11, 0x7e};
    const uint8_t sa[6] = {0x00, 0x20, 0x54, 0x54, 0x54, 0x78};
    EXPECT_EQ(std::memcmp(&Font6x8['0' * 6], zero, 6), 0);
    EXPECT_EQ(std::memcmp(&Font6x8['A' * 6], a, 6), 0);
    EXPECT_EQ(std::memcmp(&Font6x8['a' * 6], sa, 6), 0);
    for (int code : {0, 9, 32, 255})
        for (int k = 0; k < 6; k++) EXPECT_EQ(Font6x8[code * 6 + k], 0) << code;
    for (int code = 1; code < 255; code++) {
        if (code == 9 || code == 32) continue;
        int bits = 0;
        for (int k = 0; k < 6; k++) bits |= Font6x8[code * 6 + k];
        EXPECT_NE(bits, 0) << code;
        if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z')) {
            EXPECT_EQ(Font6x8[code * 6], 0) << code; // the gap column
        }
    }

    GuardedFrame g;
    ASSERT_EQ(voxsetframebuffer(g.origin(), g.pitch(), GuardedFrame::W, GuardedFrame::H), 1);
    printtext6x8(3, 3, 0xFFFFFFFFu, "");
    printtext6x8(3, 3, 0xFFFFFFFFu, "     ");
    printtext6x8(3, 3, 0xFFFFFFFFu, nullptr);
    for (uint32_t v : g.buf) ASSERT_EQ(v, 0x11111111u);

    printtext6x8(0, 0, 0xFFFFFFFFu, "A");
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
            const bool on = x < 6 && (a[x] >> y) & 1;
            EXPECT_EQ(g.at(x, y), on ? 0xFFFFFFFFu : 0x11111111u) << x << "," << y;
        }
    closerenderer();
}

TEST(Text6x8, ClipsToTheFrame)
{
    ASSERT_EQ(startrenderer(getcpufeatures()), 0);
    const int W = GuardedFrame::W, H = GuardedFrame::H;
    struct Case {
        int x, y;
    } at[] = {{-4, 5}, {W - 7, 5}, {10, -5}, {10, H - 3}, {-20, -6}, {W - 2, H - 2}, {-1000, 3}, {3, 100000},
              {INT32_MIN / 2, 0}, {0, INT32_MAX - 3}};
    for (const Case &c : at) {
        GuardedFrame g;
        ASSERT_EQ(voxsetframebuffer(g.origin(), g.pitch(), W, H), 1);
        printtext6x8(c.x, c.y, 0xFF00FF00u, "WMW#0");
        int inside = 0;
        for (int y = -GuardedFrame::PAD; y < H + GuardedFrame::PAD; y++)
            for (int x = -GuardedFrame::PAD; x < W + GuardedFrame::PAD; x++) {
                const bool in = x >= 0 && x < W && y >= 0 && y < H;
                if (!in) {
                    ASSERT_EQ(g.at(x, y), 0x11111111u) << c.x << "," << c.y << " at " << x << "," << y;
                } else {
                    inside += g.at(x, y) == 0xFF00FF00u;
                }
            }
        if (c.x > -30 && c.x < W && c.y > -8 && c.y < H) {
            EXPECT_GT(inside, 0) << c.x << "," << c.y;
        }
    }
    closerenderer();
}
