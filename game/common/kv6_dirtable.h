// Table of unit directions by which model voxels name their surface normal.
#pragma once
#include <cstdint>

#define DIRTABLE_MAX 256

// Entries 0..n-1 lie on a golden-angle spiral from near -z to near +z; for odd
// n entry n is the zero vector. Read-only once built.
struct DirectionTable {
    float dir[DIRTABLE_MAX][3];
    int32_t count; // n of the last builddirtable
};
extern DirectionTable dirtable;

// Fills the table with n directions (1..255; the renderer calls it once with
// 255 at start-up). Other n are clamped into that range.
void builddirtable(int32_t n);
// Direction i of the current n-direction table (computed, not looked up).
void dirfromindex(int32_t i, float *x, float *y, float *z);
// Index of the table direction with the largest dot product with (x, y, z).
// Nothing in the game needs it at run time; tools may.
int32_t indexfromdir(float x, float y, float z);
// Cosine and sine of an angle in radians.
void getsincos(float angle, float *c, float *s);
// a * b + x * y in 32-bit integers.
int32_t muladd2(int32_t a, int32_t b, int32_t x, int32_t y);
