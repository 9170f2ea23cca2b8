// Scene placement for vxrender: parsing --model and --player values, posing
// players in the player table, drawing everything after the world.
#include "vxscene.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/kv6.h"
#include "common/map_query.h"
#include "common/model_table.h"
#include "common/timer.h"
#include "renderer/voxrender.h"
#include "vxmodels.h"

struct PlacedModel {
    SpriteInstance sprite;
    int32_t on_ground; // at=X:Y: the pivot stands on the ground, found when drawn
    int32_t owned;     // loaded from a file here
    int32_t fog;
    int32_t has_light;
    Vec3 light;
};

static PlacedModel placed[VXSCENE_MAX_MODELS];
static int32_t placed_count;
static int32_t player_count;
static VxPlayerPose player_pose[PLAYER_MAX];
static int32_t player_on_ground[PLAYER_MAX];
static float player_time[PLAYER_MAX];   // game_time of each posed player's walk cycle
static int32_t player_intel[PLAYER_MAX]; // carries the other team's intel

VxPlayerPose vxscene_default_pose()
{
    VxPlayerPose p{};
    p.team = TEAM_BLUE;
    p.tool = TOOL_GUN;
    p.weapon = WEAPON_SEMI;
    p.pose = VXPOSE_STAND;
    p.ground = Vec3{256.0f, 256.0f, 40.0f};
    p.swing = -1.0f;
    p.colour = 0x7F7F7F;
    return p;
}

int vxscene_pose_player(int id, const VxPlayerPose *pose)
{
    PlayerRecord *p = player_get(id);
    if (!p || !pose || !team_is_playing(pose->team) || !tool_is_valid(pose->tool) || !weapon_is_valid(pose->weapon))
        return 0;
    std::memset(p, 0, sizeof *p);
    player_init(p, id, pose->team, pose->weapon, pose->tool, 0, pose->colour & 0xFFFFFFu, "figure");
    const bool crouch = pose->pose == VXPOSE_CROUCH;
    if (crouch) {
        const bool blue = pose->team == TEAM_BLUE;
        p->sprites[SPRITE_TORSO].model = model_table[blue ? MODEL_TORSOC_B : MODEL_TORSOC_G];
        p->sprites[SPRITE_LEG_LEFT].model = p->sprites[SPRITE_LEG_RIGHT].model =
            model_table[blue ? MODEL_LEGC_B : MODEL_LEGC_G];
        p->keys[KEY_CROUCH] = 1;
    }
    p->keys[KEY_SPRINT] = pose->sprint ? 1 : 0;

    // The walk cycle: game_time at the wanted phase of the two-step period,
    // long after the last step up (the eye does not lag).
    const float period = pose->sprint ? 0.386f : 0.512f;
    float t = 100.0f;
    if (pose->swing >= 0.0f) t += std::fmod(pose->swing, 1.0f) * 2.0f * period + 0.0005f;
    player_time[id] = t;
    game_time = t;

    const Vec3 eye{pose->ground.x, pose->ground.y, pose->ground.z - (crouch ? 1.5f : 2.4f)};
    player_set_position(p, &eye);
    const Vec3 forward{std::cos(pose->yaw), std::sin(pose->yaw), 0.0f};
    player_set_orientation(p, &forward);
    if (pose->swing >= 0.0f) {
        const float speed = pose->sprint ? 0.13f : 0.1f;
        p->velocity = Vec3{speed * forward.x, speed * forward.y, 0.0f};
    }
    p->next_use = t + pose->use;
    if (pose->tool == TOOL_GRENADE) p->grenade_fuse_end = t + pose->use;

    if (pose->pose == VXPOSE_DEAD) {
        // The dead body lies along the facing, as the client poses it at a kill.
        p->alive = 0;
        const float rx = p->right.x, ry = p->right.y;
        const bool same = std::signbit(rx) == std::signbit(p->forward.y);
        SpriteInstance &d = p->sprites[SPRITE_DEAD];
        d.xaxis.x = -0.1f * rx;
        d.xaxis.y = -0.1f * ry;
        d.yaxis.x = 0.1f * (same ? -ry : ry);
        d.yaxis.y = 0.1f * (same ? rx : -rx);
    }
    player_intel[id] = pose->intel ? 1 : 0;
    return 1;
}

