// Joins served off the game thread: the snapshot shared by joins at one
// moment, a join that waits for the worker, a leave and a map change while
// a compression runs (in-process, stand-in peers), and a join while another
// player keeps building (the real server over 127.0.0.1).
#include "e2e_common.h"
#include "server_slots.h"

#include <zlib.h>

#include <array>
#include <cstdlib>

#include "common/byteio.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "support/test_game.h"

class JoinWorker : public ServerSlots {
protected:
    std::vector<uint8_t> scratch = std::vector<uint8_t>(SRV_WORK_AREA_SIZE);

    void SetUp() override
    {
        ServerSlots::SetUp();
        map_edit_set_scratch(scratch.data(), scratch.size());
        terrain_generate(5); // a compression takes many milliseconds
        srv_mapzip_pause(1); // and runs until the test lets it
    }
    void TearDown() override
    {
        ServerSlots::TearDown();
        map_edit_set_scratch(nullptr, 0);
    }
    // Connects peer i; returns the slot it was given (the lowest free one).
    int connect(int i)
    {
        ENetEvent e = event(i, ENET_EVENT_TYPE_CONNECT);
        srv_on_connect(&e);
        return srv_peer_player_id(&e);
    }
    void leave(int i)
    {
        ENetEvent e = event(i, ENET_EVENT_TYPE_DISCONNECT);
        srv_on_disconnect(&e);
    }
    static std::vector<uint8_t> map_now()
    {
        std::vector<uint8_t> image(16u << 20);
        image.resize(srv_mapzip_serialise(image.data(), image.size()));
        return image;
    }
    // Lets the worker finish. 1 once it has.
    static bool finish()
    {
        srv_mapzip_pause(0);
        return srv_mapzip_wait(20000);
    }
    // The map a compressed image expands to (empty when it cannot be had).
    static std::vector<uint8_t> expand(int zmap)
    {
        const uint8_t *z;
        size_t n;
        if (!finish() || srv_mapzip_get(zmap, &z, &n) != MAPZIP_READY)
            return {};
        std::vector<uint8_t> image(16u << 20);
        uLongf len = (uLongf)image.size();
        if (uncompress(image.data(), &len, z, (uLong)n) != Z_OK)
            return {};
        image.resize(len);
        return image;
    }
    static void edit()
    {
        MapCell cell = {300, 300, (int32_t)map_ground_z(300, 300) - 1};
        ASSERT_EQ(map_add_block(&cell, 0x112233), 1);
    }
};

TEST_F(JoinWorker, JoinsAtOneMomentShareOneCompressionAndALaterOneWaitsForTheWorker)
{
    long jobs = srv_mapzip_jobs();
    std::vector<uint8_t> before = map_now();
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(connect(i), i);
    int z = srv_pending_head_map(0, nullptr);
    ASSERT_GE(z, 0);
    EXPECT_EQ(srv_pending_head_map(1, nullptr), z);
    EXPECT_EQ(srv_pending_head_map(2, nullptr), z);
    EXPECT_EQ(srv_mapzip_jobs(), jobs + 1);
    EXPECT_EQ(srv_pending_count(0), 2); // the map, then the state (nobody has joined)
    ASSERT_TRUE(srv_mapzip_busy());

    // The map changes while the worker is busy: the next join waits, and
    // what is sent meanwhile reaches the others behind their map, not him.
    edit();
    ASSERT_EQ(connect(3), 3);
    EXPECT_EQ(srv_pending_count(3), 0);
    EXPECT_NE(srv_pending_deferred(3), 0);
    uint8_t bytes[4] = {20, 0, 0, 0};
    srv_send_each(enet_packet_create(bytes, 2, ENET_PACKET_FLAG_RELIABLE));
    EXPECT_EQ(srv_pending_count(0), 3);
    EXPECT_EQ(srv_pending_count(3), 0);

    ASSERT_TRUE(finish());
    srv_join_service();
    int z3 = srv_pending_head_map(3, nullptr);
    ASSERT_GE(z3, 0);
    EXPECT_NE(z3, z);
    EXPECT_EQ(srv_mapzip_jobs(), jobs + 2);
    EXPECT_EQ(srv_pending_count(3), 2); // his map, then the state of that moment
    EXPECT_EQ(srv_pending_deferred(3), 0);

    // Each gets the map as it stood when his transfer began.
    std::vector<uint8_t> after = map_now();
    ASSERT_NE(before, after);
    EXPECT_TRUE(expand(z) == before);
    EXPECT_TRUE(expand(z3) == after);
}

