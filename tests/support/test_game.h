// Game-side helpers of the scripted test client: sending records through the
// codec, the own spawn point, hopping across the map in steps the server
// accepts, aiming, and reading what the server sent.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "common/math_vec.h"
#include "common/protocol.h"
#include "support/test_client.h"

// Encodes a record with its writer and sends it reliably.
template <typename Msg>
void tgm_send(TestClient *c, int (*write)(uint8_t *, size_t, const Msg *), const Msg &m)
{
    uint8_t buf[MSG_MAX_SIZE];
    int n = write(buf, sizeof buf, &m);
    if (n > 0)
        tcl_send(c, std::vector<uint8_t>(buf, buf + n));
}

// The box position the server gave this client at its last spawn (spawn
// point less 2.4 on z). False when no spawn for it arrived.
bool tgm_spawn_position(const TestClient *c, Vec3 *out);
// Sends positions from `from` to `to` in steps of at most 2.5 blocks per axis,
// each within the server's tolerance of the one before. Returns `to`.
Vec3 tgm_hop(TestClient *c, Vec3 from, Vec3 to);
// The top solid z of column (x, y) in the downloaded map image, or -1 when
// there is no image or it is malformed.
int tgm_top_z(const TestClient *c, int x, int y);
// Faces the horizontal direction from a to b.
void tgm_face(TestClient *c, Vec3 a, Vec3 b);
// The latest MSG_GAME_STATE received, decoded. False when none arrived.
bool tgm_game_state(const TestClient *c, GameStateMsg *out);
// Number of messages of an id received so far.
size_t tgm_count(const TestClient *c, int id);
// Waits until at least n messages of id have arrived.
bool tgm_wait_count(TestClient *c, int id, size_t n, int timeout_ms);
// Milliseconds into the current second of the system clock.
int tgm_ms_into_second();
// Services every client in turn until pred() holds or timeout_ms passes, so
// none of them falls silent during a long wait. Returns pred().
bool tgm_wait_all(const std::vector<TestClient *> &clients, const std::function<bool()> &pred, int timeout_ms);
// Waits until a world update received by `observer` shows player `id`
// within `tol` of `at` on x and y (the server has then run a tick on him).
bool tgm_wait_seen_at(const std::vector<TestClient *> &clients, const TestClient *observer, int id, Vec3 at,
                      float tol, int timeout_ms);
