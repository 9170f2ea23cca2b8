// The server's console over a terminal, a pipe or nothing at all.
// Standard input may be a terminal (non-canonical mode while the server
// runs, restored at exit), a pipe (a test harness) or closed (CI); at its end
// the console simply stops being polled.
#pragma once

// First thing at start: a standard descriptor (input, output, error) that
// is closed is opened on /dev/null, so that no socket can take its number
// (the console would read the game's packets, prints would go to a peer).
// A closed input counts as ended. Makes standard output line buffered.
void con_prepare();
// Puts a terminal on standard input into non-canonical, no-echo mode and
// arranges its restoration at exit, on Ctrl-Z and on SIGINT/SIGTERM (through
// the main loop's shutdown). Only while the process is in the terminal's
// foreground: a server started with '&' leaves the terminal alone and keeps
// running. Harmless for pipes and closed input. Also makes standard output
// line buffered.
void con_init();
// Restores the terminal mode saved by con_init (idempotent); the terminal is
// not taken again.
void con_restore();
// 1 when a character can be read now without blocking (the `_kbhit` test);
// 0 when none is waiting, the input has ended, or the terminal's foreground
// is another process group. Takes the terminal (as con_init) once the process
// is back in the foreground.
int con_key_waiting();
// Before a message line: ends a line the operator has begun typing, so the
// message starts on a line of its own.
void con_begin_line();
// Reads one waiting character and echoes it (`_getche`); carriage return and
// line feed both come back as 13, DEL as Backspace 8. Returns -1 when the
// input has ended (from then on con_key_waiting stays 0).
int con_read_char();
// 1 once standard input has reached its end or is unusable.
int con_input_ended();
// Reads one line (without its newline) in canonical fashion for the set-up
// questions. Returns 1, or 0 at end of input.
int con_read_line(char *buf, int size);
// The "pause" before a failed start exits: waits for a key, only when
// standard input is a terminal.
void con_pause();
// Set by SIGINT/SIGTERM: the main loop treats it as "quit".
extern volatile int con_stop_requested;
