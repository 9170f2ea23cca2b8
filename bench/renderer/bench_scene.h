// The full-scene case shared by the Google Benchmark cases (bench_scene.cpp)
// and the speed report (bench_speed.cpp): the generated map seen 15 degrees
// down over a valley, 32 posed players and the HUD's pictures.
#pragma once
#include <cstdint>
#include <vector>

// Starts the renderer with `kernels`, builds the map and the players once,
// binds a w x h `frame` and sets the camera; 1 when the world could be drawn.
bool bench_scene_bind(std::vector<uint32_t> &frame, int w, int h, int kernels);
// Draws the 32 players, after renderworld.
void bench_scene_players();
// Draws the HUD's ten pictures over a w x h frame, after the players.
void bench_scene_pictures(int w, int h);
// Registers the scene cases with Google Benchmark.
void bench_scene_register();
