// Start-up settings: "config.ini" clamped and written back, "controls.ini"
// defaults and bad values, the command-line address, the work buffer size.
#include <string>

#include "client/game_main.h"
#include "client/game_settings.h"
#include "client/game_workbuf.h"
#include "client_fixture.h"
#include "common/cfg.h"
#include "common/map_edit.h"

namespace {

struct Settings : ::testing::Test {
    void SetUp() override { ctest_enter_scratch(); }
    void TearDown() override
    {
        game_free_settings();
        ctest_leave_scratch();
    }
    static void write(const char *path, const std::string &text)
    {
        FILE *f = fopen(path, "w");
        ASSERT_NE(f, nullptr);
        fputs(text.c_str(), f);
        fclose(f);
    }
    // The value a key has in the file on disk now.
    static std::string saved(const char *key)
    {
        ConfigDict *d = nullptr;
        cfg_load(GAME_CONFIG_FILE, &d);
        std::string v = d ? cfg_get_string(d, key, "(absent)") : "(no file)";
        cfg_free(d);
        return v;
    }
};

TEST_F(Settings, NoConfigWritesEveryDefault)
{
    ASSERT_EQ(game_read_settings(), 1);
    const ClientSettings &s = client_settings;
    EXPECT_EQ(s.xres, 800);
    EXPECT_EQ(s.yres, 600);
    EXPECT_EQ(s.volume, 10);
    EXPECT_FLOAT_EQ(s.mouse_sensitivity, 5.0f);
    EXPECT_FLOAT_EQ(s.look_factor, 0.0025f);
    EXPECT_STREQ(s.name, "Zarar");
    const std::pair<const char *, const char *> expected[] = {
        {"client:xres", "800"},    {"client:yres", "600"},   {"client:vol", "10"},
        {"client:inverty", "0"},   {"client:mouse_sensitivity", "5.000000"},
        {"client:windowed", "0"},  {"client:name", "Zarar"}, {"client:language", "0"},
        {"client:show_news", "1"},
    };
    for (const auto &e : expected) EXPECT_EQ(saved(e.first), e.second) << e.first;
}

// Each value is brought into its range in memory and written back so.
TEST_F(Settings, OutOfRangeValuesAreClampedAndWrittenBack)
{
    struct Case {
        const char *line;
        const char *key;
        const char *written;
    } cases[] = {
        {"xres = 2000", "client:xres", "1280"},
        {"xres = -5", "client:xres", "16"},  // the renderer's smallest frame
        {"yres = 5000", "client:yres", "960"},
        {"yres = 3", "client:yres", "16"},
        {"vol = 11", "client:vol", "10"},
        {"vol = -1", "client:vol", "0"},
        {"mouse_sensitivity = 12.5", "client:mouse_sensitivity", "10.000000"},
        {"mouse_sensitivity = -2", "client:mouse_sensitivity", "0.000000"},
        {"mouse_sensitivity = nan", "client:mouse_sensitivity", "5.000000"},
        {"name = Abcdefghijklmnopqrst", "client:name", "Abcdefghijklmno"},
        {"windowed = 1", "client:windowed", "1"},
    };
    for (const Case &c : cases) {
        write(GAME_CONFIG_FILE, std::string("[client]\n") + c.line + "\n");
        game_read_settings();
        EXPECT_EQ(saved(c.key), c.written) << c.line;
    }
    write(GAME_CONFIG_FILE, "[client]\nmouse_sensitivity = 12.5\nname = Abcdefghijklmnopqrst\nxres = 2000\n");
    game_read_settings();
    EXPECT_FLOAT_EQ(client_settings.look_factor, 0.005f);
    EXPECT_STREQ(client_settings.name, "Abcdefghijklmno");
    EXPECT_EQ(client_settings.xres, 1280);
}

TEST_F(Settings, OtherSectionsOfTheFileAreKept)
{
    write(GAME_CONFIG_FILE, "[client]\nxres = 640\n[extra]\nkeep = yes\n");
    game_read_settings();
    EXPECT_EQ(saved("extra:keep"), "yes");
    EXPECT_EQ(saved("client:xres"), "640");
}

TEST_F(Settings, SavedNameReplacesOnlyTheName)
{
    write(GAME_CONFIG_FILE, "[client]\nxres = 640\n");
    game_read_settings();
    EXPECT_EQ(game_save_name("Brand New Name Too Long"), 1);
    EXPECT_STREQ(client_settings.name, "Brand New Name ");
    EXPECT_EQ(saved("client:name"), "Brand New Name");  // the file trims the trailing blank
    EXPECT_EQ(saved("client:xres"), "640");
}

TEST_F(Settings, MissingControlsGiveTheDefaults)
{
    game_read_settings();
    for (int i = 0; i < CTL_COUNT; i++) EXPECT_EQ(key_bindings.key[i], control_defaults[i]) << control_names[i];
    EXPECT_EQ(key_bindings.key[CTL_MOVE_FORWARD], 17);
    EXPECT_EQ(key_bindings.key[CTL_CUBE_COLOR_RIGHT], 205);
    EXPECT_EQ(key_bindings.key[CTL_TOGGLE_GRAPH], 87);
    EXPECT_STREQ(control_names[CTL_LAST_WEAPON], "last_weapon");
}

// Only a plain number 1..255 names a key; anything else keeps the default.
TEST_F(Settings, ControlValuesAreScanCodesOrTheDefault)
{
    struct Case {
        const char *value;
        int expected;
    } cases[] = {
        {"44", 44}, {" 200 ", 200}, {"255", 255}, {"abc", 57}, {"300", 57}, {"256", 57},
        {"0", 57},  {"-3", 57},     {"0x2C", 57}, {"44x", 57}, {"", 57},
    };
    for (const Case &c : cases) {
        write(GAME_CONTROLS_FILE, std::string("[controls]\njump = ") + c.value + "\nsneak = 44\ntoggle_graph = 5\n");
        game_read_controls();
        EXPECT_EQ(key_bindings.key[CTL_JUMP], c.expected) << "'" << c.value << "'";
        EXPECT_EQ(key_bindings.key[CTL_SNEAK], 44);
        EXPECT_EQ(key_bindings.key[CTL_TOGGLE_GRAPH], 87);
    }
}

TEST(SensitivityScale, TenthOfHalfAPercent)
{
    EXPECT_FLOAT_EQ(game_sensitivity_scale(5.0f), 0.0025f);
    EXPECT_FLOAT_EQ(game_sensitivity_scale(10.0f), 0.005f);
    EXPECT_FLOAT_EQ(game_sensitivity_scale(0.0f), 0.0f);
}

// The argument as the entry point hands it over (the Linux argument less its
// first character): six characters skipped, then the address.
TEST(CommandLine, AddressTable)
{
    struct Case {
        const char *arg;
        int ok;
        uint32_t host;
        uint16_t port;
    } cases[] = {
        {"bkm://16777343", 1, 16777343u, 32887},
        {"bkm://16777343:32888", 1, 16777343u, 32888},
        {"bkm://16777343:32888\"", 1, 16777343u, 32888},
        {"bkm://16777343/", 1, 16777343u, 32887},
        {"bkm://16777343:40000/\"", 1, 16777343u, 40000},
        {"xxxxxx0", 1, 0u, 32887},
        {"bkm://4294967295:65535/\"", 1, 4294967295u, 65535},
        {"bkm://0016777343:00001", 1, 16777343u, 1},
        {nullptr, 0, 0, 0},
        {"client.exe", 0, 0, 0},
        {"", 0, 0, 0},
        {"b", 0, 0, 0},
        {"bkm:/", 0, 0, 0},
        {"bkm://", 0, 0, 0},
        {"bkm://\"", 0, 0, 0},
        {"bkm:///\"", 0, 0, 0},
        // Given, but not an address the client takes.
        {"bkm://127.0.0.1:32887\"", -1, 0, 0},                  // dotted
        {"km://16777343:32887", -1, 0, 0},                      // no quotes: its first digit was skipped
        {"bkm:/16777343", -1, 0, 0},                            // one slash: the same
        {"bkm://abc", -1, 0, 0},
        {"bkm:// 16777343", -1, 0, 0},
        {"bkm://:32887", -1, 0, 0},
        {"bkm://-1", -1, 0, 0},
        {"bkm://+16777343", -1, 0, 0},
        {"bkm://16777343:", -1, 0, 0},
        {"bkm://16777343:x", -1, 0, 0},
        {"bkm://16777343:+1", -1, 0, 0},
        {"bkm://16777343:0", -1, 0, 0},
        {"bkm://16777343:65536", -1, 0, 0},
        {"bkm://16777343:99999", -1, 0, 0},
        {"bkm://16777343:184467440737095516170", -1, 0, 0},    // wraps 64 bits
        {"bkm://4294967296", -1, 0, 0},                         // not a 32-bit address
        {"bkm://99999999999", -1, 0, 0},
        {"bkm://16777343:32887 and more text", -1, 0, 0},
        {"bkm://16777343x", -1, 0, 0},
        {"bkm://16777343:32887:1", -1, 0, 0},
        {"bkm://16777343\"\"", -1, 0, 0},
        {"bkm://16777343\"/", -1, 0, 0},
        {"bkm://16777343//", -1, 0, 0},
        {"bkm://16777343 ", -1, 0, 0},
        {"bkm://00000000000000000000000000000000000000000000000001", -1, 0, 0}, // longer than any address
    };
    for (const Case &c : cases) {
        uint32_t host = 7;
        uint16_t port = 7;
        int ok = game_parse_address(c.arg, &host, &port);
        EXPECT_EQ(ok, c.ok) << (c.arg ? c.arg : "(null)");
        if (ok == GAME_ADDRESS_OK && c.ok == GAME_ADDRESS_OK) {
            EXPECT_EQ(host, c.host) << c.arg;
            EXPECT_EQ(port, c.port) << c.arg;
        }
    }
}

TEST(WorkBuffer, FrameShareOrAtLeastTheEditorsScratch)
{
    EXPECT_EQ(game_work_buffer_bytes(800, 600), 6480000u);
    EXPECT_EQ(game_work_buffer_bytes(1280, 960), 16588800u);
    EXPECT_EQ(game_work_buffer_bytes(333, 333), 1497008u);  // 1497001 rounded up to 8
    EXPECT_EQ(game_work_buffer_bytes(16, 16), (size_t)MAP_EDIT_SCRATCH_BYTES);
    EXPECT_EQ(game_work_buffer_bytes(160, 120), (size_t)MAP_EDIT_SCRATCH_BYTES);
    ASSERT_EQ(game_work_buffer_alloc(16, 16), 1);
    EXPECT_EQ((uintptr_t)render_work_buffer.start % 8, 0u);
    EXPECT_GE(render_work_buffer.bytes, (size_t)MAP_EDIT_SCRATCH_BYTES);
    game_work_buffer_free();
    EXPECT_EQ(render_work_buffer.block, nullptr);
}

} // namespace
