// Bounded mutation loop over every decoder: mutated, cut and extended packets
// must never read out of bounds (the sanitizer build checks that), an accepted
// packet must survive decode -> encode -> decode unchanged, and texts must end
// inside their fields.
#include <gtest/gtest.h>

#include <cstring>

#include "common/protocol.h"
#include "msg_test_ops.h"

static uint32_t fuzz_next(uint32_t *s)
{
    *s ^= *s << 13;
    *s ^= *s >> 17;
    *s ^= *s << 5;
    return *s;
}

TEST(MsgFuzz, MutatedPacketsAreRefusedOrRoundTrip)
{
    const auto &ops = msg_test_ops();
    uint32_t seed = 0x2545F491u;
    const int rounds = 2000000;
    int accepted = 0;
    for (int round = 0; round < rounds; round++) {
        const MsgOps &o = ops[round % ops.size()];
        // Exactly as long as the heap block, so the sanitizer sees any over-read.
        size_t len = fuzz_next(&seed) % (o.limit + 3);
        std::vector<uint8_t> pkt(len);
        for (size_t i = 0; i < len; i++) pkt[i] = (uint8_t)fuzz_next(&seed);
        if (len > 0 && (fuzz_next(&seed) & 3)) pkt[0] = (uint8_t)o.id; // mostly the right id
        if (len > 3 && (fuzz_next(&seed) & 1)) pkt[len - 1] = 0;       // sometimes a terminated text

        uint8_t out[MSG_MAX_SIZE];
        int out_len = 0;
        int r = o.round_trip(pkt.empty() ? nullptr : pkt.data(), len, out, &out_len);
        ASSERT_TRUE(r == MSG_OK || r == MSG_ERR_NO_PACKET || r == MSG_ERR_TOO_LONG || r == MSG_ERR_TOO_SHORT ||
                    r == MSG_ERR_WRONG_ID)
            << o.reader << " " << r;
        if (r != MSG_OK) continue;
        accepted++;
        ASSERT_GE(out_len, o.min_size) << o.reader;
        ASSERT_LE(out_len, o.limit) << o.reader;
        // One normalising pass: the re-encoded bytes are a fixed point.
        std::vector<uint8_t> first(out, out + out_len);
        uint8_t again[MSG_MAX_SIZE];
        int again_len = 0;
        ASSERT_EQ(o.round_trip(first.data(), first.size(), again, &again_len), MSG_OK) << o.reader;
        ASSERT_EQ(std::vector<uint8_t>(again, again + again_len), first) << o.reader;
    }
    EXPECT_GT(accepted, rounds / 20);
}

TEST(MsgFuzz, TextFieldsAlwaysTerminated)
{
    uint32_t seed = 7;
    for (int round = 0; round < 5000; round++) {
        uint8_t pkt[112];
        for (uint8_t &b : pkt) b = (uint8_t)(fuzz_next(&seed) | 1); // never zero
        pkt[0] = MSG_CHAT;
        ChatMsg c;
        ASSERT_EQ(msg_decode_chat(pkt, 4 + fuzz_next(&seed) % 109, &c), MSG_OK);
        ASSERT_LE(strnlen(c.text, sizeof c.text), (size_t)MSG_CHAT_MAX_TEXT);
        pkt[0] = MSG_PLAYER_INFO;
        PlayerInfoMsg p;
        ASSERT_EQ(msg_decode_player_info(pkt, 13 + fuzz_next(&seed) % 16, &p), MSG_OK);
        ASSERT_LT(strnlen(p.name, sizeof p.name), sizeof p.name);
        pkt[0] = MSG_PLAYER_SPAWN;
        PlayerSpawnMsg s;
        ASSERT_EQ(msg_decode_player_spawn(pkt, 16 + fuzz_next(&seed) % 17, &s), MSG_OK);
        ASSERT_LT(strnlen(s.name, sizeof s.name), sizeof s.name);
    }
}
