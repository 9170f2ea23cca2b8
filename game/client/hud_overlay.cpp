#include "client/hud_overlay.h"

#include <cstdio>
#include <cstring>

#include "client/game_controls.h"
#include "client/game_state.h"
#include "client/hud_canvas.h"
#include "client/net_dispatch.h"
#include "common/feed.h"
#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/player.h"
#include "common/timer.h"
#include "platform/plat_display.h"
#include "platform/plat_font.h"
#include "platform/plat_sound.h"

#define HUD_WHITE 0xFFFFFFu
#define HUD_RED 0xFF0000u
#define CHAR_W 6 // the 6x8 font's advance

// A zero-terminated copy of at most size - 1 bytes of a text that need not
// end within its field.
static void hud_copy(char *out, size_t size, const char *text, size_t field)
{
    const size_t n = strnlen(text, field < size ? field : size - 1);
    std::memcpy(out, text, n);
    out[n] = 0;
}

static uint32_t team_colour(int team) { return client_state.team[game_team_slot(team)].colour; }

static uint32_t chat_colour(int32_t kind)
{
    switch (kind) {
    case 0: return client_state.team[0].colour;
    case 1: return client_state.team[1].colour;
    case 2: return client_state.team[TEAM_SLOT_SPECTATOR].colour;
    case 3: return HUD_WHITE;
    case FEED_KIND_NOTICE: return HUD_RED;
    default: return 0;
    }
}

static uint32_t kill_colour(int32_t kind)
{
    switch (kind) {
    case 5: return client_state.team[0].colour;
    case 6: return client_state.team[1].colour;
    case 7: return HUD_RED;
    default: return 0;
    }
}

void hud_draw_feed(MessageFeed *feed, int32_t x, int32_t y0, int32_t step, uint32_t (*colour_of)(int32_t kind))
{
    for (int i = 0; i < FEED_LINES; i++) {
        FeedLine &l = feed->lines[i];
        if (l.text[0] == 0) continue;
        if (game_time > l.expiry) {
            l.text[0] = 0;
            continue;
        }
        const uint32_t colour = colour_of(l.kind);
        if (colour == 0) continue;
        char text[FEED_TEXT_SIZE];
        hud_copy(text, sizeof text, l.text, sizeof l.text);
        hud_text6x8(x, y0 + step * i, colour, text);
    }
}

void hud_draw_chat()
{
    const int32_t y0 = hud_height() - 100;
    const LocalControls &c = local_controls;
    if (c.chat_mode == CHAT_OPEN_ALL || c.chat_mode == CHAT_OPEN_TEAM) {
        char label[64];
        snprintf(label, sizeof label, "%s:", lang_get(c.chat_mode == CHAT_OPEN_ALL ? LANG_CHAT_ALL_LABEL : LANG_CHAT_TEAM_LABEL));
        hud_text6x8(12, y0 - 10, HUD_WHITE, label);
        char line[sizeof c.chat_line];
        hud_copy(line, sizeof line, c.chat_line, sizeof c.chat_line);
        hud_text6x8(12, y0, HUD_WHITE, line);
    }
    hud_draw_feed(&feed_chat, 12, y0 + 10, 10, chat_colour);
}

void hud_draw_kill_feed() { hud_draw_feed(&feed_kill, 12, 22, 10, kill_colour); }

void hud_draw_centre_alert(const char *text, double deadline, double now, Surface *surface, int32_t W, int32_t H)
{
    BitmapFont *font = getfont(HUD_FONT_LARGE);
    if (!(deadline > now) || !text || !font) return;
    hud_unlock();
    drawtextcolor(font, text, (W - gettextwidth(font, text)) / 2, H / 2, surface, HUD_RED);
}

void hud_draw_respawn_count(int64_t respawn_time, int64_t *last_beep)
{
    const double left = (double)respawn_time - (double)game_time;
    if (left <= 0.0) return;
    // Seconds left counted from 1; a time beyond a day stands still there.
    const int64_t n = left < 86400.0 ? (int64_t)(left + 1.0) : 86400;
    if (n <= 3 && n != *last_beep) {
        *last_beep = n;
        playsound(n == 1 ? "wav/beep1.wav" : "wav/beep2.wav", -1000);
    }
    char text[96];
    snprintf(text, sizeof text, "%s:%lld", lang_get(LANG_RESPAWN_LABEL), (long long)n);
    hud_text_centred(HUD_FONT_LARGE, text, hud_height() - hud_font_height(HUD_FONT_LARGE), HUD_RED);
}

void hud_draw_big_message()
{
    char text[HUD_TEXT_SIZE];
    hud_copy(text, sizeof text, hud_announce_text, sizeof hud_announce_text);
    hud_draw_centre_alert(text, hud_announce_until, game_time, getframesurface(), hud_width(), hud_height());
}

void hud_draw_quit_prompt()
{
    hud_text_centred(HUD_FONT_LARGE, lang_get(LANG_QUIT_PROMPT), hud_height() / 3, HUD_RED);
}

void hud_draw_name_tag()
{
    const PlayerRecord *me = game_local_player();
    if (!me) return;
    for (int i = 0; i < PLAYER_MAX; i++) {
        const PlayerRecord &p = player_table[i];
        if (!p.present || p.team < 0 || i == local_player_id || !p.under_crosshair) continue;
        if (me->team != TEAM_SPECTATOR && p.team != me->team) continue;
        char name[PLAYER_NAME_SIZE];
        hud_copy(name, sizeof name, p.name, sizeof p.name);
        const int32_t w = hud_width(), h = hud_height();
        hud_text6x8((w - CHAR_W * (int32_t)std::strlen(name)) / 2, h - h / 4, team_colour(p.team), name);
        return;
    }
}
