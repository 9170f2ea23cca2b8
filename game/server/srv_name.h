// Player names as the server keeps them. A name goes into chat lines, the
// console, the log and the ban and admin lists, whose format is one entry
// per line: so a name must never hold a line break or any other control
// character.
#pragma once

// Removes every control character (0..31 and 127) from a zero-terminated
// name in place, keeping the order of the rest. Returns the new length.
int srv_name_clean(char *name);
