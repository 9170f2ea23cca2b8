// Running programs from tests: start one with extra environment and its
// output in a file, wait for it with a time-out, and a virtual X display
// (Xvfb) on a free display number with screenshots of it (xwd). Every wait
// is bounded.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// 1 when the program is found on the PATH.
bool tpr_on_path(const char *prog);
// In a child just forked from `parent`: the child is killed when the test
// process ends, however it ends (an abort included), so no program a test
// started outlives it.
void tpr_end_with_parent(pid_t parent);
// Starts argv with the extra environment ("NAME=value"), standard output to
// `out` (standard error kept), or both to /dev/null when `out` is "".
// Returns the process id. The program ends with the test process.
pid_t tpr_spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env, const std::string &out);
// The exit code, -2 when it ended by a signal, or -1 after killing it when
// it outlives timeout_ms.
int tpr_wait(pid_t pid, int timeout_ms);
// The whole file, "" when it cannot be read.
std::string tpr_slurp(const std::string &path);
// Polls pred every 50 ms until it holds or timeout_ms pass; its last answer.
bool tpr_wait_until(const std::function<bool()> &pred, int timeout_ms);

// A virtual X display of its own.
struct TestXvfb {
    pid_t pid = -1;
    std::string display; // ":N"
};
// Starts Xvfb on the first free display number from a per-process start, at
// `screen` ("WxHxD"). false when none could be started in time.
bool txv_start(TestXvfb *x, const std::string &screen = "640x480x24");
// Stops it (SIGTERM, then SIGKILL after 5 s).
void txv_stop(TestXvfb *x);
// Runs a short command on the display (10 s at most); its standard output,
// "" on failure. `scratch` names a file for that output.
std::string txv_run(const TestXvfb &x, const std::vector<std::string> &argv, const std::string &scratch);
// A screenshot of the whole display as 0x00RRGGBB rows (xwd, then its
// 24/32-bit TrueColor dump read here). false when xwd is missing or fails.
bool txv_screenshot(const TestXvfb &x, const std::string &xwd_path, std::vector<uint32_t> *pixels, int32_t *w,
                    int32_t *h);
