// The server's map files, "vxl/<name>.vxl": read whole and checked before
// anything replaces the map being played, with a reason an operator can act
// on when one is refused.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#define SRV_MAPFILE_WHY 256 // room for a refusal's reason

enum SrvMapFileResult {
    SRV_MAPFILE_OK = 1,
    SRV_MAPFILE_UNREADABLE = -1, // cannot be opened or read, or not a regular file
    SRV_MAPFILE_TOO_LARGE = -2,  // more bytes than the column pool holds
    SRV_MAPFILE_INVALID = -3,    // not a well-formed map image
    SRV_MAPFILE_MISSING = -4,    // no such file
    SRV_MAPFILE_BAD_NAME = -5,   // the name would lead outside vxl/
};

// 1 when "vxl/<name>.vxl" stays inside vxl/: not empty, no leading '/', no
// ".." part. Sub-folders of vxl/ are allowed.
int srv_mapfile_name_ok(const char *name);
// Opens "vxl/<name>.vxl" for reading. Null when the name is refused or the
// file cannot be opened, with the reason, in the loaded language, in why;
// *result (when given) tells SRV_MAPFILE_BAD_NAME, SRV_MAPFILE_MISSING or
// SRV_MAPFILE_UNREADABLE apart. Never waits on a pipe or device that has no
// writer: such a file opens, and its read is refused.
FILE *srv_mapfile_open(const char *name, char *why, size_t why_size, int *result = nullptr);
// Takes the read buffer now (a map's size, kept for the whole run), so the
// first map command does not pay for it on the game thread. Returns 1, or 0
// without memory (a read then tries again).
int srv_mapfile_init();
// Releases the read buffer.
void srv_mapfile_shutdown();
// Reads the open file whole and closes it. SRV_MAPFILE_OK with the image in
// *bytes (the kept buffer: valid until the next read, never freed by the
// caller) and its length in *size; otherwise a refusal with its reason, in the
// loaded language, in why (*bytes null). A file larger than a map is refused
// by its size without being read.
int srv_mapfile_read(FILE *file, const uint8_t **bytes, size_t *size, char *why, size_t why_size);
// srv_mapfile_read, then puts the image into the store. SRV_MAPFILE_OK
// loaded; a refusal leaves the current map untouched.
int srv_mapfile_load(FILE *file, char *why, size_t why_size);
// srv_mapfile_read alone, the image dropped: whether a map command may go on.
int srv_mapfile_check(FILE *file, char *why, size_t why_size);
