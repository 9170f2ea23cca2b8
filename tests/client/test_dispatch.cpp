// The in-game dispatcher as a table of packets: for each, the state it leaves,
// the feed lines it pushes and the sounds it plays. Every malformed or
// out-of-range packet must leave everything exactly as it was.
#include <cmath>
#include <cstring>
#include <functional>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_state.h"
#include "client/net_dispatch.h"
#include "client/net_loading.h"
#include "client_fixture.h"
#include "common/feed.h"
#include "common/lang_ids.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/mode_objective.h"
#include "common/model_table.h"
#include "common/timer.h"
#include "common/weapon.h"
#include "platform/plat_log.h"
#include "support/full_pool_map.h"

namespace {

enum { ALICE = 0, BOB = 1, CAROL = 2, DAVE = 3, ABSENT = 4 };

struct FeedExp {
    int kind;
    std::string text;
};

struct Case {
    std::string name;
    std::vector<uint8_t> packet;
    std::function<void()> setup = {}; // before the packet (after the common set-up)
    std::function<void()> check = {}; // null: nothing at all may change
    std::vector<FeedExp> chat = {};   // new chat lines, oldest first
    std::vector<FeedExp> kills = {};
    std::vector<std::string> sounds = {};
};

// Everything the dispatcher may touch, as raw bytes.
struct Snapshot {
    std::vector<uint8_t> bytes;
    uint64_t map = 0;
    bool operator==(const Snapshot &o) const { return bytes == o.bytes && map == o.map; }
};

template <typename T> void add(std::vector<uint8_t> &b, const T &v)
{
    const uint8_t *p = (const uint8_t *)&v;
    b.insert(b.end(), p, p + sizeof v);
}

Snapshot snapshot()
{
    Snapshot s;
    add(s.bytes, player_table);
    add(s.bytes, mode_objectives);
    add(s.bytes, mode_objective_count);
    add(s.bytes, world_object_count);
    add(s.bytes, world_objects);
    add(s.bytes, client_state);
    add(s.bytes, local_controls);
    add(s.bytes, particle_ring.count);
    add(s.bytes, feed_chat);
    add(s.bytes, feed_kill);
    add(s.bytes, hud_damage_source);
    add(s.bytes, hud_damage_until);
    add(s.bytes, hud_announce_text);
    add(s.bytes, hud_announce_until);
    add(s.bytes, map_download.size);
    s.map = ctest_map_digest();
    return s;
}

std::vector<FeedExp> new_lines(const MessageFeed &f)
{
    std::vector<FeedExp> out;
    for (int i = FEED_LINES - 1; i >= 0; i--)
        if (f.lines[i].text[0]) out.push_back({f.lines[i].kind, f.lines[i].text});
    return out;
}

// Four players (Alice is us, team 0; Bob team 1; Carol team 0; Dave a
// spectator), flag mode, flat ground at z 40, in game.
void world()
{
    ctest_reset_client();
    game_set_team_slot(0, "Blue", 0xFF0000C4u);
    game_set_team_slot(1, "Green", 0xFF00C400u);
    game_set_team_slot(2, "Spectator", 0xFF000000u);
    ASSERT_EQ(game_load_models(), 1);
    const struct {
        int id, team, weapon;
        const char *name;
        Vec3 at;
    } who[] = {
        {ALICE, 0, WEAPON_SEMI, "Alice", {100, 100, 37.6f}},
        {BOB, 1, WEAPON_SHOTGUN, "Bob", {200, 100, 37.6f}},
        {CAROL, 0, WEAPON_SMG, "Carol", {120, 300, 37.6f}},
        {DAVE, -1, WEAPON_SEMI, "Dave", {256, 256, 20}},
    };
    for (const auto &w : who) {
        PlayerRecord *p = &player_table[w.id];
        ASSERT_EQ(player_init(p, w.id, w.team, w.weapon, TOOL_GUN, 0, 0x7F7F7F, w.name), 1);
        player_set_position(p, &w.at);
    }
    local_player_id = ALICE;
    game_set_screen(SCREEN_IN_GAME);
    game_select_mode(GAME_MODE_CTF);
    mode_objective_count = 4;
    const Vec3 places[4] = {{100, 256, 39}, {412, 256, 39}, {90, 256, 39}, {422, 256, 39}};
    for (int i = 0; i < 4; i++) {
        world_objects[i].position = places[i];
        wobj_set_kind(&world_objects[i], OBJECT_LYING);
        mode_objectives[i].owner = -1;
    }
    game_setup_objective_objects();
}

// Territory control with three territories: neutral, neutral, team 0.
void territories()
{
    game_select_mode(GAME_MODE_TC);
    mode_objective_count = 3;
    const Vec3 places[3] = {{70, 130, 39}, {300, 300, 39}, {450, 20, 39}};
    const int owners[3] = {TEAM_NEUTRAL, TEAM_NEUTRAL, 0};
    for (int i = 0; i < 3; i++) {
        world_objects[i].position = places[i];
        wobj_set_kind(&world_objects[i], OBJECT_LYING);
        mode_objectives[i] = ObjectiveState{};
        mode_objectives[i].owner = owners[i];
    }
    game_setup_objective_objects();
}

bool same_lines(const std::vector<FeedExp> &a, const std::vector<FeedExp> &b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i].kind != b[i].kind || a[i].text != b[i].text) return false;
    return true;
}

std::string show(const std::vector<FeedExp> &v)
{
    std::string s;
    for (const FeedExp &f : v) s += std::to_string(f.kind) + "|" + f.text + "\n";
    return s;
}

struct Dispatch : ::testing::Test {
    std::string dir;
    void SetUp() override
    {
        ctest_load_strings();
        dir = ctest_enter_scratch();
        ctest_write_models(dir);
    }
    void TearDown() override
    {
        ctest_reset_client();
        ctest_leave_scratch();
    }

