// A frame to draw the client's screens into and look at: the headless
// display of W x H with the fonts, pictures and models of the ready-to-run
// folder, the renderer started, team slots set, and helpers to place players
// and objects and to read the frame's pixels. Shared by the HUD tests and the
// frame benchmark.
#pragma once
#include <cstdint>
#include <string>

#include "common/math_vec.h"

// Opens the display at w x h and loads everything; a flat map at z 40 (or
// the generated map of `seed` when seed >= 0). Returns false on failure.
bool hs_open(int32_t w, int32_t h, int seed = -1);
// Releases the display, fonts, pictures and models.
void hs_close();

// Team colours of the scene's slots (0xAARRGGBB).
#define HS_TEAM0_COLOUR 0xFF2040E0u
#define HS_TEAM1_COLOUR 0xFF20C040u

// Puts player `id` on `team` standing at the ground under (x, y), facing
// `yaw` degrees (0 along +x, 90 along +y), alive with a full stock. For the
// local player (local = true) the controls select the gun.
void hs_player(int id, int team, float x, float y, float yaw, bool local = false);
// A rectangle's worth of pixels of one colour (low 24 bits compared):
// x0 <= x < x1, y0 <= y < y1, clipped to the frame.
int hs_count(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t rgb);
// The frame's pixel (low 24 bits), 0 outside.
uint32_t hs_pixel(int32_t x, int32_t y);
// Saves the frame as a PNG under the tests' scratch area; returns the path.
std::string hs_save(const std::string &name);
// Fills the frame with one colour (to see what a drawing changes).
void hs_fill(uint32_t rgb);
// Populates a busy scene around the local player: 31 other players in
// front of him, world objects (grenades, tracers, casings) and a full ring
// of particles. For the frame benchmark.
void hs_populate();
