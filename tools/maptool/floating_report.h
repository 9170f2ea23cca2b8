// maptool's floating-group report and generated maps.
#pragma once
#include <cstdint>
#include <cstdio>

// Runs the whole-map floating pass over the loaded map, printing one line per
// group found (seed, box, spans, blocks) and a total to out; the groups are
// cut from the in-memory map as they are found. Returns the number of groups.
int32_t floating_report(FILE *out);
