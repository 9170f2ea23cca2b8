// The real client program run from a folder of its own against the real
// server over 127.0.0.1: its set-up, its screenshots read back, and what the
// screens up to the team menu look like in them.
#pragma once
#include <enet/enet.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "client_fixture.h"
#include "common/lang_ids.h"
#include "common/protocol.h"
#include "renderer/vox_png.h"
#include "server/e2e_common.h"
#include "support/test_process.h"

namespace program_test {

namespace fs = std::filesystem;

const int32_t W = 800, H = 600;

// A screenshot the program saved, as 0x00RRGGBB pixels.
struct Shot {
    std::vector<uint32_t> px;
    bool read(const std::string &path)
    {
        uint32_t *p = nullptr;
        if (!fs::exists(path)) return false;
        loadpngfile(path.c_str(), &p, W, H);
        if (!p) return false;
        px.assign(p, p + W * H);
        free(p);
        for (uint32_t &c : px) c &= 0xFFFFFF;
        return true;
    }
    uint32_t at(int32_t x, int32_t y) const { return px[(size_t)y * W + x]; }
    int count(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const std::function<bool(uint32_t)> &f) const
    {
        int n = 0;
        for (int32_t y = y0; y < y1; y++)
            for (int32_t x = x0; x < x1; x++) n += f(at(x, y));
        return n;
    }
    int colour(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t rgb) const
    {
        return count(x0, y0, x1, y1, [rgb](uint32_t c) { return c == rgb; });
    }
    // Pixels where one channel (0 blue, 1 green) stands out: the team colours.
    int team(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int channel) const
    {
        return count(x0, y0, x1, y1, [channel](uint32_t p) {
            const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
            return channel == 0 ? b > r + 60 && b > g + 60 : g > r + 60 && g > b + 60;
        });
    }
    // Distinct colours in the 64 x 64 palette of the block tool at the
    // bottom-right corner (one per cell, the selection frame aside).
    size_t palette() const
    {
        std::vector<uint32_t> seen;
        for (int32_t y = H - 60; y < H; y += 8)
            for (int32_t x = W - 60; x < W; x += 8)
                if (std::find(seen.begin(), seen.end(), at(x, y)) == seen.end()) seen.push_back(at(x, y));
        return seen.size();
    }
    // Pixels of the loading bar in its fill colour.
    int bar_fill() const
    {
        const int32_t top = (int32_t)(0.75f * H);
        return colour(0, top + 10, W, top + 11, 0xFFFF32);
    }
    // Distinct colours in a sample of the picture: a blank frame has one.
    size_t colours() const
    {
        std::vector<uint32_t> seen;
        for (size_t i = 0; i < px.size(); i += 997)
            if (std::find(seen.begin(), seen.end(), px[i]) == seen.end()) seen.push_back(px[i]);
        return seen.size();
    }
};

// The three screens up to the team menu, as the program draws them.
inline void expect_name_screen(const Shot &s)
{
    const int32_t w = (int32_t)(0.55f * W), left = (W - w) / 2, top = (int32_t)(0.75f * H);
    EXPECT_EQ(s.at(2, H - 3), 0u);
    EXPECT_EQ(s.at(left + w - 3, top + 10), 0x444444u);                      // the name box
    EXPECT_GT(s.colour(left + 5, top - 3, left + 70, top + 17, 0xFFFF00), 30); // "NAME:"
}
inline void expect_loading_screen(const Shot &s)
{
    const int32_t w = (int32_t)(0.55f * W), left = (W - w) / 2, top = (int32_t)(0.75f * H);
    EXPECT_EQ(s.at(2, H - 3), 0u);
    EXPECT_EQ(s.at(left + 1, top + 10), 0xFFFF32u); // at least 1 % of the bar
    EXPECT_GT(s.colour(0, top + 20, W, top + 40, 0x454545), 30); // "Loading map..."
}
inline void expect_team_menu(const Shot &s)
{
    EXPECT_GT(s.colours(), 50u);
    EXPECT_GT(s.team(0, H / 2, W / 2, H, 0), 2000); // team 0's player on the left
    EXPECT_GT(s.team(W / 2, H / 2, W, H, 1), 2000); // team 1's on the right
    EXPECT_GT(s.colour(0, (int32_t)(0.9f * H), W, (int32_t)(0.9f * H) + 14, 0xFF0000), 30); // the keys
}

class ClientProgram : public ServerE2E {
protected:
    std::string cdir; // the client's own folder
    pid_t client = -1;

    void TearDown() override
    {
        if (client > 0) tpr_wait(client, 1);
        ServerE2E::TearDown();
    }

    void serve(std::vector<std::string> config = {}, const char *map = "flat")
    {
        make_folder();
        write_config(config, true, map);
        ASSERT_TRUE(start()) << srv.output;
    }

    // A folder holding a copy of the program, its data files (linked from
    // the ready-to-run folder) and a config.ini of 800 x 600 in a window.
    void make_client(const std::string &name, int show_news = 0)
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        cdir = std::string(BKM_E2E_ROOT) + "/" + info->test_suite_name() + "." + info->name() + ".client";
        ctest_client_folder(cdir, BKM_CLIENT_BIN, name, show_news, W, H);
    }
    std::string path(const std::string &file) const { return cdir + "/" + file; }
    std::string log() const { return tpr_slurp(path("log.txt")); }
    // The log and the server's output for a failure: the server's lines say
    // whether it took the player at all.
    std::string logs()
    {
        tsv_read_output(&srv, 0);
        return log() + "-- server --\n" + srv.output;
    }

    // Starts the program with the script, against `to_port`.
    void run_client(const std::string &script, const std::vector<std::string> &env, uint16_t to_port)
    {
        std::ofstream(path("script.txt")) << script;
        std::vector<std::string> e = {"BKM_INPUT_SCRIPT=" + path("script.txt"), "BKM_PLATFORM_LOG=" + path("log.txt"),
                                      "BKM_MESSAGEBOX=log"};
        e.insert(e.end(), env.begin(), env.end());
        const std::string arg = "\"bkm://16777343:" + std::to_string(to_port) + "\"";
        client = tpr_spawn({path("client"), arg}, e, path("out.txt"));
    }
    int wait_client(int ms)
    {
        const int rc = tpr_wait(client, ms);
        client = -1;
        return rc;
    }
    // The script to the team menu: the name typed, shots of the three
    // screens, then the window closed.
    std::string join_script() const
    {
        return "0 screen 0\n200 type Runner\n100 shot " + path("name.png") + "\n0 press RETURN\n0 screen 1\n0 shot " +
               path("loading.png") + "\n0 screen 2\n400 shot " + path("team.png") + "\n300 close\n";
    }
    void expect_joined_screens()
    {
        Shot s;
        ASSERT_TRUE(s.read(path("name.png"))) << log();
        expect_name_screen(s);
        ASSERT_TRUE(s.read(path("loading.png"))) << log();
        expect_loading_screen(s);
        ASSERT_TRUE(s.read(path("team.png"))) << log();
        expect_team_menu(s);
    }
};

} // namespace program_test
