// Client entry point, game window and message pump: the processor check, the
// hand-over to game_init, the start-up order of display, sound, input and
// fonts, the main loop, the window procedure with its typed-key queue, the
// normal shutdown and the fatal exit. One thread; everything here runs on it.
//
// Backends: the environment variable BKM_PLATFORM, read once by
// platform_main, chooses "sdl" (default: SDL2 window, OpenAL Soft sound) or
// "headless" (memory frame, no window, input only from the script hook and
// the injection calls of plat_test.h, sounds and message boxes logged).
// BKM_INPUT_SCRIPT names a script of timed input (plat_script.h) that works
// with both. BKM_PLATFORM_LOG names a file that receives the layer's log
// lines (sounds played, message boxes, screenshots, releases).
#pragma once
#include <cstdint>

#include "platform/plat_game.h"

// ---- screens ---------------------------------------------------------------

enum ClientScreen {
    SCREEN_NAME_ENTRY = 0,
    SCREEN_LOADING = 1,
    SCREEN_TEAM_MENU = 2,
    SCREEN_WEAPON_MENU = 3,
    SCREEN_IN_GAME = 4,
    SCREEN_COUNT = 5,
};

typedef void (*ScreenFn)();

// Five callbacks indexed by ClientScreen, then the current screen. Lives in
// the program's state (game_screen_table()).
struct ScreenTable {
    ScreenFn screens[SCREEN_COUNT];
    int32_t current;
};

// Stores menu_name_screen .. game_play_screen into game_screen_table() and
// sets the current screen to SCREEN_NAME_ENTRY.
void installscreens();

// ---- processor -------------------------------------------------------------

#define CPU_REQUIRED_BY_ENTRY 0x11u // FPU (bit 0) and time-stamp counter (bit 4)

// The processor feature word taken once by platform_main (getcpufeatures,
// renderer/vox_cpu.h); the client passes it to startrenderer.
extern uint32_t CpuFeatures;

// ---- entry point -------------------------------------------------------------

// The program's entry (the client's main() is `return platform_main(argc, argv);`).
// argv[1], when present, is the whole command line in the Windows sense: its
// first character is skipped here, the rest goes to game_init as argv[0]
// (game_init's argc is the command line's length). Runs, in order: processor
// check (language string 19 box, -1), key states cleared, game_init (-1 on
// failure), window (string 30), display (string 21), sound and its master
// volume, input (strings 22, 24, 26), installscreens, one pumpmessages,
// loadfonts, then game_run_frame / pumpmessages until the quit message.
// Returns the quit message's code (0 after a normal close), -1 when start-up
// fails. A start-up failure after game_init succeeded shows its box, then runs
// game_shutdown and the releases (so the server sees a disconnect) before
// returning -1.
int platform_main(int argc, char **argv);

// ---- window messages -------------------------------------------------------

// The window messages that the layer generates and windowproc handles (the
// values of their Windows namesakes).
enum WindowMessage {
    WM_DESTROY = 0x0002,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_ERASEBKGND = 0x0014,
    WM_ACTIVATEAPP = 0x001C,
    WM_MOUSEACTIVATE = 0x0021,
    WM_NCPAINT = 0x0085,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_SYSCOMMAND = 0x0112,
    WM_LBUTTONDOWN = 0x0201,
    WM_RBUTTONDOWN = 0x0204,
};
#define SIZE_MINIMIZED 1
#define SIZE_MAXHIDE 4
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2
#define HTCLIENT 1
#define MA_ACTIVATEANDEAT 2
#define MA_NOACTIVATE 3
#define SC_KEYMENU 0xF100
#define SC_HOTKEY 0xF150

// Key messages carry the key in lParam as Windows does: bits 16-23 scan code,
// bit 24 extended flag (so bits 16-24 hold the DIK code of plat_keys.h),
// bit 30 previous state, bit 31 transition. KEY_LPARAM builds one.
#define KEY_LPARAM(dik, up, repeat) \
    ((int64_t)(1 | (((dik) & 0x7F) << 16) | (((dik) >> 7 & 1) << 24) | ((repeat) || (up) ? 1 << 30 : 0)) | \
     ((up) ? (int64_t)1 << 31 : 0))

