// The software voxel renderer: include this for the whole interface.
//   startrenderer -> per frame: voxsetframebuffer, setviewpoint, renderworld,
//   rendermodel / drawplayermodel, printtext6x8 -> closerenderer at shutdown.
#pragma once
#include "renderer/vox_camera.h"
#include "renderer/vox_cpu.h"
#include "renderer/vox_player.h"
#include "renderer/vox_sprite.h"
#include "renderer/vox_start.h"
#include "renderer/vox_text.h"
#include "renderer/vox_world.h"
