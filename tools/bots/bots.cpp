// bots: fills a server with scripted players.
//   bots [-n count] [-x hostile] [-t seconds] [-s seed] [-p port] [-a host] [-N prefix]
// Bots join random teams and play randomly but legally (moving, turning,
// building, digging, shooting, throwing grenades, chatting); the first
// `hostile` of them also send malformed and abusive messages. Runs for the
// given seconds (0 = until Ctrl-C), printing a status line every 10 s.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bot_fleet.h"

static volatile sig_atomic_t bots_stop = 0;
static void bots_on_signal(int) { bots_stop = 1; }

static void bots_usage()
{
    fprintf(stderr, "usage: bots [-n count] [-x hostile] [-t seconds] [-s seed] [-p port] [-a host] [-N prefix]\n"
                    "  -n  players to connect (default 8, at most 32 can play)\n"
                    "  -x  how many of them also send malformed and abusive messages (default 0)\n"
                    "  -t  seconds to play, 0 = until interrupted (default 60)\n"
                    "  -s  seed of the bots' choices (default 1)\n"
                    "  -p  server port (default 32887)\n"
                    "  -a  server address (default 127.0.0.1)\n"
                    "  -N  name prefix (default \"bot\")\n");
}

static bool bots_int(const char *s, long lo, long hi, long *out)
{
    char *end = nullptr;
    long v = strtol(s, &end, 10);
    if (!s[0] || *end || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

int main(int argc, char **argv)
{
    Fleet f;
    long count = 8, hostile = 0, seconds = 60, seed = 1, port = 32887;
    for (int i = 1; i < argc; i++) {
        const char *o = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = v != nullptr;
        if (ok && !strcmp(o, "-n"))
            ok = bots_int(v, 1, 250, &count);
        else if (ok && !strcmp(o, "-x"))
            ok = bots_int(v, 0, 250, &hostile);
        else if (ok && !strcmp(o, "-t"))
            ok = bots_int(v, 0, 86400, &seconds);
        else if (ok && !strcmp(o, "-s"))
            ok = bots_int(v, 0, 2147483647, &seed);
        else if (ok && !strcmp(o, "-p"))
            ok = bots_int(v, 1, 65535, &port);
        else if (ok && !strcmp(o, "-a"))
            f.cfg.host = v;
        else if (ok && !strcmp(o, "-N") && strlen(v) <= 12)
            f.cfg.name_prefix = v;
        else
            ok = false;
        if (!ok) {
            bots_usage();
            return 2;
        }
        i++;
    }
    f.cfg.port = (uint16_t)port;
    f.cfg.seed = (uint64_t)seed;
    signal(SIGINT, bots_on_signal);
    signal(SIGTERM, bots_on_signal);

    fleet_add(&f, (int)count, (int)(hostile < count ? hostile : count));
    int64_t start = fleet_now_us();
    int64_t next_status = start + 10000000;
    f.measuring = true;
    while (!bots_stop && (seconds == 0 || fleet_now_us() - start < seconds * 1000000LL)) {
        fleet_run_for(&f, 100);
        if (fleet_now_us() >= next_status) {
            next_status += 10000000;
            printf("%s\n", fleet_summary(&f).c_str());
            fflush(stdout);
        }
        if (fleet_count(&f, BOT_REFUSED) + fleet_count(&f, BOT_GONE) == (int)f.bots.size())
            break; // nobody left
    }
    GapStats g = fleet_gap_stats(&f, 0);
    printf("%s\n", fleet_summary(&f).c_str());
    printf("world updates (legal bots): %ld gaps, p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", g.count, g.p50_ms,
           g.p99_ms, g.max_ms);
    for (const auto &b : f.bots)
        if (b->phase == BOT_REFUSED)
            printf("%s: refused (reason %u)\n", b->name.c_str(), b->refuse_reason);
    fleet_close(&f);
    return 0;
}
