// Map snapshots and their compression on one worker thread.
#include "server/srv_mapzip.h"

#include <zlib.h>

#include <pthread.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "common/map_store.h"
#include "server/srv_log.h"

#define SRV_MAPZIP_IMAGE_BYTES (16u * 1024u * 1024u)
// Input per deflate call: a cancelled compression stops within one piece
// (a few milliseconds).
#define SRV_MAPZIP_PIECE (128u * 1024u)

struct SrvMapzipSlot {
    int state; // SrvMapzipState
    int users; // transfers that read it
    uint8_t *data;
    size_t length;
};

// Game thread only.
static SrvMapzipSlot srv_mapzip_slots[SRV_MAPZIP_SLOTS];
static int srv_mapzip_newest = -1;  // slot of the last snapshot while it describes the map
static int srv_mapzip_working = -1; // slot whose compression the worker has in hand
static long srv_mapzip_job_count = 0;
// The newest snapshot's image (which the worker reads while it compresses,
// so it is replaced only when the worker is free) and the scratch image a
// take serialises into, to compare and then to swap in.
static uint8_t *srv_mapzip_image = nullptr;
static size_t srv_mapzip_image_len = 0;
static uint8_t *srv_mapzip_scratch = nullptr;

// The one hand-off between the threads, every field under srv_mapzip_lock.
// The game thread sets a job (the image it will not write until the result
// is back); the worker clears `pending`, compresses outside the lock and
// leaves its output in `out`, which then belongs to the game thread.
struct SrvMapzipHandoff {
    const uint8_t *in;
    size_t in_len;
    int pending;
    int done;
    uint8_t *out; // null: failed or cancelled
    size_t out_len;
    int quit;
    int paused; // srv_mapzip_pause
};
// Plain POSIX objects: nothing to destroy at exit, so a process that ends
// with exit() while the worker runs ends normally.
static SrvMapzipHandoff srv_mapzip_handoff;
static pthread_mutex_t srv_mapzip_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t srv_mapzip_wake = PTHREAD_COND_INITIALIZER;
// Set by the game thread when nobody waits for the compression in hand.
static std::atomic<int> srv_mapzip_cancel{0};
static pthread_t srv_mapzip_thread;
static int srv_mapzip_threaded = 0;

size_t srv_mapzip_serialise(uint8_t *out, size_t cap)
{
    size_t total = 0;
    for (int i = 0; i < MAP_COLUMNS; i++) {
        const uint8_t *col = voxel_map.columns[i];
        if (!col)
            return 0;
        size_t n = (size_t)map_column_size(col);
        if (n == 0 || n > cap - total)
            return 0;
        memcpy(out + total, col, n);
        total += n;
    }
    return total;
}

uint8_t *srv_mapzip_compress(const uint8_t *in, size_t n, size_t *out_len, const std::atomic<int> *cancel)
{
    z_stream z;
    memset(&z, 0, sizeof z);
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK)
        return nullptr;
    uLong cap = deflateBound(&z, (uLong)n);
    uint8_t *out = (uint8_t *)malloc(cap);
    if (!out) {
        deflateEnd(&z);
        return nullptr;
    }
    z.next_out = out;
    z.avail_out = (uInt)cap;
    int r = Z_OK;
    for (size_t pos = 0;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            r = Z_STREAM_ERROR;
            break;
        }
        size_t piece = n - pos < SRV_MAPZIP_PIECE ? n - pos : SRV_MAPZIP_PIECE;
        int last = pos + piece == n;
        z.next_in = (Bytef *)(in + pos);
        z.avail_in = (uInt)piece;
        r = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        // The output has room for the whole stream: each piece goes in whole.
        if (z.avail_in != 0 || r != (last ? Z_STREAM_END : Z_OK)) {
            r = Z_BUF_ERROR;
            break;
        }
        pos += piece;
        if (last)
            break;
    }
    size_t len = (size_t)z.total_out;
    deflateEnd(&z);
    if (r != Z_STREAM_END) {
        free(out);
        return nullptr;
    }
    uint8_t *fit = (uint8_t *)realloc(out, len);
    *out_len = len;
    return fit ? fit : out;
}

