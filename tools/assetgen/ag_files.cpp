// The file list, built from the kinds' description tables.
#include "ag_files.h"

#include <cstdio>

#include "ag_controls.h"
#include "ag_font.h"
#include "ag_models.h"
#include "ag_pictures.h"
#include "ag_sound.h"

static void add(AssetFile *out, int *n, AssetKind kind, int index, const char *fmt, const char *name)
{
    AssetFile *f = &out[(*n)++];
    std::snprintf(f->path, sizeof f->path, fmt, name);
    f->kind = kind;
    f->index = index;
}

int asset_files(AssetFile *out)
{
    int n = 0;
    for (int i = 0; i < model_desc_count; i++) add(out, &n, ASSET_MODEL, i, "kv6/%s.kv6", model_descs[i].name);
    for (int i = 0; i < picture_desc_count; i++) add(out, &n, ASSET_PICTURE, i, "%s", picture_descs[i].file);
    for (int i = 0; i < font_desc_count; i++) add(out, &n, ASSET_FONT, i, "%s", font_descs[i].file);
    for (int i = 0; i < sound_desc_count; i++) add(out, &n, ASSET_SOUND, i, "wav/%s.wav", sound_descs[i].name);
    add(out, &n, ASSET_CONTROLS, 0, "%s", CONTROLS_FILE);
    return n;
}

Bytes asset_build(const AssetFile *f, const char *ttf_path)
{
    switch (f->kind) {
    case ASSET_MODEL: {
        VoxGrid grid;
        vox_build(&model_descs[f->index], &grid);
        return vox_encode_kv6(&grid, model_descs[f->index].pivot);
    }
    case ASSET_PICTURE: return picture_build(&picture_descs[f->index], ttf_path);
    case ASSET_FONT: return font_build(&font_descs[f->index], ttf_path);
    case ASSET_SOUND: return sound_build(&sound_descs[f->index]);
    case ASSET_CONTROLS: return controls_build();
    }
    return Bytes();
}

int asset_write_all(const char *root, const char *ttf_path)
{
    static AssetFile files[ASSET_MAX_FILES];
    int n = asset_files(files);
    for (int i = 0; i < n; i++)
        if (!ag_write_file(root, files[i].path, asset_build(&files[i], ttf_path))) return 0;
    return 1;
}
