// Vote-kick.
#include "server/srv_vote.h"

#include <cstdio>

#include "common/lang.h"
#include "common/lang_ids.h"
#include "server/srv_log.h"
#include "server/srv_net.h"
#include "server/srv_send.h"
#include "server/srv_state.h"

int srv_vote_joined_count()
{
    int n = 0;
    for (int i = 0; i < PLAYER_MAX; i++)
        if (player_table[i].present && player_table[i].team != TEAM_NONE)
            n++;
    return n;
}

int srv_vote_needed(int count)
{
    // trunc(count x 0.4) in integers: no rounding at the multiples of 5.
    int need = count > 0 ? count * 2 / 5 : 0;
    return need < 2 ? 2 : need;
}

int srv_vote_running() { return srv_vote.target >= 0 && srv_vote.target < PLAYER_MAX; }

void srv_vote_clear()
{
    srv_vote.target = -1;
    srv_vote.deadline = 0;
    srv_vote.votes = 0;
    srv_vote.voter_count = 0;
}

int srv_vote_start(int target, int64_t t)
{
    if (srv_vote_running() || !srv_slot_connected(target))
        return 0;
    srv_vote_clear();
    srv_vote.target = target;
    srv_vote.deadline = t + SRV_VOTE_SECONDS;
    char text[SRV_LOG_LINE];
    snprintf(text, sizeof text, lang_get(LANG_VOTEKICK_STARTED), player_table[target].name);
    srv_system_chat(-1, text);
    return 1;
}

static int srv_vote_has_voted(int voter)
{
    for (int i = 0; i < srv_vote.voter_count && i < PLAYER_MAX; i++)
        if (srv_vote.voted[i] == voter)
            return 1;
    return 0;
}

int srv_vote_yes(int voter)
{
    if (!srv_vote_running() || !srv_slot_connected(voter) || player_table[voter].team == TEAM_NONE)
        return VOTE_IGNORED;
    if (srv_vote_has_voted(voter))
        return VOTE_IGNORED;
    srv_vote.votes++;
    int need = srv_vote_needed(srv_vote_joined_count());
    if (srv_vote.votes < need) {
        if (srv_vote.voter_count < PLAYER_MAX)
            srv_vote.voted[srv_vote.voter_count++] = voter;
        char text[SRV_LOG_LINE];
        snprintf(text, sizeof text, lang_get(LANG_VOTES_NEEDED), need - srv_vote.votes);
        srv_system_chat(-1, text);
        return VOTE_COUNTED;
    }
    int target = srv_vote.target;
    srv_vote_clear();
    srv_remove_player(target, REMOVE_KICK);
    return VOTE_PASSED;
}

int srv_vote_timeout(int64_t t)
{
    if (!srv_vote_running() || t <= srv_vote.deadline)
        return 0;
    srv_system_chat(-1, lang_get(LANG_VOTE_TIMED_OUT));
    srv_vote_clear();
    return 1;
}
