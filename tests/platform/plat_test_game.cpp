// The program side of the platform layer for its tests, and file builders.
#include "plat_test_game.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "common/byteio.h"
#include "platform/plat_log.h"
#include "platform/plat_test.h"

TestGame test_game;
DisplaySettings test_display;
ScreenTable test_screens;

ScreenTable *game_screen_table() { return &test_screens; }
DisplaySettings *game_display_settings() { return &test_display; }

int game_init(int argc, char **argv)
{
    test_game.init_calls++;
    test_game.init_argc = argc;
    test_game.init_arg_null = argv[0] == nullptr;
    test_game.init_arg = argv[0] ? argv[0] : "";
    return test_game.init_result;
}

void game_run_frame()
{
    test_game.frames++;
    if (test_game.frame) test_game.frame();
}

void game_shutdown()
{
    test_game.shutdowns++;
    plat_log("game_shutdown");
}

void menu_name_screen() { test_game.screen_calls[0]++; }
void menu_loading_screen() { test_game.screen_calls[1]++; }
void menu_team_screen() { test_game.screen_calls[2]++; }
void menu_weapon_screen() { test_game.screen_calls[3]++; }
void game_play_screen() { test_game.screen_calls[4]++; }

void test_platform_reset()
{
    test_game = TestGame{};
    test_display = DisplaySettings{64, 48, 1, 10};
    test_screens = ScreenTable{};
    plat_select_backend(PLAT_BACKEND_HEADLESS);
    plat_reset_input();
    plat_log_clear();
}

std::vector<std::string> test_log_lines(const std::vector<std::string> &prefixes)
{
    std::vector<std::string> out;
    for (int i = 0; i < plat_log_count(); i++) {
        const std::string line = plat_log_line(i);
        for (const std::string &p : prefixes)
            if (line.compare(0, p.size(), p) == 0) {
                out.push_back(line);
                break;
            }
    }
    return out;
}

bool test_open_display(int32_t width, int32_t height)
{
    test_platform_reset();
    test_display = DisplaySettings{width, height, 1, 10};
    return plat_create_window() == 1 && initdirectdraw(1) == 1;
}

void test_close_display()
{
    uninitdirectdraw();
    plat_destroy_window();
}

std::string test_dir(const std::string &name)
{
    // One folder per test: ctest runs the tests of this program in parallel processes.
    const ::testing::TestInfo *t = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string owner = t ? std::string(t->test_suite_name()) + "." + t->name() : "none";
    const std::filesystem::path p = std::filesystem::path(PLAT_TEST_TMP) / owner / name;
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p.string();
}

void test_write_file(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write((const char *)bytes.data(), (std::streamsize)bytes.size());
}

std::vector<uint8_t> test_read_file(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

static void put16(std::vector<uint8_t> &v, uint16_t x)
{
    uint8_t b[2];
    le_put_u16(b, x);
    v.insert(v.end(), b, b + 2);
}

static void put32(std::vector<uint8_t> &v, uint32_t x)
{
    uint8_t b[4];
    le_put_u32(b, x);
    v.insert(v.end(), b, b + 4);
}

std::vector<uint8_t> fx_wav(const std::vector<WavChunk> &chunks)
{
    std::vector<uint8_t> v = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const WavChunk &c : chunks) {
        v.insert(v.end(), c.id.begin(), c.id.end());
        put32(v, (uint32_t)c.data.size());
        v.insert(v.end(), c.data.begin(), c.data.end());
        if (c.data.size() & 1) v.push_back(0);
    }
    le_put_u32(v.data() + 4, (uint32_t)v.size() - 8);
    return v;
}

std::vector<uint8_t> fx_fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    std::vector<uint8_t> v;
    put16(v, tag);
    put16(v, channels);
    put32(v, rate);
    put32(v, rate * channels * bits / 8);
    put16(v, (uint16_t)(channels * bits / 8));
    put16(v, bits);
    return v;
}

std::vector<uint8_t> fx_wav_sine(uint32_t rate, int ms, float hz, float amplitude)
{
    std::vector<uint8_t> data;
    const int n = (int)((int64_t)rate * ms / 1000);
    for (int i = 0; i < n; i++) {
        const double s = amplitude * std::sin(2.0 * M_PI * hz * i / rate);
        put16(data, (uint16_t)(int16_t)std::lround(s * 32767.0));
    }
    return fx_wav({{"fmt ", fx_fmt(1, 1, rate, 16)}, {"data", data}});
}

