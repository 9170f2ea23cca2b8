// Ban and admin list files.
#include "server/srv_access.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <cstring>

void srv_dotted_address(uint32_t host, char out[16])
{
    struct in_addr a;
    a.s_addr = host;
    if (!inet_ntop(AF_INET, &a, out, 16))
        out[0] = 0;
}

// The first white-space-free word of a line, or an empty word.
static void srv_first_word(const char *line, char *word, size_t size)
{
    while (*line && isspace((unsigned char)*line))
        line++;
    size_t n = 0;
    while (line[n] && !isspace((unsigned char)line[n]) && n + 1 < size) {
        word[n] = line[n];
        n++;
    }
    word[n] = 0;
}

int srv_access_match(const char *path, const char *dotted)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return 0;
    char line[64]; // read at most 63 characters at a time
    int found = 0;
    int continuation = 0;
    while (!found && fgets(line, sizeof line, f)) {
        size_t len = strlen(line);
        int complete = len > 0 && line[len - 1] == '\n';
        // The tail of an overlong line is comment, never a new entry.
        if (!continuation) {
            char word[64];
            srv_first_word(line, word, sizeof word);
            if (word[0] && word[0] != '#' && strcmp(word, dotted) == 0)
                found = 1;
        }
        continuation = !complete;
    }
    fclose(f);
    return found;
}

int srv_access_append(const char *path, const char *dotted, const char *name)
{
    FILE *f = fopen(path, "a");
    if (!f)
        return 0;
    fprintf(f, "\n%s\t# %s", dotted ? dotted : "", name ? name : "");
    fclose(f);
    return 1;
}
