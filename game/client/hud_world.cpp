#include "client/hud_world.h"

#include <cmath>

#include "client/game_controls.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_state.h"
#include "client/hud_canvas.h"
#include "client/player_update.h"
#include "common/mode_objective.h"
#include "common/player.h"
#include "common/protocol.h"
#include "common/timer.h"
#include "renderer/vox_player.h"
#include "renderer/vox_prim.h"
#include "renderer/vox_sprite.h"

#define OUTLINE_BUILT 0xFFFFFFu
#define OUTLINE_SHORT 0xFF0000u

// The follow camera, pulled in against a wall or the ground, can end up
// inside the followed player's body. Nothing behind the camera is drawn, but
// the parts around it, a few tenths of a block away, would still hide most
// of the view. The body: within 0.6 of his position across, from 0.5 above
// it to 2.5 below (his feet).
static bool camera_inside(const PlayerRecord &p, const Vec3 &camera)
{
    const float dx = camera.x - p.position.x, dy = camera.y - p.position.y, dz = camera.z - p.position.z;
    return std::fabs(dx) < 0.6f && std::fabs(dy) < 0.6f && dz > -0.5f && dz < 2.5f;
}

void hud_draw_players()
{
    const PlayerRecord *me = game_local_player();
    if (!me || !hud_lock()) return;
    const int32_t w = hud_width(), h = hud_height();
    const PlayerDrawMode mode{client_state.game_mode == GAME_MODE_CTF, mode_objectives,
                              mode_objective_count < OBJECTIVE_MAX ? mode_objective_count : OBJECTIVE_MAX};
    // The bodies go to the renderer's drawing threads together.
    const int listing = vox_sprite_list_begin();
    for (int i = 0; i < PLAYER_MAX; i++) {
        PlayerRecord &p = player_table[i];
        if (!p.present || p.team < 0) continue;
        if (i == local_player_id && local_controls.follow < 0) continue;
        p.near = p.on_screen = p.under_crosshair = 0;
        // Someone else's pose comes from the wire: one outside the map is not drawn.
        if (i != local_player_id && !game_pose_valid(&p)) continue;
        if (hud_distance2(&p.position, &me->eye) > HUD_NEAR_DISTANCE2) continue;
        p.near = 1;
        const Vec3 point{p.eye.x, p.eye.y, p.eye.z + 1.0f};
        int32_t left, top, right, bottom;
        projectscreenpoint(&point, &left, &top, &right, &bottom);
        if (right < 0 || left >= w || bottom < 0 || top >= h) continue;
        p.on_screen = 1;
        p.under_crosshair = left < w / 2 && w / 2 < right && top < h / 2 && h / 2 < bottom;
        if (i == local_controls.follow && camera_inside(p, me->eye)) continue;
        drawplayermodel(&p, 1, &mode);
    }
    if (listing) vox_sprite_list_end();
    modeltint = VOX_TINT_NEUTRAL;
}

void hud_draw_objects()
{
    const PlayerRecord *me = game_local_player();
    if (!me || !hud_lock()) return;
    const int32_t count = world_object_count < WORLD_OBJECT_MAX ? world_object_count : WORLD_OBJECT_MAX;
    const int listing = vox_sprite_list_begin();
    for (int i = count - 1; i >= 0; i--) {
        const WorldObject *o = &world_objects[i];
        if (wobj_kind(o) == OBJECT_CARRIED || !o->model) continue;
        if (hud_distance2(&o->position, &me->eye) > HUD_NEAR_DISTANCE2 || !testspritevisible(o)) continue;
        // Lit by the ground under it; an uncoloured voxel there lights it evenly.
        modeltint = (uint32_t)vox_ground_shade(&o->position) * 0x010101u;
        rendermodel(o, 1, nullptr);
        modeltint = VOX_TINT_NEUTRAL;
    }
    if (listing) vox_sprite_list_end();
    const ParticleRing &r = particle_ring;
    const int32_t n = r.count < PARTICLE_MAX ? r.count : PARTICLE_MAX;
    for (int32_t k = 0; k < n; k++) {
        const Particle &p = r.slot[(r.head + k) & (PARTICLE_MAX - 1)];
        fillsphere(&p.position, (float)(p.expiry - game_time) * 0.05f, p.colour);
    }
}

void hud_draw_block_line(const BlockCell *start, const BlockCell *end, const PlayerRecord *builder)
{
    if (!hud_lock()) return;
    if (!end) {
        drawblockoutline(start->x, start->y, start->z, OUTLINE_BUILT);
        return;
    }
    BlockCell cells[BLOCK_LINE_MAX];
    // Cells in the builder's own body are not built, so not shown either.
    const int n = player_cells_outside_body(builder, cells, map_block_line(start, end, cells));
    for (int i = 0; i < n; i++)
        drawblockoutline(cells[i].x, cells[i].y, cells[i].z, i < builder->blocks ? OUTLINE_BUILT : OUTLINE_SHORT);
}
