// Message feeds: six timed text lines, newest first (chat and kill feed).
// The dispatcher pushes; the HUD draws the lines whose expiry has not passed.
#pragma once
#include <cstdint>

#define FEED_LINES 6
#define FEED_TEXT_SIZE 112   // at most 111 characters and a zero
#define FEED_LIFETIME 10.0f  // seconds a line stays visible
#define FEED_KIND_NOTICE 4   // chat feed: system notice

struct FeedLine {
    char text[FEED_TEXT_SIZE];
    int32_t kind;   // colour kind, chosen by the pusher
    double expiry;  // game_time after which the line is hidden
};

struct MessageFeed {
    FeedLine lines[FEED_LINES];  // 0 is the newest
};

extern MessageFeed feed_chat;
extern MessageFeed feed_kill;

// Drops the oldest line and puts the text (cut to 111 characters; null is
// empty) in line 0 with the kind and an expiry of game_time + 10.
void feed_push(MessageFeed *feed, const char *text, int kind);
// feed_push of a printf-formatted line, formatted into a bounded buffer.
void feed_push_format(MessageFeed *feed, int kind, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
void feed_push_chat(const char *text, int kind);
void feed_push_kill(const char *text, int kind);
// Chat feed, kind FEED_KIND_NOTICE.
void feed_push_notice(const char *text);
// Empties a feed (on a reset of the game state).
void feed_clear(MessageFeed *feed);
