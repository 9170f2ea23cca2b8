// Games played against the real server over 127.0.0.1 by scripted clients:
// edits and their echoes, movement, shooting, grenades, both modes and
// hostile input.
#include <cmath>
#include <cstring>
#include <random>

#include "common/byteio.h"
#include "common/game_enums.h"
#include "common/map_query.h"
#include "server/e2e_common.h"
#include "support/full_pool_map.h"
#include "support/test_game.h"

#define GROUND 40

class RulesE2E : public ServerE2E {
protected:
    // Clients live in the fixture so that a failed assertion still closes them.
    TestClient cl[8];
    std::vector<TestClient *> all; // the joined ones, serviced during waits

    void TearDown() override
    {
        for (TestClient &c : cl)
            tcl_abort(&c);
        ServerE2E::TearDown();
    }

    void serve(std::vector<std::string> config = {})
    {
        make_folder();
        write_config(config);
        ASSERT_TRUE(start()) << srv.output;
    }

    // A client that downloaded the map and joined; its spawn position in *at.
    // Those already in keep being serviced meanwhile, as real clients are.
    void enter(TestClient *c, int team, int weapon, const char *name, Vec3 *at = nullptr)
    {
        all.push_back(c);
        ASSERT_TRUE(tcl_connect_begin(c, nullptr, port));
        ASSERT_TRUE(tgm_wait_all(all, [c] { return c->connected || c->disconnected; }, 3000) && c->connected);
        ASSERT_TRUE(tgm_wait_all(all, [c] { return (c->map_done && c->have_state) || c->disconnected; },
                                 E2E_WAIT_MS) &&
                    c->map_done && c->have_state);
        tcl_join_request(c, team, weapon, name);
        ASSERT_TRUE(tgm_wait_all(all, [c] { return c->spawned || c->disconnected; }, E2E_WAIT_MS) && c->spawned);
        if (at) {
            ASSERT_TRUE(tgm_spawn_position(c, at));
        }
    }

    // cl[0] "Builder" (team 0) hopped to (64.5, 256.5) on the ground, and
    // cl[1] "Watcher" (team 1) who has seen him there; his position in *at.
    void builder_and_watcher(Vec3 *at)
    {
        enter(&cl[0], 0, 0, "Builder", at);
        enter(&cl[1], 1, 0, "Watcher");
        *at = tgm_hop(&cl[0], *at, Vec3{64.5f, 256.5f, at->z});
        ASSERT_TRUE(tgm_wait_seen_at(all, &cl[1], cl[0].own_id, *at, 0.1f, E2E_WAIT_MS));
    }

    // Lets a few ticks pass while every client is serviced.
    void settle(int ms = 150) { tgm_wait_all(all, [] { return false; }, ms); }

    // Downloads the map as a newcomer and loads it into this process's store.
    void load_current_map()
    {
        TestClient &n = cl[7];
        n = TestClient();
        ASSERT_TRUE(connect_and_download(&n));
        ASSERT_EQ(n.map_columns, 262144);
        ASSERT_EQ(map_load_image(n.map_image.data(), n.map_image.size()), 1);
        tcl_close(&n);
    }

    static std::vector<std::vector<uint8_t>> from(const TestClient *c, int id, int player)
    {
        std::vector<std::vector<uint8_t>> out;
        for (auto &m : tcl_messages(c, id))
            if (m.size() > 1 && m[1] == (uint8_t)player)
                out.push_back(m);
        return out;
    }
};

static BlockActionMsg edit(int kind, int x, int y, int z) { return BlockActionMsg{31, (uint8_t)kind, x, y, z}; }

