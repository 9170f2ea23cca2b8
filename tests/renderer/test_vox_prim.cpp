// Pictures, lines, projections, block outlines and fogged squares: tables of
// worked cases on a small frame, with far-off, huge and non-finite values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "renderer/voxrender.h"

namespace {

const uint32_t kSentinel = 0xA5C3E1F7u;
const int32_t W = 64, H = 48;

typedef std::set<std::pair<int32_t, int32_t>> PixelSet;

class PrimTest : public ::testing::Test {
  protected:
    std::vector<uint32_t> frame;
    void SetUp() override
    {
        ASSERT_EQ(startrenderer(getcpufeatures()), 0);
        frame.assign((size_t)W * H, kSentinel);
        ASSERT_EQ(voxsetframebuffer(frame.data(), W * 4, W, H), 1);
        far_depths();
        // Looking along +x from (10, 10, 10); right is +y, down is +z.
        look_from(Vec3{10, 10, 10});
        voxsetfogcolour(0x204060);
    }
    void clear() { std::fill(frame.begin(), frame.end(), kSentinel); }
    void far_depths()
    {
        for (int32_t y = 0; y < H; y++)
            for (int32_t x = 0; x < W; x++) *depth(x, y) = 1000.0f;
    }
    void look_from(Vec3 pos)
    {
        const Vec3 r{0, 1, 0}, d{0, 0, 1}, f{1, 0, 0};
        setviewpoint(&pos, &r, &d, &f, W / 2, H / 2, W / 2);
    }
    uint32_t &px(int32_t x, int32_t y) { return frame[(size_t)y * W + x]; }
    float *depth(int32_t x, int32_t y) { return (float *)((uint8_t *)&px(x, y) + vox_frame.zoffset); }
    PixelSet changed()
    {
        PixelSet s;
        for (int32_t y = 0; y < H; y++)
            for (int32_t x = 0; x < W; x++)
                if (px(x, y) != kSentinel) s.insert({x, y});
        return s;
    }
};

// A 5 x 4 picture of distinct opaque pixels.
std::vector<uint32_t> picture(int32_t w, int32_t h)
{
    std::vector<uint32_t> p((size_t)w * h);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) p[(size_t)y * w + x] = 0xFF000000u | (uint32_t)(y * 16 + x) * 0x010203u;
    return p;
}

TEST_F(PrimTest, PictureCopiesClipOnEverySideWithoutSqueezing)
{
    const int32_t pw = 5, ph = 4;
    const std::vector<uint32_t> pic = picture(pw, ph);
    struct Case {
        const char *what;
        int32_t sx, sy;         // 16.16
        int32_t shiftx, shifty; // where the picture's pixel (0, 0) lands, whole pixels
    } cases[] = {
        {"at the corner", 0, 0, 0, 0},
        {"inside", 7 << 16, 9 << 16, 7, 9},
        {"past the left edge", -2 << 16, 3 << 16, -2, 3},
        {"past the top edge", 6 << 16, -3 << 16, 6, -3},
        {"past the right edge", (W - 3) << 16, 0, W - 3, 0},
        {"past the bottom edge", 0, (H - 2) << 16, 0, H - 2},
        {"past the top-left corner", -4 << 16, -3 << 16, -4, -3},
        {"past the bottom-right corner", (W - 1) << 16, (H - 1) << 16, W - 1, H - 1},
        {"half a pixel right: the next whole column", 0x8000, 0, 1, 0},
        {"half a pixel left of the edge", -0x8000, 0, 0, 0},
        {"wholly left", -5 << 16, 0, -5, 0},
        {"wholly below", 0, H << 16, 0, H},
    };
    for (const Case &c : cases) {
        clear();
        blitpicture(pic.data(), pw * 4, pw, ph, 0, 0, c.sx, c.sy, 0x10000, 0x10000, 0);
        for (int32_t y = 0; y < H; y++)
            for (int32_t x = 0; x < W; x++) {
                const int32_t u = x - c.shiftx, v = y - c.shifty;
                const uint32_t want = (u >= 0 && u < pw && v >= 0 && v < ph) ? pic[(size_t)v * pw + u] : kSentinel;
                ASSERT_EQ(px(x, y), want) << c.what << " at " << x << "," << y;
            }
    }
}

