// maptool: writes simple VXL maps and checks a VXL file's invariants.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/map_check.h"
#include "common/map_store.h"
#include "common/terrain.h"
#include "floating_report.h"
#include "map_builders.h"

static int usage()
{
    std::fprintf(stderr,
                 "usage: maptool flat OUT [GROUND]          flat ground at z GROUND (0..63, default 40;\n"
                 "                                          z counts down from 0 at the top)\n"
                 "       maptool hills OUT [SEED]           terrain height map of SEED\n"
                 "       maptool pillars OUT [SEED] [COUNT] flat ground with COUNT pillars\n"
                 "       maptool random OUT [SEED] [EDITS]  hills with EDITS random block edits\n"
                 "       maptool check [--strict] FILE      validate FILE and print statistics\n"
                 "       maptool gen SEED OUT               the server's generated map of SEED\n"
                 "       maptool floating FILE              list the floating block groups of FILE\n"
                 "check exits 0 for a valid map, 1 for an invalid or unreadable one; --strict also\n"
                 "requires every exposed voxel to be coloured.\n");
    return 2;
}

// The optional whole-number argument i (def when absent) into *out. 0, after
// a message naming the argument, when it is not a number from lo to hi.
static int arg_int(int argc, char **argv, int i, const char *name, long long lo, long long hi, int32_t def,
                   int32_t *out)
{
    *out = def;
    if (i >= argc) return 1;
    char *end = nullptr;
    errno = 0;
    const long long v = std::strtoll(argv[i], &end, 10);
    if (end == argv[i] || *end || errno || v < lo || v > hi) {
        std::fprintf(stderr, "maptool: %s must be a whole number from %lld to %lld, not \"%s\"\n", name, lo, hi,
                     argv[i]);
        return 0;
    }
    *out = (int32_t)(uint32_t)v; // seeds above INT32_MAX keep their 32 bits
    return 1;
}

// Reads and loads FILE into the store. 0 on success, 1 (after a message) when
// it cannot be read or is not a valid map. Only a regular file is read, and
// one larger than a map is refused by its size, unread: a device such as
// /dev/zero would never end, and a huge file would take seconds for nothing.
static int load(const char *path, std::vector<uint8_t> &img)
{
    // Non-blocking: a pipe without a writer would hold the open forever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    FILE *f = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (!f) {
        std::fprintf(stderr, "%s: cannot open (%s)\n", path, std::strerror(errno));
        if (fd >= 0) close(fd);
        return 1;
    }
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "%s: not a regular file\n", path);
        std::fclose(f);
        return 1;
    }
    unsigned long long total = (unsigned long long)st.st_size;
    if (total > (unsigned long long)MAP_IMAGE_MAX_BYTES) {
        std::fclose(f);
        std::printf("file: %s, %llu bytes\n", path, total);
        std::printf("invalid: larger than a map (at most %u bytes)\n", (unsigned)MAP_IMAGE_MAX_BYTES);
        return 1;
    }
    // One byte past the limit tells a file that grew since fstat.
    img.resize((size_t)MAP_IMAGE_MAX_BYTES + 1);
    size_t n = 0, got;
    while (n < img.size() && (got = std::fread(img.data() + n, 1, img.size() - n, f)) > 0)
        n += got;
    img.resize(n);
    total = n;
    int err = std::ferror(f);
    std::fclose(f);
    if (err) {
        std::fprintf(stderr, "%s: read error\n", path);
        return 1;
    }
    std::printf("file: %s, %llu bytes\n", path, total);
    const char *why = nullptr;
    if (!map_validate_image(img.data(), img.size(), &why)) {
        std::printf("invalid: %s\n", why);
        return 1;
    }
    if (!map_load_image(img.data(), img.size())) {
        std::printf("invalid: refused by the store\n");
        return 1;
    }
    return 0;
}

static int check(const char *path, int strict)
{
    std::vector<uint8_t> img;
    if (load(path, img)) return 1;
    MapStats st;
    char msg[256];
    int ok = map_check(&st, msg, sizeof msg, strict ? 1 : 0);
    std::printf("columns: %d\n", st.columns);
    std::printf("spans: %d\n", st.spans);
    std::printf("colours: %d\n", st.colours);
    std::printf("pool words used: %d of %d\n", st.pool_words_used, MAP_POOL_WORDS);
    std::printf("solid voxels: %lld\n", (long long)st.solid_voxels);
    std::printf("ground z: %d..%d\n", st.min_ground, st.max_ground);
    std::printf("colour rule: %d missing, %d extra, %d coloured at z 63\n", st.colour_missing, st.colour_extra,
                st.bottom_coloured);
    if (!ok) {
        std::printf("invalid: %s\n", msg);
        return 1;
    }
    std::printf("valid\n");
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 3) return usage();
    const char *cmd = argv[1];
    if (!std::strcmp(cmd, "check")) {
        int strict = !std::strcmp(argv[2], "--strict");
        if (argc != (strict ? 4 : 3)) return usage();
        return check(argv[strict ? 3 : 2], strict);
    }
    if (!std::strcmp(cmd, "floating")) {
        if (argc != 3) return usage();
        std::vector<uint8_t> img;
        if (load(argv[2], img)) return 1;
        floating_report(stdout);
        return 0;
    }
    const char *out = argv[2];
    // Seeds take any 32 bits, signed or not, as the server's "gen" does.
    const long long seed_lo = INT32_MIN, seed_hi = UINT32_MAX;
    int32_t a = 0, b = 0;
    if (!std::strcmp(cmd, "gen")) {
        if (argc != 4) return usage();
        if (!arg_int(argc, argv, 2, "SEED", seed_lo, seed_hi, 0, &a)) return 2;
        out = argv[3];
        if (!terrain_generate(a)) {
            std::fprintf(stderr, "generated map does not fit the pool\n");
            return 1;
        }
    } else if (!std::strcmp(cmd, "flat")) {
        if (argc > 4) return usage();
        if (!arg_int(argc, argv, 3, "GROUND", 0, 63, 40, &a)) return 2;
        build_flat_map(a);
    } else if (!std::strcmp(cmd, "hills")) {
        if (argc > 4) return usage();
        if (!arg_int(argc, argv, 3, "SEED", seed_lo, seed_hi, 1, &a)) return 2;
        build_hills_map(a);
    } else if (!std::strcmp(cmd, "pillars")) {
        if (argc > 5) return usage();
        if (!arg_int(argc, argv, 3, "SEED", seed_lo, seed_hi, 1, &a) ||
            !arg_int(argc, argv, 4, "COUNT", 0, INT32_MAX, 2000, &b))
            return 2;
        build_pillars_map(a, b);
    } else if (!std::strcmp(cmd, "random")) {
        if (argc > 5) return usage();
        if (!arg_int(argc, argv, 3, "SEED", seed_lo, seed_hi, 1, &a) ||
            !arg_int(argc, argv, 4, "EDITS", 0, INT32_MAX, 20000, &b))
            return 2;
        build_random_map(a, b);
    } else {
        return usage();
    }
    if (!map_save(out)) {
        std::fprintf(stderr, "%s: cannot write\n", out);
        return 1;
    }
    std::printf("wrote %s\n", out);
    return 0;
}
