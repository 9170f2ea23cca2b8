// Keyboard and mouse devices: buffered device data, key states, mouse sums,
// activation and capture flags.
#include "platform/plat_input.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/plat_backend.h"
#include "platform/plat_display.h"
#include "platform/plat_events.h"
#include "platform/plat_internal.h"
#include "platform/plat_log.h"
#include "platform/plat_main.h"

KeyStates keystates;

struct DeviceData {
    int32_t offset; // keyboard: DIK code; mouse: 0 x, 4 y, 8 wheel, 12..15 buttons
    int32_t data;   // key and button: 0x80 down, 0 up; axes: signed motion
};

#define INPUT_MAX_DUE 4 // changes of one key kept for later reads; more drop a press and its release

// One device: its existence, acquisition and buffer of the newest 64 events.
// The game reads a key or button once a frame, so a read takes at most one
// change of each; later changes of the same key wait for the next reads, so
// that a tap shorter than a frame is still seen down for one read. They wait
// as a count of alternating changes and the state the first of them sets.
struct InputDevice {
    int32_t exists;
    int32_t acquired;
    int32_t lost; // the focus went away while acquired
    DeviceData buffer[INPUT_BUFFER_EVENTS];
    int32_t head, count;
    uint8_t due[256];      // changes still due, per key or button
    uint8_t due_state[256]; // the state the next due change sets
};

struct KeyboardDevice {
    InputDevice dev;
};

// Input state, one per run.
static int32_t input_object;   // 1 between initdirectinput and uninitdirectinput
static KeyboardDevice keyboard;
static InputDevice mouse;
static int32_t active_flag = 1;
static int32_t mouse_capture = 1, keyboard_capture = 1;
static int32_t cursor_capture;
static uint32_t button_word;
static int32_t button_reset;

static void device_clear(InputDevice *d)
{
    d->head = d->count = 0;
    std::memset(d->due, 0, sizeof d->due);
}

// Applies the changes due from earlier reads, one per key: `state` holds the
// 0/1 state of each of the `n` keys or buttons, `changed` marks those changed
// by this read.
static void device_apply_due(InputDevice *d, uint8_t *state, uint8_t *changed, int n)
{
    for (int k = 0; k < n; k++) {
        if (!d->due[k]) continue;
        state[k] = d->due_state[k];
        d->due_state[k] ^= 1;
        d->due[k]--;
        changed[k] = 1;
    }
}

// One key or button event of this read: applied when it is the key's first
// change in this read, else kept for the next reads. A change that finds the
// limit of waiting changes cancels the last one instead, which leaves the
// same final state (a press and its release are lost, not the key's state).
static void device_apply_event(InputDevice *d, uint8_t *state, uint8_t *changed, int k, int down)
{
    if (!changed[k]) {
        if (state[k] != down) {
            state[k] = (uint8_t)down;
            changed[k] = 1;
        }
        return;
    }
    const int n = d->due[k];
    const int last = n == 0 ? state[k] : ((n & 1) ? d->due_state[k] : !d->due_state[k]);
    if (last == down) return;
    if (n == 0) {
        d->due_state[k] = (uint8_t)down;
        d->due[k] = 1;
    } else if (n == INPUT_MAX_DUE) {
        d->due[k]--;
    } else {
        d->due[k]++;
    }
}

static void device_push(InputDevice *d, int32_t offset, int32_t data)
{
    if (!d->exists || !d->acquired) return;
    if (d->count == INPUT_BUFFER_EVENTS) { // overflow: the oldest event is lost
        d->head = (d->head + 1) % INPUT_BUFFER_EVENTS;
        d->count--;
    }
    d->buffer[(d->head + d->count) % INPUT_BUFFER_EVENTS] = DeviceData{offset, data};
    d->count++;
}

static void device_mouse_mode()
{
    // The pointer is held in the window (relative motion) exactly while the
    // mouse is acquired.
    if (plat_backend) plat_backend->relative_mouse(mouse.exists && mouse.acquired);
}

static int32_t device_acquire(InputDevice *d)
{
    if (!d->exists) return DIERR_NOTINITIALIZED;
    if (!events_focused()) return DIERR_OTHERAPPHASPRIO; // foreground devices need the focus
    if (!d->acquired) {
        device_clear(d);
        // Keys released while another window had the input never send their
        // release here: a keyboard acquired anew starts with every key up.
        if (d == &keyboard.dev) std::memset(keystates.current, 0, sizeof keystates.current);
    }
    d->acquired = 1;
    d->lost = 0;
    if (d == &mouse) device_mouse_mode();
    return DI_OK;
}