TEST_F(JoinWorker, ALeaveDropsThePendingTransferAndANewOccupantStartsAfresh)
{
    ASSERT_EQ(connect(0), 0);
    ASSERT_GE(srv_pending_head_map(0, nullptr), 0);
    ASSERT_TRUE(srv_mapzip_busy());
    leave(0);
    EXPECT_EQ(srv_pending_count(0), 0);

    // One who waited for the worker leaves too: nobody is owed a map.
    edit();
    ASSERT_EQ(connect(1), 0);
    ASSERT_NE(srv_pending_deferred(0), 0);
    leave(1);
    EXPECT_EQ(srv_pending_deferred(0), 0);
    long jobs = srv_mapzip_jobs();
    ASSERT_TRUE(finish());
    srv_join_service();
    EXPECT_EQ(srv_mapzip_jobs(), jobs);

    // The slot's next occupant gets his own transfer of today's map.
    ASSERT_EQ(connect(2), 0);
    EXPECT_EQ(srv_pending_count(0), 2);
    EXPECT_EQ(srv_mapzip_jobs(), jobs + 1);
    EXPECT_TRUE(expand(srv_pending_head_map(0, nullptr)) == map_now());
}

TEST_F(JoinWorker, AMapChangeDuringACompressionReplacesTheTransfersNotYetBegun)
{
    // Player 0's transfer has begun; player 1's waits for the worker.
    ASSERT_EQ(connect(0), 0);
    int z0 = srv_pending_head_map(0, nullptr);
    ASSERT_TRUE(finish());
    std::vector<uint8_t> first = map_now();
    srv_pending_release();
    int begun = 0;
    ASSERT_EQ(srv_pending_head_map(0, &begun), z0);
    ASSERT_EQ(begun, 1);
    srv_mapzip_pause(1);
    edit();
    ASSERT_EQ(connect(1), 1);
    ASSERT_TRUE(srv_mapzip_busy());
    ASSERT_EQ(srv_pending_count(1), 2);

    // The new map, as the scheduled change sends it (the state that follows
    // goes to every peer of the host, which these stand-ins are not).
    long jobs = srv_mapzip_jobs();
    map_make_flat(30, 0x7F406080u);
    srv_send_map(-1);
    EXPECT_EQ(srv_mapzip_jobs(), jobs + 1); // the old one abandoned, one new
    int z1 = srv_pending_head_map(1, &begun);
    ASSERT_GE(z1, 0);
    EXPECT_EQ(begun, 0);
    EXPECT_EQ(srv_pending_count(1), 1); // the new map only: nothing of the old
    EXPECT_TRUE(expand(z1) == map_now());
    // Player 0 gets the rest of the first map, its state, then the new one.
    EXPECT_EQ(srv_pending_head_map(0, nullptr), z0);
    EXPECT_EQ(srv_pending_count(0), 3);
    EXPECT_TRUE(expand(z0) == first);
}

// ---- over the network: a join while another player keeps building ----

class JoinE2E : public ServerE2E {};

// Applies the block actions a client received, in order, to the map store.
static int apply_edits(const TestClient &c)
{
    int n = 0;
    for (const auto &m : c.messages) {
        if (m.size() != 15 || m[0] != MSG_BLOCK_ACTION)
            continue;
        MapCell cell = {(int32_t)le_get_u32(&m[3]), (int32_t)le_get_u32(&m[7]), (int32_t)le_get_u32(&m[11])};
        if (m[2] == BLOCK_BUILD)
            map_add_block(&cell, 0x445566);
        else if (m[2] == BLOCK_DESTROY)
            map_remove_block(&cell);
        else
            map_remove_column3(&cell);
        n++;
    }
    return n;
}

// Splits an image into its columns' byte ranges.
static std::vector<std::pair<size_t, size_t>> columns_of(const std::vector<uint8_t> &image)
{
    std::vector<std::pair<size_t, size_t>> cols;
    size_t pos = 0;
    while (pos < image.size()) {
        long end = tcl_column_end(image.data(), image.size(), pos);
        if (end < 0)
            break;
        cols.emplace_back(pos, (size_t)end);
        pos = (size_t)end;
    }
    return cols;
}

