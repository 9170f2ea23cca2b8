// The local player's gauges on the HUD: health, the count and icon of the
// selected tool with the block palette, the crosshair or the gun's scope,
// the capture progress bar and the marker pointing at the last damage.
#pragma once
#include <cstdint>

struct PlayerRecord;

// Health in the large font, white at 20 and above, red below, ending at the
// screen's centre line on the bottom edge, with its icon after it.
void hud_draw_health(const PlayerRecord *p);
// By the selected tool: blocks (spade, block), magazine-reserve (gun; red
// when the magazine is empty) or grenades, with the tool's icon at the
// bottom right; with the block tool also the palette and its selection frame.
void hud_draw_ammo(const PlayerRecord *p);
// The crosshair at the centre; while aiming the gun, the weapon's scope
// picture over the whole screen, grown right after a shot. Locks the frame.
void hud_draw_crosshair(const PlayerRecord *p);
// A bar of 55 % of the width at three quarters of the height, 20 pixels
// high: the back colour, and `progress` (0..1) of it in the fill colour
// (both 0xAARRGGBB). Locks the frame.
void hud_draw_progress_bar(float progress, uint32_t fill, uint32_t back);
// Where that bar lies: its left edge, top and width in pixels.
void hud_bar_rect(int32_t *left, int32_t *top, int32_t *width);
// While the damage marker's deadline has not passed: the indicator at the
// centre, turned toward the damage's source.
void hud_draw_damage_marker(const PlayerRecord *p);
