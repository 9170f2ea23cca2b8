// End-to-end tests of the server program: real process, real ENet, 127.0.0.1.
#include "e2e_common.h"

#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>

#include "common/byteio.h"
#include "common/lang_ids.h"
#include "common/protocol.h"
#include "support/test_process.h"

static int reason_of_refusal(TestClient *c, uint16_t port, uint32_t data = 2)
{
    tcl_connect(c, port, data);
    tcl_wait(c, [c] { return c->disconnected; }, E2E_WAIT_MS);
    int r = c->disconnected ? (int)c->disconnect_data : -1;
    tcl_abort(c);
    return r;
}

// The whole transfer arrived in chunks of 1,024 bytes, the last shorter, and
// expands to a full map.
static void expect_complete_map(const TestClient &c)
{
    ASSERT_TRUE(c.map_done);
    EXPECT_EQ(c.map_z.size(), c.map_size);
    EXPECT_EQ(c.map_columns, 262144);
    ASSERT_FALSE(c.chunk_lengths.empty());
    int expected_chunks = (int)((c.map_size + 1022) / 1023);
    EXPECT_EQ(c.map_chunks, expected_chunks);
    for (size_t i = 0; i + 1 < c.chunk_lengths.size(); i++)
        ASSERT_EQ(c.chunk_lengths[i], 1024) << i;
    EXPECT_EQ(c.chunk_lengths.back(), (int)(c.map_size - 1023u * (expected_chunks - 1)) + 1);
}

TEST_F(ServerE2E, MissingMapIsGeneratedSavedAsGenAndLoadedAgain)
{
    make_folder();
    write_config({}, false); // no "server:map" key
    ASSERT_TRUE(start()) << srv.output;
    EXPECT_NE(srv.output.find(e2e_text(33)), std::string::npos);
    EXPECT_TRUE(tsv_file_exists(srv.dir + "/vxl/gen.vxl"));
    TestClient a;
    ASSERT_TRUE(connect_and_download(&a));
    expect_complete_map(a);
    std::vector<uint8_t> first = a.map_image;
    tcl_close(&a);
    ASSERT_EQ(quit(), 0) << srv.output;

    // map = gen loads the saved map: no generation message, the same map.
    write_config({"map = gen"}, false);
    srv.output.clear();
    ASSERT_TRUE(start()) << srv.output;
    EXPECT_EQ(srv.output.find(e2e_text(33)), std::string::npos) << srv.output;
    TestClient b;
    ASSERT_TRUE(connect_and_download(&b));
    // The same map: same layout; only the colours that each load gives the
    // completed border voxels (with the random jitter) may differ.
    ASSERT_EQ(b.map_image.size(), first.size());
    size_t differ = 0;
    for (size_t i = 0; i < first.size(); i++)
        differ += b.map_image[i] != first[i];
    EXPECT_LT(differ, first.size() / 1000);
    tcl_close(&b);
    ASSERT_EQ(quit(), 0);

    // A map name whose file is missing generates a map too.
    std::remove((srv.dir + "/vxl/gen.vxl").c_str());
    write_config({"map = nosuch"}, false);
    srv.output.clear();
    ASSERT_TRUE(start()) << srv.output;
    EXPECT_NE(srv.output.find(e2e_text(33)), std::string::npos);
    EXPECT_TRUE(tsv_file_exists(srv.dir + "/vxl/gen.vxl"));
    ASSERT_EQ(quit(), 0);
}

