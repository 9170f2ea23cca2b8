// Picture timings, one core: an 800 x 600 picture with alpha over an
// 800 x 600 frame (plain copy, alpha blend and colour-modulated blend at zoom
// 1, and scaled), and the PNG decode of a large picture. Prints ms per call.
#include <benchmark/benchmark.h>

#include <vector>

#include "common/rng.h"
#include "renderer/voxrender.h"
#include "vxpngenc.h"

namespace {

const int32_t W = 800, H = 600;

// Smooth colours with a spread of alphas (0, 255 and between), as HUD art has.
std::vector<uint32_t> alpha_picture(int32_t w, int32_t h)
{
    std::vector<uint32_t> p((size_t)w * h);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            const uint32_t a = (uint32_t)((x / 40 + y / 30) % 4) * 85;
            p[(size_t)y * w + x] = a << 24 | (uint32_t)(x * 255 / w) << 16 | (uint32_t)(y * 255 / h) << 8 | 0x60;
        }
    return p;
}

void blit(benchmark::State &state, uint32_t colour, int32_t zoom)
{
    if (startrenderer(getcpufeatures()) != 0) {
        state.SkipWithError("renderer not available");
        return;
    }
    std::vector<uint32_t> frame((size_t)W * H, 0xFF336699u);
    if (!voxsetframebuffer(frame.data(), W * 4, W, H)) {
        state.SkipWithError("frame refused");
        return;
    }
    const std::vector<uint32_t> pic = alpha_picture(W, H);
    // Scaled: about the picture's centre, onto the frame's centre.
    const int32_t piv = zoom == 0x10000 ? 0 : 1;
    for (auto _ : state) {
        blitpicture(pic.data(), W * 4, W, H, piv * (W / 2) << 16, piv * (H / 2) << 16, piv * (W / 2) << 16,
                    piv * (H / 2) << 16, zoom, zoom, colour);
        benchmark::ClobberMemory();
    }
}

void decode(benchmark::State &state, int32_t interlace)
{
    const int32_t w = 1024, h = 1024;
    std::vector<uint32_t> pic = alpha_picture(w, h);
    rng_srand(7);
    for (size_t i = 0; i < pic.size(); i += 7) pic[i] ^= (uint32_t)rng_rand(); // some noise
    std::vector<uint8_t> raw(pic.size() * 4);
    for (size_t i = 0; i < pic.size(); i++) {
        raw[4 * i + 0] = (uint8_t)(pic[i] >> 16);
        raw[4 * i + 1] = (uint8_t)(pic[i] >> 8);
        raw[4 * i + 2] = (uint8_t)pic[i];
        raw[4 * i + 3] = (uint8_t)(pic[i] >> 24);
    }
    VxPngOptions o;
    o.filter = -1;
    o.interlace = interlace;
    const std::vector<uint8_t> file = vxpng_encode(raw.data(), w, h, o);
    std::vector<uint32_t> out((size_t)w * h);
    for (auto _ : state) {
        if (decodepng(file.data(), file.size(), out.data(), w * 4, w, h) != 0) {
            state.SkipWithError("decode refused");
            return;
        }
        benchmark::ClobberMemory();
    }
    state.counters["MB/s"] =
        benchmark::Counter((double)raw.size() * (double)state.iterations() / 1e6, benchmark::Counter::kIsRate);
    state.counters["file_KB"] = (double)file.size() / 1024.0;
}

BENCHMARK_CAPTURE(blit, copy_zoom1, 0u, 0x10000)->Unit(benchmark::kMillisecond)->MinTime(0.2);
BENCHMARK_CAPTURE(blit, alpha_zoom1, 0xFFFFFFFFu, 0x10000)->Unit(benchmark::kMillisecond)->MinTime(0.2);
BENCHMARK_CAPTURE(blit, modulated_zoom1, 0xC0FFC080u, 0x10000)->Unit(benchmark::kMillisecond)->MinTime(0.2);
BENCHMARK_CAPTURE(blit, copy_scaled, 0u, 0x16000)->Unit(benchmark::kMillisecond)->MinTime(0.2);
BENCHMARK_CAPTURE(blit, alpha_scaled, 0xFFFFFFFFu, 0x16000)->Unit(benchmark::kMillisecond)->MinTime(0.2);
BENCHMARK_CAPTURE(decode, png_1024x1024_rgba, 0)->Unit(benchmark::kMillisecond)->MinTime(0.2);
BENCHMARK_CAPTURE(decode, png_1024x1024_rgba_interlaced, 1)->Unit(benchmark::kMillisecond)->MinTime(0.2);

} // namespace
