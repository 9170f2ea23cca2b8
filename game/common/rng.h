// The project's deterministic 15-bit generator, with the contract of the
// classic runtime rand/srand, so generated maps, jitter and spread are the
// same on every machine. One global state, as the runtime's.
#pragma once
#include <cstdint>

#define RNG_MAX 0x7FFF

// Seeds the generator (the runtime's srand). The unseeded state is 1.
void rng_srand(uint32_t seed);
// Next value in 0..RNG_MAX: state = state * 214013 + 2531011; (state >> 16) & 0x7FFF.
int rng_rand();
// The raw 32-bit state, for tests and save/restore around a deterministic run.
uint32_t rng_state();
