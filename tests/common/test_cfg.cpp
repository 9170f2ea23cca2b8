// Settings access: keys, typed lookups, save and reload, failure reports.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/cfg.h"

static std::vector<std::pair<std::string, std::string>> reports;
static void capture(const char *text, const char *caption) { reports.push_back({text, caption}); }

struct Cfg : ::testing::Test {
    char dir[32] = "/tmp/bkm_cfg_XXXXXX";
    void SetUp() override
    {
        reports.clear();
        cfg_set_report(capture);
        ASSERT_NE(mkdtemp(dir), nullptr);
    }
    void TearDown() override
    {
        cfg_set_report(nullptr);
        std::string cmd = std::string("rm -rf ") + dir;
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
    std::string path(const char *name) { return std::string(dir) + "/" + name; }
    std::string read(const std::string &p)
    {
        std::string s;
        FILE *f = fopen(p.c_str(), "rb");
        if (!f) return s;
        char buf[1024];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        fclose(f);
        return s;
    }
};

TEST_F(Cfg, KeyJoinsWithoutSeparatorAndCutsAt255)
{
    char buf[CFG_KEY_SIZE];
    EXPECT_STREQ(cfg_key("controls:", "jump", buf), "controls:jump");
    std::string longkey(400, 'k');
    EXPECT_EQ(std::string(cfg_key("controls:", longkey.c_str(), buf)).size(), 255u);
}

TEST_F(Cfg, SaveAndReloadKeepsEveryValue)
{
    ConfigDict *d = cfg_new();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(cfg_set(d, "client:xres", "800"), 1);
    ASSERT_EQ(cfg_set(d, "client:sensitivity", "0.75"), 1);
    ASSERT_EQ(cfg_set(d, "client:windowed", "1"), 1);
    ASSERT_EQ(cfg_set(d, "controls:jump", "57"), 1);
    ASSERT_EQ(cfg_set(d, "server:name", "Zedeza Diro"), 1);
    std::string p = path("config.ini");
    ASSERT_EQ(cfg_save(d, p.c_str()), 1);
    cfg_free(d);

    ConfigDict *back = nullptr;
    ASSERT_EQ(cfg_load(p.c_str(), &back), 1);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(cfg_get_int(back, "client:xres", 0), 800);
    EXPECT_DOUBLE_EQ(cfg_get_double(back, "client:sensitivity", 0), 0.75);
    EXPECT_EQ(cfg_get_bool(back, "client:windowed", 0), 1);
    EXPECT_EQ(cfg_get_int(back, "controls:jump", 0), 57);
    EXPECT_STREQ(cfg_get_string(back, "server:name", ""), "Zedeza Diro");
    EXPECT_EQ(cfg_get_int(back, "client:missing", -7), -7);
    cfg_free(back);
    std::string text = read(p);
    EXPECT_NE(text.find("\n[client]\n"), std::string::npos);
    EXPECT_NE(text.find("[controls]"), std::string::npos);
    EXPECT_TRUE(reports.empty());
}

TEST_F(Cfg, SaveNameWritesTheWholeDictionaryEvenWithoutAClientSection)
{
    ConfigDict *d = cfg_new();
    ASSERT_EQ(cfg_set(d, "controls:jump", "57"), 1);
    std::string p = path("config.ini");
    ASSERT_EQ(cfg_save_name(d, p.c_str(), "Zarar"), 1);
    cfg_free(d);
    ConfigDict *back = nullptr;
    cfg_load(p.c_str(), &back);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(cfg_get_string(back, "client:name", ""), "Zarar");
    EXPECT_EQ(cfg_get_int(back, "controls:jump", 0), 57);
    cfg_free(back);

    EXPECT_EQ(cfg_save_name(nullptr, p.c_str(), "Zarar"), 0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].first, "Failed to save new name.");
    EXPECT_EQ(reports[0].second, "Config Error");
}

TEST_F(Cfg, FailuresAreReportedNotHidden)
{
    ConfigDict *d = cfg_new();
    std::string missing_dir = path("no/such/dir/config.ini");
    EXPECT_EQ(cfg_save(d, missing_dir.c_str()), 0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].first, "Failed to open config file.");
    EXPECT_EQ(reports[0].second, "File Not Found");
    cfg_free(d);

    // A missing file: no dictionary, result 1, nothing reported.
    reports.clear();
    ConfigDict *none = (ConfigDict *)1;
    EXPECT_EQ(cfg_load(path("absent.ini").c_str(), &none), 1);
    EXPECT_EQ(none, nullptr);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(cfg_load(path("absent.ini").c_str(), nullptr), 0);
    EXPECT_EQ(cfg_get_int(none, "client:xres", 640), 640);
    EXPECT_STREQ(cfg_get_string(none, "client:name", "deuce"), "deuce");
    EXPECT_EQ(cfg_set(none, "client:name", "x"), 0);

    // A malformed file goes to the report callback.
    std::string bad = path("bad.ini");
    FILE *f = fopen(bad.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("[client]\nname = ok\nthis line is not a setting\n", f);
    fclose(f);
    ConfigDict *parsed = nullptr;
    EXPECT_EQ(cfg_load(bad.c_str(), &parsed), 1);
    EXPECT_EQ(parsed, nullptr);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0].second, "Config Error");
    cfg_free(parsed);
}
