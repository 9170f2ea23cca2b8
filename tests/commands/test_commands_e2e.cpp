// Console and chat commands against the real server over 127.0.0.1. Clients
// connect from their own loopback addresses so that kicks, bans and the
// admin list each concern one of them.
#include <cstring>
#include <functional>

#include "common/byteio.h"
#include "common/lang_ids.h"
#include "server/e2e_common.h"

namespace {

// The system chat lines (player 255, type 2) a client received.
std::vector<std::string> system_lines(const TestClient *c)
{
    std::vector<std::string> out;
    for (const auto &m : tcl_messages(c, 17))
        if (m.size() >= 4 && m[1] == 255 && m[2] == 2)
            out.push_back(tcl_name_at(m, 3));
    return out;
}

bool has_line(const TestClient *c, const std::string &text)
{
    for (const auto &l : system_lines(c))
        if (l == text)
            return true;
    return false;
}

class CommandsE2E : public ServerE2E {
protected:
    // Connects from local_ip, downloads and joins team 0 with the name.
    bool join_from(TestClient *c, const char *local_ip, const char *name)
    {
        return tcl_connect_from(c, local_ip, port) && tcl_download(c, E2E_WAIT_MS) && tcl_join(c, 0, 0, name);
    }
    // The reason of a refused connection from local_ip, -1 when accepted.
    int refusal_from(TestClient *c, const char *local_ip)
    {
        tcl_connect_from(c, local_ip, port);
        tcl_wait(c, [c] { return c->disconnected || c->map_begun; }, E2E_WAIT_MS);
        int r = c->disconnected ? (int)c->disconnect_data : -1;
        tcl_abort(c);
        return r;
    }
    // Types a console line and waits until the output shows `expect`.
    bool type_and_wait(const std::string &line, const std::string &expect)
    {
        size_t mark = srv.output.size();
        tsv_type(&srv, line + "\n");
        return tsv_wait_output(&srv, expect, E2E_WAIT_MS, mark);
    }
    // Services every client and reads the server's output until pred holds
    // (clients left alone for seconds would be timed out by the server).
    bool wait_all(std::initializer_list<TestClient *> clients, const std::function<bool()> &pred, int ms)
    {
        int64_t end = tsv_now_ms() + ms;
        while (!pred()) {
            if (tsv_now_ms() >= end)
                return pred();
            for (TestClient *c : clients)
                tcl_poll(c);
            tsv_read_output(&srv, 1);
        }
        return true;
    }
    // A chat line (type 0) from the client.
    static void say(TestClient *c, const std::string &text)
    {
        std::vector<uint8_t> m = {17, (uint8_t)(c->own_id < 0 ? 0 : c->own_id), 0};
        for (char ch : text) // (insert of a range trips a false -Warray-bounds in GCC 12)
            m.push_back((uint8_t)ch);
        m.push_back(0);
        tcl_send(c, m);
    }
    bool wait_line(TestClient *c, const std::string &text)
    {
        return tcl_wait(c, [&] { return has_line(c, text); }, E2E_WAIT_MS);
    }
};

TEST_F(CommandsE2E, KickDropsThePlayerAndRefusesHisAddressAsKicked)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b, again, other;
    ASSERT_TRUE(join_from(&a, "127.0.0.21", "Alice"));
    ASSERT_TRUE(join_from(&b, "127.0.0.22", "Bob"));
    ASSERT_TRUE(type_and_wait("kick 0", e2e_text(55, "Alice")));
    EXPECT_TRUE(wait_line(&b, e2e_text(55, "Alice")));
    EXPECT_TRUE(tcl_wait(&b, [&b] { return !tcl_messages(&b, 20).empty(); }, E2E_WAIT_MS));
    tcl_abort(&a);
    EXPECT_EQ(refusal_from(&again, "127.0.0.21"), 2); // REJECT_KICKED
    EXPECT_EQ(refusal_from(&other, "127.0.0.23"), -1);
    tcl_close(&b);
    EXPECT_EQ(quit(), 0);
}

