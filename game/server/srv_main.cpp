// Start-up, main loop and shutdown of the dedicated server.
#include "server/srv_main.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <enet/enet.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/map_edit.h"
#include "common/map_floating.h"
#include "common/map_store.h"
#include "common/net.h"
#include "common/rng.h"
#include "common/terrain.h"
#include "common/timer.h"
#include "server/con_term.h"
#include "server/srv_console.h"
#include "server/srv_guard.h"
#include "server/srv_join.h"
#include "server/srv_log.h"
#include "server/srv_mapfile.h"
#include "server/srv_mapzip.h"
#include "server/srv_master.h"
#include "server/srv_modes.h"
#include "server/srv_net.h"
#include "server/srv_rules.h"
#include "server/srv_send.h"
#include "server/srv_state.h"
#include "server/srv_stats.h"
#include "server/srv_vote.h"
#include "server/sys_host.h"

int srv_main(int argc, char **argv)
{
    con_prepare();
    if (argc > 1 && argv[1])
        snprintf(srv_config_path, sizeof srv_config_path, "%s", argv[1]);
    return srv_run();
}

int srv_run()
{
    int r = srv_init();
    if (r != 0)
        return r;
    return srv_main_loop();
}

// Loads the language file of "server:language" from the program's folder.
// 0 after a line that says why the server cannot start: a server without
// its texts would print nothing but empty lines. Such a line is worded in
// English from its language file when that one loads.
static int srv_load_language_file(const char *dir, int language, char *path, size_t size)
{
    snprintf(path, size, "%s/languages/BkmLang-%s.bin", dir, lang_codes[language]);
    return lang_load_file(path);
}

static int srv_load_language(const char *dir)
{
    const ServerSettings &s = srv_settings;
    char path[SRV_PATH_MAX + 64];
    int language = s.language_ok ? s.language : 0;
    int loaded = srv_load_language_file(dir, language, path, sizeof path);
    if (loaded && s.language_ok)
        return 1;
    if (!s.language_ok) {
        srv_console_printf(lang_get_or(LANG_BAD_LANGUAGE, "The setting server:language = \"%s\" is not a language (a "
                                                          "whole number from 0 to 5). The server does not start."),
                           s.language_text);
        return 0;
    }
    if (language != 0) {
        char english[SRV_PATH_MAX + 64];
        srv_load_language_file(dir, 0, english, sizeof english);
    }
    srv_console_printf(lang_get_or(LANG_LANGUAGE_FILE_FAILED,
                                   "Could not load the language file %s. The server does not start."),
                       path);
    return 0;
}

int srv_init()
{
    srv_read_config();
    if (srv_settings.logging == 1)
        srv_log = srv_log_open(&srv_log_main);
    if (srv_settings.perflogging == 1)
        srv_perf = srv_log_open(&srv_log_perf);
    // The settings file is where the server was started; everything else
    // (languages, maps, lists) is beside the program, wherever it is started.
    char dir[SRV_PATH_MAX];
    if (!sys_program_dir(dir, sizeof dir) || chdir(dir) != 0) {
        srv_console_print(lang_get_or(LANG_ERR_PROGRAM_PATH, "Could not find the program's folder."));
        return -1;
    }
    if (!srv_load_language(dir))
        return -1;
    if (!srv_settings.port_ok) {
        srv_console_printf(lang_get_or(LANG_BAD_PORT, "The setting server:port = \"%s\" is not a port (a whole "
                                                      "number from 1 to 65535). The server does not start."),
                           srv_settings.port_text);
        return -1;
    }
    if (srv_settings.file_missing)
        srv_console_printf(lang_get(LANG_SETTINGS_MISSING), srv_config_path);
    if (srv_settings.interactive != 1)
        return srv_setup_from_config() < 0 ? -1 : 0;
    return srv_setup_interactive() < 0 ? -2 : 0;
}

