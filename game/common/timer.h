// The game clock: float seconds since the program started its clock.
#pragma once

// Game clock in seconds, and the seconds covered by the current step. The
// client's frame and the server's tick set them; timer_start zeroes game_step.
extern float game_time;
extern float game_step;

// Reads the counter frequency and takes the current counter as the start.
void timer_init();
// Writes the seconds since the start into *out and returns out.
float *timer_read(float *out);
// timer_init, then timer_read into *out, then game_step = 0.
void timer_start(float *out);
