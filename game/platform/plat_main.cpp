// Client entry point: start-up order, main loop, message queue and pump,
// the window procedure with its typed-key queue, the line editor and the
// two ways out (window closed, fatal error).
#include "platform/plat_main.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/lang.h"
#include "common/lang_ids.h"
#include "platform/plat_display.h"
#include "platform/plat_events.h"
#include "platform/plat_font.h"
#include "platform/plat_input.h"
#include "platform/plat_internal.h"
#include "platform/plat_log.h"
#include "platform/plat_script.h"
#include "platform/plat_sound.h"
#include "platform/plat_stop.h"
#include "platform/plat_test.h"
#include "renderer/vox_cpu.h"
#include "renderer/vox_start.h"

uint32_t CpuFeatures;
KeyEventQueue keyevents;

#define MESSAGE_QUEUE 1024 // posted messages waiting for the pump

struct QueuedMessage {
    uint32_t message;
    uint64_t wparam;
    int64_t lparam;
};

// Message queue and quit state, one per run.
static QueuedMessage message_queue[MESSAGE_QUEUE];
static int32_t message_head, message_count;
static int32_t quit_flag, exit_code;
static int32_t shutdown_started; // game_shutdown has been entered (by either way out)
static int32_t stop_posted;      // a stop signal's close was posted

int postmessage(uint32_t message, uint64_t wparam, int64_t lparam)
{
    if (message_count == MESSAGE_QUEUE) return 0;
    message_queue[(message_head + message_count) % MESSAGE_QUEUE] = QueuedMessage{message, wparam, lparam};
    message_count++;
    return 1;
}

int messages_pending() { return message_count > 0; }
int getquitflag() { return quit_flag; }
int getexitcode() { return exit_code; }

void pumpmessages()
{
    events_collect();
    // A stop signal closes the window, as the user would.
    if (stop_requested() && !stop_posted && windowexists()) stop_posted = postmessage(WM_CLOSE, 0, 0);
    while (message_count > 0) {
        const QueuedMessage m = message_queue[message_head];
        message_head = (message_head + 1) % MESSAGE_QUEUE;
        message_count--;
        if (m.message == WM_QUIT) {
            quit_flag = 1;
            exit_code = (int32_t)m.wparam;
            return;
        }
        if (!windowexists()) continue; // messages of a destroyed window are dropped
        windowproc(m.message, m.wparam, m.lparam);
    }
}

void installscreens()
{
    ScreenTable *t = game_screen_table();
    t->screens[SCREEN_NAME_ENTRY] = menu_name_screen;
    t->screens[SCREEN_LOADING] = menu_loading_screen;
    t->screens[SCREEN_TEAM_MENU] = menu_team_screen;
    t->screens[SCREEN_WEAPON_MENU] = menu_weapon_screen;
    t->screens[SCREEN_IN_GAME] = game_play_screen;
    t->current = SCREEN_NAME_ENTRY;
}

// Input devices, sound and display, in the order both ways out release them.
static void release_services()
{
    uninitmouse();
    uninitkeyboard();
    uninitdirectinput();
    uninitdirectsound();
    uninitdirectdraw();
}

static void run_game_shutdown()
{
    if (shutdown_started) return;
    shutdown_started = 1;
    game_shutdown();
}

// Default processing: closing destroys the window.
static int64_t defwindowproc(uint32_t message)
{
    if (message == WM_CLOSE) plat_destroy_window();
    return 0;
}

// The modifier bit of a key message's scan code and extended flag, or 0.
static uint32_t key_modifier(int64_t lparam)
{
    switch (lparam & 0x17F0000) {
    case 0x2A0000: return KEYMOD_LSHIFT;
    case 0x360000: return KEYMOD_RSHIFT;
    case 0x1D0000: return KEYMOD_LCTRL;
    case 0x11D0000: return KEYMOD_RCTRL;
    case 0x380000: return KEYMOD_LALT;
    case 0x1380000: return KEYMOD_RALT;
    default: return 0;
    }
}

