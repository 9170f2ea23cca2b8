// A plain voxel splatter for looking at models: every surface voxel becomes
// the screen rectangle around its projected cube, nearest wins, lit from
// its normal the way the game lights models. Not the game's renderer: the
// contact sheet uses it to show the generated models before the game's
// sprite drawer can.
#pragma once
#include <cstdint>
#include <vector>

#include "ag_canvas.h"
#include "common/model_types.h"

struct SplatView {
    Canvas *canvas;
    std::vector<float> depth; // canvas w * h
    float pos[3], right[3], down[3], forward[3];
    float focal;              // pixels; 0 = orthographic with `scale` pixels per unit
    float scale;
    float cx, cy;             // screen centre of the view axis
};

// Binds a canvas and clears the depth buffer.
void splat_begin(SplatView *v, Canvas *canvas);
// Draws a posed model. tint as the game's modeltint (0x7F7F7F neutral);
// light null = the sprite's default light, else a direction (x, y, z).
void splat_sprite(SplatView *v, const SpriteInstance *s, uint32_t tint, const float *light);
