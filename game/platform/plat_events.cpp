// Raw input collection: backend and script events turned into window
// messages and device data, and the injection hooks that tests and the
// script use.
#include "platform/plat_events.h"

#include "platform/plat_backend.h"
#include "platform/plat_display.h"
#include "platform/plat_input.h"
#include "platform/plat_internal.h"
#include "platform/plat_keys.h"
#include "platform/plat_main.h"
#include "platform/plat_script.h"
#include "platform/plat_test.h"

struct RawEvent {
    int32_t type;
    int32_t a, b;
};

static RawEvent raw_queue[RAW_EVENT_QUEUE];
static int32_t raw_head, raw_count;
static int focused = 1;
static uint32_t injected_modifiers; // modifier keys held by injected input, for their characters

int events_push(int type, int32_t a, int32_t b)
{
    if (raw_count == RAW_EVENT_QUEUE) return 0;
    raw_queue[(raw_head + raw_count) % RAW_EVENT_QUEUE] = RawEvent{type, a, b};
    raw_count++;
    return 1;
}

int events_focused() { return focused; }

void events_reset()
{
    raw_head = raw_count = 0;
    focused = 1;
    injected_modifiers = 0;
    sound_focus_changed();
}

static void events_deliver(const RawEvent &e)
{
    // A window without the focus gets no keyboard or mouse input.
    switch (e.type) {
    case RAW_KEY_DOWN:
        if (!focused) return;
        input_feed_key(e.a, 1);
        postmessage(WM_KEYDOWN, (uint64_t)e.a, KEY_LPARAM(e.a, 0, 0));
        return;
    case RAW_KEY_REPEAT:
        if (focused) postmessage(WM_KEYDOWN, (uint64_t)e.a, KEY_LPARAM(e.a, 0, 1));
        return;
    case RAW_KEY_UP:
        if (!focused) return;
        input_feed_key(e.a, 0);
        postmessage(WM_KEYUP, (uint64_t)e.a, KEY_LPARAM(e.a, 1, 0));
        return;
    case RAW_CHAR:
        if (focused) postmessage(WM_CHAR, (uint64_t)(e.a & 255), 1);
        return;
    case RAW_MOTION:
        if (!focused) return;
        if (e.a) input_feed_mouse(0, e.a);
        if (e.b) input_feed_mouse(4, e.b);
        return;
    case RAW_WHEEL:
        if (focused) input_feed_mouse(8, e.a);
        return;
    case RAW_BUTTON_DOWN:
    case RAW_BUTTON_UP:
        if (!focused || e.a < 0 || e.a > 3) return;
        input_feed_mouse(12 + e.a, e.type == RAW_BUTTON_DOWN ? 0x80 : 0);
        if (e.type == RAW_BUTTON_DOWN && e.a < 2) postmessage(e.a == 0 ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, 1, 0);
        return;
    case RAW_FOCUS_IN:
        if (focused) return;
        focused = 1;
        sound_focus_changed();
        postmessage(WM_ACTIVATEAPP, 1, 0);
        postmessage(WM_ACTIVATE, WA_ACTIVE, 0);
        return;
    case RAW_FOCUS_OUT:
        if (!focused) return;
        focused = 0;
        input_focus_lost();
        sound_focus_changed();
        postmessage(WM_ACTIVATE, WA_INACTIVE, 0);
        postmessage(WM_ACTIVATEAPP, 0, 0);
        return;
    case RAW_MINIMIZE:
        postmessage(WM_SIZE, SIZE_MINIMIZED, 0);
        return;
    case RAW_CLOSE:
        postmessage(WM_CLOSE, 0, 0);
        return;
    case RAW_SURFACES_LOST:
        plat_lose_surfaces();
        return;
    }
}

void events_collect()
{
    if (plat_backend) plat_backend->poll();
    if (script_active()) script_tick(plat_millis());
    sound_advance(plat_millis());
    while (raw_count > 0) {
        const RawEvent e = raw_queue[raw_head];
        raw_head = (raw_head + 1) % RAW_EVENT_QUEUE;
        raw_count--;
        events_deliver(e);
    }
}

static uint32_t modifier_bit(int dik)
{
    switch (dik) {
    case DIK_LSHIFT: return KEYMOD_LSHIFT;
    case DIK_RSHIFT: return KEYMOD_RSHIFT;
    case DIK_LCONTROL: return KEYMOD_LCTRL;
    case DIK_RCONTROL: return KEYMOD_RCTRL;
    case DIK_LMENU: return KEYMOD_LALT;
    case DIK_RMENU: return KEYMOD_RALT;
    default: return 0;
    }
}

void plat_inject_key(int dik, int down)
{
    if (dik < 1 || dik > 255) return;
    const uint32_t bit = modifier_bit(dik);
    if (!down) {
        injected_modifiers &= ~bit;
        events_push(RAW_KEY_UP, dik, 0);
        return;
    }
    injected_modifiers |= bit;
    events_push(RAW_KEY_DOWN, dik, 0);
    // The character the key types follows its key-down, as the system's
    // translation of key messages delivers it.
    const uint8_t c = key_char(dik, injected_modifiers);
    if (c && !(injected_modifiers & (KEYMOD_LALT | KEYMOD_RALT))) events_push(RAW_CHAR, c, 0);
}

void plat_inject_char(uint8_t c)
{
    if (c) events_push(RAW_CHAR, c, 0);
}

int plat_inject_typed(uint8_t c)
{
    int shift = 0;
    const int dik = c == '\n' ? DIK_RETURN : key_for_char(c, &shift);
    if (dik < 0) return 0;
    if (shift) plat_inject_key(DIK_LSHIFT, 1);
    plat_inject_key(dik, 1);
    plat_inject_key(dik, 0);
    if (shift) plat_inject_key(DIK_LSHIFT, 0);
    return 1;
}

void plat_inject_mouse(int32_t dx, int32_t dy) { events_push(RAW_MOTION, dx, dy); }
void plat_inject_wheel(int32_t notches) { events_push(RAW_WHEEL, notches * WHEEL_DELTA, 0); }
void plat_inject_button(int button, int down) { events_push(down ? RAW_BUTTON_DOWN : RAW_BUTTON_UP, button, 0); }
void plat_inject_focus(int on) { events_push(on ? RAW_FOCUS_IN : RAW_FOCUS_OUT, 0, 0); }
void plat_inject_minimize() { events_push(RAW_MINIMIZE, 0, 0); }
void plat_inject_close() { events_push(RAW_CLOSE, 0, 0); }
