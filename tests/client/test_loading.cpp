// The map download: chunks into the buffer, expansion and validation into the
// map store, the players and the game state of the loading phase, and every
// fault of the transfer ending the client with the loading-failed text.
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "client/game_controls.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/net_client.h"
#include "client/net_loading.h"
#include "client_fixture.h"
#include "common/feed.h"
#include "common/lang_ids.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "common/model_table.h"
#include "common/terrain.h"
#include "platform/plat_log.h"

namespace {

std::vector<uint8_t> read_file(const char *path)
{
    std::vector<uint8_t> b;
    FILE *f = fopen(path, "rb");
    if (!f) return b;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
    fclose(f);
    return b;
}

std::vector<uint8_t> compress_bytes(const std::vector<uint8_t> &raw)
{
    uLongf n = compressBound(raw.size());
    std::vector<uint8_t> z(n);
    EXPECT_EQ(compress2(z.data(), &n, raw.data(), raw.size(), Z_DEFAULT_COMPRESSION), Z_OK);
    z.resize(n);
    return z;
}

GameStateMsg ctf_state(uint8_t id)
{
    GameStateMsg m{};
    m.player = id;
    m.fog_colour = 0x8090A0;
    m.team_colour[0] = 0x0000C4;
    m.team_colour[1] = 0x00C400;
    m.game_mode = GAME_MODE_CTF;
    m.ctf.score[0] = 2;
    m.ctf.score[1] = 3;
    m.ctf.capture_limit = 10;
    m.ctf.flags = CTF_INTEL0_CARRIED;
    m.ctf.carrier[0] = 3;
    m.ctf.intel[1] = Vec3{400, 300, 39};
    m.ctf.base[0] = Vec3{100, 256, 39};
    m.ctf.base[1] = Vec3{412, 256, 39};
    snprintf(m.team_name[0], sizeof m.team_name[0], "Blue");
    snprintf(m.team_name[1], sizeof m.team_name[1], "Green");
    return m;
}

struct Loading : ::testing::Test {
    std::string dir;
    // The server's map (hills), as a file and compressed, made once.
    static std::vector<uint8_t> image, z;
    static uint64_t digest;
    int log_mark = 0;

    static void SetUpTestSuite()
    {
        terrain_generate(5);
        std::filesystem::create_directories(BKM_CLIENT_TMP);
        std::string path = std::string(BKM_CLIENT_TMP) + "/sent." + std::to_string(getpid()) + ".vxl";
        ASSERT_EQ(map_save(path.c_str()), 1);
        image = read_file(path.c_str());
        std::remove(path.c_str());
        ASSERT_EQ(map_load_image(image.data(), image.size()), 1); // as any loader holds it
        digest = ctest_map_digest();
        z = compress_bytes(image);
    }

    void SetUp() override
    {
        ctest_load_strings();
        dir = ctest_enter_scratch();
        ctest_write_models(dir);
        ctest_reset_client();
        snprintf(client_settings.name, sizeof client_settings.name, "Tester");
        map_make_flat(40, 0x7F000000u); // what the client holds before
        log_mark = plat_log_count();
    }
    void TearDown() override
    {
        ctest_reset_client();
        ctest_leave_scratch();
    }

