#include "client/game_io.h"

#include "client/pending_neighbours.h"

void game_sound(const char *file, int32_t volume) { playsound(file, volume); }

void game_sound_at(const char *file, int32_t volume, const Vec3 *position)
{
    const float p[3] = {position->x, position->y, position->z};
    playsound3d(file, volume, p);
}

int game_read_key(int scan_code)
{
    readkeyboard();
    return scan_code >= 0 && scan_code < 256 && keystatus[scan_code] != 0;
}
