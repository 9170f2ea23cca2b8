// WAV chunk walk over an untrusted byte image.
#include "platform/plat_wav.h"

#include <cstdlib>
#include <cstring>

#include "common/byteio.h"
#include "platform/plat_file.h"

static int wav_format_ok(const WavFormat *f)
{
    return f->formattag == 1 && (f->channels == 1 || f->channels == 2) &&
           (f->bitspersample == 8 || f->bitspersample == 16) && f->samplerate >= 1 && f->samplerate <= 192000;
}

int wav_parse(const uint8_t *data, size_t size, WavSound *out)
{
    std::memset(out, 0, sizeof *out);
    if (!data || size < 12) return WAV_ERR_SHORT;
    ByteReader r = byte_reader(data, size);
    byte_take(&r, 12); // "RIFF", size, "WAVE": not checked, as the loader never did
    bool havefmt = false;
    for (int chunk = 0; chunk < WAV_MAX_CHUNKS; chunk++) {
        const uint8_t *head = byte_take(&r, 8);
        if (!head) return WAV_ERR_NO_DATA;
        const uint32_t len = le_get_u32(head + 4);
        if (std::memcmp(head, "fmt ", 4) == 0) {
            if (len < 16) return WAV_ERR_FMT_SHORT;
            const uint8_t *f = byte_take(&r, 16);
            if (!f) return WAV_ERR_NO_DATA;
            out->format.formattag = le_get_u16(f);
            out->format.channels = le_get_u16(f + 2);
            out->format.samplerate = le_get_u32(f + 4);
            out->format.bytespersec = le_get_u32(f + 8);
            out->format.blockalign = le_get_u16(f + 12);
            out->format.bitspersample = le_get_u16(f + 14);
            havefmt = true;
            const size_t rest = (size_t)len - 16 + (len & 1);
            if (rest > byte_left(&r)) return WAV_ERR_NO_DATA;
            byte_take(&r, rest);
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (!havefmt) return WAV_ERR_NO_FMT;
            if (len > byte_left(&r)) return WAV_ERR_DATA_SIZE;
            if (!wav_format_ok(&out->format)) return WAV_ERR_FORMAT;
            const uint32_t frame = (uint32_t)out->format.channels * (out->format.bitspersample / 8u);
            out->samples = data + r.pos;
            out->bytes = len - len % frame;
            return WAV_OK;
        } else {
            const size_t skip = (size_t)len + (len & 1);
            if (skip > byte_left(&r)) return WAV_ERR_NO_DATA;
            byte_take(&r, skip);
        }
    }
    return WAV_ERR_NO_DATA;
}

int wav_load_file(const char *path, uint8_t **bytes, size_t *size, WavSound *out)
{
    std::memset(out, 0, sizeof *out);
    if (!plat_read_file(path, WAV_MAX_FILE, bytes, size)) return WAV_ERR_OPEN;
    int rc = wav_parse(*bytes, *size, out);
    if (rc != WAV_OK) {
        std::free(*bytes);
        *bytes = nullptr;
        *size = 0;
    }
    return rc;
}
