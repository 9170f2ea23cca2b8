// Placeholder definitions while the modules are being written.
#include <cstdlib>

#include "platform/plat_bitmap.h"
#include "platform/plat_font.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_log.h"
#include "platform/plat_main.h"
#include "platform/plat_png.h"
#include "platform/plat_script.h"
#include "platform/plat_sound.h"
#include "platform/plat_test.h"
#include "platform/plat_wav.h"

uint32_t CpuFeatures;
KeyEventQueue keyevents;
KeyStates keystates;
BitmapFont *fontslots[FONT_SLOTS];
TextContext *textcontext;
const int32_t sound_volume_table[SOUND_VOLUME_LEVELS] = {-10000, -1000, -699, -523, -398, -301,
                                                         -222,   -155,  -97,  -46,  0};

void installscreens() {}
int platform_main(int, char **) { return -1; }
void pumpmessages() {}
int64_t windowproc(uint32_t, uint64_t, int64_t) { return 0; }
int postmessage(uint32_t, uint64_t, int64_t) { return 0; }
int getquitflag() { return 0; }
int getexitcode() { return 0; }
int windowexists() { return 0; }
KeyEvent readkeyevent() { return 0; }
int edittextline(char *) { return 0; }
void requestquit() {}
void quitwitherror(const char *) { std::exit(0); }
void messagebox(const char *, const char *, int) {}
void getwindowrect(int32_t rect[4]) { rect[0] = rect[1] = rect[2] = rect[3] = 0; }
void setcursorpos(int32_t, int32_t) {}
int32_t showcursor(int) { return 0; }
int openurl(const char *) { return 0; }
uint32_t plat_millis() { return 0; }

int initdirectdraw(int) { return 0; }
void uninitdirectdraw() {}
int lockframe(uint8_t **, int32_t *) { return -1; }
void unlockframe() {}
int32_t presentframe() { return DDERR_NODIRECTDRAW; }
int32_t fillsurface(Surface *, int32_t, int32_t, int32_t) { return DDERR_INVALIDPARAMS; }
Surface *getframesurface() { return nullptr; }
DirectDraw *getdirectdraw() { return nullptr; }
Surface *createsurface(DirectDraw *, int32_t, int32_t) { return nullptr; }
void releasesurface(Surface *) {}
void setsurfacekey(Surface *, uint32_t) {}
int32_t restoresurface(Surface *) { return DDERR_INVALIDPARAMS; }
int32_t blitsurface(Surface *, int32_t, int32_t, const Surface *, const SurfaceRect *, int) { return DDERR_INVALIDPARAMS; }
int32_t locksurface(Surface *, uint8_t **, int32_t *) { return DDERR_INVALIDPARAMS; }
void unlocksurface(Surface *) {}

const KeyInfo *key_info(int) { return nullptr; }
int key_by_name(const char *) { return -1; }
int key_for_char(uint8_t, int *) { return -1; }
uint8_t key_char(int, uint32_t) { return 0; }

int initdirectinput() { return 0; }
void uninitdirectinput() {}
int initkeyboard() { return 0; }
int initmouse() { return 0; }
void uninitkeyboard() {}
void uninitmouse() {}
int readkeyboard() { return 0; }
void readmouse(int32_t *dx, int32_t *dy, int32_t *wheel, uint32_t *buttons) { *dx = *dy = *wheel = 0; *buttons = 0; }
void setactive(int) {}
int getactive() { return 0; }
void setcursorcapture(int) {}
int getcursorcapture() { return 0; }
void setinputcapture(int, int) {}
void requestmousebuttonreset() {}
KeyboardDevice *getkeyboarddevice() { return nullptr; }
int keyboardkeyname(const KeyboardDevice *, int, char *out, size_t cap) { if (cap) out[0] = 0; return 0; }
int32_t waitforinput(uint32_t) { return 258; }

