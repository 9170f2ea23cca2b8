// Wire layout of every message: the size table, golden bytes written from the
// field lists, boundary lengths per reader and the ENet-side helpers.
#include <gtest/gtest.h>

#include <enet/enet.h>

#include <cstring>

#include "common/byteio.h"
#include "common/game_enums.h"
#include "common/protocol.h"
#include "msg_test_ops.h"

typedef std::vector<uint8_t> Bytes;

// Encode must give exactly `want`; decoding `want` and encoding again must give
// it back (so the decoder took every field); a buffer one byte short is refused.
template <class Rec>
static void expect_golden(const Rec &rec, int (*wr)(uint8_t *, size_t, const Rec *),
                          int (*dec)(const uint8_t *, size_t, Rec *), const Bytes &want)
{
    uint8_t buf[MSG_MAX_SIZE];
    int n = wr(buf, sizeof buf, &rec);
    ASSERT_EQ(n, (int)want.size());
    EXPECT_EQ(Bytes(buf, buf + n), want);
    Rec back;
    ASSERT_EQ(dec(want.data(), want.size(), &back), MSG_OK);
    uint8_t again[MSG_MAX_SIZE];
    int m = wr(again, sizeof again, &back);
    EXPECT_EQ(Bytes(again, again + m), want);
    EXPECT_EQ(wr(buf, want.size() - 1, &rec), 0);
}

static Bytes to_bytes(const char *hex) { return msg_test_hex(hex); }
static Bytes to_bytes(const Bytes &b) { return b; }

#define GOLDEN(rec, name, want) expect_golden(rec, msg_write_##name, msg_decode_##name, to_bytes(want))

TEST(MsgTable, SizesLimitsAndDelivery)
{
    ASSERT_EQ(MSG_COUNT, 31);
    for (const MsgOps &o : msg_test_ops()) {
        SCOPED_TRACE(o.reader);
        EXPECT_EQ(msg_min_size(o.id, o.dir), o.min_size);
        EXPECT_EQ(msg_limit(o.id, o.dir), o.limit);
    }
    // Direction: ids a side never receives have no size that way.
    const int to_server_only[] = {MSG_ORIENT, MSG_REJOIN, MSG_TEAM_CHANGE, MSG_WEAPON_CHANGE};
    for (int id : to_server_only) EXPECT_EQ(msg_limit(id, MSG_TO_CLIENT), 0) << id;
    const int to_client_only[] = {MSG_WORLD_UPDATE, MSG_OBJECTIVE_MOVE, MSG_PLAYER_SPAWN, MSG_GAME_STATE,
                                  MSG_KILL, MSG_MAP_BEGIN, MSG_MAP_CHUNK, MSG_PLAYER_LEFT,
                                  MSG_TERRITORY_TAKEN, MSG_CAPTURE_PROGRESS, MSG_INTEL_SCORED,
                                  MSG_INTEL_TAKEN, MSG_INTEL_DROPPED, MSG_RESUPPLY};
    for (int id : to_client_only) EXPECT_EQ(msg_limit(id, MSG_TO_SERVER), 0) << id;
    EXPECT_EQ(msg_check_length(MSG_WORLD_UPDATE, MSG_TO_SERVER, 769), MSG_ERR_WRONG_ID);
    EXPECT_EQ(msg_info(31), nullptr);
    EXPECT_EQ(msg_info(-1), nullptr);
    EXPECT_EQ(msg_limit(200, MSG_TO_CLIENT), 0);
    // Only the three high-rate state messages travel unsequenced.
    for (int id = 0; id < MSG_COUNT; id++) {
        uint32_t want = id <= MSG_WORLD_UPDATE ? ENET_PACKET_FLAG_UNSEQUENCED : ENET_PACKET_FLAG_RELIABLE;
        EXPECT_EQ(msg_packet_flags(id), want) << id;
    }
}

