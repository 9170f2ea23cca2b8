// The client's models under mutated copies of the generated KV6 files: the
// loader takes only consistent ones, and what it takes can be painted in
// team colours, posed and drawn (one too tall to draw draws nothing); a
// damaged file among the 37 the client loads ends in a fatal error, never in
// a crash.
#include <cfloat>
#include <filesystem>

#include "client/game_assets.h"
#include "client/game_state.h"
#include "client_fuzz.h"
#include "common/kv6.h"
#include "common/lang_ids.h"
#include "common/model_table.h"
#include "common/timer.h"
#include "renderer/voxrender.h"
#include "support/test_server.h"

namespace {

std::vector<uint8_t> dist_model(int slot)
{
    std::string bytes = tsv_read_file(std::string(BKM_DIST_DIR) + "/kv6/" + model_names[slot] + ".kv6");
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// A frame of 80 x 60 with nothing in it yet, and a camera at (0, 10, 10)
// looking along +x.
void bind_frame()
{
    static uint32_t pixels[80 * 60];
    ASSERT_EQ(voxsetframebuffer(pixels, 80 * 4, 80, 60), 1);
    for (int i = 0; i < 80 * 60; i++) vox_frame.zbuffer[i] = FLT_MAX;
    const Vec3 pos{0, 10, 10}, right{0, 1, 0}, down{0, 0, 1}, forward{1, 0, 0};
    setviewpoint(&pos, &right, &down, &forward, 40, 30, 40);
}

// 1 when something was drawn into the frame since bind_frame.
int frame_touched()
{
    for (int i = 0; i < 80 * 60; i++)
        if (vox_frame.zbuffer[i] != FLT_MAX) return 1;
    return 0;
}

struct ModelFuzz : ::testing::Test {
    std::string dir;
    void SetUp() override
    {
        ctest_load_strings();
        dir = ctest_enter_scratch();
        ctest_reset_client();
        ASSERT_EQ(startrenderer(getcpufeatures()), 0);
    }
    void TearDown() override
    {
        closerenderer();
        ctest_reset_client();
        ctest_leave_scratch();
    }
};

TEST_F(ModelFuzz, MutatedModelsLoadConsistentAndDrawOrAreRefused)
{
    std::vector<std::vector<uint8_t>> files;
    for (int i = 0; i < MODEL_SLOT_COUNT; i++) files.push_back(dist_model(i));
    ASSERT_FALSE(files[0].empty());
    FuzzRng r(0x0CF60001u);
    int loaded = 0, drawn = 0;
    for (int round = 0; round < 20000; round++) {
        std::vector<uint8_t> b = files[r.below(MODEL_SLOT_COUNT)];
        // The header (sizes, pivots, count) most often; the counts at the end next.
        size_t from = r.one_in(2) ? r.below(32) : r.one_in(2) ? b.size() - r.below(64) : r.below((uint32_t)b.size());
        fuzz_mutate(b, r, from);
        Kv6Model *m = kv6_load_from_memory(b.empty() ? nullptr : b.data(), (int64_t)b.size());
        if (!m) continue;
        loaded++;
        ASSERT_EQ(kv6_model_valid(m), 1) << round;
        game_paint_team_colour(m, r.next() & 0xFFFFFF);
        SpriteInstance s{};
        s.model = m;
        s.position = Vec3{12, 10, 10};
        s.xaxis = Vec3{0.1f, 0, 0};
        s.yaxis = Vec3{0, 0.1f, 0};
        s.zaxis = Vec3{0, 0, 0.1f};
        bind_frame();
        if (testspritevisible(&s)) rendermodel(&s, round & 1, nullptr);
        if (m->zsize >= KV6_MAX_ZSIZE) {
            ASSERT_EQ(frame_touched(), 0) << round; // loads, too tall to draw
        }
        drawn += frame_touched();
        Vec3 start{0, 10, 10}, dir{1, 0, 0}, hit;
        raytestsprite(&start, &dir, &s, &hit);
        discardmodel(m);
    }
    EXPECT_GT(loaded, 2000);
    EXPECT_GT(drawn, loaded / 2);
}

// One damaged file among the 37: the client either loads them all (body
// sizes right) and draws players with them, or ends with one fatal error.
TEST_F(ModelFuzz, ADamagedModelFileLoadsOrEndsTheClient)
{
    std::filesystem::create_directories(dir + "/kv6");
    std::vector<std::vector<uint8_t>> files;
    for (int i = 0; i < MODEL_SLOT_COUNT; i++) {
        files.push_back(dist_model(i));
        tsv_write_file(dir + "/kv6/" + model_names[i] + ".kv6", std::string(files[i].begin(), files[i].end()));
    }
    const std::string model_error = ctest_text(LANG_ERR_MODEL_SIZE);
    FuzzRng r(0x0CF60002u);
    int loaded = 0, drawn = 0;
    for (int round = 0; round < 300; round++) {
        int slot = (int)r.below(MODEL_SLOT_COUNT);
        std::vector<uint8_t> b = files[slot];
        fuzz_mutate(b, r, r.one_in(2) ? r.below(32) : r.below((uint32_t)b.size()));
        const std::string path = dir + "/kv6/" + model_names[slot] + ".kv6";
        tsv_write_file(path, std::string(b.begin(), b.end()));
        ctest_fatals.clear();
        int ok = game_load_models();
        if (ok) {
            loaded++;
            ASSERT_TRUE(ctest_fatals.empty()) << round;
            for (const Kv6Model *m : model_table) ASSERT_EQ(kv6_model_valid(m), 1) << round;
            // Every body and held model on a player in view.
            for (int team = 0; team < 2; team++)
                for (int tool = 0; tool < TOOL_COUNT; tool++) {
                    PlayerRecord p{};
                    ASSERT_EQ(player_init(&p, 0, team, WEAPON_SEMI + tool % WEAPON_COUNT, tool, 0, 0x808080, "P"), 1);
                    const Vec3 at{8, 10, 8};
                    player_respawn(&p, &at);
                    p.alive = tool != TOOL_GRENADE;
                    bind_frame();
                    drawplayermodel(&p, 1, nullptr);
                    drawn += frame_touched();
                }
        } else {
            ASSERT_EQ(ctest_fatals.size(), 1u) << round;
            ASSERT_TRUE(ctest_fatals[0] == "could not load kv6 file" || ctest_fatals[0] == model_error)
                << round << " " << ctest_fatals[0];
        }
        tsv_write_file(path, std::string(files[slot].begin(), files[slot].end()));
    }
    EXPECT_GT(loaded, 20);
    EXPECT_LT(loaded, 280);
    EXPECT_GT(drawn, loaded * 4);
}

} // namespace
