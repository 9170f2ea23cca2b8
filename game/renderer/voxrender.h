// The software voxel renderer: include this for the whole interface.
//   startrenderer -> per frame: voxsetframebuffer, setviewpoint, renderworld,
//   rendermodel / drawplayermodel, primitives (blitpicture, plotline,
//   fillsphere, ...), printtext6x8 -> closerenderer at shutdown.
//   decodepng/loadpngfile load pictures.
#pragma once
#include "renderer/vox_blit.h"
#include "renderer/vox_camera.h"
#include "renderer/vox_cpu.h"
#include "renderer/vox_png.h"
#include "renderer/vox_pool.h"
#include "renderer/vox_prim.h"
#include "renderer/vox_player.h"
#include "renderer/vox_sprite.h"
#include "renderer/vox_start.h"
#include "renderer/vox_text.h"
#include "renderer/vox_world.h"
