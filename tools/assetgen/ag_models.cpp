// The client's models as data: every model is a size, a pivot and a list of
// primitives painted in order (later ones over earlier ones).
//
// Model axes are those the client poses with: +x is the model's left (the
// client's x axis is minus the player's right), +y forward, +z down, z 0 the
// top. Sizes of the body parts are fixed: the client refuses others. Pure
// black (TEAM) becomes the team colour at load, in every model whose name
// has '_' and does not end in 'N' (the held tools too, with team 0's
// colour, so they use no black at all).
#include "ag_models.h"

#include <iterator>

// Palette.
static const uint32_t TEAM = VOX_TEAM;
static const uint32_t SKIN = 0xD8A070, SKIN_DARK = 0xB47E52, HAIR = 0x3E2A1C, EYE = 0x1E2430, MOUTH = 0x8C4A3C;
static const uint32_t BOOT = 0x3C2C20, BELT = 0x5C4024, BUCKLE = 0xC8A850, WEBBING = 0x6E6242, POUCH = 0x585030;
static const uint32_t GUNMETAL = 0x363A3E, GUNMETAL_LIGHT = 0x545A60, STEEL = 0x9AA0A8, STEEL_DARK = 0x6C7278;
static const uint32_t POLYMER = 0x2C2C2A, WOOD = 0x8E5628, WOOD_DARK = 0x643C1C, GLASS = 0x4C8CB4;
static const uint32_t BRASS = 0xCBA43E, BRASS_DARK = 0x967628, SHELL_RED = 0xA8261C;
static const uint32_t OLIVE = 0x5A6634, OLIVE_DARK = 0x3C4622;
static const uint32_t BLOCK_FACE = 0x8C8C8C, BLOCK_EDGE = 0x727272;
static const uint32_t SANDBAG = 0xAC9C6C, SANDBAG_DARK = 0x8A7C54, FLAG_WHITE = 0xE6E6DE;
static const uint32_t TRACER_HOT = 0xFFF4B0, TRACER_SEMI = 0xFFD040, TRACER_SMG = 0xFF9030, TRACER_SHOT = 0xFFE6C8;

// Where the client holds a tool: it adds a per-tool shift to the held
// model's pivot (spade +6 -12 +2; block and grenade +5 -13 0; guns +6 -18 0)
// and poses it at the arms' place with 0.65 of their axes. A held pivot of
// grip - shift - HAND puts the tool's grip into the right hand of the arms
// model, HAND / 0.65 from the arms' pivot (towards the right, forward, up).
static constexpr VoxPoint HAND = {-6.0f, 12.0f, -2.0f};
static constexpr VoxPoint held_pivot(VoxPoint grip, VoxPoint shift)
{
    return {grip.x - shift.x - HAND.x, grip.y - shift.y - HAND.y, grip.z - shift.z - HAND.z};
}
static constexpr VoxPoint SHIFT_SPADE = {6, -12, 2}, SHIFT_BLOCK = {5, -13, 0}, SHIFT_GUN = {6, -18, 0};

#define PRIMS(list) list, (int32_t)std::size(list)

// ---- Tools in the first-person view (0.005 per voxel, also the tool row,
// the weapon menu and, for the grenade, the thrown grenade at 0.05). ----

static const VoxPrim spade[] = {
    {VOX_BOX, WOOD_DARK, {0, 0, 1}, {4, 0, 2}},        // D-grip crossbar
    {VOX_BOX, WOOD_DARK, {0, 1, 1}, {0, 3, 2}},        // D-grip sides
    {VOX_BOX, WOOD_DARK, {4, 1, 1}, {4, 3, 2}},
    {VOX_BOX, WOOD, {1, 4, 1}, {3, 5, 2}},             // grip socket
    {VOX_BOX, WOOD, {2, 6, 1}, {2, 19, 2}},            // shaft
    {VOX_BOX, STEEL_DARK, {1, 18, 1}, {3, 20, 2}},     // collar
    {VOX_BOX, STEEL, {0, 21, 1}, {4, 26, 2}},          // blade
    {VOX_BOX, STEEL, {1, 27, 1}, {3, 27, 2}},          // rounded tip
    {VOX_PAINT, STEEL_DARK, {2, 21, 1}, {2, 25, 1}},   // spine
};

