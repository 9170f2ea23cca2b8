// The weapon table: one row per Weapon, the same in both programs.
#pragma once
#include <cstdint>

#include "common/game_enums.h"

struct WeaponInfo {
    int32_t view_model;         // first-person model slot
    int32_t held_model;         // third-person model slot
    int32_t tracer_model;
    int32_t casing_model;
    uint32_t *scope_image;      // 0xAARRGGBB pixels set by the client at start; null elsewhere
    int32_t damage[HIT_COUNT];  // by HitType: torso, head, arms, legs, spade
    int32_t block_damage;       // per hit on a block
    const char *shot_sound;
    const char *reload_sound;
    float fire_interval;        // seconds between shots
    float reload_time;          // seconds per reload step
    float spread;
    float recoil_vertical;
    float recoil_horizontal;
    int32_t magazine_size;
    int32_t reserve_size;       // reserve after a restock
    int32_t whole_reload;       // 1: a reload fills the magazine; 0: one shell per step
    int32_t pellets;            // per shot
    int32_t spare;              // read by nothing
};

extern WeaponInfo weapon_table[WEAPON_COUNT];

// The row of a weapon, or null when the value is not a Weapon.
inline WeaponInfo *weapon_info(int weapon)
{
    return weapon_is_valid(weapon) ? &weapon_table[weapon] : nullptr;
}
