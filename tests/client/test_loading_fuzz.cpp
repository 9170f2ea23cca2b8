// The map download under hostile transfers: announced sizes at and past the
// limits, chunks dropped, repeated, reordered and re-cut, zlib streams
// garbled or cut, valid streams of malformed maps, hostile players and game
// states, and packets mutated at random. Every transfer ends either in a
// loaded map that passes the store's checks, or in the one loading-failed
// fatal error; never in a crash or a sanitizer report.
#include <cfloat>
#include <cmath>

#include "client/game_state.h"
#include "client/net_loading.h"
#include "client_fuzz.h"
#include "common/lang_ids.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/map_ray.h"

namespace {

// Index of the game state and of the first player announcement in a transfer.
size_t state_index(const std::vector<Packet> &t) { return t.size() - 1; }
size_t first_info(const std::vector<Packet> &t) { return t.size() - 1 - (sizeof cfz_cast / sizeof cfz_cast[0] - 1); }

// One hostile transfer. `intact` tells whether the map bytes that arrive are
// exactly the server's (the map must then load unchanged).
struct Transfer {
    std::vector<Packet> packets;
    bool intact = false;
};

// Damage to the transfer (sizes, chunks, players, the state, any packet) or
// to the map it carries (the zlib stream, the image).
enum Damage { DAMAGE_TRANSFER, DAMAGE_MAP };

Transfer make_transfer(FuzzRng &r, int mode, Damage damage)
{
    const std::vector<uint8_t> &z = cfz_map_stream();
    const uint32_t size = (uint32_t)z.size();
    GameStateMsg state = cfz_game_state(mode);
    Transfer t;
    static const int transfer_kinds[] = {0, 1, 2, 5, 6, 7, 7}, map_kinds[] = {3, 4};
    switch (damage == DAMAGE_TRANSFER ? r.pick(transfer_kinds) : r.pick(map_kinds)) {
    case 0: { // announced size at and around the limits
        const uint32_t sizes[] = {0, 1, size - 1, size + 1, MAP_DOWNLOAD_MAX, MAP_DOWNLOAD_MAX + 1, 0xFFFFFFFFu,
                                  r.below(2 * size)};
        t.packets = cfz_transfer(z, r.pick(sizes), state);
        break;
    }
    case 1: { // the stream cut into chunks of any length, whole and in order
        t.packets = cfz_transfer({}, size, state);
        std::vector<Packet> chunks;
        for (size_t pos = 0; pos < z.size();) {
            size_t n = std::min((size_t)(1 + r.below(MSG_MAP_CHUNK_MAX_DATA)), z.size() - pos);
            chunks.push_back(ctest_packet(msg_write_map_chunk, MapChunkMsg{z.data() + pos, (uint32_t)n}));
            pos += n;
        }
        t.packets.insert(t.packets.begin() + 1, chunks.begin(), chunks.end());
        t.intact = true;
        break;
    }
    case 2: { // a chunk dropped, repeated or two swapped; the map begun again
        t.packets = cfz_transfer(z, size, state);
        size_t chunks = first_info(t.packets) - 1;
        size_t a = 1 + r.below((uint32_t)chunks), b = 1 + r.below((uint32_t)chunks);
        switch (r.below(4)) {
        case 3: {
            Packet begin = t.packets[0];
            t.packets.insert(t.packets.begin() + (long)a, begin);
            t.intact = a == 1;
            break;
        }
        case 0: t.packets.erase(t.packets.begin() + (long)a); break;
        case 1: {
            Packet again = t.packets[b];
            t.packets.insert(t.packets.begin() + (long)a, again);
            break;
        }
        default: std::swap(t.packets[a], t.packets[b]); t.intact = a == b || t.packets[a] == t.packets[b]; break;
        }
        break;
    }
    case 3: { // a garbled or cut zlib stream, announced at its new length
        std::vector<uint8_t> bad = z;
        fuzz_mutate(bad, r, r.one_in(2) ? 0 : bad.size() - 16);
        if (bad.empty()) bad.push_back(0x78);
        t.packets = cfz_transfer(bad, (uint32_t)bad.size(), state);
        t.intact = bad == z;
        break;
    }
    case 4: { // a valid stream of a malformed (or merely changed) map image
        std::vector<uint8_t> image = cfz_map_image();
        // Most edits near the front, where a broken column shows first.
        fuzz_mutate(image, r, r.one_in(3) ? r.below((uint32_t)image.size()) : r.below(4096));
        std::vector<uint8_t> bad = cfz_compress(image);
        t.packets = cfz_transfer(bad, (uint32_t)bad.size(), state);
        t.intact = image == cfz_map_image();
        break;
    }
    case 5: { // a hostile game state
        GameStateMsg &m = state;
        m.player = r.one_in(2) ? (uint8_t)r.byte() : 0;
        m.game_mode = r.one_in(2) ? r.byte() : (uint8_t)mode;
        m.tc.count = fuzz_edge_u32(r);
        Vec3 *spots[] = {&m.ctf.intel[0], &m.ctf.intel[1], &m.ctf.base[0], &m.ctf.base[1],
                         &m.tc.territory[r.below(MSG_TERRITORIES)].pos};
        for (int k = 0; k < 3; k++) {
            Vec3 *v = spots[r.below(5)];
            (r.one_in(3) ? v->x : r.one_in(2) ? v->y : v->z) = fuzz_hostile_float(r);
        }
        m.ctf.flags = r.next();
        m.ctf.carrier[0] = r.byte();
        m.ctf.carrier[1] = r.byte();
        m.tc.territory[r.below(MSG_TERRITORIES)].owner = (int32_t)fuzz_edge_u32(r);
        t.packets = cfz_transfer(z, size, state);
        t.intact = true;
        break;
    }
    case 6: { // hostile players announced, spawned and leaving during the load
        t.packets = cfz_transfer(z, size, state);
        t.intact = true;
        for (int k = 0; k < 6; k++) {
            Packet p;
            if (r.one_in(3)) {
                PlayerInfoMsg m{r.byte(), (int32_t)(int8_t)r.byte(), r.byte(), r.byte(), r.next(), r.next(), ""};
                for (size_t i = 0; i < sizeof m.name; i++) m.name[i] = (char)(r.byte() | 1);
                p = ctest_packet(msg_write_player_info, m);
            } else if (r.one_in(2)) {
                PlayerSpawnMsg m{};
                m.player = r.one_in(2) ? (uint8_t)cfz_cast[r.below(6)].id : (uint8_t)(r.byte() & 63);
                m.weapon = r.byte() & 3;
                m.team = (int8_t)(r.below(5) - 2);
                m.pos = Vec3{fuzz_hostile_float(r), 100, 30};
                if (r.one_in(2)) m.pos.x = 100;
                p = ctest_packet(msg_write_player_spawn, m);
            } else {
                p = ctest_packet(msg_write_player_left, PlayerLeftMsg{(uint8_t)(r.byte() & 63)});
            }
            if (r.one_in(3)) fuzz_mutate(p, r, 1, 2);
            t.packets.insert(t.packets.begin() + (long)(1 + r.below((uint32_t)state_index(t.packets))), p);
        }
        break;
    }
    default: { // any packet of the transfer mutated; or the state missing
        t.packets = cfz_transfer(z, size, state);
        if (r.one_in(8)) {
            t.packets.pop_back();
            break;
        }
        for (int k = 1 + (int)r.below(3); k > 0; k--) {
            size_t i = r.one_in(3) ? 0 : r.one_in(2) ? state_index(t.packets) : r.below((uint32_t)t.packets.size());
            fuzz_mutate(t.packets[i], r, 1);
        }
        break;
    }
    }
    return t;
}

// A loaded map answers queries, rays and edits and stays sound.
std::string use_map(FuzzRng &r)
{
    for (int k = 0; k < 50; k++) {
        Vec3 pos{(float)r.below(512), (float)r.below(512), (float)r.below(64)};
        Vec3 dir{(float)r.below(200) - 100.0f, (float)r.below(200) - 100.0f, (float)r.below(200) - 100.0f};
        HitRecord rec, *hit = &rec;
        map_ray_cast(&pos, &dir, &hit);
        map_floor_z((int32_t)pos.x, (int32_t)pos.y, (int32_t)pos.z);
    }
    MapCell c{(int32_t)r.below(512), (int32_t)r.below(512), (int32_t)r.below(63)};
    map_remove_cube3(&c);
    map_add_block(&c, 0x102030);
    map_seed_count = 0;
    return cfz_check_map();
}

struct LoadingFuzz : ::testing::Test {
    void SetUp() override
    {
        ctest_load_strings();
        ctest_write_models(ctest_enter_scratch());
    }
    void TearDown() override
    {
        ctest_reset_client();
        ctest_leave_scratch();
    }

