// What an operator meets when starting and stopping the real server: started
// from another folder, settings that cannot be right, a port that cannot be
// bound, quit with players connected, and a start in the background of an
// interactive shell on a terminal.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <cerrno>
#include <cstring>
#include <regex>

#include "common/lang_ids.h"
#include "server/e2e_common.h"
#include "support/test_process.h"

namespace {

// No empty lines: every message is one line of its own.
bool has_blank_line(const std::string &out) { return out.find("\n\n") != std::string::npos; }

// The settings file lies in the folder the server is started from, given by
// a relative path; languages, the configured map and the generated one are
// beside the program.
TEST_F(ServerE2E, StartedFromAnotherFolderReadsItsTextsAndMapsBesideTheProgram)
{
    make_folder();
    const std::string elsewhere = srv.dir + ".elsewhere";
    std::filesystem::remove_all(elsewhere);
    std::filesystem::create_directories(elsewhere);
    write_config({}, true, "hills");
    tsv_write_file(elsewhere + "/cfg.ini", tsv_read_file(srv.dir + "/server_config.ini"));
    std::remove((srv.dir + "/server_config.ini").c_str());
    srv.work_dir = elsewhere;
    ASSERT_TRUE(tsv_start(&srv, {"cfg.ini"}));
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_SERVER_STARTED, (int)port), E2E_START_MS)) << srv.output;
    EXPECT_FALSE(has_blank_line(srv.output)) << srv.output;
    EXPECT_EQ(srv.output.find(e2e_text(LANG_SETTINGS_MISSING, "cfg.ini")), std::string::npos) << srv.output;
    EXPECT_EQ(srv.output.find(e2e_text(LANG_GENERATING_MAP)), std::string::npos) << srv.output;
    TestClient a;
    ASSERT_TRUE(connect_and_download(&a));
    const std::string hills = tsv_read_file(srv.dir + "/vxl/hills.vxl");
    EXPECT_TRUE(e2e_same_world(a.map_image, hills)) << a.map_image.size() << " " << hills.size() << srv.output;
    tcl_close(&a);
    ASSERT_EQ(quit(), 0);

    // Without a map: the generated one is saved beside the program.
    tsv_write_file(elsewhere + "/cfg.ini", "[server]\nport = " + std::to_string(port) +
                                               "\nregister = 0\nqueryaddress = 0\n");
    srv.output.clear();
    ASSERT_TRUE(tsv_start(&srv, {"cfg.ini"}));
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_SERVER_STARTED, (int)port), E2E_START_MS)) << srv.output;
    EXPECT_TRUE(tsv_file_exists(srv.dir + "/vxl/gen.vxl"));
    EXPECT_FALSE(tsv_file_exists(elsewhere + "/vxl"));
    ASSERT_EQ(quit(), 0);
}

// A language index outside the table, or a language file that cannot be
// loaded, stops the start with a line that names it, worded in English.
TEST_F(ServerE2E, ALanguageThatCannotBeLoadedStopsTheStartWithALineNamingIt)
{
    make_folder();
    for (const char *value : {"9", "6", "-1", "abc", ""}) {
        SCOPED_TRACE(value);
        write_config({std::string("language = ") + value});
        srv.output.clear();
        ASSERT_TRUE(tsv_start(&srv));
        EXPECT_EQ(tsv_wait_exit(&srv, E2E_START_MS), -1) << srv.output;
        EXPECT_NE(srv.output.find(e2e_text(LANG_BAD_LANGUAGE, value)), std::string::npos) << srv.output;
        tsv_stop(&srv);
    }
    const std::string german = srv.dir + "/languages/BkmLang-DE.bin";
    std::remove(german.c_str());
    write_config({"language = 1"});
    srv.output.clear();
    ASSERT_TRUE(tsv_start(&srv));
    EXPECT_EQ(tsv_wait_exit(&srv, E2E_START_MS), -1) << srv.output;
    EXPECT_NE(srv.output.find(e2e_text(LANG_LANGUAGE_FILE_FAILED, german.c_str())), std::string::npos)
        << srv.output;
    tsv_stop(&srv);

    // Every other index is a language the server speaks.
    write_config({"language = 5"});
    srv.output.clear();
    ASSERT_TRUE(tsv_start(&srv));
    ASSERT_TRUE(tsv_wait_output(&srv, std::to_string(port), E2E_START_MS)) << srv.output;
    EXPECT_FALSE(has_blank_line(srv.output)) << srv.output;
    EXPECT_EQ(quit(), 0);
}