static void *srv_mapzip_worker(void *)
{
    SrvMapzipHandoff *h = &srv_mapzip_handoff;
    pthread_mutex_lock(&srv_mapzip_lock);
    for (;;) {
        while (!h->quit && !h->pending)
            pthread_cond_wait(&srv_mapzip_wake, &srv_mapzip_lock);
        if (h->quit)
            break;
        const uint8_t *in = h->in;
        size_t n = h->in_len;
        h->pending = 0;
        while (!h->quit && h->paused && !srv_mapzip_cancel.load())
            pthread_cond_wait(&srv_mapzip_wake, &srv_mapzip_lock);
        pthread_mutex_unlock(&srv_mapzip_lock);
        size_t len = 0;
        uint8_t *out = srv_mapzip_compress(in, n, &len, &srv_mapzip_cancel);
        pthread_mutex_lock(&srv_mapzip_lock);
        h->out = out;
        h->out_len = out ? len : 0;
        h->done = 1;
    }
    pthread_mutex_unlock(&srv_mapzip_lock);
    return nullptr;
}

// Sets a field of the hand-off (if given) under the lock and wakes the
// worker, which also looks at the cancel flag then.
static void srv_mapzip_signal(int *field, int value)
{
    pthread_mutex_lock(&srv_mapzip_lock);
    if (field)
        *field = value;
    pthread_cond_broadcast(&srv_mapzip_wake);
    pthread_mutex_unlock(&srv_mapzip_lock);
}

void srv_mapzip_init()
{
    if (srv_mapzip_threaded)
        return;
    memset(&srv_mapzip_handoff, 0, sizeof srv_mapzip_handoff);
    if (pthread_create(&srv_mapzip_thread, nullptr, srv_mapzip_worker, nullptr) == 0)
        srv_mapzip_threaded = 1;
    else // joins then compress on the game thread, as before the worker
        srv_log_warn(srv_log, "no map compression thread: compressing on the game thread");
}

// Frees a slot that nobody reads and that is neither the newest snapshot
// nor in the worker's hands.
static void srv_mapzip_tidy(int s)
{
    SrvMapzipSlot *slot = &srv_mapzip_slots[s];
    if (slot->state == MAPZIP_FREE || slot->users > 0 || s == srv_mapzip_newest || s == srv_mapzip_working)
        return;
    free(slot->data);
    memset(slot, 0, sizeof *slot);
}

// The worker's result for the slot in hand (null: failed or cancelled).
static void srv_mapzip_finish(uint8_t *out, size_t len)
{
    int s = srv_mapzip_working;
    srv_mapzip_working = -1;
    if (s < 0) {
        free(out);
        return;
    }
    SrvMapzipSlot *slot = &srv_mapzip_slots[s];
    slot->data = out;
    slot->length = len;
    slot->state = out ? MAPZIP_READY : MAPZIP_FAILED;
    if (!out && s == srv_mapzip_newest)
        srv_mapzip_newest = -1; // the next take tries again
    srv_mapzip_tidy(s);
}

void srv_mapzip_poll()
{
    if (srv_mapzip_working < 0 || !srv_mapzip_threaded)
        return;
    pthread_mutex_lock(&srv_mapzip_lock);
    int done = srv_mapzip_handoff.done;
    uint8_t *out = srv_mapzip_handoff.out;
    size_t len = srv_mapzip_handoff.out_len;
    if (done) {
        srv_mapzip_handoff.done = 0;
        srv_mapzip_handoff.out = nullptr;
    }
    pthread_mutex_unlock(&srv_mapzip_lock);
    if (done)
        srv_mapzip_finish(out, len);
}

int srv_mapzip_busy() { return srv_mapzip_working >= 0; }

long srv_mapzip_jobs() { return srv_mapzip_job_count; }

void srv_mapzip_pause(int paused)
{
    srv_mapzip_init();
    srv_mapzip_signal(&srv_mapzip_handoff.paused, paused);
}