static const VoxPrim block[] = {
    {VOX_BOX, BLOCK_FACE, {0, 0, 0}, {7, 7, 7}},
    {VOX_EDGES, BLOCK_EDGE, {0, 0, 0}, {7, 7, 7}},
};

// Semi-automatic rifle: wooden stock and fore-end, scope, slender barrel.
static const VoxPrim semi[] = {
    {VOX_BOX, WOOD, {1, 0, 3}, {3, 8, 8}},             // butt
    {VOX_BOX, WOOD_DARK, {1, 0, 3}, {3, 0, 8}},        // butt plate
    {VOX_CUT, 0, {1, 4, 8}, {3, 8, 8}},                // butt tapers to the wrist
    {VOX_BOX, WOOD, {1, 9, 3}, {3, 12, 6}},            // wrist
    {VOX_BOX, GUNMETAL, {1, 12, 2}, {3, 19, 5}},       // receiver
    {VOX_BOX, GUNMETAL_LIGHT, {2, 13, 6}, {2, 15, 7}}, // trigger guard
    {VOX_BOX, GUNMETAL, {1, 16, 6}, {3, 18, 8}},       // magazine
    {VOX_BOX, WOOD, {1, 20, 3}, {3, 28, 5}},           // fore-end
    {VOX_BOX, GUNMETAL, {2, 20, 2}, {2, 35, 2}},       // barrel
    {VOX_BOX, GUNMETAL_LIGHT, {2, 35, 1}, {2, 35, 1}}, // front sight
    {VOX_BOX, STEEL, {0, 17, 3}, {0, 17, 3}},          // bolt handle
    {VOX_BOX, GUNMETAL_LIGHT, {2, 13, 1}, {2, 13, 1}}, // scope mounts
    {VOX_BOX, GUNMETAL_LIGHT, {2, 18, 1}, {2, 18, 1}},
    {VOX_BOX, POLYMER, {1, 11, 0}, {3, 20, 0}},        // scope tube
    {VOX_PAINT, GLASS, {1, 11, 0}, {3, 11, 0}},        // lenses
    {VOX_PAINT, GLASS, {1, 20, 0}, {3, 20, 0}},
};

// Submachine gun: short and square, long straight magazine, wire stock.
static const VoxPrim smg[] = {
    {VOX_BOX, GUNMETAL, {1, 5, 1}, {3, 18, 4}},        // receiver
    {VOX_BOX, GUNMETAL_LIGHT, {1, 19, 1}, {3, 21, 3}}, // barrel shroud
    {VOX_PAINT, POLYMER, {1, 20, 2}, {3, 20, 2}},      // cooling slots
    {VOX_BOX, GUNMETAL, {2, 22, 2}, {2, 24, 2}},       // muzzle
    {VOX_BOX, GUNMETAL_LIGHT, {2, 17, 0}, {2, 17, 0}}, // front sight
    {VOX_BOX, GUNMETAL_LIGHT, {2, 6, 0}, {2, 6, 0}},   // rear sight
    {VOX_BOX, POLYMER, {1, 8, 5}, {3, 10, 9}},         // pistol grip
    {VOX_BOX, GUNMETAL_LIGHT, {2, 11, 5}, {2, 12, 6}}, // trigger guard
    {VOX_BOX, GUNMETAL, {1, 14, 5}, {3, 16, 11}},      // magazine
    {VOX_BOX, STEEL_DARK, {0, 12, 2}, {0, 12, 2}},     // cocking handle
    {VOX_ROD, STEEL_DARK, {2.5f, 5, 2.5f}, {2.5f, 0.5f, 2.5f}, 0.5f}, // wire stock
    {VOX_ROD, STEEL_DARK, {2.5f, 0.5f, 2.5f}, {2.5f, 0.5f, 6.5f}, 0.5f},
    {VOX_ROD, STEEL_DARK, {2.5f, 0.5f, 6.5f}, {2.5f, 7, 5.5f}, 0.5f},
};

