// The in-game frame, its HUD and the menu screens drawn into the headless
// frame at 800 x 600 and probed at known pixels: health colour, crosshair and
// scope, minimap and overview map with the headings of their arrows,
// scoreboard, quit question, feeds, name tags, block line, damage marker,
// network graph; the name-entry, loading, team and weapon
// screens; the tool switch's messages; and hostile state that must draw
// safely.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <unistd.h>
#include <vector>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/hud_canvas.h"
#include "client/hud_frame.h"
#include "client/hud_map.h"
#include "client/hud_overlay.h"
#include "client/hud_score.h"
#include "client/hud_world.h"
#include "client/menu_screens.h"
#include "client/net_client.h"
#include "client/net_dispatch.h"
#include "client/net_loading.h"
#include "client/net_stats.h"
#include "client/player_update.h"
#include "client_fixture.h"
#include "common/feed.h"
#include "common/lang_ids.h"
#include "common/map_query.h"
#include "common/mode_objective.h"
#include "common/player.h"
#include "common/timer.h"
#include "hud_scene.h"
#include "support/test_client.h"
#include "platform/plat_bitmap.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_log.h"

namespace {

const uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kYellow = 0xFFFF00, kBlack = 0;
const uint32_t kTeam0 = HS_TEAM0_COLOUR & 0xFFFFFF, kTeam1 = HS_TEAM1_COLOUR & 0xFFFFFF;

// The white picture drawn in a colour: each channel 255 x byte / 256 (255
// counting as 256), as the picture blit modulates.
uint32_t modulated(uint32_t colour)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t m = colour >> shift & 255;
        out |= (m == 255 ? 255 : 255 * m >> 8) << shift;
    }
    return out;
}

struct HudFrame : ::testing::Test {
    const int32_t W = 800, H = 600;
    PlayerRecord *me = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(hs_open(W, H));
        hs_player(0, 0, 250.5f, 250.5f, 0.0f, true);
        me = &player_table[0];
    }
    void TearDown() override
    {
        game_drop_block_line();
        std::memset(keystates.current, 0, sizeof keystates.current);
        hs_close();
    }
    int32_t large() const { return hud_font_height(HUD_FONT_LARGE); }
    // The block tool with `blocks` held, and the player update's cursor and
    // line end as a drag from one cell to another leaves them (the cells
    // beside the hit ones).
    void drag_line(int blocks, BlockCell from, BlockCell to)
    {
        local_controls.tool = TOOL_BLOCK;
        me->blocks = blocks;
        block_cursor.record.adj_x = from.x;
        block_cursor.record.adj_y = from.y;
        block_cursor.record.adj_z = from.z;
        block_cursor.hit = &block_cursor.record;
        block_line_end.record = block_cursor.record;
        block_line_end.record.adj_x = to.x;
        block_line_end.record.adj_y = to.y;
        block_line_end.record.adj_z = to.z;
        block_line_end.hit = &block_line_end.record;
    }
    // Pixels of a colour in a band of lines across the whole width.
    int band(int32_t y0, int32_t y1, uint32_t rgb) { return hs_count(0, y0, W, y1, rgb); }
    // Where a world point lies on the screen for the local player's eye.
    void project(float x, float y, float z, int32_t *sx, int32_t *sy) const
    {
        const Vec3 d{x - me->eye.x, y - me->eye.y, z - me->eye.z};
        const float depth = d.x * me->forward.x + d.y * me->forward.y + d.z * me->forward.z;
        const float f = (float)W / 2.0f;
        *sx = (int32_t)((d.x * me->right.x + d.y * me->right.y + d.z * me->right.z) * f / depth + (float)W / 2.0f);
        *sy = (int32_t)((d.x * me->down.x + d.y * me->down.y + d.z * me->down.z) * f / depth + (float)H / 2.0f);
    }
};

TEST_F(HudFrame, HealthIsRedBelowTwentyAndWhiteFromTwenty)
{
    struct Case {
        int health;
        uint32_t colour, other;
    } cases[] = {{19, kRed, kWhite}, {20, kWhite, kRed}, {1, kRed, kWhite}, {100, kWhite, kRed}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.health);
        me->health = c.health;
        game_draw_frame();
        EXPECT_GT(hs_count(W / 2 - 90, H - large(), W / 2, H, c.colour), 30);  // the number, ending at W/2
        EXPECT_GT(hs_count(W / 2 + 4, H - 44, W / 2 + 36, H - 12, c.colour), 30); // its icon
        EXPECT_EQ(hs_count(W / 2 - 90, H - 44, W / 2 + 36, H, c.other), 0);
    }
}

TEST_F(HudFrame, CrosshairWhileNotAimingScopeWhileAiming)
{
    const auto model_area = [&] { return std::vector<uint32_t>{hs_pixel(620, 520), hs_pixel(660, 560), hs_pixel(700, 580)}; };
    game_draw_frame();
    EXPECT_EQ(hs_pixel(W / 2, H / 2), kWhite);
    const std::vector<uint32_t> with_gun = model_area();
    me->keys[KEY_SPRINT] = 1; // sprinting lowers the gun out of view
    game_draw_frame();
    EXPECT_NE(model_area(), with_gun);
    me->keys[KEY_SPRINT] = 0;

    me->secondary = 1; // aiming: the semi rifle's scope, no gun in hand
    game_draw_frame();
    EXPECT_LT(hs_pixel(W / 2, H / 2), 0x202020u);      // the scope's cross
    EXPECT_NE(hs_pixel(W / 2 + 60, H / 2 + 60), kBlack); // the world through the glass
    EXPECT_EQ(hs_count(600, 500, 720, 550, kBlack), 120 * 50); // the mask, and no gun over it
    EXPECT_EQ(hs_pixel(5, H / 2), kBlack);
    // Right after a shot the scope kicks out to 1.25 and the glass reaches further.
    const int32_t x = W / 2 + 320, y = H / 2 + 20;
    EXPECT_EQ(hs_pixel(x, y), kBlack);
    me->next_use = game_time + 0.5f;
    game_draw_frame();
    EXPECT_NE(hs_pixel(x, y), kBlack);
}

