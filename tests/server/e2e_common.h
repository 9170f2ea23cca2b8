// Shared set-up of the server end-to-end tests: a fresh folder per test with
// a copy of the program, its language files and a small flat map, a free
// port, and the language texts the server prints.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>

#include "common/lang.h"
#include "common/map_store.h"
#include "common/terrain.h"
#include "support/test_client.h"
#include "support/test_server.h"

// Bounded waits; generous for the sanitizer build.
#define E2E_START_MS 60000
#define E2E_WAIT_MS 20000

// A language text with its arguments, as the server prints it.
template <typename... A> std::string e2e_text(int id, A... args)
{
    char buf[1024];
    snprintf(buf, sizeof buf, lang_get(id), args...);
    return buf;
}
inline std::string e2e_text(int id) { return lang_get(id); }

// Whether a downloaded map image is the world of a map file: the file loaded
// here as the server loads it and saved again, compared in layout; only the
// colours each load gives the completed border voxels (with their random
// jitter) may differ.
inline bool e2e_same_world(const std::vector<uint8_t> &image, const std::string &file)
{
    if (!map_load_image((const uint8_t *)file.data(), file.size()))
        return false;
    std::string again_path = std::string(BKM_E2E_ROOT) + "/again." + std::to_string(getpid());
    if (!map_save(again_path.c_str()))
        return false;
    const std::string again = tsv_read_file(again_path);
    std::remove(again_path.c_str());
    if (image.size() != again.size())
        return false;
    size_t differ = 0;
    for (size_t i = 0; i < image.size(); i++)
        differ += image[i] != (uint8_t)again[i];
    return differ < image.size() / 1000;
}

class ServerE2E : public ::testing::Test {
protected:
    TestServer srv;
    uint16_t port = 0;

    // ctest runs each test in its own process, all at once: every process
    // writes the same shared maps, so each writes its own file and renames it
    // into place, and a reader never sees a half-written map.
    static void save_shared_map(const char *name)
    {
        std::string path = std::string(BKM_E2E_ROOT) + "/" + name;
        std::string tmp = path + "." + std::to_string(getpid());
        ASSERT_EQ(map_save(tmp.c_str()), 1);
        std::filesystem::rename(tmp, path);
    }

    static void SetUpTestSuite()
    {
        tcl_enet_init();
        std::filesystem::create_directories(BKM_E2E_ROOT);
        lang_load("BkmLang", 0);
        // One small map for the whole run: flat ground at z 40.
        map_make_flat(40, 0x7F336699u);
        save_shared_map("flat.vxl");
        // And a generated one, whose transfer takes many passes.
        terrain_generate(77);
        save_shared_map("hills.vxl");
    }

    // Fresh folder named for the running test, holding vxl/flat.vxl.
    void make_folder()
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        srv.dir = tsv_make_dir(BKM_E2E_ROOT, name, BKM_SERVER_BIN, BKM_DIST_DIR);
        tsv_write_file(srv.dir + "/vxl/flat.vxl", tsv_read_file(BKM_E2E_ROOT "/flat.vxl"));
        tsv_write_file(srv.dir + "/vxl/hills.vxl", tsv_read_file(BKM_E2E_ROOT "/hills.vxl"));
        port = tsv_free_port();
    }

    // Config lines on top of the test defaults: this port, the flat map, no
    // master and no public-address query, so nothing leaves the machine.
    void write_config(std::vector<std::string> extra, bool with_map = true, const char *map = "flat")
    {
        std::vector<std::string> lines = {"port = " + std::to_string(port), "register = 0", "queryaddress = 0",
                                          "masterhost = 127.0.0.1"};
        if (with_map)
            lines.push_back(std::string("map = ") + map);
        for (auto &l : extra)
            lines.push_back(l);
        tsv_write_config(srv.dir, lines);
    }

    // Starts the server and waits for its "started on port" line.
    bool start()
    {
        if (!tsv_start(&srv))
            return false;
        return tsv_wait_output(&srv, e2e_text(50, (int)port), E2E_START_MS);
    }

    // Types "quit" and returns the exit code.
    int quit()
    {
        tsv_type(&srv, "quit\n");
        return tsv_wait_exit(&srv, E2E_WAIT_MS);
    }

    void TearDown() override { tsv_stop(&srv); }

    // A client that connected and downloaded the map and state.
    bool connect_and_download(TestClient *c)
    {
        return tcl_connect(c, port) && tcl_download(c, E2E_WAIT_MS);
    }
};
