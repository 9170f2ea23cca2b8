// Language files: the six shipped files are complete and format-safe, and the
// loader and lookup stay inside whatever file they are given.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/byteio.h"
#include "common/lang.h"
#include "common/lang_ids.h"

static std::string conversions(const char *s, int exact)
{
    char buf[256];
    int n = lang_conversions(s, buf, sizeof buf, exact);
    return n < 0 ? std::string("<bad>") : std::string(buf);
}

struct LangFiles : ::testing::Test {
    void SetUp() override { ASSERT_EQ(chdir(BKM_BUILD_DIR), 0); }
    void TearDown() override { lang_free(); }
};

TEST_F(LangFiles, EveryLanguageHoldsEveryIdWithTheEnglishConversions)
{
    ASSERT_EQ(lang_load("BkmLang", 0), 1);
    std::vector<std::string> english;
    for (int id = 0; id < LANG_COUNT; id++) english.push_back(conversions(lang_get(id), 1));
    for (int lang = 0; lang < LANG_LANGUAGES; lang++) {
        SCOPED_TRACE(lang_codes[lang]);
        ASSERT_EQ(lang_load("BkmLang", lang), 1);
        ASSERT_EQ(lang_count(), LANG_COUNT);
        for (int id = 0; id < LANG_COUNT; id++) {
            const char *s = lang_get(id);
            EXPECT_GT(strlen(s), 0u) << "string " << id;
            EXPECT_EQ(conversions(s, 1), english[id]) << "string " << id << ": " << s;
            EXPECT_EQ(conversions(s, 0), lang_signature(id)) << "string " << id;
        }
        EXPECT_EQ(std::string(lang_yes_no()), std::string(lang_get(LANG_YES_NO_LETTERS), 4));
        EXPECT_EQ(lang_get(LANG_COUNT)[0], 0);
    }
    ASSERT_EQ(lang_load("BkmLang", 1), 1);
    EXPECT_STREQ(lang_yes_no(), "JjNn");
    // The vote hint names the language's own lower-case yes letter.
    EXPECT_NE(strstr(lang_get(LANG_VOTEKICK_STARTED), "/j"), nullptr);
}

TEST_F(LangFiles, MissingIndexOrFileLoadsNothing)
{
    const int bad[] = {6, 7, -1, 1000};
    for (int idx : bad) {
        ASSERT_EQ(lang_load("BkmLang", 1), 1);
        EXPECT_EQ(lang_load("BkmLang", idx), 0) << idx;
        EXPECT_EQ(lang_count(), 0);
        EXPECT_STREQ(lang_yes_no(), "YyNn");
        EXPECT_STREQ(lang_get(0), "");
    }
    EXPECT_EQ(lang_load("NoSuchPrefix", 0), 0);
    EXPECT_EQ(lang_load(nullptr, 0), 0);
    EXPECT_STREQ(lang_get(5), "");
}

// Builds a table file from (entry word, text) pairs; texts follow the entries.
static std::vector<uint8_t> table(const char *magic, std::vector<std::string> texts, uint32_t count_override = 0,
                                  bool terminate_last = true)
{
    uint32_t count = (uint32_t)texts.size();
    std::vector<uint8_t> f(8 + 4 * count);
    memcpy(f.data(), magic, 4);
    le_put_u32(&f[4], count_override ? count_override : count);
    for (uint32_t i = 0; i < count; i++) {
        le_put_u32(&f[8 + 4 * i], (uint32_t)f.size());
        f.insert(f.end(), texts[i].begin(), texts[i].end());
        if (terminate_last || i + 1 < count) f.push_back(0);
    }
    return f;
}

static std::string write_temp(const std::vector<uint8_t> &bytes)
{
    char path[] = "/tmp/bkm_lang_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), (ssize_t)bytes.size());
    close(fd);
    return path;
}

static std::vector<std::string> plain_strings(int n)
{
    std::vector<std::string> t;
    for (int i = 0; i < n; i++) t.push_back(lang_signature(i)[0] ? lang_signature(i) : "text" + std::to_string(i));
    return t;
}

