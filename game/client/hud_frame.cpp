#include "client/hud_frame.h"

void game_draw_frame() {}
