// Bounded mutation loops: a fixed-seed generator, values that break careless
// readers, and the edits that turn a good file or packet into a hostile one.
// Everything is deterministic, so a failing round repeats exactly.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

struct FuzzRng {
    std::mt19937 gen;
    explicit FuzzRng(uint32_t seed) : gen(seed) {}
    uint32_t next() { return (uint32_t)gen(); }
    // 0 .. n - 1 (0 for n 0).
    uint32_t below(uint32_t n) { return n ? next() % n : 0; }
    // True one time in n.
    bool one_in(uint32_t n) { return below(n) == 0; }
    uint8_t byte() { return (uint8_t)next(); }
    template <typename T, size_t N> T pick(const T (&values)[N]) { return values[below((uint32_t)N)]; }
};

// Floats that no reader may take on trust.
inline float fuzz_hostile_float(FuzzRng &r)
{
    static const float values[] = {
        std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
        std::numeric_limits<float>::infinity(),  -std::numeric_limits<float>::infinity(),
        std::numeric_limits<float>::max(),       -std::numeric_limits<float>::max(),
        std::numeric_limits<float>::denorm_min(), 1e30f, -1e30f, 1e9f, -1e9f, 3e9f, -3e9f, 0.0f, -0.0f,
    };
    return r.pick(values);
}

// 32-bit values at the edges of signed and unsigned ranges.
inline uint32_t fuzz_edge_u32(FuzzRng &r)
{
    static const uint32_t values[] = {0u, 1u, 2u, 0x7Fu, 0x80u, 0xFFu, 0x100u, 0xFFFFu, 0x10000u,
                                      0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
    return r.pick(values);
}

inline void fuzz_put_u32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4 && at + i < b.size(); i++) b[at + i] = (uint8_t)(v >> (8 * i));
}

// One to `max_edits` edits of b from byte `from` on: random, flipped or edge
// bytes, an edge 32-bit value or hostile float at any offset, a removed,
// repeated or inserted run, or a cut end. The result may be empty.
inline void fuzz_mutate(std::vector<uint8_t> &b, FuzzRng &r, size_t from = 0, int max_edits = 4)
{
    int edits = 1 + (int)r.below((uint32_t)max_edits);
    for (int e = 0; e < edits; e++) {
        size_t n = b.size();
        size_t at = n > from ? from + r.below((uint32_t)(n - from)) : n;
        switch (r.below(9)) {
        case 0:
        case 1:
            if (at < n) b[at] = r.byte();
            break;
        case 2:
            if (at < n) b[at] ^= (uint8_t)(1u << r.below(8));
            break;
        case 3: {
            static const uint8_t edges[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
            if (at < n) b[at] = r.pick(edges);
            break;
        }
        case 4: fuzz_put_u32(b, at, fuzz_edge_u32(r)); break;
        case 5: {
            float f = fuzz_hostile_float(r);
            uint32_t v;
            std::memcpy(&v, &f, 4);
            fuzz_put_u32(b, at, v);
            break;
        }
        case 6: { // remove a run
            size_t len = 1 + r.below(r.one_in(4) ? 4096 : 16);
            if (at < n) b.erase(b.begin() + (long)at, b.begin() + (long)std::min(n, at + len));
            break;
        }
        case 7: { // repeat a run, or insert random bytes
            size_t len = 1 + r.below(64);
            std::vector<uint8_t> run;
            if (at < n && r.one_in(2))
                run.assign(b.begin() + (long)at, b.begin() + (long)std::min(n, at + len));
            else
                for (size_t i = 0; i < len; i++) run.push_back(r.byte());
            b.insert(b.begin() + (long)at, run.begin(), run.end());
            break;
        }
        default: // cut the end
            if (at < n) b.resize(at);
            break;
        }
    }
}

// Bytes as C initialiser text ("0x12, 0x00, ..."), to keep a failing input
// as a regression case.
inline std::string fuzz_hex(const std::vector<uint8_t> &b, size_t max = 256)
{
    std::string s;
    char t[8];
    for (size_t i = 0; i < b.size() && i < max; i++) {
        std::snprintf(t, sizeof t, "%s0x%02x", i ? ", " : "", b[i]);
        s += t;
    }
    if (b.size() > max) s += ", ...";
    return s;
}