static void device_unacquire(InputDevice *d)
{
    d->acquired = 0;
    d->lost = 0;
    device_clear(d);
    if (d == &mouse) device_mouse_mode();
}

// GetDeviceData: moves up to 64 events into out; DI_OK or why not.
static int32_t device_read(InputDevice *d, DeviceData *out, int32_t *n)
{
    *n = 0;
    if (!d->exists) return DIERR_NOTINITIALIZED;
    if (d->lost) return DIERR_INPUTLOST;
    if (!d->acquired) return DIERR_NOTACQUIRED;
    while (d->count > 0) {
        out[(*n)++] = d->buffer[d->head];
        d->head = (d->head + 1) % INPUT_BUFFER_EVENTS;
        d->count--;
    }
    return DI_OK;
}

void input_feed_key(int dik, int down) { device_push(&keyboard.dev, dik & 255, down ? 0x80 : 0); }

void input_feed_mouse(int32_t offset, int32_t data) { device_push(&mouse, offset, data); }

void input_focus_lost()
{
    InputDevice *devs[2] = {&keyboard.dev, &mouse};
    for (InputDevice *d : devs) {
        if (!d->exists || !d->acquired) continue;
        d->acquired = 0;
        d->lost = 1;
        device_clear(d);
    }
    device_mouse_mode();
}

int input_pending() { return keyboard.dev.count > 0 || mouse.count > 0; }

void input_reset()
{
    std::memset(&keystates, 0, sizeof keystates);
    device_clear(&keyboard.dev);
    device_clear(&mouse);
    active_flag = 1;
    mouse_capture = keyboard_capture = 1;
    button_word = 0;
    button_reset = 0;
}

static void input_box(const char *format, int32_t code)
{
    char text[96];
    std::snprintf(text, sizeof text, format, (unsigned long)(uint32_t)code);
    messagebox(text, "ERROR", 1);
}

int initdirectinput()
{
    input_object = 1;
    return 1;
}

void uninitdirectinput()
{
    if (!input_object) return;
    input_object = 0;
    plat_log("release input");
}

// Device set-up shared by both devices. A refused acquire is no failure: the
// first read acquires again once the window has the focus.
static int device_init(InputDevice *d, int32_t capture)
{
    if (!input_object) return 0;
    std::memset(d, 0, sizeof *d);
    d->exists = 1;
    if (capture) device_acquire(d);
    return 1;
}

int initkeyboard()
{
    if (keyboard.dev.exists) uninitkeyboard();
    if (!device_init(&keyboard.dev, keyboard_capture)) {
        input_box("initdirectinput(keyboard) failed: %08lx\n", DIERR_NOTINITIALIZED);
        return 0;
    }
    keyevents.modifiers = 0;
    return 1;
}

int initmouse()
{
    if (mouse.exists) uninitmouse();
    if (!device_init(&mouse, mouse_capture)) {
        input_box("initdirectinput(mouse) failed: %08lx\n", DIERR_NOTINITIALIZED);
        return 0;
    }
    button_word = 0;
    return 1;
}

void uninitkeyboard()
{
    if (!keyboard.dev.exists) return;
    device_unacquire(&keyboard.dev);
    keyboard.dev.exists = 0;
    plat_log("release keyboard");
}

void uninitmouse()
{
    if (!mouse.exists) return;
    device_unacquire(&mouse);
    mouse.exists = 0;
    device_mouse_mode();
    plat_log("release mouse");
}

int readkeyboard()
{
    events_collect();
    DeviceData data[INPUT_BUFFER_EVENTS];
    int32_t n;
    int32_t rc = device_read(&keyboard.dev, data, &n);
    if (rc == DIERR_INPUTLOST || rc == DIERR_NOTACQUIRED) {
        device_acquire(&keyboard.dev);
        keyevents.modifiers = 0;
        rc = device_read(&keyboard.dev, data, &n);
    }
    for (int k = 0; k < 256; k++) keystates.previous[k] = keystates.current[k] & 1;
    if (rc != DI_OK) return 0;
    uint8_t state[256], changed[256] = {};
    for (int k = 0; k < 256; k++) state[k] = keystates.current[k] ? 1 : 0;
    device_apply_due(&keyboard.dev, state, changed, 256);
    for (int32_t i = 0; i < n; i++)
        device_apply_event(&keyboard.dev, state, changed, data[i].offset & 255, (data[i].data & 0x80) ? 1 : 0);
    int applied = 0;
    for (int k = 0; k < 256; k++) {
        // A key the game consumed (current 0 while held) stays 0 until it changes.
        if (!changed[k]) continue;
        keystates.current[k] = state[k];
        applied++;
    }
    return applied;
}