void vxscene_draw_player(int id, int fog)
{
    PlayerRecord *p = player_get(id);
    if (!p) return;
    ObjectiveState intel[2];
    std::memset(intel, 0, sizeof intel);
    intel[0].owner = intel[1].owner = -1;
    if (player_intel[id]) intel[p->team == TEAM_BLUE ? 1 : 0].owner = id;
    const PlayerDrawMode mode{1, intel, 2};
    game_time = player_time[id];
    drawplayermodel(p, fog, &mode);
    modeltint = VOX_TINT_NEUTRAL;
}

// Items of a placement value: "key=value" or "flag", separated by commas.
struct Item {
    std::string key, value;
};

static int next_item(const char **s, Item *it)
{
    if (!**s) return 0;
    const char *e = std::strchr(*s, ',');
    const std::string tok = e ? std::string(*s, (size_t)(e - *s)) : std::string(*s);
    *s = e ? e + 1 : *s + tok.size();
    const size_t eq = tok.find('=');
    it->key = tok.substr(0, eq);
    it->value = eq == std::string::npos ? std::string() : tok.substr(eq + 1);
    return 1;
}

static bool parse_float(const std::string &s, float *out)
{
    char *end = nullptr;
    const float v = std::strtof(s.c_str(), &end);
    if (s.empty() || *end || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

// X:Y:Z, or X:Y when *two may be set (then *two = 1 and z is left).
static bool parse_point(const std::string &s, Vec3 *out, int32_t *two = nullptr)
{
    const size_t a = s.find(':'), b = a == std::string::npos ? a : s.find(':', a + 1);
    if (a == std::string::npos) return false;
    if (b == std::string::npos) {
        if (!two) return false;
        *two = 1;
        return parse_float(s.substr(0, a), &out->x) && parse_float(s.substr(a + 1), &out->y);
    }
    return parse_float(s.substr(0, a), &out->x) && parse_float(s.substr(a + 1, b - a - 1), &out->y) &&
           parse_float(s.substr(b + 1), &out->z);
}

static float ground_at(const Vec3 &p)
{
    return (float)map_ground_z((int32_t)std::floor(p.x), (int32_t)std::floor(p.y));
}

static int refuse(char *err, size_t errlen, const char *what, const std::string &item)
{
    if (err && errlen) std::snprintf(err, errlen, "%s: %s", what, item.c_str());
    return 0;
}

int vxscene_add_model(const char *value, char *err, size_t errlen)
{
    if (placed_count >= VXSCENE_MAX_MODELS) return refuse(err, errlen, "too many models", value ? value : "");
    PlacedModel pm{};
    pm.fog = 1;
    std::string file, fig;
    float yaw = 0, pitch = 0, roll = 0, scale = 0.1f;
    bool at = false;
    Item it;
    for (const char *s = value ? value : ""; next_item(&s, &it);) {
        bool ok = true;
        if (it.key == "file") file = it.value, ok = !file.empty();
        else if (it.key == "fig") fig = it.value, ok = !fig.empty();
        else if (it.key == "at") ok = at = parse_point(it.value, &pm.sprite.position, &pm.on_ground);
        else if (it.key == "yaw") ok = parse_float(it.value, &yaw);
        else if (it.key == "pitch") ok = parse_float(it.value, &pitch);
        else if (it.key == "roll") ok = parse_float(it.value, &roll);
        else if (it.key == "scale") ok = parse_float(it.value, &scale) && scale > 0.0f;
        else if (it.key == "light") ok = parse_point(it.value, &pm.light), pm.has_light = ok;
        else if (it.key == "nofog" && it.value.empty()) pm.fog = 0;
        else ok = false;
        if (!ok) return refuse(err, errlen, "bad model item", it.key + "=" + it.value);
    }
    if (!at || file.empty() == fig.empty())
        return refuse(err, errlen, "a model needs at= and one of file= or fig=", value ? value : "");
    if (!file.empty()) {
        // A malformed file is refused here rather than ending the tool.
        kv6_set_fatal_handler([](const char *) {});
        pm.sprite.model = loadkv6(file.c_str());
        kv6_set_fatal_handler(nullptr);
        if (!pm.sprite.model) return refuse(err, errlen, "cannot load", file);
        pm.owned = 1;
    } else {
        if (!model_table[MODEL_HEAD_B] && !vxmodel_make_figures()) return refuse(err, errlen, "cannot build", fig);
        pm.sprite.model = vxmodel_figure(fig.c_str());
        if (!pm.sprite.model) return refuse(err, errlen, "unknown figure", fig);
    }
    const float d = 3.14159265f / 180.0f;
    pm.sprite.xaxis = Vec3{scale, 0, 0};
    pm.sprite.yaxis = Vec3{0, scale, 0};
    pm.sprite.zaxis = Vec3{0, 0, scale};
    rotateaxes(yaw * d, pitch * d, roll * d, &pm.sprite.xaxis, &pm.sprite.yaxis, &pm.sprite.zaxis);
    placed[placed_count++] = pm;
    return 1;
}

static bool parse_name(const std::string &s, const char *const *names, int n, int32_t *out)
{
    for (int i = 0; i < n; i++)
        if (s == names[i]) return *out = i, true;
    return false;
}

int vxscene_add_player(const char *value, char *err, size_t errlen)
{
    if (player_count >= PLAYER_MAX) return refuse(err, errlen, "too many players", value ? value : "");
    static const char *const teams[] = {"blue", "green"};
    static const char *const tools[] = {"spade", "block", "semi", "smg", "shotgun", "grenade"};
    static const char *const poses[] = {"stand", "crouch", "dead"};
    VxPlayerPose pose = vxscene_default_pose();
    bool at = false;
    int32_t on_ground = 0;
    float yaw = 0;
    Item it;
    for (const char *s = value ? value : ""; next_item(&s, &it);) {
        bool ok = true;
        int32_t tool = 0;
        if (it.key == "team") ok = parse_name(it.value, teams, 2, &pose.team);
        else if (it.key == "tool") {
            ok = parse_name(it.value, tools, 6, &tool);
            pose.tool = tool <= 1 ? tool : (tool == 5 ? TOOL_GRENADE : TOOL_GUN);
            pose.weapon = tool >= 2 && tool <= 4 ? tool - 2 : WEAPON_SEMI;
        } else if (it.key == "pose") ok = parse_name(it.value, poses, 3, &pose.pose);
        else if (it.key == "at") ok = at = parse_point(it.value, &pose.ground, &on_ground);
        else if (it.key == "yaw") ok = parse_float(it.value, &yaw);
        else if (it.key == "swing") ok = parse_float(it.value, &pose.swing) && pose.swing >= 0.0f && pose.swing <= 1.0f;
        else if (it.key == "use") ok = parse_float(it.value, &pose.use) && pose.use >= 0.0f;
        else if (it.key == "colour") {
            char *end = nullptr;
            pose.colour = (uint32_t)std::strtoul(it.value.c_str(), &end, 16) & 0xFFFFFFu;
            ok = !it.value.empty() && !*end;
        } else if (it.key == "sprint" && it.value.empty()) pose.sprint = 1;
        else if (it.key == "intel" && it.value.empty()) pose.intel = 1;
        else ok = false;
        if (!ok) return refuse(err, errlen, "bad player item", it.key + "=" + it.value);
    }
    if (!at) return refuse(err, errlen, "a player needs at=", value ? value : "");
    pose.yaw = yaw * 3.14159265f / 180.0f;
    if (!model_table[MODEL_HEAD_B] && !vxmodel_make_figures())
        return refuse(err, errlen, "cannot build the figures", value ? value : "");
    player_pose[player_count] = pose;
    player_on_ground[player_count++] = on_ground;
    return 1;
}

int vxscene_count() { return placed_count + player_count; }

void vxscene_draw(int fog)
{
    for (int32_t i = 0; i < placed_count; i++) {
        PlacedModel &pm = placed[i];
        if (pm.on_ground) pm.sprite.position.z = ground_at(pm.sprite.position);
        rendermodel(&pm.sprite, fog && pm.fog, pm.has_light ? &pm.light : nullptr);
    }
    // Posed as they are drawn, when the map is there to stand on.
    for (int32_t id = 0; id < player_count; id++) {
        VxPlayerPose pose = player_pose[id];
        if (player_on_ground[id]) pose.ground.z = ground_at(pose.ground);
        if (vxscene_pose_player(id, &pose)) vxscene_draw_player(id, fog);
    }
}

void vxscene_draw_timed(int times)
{
    if (vxscene_count() == 0) return;
    double total = 0;
    for (int i = 0; i < times; i++) {
        renderworld();
        const auto t0 = std::chrono::steady_clock::now();
        vxscene_draw(1);
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    }
    if (times > 0) {
        std::printf("models and players %.3f ms mean over %d\n", total / times, times);
        renderworld();
    }
    vxscene_draw(1);
}

void vxscene_clear()
{
    for (int32_t i = 0; i < placed_count; i++)
        if (placed[i].owned) discardmodel(placed[i].sprite.model);
    placed_count = 0;
    player_count = 0;
    vxmodel_free_figures();
}
