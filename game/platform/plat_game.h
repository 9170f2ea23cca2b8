// What the platform layer calls in the program that links it. The client
// program defines all of these; the layer's demo program and its tests define
// their own. The layer itself defines none of them.
#pragma once
#include <cstdint>

struct ScreenTable;
struct DisplaySettings;

// Called once by platform_main before any window exists. argc is the length
// of the command line in characters; argv[0] points at the command line past
// its first character, or is null when the command line is empty (only
// argv[0] is meaningful). Returns 0 when ready, a negative value after the
// program has shown its own message box (platform_main then returns -1 at
// once, without game_shutdown).
int game_init(int argc, char **argv);
// One pass of the main loop, called between two message pumps until the quit
// message arrives. Sleeps briefly and returns when it is not yet time for a frame.
void game_run_frame();
// Frees what the program owns (fonts included: it calls freefonts) and
// disconnects. Called exactly once, by the normal shutdown (window closed),
// the fatal exit (quitwitherror) or a failed start-up after game_init
// succeeded; always before the layer releases input, sound and display.
void game_shutdown();

// The five screen callbacks that installscreens stores, by ClientScreen.
void menu_name_screen();
void menu_loading_screen();
void menu_team_screen();
void menu_weapon_screen();
void game_play_screen();

// Where the layer finds the program's screen table and display settings.
// Both records live in the program's own state (the client keeps the screen
// table in its game state and the display settings in its settings); these
// return their addresses, never null, valid for the whole run. The program
// fills DisplaySettings in game_init; the layer reads it from then on and
// sets only its windowed flag (initdirectdraw). installscreens fills the
// table; afterwards only the program changes the current screen.
ScreenTable *game_screen_table();
DisplaySettings *game_display_settings();
