// The layer's file readers under mutated copies of the generated data files
// (build/<cfg>/dist): WAV sounds, HUD bitmaps and bitmap fonts. Whatever is
// accepted is within its limits and can be used as the game uses it (played,
// turned and copied, drawn); everything else is refused. The sanitizer build
// checks every access.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "common/byteio.h"
#include "plat_test_game.h"
#include "platform/plat_bitmap.h"
#include "platform/plat_bmp.h"
#include "platform/plat_display.h"
#include "platform/plat_font.h"
#include "platform/plat_sound.h"
#include "platform/plat_test.h"
#include "platform/plat_wav.h"
#include "support/fuzz_bytes.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// Every generated file of a dist folder whose name ends in `suffix`, in name order.
std::vector<Bytes> dist_files(const char *folder, const char *suffix)
{
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(std::string(BKM_DIST_DIR) + "/" + folder)) {
        std::string n = e.path().string();
        if (n.size() > strlen(suffix) && n.compare(n.size() - strlen(suffix), std::string::npos, suffix) == 0)
            names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    std::vector<Bytes> files;
    for (const std::string &n : names) files.push_back(test_read_file(n));
    return files;
}

// Sets a bitmap header's depth to one the reader takes (with a colour-table
// size to match) so that every pixel format is reached.
void vary_depth(Bytes &b, FuzzRng &r, size_t info)
{
    static const uint16_t depths[] = {1, 4, 8, 24, 32};
    if (b.size() < info + 36) return;
    le_put_u16(b.data() + info + 14, r.pick(depths));
    le_put_u32(b.data() + info + 32, r.one_in(2) ? 0 : r.below(300));
}

// ---- WAV --------------------------------------------------------------------------

TEST(ReadersFuzz, MutatedSoundsParseWithinTheirBytesOrAreRefused)
{
    const std::vector<Bytes> files = dist_files("wav", ".wav");
    ASSERT_GE(files.size(), 20u);
    FuzzRng r(0x3A7E0001u);
    int accepted = 0;
    for (int round = 0; round < 12000; round++) {
        Bytes b = files[r.below((uint32_t)files.size())];
        // Most edits in the header and the chunk heads, where the sizes are.
        fuzz_mutate(b, r, r.one_in(4) ? r.below((uint32_t)b.size()) : r.below(48));
        WavSound w;
        int rc = wav_parse(b.empty() ? nullptr : b.data(), b.size(), &w);
        ASSERT_TRUE(rc <= WAV_OK && rc >= WAV_ERR_FORMAT) << round;
        if (rc != WAV_OK) continue;
        accepted++;
        const WavFormat &f = w.format;
        ASSERT_TRUE(f.formattag == 1 && (f.channels == 1 || f.channels == 2)) << round;
        ASSERT_TRUE(f.bitspersample == 8 || f.bitspersample == 16) << round;
        ASSERT_TRUE(f.samplerate >= 1 && f.samplerate <= 192000) << round;
        ASSERT_EQ(w.bytes % (f.channels * f.bitspersample / 8u), 0u) << round;
        ASSERT_GE(w.samples, b.data()) << round;
        ASSERT_LE((size_t)(w.samples - b.data()) + w.bytes, b.size()) << round;
        uint32_t sum = 0;
        for (uint32_t i = 0; i < w.bytes; i++) sum += w.samples[i];
        (void)sum;
    }
    EXPECT_GT(accepted, 1000);
}

