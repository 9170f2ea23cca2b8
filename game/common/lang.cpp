// Language file loader and bounded lookup.
#include "common/lang.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/byteio.h"
#include "common/lang_ids.h"

const char *const lang_codes[LANG_LANGUAGES] = {"EN", "DE", "FR", "BR_PT", "ES", "IT"};

#define LANG_MAGIC 0x30525453u // "STR0"

// The loaded file: one buffer, strings used in place. Whole run.
static uint8_t *lang_buf;
static size_t lang_size;     // bytes of the file
static size_t lang_alloc;    // bytes of the buffer (file + at least one zero, multiple of 4)
static uint32_t lang_strings;
static char lang_letters[5] = "YyNn";

void lang_free()
{
    free(lang_buf);
    lang_buf = nullptr;
    lang_size = lang_alloc = 0;
    lang_strings = 0;
}

int lang_count() { return (int)lang_strings; }
size_t lang_buffer_size() { return lang_alloc; }
const char *lang_yes_no() { return lang_letters; }

// Raw text of id without the conversion check; null when out of bounds.
static const char *lang_raw(int id)
{
    if (!lang_buf || id < 0 || (uint32_t)id >= lang_strings) return nullptr;
    uint32_t off = le_get_u32(lang_buf + 8 + 4 * (size_t)id) & 0xFFFFFFu;
    if (off >= lang_size) return nullptr;
    return (const char *)lang_buf + off; // the buffer ends in a zero past the file
}

const char *lang_get(int id)
{
    const char *s = lang_raw(id);
    if (!s) return "";
    // Only a format is checked: a plain text is never given to printf, so a
    // '%' in it ("100% sure") is just a character.
    const char *expected = lang_signature(id);
    if (!expected[0]) return s;
    char got[64];
    if (lang_conversions(s, got, sizeof got, 0) < 0 || strcmp(got, expected) != 0) return "";
    return s;
}

const char *lang_get_or(int id, const char *fallback)
{
    const char *s = lang_get(id);
    return s[0] || !fallback ? s : fallback;
}

int lang_load_file(const char *path)
{
    lang_free();
    memcpy(lang_letters, "YyNn", 5);
    FILE *f = path ? fopen(path, "rb") : nullptr;
    if (!f) {
        printf("File not found.\n");
        return 0;
    }
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
    if (size < 0 || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        printf("File not found.\n");
        return 0;
    }
    if (size < 8 || (unsigned long)size > LANG_MAX_FILE) {
        fclose(f);
        printf("Error in string count!\n");
        return 0;
    }
    // Room for one zero past the file, so the last string always ends in the buffer.
    size_t alloc = ((size_t)size + 1 + 3) & ~(size_t)3;
    uint8_t *buf = (uint8_t *)calloc(1, alloc);
    if (!buf) {
        fclose(f);
        printf("Memory allocation error!\n");
        return 0;
    }
    size_t got = fread(buf, 1, (size_t)size, f);
    fclose(f);
    uint32_t count = le_get_u32(buf + 4);
    if (got != (size_t)size || count > ((size_t)size - 8) / 4) {
        free(buf);
        printf("Error in string count!\n");
        return 0;
    }
    lang_buf = buf;
    lang_size = (size_t)size;
    lang_alloc = alloc;
    lang_strings = count;
    // A file of another magic still serves (lookups are bounded); only a real
    // language file supplies the answer letters.
    const char *yn = lang_raw(LANG_YES_NO_LETTERS);
    if (le_get_u32(buf) == LANG_MAGIC && yn && strnlen(yn, 4) == 4) memcpy(lang_letters, yn, 4);
    return 1;
}

int lang_load(const char *prefix, int index)
{
    if (!prefix || index < 0 || index >= LANG_LANGUAGES) {
        lang_free();
        memcpy(lang_letters, "YyNn", 5);
        return 0;
    }
    char path[300];
    snprintf(path, sizeof path, "languages/%s-%s.bin", prefix, lang_codes[index]);
    return lang_load_file(path);
}

int lang_conversions(const char *text, char *out, size_t cap, int exact)
{
    if (!out || cap == 0) return -1;
    size_t n = 0;
    int convs = 0;
    out[0] = 0;
    for (const char *p = text; p && *p; p++) {
        if (*p != '%') continue;
        const char *start = p++;
        if (*p == '%') continue;
        char norm[8];
        size_t nl = 0;
        norm[nl++] = '%';
        while (*p && strchr("-+ #0'", *p)) p++;
        if (*p == '*') {
            norm[nl++] = '*';
            p++;
        } else {
            while (*p >= '0' && *p <= '9') p++;
        }
        if (*p == '.') {
            p++;
            if (*p == '*') {
                norm[nl++] = '.';
                norm[nl++] = '*';
                p++;
            } else {
                while (*p >= '0' && *p <= '9') p++;
            }
        }
        int len_chars = 0;
        while (*p && strchr("hlLqjzt", *p) && len_chars < 2) {
            if (nl < sizeof norm - 2) norm[nl++] = *p;
            p++, len_chars++;
        }
        char c = *p;
        if (!c || !strchr("diouxXeEfFgGaAcsp", c)) return -1;
        norm[nl++] = c == 'i' ? 'd' : c;
        const char *piece = exact ? start : norm;
        size_t plen = exact ? (size_t)(p - start + 1) : nl;
        if (n + plen + 1 > cap) return -1;
        memcpy(out + n, piece, plen);
        n += plen;
        out[n] = 0;
        convs++;
    }
    return convs;
}
