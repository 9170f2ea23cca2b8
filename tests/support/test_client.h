// A scripted game client for end-to-end tests: connects over 127.0.0.1,
// downloads and checks the map, records every other message, and joins.
// It keeps servicing ENet while it waits, as a real client must during the
// download. Tests may use std containers; game code does not.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef struct _ENetHost ENetHost;
typedef struct _ENetPeer ENetPeer;

// Initialises ENet once for the process (safe to call many times).
void tcl_enet_init();

struct TestClient {
    ENetHost *host = nullptr;
    ENetPeer *peer = nullptr;
    bool connected = false;
    bool disconnected = false;     // the server ended the connection
    uint32_t disconnect_data = 0;  // its reason (RejectReason) when refused
    // Map transfer.
    bool map_begun = false;
    uint32_t map_size = 0;         // announced compressed size
    std::vector<uint8_t> map_z;    // compressed bytes received so far
    int map_chunks = 0;
    std::vector<int> chunk_lengths;
    bool map_done = false;         // all announced bytes received and expanded
    bool expand_map = true;        // false: done without expanding (a caller that never reads it)
    std::vector<uint8_t> map_image;// the expanded columns
    long map_columns = -1;         // columns found in the image, -1 malformed
    int map_transfers = 0;         // MSG_MAP_BEGIN seen so far
    int during_map = 0;            // other messages that arrived inside a transfer
    // Everything else, in order of arrival (map messages excluded).
    std::vector<std::vector<uint8_t>> messages;
    // Game state and own spawn.
    int own_id = -1;               // byte 1 of the first game state
    bool have_state = false;
    bool spawned = false;
};

// Starts a connection to 127.0.0.1:port with the given connect data and
// waits up to timeout_ms for the connect (or a refusal). Returns true when
// connected.
bool tcl_connect(TestClient *c, uint16_t port, uint32_t connect_data = 2, int timeout_ms = 3000);
// The same from a chosen local address (such as "127.0.0.7"), so that tests
// can tell clients apart by address (kicks, bans, admin list).
bool tcl_connect_from(TestClient *c, const char *local_ip, uint16_t port, uint32_t connect_data = 2,
                      int timeout_ms = 3000);
// Starts the same connection without waiting: tcl_poll / tcl_service then
// see it complete. False when no host or peer could be made.
bool tcl_connect_begin(TestClient *c, const char *local_ip, uint16_t port, uint32_t connect_data = 2);
// Services the host for about ms milliseconds, recording what arrives.
void tcl_service(TestClient *c, int ms);
// Services until pred() holds or timeout_ms passes. Returns pred().
bool tcl_wait(TestClient *c, const std::function<bool()> &pred, int timeout_ms);
// Waits for the map, the other players' info and the game state.
bool tcl_download(TestClient *c, int timeout_ms = 20000);
// Sends MSG_PLAYER_INFO (team 0, 1 or -1, weapon, name) and waits for the
// server's spawn message for this client. Returns true when spawned.
bool tcl_join(TestClient *c, int team, int weapon, const char *name, int timeout_ms = 5000);
// Sends that join request without waiting (c->spawned tells when it is done).
void tcl_join_request(TestClient *c, int team, int weapon, const char *name);
// Sends raw bytes on channel 0.
void tcl_send(TestClient *c, const std::vector<uint8_t> &bytes, bool reliable = true);
// Polite disconnect (bounded wait), then destroys the host.
void tcl_close(TestClient *c);
// Drops the host at once without telling the server.
void tcl_abort(TestClient *c);
// Messages of one id received so far.
std::vector<std::vector<uint8_t>> tcl_messages(const TestClient *c, int id);
// Counts the columns of a map image, walking spans with bounds checks.
// Returns the count, or -1 when a column runs past the end or a span header
// is impossible.
long tcl_count_columns(const uint8_t *image, size_t size);
// The offset just past the column that starts at `pos`, or -1 when it runs
// past the end or a span header is impossible.
long tcl_column_end(const uint8_t *image, size_t size, size_t pos);
// The player name inside a MSG_PLAYER_INFO / MSG_PLAYER_SPAWN body.
std::string tcl_name_at(const std::vector<uint8_t> &msg, size_t offset);
// Services the host once without waiting, recording what arrives: for
// programs that drive many clients from one loop.
void tcl_poll(TestClient *c);

// Half-open connections, as a flood sends them: a host on local_ip (such as
// "127.0.0.9") with room for `peers` requests, never serviced. Null on
// failure; the caller destroys the host.
ENetHost *tcl_half_open_host(const char *local_ip, int peers);
// Sends one more connection request from the host to 127.0.0.1:port and
// never completes it. False when the host has no peer left for it.
bool tcl_half_open(ENetHost *host, uint16_t port);