// Shotgun: thick barrel over a tube magazine, ribbed pump, dark stock.
static const VoxPrim shotgun[] = {
    {VOX_BOX, WOOD_DARK, {1, 0, 3}, {3, 9, 7}},        // butt
    {VOX_BOX, POLYMER, {1, 0, 3}, {3, 0, 7}},          // recoil pad
    {VOX_CUT, 0, {1, 5, 7}, {3, 9, 7}},
    {VOX_BOX, WOOD_DARK, {1, 10, 3}, {3, 12, 5}},      // wrist
    {VOX_BOX, GUNMETAL, {1, 12, 1}, {3, 18, 5}},       // receiver
    {VOX_BOX, GUNMETAL_LIGHT, {2, 13, 6}, {2, 16, 6}}, // trigger guard
    {VOX_BOX, GUNMETAL, {1, 19, 1}, {3, 35, 2}},       // barrel
    {VOX_BOX, GUNMETAL_LIGHT, {1, 19, 3}, {3, 32, 3}}, // tube magazine
    {VOX_BOX, WOOD, {0, 21, 3}, {4, 27, 5}},           // pump
    {VOX_PAINT, WOOD_DARK, {0, 22, 3}, {4, 22, 5}},    // pump ribs
    {VOX_PAINT, WOOD_DARK, {0, 24, 3}, {4, 24, 5}},
    {VOX_PAINT, WOOD_DARK, {0, 26, 3}, {4, 26, 5}},
    {VOX_PAINT, POLYMER, {2, 35, 1}, {2, 35, 2}},      // bore
    {VOX_BOX, BRASS, {2, 34, 0}, {2, 34, 0}},          // bead sight
};

// Pineapple grenade: grooved olive body, fuse, lever and pin ring.
static const VoxPrim grenade[] = {
    {VOX_BALL, OLIVE, {0, 0, 3}, {6, 6, 9}},
    {VOX_PAINT, OLIVE_DARK, {0, 0, 5}, {6, 6, 5}},     // grooves
    {VOX_PAINT, OLIVE_DARK, {0, 0, 7}, {6, 6, 7}},
    {VOX_PAINT, OLIVE_DARK, {3, 0, 3}, {3, 6, 9}},
    {VOX_PAINT, OLIVE_DARK, {0, 3, 3}, {6, 3, 9}},
    {VOX_BOX, STEEL, {2, 2, 1}, {4, 4, 3}},            // fuse
    {VOX_BOX, STEEL_DARK, {3, 3, 0}, {3, 3, 0}},
    {VOX_BOX, STEEL_DARK, {3, 5, 1}, {3, 5, 1}},       // lever
    {VOX_BOX, STEEL_DARK, {3, 6, 2}, {3, 6, 6}},
    {VOX_BOX, BRASS, {0, 2, 1}, {1, 2, 1}},            // pin ring
    {VOX_BOX, BRASS, {0, 2, 2}, {0, 3, 2}},
};

// ---- Tools held by a player (0.065 per voxel). ----

static const VoxPrim spade_3[] = {
    {VOX_BOX, WOOD_DARK, {0, 0, 1}, {2, 0, 1}},        // grip
    {VOX_BOX, WOOD, {1, 1, 1}, {1, 10, 1}},            // shaft
    {VOX_BOX, STEEL, {0, 11, 1}, {2, 15, 1}},          // blade
    {VOX_BOX, STEEL_DARK, {1, 11, 0}, {1, 11, 2}},     // collar
};

static const VoxPrim block_3[] = {
    {VOX_BOX, BLOCK_FACE, {0, 0, 0}, {4, 4, 4}},
    {VOX_EDGES, BLOCK_EDGE, {0, 0, 0}, {4, 4, 4}},
};

static const VoxPrim semi_3[] = {
    {VOX_BOX, WOOD, {1, 0, 2}, {1, 5, 4}},             // stock
    {VOX_BOX, GUNMETAL, {1, 6, 1}, {1, 9, 3}},         // receiver
    {VOX_BOX, GUNMETAL, {1, 8, 4}, {1, 8, 4}},         // magazine
    {VOX_BOX, WOOD, {1, 10, 2}, {1, 13, 2}},           // fore-end
    {VOX_BOX, GUNMETAL, {1, 10, 1}, {1, 17, 1}},       // barrel
    {VOX_BOX, POLYMER, {0, 6, 0}, {2, 9, 0}},          // scope
    {VOX_PAINT, GLASS, {1, 6, 0}, {1, 6, 0}},
};

static const VoxPrim smg_3[] = {
    {VOX_BOX, GUNMETAL, {1, 2, 1}, {1, 9, 2}},         // receiver
    {VOX_BOX, GUNMETAL_LIGHT, {1, 10, 1}, {1, 11, 1}}, // barrel
    {VOX_BOX, POLYMER, {1, 4, 3}, {1, 4, 4}},          // grip
    {VOX_BOX, GUNMETAL, {0, 7, 3}, {2, 7, 5}},         // magazine
    {VOX_BOX, STEEL_DARK, {1, 0, 1}, {1, 1, 1}},       // wire stock
    {VOX_BOX, STEEL_DARK, {1, 0, 2}, {1, 0, 3}},
};