// A configured map whose file opens but is refused: its name and the reason
// on the console, before the generated map that takes its place.
TEST_F(ServerE2E, AConfiguredMapThatIsRefusedIsNamedWithItsReasonBeforeAMapIsGenerated)
{
    make_folder();
    const std::string hills = tsv_read_file(srv.dir + "/vxl/hills.vxl");
    const std::string half = hills.substr(0, hills.size() / 2);
    const char *half_why = nullptr;
    ASSERT_FALSE(map_validate_image((const uint8_t *)half.data(), half.size(), &half_why));
    std::string spans = tsv_read_file(srv.dir + "/vxl/flat.vxl");
    spans[1] = 50; // the first column's top below its colour run's end (40)
    struct Case {
        const char *name;
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"half", half, e2e_text(LANG_MAP_INVALID, half_why)},
        {"huge", std::string((size_t)MAP_IMAGE_MAX_BYTES + 1, '\0'),
         e2e_text(LANG_MAP_TOO_LARGE, "16777213", "16777212")},
        {"spans", spans, e2e_text(LANG_MAP_INVALID, "span with S > E + 1 or E > 63")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        tsv_write_file(srv.dir + "/vxl/" + c.name + ".vxl", c.bytes);
        write_config({}, true, c.name);
        srv.output.clear();
        ASSERT_TRUE(start()) << srv.output;
        const size_t refused = srv.output.find(e2e_text(LANG_MAP_REFUSED, c.name, c.reason.c_str()));
        EXPECT_NE(refused, std::string::npos) << srv.output;
        EXPECT_LT(refused, srv.output.find(e2e_text(LANG_GENERATING_MAP))) << srv.output;
        EXPECT_TRUE(tsv_file_exists(srv.dir + "/vxl/gen.vxl"));
        std::remove((srv.dir + "/vxl/gen.vxl").c_str());
        ASSERT_EQ(quit(), 0);
    }
}

// A port setting that is not a whole number 1..65535 (which a cast to 16
// bits would have turned into another port, or 0 for any port) stops the
// start with a line that names it; a valid one, blanks around it, is the
// port the start line names and the clients reach.
TEST_F(ServerE2E, APortSettingThatIsNotAPortStopsTheStartAndNamesTheSetting)
{
    make_folder();
    for (const char *value : {"abc", "70000", "-1", "0"}) {
        SCOPED_TRACE(value);
        tsv_write_config(srv.dir, {std::string("port = ") + value, "register = 0", "queryaddress = 0", "map = flat"});
        srv.output.clear();
        ASSERT_TRUE(tsv_start(&srv));
        EXPECT_EQ(tsv_wait_exit(&srv, E2E_START_MS), -1) << srv.output;
        EXPECT_NE(srv.output.find(e2e_text(LANG_BAD_PORT, value)), std::string::npos) << srv.output;
        EXPECT_EQ(srv.output.find(e2e_text(LANG_SERVER_STARTED, 0).substr(0, 10)), std::string::npos) << srv.output;
    }
    tsv_write_config(srv.dir, {"port =  " + std::to_string(port) + " ", "register = 0", "queryaddress = 0", "map = flat"});
    srv.output.clear();
    ASSERT_TRUE(start()) << srv.output;
    TestClient a;
    EXPECT_TRUE(connect_and_download(&a));
    tcl_close(&a);
    EXPECT_EQ(quit(), 0);
}

TEST_F(ServerE2E, TwoClientsJoinAndSeeEachOther)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;

    TestClient a, b, z;
    ASSERT_TRUE(connect_and_download(&a));
    expect_complete_map(a);
    EXPECT_EQ(a.own_id, 0);
    EXPECT_TRUE(tcl_messages(&a, 9).empty()); // nobody else has joined
    ASSERT_TRUE(tcl_join(&a, 0, 1, "Alice"));
    auto spawn_a = tcl_messages(&a, 12).back();
    ASSERT_EQ(spawn_a.size(), 17u + 5u);
    EXPECT_EQ(spawn_a[1], 0);
    EXPECT_EQ(spawn_a[2], 1); // weapon
    EXPECT_EQ(spawn_a[3], 0); // team
    float x = le_get_f32(&spawn_a[4]), y = le_get_f32(&spawn_a[8]);
    EXPECT_TRUE(x >= 0 && x < 128 && y >= 128 && y < 386) << x << "," << y;
    EXPECT_EQ(tcl_name_at(spawn_a, 16), "Alice");

    ASSERT_TRUE(connect_and_download(&b));
    EXPECT_EQ(b.own_id, 1);
    // The info of the joined player comes before the state.
    ASSERT_GE(b.messages.size(), 2u);
    const auto &info = b.messages[0];
    ASSERT_EQ(info[0], 9);
    ASSERT_EQ(info.size(), 13u + 5u);
    EXPECT_EQ(info[1], 0);
    EXPECT_EQ(info[2], 0);
    EXPECT_EQ(info[3], 1);
    EXPECT_EQ(info[4], 2);
    EXPECT_EQ(le_get_u32(&info[5]), 0u);
    EXPECT_EQ(info[9], 127);
    EXPECT_EQ(tcl_name_at(info, 12), "Alice");
    EXPECT_EQ(b.messages[1][0], 15);
    EXPECT_EQ(b.messages[1].size(), 244u);

    ASSERT_TRUE(tcl_join(&b, 1, 2, "Bob"));
    ASSERT_TRUE(tcl_wait(&a, [&a] { return tcl_messages(&a, 12).size() >= 2; }, E2E_WAIT_MS));
    auto spawn_b = tcl_messages(&a, 12).back();
    EXPECT_EQ(spawn_b[1], 1);
    EXPECT_EQ(spawn_b[3], 1);
    EXPECT_EQ(tcl_name_at(spawn_b, 16), "Bob");

    // The name "Zarar" gets the id appended; values outside the data model
    // are refused.
    ASSERT_TRUE(connect_and_download(&z));
    EXPECT_EQ(z.own_id, 2);
    EXPECT_FALSE(tcl_join(&z, 7, 0, "Bad", 500));
    EXPECT_FALSE(tcl_join(&z, 0, 3, "Bad", 500));
    ASSERT_TRUE(tcl_join(&z, 255, 0, "Zarar"));
    EXPECT_EQ(tcl_name_at(tcl_messages(&z, 12).back(), 16), "Zarar2");
    EXPECT_EQ(tcl_messages(&z, 12).back()[3], 255);

    // A player who leaves is announced to the others.
    tcl_close(&b);
    ASSERT_TRUE(tcl_wait(&a, [&a] { return !tcl_messages(&a, 20).empty(); }, E2E_WAIT_MS));
    EXPECT_EQ(tcl_messages(&a, 20)[0][1], 1);
    tcl_close(&a);
    tcl_close(&z);
    EXPECT_EQ(quit(), 0);
}

