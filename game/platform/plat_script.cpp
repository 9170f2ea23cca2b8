// The input script: parsing, and feeding its commands into the layer's
// input when they are due.
#include "platform/plat_script.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/plat_events.h"
#include "platform/plat_file.h"
#include "platform/plat_keys.h"
#include "platform/plat_log.h"
#include "platform/plat_main.h"
#include "platform/plat_png.h"
#include "platform/plat_test.h"

#define SCRIPT_TEXT_POOL 65536
#define SCRIPT_MAX_FILE (1u << 20)
#define SCRIPT_PENDING 64       // key and button releases waiting for their moment
#define SCRIPT_SHOTS 16         // screenshots waiting for a present
#define SCRIPT_DEFAULT_HOLD 50
#define SCRIPT_DEFAULT_WAIT 30000
#define SCRIPT_SHOT_WAIT 5000   // the longest the commands after a shot wait for its frame

enum ScriptOp {
    OP_KEY = 1, OP_PRESS, OP_TYPE, OP_MOUSE, OP_WHEEL, OP_BUTTON, OP_CLICK, OP_FOCUS, OP_SCREEN, OP_SHOT, OP_CLOSE,
};

struct ScriptCommand {
    uint32_t delay;
    int32_t op;
    int32_t a, b;  // key or button and down flag / hold; dx, dy; notches; screen and time-out
    int32_t text;  // offset into the text pool (type, shot), -1 none
};

struct PendingRelease {
    uint32_t due;
    int32_t key;    // DIK code, or -1 - button for a mouse button
};

// The loaded script and its progress, one per run.
static ScriptCommand script_cmds[SCRIPT_MAX_COMMANDS];
static int32_t script_count;
static char script_text[SCRIPT_TEXT_POOL];
static int32_t script_text_used;
static int32_t script_loaded;
static int32_t script_next;
static uint32_t script_base;      // the moment the previous command ran
static int32_t script_waiting;    // a screen wait has begun
static uint32_t script_wait_start;
static PendingRelease script_releases[SCRIPT_PENDING];
static int32_t script_release_count;
static int32_t script_shots[SCRIPT_SHOTS];
static int32_t script_shot_count;
static uint32_t script_shot_asked; // when the newest waiting shot ran

void script_clear()
{
    script_loaded = 0;
    script_count = 0;
    script_text_used = 0;
    script_next = 0;
    script_base = 0;
    script_waiting = 0;
    script_release_count = 0;
    script_shot_count = 0;
}

int script_active() { return script_loaded; }

int script_done() { return !script_loaded || (script_next >= script_count && script_release_count == 0); }

static int parse_int(const char *s, int32_t *out)
{
    if (!s) return 0;
    char *end;
    long v = std::strtol(s, &end, 0);
    if (end == s || *end || v < -1000000000L || v > 1000000000L) return 0;
    *out = (int32_t)v;
    return 1;
}

static int32_t pool_add(const char *s)
{
    const size_t n = std::strlen(s) + 1;
    if ((size_t)script_text_used + n > SCRIPT_TEXT_POOL) return -1;
    std::memcpy(script_text + script_text_used, s, n);
    const int32_t at = script_text_used;
    script_text_used += (int32_t)n;
    return at;
}

static int down_word(const char *s, int32_t *out)
{
    if (s && std::strcmp(s, "down") == 0) return *out = 1, 1;
    if (s && std::strcmp(s, "up") == 0) return *out = 0, 1;
    return 0;
}

