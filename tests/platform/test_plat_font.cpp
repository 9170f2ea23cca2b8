// Bitmap fonts: refusals of bad files, glyph rectangles, measured and drawn
// widths, colours and clipping.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "common/byteio.h"
#include "plat_test_game.h"
#include "platform/plat_display.h"
#include "platform/plat_font.h"
#include "platform/plat_test.h"

namespace {

int32_t varied_a(int k) { return k % 3 - 1; }
uint32_t varied_b(int k) { return 2 + (uint32_t)k % 5; }
int32_t varied_c(int k) { return k % 2; }
uint32_t wide_b(int k) { return k == '/' ? 100u : 6u; }

class PlatFont : public ::testing::Test {
protected:
    std::string dir;
    TextContext *context = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(test_open_display(200, 40));
        createtextcontext(&context, getdirectdraw());
        dir = test_dir("font");
    }
    void TearDown() override
    {
        freetextcontext(context);
        test_close_display();
    }
    BitmapFont *load(const std::vector<uint8_t> &file, int32_t *code, TextContext *ctx = nullptr)
    {
        const std::string path = dir + "/f.bmp";
        test_write_file(path, file);
        BitmapFont *f = nullptr;
        *code = loadfont(&f, ctx ? ctx : context, path.c_str());
        return f;
    }
    // A black surface of w x h with `text` drawn at (x, 2) in `colour`.
    Surface *draw(BitmapFont *font, const char *text, int32_t x, int32_t w, uint32_t colour = 0xFFFFFF)
    {
        Surface *s = createsurface(getdirectdraw(), w, 16);
        selectfont(context, font);
        setfontcolor(font, colour);
        drawcontexttext(context, s, x, 2, text);
        return s;
    }
    static uint32_t px(const Surface *s, int32_t x, int32_t y) { return le_get_u32(s->pixels + y * s->pitch + 4 * x); }
    static int32_t leftmost_difference(const Surface *a, const Surface *b)
    {
        for (int32_t x = 0; x < a->width; x++)
            for (int32_t y = 0; y < a->height; y++)
                if (px(a, x, y) != px(b, x, y)) return x;
        return -1;
    }
};

TEST_F(PlatFont, BadFilesAreRefusedWithTheirCodes)
{
    const std::vector<uint8_t> good = fx_font(FontSpec{});
    const uint32_t bfsize = fx_font_bitmap_bytes(good);
    auto with = [&](size_t at, uint32_t v, int width) {
        std::vector<uint8_t> f = good;
        if (width == 2) le_put_u16(f.data() + at, (uint16_t)v);
        else le_put_u32(f.data() + at, v);
        return f;
    };
    auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + (long)n); };
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        int32_t code;
    } cases[] = {
        {"good", good, FONT_LOADED},
        {"reserved words swapped", with(6, 0x4646, 2), FONT_ERR_HEADER},
        {"not BM", with(0, 0x4D43, 2), FONT_ERR_HEADER},
        {"shorter than its header", cut(10), FONT_ERR_HEADER},
        {"pixels before the information", with(FX_FONT_OFFBITS, 20, 4), FONT_ERR_HEADER},
        {"pixels after the bitmap part", with(FX_FONT_OFFBITS, bfsize + 1, 4), FONT_ERR_HEADER},
        {"16 bits per pixel", with(FX_FONT_BPP, 16, 2), FONT_ERR_BITMAP},
        {"compressed", with(FX_FONT_COMPRESSION, 1, 4), FONT_ERR_BITMAP},
        {"width 0", with(14 + 4, 0, 4), FONT_ERR_BITMAP},
        {"enormous height", with(14 + 8, 0x7FFFFFFF, 4), FONT_ERR_BITMAP},
        {"too few pixels for its size", with(FX_FONT_BFSIZE, 14 + 40 + 8 + 10, 4), FONT_ERR_BITMAP},
        {"cut at the end of the bitmap", cut(bfsize), FONT_ERR_METRICS},
        {"cut inside the widths", cut(bfsize + 56 + 100), FONT_ERR_METRICS},
        {"one byte short", cut(good.size() - 1), FONT_ERR_METRICS},
        {"cut inside the pixels", cut(bfsize - 5), FONT_ERR_METRICS},
    };
    for (const Case &c : cases) {
        int32_t code = 99;
        BitmapFont *f = load(c.file, &code);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(code, c.code) << c.what;
        EXPECT_EQ(f->loadcode, c.code) << c.what;
        EXPECT_EQ(f->surface != nullptr, c.code == FONT_LOADED) << c.what;
        freefont(f);
    }
    BitmapFont *f = nullptr;
    EXPECT_EQ(loadfont(&f, context, (dir + "/missing.bmp").c_str()), FONT_ERR_OPEN);
    EXPECT_STREQ(f->filename, (dir + "/missing.bmp").c_str());
    EXPECT_EQ(f->info, nullptr);
    freefont(f);
    TextContext *nodisplay = nullptr;
    createtextcontext(&nodisplay, nullptr);
    int32_t code;
    f = load(good, &code, nodisplay);
    EXPECT_EQ(code, FONT_ERR_SURFACE);
    freefont(f);
    freetextcontext(nodisplay);
}

