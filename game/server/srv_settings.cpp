// Reading "server_config.ini": every key has its default and clamp here.
#include "server/srv_settings.h"

#include "server/srv_log.h"
#include "server/sys_host.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "common/cfg.h"
#include "common/lang.h"

ServerSettings srv_settings;
char srv_config_path[SRV_PATH_MAX] = "server_config.ini";
const char *const srv_spectator_name = "Spectator";

// Cuts to size - 1 characters. The text may be out itself: the lookup of a
// missing key hands back its default, which is the value already in place.
static void srv_copy_text(char *out, size_t size, const char *text)
{
    if (!text)
        text = "";
    size_t len = strnlen(text, size - 1);
    memmove(out, text, len);
    out[len] = 0;
}

// A settings file that cannot be parsed is reported on the console.
static void srv_cfg_report(const char *text, const char *caption)
{
    srv_console_printf("%s: %s", caption ? caption : "", text ? text : "");
}

static int srv_clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// 1 with the value when text is a whole decimal number lo..hi, blanks
// around it allowed; 0 otherwise.
static int srv_parse_whole(const char *text, long lo, long hi, long *out)
{
    if (!text)
        return 0;
    while (*text == ' ' || *text == '\t')
        text++;
    long v = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9'; text++, digits++) {
        v = v * 10 + (*text - '0');
        if (v > hi)
            return 0;
    }
    while (*text == ' ' || *text == '\t')
        text++;
    if (digits == 0 || *text || v < lo)
        return 0;
    *out = v;
    return 1;
}

void srv_settings_defaults()
{
    ServerSettings &s = srv_settings;
    memset(&s, 0, sizeof s);
    s.port = SRV_DEFAULT_PORT;
    s.port_ok = 1;
    s.language_ok = 1;
    srv_copy_text(s.logfilename, sizeof s.logfilename, "bkm_server_log.txt");
    srv_copy_text(s.perffilename, sizeof s.perffilename, "bkm_server_perf.dat");
    srv_log_default_folder(s.logfolder, sizeof s.logfolder);
    s.caplimit = 3;
    s.fog_b = s.fog_g = s.fog_r = 127;
    s.team_b[0] = 196; s.team_g[0] = 0; s.team_r[0] = 0;
    s.team_b[1] = 0; s.team_g[1] = 196; s.team_r[1] = 0;
    srv_copy_text(s.team_name[0], sizeof s.team_name[0], "Team 1");
    srv_copy_text(s.team_name[1], sizeof s.team_name[1], "Team 2");
    srv_copy_text(s.masterhost, sizeof s.masterhost, SRV_DEFAULT_MASTER_HOST);
    s.masterport = SRV_DEFAULT_MASTER_PORT;
    s.query_address = 1;
    s.has_map = 0;
    srv_copy_text(s.gamemode, sizeof s.gamemode, "ctf");
    s.players = 32;
    srv_copy_text(s.name, sizeof s.name, "Zedeza Diro");
    s.register_master = 1;
}

// A log switched on whose path cannot be made is switched off, and the
// operator is told.
static int srv_log_switch(int on, const char *file_name, char *path)
{
    if (on != 1 || srv_log_path(file_name, path))
        return on;
    char folder[SRV_PATH_MAX];
    srv_log_default_folder(folder, sizeof folder);
    if (strcmp(folder, srv_settings.logfolder) == 0)
        srv_console_printf("Warning: the log %s is off: %s is not a usable folder.", file_name, folder);
    else
        srv_console_printf("Warning: the log %s is off: neither %s nor %s is a usable folder.", file_name,
                           srv_settings.logfolder, folder);
    return 0;
}

static uint8_t srv_byte_key(const ConfigDict *d, const char *key, int def)
{
    return (uint8_t)srv_clamp(cfg_get_int(d, key, def), 0, 255);
}

