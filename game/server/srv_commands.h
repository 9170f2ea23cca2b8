// Console and chat commands. The console editor (srv_console) hands each
// finished line to srv_console_run; the chat handler hands every chat text
// that begins with "/" to srv_chat_command.
#pragma once
#include <cstddef>
#include <cstdint>

struct ChatMsg;

// Fixed help lines of "/help".
#define SRV_HELP_GENERAL "General Commands: ping #, votekick #"
#define SRV_HELP_ADMIN "Admin Commands: kick #, ban #, admin #"

// Runs one console line: "kick N", "ban N", "admin N", "map NAME",
// "fog R G B", "quit"; anything else prints the unknown-command text.
// Ids must name a connected player (0..31), otherwise they are ignored.
// "quit" prints the run's tick statistics first. Returns -1 for "quit",
// else 0.
int srv_console_run(const char *line);
// Handles a chat command of a joined player: the record's text after its
// leading "/". Malformed commands get no answer.
void srv_chat_command(int player, const ChatMsg *chat);

// The pieces both command sources share.
// Appends the player to "adminlist.txt" (skipped when it cannot be opened)
// and grants admin for this run. Ignored unless the player is connected.
void srv_command_admin(int player);
// Stores the fog colour, prints it on the console and sends MSG_FOG_COLOUR
// (blue, green, red) to all.
void srv_command_fog(uint8_t red, uint8_t green, uint8_t blue);
// "map NAME" ("reset": the current name): when its file opens and holds a
// usable map, NAME becomes the current name and the change is scheduled 10 s
// after the last whole second and announced. Otherwise one line names the
// map and the reason (a name leading out of vxl/, missing, unreadable, too
// large, not a map) and nothing is scheduled; NAME still becomes the current
// name when no change is pending and it stays inside vxl/, while a change
// already announced stays as it was. Returns 1 when scheduled.
int srv_command_map(const char *name);

// Bounded readers of the command forms (sscanf's "%s" and "%i" without its
// overruns and overflows). Each skips leading white space and advances *s.
// A word is up to size - 1 non-blank characters; a longer one is refused (0).
int srv_scan_word(const char **s, char *out, size_t size);
// A number as "%i" reads it (sign, decimal, 0x hex or 0 octal). Returns 1
// with *out set; 0 when no number is there; -1 when it does not fit an int.
int srv_scan_int(const char **s, int *out);
