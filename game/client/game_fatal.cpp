#include "client/game_fatal.h"

#include "client/pending_neighbours.h"
#include "common/lang.h"

static void game_fatal_exit(const char *text) { quitwitherror(text); }

static GameFatalFn game_fatal_handler = game_fatal_exit;

void game_set_fatal_handler(GameFatalFn fn) { game_fatal_handler = fn ? fn : game_fatal_exit; }

void game_fatal_text(const char *text) { game_fatal_handler(text); }

void game_fatal(int lang_id) { game_fatal_handler(lang_get(lang_id)); }
