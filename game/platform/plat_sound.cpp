// Sound effects on OpenAL Soft: a ring of 32 slots, one source each, a new
// buffer read from its WAV file for every play, and a listener that follows
// the camera.
#include "platform/plat_sound.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/lang.h"
#include "common/lang_ids.h"

#include "platform/plat_backend.h"
#include "platform/plat_events.h"
#include "platform/plat_internal.h"
#include "platform/plat_log.h"
#include "platform/plat_main.h"
#include "platform/plat_wav.h"

const int32_t sound_volume_table[SOUND_VOLUME_LEVELS] = {-10000, -1000, -699, -523, -398, -301,
                                                         -222,   -155,  -97,  -46,  0};

#define HEADLESS_RATE 22050
#define ADVANCE_CHUNK 2048
#define ADVANCE_MAX_MS 2000 // a longer pause renders only this much

enum SoundDevice {
    DEVICE_NONE = 0,
    DEVICE_SYSTEM,   // the default output
    DEVICE_CLOCKED,  // loopback rendered by sound_advance
    DEVICE_MANUAL,   // loopback rendered by sound_render_loopback
};

struct SoundSlot {
    ALuint buffer;   // 0 when the slot is free
    int32_t is3d;
    float gain;      // the sound's own gain before muting
    float pos[3];
};

// Sound state, one per run: on between initdirectsound and uninitdirectsound.
static ALCdevice *sound_device;
static ALCcontext *sound_context;
static int32_t sound_kind;
static int32_t sound_rate;
static uint32_t sound_clock_ms;
static ALuint sound_sources[SOUND_SLOTS];
static SoundSlot sound_slots[SOUND_SLOTS];
static int32_t slot_counter = -1;
static int32_t master_volume;
static int32_t master_level_set;
static float listener_pos[3];

// Hundredths of a decibel to an amplitude factor; -10000 and below is silence.
static float sound_gain(int32_t hundredths)
{
    if (hundredths <= -10000) return 0.0f;
    if (hundredths >= 0) return 1.0f;
    return std::pow(10.0f, (float)hundredths / 2000.0f);
}

// The listener's gain: the master volume while the window has the focus,
// silence while another window has it (the sounds play on, unheard).
static void listener_apply_gain()
{
    if (sound_context) alListenerf(AL_GAIN, events_focused() ? sound_gain(master_volume) : 0.0f);
}

static int sound_finite3(const float *v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

static void slot_release(int32_t s)
{
    SoundSlot *slot = &sound_slots[s];
    if (!slot->buffer) return;
    alSourceStop(sound_sources[s]);
    alSourcei(sound_sources[s], AL_BUFFER, 0);
    alDeleteBuffers(1, &slot->buffer);
    *slot = SoundSlot{};
}

// Beyond the maximum distance a 3-D sound is muted; nearer it has its gain.
static void slot_apply_gain(int32_t s)
{
    const SoundSlot *slot = &sound_slots[s];
    float gain = slot->gain;
    if (slot->is3d) {
        const float dx = slot->pos[0] - listener_pos[0], dy = slot->pos[1] - listener_pos[1],
                    dz = slot->pos[2] - listener_pos[2];
        if (dx * dx + dy * dy + dz * dz > SOUND_MAX_DISTANCE * SOUND_MAX_DISTANCE) gain = 0.0f;
    }
    alSourcef(sound_sources[s], AL_GAIN, gain);
}

// OpenAL is right-handed and the game's z points down: the game's down
// vector becomes OpenAL's "up" negated, so the side a sound comes from is
// the side it lies on from the player's own right vector.
static void listener_orient(const float *front, const float *top)
{
    const float orientation[6] = {front[0], front[1], front[2], -top[0], -top[1], -top[2]};
    alListenerfv(AL_ORIENTATION, orientation);
}

// Context, sources and listener on an opened device. Null when ready, else
// the text of what failed (the device is closed then).
static const char *sound_setup(ALCdevice *device, const ALCint *attrs)
{
    ALCcontext *context = alcCreateContext(device, attrs);
    if (!context || !alcMakeContextCurrent(context)) {
        if (context) alcDestroyContext(context);
        alcCloseDevice(device);
        return "CreateSoundBuffer (primary) failed";
    }
    alGetError();
    alGenSources(SOUND_SLOTS, sound_sources);
    if (alGetError() != AL_NO_ERROR) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(context);
        alcCloseDevice(device);
        return "CreateSoundBuffer (primary) failed";
    }
    // Rolloff as a multiple of the real-world fall-off of 6 dB per doubling
    // of the distance: a gain of (distance / reference) ^ -rolloff, the
    // distance clamped to the reference and the maximum distance.
    alDistanceModel(AL_EXPONENT_DISTANCE_CLAMPED);
    alDopplerFactor(1.0f);
    const float zero[3] = {0, 0, 0}, front[3] = {0, 0, 1}, top[3] = {0, 1, 0};
    alListenerfv(AL_POSITION, zero);
    alListenerfv(AL_VELOCITY, zero);
    listener_orient(front, top);
    std::memset(listener_pos, 0, sizeof listener_pos);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteSources(SOUND_SLOTS, sound_sources);
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(context);
        alcCloseDevice(device);
        return "Query...Listener failed";
    }
    sound_device = device;
    sound_context = context;
    listener_apply_gain();
    return nullptr;
}

