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
static int con_mode_saved = 0;
static int con_ended = 0;
static int con_atexit_set = 0;

static void con_on_signal(int) { con_stop_requested = 1; }

static void con_set_raw()
{
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &con_saved_mode) != 0)
        return;
    struct termios raw = con_saved_mode;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0)
        con_mode_saved = 1;
    if (!con_atexit_set) {
        atexit(con_restore);
        con_atexit_set = 1;
    }
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
    con_set_raw();
}

void con_restore()
{
    if (con_mode_saved) {
        tcsetattr(STDIN_FILENO, TCSANOW, &con_saved_mode);
        con_mode_saved = 0;
    }
}

int con_input_ended() { return con_ended; }

int con_key_waiting()
{
    if (con_ended)
        return 0;
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
        return 13;
    }
    if (c == 127)
        c = 8;
    if (c == 8)
        fputs("\b \b", stdout);
    else
        fputc(c, stdout);
    fflush(stdout);
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
    if (!isatty(STDIN_FILENO))
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