int64_t windowproc(uint32_t message, uint64_t wparam, int64_t lparam)
{
    switch (message) {
    case WM_DESTROY:
        plat_log("release window");
        postmessage(WM_QUIT, 0, 0);
        return 0;
    case WM_SIZE:
        if (wparam == SIZE_MINIMIZED || wparam == SIZE_MAXHIDE) setactive(0);
        break;
    case WM_ACTIVATE:
        if ((wparam & 0xFFFF) == WA_CLICKACTIVE) return 0;
        setactive((wparam & 0xFFFF) != 0);
        break;
    case WM_CLOSE:
        unlockframe();
        run_game_shutdown();
        release_services();
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_ACTIVATEAPP:
        keyevents.modifiers = 0;
        requestmousebuttonreset();
        break;
    case WM_MOUSEACTIVATE:
        if ((lparam & 0xFFFF) == HTCLIENT) {
            setactive(1);
            return MA_ACTIVATEANDEAT;
        }
        return MA_NOACTIVATE;
    case WM_NCPAINT:
        if (!game_display_settings()->windowed) return 0;
        break;
    case WM_KEYDOWN: {
        if ((wparam & 0xFF) == 0xFF) break;
        const uint32_t mod = key_modifier(lparam);
        if (mod) {
            keyevents.modifiers |= mod;
            return 0;
        }
        KeyEventQueue *q = &keyevents;
        q->events[q->write] = (uint32_t)(((lparam >> 8) & 0x7F00) + ((lparam >> 9) & 0x8000)) + q->modifiers;
        // A full queue keeps the entry invisible; the next key overwrites it.
        if ((q->write + 1) % KEY_QUEUE_SIZE != q->read) q->write = (q->write + 1) % KEY_QUEUE_SIZE;
        return 0;
    }
    case WM_KEYUP: {
        if ((wparam & 0xFF) == 0xFF) break;
        const uint32_t mod = key_modifier(lparam);
        if (mod & (KEYMOD_LSHIFT | KEYMOD_RSHIFT)) keyevents.modifiers &= ~(KEYMOD_LSHIFT | KEYMOD_RSHIFT);
        else keyevents.modifiers &= ~mod;
        return 0;
    }
    case WM_CHAR: {
        KeyEventQueue *q = &keyevents;
        if (q->read != q->write) q->events[(q->write + KEY_QUEUE_SIZE - 1) % KEY_QUEUE_SIZE] |= (uint32_t)(wparam & 0xFF);
        return 0;
    }
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_KEYMENU || (wparam & 0xFFF0) == SC_HOTKEY) return 0;
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        if (!getactive()) setactive(1);
        break;
    default:
        break;
    }
    return defwindowproc(message);
}

KeyEvent readkeyevent()
{
    KeyEventQueue *q = &keyevents;
    if (q->read == q->write) return 0;
    const KeyEvent e = q->events[q->read];
    q->read = (q->read + 1) % KEY_QUEUE_SIZE;
    return e;
}

int edittextline(char *line)
{
    const uint8_t c = (uint8_t)KEYEVENT_CHAR(readkeyevent());
    if (c == 0) return 0;
    const size_t n = std::strlen(line); // the cursor included
    if (c == 8) {
        if (n > 1) {
            line[n - 2] = '_';
            line[n - 1] = 0;
        }
        return 0;
    }
    if (c == 13) {
        if (n > 1) {
            line[n - 1] = 0;
            return 1;
        }
        return 0;
    }
    if (n >= 1 && n <= 15) {
        line[n - 1] = (char)c;
        line[n] = '_';
        line[n + 1] = 0;
    }
    return 0;
}

void requestquit() { postmessage(WM_CLOSE, 0, 0); }

void quitwitherror(const char *text)
{
    unlockframe();
    if (text) messagebox(text, "ERROR", 1);
    run_game_shutdown(); // skipped when the fatal error came from inside it
    release_services();
    plat_log("exit 0");
    plat_close_backend();
    std::exit(0);
}

void plat_reset_input()
{
    message_head = message_count = 0;
    quit_flag = exit_code = 0;
    shutdown_started = 0;
    stop_posted = 0;
    std::memset(&keyevents, 0, sizeof keyevents);
    input_reset();
    events_reset();
}

// ---- entry point ---------------------------------------------------------------

