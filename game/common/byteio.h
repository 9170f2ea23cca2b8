// Little-endian byte helpers: the one place where file and wire formats are
// read and written. Never cast a buffer to a struct.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

inline uint8_t le_get_u8(const uint8_t *p) { return p[0]; }
inline uint16_t le_get_u16(const uint8_t *p) { return (uint16_t)(p[0] | (p[1] << 8)); }
inline uint32_t le_get_u32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline int16_t le_get_i16(const uint8_t *p) { return (int16_t)le_get_u16(p); }
inline int32_t le_get_i32(const uint8_t *p) { return (int32_t)le_get_u32(p); }
inline uint64_t le_get_u64(const uint8_t *p) { return (uint64_t)le_get_u32(p) | ((uint64_t)le_get_u32(p + 4) << 32); }
inline float le_get_f32(const uint8_t *p)
{
    uint32_t u = le_get_u32(p);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

// Big-endian reads, for the formats that use them (PNG).
inline uint16_t be_get_u16(const uint8_t *p) { return (uint16_t)((p[0] << 8) | p[1]); }
inline uint32_t be_get_u32(const uint8_t *p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | (uint32_t)p[3];
}

inline void le_put_u8(uint8_t *p, uint8_t v) { p[0] = v; }
inline void le_put_u16(uint8_t *p, uint16_t v) { p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); }
inline void le_put_u32(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); p[2] = (uint8_t)(v >> 16); p[3] = (uint8_t)(v >> 24);
}
inline void le_put_i16(uint8_t *p, int16_t v) { le_put_u16(p, (uint16_t)v); }
inline void le_put_i32(uint8_t *p, int32_t v) { le_put_u32(p, (uint32_t)v); }
inline void le_put_u64(uint8_t *p, uint64_t v) { le_put_u32(p, (uint32_t)v); le_put_u32(p + 4, (uint32_t)(v >> 32)); }
inline void le_put_f32(uint8_t *p, float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    le_put_u32(p, u);
}

// A bounded cursor over received or loaded bytes. Reads past the end return 0
// and set `overread`; callers check it once after parsing a whole record.
struct ByteReader {
    const uint8_t *data;
    size_t size;
    size_t pos;
    bool overread;
};

inline ByteReader byte_reader(const void *data, size_t size) { return ByteReader{(const uint8_t *)data, size, 0, false}; }
inline size_t byte_left(const ByteReader *r) { return r->pos <= r->size ? r->size - r->pos : 0; }
inline const uint8_t *byte_take(ByteReader *r, size_t n)
{
    if (r->overread || n > byte_left(r)) {
        r->overread = true;
        return nullptr;
    }
    const uint8_t *p = r->data + r->pos;
    r->pos += n;
    return p;
}
inline uint8_t byte_u8(ByteReader *r) { const uint8_t *p = byte_take(r, 1); return p ? p[0] : 0; }
inline uint16_t byte_u16(ByteReader *r) { const uint8_t *p = byte_take(r, 2); return p ? le_get_u16(p) : 0; }
inline uint32_t byte_u32(ByteReader *r) { const uint8_t *p = byte_take(r, 4); return p ? le_get_u32(p) : 0; }
inline int32_t byte_i32(ByteReader *r) { return (int32_t)byte_u32(r); }
inline float byte_f32(ByteReader *r) { const uint8_t *p = byte_take(r, 4); return p ? le_get_f32(p) : 0.0f; }
