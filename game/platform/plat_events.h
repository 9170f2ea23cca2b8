// Raw input as the backends and the script deliver it, and its collection:
// key, character and window events become window messages for the pump, key
// and mouse data go into the device buffers of the acquired devices.
// Internal to the layer.
#pragma once
#include <cstdint>

enum RawEventType {
    RAW_KEY_DOWN = 1, // a = DIK code
    RAW_KEY_REPEAT,   // a = DIK code (auto-repeat: a window message, no device data)
    RAW_KEY_UP,       // a = DIK code
    RAW_CHAR,         // a = character 1..255
    RAW_MOTION,       // a = dx, b = dy
    RAW_WHEEL,        // a = wheel units (WHEEL_DELTA per notch)
    RAW_BUTTON_DOWN,  // a = button 0..3
    RAW_BUTTON_UP,
    RAW_FOCUS_IN,
    RAW_FOCUS_OUT,
    RAW_MINIMIZE,
    RAW_CLOSE,
    RAW_SURFACES_LOST,
};

#define RAW_EVENT_QUEUE 1024 // events waiting for collection; more are dropped

// Queues one raw event. 1 queued, 0 dropped (queue full).
int events_push(int type, int32_t a, int32_t b);
// Polls the backend, runs the script, then hands every queued event on.
void events_collect();
// Forgets queued events and sets the focus as at start (focused).
void events_reset();
// 1 while the window has the keyboard focus (input reaches it).
int events_focused();
