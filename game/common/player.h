// The 32-slot player table and the rules both programs run on it: join,
// respawn, restock, team, held model, orientation, scoreboard order.
// Movement is in player_physics.h.
#pragma once
#include <cstdint>

#include "common/game_enums.h"
#include "common/map_block_line.h"
#include "common/math_vec.h"
#include "common/model_types.h"

typedef struct _ENetPeer ENetPeer;

// Player ids are one byte on the wire; 32 is the game's slot count.
#define PLAYER_MAX 32
#define PLAYER_NAME_SIZE 16

// The body sprites, in record order.
enum PlayerSprite {
    SPRITE_HELD = 0,
    SPRITE_DEAD = 1,
    SPRITE_TORSO = 2,
    SPRITE_ARMS = 3,
    SPRITE_LEG_LEFT = 4,
    SPRITE_LEG_RIGHT = 5,
    SPRITE_HEAD = 6,
    SPRITE_INTEL = 7,
    SPRITE_COUNT = 8,
};

// One slot. A zero-filled record is a free slot (present = 0).
struct PlayerRecord {
    SpriteInstance sprites[SPRITE_COUNT];  // the server's copies carry no models
    Vec3 position;    // feet reference of the box
    Vec3 eye;         // camera and shot origin; z lags 0.25 s after a step up
    Vec3 velocity;    // blocks per 1/32 s
    Vec3 right;       // horizontal
    Vec3 down;        // forward x right
    Vec3 forward;
    int32_t team;     // Team
    int32_t weapon;   // Weapon
    int32_t keys[KEY_COUNT];  // 0/1 flags in MoveKeys order
    int32_t primary;
    int32_t secondary;
    int32_t tool;     // Tool
    uint32_t colour;  // block colour 0x00RRGGBB
    int32_t alive;
    int32_t present;
    int32_t airborne;
    int32_t in_water;
    int32_t kills, blocks, magazine, reserve, grenades, health;
    // Clock times (game_time; doubles, so they keep their precision with uptime).
    double next_use;          // game_time before which the held tool is not usable
    double grenade_fuse_end;  // game_time a grenade with the pin pulled explodes
    double reload_end;        // game_time the running reload step ends; 0 none
    double next_footstep;     // client
    double climb_time;        // game_time of the last step up
    int64_t respawn_time;    // server: calendar seconds; client: game-clock seconds
    int64_t last_block_loss; // server, wall-clock seconds
    int64_t last_resupply;   // server, wall-clock seconds
    int32_t on_screen, under_crosshair, near;  // client HUD
    int32_t id;              // the slot's own index
    int32_t admin;           // server
    int32_t flood;           // server flood counter
    int32_t announced;       // server: his join went to the clients since he connected
    ENetPeer *peer;          // server
    char name[PLAYER_NAME_SIZE];
};

extern PlayerRecord player_table[PLAYER_MAX];

// The record of a player id, or null when the id is outside the table.
inline PlayerRecord *player_get(int id)
{
    return id >= 0 && id < PLAYER_MAX ? &player_table[id] : nullptr;
}

// Team values a player may hold: not joined, spectator, blue, green.
inline bool team_is_player_team(int team) { return team >= TEAM_NONE && team <= TEAM_GREEN; }

// Prepares a slot for a joining or announced player. A spectator (team -1)
// keeps the slot's weapon, tool, colour and kills. Returns 1, or 0 with the
// record unchanged when team, weapon or tool is out of range (weapon and tool
// are checked only when they are taken, i.e. for a team other than -1).
int player_init(PlayerRecord *player, int id, int team, int weapon, int tool, int kills,
                uint32_t colour, const char *name);
// Respawns at a ground point: position and eye = point with z - 2.4, gun in
// hand, full stock. Returns 1, or 0 unchanged when the weapon is invalid.
int player_respawn(PlayerRecord *player, const Vec3 *point);
// Refills blocks, reserve, grenades and health; the magazine too when
// with_magazine is non-zero. Returns 1, or 0 unchanged for an invalid weapon.
int player_restock(PlayerRecord *player, int with_magazine);
// Stores a team and, for blue and green, its body models. Returns 1, or 0
// unchanged for a value that is not a player team.
int player_set_team(PlayerRecord *player, int team);
// Points the held sprite at a tool's model. Returns 1, or 0 unchanged for an
// invalid tool (or the gun with an invalid weapon).
int player_set_held_model(PlayerRecord *player, int tool);
// Stores a tool and its held model. Returns 1, or 0 unchanged when invalid.
int player_set_tool(PlayerRecord *player, int tool);
// Stores a weapon. Returns 1, or 0 unchanged when invalid.
int player_set_weapon(PlayerRecord *player, int weapon);
// Position and eye := point; the eye's z lags for 0.25 s after a step up.
void player_set_position(PlayerRecord *player, const Vec3 *point);
// Takes a facing direction and derives right = (-fy, fx, 0) / |(fx, fy)| and
// down = forward x right in single precision. A vector of about unit length
// (squared length 0.98..1.02) is stored unchanged, any other scaled to unit
// length. Returns 1, or 0 keeping the previous orientation when the vector is
// not finite, zero, or has (next to) no horizontal part.
int player_set_orientation(PlayerRecord *player, const Vec3 *forward);
// 1 when a and b differ by strictly more than limit on some axis.
int player_moved_beyond(const Vec3 *a, const Vec3 *b, float limit);
// 1 when (x, y, z) lies in front of player id's eye inside his aim box of half
// size r (map_aim_box_test with his orientation); 0 otherwise and for an id
// outside the table.
int player_aim_box_test(int id, float x, float y, float z, float r);
// 1 when block cell (x, y, z) overlaps the player's own body: its centre
// within 0.95 of his eye across, less than 0.95 above the eye and above his
// soles (2.75 below the eye standing, 1.85 crouching). A block is never built there.
int player_body_holds_cell(const PlayerRecord *player, int32_t x, int32_t y, int32_t z);
// Keeps, in their order, the n cells that lie outside the player's body;
// returns how many are left.
int player_cells_outside_body(const PlayerRecord *player, BlockCell *cells, int n);
// Fills order[0..31] with all slot ids, most kills first, ties by ascending id.
void player_sort_by_kills(int order[PLAYER_MAX]);
