// WAV files: the RIFF chunk walk that finds the PCM format and the samples.
// Files are untrusted: every size is checked against the bytes present.
#pragma once
#include <cstddef>
#include <cstdint>

#define WAV_MAX_CHUNKS 16          // chunk headers read before giving up
#define WAV_MAX_FILE (64u << 20)   // larger files are refused unread

struct WavFormat {
    uint16_t formattag;     // 1 = PCM, the only one accepted
    uint16_t channels;      // 1 or 2
    uint32_t samplerate;    // 1..192000
    uint32_t bytespersec;
    uint16_t blockalign;
    uint16_t bitspersample; // 8 (unsigned) or 16 (signed)
};

// Why a file was refused (WAV_OK when it was not).
enum WavResult {
    WAV_OK = 0,
    WAV_ERR_OPEN = -1,       // cannot be opened or read, or larger than WAV_MAX_FILE
    WAV_ERR_SHORT = -2,      // shorter than the 12-byte RIFF header
    WAV_ERR_NO_DATA = -3,    // no "data" chunk within WAV_MAX_CHUNKS headers, or the file ends first
    WAV_ERR_FMT_SHORT = -4,  // a "fmt " chunk shorter than 16 bytes
    WAV_ERR_NO_FMT = -5,     // "data" met before any "fmt "
    WAV_ERR_DATA_SIZE = -6,  // the "data" size runs past the end of the file
    WAV_ERR_FORMAT = -7,     // not 8- or 16-bit PCM with 1 or 2 channels at a sane rate
};

struct WavSound {
    WavFormat format;
    const uint8_t *samples; // points into the parsed bytes
    uint32_t bytes;         // sample bytes, a whole number of frames
};

// Walks the chunks of a WAV image: skips the 12-byte RIFF header unread, then
// reads at most WAV_MAX_CHUNKS chunk headers; "fmt " gives the format (its
// first 16 bytes; the rest and a pad byte after an odd size are skipped),
// "data" gives the samples and ends the walk, other chunks are skipped with
// their pad byte. Returns WAV_OK with *out filled, else a WavResult.
int wav_parse(const uint8_t *data, size_t size, WavSound *out);
// Reads a whole file into a new malloc'd block (*bytes, *size; caller frees)
// and parses it into *out (pointing into that block). WAV_OK or a WavResult;
// on failure *bytes is null.
int wav_load_file(const char *path, uint8_t **bytes, size_t *size, WavSound *out);
