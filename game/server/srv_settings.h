// Server settings: section "server" of the settings file, read once at start.
#pragma once
#include <cstdint>

#define SRV_PATH_MAX 260 // paths and map names: at most 259 characters

struct ServerSettings {
    uint16_t port;                    // 1..65535 when port_ok
    int port_ok;                      // 0: "server:port" is not a port; the server must not start
    char port_text[32];               // "server:port" as written (cut), for the refusal
    int language;                     // 0..LANG_LANGUAGES-1 when language_ok
    int language_ok;                  // 0: "server:language" is not a language; the server must not start
    char language_text[32];           // "server:language" as written (cut), for the refusal
    int file_missing;                 // the settings file does not exist: every value is a default
    int interactive;
    int logging;
    char logfilename[SRV_PATH_MAX];
    int perflogging;
    char perffilename[SRV_PATH_MAX];
    char logfolder[SRV_PATH_MAX];
    int caplimit;                     // 1..63
    uint8_t fog_b, fog_g, fog_r;      // changed at run time by "fog" / MSG_FOG_COLOUR
    uint8_t team_b[2], team_g[2], team_r[2];
    char team_name[2][10];            // at most 9 characters
    char masterhost[256];
    uint16_t masterport;
    int query_address;                // 0 = skip the public-address query
    // Game set-up keys, read by the set-up from the settings file.
    int has_map;
    char map[SRV_PATH_MAX];
    char gamemode[16];
    int players;                      // as read; clamped by srv_start
    char name[32];
    int register_master;
};

// Master host used when "server:masterhost" is absent.
#define SRV_DEFAULT_MASTER_HOST "master.brickmire.net"
#define SRV_DEFAULT_MASTER_PORT 32885
#define SRV_DEFAULT_PORT 32887

extern ServerSettings srv_settings;
// Name of the settings file; argv[1] replaces it.
extern char srv_config_path[SRV_PATH_MAX];

// Fills srv_settings with every default.
void srv_settings_defaults();
// Loads srv_config_path (a missing file gives all defaults), reads every key
// with its default and clamp, and builds the two log paths when their
// switches are on (a log whose path cannot be made is switched off, with a
// console warning). Returns 1. A "server:port" that is not a whole number
// 1..65535 leaves port_ok 0 (the caller refuses to start: any port it bound
// instead would be one nobody is told); a "server:language" that is not a
// whole number 0..5 leaves language_ok 0 (likewise). A file that does not
// exist sets file_missing, for the caller to say once it can print.
int srv_read_config();
// The spectator team's name, besides the two team names.
extern const char *const srv_spectator_name;
