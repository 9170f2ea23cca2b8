#include "common/mode_objective.h"

#include "common/timer.h"

ObjectiveState mode_objectives[OBJECTIVE_MAX];
uint32_t mode_objective_count;

void mode_advance_capture()
{
    uint32_t n = mode_objective_count < OBJECTIVE_MAX ? mode_objective_count : OBJECTIVE_MAX;
    for (uint32_t i = 0; i < n; i++) {
        ObjectiveState *o = &mode_objectives[i];
        if (o->rate == 0) continue;
        float p = o->progress + (float)o->rate * game_step * 0.05f;
        if (p < 0.0f) p = 0.0f;
        if (p > 1.0f) p = 1.0f;
        o->progress = p;
    }
}
