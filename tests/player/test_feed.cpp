#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/feed.h"
#include "common/timer.h"

TEST(Feed, KeepsTheSixNewestLinesNewestFirst)
{
    MessageFeed f;
    feed_clear(&f);
    game_time = 100.0f;
    for (int i = 0; i < 7; i++) feed_push(&f, std::to_string(i).c_str(), i);
    for (int i = 0; i < FEED_LINES; i++) {
        EXPECT_STREQ(f.lines[i].text, std::to_string(6 - i).c_str());
        EXPECT_EQ(f.lines[i].kind, 6 - i);
        EXPECT_FLOAT_EQ(f.lines[i].expiry, 110.0f);
    }
    game_time = 0.0f;
}

TEST(Feed, CutsLongTextsToTheLineSize)
{
    MessageFeed f;
    std::memset(&f, 0x55, sizeof f);
    std::string exact(111, 'a'), longer(500, 'b');
    feed_push(&f, exact.c_str(), 0);
    EXPECT_EQ(std::string(f.lines[0].text), exact);
    feed_push(&f, longer.c_str(), 1);
    EXPECT_EQ(std::string(f.lines[0].text), std::string(111, 'b'));
    EXPECT_EQ(std::string(f.lines[1].text), exact);
    feed_push(&f, nullptr, 2);
    EXPECT_STREQ(f.lines[0].text, "");
    // The line's remaining bytes are zero: nothing of older content leaks.
    for (int i = 0; i < FEED_TEXT_SIZE; i++) EXPECT_EQ(f.lines[0].text[i], 0);
}

TEST(Feed, FormattedPushIsBounded)
{
    MessageFeed f;
    feed_clear(&f);
    std::string big(300, 'n');
    feed_push_format(&f, 5, "%s killed %s", big.c_str(), "x");
    EXPECT_EQ(std::strlen(f.lines[0].text), 111u);
    EXPECT_EQ(f.lines[0].kind, 5);
    feed_push_format(&f, 6, "%s killed %s (%d)", "A", "B", 3);
    EXPECT_STREQ(f.lines[0].text, "A killed B (3)");
}

TEST(Feed, GlobalFeedsTakeTheirKinds)
{
    feed_clear(&feed_chat);
    feed_clear(&feed_kill);
    feed_push_chat("hello", 3);
    feed_push_notice("server restarting");
    feed_push_kill("A killed B", 7);
    EXPECT_STREQ(feed_chat.lines[0].text, "server restarting");
    EXPECT_EQ(feed_chat.lines[0].kind, FEED_KIND_NOTICE);
    EXPECT_STREQ(feed_chat.lines[1].text, "hello");
    EXPECT_EQ(feed_chat.lines[1].kind, 3);
    EXPECT_STREQ(feed_kill.lines[0].text, "A killed B");
    EXPECT_STREQ(feed_kill.lines[1].text, "");
    feed_clear(&feed_chat);
    feed_clear(&feed_kill);
}