std::vector<uint8_t> fx_font(const FontSpec &spec)
{
    const int32_t cell = spec.cell, w = 16 * cell, h = 14 * cell;
    const uint32_t rowbytes = (uint32_t)((w + 31) / 32 * 4);
    auto b_of = [&](int k) { return spec.abc_b ? spec.abc_b(k) : (uint32_t)(cell - 2); };
    std::vector<uint8_t> pixels(rowbytes * (size_t)h, 0);
    for (int k = 32; k < 256; k++) {
        const int32_t left = ((k - 32) % 16) * cell, top = ((k - 32) / 16) * cell;
        const int32_t inked = std::min<int32_t>((int32_t)b_of(k), cell);
        for (int32_t y = top; y < top + cell; y++)
            for (int32_t x = left; x < left + inked; x++) {
                const int32_t stored = h - 1 - y; // bottom-up
                pixels[(size_t)stored * rowbytes + (size_t)(x >> 3)] |= (uint8_t)(0x80 >> (x & 7));
            }
    }
    const uint32_t offbits = 14 + 40 + 8;
    const uint32_t bfsize = offbits + (uint32_t)pixels.size();
    std::vector<uint8_t> v;
    put16(v, 0x4D42);
    put32(v, bfsize);
    put16(v, 0x4444);
    put16(v, 0x4646);
    put32(v, offbits);
    put32(v, 40);
    put32(v, (uint32_t)w);
    put32(v, (uint32_t)h);
    put16(v, 1);
    put16(v, 1);
    for (int i = 0; i < 6; i++) put32(v, 0); // compression, image size, resolution, colours used, important
    put32(v, 0x000000);                      // entry 0: background
    put32(v, 0xFFFFFF);                      // entry 1: ink
    v.insert(v.end(), pixels.begin(), pixels.end());
    std::vector<uint8_t> tm(56, 0);
    le_put_i32(tm.data(), cell);
    v.insert(v.end(), tm.begin(), tm.end());
    for (int k = 32; k < 256; k++) {
        put32(v, (uint32_t)(spec.abc_a ? spec.abc_a(k) : 0));
        put32(v, b_of(k));
        put32(v, (uint32_t)(spec.abc_c ? spec.abc_c(k) : 1));
    }
    v.insert(v.end(), 60, 0);
    return v;
}

uint32_t fx_font_bitmap_bytes(const std::vector<uint8_t> &font) { return le_get_u32(font.data() + FX_FONT_BFSIZE); }

std::vector<uint8_t> fx_bmp(const std::vector<uint32_t> &pixels, int32_t width, int32_t height, int bpp, bool topdown)
{
    std::vector<uint32_t> palette;
    std::map<uint32_t, uint32_t> index;
    if (bpp <= 8)
        for (uint32_t p : pixels)
            if (!index.count(p)) {
                index[p] = (uint32_t)palette.size();
                palette.push_back(p);
            }
    const uint32_t rowbytes = (uint32_t)(((int64_t)width * bpp + 31) / 32 * 4);
    std::vector<uint8_t> data(rowbytes * (size_t)height, 0);
    for (int32_t y = 0; y < height; y++) {
        uint8_t *row = data.data() + (size_t)(topdown ? y : height - 1 - y) * rowbytes;
        for (int32_t x = 0; x < width; x++) {
            const uint32_t p = pixels[(size_t)y * width + x];
            switch (bpp) {
            case 1: row[x >> 3] |= (uint8_t)(index[p] << (7 - (x & 7))); break;
            case 4: row[x >> 1] |= (uint8_t)(index[p] << ((x & 1) ? 0 : 4)); break;
            case 8: row[x] = (uint8_t)index[p]; break;
            case 24: row[3 * x] = (uint8_t)p, row[3 * x + 1] = (uint8_t)(p >> 8), row[3 * x + 2] = (uint8_t)(p >> 16); break;
            default: le_put_u32(row + 4 * x, p); break;
            }
        }
    }
    const uint32_t offbits = 14 + 40 + 4 * (uint32_t)palette.size();
    std::vector<uint8_t> v;
    put16(v, 0x4D42);
    put32(v, offbits + (uint32_t)data.size());
    put32(v, 0);
    put32(v, offbits);
    put32(v, 40);
    put32(v, (uint32_t)width);
    put32(v, (uint32_t)(topdown ? -height : height));
    put16(v, 1);
    put16(v, (uint16_t)bpp);
    put32(v, 0);
    put32(v, (uint32_t)data.size());
    put32(v, 0);
    put32(v, 0);
    put32(v, (uint32_t)palette.size());
    put32(v, 0);
    for (uint32_t c : palette) put32(v, c);
    v.insert(v.end(), data.begin(), data.end());
    return v;
}
