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

// Results of game_parse_address.
enum GameAddressResult {
    GAME_ADDRESS_MALFORMED = -1,
    GAME_ADDRESS_NONE = 0,
    GAME_ADDRESS_OK = 1,
};
#define GAME_ADDRESS_TEXT 48 // longer address texts are malformed

// Reads the server's address from the start-up argument: the six characters
// before it are skipped unread; then the address as one decimal 32-bit
// number (ENet's host value: 127.0.0.1 is 16777343), an optional ":port"
// (1..65535, default 32887), then one '"' and then one '/' that are dropped.
// GAME_ADDRESS_OK with *host and *port set; GAME_ADDRESS_NONE for no
// argument, "client.exe", or no text after the prefix; GAME_ADDRESS_MALFORMED
// for any other text: a non-digit where a number must be, a number beyond 32
// bits, a port outside 1..65535, anything after the address, or a digit among
// the skipped characters (the argument lost its first character, the quote).
int game_parse_address(const char *arg, uint32_t *host, uint16_t *port);
// Opens the connection to the server that game_init read from the command
// line, on the first call after it (game_run_frame makes that call at the
// top of the first frame, once the platform's start-up is done). Returns 1
// connected or nothing owed, 0 after the fatal error of a failed connect.
int game_connect_server();
// The millisecond clock of a game-clock time: whole milliseconds, counted
// modulo 2^31 so that it stays positive at any uptime.
int32_t game_millis_of(double t);
// The frame-rate text, right-aligned at the top of the frame.
void hud_draw_fps(float frame_time);
// Windowed: keeps the pointer hidden at the window's centre while the cursor
// is captured or the window active, else shows it.
void game_update_cursor(int capture);
