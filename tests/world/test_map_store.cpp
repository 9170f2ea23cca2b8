#include <gtest/gtest.h>

#include "common/map_query.h"
#include "common/map_ray.h"
#include "common/map_store.h"

TEST(MapStore, FlatMapAnswersQueries)
{
    map_make_flat(40, 0x7F102030u);
    EXPECT_EQ(map_ground_z(5, 5), 40);
    EXPECT_EQ(map_is_solid(5, 5, 39), 0);
    EXPECT_EQ(map_is_solid(5, 5, 40), 1);
    EXPECT_EQ(map_column_size(map_column(0, 0)), 8);
    HitRecord rec, *hp = &rec;
    Vec3 pos{10.5f, 10.5f, 20.5f}, dir{0, 0, 1};
    map_ray_cast(&pos, &dir, &hp);
    ASSERT_NE(hp, nullptr);
    EXPECT_EQ(rec.z, 40);
    EXPECT_EQ(rec.face, 4);
}
