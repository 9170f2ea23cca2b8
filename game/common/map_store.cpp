// Voxel map store: pool allocation, shading, VXL read/validate/index/save.
#include "common/map_store.h"

#include <cmath>
#include <cstring>

#include <sys/stat.h>

#include "common/map_damage.h"
#include "common/map_edit.h"
#include "common/map_query.h"

VoxelMap voxel_map;

// The store holds the empty map from program start, so a query or a frame
// drawn before the first load reads a valid table.
static const int map_store_ready = (map_clear(), 1);

// Solidity bits of every column (bit z set when solid), rebuilt at indexing
// so that shading the whole map needs no span walks.
static uint64_t map_solid_masks[MAP_COLUMNS];

static inline int map_bit(int32_t w) { return (voxel_map.bitmap[(uint32_t)w >> 5] >> ((uint32_t)w & 31)) & 1u; }

int32_t map_column_size(const uint8_t *p)
{
    const uint8_t *q = p;
    while (q[0]) q += q[0] * 4;
    return (int32_t)(q - p) + (q[2] - q[1] + 2) * 4;
}

uint32_t map_fill32(uint32_t *p, int32_t count, uint32_t value)
{
    for (int32_t i = 0; i < count; i++) p[i] = value;
    return value;
}

void map_mark_used_below(int32_t words)
{
    uint32_t full = (uint32_t)words >> 5;
    map_fill32(voxel_map.bitmap, (int32_t)full, 0xFFFFFFFFu);
    map_fill32(voxel_map.bitmap + full, MAP_BITMAP_WORDS - (int32_t)full, 0);
    // An image that exactly fills the pool has no partial word to write.
    if (full < MAP_BITMAP_WORDS) voxel_map.bitmap[full] = (1u << ((uint32_t)words & 31)) - 1u;
    voxel_map.rover = words;
}

uint8_t *map_column_alloc(int32_t bytes)
{
    int32_t n = bytes / 4;
    if (n < 1 || n > MAP_POOL_WORDS - 1) return nullptr;
    int32_t limit = MAP_POOL_WORDS - n;
    for (int pass = 0; pass < 2; pass++) {
        while (voxel_map.rover < limit) {
            int32_t r = voxel_map.rover;
            if (map_bit(r)) {
                voxel_map.rover = r + n;
                continue;
            }
            // Start of the free run holding r; the sentinel word 0 stops the walk.
            int32_t b = r - 1;
            while (!map_bit(b)) {
                if ((b & 31) == 31 && voxel_map.bitmap[(uint32_t)b >> 5] == 0) b -= 32;
                else b--;
            }
            int busy = 0;
            for (int32_t w = b + n; w > r; w--) {
                if (map_bit(w)) {
                    busy = 1;
                    break;
                }
            }
            if (busy) {
                voxel_map.rover = r + n;
                continue;
            }
            for (int32_t w = b + 1; w <= b + n; w++) voxel_map.bitmap[(uint32_t)w >> 5] |= 1u << ((uint32_t)w & 31);
            voxel_map.rover = b + 1 + n;
            return (uint8_t *)&voxel_map.pool[b + 1];
        }
        voxel_map.rover = 0;
    }
    return nullptr;
}

void map_column_free(const uint8_t *p)
{
    int32_t w0 = (int32_t)((const uint32_t *)p - voxel_map.pool);
    int32_t n = map_column_size(p) / 4;
    for (int32_t w = w0; w < w0 + n; w++) voxel_map.bitmap[(uint32_t)w >> 5] &= ~(1u << ((uint32_t)w & 31));
}

void map_column_claim(const uint8_t *p)
{
    int32_t w0 = (int32_t)((const uint32_t *)p - voxel_map.pool);
    int32_t n = map_column_size(p) / 4;
    for (int32_t w = w0; w < w0 + n; w++) voxel_map.bitmap[(uint32_t)w >> 5] |= 1u << ((uint32_t)w & 31);
}

int32_t map_voxel_shade(int32_t x, int32_t y, int32_t z)
{
    int32_t shade = 127;
    for (int32_t k = 1; k <= 9 && z - k >= 0; k++)
        if (map_is_solid_wrap(x, y - k, z - k)) shade -= 20 - 2 * k;
    return shade;
}

static uint64_t map_column_solid_mask(const uint8_t *p)
{
    uint64_t m = 0;
    for (;;) {
        int32_t s = p[1];
        if (!p[0]) {
            m |= ~0ull << s;
            return m;
        }
        const uint8_t *q = p + p[0] * 4;
        int32_t a = q[3];
        if (a > s) m |= (~0ull << s) & ((a >= 64) ? ~0ull : ((1ull << a) - 1));
        p = q;
    }
}

