// Running other programs from tests: start one with extra environment and
// its output in a file, wait for it with a time-out, find a program on the
// PATH, and a private Xvfb display for the SDL backend's window tests.
#pragma once
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// 1 when prog is an executable in one of the PATH folders.
bool tpr_on_path(const char *prog);
// Starts argv (looked up on the PATH) with the extra "NAME=value" entries,
// standard output to `out` (or /dev/null; standard error too when `out` is
// empty). Returns the process id, -1 when fork fails.
pid_t tpr_spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env, const std::string &out);
// The exit code, -2 when it died of a signal, or -1 after killing it when it
// outlives timeout_ms.
int tpr_wait(pid_t pid, int timeout_ms);
// Polls pred every 50 ms until it holds or timeout_ms passes. Returns pred().
bool tpr_wait_until(const std::function<bool()> &pred, int timeout_ms);
// The whole file, "" when it cannot be read.
std::string tpr_slurp(const std::string &path);

// An Xvfb server on a free display number.
struct TestXvfb {
    pid_t pid = -1;
    std::string display; // ":N"
};
// Starts one with a screen of the given size (24-bit). False when none could
// be started (no Xvfb, or no free display).
bool txv_start(TestXvfb *x, const std::string &screen = "640x480x24");
// Stops it (SIGTERM, then SIGKILL after 5 s).
void txv_stop(TestXvfb *x);