static ALCdevice *sound_open_loopback(int32_t rate, ALCint *attrs)
{
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return nullptr;
    auto open = (LPALCLOOPBACKOPENDEVICESOFT)alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT");
    if (!open) return nullptr;
    ALCdevice *device = open(nullptr);
    if (!device) return nullptr;
    int n = 0;
    attrs[n++] = ALC_FORMAT_CHANNELS_SOFT;
    attrs[n++] = ALC_STEREO_SOFT;
    attrs[n++] = ALC_FORMAT_TYPE_SOFT;
    attrs[n++] = ALC_FLOAT_SOFT;
    attrs[n++] = ALC_FREQUENCY;
    attrs[n++] = rate;
    if (alcIsExtensionPresent(device, "ALC_SOFT_HRTF")) { // plain panning, whatever the user's settings say
        attrs[n++] = ALC_HRTF_SOFT;
        attrs[n++] = ALC_FALSE;
    }
    attrs[n] = 0;
    return device;
}

static void sound_reset_slots()
{
    std::memset(sound_slots, 0, sizeof sound_slots);
    slot_counter = -1;
}

// ALSA's error handler as libasound declares it.
typedef void (*AlsaErrorHandler)(const char *file, int line, const char *function, int err, const char *fmt, ...);
typedef int (*AlsaSetErrorHandler)(AlsaErrorHandler handler);

static void alsa_error_ignored(const char *, int, const char *, int, const char *, ...) {}

// Probing for a device that is not there makes OpenAL Soft and ALSA print a
// screenful of errors; the client says it in one line of its own instead.
// Both are quieted through their own documented settings: OpenAL Soft's
// ALSOFT_LOGLEVEL and ALSA's snd_lib_error_set_handler, reached in the library
// OpenAL Soft itself loads. Someone who sets ALSOFT_LOGLEVEL sees them all.
static void sound_quiet_libraries()
{
    static int done;
    if (done || std::getenv("ALSOFT_LOGLEVEL")) return;
    done = 1;
    setenv("ALSOFT_LOGLEVEL", "0", 0);
    void *alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa) return; // no ALSA: nothing of it to quiet
    auto set = (AlsaSetErrorHandler)dlsym(alsa, "snd_lib_error_set_handler");
    if (set) set(alsa_error_ignored);
    // The library stays loaded, so that its handler stays set.
}

void initdirectsound()
{
    if (sound_device) uninitdirectsound();
    sound_reset_slots();
    ALCint attrs[16] = {0};
    ALCdevice *device;
    const int clocked = plat_backend && plat_backend->sounddevice == SOUND_DEVICE_CLOCKED;
    if (clocked) device = sound_open_loopback(HEADLESS_RATE, attrs);
    else {
        sound_quiet_libraries();
        device = alcOpenDevice(nullptr);
    }
    if (!device) {
        plat_log("sound off");
        std::fprintf(stderr, "%s\n", lang_get_or(LANG_SOUND_OFF, "No sound device: sound is off."));
        return; // no audio device: the game runs silently
    }
    const char *failed = sound_setup(device, clocked ? attrs : nullptr);
    if (failed) quitwitherror(failed);
    sound_kind = clocked ? DEVICE_CLOCKED : DEVICE_SYSTEM;
    sound_rate = HEADLESS_RATE;
    sound_clock_ms = plat_millis();
}

