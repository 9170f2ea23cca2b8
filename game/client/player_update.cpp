#include "client/player_update.h"

void game_update_players() {}
