// The console line editor and its commands.
#pragma once

#define SRV_CONSOLE_LINE 64 // at most 63 characters

// Reads one waiting character (with echo) into the console line; Enter runs
// the line. Returns -1 when the line was "quit", else 0. Also returns -1 once
// the process was asked to stop (SIGINT/SIGTERM).
int srv_console_command();
// Feeds one character to the editor (what srv_console_command does with the
// character it read). Returns -1 for "quit", else 0.
int srv_console_feed(int c);
// Runs one complete command line. Returns -1 for "quit", else 0.
int srv_console_execute(const char *line);
// The line being typed.
const char *srv_console_line();
