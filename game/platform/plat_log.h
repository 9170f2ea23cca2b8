// The layer's log: one line for each thing a test may want to see happen
// (a sound played, a message box, a screenshot, a device released). Lines
// are kept in memory (the last PLAT_LOG_KEEP) for tests in the same process
// and appended to the file named by BKM_PLATFORM_LOG for tests that run the
// program. Line forms:
//   sound FILE VOLUME                 sound3d FILE VOLUME X Y Z
//   box CAPTION: TEXT                 shot PATH
//   release mouse|keyboard|input|sound|display|window
//   url URL                           script: MESSAGE
#pragma once

#define PLAT_LOG_KEEP 1024
#define PLAT_LOG_LINE 512 // longer lines are cut

// Appends one line (printf format, no trailing newline needed).
void plat_log(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Lines kept in memory, oldest first.
int plat_log_count();
// Line i (0 = oldest kept); "" outside the range.
const char *plat_log_line(int i);
// Index of the first kept line at or after `from` that starts with prefix; -1 if none.
int plat_log_find(const char *prefix, int from);
// Forgets the kept lines (the file is not touched).
void plat_log_clear();
// Sends the lines to `path` from now on (appending), null to stop. Without a
// call, BKM_PLATFORM_LOG is opened at the first line.
void plat_log_set_file(const char *path);
