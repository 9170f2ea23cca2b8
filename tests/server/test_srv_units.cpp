// Unit tests of the server modules that need no network: settings clamps,
// log lines and paths, the access-list reader, the console editor and the
// master registration bytes.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdarg>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "server/srv_access.h"
#include "server/srv_console.h"
#include "server/srv_log.h"
#include "server/srv_master.h"
#include "server/srv_settings.h"
#include "server/srv_state.h"
#include "server/sys_host.h"

namespace fs = std::filesystem;

static std::string read_all(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

static fs::path fresh_dir(const std::string &name)
{
    fs::path d = fs::path(BKM_UNIT_TMP) / name;
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

static void write_config(const fs::path &path, const std::string &body)
{
    std::ofstream f(path);
    f << "[server]\n" << body;
}

TEST(ServerSettings, CapLimitAndPlayerValuesAreClampedAndDefaultsHold)
{
    struct Case { const char *value; int caplimit; };
    const Case cases[] = {{"0", 1}, {"-5", 1}, {"64", 63}, {"63", 63}, {"3", 3}};
    fs::path dir = fresh_dir("settings");
    for (const Case &c : cases) {
        write_config(dir / "cfg.ini", std::string("caplimit = ") + c.value + "\nteam1name = ABCDEFGHIJKL\n");
        snprintf(srv_config_path, sizeof srv_config_path, "%s", (dir / "cfg.ini").c_str());
        srv_read_config();
        EXPECT_EQ(srv_settings.caplimit, c.caplimit) << c.value;
        EXPECT_STREQ(srv_settings.team_name[0], "ABCDEFGHI"); // cut to 9
        EXPECT_STREQ(srv_settings.team_name[1], "Team 2");
        EXPECT_EQ(srv_settings.has_map, 0);
    }
    snprintf(srv_config_path, sizeof srv_config_path, "%s", (dir / "missing.ini").c_str());
    srv_read_config();
    EXPECT_EQ(srv_settings.port, 32887);
    EXPECT_EQ(srv_settings.masterport, 32885);
    EXPECT_STREQ(srv_settings.masterhost, SRV_DEFAULT_MASTER_HOST);
    EXPECT_STREQ(srv_settings.name, "Zedeza Diro");
    EXPECT_EQ(srv_settings.players, 32);
    EXPECT_EQ(srv_settings.register_master, 1);
    EXPECT_EQ(srv_settings.fog_b, 127);
    EXPECT_EQ(srv_settings.team_b[0], 196);
    EXPECT_EQ(srv_settings.team_g[1], 196);
    EXPECT_EQ(srv_settings.file_missing, 1);

    write_config(dir / "cfg.ini", "map = gen\nbfog = 300\ngfog = -4\nlanguage = -2\n");
    snprintf(srv_config_path, sizeof srv_config_path, "%s", (dir / "cfg.ini").c_str());
    srv_read_config();
    EXPECT_EQ(srv_settings.has_map, 1);
    EXPECT_STREQ(srv_settings.map, "gen");
    EXPECT_EQ(srv_settings.fog_b, 255);
    EXPECT_EQ(srv_settings.fog_g, 0);
    EXPECT_EQ(srv_settings.language_ok, 0); // refused at start, not taken as English
    EXPECT_EQ(srv_settings.file_missing, 0);
}

// A language is an index into the six language codes; anything else would
// leave every text empty, and is refused like a port that is not one.
TEST(ServerSettings, LanguageIsAWholeNumberFromZeroToFive)
{
    struct Case { const char *value; int ok; int language; };
    const Case cases[] = {{"0", 1, 0},  {"5", 1, 5},   {" 3 ", 1, 3}, {"6", 0, 0},  {"9", 0, 0},
                          {"-1", 0, 0}, {"abc", 0, 0}, {"", 0, 0},    {"1x", 0, 0}, {"99999999999", 0, 0}};
    fs::path dir = fresh_dir("language");
    snprintf(srv_config_path, sizeof srv_config_path, "%s", (dir / "cfg.ini").c_str());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        write_config(dir / "cfg.ini", std::string("language = ") + c.value + "\n");
        srv_read_config();
        EXPECT_EQ(srv_settings.language_ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(srv_settings.language, c.language);
        }
    }
    write_config(dir / "cfg.ini", "name = x\n");
    srv_read_config();
    EXPECT_EQ(srv_settings.language_ok, 1);
    EXPECT_EQ(srv_settings.language, 0);
}

// Only a whole number 1..65535 is a port: what a 16-bit cast of the number
// read would make of the rest (0 picks any port, 70000 is 4464, -1 is 65535)
// is refused, and so is a number with anything after it.
TEST(ServerSettings, PortIsAWholeNumberFromOneTo65535)
{
    struct Case { const char *value; int ok; int port; };
    const Case cases[] = {{"32887", 1, 32887}, {"1", 1, 1},     {"65535", 1, 65535}, {"007", 1, 7},
                          {"65536", 0, 0},     {"70000", 0, 0}, {"0", 0, 0},         {"-1", 0, 0},
                          {"abc", 0, 0},       {"12ab", 0, 0},  {"0x10", 0, 0},      {"", 0, 0},
                          {"1 2", 0, 0},       {"99999999999999999999", 0, 0}};
    fs::path dir = fresh_dir("port");
    snprintf(srv_config_path, sizeof srv_config_path, "%s", (dir / "cfg.ini").c_str());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        write_config(dir / "cfg.ini", std::string("port = ") + c.value + "\n");
        srv_read_config();
        EXPECT_EQ(srv_settings.port_ok, c.ok);
        EXPECT_STREQ(srv_settings.port_text, c.value);
        if (c.ok) {
            EXPECT_EQ(srv_settings.port, c.port);
        }
    }
    // Absent: the default, which is a port.
    write_config(dir / "cfg.ini", "name = x\n");
    srv_read_config();
    EXPECT_EQ(srv_settings.port_ok, 1);
    EXPECT_EQ(srv_settings.port, 32887);
}

