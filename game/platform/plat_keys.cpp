// The key table: DIK codes with their script names, display names and the
// characters they type on a US keyboard.
#include "platform/plat_keys.h"

#include <cstdlib>
#include <strings.h>

#include "platform/plat_main.h"

static const KeyInfo key_table[] = {
    {DIK_ESCAPE, "ESCAPE", "Esc", 27, 27},
    {DIK_1, "1", "1", '1', '!'}, {DIK_2, "2", "2", '2', '@'}, {DIK_3, "3", "3", '3', '#'},
    {DIK_4, "4", "4", '4', '$'}, {DIK_5, "5", "5", '5', '%'}, {DIK_6, "6", "6", '6', '^'},
    {DIK_7, "7", "7", '7', '&'}, {DIK_8, "8", "8", '8', '*'}, {DIK_9, "9", "9", '9', '('},
    {DIK_0, "0", "0", '0', ')'}, {DIK_MINUS, "MINUS", "-", '-', '_'}, {DIK_EQUALS, "EQUALS", "=", '=', '+'},
    {DIK_BACK, "BACK", "Backspace", 8, 8}, {DIK_TAB, "TAB", "Tab", 9, 9},
    {DIK_Q, "Q", "Q", 'q', 'Q'}, {DIK_W, "W", "W", 'w', 'W'}, {DIK_E, "E", "E", 'e', 'E'},
    {DIK_R, "R", "R", 'r', 'R'}, {DIK_T, "T", "T", 't', 'T'}, {DIK_Y, "Y", "Y", 'y', 'Y'},
    {DIK_U, "U", "U", 'u', 'U'}, {DIK_I, "I", "I", 'i', 'I'}, {DIK_O, "O", "O", 'o', 'O'},
    {DIK_P, "P", "P", 'p', 'P'}, {DIK_LBRACKET, "LBRACKET", "[", '[', '{'},
    {DIK_RBRACKET, "RBRACKET", "]", ']', '}'}, {DIK_RETURN, "RETURN", "Enter", 13, 13},
    {DIK_LCONTROL, "LCONTROL", "Ctrl", 0, 0},
    {DIK_A, "A", "A", 'a', 'A'}, {DIK_S, "S", "S", 's', 'S'}, {DIK_D, "D", "D", 'd', 'D'},
    {DIK_F, "F", "F", 'f', 'F'}, {DIK_G, "G", "G", 'g', 'G'}, {DIK_H, "H", "H", 'h', 'H'},
    {DIK_J, "J", "J", 'j', 'J'}, {DIK_K, "K", "K", 'k', 'K'}, {DIK_L, "L", "L", 'l', 'L'},
    {DIK_SEMICOLON, "SEMICOLON", ";", ';', ':'}, {DIK_APOSTROPHE, "APOSTROPHE", "'", '\'', '"'},
    {DIK_GRAVE, "GRAVE", "`", '`', '~'}, {DIK_LSHIFT, "LSHIFT", "Shift", 0, 0},
    {DIK_BACKSLASH, "BACKSLASH", "\\", '\\', '|'},
    {DIK_Z, "Z", "Z", 'z', 'Z'}, {DIK_X, "X", "X", 'x', 'X'}, {DIK_C, "C", "C", 'c', 'C'},
    {DIK_V, "V", "V", 'v', 'V'}, {DIK_B, "B", "B", 'b', 'B'}, {DIK_N, "N", "N", 'n', 'N'},
    {DIK_M, "M", "M", 'm', 'M'}, {DIK_COMMA, "COMMA", ",", ',', '<'}, {DIK_PERIOD, "PERIOD", ".", '.', '>'},
    {DIK_SLASH, "SLASH", "/", '/', '?'}, {DIK_RSHIFT, "RSHIFT", "Right Shift", 0, 0},
    {DIK_MULTIPLY, "MULTIPLY", "Num *", '*', '*'}, {DIK_LMENU, "LMENU", "Alt", 0, 0},
    {DIK_SPACE, "SPACE", "Space", ' ', ' '}, {DIK_CAPITAL, "CAPITAL", "Caps Lock", 0, 0},
    {DIK_F1, "F1", "F1", 0, 0}, {DIK_F2, "F2", "F2", 0, 0}, {DIK_F3, "F3", "F3", 0, 0},
    {DIK_F4, "F4", "F4", 0, 0}, {DIK_F5, "F5", "F5", 0, 0}, {DIK_F6, "F6", "F6", 0, 0},
    {DIK_F7, "F7", "F7", 0, 0}, {DIK_F8, "F8", "F8", 0, 0}, {DIK_F9, "F9", "F9", 0, 0},
    {DIK_F10, "F10", "F10", 0, 0}, {DIK_NUMLOCK, "NUMLOCK", "Num Lock", 0, 0},
    {DIK_SCROLL, "SCROLL", "Scroll Lock", 0, 0},
    {DIK_NUMPAD7, "NUMPAD7", "Num 7", '7', 0}, {DIK_NUMPAD8, "NUMPAD8", "Num 8", '8', 0},
    {DIK_NUMPAD9, "NUMPAD9", "Num 9", '9', 0}, {DIK_SUBTRACT, "SUBTRACT", "Num -", '-', '-'},
    {DIK_NUMPAD4, "NUMPAD4", "Num 4", '4', 0}, {DIK_NUMPAD5, "NUMPAD5", "Num 5", '5', 0},
    {DIK_NUMPAD6, "NUMPAD6", "Num 6", '6', 0}, {DIK_ADD, "ADD", "Num +", '+', '+'},
    {DIK_NUMPAD1, "NUMPAD1", "Num 1", '1', 0}, {DIK_NUMPAD2, "NUMPAD2", "Num 2", '2', 0},
    {DIK_NUMPAD3, "NUMPAD3", "Num 3", '3', 0}, {DIK_NUMPAD0, "NUMPAD0", "Num 0", '0', 0},
    {DIK_DECIMAL, "DECIMAL", "Num Del", '.', 0}, {DIK_OEM_102, "OEM_102", "\\", '\\', '|'},
    {DIK_F11, "F11", "F11", 0, 0}, {DIK_F12, "F12", "F12", 0, 0},
    {DIK_NUMPADENTER, "NUMPADENTER", "Num Enter", 13, 13}, {DIK_RCONTROL, "RCONTROL", "Right Ctrl", 0, 0},
    {DIK_DIVIDE, "DIVIDE", "Num /", '/', '/'}, {DIK_SYSRQ, "SYSRQ", "Prnt Scrn", 0, 0},
    {DIK_RMENU, "RMENU", "Right Alt", 0, 0}, {DIK_PAUSE, "PAUSE", "Pause", 0, 0},
    {DIK_HOME, "HOME", "Home", 0, 0}, {DIK_UP, "UP", "Up", 0, 0}, {DIK_PRIOR, "PRIOR", "Page Up", 0, 0},
    {DIK_LEFT, "LEFT", "Left", 0, 0}, {DIK_RIGHT, "RIGHT", "Right", 0, 0}, {DIK_END, "END", "End", 0, 0},
    {DIK_DOWN, "DOWN", "Down", 0, 0}, {DIK_NEXT, "NEXT", "Page Down", 0, 0},
    {DIK_INSERT, "INSERT", "Insert", 0, 0}, {DIK_DELETE, "DELETE", "Delete", 0, 0},
    {DIK_LWIN, "LWIN", "Left Windows", 0, 0}, {DIK_RWIN, "RWIN", "Right Windows", 0, 0},
    {DIK_APPS, "APPS", "Application", 0, 0},
};