TEST_F(ServerE2E, MessagesDuringADownloadArriveBehindTheMap)
{
    make_folder();
    write_config({}, true, "hills");
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b;
    ASSERT_TRUE(connect_and_download(&a));
    size_t mark = srv.output.size();
    ASSERT_TRUE(tcl_connect(&b, port)); // b's transfer starts; b is not serviced yet
    // The server has taken b in before a's join request comes.
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_PLAYER_CONNECTED, 1, "127.0.0.1"), E2E_WAIT_MS, mark));
    ASSERT_TRUE(tcl_join(&a, 0, 0, "Early"));
    ASSERT_TRUE(tcl_download(&b, E2E_WAIT_MS));
    ASSERT_TRUE(tcl_wait(&b, [&b] { return !tcl_messages(&b, 12).empty(); }, E2E_WAIT_MS));
    expect_complete_map(b);
    EXPECT_GT(b.map_chunks, 100);
    EXPECT_EQ(b.during_map, 0);
    // The state, then a's spawn (world updates, every 0.1 s, may come between).
    std::vector<std::vector<uint8_t>> got;
    for (const auto &m : b.messages)
        if (m[0] != MSG_WORLD_UPDATE)
            got.push_back(m);
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[0][0], MSG_GAME_STATE);
    EXPECT_EQ(got[1][0], MSG_PLAYER_SPAWN);
    EXPECT_EQ(tcl_name_at(got[1], 16), "Early");
    tcl_close(&a);
    tcl_close(&b);
    EXPECT_EQ(quit(), 0);
}

TEST_F(ServerE2E, RefusalsCarryTheirReasons)
{
    make_folder();
    write_config({"players = 1"});
    ASSERT_TRUE(start()) << srv.output;

    TestClient wrong, full, banned, kicked, first, second;
    EXPECT_EQ(reason_of_refusal(&wrong, port, 3), 3); // REJECT_WRONG_VERSION
    ASSERT_TRUE(connect_and_download(&first));
    EXPECT_EQ(reason_of_refusal(&full, port), 4); // REJECT_SERVER_FULL with one slot
    tcl_close(&first);
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(57, 0), E2E_WAIT_MS));

    tsv_write_file(srv.dir + "/banlist.txt", "\n127.0.0.1\t# someone\n");
    EXPECT_EQ(reason_of_refusal(&banned, port), 1); // REJECT_BANNED
    std::remove((srv.dir + "/banlist.txt").c_str());

    ASSERT_TRUE(connect_and_download(&second));
    EXPECT_EQ(second.own_id, 0);
    size_t mark = srv.output.size();
    tsv_type(&srv, "kick 0\n");
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(58, 0), E2E_WAIT_MS, mark));
    tcl_abort(&second);
    EXPECT_EQ(reason_of_refusal(&kicked, port), 2); // REJECT_KICKED
    EXPECT_EQ(quit(), 0);
}

