// Console and chat commands.
#include "server/srv_commands.h"

#include <enet/enet.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/protocol.h"
#include "server/con_term.h"
#include "server/srv_access.h"
#include "server/srv_log.h"
#include "server/srv_mapfile.h"
#include "server/srv_net.h"
#include "server/srv_send.h"
#include "server/srv_state.h"
#include "server/srv_stats.h"
#include "server/srv_vote.h"
#include "server/sys_host.h"

static const char *srv_skip_blanks(const char *s)
{
    while (*s && isspace((unsigned char)*s))
        s++;
    return s;
}

int srv_scan_word(const char **s, char *out, size_t size)
{
    if (!s || !*s || !out || size == 0)
        return 0;
    const char *p = srv_skip_blanks(*s);
    size_t n = 0;
    while (p[n] && !isspace((unsigned char)p[n]))
        n++;
    if (n == 0 || n >= size)
        return 0;
    memcpy(out, p, n);
    out[n] = 0;
    *s = p + n;
    return 1;
}

int srv_scan_int(const char **s, int *out)
{
    if (!s || !*s || !out)
        return 0;
    const char *p = srv_skip_blanks(*s);
    // strtol would also take what follows blanks after a sign; %i does not.
    const char *digits = (*p == '+' || *p == '-') ? p + 1 : p;
    if (!isdigit((unsigned char)*digits))
        return 0;
    char *end = nullptr;
    errno = 0;
    long v = strtol(p, &end, 0);
    if (end == p)
        return 0;
    *s = end;
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return -1;
    *out = (int)v;
    return 1;
}

// The literal at the start of the line, then the rest after it; null when
// the line does not begin with it.
static const char *srv_after_literal(const char *line, const char *literal)
{
    size_t n = strlen(literal);
    return strncmp(line, literal, n) == 0 ? line + n : nullptr;
}

static void srv_print_only(const char *text)
{
    con_begin_line();
    printf("%s\n", text);
    fflush(stdout);
}

static int srv_connected_id(int id) { return srv_slot_connected(id); }

void srv_command_admin(int player)
{
    if (!srv_connected_id(player))
        return;
    const PlayerRecord *p = &player_table[player];
    char dotted[16] = "";
    if (p->peer)
        srv_dotted_address(p->peer->address.host, dotted);
    srv_access_append(SRV_ADMIN_LIST, dotted, p->name);
    srv_grant_admin(player);
}

void srv_command_fog(uint8_t red, uint8_t green, uint8_t blue)
{
    srv_settings.fog_r = red;
    srv_settings.fog_g = green;
    srv_settings.fog_b = blue;
    char text[SRV_LOG_LINE];
    snprintf(text, sizeof text, lang_get(LANG_FOG_SET), (int)red, (int)green, (int)blue);
    srv_print_only(text);
    ColourMsg m;
    m.id = MSG_FOG_COLOUR;
    m.player = 255; // from the server, not from a player
    m.colour = ((uint32_t)red << 16) | ((uint32_t)green << 8) | blue;
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_all(srv_packet(buf, msg_write_colour(buf, sizeof buf, &m)));
}

int srv_command_map(const char *name)
{
    if (!name)
        return 0;
    const char *wanted = strcmp(name, "reset") == 0 ? srv_map_name : name;
    // Read and checked now, once: a map that cannot be used is never
    // announced, and nothing is left due to be retried.
    char why[SRV_MAPFILE_WHY];
    int result = SRV_MAPFILE_OK;
    FILE *f = srv_mapfile_open(wanted, why, sizeof why, &result);
    if (f)
        result = srv_mapfile_check(f, why, sizeof why);
    if (result != SRV_MAPFILE_OK) {
        srv_console_printf(lang_get(LANG_MAP_REFUSED), wanted, why);
        // With nothing pending, the typed name is the current one all the
        // same (the next registration and "map reset" use it). A change
        // already announced stays as announced, and a name that leads out of
        // vxl/ is never kept.
        if (srv_map_change_time == 0 && result != SRV_MAPFILE_BAD_NAME && wanted != srv_map_name)
            snprintf(srv_map_name, sizeof srv_map_name, "%s", wanted);
        return 0;
    }
    if (wanted != srv_map_name)
        snprintf(srv_map_name, sizeof srv_map_name, "%s", wanted);
    srv_map_change_time = srv_last_second + 10;
    char text[SRV_LOG_LINE];
    snprintf(text, sizeof text, lang_get(LANG_MAP_CHANGE_SCHEDULED), srv_map_name, 10);
    srv_system_chat(-1, text);
    srv_console_print(text);
    return 1;
}

