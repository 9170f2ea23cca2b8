#include "common/rng.h"

static uint32_t rng_value = 1;

void rng_srand(uint32_t seed) { rng_value = seed; }

int rng_rand()
{
    rng_value = rng_value * 214013u + 2531011u;
    return (int)((rng_value >> 16) & 0x7FFF);
}

uint32_t rng_state() { return rng_value; }