    // Rounds of one kind of damage; each ends in a loaded and checked map,
    // the loading-failed error, or (the state missing) a pump still waiting.
    // Returns how often each ending came.
    std::vector<int> run(uint32_t seed, Damage damage, int rounds)
    {
        FuzzRng r(seed);
        std::vector<int> outcomes(3);
        EXPECT_EQ(map_load_image(cfz_map_image().data(), cfz_map_image().size()), 1);
        const uint64_t sent = ctest_map_digest();
        for (int round = 0; round < rounds; round++) {
            Transfer t = make_transfer(r, round & 1, damage);
            ctest_reset_client();
            CfzLoad result = cfz_run_loading(t.packets);
            outcomes[result]++;
            SCOPED_TRACE("round " + std::to_string(round));
            switch (result) {
            case CFZ_FAILED:
                EXPECT_EQ(ctest_fatals, std::vector<std::string>{ctest_text(LANG_ERR_MAP_DATA)});
                EXPECT_NE(client_state.screens.current, SCREEN_TEAM_MENU);
                break;
            case CFZ_LOADED:
                EXPECT_EQ(ctest_fatals, std::vector<std::string>{});
                EXPECT_EQ(client_state.screens.current, SCREEN_TEAM_MENU);
                EXPECT_EQ(map_download.buffer, nullptr);
                if (t.intact) {
                    EXPECT_EQ(ctest_map_digest(), sent);
                }
                EXPECT_EQ(cfz_check_tables(), "");
                EXPECT_EQ(use_map(r), "");
                break;
            case CFZ_WAITING:
                EXPECT_EQ(ctest_fatals, std::vector<std::string>{});
                EXPECT_EQ(cfz_check_tables(), "");
                break;
            }
            if (HasFailure()) break;
        }
        return outcomes;
    }
};

TEST_F(LoadingFuzz, DamagedTransfersLoadACheckedMapOrFail)
{
    std::vector<int> outcomes = run(0x10AD0001u, DAMAGE_TRANSFER, 40);
    EXPECT_GT(outcomes[CFZ_LOADED], 6);
    EXPECT_GT(outcomes[CFZ_FAILED], 6);
    EXPECT_GT(outcomes[CFZ_WAITING], 0);
}

TEST_F(LoadingFuzz, DamagedMapsAreRefusedOrLoadChecked)
{
    std::vector<int> outcomes = run(0x10AD0002u, DAMAGE_MAP, 50);
    EXPECT_GT(outcomes[CFZ_LOADED], 3);
    EXPECT_GT(outcomes[CFZ_FAILED], 10);
}

} // namespace
