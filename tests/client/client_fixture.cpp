#include "client_fixture.h"

#include <unistd.h>

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
#include "common/byteio.h"
#include "common/feed.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "common/model_table.h"
#include "common/player.h"
#include "common/timer.h"
#include "platform/plat_log.h"

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
