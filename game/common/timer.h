// The game clock: seconds since the program started its clock.
//
// The clock is kept in double seconds over a 64-bit nanosecond counter, so a
// 1/60 s tick or a 0.1 s interval stays exact to far below a microsecond for
// months of uptime (float seconds would step by 4 ms after 9.5 hours and by
// 0.25 s after 30 days). Times compared against it are doubles too; spans
// (game_step, a time left) are floats, taken as double differences.
#pragma once

// Game clock in seconds, and the seconds covered by the current step. The
// client's frame and the server's tick set them; timer_start zeroes game_step.
extern double game_time;
extern float game_step;

// Reads the counter frequency and takes the current counter as the start
// (moved back by the uptime hook below, when one is set).
void timer_init();
// Writes the seconds since the start into *out and returns out.
double *timer_read(double *out);
// timer_init, then timer_read into *out, then game_step = 0.
void timer_start(double *out);

// Test hook: the clock reads `seconds` now, as after that much uptime, and
// every later timer_init starts that far back too. A program takes it from
// BKM_CLOCK_UPTIME (seconds, 0..1e9) at its first timer_init; only tests set
// it. Returns 1, or 0 leaving the clock as it was for a value outside 0..1e9.
int timer_set_uptime(double seconds);
