// The gun and the grenade in a player's hand, as the player pass runs them
// for every simulated player: shots with recoil, spread and pellets, the hit
// test against bodies and the map, hit claims, tracers and casings; the
// grenade's pin, its explosion in the hand and its throw. Only the local
// player's own use sends messages (MSG_HIT, MSG_GRENADE, MSG_BLOCK_ACTION)
// and changes his counters.
#pragma once
#include <cstdint>

#include "common/math_vec.h"

struct PlayerRecord;

// This frame's recoil of the local player's gun, added to his mouse look;
// 0 at the start of each player pass. Read by the HUD as the aim kick.
struct ShotRecoil {
    float pitch, yaw; // radians
};
extern ShotRecoil shot_recoil;

// The recoil of one shot at the millisecond clock `millis`: pitch = the
// weapon's vertical recoil; yaw = ((millis & 511) - 255.5) x horizontal
// recoil, negated while bit 9 of the clock is 0; both doubled when moving
// without aiming, doubled again in the air, else halved when crouched.
ShotRecoil game_shot_recoil(const PlayerRecord *p, int32_t millis);
// Adds one pellet's spread to the direction d: three fresh rand draws r
// (x, y, z in turn), each axis += (r / 16383.5 - 1) x spread while aiming,
// (r / 8191.75 - 2) x spread otherwise. d is not normalised.
void game_pellet_spread(Vec3 *d, float spread, bool aiming);

// The gun with the primary fire key held: one shot when the player's next
// use time has passed.
void game_fire_gun(PlayerRecord *p, bool local);
// The grenade with the primary fire key held: the pin is pulled; a grenade
// held past its fuse explodes in the local player's hand.
void game_use_grenade(PlayerRecord *p, bool local);
// The local player's cooked grenade leaves his hand (thrown, or dropped as
// he dies): a grenade object at his eye flying at his velocity plus his
// facing, going off when its fuse (his pin time) ends, and MSG_GRENADE with
// the fuse left. A full world-object table takes no object; the message is
// sent all the same.
void game_throw_grenade(const PlayerRecord *p);
// The primary fire key released with the pin pulled: the grenade is thrown
// (local player) and the pin time cleared. Returns false, doing nothing,
// while the world-object table is full.
bool game_release_grenade(PlayerRecord *p, bool local);
