#include "client/game_controls.h"

#include "client/game_assets.h"
#include "platform/plat_sound.h"
#include "client/game_objects.h"
#include "client/game_random.h"
#include "client/game_state.h"
#include "client/net_client.h"
#include "client/net_dispatch.h"
#include "common/protocol.h"
#include "common/timer.h"

LocalControls local_controls;

void game_local_player_died()
{
    PlayerRecord *p = game_local_player();
    if (!p) return;
    LocalControls &c = local_controls;
    if (c.tool == TOOL_GRENADE && p->grenade_fuse_end != 0.0f) {
        Vec3 v = {p->velocity.x + p->forward.x, p->velocity.y + p->forward.y, p->velocity.z + p->forward.z};
        game_add_grenade_object(&p->eye, &v, local_player_id, p->grenade_fuse_end);
        GrenadeMsg g = {(uint8_t)local_player_id, p->grenade_fuse_end - game_time, p->eye, v};
        net_send_msg(msg_write_grenade, g);
    }
    p->primary = p->secondary = 0;
    p->alive = 0;
    c.line_start_set = c.line_end_set = 0;
    game_random_unit_vector(&c.death_direction);
    playsound("wav/death.wav", -400);
}

void game_reset_local_loadout()
{
    LocalControls &c = local_controls;
    c.tool = c.last_tool = TOOL_GUN;
    c.palette_index = 3;
    c.block_colour = block_palette[3];
    c.next_use = game_time + 0.5f;
    if (PlayerRecord *p = game_local_player()) p->primary = p->secondary = 0;
    hud_damage_source = Vec3{0.0f, 0.0f, 0.0f};
    hud_damage_until = 0.0f;
    c.follow = -1;
}
