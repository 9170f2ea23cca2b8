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
    SRV_MAPFILE_UNREADABLE = -1, // opened, but not a regular file, or a read failed
    SRV_MAPFILE_TOO_LARGE = -2,  // more bytes than the column pool holds
    SRV_MAPFILE_INVALID = -3,    // not a well-formed map image
};

// Opens "vxl/<name>.vxl" for reading; null when it cannot be opened. Never
// waits on a pipe or device that has no writer: such a file opens, and its
// read is refused.
FILE *srv_mapfile_open(const char *name);
// Reads the open file whole and closes it. SRV_MAPFILE_OK with the image in
// *bytes (malloc'd, the caller frees it) and its length in *size; otherwise a
// refusal with its reason, in the loaded language, in why (*bytes null). A
// file larger than a map is refused by its size without being read.
int srv_mapfile_read(FILE *file, uint8_t **bytes, size_t *size, char *why, size_t why_size);
// srv_mapfile_read, then puts the image into the store. SRV_MAPFILE_OK
// loaded; a refusal leaves the current map untouched.
int srv_mapfile_load(FILE *file, char *why, size_t why_size);
// srv_mapfile_read alone, the image dropped: whether a map command may go on.
int srv_mapfile_check(FILE *file, char *why, size_t why_size);