// A settings file that does not exist is named, and the defaults said to be
// in use (they register with the master server): the line comes before
// anything else the defaults do, so the server is stopped once it is seen.
TEST_F(ServerE2E, AMissingSettingsFileIsNamedAndTheDefaultsSaidToBeInUse)
{
    make_folder();
    ASSERT_TRUE(tsv_start(&srv, {"missing.ini"}));
    EXPECT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_SETTINGS_MISSING, "missing.ini"), E2E_START_MS)) << srv.output;
    tsv_stop(&srv);
}

// A port already bound by someone else: the line names the port and the
// system's reason, and the start fails.
TEST_F(ServerE2E, APortInUseFailsTheSetUpFromTheSettings)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestServer second;
    second.dir = srv.dir;
    ASSERT_TRUE(tsv_start(&second));
    EXPECT_EQ(tsv_wait_exit(&second, E2E_START_MS), -1) << second.output;
    EXPECT_NE(second.output.find(e2e_text(LANG_HOST_CREATE_FAILED, (int)port, strerror(EADDRINUSE))),
              std::string::npos)
        << second.output;
    tsv_stop(&second);
    EXPECT_EQ(quit(), 0);
}

// quit tells every connected player at once, joined or still loading,
// instead of leaving them to time out.
TEST_F(ServerE2E, QuitDisconnectsEveryPlayerAtOnce)
{
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, b;
    ASSERT_TRUE(connect_and_download(&a));
    ASSERT_TRUE(tcl_join(&a, 0, 0, "Stayer"));
    ASSERT_TRUE(tcl_connect(&b, port));
    const int64_t typed = tsv_now_ms();
    tsv_type(&srv, "quit\n");
    auto both = [&] {
        tcl_poll(&a);
        tcl_poll(&b);
        return a.disconnected && b.disconnected;
    };
    ASSERT_TRUE(tpr_wait_until(both, E2E_WAIT_MS)) << srv.output;
    EXPECT_LT(tsv_now_ms() - typed, 1000);
    EXPECT_EQ(tsv_wait_exit(&srv, E2E_WAIT_MS), 0);
    tcl_abort(&a);
    tcl_abort(&b);
}

// An interactive shell on a pseudo-terminal of its own, without line editing
// (so the terminal stays in canonical mode while the shell reads).
struct PtyShell {
    pid_t shell = -1;
    int fd = -1;
    pid_t server = -1; // the job started in it, once known
    std::string out;

    bool start(const std::string &dir)
    {
        shell = forkpty(&fd, nullptr, nullptr, nullptr);
        if (shell < 0)
            return false;
        if (shell == 0) {
            for (int f = 3; f < 1024; f++)
                close(f);
            if (chdir(dir.c_str()) != 0)
                _exit(127);
            setenv("PS1", "$ ", 1);
            execl("/bin/bash", "bash", "--norc", "--noprofile", "--noediting", "-i", (char *)nullptr);
            _exit(127);
        }
        return true;
    }
    void read_some(int ms)
    {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0)
            return;
        char buf[4096];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            out.append(buf, (size_t)n);
    }
    bool wait_for(const std::function<bool()> &pred, int ms)
    {
        int64_t end = tsv_now_ms() + ms;
        while (!pred()) {
            if (tsv_now_ms() >= end)
                return pred();
            read_some(20);
        }
        return true;
    }
    void type(const std::string &text) { (void)!write(fd, text.data(), text.size()); }
    // The terminal's local modes, as the processes on it see them.
    tcflag_t lflag() const
    {
        struct termios t = {};
        tcgetattr(fd, &t);
        return t.c_lflag;
    }
    // The server's state letter from /proc ('T' stopped), 0 once it is gone.
    char server_state() const
    {
        std::string stat = tsv_read_file("/proc/" + std::to_string(server) + "/stat");
        size_t p = stat.rfind(')');
        return p == std::string::npos || p + 2 >= stat.size() ? 0 : stat[p + 2];
    }
    ~PtyShell()
    {
        if (server > 0 && kill(server, SIGTERM) == 0)
            tpr_wait_until([this] { return server_state() == 0 || server_state() == 'Z'; }, 5000);
        if (server > 0)
            kill(server, SIGKILL);
        if (shell > 0) {
            kill(shell, SIGKILL);
            waitpid(shell, nullptr, 0);
        }
        if (fd >= 0)
            close(fd);
    }
};