TEST_F(CommandsE2E, BanWritesTheExactLineAndHoldsAfterARestart)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b;
    // The name tries to add a line of its own to the list.
    ASSERT_TRUE(join_from(&a, "127.0.0.31", "Ann\n127.0.0.32"));
    ASSERT_TRUE(join_from(&b, "127.0.0.33", "Ben"));
    ASSERT_TRUE(type_and_wait("ban 0", e2e_text(52, "Ann127.0.0.32")));
    EXPECT_TRUE(wait_line(&b, e2e_text(52, "Ann127.0.0.32")));
    EXPECT_EQ(tsv_read_file(srv.dir + "/banlist.txt"), "\n127.0.0.31\t# Ann127.0.0.32");
    tcl_abort(&a);
    tcl_close(&b);
    ASSERT_EQ(quit(), 0);

    srv.output.clear();
    ASSERT_TRUE(start()) << srv.output;
    TestClient banned, fine, fine2;
    EXPECT_EQ(refusal_from(&banned, "127.0.0.31"), 1); // REJECT_BANNED
    EXPECT_EQ(refusal_from(&fine, "127.0.0.32"), -1);
    EXPECT_EQ(refusal_from(&fine2, "127.0.0.33"), -1);
    EXPECT_EQ(quit(), 0);
}

TEST_F(CommandsE2E, AdminAppendsTheLineGrantsAndIsReadAtTheNextJoin)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a;
    ASSERT_TRUE(join_from(&a, "127.0.0.41", "Ada"));
    ASSERT_TRUE(type_and_wait("admin 0", e2e_text(42, "Ada")));
    EXPECT_TRUE(wait_line(&a, e2e_text(36)));
    EXPECT_EQ(tsv_read_file(srv.dir + "/adminlist.txt"), "\n127.0.0.41\t# Ada");
    ASSERT_TRUE(type_and_wait("admin 7", "")); // nobody there: ignored
    tcl_close(&a);
    ASSERT_EQ(quit(), 0);

    srv.output.clear();
    ASSERT_TRUE(start()) << srv.output;
    TestClient again, other;
    ASSERT_TRUE(join_from(&again, "127.0.0.41", "Ada"));
    EXPECT_TRUE(wait_line(&again, e2e_text(36)));
    ASSERT_TRUE(join_from(&other, "127.0.0.42", "Eve"));
    tcl_service(&other, 300);
    EXPECT_FALSE(has_line(&other, e2e_text(36)));
    EXPECT_EQ(tsv_read_file(srv.dir + "/adminlist.txt"), "\n127.0.0.41\t# Ada");
    tcl_close(&again);
    tcl_close(&other);
    EXPECT_EQ(quit(), 0);
}

TEST_F(CommandsE2E, FogGoesToAllAndToLaterJoinersAndBadLinesAreNamed)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b, c;
    ASSERT_TRUE(join_from(&a, "127.0.0.51", "A"));
    ASSERT_TRUE(tcl_connect_from(&b, "127.0.0.52", port) && tcl_download(&b, E2E_WAIT_MS)); // not joined
    ASSERT_TRUE(type_and_wait("fog 10 20 30", e2e_text(32, 10, 20, 30)));
    for (TestClient *t : {&a, &b}) {
        ASSERT_TRUE(tcl_wait(t, [t] { return !tcl_messages(t, 27).empty(); }, E2E_WAIT_MS));
        auto m = tcl_messages(t, 27)[0];
        ASSERT_EQ(m.size(), 5u);
        EXPECT_EQ(m[2], 30); // blue
        EXPECT_EQ(m[3], 20); // green
        EXPECT_EQ(m[4], 10); // red
    }
    ASSERT_TRUE(tcl_connect_from(&c, "127.0.0.53", port) && tcl_download(&c, E2E_WAIT_MS));
    auto st = tcl_messages(&c, 15);
    ASSERT_FALSE(st.empty());
    EXPECT_EQ(st[0][2], 30);
    EXPECT_EQ(st[0][3], 20);
    EXPECT_EQ(st[0][4], 10);

    std::string unknown = e2e_text(39);
    EXPECT_TRUE(type_and_wait("fog 1 2 300", unknown));
    EXPECT_TRUE(type_and_wait("hello", unknown));
    EXPECT_TRUE(type_and_wait("map nosuchmap", e2e_text(LANG_MAP_REFUSED, "nosuchmap",
                                                        e2e_text(LANG_MAP_MISSING, "vxl/nosuchmap.vxl").c_str())));
    tcl_service(&a, 200);
    EXPECT_EQ(tcl_messages(&a, 27).size(), 1u);
    for (TestClient *t : {&a, &b, &c})
        tcl_close(t);
    EXPECT_EQ(quit(), 0);
}

