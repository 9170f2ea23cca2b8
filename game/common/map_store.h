// The voxel world store: 512 x 512 run-length encoded columns of 64 voxels in
// one fixed 16 MiB pool, the allocation bitmap and rover, the shading rule and
// the VXL map file (writer, reader, indexing step).
//
// Coordinates: x, y 0..511, z 0 (top) .. 63 (bottom); column index y * 512 + x.
//
// Column layout (VxlColumn): spans back to back in 4-byte words. Span header
// bytes: N (span length in words, 0 = last span), S (top solid voxel), E (end
// of the top colour run, E = S - 1 when empty), A (first air voxel of the gap
// above S; 0 in the first span). Then E - S + 1 top colours (z = S..E); a span
// that is not the last then holds K = N - 1 - (E - S + 1) bottom colours for
// z = A' - K .. A' - 1 (A' = next span's A). The last span makes S..63 solid.
//
// The pool holds the column bytes exactly as in the file (little-endian
// colour words); on this little-endian target a colour is one uint32_t.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#define MAP_SIZE 512
#define MAP_DEPTH 64
#define MAP_COLUMNS (MAP_SIZE * MAP_SIZE)            // 262,144
#define MAP_POOL_WORDS 4194304                       // 16 MiB of 32-bit words
#define MAP_BITMAP_WORDS (MAP_POOL_WORDS / 32)       // 131,072
#define MAP_IMAGE_MAX_BYTES ((MAP_POOL_WORDS - 1) * 4) // pool less the sentinel
#define MAP_MAX_CHUNKS 32

// Voxel colour word: bytes blue, green, red, shade (brightness in 1/128 units,
// 127 unshaded). Displayed channel = channel * shade >> 7, capped at 255.
typedef uint32_t VoxelColour;
#define VOXEL_SHADE(c) ((uint32_t)(c) >> 24)
#define VOXEL_RGB(c) ((uint32_t)(c) & 0xFFFFFFu)

// A block group found hanging in the air; filled by the floating-block
// detection, listed here because every load empties the list.
struct FloatingChunk {
    int32_t seed_x, seed_y, seed_z;
    int32_t first, end;              // index range into the visited-span set; end -1 once cut
    int32_t x0, y0, z0, x1, y1, z1;  // inclusive box, z0 the top
    int32_t handled;
};

// One per program, for the whole run; it holds the empty map until the first
// load or build. The renderer walks `columns` and the
// spans directly; everything else goes through the queries and the edits.
struct VoxelMap {
    uint8_t *columns[MAP_COLUMNS];     // column table: first span header of each column
    uint32_t pool[MAP_POOL_WORDS];     // word 0 is a sentinel, map data from word 1
    uint32_t bitmap[MAP_BITMAP_WORDS]; // bit (w & 31) of word (w >> 5): pool word w in use
    int32_t rover;                     // word index where the next allocation search starts
    uint32_t image_bytes;              // bytes of the image last put into the pool from word 1
    int32_t loaded;                    // 1 while the table describes a valid map
    FloatingChunk chunks[MAP_MAX_CHUNKS];
    int32_t chunk_count;
};

extern VoxelMap voxel_map;

// Span header fields and colours of a span starting at p.
inline int32_t map_span_n(const uint8_t *p) { return p[0]; }
inline int32_t map_span_s(const uint8_t *p) { return p[1]; }
inline int32_t map_span_e(const uint8_t *p) { return p[2]; }
inline int32_t map_span_a(const uint8_t *p) { return p[3]; }
inline uint32_t *map_span_colours(uint8_t *p) { return (uint32_t *)(p + 4); }
inline const uint32_t *map_span_colours(const uint8_t *p) { return (const uint32_t *)(p + 4); }
// Next span of a span that is not the last (N > 0).
inline uint8_t *map_span_next(uint8_t *p) { return p + p[0] * 4; }
inline const uint8_t *map_span_next(const uint8_t *p) { return p + p[0] * 4; }
inline uint8_t *map_column(int32_t x, int32_t y) { return voxel_map.columns[((y & 511) << 9) | (x & 511)]; }

// Length in bytes of the column whose first span is at p.
int32_t map_column_size(const uint8_t *p);
// Takes `bytes` (a multiple of 4) from the pool, first fit from the rover with
// a stride of the request size. Null when no room is found (the bitmap is
// unchanged, the rover has moved on): the caller refuses its edit.
uint8_t *map_column_alloc(int32_t bytes);
// Gives the words of the column at p back to the bitmap; rover and pool untouched.
void map_column_free(const uint8_t *p);
// Marks the words of the column at p as used again (undoing map_column_free).
void map_column_claim(const uint8_t *p);
// Stores value into count words from p; returns value.
uint32_t map_fill32(uint32_t *p, int32_t count, uint32_t value);
// Marks exactly pool words 0 .. words - 1 as used in the bitmap and sets the
// rover to `words`. Used after a load or a height-map build.
void map_mark_used_below(int32_t words);

// Shading rule: 127 less 20 - 2k for each solid (x, y - k, z - k), k = 1..9,
// z - k >= 0, x and y wrapping. Result 37..127.
int32_t map_voxel_shade(int32_t x, int32_t y, int32_t z);
// Recomputes the shade bytes of one row (dy -16..16) of the disc of radius 16
// ahead of the camera at (cx, cy) looking along (fx, fy). The client calls it
// once per frame with dy cycling through -16..15, passing the renderer's camera.
void map_reshade_row(int32_t dy, float cx, float cy, float fx, float fy);

// Writes the VXL file. 1 written; 0 when the file cannot be created or any
// write or the close fails (a partial regular file is removed).
int32_t map_save(const char *path);
// Reads the rest of an open file (mode "rb") into the pool from word 1 and
// closes it. 1 read; 0 for a null file, a read error or an image larger than
// MAP_IMAGE_MAX_BYTES (then nothing is indexed: call map_index_columns only
// after a 1). An oversized image that was partly read leaves the empty map.
int32_t map_read_file(FILE *file);
// Start of the image area (pool word 1) for callers that expand a transferred
// image into the pool; at most MAP_IMAGE_MAX_BYTES may be written there, then
// map_set_image_bytes with the length and map_index_columns.
uint8_t *map_image_area();
// Records the length of the image in the pool. 0 (refused) when too large.
int32_t map_set_image_bytes(size_t bytes);
// Copies an image into the pool and indexes it. 1 loaded, 0 refused (the
// store then holds the empty map).
int32_t map_load_image(const uint8_t *bytes, size_t n);
// Validates the image (every span inside the image, S <= E + 1 <= 64, sane N,
// exactly 262,144 columns and no trailing bytes), builds the table, bitmap and
// rover, shades every colour, completes the border columns (one the pool has
// no room to complete keeps its storage as loaded: solidity is the same) and
// empties the floating-chunk list and the damage ring. Returns 1; 0 when the image is
// malformed: the store then holds the empty map.
int32_t map_index_columns();
// Like map_index_columns' checks alone, without touching the store: 1 when the
// `n` bytes form a well-formed map image. On 0, *why (if given) explains.
int32_t map_validate_image(const uint8_t *bytes, size_t n, const char **why);
// Builds the flat map: every column one span solid from ground_z (0..63) down,
// coloured only at the top with `colour` (shade byte taken as given). Sets
// table, bitmap and rover; empties chunks and the damage ring. Not shaded.
void map_make_flat(int32_t ground_z, VoxelColour colour);
// The empty map a refused load leaves behind: flat water at z 63.
void map_clear();