static const VoxPrim shotgun_3[] = {
    {VOX_BOX, WOOD_DARK, {1, 0, 2}, {1, 5, 4}},        // stock
    {VOX_BOX, GUNMETAL, {1, 6, 1}, {1, 8, 3}},         // receiver
    {VOX_BOX, GUNMETAL, {0, 9, 1}, {2, 16, 1}},        // barrel
    {VOX_BOX, GUNMETAL_LIGHT, {1, 9, 2}, {1, 14, 2}},  // tube magazine
    {VOX_BOX, WOOD, {0, 10, 2}, {2, 12, 3}},           // pump
};

static const VoxPrim grenade_3[] = {
    {VOX_BALL, OLIVE, {0, 0, 1}, {3, 3, 5}},
    {VOX_PAINT, OLIVE_DARK, {0, 0, 3}, {3, 3, 3}},
    {VOX_BOX, STEEL, {1, 1, 0}, {2, 2, 0}},
};

// ---- Body parts (0.1 per voxel): team uniform, skin, boots. ----

// Head 6 x 6 x 6, pivot at the neck: it turns with the view about there.
static const VoxPrim head[] = {
    {VOX_BOX, SKIN, {0, 0, 1}, {5, 5, 5}},
    {VOX_BOX, HAIR, {0, 0, 1}, {5, 0, 3}},             // hair at the back
    {VOX_BOX, TEAM, {0, 0, 0}, {5, 5, 1}},             // cap
    {VOX_PAINT, SKIN, {0, 5, 1}, {5, 5, 1}},           // forehead under the peak
    {VOX_PAINT, EYE, {1, 5, 2}, {1, 5, 2}},
    {VOX_PAINT, EYE, {4, 5, 2}, {4, 5, 2}},
    {VOX_PAINT, SKIN_DARK, {2, 5, 3}, {3, 5, 3}},      // nose
    {VOX_PAINT, MOUTH, {2, 5, 4}, {3, 5, 4}},
    {VOX_PAINT, SKIN_DARK, {0, 2, 2}, {0, 3, 3}},      // ears
    {VOX_PAINT, SKIN_DARK, {5, 2, 2}, {5, 3, 3}},
};

// Torso 8 x 4 x 9, pivot at the top centre (the client puts it 0.3 below the eye).
static const VoxPrim torso[] = {
    {VOX_BOX, TEAM, {0, 0, 0}, {7, 3, 8}},
    {VOX_PAINT, SKIN, {3, 1, 0}, {4, 3, 0}},           // neck
    {VOX_PAINT, WEBBING, {1, 0, 0}, {1, 3, 6}},        // braces
    {VOX_PAINT, WEBBING, {6, 0, 0}, {6, 3, 6}},
    {VOX_PAINT, BELT, {0, 0, 7}, {7, 3, 7}},
    {VOX_PAINT, BUCKLE, {3, 3, 7}, {4, 3, 7}},
    {VOX_PAINT, POUCH, {1, 3, 5}, {2, 3, 6}},          // pouches
    {VOX_PAINT, POUCH, {5, 3, 5}, {6, 3, 6}},
};

// Crouched torso 8 x 8 x 7: shoulders forward over the hips.
static const VoxPrim torso_crouched[] = {
    {VOX_BOX, TEAM, {0, 4, 0}, {7, 7, 1}},             // shoulders
    {VOX_BOX, TEAM, {0, 3, 2}, {7, 6, 3}},             // chest
    {VOX_BOX, TEAM, {0, 1, 4}, {7, 5, 5}},             // belly
    {VOX_BOX, BELT, {0, 0, 6}, {7, 4, 6}},             // belt over the hips
    {VOX_PAINT, BUCKLE, {3, 4, 6}, {4, 4, 6}},
    {VOX_PAINT, SKIN, {3, 4, 0}, {4, 5, 0}},           // neck
    {VOX_PAINT, WEBBING, {1, 3, 0}, {1, 7, 5}},        // braces
    {VOX_PAINT, WEBBING, {6, 3, 0}, {6, 7, 5}},
};