// Texts for the boxes that can come before the language strings are loaded.
static const char *startup_text(int id)
{
    switch (id) {
    case LANG_ERR_CPU_BASIC: return lang_get_or(id, "This processor lacks a floating-point unit or a time-stamp counter.");
    case LANG_ERR_WINDOW: return lang_get_or(id, "The game window could not be created.");
    case LANG_ERR_DISPLAY: return lang_get_or(id, "The display could not be started.");
    case LANG_ERR_INPUT: return lang_get_or(id, "Input could not be started.");
    case LANG_ERR_KEYBOARD: return lang_get_or(id, "The keyboard could not be started.");
    case LANG_ERR_MOUSE: return lang_get_or(id, "The mouse could not be started.");
    default: return lang_get_or(id, "Start-up failed.");
    }
}

// A failure after game_init succeeded: the box, then the program's shutdown
// and every release.
static int startup_failed(int id)
{
    messagebox(startup_text(id), "ERROR", 0);
    run_game_shutdown();
    release_services();
    plat_destroy_window();
    plat_close_backend();
    return -1;
}

static int platform_run(int argc, char **argv);

int platform_main(int argc, char **argv)
{
    stop_watch_signals();
    const int rc = platform_run(argc, argv);
    stop_unwatch_signals();
    return rc;
}

static int platform_run(int argc, char **argv)
{
    plat_reset_input();
    plat_millis(); // starts the clock
    const char *which = std::getenv("BKM_PLATFORM");
    const int kind = which && std::strcmp(which, "headless") == 0 ? PLAT_BACKEND_HEADLESS : PLAT_BACKEND_SDL;
    if (which && *which && std::strcmp(which, "headless") != 0 && std::strcmp(which, "sdl") != 0)
        std::fprintf(stderr, "BKM_PLATFORM=%s unknown; using sdl\n", which);
    plat_select_backend(kind);
    const char *script = std::getenv("BKM_INPUT_SCRIPT");
    if (script && *script && !script_load(script)) {
        std::fprintf(stderr, "input script %s cannot be used (see the platform log)\n", script);
        plat_close_backend();
        return -1;
    }
    vox_set_fatal_handler(quitwitherror);

    // 1. Processor.
    CpuFeatures = getcpufeatures();
    if ((CpuFeatures & CPU_REQUIRED_BY_ENTRY) != CPU_REQUIRED_BY_ENTRY) {
        messagebox(startup_text(LANG_ERR_CPU_BASIC), "ERROR", 0);
        plat_close_backend();
        return -1;
    }
    // 2. Key states.
    std::memset(&keystates, 0, sizeof keystates);
    // 3. The command line, less its first character, to the program.
    static char *game_argv[2];
    const char *cmdline = argc > 1 && argv[1] ? argv[1] : "";
    const size_t len = std::strlen(cmdline);
    game_argv[0] = len ? const_cast<char *>(cmdline) + 1 : nullptr;
    game_argv[1] = nullptr;
    if (game_init((int)len, game_argv) < 0) {
        plat_close_backend();
        return -1;
    }
    // 4 to 6. The window, shown, with the pointer hidden.
    if (!plat_create_window()) return startup_failed(LANG_ERR_WINDOW);
    // 7. Display.
    const DisplaySettings *ds = game_display_settings();
    if (initdirectdraw(ds->windowed) != 1) return startup_failed(LANG_ERR_DISPLAY);
    // 8. Sound and its volume.
    initdirectsound();
    setmastervolume(ds->volume < 0 ? 0 : ds->volume > 10 ? 10 : ds->volume);
    // 9 to 11. Input.
    if (!initdirectinput()) return startup_failed(LANG_ERR_INPUT);
    if (!initkeyboard()) return startup_failed(LANG_ERR_KEYBOARD);
    if (!initmouse()) return startup_failed(LANG_ERR_MOUSE);
    // 12. Screens, one pump, fonts.
    installscreens();
    pumpmessages();
    if (!quit_flag) loadfonts(getdirectdraw()); // a close in that first pump has shut everything down
    // 13. Main loop.
    while (!quit_flag) {
        game_run_frame();
        pumpmessages();
    }
    plat_close_backend();
    return exit_code;
}