// Looking 10 degrees down at flat ground, the ground's far edge lies
// focal x tan(angle) above the centre: twice as far while aiming.
TEST_F(HudFrame, AimingDoublesTheFocalLength)
{
    const float a = 10.0f * 3.14159265f / 180.0f;
    const Vec3 f{std::cos(a), 0.0f, std::sin(a)};
    player_set_orientation(me, &f);
    const auto edge = [&] {
        const int32_t x = W / 2 + 40;
        const uint32_t sky = hs_pixel(x, H / 2 - 240);
        for (int32_t y = H / 2 - 240; y < H / 2 + 100; y++)
            if (hs_pixel(x, y) != sky) return y;
        return -1;
    };
    game_draw_frame();
    const int32_t plain = H / 2 - edge();
    me->secondary = 1;
    game_draw_frame();
    const int32_t aimed = H / 2 - edge();
    EXPECT_GT(plain, 40);
    EXPECT_NEAR(aimed, 2 * plain, 6);
}

TEST_F(HudFrame, MinimapFramesTheMapAroundThePlayerAndPinsDistantObjectivesToItsEdge)
{
    world_objects[0].position = Vec3{250.5f + 200.0f, 250.5f, 39.0f}; // team 0's intel, far along +x
    wobj_set_kind(&world_objects[0], OBJECT_LYING);
    world_object_count = 1;
    mode_objective_count = 4;
    game_draw_frame();
    // The frame rectangle (W - 144, 14)-(W - 15, 143) in black.
    for (int32_t y : {14, 60, 143}) EXPECT_EQ(hs_pixel(W - 144, y), kBlack) << y;
    for (int32_t x : {W - 144, W - 80, W - 15}) EXPECT_EQ(hs_pixel(x, 14), kBlack) << x;
    // The window shows the overview picture from (250 - 64, 250 - 64).
    EXPECT_EQ(hs_pixel(W - 143 + 5, 15 + 9), overview_map[(186 + 9) * 512 + 186 + 5] & 0xFFFFFF);
    EXPECT_GT(hs_count(W - 79 - 8, 79 - 8, W - 79 + 8, 79 + 8, 0x00FFFF), 10); // the local arrow
    // The intel sits on the window's right edge, in its team's colour.
    EXPECT_GT(hs_count(W - 23, 71, W - 7, 88, kTeam0), 10);
    EXPECT_EQ(hs_count(W - 143, 15, W - 23, 143, kTeam0), 0);
}

TEST_F(HudFrame, BigMapShowsTheOverviewWithSectorNamesAndTheLocalArrow)
{
    local_controls.big_map = 1;
    game_draw_frame();
    const int32_t x0 = W / 2 - 256, y0 = H / 2 - 256;
    EXPECT_EQ(hs_pixel(x0 + 100, y0 + 64), OVERVIEW_GRID_COLOUR & 0xFFFFFF);
    EXPECT_EQ(hs_pixel(x0 + 100, y0 + 100), overview_map[100 * 512 + 100] & 0xFFFFFF);
    EXPECT_GT(hs_count(x0 + 29, y0 - 7, x0 + 35, y0 + 1, kWhite), 5);  // "A"
    EXPECT_GT(hs_count(x0 - 7, y0 + 29, x0 - 1, y0 + 37, kWhite), 5);  // "1"
    EXPECT_GT(hs_count(x0 + 250 - 8, y0 + 250 - 8, x0 + 250 + 9, y0 + 250 + 9, 0x00FFFF), 10);
}

// Which way a map picture points on the screen, read from its pixels: the
// pixels an icon adds (the frame taken before it was drawn and after) within
// 13 of its centre, and the direction from that centre to their mean. Meant
// for a needle picture that is all on one side of its centre. Degrees, 0
// along screen +x, 90 along screen +y (down); -1 when nothing was drawn.
struct IconProbe {
    int32_t x, y; // the icon's screen centre
    uint32_t before[27 * 27];
};

void icon_probe_take(IconProbe *p)
{
    for (int32_t j = 0; j < 27; j++)
        for (int32_t i = 0; i < 27; i++) p->before[j * 27 + i] = hs_pixel(p->x - 13 + i, p->y - 13 + j);
}

float icon_probe_heading(const IconProbe *p)
{
    float mx = 0.0f, my = 0.0f;
    int n = 0;
    for (int32_t j = 0; j < 27; j++)
        for (int32_t i = 0; i < 27; i++)
            if (hs_pixel(p->x - 13 + i, p->y - 13 + j) != p->before[j * 27 + i])
                mx += (float)(i - 13), my += (float)(j - 13), n++;
    if (n < 4) return -1.0f;
    const float deg = std::atan2(my, mx) * 180.0f / 3.14159265f;
    return deg < 0.0f ? deg + 360.0f : deg;
}

// The difference of two headings in degrees, 0..180.
float heading_gap(float a, float b)
{
    const float d = std::fmod(std::fabs(a - b), 360.0f);
    return d > 180.0f ? 360.0f - d : d;
}

