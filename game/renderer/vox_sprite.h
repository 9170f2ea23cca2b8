// Posed KV6 models: drawing into the bound frame and its z-buffer for the
// current camera, the view-frustum test and the hit test of a line against a
// model's box. Models are drawn after the world of the same frame, in any
// order among themselves.
#pragma once
#include <cstdint>

#include "common/math_vec.h"
#include "common/model_types.h"

// Scales the model lighting per channel (bytes blue, green, red, fourth);
// 0x7F7F7F is neutral. The client sets it before a tinted draw and restores
// the neutral value afterwards.
#define VOX_TINT_NEUTRAL 0x7F7F7Fu
extern uint32_t modeltint;

// Draws the sprite's model: one lit rectangle per visible voxel, depth-tested
// against the z-buffer. `fog` non-zero fades the model toward the fog colour
// by its horizontal distance from the camera; `light` is a direction (three
// floats) or null for the default light. Call after voxsetframebuffer and
// setviewpoint. Draws nothing when no frame is bound, the model is null or
// malformed (counts that do not add up), zsize is KV6_MAX_ZSIZE or more, the
// position, axes, pivots or light are not finite, and for a voxel with any
// corner behind the camera's plane.
void rendermodel(const SpriteInstance *sprite, int fog, const Vec3 *light);

// The sprite pass on the drawing threads: the models drawn by rendermodel
// and drawplayermodel between vox_sprite_list_begin and vox_sprite_list_end
// are found as each is called and written, in the order they were drawn, at
// the end, with the pixels and depths they would have had drawn one by one.
// Any other drawing of the renderer (world, pictures, primitives, text) and
// a bind or closerenderer end the list first; until it ends the caller must
// not read the frame or its z-buffer. begin returns 1 when listing; with one
// drawing thread (or a cube kernel other than the installed set's own) it
// returns 0 and models are drawn at once. end draws what is listed and stops
// listing (nothing when not listing). A model of many voxels drawn outside a
// list is listed and drawn by itself.
int vox_sprite_list_begin();
void vox_sprite_list_end();

// 1 when the model's box may be seen, 0 when it lies wholly outside one of the
// four side planes of the current camera's view (and for a null model or a
// position or axes that are not finite).
int testspritevisible(const SpriteInstance *sprite);

// Where the line from `start` along `direction` (no length limit forward)
// enters the model's box: 1 and the world point in *hit (the start itself
// when it lies inside), else 0 (*hit then meaningless). Exact for orthogonal
// axes. A null model, an axis of length 0 or input that is not finite misses.
int raytestsprite(const Vec3 *start, const Vec3 *direction, const SpriteInstance *sprite, Vec3 *hit);

// a clamped to [low, high] with one unsigned comparison.
int32_t clampbetween(int32_t a, int32_t low, int32_t high);
