// The client game's sounds and key tests, in the game's own terms (positions
// as Vec3, controls by scan code), over the platform layer.
#pragma once
#include <cstdint>

#include "common/math_vec.h"

// Plays a sound without position (the local player's own) at an attenuation
// in hundredths of a decibel (0 loudest).
void game_sound(const char *file, int32_t volume);
// Plays a sound at a world position.
void game_sound_at(const char *file, int32_t volume, const Vec3 *position);
// Reads the keyboard and tells whether the key with this scan code is down.
int game_read_key(int scan_code);
