// Server process control and the fake master.
#include "support/test_server.h"

#include <enet/enet.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_client.h"
#include "support/test_process.h"

namespace fs = std::filesystem;

int64_t tsv_now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Ports come from a block of 16 chosen by the process id, below the kernel's
// ephemeral range: ctest runs tests in parallel processes, and a port taken
// from the ephemeral range can be handed out again (to another test's server
// or to any client host) between our release and the server's bind.
uint16_t tsv_free_port()
{
    static int next = 0;
    const int base = 10000 + (int)(getpid() % 1200) * 16;
    for (int tries = 0; tries < 16; tries++) {
        uint16_t port = (uint16_t)(base + next);
        next = (next + 1) % 16;
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        if (fd < 0)
            continue;
        struct sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        a.sin_port = htons(port);
        int ok = bind(fd, (struct sockaddr *)&a, sizeof a) == 0;
        close(fd);
        if (ok)
            return port;
    }
    return 0;
}

std::string tsv_make_dir(const std::string &root, const std::string &name, const std::string &server_bin,
                         const std::string &dist_dir)
{
    fs::path dir = fs::path(root) / name;
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir / "vxl");
    fs::copy_file(server_bin, dir / "server", fs::copy_options::overwrite_existing);
    fs::permissions(dir / "server", fs::perms::owner_all, fs::perm_options::add);
    fs::path lang = fs::path(dist_dir) / "languages";
    if (fs::exists(lang))
        fs::copy(lang, dir / "languages", fs::copy_options::recursive);
    return dir.string();
}

void tsv_write_file(const std::string &path, const std::string &text)
{
    std::ofstream f(path, std::ios::binary);
    f << text;
}

std::string tsv_read_file(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool tsv_file_exists(const std::string &path) { return fs::exists(path); }

void tsv_write_config(const std::string &dir, const std::vector<std::string> &lines)
{
    std::string text = "[server]\n";
    for (const auto &l : lines)
        text += l + "\n";
    tsv_write_file(dir + "/server_config.ini", text);
}

bool tsv_start(TestServer *s, const std::vector<std::string> &args)
{
    int in_pipe[2], out_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0)
        return false;
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        tpr_end_with_parent(parent);
        dup2(in_pipe[0], 0);
        if (s->no_input)
            close(0);
        dup2(out_pipe[1], 1);
        dup2(out_pipe[1], 2);
        // Nothing of the test process (its ENet sockets) leaks into the server.
        for (int fd = 3; fd < 1024; fd++)
            close(fd);
        if (chdir((s->work_dir.empty() ? s->dir : s->work_dir).c_str()) != 0)
            _exit(127);
        std::vector<char *> argv;
        std::string prog = s->dir + "/server";
        argv.push_back((char *)prog.c_str());
        for (const auto &a : args)
            argv.push_back((char *)a.c_str());
        argv.push_back(nullptr);
        execv(prog.c_str(), argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    s->pid = pid;
    s->in_fd = in_pipe[1];
    s->out_fd = out_pipe[0];
    fcntl(s->out_fd, F_SETFL, O_NONBLOCK);
    return true;
}

void tsv_read_output(TestServer *s, int ms)
{
    if (s->out_fd < 0)
        return;
    struct pollfd p = {s->out_fd, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0)
        return;
    char buf[4096];
    for (;;) {
        ssize_t n = read(s->out_fd, buf, sizeof buf);
        if (n <= 0) {
            if (n == 0) {
                close(s->out_fd);
                s->out_fd = -1;
            }
            return;
        }
        s->output.append(buf, (size_t)n);
    }
}

bool tsv_wait_output(TestServer *s, const std::string &text, int timeout_ms, size_t from)
{
    int64_t end = tsv_now_ms() + timeout_ms;
    for (;;) {
        if (s->output.size() > from && s->output.find(text, from) != std::string::npos)
            return true;
        if (tsv_now_ms() >= end || s->out_fd < 0)
            return s->output.find(text, from) != std::string::npos;
        tsv_read_output(s, 20);
    }
}

void tsv_type(TestServer *s, const std::string &text)
{
    if (s->in_fd >= 0 && write(s->in_fd, text.data(), text.size()) < 0) {
    }
}

void tsv_close_input(TestServer *s)
{
    if (s->in_fd >= 0)
        close(s->in_fd);
    s->in_fd = -1;
}

int tsv_wait_exit(TestServer *s, int timeout_ms)
{
    if (s->pid < 0)
        return s->exit_code;
    int64_t end = tsv_now_ms() + timeout_ms;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(s->pid, &status, WNOHANG);
        if (r == s->pid) {
            s->pid = -1;
            s->exit_code = WIFEXITED(status) ? (int)(int8_t)WEXITSTATUS(status) : -128 - WTERMSIG(status);
            tsv_read_output(s, 0);
            return s->exit_code;
        }
        if (tsv_now_ms() >= end)
            return -1000;
        tsv_read_output(s, 10);
    }
}

void tsv_stop(TestServer *s)
{
    if (s->pid > 0) {
        kill(s->pid, SIGTERM);
        if (tsv_wait_exit(s, 5000) == -1000) {
            kill(s->pid, SIGKILL);
            tsv_wait_exit(s, 5000);
        }
    }
    tsv_close_input(s);
    if (s->out_fd >= 0)
        close(s->out_fd);
    s->out_fd = -1;
}

bool fm_start(FakeMaster *m, uint16_t port)
{
    tcl_enet_init();
    ENetAddress a;
    enet_address_set_host_ip(&a, "127.0.0.1");
    a.port = port;
    m->host = enet_host_create(&a, 4, 1, 0, 0);
    if (!m->host)
        return false;
    enet_host_compress_with_range_coder(m->host);
    m->port = port;
    return true;
}

void fm_service(FakeMaster *m, int ms)
{
    if (!m->host)
        return;
    int64_t end = tsv_now_ms() + ms;
    do {
        ENetEvent ev;
        while (enet_host_service(m->host, &ev, 1) > 0) {
            switch (ev.type) {
            case ENET_EVENT_TYPE_CONNECT:
                m->connects++;
                m->connect_data = ev.data;
                m->peer = ev.peer;
                break;
            case ENET_EVENT_TYPE_DISCONNECT:
                m->disconnects++;
                if (ev.peer == m->peer)
                    m->peer = nullptr;
                break;
            case ENET_EVENT_TYPE_RECEIVE:
                m->packets.push_back({std::vector<uint8_t>(ev.packet->data, ev.packet->data + ev.packet->dataLength),
                                      tsv_now_ms()});
                enet_packet_destroy(ev.packet);
                break;
            default: break;
            }
        }
    } while (tsv_now_ms() < end);
}

void fm_drop(FakeMaster *m)
{
    if (m->peer) {
        enet_peer_disconnect_now(m->peer, 0);
        m->peer = nullptr;
    }
}

void fm_stop(FakeMaster *m)
{
    if (m->host)
        enet_host_destroy(m->host);
    m->host = nullptr;
    m->peer = nullptr;
}