TEST(MsgGolden, FixedSmallMessages)
{
    GOLDEN((PositionMsg{{1.0f, 2.0f, -1.0f}}), position, "00 0000803f 00000040 000080bf");
    GOLDEN((OrientMsg{{0.5f, 0.0f, 1.0f}}), orient, "01 0000003f 00000000 0000803f");
    GOLDEN((MoveKeysMsg{7, 0x91}), move_keys, "03 07 91000000");
    GOLDEN((FireKeysMsg{31, FIRE_PRIMARY | FIRE_SECONDARY}), fire_keys, "04 1f 03000000");
    GOLDEN((HitClaimMsg{4, HIT_HEAD}), hit_claim, "05 04 01");
    GOLDEN((HealthMsg{55, 1, {1.0f, 2.0f, 3.0f}}), health, "05 37 01 0000803f 00000040 00004040");
    GOLDEN((HealthMsg{100, 0, {}}), health, "05 64 00 000000000000000000000000");
    GOLDEN((GrenadeMsg{2, 3.0f, {256.0f, 10.5f, -1.0f}, {0.5f, 0.0f, 1.0f}}), grenade,
           "06 02 00004040 00008043 00002841 000080bf 0000003f 00000000 0000803f");
    GOLDEN((ToolMsg{9, TOOL_GRENADE}), tool, "07 09 03");
    GOLDEN((ColourMsg{MSG_BLOCK_COLOUR, 3, 0xAABBCC}), colour, "08 03 ccbbaa");
    GOLDEN((ColourMsg{MSG_FOG_COLOUR, 0, 0x102030}), colour, "1b 00 302010");
    GOLDEN((RejoinMsg{4, TEAM_BLUE, WEAPON_SMG}), rejoin, "0a 04 00 01");
    GOLDEN((ObjectiveMoveMsg{3, TEAM_NEUTRAL, {1.0f, 2.0f, 3.0f}}), objective_move,
           "0b 03 02 0000803f 00000040 00004040");
    GOLDEN((BlockActionMsg{2, BLOCK_BUILD, 511, 0, 62}), block_action, "0d 02 00 ff010000 00000000 3e000000");
    GOLDEN((BlockActionMsg{2, BLOCK_BLAST, -1, 512, 0}), block_action, "0d 02 03 ffffffff 00020000 00000000");
    GOLDEN((BlockLineMsg{1, {1, 2, 3}, {4, 5, -6}}), block_line,
           "0e 01 01000000 02000000 03000000 04000000 05000000 faffffff");
    GOLDEN((KillMsg{3, 7, KILL_HEAD, 30}), kill, "10 03 07 01 1e");
    GOLDEN((MapBeginMsg{0x12345678}), map_begin, "12 78563412");
    GOLDEN((PlayerLeftMsg{31}), player_left, "14 1f");
    GOLDEN((TerritoryTakenMsg{15, 1, TEAM_BLUE}), territory_taken, "15 0f 01 00");
    GOLDEN((CaptureProgressMsg{2, TEAM_GREEN, -5, 0.5f}), capture_progress, "16 02 01 fb 0000003f");
    GOLDEN((IntelScoredMsg{8, 0}), intel_scored, "17 08 00");
    GOLDEN((IntelTakenMsg{9}), intel_taken, "18 09");
    GOLDEN((IntelDroppedMsg{1, {256.0f, 10.5f, 3.0f}}), intel_dropped, "19 01 00008043 00002841 00004040");
    GOLDEN((ResupplyMsg{12}), resupply, "1a 0c");
    GOLDEN((ReloadMsg{3, 10, 50}), reload, "1c 03 0a 32");
    GOLDEN((TeamChangeMsg{0, TEAM_SPECTATOR}), team_change, "1d 00 ff");
    GOLDEN((WeaponChangeMsg{2, WEAPON_SHOTGUN}), weapon_change, "1e 02 02");
}

TEST(MsgGolden, VariableLengthMessages)
{
    PlayerInfoMsg spec{5, TEAM_SPECTATOR, 0, 0, 0, 0, "Spec"};
    GOLDEN(spec, player_info, "09 05 ff 00 00 00000000 000000 53706563 00");
    PlayerInfoMsg info{1, TEAM_GREEN, WEAPON_SHOTGUN, TOOL_GUN, 258, 0x7F7F7F, "Zarar"};
    GOLDEN(info, player_info, "09 01 01 02 02 02010000 7f7f7f 5a61726172 00");

    PlayerSpawnMsg respawn{6, WEAPON_SMG, TEAM_GREEN, {1.0f, 2.0f, 3.0f}, 0, "ignored"};
    GOLDEN(respawn, player_spawn, "0c 06 01 01 0000803f 00000040 00004040");
    PlayerSpawnMsg joined{6, WEAPON_SMG, TEAM_GREEN, {1.0f, 2.0f, 3.0f}, 1, "Zarar"};
    GOLDEN(joined, player_spawn, "0c 06 01 01 0000803f 00000040 00004040 5a61726172 00");

    ChatMsg chat{255, CHAT_SYSTEM, "hi"};
    GOLDEN(chat, chat, "11 ff 02 6869 00");
    ChatMsg empty{4, CHAT_ALL, ""};
    GOLDEN(empty, chat, "11 04 00 00");

    const uint8_t raw[3] = {0xAA, 0xBB, 0xCC};
    GOLDEN((MapChunkMsg{raw, 3}), map_chunk, "13 aabbcc");
}

