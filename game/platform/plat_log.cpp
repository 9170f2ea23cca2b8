// The layer's log: a ring of recent lines in memory and an optional file.
#include "platform/plat_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static char log_lines[PLAT_LOG_KEEP][PLAT_LOG_LINE];
static int log_first; // index of the oldest kept line
static int log_kept;
static FILE *log_file;
static int log_file_chosen; // 1 once the file was set or BKM_PLATFORM_LOG looked at

static void log_open_default()
{
    log_file_chosen = 1;
    const char *path = std::getenv("BKM_PLATFORM_LOG");
    if (path && *path) log_file = std::fopen(path, "a");
}

void plat_log(const char *format, ...)
{
    char line[PLAT_LOG_LINE];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(line, sizeof line, format, ap);
    va_end(ap);
    // One line each: a text with line breaks stays one entry.
    for (char *p = line; *p; p++)
        if (*p == '\n' || *p == '\r') *p = ' ';

    int slot = (log_first + log_kept) % PLAT_LOG_KEEP;
    if (log_kept == PLAT_LOG_KEEP) log_first = (log_first + 1) % PLAT_LOG_KEEP;
    else log_kept++;
    std::memcpy(log_lines[slot], line, sizeof line);

    if (!log_file_chosen) log_open_default();
    if (log_file) {
        std::fprintf(log_file, "%s\n", line);
        std::fflush(log_file); // the program may end through exit at any moment
    }
}

int plat_log_count() { return log_kept; }

const char *plat_log_line(int i)
{
    if (i < 0 || i >= log_kept) return "";
    return log_lines[(log_first + i) % PLAT_LOG_KEEP];
}

int plat_log_find(const char *prefix, int from)
{
    size_t n = std::strlen(prefix);
    for (int i = from < 0 ? 0 : from; i < log_kept; i++)
        if (std::strncmp(plat_log_line(i), prefix, n) == 0) return i;
    return -1;
}

void plat_log_clear()
{
    log_first = 0;
    log_kept = 0;
}

void plat_log_set_file(const char *path)
{
    if (log_file) std::fclose(log_file);
    log_file = path ? std::fopen(path, "a") : nullptr;
    log_file_chosen = 1;
}