static const KeyInfo *key_index[256];
static bool key_index_built;

static void key_build_index()
{
    for (const KeyInfo &k : key_table) key_index[k.dik] = &k;
    key_index_built = true;
}

const KeyInfo *key_info(int dik)
{
    if (dik < 0 || dik > 255) return nullptr;
    if (!key_index_built) key_build_index();
    return key_index[dik];
}

int key_by_name(const char *name)
{
    if (!name || !*name) return -1;
    for (const KeyInfo &k : key_table)
        if (strcasecmp(k.scriptname, name) == 0) return k.dik;
    char *end = nullptr;
    long v = std::strtol(name, &end, 0);
    if (*end || v < 0 || v > 255) return -1;
    return (int)v;
}

int key_for_char(uint8_t c, int *shift)
{
    // The main block wins over the keypad: scan the table in order.
    for (const KeyInfo &k : key_table) {
        if (k.dik >= DIK_NUMPAD7 && k.dik <= DIK_DECIMAL) continue;
        if (k.dik == DIK_OEM_102 || k.dik == DIK_NUMPADENTER || k.dik == DIK_DIVIDE) continue;
        if (k.plain == c) {
            *shift = 0;
            return k.dik;
        }
        if (k.shifted == c && k.shifted != k.plain) {
            *shift = 1;
            return k.dik;
        }
    }
    return -1;
}

uint8_t key_char(int dik, uint32_t modifiers)
{
    const KeyInfo *k = key_info(dik);
    if (!k) return 0;
    const bool shift = modifiers & (KEYMOD_LSHIFT | KEYMOD_RSHIFT);
    const bool ctrl = modifiers & (KEYMOD_LCTRL | KEYMOD_RCTRL);
    uint8_t c = shift ? k->shifted : k->plain;
    if (ctrl && k->plain >= 'a' && k->plain <= 'z') return (uint8_t)(k->plain - 'a' + 1);
    return c;
}
