// The effects the dispatcher feeds: random directions, the particle ring and
// the world-object table.
#include <cmath>

#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_random.h"
#include "client_fixture.h"
#include "common/kv6.h"
#include "common/rng.h"

namespace {

TEST(RandomUnitVector, UnitLengthEvenAtTheTopOfTheRange)
{
    rng_srand(1);
    for (int i = 0; i < 2000; i++) {
        Vec3 v;
        game_random_unit_vector(&v);
        EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1.0f, 1e-3f) << i;
    }
    // A first draw of 32767 puts z a hair above 1: the vector stays a number.
    uint32_t seed = 0;
    for (;; seed++) {
        rng_srand(seed);
        if (rng_rand() == RNG_MAX) break;
    }
    rng_srand(seed);
    Vec3 v;
    game_random_unit_vector(&v);
    EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
    EXPECT_FLOAT_EQ(v.x, 0.0f);
    EXPECT_GT(v.z, 1.0f);
}

TEST(Particles, AFullRingOverwritesTheOldest)
{
    game_clear_particles();
    Vec3 at = {1, 2, 3};
    for (uint32_t i = 0; i < 600; i++) game_spawn_particles(&at, 0.25f, i, 1);
    EXPECT_EQ(particle_ring.count, PARTICLE_MAX);
    EXPECT_EQ(particle_ring.slot[particle_ring.head].colour, 88u); // the 89th spawned is now the oldest
    EXPECT_EQ(particle_ring.slot[(particle_ring.head + 511) & 511].colour, 599u);
    game_spawn_particles(&at, 1.0f, 7, 0);
    game_spawn_particles(&at, 1.0f, 7, -3);
    EXPECT_EQ(particle_ring.slot[(particle_ring.head + 511) & 511].colour, 599u);
    const Particle &p = particle_ring.slot[0];
    EXPECT_NEAR(std::sqrt(p.velocity.x * p.velocity.x + p.velocity.y * p.velocity.y + p.velocity.z * p.velocity.z),
                0.25f, 1e-3f);
}

TEST(WorldObjects, RemovalMovesTheLastEntryAndClearingFreesDebris)
{
    game_clear_world_objects();
    Vec3 at = {0, 0, 0}, still = {0, 0, 0};
    for (int i = 0; i < 3; i++) EXPECT_EQ(game_add_grenade_object(&at, &still, i, 10.0f + i), i);
    EXPECT_EQ(game_remove_world_object(0), 2);
    EXPECT_EQ(wobj_kind(&world_objects[0]), 2);
    EXPECT_EQ(game_remove_world_object(1), 1); // the last one: just shorter
    EXPECT_EQ(game_remove_world_object(5), 1);
    world_objects[1].model = kv6_model_alloc(1, 1, 1, 0);
    wobj_set_kind(&world_objects[1], OBJECT_DEBRIS);
    world_object_count = 2;
    game_clear_world_objects(); // the sanitizer build reports the debris model if it leaks
    EXPECT_EQ(world_object_count, 0);
    for (int i = 0; i < WORLD_OBJECT_MAX; i++) game_add_grenade_object(&at, &still, 1, 1.0f);
    EXPECT_EQ(game_add_grenade_object(&at, &still, 1, 1.0f), -1);
    game_clear_world_objects();
}

} // namespace
