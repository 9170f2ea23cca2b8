// Pictures: bitmap files, turning and tinting, and blits between surfaces.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/byteio.h"
#include "plat_test_game.h"
#include "platform/plat_bitmap.h"
#include "platform/plat_display.h"
#include "platform/plat_test.h"

namespace {

Bitmap *make(int32_t w, int32_t h, uint32_t fill)
{
    Bitmap *b = createbitmap(w, h);
    for (int32_t i = 0; i < w * h; i++) b->pixels[i] = fill;
    return b;
}

uint32_t at(const Bitmap *b, int32_t x, int32_t y) { return b->pixels[(size_t)y * b->width + x]; }

TEST(PlatBitmap, AngleZeroCopiesAndTintsOnlyTheGreys)
{
    Bitmap *src = make(4, 3, 0x808080);
    src->pixels[1] = 0xFFFFFF;  // white: becomes the tint
    src->pixels[2] = 0x000000;  // black equals the background: copied, stays transparent
    src->pixels[3] = 0x123456;  // a colour: copied
    src->pixels[4] = 0x10101;   // grey level 1: the tint scaled by 1/255, truncated
    Bitmap *r = rotatebitmap(src, 0.0f, 0x00FF00, 0x000000);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->width, 4);
    EXPECT_EQ(r->height, 3);
    EXPECT_EQ(at(r, 0, 0), 0x008000u); // 0x80 * 0xFF / 255
    EXPECT_EQ(at(r, 1, 0), 0x00FF00u);
    EXPECT_EQ(at(r, 2, 0), 0x000000u);
    EXPECT_EQ(at(r, 3, 0), 0x123456u);
    EXPECT_EQ(at(r, 0, 1), 0x000100u);
    freebitmap(r);
    // A grey level equal to any byte of the background is copied, not tinted.
    r = rotatebitmap(src, 0.0f, 0xFF0000, 0x000080);
    EXPECT_EQ(at(r, 0, 0), 0x808080u);
    freebitmap(r);
    freebitmap(src);
}

TEST(PlatBitmap, TurnedPicturesGrowAndFillTheirCornersWithTheBackground)
{
    struct Case {
        int32_t w, h;
        float angle;
        int32_t rw, rh;
    } cases[] = {
        {16, 16, 0.7854f, 24, 24}, // an eighth of a turn: corners from about -3.3 to 19.3
        {16, 16, 1.5707964f, 17, 17},
        {16, 16, 3.1415927f, 17, 17},
        {8, 8, -0.7854f, 12, 12},
        {1, 1, 0.5f, 3, 3},
    };
    for (const Case &c : cases) {
        Bitmap *src = make(c.w, c.h, 0x3060A0);
        Bitmap *r = rotatebitmap(src, c.angle, 0xFFFFFF, 0x000000);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->width, c.rw) << c.angle;
        EXPECT_EQ(r->height, c.rh) << c.angle;
        if (c.w == 16 && c.angle > 0.7f && c.angle < 0.8f) {
            EXPECT_EQ(at(r, 0, 0), 0u);             // corners: no source pixel
            EXPECT_EQ(at(r, 23, 23), 0u);
            EXPECT_EQ(at(r, 12, 12), 0x3060A0u);    // the middle: copied (not grey)
        }
        freebitmap(r);
        freebitmap(src);
    }
}

TEST(PlatBitmap, AQuarterTurnMovesAPixelAboutTheCentre)
{
    Bitmap *src = make(16, 16, 0x0000FF);
    src->pixels[1 * 16 + 12] = 0xFF0000; // (12, 1): right of centre, near the top
    Bitmap *r = rotatebitmap(src, 1.5707964f, 0, 0);
    ASSERT_NE(r, nullptr);
    int found = 0, fx = -1, fy = -1;
    for (int32_t y = 0; y < r->height; y++)
        for (int32_t x = 0; x < r->width; x++)
            if (at(r, x, y) == 0xFF0000u) found++, fx = x, fy = y;
    EXPECT_EQ(found, 1);
    // Turned by +90 degrees (x' = cx - (y - cy), y' = cy + (x - cx)) the pixel
    // lands below the centre on the right: about (14.5, 12.5), shifted by minx = miny = -1.
    EXPECT_NEAR(fx, 15, 1);
    EXPECT_NEAR(fy, 13, 1);
    freebitmap(r);
    freebitmap(src);
    EXPECT_EQ(rotatebitmap(nullptr, 1.0f, 0, 0), nullptr);
}