TEST_F(ServerE2E, LeavingFreesTheLowestSlot)
{
    make_folder();
    write_config({"players = 4"});
    ASSERT_TRUE(start()) << srv.output;
    TestClient c[4], extra, again;
    for (int i = 0; i < 4; i++) {
        ASSERT_TRUE(connect_and_download(&c[i])) << i;
        EXPECT_EQ(c[i].own_id, i);
    }
    EXPECT_EQ(reason_of_refusal(&extra, port), 4);
    size_t mark = srv.output.size();
    tcl_close(&c[1]);
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(57, 1), E2E_WAIT_MS, mark));
    ASSERT_TRUE(connect_and_download(&again));
    EXPECT_EQ(again.own_id, 1);
    for (auto &cl : c)
        tcl_close(&cl);
    tcl_close(&again);
    EXPECT_EQ(quit(), 0);
}

TEST_F(ServerE2E, QuitExitsWithZeroAndBothLogsHoldTheirLines)
{
    make_folder();
    std::string logs = srv.dir + "/mylogs";
    mkdir(logs.c_str(), 0755);
    write_config({"logging = 1", "perflogging = 1", "logfolder = " + logs, "logfilename = main.log",
                  "perffilename = perf.dat"});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a;
    ASSERT_TRUE(connect_and_download(&a));
    ASSERT_TRUE(tcl_join(&a, 1, 0, "Logger%s"));
    tcl_close(&a);
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(54, "Logger%s"), E2E_WAIT_MS));
    ASSERT_EQ(quit(), 0);

    std::string log = tsv_read_file(logs + "/main.log");
    EXPECT_NE(log.find("[INFO] " + e2e_text(50, (int)port) + "\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[INFO] " + e2e_text(53, 0, "127.0.0.1") + "\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[INFO] " + e2e_text(54, "Logger%s") + "\n"), std::string::npos) << log;
    std::string perf = tsv_read_file(logs + "/perf.dat");
    EXPECT_NE(perf.find("[DEBUG] send: time "), std::string::npos);
    EXPECT_NE(perf.find(" packet 18 len 5\n"), std::string::npos); // the map begin
    EXPECT_NE(perf.find("[DEBUG] sendall: time "), std::string::npos);
    EXPECT_NE(perf.find(" packet 12 len 25\n"), std::string::npos); // spawn with "Logger%s"
    EXPECT_NE(perf.find("[DEBUG] recv: time "), std::string::npos);
    EXPECT_NE(perf.find(" peer 0 packet 9 len 21\n"), std::string::npos); // the join
    EXPECT_EQ(log.find("send: time"), std::string::npos);
}

// Logging switched on with nothing else: both logs under their default names
// in the default folder. A log that cannot be opened, or a folder that cannot
// be made, is a warning on the console naming it; the server runs on.
TEST_F(ServerE2E, LogsOnAloneWriteTheDefaultFilesAndALogThatCannotBeOpenedIsReported)
{
    make_folder();
    write_config({"logging = 1", "perflogging = 1"});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a;
    ASSERT_TRUE(connect_and_download(&a));
    tcl_close(&a);
    ASSERT_EQ(quit(), 0) << srv.output;
    EXPECT_EQ(srv.output.find("Warning"), std::string::npos) << srv.output;
    std::string log = tsv_read_file(srv.dir + "/logs/bkm_server_log.txt");
    EXPECT_NE(log.find("[INFO] " + e2e_text(50, (int)port) + "\n"), std::string::npos) << log;
    std::string perf = tsv_read_file(srv.dir + "/logs/bkm_server_perf.dat");
    EXPECT_NE(perf.find("[DEBUG] send: time "), std::string::npos) << perf;

    struct Case { std::vector<std::string> lines; std::string warning; };
    std::string mine = srv.dir + "/mylogs";
    mkdir(mine.c_str(), 0755);
    const Case cases[] = {
        // A file name inside a folder that does not exist.
        {{"logging = 1", "logfolder = " + mine, "logfilename = none/main.log"},
         "cannot open the log file " + mine + "/none/main.log"},
        // Neither the configured folder nor the default one ("logs" is a file).
        {{"perflogging = 1", "logfolder = " + srv.dir + "/gone"},
         "the log bkm_server_perf.dat is off: neither " + srv.dir + "/gone nor " + srv.dir + "/logs/"},
    };
    std::filesystem::remove_all(srv.dir + "/logs");
    tsv_write_file(srv.dir + "/logs", "in the way");
    for (const Case &c : cases) {
        write_config(c.lines);
        srv.output.clear();
        ASSERT_TRUE(start()) << srv.output;
        EXPECT_NE(srv.output.find(c.warning), std::string::npos) << srv.output;
        TestClient b;
        EXPECT_TRUE(connect_and_download(&b)); // runs on without that log
        tcl_close(&b);
        ASSERT_EQ(quit(), 0);
    }
}

