// Game protocol: message ids, the records handlers work with, the id -> size
// table and the codec between records and wire bytes.
//
// One message per ENet packet on channel 0. Byte 0 is the id; fields follow
// packed, little-endian, at fixed offsets. Records are plain host-order
// structs: the wire layout lives only in msg_encode.cpp / msg_decode.cpp.
//
// Sending:   fill a record, msg_write_*(buf, sizeof buf, &rec) -> length (0 =
//            buffer too small), then msg_make_packet(buf, length) or any byte
//            sink. A buffer of MSG_MAX_SIZE bytes holds every message.
// Receiving: msg_type(packet) picks the handler; the handler declares a record
//            and calls msg_read_*(packet, &rec). Only a result of MSG_OK
//            (0) means the record holds the message; on every failure the
//            record is left all zero.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/math_vec.h"

typedef struct _ENetPacket ENetPacket;

enum MessageId {
    MSG_POSITION = 0,
    MSG_ORIENT = 1,
    MSG_WORLD_UPDATE = 2,
    MSG_MOVE_KEYS = 3,
    MSG_FIRE_KEYS = 4,
    MSG_HIT = 5,
    MSG_GRENADE = 6,
    MSG_TOOL = 7,
    MSG_BLOCK_COLOUR = 8,
    MSG_PLAYER_INFO = 9,
    MSG_REJOIN = 10,
    MSG_OBJECTIVE_MOVE = 11,
    MSG_PLAYER_SPAWN = 12,
    MSG_BLOCK_ACTION = 13,
    MSG_BLOCK_LINE = 14,
    MSG_GAME_STATE = 15,
    MSG_KILL = 16,
    MSG_CHAT = 17,
    MSG_MAP_BEGIN = 18,
    MSG_MAP_CHUNK = 19,
    MSG_PLAYER_LEFT = 20,
    MSG_TERRITORY_TAKEN = 21,
    MSG_CAPTURE_PROGRESS = 22,
    MSG_INTEL_SCORED = 23,
    MSG_INTEL_TAKEN = 24,
    MSG_INTEL_DROPPED = 25,
    MSG_RESUPPLY = 26,
    MSG_FOG_COLOUR = 27,
    MSG_RELOAD = 28,
    MSG_TEAM_CHANGE = 29,
    MSG_WEAPON_CHANGE = 30,
    MSG_COUNT = 31,
    MSG_NONE = 255, // msg_type of a missing or too short packet; matches no handler
};

// Connect data of a client's connection request.
#define NET_CONNECT_VALUE 2u

// Disconnect data when the server refuses a connection.
enum RejectReason {
    REJECT_BANNED = 1,
    REJECT_KICKED = 2,
    REJECT_WRONG_VERSION = 3,
    REJECT_SERVER_FULL = 4,
};

enum KillType {
    KILL_WEAPON = 0,
    KILL_HEAD = 1,
    KILL_SPADE = 2,
    KILL_GRENADE = 3,
    KILL_FALL = 4,
    KILL_TEAM_CHANGE = 5,
    KILL_WEAPON_CHANGE = 6,
    KILL_TYPE_COUNT = 7,
};

enum ChatType {
    CHAT_ALL = 0,
    CHAT_TEAM = 1,
    CHAT_SYSTEM = 2,
};

enum BlockActionKind {
    BLOCK_BUILD = 0,
    BLOCK_DESTROY = 1,
    BLOCK_DIG = 2,
    BLOCK_BLAST = 3,
};

enum GameMode {
    GAME_MODE_CTF = 0,
    GAME_MODE_TC = 1,
};

enum MsgReadResult {
    MSG_OK = 0,
    MSG_ERR_NO_PACKET = -1,  // no packet or no packet data
    MSG_ERR_TOO_LONG = -2,   // longer than the message's limit
    MSG_ERR_NO_RECORD = -3,  // no destination record
    MSG_ERR_TOO_SHORT = -4,  // shorter than the message's fixed part
    MSG_ERR_WRONG_ID = -5,   // byte 0 is not an id this reader decodes
};

