// Small host services of both programs: the program's own folder, sleeping and the
// system clock in whole seconds.
#pragma once
#include <cstddef>
#include <cstdint>

// Writes the folder that holds the running program (no trailing slash) into
// out. Returns 1, or 0 when /proc/self/exe cannot be read or does not fit.
int sys_program_dir(char *out, size_t size);
// Sleeps about one millisecond per unit.
void sys_sleep_ms(int ms);
// The system time in whole seconds (the runtime's time()).
int64_t sys_time_seconds();
// 1 when path names an existing folder.
int sys_is_dir(const char *path);
// Creates one folder level (mode 0755). Returns 1 on success or when it exists.
int sys_make_dir(const char *path);