// Each text key missing from a file that sets all the others: it keeps its
// default (a lookup that hands the default back must not clear it), and the
// others take their values.
TEST(ServerSettings, EveryTextSettingKeepsItsDefaultWhenItsKeyIsMissing)
{
    using S = const ServerSettings &;
    struct Key { const char *key, *value; const char *(*field)(S); };
    const Key keys[] = {
        {"logfilename", "a.log", [](S s) { return (const char *)s.logfilename; }},
        {"perffilename", "b.dat", [](S s) { return (const char *)s.perffilename; }},
        {"logfolder", "/tmp/elsewhere/", [](S s) { return (const char *)s.logfolder; }},
        {"team1name", "Reds", [](S s) { return (const char *)s.team_name[0]; }},
        {"team2name", "Blues", [](S s) { return (const char *)s.team_name[1]; }},
        {"masterhost", "master.example", [](S s) { return (const char *)s.masterhost; }},
        {"gamemode", "tc", [](S s) { return (const char *)s.gamemode; }},
        {"name", "Some Server", [](S s) { return (const char *)s.name; }},
        {"map", "island", [](S s) { return (const char *)s.map; }},
    };
    srv_settings_defaults();
    const ServerSettings defaults = srv_settings;
    EXPECT_STREQ(defaults.logfilename, "bkm_server_log.txt");
    EXPECT_STREQ(defaults.perffilename, "bkm_server_perf.dat");
    fs::path dir = fresh_dir("settings_missing");
    snprintf(srv_config_path, sizeof srv_config_path, "%s", (dir / "cfg.ini").c_str());
    for (const Key &missing : keys) {
        std::string body;
        for (const Key &k : keys)
            if (&k != &missing)
                body += std::string(k.key) + " = " + k.value + "\n";
        write_config(dir / "cfg.ini", body);
        srv_read_config();
        for (const Key &k : keys)
            EXPECT_STREQ(k.field(srv_settings), &k == &missing ? k.field(defaults) : k.value)
                << k.key << " with " << missing.key << " missing";
        EXPECT_EQ(srv_settings.has_map, strcmp(missing.key, "map") != 0) << missing.key;
    }
}

static void log_line(ServerLog *log, const char *tag, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    srv_log_write(log, tag, format, args);
    va_end(args);
}

