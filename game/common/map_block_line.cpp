#include "common/map_block_line.h"

// A cell walk in fixed point, 1024 units per cell. 64-bit arithmetic so that
// hostile coordinates cannot overflow the differences or the accumulators; for
// cells inside the map the values are those of 32-bit arithmetic.
int map_block_line(const BlockCell *start, const BlockCell *end, BlockCell cells[BLOCK_LINE_MAX])
{
    int64_t c[3] = {start->x, start->y, start->z};
    const int64_t t[3] = {end->x, end->y, end->z};
    int64_t dd[3], step[3], inc[3], acc[3];
    for (int i = 0; i < 3; i++) {
        dd[i] = t[i] - c[i];
        step[i] = dd[i] < 0 ? -1 : 1;
    }
    int64_t ax = dd[0] < 0 ? -dd[0] : dd[0];
    int64_t ay = dd[1] < 0 ? -dd[1] : dd[1];
    int64_t az = dd[2] < 0 ? -dd[2] : dd[2];
    int dom = (ay <= ax && az <= ax) ? 0 : (az <= ay ? 1 : 2);
    for (int i = 0; i < 3; i++) {
        if (i == dom) {
            inc[i] = 1024;
            acc[i] = 512;
            continue;
        }
        if (dd[i] == 0) {
            inc[i] = 2097151;
        } else {
            int64_t q = dd[dom] * 1024 / dd[i];
            inc[i] = q < 0 ? -q : q;
        }
        acc[i] = inc[i] / 2;
    }
    for (int i = 0; i < 3; i++)
        if (step[i] == 1) acc[i] = inc[i] - acc[i];

    int n = 0;
    for (;;) {
        cells[n] = BlockCell{(int32_t)c[0], (int32_t)c[1], (int32_t)c[2]};
        n++;
        if (n == BLOCK_LINE_MAX || (c[0] == t[0] && c[1] == t[1] && c[2] == t[2])) break;
        int axis;
        if (acc[0] >= acc[2] && acc[1] >= acc[2])
            axis = 2;
        else if (acc[0] < acc[1])
            axis = 0;
        else
            axis = 1;
        c[axis] += step[axis];
        acc[axis] += inc[axis];
        if (c[0] < 0 || c[0] > 511 || c[1] < 0 || c[1] > 511 || c[2] < 0 || c[2] > 63) break;
    }
    return n;
}
