#include <gtest/gtest.h>

#include "common/kv6.h"
#include "common/map_floating.h"
#include "common/map_query.h"
#include "map_fixture.h"

namespace {

// One detection step as the client runs it, with a sprite per chunk.
int take_all(std::vector<SpriteInstance> *debris)
{
    map_find_floating();
    int taken = 0;
    for (int32_t i = 0; i < voxel_map.chunk_count; i++) {
        FloatingChunk *c = &voxel_map.chunks[i];
        if (c->handled) continue;
        c->handled = 1;
        SpriteInstance s{};
        if (map_take_chunk(debris ? &s : nullptr, i)) {
            taken++;
            if (debris) debris->push_back(s);
        }
    }
    map_drop_taken_chunks();
    return taken;
}

void free_debris(std::vector<SpriteInstance> *debris)
{
    for (SpriteInstance &s : *debris) discardmodel(s.model);
    debris->clear();
}

// Pillar on the ground at (10, 10) z 50..59, a 2 x 2 x 2 overhang at x 12..13,
// y 10..11, z 50..51, joined to it only by the block (11, 10, 50).
void build_overhang()
{
    fixture_flat();
    fixture_fill(10, 10, 10, 10, 50, 60);
    fixture_fill(11, 10, 11, 10, 50, 51);
    fixture_fill(12, 10, 13, 11, 50, 52);
}

} // namespace

TEST(MapFloating, OverhangCutOffItsPillarBecomesOneChunk)
{
    build_overhang();
    map_seed_count = 0;
    voxel_map.chunk_count = 0;
    fixture_remove(11, 10, 50);
    ASSERT_GT(map_seed_count, 0);
    map_find_floating();
    EXPECT_EQ(map_seed_count, 0);
    ASSERT_EQ(voxel_map.chunk_count, 1);
    FloatingChunk c = voxel_map.chunks[0];
    EXPECT_EQ(c.handled, 0);
    EXPECT_EQ(c.end - c.first, 4); // one span per overhang column
    EXPECT_EQ(c.x0, 11);
    EXPECT_EQ(c.x1, 14);
    EXPECT_EQ(c.y0, 9);
    EXPECT_EQ(c.y1, 12);
    EXPECT_EQ(c.z0, 50);
    EXPECT_EQ(c.z1, 51);

    voxel_map.chunks[0].handled = 1;
    SpriteInstance s{};
    s.ownerdata[3] = 77;
    ASSERT_EQ(map_take_chunk(&s, 0), 1);
    EXPECT_EQ(map_take_chunk(&s, 0), 0);
    EXPECT_EQ(s.ownerdata[3], 77u);
    ASSERT_NE(s.model, nullptr);
    const Kv6Model *m = s.model;
    EXPECT_EQ(m->xsize, 4);
    EXPECT_EQ(m->ysize, 4);
    EXPECT_EQ(m->zsize, 2);
    EXPECT_EQ(m->voxelcount, 8);
    EXPECT_FLOAT_EQ(m->xpivot, 2.0f);
    EXPECT_FLOAT_EQ(m->zpivot, 1.0f);
    EXPECT_FLOAT_EQ(s.position.x, 13.0f);
    EXPECT_FLOAT_EQ(s.position.y, 11.0f);
    EXPECT_FLOAT_EQ(s.position.z, 51.0f);
    EXPECT_FLOAT_EQ(s.xaxis.x, 1.0f);
    EXPECT_FLOAT_EQ(s.zaxis.z, 1.0f);
    EXPECT_EQ(kv6_model_valid(m), 1);
    EXPECT_EQ(m->xcounts[0], 0u);
    EXPECT_EQ(m->xcounts[1], 4u);
    EXPECT_EQ(m->xycounts[1 * 4 + 1], 2);
    // Column (12, 10): top voxel, then the bottom one; -x and -y face air.
    const Kv6Voxel *v = m->voxels;
    EXPECT_EQ(v[0].z, 0);
    EXPECT_EQ(v[0].faces, KV6_FACE_NEG_X | KV6_FACE_NEG_Y | KV6_FACE_TOP);
    EXPECT_EQ(v[1].z, 1);
    EXPECT_EQ(v[1].faces, KV6_FACE_NEG_X | KV6_FACE_NEG_Y | KV6_FACE_BOTTOM);
    EXPECT_EQ(v[0].normalindex, 0);
    EXPECT_EQ(v[0].colour >> 24, 0u);
    discardmodel(s.model);

    EXPECT_EQ(fixture_count_solid(12, 10, 50, 13, 11, 51), 0);
    EXPECT_EQ(fixture_count_solid(10, 10, 50, 10, 10, 59), 10);
    map_drop_taken_chunks();
    EXPECT_EQ(voxel_map.chunk_count, 0);
    EXPECT_EQ(fixture_check_store(), "");
}

