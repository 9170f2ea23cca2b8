// KV6 model files: loading, freeing, and building models in the same single-
// allocation layout (debris from detached block groups).
#pragma once
#include <cstdint>

#include "common/model_types.h"

// Called for the loader's fatal failures with "could not load kv6 file" (file
// missing, unreadable or malformed) or "loadkv6 malloc not 32-bit aligned".
// The client installs its fatal-error exit here; the default prints the text
// to stderr and exits with status 1. A handler that returns makes loadkv6
// return null instead (tests, tools).
typedef void (*Kv6FatalHandler)(const char *text);
void kv6_set_fatal_handler(Kv6FatalHandler handler);

// Loads one model. Returns the new model, or null when its allocation failed
// (no message) or the fatal handler returned. Every file is validated before
// use: non-negative sizes, the file long enough for what the header claims,
// counts that add up, z ascending and inside the model. A model with zsize
// KV6_MAX_ZSIZE or more loads; the renderer declines to draw it. Free the
// result with discardmodel.
Kv6Model *loadkv6(const char *path);

// The same validation and decoding over a file image held in memory (the
// whole file, from its format tag). Returns null on malformed data or failed
// allocation; never calls the fatal handler.
Kv6Model *kv6_load_from_memory(const uint8_t *data, int64_t size);

// Frees a model from loadkv6, kv6_model_alloc or the debris builder (all are
// one block from the general allocator). Null is ignored.
void discardmodel(Kv6Model *model);

// One zero-filled block for a model with these sizes: header, voxel array,
// slice counts and column counts, with the sizes, voxelcount and the three
// references set (pivots 0). Returns null when the sizes are negative, too
// large, or the allocation fails.
Kv6Model *kv6_model_alloc(int32_t xsize, int32_t ysize, int32_t zsize, int32_t voxelcount);

// 1 when the model satisfies the layout invariants of model_types.h, else 0.
int kv6_model_valid(const Kv6Model *model);
