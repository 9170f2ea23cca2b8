// KV6 loader and the single-block model layout.
#include "common/kv6.h"

#include <cstdio>
#include <cstdlib>

#include "common/byteio.h"

#define KV6_HEADER_BYTES 32
// No model of ours comes near this; it keeps every size sum far from overflow.
#define KV6_MAX_DATA_BYTES ((int64_t)1 << 30)

static void kv6_default_fatal(const char *text)
{
    std::fprintf(stderr, "%s\n", text);
    std::exit(1);
}

static Kv6FatalHandler kv6_fatal = kv6_default_fatal;

void kv6_set_fatal_handler(Kv6FatalHandler handler) { kv6_fatal = handler ? handler : kv6_default_fatal; }

// Bytes of the three arrays behind the header, or -1 when the sizes are bad.
static int64_t kv6_data_bytes(int32_t xsize, int32_t ysize, int32_t voxelcount)
{
    if (xsize < 0 || ysize < 0 || voxelcount < 0) return -1;
    if (xsize > KV6_MAX_DATA_BYTES / 4 || ysize > KV6_MAX_DATA_BYTES / 2 || voxelcount > KV6_MAX_DATA_BYTES / 8) return -1;
    int64_t d = 4 * (int64_t)xsize + 8 * (int64_t)voxelcount + 2 * (int64_t)xsize * (int64_t)ysize;
    return d > KV6_MAX_DATA_BYTES ? -1 : d;
}

Kv6Model *kv6_model_alloc(int32_t xsize, int32_t ysize, int32_t zsize, int32_t voxelcount)
{
    int64_t d = kv6_data_bytes(xsize, ysize, voxelcount);
    if (d < 0 || zsize < 0) return nullptr;
    Kv6Model *m = (Kv6Model *)std::calloc(1, sizeof(Kv6Model) + (size_t)d);
    if (!m) return nullptr;
    m->xsize = xsize;
    m->ysize = ysize;
    m->zsize = zsize;
    m->voxelcount = voxelcount;
    m->voxels = (Kv6Voxel *)(m + 1);
    m->xcounts = (uint32_t *)(m->voxels + voxelcount);
    m->xycounts = (uint16_t *)(m->xcounts + xsize);
    return m;
}

void discardmodel(Kv6Model *model) { std::free(model); }

int kv6_model_valid(const Kv6Model *m)
{
    if (!m || m->xsize < 0 || m->ysize < 0 || m->zsize < 0 || m->voxelcount < 0) return 0;
    int64_t v = 0;
    for (int32_t x = 0; x < m->xsize; x++) {
        int64_t slice = 0;
        for (int32_t y = 0; y < m->ysize; y++) {
            uint32_t n = m->xycounts[(int64_t)x * m->ysize + y];
            if (v + slice + n > m->voxelcount) return 0;
            const Kv6Voxel *col = m->voxels + v + slice;
            for (uint32_t k = 0; k < n; k++) {
                if (col[k].z >= m->zsize) return 0;
                if (k > 0 && col[k].z <= col[k - 1].z) return 0;
            }
            slice += n;
        }
        if (slice != m->xcounts[x]) return 0;
        v += slice;
    }
    return v == m->voxelcount;
}

// Header fields at offsets 4..31 of the file.
struct Kv6Header {
    int32_t xsize, ysize, zsize;
    float xpivot, ypivot, zpivot;
    int32_t voxelcount;
};

static Kv6Header kv6_parse_header(const uint8_t *p)
{
    Kv6Header h;
    h.xsize = le_get_i32(p + 0);
    h.ysize = le_get_i32(p + 4);
    h.zsize = le_get_i32(p + 8);
    h.xpivot = le_get_f32(p + 12);
    h.ypivot = le_get_f32(p + 16);
    h.zpivot = le_get_f32(p + 20);
    h.voxelcount = le_get_i32(p + 24);
    return h;
}

// Allocates and fills a model from the header and the raw data bytes (exactly
// the size the header implies). Null on bad data or failed allocation; *bad is
// set for bad data.
static Kv6Model *kv6_build(const Kv6Header *h, const uint8_t *raw, int *bad)
{
    *bad = 1;
    if (h->zsize < 0) return nullptr;
    if (kv6_data_bytes(h->xsize, h->ysize, h->voxelcount) < 0) return nullptr;
    *bad = 0;
    Kv6Model *m = kv6_model_alloc(h->xsize, h->ysize, h->zsize, h->voxelcount);
    if (!m) return nullptr;
    m->xpivot = h->xpivot;
    m->ypivot = h->ypivot;
    m->zpivot = h->zpivot;
    const uint8_t *p = raw;
    for (int32_t i = 0; i < h->voxelcount; i++, p += 8) {
        m->voxels[i].colour = le_get_u32(p);
        m->voxels[i].z = le_get_u16(p + 4);
        m->voxels[i].faces = p[6];
        m->voxels[i].normalindex = p[7];
    }
    for (int32_t x = 0; x < h->xsize; x++, p += 4) m->xcounts[x] = le_get_u32(p);
    int64_t cols = (int64_t)h->xsize * h->ysize;
    for (int64_t c = 0; c < cols; c++, p += 2) m->xycounts[c] = le_get_u16(p);
    if (!kv6_model_valid(m)) {
        discardmodel(m);
        *bad = 1;
        return nullptr;
    }
    return m;
}

Kv6Model *kv6_load_from_memory(const uint8_t *data, int64_t size)
{
    if (!data || size < KV6_HEADER_BYTES) return nullptr;
    Kv6Header h = kv6_parse_header(data + 4);
    int64_t d = kv6_data_bytes(h.xsize, h.ysize, h.voxelcount);
    if (d < 0 || size - KV6_HEADER_BYTES < d) return nullptr;
    int bad;
    return kv6_build(&h, data + KV6_HEADER_BYTES, &bad);
}

Kv6Model *loadkv6(const char *path)
{
    static const char *const fail_text = "could not load kv6 file";
    FILE *f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) {
        kv6_fatal(fail_text);
        return nullptr;
    }
    uint8_t head[28];
    int64_t length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    if (length < KV6_HEADER_BYTES || std::fseek(f, 4, SEEK_SET) != 0 || std::fread(head, 1, 28, f) != 28) {
        std::fclose(f);
        kv6_fatal(fail_text);
        return nullptr;
    }
    Kv6Header h = kv6_parse_header(head);
    int64_t d = kv6_data_bytes(h.xsize, h.ysize, h.voxelcount);
    if (d < 0 || length - KV6_HEADER_BYTES < d || h.zsize < 0) {
        std::fclose(f);
        kv6_fatal(fail_text);
        return nullptr;
    }
    uint8_t *raw = (uint8_t *)std::malloc(d > 0 ? (size_t)d : 1);
    if (!raw) {
        std::fclose(f);
        return nullptr;
    }
    size_t got = std::fread(raw, 1, (size_t)d, f);
    std::fclose(f);
    if ((int64_t)got != d) {
        std::free(raw);
        kv6_fatal(fail_text);
        return nullptr;
    }
    int bad;
    Kv6Model *m = kv6_build(&h, raw, &bad);
    std::free(raw);
    if (!m && bad) {
        kv6_fatal(fail_text);
        return nullptr;
    }
    if (m && ((uintptr_t)m & 3) != 0) {
        discardmodel(m);
        kv6_fatal("loadkv6 malloc not 32-bit aligned");
        return nullptr;
    }
    return m;
}