TEST(MapFloating, ServerPathCutsTheSameBlocksAsClientPath)
{
    build_overhang();
    fixture_remove(11, 10, 50);
    EXPECT_EQ(take_all(nullptr), 1);
    std::vector<uint8_t> server = fixture_image();

    build_overhang();
    fixture_remove(11, 10, 50);
    std::vector<SpriteInstance> debris;
    EXPECT_EQ(take_all(&debris), 1);
    EXPECT_EQ(fixture_image(), server);
    free_debris(&debris);
}

TEST(MapFloating, ContactCases)
{
    // Pillar at (30, 30) z 50..59 on the ground.
    fixture_flat();
    fixture_fill(30, 30, 30, 30, 50, 60);
    // Diagonal only: (31, 31, 50), held by (31, 30, 50) until that goes.
    fixture_fill(31, 30, 31, 31, 50, 51);
    fixture_remove(31, 30, 50);
    EXPECT_EQ(take_all(nullptr), 1);
    EXPECT_FALSE(map_is_solid(31, 31, 50));

    // Side contact with a column's ground span: grounded.
    fixture_fill(28, 30, 29, 30, 55, 56); // (28..29, 30, 55) against the pillar
    fixture_remove(28, 30, 55);
    EXPECT_EQ(take_all(nullptr), 0);
    EXPECT_TRUE(map_is_solid(29, 30, 55));

    // Resting on top of a block that touches the ground column beside it.
    fixture_fill(31, 30, 31, 30, 58, 59);
    fixture_fill(31, 29, 31, 29, 57, 59); // z 57..58 beside (31, 30, 58)
    fixture_remove(31, 29, 57);
    EXPECT_EQ(take_all(nullptr), 0);
    EXPECT_TRUE(map_is_solid(31, 29, 58));
    EXPECT_EQ(fixture_check_store(), "");
}

TEST(MapFloating, GroupAtEdgeIsNotJoinedAcrossItAndFarSideIsRecoloured)
{
    fixture_flat();
    // A solid wall at x 505..511 (across the edge from x 0), z 50..59.
    fixture_fill(505, 95, 511, 105, 50, 60);
    // Block (0, 100, 52) held by (1, 100, 52) on a pillar at (2, 100).
    fixture_fill(2, 100, 2, 100, 50, 60);
    fixture_fill(0, 100, 1, 100, 52, 53);
    EXPECT_EQ(map_colour_ptr(511, 100, 52), nullptr); // inside the wall: faces the block
    fixture_remove(1, 100, 52);
    map_find_floating();
    ASSERT_EQ(voxel_map.chunk_count, 1);
    EXPECT_EQ(voxel_map.chunks[0].x0, 0);
    EXPECT_EQ(voxel_map.chunks[0].x1, 1);
    voxel_map.chunks[0].handled = 1;
    EXPECT_EQ(map_take_chunk(nullptr, 0), 1);
    map_drop_taken_chunks();
    EXPECT_FALSE(map_is_solid(0, 100, 52));
    EXPECT_TRUE(map_is_solid(511, 100, 52));
    EXPECT_NE(map_colour_ptr(511, 100, 52), nullptr); // now faces air across the edge
    EXPECT_EQ(fixture_check_store(), "");
}

