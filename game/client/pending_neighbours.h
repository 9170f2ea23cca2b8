// PENDING: the renderer's PNG decoder is not on this branch yet. These are its
// declarations under the names the client game calls; pending_neighbours.cpp
// stands in for it (every picture absent, which the drawing code skips).
// Delete both files when renderer/vox_png.h merges and include it instead
// (only game_assets.cpp includes this).
#pragma once
#include <cstdint>

typedef uint32_t PngImage;
void loadpngfile(const char *path, PngImage **out, int32_t width, int32_t height);
