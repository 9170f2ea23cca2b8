// The bots' play without a network: legal play stays inside what the server
// accepts without sanction, hostile play never breaks the bot itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "bot_play.h"
#include "common/game_enums.h"
#include "common/protocol.h"

static std::vector<uint8_t> spawn_of(int id, float x, float y, float z)
{
    PlayerSpawnMsg m;
    memset(&m, 0, sizeof m);
    m.player = (uint8_t)id;
    m.team = 1;
    m.pos = Vec3{x, y, z};
    uint8_t buf[64];
    int n = msg_write_player_spawn(buf, sizeof buf, &m);
    return std::vector<uint8_t>(buf, buf + n);
}

static std::vector<uint8_t> state_for(int id)
{
    GameStateMsg m;
    memset(&m, 0, sizeof m);
    m.player = (uint8_t)id;
    uint8_t buf[MSG_MAX_SIZE];
    int n = msg_write_game_state(buf, sizeof buf, &m);
    return std::vector<uint8_t>(buf, buf + n);
}

// A bot that has its id and has spawned at (100.5, 200.5, 40).
static void ready(BotState *b, BotRng *r, int hostile)
{
    bot_init(b, hostile, 0, r);
    auto st = state_for(5);
    bot_on_message(b, st.data(), st.size());
    bot_join_message(b, r, "tester");
    auto sp = spawn_of(5, 100.5f, 200.5f, 40.0f);
    bot_on_message(b, sp.data(), sp.size());
    // Somebody else in play, to shoot at.
    WorldUpdateMsg w;
    memset(&w, 0, sizeof w);
    w.slot[5].pos = Vec3{100.5f, 200.5f, 40.0f};
    w.slot[9].pos = Vec3{110.0f, 190.0f, 38.0f};
    uint8_t buf[MSG_MAX_SIZE];
    int n = msg_write_world_update(buf, sizeof buf, &w);
    bot_on_message(b, buf, (size_t)n);
}

static bool flood_counted(const std::vector<uint8_t> &m, int tool)
{
    if (m[0] == MSG_CHAT || m[0] == MSG_BLOCK_LINE)
        return true;
    return m[0] == MSG_BLOCK_ACTION && tool != TOOL_GUN;
}

TEST(BotPlay, LegalPlayIsWellFormedInReachAndUnderTheFloodLimit)
{
    BotRng r;
    bot_rng_seed(&r, 42);
    BotState b;
    ready(&b, &r, 0);
    ASSERT_EQ(b.id, 5);
    ASSERT_TRUE(b.alive);
    int tool = TOOL_GUN;
    std::vector<int64_t> flood_times;
    int kinds[MSG_COUNT] = {};
    for (int64_t t = 0; t < 120000; t += 7) {
        std::vector<BotMessage> out;
        bot_step(&b, &r, t, &out);
        for (const auto &m : out) {
            ASSERT_FALSE(m.bytes.empty());
            int id = m.bytes[0];
            ASSERT_EQ(msg_check_length(id, MSG_TO_SERVER, m.bytes.size()), MSG_OK) << id;
            ASSERT_EQ(m.reliable, msg_info(id)->reliable != 0) << id;
            kinds[id]++;
            if (id == MSG_TOOL)
                tool = m.bytes[2];
            if (flood_counted(m.bytes, tool))
                flood_times.push_back(t);
            if (id == MSG_BLOCK_ACTION) {
                BlockActionMsg a;
                ASSERT_EQ(msg_decode_block_action(m.bytes.data(), m.bytes.size(), &a), MSG_OK);
                // Within reach (4) of the eye on each axis, inside the map.
                EXPECT_LE(std::fabs(a.x + 0.5f - 100.5f), 4.0f);
                EXPECT_LE(std::fabs(a.y + 0.5f - 200.5f), 4.0f);
                EXPECT_LE(std::fabs(a.z + 0.5f - 40.0f), 4.0f);
                EXPECT_LE(a.z, 62);
            }
            if (id == MSG_POSITION) {
                PositionMsg p;
                ASSERT_EQ(msg_decode_position(m.bytes.data(), m.bytes.size(), &p), MSG_OK);
                EXPECT_EQ(p.pos.x, 100.5f); // the server's own view, never a guess
            }
            EXPECT_NE(id, MSG_FOG_COLOUR);
            EXPECT_NE(id, MSG_PLAYER_INFO);
        }
    }
    // Flood-counted messages: at most 2 in any second (the server forgives 3).
    for (size_t i = 2; i < flood_times.size(); i++)
        EXPECT_GE(flood_times[i] - flood_times[i - 2], 1000 - 2 * 7) << i;
    // Every kind of play happens in two minutes.
    const int expected[] = {MSG_POSITION, MSG_ORIENT,       MSG_MOVE_KEYS,    MSG_FIRE_KEYS,   MSG_HIT,
                            MSG_GRENADE,  MSG_TOOL,         MSG_BLOCK_COLOUR, MSG_BLOCK_ACTION, MSG_BLOCK_LINE,
                            MSG_CHAT,     MSG_RELOAD};
    for (int id : expected)
        EXPECT_GT(kinds[id], 0) << id;
    EXPECT_GT(kinds[MSG_TEAM_CHANGE] + kinds[MSG_WEAPON_CHANGE], 0);
}

TEST(BotPlay, DeadBotsWaitAndChatBitsFollowTheServer)
{
    BotRng r;
    bot_rng_seed(&r, 7);
    BotState b;
    ready(&b, &r, 0);
    KillMsg k = {5, 3, 0, 10};
    uint8_t buf[16];
    int n = msg_write_kill(buf, sizeof buf, &k);
    bot_on_message(&b, buf, (size_t)n);
    EXPECT_FALSE(b.alive);
    std::vector<BotMessage> out;
    for (int64_t t = 0; t < 5000; t += 10)
        bot_step(&b, &r, t, &out);
    EXPECT_TRUE(out.empty());
}

TEST(BotPlay, HostilePlayNeverSendsEmptyPacketsAndGarbageNeverHurtsTheBot)
{
    BotRng r;
    bot_rng_seed(&r, 99);
    BotState b;
    ready(&b, &r, 1);
    int malformed = 0;
    for (int i = 0; i < 20000; i++) {
        BotMessage m = bot_hostile_message(&b, &r, i * 10);
        if (m.bytes.empty())
            continue; // skipped by the sender
        int id = m.bytes[0];
        if (msg_check_length(id, MSG_TO_SERVER, m.bytes.size()) != MSG_OK)
            malformed++;
        // The same bytes fed back as if the server had sent them.
        bot_on_message(&b, m.bytes.data(), m.bytes.size());
    }
    EXPECT_GT(malformed, 2000);
    EXPECT_EQ(b.id, 5);
    std::vector<BotMessage> burst;
    bot_flood_burst(&b, &burst);
    EXPECT_GT(burst.size(), 11u); // past the server's limit of 10 (+3 a second)
}
