// Compressed map images for the map transfers. A snapshot of the serialised
// columns is taken on the game thread (a copy); one worker thread compresses
// it, so a join never holds the tick back for the compression. Images live
// in a small table of slots, each counting the transfers that still read it.
//
// Threads: every function here is called from the game thread only. The
// worker touches nothing but the snapshot it was handed and the output it
// allocates; both cross over under one lock (see srv_mapzip.cpp).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#define SRV_MAPZIP_SLOTS 8 // images kept at once: the newest, those in transfer

enum SrvMapzipState {
    MAPZIP_FREE = 0,
    MAPZIP_BUSY = 1,   // handed to the worker (or waiting for it)
    MAPZIP_READY = 2,  // compressed: data and length valid
    MAPZIP_FAILED = 3, // no memory or a compression error
};

// Starts the worker (once). Without a worker thread every compression runs
// in srv_mapzip_take itself, as it did before the worker existed.
void srv_mapzip_init();
// Stops the worker (the compression in hand is abandoned), joins it and
// frees every image and buffer. Transfers must have dropped their slots.
void srv_mapzip_shutdown();

// A slot holding the map as it stands now: the newest snapshot when the map
// has not changed since it was taken (several joins at once share it), or a
// new snapshot handed to the worker when it is free. Adds no user.
// Returns the slot; -1 when the map changed and the worker is busy or no
// slot is free (ask again later); -2 when the map cannot be serialised.
int srv_mapzip_take();
// A transfer starts or stops reading a slot. An unused slot other than the
// newest is freed (its result discarded once the worker has finished).
void srv_mapzip_use(int slot);
void srv_mapzip_unuse(int slot);
// The state of a slot (SrvMapzipState); with MAPZIP_READY, the compressed
// image and its length. The image stays valid while the slot is in use.
int srv_mapzip_get(int slot, const uint8_t **data, size_t *length);
// Collects a finished compression. Called every pass of the main loop.
void srv_mapzip_poll();
// 1 while the worker compresses (a take of a changed map then waits).
int srv_mapzip_busy();
// The map was replaced: the newest snapshot no longer describes it. The
// compression in hand is abandoned when no transfer waits for it; returns
// once the worker is free or still serves a transfer (bounded wait).
void srv_mapzip_forget();
// Waits (at most timeout_ms) until the worker has no compression in hand,
// collecting its result. Returns 1 when it is free.
int srv_mapzip_wait(int timeout_ms);
// Compressions handed to the worker since start (for tests and benchmarks).
long srv_mapzip_jobs();
// For tests: while paused, the worker starts no compression (one that is
// abandoned ends at once), so "while a compression runs" lasts as long as
// a test needs.
void srv_mapzip_pause(int paused);

// The map's columns back to back in index order into out. Returns the
// length; 0 when a column is missing or the image would not fit in cap.
size_t srv_mapzip_serialise(uint8_t *out, size_t cap);
// Compresses n bytes as one zlib stream at zlib's default level, in pieces,
// giving up when *cancel becomes non-zero (checked between pieces; may be
// null). Returns a malloc'd stream and its length in *out_len, or null.
uint8_t *srv_mapzip_compress(const uint8_t *in, size_t n, size_t *out_len, const std::atomic<int> *cancel);
