// Typed-key queue, line editor, keyboard and mouse reads, key table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "plat_test_game.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_main.h"
#include "platform/plat_test.h"

namespace {

class PlatInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_platform_reset();
        ASSERT_EQ(plat_create_window(), 1);
        ASSERT_EQ(initdirectinput(), 1);
        ASSERT_EQ(initkeyboard(), 1);
        ASSERT_EQ(initmouse(), 1);
    }
    void TearDown() override
    {
        uninitmouse();
        uninitkeyboard();
        uninitdirectinput();
        plat_destroy_window();
    }
    // A key going down (with the character it typed) or up, as window messages.
    static void key(int dik, int down, uint8_t ch = 0)
    {
        windowproc(down ? WM_KEYDOWN : WM_KEYUP, (uint64_t)dik, KEY_LPARAM(dik, !down, 0));
        if (down && ch) windowproc(WM_CHAR, ch, 1);
    }
    static uint32_t mouse_buttons()
    {
        int32_t dx, dy, wheel;
        uint32_t b;
        readmouse(&dx, &dy, &wheel, &b);
        return b;
    }
};

TEST_F(PlatInput, KeyQueueCarriesScanCodeExtendedFlagCharacterAndModifiers)
{
    key(DIK_LSHIFT, 1);
    key(DIK_A, 1, 'A');
    key(DIK_LSHIFT, 0);
    key(DIK_RCONTROL, 1);
    key(DIK_UP, 1);
    key(DIK_RCONTROL, 0);
    key(DIK_LMENU, 1); // Alt: a modifier, never an event of its own
    key(DIK_X, 1, 'x');
    key(DIK_LMENU, 0);
    key(DIK_B, 1, 'b');
    EXPECT_EQ(readkeyevent(), (KeyEvent)('A' | DIK_A << 8 | KEYMOD_LSHIFT));
    EXPECT_EQ(readkeyevent(), (KeyEvent)(DIK_UP << 8 | KEYMOD_RCTRL)); // extended flag is bit 15
    EXPECT_EQ(readkeyevent(), (KeyEvent)('x' | DIK_X << 8 | KEYMOD_LALT));
    EXPECT_EQ(readkeyevent(), (KeyEvent)('b' | DIK_B << 8));
    EXPECT_EQ(readkeyevent(), 0u);
    windowproc(WM_CHAR, 'z', 1); // a character without a queued key goes nowhere
    EXPECT_EQ(readkeyevent(), 0u);
}

TEST_F(PlatInput, ReleasingEitherShiftClearsBothAndActivationClearsAll)
{
    key(DIK_LSHIFT, 1);
    key(DIK_RSHIFT, 1);
    key(DIK_LSHIFT, 0);
    EXPECT_EQ(keyevents.modifiers, 0u);
    key(DIK_LCONTROL, 1);
    key(DIK_RMENU, 1);
    EXPECT_EQ(keyevents.modifiers, KEYMOD_LCTRL | KEYMOD_RALT);
    windowproc(WM_ACTIVATEAPP, 1, 0);
    EXPECT_EQ(keyevents.modifiers, 0u);
}

TEST_F(PlatInput, FullQueueHolds255AndTheNextCharacterJoinsTheLast)
{
    for (int i = 0; i < 256; i++) key(DIK_A, 1, (uint8_t)(i < 255 ? 'a' : 0x02));
    int n = 0;
    KeyEvent last = 0;
    for (KeyEvent e; (e = readkeyevent()) != 0; n++) last = e;
    EXPECT_EQ(n, 255);
    EXPECT_EQ(KEYEVENT_CHAR(last), (uint32_t)('a' | 0x02));
}

TEST_F(PlatInput, LineEditor)
{
    struct Case {
        const char *before;
        uint8_t ch;
        const char *after;
        int result;
    } cases[] = {
        {"_", 13, "_", 0},                      // Enter on an empty line
        {"_", 8, "_", 0},                       // Backspace on an empty line
        {"abc_", 8, "ab_", 0},
        {"abc_", 13, "abc", 1},
        {"ab_", 'c', "abc_", 0},
        {"abcdefghijklmno_", 'p', "abcdefghijklmno_", 0}, // 15 characters is the most
        {"abcdefghijklmn_", 'o', "abcdefghijklmno_", 0},
        {"ab_", 0, "ab_", 0},                   // a key without character
    };
    for (const Case &c : cases) {
        plat_reset_input();
        char line[EDIT_LINE_SIZE];
        std::strcpy(line, c.before);
        key(DIK_Q, 1, c.ch);
        EXPECT_EQ(edittextline(line), c.result) << c.before << " + " << (int)c.ch;
        EXPECT_STREQ(line, c.after) << c.before << " + " << (int)c.ch;
    }
    char line[EDIT_LINE_SIZE] = "x_";
    EXPECT_EQ(edittextline(line), 0); // empty queue
    EXPECT_STREQ(line, "x_");
}