int srv_read_config()
{
    srv_settings_defaults();
    cfg_set_report(srv_cfg_report);
    ConfigDict *d = nullptr;
    cfg_load(srv_config_path, &d);
    srv_settings.file_missing = access(srv_config_path, F_OK) != 0;
    ServerSettings &s = srv_settings;
    if (d) {
        long v = 0;
        if (const char *port = cfg_get_string(d, "server:port", nullptr)) {
            srv_copy_text(s.port_text, sizeof s.port_text, port);
            s.port_ok = srv_parse_whole(port, 1, 65535, &v);
            if (s.port_ok)
                s.port = (uint16_t)v;
        }
        // A language outside the table would leave every line empty.
        if (const char *language = cfg_get_string(d, "server:language", nullptr)) {
            srv_copy_text(s.language_text, sizeof s.language_text, language);
            s.language_ok = srv_parse_whole(language, 0, LANG_LANGUAGES - 1, &v);
            s.language = s.language_ok ? (int)v : 0;
        }
        s.interactive = cfg_get_int(d, "server:interactive", 0);
        s.logging = cfg_get_int(d, "server:logging", 0);
        srv_copy_text(s.logfilename, sizeof s.logfilename,
                      cfg_get_string(d, "server:logfilename", s.logfilename));
        s.perflogging = cfg_get_int(d, "server:perflogging", 0);
        srv_copy_text(s.perffilename, sizeof s.perffilename,
                      cfg_get_string(d, "server:perffilename", s.perffilename));
        srv_copy_text(s.logfolder, sizeof s.logfolder,
                      cfg_get_string(d, "server:logfolder", s.logfolder));
        s.caplimit = srv_clamp(cfg_get_int(d, "server:caplimit", 3), 1, 63);
        s.fog_b = srv_byte_key(d, "server:bfog", 127);
        s.fog_g = srv_byte_key(d, "server:gfog", 127);
        s.fog_r = srv_byte_key(d, "server:rfog", 127);
        s.team_b[0] = srv_byte_key(d, "server:bteam1", 196);
        s.team_g[0] = srv_byte_key(d, "server:gteam1", 0);
        s.team_r[0] = srv_byte_key(d, "server:rteam1", 0);
        s.team_b[1] = srv_byte_key(d, "server:bteam2", 0);
        s.team_g[1] = srv_byte_key(d, "server:gteam2", 196);
        s.team_r[1] = srv_byte_key(d, "server:rteam2", 0);
        srv_copy_text(s.team_name[0], sizeof s.team_name[0],
                      cfg_get_string(d, "server:team1name", "Team 1"));
        srv_copy_text(s.team_name[1], sizeof s.team_name[1],
                      cfg_get_string(d, "server:team2name", "Team 2"));
        srv_copy_text(s.masterhost, sizeof s.masterhost,
                      cfg_get_string(d, "server:masterhost", SRV_DEFAULT_MASTER_HOST));
        s.masterport = (uint16_t)cfg_get_int(d, "server:masterport", SRV_DEFAULT_MASTER_PORT);
        s.query_address = cfg_get_int(d, "server:queryaddress", 1);
        s.has_map = iniparser_find_entry(d, "server:map") ? 1 : 0;
        if (s.has_map)
            srv_copy_text(s.map, sizeof s.map, cfg_get_string(d, "server:map", ""));
        srv_copy_text(s.gamemode, sizeof s.gamemode, cfg_get_string(d, "server:gamemode", "ctf"));
        s.players = cfg_get_int(d, "server:players", 32);
        srv_copy_text(s.name, sizeof s.name, cfg_get_string(d, "server:name", "Zedeza Diro"));
        s.register_master = cfg_get_int(d, "server:register", 1);
        cfg_free(d);
    }
    s.logging = srv_log_switch(s.logging, s.logfilename, srv_log_main.path);
    s.perflogging = srv_log_switch(s.perflogging, s.perffilename, srv_log_perf.path);
    return 1;
}
