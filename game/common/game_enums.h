// Enumerations shared by the player rules, the protocol and every handler.
// Stored as int32 in records and as one byte on the wire.
#pragma once

enum Team {
    TEAM_NONE = -2,      // connected, not joined
    TEAM_SPECTATOR = -1,
    TEAM_BLUE = 0,
    TEAM_GREEN = 1,
    TEAM_NEUTRAL = 2,    // objective owner only
};

enum Tool {
    TOOL_SPADE = 0,
    TOOL_BLOCK = 1,
    TOOL_GUN = 2,
    TOOL_GRENADE = 3,
    TOOL_COUNT = 4,
};

// Also the row of the weapon table.
enum Weapon {
    WEAPON_SEMI = 0,
    WEAPON_SMG = 1,
    WEAPON_SHOTGUN = 2,
    WEAPON_COUNT = 3,
};

// Field order of the eight move-key flags (and their bits on the wire).
enum MoveKeys {
    KEY_FORWARD = 0,
    KEY_BACKWARD = 1,
    KEY_LEFT = 2,
    KEY_RIGHT = 3,
    KEY_JUMP = 4,
    KEY_CROUCH = 5,
    KEY_SNEAK = 6,
    KEY_SPRINT = 7,
    KEY_COUNT = 8,
};

enum FireKeys {
    FIRE_PRIMARY = 1,
    FIRE_SECONDARY = 2,
};

// Also the column of the weapon table's damage values.
enum HitType {
    HIT_TORSO = 0,
    HIT_HEAD = 1,
    HIT_ARMS = 2,
    HIT_LEGS = 3,
    HIT_SPADE = 4,
    HIT_COUNT = 5,
};

inline bool team_is_playing(int team) { return team == TEAM_BLUE || team == TEAM_GREEN; }
inline bool tool_is_valid(int tool) { return tool >= TOOL_SPADE && tool < TOOL_COUNT; }
inline bool weapon_is_valid(int weapon) { return weapon >= WEAPON_SEMI && weapon < WEAPON_COUNT; }