TEST(MsgGolden, WorldUpdate)
{
    WorldUpdateMsg m{};
    m.slot[0] = {{1.0f, 2.0f, 3.0f}, {0.0f, 1.0f, 0.0f}};
    m.slot[31] = {{511.0f, 511.0f, 62.0f}, {1.0f, 0.0f, 0.0f}};
    Bytes want(769, 0);
    want[0] = 2;
    le_put_f32(&want[1], 1.0f);
    le_put_f32(&want[5], 2.0f);
    le_put_f32(&want[9], 3.0f);
    le_put_f32(&want[17], 1.0f); // forward y of slot 0
    le_put_f32(&want[1 + 24 * 31], 511.0f);
    le_put_f32(&want[5 + 24 * 31], 511.0f);
    le_put_f32(&want[9 + 24 * 31], 62.0f);
    le_put_f32(&want[13 + 24 * 31], 1.0f);
    GOLDEN(m, world_update, want);
}

TEST(MsgGolden, GameStateCaptureTheFlag)
{
    GameStateMsg m{};
    m.player = 4;
    m.fog_colour = 0xC0D0E0;
    m.team_colour[0] = 0x0000FF;
    m.team_colour[1] = 0x00FF00;
    m.game_mode = GAME_MODE_CTF;
    m.ctf.score[0] = 3;
    m.ctf.score[1] = 5;
    m.ctf.capture_limit = 10;
    m.ctf.flags = CTF_INTEL0_CARRIED;
    m.ctf.carrier[0] = 17;
    m.ctf.intel[1] = {100.0f, 200.0f, 30.0f};
    m.ctf.base[0] = {1.0f, 2.0f, 3.0f};
    m.ctf.base[1] = {4.0f, 5.0f, 6.0f};
    strcpy(m.team_name[0], "Blue");
    strcpy(m.team_name[1], "Green");

    Bytes w(244, 0);
    w[0] = 15;
    w[1] = 4;
    w[2] = 0xE0, w[3] = 0xD0, w[4] = 0xC0;
    w[5] = 0xFF;
    w[9] = 0xFF;
    w[11] = 0;
    le_put_u32(&w[12], 3);
    le_put_u32(&w[16], 5);
    le_put_u32(&w[20], 10);
    le_put_u32(&w[24], 2); // bit 1: team 0's intel is carried
    w[28] = 17;
    le_put_f32(&w[40], 100.0f), le_put_f32(&w[44], 200.0f), le_put_f32(&w[48], 30.0f);
    le_put_f32(&w[52], 1.0f), le_put_f32(&w[56], 2.0f), le_put_f32(&w[60], 3.0f);
    le_put_f32(&w[64], 4.0f), le_put_f32(&w[68], 5.0f), le_put_f32(&w[72], 6.0f);
    memcpy(&w[224], "Blue", 4);
    memcpy(&w[234], "Green", 5);
    GOLDEN(m, game_state, w);

    GameStateMsg back;
    ASSERT_EQ(msg_decode_game_state(w.data(), w.size(), &back), MSG_OK);
    EXPECT_EQ(back.ctf.carrier[0], 17);
    EXPECT_EQ(back.ctf.intel[0].x, 0.0f); // carried: no position
    EXPECT_EQ(back.ctf.intel[1].y, 200.0f);
    EXPECT_STREQ(back.team_name[1], "Green");
}

