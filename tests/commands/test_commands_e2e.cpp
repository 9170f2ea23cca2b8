// Console and chat commands against the real server over 127.0.0.1. Clients
// connect from their own loopback addresses so that kicks, bans and the
// admin list each concern one of them.
#include <cstring>
#include <functional>

#include "common/byteio.h"
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
    EXPECT_TRUE(type_and_wait("map nosuchmap", e2e_text(41)));
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

} // namespace
