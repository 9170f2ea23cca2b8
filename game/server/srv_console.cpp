// Console line editor.
#include "server/srv_console.h"

#include <cstdio>
#include <cstring>

#include "common/lang.h"
#include "common/lang_ids.h"
#include "server/con_term.h"
#include "server/srv_log.h"
#include "server/srv_net.h"
#include "server/srv_send.h"
#include "server/srv_state.h"

static char srv_line[SRV_CONSOLE_LINE];
static int srv_line_len = 0;

const char *srv_console_line() { return srv_line; }

// "map NAME": a new current map name ("reset" keeps it), scheduled 10 s
// after the last whole second when its file opens.
static void srv_console_map(const char *name)
{
    if (strcmp(name, "reset") != 0)
        snprintf(srv_map_name, sizeof srv_map_name, "%s", name);
    char path[SRV_PATH_MAX + 16];
    srv_map_file_path(srv_map_name, path, sizeof path);
    FILE *f = fopen(path, "rb");
    if (!f) {
        printf("\n%s\n", lang_get(LANG_MAP_NOT_FOUND));
        fflush(stdout);
        return;
    }
    fclose(f);
    srv_map_change_time = srv_last_second + 10;
    char text[SRV_LOG_LINE];
    snprintf(text, sizeof text, lang_get(LANG_MAP_CHANGE_SCHEDULED), srv_map_name, 10);
    srv_system_chat(-1, text);
    srv_console_print(text);
}

int srv_console_execute(const char *line)
{
    int id = -1;
    char word[SRV_CONSOLE_LINE];
    if (sscanf(line, "kick %i", &id) == 1) {
        if (srv_slot_connected(id))
            srv_remove_player(id, REMOVE_KICK);
        return 0;
    }
    if (sscanf(line, "map %63s", word) == 1) {
        srv_console_map(word);
        return 0;
    }
    if (strcmp(line, "quit") == 0)
        return -1;
    printf("\n%s\n", lang_get(LANG_UNKNOWN_COMMAND));
    fflush(stdout);
    return 0;
}

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
