#include "client_fixture.h"

#include <enet/enet.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>

#include <cstring>
#include <filesystem>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_fatal.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_state.h"
#include "client/net_client.h"
#include "client/net_dispatch.h"
#include "client/net_loading.h"
#include "client/player_update.h"
#include "common/net.h"
#include "common/byteio.h"
#include "common/feed.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "common/model_table.h"
#include "common/player.h"
#include "common/timer.h"
#include "platform/plat_log.h"
#include "support/test_server.h"

std::vector<std::string> ctest_fatals;

void ctest_record_fatal(const char *text) { ctest_fatals.push_back(text ? text : "(null)"); }

ModelSize ctest_model_size(int slot)
{
    static const ModelSize body[6] = {{6, 6, 6}, {8, 4, 9}, {8, 8, 7}, {12, 10, 6}, {3, 5, 12}, {3, 7, 8}};
    if (slot >= MODEL_HEAD_B && slot < MODEL_HEAD_B + 6) return body[slot - MODEL_HEAD_B];
    if (slot >= MODEL_HEAD_G && slot < MODEL_HEAD_G + 6) return body[slot - MODEL_HEAD_G];
    return {4, 4, 4};
}

// One voxel per column at the top, all faces shown.
static std::vector<uint8_t> ctest_kv6_image(ModelSize s)
{
    int32_t n = s.x * s.y;
    std::vector<uint8_t> b(32 + 8 * (size_t)n + 4 * (size_t)s.x + 2 * (size_t)n);
    uint8_t *p = b.data();
    le_put_u32(p, 0x6c78764b);
    le_put_i32(p + 4, s.x);
    le_put_i32(p + 8, s.y);
    le_put_i32(p + 12, s.z);
    le_put_f32(p + 16, s.x * 0.5f);
    le_put_f32(p + 20, s.y * 0.5f);
    le_put_f32(p + 24, s.z * 0.5f);
    le_put_i32(p + 28, n);
    p += 32;
    for (int32_t x = 0; x < s.x; x++)
        for (int32_t y = 0; y < s.y; y++) {
            uint32_t colour = x == 0 && y == 0 ? 0x80000000u : (x == 1 && y == 0 ? 0x010000u : 0x808080u);
            le_put_u32(p, colour);
            le_put_u16(p + 4, 0);
            p[6] = 63;
            p[7] = 0;
            p += 8;
        }
    for (int32_t x = 0; x < s.x; x++, p += 4) le_put_u32(p, (uint32_t)s.y);
    for (int32_t i = 0; i < n; i++, p += 2) le_put_u16(p, 1);
    return b;
}

void ctest_write_models(const std::string &dir, int override_slot, ModelSize override_size)
{
    std::filesystem::create_directories(dir + "/kv6");
    for (int i = 0; i < MODEL_SLOT_COUNT; i++) {
        ModelSize s = i == override_slot ? override_size : ctest_model_size(i);
        std::vector<uint8_t> img = ctest_kv6_image(s);
        std::string path = dir + "/kv6/" + model_names[i] + ".kv6";
        FILE *f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr) << path;
        std::fwrite(img.data(), 1, img.size(), f);
        std::fclose(f);
    }
}

static std::string ctest_start_dir;

std::string ctest_enter_scratch()
{
    if (ctest_start_dir.empty()) ctest_start_dir = std::filesystem::current_path().string();
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char &c : name)
        if (c == '/') c = '_';
    std::string dir = std::string(BKM_CLIENT_TMP) + "/" + name + "." + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    return dir;
}

void ctest_leave_scratch()
{
    if (!ctest_start_dir.empty()) std::filesystem::current_path(ctest_start_dir);
}

void ctest_client_folder(const std::string &dir, const std::string &client_bin, const std::string &name,
                         int show_news, int32_t w, int32_t h)
{
    namespace fs = std::filesystem;
    fs::remove_all(dir);
    fs::create_directories(dir + "/vxl");
    fs::copy_file(client_bin, dir + "/client");
    for (const char *sub : {"kv6", "png", "wav", "fonts", "languages"})
        fs::create_directory_symlink(std::string(BKM_DIST_DIR) + "/" + sub, dir + "/" + sub);
    for (const char *file : {"controls.ini", "news.html"})
        fs::copy_file(std::string(BKM_DIST_DIR) + "/" + file, dir + "/" + file);
    FILE *f = fopen((dir + "/config.ini").c_str(), "w");
    ASSERT_NE(f, nullptr);
    fprintf(f, "[client]\nxres = %d\nyres = %d\nwindowed = 1\nvol = 0\nname = %s\nshow_news = %d\n", (int)w, (int)h,
            name.c_str(), show_news);
    fclose(f);
}