// Through the sound layer: accepted files are loaded into OpenAL (stereo ones
// mixed down for 3-D) and played for a moment.
TEST(ReadersFuzz, MutatedSoundFilesPlayOrAreSkipped)
{
    test_platform_reset();
    ASSERT_EQ(sound_init_loopback(22050), 1);
    setmastervolume(10);
    std::vector<Bytes> files = dist_files("wav", ".wav");
    // Short ones: the loop is about headers, not about copying samples.
    files.erase(std::remove_if(files.begin(), files.end(), [](const Bytes &b) { return b.size() > 16000; }),
                files.end());
    // A stereo file too, for the mix-down.
    Bytes stereo = fx_wav({{"fmt ", fx_fmt(1, 2, 22050, 16)}, {"data", Bytes(4000, 0x40)}});
    files.push_back(stereo);
    files.push_back(fx_wav({{"fmt ", fx_fmt(1, 2, 11025, 8)}, {"data", Bytes(3001, 0x90)}}));
    const std::string path = test_dir("wav") + "/s.wav";
    FuzzRng r(0x3A7E0002u);
    int played = 0;
    std::vector<float> out(2 * 64);
    for (int round = 0; round < 300; round++) {
        Bytes b = files[r.below((uint32_t)files.size())];
        fuzz_mutate(b, r, r.below(48), 3);
        if (r.one_in(3) && b.size() >= 24) le_put_u16(b.data() + 22, 2); // the channels, when fmt comes first
        test_write_file(path, b);
        WavSound w;
        bool ok = wav_parse(b.empty() ? nullptr : b.data(), b.size(), &w) == WAV_OK;
        int before = sound_slot_counter();
        if (r.one_in(2))
            playsound3d(path.c_str(), -100, Vec3{(float)r.below(40), 3, fuzz_hostile_float(r)});
        else
            playsound(path.c_str(), 0);
        ASSERT_NE(sound_slot_counter(), before) << round;
        ASSERT_EQ(sound_slot_state(sound_slot_counter() & (SOUND_SLOTS - 1)) != 0, ok) << round;
        played += ok;
        ASSERT_EQ(sound_render_loopback(out.data(), 64), 1);
    }
    EXPECT_GT(played, 50);
    uninitdirectsound();
}

// ---- bitmaps ------------------------------------------------------------------------

// What the HUD does with a loaded picture: turn and tint it, copy it onto a
// surface at any place, read its pixels.
void use_bitmap(const Bitmap *b, FuzzRng &r, Surface *s)
{
    ASSERT_TRUE(b->width >= 1 && b->width <= BITMAP_MAX_SIDE && b->height >= 1 && b->height <= BITMAP_MAX_SIDE);
    static const float angles[] = {0.0f, 0.5f, -2.0f, 3.14159f, 1e6f, 1e30f, -1e30f,
                                   std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()};
    Bitmap *t = rotatebitmap(b, r.pick(angles), r.next(), r.one_in(2) ? 0 : r.next());
    const Bitmap *shown = t ? t : b;
    const int32_t spots[] = {0, -5, 30, -shown->width, s->width - 1, INT32_MIN / 2, INT32_MAX / 2};
    EXPECT_EQ(bitmaptosurface(s, r.pick(spots), r.pick(spots), shown), DD_OK);
    uint32_t *px = getbitmappixels(shown, shown->width, shown->height);
    ASSERT_NE(px, nullptr);
    std::free(px);
    freebitmap(t);
}

struct ReadersFuzzDisplay : ::testing::Test {
    TextContext *context = nullptr;
    void SetUp() override
    {
        ASSERT_TRUE(test_open_display(200, 60));
        createtextcontext(&context, getdirectdraw());
    }
    void TearDown() override
    {
        freetextcontext(context);
        test_close_display();
    }
};

TEST_F(ReadersFuzzDisplay, MutatedBitmapsDecodeWithinTheirBytesOrAreRefused)
{
    const std::vector<Bytes> files = dist_files("png", ".bmp");
    ASSERT_EQ(files.size(), 12u);
    Surface *s = createsurface(getdirectdraw(), 64, 48);
    ASSERT_NE(s, nullptr);
    FuzzRng r(0xB17A0001u);
    const std::string path = test_dir("bmp") + "/b.bmp";
    int loaded = 0;
    for (int round = 0; round < 3000; round++) {
        Bytes b = files[r.below((uint32_t)files.size())];
        if (r.one_in(3)) vary_depth(b, r, BMP_FILE_HEADER);
        fuzz_mutate(b, r, r.one_in(4) ? r.below((uint32_t)b.size()) : r.below(BMP_FILE_HEADER + BMP_INFO_HEADER));
        // The layer's decoder over exactly sized information and pixels.
        if (b.size() >= BMP_FILE_HEADER) {
            uint32_t off = le_get_u32(b.data() + 10);
            if (off >= BMP_FILE_HEADER && off <= b.size()) {
                Bytes info(b.begin() + BMP_FILE_HEADER, b.begin() + off), pixels(b.begin() + off, b.end());
                BmpInfo bi;
                if (bmp_parse_info(info.empty() ? nullptr : info.data(), info.size(), pixels.size(), 256, &bi)) {
                    std::vector<uint8_t> out((size_t)bi.width * bi.height * 4);
                    bmp_decode(&bi, pixels.data(), out.data(), bi.width * 4, round & 1, r.next());
                }
            }
        }
        // And the whole loader, through a file, with the picture used.
        if (round % 4 != 0) continue;
        test_write_file(path, b);
        Bitmap *bm = loadbitmap(path.c_str());
        if (!bm) continue;
        loaded++;
        use_bitmap(bm, r, s);
        freebitmap(bm);
        if (HasFatalFailure()) break;
    }
    EXPECT_GT(loaded, 100);
    releasesurface(s);
}

