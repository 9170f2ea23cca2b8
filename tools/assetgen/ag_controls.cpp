// The default bindings and the commented controls.ini written from them.
#include "ag_controls.h"

#include <cstdio>
#include <cstring>
#include <iterator>

const ControlDesc control_descs[] = {
    {"move_forward", 17, "W"},
    {"move_backward", 31, "S"},
    {"move_left", 30, "A"},
    {"move_right", 32, "D"},
    {"jump", 57, "Space"},
    {"crouch", 29, "Left Ctrl"},
    {"sneak", 42, "Left Shift"},
    {"sprint", 47, "V"},
    {"view_map", 50, "M"},
    {"reload", 19, "R"},
    {"cube_color_up", 200, "Up arrow"},
    {"cube_color_down", 208, "Down arrow"},
    {"cube_color_left", 203, "Left arrow"},
    {"cube_color_right", 205, "Right arrow"},
    {"cube_color_sample", 18, "E"},
    {"quit_game", 1, "Escape"},
    {"save_map", 59, "F1"},
    {"volume_up", 78, "keypad +"},
    {"volume_down", 74, "keypad -"},
    {"show_mouse", 63, "F5"},
    {"view_score", 15, "Tab"},
    {"change_team", 51, "comma"},
    {"change_weapon", 52, "period"},
    {"last_weapon", 16, "Q"},
};
const int control_desc_count = (int)std::size(control_descs);

static const char HEADER[] =
    "; Brickmire key bindings.\n"
    ";\n"
    "; Each control is bound to a keyboard scan code. Change a number to move\n"
    "; the control to another key; a control left out keeps its default.\n"
    "; The tool keys 1 to 4 and the mouse wheel are fixed, and so is F11, which\n"
    "; shows the network graph.\n"
    ";\n"
    "; Scan codes: Escape 1, digits 1..9 and 0 = 2..11, minus 12, equals 13,\n"
    "; Backspace 14, Tab 15, Q W E R T Y U I O P = 16..25, brackets 26 and 27,\n"
    "; Enter 28, Left Ctrl 29, A S D F G H J K L = 30..38, semicolon 39,\n"
    "; apostrophe 40, grave 41, Left Shift 42, backslash 43, Z X C V B N M =\n"
    "; 44..50, comma 51, period 52, slash 53, Right Shift 54, Left Alt 56,\n"
    "; Space 57, Caps Lock 58, F1..F10 = 59..68, keypad 7 8 9 = 71..73,\n"
    "; keypad - 74, keypad 4 5 6 = 75..77, keypad + 78, keypad 1 2 3 = 79..81,\n"
    "; keypad 0 82, F11 87, F12 88, keypad Enter 156, Right Ctrl 157,\n"
    "; Right Alt 184, Home 199, Up 200, Page Up 201, Left 203, Right 205,\n"
    "; End 207, Down 208, Page Down 209, Insert 210, Delete 211.\n"
    "\n"
    "[controls]\n";

Bytes controls_build()
{
    Bytes b(HEADER, HEADER + std::strlen(HEADER));
    for (int i = 0; i < control_desc_count; i++) {
        char line[96];
        int n = std::snprintf(line, sizeof line, "%-18s = %-4d ; %s\n", control_descs[i].name,
                              control_descs[i].code, control_descs[i].key);
        b.insert(b.end(), line, line + n);
    }
    return b;
}