int srv_setup_from_config()
{
    const ServerSettings &s = srv_settings;
    FILE *file = nullptr;
    if (s.has_map) {
        memcpy(srv_map_name, s.map, sizeof srv_map_name);
        srv_map_name[sizeof srv_map_name - 1] = 0;
        char why[SRV_MAPFILE_WHY];
        int result = SRV_MAPFILE_OK;
        file = srv_mapfile_open(srv_map_name, why, sizeof why, &result);
        // Named with the reason, so the generated map in its place is no
        // surprise; "gen" before any map was generated is the usual start.
        if (!file && !(result == SRV_MAPFILE_MISSING && strcmp(srv_map_name, "gen") == 0))
            srv_console_printf(lang_get(LANG_MAP_REFUSED), srv_map_name, why);
    } else {
        snprintf(srv_map_name, sizeof srv_map_name, "gen");
    }
    int mode = strcmp(s.gamemode, "ctf") == 0 ? GAME_MODE_CTF : GAME_MODE_TC;
    srv_player_count = (uint32_t)s.players;
    srv_register = s.register_master == 1;
    return srv_start(file, mode, s.name);
}

// One answer line; 0 at the end of the input (the set-up then fails rather
// than asking forever).
static int srv_ask(const char *question, char *line, int size)
{
    if (question)
        printf("%s\n", question);
    fflush(stdout);
    return con_read_line(line, size);
}

int srv_setup_interactive()
{
    char line[512];
    FILE *file = nullptr;
    // 1. Map.
    for (;;) {
        char name[32];
        if (!srv_ask(lang_get(LANG_ASK_MAP), line, sizeof line))
            return -1;
        if (sscanf(line, " %31[ ./a-zA-Z0-9]", name) != 1) {
            if (!srv_ask(nullptr, line, sizeof line))
                return -1;
            if (sscanf(line, " %31[ ./a-zA-Z0-9]", name) != 1)
                continue;
        }
        snprintf(srv_map_name, sizeof srv_map_name, "%s", name);
        if (strcmp(name, "gen") == 0)
            break;
        char why[SRV_MAPFILE_WHY];
        file = srv_mapfile_open(name, why, sizeof why);
        if (file)
            break;
        srv_console_printf(lang_get(LANG_MAP_REFUSED), name, why);
    }
    // 2. Game mode.
    int mode = -1;
    while (mode < 0) {
        char word[260];
        if (!srv_ask("Game mode ('ctf' or 'tc'):", line, sizeof line))
            goto fail;
        if (sscanf(line, "%259s", word) != 1) {
            if (!srv_ask(nullptr, line, sizeof line))
                goto fail;
            if (sscanf(line, "%259s", word) != 1)
                continue;
        }
        if (strcmp(word, "ctf") == 0)
            mode = GAME_MODE_CTF;
        else if (strcmp(word, "tc") == 0)
            mode = GAME_MODE_TC;
    }
    // 3. Player count.
    for (;;) {
        unsigned n = 0;
        if (!srv_ask(lang_get(LANG_ASK_PLAYERS), line, sizeof line))
            goto fail;
        if (sscanf(line, "%u", &n) == 1 && n >= 1 && n <= 32) {
            srv_player_count = n;
            break;
        }
    }
    // 4. Server name.
    for (;;) {
        char name[32];
        if (!srv_ask(lang_get(LANG_ASK_SERVER_NAME), line, sizeof line))
            goto fail;
        if (sscanf(line, "%31[ a-zA-Z0-9]", name) != 1) {
            if (!srv_ask(nullptr, line, sizeof line))
                goto fail;
            if (sscanf(line, "%31[ a-zA-Z0-9]", name) != 1)
                continue;
        }
        if (name[0] != ' ') {
            snprintf(srv_server_name, sizeof srv_server_name, "%s", name);
            break;
        }
    }
    // 5. Registration.
    for (;;) {
        char word[260];
        if (!srv_ask(lang_get(LANG_ASK_REGISTER), line, sizeof line))
            goto fail;
        if (sscanf(line, "%259s", word) != 1)
            continue;
        const char *yn = lang_yes_no();
        if (word[0] == yn[0] || word[0] == yn[1]) {
            srv_register = 1;
            break;
        }
        if (word[0] == yn[2] || word[0] == yn[3]) {
            srv_register = 0;
            break;
        }
    }
    {
        char name[32];
        snprintf(name, sizeof name, "%s", srv_server_name);
        return srv_start(file, mode, name);
    }
fail:
    if (file)
        fclose(file);
    return -1;
}