TEST_F(CommandsE2E, MapChangeSendsTheMapAndStateToAllAndResetsTheTeams)
{
    make_folder();
    tsv_write_file(srv.dir + "/vxl/other.vxl", tsv_read_file(srv.dir + "/vxl/flat.vxl"));
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b;
    ASSERT_TRUE(join_from(&a, "127.0.0.61", "A"));
    ASSERT_TRUE(join_from(&b, "127.0.0.62", "B"));
    std::string note = e2e_text(45, "other", 10);
    ASSERT_TRUE(type_and_wait("map other", note));
    EXPECT_TRUE(wait_line(&a, note));
    EXPECT_TRUE(wait_line(&b, note));
    // The change comes within 10 s (and a second's rounding): the map and
    // then the state again, to everybody.
    auto changed = [&] {
        for (TestClient *t : {&a, &b})
            if (t->map_transfers != 2 || !t->map_done || tcl_messages(t, 15).size() != 2)
                return false;
        return srv.output.find(e2e_text(48)) != std::string::npos;
    };
    ASSERT_TRUE(wait_all({&a, &b}, changed, 15000)) << a.map_transfers << " " << b.map_transfers << srv.output;
    EXPECT_EQ(a.map_columns, 512L * 512L);
    EXPECT_EQ(b.map_columns, 512L * 512L);
    // Everybody is "not joined" again: a join request is taken as a first join.
    for (TestClient *t : {&a, &b}) {
        t->spawned = false;
        EXPECT_TRUE(tcl_join(t, 1, 2, "Again")) << srv.output;
        EXPECT_EQ(tcl_name_at(tcl_messages(t, 12).back(), 16), "Again");
    }
    tcl_close(&a);
    tcl_close(&b);
    EXPECT_EQ(quit(), 0);
}

// Files a map command may meet that open but hold no usable map.
struct BadMapFile {
    const char *name;
    std::string bytes;
    std::string reason; // as the server words it, from the language texts
};

static std::string invalid_reason(const std::string &bytes)
{
    const char *why = nullptr;
    EXPECT_FALSE(map_validate_image((const uint8_t *)bytes.data(), bytes.size(), &why));
    return e2e_text(LANG_MAP_INVALID, why ? why : "");
}

static std::vector<BadMapFile> bad_map_files(const std::string &valid)
{
    const size_t most = MAP_IMAGE_MAX_BYTES;
    std::vector<BadMapFile> files;
    files.push_back({"ones", std::string(most, '\xff'), ""});     // as large as a map may be, no columns
    files.push_back({"half", valid.substr(0, valid.size() / 2), ""}); // a real map cut in half
    files.push_back({"huge", std::string(most + 4, '\xff'), e2e_text(LANG_MAP_TOO_LARGE, "16777216", "16777212")});
    for (BadMapFile &f : files)
        if (f.reason.empty())
            f.reason = invalid_reason(f.bytes);
    return files;
}

// A language text up to its first argument.
static std::string text_head(int id)
{
    const std::string t = e2e_text(id);
    return t.substr(0, t.find('%'));
}

static size_t count_of(const std::string &text, const std::string &part)
{
    size_t n = 0;
    for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1))
        n++;
    return n;
}