TEST(LangLoader, EdgeCases)
{
    std::vector<std::string> full = plain_strings(LANG_COUNT);
    full[LANG_YES_NO_LETTERS] = "JjNn";
    std::vector<std::string> short91 = full;
    short91[LANG_YES_NO_LETTERS] = "Jj";

    std::vector<uint8_t> high = table("STR0", {"abc", "xyz"});
    le_put_u32(&high[12], 0xFF000000u | 16u); // high byte ignored: string at offset 16, the first text
    std::vector<uint8_t> past = table("STR0", {"abc", "xyz"});
    le_put_u32(&past[12], 5000);
    std::vector<uint8_t> ten = table("STR0", {});
    ten.resize(10, 0);

    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        int loads;
        int id;
        const char *text;
        const char *letters;
    } cases[] = {
        {"full table takes the letters", table("STR0", full), 1, LANG_KILL_LINE, "%s%s%s", "JjNn"},
        {"high entry byte ignored", high, 1, 1, "abc", "YyNn"},
        {"offset past the file", past, 1, 1, "", "YyNn"},
        {"id past the count", table("STR0", {"abc"}), 1, 1, "", "YyNn"},
        {"negative id", table("STR0", {"abc"}), 1, -1, "", "YyNn"},
        {"no string 91", table("STR0", plain_strings(91)), 1, 90, "text90", "YyNn"},
        {"string 91 too short", table("STR0", short91), 1, 91, "Jj", "YyNn"},
        {"other magic serves without letters", table("XXXX", full), 1, 0, "text0", "YyNn"},
        {"count beyond the entries", table("STR0", {"abc"}, 50), 0, 0, "", "YyNn"},
        {"header cut short", std::vector<uint8_t>{'S', 'T', 'R', '0', 1}, 0, 0, "", "YyNn"},
        {"empty file", {}, 0, 0, "", "YyNn"},
        {"last string unterminated", table("STR0", {"ab", "tail"}, 0, false), 1, 1, "tail", "YyNn"},
        {"wrong conversions refused", table("STR0", {"%s", "x", "%s%n%s"}), 1, 2, "", "YyNn"},
        {"a plain text is not a format", table("STR0", {"%s"}), 1, 0, "%s", "YyNn"},
        {"ten-byte file", ten, 1, 0, "", "YyNn"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = write_temp(c.file);
        EXPECT_EQ(lang_load_file(path.c_str()), c.loads);
        EXPECT_STREQ(lang_get(c.id), c.text);
        EXPECT_STREQ(lang_yes_no(), c.letters);
        unlink(path.c_str());
    }
    std::string path = write_temp(ten);
    ASSERT_EQ(lang_load_file(path.c_str()), 1);
    EXPECT_EQ(lang_buffer_size(), 12u);
    unlink(path.c_str());
    lang_free();
    EXPECT_EQ(lang_count(), 0);
    EXPECT_STREQ(lang_get(0), "");
    EXPECT_STREQ(lang_get_or(LANG_ERR_PROGRAM_PATH, "no folder"), "no folder");
    EXPECT_STREQ(lang_get_or(LANG_ERR_PROGRAM_PATH, nullptr), "");
}

// A '%' in a plain text is a character: printf would read "100% sure" as
// "% s" and "50 % des" as "% d", but plain texts are never formats. Texts
// that callers format still need exactly their conversions.
TEST(LangLoader, PercentSignsInPlainTextsAndFormats)
{
    struct Case {
        int id;
        const char *text;
        const char *got;
    } cases[] = {
        {LANG_MAGAZINE_EMPTY, "100% sure", "100% sure"},
        {LANG_VOTE_TIMED_OUT, "50 % des joueurs", "50 % des joueurs"},
        {LANG_ASK_REGISTER, "trailing %", "trailing %"},
        {LANG_MAP_SAVED, "%n %s 100%%", "%n %s 100%%"},
        {LANG_VOLUME, "Volume: %d (100%)", ""},          // "%)" is no conversion
        {LANG_VOLUME, "Volume: %d, 50 % des joueurs", ""}, // "% d" a second one
        {LANG_VOLUME, "Volume: %d 100% sure", ""},       // "% s" a string
        {LANG_VOLUME, "Volume: %d (100%%)", "Volume: %d (100%%)"},
        {LANG_SERVER_STARTED, "port %d", "port %d"},
        {LANG_SERVER_STARTED, "port", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> texts = plain_strings(LANG_COUNT);
        texts[c.id] = c.text;
        std::string path = write_temp(table("STR0", texts));
        ASSERT_EQ(lang_load_file(path.c_str()), 1);
        EXPECT_STREQ(lang_get(c.id), c.got);
        unlink(path.c_str());
    }
    lang_free();
}

// Random files, mostly with a plausible header, never make a lookup leave the
// buffer (the sanitizer build checks every read).
TEST(LangLoader, RandomFilesStayBounded)
{
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int round = 0; round < 300; round++) {
        std::vector<uint8_t> f(next() % 200);
        for (uint8_t &b : f) b = (uint8_t)next();
        if (f.size() >= 8 && (next() & 1)) {
            memcpy(f.data(), "STR0", 4);
            le_put_u32(&f[4], next() % 100);
        }
        std::string path = write_temp(f);
        lang_load_file(path.c_str());
        for (int id = -2; id < 100; id++) {
            const char *s = lang_get(id);
            ASSERT_NE(s, nullptr);
            volatile size_t n = strlen(s);
            (void)n;
        }
        EXPECT_EQ(strlen(lang_yes_no()), 4u);
        unlink(path.c_str());
    }
    lang_free();
}

