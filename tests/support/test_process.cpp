#include "support/test_process.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

using Clock = std::chrono::steady_clock;

bool tpr_on_path(const char *prog)
{
    const char *path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= p.size()) {
        const size_t end = p.find(':', start);
        const std::string dir = p.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && access((dir + "/" + prog).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

void tpr_end_with_parent(pid_t parent)
{
    // The signal follows the death of the thread that forked; tests start
    // programs from their main thread. A parent already gone is caught too.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(125);
}

pid_t tpr_spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env, const std::string &out)
{
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        tpr_end_with_parent(parent);
        for (const std::string &e : env) putenv(strdup(e.c_str()));
        const std::string target = out.empty() ? "/dev/null" : out;
        if (!freopen(target.c_str(), "w", stdout)) _exit(126);
        if (out.empty() && !freopen("/dev/null", "w", stderr)) _exit(126);
        std::vector<char *> args;
        for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

int tpr_wait(pid_t pid, int timeout_ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        if (Clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string tpr_slurp(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool tpr_wait_until(const std::function<bool()> &pred, int timeout_ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pred();
}

bool txv_start(TestXvfb *x, const std::string &screen)
{
    for (int n = 140 + getpid() % 50; n < 400 && x->pid < 0; n++) {
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        const std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
        if (access(lock.c_str(), F_OK) == 0 || access(sock.c_str(), F_OK) == 0) continue;
        const pid_t pid = tpr_spawn({"Xvfb", ":" + std::to_string(n), "-screen", "0", screen, "-nolisten", "tcp"}, {}, "");
        // Another test may have taken the same free number a moment before:
        // the display is ours only when the lock names our server, else our
        // server exits and the socket there is the other test's.
        const auto ours = [&] { return std::atol(tpr_slurp(lock).c_str()) == (long)pid; };
        bool exited = false;
        const bool up = tpr_wait_until(
            [&] {
                int status;
                if (waitpid(pid, &status, WNOHANG) == pid) return exited = true;
                return access(sock.c_str(), F_OK) == 0 && ours();
            },
            10000);
        int status;
        if (up && !exited && waitpid(pid, &status, WNOHANG) == 0 && ours()) {
            x->pid = pid;
            x->display = ":" + std::to_string(n);
        } else if (!exited) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
    }
    return x->pid > 0;
}

void txv_stop(TestXvfb *x)
{
    if (x->pid <= 0) return;
    kill(x->pid, SIGTERM);
    if (tpr_wait(x->pid, 5000) == -1) std::fprintf(stderr, "Xvfb killed\n");
    x->pid = -1;
}

std::string txv_run(const TestXvfb &x, const std::vector<std::string> &argv, const std::string &scratch)
{
    const pid_t pid = tpr_spawn(argv, {"DISPLAY=" + x.display}, scratch);
    if (tpr_wait(pid, 10000) != 0) return "";
    return tpr_slurp(scratch);
}

static uint32_t be32(const std::string &b, size_t at)
{
    return (uint32_t)(uint8_t)b[at] << 24 | (uint32_t)(uint8_t)b[at + 1] << 16 | (uint32_t)(uint8_t)b[at + 2] << 8 |
           (uint8_t)b[at + 3];
}

// An XWD screenshot of a 24/32-bit TrueColor display as 0x00RRGGBB words.
static bool read_xwd(const std::string &path, std::vector<uint32_t> *pixels, int32_t *w, int32_t *h)
{
    const std::string b = tpr_slurp(path);
    if (b.size() < 100) return false;
    const uint32_t header = be32(b, 0), width = be32(b, 16), height = be32(b, 20), order = be32(b, 28);
    const uint32_t bpp = be32(b, 44), line = be32(b, 48), ncolors = be32(b, 76);
    const uint32_t masks[3] = {be32(b, 56), be32(b, 60), be32(b, 64)};
    // Packed 24-bit pixels may come with lines padded as for 32 bits.
    if (width == 0 || width > 10000 || height > 10000 || (bpp != 24 && bpp != 32)) return false;
    const uint32_t bytes = bpp / 8;
    if (line < bytes * width) return false;
    const size_t start = (size_t)header + 12 * (size_t)ncolors;
    if (b.size() < start + (size_t)line * height) return false;
    pixels->assign((size_t)width * height, 0);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++) {
            const uint8_t *p = (const uint8_t *)b.data() + start + (size_t)y * line + bytes * (size_t)x;
            uint32_t v = 0;
            for (uint32_t i = 0; i < bytes; i++) v |= (uint32_t)p[order == 0 ? i : bytes - 1 - i] << (8 * i);
            uint32_t c = 0;
            for (int i = 0; i < 3; i++) {
                const uint32_t m = masks[i];
                if (!m) return false;
                const uint32_t shift = (uint32_t)__builtin_ctz(m);
                c |= ((v & m) >> shift & 255) << (16 - 8 * i);
            }
            (*pixels)[(size_t)y * width + x] = c;
        }
    *w = (int32_t)width;
    *h = (int32_t)height;
    return true;
}

bool txv_screenshot(const TestXvfb &x, const std::string &xwd_path, std::vector<uint32_t> *pixels, int32_t *w,
                    int32_t *h)
{
    if (!tpr_on_path("xwd")) return false;
    if (tpr_wait(tpr_spawn({"xwd", "-root", "-silent", "-display", x.display, "-out", xwd_path}, {}, ""), 10000) != 0)
        return false;
    return read_xwd(xwd_path, pixels, w, h);
}