TEST_F(PlatInput, KeyboardReadsPressedHeldConsumedAndMissedKeys)
{
    plat_inject_key(DIK_W, 1);
    EXPECT_EQ(readkeyboard(), 1);
    EXPECT_EQ(keystates.current[DIK_W], 1);
    EXPECT_EQ(keystates.previous[DIK_W], 0); // pressed this frame
    EXPECT_EQ(readkeyboard(), 0);
    EXPECT_EQ(keystates.current[DIK_W], 1);
    EXPECT_EQ(keystates.previous[DIK_W], 1); // held
    keystates.current[DIK_W] = 0;            // the game consumes it
    readkeyboard();
    EXPECT_EQ(keystates.current[DIK_W], 0);
    EXPECT_EQ(keystates.previous[DIK_W], 0); // pressed again only by a new down event
    plat_inject_key(DIK_W, 0);
    plat_inject_key(DIK_W, 1);
    readkeyboard();
    EXPECT_EQ(keystates.current[DIK_W], 1);

    // Extended keys have their own codes.
    plat_inject_key(DIK_RCONTROL, 1);
    readkeyboard();
    EXPECT_EQ(keystates.current[DIK_RCONTROL], 1);
    EXPECT_EQ(keystates.current[DIK_LCONTROL], 0);
}

// A key or button that changes more than once between two reads: each read
// takes one change, so a tap shorter than a frame is down for exactly one
// read. Scripts: d / u the key or button goes down / up, c the game consumes
// the key's press (keys only), r the game reads; `reads` is what each r saw.
struct TapCase {
    const char *script;
    const char *reads;
};
const TapCase kTapCases[] = {
    {"durr", "10"},       // a tap within one frame: pressed once, released at the next read
    {"drrrur", "1110"},   // held across reads: unchanged until let go
    {"dudurrrr", "1010"}, // a double tap within one frame: both presses
    {"drudrrr", "1011"},  // let go and pressed again within one frame: up, then pressed again
    {"rdurdurr", "0101"}, // taps in two frames running: two presses
};

TEST_F(PlatInput, KeyTapsShorterThanAFrameAreDownForOneRead)
{
    TapCase cases[std::size(kTapCases) + 1];
    std::copy(std::begin(kTapCases), std::end(kTapCases), cases);
    cases[std::size(kTapCases)] = {"ducrrr", "100"}; // a consumed tap is not pressed again by its release
    for (const TapCase &c : cases) {
        plat_reset_input();
        std::string reads;
        int presses = 0;
        for (const char *p = c.script; *p; p++) {
            if (*p == 'd' || *p == 'u') plat_inject_key(DIK_F, *p == 'd');
            else if (*p == 'c') keystates.current[DIK_F] = 0;
            else {
                readkeyboard();
                reads += keystates.current[DIK_F] ? '1' : '0';
                presses += keystates.current[DIK_F] && !keystates.previous[DIK_F];
                EXPECT_EQ(keystates.current[DIK_G], 0) << c.script; // no other key moves
            }
        }
        EXPECT_EQ(reads, c.reads) << c.script;
        int expected = 0;
        for (size_t i = 0; c.reads[i]; i++) expected += c.reads[i] == '1' && (i == 0 || c.reads[i - 1] == '0');
        EXPECT_EQ(presses, expected) << c.script; // the game sees a press wherever the key went down
    }
}