TEST_F(PrimTest, PictureScalesAboutItsPivot)
{
    const std::vector<uint32_t> pic = picture(6, 4);
    struct Case {
        const char *what;
        int32_t pivx, pivy, sx, sy, zx, zy; // 16.16
        int32_t x0, y0, cols, rows;         // covered screen rectangle
        int32_t step;                       // source = ((screen - x0) x step) >> 16
    } cases[] = {
        {"zoom 2 about pixel (1, 1)", 1 << 16, 1 << 16, 10 << 16, 10 << 16, 0x20000, 0x20000, 8, 8, 12, 8, 0x8000},
        {"zoom 1/2", 0, 0, 0, 0, 0x8000, 0x8000, 0, 0, 3, 2, 0x20000},
        // The step 2^32 / zoom truncates to 21,845: the source lags, four
        // screen columns show source column 0, then three each.
        {"zoom 3 about the far corner", 6 << 16, 4 << 16, 30 << 16, 20 << 16, 0x30000, 0x30000, 12, 8, 18, 12, 21845},
    };
    for (const Case &c : cases) {
        clear();
        blitpicture(pic.data(), 6 * 4, 6, 4, c.pivx, c.pivy, c.sx, c.sy, c.zx, c.zy, 0);
        PixelSet want;
        for (int32_t y = c.y0; y < c.y0 + c.rows; y++)
            for (int32_t x = c.x0; x < c.x0 + c.cols; x++) {
                want.insert({x, y});
                const int32_t u = ((x - c.x0) * c.step) >> 16, v = ((y - c.y0) * c.step) >> 16;
                ASSERT_EQ(px(x, y), pic[(size_t)v * 6 + u]) << c.what << " at " << x << "," << y;
            }
        EXPECT_EQ(changed(), want) << c.what;
    }
}

TEST_F(PrimTest, PictureColourModulatesAndAlphaBlends)
{
    struct Case {
        const char *what;
        uint32_t src, dst, colour, want;
    } cases[] = {
        {"colour 0 copies all four bytes", 0x00123456u, 0xFFFFFFFFu, 0, 0x00123456u},
        {"alpha 255 copied exactly", 0xFF123456u, 0xFF000000u, 0xFFFFFFFFu, 0xFF123456u},
        {"alpha 0 leaves the frame", 0x00FFFFFFu, 0x80112233u, 0xFFFFFFFFu, 0x80112233u},
        // Half alpha: 255 + (-255 x 16 x 2048 >> 16) = 127 (floored), 0 + 127;
        // alpha (128 x 16)^2 >> 16 = 64.
        {"alpha 128", 0x80FF0000u, 0xFF0000FFu, 0xFFFFFFFFu, 0x407F007Fu},
        // Alpha 254 over white: 255 - 254 = 1 per channel, alpha 252.
        {"alpha 254", 0xFE000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFC010101u},
        // 255 x 128 / 256 = 127 per channel, then alpha 127 over black:
        // (127 x 16)^2 >> 16 = 63 in every byte.
        {"modulated by half", 0xFFFFFFFFu, 0xFF000000u, 0x80808080u, 0x3F3F3F3Fu},
        // Blue 255 counts as 256 (unchanged), red and green 0; alpha stays 255.
        {"modulated to blue", 0xFF808080u, 0xFF111111u, 0xFF0000FFu, 0xFF000080u},
        // Modulated alpha 0 leaves the pixel whatever the colour.
        {"modulated to alpha 0", 0xFFFFFFFFu, 0x12345678u, 0x00FFFFFFu, 0x12345678u},
    };
    for (const Case &c : cases) {
        px(3, 2) = c.dst;
        blitpicture(&c.src, 4, 1, 1, 0, 0, 3 << 16, 2 << 16, 0x10000, 0x10000, c.colour);
        EXPECT_EQ(px(3, 2), c.want) << c.what << std::hex << " got " << px(3, 2);
    }
}

