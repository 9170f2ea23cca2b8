// Language strings: one loaded language file ("languages/BkmLang-EN.bin" ...),
// texts looked up by id (lang_ids.h). Load once at start, free at shutdown.
//
// File: "STR0", uint32 count, count entries (low 24 bits: offset of the
// zero-terminated string from the file start), then the strings.
#pragma once
#include <cstddef>

#define LANG_LANGUAGES 6
#define LANG_MAX_FILE (1u << 24) // offsets are 24 bits

// LanguageCode: the settings' language index -> file code.
extern const char *const lang_codes[LANG_LANGUAGES]; // "EN", "DE", "FR", "BR_PT", "ES", "IT"

// Loads "languages/<prefix>-<code>.bin" for a language index 0..5, replacing
// any loaded table. Resets the yes/no letters to "YyNn" first and takes them
// from string 91 when the file holds it. Prints "File not found.\n" or
// "Error in string count!\n" on the standard output when it fails. Returns 1
// when a table is loaded, 0 otherwise (callers may go on without one).
int lang_load(const char *prefix, int language_index);
// The same for an explicit path.
int lang_load_file(const char *path);
// Text of a string: never null. "" when no table is loaded, the id is at or
// past the count, its offset lies past the file, or, for an id that callers
// use as a printf format, the text's conversions differ from what they pass
// (lang_signature). A plain text (signature "") comes back as it stands, '%'
// and all: callers print it only as a "%s" argument or as text, never as a
// format.
const char *lang_get(int id);
// lang_get, or fallback when that would be "" (for texts needed before or
// without a loaded table, such as start-up errors).
const char *lang_get_or(int id, const char *fallback);
// The four answer letters, yes upper, yes lower, no upper, no lower ("YyNn" by default).
const char *lang_yes_no();
void lang_free();
// Strings in the loaded table (0 when none) and the size of its buffer.
int lang_count();
size_t lang_buffer_size();

// Writes the printf conversions of text into out, in order. exact = 1 keeps
// each conversion as written ("%-5s"); exact = 0 keeps only what decides the
// argument ("%s", "%d" for %i, "%*d" when the width is an argument). Returns
// the number of conversions, -1 for a malformed or unsafe one (%n, a lone %)
// or when out is too small.
int lang_conversions(const char *text, char *out, size_t cap, int exact);