// Direction of travel, for the size table.
enum MsgDir {
    MSG_TO_SERVER = 0,
    MSG_TO_CLIENT = 1,
};

#define MSG_MAX_SIZE 1024     // the largest packet (a full map chunk)
#define MSG_NAME_SIZE 16      // player name field: 15 characters + zero
#define MSG_TEAM_NAME_SIZE 10 // team name field: 9 characters + zero
#define MSG_CHAT_MAX_TEXT 108 // chat text characters; packet = text + 4 <= 112
#define MSG_PLAYERS 32
#define MSG_TERRITORIES 16
#define MSG_MAP_CHUNK_MAX_DATA 1023

// Sizes and delivery of one id. min == limit for fixed-size messages; both 0
// for a direction the message never travels. MSG_HIT has a different layout
// in each direction.
struct MsgInfo {
    const char *name;
    uint8_t reliable;        // 1 reliable, 0 unsequenced
    uint16_t to_server_min, to_server_limit;
    uint16_t to_client_min, to_client_limit;
};

// The table row of an id; null for ids outside 0..30.
const MsgInfo *msg_info(int id);
// Smallest and largest accepted packet length of id in one direction; 0 when
// the id does not travel that way or is unknown.
int msg_min_size(int id, MsgDir dir);
int msg_limit(int id, MsgDir dir);
// MSG_OK when a packet of len bytes is acceptable for id in dir, else
// MSG_ERR_TOO_SHORT / MSG_ERR_TOO_LONG / MSG_ERR_WRONG_ID (unknown id or wrong
// direction).
int msg_check_length(int id, MsgDir dir, size_t len);
// ENet flags for id: ENET_PACKET_FLAG_RELIABLE or ENET_PACKET_FLAG_UNSEQUENCED.
uint32_t msg_packet_flags(int id);

// ---- records (host order; teams as signed values, colours as 0x00RRGGBB) ----

struct PositionMsg { Vec3 pos; };
struct OrientMsg { Vec3 forward; };
struct WorldUpdateSlot { Vec3 pos; Vec3 forward; };
struct WorldUpdateMsg { WorldUpdateSlot slot[MSG_PLAYERS]; };
struct MoveKeysMsg { uint8_t player; uint32_t keys; };   // bit n = MoveKeys n
struct FireKeysMsg { uint8_t player; uint32_t keys; };   // FIRE_PRIMARY | FIRE_SECONDARY
struct HitClaimMsg { uint8_t target; uint8_t hit_type; }; // client -> server
struct HealthMsg {                                       // server -> client
    uint8_t health;
    uint8_t has_source; // 1: source holds the attacker's or grenade's position
    Vec3 source;
};
struct GrenadeMsg { uint8_t player; float fuse; Vec3 pos; Vec3 vel; };
struct ToolMsg { uint8_t player; uint8_t tool; };
struct ColourMsg {
    uint8_t id; // MSG_BLOCK_COLOUR or MSG_FOG_COLOUR
    uint8_t player;
    uint32_t colour;
};
struct PlayerInfoMsg {
    uint8_t player;
    int32_t team;
    uint8_t weapon;
    uint8_t tool;
    uint32_t kills;
    uint32_t colour;
    char name[MSG_NAME_SIZE];
};
struct RejoinMsg { uint8_t player; int32_t team; uint8_t weapon; };
struct ObjectiveMoveMsg { uint8_t index; int32_t owner; Vec3 pos; };
struct PlayerSpawnMsg {
    uint8_t player;
    uint8_t weapon;
    int32_t team;
    Vec3 pos;
    uint8_t has_name; // 1: the player has just joined and name follows
    char name[MSG_NAME_SIZE];
};
struct BlockActionMsg { uint8_t player; uint8_t kind; int32_t x, y, z; };
struct BlockLineMsg { uint8_t player; int32_t start[3]; int32_t end[3]; };

