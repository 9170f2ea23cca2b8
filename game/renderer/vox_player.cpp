// drawplayermodel: the body sprites posed from the player record, the leg and
// arm swing and the ground tint; rotateaxes and spinaboutaxis.
#include "renderer/vox_player.h"

#include <cmath>
#include <initializer_list>

#include "common/kv6_dirtable.h"
#include "common/map_query.h"
#include "common/timer.h"
#include "renderer/vox_sprite.h"

int32_t vox_ground_shade(const Vec3 *p)
{
    const float lim = 1073741824.0f;
    if (!voxel_map.loaded || !(std::fabs(p->x) < lim && std::fabs(p->y) < lim && std::fabs(p->z) < lim))
        return VOX_SHADE_NEUTRAL;
    const int32_t x = (int32_t)p->x, y = (int32_t)p->y, z = (int32_t)p->z;
    const VoxelColour *c = map_colour_ptr(x, y, map_floor_z(x, y, z));
    return c ? (int32_t)VOXEL_SHADE(*c) : VOX_SHADE_NEUTRAL;
}

static Vec3 scaled(const Vec3 &v, float k) { return Vec3{k * v.x, k * v.y, k * v.z}; }

// The arm pitch of the tool in hand, 0 with none.
static float arm_pitch(const PlayerRecord *p)
{
    if (p->keys[KEY_SPRINT]) return -0.7853982f;
    const bool charging = p->tool == TOOL_GRENADE || (p->tool == TOOL_SPADE && p->secondary);
    const float d = (float)(game_time - (charging ? p->grenade_fuse_end : p->next_use));
    if (!(d < 0.0f)) return 0.0f;
    switch (p->tool) {
    case TOOL_SPADE: return p->secondary ? -d - 1.0f : 4.0f * d;
    case TOOL_BLOCK: return d;
    case TOOL_GUN: return -0.5f * d;
    case TOOL_GRENADE: return (d + 3.0f) * 0.5f;
    default: return 0.0f;
    }
}

// Swings the legs while the player moves: a triangle wave of period P ms
// (shorter while sprinting) scaled by the forward and sideways speed.
static void swing_legs(PlayerRecord *p)
{
    if (!(std::fabs(p->velocity.x) > 0.01f || std::fabs(p->velocity.y) > 0.01f)) return;
    const double ms = game_time * 1000.0;
    if (!(std::fabs(ms) < 9.0e18)) return;
    const int64_t period = p->keys[KEY_SPRINT] ? 386 : 512;
    const float wave = p->keys[KEY_CROUCH] ? 0.028f : 0.016f;
    const int64_t t = (int64_t)ms;
    const bool first_half = t % (2 * period) < period;
    const float phase = (float)(t % period - period / 2);
    const float a = phase * wave * (p->velocity.x * p->forward.x + p->velocity.y * p->forward.y);
    const float b = phase * wave * (p->velocity.x * p->right.x + p->velocity.y * p->right.y);
    SpriteInstance *left = &p->sprites[SPRITE_LEG_LEFT], *right = &p->sprites[SPRITE_LEG_RIGHT];
    const float sign = first_half ? 1.0f : -1.0f;
    rotateaxes(0.0f, -sign * a, sign * b, &left->xaxis, &left->yaxis, &left->zaxis);
    rotateaxes(0.0f, sign * a, -sign * b, &right->xaxis, &right->yaxis, &right->zaxis);
}

// 1 when the player carries the other team's intel in capture the flag.
static bool carries_intel(const PlayerRecord *p, const PlayerDrawMode *mode)
{
    if (!mode || !mode->capture_the_flag || !mode->objectives) return false;
    const uint32_t intel = p->team == TEAM_BLUE ? 1 : 0;
    return intel < mode->count && mode->objectives[intel].owner == p->id;
}

