// Quitting opens the news page through xdg-open: the real client program on
// the SDL backend in a private Xvfb, joined to the real server, answers the
// quit question with yes while a stub xdg-open stands first on the PATH.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "client_fixture.h"
#include "server/e2e_common.h"
#include "support/test_process.h"

namespace {

class NewsXvfb : public ServerE2E {
protected:
    TestXvfb xvfb;
    void TearDown() override
    {
        txv_stop(&xvfb);
        ServerE2E::TearDown();
    }
};

TEST_F(NewsXvfb, QuittingOpensTheNewsPage)
{
    if (!tpr_on_path("Xvfb")) GTEST_SKIP() << "Xvfb missing";
    make_folder();
    write_config({});
    ASSERT_TRUE(start()) << srv.output;
    ASSERT_TRUE(txv_start(&xvfb)) << "no free display for Xvfb";

    const std::string dir = std::string(BKM_E2E_ROOT) + "/news." + std::to_string(getpid());
    ctest_client_folder(dir, BKM_CLIENT_BIN, "Reader", 1);
    std::filesystem::create_directories(dir + "/bin");
    const std::string asked = dir + "/asked.txt", stub = dir + "/bin/xdg-open";
    tsv_write_file(stub, "#!/bin/sh\necho \"$@\" >> " + asked + "\n");
    chmod(stub.c_str(), 0755);
    // Keys are held as a person holds them, until what they do has happened:
    // 3 (spectate) until the game shows, Escape until a frame has read it
    // (the shot is saved after the frame that followed the key), Y until the
    // program ends. A slow frame on a busy machine cannot swallow them.
    tsv_write_file(dir + "/script.txt", "0 focus 1\n0 screen 2 60000\n300 key 3 down\n0 screen 4 10000\n0 key 3 up\n"
                                        "500 key ESCAPE down\n0 shot " + dir + "/asking.png\n100 key ESCAPE up\n"
                                        "500 key Y down\n");
    const char *path = std::getenv("PATH");
    pid_t pid = tpr_spawn({dir + "/client", "\"bkm://16777343:" + std::to_string(port) + "\""},
                          {"DISPLAY=" + xvfb.display, "BKM_PLATFORM=sdl", "BKM_MESSAGEBOX=log",
                           "BKM_INPUT_SCRIPT=" + dir + "/script.txt", "BKM_PLATFORM_LOG=" + dir + "/log.txt",
                           "PATH=" + dir + "/bin:" + (path ? path : "/usr/bin:/bin")},
                          dir + "/out.txt");
    EXPECT_EQ(tpr_wait(pid, 90000), 0) << tpr_slurp(dir + "/log.txt");
    const std::string url = "file://" + dir + "/news.html";
    EXPECT_TRUE(tpr_wait_until([&] { return tpr_slurp(asked).find(url) != std::string::npos; }, 10000))
        << "xdg-open was asked: " << tpr_slurp(asked) << "\n" << tpr_slurp(dir + "/log.txt");
    EXPECT_TRUE(std::filesystem::exists(dir + "/news.html"));
    std::filesystem::remove_all(dir);
}

} // namespace
