// The client's sounds as recipes. Each line is one voice:
//   wave, start s, length s, pitch from, pitch to (Hz), attack s, decay s, gain,
//   low-pass from, low-pass to, high-pass (Hz), vibrato
// Noise "pitch" is how often it takes a new value (0: every sample; low
// values rumble). The table at the end names each sound with its noise
// seed and its drive (above 1, the mix is saturated: shots and blasts).
#include <iterator>

#include "ag_sound.h"

#define SOUND(name, seed, drive, voices) {name, seed, drive, voices, (int32_t)std::size(voices)}

static const Wave SINE = WAVE_SINE, SQUARE = WAVE_SQUARE, SAW = WAVE_SAW, TRI = WAVE_TRIANGLE, NOISE = WAVE_NOISE;

// ---- Guns: a crack of bright noise, a rumble and a low thump, per gun.

static const Voice SEMI_SHOOT[] = {
    {NOISE, 0, 0.7f, 0, 0, 0.001f, 0.12f, 1.0f, 9000, 1400, 150},      // crack
    {NOISE, 0, 0.7f, 450, 250, 0.002f, 0.22f, 0.8f, 900, 200},         // rumble
    {SINE, 0, 0.3f, 95, 45, 0.001f, 0.07f, 0.9f},                      // thump
};
static const Voice SMG_SHOOT[] = {
    {NOISE, 0, 0.25f, 0, 0, 0.001f, 0.045f, 1.0f, 7000, 2500, 400},
    {SINE, 0, 0.14f, 150, 70, 0.001f, 0.03f, 0.6f},
    {SQUARE, 0, 0.04f, 900, 300, 0.0005f, 0.008f, 0.25f, 4000},        // bolt snap
};
static const Voice SHOTGUN_SHOOT[] = {
    {NOISE, 0, 1.0f, 0, 0, 0.001f, 0.2f, 1.0f, 5000, 500, 70},
    {NOISE, 0, 1.0f, 260, 120, 0.003f, 0.35f, 0.9f, 500, 140},
    {SINE, 0, 0.55f, 70, 34, 0.001f, 0.14f, 1.0f},
};

// ---- Gun handling: clicks (a high noise tick with a short metal ping) and slides.

