// Master-server registration against a fake master on 127.0.0.1.
#include "e2e_common.h"

#include <cstring>

class MasterE2E : public ServerE2E {
protected:
    FakeMaster master;
    std::vector<TestClient *> live; // clients kept serviced while waiting
    void TearDown() override
    {
        ServerE2E::TearDown();
        fm_stop(&master);
    }
    void start_with_master()
    {
        make_folder();
        uint16_t mport = tsv_free_port();
        ASSERT_TRUE(fm_start(&master, mport));
        write_config({"register = 1", "masterport = " + std::to_string(mport)});
        ASSERT_TRUE(start()) << srv.output;
    }
    // Services the fake master until `n` packets arrived or timeout.
    bool wait_packets(size_t n, int timeout_ms)
    {
        int64_t end = tsv_now_ms() + timeout_ms;
        while (master.packets.size() < n && tsv_now_ms() < end) {
            fm_service(&master, 10);
            for (TestClient *c : live)
                tcl_service(c, 2);
            tsv_read_output(&srv, 0);
        }
        return master.packets.size() >= n;
    }
    std::vector<uint8_t> registration(const char *map)
    {
        std::vector<uint8_t> r = {32, (uint8_t)(port & 0xFF), (uint8_t)(port >> 8)};
        for (const char *t : {"Zedeza Diro", "ctf", map}) {
            r.insert(r.end(), t, t + strlen(t));
            r.push_back(0);
        }
        return r;
    }
};

// The registration bytes without the spare last byte.
static std::vector<uint8_t> without_spare(const std::vector<uint8_t> &b)
{
    return b.empty() ? b : std::vector<uint8_t>(b.begin(), b.end() - 1);
}

TEST_F(MasterE2E, RegistersAtStartThrottlesCountUpdatesAndRegistersAgainAtAMapChange)
{
    start_with_master();
    ASSERT_TRUE(wait_packets(1, E2E_WAIT_MS));
    EXPECT_EQ(master.connects, 1);
    EXPECT_EQ(master.connect_data, 30u);
    ASSERT_EQ(master.packets[0].bytes.size(), 7u + 11u + 3u + 4u);
    EXPECT_EQ(without_spare(master.packets[0].bytes), registration("flat"));

    // No count before anything changed. The first connection is reported at
    // once; two more in a burst wait for the 10 s throttle and go as one.
    TestClient c[3];
    for (auto &cl : c)
        live.push_back(&cl);
    ASSERT_TRUE(tcl_connect(&c[0], port));
    ASSERT_TRUE(wait_packets(2, E2E_WAIT_MS)) << srv.output << " port " << port << " mport " << master.port
                                              << " connects " << master.connects;
    EXPECT_EQ(master.packets[1].bytes, std::vector<uint8_t>{1});
    int64_t first_update = master.packets[1].at_ms;
    for (int i = 1; i < 3; i++)
        ASSERT_TRUE(tcl_connect(&c[i], port));
    for (auto &cl : c)
        ASSERT_TRUE(tcl_download(&cl, E2E_WAIT_MS));
    ASSERT_TRUE(wait_packets(3, 20000));
    EXPECT_EQ(master.packets[2].bytes, std::vector<uint8_t>{3});
    EXPECT_GE(master.packets[2].at_ms - first_update, 9000);
    fm_service(&master, 500);
    EXPECT_EQ(master.packets.size(), 3u);

    // A map change registers again with the new map name before loading it;
    // every client gets the map and the state again.
    tsv_write_file(srv.dir + "/vxl/other.vxl", tsv_read_file(srv.dir + "/vxl/flat.vxl"));
    tsv_type(&srv, "map other\n");
    ASSERT_TRUE(wait_packets(4, 20000));
    EXPECT_EQ(without_spare(master.packets[3].bytes), registration("other"));
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(48), E2E_WAIT_MS)) << srv.output;
    for (auto &cl : c) {
        ASSERT_TRUE(tcl_wait(&cl, [&cl] { return cl.map_transfers == 2 && cl.map_done; }, E2E_WAIT_MS));
        EXPECT_EQ(cl.map_columns, 262144);
        EXPECT_TRUE(tcl_wait(&cl, [&cl] { return tcl_messages(&cl, 15).size() == 2; }, E2E_WAIT_MS));
    }
    for (auto &cl : c)
        tcl_close(&cl);
    EXPECT_EQ(quit(), 0);
}

TEST_F(MasterE2E, ReconnectsTenSecondsAfterTheMasterDropsTheLink)
{
    start_with_master();
    ASSERT_TRUE(wait_packets(1, E2E_WAIT_MS)); // the registration
    fm_drop(&master);
    int64_t dropped = tsv_now_ms();
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(13), E2E_WAIT_MS)) << srv.output;
    while (master.connects < 2 && tsv_now_ms() - dropped < 20000)
        fm_service(&master, 20);
    ASSERT_EQ(master.connects, 2);
    EXPECT_GE(tsv_now_ms() - dropped, 9000);
    // A new link registers again, then reports the count.
    ASSERT_TRUE(wait_packets(3, E2E_WAIT_MS));
    EXPECT_EQ(without_spare(master.packets[1].bytes), registration("flat"));
    EXPECT_EQ(master.packets[2].bytes, std::vector<uint8_t>{0});
    EXPECT_EQ(quit(), 0);
}

TEST_F(MasterE2E, AMasterHostThatDoesNotResolveIsRetriedEveryTenSeconds)
{
    make_folder();
    write_config({"register = 1", "masterhost = "});
    ASSERT_TRUE(start()) << srv.output;
    const std::string failed = e2e_text(18);
    auto count = [&] {
        size_t n = 0;
        for (size_t at = srv.output.find(failed); at != std::string::npos; at = srv.output.find(failed, at + 1))
            n++;
        return n;
    };
    // One attempt at start, one at the first tick, then one every 10 s; the
    // server serves meanwhile.
    TestClient a;
    ASSERT_TRUE(connect_and_download(&a));
    ASSERT_TRUE(tsv_wait_output(&srv, failed, E2E_WAIT_MS, srv.output.find(failed) + 1));
    EXPECT_EQ(count(), 2u);
    int64_t t0 = tsv_now_ms();
    while (count() < 3 && tsv_now_ms() - t0 < 20000) {
        tcl_service(&a, 20);
        tsv_read_output(&srv, 0);
    }
    EXPECT_EQ(count(), 3u);
    EXPECT_GE(tsv_now_ms() - t0, 8000);
    tcl_close(&a);
    EXPECT_EQ(quit(), 0);
}