// The rows a picture draws in (any pixel not black), and the width drawn in
// its first and last such row.
void picture_rows(const Bitmap *b, int32_t *first, int32_t *last, int32_t *first_width, int32_t *last_width)
{
    *first = *last = -1;
    for (int32_t y = 0; y < b->height; y++)
        for (int32_t x = 0; x < b->width; x++)
            if (b->pixels[y * b->width + x] & 0xFFFFFF) {
                if (*first < 0) *first = y;
                *last = y;
            }
    *first_width = *last_width = 0;
    for (int32_t x = 0; *first >= 0 && x < b->width; x++) {
        *first_width += (b->pixels[*first * b->width + x] & 0xFFFFFF) != 0;
        *last_width += (b->pixels[*last * b->width + x] & 0xFFFFFF) != 0;
    }
}

// The map pictures as shipped point up, to the map's north (-y): the
// player's arrow is narrow at the top and wide at the bottom, centred on
// its middle columns; the tracer's streak has its bright head at the top
// and its red tail at the bottom.
TEST_F(HudFrame, MapPicturesPointUp)
{
    const Bitmap *arrow = hud_bitmaps[BMP_PLAYER], *tracer = hud_bitmaps[BMP_TRACER];
    ASSERT_TRUE(arrow && tracer);
    int32_t first, last, first_width, last_width;
    picture_rows(arrow, &first, &last, &first_width, &last_width);
    ASSERT_GE(first, 0);
    EXPECT_LT(first, arrow->height / 4);
    EXPECT_GT(last, arrow->height * 3 / 4);
    EXPECT_LE(first_width, 2);
    EXPECT_GE(last_width, arrow->width / 2);
    for (int32_t y = first; y <= last; y++) // mirror-symmetric about the middle
        for (int32_t x = 0; x < arrow->width; x++)
            EXPECT_EQ((arrow->pixels[y * arrow->width + x] & 0xFFFFFF) != 0,
                      (arrow->pixels[y * arrow->width + arrow->width - 1 - x] & 0xFFFFFF) != 0) << x << ", " << y;
    picture_rows(tracer, &first, &last, &first_width, &last_width);
    ASSERT_GE(first, 0);
    const uint32_t head = tracer->pixels[first * tracer->width + tracer->width / 2];
    const uint32_t tail = tracer->pixels[last * tracer->width + tracer->width / 2];
    EXPECT_GT(head >> 8 & 255, 0x80u) << std::hex << head; // yellow: red and green
    EXPECT_LT(tail >> 8 & 255, 0x40u) << std::hex << tail; // red alone
}

// On both maps the map's x runs right and its y down, so a forward of yaw
// degrees (0 along map +x, 90 along map +y) must point the same yaw on the
// screen: north (-y) up, east (+x) right. Each picture is swapped for a
// needle from its centre to its top (the way the shipped ones point) and
// probed apart by drawing the map without it and with it; the three icons
// lie 30 apart.
TEST_F(HudFrame, MapArrowsPointTheWayEachPlayerAndTracerFaces)
{
    Bitmap *needle = createbitmap(16, 16);
    ASSERT_TRUE(needle);
    for (int32_t y = 1; y < 5; y++)
        for (int32_t x = 7; x < 9; x++) needle->pixels[y * 16 + x] = 0xFFFFFF;
    hs_player(1, 0, 250.5f + 30.0f, 250.5f, 0.0f); // a team-mate east of the local player
    player_table[1].near = 1;
    WorldObject *tracer = &world_objects[0]; // a tracer west of him
    wobj_set_kind(tracer, OBJECT_TRACER);
    tracer->position = Vec3{250.5f - 30.0f, 250.5f, 30.0f};
    world_object_count = 1;
    mode_objective_count = 0;
    struct Icon {
        const char *name;
        int bitmap, dx; // the picture and its map offset east of the local player
    } icons[] = {{"local arrow", BMP_PLAYER, 0}, {"team-mate's arrow", BMP_PLAYER, 30}, {"tracer", BMP_TRACER, -30}};
    const int32_t x0 = W / 2 - 256, y0 = H / 2 - 256;
    for (int big = 0; big <= 1; big++)
        for (int yaw = 0; yaw < 360; yaw += 45) {
            const float a = (float)yaw * 3.14159265f / 180.0f;
            const Vec3 f{std::cos(a), std::sin(a), 0.0f};
            player_set_orientation(me, &f);
            player_set_orientation(&player_table[1], &f);
            tracer->yaxis = Vec3{0.1f * f.x, 0.1f * f.y, 0.0f};
            for (const Icon &icon : icons) {
                SCOPED_TRACE(testing::Message() << (big ? "big map, " : "minimap, ") << icon.name << ", yaw " << yaw);
                IconProbe probe;
                probe.x = (big ? x0 + 250 : W - 79) + icon.dx;
                probe.y = big ? y0 + 250 : 79;
                Bitmap *const kept = hud_bitmaps[icon.bitmap];
                hud_bitmaps[icon.bitmap] = nullptr;
                big ? hud_draw_big_map() : hud_draw_minimap();
                icon_probe_take(&probe);
                hud_bitmaps[icon.bitmap] = needle;
                big ? hud_draw_big_map() : hud_draw_minimap();
                hud_bitmaps[icon.bitmap] = kept;
                const float shown = icon_probe_heading(&probe);
                EXPECT_GE(shown, 0.0f);
                EXPECT_LE(heading_gap(shown, (float)yaw), 12.0f) << "points at " << shown;
            }
        }
    freebitmap(needle);
}