// Arms 12 x 10 x 6, pivot between the shoulders: both reach forward, the
// right hand where the held tool's grip goes.
static const VoxPrim arms[] = {
    {VOX_ROD, TEAM, {1, 1, 2.5f}, {2.2f, 6, 2}, 1.1f},        // right upper arm
    {VOX_ROD, TEAM, {2.2f, 6, 2}, {2.4f, 8, 1.6f}, 1.0f},     // right forearm
    {VOX_BALL, SKIN, {1, 8, 0}, {3, 9, 2}},                    // right hand
    {VOX_ROD, TEAM, {11, 1, 2.5f}, {9.5f, 5, 3.2f}, 1.1f},    // left upper arm
    {VOX_ROD, TEAM, {9.5f, 5, 3.2f}, {6.5f, 8, 2.2f}, 1.0f},  // left forearm
    {VOX_BALL, SKIN, {5, 8, 1}, {7, 9, 3}},                    // left hand
};

// Leg 3 x 5 x 12, pivot at the hip: it swings about there.
static const VoxPrim leg[] = {
    {VOX_BOX, TEAM, {0, 1, 0}, {2, 3, 9}},
    {VOX_PAINT, POUCH, {0, 3, 3}, {2, 3, 4}},          // thigh pocket
    {VOX_BOX, BOOT, {0, 1, 9}, {2, 3, 11}},            // boot
    {VOX_BOX, BOOT, {0, 4, 10}, {2, 4, 11}},           // toe
};

// Crouched leg 3 x 7 x 8: thigh forward from the hip, shin down from the knee.
static const VoxPrim leg_crouched[] = {
    {VOX_BOX, TEAM, {0, 0, 0}, {2, 6, 2}},             // thigh
    {VOX_BOX, TEAM, {0, 4, 3}, {2, 6, 5}},             // shin
    {VOX_BOX, BOOT, {0, 3, 6}, {2, 6, 7}},             // boot
    {VOX_PAINT, POUCH, {0, 3, 0}, {2, 4, 0}},          // thigh pocket
};

// Dead body lying on its back, head towards -y, feet towards +y.
static const VoxPrim dead[] = {
    {VOX_BALL, SKIN, {3, 0, 0}, {8, 5, 3}},            // head
    {VOX_BOX, TEAM, {3, 0, 0}, {8, 1, 3}},             // cap
    {VOX_PAINT, EYE, {4, 3, 0}, {4, 3, 0}},
    {VOX_PAINT, EYE, {7, 3, 0}, {7, 3, 0}},
    {VOX_PAINT, MOUTH, {5, 5, 0}, {6, 5, 0}},
    {VOX_BOX, TEAM, {2, 6, 1}, {9, 14, 3}},            // torso
    {VOX_PAINT, BELT, {2, 14, 1}, {9, 14, 1}},
    {VOX_ROD, TEAM, {1.5f, 7.5f, 2.5f}, {0.5f, 13.5f, 2.5f}, 1.0f},  // right arm
    {VOX_BALL, SKIN, {0, 14, 2}, {1, 15, 3}},
    {VOX_ROD, TEAM, {10.5f, 7.5f, 2.5f}, {11.2f, 3.5f, 2.5f}, 1.0f}, // left arm thrown up
    {VOX_BALL, SKIN, {10, 1, 2}, {11, 2, 3}},
    {VOX_BOX, TEAM, {2, 15, 1}, {5, 21, 3}},           // legs
    {VOX_BOX, TEAM, {6, 15, 1}, {9, 20, 3}},
    {VOX_BOX, BOOT, {2, 22, 0}, {5, 23, 3}},           // boots, toes up
    {VOX_BOX, BOOT, {6, 21, 0}, {9, 22, 3}},
};

// ---- Objectives. ----

// Intel: a team-coloured case with a handle and metal trim.
static const VoxPrim intel[] = {
    {VOX_BOX, TEAM, {0, 0, 2}, {7, 2, 7}},
    {VOX_PAINT, STEEL, {0, 0, 2}, {7, 2, 2}},          // lid rim
    {VOX_PAINT, STEEL_DARK, {0, 0, 7}, {0, 2, 7}},     // corners
    {VOX_PAINT, STEEL_DARK, {7, 0, 7}, {7, 2, 7}},
    {VOX_PAINT, BUCKLE, {1, 0, 3}, {1, 2, 3}},         // latches
    {VOX_PAINT, BUCKLE, {6, 0, 3}, {6, 2, 3}},
    {VOX_PAINT, FLAG_WHITE, {3, 2, 4}, {4, 2, 5}},     // label
    {VOX_BOX, STEEL, {2, 1, 0}, {5, 1, 0}},            // handle
    {VOX_BOX, STEEL, {2, 1, 1}, {2, 1, 1}},
    {VOX_BOX, STEEL, {5, 1, 1}, {5, 1, 1}},
};

