// Stop signals. The handler only sets a flag, unless a modal box waits: the
// toolkit shows it from a process of its own and waits for that process, so
// the handler kills the box's process and ends this one (nothing but calls
// safe in a handler).
#include "platform/plat_stop.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

static std::atomic<int> stop_flag;
static std::atomic<int> stop_box;
static pid_t stop_pid;
static char stop_children_path[64]; // the main thread's children, listed by the kernel
static struct sigaction stop_old_term, stop_old_int;
static int stop_watching;

static void stop_kill_box()
{
    const int fd = open(stop_children_path, O_RDONLY);
    if (fd < 0) return;
    char buf[256];
    const ssize_t n = read(fd, buf, sizeof buf);
    close(fd);
    pid_t pid = 0;
    for (ssize_t i = 0; i <= n; i++) {
        const char c = i < n ? buf[i] : ' ';
        if (c >= '0' && c <= '9') {
            pid = pid * 10 + (c - '0');
        } else {
            if (pid > 0) kill(pid, SIGKILL);
            pid = 0;
        }
    }
}

static void stop_on_signal(int)
{
    // A box's own process inherits the handler: it just ends.
    if (getpid() != stop_pid) _exit(1);
    stop_flag.store(1);
    if (stop_box.load()) {
        stop_kill_box();
        _exit(0);
    }
}

void stop_watch_signals()
{
    if (stop_watching) return;
    stop_pid = getpid();
    std::snprintf(stop_children_path, sizeof stop_children_path, "/proc/%d/task/%d/children", (int)stop_pid,
                  (int)stop_pid);
    stop_flag.store(0);
    stop_box.store(0);
    struct sigaction sa = {};
    sa.sa_handler = stop_on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, &stop_old_term);
    sigaction(SIGINT, &sa, &stop_old_int);
    stop_watching = 1;
}

void stop_unwatch_signals()
{
    if (!stop_watching) return;
    sigaction(SIGTERM, &stop_old_term, nullptr);
    sigaction(SIGINT, &stop_old_int, nullptr);
    stop_watching = 0;
}

int stop_requested() { return stop_flag.load(); }

int stop_box_opening()
{
    // Marked open first: a signal from here on either finds the mark or
    // left the flag for the test below.
    stop_box.store(1);
    if (stop_flag.load()) {
        stop_box.store(0);
        return 0;
    }
    return 1;
}

void stop_box_closed() { stop_box.store(0); }
