#include "common/weapon.h"

#include "common/model_table.h"

WeaponInfo weapon_table[WEAPON_COUNT] = {
    {MODEL_SEMI, MODEL_SEMI_3, MODEL_SEMITRACER, MODEL_SEMICASING, nullptr,
     {49, 100, 33, 33, 38}, 50, "wav/semishoot.wav", "wav/semireload.wav",
     0.5f, 2.5f, 0.003f, -0.05f, 0.0001f, 10, 50, 1, 1, 0},
    {MODEL_SMG, MODEL_SMG_3, MODEL_SMGTRACER, MODEL_SMGCASING, nullptr,
     {29, 75, 18, 18, 38}, 34, "wav/smgshoot.wav", "wav/smgreload.wav",
     0.1f, 2.5f, 0.006f, -0.0125f, 0.00005f, 30, 120, 1, 1, 0},
    {MODEL_SHOTGUN, MODEL_SHOTGUN_3, MODEL_SHOTGUNTRACER, MODEL_SHOTGUNCASING, nullptr,
     {27, 37, 16, 16, 38}, 34, "wav/shotgunshoot.wav", "wav/shotgunreload.wav",
     1.0f, 0.5f, 0.012f, -0.1f, 0.0002f, 6, 48, 0, 8, 25},
};
