// The program side of the platform layer for its tests: game_init,
// game_run_frame, game_shutdown and the screens, recording what the layer
// does with them, plus builders of small font, WAV and bitmap files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/plat_display.h"
#include "platform/plat_main.h"

struct TestGame {
    int init_result;       // what game_init returns
    int init_calls;
    int init_argc;
    bool init_arg_null;
    std::string init_arg;  // argv[0] as game_init saw it
    void (*frame)();       // what game_run_frame does besides counting (null: nothing)
    int frames;
    int shutdowns;
    int screen_calls[SCREEN_COUNT];
};
extern TestGame test_game;
extern DisplaySettings test_display;
extern ScreenTable test_screens;

// Fresh program state, the layer's input state cleared, its log emptied,
// and the headless backend selected.
void test_platform_reset();
// test_platform_reset, then the headless window and its display at width x
// height. False when either cannot be made. test_close_display ends both.
bool test_open_display(int32_t width, int32_t height);
void test_close_display();
// The kept log lines that start with one of the prefixes, in order.
std::vector<std::string> test_log_lines(const std::vector<std::string> &prefixes);
// A fresh folder for the running test's files: <build dir>/tmp/<suite.test>/<name>.
std::string test_dir(const std::string &name);
void test_write_file(const std::string &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> test_read_file(const std::string &path);

// ---- file builders ----------------------------------------------------------

// A WAV image: the 12-byte RIFF header, then the chunks as given (a pad byte
// is added after an odd-sized chunk).
struct WavChunk {
    std::string id;
    std::vector<uint8_t> data;
};
std::vector<uint8_t> fx_wav(const std::vector<WavChunk> &chunks);
// A 16-byte PCM "fmt " body.
std::vector<uint8_t> fx_fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits);
// A mono 16-bit PCM file at `rate` of a sine at `hz` with peak `amplitude` (0..1), `ms` long.
std::vector<uint8_t> fx_wav_sine(uint32_t rate, int ms, float hz, float amplitude);

// A font file: a 1-bit bitmap of 16 x 14 cells of cell x cell pixels, each
// glyph cell inked over its first abc_b(code) columns; the ABC records from
// the functions; tmHeight = cell.
struct FontSpec {
    int32_t cell = 8;
    int32_t (*abc_a)(int code) = nullptr; // null: 0
    uint32_t (*abc_b)(int code) = nullptr; // null: cell - 2
    int32_t (*abc_c)(int code) = nullptr; // null: 1
};
std::vector<uint8_t> fx_font(const FontSpec &spec);
// Byte offsets into a font file made by fx_font.
enum { FX_FONT_BFSIZE = 2, FX_FONT_OFFBITS = 10, FX_FONT_BPP = 14 + 14, FX_FONT_COMPRESSION = 14 + 16 };
uint32_t fx_font_bitmap_bytes(const std::vector<uint8_t> &font); // bfSize

// A Windows bitmap of the picture (0x00RRGGBB, rows from the top) at 1, 4,
// 8, 24 or 32 bits; for 1, 4 and 8 bits the picture's colours become the
// colour table (at most 2^bits of them).
std::vector<uint8_t> fx_bmp(const std::vector<uint32_t> &pixels, int32_t width, int32_t height, int bpp,
                            bool topdown);
