// The client's 37 models, described as primitives (ag_models.cpp).
#pragma once
#include "ag_voxel.h"

// In the client's slot order (SPADE_3 first, SHOTGUNCASING last).
extern const VoxModelDesc model_descs[];
extern const int model_desc_count;
