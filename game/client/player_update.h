// The per-frame pass over all 32 player slots: movement, movement sounds and
// the use of each player's tool, the local player's view and cameras.
#pragma once

// Runs once per in-game frame, before game_update_world_objects.
void game_update_players();
