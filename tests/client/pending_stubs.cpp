// PENDING: stand-ins for the platform layer's and the PNG decoder's functions
// until they merge (see game/client/pending_neighbours.h). They record what
// the client game asks for, so the tests can check it.
#include "client_test_support.h"

#include <cstdlib>

#include "client/pending_neighbours.h"

std::vector<SoundCall> stub_sounds;
uint8_t keystatus[256];

void quitwitherror(const char *text)
{
    fprintf(stderr, "quitwitherror: %s\n", text ? text : "(null)");
    std::_Exit(0);
}
void messagebox(const char *text, const char *caption, int) { stub_boxes.push_back({text ? text : "", caption ? caption : ""}); }
void playsound(const char *file, int32_t volume) { stub_sounds.push_back({file ? file : "", volume, false, {0, 0, 0}}); }
void playsound3d(const char *file, int32_t volume, const float position[3])
{
    stub_sounds.push_back({file ? file : "", volume, true, {position[0], position[1], position[2]}});
}
int readkeyboard() { return 0; }
uint32_t plat_millis() { return 0; }
void loadpngfile(const char *, PngImage **out, int32_t, int32_t) { *out = nullptr; }