TEST_F(JoinE2E, AJoinWhileAnotherPlayerBuildsGetsEveryBlockBeforeAndAfterItsSnapshot)
{
    make_folder();
    write_config({}, true, "hills");
    ASSERT_TRUE(start()) << srv.output;
    TestClient a, j, c;
    ASSERT_TRUE(connect_and_download(&a));
    ASSERT_TRUE(tcl_join(&a, 0, 0, "Builder"));
    Vec3 at;
    ASSERT_TRUE(tgm_spawn_position(&a, &at));
    int x = (int)at.x, y = (int)at.y, own = tgm_top_z(&a, x, y);
    // Cells on the neighbouring columns level with his own.
    std::vector<std::array<int32_t, 3>> cells;
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++) {
            int top = tgm_top_z(&a, x + dx, y + dy);
            if ((dx || dy) && top >= 2 && std::abs(top - own) <= 1)
                cells.push_back({x + dx, y + dy, top - 1});
        }
    ASSERT_GE(cells.size(), 4u) << "spawn too steep at " << x << "," << y;
    cells.resize(4);
    auto send_edit = [&](int kind, const std::array<int32_t, 3> &cell) {
        tgm_send(&a, msg_write_tool, ToolMsg{(uint8_t)a.own_id, (uint8_t)(kind == BLOCK_BUILD ? TOOL_BLOCK : TOOL_SPADE)});
        tgm_send(&a, msg_write_block_action, BlockActionMsg{(uint8_t)a.own_id, (uint8_t)kind, cell[0], cell[1], cell[2]});
    };
    // Two blocks before the joiner connects...
    send_edit(BLOCK_BUILD, cells[0]);
    send_edit(BLOCK_BUILD, cells[1]);
    ASSERT_TRUE(tgm_wait_count(&a, MSG_BLOCK_ACTION, 2, E2E_WAIT_MS));

    // ... and more, every 100 ms, while his map is taken, compressed and sent.
    ASSERT_TRUE(tcl_connect_begin(&j, nullptr, port));
    const int plan[][2] = {{BLOCK_BUILD, 2}, {BLOCK_BUILD, 3}, {BLOCK_DESTROY, 0}, {BLOCK_DESTROY, 2},
                           {BLOCK_BUILD, 0}, {BLOCK_DESTROY, 1}};
    size_t next = 0;
    int64_t due = tsv_now_ms();
    ASSERT_TRUE(tgm_wait_all({&a, &j}, [&] {
        if (next < std::size(plan) && tsv_now_ms() >= due) {
            send_edit(plan[next][0], cells[plan[next][1]]);
            next++;
            due += 100;
        }
        return next == std::size(plan) && j.map_done && j.have_state;
    }, E2E_WAIT_MS));
    ASSERT_TRUE(tgm_wait_count(&a, MSG_BLOCK_ACTION, 2 + std::size(plan), E2E_WAIT_MS));
    // A last message from the builder comes to the joiner behind every edit.
    tgm_send(&a, msg_write_tool, ToolMsg{(uint8_t)a.own_id, TOOL_GUN});
    ASSERT_TRUE(tgm_wait_all({&a, &j}, [&] {
        auto tools = tcl_messages(&j, MSG_TOOL);
        return !tools.empty() && tools.back()[2] == TOOL_GUN;
    }, E2E_WAIT_MS));
    // In the order a client can use: the map, the builder's info, the state,
    // then the edits.
    EXPECT_EQ(j.during_map, 0);
    ASSERT_GE(j.messages.size(), 2u);
    EXPECT_EQ(j.messages[0][0], MSG_PLAYER_INFO);
    EXPECT_EQ(j.messages[1][0], MSG_GAME_STATE);

    // The server's map now, as a newcomer downloads it.
    ASSERT_TRUE(connect_and_download(&c));
    ASSERT_EQ(c.map_columns, 262144);
    ASSERT_EQ(j.map_columns, 262144);

    std::vector<uint8_t> scratch(SRV_WORK_AREA_SIZE);
    map_edit_set_scratch(scratch.data(), scratch.size());
    ASSERT_TRUE(map_load_image(c.map_image.data(), c.map_image.size()));
    std::vector<uint8_t> server_solid;
    const int x0 = x - 3, y0 = y - 3;
    for (int cy = y0; cy < y0 + 7; cy++)
        for (int cx = x0; cx < x0 + 7; cx++)
            for (int z = 0; z < 64; z++)
                server_solid.push_back((uint8_t)map_is_solid(cx, cy, z));

    // What the joiner downloaded holds the blocks built before he came.
    ASSERT_TRUE(map_load_image(j.map_image.data(), j.map_image.size()));
    EXPECT_EQ(map_is_solid(cells[1][0], cells[1][1], cells[1][2]), 1);
    // The rest reaches him as messages, and together they are the server's map.
    int applied = apply_edits(j);
    EXPECT_GE(applied, 1) << "no edit came after the snapshot: the test proves nothing";
    EXPECT_LE(applied, (int)std::size(plan));
    std::vector<uint8_t> joiner_solid;
    for (int cy = y0; cy < y0 + 7; cy++)
        for (int cx = x0; cx < x0 + 7; cx++)
            for (int z = 0; z < 64; z++)
                joiner_solid.push_back((uint8_t)map_is_solid(cx, cy, z));
    EXPECT_TRUE(joiner_solid == server_solid);
    map_edit_set_scratch(nullptr, 0);

    // Away from the building every column is byte for byte the server's.
    auto jc = columns_of(j.map_image), cc = columns_of(c.map_image);
    ASSERT_EQ(jc.size(), cc.size());
    size_t differ = 0;
    for (size_t i = 0; i < jc.size(); i++) {
        int cx = (int)(i % 512), cy = (int)(i / 512);
        if (cx >= x0 && cx < x0 + 7 && cy >= y0 && cy < y0 + 7)
            continue;
        differ += jc[i].second - jc[i].first != cc[i].second - cc[i].first ||
                  memcmp(&j.map_image[jc[i].first], &c.map_image[cc[i].first], jc[i].second - jc[i].first) != 0;
    }
    EXPECT_EQ(differ, 0u);
    tcl_close(&a);
    tcl_close(&j);
    tcl_close(&c);
    EXPECT_EQ(quit(), 0) << srv.output;
}