TEST_F(ServerE2E, ClosedInputLeavesTheServerRunningUntilTerminated)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    tsv_close_input(&srv);
    TestClient a;
    ASSERT_TRUE(connect_and_download(&a));
    EXPECT_EQ(tsv_wait_exit(&srv, 300), -1000); // still running
    tcl_close(&a);
    kill(srv.pid, SIGTERM);
    EXPECT_EQ(tsv_wait_exit(&srv, E2E_WAIT_MS), 0);
}

TEST_F(ServerE2E, AClosedStandardInputIsNeverTakenForTheConsole)
{
    make_folder();
    write_config({});
    srv.no_input = true; // descriptor 0 closed: no socket may take its place
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b;
    ASSERT_TRUE(connect_and_download(&a));
    expect_complete_map(a);
    ASSERT_TRUE(tcl_join(&a, 0, 0, "Ann"));
    ASSERT_TRUE(connect_and_download(&b));
    EXPECT_EQ(b.messages[0][0], 9);
    tcl_close(&a);
    tcl_close(&b);
    kill(srv.pid, SIGTERM);
    EXPECT_EQ(tsv_wait_exit(&srv, E2E_WAIT_MS), 0);
}

TEST_F(ServerE2E, InteractiveSetUpAsksUntilTheAnswersAreValid)
{
    make_folder();
    write_config({"interactive = 1"}, false);
    ASSERT_TRUE(tsv_start(&srv));
    tsv_type(&srv, "missing\nflat\nCTF\ntc\n0\n40\n2\n bad\nMy Server\nmaybe\nn\n");
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(50, (int)port), E2E_START_MS)) << srv.output;
    EXPECT_NE(srv.output.find("Game mode ('ctf' or 'tc'):"), std::string::npos);
    EXPECT_EQ(srv.output.find(e2e_text(33)), std::string::npos); // flat.vxl was loaded
    TestClient a, b, c;
    ASSERT_TRUE(connect_and_download(&a));
    const auto states = tcl_messages(&a, 15); // a world update may follow the game state
    ASSERT_GE(states.size(), 1u);
    EXPECT_EQ(states.back()[11], 1); // territory control
    ASSERT_TRUE(connect_and_download(&b));
    EXPECT_EQ(reason_of_refusal(&c, port), 4); // two slots
    tcl_close(&a);
    tcl_close(&b);
    EXPECT_EQ(quit(), 0);

    // Input that ends before the answers are complete fails the set-up.
    srv.output.clear();
    ASSERT_TRUE(tsv_start(&srv));
    tsv_type(&srv, "flat\n");
    tsv_close_input(&srv);
    EXPECT_EQ(tsv_wait_exit(&srv, E2E_WAIT_MS), -2);
}

TEST_F(ServerE2E, ZeroPlayersGiveOneSlotAndAnyOtherModeWordIsTerritoryControl)
{
    make_folder();
    write_config({"players = 0", "gamemode = CTF"});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b;
    ASSERT_TRUE(connect_and_download(&a));
    EXPECT_EQ(tcl_messages(&a, 15).back()[11], 1);
    EXPECT_EQ(reason_of_refusal(&b, port), 4);
    tcl_close(&a);
    EXPECT_EQ(quit(), 0);
}

