// The server's two log files (log and performance log), their line format,
// and the console print that every server message goes through.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdio>

#include "server/srv_settings.h"

enum ServerLogState { LOG_NEVER_OPENED = 0, LOG_CLOSED = 1, LOG_OPEN = 2 };

struct ServerLog {
    char path[SRV_PATH_MAX];
    int state;
    FILE *file;
};

#define SRV_LOG_LINE 1024 // every line is formatted in a buffer of this size

// The two log objects, and the handles the rest of the server keeps: a null
// handle means that log is off.
extern ServerLog srv_log_main;
extern ServerLog srv_log_perf;
extern ServerLog *srv_log;
extern ServerLog *srv_perf;

// The default log folder: "logs" beside the program, with a trailing slash.
void srv_log_default_folder(char *out, size_t size);
// Builds folder + file name into path (at most 259 characters) from
// "server:logfolder"; a folder that does not exist is replaced by the default
// folder, created when missing. Returns 1, or 0 when no usable folder exists.
int srv_log_path(const char *file_name, char *path);
// Opens the log object whose path is given for appending, unless open
// already. Returns its handle, or null after a console warning naming the
// path when the file cannot be opened.
ServerLog *srv_log_open(ServerLog *log);
// Flushes and closes an open log; a log never opened is left alone.
void srv_log_close(ServerLog *log);
// One tagged line each; a null handle or a closed log writes nothing.
void srv_log_debug(ServerLog *log, const char *format, ...) __attribute__((format(printf, 2, 3)));
void srv_log_info(ServerLog *log, const char *format, ...) __attribute__((format(printf, 2, 3)));
void srv_log_warn(ServerLog *log, const char *format, ...) __attribute__((format(printf, 2, 3)));
void srv_log_error(ServerLog *log, const char *format, ...) __attribute__((format(printf, 2, 3)));
void srv_log_fatal(ServerLog *log, const char *format, ...) __attribute__((format(printf, 2, 3)));
// "tag format" formatted into 1,024 bytes, cut to 1,022 characters, then a
// newline. Dropped when the tag and the format together exceed 1,024.
void srv_log_write(ServerLog *log, const char *tag, const char *format, va_list args);
// Prints the text as one line on the console and, with logging on, logs the text as an
// INFO line (the text is never used as a format).
void srv_console_print(const char *text);
// srv_console_print of a formatted text (at most SRV_LOG_LINE - 1 characters).
void srv_console_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