// Walking forward moves the minimap's window forward over the overview
// picture, so the ground slides backwards under the local arrow: the window
// drawn 8 blocks further on matches the first one shifted by 8 x forward.
TEST_F(HudFrame, MinimapScrollsTheWayTheLocalArrowPoints)
{
    for (int32_t i = 0; i < OVERVIEW_SIZE * OVERVIEW_SIZE; i++) // ground of distinct colours
        overview_map[i] = 0xFF000000u | ((uint32_t)i * 2654435761u >> 8 & 0x7F7F7Fu);
    const int32_t left = W - 143, top = 15;
    std::vector<uint32_t> first(128 * 128);
    for (int yaw = 0; yaw < 360; yaw += 45) {
        SCOPED_TRACE(yaw);
        const float a = (float)yaw * 3.14159265f / 180.0f;
        const Vec3 f{std::cos(a), std::sin(a), 0.0f};
        hs_player(0, 0, 250.5f, 250.5f, (float)yaw, true);
        hud_draw_minimap();
        for (int32_t j = 0; j < 128; j++)
            for (int32_t i = 0; i < 128; i++) first[j * 128 + i] = hs_pixel(left + i, top + j);
        for (Vec3 *v : {&me->position, &me->eye}) v->x += 8.0f * f.x, v->y += 8.0f * f.y;
        hud_draw_minimap();
        // The shift (sx, sy) with after(i, j) = before(i + sx, j + sy) on the
        // window's ground, away from the centre's arrow.
        int best = -1, bsx = 0, bsy = 0;
        for (int sy = -10; sy <= 10; sy++)
            for (int sx = -10; sx <= 10; sx++) {
                int same = 0;
                for (int32_t j = 12; j < 116; j += 2)
                    for (int32_t i = 12; i < 116; i += 2)
                        if (std::abs(i - 64) > 14 || std::abs(j - 64) > 14)
                            same += hs_pixel(left + i, top + j) == first[(j + sy) * 128 + i + sx];
                if (same > best) best = same, bsx = sx, bsy = sy;
            }
        EXPECT_NEAR(bsx, 8.0f * f.x, 1.0f);
        EXPECT_NEAR(bsy, 8.0f * f.y, 1.0f);
    }
}

TEST_F(HudFrame, ScoreboardListsJoinedPlayersMostKillsFirst)
{
    hs_player(0, 1, 250.5f, 250.5f, 0.0f, true);
    hs_player(1, 0, 240.5f, 250.5f, 0.0f);
    hs_player(2, 0, 240.5f, 252.5f, 0.0f);
    hs_player(3, TEAM_NONE, 240.5f, 254.5f, 0.0f); // connected, not joined
    hs_player(4, TEAM_SPECTATOR, 240.5f, 256.5f, 0.0f);
    player_table[1].kills = 5;
    player_table[2].kills = 9;
    keystates.current[key_bindings.key[CTL_VIEW_SCORE]] = 1;
    game_draw_frame();
    EXPECT_EQ(client_state.order[0], 2);
    const int32_t line = hud_font_height(HUD_FONT_SMALL), rows = 114 + 60, margin = 72;
    const int32_t column = hud_text_width(HUD_FONT_SMALL, "GGGGGGGGGGGGGGG #GG GGG");
    const int32_t spectators = (W - hud_text_width(HUD_FONT_SMALL, "GGGGGGGGGGGGGGG #GG")) / 2;
    const auto row = [&](int32_t x, int n) { return hs_count(x, rows + n * line, x + column, rows + (n + 1) * line, kWhite); };
    EXPECT_GT(row(margin, 0), 20);
    EXPECT_GT(row(margin, 1), 20);
    EXPECT_EQ(row(margin, 2), 0);
    EXPECT_GT(row(W - margin - column, 0), 20);
    EXPECT_EQ(row(W - margin - column, 1), 0);
    EXPECT_GT(hs_count(spectators, rows, spectators + 100, rows + line, kWhite), 20);
    EXPECT_EQ(hs_count(spectators, rows + line, spectators + 100, rows + 2 * line, kWhite), 0);
    // Team scores in their colours, and the ping.
    EXPECT_GT(hs_count(152, 114, 300, 114 + large(), kTeam0), 20);
    EXPECT_GT(hs_count(W - 300, 114, W - 152, 114 + large(), kTeam1), 20);
    EXPECT_GT(hs_count(W / 2 - 30, 48, W / 2 + 30, 56, kRed), 10);

    local_controls.chat_mode = CHAT_OPEN_ALL; // an open chat line hides it
    game_draw_frame();
    EXPECT_EQ(row(margin, 0), 0);
}

TEST_F(HudFrame, TerritoryScoresCountOwnedTerritoriesOutOfAll)
{
    game_select_mode(GAME_MODE_TC);
    mode_objective_count = 5;
    const int owners[5] = {0, 0, TEAM_NEUTRAL, 1, 1};
    for (int i = 0; i < 5; i++) mode_objectives[i].owner = owners[i];
    client_state.score[0] = 40;
    hud_draw_team_scores(100, 100);
    EXPECT_EQ(client_state.score[0], 2);
    EXPECT_EQ(client_state.score[1], 2);
}

TEST_F(HudFrame, QuitQuestionInRedAtAThirdOfTheHeight)
{
    game_draw_frame();
    EXPECT_EQ(band(H / 3, H / 3 + large(), kRed), 0);
    local_controls.quit_open = 1;
    game_draw_frame();
    EXPECT_GT(band(H / 3, H / 3 + large(), kRed), 100);
    const int32_t width = hud_text_width(HUD_FONT_LARGE, lang_get(LANG_QUIT_PROMPT));
    EXPECT_EQ(hs_count(0, H / 3, (W - width) / 2, H / 3 + large(), kRed), 0); // centred
}