// Bits of CtfState.flags (as on the wire: bit 0 is team 1's intel).
#define CTF_INTEL1_CARRIED 1u
#define CTF_INTEL0_CARRIED 2u

struct CtfState {
    uint32_t score[2];
    uint32_t capture_limit;
    uint32_t flags;
    uint8_t carrier[2];  // intel i's carrier, valid when its flag is set
    Vec3 intel[2];       // intel i's position, valid when its flag is clear
    Vec3 base[2];
};
struct TerritoryState { Vec3 pos; int32_t owner; };
struct TcState {
    uint32_t count; // at most MSG_TERRITORIES (larger wire values are clamped)
    TerritoryState territory[MSG_TERRITORIES];
};
struct GameStateMsg {
    uint8_t player; // the receiver's own id
    uint32_t fog_colour;
    uint32_t team_colour[2];
    uint8_t game_mode; // GAME_MODE_CTF fills ctf; any other value (GAME_MODE_TC) fills tc
    CtfState ctf;
    TcState tc;
    char team_name[2][MSG_TEAM_NAME_SIZE];
};
struct KillMsg { uint8_t victim; uint8_t killer; uint8_t kill_type; uint8_t respawn_seconds; };
struct ChatMsg {
    uint8_t player; // 255 = the server
    uint8_t chat_type;
    char text[MSG_CHAT_MAX_TEXT + 1];
};
struct MapBeginMsg { uint32_t length; };
// A chunk is not copied: data points into the received bytes and lives as long
// as they do.
struct MapChunkMsg { const uint8_t *data; uint32_t length; };
struct PlayerLeftMsg { uint8_t player; };
struct TerritoryTakenMsg { uint8_t index; uint8_t wins; int32_t team; };
struct CaptureProgressMsg { uint8_t index; int32_t team; int8_t rate; float progress; };
struct IntelScoredMsg { uint8_t player; uint8_t wins; };
struct IntelTakenMsg { uint8_t player; };
struct IntelDroppedMsg { uint8_t player; Vec3 pos; };
struct ResupplyMsg { uint8_t player; };
struct ReloadMsg { uint8_t player; uint8_t magazine; uint8_t reserve; };
struct TeamChangeMsg { uint8_t player; int32_t team; };
struct WeaponChangeMsg { uint8_t player; uint8_t weapon; };

// ---- encoders: write the message into buf, return its length, 0 when cap is
// too small. Names are cut to 15 characters, team names to 9, chat text to 108.

