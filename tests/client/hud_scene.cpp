#include "hud_scene.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client_fixture.h"
#include "common/map_query.h"
#include "common/mode_objective.h"
#include "common/model_table.h"
#include "common/player.h"
#include "common/terrain.h"
#include "common/timer.h"
#include "common/weapon.h"
#include "platform/plat_display.h"
#include "platform/plat_font.h"
#include "platform/plat_main.h"
#include "platform/plat_png.h"
#include "platform/plat_test.h"
#include "renderer/vox_cpu.h"
#include "renderer/vox_start.h"
#include "renderer/vox_world.h"

bool hs_open(int32_t w, int32_t h, int seed)
{
    ctest_reset_client();
    ctest_load_strings();
    if (seed >= 0 && !terrain_generate(seed)) return false;
    if (plat_select_backend(PLAT_BACKEND_HEADLESS) != 1) return false;
    plat_reset_input();
    *game_display_settings() = DisplaySettings{w, h, 1, 0};
    client_settings.xres = w;
    client_settings.yres = h;
    if (plat_create_window() != 1 || initdirectdraw(1) != 1) return false;
    CpuFeatures = getcpufeatures();
    if (startrenderer(CpuFeatures) != 0) return false;
    setwallshades(0, 0x40, 0x20, 0x20, 0x10, 0x30);
    voxsetfogcolour(0x8090A0);
    game_set_team_slot(0, "Blue", HS_TEAM0_COLOUR);
    game_set_team_slot(1, "Green", HS_TEAM1_COLOUR);
    game_set_team_slot(2, "Spectator", 0xFF000000u);
    // The data files of the ready-to-run folder, read where they lie.
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(BKM_DIST_DIR);
    loadfonts(getdirectdraw());
    game_load_images();
    const int models = game_load_models();
    std::filesystem::current_path(here);
    if (!models || !getfont(2) || !game_images.splash) return false;
    for (ObjectiveState &o : mode_objectives) o.owner = -1; // no intel carried
    game_init_control_names();
    for (int i = 0; i < CTL_COUNT; i++) key_bindings.key[i] = control_defaults[i];
    hud_build_overview_map();
    return true;
}

void hs_close()
{
    game_clear_world_objects();
    game_free_models();
    game_free_images();
    freefonts();
    freetextcontext(textcontext);
    closerenderer();
    uninitdirectdraw();
    plat_destroy_window();
    plat_close_backend();
}

void hs_player(int id, int team, float x, float y, float yaw, bool local)
{
    PlayerRecord &p = player_table[id];
    char name[16];
    snprintf(name, sizeof name, "Player%d", id);
    player_init(&p, id, team, WEAPON_SEMI, TOOL_GUN, 0, 0x7F7F7Fu, name);
    const Vec3 ground{x, y, (float)map_ground_z((int32_t)x, (int32_t)y)};
    player_respawn(&p, &ground);
    const float a = yaw * 3.14159265f / 180.0f;
    const Vec3 f{std::cos(a), std::sin(a), 0.0f};
    player_set_orientation(&p, &f);
    if (!local) return;
    local_player_id = id;
    LocalControls &c = local_controls;
    c.tool = c.last_tool = TOOL_GUN;
    c.palette_index = 3;
    c.block_colour = block_palette[3];
    c.follow = -1;
    c.next_use = 0.0f;
    p.colour = c.block_colour;
}

int hs_count(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t rgb)
{
    int n = 0;
    for (int32_t y = y0; y < y1; y++)
        for (int32_t x = x0; x < x1; x++)
            if (x >= 0 && y >= 0 && x < client_settings.xres && y < client_settings.yres && hs_pixel(x, y) == (rgb & 0xFFFFFFu))
                n++;
    return n;
}

uint32_t hs_pixel(int32_t x, int32_t y)
{
    const Surface *s = getframesurface();
    if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height) return 0;
    const uint8_t *p = s->pixels + (size_t)y * (size_t)s->pitch + 4 * (size_t)x;
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
}

std::string hs_save(const std::string &name)
{
    const std::string dir = std::string(BKM_CLIENT_TMP) + "/shots";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/" + name + ".png";
    const Surface *s = getframesurface();
    if (s) png_write_file(path.c_str(), s->pixels, s->pitch, s->width, s->height);
    return path;
}

