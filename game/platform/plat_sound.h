// Sound effects: one-shot WAV sounds, without position or at a world
// position heard from a listener that moves with the camera, at most 32 at a
// time in a ring of slots, and an 11-step master volume. OpenAL Soft renders
// them (on the default device; headless and in tests on a loopback device
// that renders into memory). Without an audio device sound is off and every
// call does nothing: the game runs silently.
//
// Units: volumes are attenuations in hundredths of a decibel (0 loudest,
// -10000 silent); positions are the game's world coordinates in blocks (z
// down), the listener's front is the camera's forward vector and its top the
// camera's down vector, exactly as the game has them. A sound beyond
// SOUND_MAX_DISTANCE from the listener is silent; nearer ones fall off by
// SOUND_ROLLOFF times the real-world 6 dB per doubling of the distance (a
// gain of distance ^ -SOUND_ROLLOFF, 1 within one block). While another
// window has the focus every sound is silent.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/math_vec.h"

#define SOUND_SLOTS 32
#define SOUND_MAX_DISTANCE 128.0f
#define SOUND_ROLLOFF 0.1f
#define SOUND_VOLUME_LEVELS 11

// Master volume by level 0..10, hundredths of a decibel (0 -> -10000, 10 -> 0).
extern const int32_t sound_volume_table[SOUND_VOLUME_LEVELS];

// Flags of loadwavbuffer (the buffer kinds of the design).
#define SOUNDBUF_STATIC 0x2u
#define SOUNDBUF_CTRLVOLUME 0x80u
#define SOUNDBUF_CTRL3D 0x10u
#define SOUNDBUF_MUTE3DATMAXDISTANCE 0x20000u

// Starts sound on the output the backend chose (sdl: the default device;
// headless: a loopback device advanced by the clock). No device: sound stays
// off, nothing is shown. A device that opens but cannot be set up ends the
// program through quitwitherror ("CreateSoundBuffer (primary) failed" or
// "Query...Listener failed"). A running sound is stopped first.
void initdirectsound();
// Starts sound on an OpenAL Soft loopback device that renders stereo floats
// at `rate` only when sound_render_loopback asks (tests). 1 started, 0 when
// the loopback device cannot be made.
int sound_init_loopback(int32_t rate);
// Renders `frames` stereo frames (left, right floats) of the loopback device
// into out (2 * frames floats). 1 rendered, 0 when sound is not on a loopback device.
int sound_render_loopback(float *out, int32_t frames);
// Releases slots 31 down to 0, then the listener and the device. Nothing when
// sound is off; safe to call twice.
void uninitdirectsound();
// 1 while sound is on.
int sound_is_on();

// Sets the listener gain from sound_volume_table (level outside 0..10 is
// clamped); kept and applied once sound is on.
void setmastervolume(int32_t level);
// The table value last set by setmastervolume (0 before any).
int32_t sound_master_volume();

// Plays a WAV file once, without position. volume < 0 attenuates; 0 and
// positive play at full volume. Reads the file anew every time; a missing or
// malformed file is not played, nothing is reported.
void playsound(const char *file, int32_t volume);
// Plays a WAV file once at a world position (non-finite coordinates count as 0).
void playsound3d(const char *file, int32_t volume, Vec3 position);
// Moves the listener: position, front (forward) and top (the game's down
// vector). Non-finite values leave the listener where it was.
void setlistener(Vec3 position, Vec3 front, Vec3 top);

// The slot to use next, 0..31 in turn: it releases that slot (cutting off a
// sound still playing there) and every slot whose sound has finished.
int32_t nextsoundslot();
// Loads a WAV file into slot `slot` (released by nextsoundslot first) as a
// buffer of the given SOUNDBUF_* kind. 1 loaded, 0 not (the slot stays empty).
int loadwavbuffer(int32_t slot, const char *file, uint32_t flags);
// What is in a slot, for tests: 0 empty, 1 loaded and playing, 2 loaded and finished.
int sound_slot_state(int32_t slot);
// The current slot counter (-1 before the first play).
int32_t sound_slot_counter();
