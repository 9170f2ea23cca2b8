// Keyboard and mouse devices: buffered input (64 events per device) turned
// into the key states and mouse sums that the game reads once per frame, the
// window's activation state and the capture flags that decide when the
// devices are acquired. Typed characters come from the key queue of
// plat_main.h, not from here.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/plat_keys.h"

#define INPUT_BUFFER_EVENTS 64 // device events kept between two reads; older ones are lost

// State of every key, indexed by DIK code (plat_keys.h): current is 1 while
// the key is down; previous is current as it was at the start of the last
// readkeyboard (bit 0 only). A key is pressed this frame when previous is 0
// and current non-zero; the game consumes a press by setting current to 0.
struct KeyStates {
    uint8_t current[256];
    uint8_t previous[256];
};
extern KeyStates keystates;

// Mouse buttons in the button word.
#define MOUSE_LEFT 1u
#define MOUSE_RIGHT 2u
#define MOUSE_MIDDLE 4u
#define MOUSE_BUTTON4 8u
#define WHEEL_DELTA 120 // wheel units per notch

// What readmouse reports for one frame.
struct MouseState {
    int32_t dx, dy;   // relative motion summed over the events read
    int32_t wheel;    // wheel motion summed, WHEEL_DELTA per notch, positive away from the user
    uint32_t buttons; // MOUSE_* bits of the buttons down
};

// Result codes of the device calls (0 success).
enum InputResult {
    DI_OK = 0,
    DIERR_INPUTLOST = -1,
    DIERR_NOTACQUIRED = -2,
    DIERR_OTHERAPPHASPRIO = -3, // acquire refused: the window has no focus
    DIERR_NOTINITIALIZED = -4,
};

struct KeyboardDevice; // opaque

// Creates the input object. 1 ready; 0 after the box "initdirectinput failed: %08lx" / "ERROR".
int initdirectinput();
// Releases the input object when it exists.
void uninitdirectinput();
// Create, configure and (when its capture flag is set) acquire the keyboard,
// resp. the mouse. 1 ready; 0 after releasing what was made and the box
// "initdirectinput(keyboard) failed: %08lx\n" (or "(mouse)") / "ERROR".
// Need initdirectinput first.
int initkeyboard();
int initmouse();
// Unacquire and release the device when it exists.
void uninitkeyboard();
void uninitmouse();

// Reads up to 64 buffered keyboard events into keystates (see KeyStates).
// Refreshes previous from current first, even when the read fails. A lost or
// not-acquired keyboard is acquired again (clearing the modifier word) and
// read once more. A read changes each key at most once: a key that went down
// and up again since the last read is down for this read and up at the next,
// so a tap shorter than a frame is seen. Returns the number of keys changed,
// 0 on a failed read.
int readkeyboard();
// Reads up to 64 buffered mouse events: motion and wheel sums, the button
// word (kept between reads; a click shorter than a frame is down for one
// read and up at the next, as for keys). All four 0 when the window is not
// active, the mouse-capture flag is 0 or there is no mouse, or the device
// stays lost. After WM_ACTIVATEAPP the button word is reported as 0 once.
void readmouse(int32_t *dx, int32_t *dy, int32_t *wheel, uint32_t *buttons);

// Records the window's activation: windowed, sets the cursor capture to
// `active`; acquires the devices whose capture flag is set when active
// (clearing the button word, the modifier word and, for a keyboard that was
// not acquired, keystates.current), else releases them.
void setactive(int active);
// 1 while the game window is active.
int getactive();
// The windowed-mode cursor-capture flag (set 1 at start when windowed).
void setcursorcapture(int on);
int getcursorcapture();
// Sets the two capture flags, acquiring or releasing a device whose flag
// changes while the window is active.
void setinputcapture(int mouse, int keyboard);
// Requests that the next readmouse report the buttons as 0 (WM_ACTIVATEAPP).
void requestmousebuttonreset();

// The keyboard device, null when there is none.
KeyboardDevice *getkeyboarddevice();
// The device's name for the key of a DIK code ("Esc", "A", "Space",
// "Left Ctrl" ...), cut to fit `out` (cap bytes, always zero-terminated when
// cap > 0). Returns 1 when the key exists, else 0 with out = "".
int keyboardkeyname(const KeyboardDevice *device, int dik, char *out, size_t cap);
// Waits up to `milliseconds` for input; 0 when input is waiting, 258 on time-out.
int32_t waitforinput(uint32_t milliseconds);