TEST(MapFloating, TwoSeedsInOneGroupGiveOneChunk)
{
    fixture_flat();
    fixture_fill(40, 40, 44, 40, 30, 31); // floating bar
    voxel_map.chunk_count = 0;
    map_seeds[0] = {40, 40, 30};
    map_seeds[1] = {44, 40, 30};
    map_seed_count = 2;
    map_find_floating();
    ASSERT_EQ(voxel_map.chunk_count, 1);
    EXPECT_EQ(voxel_map.chunks[0].end - voxel_map.chunks[0].first, 5);
    EXPECT_EQ(voxel_map.chunks[0].seed_x, 44); // seeds run last to first
    // Seeds in air or in a grounded span give nothing.
    map_seeds[0] = {40, 40, 20};
    map_seeds[1] = {40, 40, 61};
    map_seed_count = 2;
    voxel_map.chunk_count = 0;
    map_find_floating();
    EXPECT_EQ(voxel_map.chunk_count, 0);
}

TEST(MapFloating, ListedChunksAreRevalidatedAndDroppedOnceGrounded)
{
    fixture_flat();
    fixture_fill(40, 40, 44, 40, 30, 31);
    map_seeds[0] = {40, 40, 30};
    map_seed_count = 1;
    voxel_map.chunk_count = 0;
    map_find_floating();
    ASSERT_EQ(voxel_map.chunk_count, 1);
    voxel_map.chunks[0].handled = 1; // left in place by its caller
    map_find_floating();
    ASSERT_EQ(voxel_map.chunk_count, 1);
    EXPECT_EQ(voxel_map.chunks[0].handled, 1);
    fixture_fill(44, 40, 44, 40, 31, 60); // now it stands on a pillar
    map_find_floating();
    EXPECT_EQ(voxel_map.chunk_count, 0);
}

TEST(MapFloating, AtMost32ChunksListed)
{
    fixture_flat();
    voxel_map.chunk_count = 0;
    map_seed_count = 0;
    for (int i = 0; i < 40; i++) {
        fixture_fill(10 + 3 * i, 200, 10 + 3 * i, 200, 20, 21);
        map_seeds[map_seed_count++] = {10 + 3 * i, 200, 20};
    }
    EXPECT_EQ(take_all(nullptr), 32);
    EXPECT_EQ(map_seed_count, 0);
    EXPECT_EQ(fixture_count_solid(10, 200, 20, 130, 200, 20), 8);
}

// Builds a free structure at z 10 that is too big for one limit: a serpentine
// of rows (a long path: the flood stack stays shallow, the span set fills)
// or a square slab (a wide front: the stack fills first).
void build_big(bool serpentine)
{
    if (!serpentine) {
        fixture_fill(100, 100, 239, 239, 10, 11);
        return;
    }
    for (int32_t y = 0; y < 512; y += 2) {
        fixture_fill(5, y, 504, y, 10, 11);
        if (y + 1 < 512) fixture_fill((y & 2) ? 5 : 504, y + 1, (y & 2) ? 5 : 504, y + 1, 10, 11);
    }
}

TEST(MapFloating, StructuresBeyondTheLimitsStayAndLaterFloodsStillWork)
{
    for (bool serpentine : {true, false}) {
        SCOPED_TRACE(serpentine ? "set" : "stack");
        fixture_flat();
        build_big(serpentine);
        fixture_fill(20, 20, 20, 20, 30, 31); // a small free block
        fixture_fill(2, 2, 2, 2, 30, 31);     // and another
        voxel_map.chunk_count = 0;
        map_seeds[0] = {20, 20, 30};
        map_seeds[1] = serpentine ? FloatSeed{5, 0, 10} : FloatSeed{100, 100, 10}; // flooded second
        map_seeds[2] = {2, 2, 30};
        map_seed_count = 3;
        map_find_floating();
        EXPECT_LE(map_span_set.count, SPAN_SET_MAX);
        // A full set ends the pass; a full stack ends only that flood.
        ASSERT_EQ(voxel_map.chunk_count, serpentine ? 1 : 2);
        for (int32_t i = 0; i < voxel_map.chunk_count; i++) {
            const FloatingChunk &c = voxel_map.chunks[i];
            EXPECT_EQ(c.end - c.first, 1);
            EXPECT_EQ(c.x1 - c.x0, 2);
            EXPECT_EQ(c.z0, 30);
        }
        take_all(nullptr);
        if (serpentine)
            EXPECT_EQ(fixture_count_solid(5, 0, 10, 504, 0, 10), 500);
        else
            EXPECT_EQ(fixture_count_solid(100, 100, 10, 239, 239, 10), 140 * 140);
        EXPECT_FALSE(map_is_solid(2, 2, 30));
    }
}

