// The client game's outer shell: start-up (game_init), the per-frame entry
// (game_run_frame) and shutdown (game_shutdown), which the platform layer
// calls (platform/plat_game.h), and the command-line address.
#pragma once
#include <cstdint>

#include "platform/plat_game.h"

// Frame timing, kept for the whole run.
extern double game_last_frame; // game-clock time of the last frame
extern float game_frame_time;  // seconds between the last two frames
extern int32_t game_millis;    // game clock in whole milliseconds (game_millis_of)

// Reads the server's address from the start-up argument: the six characters
// before it are skipped unread; then at most 17 characters holding the
// address as one decimal 32-bit number (ENet's host value: 127.0.0.1 is
// 16777343), an optional ":port" (default 32887, taken modulo 65536), and one
// trailing '"' and then one trailing '/' that are dropped. Returns 1 with
// *host and *port set; 0 for no argument, "client.exe", an argument with no
// text after its prefix, or an address or port that is not a number.
int game_parse_address(const char *arg, uint32_t *host, uint16_t *port);
// The millisecond clock of a game-clock time: whole milliseconds, counted
// modulo 2^31 so that it stays positive at any uptime.
int32_t game_millis_of(double t);
// The frame-rate text, right-aligned at the top of the frame.
void hud_draw_fps(float frame_time);
// Windowed: keeps the pointer hidden at the window's centre while the cursor
// is captured or the window active, else shows it.
void game_update_cursor(int capture);
