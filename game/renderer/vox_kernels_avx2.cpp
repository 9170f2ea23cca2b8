// AVX2 span kernel for the lines of the top and bottom regions: eight pixels
// per step, each computed with the same integer and single-precision steps as
// in the other sets, so the results equal theirs bit for bit (no fused
// multiply-add: the file is built without it). The table kernel stays the
// SSE2 one. Only called when the processor and system support AVX2.
#include <immintrin.h>

#include "renderer/vox_kernels_x4.h"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

// Fog of eight pixels, with no shuffles: each pixel's ramp entry (the
// expression vox_fog4 evaluates, here as (k * 0x155555) >> 16 in 32 bits,
// which gives 0x7FFF at k = 1536) in both words of its lane, the colour's
// even bytes (blue, red) and odd bytes (green, top) as words. A channel v
// becomes v + ((2 (f - v) ramp) >> 16), which lies between v and f since
// ramp < 2^15, so no clamp is needed and the words recombine by shift and or.
inline __m256i fog8(__m256i col, __m256i dist, __m256i fogeven, __m256i fogodd)
{
    __m256i k = _mm256_srai_epi32(dist, 20);
    k = _mm256_min_epi32(_mm256_max_epi32(k, _mm256_setzero_si256()), _mm256_set1_epi32(1536));
    __m256i ramp = _mm256_mullo_epi32(k, _mm256_set1_epi32(0x155555));
    ramp = _mm256_or_si256(_mm256_srli_epi32(ramp, 16), _mm256_and_si256(ramp, _mm256_set1_epi32((int32_t)0xFFFF0000)));
    const __m256i even = _mm256_and_si256(col, _mm256_set1_epi32(0x00FF00FF));
    const __m256i odd = _mm256_srli_epi16(col, 8);
    const __m256i de = _mm256_slli_epi16(_mm256_sub_epi16(fogeven, even), 1);
    const __m256i dodd = _mm256_slli_epi16(_mm256_sub_epi16(fogodd, odd), 1);
    const __m256i re = _mm256_add_epi16(even, _mm256_mulhi_epi16(de, ramp));
    const __m256i ro = _mm256_add_epi16(odd, _mm256_mulhi_epi16(dodd, ramp));
    return _mm256_or_si256(re, _mm256_slli_epi16(ro, 8));
}

// Splits samples as (colour, distance) pairs, a = s0 s1 | s4 s5 and
// b = s2 s3 | s6 s7, into the colours and the distances of pixels 0..7.
inline void split8(__m256i a, __m256i b, __m256i *col, __m256i *dist)
{
    const __m256 fa = _mm256_castsi256_ps(a), fb = _mm256_castsi256_ps(b);
    *col = _mm256_castps_si256(_mm256_shuffle_ps(fa, fb, _MM_SHUFFLE(2, 0, 2, 0)));
    *dist = _mm256_castps_si256(_mm256_shuffle_ps(fa, fb, _MM_SHUFFLE(3, 1, 3, 1)));
}

// Depth of pixels fx (as floats): dist / sqrt(X^2 + Y^2), X = rowx + fx ax.
inline __m256 depth8(__m256i dist, __m256 fx, __m256 rowx, __m256 rowy, __m256 ax, __m256 ay)
{
    const __m256 X = _mm256_add_ps(rowx, _mm256_mul_ps(fx, ax));
    const __m256 Y = _mm256_add_ps(rowy, _mm256_mul_ps(fx, ay));
    __m256 sq = _mm256_add_ps(_mm256_mul_ps(X, X), _mm256_mul_ps(Y, Y));
    sq = _mm256_max_ps(sq, _mm256_set1_ps(1e-30f));
    return _mm256_div_ps(_mm256_cvtepi32_ps(dist), _mm256_sqrt_ps(sq));
}

// How a line reads its samples: clamped to what each ray holds, from the
// line's row of samples, or from the row through windows of eight rays (the
// step at most VOX_WINDOW_STEP, so pixels 0..6 of eight lie within the eight
// rays from pixel 0's, and pixel 7's sample is read on its own).
enum Read { CLAMPED, ROW, WINDOW };
#define VOX_WINDOW_STEP 76458 // 6 steps + 65535 stay below 8 rays

// Pixels x .. x + 7 of the line from their samples' colours and distances.
inline void put8(uint8_t *pix, intptr_t zoff, __m256i col, __m256i dist, __m256 fx, __m256 rowx, __m256 rowy,
                 __m256 ax, __m256 ay, __m256i fogeven, __m256i fogodd)
{
    _mm256_stream_si256((__m256i *)pix, fog8(col, dist, fogeven, fogodd));
    _mm256_stream_ps((float *)(pix + zoff), depth8(dist, fx, rowx, rowy, ax, ay));
}