TEST_F(RulesE2E, OnlyAppliedEditsAreEchoedAndNewcomersGetThem)
{
    serve();
    TestClient &a = cl[0], &b = cl[1];
    Vec3 at;
    ASSERT_NO_FATAL_FAILURE(builder_and_watcher(&at));
    int x = (int)at.x, y = (int)at.y;
    tgm_send(&a, msg_write_tool, ToolMsg{0, TOOL_BLOCK});
    tgm_send(&a, msg_write_block_action, edit(BLOCK_BUILD, x + 1, y, GROUND - 1)); // applied
    tgm_send(&a, msg_write_block_action, edit(BLOCK_BUILD, x + 9, y, GROUND - 1));  // out of reach
    tgm_send(&a, msg_write_block_action, edit(BLOCK_BUILD, 600, y, GROUND - 1));    // off the map
    tgm_send(&a, msg_write_block_action, edit(BLOCK_DIG, x + 1, y, GROUND));        // wrong tool
    tgm_send(&a, msg_write_block_action, edit(BLOCK_BLAST, x + 1, y, GROUND));      // clients never blast
    // Spend the rest of the stock on a line, then builds and lines are refused.
    tgm_send(&a, msg_write_block_line, BlockLineMsg{31, {x + 49, y + 1, GROUND - 1}, {x + 1, y + 1, GROUND - 1}});
    tgm_send(&a, msg_write_block_action, edit(BLOCK_BUILD, x + 1, y - 1, GROUND - 1));
    tgm_send(&a, msg_write_block_line, BlockLineMsg{31, {x, y - 1, GROUND - 1}, {x + 1, y - 1, GROUND - 1}});
    tgm_send(&a, msg_write_tool, ToolMsg{0, TOOL_SPADE});
    tgm_send(&a, msg_write_block_action, edit(BLOCK_DIG, x - 1, y, GROUND + 1));   // applied
    tgm_send(&a, msg_write_block_action, edit(BLOCK_DESTROY, x, y - 2, GROUND));   // applied, the marker
    for (TestClient *c : {&a, &b}) {
        ASSERT_TRUE(tgm_wait_count(c, MSG_BLOCK_ACTION, 3, E2E_WAIT_MS));
        settle();
        auto actions = tcl_messages(c, MSG_BLOCK_ACTION);
        ASSERT_EQ(actions.size(), 3u);
        const int expect[3][4] = {{BLOCK_BUILD, x + 1, y, GROUND - 1}, {BLOCK_DIG, x - 1, y, GROUND + 1},
                                  {BLOCK_DESTROY, x, y - 2, GROUND}};
        for (int i = 0; i < 3; i++) {
            BlockActionMsg m;
            ASSERT_EQ(msg_decode_block_action(actions[i].data(), actions[i].size(), &m), MSG_OK);
            EXPECT_EQ(m.player, (uint8_t)a.own_id); // the server's id, not the claimed 31
            EXPECT_EQ(m.kind, expect[i][0]);
            EXPECT_EQ(m.x, expect[i][1]);
            EXPECT_EQ(m.y, expect[i][2]);
            EXPECT_EQ(m.z, expect[i][3]);
        }
        auto lines = tcl_messages(c, MSG_BLOCK_LINE);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0][1], (uint8_t)a.own_id);
    }
    load_current_map();
    EXPECT_EQ(map_is_solid(x + 1, y, GROUND - 1), 1);
    EXPECT_EQ(map_is_solid(x + 9, y, GROUND - 1), 0);
    EXPECT_EQ(map_is_solid(x + 1, y - 1, GROUND - 1), 0);
    for (int i = x + 1; i <= x + 49; i++)
        EXPECT_EQ(map_is_solid(i, y + 1, GROUND - 1), 1) << i;
    EXPECT_EQ(map_is_solid(x - 1, y, GROUND), 0);
    EXPECT_EQ(map_is_solid(x - 1, y, GROUND + 2), 0);
    EXPECT_EQ(map_is_solid(x, y - 2, GROUND), 0);
    EXPECT_EQ(map_is_solid(x + 1, y, GROUND), 1);
}

// A line dragged through the builder: the cell his body fills at its height
// stays empty on the server and for everyone, who get each built block as a
// build of its own (a relayed line would be rebuilt whole from its ends);
// only the built blocks are paid for. He stands at (64.5, 256.5) with his eye
// 2.4 above the ground: his body takes the cells within 0.95 of the eye
// across and down to 2.75 below it, so cell (64, 256) at the height of the
// line and no cell beside it.
TEST_F(RulesE2E, ALineThroughTheBuilderLeavesHisCellEmptyForEveryone)
{
    serve();
    TestClient &a = cl[0], &b = cl[1];
    Vec3 at;
    ASSERT_NO_FATAL_FAILURE(builder_and_watcher(&at));
    const int x = (int)at.x, y = (int)at.y;
    ASSERT_EQ(x, 64);
    ASSERT_EQ(y, 256);
    tgm_send(&a, msg_write_tool, ToolMsg{0, TOOL_BLOCK});
    tgm_send(&a, msg_write_block_line, BlockLineMsg{31, {x, y - 2, GROUND - 1}, {x, y + 2, GROUND - 1}});
    // 46 blocks are left: a line of 46 takes them all, and a single block is then refused.
    tgm_send(&a, msg_write_block_line, BlockLineMsg{31, {x + 46, y + 1, GROUND - 1}, {x + 1, y + 1, GROUND - 1}});
    tgm_send(&a, msg_write_block_action, edit(BLOCK_BUILD, x - 1, y, GROUND - 1));
    const int built[4] = {y + 2, y + 1, y - 1, y - 2}; // the last cell of the line first, as a line is built
    for (TestClient *c : {&a, &b}) {
        ASSERT_TRUE(tgm_wait_count(c, MSG_BLOCK_LINE, 1, E2E_WAIT_MS));
        settle();
        auto actions = tcl_messages(c, MSG_BLOCK_ACTION);
        ASSERT_EQ(actions.size(), 4u);
        for (int i = 0; i < 4; i++) {
            BlockActionMsg m;
            ASSERT_EQ(msg_decode_block_action(actions[i].data(), actions[i].size(), &m), MSG_OK);
            EXPECT_EQ(m.player, (uint8_t)a.own_id);
            EXPECT_EQ(m.kind, BLOCK_BUILD);
            EXPECT_EQ(m.x, x);
            EXPECT_EQ(m.y, built[i]);
            EXPECT_EQ(m.z, GROUND - 1);
        }
        auto lines = tcl_messages(c, MSG_BLOCK_LINE);
        ASSERT_EQ(lines.size(), 1u);
        BlockLineMsg l;
        ASSERT_EQ(msg_decode_block_line(lines[0].data(), lines[0].size(), &l), MSG_OK);
        EXPECT_EQ(l.start[0], x + 46);
    }
    load_current_map();
    for (int j = y - 3; j <= y + 3; j++)
        EXPECT_EQ(map_is_solid(x, j, GROUND - 1), j != y && j >= y - 2 && j <= y + 2) << j;
    for (int z = GROUND - 6; z < GROUND; z++) EXPECT_EQ(map_is_solid(x, y, z), 0) << z;
    EXPECT_EQ(map_is_solid(x - 1, y, GROUND - 1), 0);
    for (int i = x + 1; i <= x + 46; i++) EXPECT_EQ(map_is_solid(i, y + 1, GROUND - 1), 1) << i;
    EXPECT_EQ(quit(), 0) << srv.output;
}