// A map command on a file that opens but is not a usable map: one line that
// names the map and the reason, nothing announced to players or scheduled,
// the map being played stays, and the file is never read again (made valid
// afterwards, it is still not loaded when the change would have come). The
// typed name is the current one all the same: "map reset" takes it.
TEST_F(CommandsE2E, AMapFileThatIsRefusedIsNamedOnceAndNeverAnnouncedOrLoaded)
{
    make_folder();
    const std::string valid = tsv_read_file(srv.dir + "/vxl/hills.vxl");
    const std::vector<BadMapFile> files = bad_map_files(valid);
    for (const BadMapFile &f : files)
        tsv_write_file(srv.dir + "/vxl/" + f.name + ".vxl", f.bytes);
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a;
    ASSERT_TRUE(join_from(&a, "127.0.0.91", "Watcher"));
    const size_t from = srv.output.size();
    for (const BadMapFile &f : files) {
        SCOPED_TRACE(f.name);
        const std::string line = e2e_text(LANG_MAP_REFUSED, f.name, f.reason.c_str());
        EXPECT_TRUE(type_and_wait(std::string("map ") + f.name, line)) << srv.output.substr(from);
    }
    for (const BadMapFile &f : files)
        tsv_write_file(srv.dir + "/vxl/" + f.name + ".vxl", valid);
    // Past the 10 s a change would take (and its second's rounding).
    const int64_t until = tsv_now_ms() + 12000;
    wait_all({&a}, [&] { return tsv_now_ms() >= until; }, 13000);
    const std::string said = srv.output.substr(from);
    for (const BadMapFile &f : files)
        EXPECT_EQ(count_of(said, e2e_text(LANG_MAP_REFUSED, f.name, f.reason.c_str())), 1u) << said;
    for (int id : {LANG_MAP_CHANGE_SCHEDULED, LANG_MAP_CHANGED, LANG_MAP_CHANGE_FAILED, LANG_MAP_CHANGE_CANCELLED})
        EXPECT_EQ(said.find(text_head(id)), std::string::npos) << id << said;
    EXPECT_TRUE(system_lines(&a).empty()) << system_lines(&a).front();
    EXPECT_EQ(a.map_transfers, 1);
    EXPECT_TRUE(type_and_wait("map reset", e2e_text(LANG_MAP_CHANGE_SCHEDULED, files.back().name, 10)));
    tcl_close(&a);
    EXPECT_EQ(quit(), 0);
}

// A map that was fine when the change was announced but is refused when it
// comes: the change is called off with one line and the map being played
// stays. A file that has gone missing meanwhile is tried each second, and
// the change comes once the file is back.
TEST_F(CommandsE2E, AMapRefusedAtItsChangeIsCalledOffAndAMissingOneIsTriedUntilItIsBack)
{
    make_folder();
    const std::string valid = tsv_read_file(srv.dir + "/vxl/hills.vxl");
    tsv_write_file(srv.dir + "/vxl/other.vxl", valid);
    tsv_write_file(srv.dir + "/vxl/third.vxl", valid);
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a;
    ASSERT_TRUE(join_from(&a, "127.0.0.92", "Watcher"));

    size_t from = srv.output.size();
    ASSERT_TRUE(type_and_wait("map other", e2e_text(LANG_MAP_CHANGE_SCHEDULED, "other", 10)));
    const std::string half = valid.substr(0, valid.size() / 2);
    tsv_write_file(srv.dir + "/vxl/other.vxl", half);
    const std::string cancelled = e2e_text(LANG_MAP_CHANGE_CANCELLED, "other", invalid_reason(half).c_str());
    ASSERT_TRUE(wait_all({&a}, [&] { return srv.output.find(cancelled, from) != std::string::npos; }, 15000))
        << srv.output.substr(from);
    const int64_t until = tsv_now_ms() + 3000;
    wait_all({&a}, [&] { return tsv_now_ms() >= until; }, 4000);
    EXPECT_EQ(count_of(srv.output.substr(from), cancelled), 1u) << srv.output.substr(from);
    EXPECT_EQ(srv.output.find(e2e_text(LANG_MAP_CHANGED), from), std::string::npos);
    EXPECT_EQ(a.map_transfers, 1);

    from = srv.output.size();
    ASSERT_TRUE(type_and_wait("map third", e2e_text(LANG_MAP_CHANGE_SCHEDULED, "third", 10)));
    std::remove((srv.dir + "/vxl/third.vxl").c_str());
    const std::string retry = e2e_text(LANG_MAP_CHANGE_FAILED);
    ASSERT_TRUE(wait_all({&a}, [&] { return count_of(srv.output.substr(from), retry) >= 2; }, 15000))
        << srv.output.substr(from);
    tsv_write_file(srv.dir + "/vxl/third.vxl", valid);
    EXPECT_TRUE(wait_all({&a}, [&] { return a.map_transfers == 2 && a.map_done; }, E2E_WAIT_MS));
    EXPECT_NE(srv.output.find(e2e_text(LANG_MAP_CHANGED), from), std::string::npos);
    tcl_close(&a);
    EXPECT_EQ(quit(), 0);
}

