// Calls between the layer's modules that the game never makes. Internal.
#pragma once
#include <cstdint>

// Input devices (plat_input.cpp): data for the acquired devices, as the
// events are collected. Mouse offsets: 0 x, 4 y, 8 wheel, 12..15 buttons.
void input_feed_key(int dik, int down);
void input_feed_mouse(int32_t offset, int32_t data);
// The window lost the focus: acquired devices become lost.
void input_focus_lost();
// Clears device buffers, key states, the button word and the flags as at start.
void input_reset();
// 1 when either device buffer holds data.
int input_pending();

// Sound (plat_sound.cpp): lets a clocked loopback device render up to now.
void sound_advance(uint32_t now_ms);
// The window gained or lost the focus (events_focused): silent without it.
void sound_focus_changed();

// Message queue (plat_main.cpp): 1 when messages wait.
int messages_pending();