void ctest_load_strings() { lang_load_file(BKM_DIST_DIR "/languages/BkmLang-EN.bin"); }

void ctest_reset_client()
{
    net_client_close();
    net_loading_free();
    map_download = MapDownload{};
    game_clear_world_objects();
    game_free_models();
    std::memset(world_objects, 0, sizeof world_objects);
    std::memset(player_table, 0, sizeof player_table);
    std::memset(mode_objectives, 0, sizeof mode_objectives);
    mode_objective_count = 0;
    client_state = ClientGameState{};
    local_player_id = -1;
    capture_limit = 0;
    local_controls = LocalControls{};
    game_select_mode(GAME_MODE_CTF);
    game_clear_particles();
    game_drop_block_line();
    feed_clear(&feed_chat);
    feed_clear(&feed_kill);
    hud_damage_source = Vec3{0, 0, 0};
    hud_damage_until = 0;
    hud_announce_text[0] = 0;
    hud_announce_until = 0;
    hud_respawn_last_beep = 0;
    game_time = 100.0f;
    ctest_fatals.clear();
    plat_log_clear(); // the log keeps a bounded number of lines
    game_set_fatal_handler(ctest_record_fatal);
    map_make_flat(40, 0x7F446688u);
    game_build_palette();
}

std::vector<uint8_t> ctest_cut(std::vector<uint8_t> p)
{
    if (!p.empty()) p.pop_back();
    return p;
}

std::vector<uint8_t> ctest_grow(std::vector<uint8_t> p)
{
    p.push_back(0);
    return p;
}

std::vector<std::string> ctest_sounds(int from)
{
    std::vector<std::string> out;
    for (int i = from; i < plat_log_count(); i++) {
        const char *line = plat_log_line(i);
        char file[256], text[400];
        int volume;
        float x, y, z;
        if (sscanf(line, "sound3d %255s %d %f %f %f", file, &volume, &x, &y, &z) == 5) {
            snprintf(text, sizeof text, "sound3d %s %d %.2f %.2f %.2f", file, volume, x, y, z);
            out.push_back(text);
        } else if (sscanf(line, "sound %255s %d", file, &volume) == 2) {
            out.push_back(line);
        }
    }
    return out;
}

void ctest_expect_sounds(int from, const std::vector<std::string> &expected) { EXPECT_EQ(ctest_sounds(from), expected); }

uint64_t ctest_map_digest()
{
    uint64_t h = 1469598103934665603ull;
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        const uint8_t *c = voxel_map.columns[i];
        int32_t n = map_column_size(c);
        for (int32_t k = 0; k < n; k++) h = (h ^ c[k]) * 1099511628211ull;
    }
    return h;
}

int64_t ctest_now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void StandIn::service()
{
    ENetEvent ev;
    while (host && enet_host_service(host, &ev, 0) > 0) {
        if (ev.type == ENET_EVENT_TYPE_CONNECT) {
            peer = ev.peer;
            if (drop_ms > 0) enet_peer_timeout(peer, 4, 500, (enet_uint32)drop_ms);
        } else if (ev.type == ENET_EVENT_TYPE_DISCONNECT) {
            lost = true;
        } else if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
            received.emplace_back(ev.packet->data, ev.packet->data + ev.packet->dataLength);
            enet_packet_destroy(ev.packet);
        }
    }
}

void StandIn::send(const std::vector<uint8_t> &bytes)
{
    enet_peer_send(peer, 0, msg_make_packet(bytes.data(), (int)bytes.size()));
    enet_host_flush(host);
}

bool ctest_standin_listen(StandIn *s, uint16_t *port)
{
    *port = tsv_free_port();
    ENetAddress a;
    enet_address_set_host(&a, "127.0.0.1");
    a.port = *port;
    s->host = enet_host_create(&a, 4, 1, 0, 0);
    if (!s->host) return false;
    enet_host_compress_with_range_coder(s->host);
    return true;
}

