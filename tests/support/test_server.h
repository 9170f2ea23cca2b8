// Runs the real server program for end-to-end tests: a fresh folder with a
// copy of the program and its data, a config, the process with piped
// standard input and output, bounded waits, and a fake master server.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

typedef struct _ENetHost ENetHost;
typedef struct _ENetPeer ENetPeer;

struct TestServer {
    int pid = -1;
    int in_fd = -1;       // the server's standard input
    int out_fd = -1;      // its standard output and error
    std::string dir;      // its folder (program, languages/, vxl/, config)
    std::string output;   // everything it printed so far
    int exit_code = -1000;
    bool no_input = false; // start with standard input closed, not a pipe
    std::string work_dir; // the folder it is started in; empty: dir
};

// A free UDP port on 127.0.0.1 (bound and released).
uint16_t tsv_free_port();
// Creates an empty folder `root`/`name` (removing an old one) holding a copy
// of the program at `server_bin`, the `languages` folder of `dist_dir` and an
// empty vxl/. Returns the folder.
std::string tsv_make_dir(const std::string &root, const std::string &name, const std::string &server_bin,
                         const std::string &dist_dir);
// Writes `dir`/server_config.ini: "[server]" and the given lines.
void tsv_write_config(const std::string &dir, const std::vector<std::string> &lines);
void tsv_write_file(const std::string &path, const std::string &text);
std::string tsv_read_file(const std::string &path);
bool tsv_file_exists(const std::string &path);
// Starts dir/server in work_dir (dir when empty). Returns true when the
// process started.
bool tsv_start(TestServer *s, const std::vector<std::string> &args = {});
// Reads output until it contains `text` (from byte `from` on) or timeout.
bool tsv_wait_output(TestServer *s, const std::string &text, int timeout_ms, size_t from = 0);
// Reads whatever output is waiting, without blocking longer than ms.
void tsv_read_output(TestServer *s, int ms);
// Writes text to the server's standard input.
void tsv_type(TestServer *s, const std::string &text);
// Closes the server's standard input.
void tsv_close_input(TestServer *s);
// Waits for the process to end; returns its exit code, or -1000 on time-out.
int tsv_wait_exit(TestServer *s, int timeout_ms);
// Ends the process if it still runs (SIGKILL after a SIGTERM grace period).
void tsv_stop(TestServer *s);

// A fake master server: an ENet host on 127.0.0.1 that records connections
// and what the game server sends it, with the time of arrival.
struct FakeMasterPacket {
    std::vector<uint8_t> bytes;
    int64_t at_ms;
};
struct FakeMaster {
    ENetHost *host = nullptr;
    ENetPeer *peer = nullptr;
    uint16_t port = 0;
    int connects = 0;
    int disconnects = 0;
    uint32_t connect_data = 0;
    std::vector<FakeMasterPacket> packets;
};
bool fm_start(FakeMaster *m, uint16_t port);
void fm_service(FakeMaster *m, int ms);
// Drops the server's link (disconnect now, so the server sees it end).
void fm_drop(FakeMaster *m);
void fm_stop(FakeMaster *m);
int64_t tsv_now_ms();
