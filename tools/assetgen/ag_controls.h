// controls.ini: the client's default key bindings, with comments that say
// which key each number is, so a player can read and change them.
#pragma once
#include "ag_formats.h"

#define CONTROLS_FILE "controls.ini"

struct ControlDesc {
    const char *name;  // key "controls:<name>"
    int code;          // keyboard scan code
    const char *key;   // what the key is called
};

extern const ControlDesc control_descs[];
extern const int control_desc_count;

Bytes controls_build();