TEST(PlatBitmap, FilesOfEveryDepthAndRowOrderLoadAlike)
{
    test_platform_reset();
    const std::string dir = test_dir("bitmap");
    const int32_t w = 5, h = 3;
    std::vector<uint32_t> two = {0, 0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, 0, 0, 0xFFFFFF,
                                 0, 0, 0xFFFFFF, 0, 0};
    std::vector<uint32_t> many = two;
    many[0] = 0x112233;
    many[7] = 0xA0B0C0;
    many[14] = 0x0000FF;
    struct Case {
        int bpp;
        const std::vector<uint32_t> *picture;
    } cases[] = {{1, &two}, {4, &many}, {8, &many}, {24, &many}, {32, &many}};
    for (const Case &c : cases) {
        for (bool topdown : {false, true}) {
            const std::string path = dir + "/p.bmp";
            test_write_file(path, fx_bmp(*c.picture, w, h, c.bpp, topdown));
            Bitmap *b = loadbitmap(path.c_str());
            ASSERT_NE(b, nullptr) << c.bpp << " " << topdown;
            ASSERT_EQ(b->width, w);
            ASSERT_EQ(b->height, h);
            for (int32_t i = 0; i < w * h; i++) EXPECT_EQ(b->pixels[i], (*c.picture)[i]) << c.bpp << " " << i;
            uint32_t *copy = getbitmappixels(b, w, h);
            ASSERT_NE(copy, nullptr);
            EXPECT_EQ(copy[7], (*c.picture)[7]);
            std::free(copy);
            EXPECT_EQ(getbitmappixels(b, w + 1, h), nullptr);
            freebitmap(b);
        }
    }
    const std::vector<uint8_t> good = fx_bmp(many, w, h, 24, false);
    auto with = [&](size_t off, uint32_t v) {
        std::vector<uint8_t> f = good;
        le_put_u32(f.data() + off, v);
        return f;
    };
    const std::vector<std::vector<uint8_t>> bad = {
        with(10, 0xFFFFFF00u),                                  // pixels past the end
        with(14 + 16, 1),                                       // compressed
        with(14 + 4, 100000),                                   // too wide
        std::vector<uint8_t>(good.begin(), good.end() - 10),    // pixels cut short
        std::vector<uint8_t>(good.begin(), good.begin() + 20),  // information cut short
        {'P', 'K', 3, 4},
    };
    for (size_t i = 0; i < bad.size(); i++) {
        test_write_file(dir + "/bad.bmp", bad[i]);
        EXPECT_EQ(loadbitmap((dir + "/bad.bmp").c_str()), nullptr) << i;
    }
    EXPECT_EQ(loadbitmap((dir + "/none.bmp").c_str()), nullptr);
}

TEST(PlatBitmap, BlitsHonourTheKeyAndRefuseRectanglesOutside)
{
    test_platform_reset();
    test_display = DisplaySettings{32, 32, 1, 10};
    ASSERT_EQ(plat_create_window(), 1);
    ASSERT_EQ(initdirectdraw(1), 1);
    Surface *dst = createsurface(getdirectdraw(), 8, 8);
    Surface *src = createsurface(getdirectdraw(), 4, 4);
    ASSERT_NE(dst, nullptr);
    ASSERT_NE(src, nullptr);
    EXPECT_EQ(createsurface(getdirectdraw(), 0, 5), nullptr);
    EXPECT_EQ(createsurface(nullptr, 5, 5), nullptr);
    fillsurface(dst, 0, 0, 9);
    Bitmap *pic = make(4, 4, 0xFF0000);
    pic->pixels[0] = 0;
    EXPECT_EQ(bitmaptosurface(src, 0, 0, pic), DD_OK);
    setsurfacekey(src, 0);
    auto px = [](const Surface *s, int x, int y) { return le_get_u32(s->pixels + y * s->pitch + 4 * x); };

    EXPECT_EQ(blitsurface(dst, 4, 4, src, nullptr, 1), DD_OK);
    EXPECT_EQ(px(dst, 4, 4), 9u);        // the key colour is skipped
    EXPECT_EQ(px(dst, 5, 4), 0xFF0000u);
    EXPECT_EQ(blitsurface(dst, 0, 0, src, nullptr, 0), DD_OK);
    EXPECT_EQ(px(dst, 0, 0), 0u);        // without the key it is copied
    fillsurface(dst, 0, 0, 9);
    EXPECT_EQ(blitsurface(dst, 5, 0, src, nullptr, 1), DDERR_INVALIDRECT); // would reach x 9
    EXPECT_EQ(blitsurface(dst, -1, 0, src, nullptr, 1), DDERR_INVALIDRECT);
    const SurfaceRect outside{2, 2, 5, 3}, empty{1, 1, 1, 3}, part{1, 1, 3, 2};
    EXPECT_EQ(blitsurface(dst, 0, 0, src, &outside, 1), DDERR_INVALIDRECT);
    EXPECT_EQ(blitsurface(dst, 7, 7, src, &empty, 1), DD_OK);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) EXPECT_EQ(px(dst, x, y), 9u); // nothing was drawn so far
    EXPECT_EQ(blitsurface(dst, 6, 7, src, &part, 1), DD_OK);
    EXPECT_EQ(px(dst, 6, 7), 0xFF0000u);
    EXPECT_EQ(px(dst, 7, 7), 0xFF0000u);

    uint8_t *p;
    int32_t pitch;
    EXPECT_EQ(locksurface(dst, &p, &pitch), DD_OK);
    EXPECT_EQ(locksurface(dst, &p, &pitch), DDERR_SURFACEBUSY);
    EXPECT_EQ(blitsurface(dst, 0, 0, src, nullptr, 1), DDERR_SURFACEBUSY);
    EXPECT_EQ(bitmaptosurface(dst, 0, 0, pic), DDERR_SURFACEBUSY);
    unlocksurface(dst);
    EXPECT_EQ(bitmaptosurface(dst, 6, -2, pic), DD_OK); // clipped to the surface
    EXPECT_EQ(px(dst, 7, 1), 0xFF0000u);
    EXPECT_EQ(px(dst, 6, 0), 0xFF0000u);

    EXPECT_STREQ(ddrawerrorname(DDERR_INVALIDRECT), "DDERR_INVALIDRECT");
    EXPECT_STREQ(ddrawerrorname(12345), "Unknown Error");
    freebitmap(pic);
    releasesurface(src);
    releasesurface(dst);
    uninitdirectdraw();
    plat_destroy_window();
}

} // namespace