    void run(const Case &c)
    {
        SCOPED_TRACE(c.name);
        world();
        if (c.setup) c.setup();
        feed_clear(&feed_chat);
        feed_clear(&feed_kill);
        Snapshot before = snapshot();
        int mark = plat_log_count();
        net_dispatch_packet(c.packet.data(), c.packet.size());
        EXPECT_TRUE(ctest_fatals.empty());
        if (c.check)
            c.check();
        else
            EXPECT_TRUE(snapshot() == before) << "state changed";
        std::vector<FeedExp> chat = new_lines(feed_chat), kills = new_lines(feed_kill);
        EXPECT_TRUE(same_lines(chat, c.chat)) << show(chat) << "expected\n" << show(c.chat);
        EXPECT_TRUE(same_lines(kills, c.kills)) << show(kills) << "expected\n" << show(c.kills);
        ctest_expect_sounds(mark, c.sounds);
    }
};

using P = std::vector<uint8_t>;
template <typename Msg> P pkt(int (*write)(uint8_t *, size_t, const Msg *), const Msg &m) { return ctest_packet(write, m); }

const PlayerRecord &pl(int id) { return player_table[id]; }
bool solid(int x, int y, int z) { return map_is_solid(x, y, z) != 0; }

// A world update whose slots all hold `pos` and `fwd`, but for one.
P world_update(Vec3 pos, Vec3 fwd, int slot = -1, Vec3 slot_pos = {}, Vec3 slot_fwd = {})
{
    WorldUpdateMsg m{};
    for (int i = 0; i < 32; i++) m.slot[i] = {pos, fwd};
    if (slot >= 0) m.slot[slot] = {slot_pos, slot_fwd};
    return pkt(msg_write_world_update, m);
}
P block(int player, int kind, int x, int y, int z) { return pkt(msg_write_block_action, BlockActionMsg{(uint8_t)player, (uint8_t)kind, x, y, z}); }
P chat(int player, int type, const char *text)
{
    ChatMsg m{};
    m.player = (uint8_t)player;
    m.chat_type = (uint8_t)type;
    snprintf(m.text, sizeof m.text, "%s", text);
    uint8_t buf[MSG_MAX_SIZE];
    int n = msg_write_chat(buf, sizeof buf, &m);
    return P(buf, buf + n);
}
P spawn(int player, int team, int weapon, Vec3 at, const char *name = nullptr)
{
    PlayerSpawnMsg m{};
    m.player = (uint8_t)player;
    m.team = team;
    m.weapon = (uint8_t)weapon;
    m.pos = at;
    if (name) {
        m.has_name = 1;
        snprintf(m.name, sizeof m.name, "%s", name);
    }
    return pkt(msg_write_player_spawn, m);
}
P kill(int victim, int killer, int type, int wait = 5) { return pkt(msg_write_kill, KillMsg{(uint8_t)victim, (uint8_t)killer, (uint8_t)type, (uint8_t)wait}); }

std::string joined(const char *name, const char *team) { return ctest_text(LANG_PLAYER_JOINED, name, team); }
std::string kill_line(const char *k, const char *v, int cause) { return ctest_text(LANG_KILL_LINE, k, v, lang_get(cause)); }