// An announced change is the one that comes: a map refused or missing,
// typed within the 10 s, is named and changes nothing, and newcomers after
// the change get the announced world.
TEST_F(CommandsE2E, ARefusedOrMissingMapTypedWhileAChangeIsPendingLeavesTheAnnouncedOne)
{
    make_folder();
    const std::string pend = tsv_read_file(srv.dir + "/vxl/hills.vxl");
    const std::string half = pend.substr(0, pend.size() / 2);
    tsv_write_file(srv.dir + "/vxl/pend.vxl", pend);
    tsv_write_file(srv.dir + "/vxl/bad.vxl", half);
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a;
    ASSERT_TRUE(join_from(&a, "127.0.0.111", "Watcher"));
    const size_t from = srv.output.size();
    const std::string note = e2e_text(LANG_MAP_CHANGE_SCHEDULED, "pend", 10);
    ASSERT_TRUE(type_and_wait("map pend", note));
    EXPECT_TRUE(type_and_wait("map bad", e2e_text(LANG_MAP_REFUSED, "bad", invalid_reason(half).c_str())));
    EXPECT_TRUE(type_and_wait("map nosuch", e2e_text(LANG_MAP_REFUSED, "nosuch",
                                                     e2e_text(LANG_MAP_MISSING, "vxl/nosuch.vxl").c_str())));
    ASSERT_TRUE(wait_all({&a}, [&] { return a.map_transfers == 2 && a.map_done; }, 15000)) << srv.output.substr(from);
    const std::string said = srv.output.substr(from);
    EXPECT_NE(said.find(e2e_text(LANG_MAP_CHANGED)), std::string::npos) << said;
    for (int id : {LANG_MAP_CHANGE_FAILED, LANG_MAP_CHANGE_CANCELLED})
        EXPECT_EQ(said.find(text_head(id)), std::string::npos) << id << said;
    EXPECT_EQ(system_lines(&a), std::vector<std::string>{note});
    EXPECT_TRUE(e2e_same_world(a.map_image, pend));
    TestClient late;
    ASSERT_TRUE(join_from(&late, "127.0.0.112", "Late"));
    EXPECT_TRUE(e2e_same_world(late.map_image, pend));
    tcl_close(&a);
    tcl_close(&late);
    EXPECT_EQ(quit(), 0);
}

// Map names that lead out of vxl/ are refused, typed or in the settings,
// though the file they name is there and is a good map.
TEST_F(CommandsE2E, MapNamesThatLeaveTheMapFolderAreRefused)
{
    make_folder();
    tsv_write_file(srv.dir + "/outside.vxl", tsv_read_file(srv.dir + "/vxl/hills.vxl"));
    const std::string bad_name = e2e_text(LANG_MAP_BAD_NAME);
    write_config({}, true, "../outside");
    ASSERT_TRUE(start()) << srv.output;
    const size_t refused = srv.output.find(e2e_text(LANG_MAP_REFUSED, "../outside", bad_name.c_str()));
    EXPECT_NE(refused, std::string::npos) << srv.output;
    EXPECT_LT(refused, srv.output.find(e2e_text(LANG_GENERATING_MAP))) << srv.output;
    const size_t from = srv.output.size();
    for (const char *name : {"../outside", "/work/outside", "vxl/../../outside"})
        EXPECT_TRUE(type_and_wait(std::string("map ") + name, e2e_text(LANG_MAP_REFUSED, name, bad_name.c_str())));
    // None of them became the current name: "map reset" reloads the map played.
    EXPECT_TRUE(type_and_wait("map reset", e2e_text(LANG_MAP_CHANGE_SCHEDULED, "gen", 10)));
    EXPECT_EQ(count_of(srv.output.substr(from), text_head(LANG_MAP_CHANGE_SCHEDULED)), 1u) << srv.output.substr(from);
    EXPECT_EQ(quit(), 0);
}

