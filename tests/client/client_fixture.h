// Shared set-up of the client game's tests: a fresh client state, the 37
// models written as small KV6 files into a scratch folder that becomes the
// working folder, the English strings, and the fatal errors recorded.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/lang.h"
#include "common/protocol.h"

// Body sizes the client accepts; every other model is 4 x 4 x 4.
struct ModelSize {
    int32_t x, y, z;
};
// The size written for a model slot.
ModelSize ctest_model_size(int slot);
// Writes "kv6/<name>.kv6" for the 37 models under dir. Each model has one
// voxel per column at z 0: column (0, 0) pure black (0x80000000), column
// (1, 0) 0x010000, the rest 0x808080. `override_slot` (when >= 0) is written
// with `override_size` instead.
void ctest_write_models(const std::string &dir, int override_slot = -1, ModelSize override_size = {0, 0, 0});
// A fresh scratch folder for the running test (removed first), made the
// working folder; returns its path.
std::string ctest_enter_scratch();
// Back to the folder the tests started in.
void ctest_leave_scratch();
// Every global of the client game back to its start: player table, game
// state, controls, world objects, particles, feeds, objectives, download,
// held events, and a flat map (ground at z 40).
void ctest_reset_client();
// Loads the English strings of the ready-to-run folder.
void ctest_load_strings();

// A folder of its own for the client program at `dir` (made afresh): a copy
// of the program, links to the data folders of the ready-to-run folder, its
// controls and news page, an empty vxl folder, and a config.ini of w x h in
// a window, silent, with the given name and show_news.
void ctest_client_folder(const std::string &dir, const std::string &client_bin, const std::string &name,
                         int show_news, int32_t w = 320, int32_t h = 240);

// Fatal errors: the handler records the text and returns.
extern std::vector<std::string> ctest_fatals;
void ctest_record_fatal(const char *text);

// A language text formatted as the client formats it.
template <typename... A> std::string ctest_text(int id, A... args)
{
    char buf[512];
    snprintf(buf, sizeof buf, lang_get(id), args...);
    return buf;
}
inline std::string ctest_text(int id) { return lang_get(id); }

// A message encoded by its writer.
template <typename Msg> std::vector<uint8_t> ctest_packet(int (*write)(uint8_t *, size_t, const Msg *), const Msg &m)
{
    uint8_t buf[MSG_MAX_SIZE];
    int n = write(buf, sizeof buf, &m);
    return std::vector<uint8_t>(buf, buf + (n > 0 ? n : 0));
}
// The same bytes without their last byte, and with one byte more.
std::vector<uint8_t> ctest_cut(std::vector<uint8_t> p);
std::vector<uint8_t> ctest_grow(std::vector<uint8_t> p);

// The sounds played, as the platform layer's log has them from line `from` on
// ("sound FILE VOLUME", "sound3d FILE VOLUME X Y Z" with two decimals).
std::vector<std::string> ctest_sounds(int from);
// Expects exactly these sounds from log line `from` on.
void ctest_expect_sounds(int from, const std::vector<std::string> &expected);
// A 64-bit digest of every column of the map.
uint64_t ctest_map_digest();

typedef struct _ENetHost ENetHost;
typedef struct _ENetPeer ENetPeer;
// A one-peer server on 127.0.0.1 standing in for the real one: its peer is
// dropped after drop_ms without answers (0: ENet's own time-out, for tests
// that service the client only between runs of frames); what the client
// sends is kept.
struct StandIn {
    ENetHost *host = nullptr;
    ENetPeer *peer = nullptr;
    bool lost = false; // the client was dropped or went away
    int32_t drop_ms = 1500;
    std::vector<std::vector<uint8_t>> received;

    void service();
    void send(const std::vector<uint8_t> &bytes);
};
// Starts the stand-in on a free port of 127.0.0.1 and stores the port;
// false when no host could be made.
bool ctest_standin_listen(StandIn *s, uint16_t *port);
// ctest_standin_listen, then connects the client game to it
// (net_client_host, net_server_peer); false when that fails within 3 s.
bool ctest_standin_connect(StandIn *s);
// Flushes the client and services both ends for at least ms milliseconds
// and until nothing the client sent reliably is still unacknowledged (3 s at
// most); returns what the stand-in received meanwhile and before, taking it.
std::vector<std::vector<uint8_t>> ctest_standin_take(StandIn *s, int ms = 25);
// The packets of one message id among `packets`.
std::vector<std::vector<uint8_t>> ctest_only(const std::vector<std::vector<uint8_t>> &packets, int id);
// Drops the client's connection at once (a polite disconnect would wait for
// a server no one services) and closes the stand-in.
void ctest_standin_close(StandIn *s);
// Milliseconds of a steady clock.
int64_t ctest_now_ms();

// A flat map at ground z compressed as the server sends it, and the digest
// of its columns; the store holds that map afterwards.
std::vector<uint8_t> ctest_flat_map_z(int32_t ground, uint32_t colour, uint64_t *digest);
// A map image compressed as the server sends it.
std::vector<uint8_t> ctest_map_z(const std::vector<uint8_t> &image);
// The map transfer of a compressed map: MSG_MAP_BEGIN, then the chunks.
std::vector<std::vector<uint8_t>> ctest_map_packets(const std::vector<uint8_t> &z);
// A capture-the-flag game state naming `player` the receiver's id, with the
// teams "Blue" (0x0000C4) and "Green" (0x00C400).
std::vector<uint8_t> ctest_game_state(uint8_t player);