TEST(ServerLog, LinesAreTaggedCutAndLiteral)
{
    fs::path dir = fresh_dir("log");
    ServerLog log = {};
    snprintf(log.path, sizeof log.path, "%s", (dir / "a.txt").c_str());
    // Writing before opening does nothing.
    srv_log_info(&log, "%s", "lost");
    ASSERT_EQ(srv_log_open(&log), &log);
    EXPECT_EQ(srv_log_open(&log), &log); // already open
    std::string long_text(2000, 'x');
    srv_log_info(&log, "%s", long_text.c_str());
    srv_log_info(&log, "%s", "name %s with percent");
    srv_log_debug(&log, "recv: time %u peer %d", 5u, 3);
    std::string long_format(1020, 'f');
    log_line(&log, "[WARN]", long_format.c_str()); // 6 + 1020 > 1024: dropped
    srv_log_close(&log);
    srv_log_info(&log, "%s", "after close");
    srv_log_close(&log);

    std::string text = read_all(log.path);
    std::istringstream in(text);
    std::string l1, l2, l3, l4;
    std::getline(in, l1);
    std::getline(in, l2);
    std::getline(in, l3);
    EXPECT_FALSE(std::getline(in, l4)) << l4.substr(0, 40);
    EXPECT_EQ(l1.size(), 1022u);
    EXPECT_EQ(l1.substr(0, 9), "[INFO] xx");
    EXPECT_EQ(l2, "[INFO] name %s with percent");
    EXPECT_EQ(l3, "[DEBUG] recv: time 5 peer 3");
}

TEST(ServerLog, PathGetsSlashAndMissingFolderFallsBackToDefault)
{
    fs::path dir = fresh_dir("logpath");
    char path[SRV_PATH_MAX];
    snprintf(srv_settings.logfolder, sizeof srv_settings.logfolder, "%s", dir.c_str());
    ASSERT_EQ(srv_log_path("x.txt", path), 1);
    EXPECT_EQ(std::string(path), (dir / "x.txt").string());

    snprintf(srv_settings.logfolder, sizeof srv_settings.logfolder, "%s", (dir / "nope").c_str());
    ASSERT_EQ(srv_log_path("y.txt", path), 1);
    char prog[SRV_PATH_MAX];
    ASSERT_TRUE(sys_program_dir(prog, sizeof prog));
    EXPECT_EQ(std::string(path), std::string(prog) + "/logs/y.txt");
    EXPECT_TRUE(fs::is_directory(std::string(prog) + "/logs"));
}

TEST(ServerAccessList, FirstWordOfALineMatchesExactly)
{
    fs::path dir = fresh_dir("access");
    std::string list = (dir / "banlist.txt").string();
    std::ofstream(list) << "\n10.0.0.5\t# some player\n#10.0.0.7 commented\n   10.0.0.9   trailing words\n"
                        << "1.2.3.4 " << std::string(80, 'c') << " 10.0.0.8\n# 10.0.0.6\n";
    struct Case { const char *address; int banned; };
    const Case cases[] = {{"10.0.0.5", 1}, {"10.0.0.55", 0}, {"10.0.0.7", 0}, {"10.0.0.9", 1},
                          {"1.2.3.4", 1}, {"10.0.0.8", 0}, {"10.0.0.6", 0}, {"#", 0}};
    for (const Case &c : cases)
        EXPECT_EQ(srv_access_match(list.c_str(), c.address), c.banned) << c.address;
    EXPECT_EQ(srv_access_match((dir / "none.txt").c_str(), "10.0.0.5"), 0);

    std::string fresh = (dir / "adminlist.txt").string();
    ASSERT_EQ(srv_access_append(fresh.c_str(), "127.0.0.1", "Bob"), 1);
    ASSERT_EQ(srv_access_append(fresh.c_str(), "10.1.1.1", "Al"), 1);
    EXPECT_EQ(read_all(fresh), "\n127.0.0.1\t# Bob\n10.1.1.1\t# Al");
    EXPECT_EQ(srv_access_match(fresh.c_str(), "10.1.1.1"), 1);
    EXPECT_EQ(srv_access_append((dir / "no/such/file").c_str(), "1.1.1.1", "x"), 0);
}

static int feed_text(const std::string &s)
{
    int r = 0;
    for (char ch : s)
        r = srv_console_feed(ch == '\n' ? 13 : (unsigned char)ch);
    return r;
}