TEST(MapFloating, RemoveAllFloatingClearsUnseededGroups)
{
    fixture_flat();
    fixture_fill(50, 50, 52, 52, 20, 23); // free cube
    fixture_fill(0, 300, 0, 302, 40, 41); // free bar on the x = 0 edge
    fixture_fill(60, 60, 60, 60, 20, 60); // grounded tower
    voxel_map.chunk_count = 0;
    map_remove_all_floating();
    EXPECT_EQ(fixture_count_solid(50, 50, 20, 52, 52, 22), 0);
    EXPECT_EQ(fixture_count_solid(0, 300, 40, 0, 302, 40), 0);
    EXPECT_EQ(fixture_count_solid(60, 60, 20, 60, 60, 59), 40);
    EXPECT_EQ(voxel_map.chunk_count, 0);
    EXPECT_EQ(fixture_check_store(), "");
}

TEST(MapFloating, CutKeepsOtherChunksInTheSameColumnsAddressable)
{
    // Two free groups stacked in the same columns, both taken in one pass:
    // cutting the upper one moves the lower one's spans.
    fixture_flat();
    fixture_fill(70, 70, 72, 70, 10, 12);
    fixture_fill(70, 70, 72, 70, 20, 22);
    voxel_map.chunk_count = 0;
    map_seeds[0] = {70, 70, 20};
    map_seeds[1] = {70, 70, 10};
    map_seed_count = 2;
    std::vector<SpriteInstance> debris;
    EXPECT_EQ(take_all(&debris), 2);
    ASSERT_EQ(debris.size(), 2u);
    for (const SpriteInstance &s : debris) {
        ASSERT_NE(s.model, nullptr);
        EXPECT_EQ(s.model->voxelcount, 6);
    }
    EXPECT_EQ(fixture_count_solid(70, 70, 0, 72, 70, 59), 0);
    EXPECT_EQ(fixture_check_store(), "");
    free_debris(&debris);
}

TEST(MapSpanSet, InsertFindRekeyAndClear)
{
    map_span_set_clear();
    // Keys chosen to share a bucket: ((k >> 15) - (k >> 3)) & 0xfff.
    const int32_t a = 8, b = 8 + (4096 << 3), c = 40000;
    EXPECT_EQ(map_span_set_insert(a), 1);
    EXPECT_EQ(map_span_set_insert(b), 2);
    EXPECT_EQ(map_span_set_insert(c), 3);
    EXPECT_EQ(map_span_set_find(a), 0);
    EXPECT_EQ(map_span_set_find(b), 1);
    EXPECT_EQ(map_span_set_find(12), -1);
    map_span_set_rekey(a, 0);
    EXPECT_EQ(map_span_set_find(a), -1);
    EXPECT_EQ(map_span_set_find(b), 1);
    map_span_set_rekey(c, 44);
    EXPECT_EQ(map_span_set_find(44), 2);
    map_span_set_rekey(12345, 5); // absent: nothing
    EXPECT_EQ(map_span_set_find(5), -1);
    map_span_set_clear();
    EXPECT_EQ(map_span_set_find(b), -1);
    for (int32_t i = 0; i < SPAN_SET_MAX; i++) ASSERT_EQ(map_span_set_insert(4 * (i + 1)), i + 1);
    EXPECT_EQ(map_span_set_insert(4), -1);
    EXPECT_EQ(map_span_set.count, SPAN_SET_MAX);
    map_span_set_clear();
    EXPECT_EQ(map_span_set_find(4), -1);
}
