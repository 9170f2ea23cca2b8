// Command parsing, console and chat commands and the vote-kick, run
// in-process on the player table (no network: slots have no peers, and
// whatever would be sent is dropped).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/map_store.h"
#include "common/protocol.h"
#include "server/srv_commands.h"
#include "server/srv_mapfile.h"
#include "server/srv_name.h"
#include "server/srv_settings.h"
#include "server/srv_state.h"
#include "server/srv_stats.h"
#include "server/srv_vote.h"
#include "server/sys_host.h"

namespace fs = std::filesystem;

static std::string read_all(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

static std::string fmt(int id, int a, int b = 0, int c = 0)
{
    char buf[1024];
    snprintf(buf, sizeof buf, lang_get(id), a, b, c);
    return buf;
}

// A table of `joined` players on teams 0/1 followed by `loading` connected
// players that have not joined yet; the rest free. Runs in a fresh folder so
// that the list files start empty.
class Commands : public ::testing::Test {
protected:
    fs::path old_dir;

    void SetUp() override
    {
        ASSERT_EQ(lang_load_file(BKM_LANG_FILE), 1);
        old_dir = fs::current_path();
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        fs::path dir = old_dir / "unit_tmp" / info->name();
        fs::remove_all(dir);
        fs::create_directories(dir / "vxl");
        fs::current_path(dir);
        srv_settings_defaults();
        srv_vote_clear();
        srv_map_change_time = 0;
        srv_last_second = 1000;
        snprintf(srv_map_name, sizeof srv_map_name, "gen");
        fill(4, 0);
    }
    void TearDown() override
    {
        fs::current_path(old_dir);
        memset(player_table, 0, sizeof player_table);
        srv_connected_count = 0;
    }

    static void fill(int joined, int loading)
    {
        memset(player_table, 0, sizeof player_table);
        for (int i = 0; i < joined + loading; i++) {
            PlayerRecord *p = &player_table[i];
            p->present = 1;
            p->id = i;
            p->team = i < joined ? i % 2 : TEAM_NONE;
            snprintf(p->name, sizeof p->name, "P%d", i);
        }
        srv_connected_count = (uint32_t)(joined + loading);
    }

    static void chat(int player, const char *text)
    {
        ChatMsg m;
        memset(&m, 0, sizeof m);
        m.player = (uint8_t)player;
        snprintf(m.text, sizeof m.text, "%s", text);
        srv_chat_command(player, &m);
    }

    static std::string console(const char *line, int *result = nullptr)
    {
        testing::internal::CaptureStdout();
        int r = srv_console_run(line);
        if (result)
            *result = r;
        return testing::internal::GetCapturedStdout();
    }
};

TEST(CommandScan, NumbersReadAsPercentIWithoutOverflow)
{
    struct Case { const char *text; int result; int value; const char *left; };
    const Case cases[] = {
        {" 7", 1, 7, ""},           {"31 rest", 1, 31, " rest"}, {"-3", 1, -3, ""},
        {"0x1f", 1, 31, ""},        {"010", 1, 8, ""},           {"+5x", 1, 5, "x"},
        {"", 0, 0, ""},             {"abc", 0, 0, "abc"},        {"- 5", 0, 0, "- 5"},
        {"2147483647", 1, INT_MAX, ""},
        // Would wrap to a small id (4294967299 = 2^32 + 3) through sscanf.
        {"4294967299", -1, 0, ""},  {"-2147483649", -1, 0, ""},  {"99999999999999999999999", -1, 0, ""},
    };
    for (const Case &c : cases) {
        const char *s = c.text;
        int v = 0;
        EXPECT_EQ(srv_scan_int(&s, &v), c.result) << c.text;
        if (c.result == 1) {
            EXPECT_EQ(v, c.value) << c.text;
            EXPECT_STREQ(s, c.left) << c.text;
        }
    }
}

TEST(CommandScan, WordsAreBoundedAndOverlongOnesRefused)
{
    char w[8];
    const char *s = "  ping 3";
    ASSERT_EQ(srv_scan_word(&s, w, sizeof w), 1);
    EXPECT_STREQ(w, "ping");
    EXPECT_STREQ(s, " 3");
    s = "1234567";
    EXPECT_EQ(srv_scan_word(&s, w, sizeof w), 1);
    s = "12345678"; // one more than fits
    EXPECT_EQ(srv_scan_word(&s, w, sizeof w), 0);
    s = "   ";
    EXPECT_EQ(srv_scan_word(&s, w, sizeof w), 0);
}

TEST(PlayerName, ControlCharactersAreRemoved)
{
    struct Case { const char *in, *out; };
    const Case cases[] = {{"Deuce", "Deuce"}, {"a\nb", "ab"}, {"\n10.0.0.9\t# x", "10.0.0.9# x"},
                          {"\r\x1b[2J", "[2J"}, {"del\x7f", "del"}, {"\t\n", ""}, {"caf\xc3\xa9", "caf\xc3\xa9"}};
    for (const Case &c : cases) {
        char name[32];
        snprintf(name, sizeof name, "%s", c.in);
        EXPECT_EQ(srv_name_clean(name), (int)strlen(c.out));
        EXPECT_STREQ(name, c.out);
    }
}

TEST(VoteKick, NeedFollowsFortyPercentOfTheJoinedWithAMinimumOfTwo)
{
    const int cases[][2] = {{0, 2}, {1, 2}, {4, 2}, {5, 2}, {7, 2}, {8, 3}, {10, 4}, {12, 4}, {13, 5}, {32, 12}};
    for (const auto &c : cases)
        EXPECT_EQ(srv_vote_needed(c[0]), c[1]) << c[0];
}

TEST_F(Commands, VotePassesWithEnoughYesVotesCountingOnlyJoinedPlayers)
{
    // 4 joined and 4 still loading: the need is 2 (of 4), not 3 (of 8).
    fill(4, 4);
    chat(0, "/votekick 3");
    ASSERT_EQ(srv_vote.target, 3);
    EXPECT_GE(srv_vote.deadline, sys_time_seconds() + SRV_VOTE_SECONDS - 1);
    chat(1, "/votekick 2"); // one vote at a time
    EXPECT_EQ(srv_vote.target, 3);

    chat(3, "/y"); // the target may vote against himself
    EXPECT_EQ(srv_vote.votes, 1);
    chat(3, "/y"); // a second yes from the same player is ignored
    chat(5, "/y"); // not joined: no say
    chat(1, "/Y"); // the upper-case letter is no vote
    EXPECT_EQ(srv_vote.votes, 1);
    EXPECT_TRUE(player_table[3].present);

    chat(2, "/yes"); // a word that begins with the letter counts
    EXPECT_FALSE(player_table[3].present);
    EXPECT_EQ(srv_vote.target, -1);
    EXPECT_EQ(srv_connected_count, 7u);
}

TEST_F(Commands, VoteTimesOutAfterItsDeadlineOnly)
{
    chat(0, "/votekick 1");
    ASSERT_EQ(srv_vote.target, 1);
    int64_t deadline = srv_vote.deadline;
    EXPECT_EQ(srv_vote_timeout(deadline), 0);
    EXPECT_EQ(srv_vote.target, 1);
    EXPECT_EQ(srv_vote_timeout(deadline + 1), 1);
    EXPECT_EQ(srv_vote.target, -1);
    EXPECT_TRUE(player_table[1].present);
    chat(2, "/y"); // no vote running: not a vote, and nothing else either
    EXPECT_EQ(srv_vote.votes, 0);
}

TEST_F(Commands, VoteKickOnBadIdsDoesNothing)
{
    const char *texts[] = {"/votekick 40", "/votekick 7", "/votekick -1", "/votekick 4294967299",
                           "/votekick", "/votekick x", "/votekick3", "/votekickvotekickvotekick 3"};
    for (const char *t : texts) {
        chat(0, t);
        EXPECT_EQ(srv_vote.target, -1) << t;
    }
}

TEST_F(Commands, AdminWordsNeedAnAdmin)
{
    chat(0, "/kick 2");
    chat(0, "/admin 0");
    EXPECT_TRUE(player_table[2].present);
    EXPECT_FALSE(player_table[0].admin);
    EXPECT_FALSE(fs::exists("adminlist.txt"));

    player_table[0].admin = 1;
    chat(0, "/admin 1");
    EXPECT_TRUE(player_table[1].admin);
    EXPECT_EQ(read_all("adminlist.txt"), "\n\t# P1"); // no peer, so no address
    chat(0, "/kick 2");
    EXPECT_FALSE(player_table[2].present);
    chat(0, "/kick 4294967298"); // wraps to 2 through sscanf; refused here
    chat(0, "/kick 40");
    EXPECT_EQ(srv_connected_count, 3u);
}

TEST_F(Commands, ConsoleKickAdminAndIgnoredIds)
{
    EXPECT_EQ(console("kick 40"), "");
    EXPECT_EQ(console("kick 9"), "");      // empty slot
    EXPECT_EQ(console("kick 4294967297"), ""); // out of range: ignored, not slot 1
    EXPECT_EQ(srv_connected_count, 4u);
    console("kick 1");
    EXPECT_FALSE(player_table[1].present);

    console("admin 2");
    EXPECT_TRUE(player_table[2].admin);
    EXPECT_EQ(read_all("adminlist.txt"), "\n\t# P2");
    console("admin 3");
    EXPECT_EQ(read_all("adminlist.txt"), "\n\t# P2\n\t# P3");
}

TEST_F(Commands, ConsoleFogStoresTheColourAndRefusesNonBytes)
{
    EXPECT_EQ(console("fog 10 20 30"), fmt(32, 10, 20, 30) + "\n");
    EXPECT_EQ(srv_settings.fog_r, 10);
    EXPECT_EQ(srv_settings.fog_g, 20);
    EXPECT_EQ(srv_settings.fog_b, 30);
    const char *bad[] = {"fog 10 20 300", "fog -1 0 0", "fog 1 2", "fog"};
    for (const char *b : bad) {
        EXPECT_EQ(console(b), std::string(lang_get(39)) + "\n") << b;
        EXPECT_EQ(srv_settings.fog_b, 30) << b;
    }
}

// The refusal line of a map command, as the language file words it.
static std::string refused_line(const char *name, int reason_id, const char *detail)
{
    char why[512], line[1024];
    snprintf(why, sizeof why, lang_get(reason_id), detail);
    snprintf(line, sizeof line, lang_get(LANG_MAP_REFUSED), name, why);
    return std::string(line) + "\n";
}

TEST_F(Commands, ConsoleMapSchedulesOnlyAnExistingFileAndResetRetriesTheName)
{
    std::string not_found = refused_line("nowhere", LANG_MAP_MISSING, "vxl/nowhere.vxl");
    EXPECT_EQ(console("map nowhere"), not_found);
    EXPECT_STREQ(srv_map_name, "nowhere");
    EXPECT_EQ(srv_map_change_time, 0);
    EXPECT_EQ(console("map reset"), not_found); // the missing name again
    EXPECT_STREQ(srv_map_name, "nowhere");

    // A file that opens but holds no map is named with the reason; nothing
    // is scheduled, and the name stays the current one.
    std::ofstream("vxl/nowhere.vxl") << "x";
    std::string out = console("map reset");
    char why[256], refused[512];
    snprintf(why, sizeof why, lang_get(LANG_MAP_INVALID), "column runs past the end of the image");
    snprintf(refused, sizeof refused, lang_get(LANG_MAP_REFUSED), "nowhere", why);
    EXPECT_EQ(out, std::string(refused) + "\n");
    EXPECT_EQ(srv_map_change_time, 0);
    EXPECT_STREQ(srv_map_name, "nowhere");

    map_make_flat(40, 0x7F336699u);
    ASSERT_EQ(map_save("vxl/nowhere.vxl"), 1);
    out = console("map reset");
    EXPECT_NE(out.find("nowhere"), std::string::npos) << out;
    EXPECT_EQ(srv_map_change_time, 1010);
}

// A change already announced is the one that comes: a refused or missing
// name typed meanwhile is named and dropped, never made current. With
// nothing pending, a missing name still becomes current (for "map reset").
TEST_F(Commands, ARefusedMapWhileAChangeIsPendingLeavesTheAnnouncedOne)
{
    map_make_flat(40, 0x7F336699u);
    ASSERT_EQ(map_save("vxl/pend.vxl"), 1);
    std::ofstream("vxl/bad.vxl") << "x";
    ASSERT_NE(console("map pend").find("pend"), std::string::npos);
    ASSERT_EQ(srv_map_change_time, 1010);
    srv_last_second = 1004;
    struct Case {
        const char *line, *name;
        int reason;
        const char *detail;
    } cases[] = {
        {"map bad", "bad", LANG_MAP_INVALID, "column runs past the end of the image"},
        {"map nosuch", "nosuch", LANG_MAP_MISSING, "vxl/nosuch.vxl"},
        {"map ../pend", "../pend", LANG_MAP_BAD_NAME, ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(console(c.line), refused_line(c.name, c.reason, c.detail)) << c.line;
        EXPECT_STREQ(srv_map_name, "pend") << c.line;
        EXPECT_EQ(srv_map_change_time, 1010) << c.line;
    }
    // "map reset" while pending checks the announced map and announces it again.
    EXPECT_NE(console("map reset").find("pend"), std::string::npos);
    EXPECT_EQ(srv_map_change_time, 1014);

    srv_map_change_time = 0; // the change has come
    console("map nosuch");
    EXPECT_STREQ(srv_map_name, "nosuch");
}

// Names that would lead out of vxl/ are refused before any file is touched,
// whatever lies there; sub-folders of vxl/ are fine.
TEST_F(Commands, MapNamesThatLeaveTheMapFolderAreRefused)
{
    map_make_flat(40, 0x7F336699u);
    ASSERT_EQ(map_save("outside.vxl"), 1); // beside vxl/, as a server folder would hold it
    fs::create_directories("vxl/sub");
    ASSERT_EQ(map_save("vxl/sub/inner.vxl"), 1);
    const char *bad[] = {"../outside", "/tmp/x", "sub/../../outside", "..", "sub/..", "a/../b"};
    for (const char *name : bad) {
        EXPECT_EQ(srv_mapfile_name_ok(name), 0) << name;
        EXPECT_EQ(console((std::string("map ") + name).c_str()), refused_line(name, LANG_MAP_BAD_NAME, "")) << name;
        EXPECT_EQ(srv_map_change_time, 0) << name;
        EXPECT_STREQ(srv_map_name, "gen") << name;
    }
    const char *good[] = {"sub/inner", "..x", "x..", "a.b", "sub/.hidden"};
    for (const char *name : good)
        EXPECT_EQ(srv_mapfile_name_ok(name), 1) << name;
    EXPECT_NE(console("map sub/inner").find("sub/inner"), std::string::npos);
    EXPECT_EQ(srv_map_change_time, 1010);
}

// A file that exists but may not be read is named with the system's reason,
// not as missing. Root reads whatever the bits say, so the open is tried by
// a child process that has given up root for an unprivileged user.
TEST_F(Commands, AMapFileWithoutReadPermissionIsNamedWithTheReason)
{
    map_make_flat(40, 0x7F336699u);
    ASSERT_EQ(map_save("vxl/noperm.vxl"), 1);
    ASSERT_EQ(chmod("vxl/noperm.vxl", 0), 0);
    int pipe_fd[2];
    ASSERT_EQ(pipe(pipe_fd), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(pipe_fd[0]);
        // 65534: "nobody" on common systems; any unprivileged id will do.
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        if (geteuid() == 0)
            _exit(3);
        char why[SRV_MAPFILE_WHY];
        int result = 0;
        FILE *f = srv_mapfile_open("noperm", why, sizeof why, &result);
        char line[1024];
        snprintf(line, sizeof line, "%d %s", result, why);
        if (f)
            fclose(f);
        ssize_t w = write(pipe_fd[1], line, strlen(line));
        _exit(w > 0 ? 0 : 4);
    }
    close(pipe_fd[1]);
    std::string got;
    char buf[512];
    ssize_t n;
    while ((n = read(pipe_fd[0], buf, sizeof buf)) > 0)
        got.append(buf, (size_t)n);
    close(pipe_fd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3)
        GTEST_SKIP() << "cannot give up root here (setuid to 65534 refused): the permission case needs an "
                        "unprivileged user";
    char why[512];
    snprintf(why, sizeof why, lang_get(LANG_MAP_UNREADABLE), strerror(EACCES));
    EXPECT_EQ(got, std::to_string(SRV_MAPFILE_UNREADABLE) + " " + why);
}

TEST_F(Commands, ConsoleQuitAndUnknownLines)
{
    int r = 0;
    console("quit", &r);
    EXPECT_EQ(r, -1);
    std::string unknown = std::string(lang_get(39)) + "\n";
    const char *lines[] = {"quit now", "kick", "kick x", "bann 2", "hello", "map"};
    for (const char *l : lines) {
        EXPECT_EQ(console(l, &r), unknown) << l;
        EXPECT_EQ(r, 0) << l;
    }
    EXPECT_EQ(srv_connected_count, 4u);
}

TEST(TickStats, PercentilesAndMaximumOfPeriodsAndWork)
{
    srv_stats_reset();
    srv_stats_tick(5.0f, 0.001f); // the first period is the start-up: not counted
    for (int i = 1; i <= 99; i++)
        srv_stats_tick(1.0f / 60.0f, 0.0005f);
    srv_stats_tick(0.040f, 0.300f); // one slow tick, past the histogram's end
    EXPECT_EQ(srv_stats_ticks(), 101);
    EXPECT_NEAR(srv_stats_period_ms(0.5f), 16.66f, 0.011f);
    EXPECT_NEAR(srv_stats_period_ms(0.99f), 16.66f, 0.011f);
    EXPECT_NEAR(srv_stats_period_max_ms(), 40.0f, 0.001f);
    EXPECT_NEAR(srv_stats_work_ms(0.5f), 0.5f, 0.011f);
    EXPECT_NEAR(srv_stats_work_ms(1.0f), 250.0f, 0.011f);
    EXPECT_NEAR(srv_stats_work_max_ms(), 300.0f, 0.01f);
    char line[256];
    srv_stats_summary(line, sizeof line);
    EXPECT_EQ(std::string(line).rfind("ticks 101, period p50 16.66 p99 16.66 max 40.00 ms, work p50 0.50", 0), 0u)
        << line;
    srv_stats_reset();
    EXPECT_EQ(srv_stats_ticks(), 0);
}