int srv_mapzip_take()
{
    srv_mapzip_init();
    if (!srv_mapzip_image)
        srv_mapzip_image = (uint8_t *)malloc(SRV_MAPZIP_IMAGE_BYTES);
    if (!srv_mapzip_scratch)
        srv_mapzip_scratch = (uint8_t *)malloc(SRV_MAPZIP_IMAGE_BYTES);
    if (!srv_mapzip_image || !srv_mapzip_scratch)
        return -2;
    size_t len = srv_mapzip_serialise(srv_mapzip_scratch, SRV_MAPZIP_IMAGE_BYTES);
    if (len == 0)
        return -2;
    int newest = srv_mapzip_newest;
    if (newest >= 0 && len == srv_mapzip_image_len && memcmp(srv_mapzip_scratch, srv_mapzip_image, len) == 0)
        return newest;
    srv_mapzip_poll();
    if (srv_mapzip_working >= 0)
        return -1;
    int s = -1;
    for (int i = 0; i < SRV_MAPZIP_SLOTS && s < 0; i++)
        if (srv_mapzip_slots[i].state == MAPZIP_FREE)
            s = i;
    if (s < 0)
        return -1;
    uint8_t *t = srv_mapzip_image;
    srv_mapzip_image = srv_mapzip_scratch;
    srv_mapzip_scratch = t;
    srv_mapzip_image_len = len;
    srv_mapzip_newest = s;
    if (newest >= 0)
        srv_mapzip_tidy(newest);
    srv_mapzip_slots[s] = {MAPZIP_BUSY, 0, nullptr, 0};
    srv_mapzip_working = s;
    srv_mapzip_job_count++;
    srv_mapzip_cancel.store(0);
    if (!srv_mapzip_threaded) {
        size_t out_len = 0;
        uint8_t *out = srv_mapzip_compress(srv_mapzip_image, len, &out_len, nullptr);
        srv_mapzip_finish(out, out_len);
        return s;
    }
    pthread_mutex_lock(&srv_mapzip_lock);
    srv_mapzip_handoff.in = srv_mapzip_image;
    srv_mapzip_handoff.in_len = len;
    pthread_mutex_unlock(&srv_mapzip_lock);
    srv_mapzip_signal(&srv_mapzip_handoff.pending, 1);
    return s;
}

void srv_mapzip_use(int slot)
{
    if (slot >= 0 && slot < SRV_MAPZIP_SLOTS && srv_mapzip_slots[slot].state != MAPZIP_FREE)
        srv_mapzip_slots[slot].users++;
}

void srv_mapzip_unuse(int slot)
{
    if (slot < 0 || slot >= SRV_MAPZIP_SLOTS || srv_mapzip_slots[slot].users <= 0)
        return;
    srv_mapzip_slots[slot].users--;
    srv_mapzip_tidy(slot);
}

int srv_mapzip_get(int slot, const uint8_t **data, size_t *length)
{
    if (slot < 0 || slot >= SRV_MAPZIP_SLOTS)
        return MAPZIP_FREE;
    const SrvMapzipSlot *z = &srv_mapzip_slots[slot];
    if (data)
        *data = z->state == MAPZIP_READY ? z->data : nullptr;
    if (length)
        *length = z->state == MAPZIP_READY ? z->length : 0;
    return z->state;
}

int srv_mapzip_wait(int timeout_ms)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        srv_mapzip_poll();
        if (srv_mapzip_working < 0)
            return 1;
        if (std::chrono::steady_clock::now() >= end)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void srv_mapzip_forget()
{
    int newest = srv_mapzip_newest;
    srv_mapzip_newest = -1;
    if (newest >= 0)
        srv_mapzip_tidy(newest);
    if (srv_mapzip_working >= 0 && srv_mapzip_slots[srv_mapzip_working].users == 0) {
        srv_mapzip_cancel.store(1);
        srv_mapzip_signal(nullptr, 0); // a paused worker too
        srv_mapzip_wait(1000);
    }
}

void srv_mapzip_shutdown()
{
    if (srv_mapzip_threaded) {
        srv_mapzip_cancel.store(1);
        srv_mapzip_signal(&srv_mapzip_handoff.quit, 1);
        pthread_join(srv_mapzip_thread, nullptr);
        srv_mapzip_threaded = 0;
        free(srv_mapzip_handoff.out);
        memset(&srv_mapzip_handoff, 0, sizeof srv_mapzip_handoff);
    }
    for (int i = 0; i < SRV_MAPZIP_SLOTS; i++) {
        free(srv_mapzip_slots[i].data);
        memset(&srv_mapzip_slots[i], 0, sizeof srv_mapzip_slots[i]);
    }
    srv_mapzip_newest = srv_mapzip_working = -1;
    free(srv_mapzip_image);
    free(srv_mapzip_scratch);
    srv_mapzip_image = srv_mapzip_scratch = nullptr;
    srv_mapzip_image_len = 0;
}