bool canonical(tcflag_t l) { return (l & ICANON) && (l & ECHO); }

// "./server cfg &" in an interactive shell: the server keeps running and
// serving in the background, leaving the terminal alone; after "fg" it takes
// the terminal for its console; Ctrl-Z gives the terminal back before it
// stops, and "quit" leaves the terminal as it found it.
TEST_F(ServerE2E, ABackgroundedServerKeepsServingAndTheTerminalKeepsItsMode)
{
    make_folder();
    write_config({});
    PtyShell sh;
    ASSERT_TRUE(sh.start(srv.dir));
    ASSERT_TRUE(sh.wait_for([&] { return sh.out.find("$ ") != std::string::npos; }, E2E_WAIT_MS)) << sh.out;
    ASSERT_TRUE(canonical(sh.lflag()));
    sh.type("./server server_config.ini & echo \"PID=$!=\"\n");
    const std::regex pid_line("PID=([0-9]+)=");
    std::smatch m;
    ASSERT_TRUE(sh.wait_for([&] { return std::regex_search(sh.out, m, pid_line); }, E2E_WAIT_MS)) << sh.out;
    sh.server = (pid_t)std::stol(m[1]);
    const std::string started = e2e_text(LANG_SERVER_STARTED, (int)port);
    ASSERT_TRUE(sh.wait_for([&] { return sh.out.find(started) != std::string::npos; }, E2E_START_MS)) << sh.out;

    TestClient a;
    EXPECT_TRUE(connect_and_download(&a)) << sh.out;
    tcl_close(&a);
    EXPECT_NE(sh.server_state(), 'T') << sh.out;
    EXPECT_TRUE(canonical(sh.lflag()));

    // In the foreground it reads its console: raw mode, taken by the server.
    sh.type("fg\n");
    ASSERT_TRUE(sh.wait_for([&] { return !(sh.lflag() & ICANON); }, E2E_WAIT_MS)) << sh.out;
    // Ctrl-Z: stopped with the terminal given back; "bg": serving again.
    sh.type("\x1a");
    ASSERT_TRUE(sh.wait_for([&] { return sh.server_state() == 'T'; }, E2E_WAIT_MS)) << sh.out;
    EXPECT_TRUE(canonical(sh.lflag()));
    sh.type("bg\n");
    ASSERT_TRUE(sh.wait_for([&] { return sh.server_state() != 'T'; }, E2E_WAIT_MS)) << sh.out;
    TestClient b;
    EXPECT_TRUE(connect_and_download(&b)) << sh.out;
    tcl_close(&b);
    EXPECT_TRUE(canonical(sh.lflag()));
    sh.type("fg\n");
    ASSERT_TRUE(sh.wait_for([&] { return !(sh.lflag() & ICANON); }, E2E_WAIT_MS)) << sh.out;
    sh.type("quit\n");
    ASSERT_TRUE(sh.wait_for([&] { return sh.server_state() == 0 || sh.server_state() == 'Z'; }, E2E_WAIT_MS))
        << sh.out;
    EXPECT_TRUE(sh.wait_for([&] { return canonical(sh.lflag()); }, E2E_WAIT_MS)) << sh.out;

    sh.server = -1;
}

} // namespace
