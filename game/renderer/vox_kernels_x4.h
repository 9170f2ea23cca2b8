// Four pixels at a time with SSE2: what the SSE2 kernels and the AVX2 one's
// ends share. Internal to the kernels; include before any target pragma, so
// that these stay SSE2 code.
#pragma once
#include <emmintrin.h>

#include "renderer/vox_kernels.h"

// Fog of four pixels: each colour byte moves toward the fog word by the fog
// ramp of its distance. The ramp entry of dist >> 20 is computed rather than
// looked up: the table holds (k * 0x155555) >> 16 = 21 k + ((k * 0x5555) >>
// 16) for k below 1536 and 0x7FFF, the same expression at k = 1536, from
// there on.
static inline __m128i vox_fog4(__m128i col, __m128i dist, __m128i fog)
{
    __m128i k = _mm_packs_epi32(_mm_srai_epi32(dist, 20), _mm_srai_epi32(dist, 20));
    k = _mm_min_epi16(_mm_max_epi16(k, _mm_setzero_si128()), _mm_set1_epi16(1536));
    const __m128i ramp =
        _mm_add_epi16(_mm_mullo_epi16(k, _mm_set1_epi16(21)), _mm_mulhi_epu16(k, _mm_set1_epi16(0x5555)));
    const __m128i ramp4 = _mm_unpacklo_epi16(ramp, ramp); // r0 r0 r1 r1 r2 r2 r3 r3
    const __m128i ramp01 = _mm_unpacklo_epi32(ramp4, ramp4);
    const __m128i ramp23 = _mm_unpackhi_epi32(ramp4, ramp4);
    const __m128i zero = _mm_setzero_si128();
    __m128i lo = _mm_unpacklo_epi8(col, zero);
    __m128i hi = _mm_unpackhi_epi8(col, zero);
    const __m128i dlo = _mm_slli_epi16(_mm_sub_epi16(fog, lo), 1);
    const __m128i dhi = _mm_slli_epi16(_mm_sub_epi16(fog, hi), 1);
    lo = _mm_add_epi16(lo, _mm_mulhi_epi16(dlo, ramp01));
    hi = _mm_add_epi16(hi, _mm_mulhi_epi16(dhi, ramp23));
    return _mm_packus_epi16(lo, hi);
}

// Depth of pixels fx (as floats): dist / sqrt(X^2 + Y^2), X = rowx + fx ax,
// as the scalar path.
static inline __m128 vox_depth4(__m128i dist, __m128 fx, __m128 rowx, __m128 rowy, __m128 ax, __m128 ay)
{
    const __m128 X = _mm_add_ps(rowx, _mm_mul_ps(fx, ax));
    const __m128 Y = _mm_add_ps(rowy, _mm_mul_ps(fx, ay));
    __m128 sq = _mm_add_ps(_mm_mul_ps(X, X), _mm_mul_ps(Y, Y));
    sq = _mm_max_ps(sq, _mm_set1_ps(1e-30f));
    return _mm_div_ps(_mm_cvtepi32_ps(dist), _mm_sqrt_ps(sq));
}

// Four pixels from x (16-byte aligned pixel address, streamed) with samples
// s0..s3; fx holds x .. x + 3 as floats.
static inline void vox_put4(uint8_t *pix, __m128 fx, const RaySample *s0, const RaySample *s1, const RaySample *s2,
                            const RaySample *s3, __m128 rowx, __m128 rowy, __m128 ax, __m128 ay, __m128i fog)
{
    // Samples are (colour, distance) pairs: two per register, then split.
    const __m128 p01 = _mm_castsi128_ps(
        _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i *)s0), _mm_loadl_epi64((const __m128i *)s1)));
    const __m128 p23 = _mm_castsi128_ps(
        _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i *)s2), _mm_loadl_epi64((const __m128i *)s3)));
    const __m128i col = _mm_castps_si128(_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i dist = _mm_castps_si128(_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1)));
    _mm_stream_si128((__m128i *)pix, vox_fog4(col, dist, fog));
    _mm_stream_ps((float *)(pix + vox_kparams.zoffset), vox_depth4(dist, fx, rowx, rowy, ax, ay));
}

// The fog colour as four words, twice.
static inline __m128i vox_fog_words()
{
    const uint16_t *f = vox_kparams.fog;
    return _mm_setr_epi16((short)f[0], (short)f[1], (short)f[2], (short)f[3], (short)f[0], (short)f[1], (short)f[2],
                          (short)f[3]);
}

// The sample of ray number rn: from the span's row of samples (Fast), or
// clamped to what the ray holds.
template <bool Fast>
static inline const RaySample *vox_pick(const RaySample *row, int32_t rn, int32_t sampleindex)
{
    return Fast ? vox_row_sample(row, (uint32_t)rn >> 16, sampleindex) : vox_sample_at(rn, sampleindex);
}