// A map file that fills the column pool: edits that need a word more are
// refused like bad ones (neither applied nor echoed, the stock kept), those
// that fit still go through, and the server serves on.
TEST_F(RulesE2E, EditsAFullPoolCannotStoreAreNeitherAppliedNorEchoed)
{
    static_assert(FULL_POOL_GROUND == GROUND, "the map's ground is the tests' ground");
    make_folder();
    const std::vector<uint8_t> img = full_pool_image();
    tsv_write_file(srv.dir + "/vxl/full.vxl", std::string(img.begin(), img.end()));
    write_config({}, true, "full");
    ASSERT_TRUE(start()) << srv.output;
    TestClient &a = cl[0], &b = cl[1];
    Vec3 at;
    ASSERT_NO_FATAL_FAILURE(builder_and_watcher(&at));
    const int x = (int)at.x, y = (int)at.y;
    tgm_send(&a, msg_write_tool, ToolMsg{0, TOOL_BLOCK});
    tgm_send(&a, msg_write_block_action, edit(BLOCK_BUILD, x + 1, y, GROUND - 1));  // fits
    tgm_send(&a, msg_write_block_action, edit(BLOCK_BUILD, x + 1, y - 1, GROUND - 2)); // in the air
    tgm_send(&a, msg_write_block_line, BlockLineMsg{31, {x - 2, y + 1, GROUND - 2}, {x, y + 1, GROUND - 2}});
    tgm_send(&a, msg_write_block_line, BlockLineMsg{31, {x - 2, y + 2, GROUND - 1}, {x, y + 2, GROUND - 1}}); // fits
    tgm_send(&a, msg_write_tool, ToolMsg{0, TOOL_SPADE});
    tgm_send(&a, msg_write_block_action, edit(BLOCK_DESTROY, x, y - 2, GROUND + 1)); // a cave
    tgm_send(&a, msg_write_block_action, edit(BLOCK_DIG, x - 1, y, GROUND + 1));
    tgm_send(&a, msg_write_block_action, edit(BLOCK_DESTROY, x + 1, y, GROUND - 1)); // fits: the marker
    for (TestClient *c : {&a, &b}) {
        ASSERT_TRUE(tgm_wait_count(c, MSG_BLOCK_ACTION, 2, E2E_WAIT_MS));
        settle();
        auto actions = tcl_messages(c, MSG_BLOCK_ACTION);
        ASSERT_EQ(actions.size(), 2u);
        const int expect[2] = {BLOCK_BUILD, BLOCK_DESTROY};
        for (int i = 0; i < 2; i++) {
            BlockActionMsg m;
            ASSERT_EQ(msg_decode_block_action(actions[i].data(), actions[i].size(), &m), MSG_OK);
            EXPECT_EQ(m.kind, expect[i]);
            EXPECT_EQ(m.x, x + 1);
            EXPECT_EQ(m.y, y);
            EXPECT_EQ(m.z, GROUND - 1);
        }
        auto lines = tcl_messages(c, MSG_BLOCK_LINE);
        ASSERT_EQ(lines.size(), 1u);
        BlockLineMsg l;
        ASSERT_EQ(msg_decode_block_line(lines[0].data(), lines[0].size(), &l), MSG_OK);
        EXPECT_EQ(l.end[2], GROUND - 1);
    }
    // A newcomer's map: the server's, with only what was echoed.
    load_current_map();
    EXPECT_EQ(map_is_solid(x + 1, y - 1, GROUND - 2), 0);
    for (int i = x - 2; i <= x; i++) {
        EXPECT_EQ(map_is_solid(i, y + 1, GROUND - 2), 0) << i;
        EXPECT_EQ(map_is_solid(i, y + 2, GROUND - 1), 1) << i;
    }
    EXPECT_EQ(map_is_solid(x, y - 2, GROUND + 1), 1);
    for (int z = GROUND; z <= GROUND + 2; z++) EXPECT_EQ(map_is_solid(x - 1, y, z), 1) << z;
    for (int dx = -1; dx <= 1; dx++)
        for (int dy = -1; dy <= 1; dy++) EXPECT_EQ(map_is_solid(x + dx, y + dy, GROUND), 1);
    EXPECT_EQ(map_is_solid(x + 1, y, GROUND - 1), 0);
    // Refused builds kept the stock: 47 blocks remain for one more line.
    tgm_send(&a, msg_write_tool, ToolMsg{0, TOOL_BLOCK});
    settle();
    tgm_send(&a, msg_write_block_line, BlockLineMsg{31, {x + 48, y - 3, GROUND - 1}, {x + 2, y - 3, GROUND - 1}});
    ASSERT_TRUE(tgm_wait_all(all, [&] { return tgm_count(&b, MSG_BLOCK_LINE) >= 2; }, E2E_WAIT_MS));
    EXPECT_EQ(quit(), 0) << srv.output;
}