// Parses one non-comment line into *c; null when it is well formed, else why not.
static const char *parse_line(char *line, ScriptCommand *c)
{
    char *save = nullptr;
    const char *delay = strtok_r(line, " \t", &save);
    const char *word = strtok_r(nullptr, " \t", &save);
    int32_t d;
    if (!parse_int(delay, &d) || d < 0) return "a delay in milliseconds must come first";
    if (!word) return "command missing";
    *c = ScriptCommand{(uint32_t)d, 0, 0, 0, -1};
    if (std::strcmp(word, "type") == 0 || std::strcmp(word, "shot") == 0) {
        char *rest = save;
        while (rest && (*rest == ' ' || *rest == '\t')) rest++;
        if (!rest || !*rest) return "text missing";
        c->op = word[0] == 't' ? OP_TYPE : OP_SHOT;
        c->text = pool_add(rest);
        return c->text < 0 ? "script too long" : nullptr;
    }
    const char *a1 = strtok_r(nullptr, " \t", &save);
    const char *a2 = strtok_r(nullptr, " \t", &save);
    if (strtok_r(nullptr, " \t", &save)) return "too many words";
    if (std::strcmp(word, "key") == 0) {
        c->op = OP_KEY;
        c->a = key_by_name(a1);
        if (c->a < 1 || !down_word(a2, &c->b)) return "expected: key KEY down|up";
    } else if (std::strcmp(word, "press") == 0) {
        c->op = OP_PRESS;
        c->a = key_by_name(a1);
        c->b = SCRIPT_DEFAULT_HOLD;
        if (c->a < 1 || (a2 && (!parse_int(a2, &c->b) || c->b < 0))) return "expected: press KEY [HOLD]";
    } else if (std::strcmp(word, "mouse") == 0) {
        c->op = OP_MOUSE;
        if (!parse_int(a1, &c->a) || !parse_int(a2, &c->b)) return "expected: mouse DX DY";
    } else if (std::strcmp(word, "wheel") == 0) {
        c->op = OP_WHEEL;
        if (!parse_int(a1, &c->a) || a2 || c->a < -10000 || c->a > 10000) return "expected: wheel NOTCHES";
    } else if (std::strcmp(word, "button") == 0) {
        c->op = OP_BUTTON;
        if (!parse_int(a1, &c->a) || c->a < 0 || c->a > 3 || !down_word(a2, &c->b))
            return "expected: button 0..3 down|up";
    } else if (std::strcmp(word, "click") == 0) {
        c->op = OP_CLICK;
        if (!parse_int(a1, &c->a) || c->a < 0 || c->a > 3 || a2) return "expected: click 0..3";
    } else if (std::strcmp(word, "focus") == 0) {
        c->op = OP_FOCUS;
        if (!parse_int(a1, &c->a) || (c->a != 0 && c->a != 1) || a2) return "expected: focus 0|1";
    } else if (std::strcmp(word, "screen") == 0) {
        c->op = OP_SCREEN;
        c->b = SCRIPT_DEFAULT_WAIT;
        if (!parse_int(a1, &c->a) || c->a < 0 || c->a >= SCREEN_COUNT || (a2 && (!parse_int(a2, &c->b) || c->b < 0)))
            return "expected: screen 0..4 [TIMEOUT]";
    } else if (std::strcmp(word, "close") == 0) {
        c->op = OP_CLOSE;
        if (a1) return "expected: close";
    } else {
        return "unknown command";
    }
    return nullptr;
}

int script_parse(const char *text)
{
    script_clear();
    int32_t lineno = 0;
    const char *p = text ? text : "";
    while (*p) {
        const char *eol = std::strchr(p, '\n');
        const size_t len = eol ? (size_t)(eol - p) : std::strlen(p);
        lineno++;
        char line[512];
        if (len >= sizeof line) {
            plat_log("script: line %d: too long", lineno);
            script_clear();
            return 0;
        }
        std::memcpy(line, p, len);
        line[len] = 0;
        p += eol ? len + 1 : len;
        for (size_t i = len; i > 0 && (line[i - 1] == '\r' || line[i - 1] == ' ' || line[i - 1] == '\t'); i--)
            line[i - 1] = 0;
        const char *first = line;
        while (*first == ' ' || *first == '\t') first++;
        if (!*first || *first == '#') continue;
        if (script_count == SCRIPT_MAX_COMMANDS) {
            plat_log("script: line %d: more than %d commands", lineno, SCRIPT_MAX_COMMANDS);
            script_clear();
            return 0;
        }
        const char *err = parse_line(line, &script_cmds[script_count]);
        if (err) {
            plat_log("script: line %d: %s", lineno, err);
            std::fprintf(stderr, "input script line %d: %s\n", lineno, err);
            script_clear();
            return 0;
        }
        script_count++;
    }
    script_loaded = 1;
    script_base = plat_millis();
    return 1;
}