TEST(LangConversions, ParsesPrintfSpecs)
{
    struct { const char *text; const char *exact; const char *norm; } ok[] = {
        {"plain", "", ""},
        {"100%% sure", "", ""},
        {"%s killed %s %s", "%s%s%s", "%s%s%s"},
        {"%-5s:%03i", "%-5s%03i", "%s%d"},
        {"%*d %.*s %lu", "%*d%.*s%lu", "%*d%.*s%lu"},
        {"addr %u", "%u", "%u"},
    };
    for (auto &c : ok) {
        EXPECT_EQ(conversions(c.text, 1), c.exact) << c.text;
        EXPECT_EQ(conversions(c.text, 0), c.norm) << c.text;
    }
    const char *bad[] = {"%n", "trailing %", "%y", "%1$s"};
    for (const char *b : bad) EXPECT_EQ(conversions(b, 0), "<bad>") << b;
    char tiny[3];
    EXPECT_EQ(lang_conversions("%s%s", tiny, sizeof tiny, 0), -1);
}

// The build's compiler refuses sources that would make a broken file.
TEST(LangCompiler, RefusesBrokenSources)
{
    std::string en;
    {
        FILE *f = fopen(BKM_LANG_SOURCES "/EN.txt", "rb");
        ASSERT_NE(f, nullptr);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) en.append(buf, n);
        fclose(f);
    }
    auto replace_line = [&](const std::string &prefix, const std::string &with) {
        std::string s = en;
        size_t p = s.find("\n" + prefix);
        EXPECT_NE(p, std::string::npos);
        size_t e = s.find('\n', p + 1);
        s.replace(p + 1, e - p - 1, with);
        return s;
    };
    // A plain text with a '%' compiles with a warning and loads as written.
    struct { const char *what; std::string src; int ok; int id; const char *text; } cases[] = {
        {"English itself", en, 1, 6, "All"},
        {"missing id", replace_line("50 ", "# gone"), 0, 0, nullptr},
        {"extra conversion", replace_line("50 ", "50 port %d of %s"), 0, 0, nullptr},
        {"percent sign in a format", replace_line("50 ", "50 port %d, 100% sure"), 0, 0, nullptr},
        {"conversion in a plain text", replace_line("6 ", "6 All %s"), 1, 6, "All %s"},
        {"percent sign in a plain text", replace_line("61 ", "61 100% sure"), 1, 61, "100% sure"},
        {"duplicate id", en + "7 again\n", 0, 0, nullptr},
        {"outside Latin-1", replace_line("6 ", "6 \xe2\x82\xac"), 0, 0, nullptr},
        {"id out of range", en + std::to_string(LANG_COUNT) + " extra\n", 0, 0, nullptr},
        {"short answer letters", replace_line("91 ", "91 Yy"), 0, 0, nullptr},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        char src[] = "/tmp/bkm_langsrc_XXXXXX";
        int fd = mkstemp(src);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, c.src.data(), c.src.size()), (ssize_t)c.src.size());
        close(fd);
        std::string out = std::string(src) + ".bin", err = std::string(src) + ".err";
        std::string cmd = std::string(BKM_LANGC) + " " + src + " " + out + " 2>" + err;
        int rc = system(cmd.c_str());
        EXPECT_EQ(rc == 0, c.ok == 1);
        std::string said;
        if (FILE *e = fopen(err.c_str(), "rb")) {
            char buf[512];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, e)) > 0) said.append(buf, n);
            fclose(e);
        }
        if (c.ok) {
            EXPECT_EQ(lang_load_file(out.c_str()), 1);
            EXPECT_EQ(lang_count(), LANG_COUNT);
            EXPECT_STREQ(lang_get(c.id), c.text);
            EXPECT_EQ(said.find("warning") != std::string::npos, strchr(c.text, '%') != nullptr) << said;
            lang_free();
        }
        unlink(src);
        unlink(out.c_str());
        unlink(err.c_str());
    }
}