TEST_F(PlatInput, ClicksShorterThanAFrameAreDownForOneRead)
{
    for (const TapCase &c : kTapCases) {
        plat_reset_input();
        std::string reads;
        for (const char *p = c.script; *p; p++) {
            if (*p == 'd' || *p == 'u') plat_inject_button(0, *p == 'd');
            else reads += (mouse_buttons() & MOUSE_LEFT) ? '1' : '0';
        }
        EXPECT_EQ(reads, c.reads) << c.script;
    }
    // A click within a frame among held buttons and motion: the motion is
    // summed at once, the other button keeps its state.
    plat_reset_input();
    plat_inject_button(1, 1);
    plat_inject_mouse(5, 0);
    plat_inject_button(0, 1);
    plat_inject_button(0, 0);
    plat_inject_mouse(5, 0);
    int32_t dx, dy, wheel;
    uint32_t buttons;
    readmouse(&dx, &dy, &wheel, &buttons);
    EXPECT_EQ(dx, 10);
    EXPECT_EQ(buttons, MOUSE_LEFT | MOUSE_RIGHT);
    readmouse(&dx, &dy, &wheel, &buttons);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(buttons, MOUSE_RIGHT);
}

// Far more changes in one frame than are kept for later reads: the key ends
// in the state it was left in, never stuck down, and is seen pressed.
TEST_F(PlatInput, ManyTapsInOneFrameEndInTheLastState)
{
    for (int end_down = 0; end_down < 2; end_down++) {
        plat_reset_input();
        for (int i = 0; i < 20; i++) {
            plat_inject_key(DIK_F, 1);
            plat_inject_key(DIK_F, 0);
        }
        if (end_down) plat_inject_key(DIK_F, 1);
        readkeyboard();
        EXPECT_EQ(keystates.current[DIK_F], 1);
        for (int i = 0; i < 20; i++) readkeyboard();
        EXPECT_EQ(keystates.current[DIK_F], end_down);
    }
    // Focus lost with changes still due: none of them arrives after.
    plat_reset_input();
    plat_inject_key(DIK_F, 1);
    plat_inject_key(DIK_F, 0);
    plat_inject_key(DIK_F, 1);
    readkeyboard();
    plat_inject_focus(0);
    plat_inject_focus(1);
    pumpmessages();
    readkeyboard();
    readkeyboard();
    EXPECT_EQ(keystates.current[DIK_F], 0);
}

TEST_F(PlatInput, KeyboardWithoutFocusSeesNothingAndRecoversAfter)
{
    plat_inject_key(DIK_A, 1);
    readkeyboard();
    plat_inject_focus(0);
    plat_inject_key(DIK_A, 0); // released in another window
    plat_inject_key(DIK_S, 1); // typed into another window
    EXPECT_EQ(readkeyboard(), 0);
    EXPECT_EQ(keystates.previous[DIK_A], 1); // previous refreshed even on a failed read
    EXPECT_EQ(keystates.current[DIK_S], 0);
    plat_inject_focus(1);
    pumpmessages(); // the activation acquires the keyboard again
    plat_inject_key(DIK_D, 1);
    EXPECT_EQ(readkeyboard(), 1);
    EXPECT_EQ(keystates.current[DIK_D], 1);
    EXPECT_EQ(keystates.current[DIK_A], 0); // not held down for ever
}

TEST_F(PlatInput, MouseSumsMotionAndWheelOverTheNewest64Events)
{
    plat_inject_mouse(3, -4);
    plat_inject_mouse(10, 1);
    int32_t dx, dy, wheel;
    uint32_t buttons;
    readmouse(&dx, &dy, &wheel, &buttons);
    EXPECT_EQ(dx, 13);
    EXPECT_EQ(dy, -3);
    EXPECT_EQ(wheel, 0);
    for (int i = 0; i < 64; i++) plat_inject_wheel(1);
    readmouse(&dx, &dy, &wheel, &buttons);
    EXPECT_EQ(wheel, 7680);
    plat_inject_wheel(-5); // the oldest event is lost once 64 wait
    for (int i = 0; i < 64; i++) plat_inject_wheel(1);
    readmouse(&dx, &dy, &wheel, &buttons);
    EXPECT_EQ(wheel, 7680);
    readmouse(&dx, &dy, &wheel, &buttons);
    EXPECT_EQ(wheel, 0);
}

TEST_F(PlatInput, MouseButtonsPersistAndResetOnActivation)
{
    plat_inject_button(0, 1);
    plat_inject_button(3, 1);
    EXPECT_EQ(mouse_buttons(), MOUSE_LEFT | MOUSE_BUTTON4);
    EXPECT_EQ(mouse_buttons(), MOUSE_LEFT | MOUSE_BUTTON4); // kept between reads
    plat_inject_button(0, 0);
    EXPECT_EQ(mouse_buttons(), MOUSE_BUTTON4);

    windowproc(WM_ACTIVATEAPP, 1, 0);
    plat_inject_button(1, 1);
    EXPECT_EQ(mouse_buttons(), 0u); // reported as up once, even with a press in the same read
    plat_inject_button(1, 1);
    EXPECT_EQ(mouse_buttons(), MOUSE_RIGHT);
}