static const Voice SEMI_RELOAD[] = {
    {NOISE, 0.05f, 0.05f, 0, 0, 0.0005f, 0.008f, 0.8f, 9000, 0, 1500},  // magazine catch
    {SINE, 0.05f, 0.08f, 2100, 2100, 0.0005f, 0.012f, 0.3f},
    {NOISE, 0.12f, 0.18f, 0, 0, 0.03f, 0.05f, 0.3f, 2500, 1200, 400},   // magazine out
    {NOISE, 0.75f, 0.1f, 0, 0, 0.0005f, 0.015f, 1.0f, 6000, 0, 700},    // magazine in
    {SINE, 0.75f, 0.12f, 950, 900, 0.0005f, 0.03f, 0.5f},
    {NOISE, 1.15f, 0.1f, 0, 0, 0.02f, 0.03f, 0.4f, 3500, 1500, 600},    // bolt back
    {NOISE, 1.4f, 0.1f, 0, 0, 0.0005f, 0.012f, 1.0f, 8000, 0, 900},     // bolt home
    {SINE, 1.4f, 0.15f, 1300, 1250, 0.0005f, 0.03f, 0.45f},
};
static const Voice SMG_RELOAD[] = {
    {NOISE, 0.03f, 0.05f, 0, 0, 0.0005f, 0.007f, 0.8f, 9000, 0, 1800},
    {NOISE, 0.08f, 0.15f, 0, 0, 0.03f, 0.04f, 0.3f, 2800, 1400, 500},
    {NOISE, 0.6f, 0.1f, 0, 0, 0.0005f, 0.012f, 1.0f, 7000, 0, 800},
    {SINE, 0.6f, 0.1f, 1150, 1100, 0.0005f, 0.025f, 0.45f},
    {NOISE, 0.95f, 0.06f, 0, 0, 0.0005f, 0.008f, 0.8f, 9000, 0, 1500}, // charging handle
    {NOISE, 1.08f, 0.08f, 0, 0, 0.0005f, 0.012f, 1.0f, 8000, 0, 900},
    {SINE, 1.08f, 0.12f, 1700, 1650, 0.0005f, 0.025f, 0.4f},
};
static const Voice SHOTGUN_RELOAD[] = {
    {NOISE, 0, 0.14f, 0, 0, 0.04f, 0.04f, 0.35f, 3000, 1500, 500},    // shell slides in
    {NOISE, 0.15f, 0.06f, 0, 0, 0.0005f, 0.01f, 1.0f, 8000, 0, 1000},
    {SINE, 0.15f, 0.2f, 2500, 2450, 0.0005f, 0.04f, 0.35f},            // brass ping
};
static const Voice COCK[] = {
    {NOISE, 0, 0.1f, 0, 0, 0.03f, 0.03f, 0.4f, 3000, 1500, 400},       // pump back
    {NOISE, 0.1f, 0.08f, 0, 0, 0.0005f, 0.012f, 1.0f, 6000, 0, 700},
    {SINE, 0.1f, 0.1f, 800, 760, 0.0005f, 0.025f, 0.5f},
    {NOISE, 0.24f, 0.09f, 0, 0, 0.03f, 0.03f, 0.4f, 3000, 1500, 400},  // pump forward
    {NOISE, 0.33f, 0.08f, 0, 0, 0.0005f, 0.012f, 1.0f, 6000, 0, 700},
    {SINE, 0.33f, 0.12f, 1000, 950, 0.0005f, 0.025f, 0.5f},
};
static const Voice EMPTY[] = {
    {NOISE, 0, 0.06f, 0, 0, 0.0005f, 0.006f, 1.0f, 9000, 0, 2000},
    {SINE, 0, 0.06f, 3200, 3000, 0.0005f, 0.008f, 0.3f},
};
static const Voice SWITCH[] = {
    {NOISE, 0, 0.18f, 0, 0, 0.04f, 0.05f, 0.3f, 2000, 900, 300},       // cloth
    {NOISE, 0.02f, 0.05f, 0, 0, 0.0005f, 0.008f, 1.0f, 8000, 0, 1200},
    {NOISE, 0.1f, 0.05f, 0, 0, 0.0005f, 0.008f, 0.8f, 7000, 0, 1000},
    {SINE, 0.1f, 0.06f, 1400, 1400, 0.0005f, 0.012f, 0.3f},
};

// ---- Tools and blocks.

static const Voice BUILD[] = {
    {SINE, 0, 0.2f, 330, 280, 0.001f, 0.05f, 1.0f},                    // wooden knock
    {SINE, 0, 0.12f, 660, 600, 0.001f, 0.025f, 0.5f},
    {NOISE, 0, 0.05f, 0, 0, 0.0005f, 0.008f, 0.6f, 3000, 0, 200},
};
static const Voice WOOSH[] = {
    {NOISE, 0, 0.32f, 0, 0, 0.12f, 0.07f, 1.0f, 700, 2600, 350},
};
static const Voice WHACK[] = {
    {SINE, 0, 0.2f, 190, 120, 0.001f, 0.05f, 1.0f},                    // blow
    {NOISE, 0, 0.05f, 0, 0, 0.0005f, 0.01f, 0.8f, 5000, 0, 300},
    {SINE, 0, 0.5f, 523, 520, 0.001f, 0.2f, 0.45f},                    // the spade rings
    {SINE, 0, 0.4f, 1231, 1228, 0.001f, 0.14f, 0.3f},
    {SINE, 0, 0.3f, 2107, 2100, 0.001f, 0.08f, 0.2f},
};
static const Voice HITGROUND[] = {
    {NOISE, 0, 0.2f, 0, 0, 0.001f, 0.04f, 1.0f, 4500, 1500, 300},      // dirt
    {NOISE, 0, 0.3f, 900, 500, 0.002f, 0.08f, 0.7f, 700},
};
static const Voice HITPLAYER[] = {
    {NOISE, 0, 0.2f, 2500, 1200, 0.001f, 0.04f, 0.9f, 1800},
    {SINE, 0, 0.2f, 160, 90, 0.001f, 0.05f, 0.9f},
};
static const Voice PIN[] = {
    {NOISE, 0, 0.04f, 0, 0, 0.0005f, 0.006f, 0.8f, 9000, 0, 2000},
    {SINE, 0.01f, 0.35f, 2400, 2390, 0.001f, 0.09f, 0.6f},
    {SINE, 0.01f, 0.3f, 3650, 3640, 0.001f, 0.06f, 0.35f},
};
static const Voice GRENADEBOUNCE[] = {
    {SINE, 0, 0.2f, 1900, 1880, 0.0005f, 0.045f, 0.8f},
    {SINE, 0, 0.15f, 2950, 2930, 0.0005f, 0.03f, 0.5f},
    {NOISE, 0, 0.03f, 0, 0, 0.0005f, 0.006f, 0.6f, 9000, 0, 2000},
    {SINE, 0, 0.1f, 140, 90, 0.001f, 0.02f, 0.5f},
};