void drawplayermodel(PlayerRecord *player, int fog, const PlayerDrawMode *mode)
{
    if (!player) return;
    PlayerRecord &p = *player;
    SpriteInstance *s = p.sprites;
    const int32_t g = fog ? vox_ground_shade(&p.position) : VOX_SHADE_NEUTRAL;
    modeltint = fog ? (uint32_t)g * 0x010101u : VOX_TINT_NEUTRAL;

    // Horizontal forward, from the right vector.
    const bool differ = std::signbit(p.right.x) != std::signbit(p.forward.y);
    const float hfx = differ ? p.right.y : -p.right.y, hfy = differ ? -p.right.x : p.right.x;
    const float vx = 0.3f * hfx, vy = 0.3f * hfy;

    if (!p.alive) {
        s[SPRITE_DEAD].position = p.position;
        rendermodel(&s[SPRITE_DEAD], fog, nullptr);
        return;
    }

    const Vec3 &e = p.eye;
    const bool crouch = p.keys[KEY_CROUCH] != 0;
    SpriteInstance &head = s[SPRITE_HEAD], &torso = s[SPRITE_TORSO], &arms = s[SPRITE_ARMS];
    SpriteInstance &held = s[SPRITE_HELD], &left = s[SPRITE_LEG_LEFT], &right = s[SPRITE_LEG_RIGHT];
    const Vec3 upper{e.x, e.y, e.z + 0.3f};
    head.position = torso.position = arms.position = held.position = upper;
    left.position = Vec3{e.x - 0.25f * p.right.x, e.y - 0.25f * p.right.y, 0.0f};
    right.position = Vec3{e.x + 0.25f * p.right.x, e.y + 0.25f * p.right.y, 0.0f};
    if (crouch) {
        arms.position.z = held.position.z = e.z + 0.4f;
        for (SpriteInstance *leg : {&left, &right}) {
            leg->position.x -= vx;
            leg->position.y -= vy;
            leg->position.z = e.z + 0.7f;
        }
    } else {
        arms.position.z = held.position.z = e.z + 0.5f;
        left.position.z = right.position.z = e.z + 1.1f;
    }

    head.xaxis.x = -0.1f * p.right.x;
    head.xaxis.y = -0.1f * p.right.y;
    head.yaxis = scaled(p.forward, 0.1f);
    head.zaxis = scaled(p.down, 0.1f);
    torso.xaxis = head.xaxis;
    torso.yaxis.x = 0.1f * hfx;
    torso.yaxis.y = 0.1f * hfy;
    arms.xaxis = head.xaxis;
    arms.yaxis = head.yaxis;
    arms.zaxis = head.zaxis;
    for (SpriteInstance *leg : {&left, &right}) {
        leg->xaxis = head.xaxis;
        leg->yaxis = torso.yaxis;
        leg->zaxis = torso.zaxis;
    }

    if (carries_intel(&p, mode)) {
        SpriteInstance &intel = s[SPRITE_INTEL];
        intel.position = Vec3{e.x - vx, e.y - vy, crouch ? e.z + 0.5f : e.z + 1.0f};
        intel.xaxis = torso.xaxis;
        intel.yaxis = torso.yaxis;
        intel.zaxis = torso.zaxis;
        rendermodel(&intel, fog, nullptr);
    }

    swing_legs(&p);
    const float pitch = arm_pitch(&p);
    if (pitch != 0.0f) rotateaxes(0.0f, pitch, 0.0f, &arms.xaxis, &arms.yaxis, &arms.zaxis);
    held.xaxis = scaled(arms.xaxis, 0.65f);
    held.yaxis = scaled(arms.yaxis, 0.65f);
    held.zaxis = scaled(arms.zaxis, 0.65f);

    for (const SpriteInstance *part : {&head, &torso, &arms, &left, &right}) rendermodel(part, fog, nullptr);

    if (p.tool == TOOL_BLOCK) {
        const uint32_t keep = modeltint & 0xFF000000u;
        uint32_t tint = 0;
        for (int k = 0; k < 3; k++) tint |= (((p.colour >> (8 * k)) & 0xFF) * (uint32_t)g / 127u) << (8 * k);
        modeltint = keep | tint;
        rendermodel(&held, fog, nullptr);
        modeltint = VOX_TINT_NEUTRAL;
    } else {
        rendermodel(&held, fog, nullptr);
    }
}

void rotateaxes(float a1, float a2, float a3, Vec3 *s, Vec3 *h, Vec3 *f)
{
    float k1, s1, k2, s2, k3, s3;
    getsincos(a1, &k1, &s1);
    getsincos(a2, &k2, &s2);
    getsincos(a3, &k3, &s3);
    const float m[3][3] = {
        {s1 * s2 * s3 + k1 * k3, -s1 * k2, s1 * s2 * k3 - k1 * s3},
        {s1 * k3 - k1 * s2 * s3, k1 * k2, -k1 * s2 * k3 - s1 * s3},
        {k2 * s3, s2, k2 * k3},
    };
    const Vec3 os = *s, oh = *h, of = *f;
    Vec3 *out[3] = {s, h, f};
    for (int i = 0; i < 3; i++) {
        out[i]->x = m[i][0] * os.x + m[i][1] * oh.x + m[i][2] * of.x;
        out[i]->y = m[i][0] * os.y + m[i][1] * oh.y + m[i][2] * of.y;
        out[i]->z = m[i][0] * os.z + m[i][1] * oh.z + m[i][2] * of.z;
    }
}

void spinaboutaxis(Vec3 *point, const Vec3 *axis, float angle)
{
    const float len = std::sqrt(axis->x * axis->x + axis->y * axis->y + axis->z * axis->z);
    if (!(len > 0.0f) || !std::isfinite(len)) return;
    const float x = axis->x / len, y = axis->y / len, z = axis->z / len;
    float co, si;
    getsincos(angle, &co, &si);
    const float k = 1.0f - co;
    const Vec3 p = *point;
    point->x = (co + x * x * k) * p.x + (x * y * k - z * si) * p.y + (x * z * k + y * si) * p.z;
    point->y = (x * y * k + z * si) * p.x + (co + y * y * k) * p.y + (y * z * k - x * si) * p.z;
    point->z = (x * z * k - y * si) * p.x + (y * z * k + x * si) * p.y + (co + z * z * k) * p.z;
}