TEST_F(RulesE2E, PositionsAreCorrectedKeysRelayedAndFloodersKicked)
{
    serve();
    TestClient &a = cl[0], &b = cl[1];
    Vec3 at;
    enter(&a, 0, 0, "Mover", &at);
    enter(&b, 0, 0, "Watcher");
    settle();
    tgm_send(&a, msg_write_position, PositionMsg{{at.x + 3.5f, at.y, at.z}});
    ASSERT_TRUE(tgm_wait_count(&a, MSG_POSITION, 1, E2E_WAIT_MS));
    PositionMsg back;
    auto pos = tcl_messages(&a, MSG_POSITION);
    ASSERT_EQ(msg_decode_position(pos[0].data(), pos[0].size(), &back), MSG_OK);
    EXPECT_NEAR(back.pos.x, at.x, 0.01f);
    EXPECT_NEAR(back.pos.y, at.y, 0.01f);
    tgm_send(&a, msg_write_position, PositionMsg{{at.x + 2.9f, at.y, at.z}});
    tgm_send(&a, msg_write_move_keys, MoveKeysMsg{31, 1u << KEY_FORWARD | 1u << KEY_SPRINT});
    tgm_send(&a, msg_write_fire_keys, FireKeysMsg{31, FIRE_SECONDARY});
    ASSERT_TRUE(tgm_wait_count(&b, MSG_FIRE_KEYS, 1, E2E_WAIT_MS));
    settle();
    EXPECT_EQ(tgm_count(&a, MSG_POSITION), 1u); // 2.9 blocks is accepted
    auto keys = from(&b, MSG_MOVE_KEYS, a.own_id);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(le_get_u32(&keys[0][2]), 1u << KEY_FORWARD | 1u << KEY_SPRINT);
    auto fire = from(&b, MSG_FIRE_KEYS, a.own_id);
    ASSERT_EQ(fire.size(), 1u);
    EXPECT_EQ(le_get_u32(&fire[0][2]), (uint32_t)FIRE_SECONDARY);
    EXPECT_TRUE(from(&a, MSG_MOVE_KEYS, a.own_id).empty()); // not back to the sender

    // Twelve chat lines within one second: eleven relayed, the twelfth kicks.
    tgm_wait_all(all, [] { int ms = tgm_ms_into_second(); return ms > 50 && ms < 600; }, 2000);
    ChatMsg chat;
    memset(&chat, 0, sizeof chat);
    strcpy(chat.text, "spam");
    for (int i = 0; i < 12; i++)
        tgm_send(&a, msg_write_chat, chat);
    // A kick resets the peer without notice: the others learn of it.
    ASSERT_TRUE(tgm_wait_all(all, [&b] { return tgm_count(&b, MSG_PLAYER_LEFT) >= 1; }, E2E_WAIT_MS));
    EXPECT_EQ(tcl_messages(&b, MSG_PLAYER_LEFT)[0][1], (uint8_t)a.own_id);
    size_t relayed = 0;
    for (auto &m : tcl_messages(&b, MSG_CHAT))
        if (m[1] == (uint8_t)a.own_id)
            relayed++;
    EXPECT_EQ(relayed, 11u);
}

// A client left unserviced for seconds (a stalled frame on a busy machine)
// while another enters: its acknowledgements come late, round trips jump,
// and still the next correction reaches it, as no end of its link thins out
// unreliable packets.
TEST_F(RulesE2E, ACorrectionReachesAClientThatStalledWhileAnotherEntered)
{
    serve();
    TestClient &a = cl[0], &b = cl[1];
    Vec3 at;
    enter(&a, 0, 0, "Stalled", &at);
    ASSERT_TRUE(connect_and_download(&b));
    ASSERT_TRUE(tcl_join(&b, 0, 0, "Newcomer"));
    all.push_back(&b);
    tcl_service(&b, 4000);
    settle(300);
    tgm_send(&a, msg_write_position, PositionMsg{{at.x + 3.5f, at.y, at.z}});
    ASSERT_TRUE(tgm_wait_all(all, [&] { return tgm_count(&a, MSG_POSITION) >= 1; }, E2E_WAIT_MS));
    PositionMsg back;
    auto pos = tcl_messages(&a, MSG_POSITION);
    ASSERT_EQ(msg_decode_position(pos[0].data(), pos[0].size(), &back), MSG_OK);
    EXPECT_NEAR(back.pos.x, at.x, 0.01f);
    EXPECT_NEAR(back.pos.y, at.y, 0.01f);
}