int wav_parse(const uint8_t *, size_t, WavSound *) { return WAV_ERR_SHORT; }
int wav_load_file(const char *, uint8_t **bytes, size_t *, WavSound *) { *bytes = nullptr; return WAV_ERR_OPEN; }

void initdirectsound() {}
int sound_init_loopback(int32_t) { return 0; }
int sound_render_loopback(float *, int32_t) { return 0; }
void uninitdirectsound() {}
int sound_is_on() { return 0; }
void setmastervolume(int32_t) {}
int32_t sound_master_volume() { return 0; }
void playsound(const char *, int32_t) {}
void playsound3d(const char *, int32_t, Vec3) {}
void setlistener(Vec3, Vec3, Vec3) {}
int32_t nextsoundslot() { return 0; }
int loadwavbuffer(int32_t, const char *, uint32_t) { return 0; }
int sound_slot_state(int32_t) { return 0; }
int32_t sound_slot_counter() { return -1; }

int32_t loadfont(BitmapFont **out, TextContext *, const char *) { *out = nullptr; return FONT_ERR_OPEN; }
void freefont(BitmapFont *) {}
int32_t setfontcolor(BitmapFont *, uint32_t) { return DDERR_INVALIDPARAMS; }
int32_t gettextwidth(const BitmapFont *, const char *) { return 0; }
int32_t getfontheight(const BitmapFont *) { return 0; }
TextContext *createtextcontext(TextContext **out, DirectDraw *) { *out = nullptr; return nullptr; }
void freetextcontext(TextContext *) {}
void selectfont(TextContext *, BitmapFont *) {}
int32_t drawcontexttext(TextContext *, Surface *, int32_t, int32_t, const char *) { return 0; }
void loadfonts(DirectDraw *) {}
void freefonts() {}
BitmapFont *getfont(int32_t) { return nullptr; }
int32_t drawtext(const char *, int32_t, int32_t, Surface *) { return 0; }
int32_t drawtextcolor(BitmapFont *, const char *, int32_t, int32_t, Surface *, uint32_t) { return 0; }

Bitmap *loadbitmap(const char *) { return nullptr; }
Bitmap *createbitmap(int32_t, int32_t) { return nullptr; }
void freebitmap(Bitmap *) {}
Bitmap *rotatebitmap(const Bitmap *, float, uint32_t, uint32_t) { return nullptr; }
uint32_t *getbitmappixels(const Bitmap *, int32_t, int32_t) { return nullptr; }
int32_t bitmaptosurface(Surface *, int32_t, int32_t, const Bitmap *) { return DDERR_INVALIDPARAMS; }
Surface *loadbitmapsurface(DirectDraw *, const char *) { return nullptr; }
void showddrawerror(int32_t) {}
const char *ddrawerrorname(int32_t) { return "Unknown Error"; }

void plat_log(const char *, ...) {}
int plat_log_count() { return 0; }
const char *plat_log_line(int) { return ""; }
int plat_log_find(const char *, int) { return -1; }
void plat_log_clear() {}
void plat_log_set_file(const char *) {}

int png_write_file(const char *, const uint8_t *, int32_t, int32_t, int32_t) { return 0; }

int script_parse(const char *) { return 0; }
int script_load(const char *) { return 0; }
void script_clear() {}
int script_active() { return 0; }
int script_done() { return 1; }
void script_tick(uint32_t) {}
void script_after_present(const uint8_t *, int32_t, int32_t, int32_t) {}

int plat_select_backend(int) { return 0; }
int plat_backend_kind() { return -1; }
void plat_close_backend() {}
int plat_create_window() { return 0; }
void plat_destroy_window() {}
void plat_inject_key(int, int) {}
void plat_inject_char(uint8_t) {}
void plat_inject_mouse(int32_t, int32_t) {}
void plat_inject_wheel(int32_t) {}
void plat_inject_button(int, int) {}
void plat_inject_focus(int) {}
void plat_inject_minimize() {}
void plat_inject_close() {}
void plat_lose_surfaces() {}
void plat_reset_input() {}
int32_t plat_frames_presented() { return 0; }
