// What the renderer tests share: a frame with sentinel-filled pixels and
// depths, cameras from angles, and the comparison with pinned golden images.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "renderer/voxrender.h"
#include "vxmaps.h"
#include "vxpng.h"

namespace voxtest {

const uint32_t kSentinel = 0xA5C3E1F7u;
const float kZSentinel = -12345.0f;

struct Frame {
    int32_t w, h;
    std::vector<uint32_t> pix;
    Frame(int32_t w_, int32_t h_) : w(w_), h(h_), pix((size_t)w_ * h_) {}
    // Binds and fills frame and z-buffer with the sentinels.
    void bind()
    {
        std::fill(pix.begin(), pix.end(), kSentinel);
        ASSERT_EQ(voxsetframebuffer(pix.data(), w * 4, w, h), 1);
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++) *depth_ptr(x, y) = kZSentinel;
    }
    float *depth_ptr(int32_t x, int32_t y)
    {
        return (float *)((uint8_t *)&pix[(size_t)y * w + x] + vox_frame.zoffset);
    }
    std::vector<float> depths()
    {
        std::vector<float> d((size_t)w * h);
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++) d[(size_t)y * w + x] = *depth_ptr(x, y);
        return d;
    }
};

struct Cam {
    const char *name;
    Vec3 pos, right, down, forward;
    int32_t focal; // 0: half the width
};

inline Vec3 v3(double x, double y, double z) { return Vec3{(float)x, (float)y, (float)z}; }

inline Cam angles(const char *name, Vec3 pos, double yawdeg, double pitchdeg, double rolldeg, int32_t focal = 0)
{
    Cam c{name, pos, {}, {}, {}, focal};
    const double d = M_PI / 180.0;
    vox_axes_from_angles((float)(yawdeg * d), (float)(pitchdeg * d), (float)(rolldeg * d), &c.right, &c.down,
                         &c.forward);
    return c;
}

inline void set_camera(const Cam &c, int32_t w, int32_t h)
{
    setviewpoint(&c.pos, &c.right, &c.down, &c.forward, w / 2, h / 2, c.focal ? c.focal : w / 2);
}

// A suite over the towers map with the client's wall shades, a fog colour and
// the SSE kernels restored after each test.
class TowersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(startrenderer(getcpufeatures()), 0);
        ASSERT_EQ(vxmap_towers(), 1);
    }
    void SetUp() override
    {
        ASSERT_EQ(startrenderer(getcpufeatures()), 0);
        setwallshades(0, 64, 32, 32, 16, 48);
        voxsetfogcolour(0x7F8FAF);
    }
    void TearDown() override { vox_use_kernels(VOX_KERNELS_SSE); }
};

// Compares a frame with the golden image `name`.png, or rewrites it when
// BKM_UPDATE_GOLDEN is set. Golden images are reviewed by eye once; at most
// 0.5 % of the pixels may differ visibly and 0.1 % far (other compilers and
// maths libraries round a few projections the other way).
inline void golden_check(const std::string &name, const Frame &fr)
{
    const std::string path = std::string(VOX_GOLDEN_DIR) + "/" + name + ".png";
    if (std::getenv("BKM_UPDATE_GOLDEN")) {
        ASSERT_EQ(vxpng_write(path.c_str(), (const uint8_t *)fr.pix.data(), fr.w * 4, fr.w, fr.h), 1);
        return;
    }
    uint32_t *ref = nullptr;
    int32_t rw = 0, rh = 0;
    ASSERT_EQ(vxpng_read(path.c_str(), &ref, &rw, &rh), 1) << path;
    ASSERT_EQ(rw, fr.w);
    ASSERT_EQ(rh, fr.h);
    int off = 0, far = 0;
    for (int32_t i = 0; i < fr.w * fr.h; i++) {
        int worst = 0;
        for (int k = 0; k < 3; k++) {
            const int d = std::abs((int)((fr.pix[i] >> (8 * k)) & 0xFF) - (int)((ref[i] >> (8 * k)) & 0xFF));
            worst = d > worst ? d : worst;
        }
        off += worst > 2;
        far += worst > 48;
    }
    delete[] ref;
    EXPECT_LE(off, fr.w * fr.h / 200) << name;
    EXPECT_LE(far, fr.w * fr.h / 1000) << name;
}

} // namespace voxtest