TEST(MsgGolden, GameStateTerritoryControl)
{
    GameStateMsg m{};
    m.player = 0;
    m.game_mode = GAME_MODE_TC;
    m.tc.count = 2;
    m.tc.territory[0] = {{10.0f, 20.0f, 30.0f}, TEAM_NEUTRAL};
    m.tc.territory[1] = {{1.0f, 2.0f, 3.0f}, TEAM_GREEN};
    strcpy(m.team_name[0], "ninechars");
    strcpy(m.team_name[1], "B");

    Bytes w(244, 0);
    w[0] = 15;
    w[11] = 1;
    le_put_f32(&w[12], 10.0f), le_put_f32(&w[16], 20.0f), le_put_f32(&w[20], 30.0f);
    w[24] = 2;
    le_put_f32(&w[25], 1.0f), le_put_f32(&w[29], 2.0f), le_put_f32(&w[33], 3.0f);
    w[37] = 1;
    le_put_u32(&w[220], 2);
    memcpy(&w[224], "ninechars", 9);
    w[234] = 'B';
    GOLDEN(m, game_state, w);

    // A count above 16 is taken as 16; unterminated team names end inside their field.
    le_put_u32(&w[220], 20);
    memset(&w[224], 'x', 20);
    GameStateMsg back;
    ASSERT_EQ(msg_decode_game_state(w.data(), w.size(), &back), MSG_OK);
    EXPECT_EQ(back.tc.count, 16u);
    EXPECT_EQ(back.tc.territory[1].owner, TEAM_GREEN);
    EXPECT_EQ(strlen(back.team_name[0]), 9u);
    EXPECT_EQ(strlen(back.team_name[1]), 9u);

    // Every mode byte but capture the flag's is read as territory control.
    w[11] = 7;
    ASSERT_EQ(msg_decode_game_state(w.data(), w.size(), &back), MSG_OK);
    EXPECT_EQ(back.game_mode, 7);
    EXPECT_EQ(back.tc.count, 16u);
    EXPECT_EQ(back.tc.territory[0].pos.y, 20.0f);
    EXPECT_EQ(back.tc.territory[1].owner, TEAM_GREEN);
}

TEST(MsgDecode, TeamsAreSignedAndTextsEndInsideTheirFields)
{
    TeamChangeMsg t;
    const Bytes spectator = msg_test_hex("1d 03 ff");
    ASSERT_EQ(msg_decode_team_change(spectator.data(), spectator.size(), &t), MSG_OK);
    EXPECT_EQ(t.team, TEAM_SPECTATOR);

    // A player-info name filling the whole 16-byte field without its zero.
    Bytes info = msg_test_hex("09 01 00 00 02 00000000 7f7f7f");
    info.resize(28, 'A');
    PlayerInfoMsg p;
    ASSERT_EQ(msg_decode_player_info(info.data(), info.size(), &p), MSG_OK);
    EXPECT_EQ(strlen(p.name), 15u);

    // The longest chat: 109 text bytes without a zero are cut to 108 characters.
    Bytes chat = msg_test_hex("11 02 00");
    chat.resize(112, 'z');
    ChatMsg c;
    ASSERT_EQ(msg_decode_chat(chat.data(), chat.size(), &c), MSG_OK);
    EXPECT_EQ(strlen(c.text), 108u);
    EXPECT_EQ(msg_chat_length(&c), 112);

    // A name that the packet cuts short still ends at the packet's end.
    Bytes spawn = msg_test_hex("0c 01 00 00 00000000 00000000 00000000 41 42");
    PlayerSpawnMsg s;
    ASSERT_EQ(msg_decode_player_spawn(spawn.data(), spawn.size(), &s), MSG_OK);
    EXPECT_EQ(s.has_name, 1);
    EXPECT_STREQ(s.name, "AB");
}

TEST(MsgEncode, CutsOverlongTextsAndChecksArguments)
{
    uint8_t buf[MSG_MAX_SIZE];
    ChatMsg c{};
    memset(c.text, 'q', sizeof c.text); // no terminator at all
    EXPECT_EQ(msg_write_chat(buf, sizeof buf, &c), 112);
    EXPECT_EQ(buf[111], 0);
    EXPECT_EQ(msg_chat_length(&c), 112);

    PlayerInfoMsg p{};
    memset(p.name, 'n', sizeof p.name);
    EXPECT_EQ(msg_write_player_info(buf, sizeof buf, &p), 28);
    EXPECT_EQ(buf[27], 0);

    ChatMsg text108{};
    memset(text108.text, 'a', 108);
    EXPECT_EQ(msg_chat_length(&text108), 112);
    ChatMsg none{};
    EXPECT_EQ(msg_chat_length(&none), 4);

    ColourMsg wrong{MSG_CHAT, 0, 0};
    EXPECT_EQ(msg_write_colour(buf, sizeof buf, &wrong), 0);
    MapChunkMsg chunk{buf, 1024};
    EXPECT_EQ(msg_write_map_chunk(buf, sizeof buf, &chunk), 0);
    chunk.length = 0;
    EXPECT_EQ(msg_write_map_chunk(buf, sizeof buf, &chunk), 0);
    EXPECT_EQ(msg_write_kill(nullptr, 100, (const KillMsg *)&chunk), 0);
}