TEST_F(PrimTest, FarOffsetsAndHugeZoomsComputeIn64Bits)
{
    const std::vector<uint32_t> pic = picture(5, 4);
    // Left edge 32,768 pixels off screen, 32,768 pixels per source pixel:
    // the frame shows source pixel (1, 1) everywhere.
    blitpicture(pic.data(), 20, 5, 4, 0, 0, INT32_MIN, INT32_MIN, 0x7FFFFFFF, 0x7FFFFFFF, 0);
    for (int32_t i = 0; i < W * H; i++) ASSERT_EQ(frame[(size_t)i], pic[5 + 1]) << i;

    // A pivot of 32,768 pixels at zoom 4 lies 131,072 pixels right of the
    // picture's left edge: drawn at 0, the picture is far off screen (in 32
    // bits the product would wrap and draw it at the corner).
    clear();
    blitpicture(pic.data(), 20, 5, 4, 0x7FFFFFFF, 0, 0, 0, 0x40000, 0x40000, 0);
    EXPECT_TRUE(changed().empty());

    // Whole pixels beyond 16.16's range: 100,000 pixels left at zoom 30,000
    // reaches over the frame with source column 3.
    clear();
    blitpicturepx(pic.data(), 5, 4, 0, 0, -100000, 0, 30000.0f, 1.0f, 0);
    for (int32_t y = 0; y < 4; y++)
        for (int32_t x = 0; x < W; x++) ASSERT_EQ(px(x, y), pic[(size_t)y * 5 + 3]) << x << "," << y;
    EXPECT_EQ(px(0, 4), kSentinel);

    // Zooms that have no 16.16 value, or none above 0, draw nothing.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (float z : {nan, inf, -inf, 0.0f, -1.0f, 1e-6f, 40000.0f}) {
        clear();
        blitpicturepx(pic.data(), 5, 4, 0, 0, 0, 0, z, 1.0f, 0);
        blitpicturepx(pic.data(), 5, 4, 0, 0, 0, 0, 1.0f, z, 0xFFFFFFFFu);
        EXPECT_TRUE(changed().empty()) << z;
    }
    clear();
    blitpicture(pic.data(), 20, 5, 4, 0, 0, 0, 0, 0, 0x10000, 0);
    blitpicture(pic.data(), 20, 5, 4, 0, 0, 0, 0, -0x10000, 0x10000, 0);
    blitpicture(pic.data(), 19, 5, 4, 0, 0, 0, 0, 0x10000, 0x10000, 0); // line shorter than the width
    EXPECT_TRUE(changed().empty());
}

TEST_F(PrimTest, WholePixelBlitMatchesTheFixedPointOne)
{
    const std::vector<uint32_t> pic = picture(7, 5);
    blitpicturepx(pic.data(), 7, 5, 3, 2, 20, 15, 1.5f, 2.25f, 0xC0FFFFFFu);
    const std::vector<uint32_t> a = frame;
    clear();
    blitpicture(pic.data(), 28, 7, 5, 3 << 16, 2 << 16, 20 << 16, 15 << 16, 0x18000, 0x24000, 0xC0FFFFFFu);
    EXPECT_EQ(frame, a);
    EXPECT_FALSE(changed().empty());
}