// Inputs the loops found faults with.
TEST(ReadersFuzz, FoundFaultsStayMended)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    Bitmap *b = createbitmap(16, 10);
    ASSERT_NE(b, nullptr);
    for (int i = 0; i < 160; i++) b->pixels[i] = i % 2 ? 0x404040u : 0x102030u;
    const struct {
        const char *name;
        float angle;
    } turns[] = {{"a turn by an angle that is not a number", nan}, {"a turn by an infinite angle", inf},
                 {"a turn by minus infinity", -inf}};
    for (const auto &c : turns) {
        Bitmap *t = rotatebitmap(b, c.angle, 0xFF0000u, 0);
        ASSERT_NE(t, nullptr) << c.name;
        EXPECT_EQ(t->width, 16) << c.name;
        EXPECT_EQ(t->height, 10) << c.name;
        EXPECT_EQ(t->pixels[1], 0x400000u) << c.name; // tinted grey, as with no turn
        EXPECT_EQ(t->pixels[0], 0x102030u) << c.name;
        freebitmap(t);
    }
    freebitmap(b);
}

// ---- fonts ----------------------------------------------------------------------------

TEST_F(ReadersFuzzDisplay, MutatedFontsDrawOrAreRefused)
{
    const std::vector<Bytes> files = dist_files("fonts", ".bmp");
    ASSERT_EQ(files.size(), 3u);
    Surface *s = createsurface(getdirectdraw(), 120, 40);
    ASSERT_NE(s, nullptr);
    char all[256];
    for (int i = 0; i < 255; i++) all[i] = (char)(i + 1);
    all[255] = 0;
    FuzzRng r(0xF0E70001u);
    const std::string path = test_dir("font") + "/f.bmp";
    int loaded = 0;
    for (int round = 0; round < 400; round++) {
        Bytes b = files[r.below((uint32_t)files.size())];
        const uint32_t bfsize = b.size() >= 6 ? le_get_u32(b.data() + 2) : 0;
        if (r.one_in(4)) vary_depth(b, r, BMP_FILE_HEADER);
        // The header, the metrics and widths after the bitmap, or anywhere.
        switch (r.below(3)) {
        case 0: fuzz_mutate(b, r, r.below(BMP_FILE_HEADER + BMP_INFO_HEADER)); break;
        case 1: fuzz_mutate(b, r, std::min<size_t>(bfsize + r.below(FONT_TRAILER_BYTES), b.size())); break;
        default: fuzz_mutate(b, r, r.below((uint32_t)b.size())); break;
        }
        test_write_file(path, b);
        BitmapFont *f = nullptr;
        int32_t code = loadfont(&f, context, path.c_str());
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(code >= FONT_LOADED && code <= FONT_ERR_RENDER) << round;
        ASSERT_EQ(f->surface != nullptr, code == FONT_LOADED) << round;
        loaded += code == FONT_LOADED;
        // A refused font draws nothing and measures as its widths say.
        selectfont(context, f);
        setfontcolor(f, r.next());
        gettextwidth(f, all);
        getfontheight(f);
        const int32_t spots[] = {0, 3, -40, 100, INT32_MIN, INT32_MAX - 5};
        for (int k = 0; k < 3; k++) drawcontexttext(context, s, r.pick(spots), r.pick(spots) % 50, all);
        freefont(f);
    }
    EXPECT_GT(loaded, 40);
    releasesurface(s);
}

} // namespace
