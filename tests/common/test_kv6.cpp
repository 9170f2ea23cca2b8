#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/byteio.h"
#include "common/kv6.h"
#include "common/kv6_dirtable.h"

namespace {

struct TestVoxel {
    uint32_t colour;
    uint16_t z;
    uint8_t faces, normal;
};

// Writes a KV6 image the way the format lays it out; fields can be bent
// afterwards to make bad files.
std::vector<uint8_t> kv6_image(int32_t xs, int32_t ys, int32_t zs, const std::vector<TestVoxel> &vox,
                               const std::vector<uint32_t> &xc, const std::vector<uint16_t> &xyc)
{
    std::vector<uint8_t> b(32 + 8 * vox.size() + 4 * xc.size() + 2 * xyc.size());
    uint8_t *p = b.data();
    le_put_u32(p, 0x6c78764b);
    le_put_i32(p + 4, xs);
    le_put_i32(p + 8, ys);
    le_put_i32(p + 12, zs);
    le_put_f32(p + 16, xs * 0.5f);
    le_put_f32(p + 20, ys * 0.5f);
    le_put_f32(p + 24, zs * 0.5f);
    le_put_i32(p + 28, (int32_t)vox.size());
    p += 32;
    for (const TestVoxel &v : vox) {
        le_put_u32(p, v.colour);
        le_put_u16(p + 4, v.z);
        p[6] = v.faces;
        p[7] = v.normal;
        p += 8;
    }
    for (uint32_t c : xc) { le_put_u32(p, c); p += 4; }
    for (uint16_t c : xyc) { le_put_u16(p, c); p += 2; }
    return b;
}

// 2 x 2 x 4 model: column (0,0) two voxels, (1,1) one voxel.
std::vector<uint8_t> sample_image()
{
    return kv6_image(2, 2, 4,
                     {{0x11223344, 0, 16, 3}, {0x55667788, 3, 32, 4}, {0x99aabbcc, 2, 63, 255}},
                     {2, 1}, {2, 0, 0, 1});
}

std::string write_temp(const std::vector<uint8_t> &bytes, const char *name)
{
    std::string path = std::string(::testing::TempDir()) + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return path;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

int g_fatal_calls;
std::string g_fatal_text;
void record_fatal(const char *text)
{
    g_fatal_calls++;
    g_fatal_text = text;
}

struct Kv6Files : ::testing::Test {
    void SetUp() override
    {
        g_fatal_calls = 0;
        g_fatal_text.clear();
        kv6_set_fatal_handler(record_fatal);
    }
    void TearDown() override { kv6_set_fatal_handler(nullptr); }
};

} // namespace

TEST_F(Kv6Files, LoadsIntoSingleBlockLayout)
{
    std::vector<uint8_t> img = sample_image();
    le_put_u32(img.data(), 0xdeadbeef);          // the tag is not checked
    img.insert(img.end(), {1, 2, 3, 4, 5, 6, 7}); // nor what follows the counts
    Kv6Model *m = loadkv6(write_temp(img, "sample.kv6").c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(g_fatal_calls, 0);
    EXPECT_EQ(m->xsize, 2);
    EXPECT_EQ(m->ysize, 2);
    EXPECT_EQ(m->zsize, 4);
    EXPECT_FLOAT_EQ(m->xpivot, 1.0f);
    EXPECT_FLOAT_EQ(m->zpivot, 2.0f);
    EXPECT_EQ(m->voxelcount, 3);
    EXPECT_EQ((void *)m->voxels, (void *)(m + 1));
    EXPECT_EQ((void *)m->xcounts, (void *)(m->voxels + 3));
    EXPECT_EQ((void *)m->xycounts, (void *)(m->xcounts + 2));
    EXPECT_EQ(m->voxels[0].colour, 0x11223344u);
    EXPECT_EQ(m->voxels[1].z, 3);
    EXPECT_EQ(m->voxels[1].faces, 32);
    EXPECT_EQ(m->voxels[2].normalindex, 255);
    EXPECT_EQ(m->xcounts[0], 2u);
    EXPECT_EQ(m->xycounts[3], 1);
    EXPECT_EQ(kv6_model_valid(m), 1);
    discardmodel(m);
}

TEST_F(Kv6Files, EmptyModelLoads)
{
    Kv6Model *m = loadkv6(write_temp(kv6_image(3, 2, 5, {}, {0, 0, 0}, {0, 0, 0, 0, 0, 0}), "empty.kv6").c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->voxelcount, 0);
    discardmodel(m);
}

TEST_F(Kv6Files, MissingFileTakesFatalPath)
{
    EXPECT_EQ(loadkv6((std::string(::testing::TempDir()) + "no_such_model.kv6").c_str()), nullptr);
    EXPECT_EQ(g_fatal_calls, 1);
    EXPECT_EQ(g_fatal_text, "could not load kv6 file");
}

TEST_F(Kv6Files, MalformedFilesAreRefused)
{
    const std::vector<uint8_t> good = sample_image();
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto bent = [&](const char *what, auto fn) {
        std::vector<uint8_t> b = good;
        fn(b);
        cases.push_back({what, b});
    };
    cases.push_back({"empty file", {}});
    cases.push_back({"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 20)});
    cases.push_back({"voxels cut", std::vector<uint8_t>(good.begin(), good.begin() + 40)});
    cases.push_back({"counts cut", std::vector<uint8_t>(good.begin(), good.end() - 1)});
    bent("negative xsize", [](auto &b) { le_put_i32(b.data() + 4, -2); });
    bent("negative ysize", [](auto &b) { le_put_i32(b.data() + 8, -1); });
    bent("negative zsize", [](auto &b) { le_put_i32(b.data() + 12, -4); });
    bent("negative count", [](auto &b) { le_put_i32(b.data() + 28, -1); });
    bent("count beyond file", [](auto &b) { le_put_i32(b.data() + 28, 0x10000000); });
    bent("huge x*y", [](auto &b) { le_put_i32(b.data() + 4, 0x7fffffff); le_put_i32(b.data() + 8, 0x7fffffff); });
    bent("slice sum wrong", [](auto &b) { le_put_u32(b.data() + 32 + 24, 3); });
    bent("column sum wrong", [](auto &b) { le_put_u16(b.data() + 32 + 24 + 8, 1); });
    bent("z at zsize", [](auto &b) { le_put_u16(b.data() + 32 + 8 + 4, 4); });
    bent("z not ascending", [](auto &b) { le_put_u16(b.data() + 32 + 8 + 4, 0); });
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_fatal_calls = 0;
        EXPECT_EQ(loadkv6(write_temp(c.bytes, "bad.kv6").c_str()), nullptr);
        EXPECT_EQ(g_fatal_calls, 1);
        EXPECT_EQ(g_fatal_text, "could not load kv6 file");
        EXPECT_EQ(kv6_load_from_memory(c.bytes.data(), (int64_t)c.bytes.size()), nullptr);
    }
}

// A model with zsize 1024 or more cannot be drawn, but it is not a bad file:
// it loads, its voxels still checked against the size (the renderer's tests
// have it drawing nothing).
TEST_F(Kv6Files, TallModelsLoad)
{
    struct Case {
        int32_t zsize;
        uint16_t deepest; // z of the last voxel
        bool loads;
    } cases[] = {{1023, 1000, true}, {1024, 1023, true}, {5000, 4999, true}, {0x7fffffff, 65535, true},
                 {2000, 2000, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.zsize);
        std::vector<uint8_t> img = sample_image();
        le_put_i32(img.data() + 12, c.zsize);
        le_put_u16(img.data() + 32 + 8 + 4, c.deepest); // the lower voxel of column (0, 0)
        g_fatal_calls = 0;
        Kv6Model *m = loadkv6(write_temp(img, "tall.kv6").c_str());
        Kv6Model *mm = kv6_load_from_memory(img.data(), (int64_t)img.size());
        EXPECT_EQ(m != nullptr, c.loads);
        EXPECT_EQ(mm != nullptr, c.loads);
        EXPECT_EQ(g_fatal_calls, c.loads ? 0 : 1);
        if (m) {
            EXPECT_EQ(m->zsize, c.zsize);
            EXPECT_EQ(m->voxels[1].z, c.deepest);
            EXPECT_EQ(kv6_model_valid(m), 1);
        }
        discardmodel(m);
        discardmodel(mm);
    }
}

TEST(Kv6Layout, MutatedFilesLoadOnlyWhenConsistent)
{
    // Bytes of a good file bent at random: whatever loads meets the layout
    // invariants; nothing reads outside the image (sanitizer build).
    const std::vector<uint8_t> good = sample_image();
    uint32_t r = 12345;
    int loaded = 0;
    for (int t = 0; t < 3000; t++) {
        std::vector<uint8_t> b = good;
        int flips = 1 + t % 4;
        for (int f = 0; f < flips; f++) {
            r = r * 1103515245u + 12345u;
            b[(r >> 8) % b.size()] = (uint8_t)(r >> 24);
        }
        if (t % 7 == 0) b.resize((r >> 4) % (b.size() + 1));
        Kv6Model *m = kv6_load_from_memory(b.data(), (int64_t)b.size());
        if (m) {
            loaded++;
            EXPECT_EQ(kv6_model_valid(m), 1);
            discardmodel(m);
        }
    }
    EXPECT_GT(loaded, 0); // colour and pivot bytes may change freely
}

TEST(Kv6Layout, AllocBuildsDebrisLayoutAndRefusesBadSizes)
{
    Kv6Model *m = kv6_model_alloc(3, 4, 5, 7);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ((void *)m->xycounts, (void *)(m->xcounts + 3));
    EXPECT_EQ((uintptr_t)m->xcounts % 4, 0u);
    m->xycounts[11] = 1; // writable up to the last column count
    discardmodel(m);
    EXPECT_EQ(kv6_model_alloc(-1, 1, 1, 0), nullptr);
    EXPECT_EQ(kv6_model_alloc(1, 1, 1, -1), nullptr);
    EXPECT_EQ(kv6_model_alloc(0x7fffffff, 0x7fffffff, 1, 0), nullptr);
    discardmodel(nullptr);
}

TEST(DirectionTable, SpiralOfUnitVectorsWithZeroLast)
{
    builddirtable(255);
    float x, y, z;
    dirfromindex(0, &x, &y, &z);
    EXPECT_FLOAT_EQ(z, 1.0f / 255.0f - 1.0f);
    EXPECT_EQ(dirtable.dir[255][0], 0.0f);
    EXPECT_EQ(dirtable.dir[255][1], 0.0f);
    EXPECT_EQ(dirtable.dir[255][2], 0.0f);
    for (int i = 0; i < 255; i++) {
        const float *d = dirtable.dir[i];
        EXPECT_NEAR(d[0] * d[0] + d[1] * d[1] + d[2] * d[2], 1.0f, 1e-5f) << i;
        EXPECT_EQ(indexfromdir(d[0] * 3, d[1] * 3, d[2] * 3), i);
    }
    EXPECT_GT(dirtable.dir[254][2], 0.99f);
    EXPECT_EQ(muladd2(3, 4, 5, 6), 42);
}