    int feed(const std::vector<uint8_t> &p) { return net_loading_packet(p.data(), p.size()); }
    void begin(uint32_t size) { feed(ctest_packet(msg_write_map_begin, MapBeginMsg{size})); }
    // Chunks of up to 1023 bytes of bytes[from, to).
    void chunks(const std::vector<uint8_t> &bytes, size_t from, size_t to)
    {
        for (size_t pos = from; pos < to; pos += MSG_MAP_CHUNK_MAX_DATA) {
            size_t n = std::min((size_t)MSG_MAP_CHUNK_MAX_DATA, to - pos);
            feed(ctest_packet(msg_write_map_chunk, MapChunkMsg{bytes.data() + pos, (uint32_t)n}));
        }
    }
    int state(const GameStateMsg &m) { return feed(ctest_packet(msg_write_game_state, m)); }
    // A whole transfer of `bytes` announced as `size`, then the state.
    void transfer(const std::vector<uint8_t> &bytes, uint32_t size)
    {
        begin(size);
        chunks(bytes, 0, bytes.size());
        if (state(ctf_state(7)) == 1) net_loading_finish();
    }
    void expect_failed()
    {
        ASSERT_EQ(ctest_fatals.size(), 1u);
        EXPECT_EQ(ctest_fatals[0], ctest_text(LANG_ERR_MAP_DATA));
    }
};

std::vector<uint8_t> Loading::image, Loading::z;
uint64_t Loading::digest;

TEST_F(Loading, AWholeTransferLoadsTheMapAndOpensTheTeamMenu)
{
    begin((uint32_t)z.size());
    chunks(z, 0, z.size() / 2);
    EXPECT_NEAR(map_download.progress, (float)map_download.received / z.size(), 1e-6);
    EXPECT_GT(map_download.progress, 0.3f);
    EXPECT_LT(map_download.progress, 0.7f);
    chunks(z, z.size() / 2, z.size());
    EXPECT_FLOAT_EQ(map_download.progress, 1.0f);
    PlayerInfoMsg info{3, 1, WEAPON_SMG, TOOL_SPADE, 12, 0x112233, "Carrier"};
    feed(ctest_packet(msg_write_player_info, info));
    ASSERT_EQ(state(ctf_state(7)), 1);
    ASSERT_EQ(net_loading_finish(), 1);
    EXPECT_TRUE(ctest_fatals.empty());

    EXPECT_EQ(ctest_map_digest(), digest);
    EXPECT_EQ(map_download.buffer, nullptr);
    EXPECT_FLOAT_EQ(map_download.progress, 1.0f);
    EXPECT_EQ(local_player_id, 7);
    EXPECT_STREQ(player_table[7].name, "Tester");
    EXPECT_EQ(client_state.screens.current, SCREEN_TEAM_MENU);
    EXPECT_EQ(local_controls.join_mode, JOIN_FIRST);
    EXPECT_EQ(local_controls.team_menu_open, 1);
    EXPECT_STREQ(client_state.team[0].name, "Blue");
    EXPECT_EQ(client_state.team[1].colour, 0xFF00C400u);
    EXPECT_STREQ(client_state.team[2].name, "Spectator");
    EXPECT_EQ(client_state.score[1], 3);
    EXPECT_EQ(capture_limit, 10);
    // Flag mode: two intels and two bases, team 0's intel carried by player 3.
    EXPECT_EQ(world_object_count, 4);
    EXPECT_EQ(mode_objectives[0].owner, 3);
    EXPECT_EQ(wobj_kind(&world_objects[0]), OBJECT_CARRIED);
    EXPECT_EQ(wobj_kind(&world_objects[1]), OBJECT_LYING);
    EXPECT_FLOAT_EQ(world_objects[1].position.x, 400.0f);
    EXPECT_FLOAT_EQ(world_objects[3].position.x, 412.0f);
    EXPECT_EQ(world_objects[2].model, model_table[MODEL_CP_B]);
    EXPECT_FLOAT_EQ(world_objects[0].xaxis.x, 0.2f);
    EXPECT_FLOAT_EQ(world_objects[2].zaxis.z, 0.3f);
    // The player announced during loading wears the models just loaded.
    EXPECT_EQ(player_table[3].kills, 12);
    EXPECT_EQ(player_table[3].sprites[SPRITE_TORSO].model, model_table[MODEL_TORSO_G]);
    EXPECT_EQ(player_table[3].sprites[SPRITE_HELD].model, model_table[MODEL_SPADE_3]);
    ctest_expect_sounds(log_mark, {"sound wav/intro.wav 0"});
}

// Every fault of a transfer ends the client with the loading-failed text;
// none reads or writes outside the buffer.
TEST_F(Loading, FaultyTransfersEndWithTheLoadingFailedText)
{
    std::vector<uint8_t> garbage(5000, 0x5A);
    std::vector<uint8_t> half_image(image.begin(), image.begin() + image.size() / 2);
    std::vector<uint8_t> bad_header = image;
    bad_header[0] = 0xFF; // first span claims more words than the column has
    std::vector<uint8_t> too_big = compress_bytes(std::vector<uint8_t>(17u << 20, 0));
    struct Case {
        const char *name;
        std::function<void(Loading *)> run;
    } cases[] = {
        {"chunk before the map begins", [](Loading *t) { t->chunks(t->z, 0, 100); }},
        {"chunk beyond the announced size",
         [](Loading *t) {
             t->begin(1500);
             t->chunks(t->z, 0, 2046);
         }},
        {"size 0", [](Loading *t) { t->begin(0); }},
        {"size over 16 MiB", [](Loading *t) { t->begin(MAP_DOWNLOAD_MAX + 1); }},
        {"state before the map is complete",
         [](Loading *t) {
             t->begin((uint32_t)t->z.size());
             t->chunks(t->z, 0, t->z.size() - 1);
             t->state(ctf_state(1));
         }},
        {"state without a map", [](Loading *t) { t->state(ctf_state(1)); }},
        {"data that does not expand", [&](Loading *t) { t->transfer(garbage, (uint32_t)garbage.size()); }},
        {"an image cut in half",
         [&](Loading *t) {
             std::vector<uint8_t> c = compress_bytes(half_image);
             t->transfer(c, (uint32_t)c.size());
         }},
        {"a malformed column",
         [&](Loading *t) {
             std::vector<uint8_t> c = compress_bytes(bad_header);
             t->transfer(c, (uint32_t)c.size());
         }},
        {"an image larger than the store", [&](Loading *t) { t->transfer(too_big, (uint32_t)too_big.size()); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ctest_reset_client();
        c.run(this);
        expect_failed();
        EXPECT_NE(client_state.screens.current, SCREEN_TEAM_MENU);
    }
}

TEST_F(Loading, ASecondMapBeginRestartsTheDownload)
{
    begin(999999);
    chunks(z, 0, 5000);
    feed_push_notice("from the first map");
    begin((uint32_t)z.size());
    EXPECT_EQ(map_download.received, 0u);
    EXPECT_EQ(map_download.size, z.size());
    EXPECT_FLOAT_EQ(map_download.progress, 0.0f);
    EXPECT_EQ(feed_chat.lines[0].text[0], 0); // the reset emptied the feeds
    chunks(z, 0, z.size());
    ASSERT_EQ(state(ctf_state(2)), 1);
    ASSERT_EQ(net_loading_finish(), 1);
    EXPECT_TRUE(ctest_fatals.empty());
    EXPECT_EQ(ctest_map_digest(), digest);
}

TEST_F(Loading, SpawnForAnAbsentSlotCreatesThePlayer)
{
    PlayerSpawnMsg s{};
    s.player = 9;
    s.weapon = WEAPON_SHOTGUN;
    s.team = 1;
    s.pos = Vec3{100, 120, 30};
    snprintf(s.name, sizeof s.name, "Newcomer");
    s.has_name = 1;
    feed(ctest_packet(msg_write_player_spawn, s));
    const PlayerRecord &p = player_table[9];
    EXPECT_EQ(p.present, 1);
    EXPECT_EQ(p.team, 1);
    EXPECT_EQ(p.weapon, WEAPON_SHOTGUN);
    EXPECT_EQ(p.tool, TOOL_GUN);
    EXPECT_EQ(p.kills, 0);
    EXPECT_EQ(p.colour, 0x7F7F7Fu);
    EXPECT_STREQ(p.name, "Newcomer");
    EXPECT_FLOAT_EQ(p.position.z, 30.0f - 2.4f);
    // Out-of-range or non-finite values are refused without a trace.
    PlayerSpawnMsg bad[4] = {s, s, s, s};
    bad[0].player = 40;
    bad[1].team = 5;
    bad[2].weapon = 3;
    bad[3].pos.x = NAN;
    for (PlayerSpawnMsg &b : bad) {
        b.player = b.player == 9 ? 10 : b.player;
        feed(ctest_packet(msg_write_player_spawn, b));
    }
    EXPECT_EQ(player_table[10].present, 0);
    PlayerLeftMsg left{9};
    feed(ctest_packet(msg_write_player_left, left));
    EXPECT_EQ(p.present, 0);
}

TEST_F(Loading, TerritoryStateClampsCountAndOwners)
{
    begin((uint32_t)z.size());
    chunks(z, 0, z.size());
    GameStateMsg m = ctf_state(4);
    m.game_mode = GAME_MODE_TC;
    m.tc.count = 16;
    for (int i = 0; i < 16; i++) {
        m.tc.territory[i].pos = Vec3{32.0f + 30 * i, 100, 39};
        m.tc.territory[i].owner = i % 4 == 3 ? 9 : i % 3; // 0, 1, 2 and a stray value
    }
    std::vector<uint8_t> p = ctest_packet(msg_write_game_state, m);
    p[220] = 40; // more territories than the table holds
    // Team names of 10 characters without terminator keep their first 9.
    std::memcpy(&p[224], "ABCDEFGHIJ", 10);
    ASSERT_EQ(feed(p), 1);
    EXPECT_EQ(mode_objective_count, 16u);
    EXPECT_EQ(world_object_count, 16);
    EXPECT_STREQ(client_state.team[0].name, "ABCDEFGHI");
    EXPECT_EQ(client_state.game_mode, GAME_MODE_TC);
    EXPECT_EQ(mode_objectives[1].owner, 1);
    EXPECT_EQ(mode_objectives[3].owner, TEAM_NEUTRAL);
    EXPECT_EQ(world_objects[0].model, model_table[MODEL_CP_B]);
    EXPECT_EQ(world_objects[1].model, model_table[MODEL_CP_G]);
    EXPECT_EQ(world_objects[2].model, model_table[MODEL_CP_N]);
    EXPECT_EQ(world_objects[3].model, model_table[MODEL_CP_N]);
    int bitmap;
    uint32_t colour;
    game_mode_hooks.map_icon(1, &bitmap, &colour);
    EXPECT_EQ(colour, 0xFF00C400u);
    game_mode_hooks.map_icon(2, &bitmap, &colour);
    EXPECT_EQ(colour, 0xFFFFFFu);
}

TEST_F(Loading, AGameStateWithANonFinitePositionIsRefused)
{
    begin((uint32_t)z.size());
    chunks(z, 0, z.size());
    GameStateMsg m = ctf_state(4);
    m.ctf.base[1].y = INFINITY;
    EXPECT_EQ(state(m), -1);
    expect_failed();
}

TEST(DisconnectText, ReasonsAndLostConnection)
{
    const std::pair<uint32_t, int> cases[] = {
        {REJECT_BANNED, LANG_REJECT_BANNED}, {REJECT_KICKED, LANG_REJECT_KICKED},
        {REJECT_WRONG_VERSION, LANG_REJECT_VERSION}, {REJECT_SERVER_FULL, LANG_REJECT_FULL},
        {0, LANG_DISCONNECTED}, {77, LANG_DISCONNECTED},
    };
    for (const auto &c : cases) EXPECT_EQ(net_disconnect_text(c.first), c.second) << c.first;
}

} // namespace
