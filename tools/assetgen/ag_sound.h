// Synthesised sounds: each is a few voices (tone or noise, a pitch glide,
// an attack and an exponential decay, optional low-pass and high-pass
// filters) mixed, normalised near full scale and faded at both ends, then
// written as mono 16-bit PCM.
#pragma once
#include <cstdint>

#include "ag_formats.h"

#define SOUND_RATE 22050

enum Wave : uint8_t {
    WAVE_SINE,
    WAVE_SQUARE,
    WAVE_SAW,
    WAVE_TRIANGLE,
    WAVE_NOISE, // f0..f1: sample-and-hold rate (0 = a new value every sample)
};

struct Voice {
    Wave wave;
    float start, length;   // seconds
    float f0, f1;          // Hz at the start and the end (exponential glide)
    float attack, decay;   // linear attack; decay time constant (0 = held)
    float gain;
    float lp0 = 0, lp1 = 0; // one-pole low-pass cutoff at start and end, Hz (0 = none)
    float hp = 0;           // one-pole high-pass cutoff, Hz (0 = none)
    float vibrato = 0;      // pitch wobble depth (fraction of the pitch) at 5.5 Hz
};

struct SoundDesc {
    const char *name;      // the file is wav/<name>.wav
    uint32_t seed;         // noise generator seed
    float drive;           // > 1 saturates the mix (tanh) for a louder, denser body
    const Voice *voices;
    int32_t count;
};

extern const SoundDesc sound_descs[];
extern const int sound_desc_count;

// Peak level of every sound, as a fraction of full scale.
#define SOUND_PEAK 0.9

// Renders a sound to samples (SOUND_RATE per second); its length is that of
// its longest voice.
void sound_render(const SoundDesc *desc, int16_t **samples, int32_t *count);
Bytes sound_build(const SoundDesc *desc);