int msg_write_position(uint8_t *buf, size_t cap, const PositionMsg *m);
int msg_write_orient(uint8_t *buf, size_t cap, const OrientMsg *m);
int msg_write_world_update(uint8_t *buf, size_t cap, const WorldUpdateMsg *m);
int msg_write_move_keys(uint8_t *buf, size_t cap, const MoveKeysMsg *m);
int msg_write_fire_keys(uint8_t *buf, size_t cap, const FireKeysMsg *m);
int msg_write_hit_claim(uint8_t *buf, size_t cap, const HitClaimMsg *m);
int msg_write_health(uint8_t *buf, size_t cap, const HealthMsg *m);
int msg_write_grenade(uint8_t *buf, size_t cap, const GrenadeMsg *m);
int msg_write_tool(uint8_t *buf, size_t cap, const ToolMsg *m);
int msg_write_colour(uint8_t *buf, size_t cap, const ColourMsg *m); // 0 unless id is 8 or 27
int msg_write_player_info(uint8_t *buf, size_t cap, const PlayerInfoMsg *m);
int msg_write_rejoin(uint8_t *buf, size_t cap, const RejoinMsg *m);
int msg_write_objective_move(uint8_t *buf, size_t cap, const ObjectiveMoveMsg *m);
int msg_write_player_spawn(uint8_t *buf, size_t cap, const PlayerSpawnMsg *m);
int msg_write_block_action(uint8_t *buf, size_t cap, const BlockActionMsg *m);
int msg_write_block_line(uint8_t *buf, size_t cap, const BlockLineMsg *m);
int msg_write_game_state(uint8_t *buf, size_t cap, const GameStateMsg *m);
int msg_write_kill(uint8_t *buf, size_t cap, const KillMsg *m);
int msg_write_chat(uint8_t *buf, size_t cap, const ChatMsg *m);
int msg_write_map_begin(uint8_t *buf, size_t cap, const MapBeginMsg *m);
int msg_write_map_chunk(uint8_t *buf, size_t cap, const MapChunkMsg *m); // 0 unless length 1..1023
int msg_write_player_left(uint8_t *buf, size_t cap, const PlayerLeftMsg *m);
int msg_write_territory_taken(uint8_t *buf, size_t cap, const TerritoryTakenMsg *m);
int msg_write_capture_progress(uint8_t *buf, size_t cap, const CaptureProgressMsg *m);
int msg_write_intel_scored(uint8_t *buf, size_t cap, const IntelScoredMsg *m);
int msg_write_intel_taken(uint8_t *buf, size_t cap, const IntelTakenMsg *m);
int msg_write_intel_dropped(uint8_t *buf, size_t cap, const IntelDroppedMsg *m);
int msg_write_resupply(uint8_t *buf, size_t cap, const ResupplyMsg *m);
int msg_write_reload(uint8_t *buf, size_t cap, const ReloadMsg *m);
int msg_write_team_change(uint8_t *buf, size_t cap, const TeamChangeMsg *m);
int msg_write_weapon_change(uint8_t *buf, size_t cap, const WeaponChangeMsg *m);

// ---- decoders over received bytes: a MsgReadResult. The record is zeroed
// first; names and texts end inside their fields whatever the bytes hold.

int msg_decode_position(const uint8_t *data, size_t len, PositionMsg *out);
int msg_decode_orient(const uint8_t *data, size_t len, OrientMsg *out);
int msg_decode_world_update(const uint8_t *data, size_t len, WorldUpdateMsg *out);
int msg_decode_move_keys(const uint8_t *data, size_t len, MoveKeysMsg *out);
int msg_decode_fire_keys(const uint8_t *data, size_t len, FireKeysMsg *out);
int msg_decode_hit_claim(const uint8_t *data, size_t len, HitClaimMsg *out);
int msg_decode_health(const uint8_t *data, size_t len, HealthMsg *out);
int msg_decode_grenade(const uint8_t *data, size_t len, GrenadeMsg *out);
int msg_decode_tool(const uint8_t *data, size_t len, ToolMsg *out);
int msg_decode_colour(const uint8_t *data, size_t len, ColourMsg *out);
int msg_decode_player_info(const uint8_t *data, size_t len, PlayerInfoMsg *out);
int msg_decode_rejoin(const uint8_t *data, size_t len, RejoinMsg *out);
int msg_decode_objective_move(const uint8_t *data, size_t len, ObjectiveMoveMsg *out);
int msg_decode_player_spawn(const uint8_t *data, size_t len, PlayerSpawnMsg *out);
int msg_decode_block_action(const uint8_t *data, size_t len, BlockActionMsg *out);
int msg_decode_block_line(const uint8_t *data, size_t len, BlockLineMsg *out);
int msg_decode_game_state(const uint8_t *data, size_t len, GameStateMsg *out);
int msg_decode_kill(const uint8_t *data, size_t len, KillMsg *out);
int msg_decode_chat(const uint8_t *data, size_t len, ChatMsg *out);
int msg_decode_map_begin(const uint8_t *data, size_t len, MapBeginMsg *out);
int msg_decode_map_chunk(const uint8_t *data, size_t len, MapChunkMsg *out);
int msg_decode_player_left(const uint8_t *data, size_t len, PlayerLeftMsg *out);
int msg_decode_territory_taken(const uint8_t *data, size_t len, TerritoryTakenMsg *out);
int msg_decode_capture_progress(const uint8_t *data, size_t len, CaptureProgressMsg *out);
int msg_decode_intel_scored(const uint8_t *data, size_t len, IntelScoredMsg *out);
int msg_decode_intel_taken(const uint8_t *data, size_t len, IntelTakenMsg *out);
int msg_decode_intel_dropped(const uint8_t *data, size_t len, IntelDroppedMsg *out);
int msg_decode_resupply(const uint8_t *data, size_t len, ResupplyMsg *out);
int msg_decode_reload(const uint8_t *data, size_t len, ReloadMsg *out);
int msg_decode_team_change(const uint8_t *data, size_t len, TeamChangeMsg *out);
int msg_decode_weapon_change(const uint8_t *data, size_t len, WeaponChangeMsg *out);

