#include "play_fixture.h"

#include <enet/enet.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_main.h"
#include "client/game_objects.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/game_input.h"
#include "client/net_client.h"
#include "client/player_update.h"
#include "client_fixture.h"
#include "common/byteio.h"
#include "common/map_edit.h"
#include "common/net.h"
#include "common/player.h"
#include "common/protocol.h"
#include "common/timer.h"
#include "platform/plat_display.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_main.h"
#include "platform/plat_test.h"
#include "renderer/vox_player.h"
#include "support/test_client.h"
#include "support/test_server.h"

static int64_t pf_now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// ---- the stand-in server ---------------------------------------------------------------

static void wt_service(WireTap *t, std::vector<Bytes> *into)
{
    ENetEvent ev;
    while (t->host && enet_host_service(t->host, &ev, 0) > 0) {
        if (ev.type == ENET_EVENT_TYPE_CONNECT) {
            t->peer = ev.peer;
        } else if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
            Bytes b(ev.packet->data, ev.packet->data + ev.packet->dataLength);
            t->got.push_back(b);
            if (into) into->push_back(b);
            enet_packet_destroy(ev.packet);
        }
    }
    while (net_client_host && enet_host_service(net_client_host, &ev, 0) > 0)
        if (ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
}

bool wt_open(WireTap *t)
{
    tcl_enet_init();
    uint16_t port = tsv_free_port();
    ENetAddress a;
    enet_address_set_host(&a, "127.0.0.1");
    a.port = port;
    t->host = enet_host_create(&a, 2, 1, 0, 0);
    if (!t->host) return false;
    enet_host_compress_with_range_coder(t->host);
    ENetHost *h = nullptr;
    ENetPeer *p = nullptr;
    if (net_connect(&h, &p, nullptr, 16777343u, port, NET_CONNECT_VALUE, 1) != 0) return false;
    net_client_host = h;
    net_server_peer = p;
    for (int64_t end = pf_now_ms() + 3000; pf_now_ms() < end;) {
        wt_service(t, nullptr);
        if (t->peer && p->state == ENET_PEER_STATE_CONNECTED) return true;
        usleep(1000);
    }
    return false;
}

std::vector<Bytes> wt_take(WireTap *t, int ms)
{
    std::vector<Bytes> out;
    if (net_client_host) enet_host_flush(net_client_host);
    for (int64_t end = pf_now_ms() + ms; pf_now_ms() < end;) {
        wt_service(t, &out);
        usleep(1000);
    }
    return out;
}

void wt_close(WireTap *t)
{
    if (net_client_host) enet_host_destroy(net_client_host);
    net_client_host = nullptr;
    net_server_peer = nullptr;
    if (t->host) enet_host_destroy(t->host);
    t->host = nullptr;
    t->peer = nullptr;
}

std::vector<Bytes> wt_only(const std::vector<Bytes> &packets, int id)
{
    std::vector<Bytes> out;
    for (const Bytes &b : packets)
        if (!b.empty() && b[0] == id) out.push_back(b);
    return out;
}

void put_u32(Bytes *b, uint32_t v)
{
    uint8_t w[4];
    le_put_u32(w, v);
    b->insert(b->end(), w, w + 4);
}
void put_f32(Bytes *b, float v)
{
    uint8_t w[4];
    le_put_f32(w, v);
    b->insert(b->end(), w, w + 4);
}
void put_vec(Bytes *b, const Vec3 &v)
{
    put_f32(b, v.x);
    put_f32(b, v.y);
    put_f32(b, v.z);
}

// ---- devices and input ------------------------------------------------------------------

