#include "common/feed.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/timer.h"

MessageFeed feed_chat;
MessageFeed feed_kill;

void feed_push(MessageFeed *feed, const char *text, int kind)
{
    for (int i = FEED_LINES - 2; i >= 0; i--) feed->lines[i + 1] = feed->lines[i];
    FeedLine *line = &feed->lines[0];
    size_t n = 0;
    if (text)
        while (n < FEED_TEXT_SIZE - 1 && text[n]) n++;
    if (n) std::memcpy(line->text, text, n);
    std::memset(line->text + n, 0, FEED_TEXT_SIZE - n);
    line->kind = kind;
    line->expiry = game_time + FEED_LIFETIME;
}

void feed_push_format(MessageFeed *feed, int kind, const char *format, ...)
{
    char buf[FEED_TEXT_SIZE];
    va_list ap;
    va_start(ap, format);
    int r = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (r < 0) buf[0] = 0;
    feed_push(feed, buf, kind);
}

void feed_push_chat(const char *text, int kind) { feed_push(&feed_chat, text, kind); }
void feed_push_kill(const char *text, int kind) { feed_push(&feed_kill, text, kind); }
void feed_push_notice(const char *text) { feed_push(&feed_chat, text, FEED_KIND_NOTICE); }

void feed_clear(MessageFeed *feed) { std::memset(feed, 0, sizeof *feed); }