template <Read R>
void spanstep(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex)
{
    constexpr bool Fast = R != CLAMPED;
    const SpanKernelParams &p = vox_kparams;
    const RaySample *row = Fast ? vox_sample_row(sampleindex) : nullptr;
    const VoxLine ln = vox_line(y);
    const float rowxs = ln.rowx, rowys = ln.rowy;
    uint8_t *line = ln.pixels;
    const intptr_t zoff = p.zoffset;
    uint32_t rn = (uint32_t)raynumber;
    const uint32_t st = (uint32_t)raystep;
    int32_t x = x0;
    for (; x < x1 && (((uintptr_t)(line + 4 * (intptr_t)x)) & 15); x++, rn += st)
        vox_put_pixel(x, y, vox_pick<Fast>(row, (int32_t)rn, sampleindex), rowxs, rowys);
    const __m128 rowx4 = _mm_set1_ps(rowxs), rowy4 = _mm_set1_ps(rowys);
    const __m128 ax4 = _mm_set1_ps(p.ax), ay4 = _mm_set1_ps(p.ay);
    const __m128i fog4v = vox_fog_words();
    auto group4 = [row, rowx4, rowy4, ax4, ay4, fog4v, line, st, sampleindex](int32_t xx, uint32_t r) {
        const __m128 fx = _mm_cvtepi32_ps(_mm_setr_epi32(xx, xx + 1, xx + 2, xx + 3));
        vox_put4(line + 4 * (intptr_t)xx, fx, vox_pick<Fast>(row, (int32_t)r, sampleindex),
                 vox_pick<Fast>(row, (int32_t)(r + st), sampleindex),
                 vox_pick<Fast>(row, (int32_t)(r + 2 * st), sampleindex),
                 vox_pick<Fast>(row, (int32_t)(r + 3 * st), sampleindex), rowx4, rowy4, ax4, ay4, fog4v);
    };
    if (x + 4 <= x1 && (((uintptr_t)(line + 4 * (intptr_t)x)) & 31)) {
        group4(x, rn);
        x += 4;
        rn += 4 * st;
    }
    if (x + 8 <= x1) {
        const __m256 rowx = _mm256_set1_ps(rowxs), rowy = _mm256_set1_ps(rowys);
        const __m256 ax = _mm256_set1_ps(p.ax), ay = _mm256_set1_ps(p.ay);
        const uint16_t *f = p.fog;
        const __m256i fogeven = _mm256_set1_epi32((int32_t)((uint32_t)f[0] | (uint32_t)f[2] << 16));
        const __m256i fogodd = _mm256_set1_epi32((int32_t)((uint32_t)f[1] | (uint32_t)f[3] << 16));
        const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        __m256 fx = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(x), lanes));
        const __m256 eight = _mm256_set1_ps(8.0f);
        if (R == WINDOW) {
            // Ray numbers of the eight pixels; a window of rays j0 .. j0 + 7
            // read as two registers of (colour, distance) pairs, split into
            // colours and distances in the order 0 1 4 5 2 3 6 7, which
            // `place` maps each pixel's ray offset to. Pixels that read the
            // sky take it from the sky bounds of the same rays. The line
            // goes in pieces of up to 64 pixels, and a piece whose rays all
            // or none show the sky here skips the per-pixel sky tests (and
            // the samples, where all do).
            const __m256i stlanes = _mm256_mullo_epi32(_mm256_set1_epi32((int32_t)st), lanes);
            const __m256i rnstep = _mm256_set1_epi32((int32_t)(8 * st));
            const __m256i place = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
            const __m256i first7 = _mm256_setr_epi32(-1, -1, -1, -1, -1, -1, -1, 0);
            const __m256i index = _mm256_set1_epi32(sampleindex);
            const __m256i skycol = _mm256_set1_epi32((int32_t)SkySample.colour);
            const __m256i skydist = _mm256_set1_epi32(SkySample.dist);
            const __m256i skyfogged = fog8(skycol, skydist, fogeven, fogodd);
            const int32_t *sky = p.sky;
            const uint32_t st7 = 7 * st;
            auto sky8 = [&](uint8_t *pix) {
                _mm256_stream_si256((__m256i *)pix, skyfogged);
                _mm256_stream_ps((float *)(pix + zoff), depth8(skydist, fx, rowx, rowy, ax, ay));
            };
            while (x + 8 <= x1) {
                const int32_t xe = x + ((x1 - x) >= 64 ? 64 : (x1 - x) & ~7);
                const VoxSkyShare share =
                    vox_sky_share((int32_t)(rn >> 16), (int32_t)((rn + (uint32_t)(xe - x - 1) * st) >> 16), sampleindex);
                if (share == VOX_SKY_ALL) {
                    for (; x < xe; x += 8, rn += 8 * st, fx = _mm256_add_ps(fx, eight)) sky8(line + 4 * (intptr_t)x);
                    continue;
                }
                // Pixels x .. xe - 1, testing each for the sky when Some.
                auto piece = [&]<bool Some>() {
                    __m256i rnv = _mm256_add_epi32(_mm256_set1_epi32((int32_t)rn), stlanes);
                    for (; x < xe; x += 8, rn += 8 * st, fx = _mm256_add_ps(fx, eight)) {
                        const uint32_t j0 = rn >> 16, j7 = (rn + st7) >> 16;
                        const __m256i jv = _mm256_srli_epi32(rnv, 16);
                        const __m256i off = _mm256_sub_epi32(jv, _mm256_broadcastd_epi32(_mm256_castsi256_si128(jv)));
                        rnv = _mm256_add_epi32(rnv, rnstep);
                        uint8_t *pix = line + 4 * (intptr_t)x;
                        const RaySample *s7 = Some ? vox_row_sample(row, j7, sampleindex) : &row[j7];
                        __m256i skypix = _mm256_setzero_si256();
                        if (Some) {
                            const __m256i skyrays =
                                _mm256_cmpgt_epi32(_mm256_loadu_si256((const __m256i *)(sky + j0)), index);
                            skypix = _mm256_and_si256(_mm256_permutevar8x32_epi32(skyrays, off), first7);
                            if (_mm256_movemask_ps(_mm256_castsi256_ps(skypix)) == 0x7F && s7 == &SkySample) {
                                sky8(pix);
                                continue;
                            }
                        }
                        const __m256i at = _mm256_permutevar8x32_epi32(place, off);
                        const RaySample *w = row + j0;
                        const __m256 wa = _mm256_loadu_ps((const float *)w);
                        const __m256 wb = _mm256_loadu_ps((const float *)(w + 4));
                        __m256i col = _mm256_permutevar8x32_epi32(
                            _mm256_castps_si256(_mm256_shuffle_ps(wa, wb, _MM_SHUFFLE(2, 0, 2, 0))), at);
                        __m256i dist = _mm256_permutevar8x32_epi32(
                            _mm256_castps_si256(_mm256_shuffle_ps(wa, wb, _MM_SHUFFLE(3, 1, 3, 1))), at);
                        if (Some) {
                            col = _mm256_blendv_epi8(col, skycol, skypix);
                            dist = _mm256_blendv_epi8(dist, skydist, skypix);
                        }
                        col = _mm256_blend_epi32(col, _mm256_set1_epi32((int32_t)s7->colour), 0x80);
                        dist = _mm256_blend_epi32(dist, _mm256_set1_epi32(s7->dist), 0x80);
                        put8(pix, zoff, col, dist, fx, rowx, rowy, ax, ay, fogeven, fogodd);
                    }
                };
                if (share == VOX_SKY_NONE) piece.template operator()<false>();
                else piece.template operator()<true>();
            }
        } else {
            const uint32_t st2 = 2 * st, st3 = 3 * st, st4 = 4 * st, st5 = 5 * st, st6 = 6 * st, st7 = 7 * st;
            for (; x + 8 <= x1; x += 8, rn += 8 * st, fx = _mm256_add_ps(fx, eight)) {
                auto two = [&](uint32_t a, uint32_t b) {
                    return _mm_unpacklo_epi64(
                        _mm_loadl_epi64((const __m128i *)vox_pick<Fast>(row, (int32_t)a, sampleindex)),
                        _mm_loadl_epi64((const __m128i *)vox_pick<Fast>(row, (int32_t)b, sampleindex)));
                };
                const __m256i a =
                    _mm256_inserti128_si256(_mm256_castsi128_si256(two(rn, rn + st)), two(rn + st4, rn + st5), 1);
                const __m256i b = _mm256_inserti128_si256(_mm256_castsi128_si256(two(rn + st2, rn + st3)),
                                                          two(rn + st6, rn + st7), 1);
                __m256i col, dist;
                split8(a, b, &col, &dist);
                put8(line + 4 * (intptr_t)x, zoff, col, dist, fx, rowx, rowy, ax, ay, fogeven, fogodd);
            }
        }
    }
    if (x + 4 <= x1) {
        group4(x, rn);
        x += 4;
        rn += 4 * st;
    }
    for (; x < x1; x++, rn += st) vox_put_pixel(x, y, vox_pick<Fast>(row, (int32_t)rn, sampleindex), rowxs, rowys);
}

} // namespace

void drawspanstepavx2(int32_t x0, int32_t y, int32_t x1, int32_t raynumber, int32_t raystep, int32_t sampleindex)
{
    if (!vox_span_in_range(x0, x1, raynumber, raystep, sampleindex))
        spanstep<CLAMPED>(x0, y, x1, raynumber, raystep, sampleindex);
    else if (raystep >= 0 && raystep <= VOX_WINDOW_STEP)
        spanstep<WINDOW>(x0, y, x1, raynumber, raystep, sampleindex);
    else
        spanstep<ROW>(x0, y, x1, raynumber, raystep, sampleindex);
}

#pragma GCC pop_options