// Generates a map from the time, saves it as "gen" and loads the saved file.
static int srv_generate_map()
{
    srv_console_print(lang_get(LANG_GENERATING_MAP));
    terrain_generate((int32_t)sys_time_seconds());
    snprintf(srv_map_name, sizeof srv_map_name, "gen");
    char path[SRV_PATH_MAX + 16];
    srv_map_file_path("gen", path, sizeof path);
    if (!map_save(path))
        srv_log_info(srv_log, "cannot save the generated map as %s", path);
    if (srv_mapfile_load(srv_mapfile_open("gen", nullptr, 0), nullptr, 0) == SRV_MAPFILE_OK)
        return 1;
    // The saved copy is unusable: index the map built in memory instead.
    return map_index_columns();
}

// Why the game host could not be made: the port is tried once more with a
// plain socket, since ENet keeps no reason; errno as it was when that bind
// succeeds after all.
static int srv_bind_error(uint16_t port, int fallback)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno ? errno : fallback;
    struct sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(port);
    int err = bind(fd, (struct sockaddr *)&a, sizeof a) == 0 ? fallback : errno;
    close(fd);
    return err ? err : EADDRINUSE;
}

int srv_start(FILE *map_file, int mode_flag, const char *server_name)
{
    snprintf(srv_server_name, sizeof srv_server_name, "%s", server_name ? server_name : "");
    rng_srand((uint32_t)sys_time_seconds());
    memset(player_table, 0, sizeof player_table);

    srv_work_area = (uint8_t *)malloc(SRV_WORK_AREA_SIZE);
    if (!srv_work_area) {
        if (map_file)
            fclose(map_file);
        return -1;
    }
    map_edit_set_scratch(srv_work_area, SRV_WORK_AREA_SIZE);
    srv_mapfile_init();
    srv_reset_players();

    // A configured map that is refused is named with the reason, so the
    // generated map in its place is no surprise.
    char why[SRV_MAPFILE_WHY];
    if (!map_file || srv_mapfile_load(map_file, why, sizeof why) != SRV_MAPFILE_OK) {
        if (map_file)
            srv_console_printf(lang_get(LANG_MAP_REFUSED), srv_map_name, why);
        srv_generate_map();
    }

    timer_start(&srv_now);
    srv_last_tick = srv_now;
    srv_next_world_update = srv_now + 0.1f;
    map_remove_all_floating();

    if (mode_flag == GAME_MODE_TC) {
        snprintf(srv_mode_word, sizeof srv_mode_word, "tc");
        srv_mode_flag = GAME_MODE_TC;
        srv_mode = {srv_tc_tick, srv_tc_fill_state, srv_tc_reset, srv_tc_rules, srv_tc_spawn};
    } else {
        snprintf(srv_mode_word, sizeof srv_mode_word, "ctf");
        srv_mode_flag = GAME_MODE_CTF;
        srv_mode = {srv_ctf_tick, srv_ctf_fill_state, srv_ctf_reset, srv_ctf_rules, srv_ctf_spawn};
    }
    srv_mode.reset();

    srv_connected_count = 0;
    srv_count_changed = 0;
    srv_last_second = sys_time_seconds();
    srv_last_kicked = 0;

    if (enet_initialize() != 0)
        return -2;

    if (srv_player_count == 0)
        srv_player_count = 1;
    else if (srv_player_count > PLAYER_MAX)
        srv_player_count = PLAYER_MAX;

    ENetAddress address;
    address.host = ENET_HOST_ANY;
    address.port = srv_settings.port;
    // Beyond the player slots, room for connections in progress (the slots
    // alone decide who plays).
    srv_host = enet_host_create(&address, srv_guard_peer_count(srv_player_count), 1, 0, 0);
    if (!srv_host) {
        int err = srv_bind_error(address.port, errno);
        srv_console_printf(lang_get(LANG_HOST_CREATE_FAILED), (int)address.port, strerror(err));
        con_pause();
        return -3;
    }
    srv_guard_attach(srv_host);
    enet_host_compress_with_range_coder(srv_host);
    srv_console_print(lang_get(LANG_COMPRESSION_ON));

    // Compressed now (off the game thread), so a burst of joins on the
    // fresh map shares one image.
    srv_mapzip_init();
    srv_mapzip_take();

    if (!srv_register || srv_master_connect() != 0) {
        srv_master_host = nullptr;
        srv_master_peer = nullptr;
    }

    // The port the socket really has, which is what players must be told.
    ENetAddress bound;
    int port = srv_settings.port;
    if (enet_socket_get_address(srv_host->socket, &bound) == 0)
        port = bound.port;
    srv_console_printf(lang_get(LANG_SERVER_STARTED), port);
    srv_console_print(lang_get(LANG_QUIT_HINT));
    srv_console_print(lang_get(LANG_CONSOLE_HELP));

    if (srv_settings.query_address) {
        char text[260];
        struct in_addr a;
        if (net_query_public_ip(text) != 0 || inet_pton(AF_INET, text, &a) != 1)
            srv_console_print(lang_get(LANG_PUBLIC_IP_FAILED));
        else
            srv_console_printf(lang_get(LANG_PUBLIC_IP), (unsigned)a.s_addr);
    }
    return 0;
}