// The cases that change something, with what they change.
std::vector<Case> valid_cases()
{
    const float now = 100.0f;
    std::vector<Case> c;
    c.push_back({"position corrects the local player", pkt(msg_write_position, PositionMsg{{101, 102, 30}}), nullptr,
                 [] { EXPECT_FLOAT_EQ(pl(ALICE).position.y, 102); EXPECT_FLOAT_EQ(pl(ALICE).eye.z, 30); }});
    c.push_back({"world update moves others, never the local player",
                 world_update({5, 5, 5}, {1, 0, 0}, BOB, {210, 110, 30}, {0, 1, 0}), nullptr,
                 [] {
                     EXPECT_FLOAT_EQ(pl(BOB).position.x, 210);
                     EXPECT_FLOAT_EQ(pl(BOB).forward.y, 1);
                     EXPECT_FLOAT_EQ(pl(BOB).right.x, -1);
                     EXPECT_FLOAT_EQ(pl(CAROL).position.x, 5);
                     EXPECT_FLOAT_EQ(pl(ALICE).position.x, 100);
                     EXPECT_FLOAT_EQ(pl(DAVE).position.x, 256);  // spectators are not updated
                     EXPECT_EQ(pl(ABSENT).present, 0);
                 }});
    c.push_back({"a non-finite slot of a world update is skipped",
                 world_update({5, 5, 5}, {1, 0, 0}, CAROL, {NAN, 1, 1}, {0, 1, 0}), nullptr,
                 [] { EXPECT_FLOAT_EQ(pl(CAROL).position.x, 120); EXPECT_FLOAT_EQ(pl(BOB).position.x, 5); }});
    c.push_back({"move keys set keys and crouch", pkt(msg_write_move_keys, MoveKeysMsg{BOB, 0x1 | 0x10 | 0x20 | 0x80}), nullptr,
                 [] {
                     const PlayerRecord &p = pl(BOB);
                     EXPECT_EQ(p.keys[KEY_FORWARD], 1);
                     EXPECT_EQ(p.keys[KEY_BACKWARD], 0);
                     EXPECT_EQ(p.keys[KEY_JUMP], 1);
                     EXPECT_EQ(p.keys[KEY_CROUCH], 1);
                     EXPECT_EQ(p.keys[KEY_SPRINT], 1);
                     EXPECT_FLOAT_EQ(p.position.z, 37.6f + 0.9f);
                     EXPECT_EQ(p.sprites[SPRITE_TORSO].model, model_table[MODEL_TORSOC_G]);
                     EXPECT_EQ(p.sprites[SPRITE_LEG_RIGHT].model, model_table[MODEL_LEGC_G]);
                 }});
    c.push_back({"move keys stand a crouched player up", pkt(msg_write_move_keys, MoveKeysMsg{CAROL, 0x40}),
                 [] { player_table[CAROL].keys[KEY_CROUCH] = 1; },
                 [] {
                     EXPECT_EQ(pl(CAROL).keys[KEY_CROUCH], 0);
                     EXPECT_EQ(pl(CAROL).keys[KEY_SNEAK], 1);
                     EXPECT_FLOAT_EQ(pl(CAROL).position.z, 37.6f - 0.9f);
                     EXPECT_EQ(pl(CAROL).sprites[SPRITE_TORSO].model, model_table[MODEL_TORSO_B]);
                 }});
    c.push_back({"airborne crouch keeps the height", pkt(msg_write_move_keys, MoveKeysMsg{BOB, 0x20}),
                 [] { player_table[BOB].airborne = 1; },
                 [] { EXPECT_FLOAT_EQ(pl(BOB).position.z, 37.6f); EXPECT_EQ(pl(BOB).keys[KEY_CROUCH], 1); }});
    c.push_back({"fire keys", pkt(msg_write_fire_keys, FireKeysMsg{BOB, 3}), nullptr,
                 [] { EXPECT_EQ(pl(BOB).primary, 1); EXPECT_EQ(pl(BOB).secondary, 1); }});
    c.push_back({"health with its source", pkt(msg_write_health, HealthMsg{40, 1, {150, 120, 30}}), nullptr,
                 [=] {
                     EXPECT_EQ(pl(ALICE).health, 40);
                     EXPECT_FLOAT_EQ(hud_damage_source.x, 150);
                     EXPECT_FLOAT_EQ(hud_damage_until, now + 0.5f);
                 },
                 {}, {}, {"sound wav/hitplayer.wav -500"}});
    c.push_back({"health with a non-finite source", pkt(msg_write_health, HealthMsg{30, 1, {NAN, 0, 0}}), nullptr,
                 [] { EXPECT_EQ(pl(ALICE).health, 30); EXPECT_FLOAT_EQ(hud_damage_until, 0); }});
    c.push_back({"grenade", pkt(msg_write_grenade, GrenadeMsg{BOB, 2.5f, {200, 100, 36}, {0.5f, 0, -0.2f}}), nullptr,
                 [=] {
                     ASSERT_EQ(world_object_count, 5);
                     const WorldObject &o = world_objects[4];
                     EXPECT_EQ(wobj_kind(&o), BOB);
                     EXPECT_FLOAT_EQ(wobj_time(&o), now + 2.5f);
                     EXPECT_FLOAT_EQ(wobj_vec(&o, WOBJ_VELOCITY).x, 0.5f);
                     EXPECT_EQ(o.model, model_table[MODEL_GRENADE]);
                 }});
    c.push_back({"tool", pkt(msg_write_tool, ToolMsg{BOB, TOOL_SPADE}), [] { player_table[BOB].next_use = 5; },
                 [] {
                     EXPECT_EQ(pl(BOB).tool, TOOL_SPADE);
                     EXPECT_EQ(pl(BOB).sprites[SPRITE_HELD].model, model_table[MODEL_SPADE_3]);
                     EXPECT_FLOAT_EQ(pl(BOB).next_use, 0);
                 }});
    c.push_back({"block colour", pkt(msg_write_colour, ColourMsg{MSG_BLOCK_COLOUR, BOB, 0x123456}), nullptr,
                 [] { EXPECT_EQ(pl(BOB).colour, 0x123456u); }});
    c.push_back({"flag objective moves", pkt(msg_write_objective_move, ObjectiveMoveMsg{1, 0, {300, 301, 39}}),
                 [] { wobj_set_kind(&world_objects[1], OBJECT_CARRIED); },
                 [] {
                     EXPECT_EQ(wobj_kind(&world_objects[1]), OBJECT_LYING);
                     EXPECT_FLOAT_EQ(world_objects[1].position.y, 301);
                 }});
    c.push_back({"territory changes owner", pkt(msg_write_objective_move, ObjectiveMoveMsg{1, 1, {300, 302, 39}}),
                 territories,
                 [] {
                     EXPECT_EQ(mode_objectives[1].owner, 1);
                     EXPECT_EQ(world_objects[1].model, model_table[MODEL_CP_G]);
                     EXPECT_FLOAT_EQ(world_objects[1].position.y, 302);
                 }});
    c.push_back({"own first spawn enters the game", spawn(ALICE, 1, WEAPON_SMG, {50, 60, 39}),
                 [] {
                     local_controls.join_mode = JOIN_FIRST;
                     snprintf(player_table[ALICE].name, 16, "Zarar");
                     player_table[ALICE].team = TEAM_NONE;
                 },
                 [=] {
                     EXPECT_EQ(local_controls.join_mode, JOIN_IN_GAME);
                     EXPECT_EQ(client_state.screens.current, SCREEN_IN_GAME);
                     EXPECT_STREQ(pl(ALICE).name, "Zarar0");
                     EXPECT_EQ(pl(ALICE).team, 1);
                     EXPECT_EQ(pl(ALICE).weapon, WEAPON_SMG);
                     EXPECT_FLOAT_EQ(pl(ALICE).position.z, 39 - 2.4f);
                     EXPECT_EQ(local_controls.tool, TOOL_GUN);
                     EXPECT_EQ(local_controls.palette_index, 3);
                     EXPECT_EQ(local_controls.block_colour, 0x6F6F6Fu);
                     EXPECT_FLOAT_EQ(local_controls.next_use, now + 0.5f);
                     EXPECT_EQ(local_controls.follow, -1);
                 },
                 {{FEED_KIND_NOTICE, joined("Zarar0", "Green")}}, {}, {"sound wav/switch.wav -300"}});
    c.push_back({"a newcomer joins", spawn(ABSENT, 1, WEAPON_SEMI, {300, 310, 39}, "Eve"), nullptr,
                 [] {
                     EXPECT_EQ(pl(ABSENT).present, 1);
                     EXPECT_STREQ(pl(ABSENT).name, "Eve");
                     EXPECT_EQ(pl(ABSENT).tool, TOOL_GUN);
                     EXPECT_EQ(pl(ABSENT).colour, 0x7F7F7Fu);
                     EXPECT_FLOAT_EQ(pl(ABSENT).position.y, 310);
                 },
                 {{FEED_KIND_NOTICE, joined("Eve", "Green")}}});
    c.push_back({"a respawn on the same team is quiet", spawn(CAROL, 0, WEAPON_SHOTGUN, {10, 20, 39}), nullptr,
                 [] {
                     EXPECT_EQ(pl(CAROL).weapon, WEAPON_SHOTGUN);
                     EXPECT_FLOAT_EQ(pl(CAROL).position.x, 10);
                 }});
    c.push_back({"a spawn on another team is announced", spawn(CAROL, 1, WEAPON_SMG, {10, 20, 39}), nullptr,
                 [] { EXPECT_EQ(pl(CAROL).team, 1); EXPECT_EQ(pl(CAROL).sprites[SPRITE_HEAD].model, model_table[MODEL_HEAD_G]); },
                 {{FEED_KIND_NOTICE, joined("Carol", "Green")}}});
    c.push_back({"own respawn in game resets the loadout", spawn(ALICE, 0, WEAPON_SEMI, {60, 60, 39}),
                 [] { local_controls.palette_index = 20; player_table[ALICE].alive = 0; },
                 [] { EXPECT_EQ(local_controls.palette_index, 3); EXPECT_EQ(pl(ALICE).alive, 1); },
                 {}, {}, {"sound wav/switch.wav -300"}});
    c.push_back({"build", block(BOB, BLOCK_BUILD, 10, 11, 39), [] { player_table[BOB].colour = 0xAA0000; },
                 [] {
                     EXPECT_TRUE(solid(10, 11, 39));
                     EXPECT_EQ(*map_colour_ptr(10, 11, 39) & 0xF8F8F8u, 0xA80000u);
                 },
                 {}, {}, {"sound3d wav/build.wav -700 10.50 11.50 39.50"}});
    c.push_back({"destroy", block(BOB, BLOCK_DESTROY, 10, 11, 40), nullptr,
                 [] { EXPECT_FALSE(solid(10, 11, 40)); EXPECT_TRUE(solid(10, 11, 41)); }});
    c.push_back({"dig into the ground", block(BOB, BLOCK_DIG, 20, 21, 40), nullptr,
                 [] {
                     EXPECT_FALSE(solid(20, 21, 40));
                     EXPECT_FALSE(solid(20, 21, 41));
                     EXPECT_TRUE(solid(20, 21, 42));
                     EXPECT_EQ(particle_ring.count, 6);
                     EXPECT_EQ(particle_ring.slot[0].colour, 0x7F446688u);
                 },
                 {}, {}, {"sound3d wav/hitground.wav 0 20.50 21.50 40.50"}});
    // The server's dig takes z - 1 .. z + 1 out whatever the aimed cell holds:
    // so does the client, with particles and a sound only for a coloured voxel.
    c.push_back({"dig at the air on the ground", block(BOB, BLOCK_DIG, 20, 22, 39), nullptr,
                 [] {
                     EXPECT_FALSE(solid(20, 22, 40));
                     EXPECT_TRUE(solid(20, 22, 41));
                     EXPECT_EQ(particle_ring.count, 0);
                 }});
    c.push_back({"dig inside the ground", block(BOB, BLOCK_DIG, 20, 23, 42), nullptr,
                 [] {
                     EXPECT_TRUE(solid(20, 23, 40));
                     for (int z = 41; z <= 43; z++) EXPECT_FALSE(solid(20, 23, z)) << z;
                     EXPECT_TRUE(solid(20, 23, 44));
                     EXPECT_EQ(particle_ring.count, 0);
                 }});
    c.push_back({"blast", block(BOB, BLOCK_BLAST, 30, 30, 41), nullptr,
                 [] {
                     for (int dx = -1; dx <= 1; dx++)
                         for (int dz = 40; dz <= 42; dz++) EXPECT_FALSE(solid(30 + dx, 30, dz)) << dx << "," << dz;
                     EXPECT_TRUE(solid(30, 30, 43));
                 }});
    c.push_back({"block line", pkt(msg_write_block_line, BlockLineMsg{BOB, {10, 10, 39}, {14, 10, 39}}), nullptr,
                 [] {
                     for (int x = 10; x <= 14; x++) EXPECT_TRUE(solid(x, 10, 39)) << x;
                     EXPECT_FALSE(solid(15, 10, 39));
                 },
                 {}, {}, {"sound3d wav/build.wav -700 14.50 10.50 39.50"}});
    c.push_back({"kill by a gun", kill(CAROL, BOB, KILL_WEAPON), [] { player_table[CAROL].right = {0.6f, 0.8f, 0}; },
                 [] {
                     EXPECT_EQ(pl(CAROL).alive, 0);
                     EXPECT_EQ(pl(BOB).kills, 1);
                     // rx and fy have different signs (forward -y): second axis (ry, -rx) x 0.1
                     const SpriteInstance &d = pl(CAROL).sprites[SPRITE_DEAD];
                     EXPECT_FLOAT_EQ(d.xaxis.x, -0.06f);
                     EXPECT_FLOAT_EQ(d.xaxis.y, -0.08f);
                     EXPECT_FLOAT_EQ(d.yaxis.x, 0.08f);
                     EXPECT_FLOAT_EQ(d.yaxis.y, -0.06f);
                 },
                 {}, {{6, kill_line("Bob", "Carol", LANG_CAUSE_SHOTGUN)}}});
    c.push_back({"a team-mate's kill scores nothing", kill(CAROL, ALICE, KILL_SPADE), [] { player_table[ALICE].tool = TOOL_SPADE; },
                 [] { EXPECT_EQ(pl(CAROL).alive, 0); EXPECT_EQ(pl(ALICE).kills, 0); },
                 {}, {{7, kill_line("Alice", "Carol", LANG_CAUSE_SPADE)}}});
    c.push_back({"the local player's head is hit", kill(ALICE, BOB, KILL_HEAD, 8), nullptr,
                 [=] {
                     EXPECT_EQ(pl(ALICE).alive, 0);
                     EXPECT_EQ(pl(ALICE).respawn_time, (int64_t)(now + 8));
                     EXPECT_EQ(pl(BOB).kills, 1);
                 },
                 {}, {{7, kill_line("Bob", "Alice", LANG_CAUSE_HEADSHOT)}},
                 {"sound wav/death.wav -400", "sound wav/hitplayer.wav 0", "sound wav/whack.wav 0"}});
    c.push_back({"grenade kill", kill(BOB, CAROL, KILL_GRENADE), nullptr, [] { EXPECT_EQ(pl(CAROL).kills, 1); },
                 {}, {{5, kill_line("Carol", "Bob", LANG_CAUSE_GRENADE)}}});
    c.push_back({"block kill", kill(BOB, CAROL, KILL_WEAPON), [] { player_table[CAROL].tool = TOOL_BLOCK; },
                 [] { EXPECT_EQ(pl(BOB).alive, 0); },
                 {}, {{5, kill_line("Carol", "Bob", LANG_CAUSE_BLOCK)}}});
    c.push_back({"fall", kill(BOB, BOB, KILL_FALL), nullptr, [] { EXPECT_EQ(pl(BOB).alive, 0); EXPECT_EQ(pl(BOB).kills, 0); },
                 {}, {{6, ctest_text(LANG_KILL_FALL, "Bob")}}});
    c.push_back({"team change", kill(CAROL, CAROL, KILL_TEAM_CHANGE), nullptr, [] { EXPECT_EQ(pl(CAROL).alive, 0); },
                 {}, {{5, ctest_text(LANG_KILL_TEAM_CHANGE, "Carol")}}});
    c.push_back({"weapon change of a spectator", kill(DAVE, DAVE, KILL_WEAPON_CHANGE), nullptr,
                 [] { EXPECT_EQ(pl(DAVE).alive, 0); }, {}, {{7, ctest_text(LANG_KILL_WEAPON_CHANGE, "Dave")}}});
    c.push_back({"chat to all", chat(BOB, CHAT_ALL, "hello"), nullptr, [] {}, {{3, "Bob (Green): hello"}}});
    c.push_back({"team chat of a spectator", chat(DAVE, CHAT_TEAM, "hi"), nullptr, [] {}, {{2, "Dave: hi"}}});
    c.push_back({"team chat", chat(BOB, CHAT_TEAM, "go"), nullptr, [] {}, {{1, "Bob: go"}}});
    c.push_back({"system line", chat(255, CHAT_SYSTEM, "Server restarts"), nullptr, [] {},
                 {{FEED_KIND_NOTICE, "Server restarts"}}});
    c.push_back({"a long line is cut to the feed's size", chat(BOB, CHAT_ALL, std::string(108, 'x').c_str()),
                 [] { snprintf(player_table[BOB].name, 16, "%s", "NNNNNNNNNNNNNNN"); }, [] {},
                 {{3, ("NNNNNNNNNNNNNNN (Green): " + std::string(108, 'x')).substr(0, FEED_TEXT_SIZE - 1)}}});
    c.push_back({"a player leaves", pkt(msg_write_player_left, PlayerLeftMsg{BOB}), nullptr,
                 [] { EXPECT_EQ(pl(BOB).present, 0); }, {{FEED_KIND_NOTICE, ctest_text(LANG_PLAYER_LEFT, "Bob")}}});
    c.push_back({"a territory is taken", pkt(msg_write_territory_taken, TerritoryTakenMsg{0, 0, 1}), territories,
                 [] {
                     EXPECT_EQ(mode_objectives[0].owner, 1);
                     EXPECT_EQ(world_objects[0].model, model_table[MODEL_CP_G]);
                     EXPECT_FLOAT_EQ(hud_announce_until, 0);
                 },
                 {{FEED_KIND_NOTICE, ctest_text(LANG_TERRITORY_CAPTURED, "Green", "B3")}}, {},
                 {"sound wav/pickup.wav -700"}});
    c.push_back({"the last territory wins", pkt(msg_write_territory_taken, TerritoryTakenMsg{1, 1, 0}), territories,
                 [=] {
                     EXPECT_EQ(mode_objectives[1].owner, 0);
                     EXPECT_EQ(std::string(hud_announce_text), ctest_text(LANG_TEAM_WINS, "Blue"));
                     EXPECT_FLOAT_EQ(hud_announce_until, now + 5);
                 },
                 {{FEED_KIND_NOTICE, ctest_text(LANG_TERRITORY_CAPTURED, "Blue", "E5")}}, {},
                 {"sound wav/horn.wav -700"}});
    c.push_back({"capture starts", pkt(msg_write_capture_progress, CaptureProgressMsg{2, 1, 2, 0.25f}), territories,
                 [] {
                     EXPECT_EQ(mode_objectives[2].capturing_team, 1);
                     EXPECT_EQ(mode_objectives[2].rate, 2);
                     EXPECT_FLOAT_EQ(mode_objectives[2].progress, 0.25f);
                 },
                 {{FEED_KIND_NOTICE, ctest_text(LANG_CAPTURING, "Green", "H1")}}, {}, {"sound wav/pickup.wav -700"}});
    c.push_back({"capture goes on quietly", pkt(msg_write_capture_progress, CaptureProgressMsg{2, 1, -1, 0.5f}),
                 [] { territories(); mode_objectives[2].progress = 0.3f; },
                 [] { EXPECT_FLOAT_EQ(mode_objectives[2].progress, 0.5f); EXPECT_EQ(mode_objectives[2].rate, -1); }});
    c.push_back({"an intel is scored", pkt(msg_write_intel_scored, IntelScoredMsg{CAROL, 0}),
                 [] { mode_objectives[1].owner = CAROL; client_state.score[0] = 1; },
                 [] {
                     EXPECT_EQ(pl(CAROL).kills, 10);
                     EXPECT_EQ(client_state.score[0], 2);
                     EXPECT_EQ(mode_objectives[1].owner, -1);
                 },
                 {{FEED_KIND_NOTICE, ctest_text(LANG_INTEL_CAPTURED, "Carol", "Green")}}, {},
                 {"sound wav/pickup.wav -700"}});
    c.push_back({"the winning intel resets the scores", pkt(msg_write_intel_scored, IntelScoredMsg{BOB, 1}),
                 [] { mode_objectives[0].owner = BOB; client_state.score[1] = 2; },
                 [=] {
                     EXPECT_EQ(client_state.score[0], 0);
                     EXPECT_EQ(client_state.score[1], 0);
                     EXPECT_EQ(mode_objectives[0].owner, -1);
                     EXPECT_EQ(std::string(hud_announce_text), ctest_text(LANG_TEAM_WINS, "Green"));
                     EXPECT_FLOAT_EQ(hud_announce_until, now + 5);
                 },
                 {{FEED_KIND_NOTICE, ctest_text(LANG_INTEL_CAPTURED, "Bob", "Blue")}}, {}, {"sound wav/horn.wav -700"}});
    c.push_back({"an intel is taken", pkt(msg_write_intel_taken, IntelTakenMsg{BOB}), nullptr,
                 [] {
                     EXPECT_EQ(mode_objectives[0].owner, BOB);
                     EXPECT_EQ(wobj_kind(&world_objects[0]), OBJECT_CARRIED);
                 },
                 {{FEED_KIND_NOTICE, ctest_text(LANG_INTEL_TAKEN, "Bob", "Blue")}}, {}, {"sound wav/pickup.wav -700"}});
    c.push_back({"an intel is dropped", pkt(msg_write_intel_dropped, IntelDroppedMsg{BOB, {150, 151, 39}}),
                 [] { mode_objectives[0].owner = BOB; wobj_set_kind(&world_objects[0], OBJECT_CARRIED); },
                 [] {
                     EXPECT_EQ(mode_objectives[0].owner, -1);
                     EXPECT_EQ(wobj_kind(&world_objects[0]), OBJECT_LYING);
                     EXPECT_FLOAT_EQ(world_objects[0].position.y, 151);
                 },
                 {{FEED_KIND_NOTICE, ctest_text(LANG_INTEL_DROPPED, "Bob", "Blue")}}});
    c.push_back({"resupply", pkt(msg_write_resupply, ResupplyMsg{ALICE}),
                 [] { player_table[ALICE].blocks = 0; player_table[ALICE].grenades = 0; player_table[ALICE].magazine = 2; },
                 [] {
                     EXPECT_EQ(pl(ALICE).blocks, 50);
                     EXPECT_EQ(pl(ALICE).grenades, 3);
                     EXPECT_EQ(pl(ALICE).magazine, 2);
                 },
                 {}, {}, {"sound wav/switch.wav -300"}});
    c.push_back({"fog colour", pkt(msg_write_colour, ColourMsg{MSG_FOG_COLOUR, 0, 0x203040}), nullptr, [] {}});
    c.push_back({"a shell reloads", pkt(msg_write_reload, ReloadMsg{ALICE, 4, 20}),
                 [] { player_table[ALICE].weapon = WEAPON_SHOTGUN; player_table[ALICE].reload_end = 101; },
                 [] {
                     EXPECT_EQ(pl(ALICE).magazine, 4);
                     EXPECT_EQ(pl(ALICE).reserve, 20);
                     EXPECT_FLOAT_EQ(pl(ALICE).reload_end, 101);
                 },
                 {}, {}, {"sound wav/shotgunreload.wav -300"}});
    c.push_back({"the last shell cocks the gun", pkt(msg_write_reload, ReloadMsg{ALICE, 6, 20}),
                 [] { player_table[ALICE].weapon = WEAPON_SHOTGUN; player_table[ALICE].reload_end = 101; },
                 [] { EXPECT_FLOAT_EQ(pl(ALICE).reload_end, 0); }, {}, {}, {"sound wav/cock.wav -300"}});
    c.push_back({"a whole magazine reloads silently and ends the reload", pkt(msg_write_reload, ReloadMsg{ALICE, 10, 40}),
                 [] { player_table[ALICE].weapon = WEAPON_SEMI; player_table[ALICE].reload_end = 101; },
                 [] {
                     EXPECT_EQ(pl(ALICE).magazine, 10);
                     EXPECT_EQ(pl(ALICE).reserve, 40);
                     EXPECT_FLOAT_EQ(pl(ALICE).reload_end, 0);
                 }});
    c.push_back({"the submachine gun's last rounds end its reload", pkt(msg_write_reload, ReloadMsg{ALICE, 7, 0}),
                 [] { player_table[ALICE].weapon = WEAPON_SMG; player_table[ALICE].reload_end = 101; },
                 [] { EXPECT_FLOAT_EQ(pl(ALICE).reload_end, 0); }});
    c.push_back({"another player reloads", pkt(msg_write_reload, ReloadMsg{BOB, 1, 1}), nullptr, [] {},
                 {}, {}, {"sound3d wav/shotgunreload.wav 0 200.00 100.00 37.60"}});
    return c;
}