// ---- ENet side ----

// Byte 0 of a received packet; MSG_NONE when the packet is missing, has no
// data or is shorter than 2 bytes.
int msg_type(const ENetPacket *packet);
int msg_type_bytes(const uint8_t *data, size_t len);
// A packet of the message's delivery (reliable or unsequenced) holding
// buf[0..len); null on failure. Hand it to enet_peer_send / enet_host_broadcast.
ENetPacket *msg_make_packet(const uint8_t *buf, int len);
// Length to send for a chat record: its text (at most 108 characters) + 4.
int msg_chat_length(const ChatMsg *m);

// Readers: the decoders above applied to a received packet.
int msg_read_position(const ENetPacket *p, PositionMsg *out);
int msg_read_orient(const ENetPacket *p, OrientMsg *out);
int msg_read_world_update(const ENetPacket *p, WorldUpdateMsg *out);
int msg_read_move_keys(const ENetPacket *p, MoveKeysMsg *out);
int msg_read_fire_keys(const ENetPacket *p, FireKeysMsg *out);
int msg_read_hit_claim(const ENetPacket *p, HitClaimMsg *out);
int msg_read_health(const ENetPacket *p, HealthMsg *out);
int msg_read_grenade(const ENetPacket *p, GrenadeMsg *out);
int msg_read_tool(const ENetPacket *p, ToolMsg *out);
int msg_read_colour(const ENetPacket *p, ColourMsg *out);
int msg_read_player_info(const ENetPacket *p, PlayerInfoMsg *out);
int msg_read_rejoin(const ENetPacket *p, RejoinMsg *out);
int msg_read_objective_move(const ENetPacket *p, ObjectiveMoveMsg *out);
int msg_read_player_spawn(const ENetPacket *p, PlayerSpawnMsg *out);
int msg_read_block_action(const ENetPacket *p, BlockActionMsg *out);
int msg_read_block_line(const ENetPacket *p, BlockLineMsg *out);
int msg_read_game_state(const ENetPacket *p, GameStateMsg *out);
int msg_read_kill(const ENetPacket *p, KillMsg *out);
int msg_read_chat(const ENetPacket *p, ChatMsg *out);
int msg_read_map_begin(const ENetPacket *p, MapBeginMsg *out);
int msg_read_map_chunk(const ENetPacket *p, MapChunkMsg *out);
int msg_read_player_left(const ENetPacket *p, PlayerLeftMsg *out);
int msg_read_territory_taken(const ENetPacket *p, TerritoryTakenMsg *out);
int msg_read_capture_progress(const ENetPacket *p, CaptureProgressMsg *out);
int msg_read_intel_scored(const ENetPacket *p, IntelScoredMsg *out);
int msg_read_intel_taken(const ENetPacket *p, IntelTakenMsg *out);
int msg_read_intel_dropped(const ENetPacket *p, IntelDroppedMsg *out);
int msg_read_resupply(const ENetPacket *p, ResupplyMsg *out);
int msg_read_reload(const ENetPacket *p, ReloadMsg *out);
int msg_read_team_change(const ENetPacket *p, TeamChangeMsg *out);
int msg_read_weapon_change(const ENetPacket *p, WeaponChangeMsg *out);