TEST(ServerConsole, EditorKeepsSixtyThreeCharactersAndQuitEndsTheLoop)
{
    feed_text(std::string(70, 'a'));
    EXPECT_EQ(strlen(srv_console_line()), 63u); // the 64th and later are ignored
    for (int i = 0; i < 70; i++)
        srv_console_feed(8);
    EXPECT_STREQ(srv_console_line(), ""); // Backspace on an empty line does nothing
    srv_console_feed(0);
    EXPECT_EQ(srv_console_feed(13), 0); // Enter on an empty line runs nothing
    EXPECT_EQ(feed_text("quix"), 0);
    srv_console_feed(8);
    EXPECT_STREQ(srv_console_line(), "qui");
    EXPECT_EQ(feed_text("t\n"), -1);
    EXPECT_STREQ(srv_console_line(), ""); // cleared after running
    EXPECT_EQ(feed_text("quit now\n"), 0);
    EXPECT_EQ(feed_text("kick 40\n"), 0); // no such player: ignored
}

TEST(ServerMaster, RegistrationBytesFollowTheLayout)
{
    snprintf(srv_server_name, sizeof srv_server_name, "Zedeza Diro");
    snprintf(srv_mode_word, sizeof srv_mode_word, "ctf");
    snprintf(srv_map_name, sizeof srv_map_name, "gen");
    srv_player_count = 32;
    srv_settings.port = 32887;
    uint8_t buf[128];
    ASSERT_EQ(srv_master_build_registration(buf, sizeof buf), 24);
    const uint8_t expect[23] = {32, 0x77, 0x80, 'Z', 'e', 'd', 'e', 'z', 'a', ' ', 'D', 'i', 'r', 'o', 0,
                                'c', 't', 'f', 0, 'g', 'e', 'n', 0};
    EXPECT_EQ(memcmp(buf, expect, sizeof expect), 0);
    EXPECT_EQ(srv_master_build_registration(buf, 23), 0); // too small: nothing
    snprintf(srv_mode_word, sizeof srv_mode_word, "tc");
    snprintf(srv_map_name, sizeof srv_map_name, "island");
    srv_player_count = 4;
    EXPECT_EQ(srv_master_build_registration(buf, sizeof buf), 7 + 11 + 2 + 6);
    EXPECT_EQ(buf[0], 4);
}

// ---- admission, removal and joins, driven with hand-made ENet events ----

#include "server_slots.h"

TEST_F(ServerSlots, ANewConnectionStartsFromAClearedRecord)
{
    PlayerRecord *p = &player_table[0];
    p->admin = 1;
    p->alive = 1;
    p->kills = 9;
    p->grenades = 3;
    ENetEvent e = event(0, ENET_EVENT_TYPE_CONNECT);
    srv_on_connect(&e);
    EXPECT_EQ(p->present, 1);
    EXPECT_EQ(p->team, TEAM_NONE);
    EXPECT_EQ(p->id, 0);
    EXPECT_EQ(p->peer, &peers[0]);
    EXPECT_EQ(p->admin, 0);
    EXPECT_EQ(p->alive, 0);
    EXPECT_EQ(p->kills, 0);
    EXPECT_EQ(p->grenades, 0);
    EXPECT_EQ(peers[0].data, &p->id);
    EXPECT_EQ(srv_connected_count, 1u);
}

TEST_F(ServerSlots, RefusalsAndRemovalsClearThePeerAndStalePeersRemoveNobody)
{
    ENetEvent c0 = event(0, ENET_EVENT_TYPE_CONNECT);
    srv_on_connect(&c0);
    // A refused peer carries no player, whatever it held before.
    peers[1].data = &player_table[0].id;
    ENetEvent wrong = event(1, ENET_EVENT_TYPE_CONNECT, 3);
    srv_on_connect(&wrong);
    EXPECT_EQ(peers[1].data, nullptr);
    srv_player_count = 1;
    peers[2].data = &player_table[0].id;
    ENetEvent full = event(2, ENET_EVENT_TYPE_CONNECT);
    srv_on_connect(&full);
    EXPECT_EQ(peers[2].data, nullptr);

    // A stale peer pointing at slot 0 cannot remove its occupant.
    peers[3].data = &player_table[0].id;
    ENetEvent stale = event(3, ENET_EVENT_TYPE_DISCONNECT);
    srv_on_disconnect(&stale);
    EXPECT_EQ(player_table[0].present, 1);
    EXPECT_EQ(peers[3].data, nullptr);
    EXPECT_EQ(srv_connected_count, 1u);

    ENetEvent gone = event(0, ENET_EVENT_TYPE_DISCONNECT);
    srv_on_disconnect(&gone);
    EXPECT_EQ(player_table[0].present, 0);
    EXPECT_EQ(peers[0].data, nullptr);
    EXPECT_EQ(srv_connected_count, 0u);
    EXPECT_EQ(srv_pending_count(0), 0);
    // A second disconnect of the same peer is ignored.
    srv_on_disconnect(&gone);
    EXPECT_EQ(srv_connected_count, 0u);
}

