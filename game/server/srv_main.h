// The server's spine: start-up, the 60 Hz main loop and shutdown.
#pragma once
#include <cstdint>
#include <cstdio>

// Program entry: argv[1], when given, replaces "server_config.ini".
// Returns the process exit code.
int srv_main(int argc, char **argv);
// srv_init, then the main loop. Returns the exit code (0 after "quit").
int srv_run();
// Settings, logs, strings and the game set-up. 0, -1 (set-up from the
// settings failed) or -2 (set-up from the console failed).
int srv_init();
int srv_setup_from_config();
int srv_setup_interactive();
// Builds the world and the network host. 0, -1 (no work area, no program
// path), -2 (ENet) or -3 (the game host cannot be created). A null file
// generates a map and saves it as "gen"; so does a file that is refused
// (named with the reason, srv_map_name being its map).
int srv_start(FILE *map_file, int mode_flag, const char *server_name);
// Runs until "quit" (or SIGINT/SIGTERM), then shuts down. Returns 0.
int srv_main_loop();
// One pass of the loop without the console: a tick when 1/60 s has passed
// since the last, otherwise a poll of the master link and the game host and
// a 1 ms sleep. Returns 1 when a tick ran.
int srv_loop_step();
// One iteration of the loop's network poll: drains the game host's events.
void srv_service_clients();
// One tick (the work of a loop pass whose delta reached 1/60 s).
void srv_tick(double now, float delta);
// Releases everything srv_start took.
void srv_shutdown();
