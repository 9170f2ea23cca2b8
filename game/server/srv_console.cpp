// Console line editor.
#include "server/srv_console.h"

#include <cstdio>
#include <cstring>

#include "server/con_term.h"
#include "server/srv_commands.h"

static char srv_line[SRV_CONSOLE_LINE];
static int srv_line_len = 0;

const char *srv_console_line() { return srv_line; }

int srv_console_execute(const char *line) { return srv_console_run(line); }

int srv_console_feed(int c)
{
    if (c == 0)
        return 0;
    if (c == 8) {
        if (srv_line_len > 0) {
            srv_line[--srv_line_len] = 0;
            printf("\n%s", srv_line);
            fflush(stdout);
        }
        return 0;
    }
    if (c == 13) {
        if (srv_line_len == 0)
            return 0;
        int r = srv_console_execute(srv_line);
        srv_line_len = 0;
        srv_line[0] = 0;
        return r;
    }
    if (srv_line_len < SRV_CONSOLE_LINE - 1) {
        srv_line[srv_line_len++] = (char)c;
        srv_line[srv_line_len] = 0;
    }
    return 0;
}

int srv_console_command()
{
    if (con_stop_requested)
        return -1;
    int c = con_read_char();
    if (c < 0)
        return con_stop_requested ? -1 : 0;
    return srv_console_feed(c);
}