TEST_F(ServerSlots, JoinValuesOutsideTheDataModelAreRefused)
{
    ENetEvent c0 = event(0, ENET_EVENT_TYPE_CONNECT);
    srv_on_connect(&c0);
    struct Case { uint8_t team, weapon; int joined; };
    const Case cases[] = {{7, 0, 0}, {2, 0, 0}, {254, 0, 0}, {0, 3, 0}, {1, 255, 0}, {1, 2, 1}};
    for (const Case &c : cases) {
        uint8_t msg[18] = {9, 0, c.team, c.weapon, 2, 0, 0, 0, 0, 127, 127, 127, 'A', 'n', 'n', 0};
        ENetPacket *packet = enet_packet_create(msg, 16, ENET_PACKET_FLAG_RELIABLE);
        ENetEvent e = event(0, ENET_EVENT_TYPE_RECEIVE, 0, packet);
        srv_dispatch_message(&e);
        EXPECT_EQ(player_table[0].team != TEAM_NONE, c.joined == 1) << (int)c.team << " " << (int)c.weapon;
    }
    EXPECT_EQ(player_table[0].team, 1);
    EXPECT_EQ(player_table[0].weapon, 2);
    EXPECT_STREQ(player_table[0].name, "Ann");
    EXPECT_EQ(player_table[0].peer, &peers[0]);
}

// A player whose held packets overflow loses the order of what he receives:
// he alone is dropped, the others keep their transfer.
TEST_F(ServerSlots, AFullHoldDropsThatPlayerOnlyAtAMapChangeAndBehindATransfer)
{
    for (int i = 0; i < 3; i++) {
        ENetEvent c = event(i, ENET_EVENT_TYPE_CONNECT);
        srv_on_connect(&c);
        ASSERT_EQ(player_table[i].present, 1) << i;
    }
    auto small = [] {
        uint8_t b[4] = {20, 0, 0, 0};
        return enet_packet_create(b, 2, ENET_PACKET_FLAG_RELIABLE);
    };
    // Learn the hold's capacity, then fill player 1's to the brim.
    srv_pending_discard(1);
    int cap = 0;
    while (srv_send_held(1, small()) == 0)
        cap++;
    ASSERT_TRUE(srv_pending_broken(1));
    srv_pending_discard(1);
    EXPECT_FALSE(srv_pending_broken(1));
    for (int n = 0; n < cap; n++)
        ASSERT_EQ(srv_send_held(1, small()), 0);

    srv_send_map(-1);
    EXPECT_EQ(player_table[0].present, 1);
    EXPECT_EQ(player_table[1].present, 0);
    EXPECT_EQ(player_table[2].present, 1);
    EXPECT_EQ(srv_pending_count(1), 0);
    EXPECT_GT(srv_pending_count(0), 0);
    EXPECT_EQ(srv_connected_count, 2u);

    // A message that finds the hold of a player behind a transfer full.
    while (srv_pending_count(2) < cap)
        ASSERT_EQ(srv_send_held(2, small()), 0);
    EXPECT_FALSE(srv_pending_broken(2));
    srv_send_to(player_table[2].peer, small());
    EXPECT_TRUE(srv_pending_broken(2));
    srv_drop_broken_transfers();
    EXPECT_EQ(player_table[2].present, 0);
    EXPECT_EQ(player_table[0].present, 1);
    EXPECT_FALSE(srv_pending_broken(2));
}
