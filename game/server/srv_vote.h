// Vote-kick: one vote at a time, started by "/votekick N", answered by a yes
// letter, ended by enough votes, its deadline, the target leaving or a round
// reset. The record itself (srv_vote, target -1 = none) lives in srv_state.
#pragma once
#include <cstdint>

#define SRV_VOTE_SECONDS 30 // a vote runs this long from its start

// What a yes vote did.
enum VoteResult {
    VOTE_IGNORED = 0, // no vote running, a bad voter, or he voted already
    VOTE_COUNTED = 1, // recorded; still short of the need
    VOTE_PASSED = 2,  // the target was kicked
};

// Players whose yes votes count and who count towards the need: connected
// and joined (team not -2). Connections still loading the map do not count.
int srv_vote_joined_count();
// Votes a vote needs with `count` joined players: 2 when count x 0.4 is
// below 2, else trunc(count x 0.4).
int srv_vote_needed(int count);
// 1 while a vote runs.
int srv_vote_running();
// Starts a vote against a connected player at time t (whole seconds) and
// announces it to all. Returns 1, or 0 when a vote runs already or the
// target is not connected.
int srv_vote_start(int target, int64_t t);
// A yes vote from `voter`: counted once per player per vote; the target is
// kicked (REMOVE_KICK) when the votes reach the need, otherwise all are told
// how many are still missing.
int srv_vote_yes(int voter);
// Ends the vote when its deadline (whole seconds) is before t, telling all.
// Returns 1 when it timed out now.
int srv_vote_timeout(int64_t t);
// Clears the vote record (no target, no votes).
void srv_vote_clear();