// ---- Explosions and falling blocks.

static const Voice EXPLODE[] = {
    {NOISE, 0, 2.0f, 0, 0, 0.002f, 0.45f, 1.0f, 3000, 220, 30},
    {NOISE, 0, 2.0f, 140, 60, 0.004f, 0.7f, 1.0f, 320, 80},
    {SINE, 0, 1.0f, 58, 28, 0.002f, 0.3f, 1.0f},
    {NOISE, 0, 0.4f, 0, 0, 0.001f, 0.07f, 0.35f, 9000, 0, 3000},         // crackle
};
static const Voice WATEREXPLODE[] = {
    {SINE, 0, 0.8f, 62, 30, 0.002f, 0.22f, 1.0f},                        // muffled boom
    {NOISE, 0, 1.2f, 0, 0, 0.003f, 0.35f, 0.8f, 600, 150},
    {NOISE, 0.12f, 1.5f, 0, 0, 0.15f, 0.4f, 0.6f, 6000, 2500, 1200},     // the spout falls back
    {SINE, 0.25f, 0.06f, 420, 950, 0.005f, 0.02f, 0.25f},                // bubbles
    {SINE, 0.38f, 0.05f, 520, 1100, 0.005f, 0.02f, 0.2f},
    {SINE, 0.5f, 0.06f, 380, 880, 0.005f, 0.02f, 0.25f},
    {SINE, 0.66f, 0.05f, 600, 1200, 0.005f, 0.02f, 0.2f},
};
static const Voice DEBRIS[] = {
    {NOISE, 0, 1.0f, 300, 120, 0.01f, 0.3f, 0.7f, 450, 150},             // rumble
    {NOISE, 0.00f, 0.08f, 0, 0, 0.0005f, 0.03f, 0.9f, 2600, 0, 300},     // blocks breaking off
    {NOISE, 0.07f, 0.08f, 0, 0, 0.0005f, 0.025f, 0.7f, 3200, 0, 400},
    {NOISE, 0.16f, 0.08f, 0, 0, 0.0005f, 0.03f, 0.8f, 2200, 0, 300},
    {NOISE, 0.23f, 0.08f, 0, 0, 0.0005f, 0.02f, 0.6f, 3800, 0, 500},
    {NOISE, 0.33f, 0.08f, 0, 0, 0.0005f, 0.03f, 0.7f, 2500, 0, 300},
    {NOISE, 0.45f, 0.08f, 0, 0, 0.0005f, 0.025f, 0.5f, 3000, 0, 400},
    {NOISE, 0.56f, 0.08f, 0, 0, 0.0005f, 0.03f, 0.4f, 2400, 0, 300},
    {NOISE, 0.70f, 0.08f, 0, 0, 0.0005f, 0.025f, 0.3f, 2800, 0, 400},
};
static const Voice BOUNCE[] = {
    {SINE, 0, 0.2f, 115, 70, 0.001f, 0.05f, 1.0f},
    {NOISE, 0, 0.15f, 0, 0, 0.001f, 0.035f, 0.7f, 1400, 0, 150},
};