// A newcomer gets a team player's info with its real fields, a spectator's
// with team 255 and every loadout field zero, then the state with his own id;
// a spectator is announced at (256, 256, ground z of that column).
TEST_F(ServerE2E, ExistingPlayersOfATeamAndSpectatorsAndTheSpectatorSpawn)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, s, n;
    ASSERT_TRUE(connect_and_download(&a));
    ASSERT_TRUE(tcl_join(&a, 0, 2, "Ann"));
    ASSERT_TRUE(connect_and_download(&s));
    ASSERT_TRUE(tcl_join(&s, 255, 0, "Spec"));
    auto spawn = tcl_messages(&s, 12).back();
    ASSERT_EQ(spawn.size(), 17u + 4u);
    EXPECT_EQ(spawn[1], 1);
    EXPECT_EQ(spawn[3], 255);
    EXPECT_EQ(le_get_f32(&spawn[4]), 256.0f);
    EXPECT_EQ(le_get_f32(&spawn[8]), 256.0f);
    EXPECT_EQ(le_get_f32(&spawn[12]), 40.0f); // the flat map's ground

    ASSERT_TRUE(connect_and_download(&n));
    ASSERT_GE(n.messages.size(), 3u);
    const auto &ann = n.messages[0], &spec = n.messages[1], &state = n.messages[2];
    ASSERT_EQ(ann[0], 9);
    EXPECT_EQ(ann[1], 0);
    EXPECT_EQ(ann[2], 0);
    EXPECT_EQ(ann[3], 2);
    EXPECT_EQ(ann[4], 2);
    EXPECT_EQ(ann[9], 127);
    EXPECT_EQ(ann[10], 127);
    EXPECT_EQ(ann[11], 127);
    ASSERT_EQ(spec[0], 9);
    ASSERT_EQ(spec.size(), 13u + 4u);
    EXPECT_EQ(spec[1], 1);
    EXPECT_EQ(spec[2], 255);
    for (int i = 3; i < 12; i++)
        EXPECT_EQ(spec[i], 0) << i;
    EXPECT_EQ(tcl_name_at(spec, 12), "Spec");
    ASSERT_EQ(state[0], 15);
    EXPECT_EQ(state[1], 2);
    tcl_close(&a);
    tcl_close(&s);
    tcl_close(&n);
    EXPECT_EQ(quit(), 0);
}

// Whether a process is gone: no such process, or a zombie left for init.
static bool process_gone(pid_t pid)
{
    if (kill(pid, 0) != 0)
        return true;
    const std::string stat = tsv_read_file("/proc/" + std::to_string(pid) + "/stat");
    const size_t paren = stat.rfind(')');
    return paren == std::string::npos || (paren + 2 < stat.size() && stat[paren + 2] == 'Z');
}

// A test process that dies at once (an abort, a sanitizer's report, a kill)
// takes the programs it started with it: no server is left as an orphan.
TEST_F(ServerE2E, ProgramsEndWithTheTestProcessThatStartedThemWhenItIsKilled)
{
    make_folder();
    write_config({});
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t test = fork();
    ASSERT_GE(test, 0);
    if (test == 0) {
        // The dying test: starts the server and another program, tells their
        // ids, and is killed without a chance to stop them.
        close(fds[0]);
        TestServer s;
        s.dir = srv.dir;
        const bool up = tsv_start(&s) && tsv_wait_output(&s, e2e_text(LANG_SERVER_STARTED, (int)port), E2E_START_MS);
        const int32_t ids[2] = {up ? (int32_t)s.pid : -1, (int32_t)tpr_spawn({"sleep", "600"}, {}, "")};
        if (write(fds[1], ids, sizeof ids) != (ssize_t)sizeof ids)
            _exit(1);
        kill(getpid(), SIGKILL);
    }
    close(fds[1]);
    int32_t ids[2] = {-1, -1};
    const ssize_t got = read(fds[0], ids, sizeof ids);
    close(fds[0]);
    int status = 0;
    waitpid(test, &status, 0);
    ASSERT_EQ(got, (ssize_t)sizeof ids);
    ASSERT_GT(ids[0], 0) << "the server did not start";
    ASSERT_GT(ids[1], 0);
    for (const int32_t id : ids) {
        EXPECT_TRUE(tpr_wait_until([id] { return process_gone(id); }, 10000)) << id;
        kill(id, SIGKILL); // an orphan of a failed check does not outlive the test either
    }
}
