// Storage of the run-long server state.
#include "server/srv_state.h"

#include <cstdio>

char srv_map_name[SRV_PATH_MAX] = "gen";
char srv_server_name[32];
char srv_mode_word[16] = "ctf";
int srv_mode_flag = GAME_MODE_CTF;
GameModeCallbacks srv_mode;
uint32_t srv_player_count = PLAYER_MAX;
int srv_register = 1;

ENetHost *srv_host = nullptr;
ENetHost *srv_master_host = nullptr;
ENetPeer *srv_master_peer = nullptr;

uint32_t srv_connected_count = 0;
int srv_count_changed = 0;
int64_t srv_last_second = 0;
int64_t srv_map_change_time = 0;
uint32_t srv_last_kicked = 0;
int64_t srv_next_master_update = 0;

double srv_now = 0.0;
double srv_last_tick = 0.0;
float srv_tick_delta = 0.0f;
double srv_next_world_update = 0.0;
double srv_next_master_retry = 0.0;

uint8_t *srv_work_area = nullptr;
VoteKick srv_vote = {-1, 0, 0, {0}, 0};

void srv_map_file_path(const char *name, char *out, int size)
{
    snprintf(out, (size_t)size, "vxl/%s.vxl", name ? name : "");
}