TEST_F(RulesE2E, ChatGoesToTheTeamOrToAllAndCommandsStayWithTheServer)
{
    serve();
    TestClient &a = cl[0], &b = cl[1], &c = cl[2];
    enter(&a, 0, 0, "Talker");
    enter(&b, 0, 0, "Mate");
    enter(&c, 1, 0, "Enemy");
    auto say = [&a](int type, const char *text) {
        ChatMsg m;
        memset(&m, 0, sizeof m);
        m.player = 31;
        m.chat_type = (uint8_t)type;
        strcpy(m.text, text);
        tgm_send(&a, msg_write_chat, m);
    };
    say(CHAT_TEAM, "team line");
    say(CHAT_SYSTEM, "forged notice");
    say(CHAT_ALL, "/help");
    say(CHAT_ALL, "all line");
    ASSERT_TRUE(tgm_wait_all(all, [&] { return tgm_count(&c, MSG_CHAT) >= 1 && tgm_count(&b, MSG_CHAT) >= 2; },
                             E2E_WAIT_MS));
    settle();
    auto text_of = [](const std::vector<uint8_t> &m) { return std::string((const char *)&m[3]); };
    auto lines_b = tcl_messages(&b, MSG_CHAT), lines_c = tcl_messages(&c, MSG_CHAT);
    ASSERT_EQ(lines_b.size(), 2u);
    EXPECT_EQ(text_of(lines_b[0]), "team line");
    EXPECT_EQ(lines_b[0][1], (uint8_t)a.own_id);
    EXPECT_EQ(lines_b[0][2], CHAT_TEAM);
    EXPECT_EQ(text_of(lines_b[1]), "all line");
    ASSERT_EQ(lines_c.size(), 1u);
    EXPECT_EQ(text_of(lines_c[0]), "all line");
    bool helped = false;
    for (auto &m : tcl_messages(&a, MSG_CHAT))
        helped |= m[1] == 255 && m[2] == CHAT_SYSTEM && text_of(m).rfind("General Commands", 0) == 0;
    EXPECT_TRUE(helped);
}

TEST_F(RulesE2E, HitsHurtThenKillWithTheirKillTypesAndTheDeadRespawnAtTheWave)
{
    serve();
    TestClient &a = cl[0], &b = cl[1], &c = cl[2];
    Vec3 pa, pb, pc;
    enter(&a, 0, 0, "Shooter", &pa);
    enter(&b, 1, 0, "Target", &pb);
    enter(&c, 1, 0, "Digger", &pc);
    settle();
    // Shooter walks up to 10 blocks before the target, the digger next to him.
    pa = tgm_hop(&a, pa, Vec3{pb.x - 10.0f, pb.y, pb.z});
    pc = tgm_hop(&c, pc, Vec3{pa.x - 1.5f, pa.y, pa.z});
    tgm_face(&a, pa, pb);
    ASSERT_TRUE(tgm_wait_seen_at(all, &b, a.own_id, pa, 0.1f, E2E_WAIT_MS));
    ASSERT_TRUE(tgm_wait_seen_at(all, &b, c.own_id, pc, 0.1f, E2E_WAIT_MS));
    tgm_send(&a, msg_write_fire_keys, FireKeysMsg{0, FIRE_PRIMARY});
    tgm_send(&a, msg_write_hit_claim, HitClaimMsg{(uint8_t)b.own_id, HIT_TORSO});
    ASSERT_TRUE(tgm_wait_count(&b, MSG_HIT, 1, E2E_WAIT_MS));
    auto hits = tcl_messages(&b, MSG_HIT);
    ASSERT_EQ(hits[0].size(), 15u);
    EXPECT_EQ(hits[0][1], 100 - 49);
    EXPECT_EQ(hits[0][2], 1); // with the shooter's position
    tgm_send(&a, msg_write_hit_claim, HitClaimMsg{(uint8_t)b.own_id, HIT_HEAD});
    for (TestClient *t : {&a, &b, &c})
        ASSERT_TRUE(tgm_wait_count(t, MSG_KILL, 1, E2E_WAIT_MS));
    auto kill = tcl_messages(&c, MSG_KILL)[0];
    EXPECT_EQ(kill[1], (uint8_t)b.own_id);
    EXPECT_EQ(kill[2], (uint8_t)a.own_id);
    EXPECT_EQ(kill[3], KILL_HEAD);
    int wait = kill[4];
    EXPECT_GE(wait, 1);
    EXPECT_LE(wait, 30);

    // The digger turns on the shooter with the spade: three blows.
    tgm_face(&c, pc, pa);
    tgm_send(&c, msg_write_tool, ToolMsg{0, TOOL_SPADE});
    tgm_send(&c, msg_write_fire_keys, FireKeysMsg{0, FIRE_PRIMARY});
    for (int i = 0; i < 3; i++)
        tgm_send(&c, msg_write_hit_claim, HitClaimMsg{(uint8_t)a.own_id, HIT_SPADE});
    ASSERT_TRUE(tgm_wait_count(&b, MSG_KILL, 2, E2E_WAIT_MS));
    auto spade = tcl_messages(&b, MSG_KILL)[1];
    EXPECT_EQ(spade[1], (uint8_t)a.own_id);
    EXPECT_EQ(spade[2], (uint8_t)c.own_id);
    EXPECT_EQ(spade[3], KILL_SPADE);

    // The target comes back at the wave, announced with the short spawn form.
    auto respawned = [&b] {
        for (auto &m : tcl_messages(&b, MSG_PLAYER_SPAWN))
            if (m[1] == (uint8_t)b.own_id && m.size() == 16)
                return true;
        return false;
    };
    EXPECT_TRUE(tgm_wait_all(all, respawned, (wait + 3) * 1000));
}

