// Settings file access over iniparser 4.
#include "common/cfg.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

static void cfg_default_report(const char *text, const char *caption) { fprintf(stderr, "%s: %s\n", caption, text); }

static CfgReportFn cfg_report = cfg_default_report;

// iniparser reports parse errors through a printf-like callback.
static int cfg_iniparser_error(const char *fmt, ...)
{
    char text[512];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    size_t len = strlen(text);
    while (len > 0 && text[len - 1] == '\n') text[--len] = 0;
    cfg_report(text, "Config Error");
    return n;
}

void cfg_set_report(CfgReportFn fn)
{
    cfg_report = fn ? fn : cfg_default_report;
    iniparser_set_error_callback(cfg_iniparser_error);
}

int cfg_load(const char *path, ConfigDict **out_dict)
{
    if (!out_dict) return 0;
    *out_dict = nullptr;
    // A missing file is a normal case for callers: keep iniparser from reporting it.
    FILE *f = path ? fopen(path, "r") : nullptr;
    if (!f) return 1;
    fclose(f);
    iniparser_set_error_callback(cfg_iniparser_error);
    *out_dict = iniparser_load(path);
    return 1;
}

ConfigDict *cfg_new() { return dictionary_new(0); }

void cfg_free(ConfigDict *d)
{
    if (d) iniparser_freedict(d);
}

char *cfg_key(const char *prefix, const char *key, char *buffer)
{
    snprintf(buffer, CFG_KEY_SIZE, "%s%s", prefix ? prefix : "", key ? key : "");
    return buffer;
}

const char *cfg_get_string(const ConfigDict *d, const char *key, const char *def)
{
    if (!d || !key) return def;
    return iniparser_getstring(d, key, def);
}

int cfg_get_int(const ConfigDict *d, const char *key, int def)
{
    if (!d || !key) return def;
    return iniparser_getint(d, key, def);
}

double cfg_get_double(const ConfigDict *d, const char *key, double def)
{
    if (!d || !key) return def;
    return iniparser_getdouble(d, key, def);
}

int cfg_get_bool(const ConfigDict *d, const char *key, int def)
{
    if (!d || !key) return def;
    return iniparser_getboolean(d, key, def);
}

int cfg_set(ConfigDict *d, const char *key, const char *value)
{
    if (!d || !key) return 0;
    const char *colon = strchr(key, ':');
    if (colon) {
        // iniparser writes only keys whose section entry exists.
        char section[CFG_KEY_SIZE];
        size_t n = (size_t)(colon - key);
        if (n == 0 || n >= sizeof section) return 0;
        memcpy(section, key, n);
        section[n] = 0;
        if (!iniparser_find_entry(d, section) && iniparser_set(d, section, nullptr) != 0) return 0;
    }
    return iniparser_set(d, key, value) == 0;
}

int cfg_save(const ConfigDict *d, const char *path)
{
    FILE *f = (d && path) ? fopen(path, "w+") : nullptr;
    if (!f) {
        cfg_report("Failed to open config file.", "File Not Found");
        return 0;
    }
    iniparser_dump_ini(d, f);
    bool failed = ferror(f) != 0;
    if (fclose(f) != 0 || failed) {
        cfg_report("Failed to write config file.", "Config Error");
        return 0;
    }
    return 1;
}

int cfg_save_name(ConfigDict *d, const char *path, const char *name)
{
    if (!name || !cfg_set(d, "client:name", name)) {
        cfg_report("Failed to save new name.", "Config Error");
        return 0;
    }
    return cfg_save(d, path);
}
