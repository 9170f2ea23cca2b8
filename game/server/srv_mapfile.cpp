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

FILE *srv_mapfile_open(const char *name)
{
    char path[SRV_PATH_MAX + 16];
    srv_map_file_path(name, path, sizeof path);
    // Non-blocking, so that a pipe without a writer cannot hold the game thread.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    FILE *f = fdopen(fd, "rb");
    if (!f)
        close(fd);
    return f;
}

// The reason in the loaded language; the bare detail without a language table.
static int srv_mapfile_refuse(int result, char *why, size_t why_size, int id, const char *a, const char *b)
{
    if (!why || !why_size)
        return result;
    const char *format = lang_get(id);
    if (format[0])
        snprintf(why, why_size, format, a, b);
    else
        snprintf(why, why_size, "%s", a);
    return result;
}

int srv_mapfile_read(FILE *file, uint8_t **bytes, size_t *size, char *why, size_t why_size)
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
    // One byte past the limit tells a file that grew since fstat.
    uint8_t *buf = (uint8_t *)malloc((size_t)MAP_IMAGE_MAX_BYTES + 1);
    if (!buf) {
        fclose(file);
        return srv_mapfile_refuse(SRV_MAPFILE_UNREADABLE, why, why_size, LANG_MAP_UNREADABLE, strerror(ENOMEM), "");
    }
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
    if (result != SRV_MAPFILE_OK) {
        free(buf);
        return result;
    }
    *bytes = buf;
    *size = n;
    return SRV_MAPFILE_OK;
}

int srv_mapfile_load(FILE *file, char *why, size_t why_size)
{
    uint8_t *bytes;
    size_t size;
    int r = srv_mapfile_read(file, &bytes, &size, why, why_size);
    if (r != SRV_MAPFILE_OK)
        return r;
    int ok = map_load_image(bytes, size);
    free(bytes);
    // Checked above, so the store cannot refuse it.
    return ok ? SRV_MAPFILE_OK : SRV_MAPFILE_INVALID;
}

int srv_mapfile_check(FILE *file, char *why, size_t why_size)
{
    uint8_t *bytes;
    size_t size;
    int r = srv_mapfile_read(file, &bytes, &size, why, why_size);
    free(bytes);
    return r;
}