// How late a sleep may wake (seconds): the loop stops sleeping that long
// before a tick is due.
#define SRV_WAKE_SLACK 0.00015f

// Seconds until the next tick is due (0 or less: due now).
static float srv_tick_left()
{
    double now;
    timer_read(&now);
    return SRV_TICK_SECONDS - (float)std::fabs(now - srv_last_tick);
}

void srv_service_clients()
{
    if (!srv_host)
        return;
    // Events are drained until none is left, but never for longer than a
    // slice of the tick nor once the tick is due: a burst of joins (each
    // queuing a whole map that ENet compresses as it sends) must not hold the
    // tick back. What is left stays queued in ENet, in order, for the next
    // pass.
    srv_join_service();
    srv_pending_release();
    srv_drop_broken_transfers();
    uint32_t start = enet_time_get();
    ENetEvent event;
    while (enet_host_service(srv_host, &event, 0) > 0) {
        switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT: srv_on_connect(&event); break;
        case ENET_EVENT_TYPE_DISCONNECT: srv_on_disconnect(&event); break;
        case ENET_EVENT_TYPE_RECEIVE: srv_dispatch_message(&event); break;
        default: break;
        }
        if (enet_time_get() - start >= SRV_SERVICE_BUDGET_MS || srv_tick_left() <= 0.0f)
            break;
    }
}

// The scheduled map change, once its second has come.
static void srv_change_map()
{
    srv_master_register();
    char why[SRV_MAPFILE_WHY];
    int result = SRV_MAPFILE_OK;
    FILE *file = srv_mapfile_open(srv_map_name, why, sizeof why, &result);
    if (!file && result == SRV_MAPFILE_MISSING) {
        srv_console_print(lang_get(LANG_MAP_CHANGE_FAILED));
        return; // still due: tried again next second, which costs an open
    }
    // A file that is refused would be refused again each second (a whole
    // read each time): the change is called off instead.
    if (file)
        result = srv_mapfile_load(file, why, sizeof why);
    if (result != SRV_MAPFILE_OK) {
        srv_map_change_time = 0;
        srv_console_printf(lang_get(LANG_MAP_CHANGE_CANCELLED), srv_map_name, why);
        return;
    }
    map_remove_all_floating();
    srv_reset_players();
    srv_mode.reset();
    srv_send_map(-1);
    srv_send_state(-1);
    srv_console_print(lang_get(LANG_MAP_CHANGED));
}