bool ctest_standin_connect(StandIn *s)
{
    uint16_t port;
    if (!ctest_standin_listen(s, &port)) return false;
    ENetHost *h = nullptr;
    ENetPeer *p = nullptr;
    if (net_connect(&h, &p, nullptr, 16777343u, port, NET_CONNECT_VALUE, 1) != 0) return false;
    net_client_host = h;
    net_server_peer = p;
    for (int64_t end = ctest_now_ms() + 3000; ctest_now_ms() < end && !(s->peer && p->state == ENET_PEER_STATE_CONNECTED);) {
        s->service();
        ENetEvent ev;
        if (enet_host_service(h, &ev, 1) > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
    }
    return s->peer != nullptr;
}

std::vector<std::vector<uint8_t>> ctest_standin_take(StandIn *s, int ms)
{
    if (net_client_host) enet_host_flush(net_client_host);
    const int64_t start = ctest_now_ms();
    for (;;) {
        s->service();
        ENetEvent ev;
        while (net_client_host && enet_host_service(net_client_host, &ev, 0) > 0)
            if (ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
        const int64_t now = ctest_now_ms();
        const ENetPeer *p = net_server_peer;
        const bool in_flight = p && (!enet_list_empty(&p->sentReliableCommands) ||
                                     !enet_list_empty(&p->outgoingCommands));
        if ((now - start >= ms && !in_flight) || now - start >= 3000) break;
        usleep(1000);
    }
    s->service();
    std::vector<std::vector<uint8_t>> out;
    out.swap(s->received);
    return out;
}

std::vector<std::vector<uint8_t>> ctest_only(const std::vector<std::vector<uint8_t>> &packets, int id)
{
    std::vector<std::vector<uint8_t>> out;
    for (const std::vector<uint8_t> &b : packets)
        if (!b.empty() && b[0] == id) out.push_back(b);
    return out;
}

void ctest_standin_close(StandIn *s)
{
    net_hold_events();
    if (net_client_host) enet_host_destroy(net_client_host);
    net_client_host = nullptr;
    net_server_peer = nullptr;
    if (s->host) enet_host_destroy(s->host);
    s->host = nullptr;
    s->peer = nullptr;
}

std::vector<uint8_t> ctest_flat_map_z(int32_t ground, uint32_t colour, uint64_t *digest)
{
    map_make_flat(ground, colour);
    const std::string file = "flat." + std::to_string(getpid()) + ".vxl";
    std::vector<uint8_t> image(MAP_IMAGE_MAX_BYTES);
    FILE *f = map_save(file.c_str()) ? fopen(file.c_str(), "rb") : nullptr;
    image.resize(f ? fread(image.data(), 1, image.size(), f) : 0);
    if (f) fclose(f);
    std::remove(file.c_str());
    map_load_image(image.data(), image.size());
    if (digest) *digest = ctest_map_digest();
    return ctest_map_z(image);
}

std::vector<uint8_t> ctest_map_z(const std::vector<uint8_t> &image)
{
    uLongf n = compressBound(image.size());
    std::vector<uint8_t> z(n);
    compress2(z.data(), &n, image.data(), image.size(), 6);
    z.resize(n);
    return z;
}

std::vector<std::vector<uint8_t>> ctest_map_packets(const std::vector<uint8_t> &z)
{
    std::vector<std::vector<uint8_t>> out = {ctest_packet(msg_write_map_begin, MapBeginMsg{(uint32_t)z.size()})};
    for (size_t pos = 0; pos < z.size(); pos += MSG_MAP_CHUNK_MAX_DATA) {
        uint32_t n = (uint32_t)std::min<size_t>(MSG_MAP_CHUNK_MAX_DATA, z.size() - pos);
        out.push_back(ctest_packet(msg_write_map_chunk, MapChunkMsg{z.data() + pos, n}));
    }
    return out;
}

std::vector<uint8_t> ctest_game_state(uint8_t player)
{
    GameStateMsg state{};
    state.player = player;
    state.game_mode = GAME_MODE_CTF;
    state.fog_colour = 0x8090A0;
    state.team_colour[0] = 0x0000C4;
    state.team_colour[1] = 0x00C400;
    snprintf(state.team_name[0], 10, "Blue");
    snprintf(state.team_name[1], 10, "Green");
    return ctest_packet(msg_write_game_state, state);
}
