// The scoreboard: both teams' score line and a column of players per team,
// most kills first, with the spectators in the middle when asked.
#pragma once
#include <cstdint>

// The rows of one team's players (team -1 the spectators) in the order of
// the scoreboard, from (x, y) down, one line of the small font each: name
// and id, and the kills of a player on a team. Players who have not joined
// are never listed. Returns the y below the last row.
int32_t hud_draw_score_row(int team, int32_t x, int32_t y);
// "score-second" of both teams in their colours, team 0 from x, team 1
// ending at W - x; the second number is the capture limit, or in territory
// control the number of territories (each team's score is then recounted
// as the territories it owns).
void hud_draw_team_scores(int32_t x, int32_t y);
// The whole scoreboard; sorts the order by kills first.
void hud_draw_scoreboard(int with_spectators);