void hs_fill(uint32_t rgb) { fillsurface(getframesurface(), rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255); }

void hs_populate()
{
    const PlayerRecord &me = *game_local_player();
    const float yaw = std::atan2(me.forward.y, me.forward.x) * 180.0f / 3.14159265f;
    for (int i = 0, k = 0; i < PLAYER_MAX; i++) {
        if (i == local_player_id) continue;
        // An arc of players 6 to 36 blocks ahead, both teams, various tools.
        const float a = (me.forward.x == 0.0f && me.forward.y == 0.0f) ? 0.0f : std::atan2(me.forward.y, me.forward.x);
        const float spread = ((float)(k % 7) - 3.0f) * 0.12f, dist = 6.0f + (float)k;
        const float x = me.position.x + std::cos(a + spread) * dist, y = me.position.y + std::sin(a + spread) * dist;
        hs_player(i, k & 1, x, y, yaw + 180.0f + 20.0f * (float)(k % 5));
        PlayerRecord &p = player_table[i];
        p.tool = k % 4;
        player_set_held_model(&p, p.tool);
        p.velocity = Vec3{0.05f * (float)(k % 3), 0.0f, 0.0f};
        p.keys[KEY_CROUCH] = k % 6 == 5;
        k++;
    }
    // The objectives of capture the flag, then grenades, tracers and casings.
    game_select_mode(GAME_MODE_CTF);
    mode_objective_count = 4;
    for (int i = 0; i < 4; i++) {
        const float x = me.position.x + me.forward.x * (8.0f + 4.0f * (float)i) + (float)(i - 2);
        const float y = me.position.y + me.forward.y * (8.0f + 4.0f * (float)i);
        world_objects[i].position = Vec3{x, y, (float)map_ground_z((int32_t)x, (int32_t)y) - 1.0f};
        wobj_set_kind(&world_objects[i], OBJECT_LYING);
        mode_objectives[i].owner = -1;
    }
    game_setup_objective_objects();
    for (int i = 0; world_object_count < 100; i++) {
        const float d = 3.0f + (float)(i % 20), s = ((float)(i % 9) - 4.0f) * 0.8f;
        const Vec3 at{me.eye.x + me.forward.x * d - me.forward.y * s, me.eye.y + me.forward.y * d + me.forward.x * s,
                      me.eye.z + 0.5f + 0.1f * (float)(i % 7)};
        const Vec3 v{0.0f, 0.0f, 0.0f};
        const int k = game_add_grenade_object(&at, &v, i % PLAYER_MAX, game_time + 3.0f);
        if (k < 0) break;
        if (i % 3 == 1) {
            world_objects[k].model = model_slot(MODEL_SEMITRACER + i % 3);
            wobj_set_kind(&world_objects[k], OBJECT_TRACER);
            world_objects[k].yaxis = Vec3{0.1f * me.forward.x, 0.1f * me.forward.y, 0.0f};
        } else if (i % 3 == 2) {
            world_objects[k].model = model_slot(MODEL_SEMICASING + i % 3);
            wobj_set_kind(&world_objects[k], OBJECT_CASING);
        }
    }
    // Eight bursts of 64 particles, as grenades leave them, spread by age.
    for (int i = 0; i < PARTICLE_MAX; i++) {
        const int burst = i / 64;
        const float d = 6.0f + 3.0f * (float)burst, s = ((float)(burst % 4) - 1.5f) * 3.0f;
        const Vec3 at{me.eye.x + me.forward.x * d - me.forward.y * s, me.eye.y + me.forward.y * d + me.forward.x * s,
                      me.eye.z + 1.0f};
        game_spawn_particles(&at, 0.25f, 0x7F404040u, 1);
        Particle &p = particle_ring.slot[(particle_ring.head + particle_ring.count - 1) & (PARTICLE_MAX - 1)];
        const float age = (float)(i % 64) / 16.0f;
        p.position = Vec3{at.x + p.velocity.x * 16.0f * age, at.y + p.velocity.y * 16.0f * age,
                          at.z + p.velocity.z * 16.0f * age};
        p.expiry -= age;
    }
}