// Empties the message queue: new input is collected from the backend, then
// each message goes to windowproc, until the queue is empty or WM_QUIT is met
// (sets the quit flag, keeps its wParam as the exit code, returns at once and
// leaves later messages queued).
void pumpmessages();
// The game window's procedure (see the layer's README section); returns the
// message's result. Tests call it directly with made-up messages.
int64_t windowproc(uint32_t message, uint64_t wparam, int64_t lparam);
// Posts a message to the queue (PostMessage); 1 posted, 0 queue full.
int postmessage(uint32_t message, uint64_t wparam, int64_t lparam);
// 1 once the pump has met WM_QUIT; its wParam is the exit code.
int getquitflag();
int getexitcode();
// 1 while the game window exists.
int windowexists();

// ---- typed keys ----------------------------------------------------------------

// KeyEvent: bits 0-7 character (0 none), 8-14 scan code, 15 extended flag
// (bits 8-15 are the DIK code), 16-21 modifiers held when the key went down.
typedef uint32_t KeyEvent;
#define KEYEVENT_CHAR(e) ((e) & 0xFFu)
#define KEYEVENT_DIK(e) (((e) >> 8) & 0xFFu)
#define KEYMOD_LSHIFT 0x10000u
#define KEYMOD_RSHIFT 0x20000u
#define KEYMOD_LCTRL 0x40000u
#define KEYMOD_RCTRL 0x80000u
#define KEYMOD_LALT 0x100000u
#define KEYMOD_RALT 0x200000u

#define KEY_QUEUE_SIZE 256 // holds at most 255 events

// Written by windowproc's key messages, read by readkeyevent. Acquiring the
// keyboard and WM_ACTIVATEAPP clear the modifier word.
struct KeyEventQueue {
    KeyEvent events[KEY_QUEUE_SIZE];
    int32_t read, write; // empty when equal; full when write + 1 == read (mod 256)
    uint32_t modifiers;  // KEYMOD_* bits of the modifier keys now down
};
extern KeyEventQueue keyevents;

// The oldest typed key, removed from the queue; 0 when the queue is empty.
KeyEvent readkeyevent();

// Line editor step. One readkeyevent; `line` is a zero-terminated text ending
// in the cursor '_' (start it as "_"). Backspace removes the character before
// the cursor; Enter with text removes the cursor and returns 1; any other
// character is added before the cursor while at most 15 precede it. The
// buffer must hold EDIT_LINE_SIZE bytes. Returns 1 only for Enter with text.
#define EDIT_LINE_SIZE 17
int edittextline(char *line);

// ---- quitting -------------------------------------------------------------------

// Posts WM_CLOSE to the game window: the normal way out. The pump that
// dispatches it runs the shutdown: unlockframe, game_shutdown, uninitmouse,
// uninitkeyboard, uninitdirectinput, uninitdirectsound, uninitdirectdraw,
// window destroyed, WM_QUIT(0); platform_main then returns 0.
void requestquit();
// Fatal exit; does not return. unlockframe; a box owned by the game window
// with `text` and caption "ERROR" (none when text is null); game_shutdown;
// the same releases as requestquit; ends the process with code 0. Safe at any
// point of the run, the releases skip what does not exist; called from
// inside game_shutdown it shows its box and goes on with the releases and
// the exit (game_shutdown is never entered twice).
[[noreturn]] void quitwitherror(const char *text);

// ---- small window services ----------------------------------------------------

// A modal box with an OK button. owned = 1 places it over the game window
// (when it exists). The text is always logged (and written to stderr); the
// headless backend, an active input script or BKM_MESSAGEBOX=log show nothing
// and return at once.
void messagebox(const char *text, const char *caption, int owned);
// The game window's rectangle in screen pixels (left, top, right, bottom);
// all 0 without a window.
void getwindowrect(int32_t rect[4]);
// Moves the mouse pointer to screen (x, y) while the window has the focus
// (does nothing otherwise, or while the mouse is acquired).
void setcursorpos(int32_t x, int32_t y);
// ShowCursor: show != 0 adds one to the display counter, 0 takes one away;
// the pointer is visible while the counter is >= 0. Returns the new counter.
int32_t showcursor(int show);
// Opens a web page in the user's browser ("open"); 1 started, 0 failed. The
// headless backend only logs it.
int openurl(const char *url);
// Milliseconds since platform_main started (monotonic); the script hook's clock.
uint32_t plat_millis();