// Same result as map_voxel_shade, from the solidity masks.
static inline int32_t map_mask_shade(int32_t x, int32_t y, int32_t z)
{
    int32_t shade = 127;
    for (int32_t k = 1; k <= 9 && z - k >= 0; k++)
        if ((map_solid_masks[(((y - k) & 511) << 9) | x] >> (z - k)) & 1) shade -= 20 - 2 * k;
    return shade;
}

static inline void map_set_shade(uint32_t *c, int32_t shade)
{
    *c = (*c & 0xFFFFFFu) | ((uint32_t)shade << 24);
}

void map_reshade_row(int32_t dy, float cx, float cy, float fx, float fy)
{
    if (dy < -16) dy = -16;
    if (dy > 16) dy = 16;
    float fyv = fy * 16 + cy + (float)dy;
    int32_t r = (int32_t)std::sqrt((float)(256 - dy * dy));
    float fxv = fx * 16 + cx + (float)r;
    // Camera values far outside the map (or NaN) shade nothing.
    if (!(std::fabs(fyv) < 1e9f) || !(std::fabs(fxv) < 1e9f)) return;
    int32_t y = (int32_t)fyv & 511;
    int32_t x_end = (int32_t)fxv & 511;
    for (int32_t i = 0, x = (x_end - 2 * r) & 511; i < 2 * r; i++, x = (x + 1) & 511) {
        uint8_t *p = map_column(x, y);
        for (;;) {
            int32_t s = p[1], e = p[2];
            uint32_t *c = map_span_colours(p);
            for (int32_t z = s; z <= e; z++) map_set_shade(c++, map_voxel_shade(x, y, z));
            if (!p[0]) break;
            uint8_t *q = p + p[0] * 4;
            int32_t a = q[3];
            int32_t k = p[0] - 1 - (e - s + 1);
            for (int32_t z = a - k; z < a; z++) map_set_shade(c++, map_voxel_shade(x, y, z));
            p = q;
        }
    }
}

int32_t map_save(const char *path)
{
    FILE *f = std::fopen(path, "wb");
    if (!f) return 0;
    int ok = 1;
    for (int32_t i = 0; i < MAP_COLUMNS && ok; i++) {
        const uint8_t *p = voxel_map.columns[i];
        size_t n = (size_t)map_column_size(p);
        if (std::fwrite(p, 1, n, f) != n) ok = 0;
    }
    if (std::fflush(f) != 0) ok = 0;
    // Only a regular file that we failed to fill is removed, never a device.
    struct stat sb;
    int regular = fstat(fileno(f), &sb) == 0 && S_ISREG(sb.st_mode);
    if (std::fclose(f) != 0) ok = 0;
    if (!ok && regular) std::remove(path);
    return ok;
}

uint8_t *map_image_area() { return (uint8_t *)&voxel_map.pool[1]; }

int32_t map_set_image_bytes(size_t bytes)
{
    if (bytes > MAP_IMAGE_MAX_BYTES) return 0;
    voxel_map.image_bytes = (uint32_t)bytes;
    return 1;
}

int32_t map_read_file(FILE *file)
{
    if (!file) return 0;
    // Refuse an oversized regular file before anything is overwritten.
    long pos = std::ftell(file);
    if (pos >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
        long end = std::ftell(file);
        std::fseek(file, pos, SEEK_SET);
        if (end >= 0 && end - pos > (long)MAP_IMAGE_MAX_BYTES) {
            std::fclose(file);
            return 0;
        }
    }
    voxel_map.loaded = 0;
    uint8_t *dst = map_image_area();
    size_t got = 0;
    while (got < MAP_IMAGE_MAX_BYTES) {
        size_t n = std::fread(dst + got, 1, MAP_IMAGE_MAX_BYTES - got, file);
        if (n == 0) break;
        got += n;
    }
    int ok = !std::ferror(file);
    if (ok && got == MAP_IMAGE_MAX_BYTES && std::fgetc(file) != EOF) ok = 0;
    std::fclose(file);
    if (!ok) {
        map_clear();
        return 0;
    }
    voxel_map.image_bytes = (uint32_t)got;
    return 1;
}

