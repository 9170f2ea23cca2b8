// Voice synthesis, mixing and normalisation.
#include "ag_sound.h"

#include <cmath>
#include <vector>

#include "common/rng.h"

static const double PI = 3.14159265358979323846;

// One-pole filter coefficient for a cutoff.
static double pole(double cutoff) { return 1.0 - std::exp(-2.0 * PI * cutoff / SOUND_RATE); }

static void render_voice(const Voice *v, std::vector<double> &mix)
{
    const int32_t first = (int32_t)std::lround(v->start * SOUND_RATE);
    const int32_t n = (int32_t)std::lround(v->length * SOUND_RATE);
    const int32_t release = SOUND_RATE / 200; // 5 ms to silence at the voice's end
    double phase = 0.0, hold = 0.0, hold_phase = 1.0, low = 0.0, hp_low = 0.0;
    for (int32_t i = 0; i < n; i++) {
        double t = (double)i / SOUND_RATE, u = n > 1 ? (double)i / (n - 1) : 0.0;
        double f = v->f0 > 0.0f && v->f1 > 0.0f ? v->f0 * std::pow((double)v->f1 / v->f0, u) : v->f0;
        if (v->vibrato > 0.0f) f *= 1.0 + v->vibrato * std::sin(2.0 * PI * 5.5 * t);
        double s;
        if (v->wave == WAVE_NOISE) {
            hold_phase += f > 0.0 ? f / SOUND_RATE : 1.0;
            if (hold_phase >= 1.0) {
                hold_phase -= std::floor(hold_phase);
                hold = rng_rand() / (double)RNG_MAX * 2.0 - 1.0;
            }
            s = hold;
        } else {
            phase += f / SOUND_RATE;
            phase -= std::floor(phase);
            switch (v->wave) {
            case WAVE_SQUARE: s = phase < 0.5 ? 1.0 : -1.0; break;
            case WAVE_SAW: s = 2.0 * phase - 1.0; break;
            case WAVE_TRIANGLE: s = phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase; break;
            default: s = std::sin(2.0 * PI * phase); break;
            }
        }
        if (v->lp0 > 0.0f) {
            double cut = v->lp1 > 0.0f ? v->lp0 * std::pow((double)v->lp1 / v->lp0, u) : v->lp0;
            low += pole(cut) * (s - low);
            s = low;
        }
        if (v->hp > 0.0f) { // high-pass: the signal less its own low-passed self
            hp_low += pole(v->hp) * (s - hp_low);
            s -= hp_low;
        }
        double env = v->attack > 0.0f && t < v->attack ? t / v->attack : 1.0;
        if (v->decay > 0.0f && t >= v->attack) env *= std::exp(-(t - v->attack) / v->decay);
        if (n - i < release) env *= (double)(n - i) / release;
        int32_t at = first + i;
        if (at >= 0 && at < (int32_t)mix.size()) mix[at] += s * env * v->gain;
    }
}

void sound_render(const SoundDesc *desc, int16_t **samples, int32_t *count)
{
    double end = 0.0;
    for (int32_t k = 0; k < desc->count; k++) end = std::fmax(end, (double)desc->voices[k].start + desc->voices[k].length);
    std::vector<double> mix((size_t)std::lround(end * SOUND_RATE) + 1, 0.0);
    rng_srand(desc->seed);
    for (int32_t k = 0; k < desc->count; k++) render_voice(&desc->voices[k], mix);
    const int32_t n = (int32_t)mix.size(), in = SOUND_RATE / 500, out = SOUND_RATE / 100;
    double peak = 0.0;
    for (int32_t i = 0; i < n; i++) peak = std::fmax(peak, std::fabs(mix[i]));
    if (desc->drive > 1.0f && peak > 0.0) {
        double norm = std::tanh((double)desc->drive);
        for (double &m : mix) m = std::tanh(desc->drive * m / peak) / norm;
    }
    // Fades (2 ms in, 10 ms out), so neither end clicks; then the peak to SOUND_PEAK.
    peak = 0.0;
    for (int32_t i = 0; i < n; i++) {
        if (i < in) mix[i] *= (double)i / in;
        if (n - 1 - i < out) mix[i] *= (double)(n - 1 - i) / out;
        peak = std::fmax(peak, std::fabs(mix[i]));
    }
    double scale = peak > 0.0 ? SOUND_PEAK * 32767.0 / peak : 0.0;
    int16_t *s = new int16_t[n];
    for (int32_t i = 0; i < n; i++) s[i] = (int16_t)std::lround(mix[i] * scale);
    *samples = s;
    *count = n;
}

Bytes sound_build(const SoundDesc *desc)
{
    int16_t *s;
    int32_t n;
    sound_render(desc, &s, &n);
    Bytes b = wav_encode(s, n, SOUND_RATE);
    delete[] s;
    return b;
}
