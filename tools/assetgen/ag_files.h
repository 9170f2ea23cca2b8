// The one list of every file the generator writes below the client's
// folder: the models, pictures and icons, fonts, sounds and controls.ini.
#pragma once
#include "ag_formats.h"

enum AssetKind { ASSET_MODEL, ASSET_PICTURE, ASSET_FONT, ASSET_SOUND, ASSET_CONTROLS };

struct AssetFile {
    char path[64];   // relative, '/' separated ("kv6/SPADE.kv6", "wav/jump.wav")
    AssetKind kind;
    int index;       // into the kind's description table
};

#define ASSET_MAX_FILES 160

// Fills out with every file in a fixed order; returns the count.
int asset_files(AssetFile *out);

// The bytes of one file; empty on failure. ttf_path is the monospace bold
// typeface for the fonts and the pictures' lettering. Models need
// builddirtable(255) first.
Bytes asset_build(const AssetFile *file, const char *ttf_path);

// Writes every file below root. 1 when all were written, else 0.
int asset_write_all(const char *root, const char *ttf_path);
