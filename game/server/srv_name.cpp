// Player-name cleaning.
#include "server/srv_name.h"

int srv_name_clean(char *name)
{
    if (!name)
        return 0;
    int out = 0;
    for (int i = 0; name[i]; i++) {
        unsigned char c = (unsigned char)name[i];
        if (c >= 32 && c != 127)
            name[out++] = (char)c;
    }
    name[out] = 0;
    return out;
}