int sound_init_loopback(int32_t rate)
{
    if (sound_device) uninitdirectsound();
    sound_reset_slots();
    ALCint attrs[16];
    ALCdevice *device = rate > 0 ? sound_open_loopback(rate, attrs) : nullptr;
    if (!device || sound_setup(device, attrs)) return 0;
    sound_kind = DEVICE_MANUAL;
    sound_rate = rate;
    return 1;
}

int sound_render_loopback(float *out, int32_t frames)
{
    if (sound_kind != DEVICE_MANUAL || frames < 0) return 0;
    auto render = (LPALCRENDERSAMPLESSOFT)alcGetProcAddress(sound_device, "alcRenderSamplesSOFT");
    if (!render) return 0;
    render(sound_device, out, frames);
    return 1;
}

void sound_advance(uint32_t now_ms)
{
    if (sound_kind != DEVICE_CLOCKED) return;
    uint32_t elapsed = now_ms - sound_clock_ms;
    sound_clock_ms = now_ms;
    if (elapsed > ADVANCE_MAX_MS) elapsed = ADVANCE_MAX_MS;
    auto render = (LPALCRENDERSAMPLESSOFT)alcGetProcAddress(sound_device, "alcRenderSamplesSOFT");
    static float scratch[2 * ADVANCE_CHUNK];
    int64_t frames = (int64_t)elapsed * sound_rate / 1000;
    while (render && frames > 0) {
        const int32_t n = frames > ADVANCE_CHUNK ? ADVANCE_CHUNK : (int32_t)frames;
        render(sound_device, scratch, n);
        frames -= n;
    }
}

void uninitdirectsound()
{
    if (!sound_device) return;
    for (int32_t s = SOUND_SLOTS - 1; s >= 0; s--) slot_release(s);
    alDeleteSources(SOUND_SLOTS, sound_sources);
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(sound_context);
    alcCloseDevice(sound_device);
    sound_context = nullptr;
    sound_device = nullptr;
    sound_kind = DEVICE_NONE;
    plat_log("release sound");
}

int sound_is_on() { return sound_device != nullptr; }

void setmastervolume(int32_t level)
{
    level = level < 0 ? 0 : level > 10 ? 10 : level;
    master_volume = sound_volume_table[level];
    master_level_set = 1;
    listener_apply_gain();
}

void sound_focus_changed() { listener_apply_gain(); }

int32_t sound_master_volume() { return master_level_set ? master_volume : 0; }

int32_t nextsoundslot()
{
    slot_counter = (int32_t)((uint32_t)slot_counter + 1);
    const int32_t s = slot_counter & (SOUND_SLOTS - 1);
    if (!sound_context) return s;
    slot_release(s);
    for (int32_t i = 0; i < SOUND_SLOTS; i++) {
        if (!sound_slots[i].buffer) continue;
        ALint state = AL_STOPPED;
        alGetSourcei(sound_sources[i], AL_SOURCE_STATE, &state);
        if (state != AL_PLAYING) slot_release(i);
    }
    return s;
}

int32_t sound_slot_counter() { return slot_counter; }

int sound_slot_state(int32_t slot)
{
    if (!sound_context || slot < 0 || slot >= SOUND_SLOTS || !sound_slots[slot].buffer) return 0;
    ALint state = AL_STOPPED;
    alGetSourcei(sound_sources[slot], AL_SOURCE_STATE, &state);
    return state == AL_PLAYING ? 1 : 2;
}

