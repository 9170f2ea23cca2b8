// The whole in-game frame on one core, as the in-game screen runs it: the
// player pass, the world objects and the drawing (the generated map from a
// player's eye, 31 other players in view, a hundred world objects, a full
// ring of particles, the HUD with the minimap, and the scoreboard held open);
// at 800 x 600 and 1280 x 960, one 1/60 s step of the game clock per frame,
// the scene filled up again every three seconds. Prints the mean and the p50
// and p99 frame times.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "client/game_settings.h"
#include "client/game_main.h"
#include "client/menu_screens.h"
#include "common/map_query.h"
#include "common/timer.h"
#include "common/player.h"
#include "hud_scene.h"
#include "platform/plat_input.h"

static void BM_InGameFrame(benchmark::State &state)
{
    const int32_t w = (int32_t)state.range(0), h = (int32_t)state.range(1);
    if (!hs_open(w, h, 1234)) {
        state.SkipWithError("the scene did not load");
        hs_close();
        return;
    }
    // A valley of the generated map, looking along it.
    hs_player(0, 0, 200.5f, 260.5f, 30.0f, true);
    hs_populate();
    keystates.current[key_bindings.key[CTL_VIEW_SCORE]] = 1;
    std::vector<double> ms;
    const float dt = 1.0f / 60.0f;
    for (auto _ : state) {
        if (ms.size() % 180 == 179) {
            // Grenades have gone off and particles faded: the scene anew.
            state.PauseTiming();
            hs_populate();
            state.ResumeTiming();
        }
        game_time += dt;
        game_frame_time = game_step = dt;
        game_millis = game_millis_of(game_time);
        const auto t0 = std::chrono::steady_clock::now();
        game_play_screen();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    keystates.current[key_bindings.key[CTL_VIEW_SCORE]] = 0;
    hs_save("bench_frame_" + std::to_string(w) + "x" + std::to_string(h));
    hs_close();
    std::sort(ms.begin(), ms.end());
    state.counters["p50_ms"] = ms[ms.size() / 2];
    state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
}
BENCHMARK(BM_InGameFrame)->Args({800, 600})->Args({1280, 960})->Unit(benchmark::kMillisecond)->MinTime(3.0);