// A join is on the console and in the log with the player's id and team,
// and that id is what kick takes; a team change is said the same way.
TEST_F(CommandsE2E, AJoinIsNamedWithTheIdThatTheCommandsTake)
{
    make_folder();
    write_config({"logging = 1", "logfolder = " + srv.dir, "logfilename = main.log", "team2name = Reds"});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b;
    ASSERT_TRUE(join_from(&a, "127.0.0.121", "Ann"));
    ASSERT_TRUE(join_from(&b, "127.0.0.122", "Bob"));
    const std::string ann = e2e_text(LANG_PLAYER_JOINED_TEAM, 0, "Ann", "Team 1");
    const std::string bob = e2e_text(LANG_PLAYER_JOINED_TEAM, 1, "Bob", "Team 1");
    ASSERT_TRUE(tsv_wait_output(&srv, bob, E2E_WAIT_MS)) << srv.output;
    EXPECT_NE(srv.output.find(ann), std::string::npos) << srv.output;
    tcl_send(&b, {29, 1, 1}); // to the second team
    const std::string moved = e2e_text(LANG_PLAYER_JOINED_TEAM, 1, "Bob", "Reds");
    EXPECT_TRUE(wait_all({&a, &b}, [&] { return srv.output.find(moved) != std::string::npos; }, E2E_WAIT_MS))
        << srv.output;
    ASSERT_TRUE(type_and_wait("kick 1", e2e_text(LANG_PLAYER_KICKED, "Bob")));
    const std::string log = tsv_read_file(srv.dir + "/main.log");
    for (const std::string &line : {ann, bob, moved})
        EXPECT_NE(log.find("[INFO] " + line + "\n"), std::string::npos) << line << "\n" << log;
    tcl_abort(&b);
    tcl_close(&a);
    EXPECT_EQ(quit(), 0);
}

TEST_F(CommandsE2E, HelpGivesOneLineToAPlayerAndTwoToAnAdmin)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b;
    ASSERT_TRUE(join_from(&a, "127.0.0.71", "Al"));
    ASSERT_TRUE(join_from(&b, "127.0.0.72", "Bea"));
    ASSERT_TRUE(type_and_wait("admin 1", e2e_text(42, "Bea")));
    ASSERT_TRUE(wait_line(&b, e2e_text(36)));
    say(&a, "/help");
    say(&b, "/help");
    say(&a, "/help me"); // anything after it: no answer
    say(&a, "/ping 1");
    ASSERT_TRUE(wait_all({&a, &b}, [&] { return has_line(&b, "Admin Commands: kick #, ban #, admin #"); }, E2E_WAIT_MS));
    ASSERT_TRUE(wait_all({&a, &b}, [&] {
        for (const auto &l : system_lines(&a))
            if (l.rfind("Bea's ping: ", 0) == 0)
                return true;
        return false;
    }, E2E_WAIT_MS));
    wait_all({&a, &b}, [] { return false; }, 300);
    int general = 0, admin = 0;
    for (const auto &l : system_lines(&a)) {
        general += l == "General Commands: ping #, votekick #";
        admin += l == "Admin Commands: kick #, ban #, admin #";
        if (l.rfind("Bea's ping: ", 0) == 0) {
            int ms = -1;
            EXPECT_EQ(sscanf(l.c_str(), "Bea's ping: %dms", &ms), 1) << l;
            EXPECT_GE(ms, 0) << l;
        }
    }
    EXPECT_EQ(general, 1);
    EXPECT_EQ(admin, 0);
    EXPECT_TRUE(has_line(&b, "General Commands: ping #, votekick #"));
    // Commands are for the server only: nobody sees them as chat.
    for (TestClient *t : {&a, &b})
        for (const auto &m : tcl_messages(t, 17))
            EXPECT_EQ(m[1], 255) << tcl_name_at(m, 3);
    tcl_close(&a);
    tcl_close(&b);
    EXPECT_EQ(quit(), 0);
}