TEST_F(PlatInput, InactiveWindowReportsNoMouseAndActivationStartsClean)
{
    plat_inject_button(0, 1);
    EXPECT_EQ(mouse_buttons(), MOUSE_LEFT);
    windowproc(WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(getactive(), 0);
    plat_inject_mouse(50, 50);
    int32_t dx, dy, wheel;
    uint32_t buttons;
    readmouse(&dx, &dy, &wheel, &buttons);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(buttons, 0u);
    windowproc(WM_ACTIVATE, WA_ACTIVE, 0);
    readmouse(&dx, &dy, &wheel, &buttons);
    EXPECT_EQ(dx, 0); // motion made while inactive never arrives
    EXPECT_EQ(buttons, 0u);

    // Minimising deactivates; a click activates; a click-activation leaves it to the click.
    windowproc(WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(getactive(), 0);
    windowproc(WM_LBUTTONDOWN, 1, 0);
    EXPECT_EQ(getactive(), 1);
    windowproc(WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(windowproc(WM_ACTIVATE, WA_CLICKACTIVE, 0), 0);
    EXPECT_EQ(getactive(), 0);
    EXPECT_EQ(windowproc(WM_MOUSEACTIVATE, 0, 2 /* caption */), MA_NOACTIVATE);
    EXPECT_EQ(getactive(), 0);
    EXPECT_EQ(windowproc(WM_MOUSEACTIVATE, 0, HTCLIENT), MA_ACTIVATEANDEAT);
    EXPECT_EQ(getactive(), 1);
}

TEST_F(PlatInput, CaptureFlagsGateTheMouse)
{
    setinputcapture(0, 1);
    plat_inject_mouse(5, 5);
    int32_t dx, dy, wheel;
    uint32_t buttons;
    readmouse(&dx, &dy, &wheel, &buttons);
    EXPECT_EQ(dx, 0);
    setinputcapture(1, 1);
    plat_inject_mouse(5, 5);
    readmouse(&dx, &dy, &wheel, &buttons);
    EXPECT_EQ(dx, 5);
    uninitmouse();
    readmouse(&dx, &dy, &wheel, &buttons); // no device: nothing, no crash
    EXPECT_EQ(dx, 0);
}

TEST(PlatKeys, NamesAndCharacters)
{
    EXPECT_EQ(key_by_name("escape"), DIK_ESCAPE);
    EXPECT_EQ(key_by_name("RCONTROL"), DIK_RCONTROL);
    EXPECT_EQ(key_by_name("0x9C"), DIK_NUMPADENTER);
    EXPECT_EQ(key_by_name("57"), DIK_SPACE);
    EXPECT_EQ(key_by_name("256"), -1);
    EXPECT_EQ(key_by_name("NOSUCHKEY"), -1);
    int shift = -1;
    EXPECT_EQ(key_for_char('?', &shift), DIK_SLASH);
    EXPECT_EQ(shift, 1);
    EXPECT_EQ(key_for_char('7', &shift), DIK_7); // the main row, not the keypad
    EXPECT_EQ(shift, 0);
    EXPECT_EQ(key_char(DIK_C, KEYMOD_RCTRL), 3);
    EXPECT_EQ(key_char(DIK_RETURN, 0), 13);
    EXPECT_EQ(key_char(DIK_UP, 0), 0);

    test_platform_reset();
    char name[8];
    EXPECT_EQ(keyboardkeyname(getkeyboarddevice(), DIK_A, name, sizeof name), 0); // no keyboard yet
    initdirectinput();
    initkeyboard();
    EXPECT_EQ(keyboardkeyname(getkeyboarddevice(), DIK_LCONTROL, name, sizeof name), 1);
    EXPECT_STREQ(name, "Ctrl");
    EXPECT_EQ(keyboardkeyname(getkeyboarddevice(), DIK_NUMPADENTER, name, 5), 1);
    EXPECT_STREQ(name, "Num ");
    EXPECT_EQ(keyboardkeyname(getkeyboarddevice(), 0x54, name, sizeof name), 0);
    uninitkeyboard();
    uninitdirectinput();
}

} // namespace
