// The gun and the grenade: recoil and pellet spread as tables worked from
// their formulas, hit claims for shots at known parts of a body, tracers and
// casings and their limit, and the grenade's pin, throw and explosion in the
// hand.
#include <cmath>

#include "client/game_controls.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_shooting.h"
#include "client/game_state.h"
#include "client/player_update.h"
#include "client_fixture.h"
#include "common/map_damage.h"
#include "common/map_edit.h"
#include "common/model_table.h"
#include "common/player.h"
#include "common/rng.h"
#include "common/timer.h"
#include "common/weapon.h"
#include "play_fixture.h"
#include "platform/plat_keys.h"
#include "platform/plat_log.h"

namespace {

// The first draws of the generator after rng_srand(1): the classic sequence
// of state = state x 214013 + 2531011, result (state >> 16) & 0x7FFF.
const int kDraws[24] = {41,    18467, 6334,  26500, 19169, 15724, 11478, 29358, 26962, 24464, 5705,  28145,
                        23281, 16827, 9961,  491,   2995,  11942, 4827,  5436,  32391, 14604, 3902,  153};

float offset(int r, float spread, bool aiming)
{
    return aiming ? ((float)r / 16383.5f - 1.0f) * spread : ((float)r / 8191.75f - 2.0f) * spread;
}

TEST(Recoil, KicksFromTheMillisecondClock)
{
    struct Case {
        const char *name;
        int weapon;
        int32_t millis;
        int moving, aiming, airborne, crouched;
        float pitch, yaw;
    } cases[] = {
        {"bit 9 clear negates", WEAPON_SEMI, 0, 0, 0, 0, 0, -0.05f, 0.02555f},
        {"bit 9 set keeps", WEAPON_SEMI, 1023, 0, 0, 0, 0, -0.05f, 0.02555f},
        {"middle of the wave", WEAPON_SEMI, 256, 0, 0, 0, 0, -0.05f, -0.00005f},
        {"middle, bit 9 set", WEAPON_SEMI, 768, 0, 0, 0, 0, -0.05f, 0.00005f},
        {"moving", WEAPON_SEMI, 0, 1, 0, 0, 0, -0.1f, 0.0511f},
        {"moving while aiming", WEAPON_SEMI, 0, 1, 1, 0, 0, -0.05f, 0.02555f},
        {"moving in the air", WEAPON_SEMI, 0, 1, 0, 1, 0, -0.2f, 0.1022f},
        {"crouched", WEAPON_SEMI, 0, 0, 0, 0, 1, -0.025f, 0.012775f},
        {"crouched in the air", WEAPON_SEMI, 0, 0, 0, 1, 1, -0.1f, 0.0511f},
        {"shotgun", WEAPON_SHOTGUN, 100, 0, 0, 0, 0, -0.1f, 0.0311f},
        {"smg, bit 9 of 1535 clear", WEAPON_SMG, 1535, 0, 0, 0, 0, -0.0125f, -0.012775f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PlayerRecord p{};
        p.id = 7;
        p.tool = TOOL_GUN;
        p.weapon = c.weapon;
        p.keys[KEY_LEFT] = c.moving;
        p.secondary = c.aiming;
        p.airborne = c.airborne;
        p.keys[KEY_CROUCH] = c.crouched;
        ShotRecoil r = game_shot_recoil(&p, c.millis);
        EXPECT_FLOAT_EQ(r.pitch, c.pitch);
        EXPECT_FLOAT_EQ(r.yaw, c.yaw);
    }
}

TEST(Spread, ThreeDrawsPerPelletOnTopOfTheLastDirection)
{
    rng_srand(1);
    for (int d : kDraws) ASSERT_EQ(rng_rand(), d);
    for (bool aiming : {true, false}) {
        SCOPED_TRACE(aiming);
        rng_srand(1);
        Vec3 d = {0.6f, -0.8f, 0.0f}, expected = d;
        for (int pellet = 0; pellet < 8; pellet++) {
            game_pellet_spread(&d, 0.012f, aiming);
            expected.x += offset(kDraws[3 * pellet], 0.012f, aiming);
            expected.y += offset(kDraws[3 * pellet + 1], 0.012f, aiming);
            expected.z += offset(kDraws[3 * pellet + 2], 0.012f, aiming);
            EXPECT_FLOAT_EQ(d.x, expected.x) << pellet;
            EXPECT_FLOAT_EQ(d.y, expected.y) << pellet;
            EXPECT_FLOAT_EQ(d.z, expected.z) << pellet;
        }
    }
    // The ends of the range: 0 gives -1 (or -2) spreads, 32767 gives +1 (or +2).
    EXPECT_FLOAT_EQ(offset(0, 0.003f, true), -0.003f);
    EXPECT_FLOAT_EQ(offset(32767, 0.003f, true), 0.003f);
    EXPECT_FLOAT_EQ(offset(0, 0.003f, false), -0.006f);
    EXPECT_FLOAT_EQ(offset(32767, 0.003f, false), 0.006f);
}

struct Shooting : PlayTest {
    void arm(int weapon)
    {
        me->weapon = weapon;
        me->magazine = weapon_info(weapon)->magazine_size;
        me->next_use = 0.0f;
    }
    // One shot: the trigger pressed for one frame.
    void shoot() { click(0); }
    // The game's own bodies, and player 5 of `team` standing `distance`
    // in front of the local player, who holds `weapon`.
    PlayerRecord *face_off(int weapon, int team, float distance)
    {
        pf_load_dist_models();
        me = pf_local_player(ME, TEAM_BLUE, weapon);
        PlayerRecord *t = pf_other_player(5, team, WEAPON_SMG, me->position.x + distance, me->position.y);
        pf_frames(30);
        ctest_standin_take(&tap);
        return t;
    }
};

TEST_F(Shooting, ShotgunPelletsFollowTheSpreadIntoTheSky)
{
    arm(WEAPON_SHOTGUN);
    pf_face(me, Vec3{me->eye.x + 1.0f, me->eye.y, me->eye.z - 1.0f});
    pf_frame();
    int base = world_object_count, from = plat_log_count();
    const Vec3 f = me->forward, eye = me->eye, r = me->right, dn = me->down, v = me->velocity;
    rng_srand(1);
    // The trigger's frame, up to the end of the player pass: the shot is appended.
    pf_button(0, true);
    pf_frame_players();
    ASSERT_EQ(world_object_count, base + 9);
    EXPECT_EQ(me->magazine, 5);
    EXPECT_EQ(ctest_sounds(from), std::vector<std::string>{"sound wav/shotgunshoot.wav -1000"});
    const float spread = weapon_info(WEAPON_SHOTGUN)->spread;
    const float lead = 128.0f - 8.0f * (std::fabs(f.x) + std::fabs(f.y) + std::fabs(f.z));
    Vec3 d = f, pellets[8];
    for (int k = 0; k < 8; k++) {
        SCOPED_TRACE(k);
        d.x += offset(kDraws[3 * k], spread, false);
        d.y += offset(kDraws[3 * k + 1], spread, false);
        d.z += offset(kDraws[3 * k + 2], spread, false);
        pellets[k] = d;
        const WorldObject *t = &world_objects[base + k];
        EXPECT_EQ(wobj_kind(t), OBJECT_TRACER);
        Vec3 vel = wobj_vec(t, WOBJ_VELOCITY);
        EXPECT_FLOAT_EQ(vel.x, d.x);
        EXPECT_FLOAT_EQ(vel.y, d.y);
        EXPECT_FLOAT_EQ(vel.z, d.z);
        // The tracer starts 8 ahead along the facing, not the pellet.
        EXPECT_FLOAT_EQ(t->position.x, eye.x + 8.0f * f.x);
        EXPECT_FLOAT_EQ(t->position.z, eye.z + 8.0f * f.z);
        EXPECT_FLOAT_EQ(wobj_distance(t), lead);
        EXPECT_FLOAT_EQ(t->xaxis.x, -0.1f * r.x);
        EXPECT_EQ(t->xaxis.z, 0.0f);
        EXPECT_FLOAT_EQ(t->yaxis.z, 0.1f * f.z);
        EXPECT_FLOAT_EQ(t->zaxis.x, 0.1f * dn.x);
        EXPECT_EQ(t->model, model_slot(MODEL_SHOTGUNTRACER));
    }
    const WorldObject *c = &world_objects[base + 8];
    EXPECT_EQ(wobj_kind(c), OBJECT_CASING);
    EXPECT_FLOAT_EQ(c->position.x, eye.x + f.x + 0.5f * (r.x + dn.x));
    EXPECT_FLOAT_EQ(c->position.z, eye.z + f.z + 0.5f * (r.z + dn.z));
    EXPECT_FLOAT_EQ(wobj_vec(c, WOBJ_VELOCITY).x, v.x + 0.2f * (r.x - dn.x));
    EXPECT_FLOAT_EQ(c->yaxis.x, 0.02f * f.x);
    EXPECT_FLOAT_EQ(wobj_time(c), game_time + 5.0f);
    Vec3 spin = wobj_vec(c, WOBJ_SPIN);
    EXPECT_NEAR(spin.x * spin.x + spin.y * spin.y + spin.z * spin.z, 1.0f, 1e-3f);

    // The rest of the same frame moves them: each tracer 256 x its pellet's
    // direction per second, its distance left shrinking by what it covered.
    pf_frame_rest();
    ASSERT_EQ(world_object_count, base + 9);
    const float step = 256.0f / 60.0f;
    for (int k = 0; k < 8; k++) {
        SCOPED_TRACE(k);
        const WorldObject *t = &world_objects[base + k];
        const Vec3 &p = pellets[k];
        EXPECT_NEAR(t->position.x, eye.x + 8.0f * f.x + p.x * step, 1e-3f);
        EXPECT_NEAR(t->position.y, eye.y + 8.0f * f.y + p.y * step, 1e-3f);
        EXPECT_NEAR(t->position.z, eye.z + 8.0f * f.z + p.z * step, 1e-3f);
        EXPECT_NEAR(wobj_distance(t), lead - step * (std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z)), 1e-3f);
    }
    pf_button(0, false);
    pf_frame();
    EXPECT_TRUE(sent(MSG_HIT).empty());
}

TEST_F(Shooting, HitClaimsNameThePartOfTheBodyAimedAt)
{
    PlayerRecord *t = face_off(WEAPON_SEMI, TEAM_GREEN, 6.0f);
    struct Case {
        const char *name;
        int sprite;
        int type;
    } cases[] = {
        {"head", SPRITE_HEAD, HIT_HEAD},
        {"torso", SPRITE_TORSO, HIT_TORSO},
        {"leg", SPRITE_LEG_LEFT, HIT_LEGS},
        {"other leg", SPRITE_LEG_RIGHT, HIT_LEGS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        arm(WEAPON_SEMI);
        me->secondary = 1; // aiming: the narrow spread
        pf_face(me, pf_part_centre(t, c.sprite));
        int from = plat_log_count();
        shoot();
        EXPECT_EQ(sent(MSG_HIT), std::vector<Bytes>{msg({5, 5, (uint8_t)c.type})});
        std::vector<std::string> sounds = ctest_sounds(from);
        ASSERT_GE(sounds.size(), 2u);
        EXPECT_EQ(sounds[1].rfind("sound3d wav/hitplayer.wav 0 ", 0), 0u);
        EXPECT_EQ(sounds.size() == 3 && sounds[2].rfind("sound3d wav/whack.wav 0 ", 0) == 0, c.type == HIT_HEAD);
        pf_frames(35);
    }

    // Beside him: no claim.
    arm(WEAPON_SEMI);
    Vec3 beside = pf_part_centre(t, SPRITE_TORSO);
    beside.y += 2.0f;
    pf_face(me, beside);
    shoot();
    EXPECT_TRUE(sent(MSG_HIT).empty());
    pf_frames(35);

    // A block in between takes the shot: damaged, not claimed.
    MapCell wall = {(int32_t)me->position.x + 3, (int32_t)me->position.y, 37};
    for (int z = 34; z <= 39; z++) {
        wall.z = z;
        ASSERT_EQ(map_add_block(&wall, 0x808080), 1);
    }
    map_damage_clear();
    arm(WEAPON_SEMI);
    pf_face(me, pf_part_centre(t, SPRITE_TORSO));
    shoot();
    EXPECT_TRUE(sent(MSG_HIT).empty());
    EXPECT_EQ(map_damage_count, 1);
}

TEST_F(Shooting, AShotgunClaimsEachPelletAndAFullTableStillShoots)
{
    PlayerRecord *t = face_off(WEAPON_SHOTGUN, TEAM_BLUE, 2.5f);
    for (bool full : {false, true}) {
        SCOPED_TRACE(full);
        arm(WEAPON_SHOTGUN);
        if (full) world_objective_count = world_object_count = WORLD_OBJECT_MAX;
        int base = world_object_count;
        pf_face(me, pf_part_centre(t, SPRITE_TORSO));
        pf_button(0, true);
        pf_frame_players();
        EXPECT_EQ(world_object_count, full ? WORLD_OBJECT_MAX : base + 9);
        // A tracer whose pellet ended within its 8-block lead has no way
        // left to fly: the rest of the same frame starts removing them.
        int ended = 0;
        for (int i = base; i < world_object_count; i++)
            ended += wobj_kind(&world_objects[i]) == OBJECT_TRACER && !(wobj_distance(&world_objects[i]) > 0.0f);
        pf_frame_rest();
        if (!full) {
            EXPECT_LT(world_object_count, base + 9);
        }
        pf_button(0, false);
        pf_frame();
        std::vector<Bytes> claims = sent(MSG_HIT);
        EXPECT_GE(claims.size(), 5u); // most pellets at arm's length, team-mate or not
        EXPECT_LE(claims.size(), 8u);
        for (const Bytes &b : claims) {
            EXPECT_EQ(b.size(), 3u);
            EXPECT_EQ(b[1], 5);
            EXPECT_LE(b[2], HIT_LEGS);
        }
        if (!full) {
            EXPECT_GE(ended, (int)claims.size()); // each hit on him lies within the lead
        }
        pf_frames(70);
        for (int i = base; i < world_object_count; i++) EXPECT_NE(wobj_kind(&world_objects[i]), OBJECT_TRACER) << i;
    }
    world_objective_count = world_object_count = 0;
}

struct Grenades : PlayTest {
    void SetUp() override
    {
        PlayTest::SetUp();
        tap_key(DIK_4);
        pf_frames(35);
        ctest_standin_take(&tap);
    }
    Bytes grenade_msg(float fuse, Vec3 pos, Vec3 vel)
    {
        Bytes b = {6, ME};
        put_f32(&b, fuse);
        put_vec(&b, pos);
        put_vec(&b, vel);
        return b;
    }
};

TEST_F(Grenades, PinThenThrow)
{
    int base = world_object_count;
    int from = plat_log_count();
    pf_button(0, true);
    pf_frame();
    EXPECT_EQ(ctest_sounds(from), std::vector<std::string>{"sound wav/pin.wav -300"});
    double fuse = me->grenade_fuse_end;
    EXPECT_FLOAT_EQ(fuse, game_time + 3.0f);
    pf_frames(30);
    from = plat_log_count();
    pf_button(0, false);
    pf_frame();
    Vec3 v = {me->velocity.x + me->forward.x, me->velocity.y + me->forward.y, me->velocity.z + me->forward.z};
    EXPECT_EQ(sent(MSG_GRENADE), std::vector<Bytes>{grenade_msg((float)(fuse - game_time), me->eye, v)});
    ASSERT_EQ(world_object_count, base + 1);
    EXPECT_EQ(wobj_kind(&world_objects[base]), ME);
    EXPECT_NEAR(wobj_time(&world_objects[base]), fuse, 1e-5); // a float counted from the table's base
    EXPECT_EQ(me->grenades, 2);
    EXPECT_EQ(me->grenade_fuse_end, 0.0f);
    EXPECT_FLOAT_EQ(me->next_use, game_time + 0.5f);
    EXPECT_EQ(ctest_sounds(from), std::vector<std::string>{"sound wav/woosh.wav -1000"});
}

TEST_F(Grenades, HeldTooLongItGoesOffInTheHand)
{
    int base = world_object_count, particles = particle_ring.count;
    pf_button(0, true);
    pf_frames(185); // 3.08 s
    pf_button(0, false);
    pf_frame();
    EXPECT_EQ(sent(MSG_GRENADE), std::vector<Bytes>{grenade_msg(0.0f, me->eye, Vec3{0, 0, 0})});
    EXPECT_EQ(world_object_count, base);
    EXPECT_EQ(me->grenades, 2);
    EXPECT_EQ(particle_ring.count, particles + 64);
    EXPECT_EQ(particle_ring.slot[(particle_ring.head + particle_ring.count - 1) & 511].colour, 0x7F404040u);
}

TEST_F(Grenades, AFullTableThrowsNothingAndThePinGoesBack)
{
    world_objective_count = world_object_count = WORLD_OBJECT_MAX;
    pf_button(0, true);
    pf_frames(10);
    pf_button(0, false);
    pf_frame();
    EXPECT_TRUE(sent(MSG_GRENADE).empty());
    EXPECT_EQ(me->grenades, 3);
    EXPECT_EQ(me->grenade_fuse_end, 0.0f);
    world_objective_count = world_object_count = 0;
}

TEST_F(Grenades, DyingWithTheGrenadeCookedDropsIt)
{
    pf_button(0, true);
    pf_frames(10);
    double fuse = me->grenade_fuse_end;
    ASSERT_GT(fuse, 0.0f);
    int base = world_object_count;
    game_local_player_died();
    Vec3 v = {me->velocity.x + me->forward.x, me->velocity.y + me->forward.y, me->velocity.z + me->forward.z};
    EXPECT_EQ(sent(MSG_GRENADE), std::vector<Bytes>{grenade_msg((float)(fuse - game_time), me->eye, v)});
    EXPECT_EQ(world_object_count, base + 1);
    EXPECT_EQ(me->alive, 0);
    pf_button(0, false);
}

} // namespace