void pf_open_devices()
{
    ASSERT_EQ(plat_select_backend(PLAT_BACKEND_HEADLESS), 1);
    plat_reset_input();
    *game_display_settings() = DisplaySettings{320, 240, 1, 10};
    ASSERT_EQ(plat_create_window(), 1);
    plat_inject_focus(1);
    ASSERT_EQ(initdirectinput(), 1);
    ASSERT_EQ(initkeyboard(), 1);
    ASSERT_EQ(initmouse(), 1);
    pumpmessages();
    game_read_controls();
    client_settings.look_factor = game_sensitivity_scale(5.0f);
    client_settings.invert_y = 0;
    client_settings.windowed = 1;
    client_settings.volume = 10;
    client_settings.show_news = 1;
}

void pf_close_devices()
{
    uninitmouse();
    uninitkeyboard();
    uninitdirectinput();
    plat_destroy_window();
    plat_close_backend();
}

void pf_key(int dik, bool down) { plat_inject_key(dik, down ? 1 : 0); }

void pf_type(const std::string &text)
{
    for (char ch : text) {
        int shift = 0;
        int dik = ch == '\n' ? DIK_RETURN : ch == '\b' ? DIK_BACK : key_for_char((uint8_t)ch, &shift);
        ASSERT_GE(dik, 0) << ch;
        if (shift) plat_inject_key(DIK_LSHIFT, 1);
        plat_inject_key(dik, 1);
        plat_inject_key(dik, 0);
        if (shift) plat_inject_key(DIK_LSHIFT, 0);
        // One typed key is read per frame.
        pf_frame();
    }
}

void pf_button(int button, bool down) { plat_inject_button(button, down ? 1 : 0); }
void pf_wheel(int notches) { plat_inject_wheel(notches); }
void pf_mouse(int dx, int dy) { plat_inject_mouse(dx, dy); }

// ---- players ---------------------------------------------------------------------------------

PlayerRecord *pf_local_player(int id, int team, int weapon, float x, float y)
{
    local_player_id = id;
    PlayerRecord *p = &player_table[id];
    player_init(p, id, team, weapon, TOOL_GUN, 0, 0x7F7F7F, "Me");
    Vec3 at = {x, y, 40.0f};
    player_respawn(p, &at);
    p->position.z = p->eye.z = 40.0f - 2.3f; // just above the ground: the steps settle it
    Vec3 f = {1.0f, 0.0f, 0.0f};
    player_set_orientation(p, &f);
    local_controls.join_mode = JOIN_IN_GAME;
    local_controls.team_menu_open = local_controls.weapon_menu_open = local_controls.quit_open = 0;
    game_set_screen(SCREEN_IN_GAME);
    game_reset_local_loadout();
    local_controls.next_use = game_time;
    local_controls.last_sent_position = p->position;
    local_controls.last_sent_orientation = p->forward;
    return p;
}

PlayerRecord *pf_other_player(int id, int team, int weapon, float x, float y)
{
    PlayerRecord *p = &player_table[id];
    player_init(p, id, team, weapon, TOOL_GUN, 0, 0x7F7F7F, "Other");
    Vec3 at = {x, y, 40.0f};
    player_respawn(p, &at);
    p->position.z = p->eye.z = 40.0f - 2.3f; // just above the ground: the steps settle it
    p->near = p->on_screen = 1;
    drawplayermodel(p, 0, nullptr);
    return p;
}

Vec3 pf_part_centre(const PlayerRecord *p, int sprite)
{
    const SpriteInstance &s = p->sprites[sprite];
    const Kv6Model *m = s.model;
    float a = m->xsize * 0.5f - m->xpivot, b = m->ysize * 0.5f - m->ypivot, c = m->zsize * 0.5f - m->zpivot;
    return Vec3{s.position.x + a * s.xaxis.x + b * s.yaxis.x + c * s.zaxis.x,
                s.position.y + a * s.xaxis.y + b * s.yaxis.y + c * s.zaxis.y,
                s.position.z + a * s.xaxis.z + b * s.yaxis.z + c * s.zaxis.z};
}

void pf_face(PlayerRecord *p, const Vec3 &at)
{
    Vec3 d = {at.x - p->eye.x, at.y - p->eye.y, at.z - p->eye.z};
    float l = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    d = Vec3{d.x / l, d.y / l, d.z / l};
    player_set_orientation(p, &d);
}