TEST_F(HudFrame, ExpiredChatLinesAreEmptiedAndTheOthersKeepTheirPlaces)
{
    game_time = 100.0f;
    feed_push_chat("oldest", 3);
    game_time = 105.0f;
    feed_push_chat("middle", 3);
    game_time = 106.0f;
    feed_push_chat("newest", 3);
    const int32_t y0 = H - 100;
    const auto line = [&](int i) { return hs_count(12, y0 + 10 * (i + 1), 60, y0 + 10 * (i + 1) + 8, kWhite); };
    game_time = 109.9f;
    game_draw_frame();
    for (int i = 0; i < 3; i++) EXPECT_GT(line(i), 10) << i;
    game_time = 110.5f; // the oldest was pushed 10.5 s ago
    game_draw_frame();
    EXPECT_STREQ(feed_chat.lines[2].text, "");
    EXPECT_STREQ(feed_chat.lines[1].text, "middle");
    EXPECT_GT(line(0), 10);
    EXPECT_GT(line(1), 10);
    EXPECT_EQ(line(2), 0);
    // Kill lines by their kind's colour.
    feed_push_kill("red line", 7);
    feed_push_kill("team line", 5);
    game_draw_frame();
    EXPECT_GT(hs_count(12, 22, 80, 30, kTeam0), 10);
    EXPECT_GT(hs_count(12, 32, 80, 40, kRed), 10);
}

TEST_F(HudFrame, NameTagsOnlyForTeamMatesUnlessSpectating)
{
    struct Case {
        int local_team, other_team;
        uint32_t colour; // 0: no tag
    } cases[] = {{0, 0, kTeam0}, {0, 1, 0}, {1, 1, kTeam1}, {TEAM_SPECTATOR, 1, kTeam1}, {TEAM_SPECTATOR, 0, kTeam0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.local_team << " sees " << c.other_team);
        me->team = c.local_team;
        hs_player(5, c.other_team, 260.5f, 250.5f, 180.0f);
        player_table[5].under_crosshair = 1;
        hs_fill(0);
        hud_draw_name_tag();
        hud_unlock();
        const int32_t y = H - H / 4;
        if (c.colour)
            EXPECT_GT(band(y, y + 8, c.colour), 10);
        else
            EXPECT_EQ(band(y, y + 8, kTeam0) + band(y, y + 8, kTeam1), 0);
    }
}

// A team-mate 12 ahead is drawn, near, on screen and under the crosshair,
// and shown on the minimap; the same record with a pose from the wire
// outside the map is neither drawn nor flagged (so the player pass never
// simulates it), on the screen or the map.
TEST_F(HudFrame, PlayersPosedOutsideTheMapAreNotDrawn)
{
    struct Case {
        const char *name;
        float x;
        Vec3 forward;
    } cases[] = {
        {"in the map", 262.5f, {-1.0f, 0.0f, 0.0f}},
        {"far past the edge", 262.5f + 1.0e6f, {-1.0f, 0.0f, 0.0f}},
        {"facing nowhere", 262.5f, {0.0f, 0.0f, 0.0f}},
        {"facing not a number", 262.5f, {NAN, 0.0f, 0.0f}},
    };
    // Team 0's blue, shaded or not: the background's blue is greyer.
    const auto blue = [](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        int n = 0;
        for (int32_t y = y0; y < y1; y++)
            for (int32_t x = x0; x < x1; x++) {
                const uint32_t c = hs_pixel(x, y);
                const uint32_t r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
                n += b > 2 * g && b > 2 * r;
            }
        return n;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        hs_player(5, 0, 262.5f, 250.5f, 180.0f);
        PlayerRecord &p = player_table[5];
        p.position.x = p.eye.x = c.x;
        p.forward = c.forward;
        const bool valid = c.x < 512.0f && c.forward.x == -1.0f;
        hs_fill(0);
        game_draw_frame();
        EXPECT_EQ(p.near == 1 && p.on_screen == 1 && p.under_crosshair == 1, valid);
        EXPECT_EQ(blue(W / 2 - 40, H / 2 - 60, W / 2 + 40, H / 2 + 80) > 100, valid);
        EXPECT_EQ(blue(W - 79 + 12 - 2, 79 - 8, W - 79 + 12 + 8, 79 + 8) > 5, valid); // on the minimap
    }
}