// ---- Moving about. Four footsteps and four wading steps, each a little different.

static const Voice FOOTSTEP1[] = {
    {NOISE, 0, 0.15f, 1400, 900, 0.001f, 0.025f, 1.0f, 900},
    {SINE, 0, 0.12f, 105, 60, 0.001f, 0.03f, 0.8f},
    {NOISE, 0.005f, 0.05f, 0, 0, 0.001f, 0.012f, 0.25f, 9000, 0, 2500}, // grit
};
static const Voice FOOTSTEP2[] = {
    {NOISE, 0, 0.15f, 1200, 800, 0.001f, 0.028f, 1.0f, 800},
    {SINE, 0, 0.12f, 95, 55, 0.001f, 0.032f, 0.8f},
    {NOISE, 0.01f, 0.05f, 0, 0, 0.001f, 0.01f, 0.3f, 9000, 0, 2800},
};
static const Voice FOOTSTEP3[] = {
    {NOISE, 0, 0.15f, 1600, 1000, 0.001f, 0.022f, 1.0f, 1000},
    {SINE, 0, 0.12f, 115, 65, 0.001f, 0.028f, 0.75f},
    {NOISE, 0.004f, 0.05f, 0, 0, 0.001f, 0.014f, 0.2f, 9000, 0, 2200},
};
static const Voice FOOTSTEP4[] = {
    {NOISE, 0, 0.15f, 1300, 850, 0.001f, 0.026f, 1.0f, 850},
    {SINE, 0, 0.12f, 100, 58, 0.001f, 0.03f, 0.85f},
    {NOISE, 0.008f, 0.05f, 0, 0, 0.001f, 0.011f, 0.28f, 9000, 0, 2600},
};
static const Voice WADE1[] = {
    {NOISE, 0, 0.35f, 0, 0, 0.03f, 0.09f, 1.0f, 2500, 800, 250},        // slosh
    {NOISE, 0.08f, 0.2f, 0, 0, 0.01f, 0.06f, 0.5f, 6000, 0, 1200},      // splash
    {SINE, 0.06f, 0.05f, 600, 1100, 0.005f, 0.015f, 0.2f},              // bubble
};
static const Voice WADE2[] = {
    {NOISE, 0, 0.35f, 0, 0, 0.035f, 0.1f, 1.0f, 2200, 700, 250},
    {NOISE, 0.1f, 0.2f, 0, 0, 0.01f, 0.05f, 0.5f, 5500, 0, 1100},
    {SINE, 0.09f, 0.05f, 520, 980, 0.005f, 0.015f, 0.2f},
};
static const Voice WADE3[] = {
    {NOISE, 0, 0.35f, 0, 0, 0.025f, 0.08f, 1.0f, 2800, 900, 280},
    {NOISE, 0.07f, 0.2f, 0, 0, 0.01f, 0.065f, 0.55f, 6500, 0, 1300},
    {SINE, 0.05f, 0.05f, 680, 1250, 0.005f, 0.015f, 0.2f},
};
static const Voice WADE4[] = {
    {NOISE, 0, 0.35f, 0, 0, 0.03f, 0.095f, 1.0f, 2400, 750, 240},
    {NOISE, 0.09f, 0.2f, 0, 0, 0.01f, 0.055f, 0.45f, 5800, 0, 1150},
    {SINE, 0.07f, 0.05f, 560, 1050, 0.005f, 0.015f, 0.2f},
};
static const Voice JUMP[] = {
    {NOISE, 0, 0.22f, 0, 0, 0.02f, 0.05f, 0.6f, 1800, 0, 400},          // cloth
    {SAW, 0, 0.18f, 170, 230, 0.01f, 0.05f, 0.5f, 900},                 // effort
};
static const Voice LAND[] = {
    {SINE, 0, 0.2f, 85, 50, 0.001f, 0.05f, 1.0f},
    {NOISE, 0, 0.2f, 800, 500, 0.001f, 0.05f, 0.8f, 700},
    {NOISE, 0.005f, 0.08f, 0, 0, 0.001f, 0.015f, 0.3f, 9000, 0, 2500},
};
static const Voice WATERJUMP[] = {
    {NOISE, 0, 0.4f, 0, 0, 0.02f, 0.12f, 1.0f, 6000, 2000, 800},
    {SINE, 0.1f, 0.05f, 500, 1000, 0.005f, 0.015f, 0.25f},
    {SINE, 0.18f, 0.05f, 650, 1200, 0.005f, 0.015f, 0.2f},
};
static const Voice WATERLAND[] = {
    {SINE, 0, 0.25f, 75, 45, 0.001f, 0.06f, 0.8f},
    {NOISE, 0, 0.55f, 0, 0, 0.005f, 0.18f, 1.0f, 5000, 1500, 300},
    {SINE, 0.15f, 0.05f, 450, 950, 0.005f, 0.015f, 0.25f},
    {SINE, 0.27f, 0.05f, 600, 1150, 0.005f, 0.015f, 0.2f},
};
static const Voice FALLHURT[] = {
    {SINE, 0, 0.2f, 80, 45, 0.001f, 0.05f, 1.0f},                       // impact
    {SAW, 0.03f, 0.4f, 165, 95, 0.01f, 0.12f, 0.7f, 1200, 700},         // grunt
};
static const Voice DEATH[] = {
    {SINE, 0, 0.25f, 120, 60, 0.001f, 0.06f, 0.8f},
    {SAW, 0.02f, 0.9f, 210, 75, 0.02f, 0.3f, 0.8f, 1100, 450, 0, 0.03f}, // groan
};

