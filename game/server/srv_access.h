// "banlist.txt" and "adminlist.txt": one entry per line, the address first,
// anything after the first word a comment; lines whose word begins with "#"
// are skipped.
#pragma once
#include <cstdint>

#define SRV_BAN_LIST "banlist.txt"
#define SRV_ADMIN_LIST "adminlist.txt"

// 1 when a line of the list's file names exactly this dotted address; 0 when
// none does or the file cannot be opened.
int srv_access_match(const char *path, const char *dotted);
// Appends "\n" address "\t# " name (mode "a"). Returns 1, or 0 when the file
// cannot be opened.
int srv_access_append(const char *path, const char *dotted, const char *name);
// The dotted form of an IPv4 address in network order; out holds 16 bytes.
void srv_dotted_address(uint32_t host, char out[16]);