// Base or territory: a flag on a pole over a ring of sandbags.
static const VoxPrim command_post[] = {
    {VOX_CYL_Z, SANDBAG, {0, 0, 11}, {6, 6, 13}},
    {VOX_PAINT, SANDBAG_DARK, {0, 0, 12}, {6, 6, 12}},
    {VOX_CUT, 0, {2, 2, 11}, {4, 4, 11}},              // hollow top
    {VOX_BOX, STEEL, {3, 3, 1}, {3, 3, 12}},           // pole
    {VOX_BOX, BRASS, {3, 3, 0}, {3, 3, 0}},            // finial
    {VOX_BOX, TEAM, {4, 3, 1}, {6, 3, 5}},             // flag
    {VOX_BOX, TEAM, {0, 3, 2}, {2, 3, 5}},
    {VOX_CUT, 0, {0, 3, 2}, {2, 3, 2}},
};

// ---- Shots (tracers 0.1 per voxel, casings 0.02). ----

static const VoxPrim semi_tracer[] = {
    {VOX_BOX, TRACER_SEMI, {0, 0, 0}, {0, 11, 0}},
    {VOX_PAINT, TRACER_HOT, {0, 6, 0}, {0, 11, 0}},
};
static const VoxPrim smg_tracer[] = {
    {VOX_BOX, TRACER_SMG, {0, 0, 0}, {0, 7, 0}},
    {VOX_PAINT, TRACER_HOT, {0, 5, 0}, {0, 7, 0}},
};
static const VoxPrim shotgun_tracer[] = {
    {VOX_BOX, TRACER_SHOT, {0, 0, 0}, {0, 3, 0}},
};

static const VoxPrim semi_casing[] = {
    {VOX_CYL_Y, BRASS, {0, 0, 0}, {3, 7, 3}},          // body
    {VOX_BOX, BRASS, {1, 8, 1}, {2, 9, 2}},            // neck
    {VOX_PAINT, BRASS_DARK, {0, 0, 0}, {3, 0, 3}},     // rim
    {VOX_PAINT, STEEL, {1, 0, 1}, {2, 0, 2}},          // primer
};
static const VoxPrim smg_casing[] = {
    {VOX_BOX, BRASS, {0, 0, 0}, {2, 4, 2}},
    {VOX_PAINT, BRASS_DARK, {0, 0, 0}, {2, 0, 2}},
    {VOX_PAINT, STEEL, {1, 0, 1}, {1, 0, 1}},
};
static const VoxPrim shotgun_casing[] = {
    {VOX_CYL_Y, SHELL_RED, {0, 0, 0}, {4, 9, 4}},
    {VOX_PAINT, BRASS, {0, 0, 0}, {4, 2, 4}},          // brass head
    {VOX_PAINT, BRASS_DARK, {2, 0, 2}, {2, 0, 2}},     // primer
};

