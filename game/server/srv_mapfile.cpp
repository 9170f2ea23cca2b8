// Reading and checking the server's map files.
#include "server/srv_mapfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/map_store.h"
#include "server/srv_settings.h"
#include "server/srv_state.h"

// The reason in the loaded language; the bare detail without a language table.
static int srv_mapfile_refuse(int result, char *why, size_t why_size, int id, const char *a, const char *b)
{
    if (!why || !why_size)
        return result;
    const char *format = lang_get(id);
    if (!format[0])
        snprintf(why, why_size, "%s", a);
    else if (!lang_signature(id)[0])
        snprintf(why, why_size, "%s", format); // a plain text is never a format
    else
        snprintf(why, why_size, format, a, b);
    return result;
}

int srv_mapfile_name_ok(const char *name)
{
    if (!name || !name[0] || name[0] == '/')
        return 0;
    for (const char *part = name; part;) {
        const char *slash = strchr(part, '/');
        size_t n = slash ? (size_t)(slash - part) : strlen(part);
        if (n == 2 && part[0] == '.' && part[1] == '.')
            return 0;
        part = slash ? slash + 1 : nullptr;
    }
    return 1;
}

FILE *srv_mapfile_open(const char *name, char *why, size_t why_size, int *result)
{
    int dummy;
    if (!result)
        result = &dummy;
    if (why && why_size)
        why[0] = 0;
    if (!srv_mapfile_name_ok(name)) {
        *result = srv_mapfile_refuse(SRV_MAPFILE_BAD_NAME, why, why_size, LANG_MAP_BAD_NAME,
                                     "the name leads outside vxl/", "");
        return nullptr;
    }
    char path[SRV_PATH_MAX + 16];
    srv_map_file_path(name, path, sizeof path);
    // Non-blocking, so that a pipe without a writer cannot hold the game thread.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            *result = srv_mapfile_refuse(SRV_MAPFILE_MISSING, why, why_size, LANG_MAP_MISSING, path, "");
        else
            *result = srv_mapfile_refuse(SRV_MAPFILE_UNREADABLE, why, why_size, LANG_MAP_UNREADABLE, strerror(err), "");
        return nullptr;
    }
    FILE *f = fdopen(fd, "rb");
    if (!f) {
        int err = errno;
        close(fd);
        *result = srv_mapfile_refuse(SRV_MAPFILE_UNREADABLE, why, why_size, LANG_MAP_UNREADABLE, strerror(err), "");
        return nullptr;
    }
    *result = SRV_MAPFILE_OK;
    return f;
}

// The read buffer: one byte past the largest map tells a file that grew
// since fstat. Taken once and kept, since a fresh 16 MiB block costs the
// game thread its page faults on every map command.
static uint8_t *srv_mapfile_buf;

int srv_mapfile_init()
{
    if (srv_mapfile_buf)
        return 1;
    srv_mapfile_buf = (uint8_t *)malloc((size_t)MAP_IMAGE_MAX_BYTES + 1);
    if (!srv_mapfile_buf)
        return 0;
    // Fault the pages in now. Not zeros: a zeroing of fresh memory may be
    // turned into calloc, which leaves the pages untouched.
    memset(srv_mapfile_buf, 0xFF, (size_t)MAP_IMAGE_MAX_BYTES + 1);
    return 1;
}

void srv_mapfile_shutdown()
{
    free(srv_mapfile_buf);
    srv_mapfile_buf = nullptr;
}

int srv_mapfile_read(FILE *file, const uint8_t **bytes, size_t *size, char *why, size_t why_size)
{
    *bytes = nullptr;
    *size = 0;
    if (why && why_size)
        why[0] = 0;
    if (!file)
        return srv_mapfile_refuse(SRV_MAPFILE_UNREADABLE, why, why_size, LANG_MAP_UNREADABLE, strerror(EBADF), "");
    struct stat st;
    const char *not_regular = nullptr;
    if (fstat(fileno(file), &st) != 0)
        not_regular = strerror(errno);
    else if (S_ISDIR(st.st_mode))
        not_regular = strerror(EISDIR);
    else if (!S_ISREG(st.st_mode))
        not_regular = "not a regular file";
    if (not_regular) {
        fclose(file);
        return srv_mapfile_refuse(SRV_MAPFILE_UNREADABLE, why, why_size, LANG_MAP_UNREADABLE, not_regular, "");
    }
    char have[40], most[32];
    snprintf(most, sizeof most, "%u", (unsigned)MAP_IMAGE_MAX_BYTES);
    if (st.st_size > (off_t)MAP_IMAGE_MAX_BYTES) {
        fclose(file);
        snprintf(have, sizeof have, "%lld", (long long)st.st_size);
        return srv_mapfile_refuse(SRV_MAPFILE_TOO_LARGE, why, why_size, LANG_MAP_TOO_LARGE, have, most);
    }
    if (!srv_mapfile_init()) {
        fclose(file);
        return srv_mapfile_refuse(SRV_MAPFILE_UNREADABLE, why, why_size, LANG_MAP_UNREADABLE, strerror(ENOMEM), "");
    }
    uint8_t *buf = srv_mapfile_buf;
    size_t n = 0;
    while (n < (size_t)MAP_IMAGE_MAX_BYTES + 1) {
        size_t got = fread(buf + n, 1, (size_t)MAP_IMAGE_MAX_BYTES + 1 - n, file);
        if (got == 0)
            break;
        n += got;
    }
    int err = ferror(file) ? errno : 0;
    fclose(file);
    int result = SRV_MAPFILE_OK;
    const char *detail = nullptr;
    if (err) {
        result = srv_mapfile_refuse(SRV_MAPFILE_UNREADABLE, why, why_size, LANG_MAP_UNREADABLE, strerror(err), "");
    } else if (n > (size_t)MAP_IMAGE_MAX_BYTES) {
        snprintf(have, sizeof have, "> %s", most);
        result = srv_mapfile_refuse(SRV_MAPFILE_TOO_LARGE, why, why_size, LANG_MAP_TOO_LARGE, have, most);
    } else if (!map_validate_image(buf, n, &detail)) {
        result = srv_mapfile_refuse(SRV_MAPFILE_INVALID, why, why_size, LANG_MAP_INVALID, detail, "");
    }
    if (result != SRV_MAPFILE_OK)
        return result;
    *bytes = buf;
    *size = n;
    return SRV_MAPFILE_OK;
}

int srv_mapfile_load(FILE *file, char *why, size_t why_size)
{
    const uint8_t *bytes;
    size_t size;
    int r = srv_mapfile_read(file, &bytes, &size, why, why_size);
    if (r != SRV_MAPFILE_OK)
        return r;
    int ok = map_load_image(bytes, size);
    // Checked above, so the store cannot refuse it.
    return ok ? SRV_MAPFILE_OK : SRV_MAPFILE_INVALID;
}

int srv_mapfile_check(FILE *file, char *why, size_t why_size)
{
    const uint8_t *bytes;
    size_t size;
    return srv_mapfile_read(file, &bytes, &size, why, why_size);
}