TEST_F(RulesE2E, AHighFallKills)
{
    serve();
    TestClient &a = cl[0], &b = cl[1];
    Vec3 at;
    enter(&a, 0, 0, "Faller", &at);
    enter(&b, 1, 0, "Watcher");
    settle();
    tgm_hop(&a, at, Vec3{at.x, at.y, at.z - 30.0f});
    ASSERT_TRUE(tgm_wait_all(all, [&b] { return tgm_count(&b, MSG_KILL) >= 1; }, E2E_WAIT_MS));
    auto kill = tcl_messages(&b, MSG_KILL)[0];
    EXPECT_EQ(kill[1], (uint8_t)a.own_id);
    EXPECT_EQ(kill[3], KILL_FALL);
}

TEST_F(RulesE2E, AGrenadeBlastsAHoleAndHurtsThoseInSight)
{
    serve();
    TestClient &a = cl[0], &b = cl[1];
    Vec3 pa, pb;
    enter(&a, 0, 0, "Thrower", &pa);
    enter(&b, 1, 0, "Target", &pb);
    settle();
    pb = tgm_hop(&b, pb, Vec3{pa.x + 4.0f, pa.y, pa.z});
    // Thrown at the feet: a thrown grenade flies at 32 blocks a second.
    tgm_send(&a, msg_write_orient, OrientMsg{{0.05f, 0.0f, 1.0f}});
    ASSERT_TRUE(tgm_wait_seen_at(all, &a, b.own_id, pb, 0.1f, E2E_WAIT_MS));
    tgm_send(&a, msg_write_grenade, GrenadeMsg{31, 0.8f, {0, 0, 0}, {0, 0, 0}});
    ASSERT_TRUE(tgm_wait_count(&b, MSG_GRENADE, 1, E2E_WAIT_MS));
    GrenadeMsg g;
    auto relayed = tcl_messages(&b, MSG_GRENADE)[0];
    ASSERT_EQ(msg_decode_grenade(relayed.data(), relayed.size(), &g), MSG_OK);
    EXPECT_EQ(g.player, (uint8_t)a.own_id);
    EXPECT_NEAR(g.pos.x, pa.x, 0.5f); // the server's eye
    ASSERT_TRUE(tgm_wait_all(all, [&] { return tgm_count(&a, MSG_BLOCK_ACTION) >= 1 && tgm_count(&b, MSG_BLOCK_ACTION) >= 1; },
                             E2E_WAIT_MS));
    BlockActionMsg blast;
    auto ba = tcl_messages(&b, MSG_BLOCK_ACTION)[0];
    ASSERT_EQ(msg_decode_block_action(ba.data(), ba.size(), &blast), MSG_OK);
    EXPECT_EQ(blast.kind, BLOCK_BLAST);
    EXPECT_EQ(blast.player, (uint8_t)a.own_id);
    EXPECT_NEAR(blast.x, pa.x, 3.0f);
    EXPECT_NEAR(blast.y, pa.y, 3.0f);
    settle();
    EXPECT_TRUE(tgm_count(&b, MSG_HIT) >= 1 || tgm_count(&b, MSG_KILL) >= 1);
    load_current_map();
    int holes = 0;
    for (int dx = -1; dx <= 1; dx++)
        for (int dy = -1; dy <= 1; dy++)
            for (int dz = -1; dz <= 1; dz++)
                holes += blast.z + dz >= 0 && !map_is_solid(blast.x + dx, blast.y + dy, blast.z + dz);
    EXPECT_EQ(holes, blast.z >= 1 ? 27 : 18);
    EXPECT_EQ(map_is_solid(blast.x, blast.y, GROUND), blast.z + 1 >= GROUND ? 0 : 1);
}

