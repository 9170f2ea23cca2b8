// Settings files over iniparser: load an INI file into a dictionary, look
// values up by "section:key", set them and save the dictionary back.
// Failures that a user must see go to the report callback (the server prints
// them on its console; the client shows a box).
#pragma once
#include <iniparser/iniparser.h>

typedef dictionary ConfigDict;

#define CFG_KEY_SIZE 256

// Receives a failure's text and caption. The default writes "caption: text" to stderr.
typedef void (*CfgReportFn)(const char *text, const char *caption);
// Installs fn (null restores the default). Also routes iniparser's own parse
// errors to it (caption "Config Error").
void cfg_set_report(CfgReportFn fn);

// Loads path into *out_dict; *out_dict is null when the file does not exist or
// cannot be parsed (a parse error is reported, a missing file is not).
// Returns 1 whenever out_dict is non-null (callers test the dictionary), else 0.
int cfg_load(const char *path, ConfigDict **out_dict);
// An empty dictionary, for a settings file that does not exist yet; null on no memory.
ConfigDict *cfg_new();
void cfg_free(ConfigDict *d);

// Writes prefix immediately followed by key into buffer (CFG_KEY_SIZE bytes),
// cut to 255 characters, and returns buffer. Prefixes carry their colon ("controls:").
char *cfg_key(const char *prefix, const char *key, char *buffer);

// Typed lookups of "section:key"; def when the dictionary is null or the key absent.
const char *cfg_get_string(const ConfigDict *d, const char *key, const char *def);
int cfg_get_int(const ConfigDict *d, const char *key, int def);
double cfg_get_double(const ConfigDict *d, const char *key, double def);
int cfg_get_bool(const ConfigDict *d, const char *key, int def);
// Sets "section:key" to value, creating the section when needed (so that a
// save writes it). 1 on success, 0 on failure.
int cfg_set(ConfigDict *d, const char *key, const char *value);

// Writes the whole dictionary to path (mode "w+", iniparser's INI layout).
// 1 on success; 0 after reporting "Failed to open config file." / "File Not
// Found" when the file cannot be opened (or written).
int cfg_save(const ConfigDict *d, const char *path);
// Sets "client:name" and saves the whole dictionary. 0 after reporting
// "Failed to save new name." / "Config Error" when the name cannot be set;
// else the result of cfg_save.
int cfg_save_name(ConfigDict *d, const char *path, const char *name);