TEST_F(CommandsE2E, VoteKickPassesWithTwoOfFourJoinedWhileOthersStillLoad)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient c[4], loading[4], again;
    const char *names[4] = {"V0", "V1", "V2", "V3"};
    for (int i = 0; i < 4; i++) {
        std::string ip = "127.0.0." + std::to_string(81 + i);
        ASSERT_TRUE(join_from(&c[i], ip.c_str(), names[i])) << i;
    }
    // Connected but not joined: they have no say and do not raise the need
    // (8 connected would need 3).
    for (int i = 0; i < 4; i++) {
        std::string ip = "127.0.0." + std::to_string(91 + i);
        ASSERT_TRUE(tcl_connect_from(&loading[i], ip.c_str(), port) && tcl_download(&loading[i], E2E_WAIT_MS));
    }
    auto everyone = {&c[0], &c[1], &c[2], &c[3], &loading[0], &loading[1], &loading[2], &loading[3]};
    say(&c[0], "/votekick 3");
    ASSERT_TRUE(wait_all(everyone, [&] { return has_line(&c[1], e2e_text(89, "V3")); }, E2E_WAIT_MS));
    say(&c[0], "/y");
    ASSERT_TRUE(wait_all(everyone, [&] { return has_line(&c[2], e2e_text(47, 1)); }, E2E_WAIT_MS));
    say(&c[0], "/y");       // again: ignored
    say(&loading[0], "/y"); // not joined: ignored
    say(&c[1], "/Y");       // not the yes letter
    wait_all(everyone, [] { return false; }, 500);
    EXPECT_FALSE(has_line(&c[2], e2e_text(55, "V3")));
    say(&c[2], "/yes");
    ASSERT_TRUE(wait_all(everyone, [&] { return has_line(&c[1], e2e_text(55, "V3")); }, E2E_WAIT_MS));
    int missing = 0;
    for (const auto &l : system_lines(&c[1]))
        missing += l == e2e_text(47, 1);
    EXPECT_EQ(missing, 1);
    tcl_abort(&c[3]);
    int refused = -1;
    tcl_connect_from(&again, "127.0.0.84", port);
    tcl_wait(&again, [&] { return again.disconnected || again.map_begun; }, E2E_WAIT_MS);
    refused = again.disconnected ? (int)again.disconnect_data : -1;
    EXPECT_EQ(refused, 2); // kicked by the vote
    tcl_abort(&again);
    for (int i = 0; i < 3; i++)
        tcl_close(&c[i]);
    for (auto &l : loading)
        tcl_close(&l);
    EXPECT_EQ(quit(), 0);
}

TEST_F(CommandsE2E, VoteKickTimesOutAfterThirtySeconds)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b, c;
    ASSERT_TRUE(join_from(&a, "127.0.0.101", "Ta"));
    ASSERT_TRUE(join_from(&b, "127.0.0.102", "Tb"));
    ASSERT_TRUE(join_from(&c, "127.0.0.103", "Tc"));
    int64_t t0 = tsv_now_ms();
    say(&a, "/votekick 1");
    ASSERT_TRUE(wait_all({&a, &b, &c}, [&] { return has_line(&c, e2e_text(89, "Tb")); }, E2E_WAIT_MS));
    say(&c, "/y");
    say(&a, "/votekick 2"); // one vote at a time
    ASSERT_TRUE(wait_all({&a, &b, &c}, [&] { return has_line(&c, e2e_text(90)); }, 40000));
    int64_t took = tsv_now_ms() - t0;
    EXPECT_GE(took, 29000);
    EXPECT_LE(took, 33000);
    EXPECT_FALSE(has_line(&a, e2e_text(89, "Tc")));
    EXPECT_FALSE(has_line(&a, e2e_text(55, "Tb")));
    // Over: a yes is no vote now, and a new vote may start.
    say(&a, "/y");
    say(&a, "/votekick 2");
    ASSERT_TRUE(wait_all({&a, &b, &c}, [&] { return has_line(&b, e2e_text(89, "Tc")); }, E2E_WAIT_MS));
    EXPECT_TRUE(b.connected);
    for (TestClient *t : {&a, &b, &c})
        tcl_close(t);
    EXPECT_EQ(quit(), 0);
}

} // namespace