TEST_F(RulesE2E, CaptureTheFlagScoresMovesTheIntelAndTheLimitResetsTheRound)
{
    serve({"caplimit = 2"});
    TestClient &a = cl[0], &b = cl[1];
    Vec3 at;
    enter(&a, 0, 0, "Runner", &at);
    enter(&b, 1, 0, "Watcher");
    for (int round = 1; round <= 2; round++) {
        GameStateMsg gs;
        TestClient &look = cl[6];
        look = TestClient();
        ASSERT_TRUE(connect_and_download(&look));
        ASSERT_TRUE(tgm_game_state(&look, &gs));
        tcl_close(&look);
        EXPECT_EQ(gs.game_mode, GAME_MODE_CTF);
        EXPECT_EQ(gs.ctf.score[0], (uint32_t)(round - 1));
        EXPECT_EQ(gs.ctf.capture_limit, 2u);
        Vec3 intel = gs.ctf.intel[1], base = gs.ctf.base[0];
        at = tgm_hop(&a, at, Vec3{intel.x, intel.y, intel.z - 2.25f});
        ASSERT_TRUE(tgm_wait_all(all, [&b, round] { return tgm_count(&b, MSG_INTEL_TAKEN) >= (size_t)round; },
                                 E2E_WAIT_MS));
        at = tgm_hop(&a, at, Vec3{base.x, base.y, base.z - 2.25f});
        ASSERT_TRUE(tgm_wait_all(all, [&b, round] { return tgm_count(&b, MSG_INTEL_SCORED) >= (size_t)round; },
                                 E2E_WAIT_MS));
        auto scored = tcl_messages(&b, MSG_INTEL_SCORED).back();
        EXPECT_EQ(scored[1], (uint8_t)a.own_id);
        EXPECT_EQ(scored[2], round == 2 ? 1 : 0);
        settle();
        auto moves = tcl_messages(&b, MSG_OBJECTIVE_MOVE);
        ASSERT_FALSE(moves.empty());
        EXPECT_EQ(moves.back()[1], round == 2 ? 3 : 1); // the intel, or all four after a win
        if (round == 2) {
            ASSERT_TRUE(tgm_spawn_position(&a, &at));
        }
    }
    GameStateMsg gs;
    TestClient &look = cl[6];
    look = TestClient();
    ASSERT_TRUE(connect_and_download(&look));
    ASSERT_TRUE(tgm_game_state(&look, &gs));
    EXPECT_EQ(gs.ctf.score[0], 0u);
    EXPECT_EQ(gs.ctf.score[1], 0u);
    tcl_close(&look);
}

TEST_F(RulesE2E, StandingOnATerritoryCapturesIt)
{
    serve({"gamemode = tc"});
    TestClient *p = cl;
    Vec3 at[3];
    for (int i = 0; i < 3; i++)
        enter(&p[i], 0, 0, "Taker", &at[i]);
    GameStateMsg gs;
    ASSERT_TRUE(tgm_game_state(&p[0], &gs));
    ASSERT_EQ(gs.game_mode, GAME_MODE_TC);
    ASSERT_EQ(gs.tc.count, 7u); // all land
    ASSERT_EQ(gs.tc.territory[3].owner, TEAM_NEUTRAL);
    Vec3 t = gs.tc.territory[3].pos;
    for (int i = 0; i < 3; i++)
        tgm_hop(&p[i], at[i], Vec3{t.x + (float)i, t.y, t.z - 2.25f});
    // Rate 3 fills the progress in about 6.7 s; the taken territory's bar is
    // then announced empty, with green (the new owner's enemy) to attack it.
    ASSERT_TRUE(tgm_wait_all(all, [&] { return tgm_count(&p[0], MSG_TERRITORY_TAKEN) >= 1; }, 20000));
    settle();
    std::vector<std::vector<uint8_t>> before, after;
    bool taken_seen = false;
    for (auto &m : p[0].messages) {
        if (m[0] == MSG_TERRITORY_TAKEN) {
            taken_seen = true;
            EXPECT_EQ(m, (std::vector<uint8_t>{MSG_TERRITORY_TAKEN, 3, 0, TEAM_BLUE}));
        } else if (m[0] == MSG_CAPTURE_PROGRESS) {
            (taken_seen ? after : before).push_back(m);
        }
    }
    // The rate rose as the takers arrived (they may come in separate ticks).
    ASSERT_FALSE(before.empty());
    for (auto &m : before) {
        EXPECT_EQ(m[1], 3);
        EXPECT_EQ(m[2], TEAM_BLUE);
    }
    EXPECT_EQ((int8_t)before.back()[3], 3);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0], (std::vector<uint8_t>{MSG_CAPTURE_PROGRESS, 3, TEAM_GREEN, 0, 0, 0, 0, 0}));
}