// ---- Signals and music.

static const Voice BEEP1[] = {{SINE, 0, 0.3f, 1320, 1320, 0.005f, 0, 1.0f}};
static const Voice BEEP2[] = {{SINE, 0, 0.12f, 880, 880, 0.005f, 0, 1.0f}};
static const Voice CHAT[] = {
    {SINE, 0, 0.06f, 1200, 1200, 0.003f, 0.03f, 1.0f},
    {SINE, 0.06f, 0.08f, 1600, 1600, 0.003f, 0.04f, 1.0f},
};
static const Voice PICKUP[] = {
    {SQUARE, 0, 0.12f, 660, 660, 0.003f, 0.08f, 0.6f, 3000},
    {SQUARE, 0.08f, 0.12f, 880, 880, 0.003f, 0.08f, 0.6f, 3000},
    {SQUARE, 0.16f, 0.25f, 1320, 1320, 0.003f, 0.12f, 0.6f, 3000},
};
static const Voice HORN[] = { // a brass chord, A major
    {SAW, 0, 1.8f, 110, 110, 0.08f, 1.2f, 0.4f, 1200, 0, 0, 0.006f},
    {SAW, 0, 1.8f, 220, 220, 0.08f, 1.2f, 0.4f, 1800, 0, 0, 0.006f},
    {SAW, 0.02f, 1.78f, 277.2f, 277.2f, 0.08f, 1.2f, 0.35f, 1800, 0, 0, 0.006f},
    {SAW, 0.04f, 1.76f, 329.6f, 329.6f, 0.08f, 1.2f, 0.35f, 1800, 0, 0, 0.006f},
};
static const Voice INTRO[] = { // G C E G, E G, C: a rising fanfare over a bass
    {SQUARE, 0.00f, 0.17f, 392.0f, 392.0f, 0.005f, 0.12f, 0.35f, 2500},
    {SQUARE, 0.18f, 0.17f, 523.3f, 523.3f, 0.005f, 0.12f, 0.35f, 2500},
    {SQUARE, 0.36f, 0.17f, 659.3f, 659.3f, 0.005f, 0.12f, 0.35f, 2500},
    {SQUARE, 0.54f, 0.35f, 784.0f, 784.0f, 0.005f, 0.25f, 0.35f, 2500},
    {SQUARE, 0.99f, 0.17f, 659.3f, 659.3f, 0.005f, 0.12f, 0.35f, 2500},
    {SQUARE, 1.17f, 0.17f, 784.0f, 784.0f, 0.005f, 0.12f, 0.35f, 2500},
    {SQUARE, 1.35f, 1.4f, 1046.5f, 1046.5f, 0.005f, 0.6f, 0.4f, 2500, 0, 0, 0.004f},
    {TRI, 0.00f, 0.9f, 130.8f, 130.8f, 0.01f, 0.5f, 0.6f},
    {TRI, 0.90f, 0.45f, 98.0f, 98.0f, 0.01f, 0.3f, 0.6f},
    {TRI, 1.35f, 1.4f, 130.8f, 130.8f, 0.01f, 0.7f, 0.6f},
    {TRI, 1.35f, 1.4f, 196.0f, 196.0f, 0.01f, 0.7f, 0.35f},
};