// First-person pivots sit under the middle of a tool's body, a little behind
// its centre: the view puts the pivot low and to the right of the eye, so
// the tool reaches from the screen's corner towards the crosshair, and the
// tool row and weapon menu spin it about nearly its centre.
const VoxModelDesc model_descs[] = {
    {"SPADE_3", {3, 16, 3}, held_pivot({1, 2, 1}, SHIFT_SPADE), PRIMS(spade_3), 4, 0},
    {"BLOCK_3", {5, 5, 5}, held_pivot({2, 2, 2}, SHIFT_BLOCK), PRIMS(block_3), 0, 0},
    {"SEMI_3", {3, 18, 5}, held_pivot({1, 5, 3}, SHIFT_GUN), PRIMS(semi_3), 4, 0},
    {"SMG_3", {3, 12, 6}, held_pivot({1, 4, 3}, SHIFT_GUN), PRIMS(smg_3), 4, 0},
    {"SHOTGUN_3", {3, 17, 5}, held_pivot({1, 5, 3}, SHIFT_GUN), PRIMS(shotgun_3), 4, 0},
    {"GRENADE_3", {4, 4, 6}, held_pivot({2, 2, 3}, SHIFT_BLOCK), PRIMS(grenade_3), 4, 0},
    {"SPADE", {5, 28, 4}, {2.5f, 9, 3}, PRIMS(spade), 6, 0},
    {"BLOCK", {8, 8, 8}, {4, 4, 4}, PRIMS(block), 0, 0},
    {"SEMI", {5, 36, 9}, {2.5f, 11, 6}, PRIMS(semi), 6, 0},
    {"SMG", {5, 25, 12}, {2.5f, 9, 5}, PRIMS(smg), 6, 0},
    {"SHOTGUN", {5, 36, 8}, {2.5f, 11, 6}, PRIMS(shotgun), 6, 0},
    {"GRENADE", {7, 7, 10}, {3.5f, 3.5f, 5.5f}, PRIMS(grenade), 8, 0},
    {"PLAYERHEAD_B", {6, 6, 6}, {3, 3, 6}, PRIMS(head), 6, 0},
    {"PLAYERTORSO_B", {8, 4, 9}, {4, 2, 0}, PRIMS(torso), 6, 0},
    {"PLAYERTORSOC_B", {8, 8, 7}, {4, 4, 0}, PRIMS(torso_crouched), 6, 0},
    {"PLAYERARMS_B", {12, 10, 6}, {6, 1, 2.5f}, PRIMS(arms), 6, 0},
    {"PLAYERLEG_B", {3, 5, 12}, {1.5f, 2.5f, 0}, PRIMS(leg), 6, 0},
    {"PLAYERLEGC_B", {3, 7, 8}, {1.5f, 1, 1.5f}, PRIMS(leg_crouched), 6, 0},
    {"PLAYERDEAD_B", {12, 24, 4}, {6, 12, 4}, PRIMS(dead), 6, 0},
    {"PLAYERHEAD_G", {6, 6, 6}, {3, 3, 6}, PRIMS(head), 6, 0},
    {"PLAYERTORSO_G", {8, 4, 9}, {4, 2, 0}, PRIMS(torso), 6, 0},
    {"PLAYERTORSOC_G", {8, 8, 7}, {4, 4, 0}, PRIMS(torso_crouched), 6, 0},
    {"PLAYERARMS_G", {12, 10, 6}, {6, 1, 2.5f}, PRIMS(arms), 6, 0},
    {"PLAYERLEG_G", {3, 5, 12}, {1.5f, 2.5f, 0}, PRIMS(leg), 6, 0},
    {"PLAYERLEGC_G", {3, 7, 8}, {1.5f, 1, 1.5f}, PRIMS(leg_crouched), 6, 0},
    {"PLAYERDEAD_G", {12, 24, 4}, {6, 12, 4}, PRIMS(dead), 6, 0},
    {"INTEL_B", {8, 3, 8}, {4, 1.5f, 8}, PRIMS(intel), 4, 0},
    {"INTEL_G", {8, 3, 8}, {4, 1.5f, 8}, PRIMS(intel), 4, 0},
    {"CP_B", {7, 7, 14}, {3.5f, 3.5f, 14}, PRIMS(command_post), 8, 0},
    {"CP_G", {7, 7, 14}, {3.5f, 3.5f, 14}, PRIMS(command_post), 8, 0},
    {"CP_N", {7, 7, 14}, {3.5f, 3.5f, 14}, PRIMS(command_post), 8, FLAG_WHITE},
    {"SEMITRACER", {1, 12, 1}, {0.5f, 6, 0.5f}, PRIMS(semi_tracer), 0, 0},
    {"SMGTRACER", {1, 8, 1}, {0.5f, 4, 0.5f}, PRIMS(smg_tracer), 0, 0},
    {"SHOTGUNTRACER", {1, 4, 1}, {0.5f, 2, 0.5f}, PRIMS(shotgun_tracer), 0, 0},
    {"SEMICASING", {4, 10, 4}, {2, 5, 2}, PRIMS(semi_casing), 0, 0},
    {"SMGCASING", {3, 5, 3}, {1.5f, 2.5f, 1.5f}, PRIMS(smg_casing), 0, 0},
    {"SHOTGUNCASING", {5, 10, 5}, {2.5f, 5, 2.5f}, PRIMS(shotgun_casing), 0, 0},
};
const int model_desc_count = (int)std::size(model_descs);
