// Scripted test client over ENet.
#include "support/test_client.h"

#include <enet/enet.h>
#include <zlib.h>

#include <chrono>
#include <cstring>

#include "common/byteio.h"
#include "common/net.h"

static bool tcl_enet_ready = false;

void tcl_enet_init()
{
    if (!tcl_enet_ready) {
        enet_initialize();
        tcl_enet_ready = true;
    }
}

static int64_t tcl_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

long tcl_column_end(const uint8_t *image, size_t size, size_t pos)
{
    for (;;) {
        if (pos > size || size - pos < 4)
            return -1;
        const uint8_t *h = image + pos;
        int n = h[0], s = h[1], e = h[2];
        if (s > 63 || e + 1 < s || e > 63)
            return -1;
        if (n == 0) {
            size_t len = (size_t)(e - s + 2) * 4;
            if (size - pos < len)
                return -1;
            return (long)(pos + len);
        }
        if ((size_t)n * 4 < (size_t)(e - s + 2) * 4 || size - pos < (size_t)n * 4)
            return -1;
        pos += (size_t)n * 4;
    }
}

long tcl_count_columns(const uint8_t *image, size_t size)
{
    size_t pos = 0;
    long columns = 0;
    while (pos < size) {
        long end = tcl_column_end(image, size, pos);
        if (end < 0)
            return -1;
        pos = (size_t)end;
        columns++;
    }
    return columns;
}

static void tcl_finish_map(TestClient *c)
{
    if (!c->expand_map) {
        c->map_done = true;
        return;
    }
    c->map_image.assign(16u * 1024u * 1024u, 0);
    uLongf out = (uLongf)c->map_image.size();
    if (uncompress(c->map_image.data(), &out, c->map_z.data(), (uLong)c->map_z.size()) != Z_OK) {
        c->map_columns = -1;
        c->map_image.clear();
    } else {
        c->map_image.resize(out);
        c->map_columns = tcl_count_columns(c->map_image.data(), c->map_image.size());
    }
    c->map_done = true;
}

static void tcl_on_packet(TestClient *c, const uint8_t *d, size_t len)
{
    if (len == 0)
        return;
    int id = d[0];
    if (id == 18 && len >= 5) { // map begin
        c->map_begun = true;
        c->map_done = false;
        c->map_size = le_get_u32(d + 1);
        c->map_z.clear();
        c->map_chunks = 0;
        c->chunk_lengths.clear();
        c->map_transfers++;
        if (c->map_size == 0)
            tcl_finish_map(c);
        return;
    }
    if (id == 19) { // map chunk
        c->map_chunks++;
        c->chunk_lengths.push_back((int)len);
        c->map_z.insert(c->map_z.end(), d + 1, d + len);
        if (c->map_begun && !c->map_done && c->map_z.size() >= c->map_size)
            tcl_finish_map(c);
        return;
    }
    if (c->map_begun && !c->map_done)
        c->during_map++;
    c->messages.emplace_back(d, d + len);
    if (id == 15 && len >= 2) {
        if (!c->have_state)
            c->own_id = d[1];
        c->have_state = true;
    }
    if (id == 12 && len >= 2 && c->own_id >= 0 && d[1] == (uint8_t)c->own_id)
        c->spawned = true;
}

static void tcl_pump(TestClient *c, int timeout_ms)
{
    if (!c->host)
        return;
    ENetEvent ev;
    int r = enet_host_service(c->host, &ev, (enet_uint32)timeout_ms);
    while (r > 0) {
        switch (ev.type) {
        case ENET_EVENT_TYPE_CONNECT:
            // Set up as the real client sets up its connection.
            net_client_connected(c->host, ev.peer);
            c->connected = true;
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            c->disconnected = true;
            c->connected = false;
            c->disconnect_data = ev.data;
            c->peer = nullptr;
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            tcl_on_packet(c, ev.packet->data, ev.packet->dataLength);
            enet_packet_destroy(ev.packet);
            break;
        default: break;
        }
        r = enet_host_check_events(c->host, &ev);
    }
}

void tcl_service(TestClient *c, int ms)
{
    int64_t end = tcl_ms() + ms;
    do {
        tcl_pump(c, 1);
    } while (tcl_ms() < end);
}

bool tcl_wait(TestClient *c, const std::function<bool()> &pred, int timeout_ms)
{
    int64_t end = tcl_ms() + timeout_ms;
    while (!pred()) {
        if (tcl_ms() >= end)
            return pred();
        tcl_pump(c, 1);
    }
    return true;
}