// Packets that must change nothing at all: wrong ids, bad lengths, and every
// index, team, weapon, tool, kill type, cell or float out of its range.
std::vector<Case> refused_cases()
{
    std::vector<Case> c;
    auto refuse = [&](const std::string &name, P p, std::function<void()> setup = nullptr) {
        c.push_back({name, std::move(p), std::move(setup), nullptr});
    };
    refuse("empty packet", P{});
    refuse("lone id", P{MSG_KILL});
    for (int id : {1, 9, 10, 15, 19, 29, 30, 31, 200, 255}) refuse("dropped id " + std::to_string(id), P{(uint8_t)id, 0, 0, 0, 0, 0});
    refuse("position not finite", pkt(msg_write_position, PositionMsg{{INFINITY, 1, 1}}));
    refuse("position without a local player", pkt(msg_write_position, PositionMsg{{1, 1, 1}}), [] { local_player_id = -1; });
    refuse("world update all non-finite", world_update({NAN, 1, 1}, {1, 0, 0}));
    refuse("world update facing nowhere", world_update({NAN, 1, 1}, {1, 0, 0}, BOB, {1, 1, 1}, {0, 0, NAN}));
    refuse("move keys of player 40", pkt(msg_write_move_keys, MoveKeysMsg{40, 1}));
    refuse("move keys of an absent player", pkt(msg_write_move_keys, MoveKeysMsg{ABSENT, 1}));
    refuse("fire keys of player 255", pkt(msg_write_fire_keys, FireKeysMsg{255, 1}));
    refuse("grenade of player 32", pkt(msg_write_grenade, GrenadeMsg{32, 1, {1, 1, 1}, {0, 0, 0}}));
    refuse("grenade with NaN velocity", pkt(msg_write_grenade, GrenadeMsg{BOB, 1, {1, 1, 1}, {NAN, 0, 0}}));
    refuse("grenade with an endless fuse", pkt(msg_write_grenade, GrenadeMsg{BOB, INFINITY, {1, 1, 1}, {0, 0, 0}}));
    refuse("grenade into a full table", pkt(msg_write_grenade, GrenadeMsg{BOB, 1, {1, 1, 1}, {0, 0, 0}}),
           [] { world_object_count = WORLD_OBJECT_MAX; });
    refuse("tool 4", pkt(msg_write_tool, ToolMsg{BOB, 4}));
    refuse("tool 255", pkt(msg_write_tool, ToolMsg{BOB, 255}));
    refuse("tool of player 99", pkt(msg_write_tool, ToolMsg{99, 1}));
    refuse("block colour of player 32", pkt(msg_write_colour, ColourMsg{MSG_BLOCK_COLOUR, 32, 1}));
    refuse("objective 4 of four", pkt(msg_write_objective_move, ObjectiveMoveMsg{4, 0, {1, 1, 1}}));
    refuse("objective 255", pkt(msg_write_objective_move, ObjectiveMoveMsg{255, 0, {1, 1, 1}}));
    refuse("objective at NaN", pkt(msg_write_objective_move, ObjectiveMoveMsg{0, 0, {1, NAN, 1}}));
    refuse("territory owner 7", pkt(msg_write_objective_move, ObjectiveMoveMsg{0, 7, {1, 1, 1}}), territories);
    refuse("territory owner -1", pkt(msg_write_objective_move, ObjectiveMoveMsg{0, -1, {1, 1, 1}}), territories);
    for (int team : {-2, 2, 77, -100}) refuse("spawn on team " + std::to_string(team), spawn(BOB, team, 0, {1, 1, 1}));
    refuse("spawn with weapon 3", spawn(BOB, 1, 3, {1, 1, 1}));
    refuse("spawn of player 32", spawn(32, 1, 0, {1, 1, 1}, "Nobody"));
    refuse("spawn at NaN", spawn(ABSENT, 1, 0, {1, 1, NAN}, "Nobody"));
    const int cells[][3] = {{-1, 5, 30}, {512, 5, 30}, {5, -1, 30}, {5, 600, 30},
                            {5, 5, 64},  {5, 5, -1},   {INT32_MIN, 5, 30}, {5, INT32_MAX, 30},
                            {532, 21, 40}, {-492, 21, 40}, {20, 533, 40}}; // the last wrap onto ground
    for (const auto &xyz : cells)
        for (int kind = 0; kind < 4; kind++)
            refuse("block action " + std::to_string(kind) + " at " + std::to_string(xyz[0]) + "," +
                       std::to_string(xyz[1]) + "," + std::to_string(xyz[2]),
                   block(BOB, kind, xyz[0], xyz[1], xyz[2]));
    refuse("block action of player 32", block(32, BLOCK_BUILD, 5, 5, 30));
    refuse("block action kind 4", block(BOB, 4, 5, 5, 39));
    refuse("dig into air", block(BOB, BLOCK_DIG, 5, 5, 20));
    refuse("block line from outside", pkt(msg_write_block_line, BlockLineMsg{BOB, {-5, 10, 39}, {14, 10, 39}}));
    refuse("block line to outside", pkt(msg_write_block_line, BlockLineMsg{BOB, {10, 10, 39}, {10, 10, 70}}));
    refuse("block line of player 33", pkt(msg_write_block_line, BlockLineMsg{33, {10, 10, 39}, {11, 10, 39}}));
    refuse("kill type 7", kill(BOB, CAROL, 7));
    refuse("kill type 255", kill(BOB, CAROL, 255));
    refuse("kill of victim 32", kill(32, CAROL, 0));
    refuse("kill by killer 255", kill(BOB, 255, 0));
    refuse("chat to all from the server", chat(255, CHAT_ALL, "spoof"));
    refuse("team chat from player 40", chat(40, CHAT_TEAM, "spoof"));
    refuse("system line from player 40", chat(40, CHAT_SYSTEM, "spoof"));
    refuse("chat type 3", chat(BOB, 3, "odd"));
    refuse("player 32 leaves", pkt(msg_write_player_left, PlayerLeftMsg{32}));
    refuse("an absent player leaves", pkt(msg_write_player_left, PlayerLeftMsg{ABSENT}));
    refuse("territory taken in flag mode", pkt(msg_write_territory_taken, TerritoryTakenMsg{0, 0, 1}));
    refuse("territory 3 of three", pkt(msg_write_territory_taken, TerritoryTakenMsg{3, 0, 1}), territories);
    refuse("territory taken by spectators", pkt(msg_write_territory_taken, TerritoryTakenMsg{0, 0, -1}), territories);
    refuse("territory taken by team 2", pkt(msg_write_territory_taken, TerritoryTakenMsg{0, 0, 2}), territories);
    refuse("progress of territory 16", pkt(msg_write_capture_progress, CaptureProgressMsg{16, 1, 1, 0.5f}), territories);
    refuse("progress NaN", pkt(msg_write_capture_progress, CaptureProgressMsg{0, 1, 1, NAN}), territories);
    refuse("progress for team 5", pkt(msg_write_capture_progress, CaptureProgressMsg{0, 5, 1, 0.5f}), territories);
    refuse("progress in flag mode", pkt(msg_write_capture_progress, CaptureProgressMsg{0, 1, 1, 0.5f}));
    refuse("intel scored by a spectator", pkt(msg_write_intel_scored, IntelScoredMsg{DAVE, 0}));
    refuse("intel scored by player 40", pkt(msg_write_intel_scored, IntelScoredMsg{40, 0}));
    refuse("intel scored in territory mode", pkt(msg_write_intel_scored, IntelScoredMsg{BOB, 0}), territories);
    refuse("intel taken by an absent player", pkt(msg_write_intel_taken, IntelTakenMsg{ABSENT}));
    refuse("intel taken by a spectator", pkt(msg_write_intel_taken, IntelTakenMsg{DAVE}));
    refuse("intel dropped at NaN", pkt(msg_write_intel_dropped, IntelDroppedMsg{BOB, {NAN, 1, 1}}));
    refuse("intel dropped by player 32", pkt(msg_write_intel_dropped, IntelDroppedMsg{32, {1, 1, 1}}));
    refuse("resupply without a local player", pkt(msg_write_resupply, ResupplyMsg{0}), [] { local_player_id = -1; });
    refuse("reload of player 32", pkt(msg_write_reload, ReloadMsg{32, 1, 1}));
    refuse("reload of an absent player", pkt(msg_write_reload, ReloadMsg{ABSENT, 1, 1}));
    refuse("health without a local player", pkt(msg_write_health, HealthMsg{1, 0, {}}), [] { local_player_id = -1; });
    // Every fixed-size message one byte short and one byte long.
    for (const Case &v : valid_cases()) {
        int id = v.packet[0];
        if (msg_min_size(id, MSG_TO_CLIENT) != msg_limit(id, MSG_TO_CLIENT)) continue;
        refuse(v.name + " (short)", ctest_cut(v.packet), v.setup);
        refuse(v.name + " (long)", ctest_grow(v.packet), v.setup);
    }
    return c;
}

