// Simple maps for tools, tests and benchmarks, built into the world store.
#pragma once
#include <cstdint>

// Flat ground at z (0..63) with one grass colour, indexed.
void build_flat_map(int32_t ground);
// Rolling hills from the terrain height map of a seed: one span per column,
// coloured down to the deepest neighbour's top, indexed.
void build_hills_map(int32_t seed);
// Flat ground at z 50 with `count` pillars of random height built by edits.
void build_pillars_map(int32_t seed, int32_t count);
// Hills, then `edits` random block operations (build, destroy, dig, blast)
// clustered so that caves and overhangs form.
void build_random_map(int32_t seed, int32_t edits);
