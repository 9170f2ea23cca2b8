// The client game's fatal errors: a text in an "ERROR" box and the end of the
// program, through the platform layer's fatal exit. Tests install a handler
// that records the text and returns; every caller therefore returns at once
// after a fatal error and leaves its state consistent.
#pragma once

typedef void (*GameFatalFn)(const char *text);
// Installs fn (null restores the platform layer's fatal exit).
void game_set_fatal_handler(GameFatalFn fn);
// Ends the program with the text (null shows no box).
void game_fatal_text(const char *text);
// Ends the program with a language string (game_text).
void game_fatal(int lang_id);
// A language string, or for the client's error texts an English text when no
// language file is loaded (or it lacks the string).
const char *game_text(int lang_id);
