#include "play_fixture.h"

#include <cmath>
#include <cstring>
#include <filesystem>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_main.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/game_input.h"
#include "client/hud_frame.h"
#include "client/menu_screens.h"
#include "client/player_update.h"
#include "client_fixture.h"
#include "common/byteio.h"
#include "common/map_edit.h"
#include "common/player.h"
#include "common/timer.h"
#include "platform/plat_display.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_main.h"
#include "platform/plat_test.h"
#include "renderer/vox_cpu.h"
#include "renderer/vox_player.h"
#include "renderer/vox_start.h"
#include "support/test_client.h"

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
    client_settings.xres = 320;
    client_settings.yres = 240;
    ASSERT_EQ(plat_create_window(), 1);
    ASSERT_EQ(initdirectdraw(1), 1);
    CpuFeatures = getcpufeatures();
    ASSERT_EQ(startrenderer(CpuFeatures), 0);
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
    closerenderer();
    uninitdirectdraw();
    plat_destroy_window();
    plat_close_backend();
}

void pf_key(int dik, bool down) { plat_inject_key(dik, down ? 1 : 0); }

void pf_type(const std::string &text)
{
    for (char ch : text) {
        ASSERT_EQ(plat_inject_typed((uint8_t)ch), 1) << ch;
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

// The frame entry's part before the screen: the clock, then the input pass.
static void pf_frame_input(float dt)
{
    pumpmessages();
    game_time += dt;
    game_frame_time = game_step = dt;
    game_millis = game_millis_of(game_time);
    game_handle_input();
}

void pf_frame_players(float dt)
{
    pf_frame_input(dt);
    if (client_state.screens.current == SCREEN_IN_GAME) game_update_players();
}

void pf_frame_rest()
{
    if (client_state.screens.current != SCREEN_IN_GAME) return;
    game_update_world_objects();
    game_draw_frame();
}

void pf_frame(float dt)
{
    pf_frame_input(dt);
    if (client_state.screens.current == SCREEN_IN_GAME) game_play_screen();
}

void pf_frames(int n, float dt)
{
    for (int i = 0; i < n; i++) pf_frame(dt);
}

int pf_particles_spawned() { return (particle_ring.head + particle_ring.count) & (PARTICLE_MAX - 1); }

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
    tcl_enet_init();
    tap.drop_ms = 0;
    ASSERT_TRUE(ctest_standin_connect(&tap));
    me = pf_local_player(ME, TEAM_BLUE, WEAPON_SEMI);
    pf_frames(30); // settles on the ground
    ctest_standin_take(&tap);
}

void PlayTest::TearDown()
{
    ctest_standin_close(&tap);
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