// Validates one column at p; returns its length in bytes or -1.
static int32_t map_validate_column(const uint8_t *p, const uint8_t *end, const char **why)
{
    const uint8_t *start = p;
    for (;;) {
        if (end - p < 4) {
            *why = "column runs past the end of the image";
            return -1;
        }
        int32_t n = p[0], s = p[1], e = p[2];
        if (s > e + 1 || e > 63) {
            *why = "span with S > E + 1 or E > 63";
            return -1;
        }
        if (n == 0) {
            if (s > 63) {
                *why = "last span leaves z 63 air";
                return -1;
            }
            if (end - p < (e - s + 2) * 4) {
                *why = "last span runs past the end of the image";
                return -1;
            }
            return (int32_t)(p - start) + (e - s + 2) * 4;
        }
        int32_t k = n - 1 - (e - s + 1);
        if (k < 0) {
            *why = "span length N shorter than its top colours";
            return -1;
        }
        if (end - p < n * 4 + 4) {
            *why = "span runs past the end of the image";
            return -1;
        }
        const uint8_t *q = p + n * 4;
        int32_t a = q[3], s2 = q[1];
        // Bottom colours lie below the top run, the solid block is not empty,
        // and the next span starts at or below the end of the gap.
        if (a - k < e + 1 || a <= s || s2 < a || s2 > 63) {
            *why = "span's bottom colours or air gap out of order";
            return -1;
        }
        p = q;
    }
}

int32_t map_validate_image(const uint8_t *bytes, size_t n, const char **why)
{
    const char *dummy;
    if (!why) why = &dummy;
    *why = "";
    if (n > MAP_IMAGE_MAX_BYTES) {
        *why = "image larger than the column pool";
        return 0;
    }
    const uint8_t *p = bytes, *end = bytes + n;
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        int32_t len = map_validate_column(p, end, why);
        if (len < 0) return 0;
        p += len;
    }
    if (p != end) {
        *why = "bytes left over after 262,144 columns";
        return 0;
    }
    return 1;
}

static void map_index_finish(int32_t words)
{
    map_mark_used_below(words);
    voxel_map.chunk_count = 0;
    map_damage_clear();
    voxel_map.loaded = 1;
}

int32_t map_index_columns()
{
    uint8_t *img = map_image_area();
    const char *why;
    if (!map_validate_image(img, voxel_map.image_bytes, &why)) {
        std::fprintf(stderr, "map refused: %s\n", why);
        map_clear();
        return 0;
    }
    uint8_t *p = img;
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        voxel_map.columns[i] = p;
        map_solid_masks[i] = map_column_solid_mask(p);
        p += map_column_size(p);
    }
    map_index_finish(1 + (int32_t)(voxel_map.image_bytes / 4));
    map_colour_callback = map_colour_exposed_voxel;

    for (int32_t y = 0; y < MAP_SIZE; y++) {
        for (int32_t x = 0; x < MAP_SIZE; x++) {
            int border = x == 0 || y == 0 || x == 511 || y == 511;
            uint8_t *q = voxel_map.columns[(y << 9) | x];
            for (;;) {
                int32_t s = q[1], e = q[2];
                uint32_t *c = map_span_colours(q);
                for (int32_t z = s; z <= e; z++) map_set_shade(c++, map_mask_shade(x, y, z));
                int32_t m = e + 1;
                if (!q[0]) {
                    // Border voxels may face air across the map edge: let the
                    // compiler colour them. Solidity does not change, so a
                    // pool without room for the colours keeps the column as loaded.
                    if (border && m < 63) {
                        map_insert_slab(map_edit_column(x, y), m, 63);
                        map_edit_finish();
                    }
                    break;
                }
                uint8_t *nx = q + q[0] * 4;
                int32_t a = nx[3];
                int32_t k = q[0] - 1 - (e - s + 1);
                int32_t d = a - k;
                if (border && d <= 63 && d > m) {
                    map_insert_slab(map_edit_column(x, y), m, d);
                    // The old storage is freed by the recompile: stop here.
                    if (map_edit_finish() == 1) break;
                }
                for (int32_t z = d; z < a; z++) map_set_shade(c++, map_mask_shade(x, y, z));
                q = nx;
            }
        }
    }
    return 1;
}

int32_t map_load_image(const uint8_t *bytes, size_t n)
{
    if (n > MAP_IMAGE_MAX_BYTES) return 0;
    voxel_map.loaded = 0;
    std::memmove(map_image_area(), bytes, n);
    voxel_map.image_bytes = (uint32_t)n;
    return map_index_columns();
}

void map_make_flat(int32_t ground_z, VoxelColour colour)
{
    if (ground_z < 0) ground_z = 0;
    if (ground_z > 63) ground_z = 63;
    uint32_t *w = &voxel_map.pool[1];
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        uint8_t *p = (uint8_t *)w;
        p[0] = 0;
        p[1] = (uint8_t)ground_z;
        p[2] = (uint8_t)ground_z;
        p[3] = 0;
        w[1] = colour;
        voxel_map.columns[i] = p;
        w += 2;
    }
    voxel_map.image_bytes = MAP_COLUMNS * 8;
    map_index_finish(1 + MAP_COLUMNS * 2);
}

void map_clear()
{
    map_make_flat(63, 0x7F3F5F7Fu);
}
