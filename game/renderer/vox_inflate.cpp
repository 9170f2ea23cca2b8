// DEFLATE decoding: bit reader over caller spans, canonical Huffman tables
// with a direct lookup of the first 9 (literal/length) or 6 (distance) bits
// and a bit-by-bit walk for longer codes, and a 32 KB ring window.
#include "renderer/vox_inflate.h"

#include <cstring>

#define WINDOW_SIZE 32768
#define WINDOW_MASK (WINDOW_SIZE - 1)
#define MAX_CODE_BITS 15
#define LIT_CODES 288
#define DIST_CODES 32
#define LIT_FAST_BITS 9
#define DIST_FAST_BITS 6
#define CLEN_FAST_BITS 7

// A canonical code: per-length counts, symbols sorted by length then value,
// and a direct table indexed by the next `fastbits` bits, each entry
// (symbol << 4) | length, 0 when the code is longer (or unused).
struct Huffman {
    uint16_t count[MAX_CODE_BITS + 1];
    uint16_t symbol[LIT_CODES];
    uint16_t fast[1 << LIT_FAST_BITS];
    int32_t fastbits;
};

// One stream at a time: the input cursor, the bit buffer, the window and the
// tables of the current block.
static struct {
    const uint8_t *in, *inend;
    InflateMoreFn more;
    InflateTakeFn take;
    void *ctx;
    int exhausted; // `more` said there is nothing further
    int failed;    // a read ran past the data
    int32_t error; // InflateError of the first refusal
    uint64_t bitbuf;
    int32_t bitcnt;
    uint8_t window[WINDOW_SIZE];
    uint64_t wpos;   // bytes produced so far
    uint64_t handed; // bytes given to `take`
    uint8_t lens[LIT_CODES + DIST_CODES];
    Huffman lit, dist, clen;
} st;

static Huffman fixed_lit, fixed_dist;
static int fixed_built;