int loadwavbuffer(int32_t slot, const char *file, uint32_t flags)
{
    if (!sound_context || slot < 0 || slot >= SOUND_SLOTS) return 0;
    slot_release(slot);
    uint8_t *bytes;
    size_t size;
    WavSound wav;
    if (wav_load_file(file, &bytes, &size, &wav) != WAV_OK) return 0;
    const int bits16 = wav.format.bitspersample == 16;
    int channels = wav.format.channels;
    const uint8_t *samples = wav.samples;
    uint32_t count = wav.bytes;
    uint8_t *mono = nullptr;
    // Only one-channel sounds have a position: a stereo file played in 3-D is
    // mixed down.
    if ((flags & SOUNDBUF_CTRL3D) && channels == 2) {
        const uint32_t frames = count / (bits16 ? 4 : 2);
        mono = (uint8_t *)std::malloc(frames ? frames * (bits16 ? 2 : 1) : 1);
        if (!mono) {
            std::free(bytes);
            return 0;
        }
        for (uint32_t i = 0; i < frames; i++) {
            if (bits16) {
                const int32_t l = (int16_t)(samples[4 * i] | samples[4 * i + 1] << 8);
                const int32_t r = (int16_t)(samples[4 * i + 2] | samples[4 * i + 3] << 8);
                const int32_t m = (l + r) / 2;
                mono[2 * i] = (uint8_t)m;
                mono[2 * i + 1] = (uint8_t)((uint32_t)m >> 8);
            } else {
                mono[i] = (uint8_t)((samples[2 * i] + samples[2 * i + 1]) / 2);
            }
        }
        samples = mono;
        count = frames * (bits16 ? 2 : 1);
        channels = 1;
    }
    const ALenum format = channels == 1 ? (bits16 ? AL_FORMAT_MONO16 : AL_FORMAT_MONO8)
                                        : (bits16 ? AL_FORMAT_STEREO16 : AL_FORMAT_STEREO8);
    alGetError();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    if (alGetError() == AL_NO_ERROR) {
        alBufferData(buffer, format, samples, (ALsizei)count, (ALsizei)wav.format.samplerate);
        if (alGetError() == AL_NO_ERROR) alSourcei(sound_sources[slot], AL_BUFFER, (ALint)buffer);
        if (alGetError() != AL_NO_ERROR) {
            alDeleteBuffers(1, &buffer);
            buffer = 0;
        }
    } else {
        buffer = 0;
    }
    std::free(mono);
    std::free(bytes);
    if (!buffer) return 0;
    sound_slots[slot] = SoundSlot{buffer, (flags & SOUNDBUF_CTRL3D) ? 1 : 0, 1.0f, {0, 0, 0}};
    return 1;
}

static void slot_play(int32_t s, int32_t volume)
{
    sound_slots[s].gain = volume < 0 ? sound_gain(volume) : 1.0f;
    slot_apply_gain(s);
    alGetError();
    alSourceRewind(sound_sources[s]);
    alSourcePlay(sound_sources[s]);
    if (alGetError() != AL_NO_ERROR) slot_release(s);
}

void playsound(const char *file, int32_t volume)
{
    plat_log("sound %s %d", file ? file : "", volume);
    if (!sound_context) return;
    const int32_t s = nextsoundslot();
    if (!loadwavbuffer(s, file, SOUNDBUF_STATIC | SOUNDBUF_CTRLVOLUME)) return;
    const ALuint src = sound_sources[s];
    const float zero[3] = {0, 0, 0};
    alSourcei(src, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcefv(src, AL_POSITION, zero);
    alSourcef(src, AL_ROLLOFF_FACTOR, 0.0f);
    slot_play(s, volume);
}

void playsound3d(const char *file, int32_t volume, Vec3 position)
{
    float pos[3] = {position.x, position.y, position.z};
    if (!sound_finite3(pos)) pos[0] = pos[1] = pos[2] = 0.0f;
    plat_log("sound3d %s %d %.2f %.2f %.2f", file ? file : "", volume, pos[0], pos[1], pos[2]);
    if (!sound_context) return;
    const int32_t s = nextsoundslot();
    if (!loadwavbuffer(s, file, SOUNDBUF_STATIC | SOUNDBUF_CTRL3D | SOUNDBUF_CTRLVOLUME | SOUNDBUF_MUTE3DATMAXDISTANCE))
        return;
    const ALuint src = sound_sources[s];
    alSourcei(src, AL_SOURCE_RELATIVE, AL_FALSE);
    alSourcefv(src, AL_POSITION, pos);
    alSourcef(src, AL_REFERENCE_DISTANCE, 1.0f);
    alSourcef(src, AL_MAX_DISTANCE, SOUND_MAX_DISTANCE);
    alSourcef(src, AL_ROLLOFF_FACTOR, SOUND_ROLLOFF);
    std::memcpy(sound_slots[s].pos, pos, sizeof pos);
    slot_play(s, volume);
}

void setlistener(Vec3 position, Vec3 front, Vec3 top)
{
    const float pos[3] = {position.x, position.y, position.z};
    const float f[3] = {front.x, front.y, front.z};
    const float t[3] = {top.x, top.y, top.z};
    if (!sound_context || !sound_finite3(pos) || !sound_finite3(f) || !sound_finite3(t)) return;
    alListenerfv(AL_POSITION, pos);
    listener_orient(f, t);
    std::memcpy(listener_pos, pos, sizeof pos);
    for (int32_t s = 0; s < SOUND_SLOTS; s++)
        if (sound_slots[s].buffer && sound_slots[s].is3d) slot_apply_gain(s);
}
