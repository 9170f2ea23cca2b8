// Things placed in a vxrender scene besides the map: KV6 models (a file or a
// built figure) at a position and orientation, and posed players. Also the
// player posing that the renderer's tests and benchmark share.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/math_vec.h"
#include "common/player.h"

#define VXSCENE_MAX_MODELS 64

enum VxPose { VXPOSE_STAND = 0, VXPOSE_CROUCH = 1, VXPOSE_DEAD = 2 };

// A posed player: where he stands and what he holds and does.
struct VxPlayerPose {
    int32_t team;   // 0 or 1
    int32_t tool;   // Tool
    int32_t weapon; // Weapon, for the gun
    int32_t pose;   // VxPose
    Vec3 ground;    // the ground point under his feet
    float yaw;      // facing, radians (0 looks along +x)
    float swing;    // walk cycle 0..1; below 0 the legs stand still
    float use;      // seconds until the tool is ready again (arm pitch); 0 ready
    int32_t sprint;
    int32_t intel;  // carries the other team's intel
    uint32_t colour; // block colour 0xRRGGBB
};

// A pose with defaults: team 0, gun (semi), standing at (256, 256, 40),
// yaw 0, legs still, tool ready, block colour 0x7F7F7F.
VxPlayerPose vxscene_default_pose();

// Sets up slot `id` of the player table for a pose (the body models must be
// in the model table, see vxmodel_make_figures) and sets game_time for the
// walk cycle. Returns 1, or 0 when the pose holds an invalid team, tool or
// weapon. Draw it with vxscene_draw_player.
int vxscene_pose_player(int id, const VxPlayerPose *pose);
// drawplayermodel for slot `id` as posed, with fog; the intel objectives
// name him as carrier when his pose says so.
void vxscene_draw_player(int id, int fog);

// Adds a model from a --model value: comma-separated key=value items,
//   file=PATH.kv6 | fig=NAME (a built figure: head, torso, torsoc, arms, leg,
//   legc, dead, intel, spade, block, semi, smg, shotgun, grenade),
//   at=X:Y:Z (where the pivot stands; X:Y on the map's ground),
//   yaw=, pitch=, roll= (degrees), scale= (blocks per voxel, default 0.1),
//   light=X:Y:Z (default: the model's default light), nofog.
// Returns 1, or 0 with a message in err.
int vxscene_add_model(const char *value, char *err, size_t errlen);
// Adds a player from a --player value:
//   at=X:Y:Z (the ground under his feet; X:Y on the map's ground),
//   team=blue|green, tool=spade|block|semi|smg|shotgun|grenade,
//   pose=stand|crouch|dead, yaw=DEG, swing=0..1 (walk cycle),
//   use=SECONDS (tool not ready: arms pitched), colour=RRGGBB (held block),
//   sprint, intel.
// At most PLAYER_MAX players, posed in slots 0.. when drawn. Returns 1, or 0
// with a message in err.
int vxscene_add_player(const char *value, char *err, size_t errlen);
// Number of models and players added.
int vxscene_count();
// Draws everything added, after renderworld; fog as the client draws them.
void vxscene_draw(int fog);
// Draws the scene over the frame's world; with times > 0 first draws it that
// many times, each over a fresh world pass, and prints the mean time of the
// models and players alone.
void vxscene_draw_timed(int times);
// Frees the loaded models and the built figures; forgets everything added.
void vxscene_clear();