TEST_F(PlatFont, GlyphGridAndMetrics)
{
    int32_t code;
    BitmapFont *f = load(fx_font(FontSpec{8, nullptr, wide_b, nullptr}), &code);
    ASSERT_EQ(code, FONT_LOADED);
    EXPECT_EQ(f->cellwidth, 8);
    EXPECT_EQ(f->cellheight, 8);
    EXPECT_EQ(getfontheight(f), 8);
    const SurfaceRect a = f->glyphs['A']; // code 65: column 1, row 2
    EXPECT_EQ(a.left, 8);
    EXPECT_EQ(a.top, 16);
    EXPECT_EQ(a.right, 14);
    EXPECT_EQ(a.bottom, 24);
    const SurfaceRect slash = f->glyphs['/']; // the last cell of a row, 100 wide: cut at the edge
    EXPECT_EQ(slash.left, 120);
    EXPECT_EQ(slash.right, 128);
    const SurfaceRect high = f->glyphs[255];
    EXPECT_EQ(high.top, 13 * 8);
    EXPECT_EQ(f->advance[10], 0);
    EXPECT_EQ(f->glyphs[10].right, 0);
    EXPECT_EQ(f->advance['A'], 7);
    freefont(f);
}

TEST_F(PlatFont, MeasuredWidthEqualsTheDrawnAdvance)
{
    int32_t code;
    BitmapFont *f = load(fx_font(FontSpec{8, varied_a, varied_b, varied_c}), &code);
    ASSERT_EQ(code, FONT_LOADED);
    EXPECT_EQ(gettextwidth(f, ""), 0);
    EXPECT_EQ(gettextwidth(f, "a\x01\x1f" "b"), gettextwidth(f, "ab")); // control bytes add nothing
    const char *texts[] = {"Hello, world", "x", "\xC8\xE9\xFF", "iiiWWW"};
    for (const char *t : texts) {
        const std::string more = std::string(t) + "M";
        Surface *a = draw(f, t, 20, 200);
        Surface *b = draw(f, more.c_str(), 20, 200);
        EXPECT_EQ(leftmost_difference(a, b), 20 + gettextwidth(f, t) + varied_a('M')) << t;
        releasesurface(a);
        releasesurface(b);
    }
    freefont(f);
}

TEST_F(PlatFont, InkColourTransparencyAndWholeGlyphClipping)
{
    int32_t code;
    BitmapFont *f = load(fx_font(FontSpec{}), &code); // glyphs 6 wide, advance 7
    ASSERT_EQ(code, FONT_LOADED);
    Surface *s = draw(f, "A", 0, 20, 0xFFFFFF00); // the top byte is no alpha
    EXPECT_EQ(px(s, 0, 2), 0xFFFF00u);
    EXPECT_EQ(px(s, 5, 9), 0xFFFF00u);
    EXPECT_EQ(px(s, 6, 2), 0u);
    releasesurface(s);
    s = draw(f, "A", 0, 20, 0x000000); // black is the transparent key: nothing shows
    for (int32_t x = 0; x < 20; x++) EXPECT_EQ(px(s, x, 5), 0u);
    releasesurface(s);
    s = draw(f, "\x01\x02", 0, 20);
    for (int32_t x = 0; x < 20; x++) EXPECT_EQ(px(s, x, 5), 0u);
    releasesurface(s);
    // 16 wide: the second glyph (x 7..12) fits, the third (14..19) would not and is left out whole.
    s = draw(f, "AAA", 0, 16);
    EXPECT_EQ(px(s, 12, 5), 0xFFFFFFu);
    EXPECT_EQ(px(s, 14, 5), 0u);
    EXPECT_EQ(px(s, 15, 5), 0u);
    releasesurface(s);
    s = draw(f, "AB", -3, 20); // the first glyph starts left of the surface: only the second shows
    EXPECT_EQ(px(s, 0, 5), 0u);
    EXPECT_EQ(px(s, 4, 5), 0xFFFFFFu);
    releasesurface(s);

    // Text onto a locked surface is not drawn; drawtextcolor goes through the global context.
    Surface *frame = getframesurface();
    uint8_t *p;
    int32_t pitch;
    ASSERT_EQ(lockframe(&p, &pitch), 1);
    TextContext *const global = textcontext;
    textcontext = context;
    drawtextcolor(f, "A", 0, 0, frame, 0xFF0000);
    EXPECT_EQ(px(frame, 1, 1), 0u);
    unlockframe();
    drawtextcolor(f, "A", 0, 0, frame, 0xFF0000);
    EXPECT_EQ(px(frame, 1, 1), 0xFF0000u);
    EXPECT_EQ(f->colour, 0xFF0000u);
    textcontext = global;
    freefont(f);
}

TEST_F(PlatFont, LoadFontsFillsTheThreeSlotsInOrder)
{
    std::filesystem::create_directories(dir + "/fonts");
    test_write_file(dir + "/fonts/FixedSys_Bold_12.bmp", fx_font(FontSpec{8}));
    test_write_file(dir + "/fonts/FixedSys_Bold_18.bmp", fx_font(FontSpec{12}));
    // no 36: that slot holds a font that did not load
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    loadfonts(getdirectdraw());
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_NE(textcontext, nullptr);
    EXPECT_EQ(getfont(0)->loadcode, FONT_LOADED);
    EXPECT_EQ(getfontheight(getfont(0)), 8);
    EXPECT_EQ(getfontheight(getfont(1)), 12);
    EXPECT_EQ(getfont(2)->loadcode, FONT_ERR_OPEN);
    EXPECT_EQ(getfont(3), nullptr);
    EXPECT_EQ(drawtextcolor(getfont(2), "A", 0, 0, getframesurface(), 0xFFFFFF), 0); // draws nothing, no crash
    freefonts();
    EXPECT_EQ(getfont(0), nullptr);
    freetextcontext(textcontext);
    EXPECT_EQ(textcontext, nullptr);
}

} // namespace
