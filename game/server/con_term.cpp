// Console over POSIX termios and poll.
#include "server/con_term.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

volatile int con_stop_requested = 0;

static struct termios con_saved_mode;
static volatile sig_atomic_t con_mode_saved = 0;
static int con_ended = 0;
static int con_atexit_set = 0;
static int con_raw_wanted = 0; // con_init ran: take the terminal whenever it is ours
static int con_line_open = 0;  // echoed characters wait for their newline
static int con_tty = 0;        // standard input is a terminal (as of con_init)

static void con_on_signal(int) { con_stop_requested = 1; }

// 1 when standard input is a terminal whose foreground is this process's
// group. A background process that changes the terminal's mode, or reads
// from it, is stopped by the terminal, so it does neither.
static int con_own_terminal()
{
    if (!isatty(STDIN_FILENO))
        return 0;
    pid_t fg = tcgetpgrp(STDIN_FILENO);
    return fg != -1 && fg == getpgrp();
}

// Puts the saved mode back. Async-signal-safe. SIGTTOU is blocked meanwhile,
// so that a process the shell has put in the background still restores the
// mode it changed instead of being stopped for it.
static void con_put_back()
{
    if (!con_mode_saved)
        return;
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGTTOU);
    sigprocmask(SIG_BLOCK, &block, &old);
    tcsetattr(STDIN_FILENO, TCSANOW, &con_saved_mode);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    con_mode_saved = 0;
}

// Ctrl-Z: the terminal gets its mode back before the process stops; the mode
// is taken again once the process is in the foreground (con_key_waiting).
static void con_on_stop(int)
{
    int saved_errno = errno;
    con_put_back();
    signal(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    raise(SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr); // stops here
    // Continued here.
    struct sigaction sa = {};
    sa.sa_handler = con_on_stop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTSTP, &sa, nullptr);
    errno = saved_errno;
}

// Ctrl-\ or a hang-up end the process at once: the mode goes back first.
static void con_on_end(int sig)
{
    con_put_back();
    signal(sig, SIG_DFL);
    raise(sig);
}

static void con_set_raw()
{
    if (con_mode_saved || !con_own_terminal() || tcgetattr(STDIN_FILENO, &con_saved_mode) != 0)
        return;
    struct termios raw = con_saved_mode;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (!con_atexit_set) {
        atexit(con_restore);
        con_atexit_set = 1;
    }
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0)
        con_mode_saved = 1;
}

void con_prepare()
{
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        int n = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (n >= 0 && n != fd) {
            dup2(n, fd);
            close(n);
        }
        if (fd == 0)
            con_ended = 1;
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
}

void con_init()
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    signal(SIGPIPE, SIG_IGN);
    struct sigaction sa = {};
    sa.sa_handler = con_on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    con_tty = isatty(STDIN_FILENO);
    if (con_tty) {
        struct sigaction stop = {};
        stop.sa_handler = con_on_stop;
        sigemptyset(&stop.sa_mask);
        sigaction(SIGTSTP, &stop, nullptr);
        stop.sa_handler = con_on_end;
        sigaction(SIGQUIT, &stop, nullptr);
        sigaction(SIGHUP, &stop, nullptr);
    }
    con_raw_wanted = 1;
    con_set_raw();
}

void con_restore()
{
    con_raw_wanted = 0;
    con_put_back();
}

void con_begin_line()
{
    if (con_line_open) {
        fputc('\n', stdout);
        con_line_open = 0;
    }
}

int con_input_ended() { return con_ended; }

int con_key_waiting()
{
    if (con_ended)
        return 0;
    // In the background the console is not read (the terminal would stop
    // the process); back in the foreground the terminal is taken again.
    if (con_tty) {
        if (!con_own_terminal())
            return 0;
        if (con_raw_wanted && !con_mode_saved)
            con_set_raw();
    }
    struct pollfd p = {STDIN_FILENO, POLLIN, 0};
    int r = poll(&p, 1, 0);
    if (r < 0)
        return 0;
    if (r == 0)
        return 0;
    if (p.revents & POLLNVAL) {
        con_ended = 1; // closed descriptor
        return 0;
    }
    // POLLHUP with nothing left to read is reported by the read as 0 bytes,
    // so let the reader find the end.
    return (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

static int con_read_byte()
{
    if (con_ended)
        return -1;
    unsigned char c;
    for (;;) {
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n == 1)
            return c;
        if (n < 0 && errno == EINTR) {
            if (con_stop_requested)
                return -1;
            continue;
        }
        con_ended = 1;
        return -1;
    }
}

int con_read_char()
{
    int c = con_read_byte();
    if (c < 0)
        return -1;
    if (c == '\n' || c == '\r') {
        fputc('\n', stdout);
        fflush(stdout);
        con_line_open = 0;
        return 13;
    }
    if (c == 127)
        c = 8;
    if (c == 8)
        fputs("\b \b", stdout);
    else
        fputc(c, stdout);
    fflush(stdout);
    con_line_open = 1;
    return c;
}

int con_read_line(char *buf, int size)
{
    int len = 0;
    for (;;) {
        int c = con_read_byte();
        if (c < 0) {
            if (size > 0)
                buf[len < size ? len : size - 1] = 0;
            return len > 0;
        }
        if (c == '\n')
            break;
        if (c == '\r')
            continue;
        if (len < size - 1)
            buf[len++] = (char)c;
    }
    if (size > 0)
        buf[len] = 0;
    return 1;
}

void con_pause()
{
    if (!con_own_terminal())
        return;
    fputs("Press any key to continue . . .", stdout);
    fflush(stdout);
    int was_raw = con_mode_saved;
    if (!was_raw)
        con_set_raw();
    con_read_byte();
    if (!was_raw)
        con_restore();
    fputc('\n', stdout);
}