// ---- frames ------------------------------------------------------------------------------------

void pf_stand_in_hud()
{
    PlayerRecord *me = game_local_player();
    for (int i = 0; i < PLAYER_MAX; i++) {
        PlayerRecord *p = &player_table[i];
        if (!p->present || p->team < 0 || i == local_player_id) continue;
        float dx = me ? p->position.x - me->eye.x : 0.0f, dy = me ? p->position.y - me->eye.y : 0.0f;
        p->near = dx * dx + dy * dy <= 16384.0f;
        p->on_screen = p->under_crosshair = p->near;
        drawplayermodel(p, 0, nullptr);
    }
    if (me && me->alive && me->team >= 0 && !(local_controls.next_use > game_time)) game_finish_tool_switch();
}

void pf_frame(float dt)
{
    pumpmessages();
    game_time += dt;
    game_frame_time = game_step = dt;
    game_millis = (int32_t)(game_time * 1000.0f);
    game_handle_input();
    if (client_state.screens.current == SCREEN_IN_GAME) {
        game_update_players();
        game_update_world_objects();
        pf_stand_in_hud();
    }
}

void pf_frames(int n, float dt)
{
    for (int i = 0; i < n; i++) pf_frame(dt);
}

void pf_load_dist_models()
{
    std::filesystem::remove_all("kv6");
    std::filesystem::create_directory_symlink(BKM_DIST_DIR "/kv6", "kv6");
    game_set_team_slot(0, "Blue", 0xFF0000FFu);
    game_set_team_slot(1, "Green", 0xFF00FF00u);
    ASSERT_EQ(game_load_models(), 1);
}

void pf_dig_pool(int x0, int y0, int x1, int y1)
{
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) map_delete_slab(map_edit_column(x, y), 0, 63);
    map_edit_finish();
}

// ---- the fixture ---------------------------------------------------------------------------

void PlayTest::SetUp()
{
    ctest_load_strings();
    std::string dir = ctest_enter_scratch();
    ctest_write_models(dir);
    ctest_reset_client();
    pf_open_devices();
    ASSERT_TRUE(wt_open(&tap));
    me = pf_local_player(ME, TEAM_BLUE, WEAPON_SEMI);
    pf_frames(30); // settles on the ground
    wt_take(&tap);
}

void PlayTest::TearDown()
{
    wt_close(&tap);
    pf_close_devices();
    ctest_reset_client();
    ctest_leave_scratch();
}

void PlayTest::tap_key(int dik)
{
    pf_key(dik, true);
    pf_frame();
    pf_key(dik, false);
    pf_frame();
}

void PlayTest::click(int button)
{
    pf_button(button, true);
    pf_frame();
    pf_button(button, false);
    pf_frame();
}

Bytes PlayTest::msg(std::initializer_list<uint8_t> head, const std::string &text, bool zero)
{
    Bytes b(head);
    b.insert(b.end(), text.begin(), text.end());
    if (zero) b.push_back(0);
    return b;
}

void pf_client_folder(const std::string &dir, const std::string &client_bin, const std::string &dist,
                      const std::string &name, int show_news)
{
    namespace fs = std::filesystem;
    fs::remove_all(dir);
    fs::create_directories(dir + "/vxl");
    fs::copy_file(client_bin, dir + "/client");
    for (const char *sub : {"kv6", "png", "wav", "fonts", "languages"})
        fs::create_directory_symlink(dist + "/" + sub, dir + "/" + sub);
    for (const char *file : {"controls.ini", "news.html"}) fs::copy_file(dist + "/" + file, dir + "/" + file);
    FILE *f = fopen((dir + "/config.ini").c_str(), "w");
    ASSERT_NE(f, nullptr);
    fprintf(f, "[client]\nxres = 320\nyres = 240\nwindowed = 1\nvol = 0\nname = %s\nshow_news = %d\n",
            name.c_str(), show_news);
    fclose(f);
}
