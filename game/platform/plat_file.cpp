// Whole-file reads for the layer's loaders.
#include "platform/plat_file.h"

#include <cstdio>
#include <cstdlib>

int plat_read_file(const char *path, size_t max, uint8_t **data, size_t *size)
{
    *data = nullptr;
    *size = 0;
    FILE *f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) return 0;
    uint8_t *buf = nullptr;
    long len = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) len = std::ftell(f);
    if (len >= 0 && (unsigned long)len <= max && std::fseek(f, 0, SEEK_SET) == 0) {
        buf = (uint8_t *)std::malloc(len > 0 ? (size_t)len : 1);
        if (buf && std::fread(buf, 1, (size_t)len, f) != (size_t)len) {
            std::free(buf);
            buf = nullptr;
        }
    }
    std::fclose(f);
    if (!buf) return 0;
    *data = buf;
    *size = (size_t)len;
    return 1;
}