static const uint16_t len_base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
static const uint8_t len_extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
static const uint16_t dist_base[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                       33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                       1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
static const uint8_t dist_extra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
static const uint8_t clen_order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Records why the stream is refused (the first reason counts); returns -1.
static int refuse(int32_t why)
{
    if (st.error == INFLATE_OK) st.error = why;
    return -1;
}

// Tops the bit buffer up to at least 57 bits while input lasts.
static void refill()
{
    while (st.bitcnt <= 56) {
        if (st.in < st.inend) {
            st.bitbuf |= (uint64_t)*st.in++ << st.bitcnt;
            st.bitcnt += 8;
            continue;
        }
        if (st.exhausted) return;
        const uint8_t *p = nullptr;
        size_t n = 0;
        if (!st.more(st.ctx, &p, &n) || !p) {
            st.exhausted = 1;
            return;
        }
        st.in = p;
        st.inend = p + n;
    }
}

// The next n bits (n <= 16), least significant first; 0 and `failed` once
// the data is used up.
static uint32_t getbits(int32_t n)
{
    if (st.bitcnt < n) refill();
    if (st.bitcnt < n) {
        st.failed = 1;
        return 0;
    }
    const uint32_t v = (uint32_t)(st.bitbuf & ((1u << n) - 1));
    st.bitbuf >>= n;
    st.bitcnt -= n;
    return v;
}

// Builds a canonical code from n lengths. 0 ready; -1 (refused) for an
// oversubscribed code, or an incomplete one unless `lone_ok` and it is a
// single code of length 1 (zlib's rule). All lengths 0 gives an empty code
// that decodes nothing.
static int build(Huffman *h, const uint8_t *lengths, int32_t n, int32_t fastbits, int lone_ok)
{
    std::memset(h->count, 0, sizeof h->count);
    std::memset(h->fast, 0, sizeof h->fast);
    h->fastbits = fastbits;
    for (int32_t i = 0; i < n; i++) h->count[lengths[i]]++;
    h->count[0] = 0;
    int32_t left = 1, maxlen = 0;
    for (int32_t len = 1; len <= MAX_CODE_BITS; len++) {
        left = (left << 1) - h->count[len];
        if (left < 0) return refuse(INFLATE_CODE_OVERSUBSCRIBED);
        if (h->count[len]) maxlen = len;
    }
    if (maxlen == 0) return 0;
    if (left > 0 && !(lone_ok && maxlen == 1)) return refuse(INFLATE_CODE_INCOMPLETE);

    uint16_t offs[MAX_CODE_BITS + 2];
    offs[1] = 0;
    for (int32_t len = 1; len <= MAX_CODE_BITS; len++) offs[len + 1] = (uint16_t)(offs[len] + h->count[len]);
    for (int32_t i = 0; i < n; i++)
        if (lengths[i]) h->symbol[offs[lengths[i]]++] = (uint16_t)i;

    // Direct entries: walk the symbols in code order, codes bit-reversed
    // because the stream sends them most significant bit first.
    uint32_t code = 0;
    int32_t idx = 0;
    for (int32_t len = 1; len <= fastbits; len++) {
        for (int32_t k = 0; k < h->count[len]; k++, idx++, code++) {
            uint32_t rev = 0;
            for (int32_t b = 0; b < len; b++) rev |= ((code >> b) & 1u) << (len - 1 - b);
            const uint16_t e = (uint16_t)((h->symbol[idx] << 4) | len);
            for (uint32_t f = rev; f < (1u << fastbits); f += 1u << len) h->fast[f] = e;
        }
        code <<= 1;
    }
    return 0;
}

// The next symbol of code h, -1 (refused) when the bits form no code of h or
// the data ends inside the code.
static int32_t decode(const Huffman *h)
{
    if (st.bitcnt < MAX_CODE_BITS) refill();
    const uint16_t e = h->fast[st.bitbuf & ((1u << h->fastbits) - 1)];
    int32_t len = e & 15;
    if (len) {
        if (len > st.bitcnt) return refuse(INFLATE_DATA_ENDED);
        st.bitbuf >>= len;
        st.bitcnt -= len;
        return e >> 4;
    }
    // Longer code: one bit at a time against the first code of each length.
    int32_t code = 0, first = 0, index = 0;
    for (len = 1; len <= MAX_CODE_BITS && len <= st.bitcnt; len++) {
        code |= (int32_t)((st.bitbuf >> (len - 1)) & 1);
        const int32_t count = h->count[len];
        if (code - count < first) {
            st.bitbuf >>= len;
            st.bitcnt -= len;
            return h->symbol[index + (code - first)];
        }
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return refuse(len <= MAX_CODE_BITS ? INFLATE_DATA_ENDED : INFLATE_BAD_CODE);
}

// Hands the bytes produced since the last hand-over to the consumer (the
// ring may wrap once). 1 go on, 0 stop, -1 refused.
static int handover()
{
    while (st.handed < st.wpos) {
        const size_t start = (size_t)(st.handed & WINDOW_MASK);
        size_t n = (size_t)(st.wpos - st.handed);
        if (n > WINDOW_SIZE - start) n = WINDOW_SIZE - start;
        st.handed += n;
        const int r = st.take(st.ctx, st.window + start, n);
        if (r < 0) return refuse(INFLATE_REFUSED_BY_TAKER);
        if (r == 0) return 0;
    }
    return 1;
}

// The symbols of one Huffman block. 1 block ended, 0 stopped, -1 refused.
static int codes(const Huffman *lit, const Huffman *dist)
{
    for (;;) {
        const int32_t sym = decode(lit);
        if (sym < 0) return -1;
        if (sym < 256) {
            st.window[st.wpos & WINDOW_MASK] = (uint8_t)sym;
            st.wpos++;
        } else if (sym == 256) {
            return 1;
        } else {
            const int32_t li = sym - 257;
            if (li >= 29) return refuse(INFLATE_LENGTH_SYMBOL); // 286, 287
            const int32_t len = len_base[li] + (int32_t)getbits(len_extra[li]);
            const int32_t ds = decode(dist);
            if (ds < 0) return -1;
            if (ds >= 30) return refuse(INFLATE_DISTANCE_SYMBOL);
            const uint32_t d = dist_base[ds] + getbits(dist_extra[ds]);
            if (st.failed) return refuse(INFLATE_DATA_ENDED);
            if (d > st.wpos) return refuse(INFLATE_DISTANCE_TOO_FAR);
            uint64_t w = st.wpos;
            for (int32_t i = 0; i < len; i++, w++) st.window[w & WINDOW_MASK] = st.window[(w - d) & WINDOW_MASK];
            st.wpos = w;
        }
        if (st.wpos - st.handed >= VOX_INFLATE_PIECE) {
            const int r = handover();
            if (r <= 0) return r;
        }
    }
}

static void build_fixed()
{
    uint8_t l[LIT_CODES];
    for (int32_t i = 0; i < LIT_CODES; i++) l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    build(&fixed_lit, l, LIT_CODES, LIT_FAST_BITS, 0);
    for (int32_t i = 0; i < DIST_CODES; i++) l[i] = 5;
    build(&fixed_dist, l, DIST_CODES, DIST_FAST_BITS, 0);
    fixed_built = 1;
}

// Reads the code lengths of a dynamic block and builds its tables.
static int dynamic_tables()
{
    const int32_t nlit = (int32_t)getbits(5) + 257;
    const int32_t ndist = (int32_t)getbits(5) + 1;
    const int32_t nclen = (int32_t)getbits(4) + 4;
    uint8_t cl[19] = {0};
    for (int32_t i = 0; i < nclen; i++) cl[clen_order[i]] = (uint8_t)getbits(3);
    if (st.failed) return refuse(INFLATE_DATA_ENDED);
    if (build(&st.clen, cl, 19, CLEN_FAST_BITS, 0) < 0) return -1;

    const int32_t total = nlit + ndist;
    int32_t n = 0;
    while (n < total) {
        const int32_t sym = decode(&st.clen);
        if (sym < 0) return -1;
        if (sym < 16) {
            st.lens[n++] = (uint8_t)sym;
            continue;
        }
        uint8_t rep = 0;
        int32_t count;
        if (sym == 16) {
            if (n == 0) return refuse(INFLATE_REPEAT_AT_START);
            rep = st.lens[n - 1];
            count = 3 + (int32_t)getbits(2);
        } else if (sym == 17) {
            count = 3 + (int32_t)getbits(3);
        } else {
            count = 11 + (int32_t)getbits(7);
        }
        if (st.failed) return refuse(INFLATE_DATA_ENDED);
        if (n + count > total) return refuse(INFLATE_REPEAT_PAST_END);
        std::memset(st.lens + n, rep, (size_t)count);
        n += count;
    }
    if (st.lens[256] == 0) return refuse(INFLATE_NO_END_CODE);
    if (build(&st.lit, st.lens, nlit, LIT_FAST_BITS, 1) < 0) return -1;
    if (build(&st.dist, st.lens + nlit, ndist, DIST_FAST_BITS, 1) < 0) return -1;
    return 0;
}

int vox_inflate_zlib(const uint8_t *data, size_t size, InflateMoreFn more, InflateTakeFn take, void *ctx)
{
    if (!fixed_built) build_fixed();
    st.in = data;
    st.inend = data ? data + size : data;
    st.more = more;
    st.take = take;
    st.ctx = ctx;
    st.exhausted = 0;
    st.failed = 0;
    st.bitbuf = 0;
    st.bitcnt = 0;
    st.wpos = 0;
    st.handed = 0;
    st.error = INFLATE_OK;

    getbits(16); // zlib header, not checked
    int final = 0;
    while (!final) {
        final = (int)getbits(1);
        const uint32_t type = getbits(2);
        if (st.failed) return refuse(INFLATE_DATA_ENDED);
        int r = 1;
        if (type == 0) {
            // Stored: to the byte boundary, LEN, NLEN, then LEN raw bytes.
            getbits(st.bitcnt & 7);
            const uint32_t len = getbits(16), nlen = getbits(16);
            if (st.failed) return refuse(INFLATE_DATA_ENDED);
            if ((len ^ 0xFFFFu) != nlen) return refuse(INFLATE_STORED_LENGTH);
            for (uint32_t i = 0; i < len; i++) {
                st.window[st.wpos & WINDOW_MASK] = (uint8_t)getbits(8);
                st.wpos++;
                if (st.wpos - st.handed >= VOX_INFLATE_PIECE && (r = handover()) <= 0) break;
            }
            if (st.failed) return refuse(INFLATE_DATA_ENDED);
        } else if (type == 1) {
            r = codes(&fixed_lit, &fixed_dist);
        } else if (type == 2) {
            if (dynamic_tables() < 0) return -1;
            r = codes(&st.lit, &st.dist);
        }
        // Type 3 is reserved: skipped.
        if (r < 0) return -1;
        if (r == 0) return 0;
    }
    return handover() < 0 ? -1 : 0;
}

int32_t vox_inflate_error() { return st.error; }
