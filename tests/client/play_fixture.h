// Playing the client game in-process: the headless platform backend with the
// keyboard and mouse devices, input injected where a player's enters the
// layer, frames stepped with a chosen time, and a stand-in server on
// 127.0.0.1 that records the exact bytes the client sends.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/math_vec.h"

typedef struct _ENetHost ENetHost;
typedef struct _ENetPeer ENetPeer;
struct PlayerRecord;

typedef std::vector<uint8_t> Bytes;

// A one-peer server the client game connects to (net_client_host and
// net_server_peer point at the connection).
struct WireTap {
    ENetHost *host = nullptr;
    ENetPeer *peer = nullptr;
    std::vector<Bytes> got; // everything received, in order of arrival
};
// Creates the stand-in and connects the client game to it. True when connected.
bool wt_open(WireTap *t);
// Flushes the client, services both ends for about ms milliseconds and
// returns the packets that arrived in that time.
std::vector<Bytes> wt_take(WireTap *t, int ms = 25);
// Drops both ends at once.
void wt_close(WireTap *t);
// The packets of one message id among `packets`.
std::vector<Bytes> wt_only(const std::vector<Bytes> &packets, int id);

// Little-endian field builders for expected packets.
void put_u32(Bytes *b, uint32_t v);
void put_f32(Bytes *b, float v);
void put_vec(Bytes *b, const Vec3 &v);

// The headless window with its keyboard and mouse acquired, default key
// bindings, a look factor of 0.0025.
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

// One frame of dt seconds on the game clock: input pass, then on screen 4
// the player pass and the HUD's part that the frame needs (bodies posed,
// near / on-screen / under-crosshair flags, the end of a tool switch).
void pf_frame(float dt = 1.0f / 60.0f);
// The HUD's part alone.
void pf_stand_in_hud();
// n frames.
void pf_frames(int n, float dt = 1.0f / 60.0f);
// Loads the game's own models of the ready-to-run folder (real body shapes).
void pf_load_dist_models();
// Cuts a pool into the fixture's flat ground: the columns of the rectangle
// keep only the water layer (a player standing there is in water).
void pf_dig_pool(int x0, int y0, int x1, int y1);

// A ready-to-run folder for the client program at `dir`: a copy of the
// program, links to the data folders of `dist`, the controls, the news page,
// and a config.ini with a 320 x 240 window, the given name and show_news.
void pf_client_folder(const std::string &dir, const std::string &client_bin, const std::string &dist,
                      const std::string &name, int show_news);

// The local player (id ME, team 0, rifle) standing on the flat ground in
// game, devices open, connected to a stand-in server.
struct PlayTest : ::testing::Test {
    static constexpr int ME = 3;
    WireTap tap;
    PlayerRecord *me = nullptr;

    void SetUp() override;
    void TearDown() override;
    // The packets of one id the stand-in received since the last take.
    std::vector<Bytes> sent(int id) { return wt_only(wt_take(&tap), id); }
    // A key pressed for one frame and released in the next.
    static void tap_key(int dik);
    static void click(int button);
    // Header bytes, then text, then a zero when asked.
    static Bytes msg(std::initializer_list<uint8_t> head, const std::string &text = "", bool zero = false);
};
