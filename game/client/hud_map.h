// The maps of the HUD: the whole 512 x 512 overview map at the centre of
// the screen, and the 128 x 128 minimap around the local player at the top
// right. Both show the objectives, the tracers, the team-mates (everyone to
// a spectator) and the local player as turned arrows.
#pragma once

void hud_draw_big_map();
void hud_draw_minimap();