// The dead player's camera follows a team-mate from behind; pulled in
// against a wall or the ground it can come to lie inside his body, which is
// then left out of the view (its flags stay) instead of filling it.
TEST_F(HudFrame, TheFollowCameraInsideTheFollowedBodyLeavesItOut)
{
    hs_player(5, 0, 258.5f, 250.5f, 180.0f);
    PlayerRecord &mate = player_table[5];
    me->alive = 0;
    local_controls.follow = 5;
    struct Case {
        const char *name;
        Vec3 offset; // of the camera from his position
        bool drawn;
    } cases[] = {
        {"3 behind him", {3.0f, 0.0f, 0.0f}, true},
        {"in his chest", {0.2f, 0.0f, 1.0f}, false},
        {"in his legs", {0.1f, 0.3f, 2.0f}, false},
        {"just before his face", {-0.8f, 0.0f, 0.0f}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        me->eye = Vec3{mate.position.x + c.offset.x, mate.position.y + c.offset.y, mate.position.z + c.offset.z};
        const Vec3 towards{c.offset.x > 0.0f ? -1.0f : 1.0f, 0.0f, 0.0f}; // looking at or through him
        player_set_orientation(me, &towards);
        // The view without him, then with him: what his body adds to the middle of the screen.
        mate.present = 0;
        game_draw_frame();
        std::vector<uint32_t> without;
        for (int32_t y = 100; y < 400; y += 2)
            for (int32_t x = 200; x < 600; x += 2) without.push_back(hs_pixel(x, y));
        mate.present = 1;
        game_draw_frame();
        int changed = 0;
        size_t k = 0;
        for (int32_t y = 100; y < 400; y += 2)
            for (int32_t x = 200; x < 600; x += 2) changed += hs_pixel(x, y) != without[k++];
        EXPECT_EQ(mate.on_screen, 1);
        EXPECT_EQ(changed > 300, c.drawn) << changed;
    }
}

TEST_F(HudFrame, BlockLineOutlinesAsManyCellsWhiteAsBlocksHeldAndTheRestRed)
{
    drag_line(3, BlockCell{255, 248, 39}, BlockCell{255, 252, 39});
    game_draw_frame();
    for (int i = 0; i < 5; i++) {
        SCOPED_TRACE(i);
        int32_t sx, sy;
        project(255.0f, 248.5f + (float)i, 39.0f, &sx, &sy); // this cell's own top edge
        const uint32_t want = i < 3 ? kWhite : kRed;
        EXPECT_GT(hs_count(sx - 2, sy - 2, sx + 3, sy + 3, want), 0);
        EXPECT_EQ(hs_count(sx - 2, sy - 2, sx + 3, sy + 3, i < 3 ? kRed : kWhite), 0);
    }
    // Without an end, the cursor cell alone in white; not drawn with another tool.
    block_line_end.hit = nullptr;
    game_draw_frame();
    int32_t sx, sy;
    project(255.0f, 248.5f, 39.0f, &sx, &sy);
    EXPECT_GT(hs_count(sx - 2, sy - 2, sx + 3, sy + 3, kWhite), 0);
    project(255.0f, 250.5f, 39.0f, &sx, &sy);
    EXPECT_EQ(hs_count(sx - 2, sy - 2, sx + 3, sy + 3, kWhite), 0);
    local_controls.tool = TOOL_GUN;
    game_draw_frame();
    project(255.0f, 248.5f, 39.0f, &sx, &sy);
    EXPECT_EQ(hs_count(sx - 2, sy - 2, sx + 3, sy + 3, kWhite), 0);
}

// A line from his own feet forward: the cell his body fills (column 250,
// the only one whose centre lies within 0.95 of his eye at 250.5 across) is
// not built, so the blocks held colour the cells after it: with 3 blocks,
// 251..253 white and 254 red (the nearer cells lie under the HUD). Each
// cell's side edge at y 250 is its own.
TEST_F(HudFrame, BlockLineLeavesOutTheCellInTheBuildersBody)
{
    drag_line(3, BlockCell{250, 250, 39}, BlockCell{254, 250, 39});
    game_draw_frame();
    for (int x = 253; x <= 254; x++) {
        SCOPED_TRACE(x);
        int32_t sx, sy;
        project((float)x + 0.5f, 250.0f, 39.0f, &sx, &sy);
        const uint32_t want = x < 254 ? kWhite : kRed;
        EXPECT_GT(hs_count(sx - 2, sy - 2, sx + 3, sy + 3, want), 0);
        EXPECT_EQ(hs_count(sx - 2, sy - 2, sx + 3, sy + 3, x < 254 ? kRed : kWhite), 0);
    }
}

TEST_F(HudFrame, DamageMarkerPointsTowardTheSourceForHalfASecond)
{
    // Facing +x, the right hand side is +y.
    hud_damage_source = Vec3{me->position.x, me->position.y + 10.0f, me->position.z};
    hud_damage_until = game_time + 0.5f;
    const uint32_t arc = 0xE82828;
    game_draw_frame();
    EXPECT_GT(hs_count(W / 2 + 40, H / 2 - 20, W / 2 + 64, H / 2 + 20, arc), 20);
    EXPECT_EQ(hs_count(W / 2 - 64, H / 2 - 64, W / 2 + 20, H / 2 + 64, arc), 0);
    game_time += 0.6f;
    game_draw_frame();
    EXPECT_EQ(hs_count(W / 2 - 64, H / 2 - 64, W / 2 + 64, H / 2 + 64, arc), 0);
}

// The marker's arc sits on the screen side of the source as the player
// sees it: ahead up, behind down, his right hand right. His right hand is
// his forward turned a quarter clockwise as the map shows it, (-f.y, f.x).
TEST_F(HudFrame, DamageMarkerArcFacesTheSourceFromEveryFacing)
{
    const uint32_t arc = 0xE82828;
    for (int yaw = 0; yaw < 360; yaw += 135)
        for (int side = 0; side < 360; side += 45) { // the source's map direction
            SCOPED_TRACE(testing::Message() << "facing " << yaw << ", source at " << side);
            hs_player(0, 0, 250.5f, 250.5f, (float)yaw, true);
            const float a = (float)side * 3.14159265f / 180.0f;
            const Vec3 d{std::cos(a), std::sin(a), 0.0f};
            hud_damage_source = Vec3{me->position.x + 10.0f * d.x, me->position.y + 10.0f * d.y, me->position.z};
            hud_damage_until = game_time + 0.5f;
            game_draw_frame();
            const float ahead = d.x * me->forward.x + d.y * me->forward.y;
            const float right = d.x * -me->forward.y + d.y * me->forward.x;
            float sx = 0.0f, sy = 0.0f;
            int n = 0;
            for (int32_t y = H / 2 - 90; y < H / 2 + 90; y++)
                for (int32_t x = W / 2 - 90; x < W / 2 + 90; x++)
                    if (hs_pixel(x, y) == arc) sx += (float)(x - W / 2), sy += (float)(y - H / 2), n++;
            ASSERT_GT(n, 20);
            const float shown = std::atan2(sy, sx) * 180.0f / 3.14159265f;
            const float expected = std::atan2(-ahead, right) * 180.0f / 3.14159265f;
            EXPECT_LE(heading_gap(shown, expected), 10.0f) << "arc at " << shown << ", expected " << expected;
        }
}

TEST_F(HudFrame, RespawnCountdownBeepsOncePerSecondOfTheLastThree)
{
    me->alive = 0;
    me->respawn_time = 103;
    struct Step {
        float now;
        const char *beep; // null: none this frame
        bool drawn;
    } steps[] = {{99.5f, nullptr, true},  {100.5f, "wav/beep2.wav", true}, {100.9f, nullptr, true},
                 {101.5f, "wav/beep2.wav", true}, {102.5f, "wav/beep1.wav", true}, {102.9f, nullptr, true},
                 {103.0f, nullptr, false}};
    hud_respawn_last_beep = 0;
    for (const Step &s : steps) {
        SCOPED_TRACE(s.now);
        game_time = s.now;
        const int from = plat_log_count();
        game_draw_frame();
        const std::vector<std::string> sounds = ctest_sounds(from);
        if (s.beep)
            EXPECT_EQ(sounds, std::vector<std::string>{std::string("sound ") + s.beep + " -1000"});
        else
            EXPECT_TRUE(sounds.empty());
        EXPECT_EQ(band(H - large(), H, kRed) > 50, s.drawn);
    }
}

TEST_F(HudFrame, NetGraphClampsABarAtItsTop)
{
    net_stats_reset();
    net_stats.in[NET_STATS_SAMPLES - 1] = 10000; // 200 pixels' worth
    net_stats.in[0] = 500;                       // 10 pixels
    net_stats.out[0] = 250;                      // 5 more on top
    local_controls.net_graph = 1;
    game_draw_frame();
    const int32_t base = H / 2;
    EXPECT_EQ(hs_count(8 + 4 * 39, 0, 8 + 4 * 40, H, 0x00FF00), 160 * 4);
    EXPECT_EQ(hs_count(8, base - 81, 12, base + 81, 0x00FF00), 10 * 4);
    EXPECT_EQ(hs_count(8, base - 81, 12, base + 81, 0x0000FF), 5 * 4);
    EXPECT_EQ(hs_pixel(7, base), kBlack);
    EXPECT_GT(hs_count(8, base + 86, 80, base + 94, 0x00FF00), 10); // "in: 10000 b/s"
}

// A frame over hostile state draws what is valid and skips the rest.
TEST_F(HudFrame, OutOfRangeStateIsCheckedBeforeDrawing)
{
    hs_player(1, 0, 253.5f, 250.5f, 180.0f);
    std::memset(player_table[1].name, 'N', sizeof player_table[1].name); // no terminator
    player_table[1].weapon = 9;
    player_table[1].kills = 123456789;
    for (int i = 0; i < PLAYER_MAX; i++) client_state.order[i] = i % 2 ? 99 : -7;
    hud_draw_score_row(0, 10, 10); // an order of foreign ids lists nobody
    mode_objective_count = 40;     // more than the table
    world_object_count = 2;
    game_select_mode(GAME_MODE_TC);
    for (ObjectiveState &o : mode_objectives) o.owner = 77;
    FeedLine &l = feed_kill.lines[0];
    std::memset(l.text, 'K', sizeof l.text);
    l.kind = 99;
    l.expiry = game_time + 5.0f;
    feed_chat.lines[0] = l;
    feed_chat.lines[0].kind = 3;
    std::memset(hud_announce_text, 'A', sizeof hud_announce_text);
    hud_announce_until = game_time + 1.0f;
    local_controls.palette_index = 200;
    local_controls.tool = TOOL_BLOCK;
    local_controls.follow = 77;
    me->weapon = 9;
    me->respawn_time = INT64_MAX;
    me->position.z = 41.5f; // his feet in the uncoloured voxel under the ground's top: the tool's light
    // A grenade in view, in the uncoloured voxel under the ground's top.
    const Vec3 deep{256.5f, 250.5f, 41.5f}, still{0, 0, 0};
    ASSERT_EQ(map_colour_ptr(256, 250, 41), nullptr);
    ASSERT_GE(game_add_grenade_object(&deep, &still, 0, game_time + 3.0f), 0);
    keystates.current[key_bindings.key[CTL_VIEW_SCORE]] = 1;
    local_controls.net_graph = local_controls.quit_open = 1;
    for (int big = 0; big < 2; big++) {
        local_controls.big_map = big;
        game_draw_frame();
        me->alive = 0;
        game_draw_frame();
        me->alive = 1;
    }
    // The chat line drawn is the text cut to its field.
    EXPECT_GT(hs_count(12, H - 90, W, H - 82, kWhite), 10);
    EXPECT_EQ(hs_count(0, 22, W, 30, kRed), 0); // a kill line of no known kind
}

// Once a tool switch has run its time, the frame tells the server the tool
// now in hand, or with the same tool the block colour chosen meanwhile.
TEST_F(HudFrame, AFinishedToolSwitchSendsTheToolOrTheColour)
{
    tcl_enet_init();
    StandIn server;
    ASSERT_TRUE(ctest_standin_connect(&server));
    const auto sent = [&](int wait_ms = 3000) {
        enet_host_flush(net_client_host);
        for (int64_t end = ctest_now_ms() + wait_ms; ctest_now_ms() < end && server.received.empty();) {
            server.service();
            usleep(1000);
        }
        std::vector<std::vector<uint8_t>> got;
        got.swap(server.received);
        return got;
    };
    me->reload_end = game_time + 1.0f;
    local_controls.tool = TOOL_BLOCK;
    local_controls.next_use = game_time + 0.3f; // still switching: nothing yet
    game_draw_frame();
    EXPECT_EQ(me->tool, TOOL_GUN);
    game_time += 0.4f;
    game_draw_frame();
    EXPECT_EQ(me->tool, TOOL_BLOCK);
    EXPECT_EQ(me->reload_end, 0.0f);
    EXPECT_EQ(sent(), (std::vector<std::vector<uint8_t>>{{7, 0, TOOL_BLOCK}}));
    local_controls.block_colour = 0x102030;
    game_draw_frame();
    EXPECT_EQ(me->colour, 0x102030u);
    EXPECT_EQ(sent(), (std::vector<std::vector<uint8_t>>{{8, 0, 0x30, 0x20, 0x10}}));
    game_draw_frame(); // both agree now
    EXPECT_TRUE(sent(100).empty());
    // A tool the record cannot take (the gun of an unknown weapon) is never announced.
    me->weapon = 9;
    local_controls.tool = TOOL_GUN;
    game_draw_frame();
    game_draw_frame();
    EXPECT_EQ(me->tool, TOOL_BLOCK);
    EXPECT_TRUE(sent(100).empty());
    ctest_standin_close(&server);
}

// ---- menu screens -----------------------------------------------------------

TEST_F(HudFrame, NameEntryScreenAsksOnASplashPicture)
{
    snprintf(client_settings.name, sizeof client_settings.name, "Zarar");
    menu_name_asked = 0;
    game_set_screen(SCREEN_NAME_ENTRY);
    menu_name_screen();
    const int32_t w = (int32_t)(0.55f * (float)W), left = (W - w) / 2, top = (int32_t)(0.75f * (float)H);
    EXPECT_EQ(hs_pixel(2, 2), kBlack);
    EXPECT_EQ(hs_pixel(W - 3, H - 3), kBlack);
    EXPECT_EQ(hs_pixel(W / 2, 80), game_images.splash[(int)((80 - (H / 2 - 50)) / 0.7f + 300) * 800 + 400] & 0xFFFFFF);
    EXPECT_EQ(hs_pixel(left + w - 3, top + 10), modulated(0x454545));
    EXPECT_GT(hs_count(left + 5, top - 3, left + 70, top + 17, kYellow), 30); // "NAME:"
    EXPECT_GT(hs_count(left + 5, top + 20, left + w, top + 40, 0x858585), 30);
}

TEST_F(HudFrame, LoadingScreenShowsTheDownloadAtLeastOnePercentWide)
{
    const int32_t w = (int32_t)(0.55f * (float)W), left = (W - w) / 2, top = (int32_t)(0.75f * (float)H);
    const uint32_t fill = modulated(0xFFFF33), back = modulated(0x454545);
    struct Case {
        float progress;
        int32_t filled_to; // pixels of the bar in the fill colour
    } cases[] = {{0.0f, 4}, {0.005f, 4}, {0.5f, w / 2}, {1.0f, w}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.progress);
        map_download.progress = c.progress;
        menu_loading_screen();
        EXPECT_EQ(hs_pixel(left + c.filled_to - 1, top + 10), fill);
        if (c.filled_to < w) {
            EXPECT_EQ(hs_pixel(left + c.filled_to + 1, top + 10), back);
        }
        EXPECT_EQ(hs_pixel(2, 2), kBlack);
        EXPECT_GT(hs_count(0, top + 20, W, top + 40, 0x454545), 30); // "Loading map..." in the font
    }
    hs_fill(0x123456);
    map_download.progress = 1.5f; // past the end: nothing drawn
    menu_loading_screen();
    EXPECT_EQ(hs_pixel(2, 2), 0x123456u);
}

