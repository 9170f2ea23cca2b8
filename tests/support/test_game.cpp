// Game-side helpers of the scripted test client.
#include "support/test_game.h"

#include <cmath>
#include <ctime>

#include "common/byteio.h"

bool tgm_spawn_position(const TestClient *c, Vec3 *out)
{
    bool found = false;
    for (const auto &m : c->messages) {
        if (m.size() >= 16 && m[0] == MSG_PLAYER_SPAWN && c->own_id >= 0 && m[1] == (uint8_t)c->own_id) {
            *out = Vec3{le_get_f32(&m[4]), le_get_f32(&m[8]), le_get_f32(&m[12]) - 2.4f};
            found = true;
        }
    }
    return found;
}

Vec3 tgm_hop(TestClient *c, Vec3 from, Vec3 to)
{
    Vec3 at = from;
    for (int i = 0; i < 1000; i++) {
        float d[3] = {to.x - at.x, to.y - at.y, to.z - at.z};
        for (float &v : d)
            v = v > 2.5f ? 2.5f : v < -2.5f ? -2.5f : v;
        at = Vec3{at.x + d[0], at.y + d[1], at.z + d[2]};
        tgm_send(c, msg_write_position, PositionMsg{at});
        if (at.x == to.x && at.y == to.y && at.z == to.z)
            break;
    }
    return to;
}

int tgm_top_z(const TestClient *c, int x, int y)
{
    if (x < 0 || x > 511 || y < 0 || y > 511)
        return -1;
    const uint8_t *image = c->map_image.data();
    size_t size = c->map_image.size();
    long pos = 0;
    for (long col = (long)y * 512 + x; col > 0 && pos >= 0; col--)
        pos = tcl_column_end(image, size, (size_t)pos);
    return pos >= 0 && size - (size_t)pos >= 4 ? image[pos + 1] : -1;
}

void tgm_face(TestClient *c, Vec3 a, Vec3 b)
{
    float dx = b.x - a.x, dy = b.y - a.y;
    float l = std::sqrt(dx * dx + dy * dy);
    if (l > 0)
        tgm_send(c, msg_write_orient, OrientMsg{{dx / l, dy / l, 0.0f}});
}

bool tgm_game_state(const TestClient *c, GameStateMsg *out)
{
    bool found = false;
    for (const auto &m : c->messages)
        if (!m.empty() && m[0] == MSG_GAME_STATE && msg_decode_game_state(m.data(), m.size(), out) == MSG_OK)
            found = true;
    return found;
}

size_t tgm_count(const TestClient *c, int id)
{
    size_t n = 0;
    for (const auto &m : c->messages)
        if (!m.empty() && m[0] == id)
            n++;
    return n;
}

bool tgm_wait_count(TestClient *c, int id, size_t n, int timeout_ms)
{
    return tcl_wait(c, [c, id, n] { return tgm_count(c, id) >= n; }, timeout_ms);
}

int tgm_ms_into_second()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (int)(ts.tv_nsec / 1000000);
}

bool tgm_wait_all(const std::vector<TestClient *> &clients, const std::function<bool()> &pred, int timeout_ms)
{
    timespec start, now;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        if (pred())
            return true;
        clock_gettime(CLOCK_MONOTONIC, &now);
        long ms = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (ms >= timeout_ms)
            return pred();
        for (TestClient *c : clients)
            tcl_service(c, 2);
    }
}

bool tgm_wait_seen_at(const std::vector<TestClient *> &clients, const TestClient *observer, int id, Vec3 at,
                      float tol, int timeout_ms)
{
    size_t seen = 0;
    auto there = [&] {
        const auto &ms = observer->messages;
        for (; seen < ms.size(); seen++) {
            const auto &m = ms[seen];
            if (m.size() != 769 || m[0] != MSG_WORLD_UPDATE || id < 0 || id >= 32)
                continue;
            float x = le_get_f32(&m[1 + 24 * id]), y = le_get_f32(&m[5 + 24 * id]);
            if (std::fabs(x - at.x) <= tol && std::fabs(y - at.y) <= tol)
                return true;
        }
        return false;
    };
    return tgm_wait_all(clients, there, timeout_ms);
}
