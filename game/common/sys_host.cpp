// Host services over POSIX.
#include "common/sys_host.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

int sys_program_dir(char *out, size_t size)
{
    if (!out || size < 2)
        return 0;
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return 0;
    path[n] = 0;
    char *slash = strrchr(path, '/');
    if (!slash)
        return 0;
    if (slash == path)
        slash[1] = 0; // program in the root folder
    else
        *slash = 0;
    size_t len = strlen(path);
    if (len >= size)
        return 0;
    memcpy(out, path, len + 1);
    return 1;
}

void sys_sleep_ms(int ms)
{
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = (long)(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int64_t sys_time_seconds() { return (int64_t)time(nullptr); }

int sys_is_dir(const char *path)
{
    struct stat st;
    return path && path[0] && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int sys_make_dir(const char *path)
{
    if (sys_is_dir(path))
        return 1;
    return mkdir(path, 0755) == 0 || sys_is_dir(path);
}