// Pixels whose blue (or green) stands out: the team colours of the bodies.
int dominant(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int channel)
{
    int n = 0;
    for (int32_t y = y0; y < y1; y++)
        for (int32_t x = x0; x < x1; x++) {
            const uint32_t p = hs_pixel(x, y);
            const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
            if (channel == 0 ? (b > r + 60 && b > g + 60) : (g > r + 60 && g > b + 60)) n++;
        }
    return n;
}

TEST_F(HudFrame, TeamMenuShowsBothTeamsPlayersOverTheBackdrop)
{
    me->team = TEAM_NONE;
    menu_team_screen();
    hs_save("team_menu");
    const int32_t y = (int32_t)(0.9f * (float)H);
    EXPECT_GT(dominant(0, H / 2, W / 2, H, 0), 2000); // team 0 on the left
    EXPECT_GT(dominant(W / 2, H / 2, W, H, 1), 2000); // team 1 on the right
    EXPECT_LT(dominant(W / 2, H / 2, W, H, 0), 200);
    EXPECT_GT(hs_count(0, y, W / 3, y + 14, kRed), 10);  // "1: Blue"
    EXPECT_GT(hs_count(W / 3, y, 2 * W / 3, y + 14, kRed), 10); // "3: Spectator"
    EXPECT_GT(hs_count(2 * W / 3, y, W, y + 14, kRed), 10); // "2: Green"
    EXPECT_GT(hs_count(0, (int32_t)(0.3f * (float)H), W, H, kYellow), 200); // the controls
    EXPECT_GT(hs_count(152, 114, 300, 114 + large(), kTeam0), 20);  // the scores
}

TEST_F(HudFrame, WeaponMenuShowsThreeGunsOverTheBackdrop)
{
    me->team = TEAM_NONE;
    menu_draw_backdrop();
    hud_unlock();
    std::vector<uint32_t> before;
    const int32_t centres[3] = {W / 2 - 227, W / 2, W / 2 + 227};
    for (int32_t cx : centres)
        for (int32_t y = 470; y < 530; y += 3)
            for (int32_t x = cx - 30; x < cx + 30; x += 3) before.push_back(hs_pixel(x, y));
    menu_weapon_screen();
    hs_save("weapon_menu");
    size_t k = 0;
    for (int32_t cx : centres) {
        int changed = 0;
        for (int32_t y = 470; y < 530; y += 3)
            for (int32_t x = cx - 30; x < cx + 30; x += 3) changed += hs_pixel(x, y) != before[k++];
        EXPECT_GT(changed, 30) << cx;
    }
    const int32_t y = (int32_t)(0.9f * (float)H);
    EXPECT_GT(hs_count(0, y, W / 3, y + 14, kRed), 10);
    EXPECT_GT(hs_count(2 * W / 3, y, W, y + 14, kRed), 10);
}

} // namespace