TEST_F(PrimTest, LinesStepTheLongerAxisWithFlooredPositions)
{
    struct Case {
        const char *what;
        int32_t x0, y0, x1, y1;
        PixelSet want;
    } cases[] = {
        {"a point draws nothing", 3, 3, 3, 3, {}},
        {"diagonal steps x", 0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {"diagonal backwards", 3, 0, 0, 3, {{0, 3}, {1, 2}, {2, 1}, {3, 0}}},
        {"shallow", 0, 0, 4, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 1}}},
        {"shallow from the other end", 4, 1, 0, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 1}}},
        // A falling slope floors: the line leaves row 1 at once.
        {"shallow falling", 0, 1, 4, 0, {{0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
        // Slope 2^20 / 3 truncates, so the far end lands one column short.
        {"steep", 0, 0, 1, 3, {{0, 0}, {0, 1}, {0, 2}, {0, 3}}},
        {"clipped at the left", -5, 2, 2, 2, {{0, 2}, {1, 2}, {2, 2}}},
        {"clipped at the right", W - 2, 1, W + 3, 1, {{W - 2, 1}, {W - 1, 1}}},
        {"clipped at the bottom", 5, H - 2, 5, H + 40, {{5, H - 2}, {5, H - 1}}},
        {"off screen", -10, -10, -1, -3, {}},
    };
    for (const Case &c : cases) {
        clear();
        plotline(c.x0, c.y0, c.x1, c.y1, 0xFF00FF00u);
        EXPECT_EQ(changed(), c.want) << c.what;
    }
    // The whole int32 range, both ways: clipped to the frame, no overflow.
    clear();
    plotline(INT32_MIN, 5, INT32_MAX, 5, 1);
    plotline(7, INT32_MAX, 7, INT32_MIN, 2);
    PixelSet want;
    for (int32_t x = 0; x < W; x++) want.insert({x, 5});
    for (int32_t y = 0; y < H; y++) want.insert({7, y});
    EXPECT_EQ(changed(), want);
    EXPECT_EQ(px(7, 5), 2u);
}

TEST_F(PrimTest, ProjectVertexTruncatesAndRangeChecks)
{
    struct Case {
        const char *what;
        int32_t x, y, z;
        int32_t result, sx, sy; // -99: left unwritten
    } cases[] = {
        {"straight ahead", 20, 10, 10, 1, 32, 24},
        {"right and down", 20, 15, 12, 1, 48, 30}, // 24 + 2 x 32 / 10 = 30.4
        {"behind", 5, 10, 10, 0, -99, -99},
        {"on the camera plane", 10, 12, 10, 0, -99, -99},
        {"off the right edge", 20, 30, 10, 0, 96, -99},
        {"off the left edge", 20, -1, 10, 0, -3, -99}, // 32 - 35.2 truncates to -3
        {"off the bottom edge", 20, 10, 30, 0, 32, 88},
        {"far along the axis", INT32_MAX, 10, 10, 1, 32, 24},
    };
    for (const Case &c : cases) {
        int32_t sx = -99, sy = -99;
        EXPECT_EQ(projectvertex(c.x, c.y, c.z, &sx, &sy), c.result) << c.what;
        EXPECT_EQ(sx, c.sx) << c.what;
        EXPECT_EQ(sy, c.sy) << c.what;
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    look_from(Vec3{nan, 10, 10});
    int32_t sx = -99, sy = -99;
    EXPECT_EQ(projectvertex(20, 10, 10, &sx, &sy), 0);
    EXPECT_EQ(sx, -99);
}

TEST_F(PrimTest, SpaceLinesAndOutlinesNeedBothEndsOnScreen)
{
    int32_t x0, y0, x1, y1;
    ASSERT_EQ(projectvertex(20, 8, 8, &x0, &y0), 1);
    ASSERT_EQ(projectvertex(20, 12, 11, &x1, &y1), 1);
    plotspaceline(20, 8, 8, 20, 12, 11, 7);
    const PixelSet line = changed();
    clear();
    plotline(x0, y0, x1, y1, 7);
    EXPECT_EQ(changed(), line);
    EXPECT_FALSE(line.empty());

    clear();
    plotspaceline(20, 10, 10, 5, 10, 10, 7);  // one end behind
    plotspaceline(20, 10, 10, 20, 40, 10, 7); // one end off screen
    EXPECT_TRUE(changed().empty());

    // A block ahead: its eight corners are drawn and nothing beyond their box.
    clear();
    drawblockoutline(20, 9, 9, 0xFFFFFFFFu);
    int32_t lx = W, ly = H, hx = -1, hy = -1;
    for (int32_t c = 0; c < 8; c++) {
        int32_t sx, sy;
        ASSERT_EQ(projectvertex(20 + (c & 1), 9 + ((c >> 1) & 1), 9 + (c >> 2), &sx, &sy), 1);
        EXPECT_EQ(px(sx, sy), 0xFFFFFFFFu) << "corner " << c;
        lx = std::min(lx, sx), ly = std::min(ly, sy), hx = std::max(hx, sx), hy = std::max(hy, sy);
    }
    for (const auto &p : changed()) {
        EXPECT_TRUE(p.first >= lx && p.first <= hx && p.second >= ly && p.second <= hy);
    }
    clear();
    drawblockoutline(-20, 10, 10, 1); // behind
    drawblockoutline(INT32_MAX, INT32_MAX, INT32_MAX, 1);
    EXPECT_TRUE(changed().empty());
}

TEST_F(PrimTest, ScreenPointBoxRoundsToEven)
{
    struct Case {
        const char *what;
        Vec3 p;
        int32_t l, t, r, b;
        Vec3 camera = {10, 10, 10};
    } cases[] = {
        // Depth 10: centre (32, 24), half size 32 x 1.5 / 10 = 4.8.
        {"ahead", {20, 10, 10}, 27, 19, 37, 29},
        // Depth 96: centre (33, 24), half size 0.5: 32.5, 23.5, 33.5, 24.5.
        {"ties go to even", {106, 13, 10}, 32, 24, 34, 24},
        {"behind", {0, 10, 10}, -1, -1, -1, -1},
        {"on the camera plane", {10, 0, 0}, -1, -1, -1, -1},
        {"not finite", {std::numeric_limits<float>::quiet_NaN(), 10, 10}, -1, -1, -1, -1},
        // Depth 1e-30: the box spans the whole int32 range.
        {"touching the camera", {1e-30f, 0, 0}, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, {0, 0, 0}},
    };
    for (const Case &c : cases) {
        int32_t l = 7, t = 7, r = 7, b = 7;
        look_from(c.camera);
        projectscreenpoint(&c.p, &l, &t, &r, &b);
        EXPECT_EQ(l, c.l) << c.what;
        EXPECT_EQ(t, c.t) << c.what;
        EXPECT_EQ(r, c.r) << c.what;
        EXPECT_EQ(b, c.b) << c.what;
    }
}

TEST_F(PrimTest, SphereFillsAFoggedSquareByDepth)
{
    // Depth 10, radius 1: screen radius 3.2 about (32, 24): columns
    // nearest(28.8) = 29 .. nearest(35.2) = 35, lines 21 .. 27 - 1.
    // Fog at horizontal distance 10: ramp entry 120 = 2559; toward 0x204060:
    // red 255 - 18, green 128 - 5, blue 0 + 7; the alpha byte is kept.
    ASSERT_EQ(FogRamp[120][0], 2559);
    for (int32_t y = 0; y < H; y++)
        for (int32_t x = 29; x < 32; x++) *depth(x, y) = 5.0f; // nearer than the sphere
    const Vec3 c{20, 10, 10};
    fillsphere(&c, 1.0f, 0x11FF8000u);
    PixelSet want;
    for (int32_t y = 21; y < 27; y++)
        for (int32_t x = 32; x <= 35; x++) {
            want.insert({x, y});
            EXPECT_EQ(px(x, y), 0x11ED7B07u);
            EXPECT_EQ(*depth(x, y), 10.0f);
        }
    EXPECT_EQ(changed(), want);

    // Beyond 170 blocks the ramp is full: each channel ends at the fog value,
    // or one below it where it rose toward it.
    clear();
    far_depths();
    const Vec3 far{210, 10, 10};
    fillsphere(&far, 20.0f, 0x00FF8000u);
    EXPECT_EQ(px(32, 24), 0x0020405Fu);

    // A huge sphere covers the frame but its last line (lines stop one short).
    clear();
    far_depths();
    fillsphere(&c, 1e30f, 3);
    EXPECT_EQ(changed().size(), (size_t)W * (H - 1));

    // Behind, under a pixel across, or not finite: nothing.
    clear();
    far_depths();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Vec3 behind{0, 10, 10}, tiny{110, 10, 10}, bad{nan, 10, 10};
    fillsphere(&behind, 1.0f, 3);
    fillsphere(&tiny, 0.01f, 3);
    fillsphere(&bad, 1.0f, 3);
    fillsphere(&c, nan, 3);
    fillsphere(&c, -2.0f, 3);
    EXPECT_TRUE(changed().empty());
}

} // namespace
