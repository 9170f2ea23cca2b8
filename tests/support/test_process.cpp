#include "support/test_process.h"

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

using TprClock = std::chrono::steady_clock;

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

pid_t tpr_spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env, const std::string &out)
{
    const pid_t pid = fork();
    if (pid == 0) {
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
    if (pid <= 0) return -1;
    const auto end = TprClock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        if (TprClock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool tpr_wait_until(const std::function<bool()> &pred, int timeout_ms)
{
    const auto end = TprClock::now() + std::chrono::milliseconds(timeout_ms);
    while (TprClock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pred();
}

std::string tpr_slurp(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool txv_start(TestXvfb *x, const std::string &screen)
{
    if (!tpr_on_path("Xvfb")) return false;
    for (int n = 140 + getpid() % 50; n < 400; n++) {
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        const std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
        if (access(lock.c_str(), F_OK) == 0 || access(sock.c_str(), F_OK) == 0) continue;
        const pid_t pid = tpr_spawn({"Xvfb", ":" + std::to_string(n), "-screen", "0", screen, "-nolisten", "tcp"}, {}, "");
        int status;
        const bool up = tpr_wait_until(
            [&] { return access(sock.c_str(), F_OK) == 0 || waitpid(pid, &status, WNOHANG) == pid; }, 10000);
        if (up && access(sock.c_str(), F_OK) == 0 && waitpid(pid, &status, WNOHANG) == 0) {
            x->pid = pid;
            x->display = ":" + std::to_string(n);
            return true;
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    return false;
}

void txv_stop(TestXvfb *x)
{
    if (x->pid <= 0) return;
    kill(x->pid, SIGTERM);
    if (tpr_wait(x->pid, 5000) == -1) std::fprintf(stderr, "Xvfb killed\n");
    x->pid = -1;
}