void srv_tick(double now, float delta)
{
    srv_last_tick = now;
    srv_tick_delta = delta;
    game_time = now;
    game_step = delta;
    int64_t t = sys_time_seconds();

    srv_vote_timeout(t);
    if (t != srv_last_second) {
        srv_last_second = t;
        if (srv_map_change_time != 0 && t >= srv_map_change_time)
            srv_change_map();
        for (int i = 0; i < PLAYER_MAX; i++)
            if (player_table[i].flood > 0)
                player_table[i].flood -= 3;
    }
    srv_master_tick(t, now);
    srv_guard_sweep(srv_host, enet_time_get());
    srv_tick_players(t);
    if (srv_mode.tick)
        srv_mode.tick();
    srv_update_grenades();
    srv_world_step();
}

int srv_loop_step()
{
    timer_read(&srv_now);
    float delta = (float)std::fabs(srv_now - srv_last_tick);
    if (delta < SRV_TICK_SECONDS) {
        srv_service_master();
        srv_service_clients();
        // A millisecond, or less when the tick falls due sooner: a whole
        // one would make every tick late by half a millisecond on average
        // and by more than one at worst. A sleep ends up to ~0.15 ms late,
        // so the last stretch before the tick is polled without sleeping;
        // late ticks would otherwise bring the rate down to 59 a second.
        float left = srv_tick_left();
        if (left >= 0.001f + SRV_WAKE_SLACK)
            sys_sleep_ms(1);
        else if (left > SRV_WAKE_SLACK)
            std::this_thread::sleep_for(std::chrono::microseconds((int)((left - SRV_WAKE_SLACK) * 1e6f)));
        else if (left > 0.0f)
            std::this_thread::yield();
        return 0;
    }
    srv_tick(srv_now, delta);
    double done;
    timer_read(&done);
    srv_stats_tick(delta, (float)(done - srv_now));
    return 1;
}

int srv_main_loop()
{
    con_init();
    for (;;) {
        if (con_stop_requested)
            break;
        if (con_key_waiting()) {
            if (srv_console_command() == -1)
                break;
            continue;
        }
        srv_loop_step();
    }
    srv_shutdown();
    return 0;
}

// Longest wait at shutdown for the players' connections to close.
#define SRV_QUIT_WAIT_MS 1000u

// Tells every peer of the game host that the server goes, and services the
// host until each has closed (or the wait is over), so that the notices are
// on the wire before the host is destroyed: a player sees the server gone at
// once instead of a time-out a minute later.
static void srv_disconnect_all()
{
    if (!srv_host)
        return;
    for (size_t i = 0; i < srv_host->peerCount; i++)
        if (srv_host->peers[i].state != ENET_PEER_STATE_DISCONNECTED)
            enet_peer_disconnect(&srv_host->peers[i], 0);
    uint32_t start = enet_time_get();
    for (;;) {
        int open = 0;
        for (size_t i = 0; i < srv_host->peerCount; i++)
            open += srv_host->peers[i].state != ENET_PEER_STATE_DISCONNECTED &&
                    srv_host->peers[i].state != ENET_PEER_STATE_ZOMBIE;
        if (!open || enet_time_get() - start >= SRV_QUIT_WAIT_MS)
            break;
        ENetEvent event;
        int r = enet_host_service(srv_host, &event, 10);
        if (r < 0)
            break;
        if (r > 0 && event.type == ENET_EVENT_TYPE_RECEIVE)
            enet_packet_destroy(event.packet);
    }
    enet_host_flush(srv_host);
}

void srv_shutdown()
{
    srv_disconnect_all();
    map_edit_set_scratch(nullptr, 0);
    free(srv_work_area);
    srv_work_area = nullptr;
    lang_free();
    srv_master_shutdown();
    for (int i = 0; i < PLAYER_MAX; i++)
        srv_pending_discard(i);
    srv_mapzip_shutdown();
    srv_mapfile_shutdown();
    if (srv_host)
        enet_host_destroy(srv_host);
    srv_host = nullptr;
    enet_deinitialize();
    if (srv_log)
        srv_log_close(srv_log);
    if (srv_perf)
        srv_log_close(srv_perf);
    srv_log = srv_perf = nullptr;
    con_restore();
}
