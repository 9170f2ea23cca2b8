// The per-frame input pass of the team menu, the weapon menu and the game:
// the chat line, the menus and their join messages, the quit question, the
// fixed keys, the local player's controls, and his position and facing sent
// at limited rates.
#pragma once
#include <cstddef>

// The page the quit question's yes opens when "client:show_news" is set: a
// small page shipped beside the program.
#define GAME_NEWS_FILE "news.html"

// Reads the keyboard, the mouse and one typed key, then handles them in the
// order: chat line (alone while open); in game the chat keys and the
// position and facing messages; the menus and the quit question; the fixed
// keys; the local player's controls and tool selection while he is alive on
// a team. Runs once per frame on screens 2 to 4 while the window is active.
void game_handle_input();
// The news page of the folder as a file:// address (bytes outside letters,
// digits and "-._~/" percent-encoded). Returns 1, or 0 when it does not fit.
int game_news_url(const char *folder, char *out, size_t size);
