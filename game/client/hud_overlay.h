// Timed texts over the frame: the chat line and the chat and kill feeds,
// the name tag of the player under the crosshair, the empty-magazine hint,
// the respawn countdown, the big announcement and the quit question.
#pragma once
#include <cstdint>

struct MessageFeed;
struct Surface;

// The open chat line (its label and the typed text) above the chat feed,
// then the chat feed's lines, newest first, in 6x8 text from H - 100 down.
void hud_draw_chat();
// The kill feed's lines at the top left.
void hud_draw_kill_feed();
// The lines of a feed at (x, y0 + step x i) in 6x8 text: a line whose
// expiry has passed is emptied and skipped, an empty one skipped; its kind
// gives its colour through colour_of (0 = not drawn).
void hud_draw_feed(MessageFeed *feed, int32_t x, int32_t y0, int32_t step, uint32_t (*colour_of)(int32_t kind));

// While deadline > now: text in the large font, red, centred on the width
// at height H/2, onto `surface` (the frame surface) of W x H.
void hud_draw_centre_alert(const char *text, double deadline, double now, Surface *surface, int32_t W, int32_t H);
// The seconds left to the local player's respawn, "label:n" in red at the
// bottom edge; nothing once the game clock has reached respawn_time. The
// last three seconds beep once each (beep1 at 1, beep2 at 2 and 3);
// *last_beep keeps the second announced.
void hud_draw_respawn_count(int64_t respawn_time, int64_t *last_beep);
// The announcement (a team's win) in red at the centre while it lasts.
void hud_draw_big_message();
// The quit question in red, centred at a third of the height.
void hud_draw_quit_prompt();
// The name of the first player under the crosshair whom the local player
// may see named: a team-mate (anyone for a spectator), in his team's colour.
void hud_draw_name_tag();
