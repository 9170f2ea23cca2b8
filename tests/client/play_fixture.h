// Playing the client game in-process: the headless platform backend with the
// keyboard and mouse devices, input injected where a player's enters the
// layer, frames stepped with a chosen time, and a stand-in server on
// 127.0.0.1 that records the exact bytes the client sends.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "client_fixture.h"
#include "common/math_vec.h"

struct PlayerRecord;
typedef std::vector<uint8_t> Bytes;

// Little-endian field builders for expected packets.
void put_u32(Bytes *b, uint32_t v);
void put_f32(Bytes *b, float v);
void put_vec(Bytes *b, const Vec3 &v);

// The headless window with its frame, the renderer started, the keyboard
// and mouse acquired, default key bindings, a look factor of 0.0025.
void pf_open_devices();
void pf_close_devices();
// Input as a player gives it (collected by the next frame).
void pf_key(int dik, bool down);
// Types text: each character's key down and up (Shift where needed); '\n' is Enter, '\b' Backspace.
void pf_type(const std::string &text);
void pf_button(int button, bool down);
void pf_wheel(int notches);
void pf_mouse(int dx, int dy);

// The local player, id `id`, alive on team `team` with `weapon`, standing at
// (x, y) on the fixture's flat ground (top at z 40), facing +x, in game
// (screen 4, join mode 0), loadout reset, tools ready.
PlayerRecord *pf_local_player(int id, int team, int weapon, float x = 256.5f, float y = 256.5f);
// Another player in slot id, alive on team at (x, y), near and on screen.
PlayerRecord *pf_other_player(int id, int team, int weapon, float x, float y);
// The world centre of a body part's model box (the part's model must be loaded).
Vec3 pf_part_centre(const PlayerRecord *p, int sprite);
// Turns a player to face the point (horizontal and vertical).
void pf_face(PlayerRecord *p, const Vec3 &at);

// One frame of dt seconds on the game clock: the input pass, then the
// current screen (in game: the player pass, the world objects and the drawn
// frame, which poses the bodies, keeps the HUD flags and ends tool switches).
void pf_frame(float dt = 1.0f / 60.0f);
// The first part of such a frame: the input pass and, in game, the player
// pass; pf_frame_rest runs what follows it in the same frame (the world
// objects and the drawing). Together they are one pf_frame.
void pf_frame_players(float dt = 1.0f / 60.0f);
void pf_frame_rest();
// n frames.
void pf_frames(int n, float dt = 1.0f / 60.0f);
// Particles spawned since the ring was last cleared (below 512): expiring
// ones leave the ring from its head, so its far end counts every spawn.
int pf_particles_spawned();
// Loads the game's own models of the ready-to-run folder (real body shapes).
void pf_load_dist_models();
// Cuts a pool into the fixture's flat ground: the columns of the rectangle
// keep only the water layer (a player standing there is in water).
void pf_dig_pool(int x0, int y0, int x1, int y1);

// The local player (id ME, team 0, rifle) standing on the flat ground in
// game, devices open, connected to a stand-in server.
struct PlayTest : ::testing::Test {
    static constexpr int ME = 3;
    StandIn tap; // patient: the client is serviced only between runs of frames
    PlayerRecord *me = nullptr;

    void SetUp() override;
    void TearDown() override;
    // The packets of one id the stand-in received since the last take.
    std::vector<Bytes> sent(int id) { return ctest_only(ctest_standin_take(&tap), id); }
    // A key pressed for one frame and released in the next.
    static void tap_key(int dik);
    static void click(int button);
    // Header bytes, then text, then a zero when asked.
    static Bytes msg(std::initializer_list<uint8_t> head, const std::string &text = "", bool zero = false);
};
