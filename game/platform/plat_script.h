// The input script: timed key, text, mouse and window events and
// screenshots, fed into the layer exactly where a player's input enters it,
// so the game cannot tell the two apart. Named by BKM_INPUT_SCRIPT; loaded by
// platform_main, works with both backends.
//
// One command per line; blank lines and lines whose first non-blank
// character is '#' are skipped. Each line begins with a delay
// in milliseconds, counted from the previous line's moment (the first from
// the start of the run):
//   DELAY key KEY down|up          a key (plat_keys.h script name or number)
//   DELAY press KEY [HOLD]         down now, up HOLD ms later (default 50)
//   DELAY type TEXT                types the rest of the line (keys with their characters)
//   DELAY mouse DX DY              relative motion
//   DELAY wheel NOTCHES            wheel turned (positive away from the user)
//   DELAY button N down|up         mouse button 0 left, 1 right, 2 middle, 3 fourth
//   DELAY click N                  down now, up 50 ms later
//   DELAY focus 0|1                window loses or gains the focus
//   DELAY screen N [TIMEOUT]       waits until the program's current screen is
//                                  N (default time-out 30000 ms; on time-out
//                                  logs "script: screen N not reached" and closes)
//   DELAY shot PATH                saves the next presented frame as PNG; the
//                                  commands after it wait for that frame (at
//                                  most 5 s), so none of them shows in it
//   DELAY close                    the user closes the window
#pragma once
#include <cstdint>

#define SCRIPT_MAX_COMMANDS 1024

// Parses a script text, replacing any loaded one. 1 loaded; 0 on a malformed
// line (logged as "script: line N: ..."), leaving no script.
int script_parse(const char *text);
// Reads and parses a file. 1 loaded, 0 missing or malformed.
int script_load(const char *path);
// Drops the script.
void script_clear();
// 1 while a script is loaded (finished or not).
int script_active();
// 1 when every command has run.
int script_done();
// Feeds the commands that are due at `now_ms` (plat_millis) into the input.
void script_tick(uint32_t now_ms);
// After a present: saves the screenshots that are due, from the frame's pixels.
void script_after_present(const uint8_t *pixels, int32_t pitch, int32_t width, int32_t height);