// "WORD N": 1 with the id when the number was read; an id out of int range
// reads as -1, which names nobody.
static int srv_scan_id(const char *rest, int *id)
{
    int r = srv_scan_int(&rest, id);
    if (r == 0)
        return 0;
    if (r < 0)
        *id = -1;
    return 1;
}

int srv_console_run(const char *line)
{
    if (!line)
        return 0;
    const char *rest;
    int id = -1;
    if ((rest = srv_after_literal(line, "kick")) && srv_scan_id(rest, &id)) {
        if (srv_connected_id(id))
            srv_remove_player(id, REMOVE_KICK);
        return 0;
    }
    if ((rest = srv_after_literal(line, "ban")) && srv_scan_id(rest, &id)) {
        if (srv_connected_id(id))
            srv_remove_player(id, REMOVE_BAN);
        return 0;
    }
    if ((rest = srv_after_literal(line, "admin")) && srv_scan_id(rest, &id)) {
        srv_command_admin(id);
        return 0;
    }
    char name[SRV_PATH_MAX];
    if ((rest = srv_after_literal(line, "map")) && srv_scan_word(&rest, name, sizeof name)) {
        srv_command_map(name);
        return 0;
    }
    if ((rest = srv_after_literal(line, "fog"))) {
        int c[3];
        int ok = 1;
        for (int i = 0; i < 3 && ok; i++)
            ok = srv_scan_int(&rest, &c[i]) == 1 && c[i] >= 0 && c[i] <= 255;
        // A colour channel outside a byte would be sent truncated: refused.
        if (ok) {
            srv_command_fog((uint8_t)c[0], (uint8_t)c[1], (uint8_t)c[2]);
            return 0;
        }
    }
    if (strcmp(line, "quit") == 0) {
        if (srv_stats_ticks() > 0) {
            char text[SRV_LOG_LINE] = "Tick statistics: ";
            size_t n = strlen(text);
            srv_stats_summary(text + n, sizeof text - n);
            srv_console_print(text);
        }
        return -1;
    }
    srv_print_only(lang_get(LANG_UNKNOWN_COMMAND));
    return 0;
}

static void srv_reply(int player, const char *text) { srv_system_chat(player, text); }

void srv_chat_command(int player, const ChatMsg *chat)
{
    if (!chat || !srv_connected_id(player))
        return;
    char text[MSG_CHAT_MAX_TEXT + 1];
    memcpy(text, chat->text, sizeof text);
    text[MSG_CHAT_MAX_TEXT] = 0;
    const char *cmd = text[0] == '/' ? text + 1 : text;

    if (srv_vote_running() && cmd[0] != 0 && cmd[0] == lang_yes_no()[1]) {
        srv_vote_yes(player);
        return;
    }
    if (strcmp(cmd, "help") == 0) {
        srv_reply(player, SRV_HELP_GENERAL);
        if (player_table[player].admin)
            srv_reply(player, SRV_HELP_ADMIN);
        return;
    }
    const char *rest = cmd;
    char word[16];
    int id = -1;
    if (!srv_scan_word(&rest, word, sizeof word) || srv_scan_int(&rest, &id) != 1 || !srv_connected_id(id))
        return;
    if (strcmp(word, "votekick") == 0) {
        if (!srv_vote_running())
            srv_vote_start(id, sys_time_seconds());
        return;
    }
    if (strcmp(word, "ping") == 0) {
        const PlayerRecord *q = &player_table[id];
        char reply[MSG_CHAT_MAX_TEXT + 1];
        snprintf(reply, sizeof reply, "%s's ping: %ims", q->name, q->peer ? (int)q->peer->roundTripTime : 0);
        srv_reply(player, reply);
        return;
    }
    if (!player_table[player].admin)
        return;
    if (strcmp(word, "kick") == 0)
        srv_remove_player(id, REMOVE_KICK);
    else if (strcmp(word, "ban") == 0)
        srv_remove_player(id, REMOVE_BAN);
    else if (strcmp(word, "admin") == 0)
        srv_command_admin(id);
}
