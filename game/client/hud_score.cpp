#include "client/hud_score.h"

#include <cstdio>
#include <cstring>

#include "client/game_mode.h"
#include "client/game_state.h"
#include "client/hud_canvas.h"
#include "common/mode_objective.h"
#include "common/player.h"
#include "common/protocol.h"

#define HUD_WHITE 0xFFFFFFu
// Widest rows: a 15-character name, a two-digit id, three digits of kills.
#define SCORE_COLUMN_TEXT "GGGGGGGGGGGGGGG #GG GGG"
#define SPECTATOR_COLUMN_TEXT "GGGGGGGGGGGGGGG #GG"

int32_t hud_draw_score_row(int team, int32_t x, int32_t y)
{
    const int32_t line = hud_font_height(HUD_FONT_SMALL);
    for (int i = 0; i < PLAYER_MAX; i++) {
        const PlayerRecord *p = player_get(client_state.order[i]);
        if (!p || !p->present || p->team == TEAM_NONE || p->team != team) continue;
        char name[PLAYER_NAME_SIZE];
        const size_t n = strnlen(p->name, sizeof name - 1);
        std::memcpy(name, p->name, n);
        name[n] = 0;
        char row[64];
        if (team == TEAM_SPECTATOR)
            snprintf(row, sizeof row, "%15s #%-2d", name, client_state.order[i]);
        else
            snprintf(row, sizeof row, "%15s #%-2d %-3d", name, client_state.order[i], p->kills);
        hud_text(HUD_FONT_SMALL, row, x, y, HUD_WHITE);
        y += line;
    }
    return y;
}

void hud_draw_team_scores(int32_t x, int32_t y)
{
    int32_t second = capture_limit;
    if (client_state.game_mode == GAME_MODE_TC) {
        const int n = game_objective_count();
        client_state.score[0] = client_state.score[1] = 0;
        for (int i = 0; i < n; i++) {
            const int owner = mode_objectives[i].owner;
            if (owner == 0 || owner == 1) client_state.score[owner]++;
        }
        second = n;
    }
    char text[32];
    snprintf(text, sizeof text, "%d-%d", client_state.score[0], second);
    hud_text(HUD_FONT_LARGE, text, x, y, client_state.team[0].colour);
    snprintf(text, sizeof text, "%d-%d", client_state.score[1], second);
    hud_text_right(HUD_FONT_LARGE, text, hud_width() - x, y, client_state.team[1].colour);
}

void hud_draw_scoreboard(int with_spectators)
{
    const int32_t w = hud_width(), h = hud_height();
    const int32_t column = hud_text_width(HUD_FONT_SMALL, SCORE_COLUMN_TEXT);
    const int32_t top = (int32_t)(0.01f * (float)h + 108.0f);
    hud_draw_team_scores((int32_t)(0.19f * (float)w), top);
    player_sort_by_kills(client_state.order);
    const int32_t margin = (int32_t)(0.09f * (float)w);
    const int32_t rows = (int32_t)((float)top + 0.1f * (float)h);
    hud_draw_score_row(TEAM_BLUE, margin, rows);
    hud_draw_score_row(TEAM_GREEN, w - margin - column, rows);
    if (with_spectators)
        hud_draw_score_row(TEAM_SPECTATOR, (w - hud_text_width(HUD_FONT_SMALL, SPECTATOR_COLUMN_TEXT)) / 2, rows);
}