int script_load(const char *path)
{
    uint8_t *data;
    size_t size;
    if (!plat_read_file(path, SCRIPT_MAX_FILE, &data, &size)) {
        plat_log("script: %s cannot be read", path ? path : "");
        return 0;
    }
    char *text = (char *)std::malloc(size + 1);
    int ok = 0;
    if (text) {
        std::memcpy(text, data, size);
        text[size] = 0;
        ok = script_parse(text);
    }
    std::free(text);
    std::free(data);
    return ok;
}

static void script_later(uint32_t due, int32_t key)
{
    if (script_release_count == SCRIPT_PENDING) return;
    script_releases[script_release_count++] = PendingRelease{due, key};
}

static void script_type(const char *text)
{
    for (const uint8_t *p = (const uint8_t *)text; *p; p++)
        if (!plat_inject_typed(*p)) plat_inject_char(*p);
}

static void script_run(const ScriptCommand *c, uint32_t due)
{
    switch (c->op) {
    case OP_KEY: plat_inject_key(c->a, c->b); break;
    case OP_PRESS:
        plat_inject_key(c->a, 1);
        script_later(due + (uint32_t)c->b, c->a);
        break;
    case OP_TYPE: script_type(script_text + c->text); break;
    case OP_MOUSE: plat_inject_mouse(c->a, c->b); break;
    case OP_WHEEL: plat_inject_wheel(c->a); break;
    case OP_BUTTON: plat_inject_button(c->a, c->b); break;
    case OP_CLICK:
        plat_inject_button(c->a, 1);
        script_later(due + SCRIPT_DEFAULT_HOLD, -1 - c->a);
        break;
    case OP_FOCUS: plat_inject_focus(c->a); break;
    case OP_SHOT:
        if (script_shot_count < SCRIPT_SHOTS) script_shots[script_shot_count++] = c->text;
        break;
    case OP_CLOSE: plat_inject_close(); break;
    default: break;
    }
}

void script_tick(uint32_t now)
{
    if (!script_loaded) return;
    for (int32_t i = 0; i < script_release_count;) {
        if ((int32_t)(now - script_releases[i].due) < 0) {
            i++;
            continue;
        }
        const int32_t key = script_releases[i].key;
        if (key >= 0) plat_inject_key(key, 0);
        else plat_inject_button(-1 - key, 0);
        script_releases[i] = script_releases[--script_release_count];
    }
    while (script_next < script_count) {
        // A shot is the frame that the commands before it made: the ones
        // after it, due or not, wait until that frame has been presented, so
        // that they reach the game just as they would without the shot.
        // Their delays count from the moment that frame was saved, so a slow
        // frame does not bunch them into one pump.
        if (script_shot_count > 0 && now - script_shot_asked <= SCRIPT_SHOT_WAIT) return;
        const ScriptCommand *c = &script_cmds[script_next];
        const uint32_t due = script_base + c->delay;
        if ((int32_t)(now - due) < 0) return;
        if (c->op == OP_SCREEN) {
            if (!script_waiting) {
                script_waiting = 1;
                script_wait_start = due;
            }
            if (game_screen_table()->current != c->a) {
                if (now - script_wait_start <= (uint32_t)c->b) return;
                plat_log("script: screen %d not reached", c->a);
                std::fprintf(stderr, "input script: screen %d not reached within %d ms\n", c->a, c->b);
                plat_inject_close();
                script_next = script_count;
                return;
            }
            script_waiting = 0;
            script_base = now;
            script_next++;
            continue;
        }
        script_run(c, due);
        if (c->op == OP_SHOT) script_shot_asked = now;
        script_base = due;
        script_next++;
    }
}

void script_after_present(const uint8_t *pixels, int32_t pitch, int32_t width, int32_t height)
{
    if (script_shot_count > 0) script_base = plat_millis();
    for (int32_t i = 0; i < script_shot_count; i++) {
        const char *path = script_text + script_shots[i];
        if (png_write_file(path, pixels, pitch, width, height)) plat_log("shot %s", path);
        else plat_log("script: shot %s cannot be written", path);
    }
    script_shot_count = 0;
}