TEST_F(Dispatch, EveryMessageChangesWhatItShould)
{
    for (const Case &c : valid_cases()) run(c);
}

TEST_F(Dispatch, BadPacketsChangeNothing)
{
    for (const Case &c : refused_cases()) run(c);
}

// The own block appears only with the server's echo; a build in the water
// layer is refused by the map but still sounds, as every build does.
TEST_F(Dispatch, OwnBuildWaitsForTheEcho)
{
    world();
    EXPECT_FALSE(solid(50, 50, 39));
    P echo = block(ALICE, BLOCK_BUILD, 50, 50, 39);
    net_dispatch_packet(echo.data(), echo.size());
    EXPECT_TRUE(solid(50, 50, 39));
}

// A map that fills the column pool (as a hostile server may send): an edit
// of the server's that this map has no room for ends the game with the
// damaged-map text and leaves the map as it was; one that fits is applied.
TEST_F(Dispatch, AnEditTheFullPoolCannotStoreEndsTheGame)
{
    const int32_t g = FULL_POOL_GROUND;
    const struct {
        const char *name;
        P packet;
    } cases[] = {
        {"block in the air", block(BOB, BLOCK_BUILD, 100, 100, g - 2)},
        {"cave under the top", block(BOB, BLOCK_DESTROY, 100, 100, g + 1)},
        {"dig", block(BOB, BLOCK_DIG, 100, 100, g + 1)},
        {"blast", block(BOB, BLOCK_BLAST, 100, 100, g)},
        {"line in the air", pkt(msg_write_block_line, BlockLineMsg{BOB, {100, 102, g - 2}, {103, 102, g - 2}})},
        {"line on the ground, then in the air",
         pkt(msg_write_block_line, BlockLineMsg{BOB, {100, 104, g - 1}, {100, 104, g - 3}})},
    };
    const std::vector<uint8_t> img = full_pool_image();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        world();
        ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
        const uint64_t before = ctest_map_digest();
        const int mark = plat_log_count();
        net_dispatch_packet(c.packet.data(), c.packet.size());
        ASSERT_EQ(ctest_fatals.size(), 1u);
        EXPECT_EQ(ctest_fatals[0], ctest_text(LANG_ERR_MAP_DATA));
        ctest_fatals.clear();
        EXPECT_EQ(ctest_map_digest(), before);
        ctest_expect_sounds(mark, {});
    }
    P top = block(BOB, BLOCK_BUILD, 100, 100, g - 1);
    net_dispatch_packet(top.data(), top.size());
    EXPECT_TRUE(ctest_fatals.empty());
    EXPECT_TRUE(solid(100, 100, g - 1));
}

TEST(SectorName, LettersAlongXDigitsAlongY)
{
    struct Case {
        Vec3 at;
        const char *name;
    } cases[] = {
        {{70, 130, 0}, "B3"},   {{0, 0, 0}, "A1"},     {{511.9f, 511.9f, 0}, "H8"},
        {{63.9f, 64, 0}, "A2"}, {{-20, 700, 0}, "A8"}, {{NAN, INFINITY, 0}, "A8"},
    };
    for (const Case &c : cases) {
        char out[3];
        game_sector_name(&c.at, out);
        EXPECT_STREQ(out, c.name) << c.at.x << "," << c.at.y;
    }
}

} // namespace
