// Log files and console messages.
#include "server/srv_log.h"

#include "server/con_term.h"
#include "server/sys_host.h"

#include <cerrno>
#include <cstring>

ServerLog srv_log_main;
ServerLog srv_log_perf;
ServerLog *srv_log = nullptr;
ServerLog *srv_perf = nullptr;

void srv_log_default_folder(char *out, size_t size)
{
    char dir[SRV_PATH_MAX];
    if (!sys_program_dir(dir, sizeof dir))
        snprintf(dir, sizeof dir, ".");
    snprintf(out, size, "%s/logs/", strcmp(dir, "/") == 0 ? "" : dir);
}

int srv_log_path(const char *file_name, char *path)
{
    char folder[SRV_PATH_MAX];
    snprintf(folder, sizeof folder, "%s", srv_settings.logfolder);
    if (!sys_is_dir(folder)) {
        srv_log_default_folder(folder, sizeof folder);
        if (!sys_make_dir(folder))
            return 0;
    }
    size_t len = strlen(folder);
    const char *sep = (len > 0 && folder[len - 1] == '/') ? "" : "/";
    char full[2 * SRV_PATH_MAX + 2];
    snprintf(full, sizeof full, "%s%s%s", folder, sep, file_name ? file_name : "");
    full[SRV_PATH_MAX - 1] = 0; // the whole path is cut to 259 characters
    memcpy(path, full, SRV_PATH_MAX);
    return 1;
}

ServerLog *srv_log_open(ServerLog *log)
{
    if (!log)
        return nullptr;
    if (log->state == LOG_OPEN)
        return log;
    log->file = fopen(log->path, "a");
    if (!log->file) {
        srv_console_printf("Warning: cannot open the log file %s (%s); that log is off.", log->path,
                           strerror(errno));
        return nullptr;
    }
    log->state = LOG_OPEN;
    return log;
}

void srv_log_close(ServerLog *log)
{
    if (!log || log->state != LOG_OPEN)
        return;
    fflush(log->file);
    fclose(log->file);
    log->file = nullptr;
    log->state = LOG_CLOSED;
}

void srv_log_write(ServerLog *log, const char *tag, const char *format, va_list args)
{
    if (!log || log->state != LOG_OPEN || !log->file || !tag || !format)
        return;
    size_t tag_len = strlen(tag), format_len = strlen(format);
    if (tag_len + format_len > SRV_LOG_LINE)
        return;
    char line_format[SRV_LOG_LINE + 2];
    memcpy(line_format, tag, tag_len);
    line_format[tag_len] = ' ';
    memcpy(line_format + tag_len + 1, format, format_len + 1);
    char line[SRV_LOG_LINE];
    int n = vsnprintf(line, sizeof line, line_format, args);
    if (n < 0)
        return;
    line[SRV_LOG_LINE - 2] = 0; // at most 1,022 characters, then the newline
    fputs(line, log->file);
    fputc('\n', log->file);
    // The main log carries few lines; keeping it current costs nothing. The
    // performance log stays buffered.
    if (log == &srv_log_main)
        fflush(log->file);
}

#define SRV_LOG_LEVEL(fn, tag)                              \
    void fn(ServerLog *log, const char *format, ...)        \
    {                                                       \
        va_list args;                                       \
        va_start(args, format);                             \
        srv_log_write(log, tag, format, args);              \
        va_end(args);                                       \
    }
SRV_LOG_LEVEL(srv_log_debug, "[DEBUG]")
SRV_LOG_LEVEL(srv_log_info, "[INFO]")
SRV_LOG_LEVEL(srv_log_warn, "[WARN]")
SRV_LOG_LEVEL(srv_log_error, "[ERROR]")
SRV_LOG_LEVEL(srv_log_fatal, "[FATAL]")

void srv_console_print(const char *text)
{
    if (!text)
        text = "";
    con_begin_line();
    printf("%s\n", text);
    fflush(stdout);
    if (srv_settings.logging == 1)
        srv_log_info(srv_log, "%s", text);
}

void srv_console_printf(const char *format, ...)
{
    char text[SRV_LOG_LINE];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    srv_console_print(text);
}