void readmouse(int32_t *dx, int32_t *dy, int32_t *wheel, uint32_t *buttons)
{
    *dx = *dy = *wheel = 0;
    *buttons = 0;
    events_collect();
    if (!active_flag || !mouse_capture || !mouse.exists) return;
    DeviceData data[INPUT_BUFFER_EVENTS];
    int32_t n;
    int32_t rc = device_read(&mouse, data, &n);
    if (rc == DIERR_INPUTLOST || rc == DIERR_NOTACQUIRED) {
        device_acquire(&mouse);
        button_word = 0;
        rc = device_read(&mouse, data, &n);
        if (rc == DIERR_INPUTLOST || rc == DIERR_NOTACQUIRED) return;
    }
    uint8_t state[4], changed[4] = {};
    for (int b = 0; b < 4; b++) state[b] = (button_word >> b) & 1;
    device_apply_due(&mouse, state, changed, 4);
    for (int32_t i = 0; i < n; i++) {
        const int32_t off = data[i].offset;
        // Sums wrap as the device's 32-bit values would, never overflow.
        if (off == 0) *dx = (int32_t)((uint32_t)*dx + (uint32_t)data[i].data);
        else if (off == 4) *dy = (int32_t)((uint32_t)*dy + (uint32_t)data[i].data);
        else if (off == 8) *wheel = (int32_t)((uint32_t)*wheel + (uint32_t)data[i].data);
        else if (off >= 12 && off <= 15) device_apply_event(&mouse, state, changed, off - 12, (data[i].data & 0x80) ? 1 : 0);
    }
    button_word = 0;
    for (int b = 0; b < 4; b++) button_word |= (uint32_t)state[b] << b;
    if (button_reset) {
        button_reset = 0;
        button_word = 0;
    }
    *buttons = button_word;
}

void setactive(int active)
{
    active_flag = active;
    if (game_display_settings()->windowed) setcursorcapture(active != 0);
    if (mouse.exists) {
        if (active && mouse_capture) {
            device_acquire(&mouse);
            button_word = 0;
        } else {
            device_unacquire(&mouse);
        }
    }
    if (keyboard.dev.exists) {
        if (active && keyboard_capture) {
            device_acquire(&keyboard.dev);
            keyevents.modifiers = 0;
        } else {
            device_unacquire(&keyboard.dev);
        }
    }
}

int getactive() { return active_flag; }

void setcursorcapture(int on) { cursor_capture = on; }

int getcursorcapture() { return cursor_capture; }

void setinputcapture(int mousecap, int keyboardcap)
{
    if (mousecap != mouse_capture) {
        if (active_flag && mouse.exists) {
            if (mousecap) {
                device_acquire(&mouse);
                button_word = 0;
            } else {
                device_unacquire(&mouse);
            }
        }
        mouse_capture = mousecap;
    }
    if (keyboardcap != keyboard_capture) {
        if (active_flag && keyboard.dev.exists) {
            if (keyboardcap) {
                device_acquire(&keyboard.dev);
                keyevents.modifiers = 0;
            } else {
                device_unacquire(&keyboard.dev);
            }
        }
        keyboard_capture = keyboardcap;
    }
}

void requestmousebuttonreset() { button_reset = 1; }

KeyboardDevice *getkeyboarddevice() { return keyboard.dev.exists ? &keyboard : nullptr; }

int keyboardkeyname(const KeyboardDevice *device, int dik, char *out, size_t cap)
{
    if (cap) out[0] = 0;
    const KeyInfo *k = key_info(dik);
    if (!device || !device->dev.exists || !k) return 0;
    std::snprintf(out, cap, "%s", k->name);
    return 1;
}

int32_t waitforinput(uint32_t milliseconds)
{
    const uint32_t start = plat_millis();
    for (;;) {
        events_collect();
        if (input_pending() || messages_pending()) return 0;
        if (plat_millis() - start >= milliseconds) return 258;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
