#include "floating_report.h"

#include "common/map_edit.h"
#include "common/map_floating.h"
#include "common/map_store.h"

int32_t floating_report(FILE *out)
{
    int32_t groups = 0;
    int64_t blocks_total = 0;
    // The server's pass, row by row, with a line per group before it is cut.
    for (int32_t y = 0; y < 512; y++) {
        map_removal_box = {0, 512, y, y + 1, 0, 62};
        map_collect_float_seeds();
        map_find_floating();
        for (int32_t i = 0; i < voxel_map.chunk_count; i++) {
            FloatingChunk *c = &voxel_map.chunks[i];
            if (c->handled) continue;
            c->handled = 1;
            int64_t blocks = 0;
            for (int32_t e = c->first; e < c->end; e++) {
                const uint8_t *p = (const uint8_t *)voxel_map.pool + map_span_set.entry[e].key;
                blocks += map_span_a(map_span_next(p)) - map_span_s(p);
            }
            std::fprintf(out, "group %d: seed %d,%d,%d box x %d..%d y %d..%d z %d..%d spans %d blocks %lld\n",
                         groups + 1, c->seed_x, c->seed_y, c->seed_z, c->x0, c->x1, c->y0, c->y1, c->z0, c->z1,
                         c->end - c->first, (long long)blocks);
            groups++;
            blocks_total += blocks;
            map_take_chunk(nullptr, i);
        }
        map_drop_taken_chunks();
    }
    std::fprintf(out, "floating groups: %d, blocks: %lld\n", groups, (long long)blocks_total);
    return groups;
}
