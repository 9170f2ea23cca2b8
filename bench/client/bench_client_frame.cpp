// The client's per-frame game update without drawing, on a generated map:
// all 32 players near one another (walking, jumping, firing every gun, the
// local player's shotgun at all of them, spades, grenades, dead bodies
// falling), a full world-object table and particle ring, and block groups
// knocked loose to fall as debris. Each frame runs as the in-game screen runs
// it: the player pass, the world-object pass, then the frame drawn into a
// headless 800 x 600 frame (not timed; it poses the bodies and keeps the
// flags the next player pass reads). Prints the time per frame of the player
// pass, of the world-object pass and of both, as p50 / p99 / max over the
// frames. Usage: bench_client_frame [frames]   (default 3600, one minute).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "client/game_controls.h"
#include "client/game_main.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_state.h"
#include "client/hud_frame.h"
#include "client/player_update.h"
#include "client_fixture.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/player.h"
#include "common/rng.h"
#include "common/timer.h"
#include "hud_scene.h"

namespace {

using BenchClock = std::chrono::steady_clock;

// One pass to time, and where its times go.
struct Pass {
    const char *name;
    void (*run)();
    std::vector<double> us;
};

void bench_world_objects() { game_update_world_objects(); }

// The 32 players around (256, 256): slot 0 is the local player with a
// shotgun, facing the others, who take every weapon and tool in turn.
void bench_place_players()
{
    for (int i = 0; i < PLAYER_MAX; i++) {
        float x = 240.5f + (float)(i % 8) * 4.0f, y = 240.5f + (float)(i / 8) * 4.0f;
        PlayerRecord *p = &player_table[i];
        player_init(p, i, i % 2, i % 3, TOOL_GUN, 0, 0x7F7F7F, "Bench");
        Vec3 at = {x, y, (float)map_ground_z((int)x, (int)y)};
        player_respawn(p, &at);
        p->near = p->on_screen = p->under_crosshair = 1;
    }
    local_player_id = 0;
    player_table[0].weapon = WEAPON_SHOTGUN;
    const Vec3 towards = {0.9f, 0.43f, 0.0f};
    player_set_orientation(&player_table[0], &towards);
    local_controls = LocalControls{};
    local_controls.tool = TOOL_GUN;
    local_controls.follow = -1;
}

// What the other players' keys and tools do this frame (as relayed keys
// would set them), and what the local player holds.
void bench_drive(int frame)
{
    for (int i = 1; i < PLAYER_MAX; i++) {
        PlayerRecord *p = &player_table[i];
        if (i % 8 == 7) { // dead bodies, thrown up again now and then
            if (frame % 120 == 0) {
                p->alive = 0;
                p->velocity = Vec3{0.05f, 0.02f, -0.3f};
            }
            continue;
        }
        int phase = (frame + i * 7) % 240;
        p->keys[KEY_FORWARD] = phase < 120;
        p->keys[KEY_BACKWARD] = phase >= 120;
        p->keys[KEY_LEFT] = (phase / 40) % 2;
        p->keys[KEY_JUMP] = phase % 90 == 0 && !p->airborne;
        p->keys[KEY_SPRINT] = i % 5 == 0;
        p->tool = i % 4;
        p->primary = (phase % 60) < 30;
        p->secondary = i % 6 == 0;
        p->magazine = 30;
        p->blocks = p->grenades = 50;
    }
    PlayerRecord *me = &player_table[0];
    me->primary = 1;
    me->magazine = 6;
    local_controls.mouse_dx = (frame % 120) < 60 ? 3 : -3;
    if (frame % 240 == 0) me->next_use = 0.0f;
}

// A bridge of blocks whose pillar is cut every second: the span comes loose
// as a block group for the world-object pass to turn into debris.
void bench_knock_loose(int frame)
{
    if (frame % 60 != 30) return;
    int x = 100 + (frame / 60) % 50 * 6, y = 100;
    int top = map_ground_z(x, y) - 6;
    for (int i = 0; i < 4; i++) {
        MapCell c = {x + i, y, top};
        map_add_block(&c, 0x808080);
    }
    for (int z = top + 1; z < map_ground_z(x, y); z++) {
        MapCell c = {x, y, z};
        map_add_block(&c, 0x808080);
    }
    MapCell cut = {x, y, map_ground_z(x, y) - 1};
    map_remove_block(&cut);
}

// Grenades keep the world-object table nearly full; the players'
// shots (tracers, casings) and the loose groups (debris) fill the rest, so
// every kind of object moves each frame. The particle ring starts full and
// the shots keep it so.
#define BENCH_GRENADES 236

void bench_fill_effects()
{
    while (world_object_count < BENCH_GRENADES) {
        int i = world_object_count;
        Vec3 at = {230.0f + (float)(i % 40), 230.0f + (float)(i / 40), 20.0f}, v = {0.1f, 0.05f, 0.0f};
        game_add_grenade_object(&at, &v, i % PLAYER_MAX, game_time + 1.0f + (float)(i % 100) * 0.05f);
    }
    Vec3 at = {256.0f, 256.0f, 20.0f};
    if (particle_ring.count < PARTICLE_MAX) game_spawn_particles(&at, 0.5f, 0x7F808080u, PARTICLE_MAX - particle_ring.count);
}

void print(const Pass &p)
{
    std::vector<double> v = p.us;
    std::sort(v.begin(), v.end());
    auto at = [&](double q) { return v[std::min(v.size() - 1, (size_t)(q * (double)v.size()))]; };
    std::printf("%-14s p50 %8.1f us   p99 %8.1f us   max %8.1f us\n", p.name, at(0.5), at(0.99), v.back());
}

} // namespace

int main(int argc, char **argv)
{
    int frames = argc > 1 ? std::atoi(argv[1]) : 3600;
    if (frames < 100) frames = 100;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("bench_client_frame." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    if (!hs_open(800, 600, 1234)) {
        std::fprintf(stderr, "bench_client_frame: the scene did not load\n");
        return 1;
    }
    bench_place_players();
    rng_srand(1);

    Pass passes[] = {{"players", game_update_players, {}}, {"world objects", bench_world_objects, {}}};
    std::vector<double> total;
    // How full the table ran, by kind, summed over the frames.
    long objects = 0, tracers = 0, casings = 0, debris = 0;
    const float dt = 1.0f / 60.0f;
    for (int f = 0; f < frames; f++) {
        game_time += dt;
        game_frame_time = game_step = dt;
        game_millis = game_millis_of(game_time);
        bench_drive(f);
        bench_knock_loose(f);
        bench_fill_effects();
        double sum = 0.0;
        for (Pass &p : passes) {
            auto t0 = BenchClock::now();
            p.run();
            double us = std::chrono::duration<double, std::micro>(BenchClock::now() - t0).count();
            p.us.push_back(us);
            sum += us;
        }
        total.push_back(sum);
        objects += world_object_count;
        for (int i = 0; i < world_object_count; i++) {
            const int32_t kind = wobj_kind(&world_objects[i]);
            tracers += kind == OBJECT_TRACER;
            casings += kind == OBJECT_CASING;
            debris += kind == OBJECT_DEBRIS;
        }
        game_draw_frame(); // not timed
    }
    std::printf("client frame update, %d frames, 32 players, %d particles; world objects per frame: %.0f "
                "(tracers %.1f, casings %.1f, debris %.1f)\n",
                frames, particle_ring.count, (double)objects / frames, (double)tracers / frames,
                (double)casings / frames, (double)debris / frames);
    for (const Pass &p : passes) print(p);
    print(Pass{"frame", nullptr, total});
    hs_close();
    ctest_reset_client();
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return 0;
}