const SoundDesc sound_descs[] = {
    SOUND("beep1", 1, 1.0f, BEEP1),
    SOUND("beep2", 2, 1.0f, BEEP2),
    SOUND("bounce", 3, 1.5f, BOUNCE),
    SOUND("build", 4, 1.0f, BUILD),
    SOUND("chat", 5, 1.0f, CHAT),
    SOUND("cock", 6, 1.0f, COCK),
    SOUND("death", 7, 1.0f, DEATH),
    SOUND("debris", 8, 1.5f, DEBRIS),
    SOUND("empty", 9, 1.0f, EMPTY),
    SOUND("explode", 10, 3.0f, EXPLODE),
    SOUND("fallhurt", 11, 1.0f, FALLHURT),
    SOUND("footstep1", 12, 1.0f, FOOTSTEP1),
    SOUND("footstep2", 13, 1.0f, FOOTSTEP2),
    SOUND("footstep3", 14, 1.0f, FOOTSTEP3),
    SOUND("footstep4", 15, 1.0f, FOOTSTEP4),
    SOUND("grenadebounce", 16, 1.0f, GRENADEBOUNCE),
    SOUND("hitground", 17, 1.5f, HITGROUND),
    SOUND("hitplayer", 18, 1.0f, HITPLAYER),
    SOUND("horn", 19, 1.0f, HORN),
    SOUND("intro", 20, 1.0f, INTRO),
    SOUND("jump", 21, 1.0f, JUMP),
    SOUND("land", 22, 1.5f, LAND),
    SOUND("pickup", 23, 1.0f, PICKUP),
    SOUND("pin", 24, 1.0f, PIN),
    SOUND("semireload", 25, 1.0f, SEMI_RELOAD),
    SOUND("semishoot", 26, 3.0f, SEMI_SHOOT),
    SOUND("shotgunreload", 27, 1.0f, SHOTGUN_RELOAD),
    SOUND("shotgunshoot", 28, 3.0f, SHOTGUN_SHOOT),
    SOUND("smgreload", 29, 1.0f, SMG_RELOAD),
    SOUND("smgshoot", 30, 2.5f, SMG_SHOOT),
    SOUND("switch", 31, 1.0f, SWITCH),
    SOUND("wade1", 32, 1.0f, WADE1),
    SOUND("wade2", 33, 1.0f, WADE2),
    SOUND("wade3", 34, 1.0f, WADE3),
    SOUND("wade4", 35, 1.0f, WADE4),
    SOUND("waterexplode", 36, 2.0f, WATEREXPLODE),
    SOUND("waterjump", 37, 1.0f, WATERJUMP),
    SOUND("waterland", 38, 1.0f, WATERLAND),
    SOUND("whack", 39, 1.5f, WHACK),
    SOUND("woosh", 40, 1.0f, WOOSH),
};
const int sound_desc_count = (int)std::size(sound_descs);