bool tcl_connect(TestClient *c, uint16_t port, uint32_t connect_data, int timeout_ms)
{
    return tcl_connect_from(c, nullptr, port, connect_data, timeout_ms);
}

bool tcl_connect_begin(TestClient *c, const char *local_ip, uint16_t port, uint32_t connect_data)
{
    tcl_enet_init();
    ENetAddress local;
    if (local_ip) {
        enet_address_set_host_ip(&local, local_ip);
        local.port = 0;
    }
    c->host = enet_host_create(local_ip ? &local : nullptr, 1, 1, 0, 0);
    if (!c->host)
        return false;
    enet_host_compress_with_range_coder(c->host);
    ENetAddress a;
    enet_address_set_host_ip(&a, "127.0.0.1");
    a.port = port;
    c->peer = enet_host_connect(c->host, &a, 1, connect_data);
    return c->peer != nullptr;
}

bool tcl_connect_from(TestClient *c, const char *local_ip, uint16_t port, uint32_t connect_data, int timeout_ms)
{
    if (!tcl_connect_begin(c, local_ip, port, connect_data))
        return false;
    tcl_wait(c, [c] { return c->connected || c->disconnected; }, timeout_ms);
    return c->connected;
}

bool tcl_download(TestClient *c, int timeout_ms)
{
    return tcl_wait(c, [c] { return (c->map_done && c->have_state) || c->disconnected; }, timeout_ms) &&
           c->map_done && c->have_state;
}

void tcl_send(TestClient *c, const std::vector<uint8_t> &bytes, bool reliable)
{
    if (!c->peer || bytes.empty())
        return;
    ENetPacket *p = enet_packet_create(bytes.data(), bytes.size(),
                                       reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
    if (enet_peer_send(c->peer, 0, p) != 0)
        enet_packet_destroy(p);
    enet_host_flush(c->host);
}

void tcl_join_request(TestClient *c, int team, int weapon, const char *name)
{
    std::vector<uint8_t> m(13 + strlen(name), 0);
    m[0] = 9;
    m[1] = (uint8_t)(c->own_id < 0 ? 0 : c->own_id);
    m[2] = (uint8_t)team;
    m[3] = (uint8_t)weapon;
    m[4] = 2;
    m[9] = m[10] = m[11] = 127;
    memcpy(m.data() + 12, name, strlen(name)); // the final byte stays the terminator
    tcl_send(c, m);
}

bool tcl_join(TestClient *c, int team, int weapon, const char *name, int timeout_ms)
{
    tcl_join_request(c, team, weapon, name);
    return tcl_wait(c, [c] { return c->spawned || c->disconnected; }, timeout_ms) && c->spawned;
}

void tcl_close(TestClient *c)
{
    if (c->host && c->peer && c->connected) {
        enet_peer_disconnect(c->peer, 0);
        tcl_wait(c, [c] { return !c->connected; }, 1000);
    }
    tcl_abort(c);
}

void tcl_abort(TestClient *c)
{
    if (c->host)
        enet_host_destroy(c->host);
    c->host = nullptr;
    c->peer = nullptr;
    c->connected = false;
}

std::vector<std::vector<uint8_t>> tcl_messages(const TestClient *c, int id)
{
    std::vector<std::vector<uint8_t>> out;
    for (const auto &m : c->messages)
        if (!m.empty() && m[0] == id)
            out.push_back(m);
    return out;
}

std::string tcl_name_at(const std::vector<uint8_t> &msg, size_t offset)
{
    std::string s;
    for (size_t i = offset; i < msg.size() && msg[i]; i++)
        s += (char)msg[i];
    return s;
}

void tcl_poll(TestClient *c) { tcl_pump(c, 0); }

ENetHost *tcl_half_open_host(const char *local_ip, int peers)
{
    tcl_enet_init();
    ENetAddress local;
    if (enet_address_set_host_ip(&local, local_ip) != 0)
        return nullptr;
    local.port = 0;
    return enet_host_create(&local, (size_t)peers, 1, 0, 0);
}

bool tcl_half_open(ENetHost *host, uint16_t port)
{
    if (!host)
        return false;
    ENetAddress a;
    enet_address_set_host_ip(&a, "127.0.0.1");
    a.port = port;
    if (!enet_host_connect(host, &a, 1, 2))
        return false;
    enet_host_flush(host); // the request goes out; the answer is never read
    return true;
}
