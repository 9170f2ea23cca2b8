// langc: compiles a language source text (assets/languages/XX.txt) into the
// binary string table the programs load (languages/BkmLang-XX.bin).
//
//   langc SOURCE.txt OUTPUT.bin
//
// Source: one string per line, "<id> <text>"; '#' lines and empty lines are
// skipped; escapes \n \t \\. UTF-8 in, Latin-1 out. Every id 0..LANG_COUNT-1
// must be present once, and each format's printf conversions must be those
// its callers pass (lang_signature); a plain text with a '%' is only warned
// about (it is shown as written). Exits non-zero with a message on any error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/byteio.h"
#include "common/lang.h"
#include "common/lang_ids.h"

static int fail(const char *src, int line, const char *what)
{
    if (line > 0)
        fprintf(stderr, "%s:%d: %s\n", src, line, what);
    else
        fprintf(stderr, "%s: %s\n", src, what);
    return 1;
}

// UTF-8 text with escapes -> Latin-1 bytes; false on a bad sequence or a
// character outside Latin-1.
static bool decode_text(const std::string &in, std::string *out)
{
    out->clear();
    for (size_t i = 0; i < in.size();) {
        unsigned char c = (unsigned char)in[i];
        if (c == '\\') {
            if (i + 1 >= in.size()) return false;
            char e = in[i + 1];
            if (e == 'n') out->push_back('\n');
            else if (e == 't') out->push_back('\t');
            else if (e == '\\') out->push_back('\\');
            else return false;
            i += 2;
        } else if (c < 0x80) {
            out->push_back((char)c);
            i++;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < in.size() && ((unsigned char)in[i + 1] & 0xC0) == 0x80) {
            unsigned cp = ((c & 0x1Fu) << 6) | ((unsigned char)in[i + 1] & 0x3Fu);
            if (cp < 0xA0 || cp > 0xFF) return false; // overlong, C1 control or beyond Latin-1
            out->push_back((char)cp);
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: langc SOURCE.txt OUTPUT.bin\n");
        return 2;
    }
    const char *src = argv[1], *dst = argv[2];
    FILE *f = fopen(src, "rb");
    if (!f) return fail(src, 0, "cannot open");
    std::vector<std::string> texts(LANG_COUNT);
    std::vector<bool> seen(LANG_COUNT, false);
    char raw[4096];
    int line = 0;
    while (fgets(raw, sizeof raw, f)) {
        line++;
        std::string s(raw);
        if (!s.empty() && s.back() != '\n' && !feof(f)) {
            fclose(f);
            return fail(src, line, "line too long");
        }
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        if (s.empty() || s[0] == '#') continue;
        size_t p = 0;
        long id = 0;
        while (p < s.size() && s[p] >= '0' && s[p] <= '9' && p < 6) id = id * 10 + (s[p++] - '0');
        if (p == 0 || p >= s.size() || s[p] != ' ') {
            fclose(f);
            return fail(src, line, "expected \"<id> <text>\"");
        }
        if (id >= LANG_COUNT) {
            fclose(f);
            return fail(src, line, "id out of range");
        }
        if (seen[id]) {
            fclose(f);
            return fail(src, line, "id given twice");
        }
        std::string text;
        if (!decode_text(s.substr(p + 1), &text)) {
            fclose(f);
            return fail(src, line, "bad escape or character outside Latin-1");
        }
        const char *expected = lang_signature((int)id);
        char got[128];
        if (!expected[0]) {
            // A plain text is shown as written: "100%% sure" would show both
            // signs, "%s" the letters. Worth a look, not a refusal.
            if (text.find('%') != std::string::npos)
                fprintf(stderr, "%s:%d: warning: '%%' in a plain text, shown as written\n", src, line);
        } else if (lang_conversions(text.c_str(), got, sizeof got, 0) < 0 || strcmp(got, expected) != 0) {
            fprintf(stderr, "%s:%d: conversions \"%s\" but callers pass \"%s\"\n", src, line, got, expected);
            fclose(f);
            return 1;
        }
        seen[id] = true;
        texts[id] = text;
    }
    fclose(f);
    for (int i = 0; i < LANG_COUNT; i++) {
        if (!seen[i]) {
            fprintf(stderr, "%s: string %d missing\n", src, i);
            return 1;
        }
    }
    if (texts[LANG_YES_NO_LETTERS].size() < 4) return fail(src, 0, "string 91 needs four answer letters");

    std::vector<uint8_t> out(8 + 4 * LANG_COUNT);
    memcpy(out.data(), "STR0", 4);
    le_put_u32(&out[4], LANG_COUNT);
    for (int i = 0; i < LANG_COUNT; i++) {
        le_put_u32(&out[8 + 4 * i], (uint32_t)out.size());
        out.insert(out.end(), texts[i].begin(), texts[i].end());
        out.push_back(0);
    }
    if (out.size() > LANG_MAX_FILE) return fail(src, 0, "table too large");

    std::string tmp = std::string(dst) + ".tmp";
    FILE *o = fopen(tmp.c_str(), "wb");
    if (!o) return fail(dst, 0, "cannot write");
    bool ok = fwrite(out.data(), 1, out.size(), o) == out.size();
    ok = (fclose(o) == 0) && ok;
    if (!ok || rename(tmp.c_str(), dst) != 0) {
        remove(tmp.c_str());
        return fail(dst, 0, "cannot write");
    }
    return 0;
}