// Every reader at its limit, one past it, one short of its fixed part, one
// byte, and no data; a refused record is all zero.
TEST(MsgBoundary, EveryReaderAtItsLengths)
{
    for (const MsgOps &o : msg_test_ops()) {
        SCOPED_TRACE(o.reader);
        Bytes buf(o.limit + 1, 0);
        buf[0] = (uint8_t)o.id;
        uint8_t out[MSG_MAX_SIZE];
        int out_len;
        EXPECT_EQ(o.round_trip(buf.data(), o.limit, out, &out_len), MSG_OK);
        EXPECT_GT(out_len, 0);
        EXPECT_EQ(o.round_trip(buf.data(), o.min_size, out, &out_len), MSG_OK);
        EXPECT_EQ(o.round_trip(buf.data(), o.limit + 1, out, &out_len), MSG_ERR_TOO_LONG);
        EXPECT_EQ(o.round_trip(buf.data(), o.min_size - 1, out, &out_len), MSG_ERR_TOO_SHORT);
        EXPECT_EQ(o.round_trip(buf.data(), 1, out, &out_len), MSG_ERR_TOO_SHORT);
        EXPECT_EQ(o.round_trip(buf.data(), 0, out, &out_len), MSG_ERR_NO_PACKET);
        EXPECT_EQ(o.round_trip(nullptr, 5, out, &out_len), MSG_ERR_NO_PACKET);
        buf[0] = (uint8_t)(o.id == 0 ? 1 : 0);
        EXPECT_EQ(o.round_trip(buf.data(), o.limit, out, &out_len), MSG_ERR_WRONG_ID);
    }
}

TEST(MsgBoundary, RefusedRecordIsZeroed)
{
    Bytes pos = msg_test_hex("00 0000803f 00000040 000080bf");
    PositionMsg m;
    memset(&m, 0x5A, sizeof m);
    EXPECT_EQ(msg_decode_position(pos.data(), 12, &m), MSG_ERR_TOO_SHORT);
    EXPECT_EQ(m.pos.x, 0.0f);
    pos.push_back(0);
    memset(&m, 0x5A, sizeof m);
    EXPECT_EQ(msg_decode_position(pos.data(), pos.size(), &m), MSG_ERR_TOO_LONG);
    EXPECT_EQ(m.pos.z, 0.0f);
    EXPECT_EQ(msg_decode_position(pos.data(), 13, nullptr), MSG_ERR_NO_RECORD);
}

TEST(MsgPacket, TypeReadersAndSendingPackets)
{
    struct { Bytes data; int type; } cases[] = {
        {{}, MSG_NONE},
        {{MSG_CHAT}, MSG_NONE}, // one byte: nothing to dispatch even for a valid id
        {{MSG_CHAT, 0}, MSG_CHAT},
        {{200, 1, 2}, 200},
    };
    for (auto &c : cases) {
        ENetPacket *p = enet_packet_create(c.data.empty() ? nullptr : c.data.data(), c.data.size(), 0);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(msg_type(p), c.type);
        enet_packet_destroy(p);
    }
    EXPECT_EQ(msg_type(nullptr), MSG_NONE);

    uint8_t buf[MSG_MAX_SIZE];
    const BlockActionMsg dig{5, BLOCK_DIG, 1, 2, 3};
    int n = msg_write_block_action(buf, sizeof buf, &dig);
    ENetPacket *p = msg_make_packet(buf, n);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->dataLength, 15u);
    EXPECT_TRUE(p->flags & ENET_PACKET_FLAG_RELIABLE);
    BlockActionMsg a;
    EXPECT_EQ(msg_read_block_action(p, &a), MSG_OK);
    EXPECT_EQ(a.kind, BLOCK_DIG);
    EXPECT_EQ(a.z, 3);
    EXPECT_EQ(msg_read_block_action(p, nullptr), MSG_ERR_NO_RECORD);
    HealthMsg wrong;
    EXPECT_EQ(msg_read_health(p, &wrong), MSG_ERR_WRONG_ID);
    enet_packet_destroy(p);
    EXPECT_EQ(msg_read_block_action(nullptr, &a), MSG_ERR_NO_PACKET);

    const PositionMsg pos{{1, 2, 3}};
    n = msg_write_position(buf, sizeof buf, &pos);
    p = msg_make_packet(buf, n);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->flags & ENET_PACKET_FLAG_UNSEQUENCED);
    EXPECT_FALSE(p->flags & ENET_PACKET_FLAG_RELIABLE);
    enet_packet_destroy(p);
    EXPECT_EQ(msg_make_packet(buf, 0), nullptr);
    EXPECT_EQ(msg_make_packet(buf, MSG_MAX_SIZE + 1), nullptr);
}