// Every message id with bad lengths, random bytes and hostile values, from an
// unjoined connection, a spectator and a team player: the server stays up,
// relays nothing it refused and its map stays whole.
TEST_F(RulesE2E, HostileInputIsRefusedAndTheMapStaysWhole)
{
    serve();
    TestClient &watcher = cl[0], &fuzz = cl[1], &player = cl[2];
    enter(&watcher, 1, 0, "Watcher");
    all.push_back(&fuzz);
    ASSERT_TRUE(connect_and_download(&fuzz));
    const std::vector<uint8_t> original = fuzz.map_image;
    std::mt19937 rng(1234);
    const float nan = std::nanf(""), huge = 3e38f, inf = INFINITY;

    auto noise = [&](int id, size_t len) {
        std::vector<uint8_t> m(len);
        for (auto &v : m)
            v = (uint8_t)rng();
        if (len > 0)
            m[0] = (uint8_t)id;
        return m;
    };
    // Lengths 0, 1, one short of the message, one past its limit, and more.
    auto bad_lengths = [&](TestClient *c) {
        for (int id = 0; id < 40; id++) {
            int fixed = msg_min_size(id, MSG_TO_SERVER), limit = msg_limit(id, MSG_TO_SERVER);
            std::vector<size_t> lengths = {0, 1, 2, 200, 1100};
            if (fixed > 0)
                lengths.push_back((size_t)fixed - 1);
            if (limit > 0)
                lengths.push_back((size_t)limit + 1);
            for (size_t len : lengths)
                if (len != (size_t)fixed || id == MSG_PLAYER_INFO)
                    tcl_send(c, noise(id, len));
        }
        for (int id : {255, 128, 31})
            tcl_send(c, noise(id, 13));
    };
    // Random bytes at the exact sizes (no joins).
    auto random_records = [&](TestClient *c, int rounds) {
        for (int r = 0; r < rounds; r++)
            for (int id = 0; id <= 30; id++) {
                int fixed = msg_min_size(id, MSG_TO_SERVER);
                if (fixed > 0 && id != MSG_PLAYER_INFO && id != MSG_REJOIN && id != MSG_CHAT)
                    tcl_send(c, noise(id, (size_t)fixed));
            }
    };
    auto hostile_values = [&](TestClient *c, bool grenades) {
        const float fs[] = {nan, huge, -huge, inf, -1e-30f, 600.0f};
        for (float f : fs) {
            tgm_send(c, msg_write_position, PositionMsg{{f, f, f}});
            tgm_send(c, msg_write_orient, OrientMsg{{f, f, f}});
            if (grenades)
                tgm_send(c, msg_write_grenade, GrenadeMsg{0, f, {f, f, f}, {f, f, f}});
        }
        const int ints[] = {-1, 512, 63, 64, INT32_MAX, INT32_MIN};
        for (int v : ints) {
            tgm_send(c, msg_write_block_action, BlockActionMsg{0, BLOCK_DIG, v, v, v});
            tgm_send(c, msg_write_block_action, BlockActionMsg{0, BLOCK_BUILD, 100, 200, v});
            tgm_send(c, msg_write_block_line, BlockLineMsg{0, {v, 0, 0}, {0, v, v}});
        }
        for (int k = 0; k < 6; k++)
            tgm_send(c, msg_write_block_action, BlockActionMsg{0, (uint8_t)(3 + k * 40), 100, 200, 40});
        for (int v : {2, 3, 7, 254})
            tcl_send(c, {MSG_TEAM_CHANGE, 0, (uint8_t)v});
        for (int v : {3, 4, 255})
            tcl_send(c, {MSG_WEAPON_CHANGE, 0, (uint8_t)v});
        for (int v : {4, 5, 255})
            tcl_send(c, {MSG_TOOL, 0, (uint8_t)v});
        for (int v : {32, 40, 255})
            tcl_send(c, {MSG_HIT, (uint8_t)v, 0});
        tcl_send(c, {MSG_HIT, 0, 9});
    };
    auto relayed_from = [&](const TestClient *c, std::initializer_list<int> ids) {
        size_t n = 0;
        for (int id : ids)
            n += from(&watcher, id, c->own_id).size();
        return n;
    };

    // Not joined: nothing of it may reach anybody.
    bad_lengths(&fuzz);
    random_records(&fuzz, 5);
    hostile_values(&fuzz, true);
    tgm_wait_all(all, [] { return false; }, 500);
    ASSERT_FALSE(fuzz.disconnected);
    EXPECT_EQ(relayed_from(&fuzz, {3, 4, 6, 7, 8, 13, 14, 17, 27, 28}), 0u);
    EXPECT_EQ(tgm_count(&watcher, MSG_KILL), 0u);

    // A spectator may look around, but never edits or fights.
    ASSERT_TRUE(tcl_join(&fuzz, -1, 0, "Fuzz"));
    bad_lengths(&fuzz);
    hostile_values(&fuzz, true);
    tgm_wait_all(all, [] { return false; }, 500);
    EXPECT_EQ(relayed_from(&fuzz, {6, 13, 14}), 0u);
    // A team or weapon change still costs him his life (kill types 5 and 6);
    // no hit, shot or blast ever does.
    size_t fought = tgm_count(&watcher, MSG_HIT);
    for (const auto &k : tcl_messages(&watcher, MSG_KILL))
        if (k.size() < 4 || k[3] < 5 || k[3] > 6)
            fought++;
    EXPECT_EQ(fought, 0u);

    // A team player's hostile values are refused as well.
    enter(&player, 0, 0, "Fuzz2");
    bad_lengths(&player);
    hostile_values(&player, false);
    tgm_wait_all(all, [] { return false; }, 500);
    EXPECT_EQ(relayed_from(&player, {13, 14}), 0u);
    EXPECT_EQ(tgm_count(&watcher, MSG_BLOCK_ACTION), 0u);
    {
        TestClient &late = cl[6];
        ASSERT_TRUE(connect_and_download(&late));
        EXPECT_TRUE(late.map_image == original);
        tcl_close(&late);
    }

    // Random records from a team player may be fair play; the server must
    // simply survive them with a whole map.
    hostile_values(&player, true);
    random_records(&player, 20);
    tgm_wait_all(all, [] { return false; }, 4000); // grenades go off
    TestClient &late = cl[7];
    ASSERT_TRUE(connect_and_download(&late));
    EXPECT_EQ(late.map_columns, 262144);
    EXPECT_EQ(map_validate_image(late.map_image.data(), late.map_image.size(), nullptr), 1);
    tcl_close(&late);
}
