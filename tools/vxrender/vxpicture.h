// vxrender's pictures: PNG files placed on the frame with the renderer's own
// decoder and picture blit.
#pragma once
#include <cstdint>

// Usage lines for the options below.
extern const char *const vxpicture_usage;

// Takes one command-line option with its value: --picture FILE starts a new
// picture; --picture-at X,Y (top-left corner, pixels, default 0,0),
// --picture-zoom Z (default 1) and --picture-colour AARRGGBB (hex; default
// FFFFFFFF: blended by its alpha; 0: plain copy) change the last one.
// Returns 1 taken (the value consumed), 0 not a picture option, -1 a missing
// or bad value, or too many pictures.
int vxpicture_option(const char *option, const char *value);

// Loads every picture (its size from its own header) and draws it into the
// bound frame. 1 all drawn, 0 a picture could not be loaded (said on stderr).
int vxpicture_draw();
