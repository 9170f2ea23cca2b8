// The client's 37 loaded models by slot. The player rules point body and held
// sprites at these slots; on the server every slot stays null.
#pragma once
#include "common/model_types.h"

enum ModelSlot {
    MODEL_SPADE_3 = 0,
    MODEL_BLOCK_3 = 1,
    MODEL_SEMI_3 = 2,
    MODEL_SMG_3 = 3,
    MODEL_SHOTGUN_3 = 4,
    MODEL_GRENADE_3 = 5,
    MODEL_SPADE = 6,      // first-person models 6..11
    MODEL_BLOCK = 7,
    MODEL_SEMI = 8,
    MODEL_SMG = 9,
    MODEL_SHOTGUN = 10,
    MODEL_GRENADE = 11,
    MODEL_HEAD_B = 12,    // team 0 body 12..18
    MODEL_TORSO_B = 13,
    MODEL_TORSOC_B = 14,
    MODEL_ARMS_B = 15,
    MODEL_LEG_B = 16,
    MODEL_LEGC_B = 17,
    MODEL_DEAD_B = 18,
    MODEL_HEAD_G = 19,    // team 1 body 19..25
    MODEL_TORSO_G = 20,
    MODEL_TORSOC_G = 21,
    MODEL_ARMS_G = 22,
    MODEL_LEG_G = 23,
    MODEL_LEGC_G = 24,
    MODEL_DEAD_G = 25,
    MODEL_INTEL_B = 26,
    MODEL_INTEL_G = 27,
    MODEL_CP_B = 28,
    MODEL_CP_G = 29,
    MODEL_CP_N = 30,
    MODEL_SEMITRACER = 31,
    MODEL_SMGTRACER = 32,
    MODEL_SHOTGUNTRACER = 33,
    MODEL_SEMICASING = 34,
    MODEL_SMGCASING = 35,
    MODEL_SHOTGUNCASING = 36,
    MODEL_SLOT_COUNT = 37,
};

// Filled by the client when the game state arrives; null until then.
extern Kv6Model *model_table[MODEL_SLOT_COUNT];

// The model of a slot, or null for a slot outside the table.
inline Kv6Model *model_slot(int slot)
{
    return slot >= 0 && slot < MODEL_SLOT_COUNT ? model_table[slot] : nullptr;
}
