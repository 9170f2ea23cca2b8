// Inflate (zlib/DEFLATE) for the PNG decoder: its own Huffman decoder over a
// 32 KB ring window, fed with spans of compressed bytes and handing out the
// inflated bytes in pieces of about 16 KB. Untrusted input: every read is
// bounded by the spans given, and malformed streams are refused.
// One static state: not re-entrant, like the rest of the renderer.
#pragma once
#include <cstddef>
#include <cstdint>

// Bytes handed to the consumer at a time (the last piece may be shorter, a
// piece may run up to one match length longer).
#define VOX_INFLATE_PIECE 16384

// Gives the next span of compressed bytes once the current one is used up:
// 1 with *data and *size set (a span may be empty), 0 when there are no more.
typedef int (*InflateMoreFn)(void *ctx, const uint8_t **data, size_t *size);
// Takes `n` inflated bytes: 1 go on, 0 stop now (the consumer has what it
// needs), -1 refuse the stream.
typedef int (*InflateTakeFn)(void *ctx, const uint8_t *bytes, size_t n);

// Why the last stream was refused.
enum InflateError {
    INFLATE_OK = 0,
    INFLATE_DATA_ENDED,          // compressed data ran past the last span
    INFLATE_STORED_LENGTH,       // NLEN is not the complement of LEN
    INFLATE_CODE_OVERSUBSCRIBED, // more codes of some lengths than the code space holds
    INFLATE_CODE_INCOMPLETE,     // code space left unused
    INFLATE_REPEAT_AT_START,     // code-length repeat with nothing before it
    INFLATE_REPEAT_PAST_END,     // code-length run beyond the HLIT + HDIST lengths
    INFLATE_NO_END_CODE,         // the literal/length code lacks symbol 256
    INFLATE_BAD_CODE,            // bits that form no code of the table
    INFLATE_LENGTH_SYMBOL,       // literal/length symbol 286 or 287
    INFLATE_DISTANCE_SYMBOL,     // distance symbol 30 or 31
    INFLATE_DISTANCE_TOO_FAR,    // a distance beyond the bytes produced so far
    INFLATE_REFUSED_BY_TAKER,    // the consumer refused the bytes
};

// Inflates one zlib stream: skips the 2-byte header (not checked; nor is the
// Adler-32 trailer), then inflates blocks until the one marked final, handing
// every inflated byte to `take`. Returns 0 when the final block ended or
// `take` stopped it, -1 when refused: compressed data running past the last
// span, a stored block whose NLEN is not the complement of LEN, an
// incomplete or oversubscribed Huffman code (a lone code of length 1 is
// allowed, as in zlib), a code-length repeat at the first length or past the
// table, a missing end-of-block code, a literal/length symbol 286-287, a
// distance symbol 30-31, a distance beyond the bytes produced so far, or a
// refusal by `take`. A reserved block type (3) is skipped.
int vox_inflate_zlib(const uint8_t *data, size_t size, InflateMoreFn more, InflateTakeFn take, void *ctx);
// The InflateError of the last vox_inflate_zlib (INFLATE_OK after success).
int32_t vox_inflate_error();
