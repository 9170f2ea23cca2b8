// The local player's view: mouse look with the gun's recoil while alive, the
// spinning view at his body after death, the camera that follows a team-mate
// from behind once the body rests, and the spectator's free-flying camera.
// The camera is always the local record's eye with its right, down and
// forward vectors; the frame drawing turns them into the renderer's camera.
// The followed player is local_controls.follow (-1 none); the spin axis is
// local_controls.death_direction.
#pragma once

struct PlayerRecord;

// 1 when the player is present, on a team and alive (the spectator camera's
// next player).
int game_next_player_filter(const PlayerRecord *p);
// 1 when the player is present and on the local player's team, alive or not
// (the follow camera's next player).
int game_next_teammate_filter(const PlayerRecord *p);
// The next slot after `from` (-1 allowed) stepping by +1 or -1 and wrapping
// inside 0..31, that `accept` passes within one round of 32 slots; -1 when
// none does.
int game_next_slot(int from, int step, bool (*accept)(const PlayerRecord *p));

// The living local player's view: mouse look (half as fast while aiming the
// gun) with this frame's recoil kicks added, stopped at straight up and
// down, the yaw slowed near the poles, the right vector kept horizontal.
void game_view_update(PlayerRecord *p, float pitch_kick, float yaw_kick);
// The dead local player's body bounced: when it came to rest (|vz| < 0.01)
// the camera starts following him, else the view spins about a new axis.
// Only while nobody is followed yet.
void game_death_bounce(const PlayerRecord *p);
// The dead local player's view: spinning at his body until it rests, then
// game_follow_camera.
void game_death_camera(PlayerRecord *p);
// Clicks step through team-mates (left forward, right back); the mouse turns
// the view; the eye stands up to 5 behind the followed player, pulled in
// before a wall.
void game_follow_camera();
// The spectator: clicks jump to the next or previous living player; keys fly
// the camera (sprint double, sneak half speed) through air only; change_team
// or change_weapon opens the team menu to join again.
void game_spectator_camera();
