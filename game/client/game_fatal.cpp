#include "client/game_fatal.h"

#include "common/lang.h"
#include "common/lang_ids.h"
#include "platform/plat_main.h"

static void game_fatal_exit(const char *text) { quitwitherror(text); }

static GameFatalFn game_fatal_handler = game_fatal_exit;

void game_set_fatal_handler(GameFatalFn fn) { game_fatal_handler = fn ? fn : game_fatal_exit; }

void game_fatal_text(const char *text) { game_fatal_handler(text); }

void game_fatal(int lang_id) { game_fatal_handler(game_text(lang_id)); }

struct FallbackText {
    int id;
    const char *text;
};

// Errors can come before the language file is read, or with a broken one.
static const FallbackText fallback_texts[] = {
    {LANG_REJECT_BANNED, "You are banned from this server."},
    {LANG_REJECT_FULL, "The server is full."},
    {LANG_REJECT_KICKED, "You were kicked from this server."},
    {LANG_REJECT_VERSION, "The server runs a different version of the game."},
    {LANG_ERR_NO_WORK_BUFFER, "Not enough memory for the render buffer."},
    {LANG_ERR_NO_ADDRESS, "No server address given."},
    {LANG_ERR_NETWORK_INIT, "Could not start networking."},
    {LANG_ERR_PROGRAM_PATH, "Could not find the program's folder."},
    {LANG_ERR_CPU_RENDERER, "This processor lacks features the renderer needs."},
    {LANG_ERR_MODEL_SIZE, "A player model has the wrong size."},
    {LANG_DOWNLOAD_CANCELLED, "Map download cancelled."},
    {LANG_ERR_CONNECT, "Could not connect to the server."},
    {LANG_ERR_BAD_ADDRESS, "The server address \"%s\" is not in the form the client takes:\none decimal number "
                           "(127.0.0.1 is 16777343) and an optional :port from 1 to 65535,\nin quotes, as in "
                           "\"bkm://16777343:32887\"\n(from a shell: '\"bkm://16777343:32887\"')."},
    {LANG_DISCONNECTED, "The connection to the server was lost."},
    {LANG_ERR_MAP_DATA, "The map data from the server is damaged."},
};

const char *game_text(int lang_id)
{
    for (const FallbackText &f : fallback_texts)
        if (f.id == lang_id) return lang_get_or(lang_id, f.text);
    return lang_get(lang_id);
}
