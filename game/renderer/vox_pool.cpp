// Drawing threads. A job is published by bumping `generation`; its bands are
// dealt out in one run of neighbouring bands per thread, so that a thread
// keeps to one part of the frame (its map columns and samples stay in its
// caches). A thread claims the front of its own run; once that is done it
// takes bands from the back of the others' runs. A band is claimed by a
// compare-and-swap on its run's word, which holds the job's generation beside
// the run's bounds, so a worker that wakes late never takes a band of a later
// job. Workers spin briefly after a job (a frame publishes several in a row),
// then sleep on the generation word.
#include "renderer/vox_pool.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

const int32_t kSpinMicros = 300;

// Each word on a cache line of its own: threads that wait for a job read
// `generation` while others claim bands and count them done.
alignas(64) std::atomic<uint32_t> generation{0};
struct alignas(64) Run {
    std::atomic<uint64_t> claim{0}; // generation << 32 | end << 16 | next band
};
Run runs[VOX_MAX_THREADS];
alignas(64) std::atomic<int32_t> pending{0}; // bands of the current job not yet done
alignas(64) std::atomic<VoxBandJob> job_fn{nullptr};
std::atomic<void *> job_arg{nullptr};
std::atomic<int32_t> job_threads{1}; // runs of the current job
std::atomic<bool> stopping{false};

std::thread workers[VOX_MAX_THREADS - 1];
int32_t running = 0;              // workers started; they stay until vox_pool_stop
std::atomic<int32_t> count{0};    // threads that draw; 0 until the first use
bool exit_hook = false;

int32_t default_threads()
{
    const char *env = std::getenv("BKM_RENDER_THREADS");
    if (env && env[0]) {
        char *end = nullptr;
        const long v = std::strtol(env, &end, 10);
        if (*end == '\0' && v >= 1 && v <= VOX_MAX_THREADS) return (int32_t)v;
        std::fprintf(stderr, "renderer: BKM_RENDER_THREADS=%s is not a number 1..%d; ignored\n", env,
                     VOX_MAX_THREADS);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : (int32_t)(cores < VOX_DEFAULT_MAX_THREADS ? cores : VOX_DEFAULT_MAX_THREADS);
}

// Claims bands of job generation `gen` and runs them until none is left:
// first from the front of run `home`, then from the back of the others. A
// claim succeeds only while the job still has bands to give, so the job's
// function read after it is that job's: the next job is published only once
// every band of this one is done.
void run_bands(uint32_t gen, int32_t home)
{
    const int32_t t = job_threads.load(std::memory_order_acquire);
    for (int32_t k = 0; k < t; k++) {
        std::atomic<uint64_t> &claim = runs[(home + k) % t].claim;
        uint64_t c = claim.load(std::memory_order_acquire);
        for (;;) {
            const int32_t next = (int32_t)(c & 0xFFFF), end = (int32_t)((c >> 16) & 0xFFFF);
            if ((uint32_t)(c >> 32) != gen || next >= end) break;
            const uint64_t taken = k == 0 ? c + 1 : c - ((uint64_t)1 << 16);
            if (!claim.compare_exchange_weak(c, taken, std::memory_order_acq_rel)) continue;
            job_fn.load(std::memory_order_acquire)(job_arg.load(std::memory_order_acquire), k == 0 ? next : end - 1);
            if (pending.fetch_sub(1, std::memory_order_acq_rel) == 1) pending.notify_all();
            c = claim.load(std::memory_order_acquire);
        }
    }
}

// Worker `index` (0 ..) takes part in jobs while the count of drawing
// threads leaves room for it.
void worker_main(int32_t index)
{
    uint32_t seen = generation.load(std::memory_order_acquire);
    for (;;) {
        // Spin a little: the next job of the frame usually follows at once.
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(kSpinMicros);
        uint32_t g = generation.load(std::memory_order_acquire);
        for (int32_t i = 0; g == seen && !stopping.load(std::memory_order_relaxed); i++) {
            __builtin_ia32_pause();
            if ((i & 63) == 63 && std::chrono::steady_clock::now() > until) {
                generation.wait(seen, std::memory_order_acquire);
            }
            g = generation.load(std::memory_order_acquire);
        }
        if (stopping.load(std::memory_order_acquire)) return;
        seen = g;
        if (index < count.load(std::memory_order_relaxed) - 1) run_bands(g, index + 1);
    }
}

void start_workers()
{
    if (!exit_hook) {
        exit_hook = true;
        std::atexit(vox_pool_stop);
    }
    stopping.store(false, std::memory_order_release);
    for (; running < count - 1; running++) workers[running] = std::thread(worker_main, running);
}

} // namespace

int32_t vox_threads()
{
    if (count.load(std::memory_order_relaxed) == 0) count.store(default_threads(), std::memory_order_relaxed);
    return count.load(std::memory_order_relaxed);
}

int32_t vox_set_threads(int32_t n)
{
    n = n == 0 ? default_threads() : (n < 1 ? 1 : (n > VOX_MAX_THREADS ? VOX_MAX_THREADS : n));
    count.store(n, std::memory_order_relaxed);
    return n;
}

void vox_pool_run(VoxBandJob job, void *arg, int32_t bands) { vox_pool_run_aside(job, arg, bands, nullptr, nullptr); }

void vox_pool_run_aside(VoxBandJob job, void *arg, int32_t bands, VoxAsideJob aside, void *aside_arg)
{
    if (bands <= 0 || vox_threads() == 1 || bands == 1 || bands > 0xFFFF) { // the claim word holds at most 0xFFFF bands
        if (aside) aside(aside_arg);
        for (int32_t b = 0; b < bands; b++) job(arg, b);
        return;
    }
    if (running < vox_threads() - 1) start_workers();
    const uint32_t gen = generation.load(std::memory_order_relaxed) + 1;
    job_fn.store(job, std::memory_order_relaxed);
    job_arg.store(arg, std::memory_order_relaxed);
    pending.store(bands, std::memory_order_relaxed);
    const int32_t t = vox_threads() < bands ? vox_threads() : bands;
    for (int32_t r = 0; r < t; r++) {
        const uint64_t b0 = (uint64_t)(bands * r / t), b1 = (uint64_t)(bands * (r + 1) / t);
        runs[r].claim.store((uint64_t)gen << 32 | b1 << 16 | b0, std::memory_order_relaxed);
    }
    job_threads.store(t, std::memory_order_relaxed);
    generation.store(gen, std::memory_order_release);
    generation.notify_all();
    if (aside) aside(aside_arg);
    run_bands(gen, 0);
    // The other threads hold the last bands for a few microseconds at most:
    // spin for them rather than sleep (a wake-up costs tens of microseconds).
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(kSpinMicros);
    for (int32_t i = 0; pending.load(std::memory_order_acquire) != 0; i++) {
        __builtin_ia32_pause();
        if ((i & 63) == 63 && std::chrono::steady_clock::now() > until) break;
    }
    for (int32_t left = pending.load(std::memory_order_acquire); left != 0;
         left = pending.load(std::memory_order_acquire))
        pending.wait(left, std::memory_order_acquire);
}

void vox_pool_stop()
{
    if (running == 0) return;
    stopping.store(true, std::memory_order_release);
    generation.fetch_add(1, std::memory_order_acq_rel);
    generation.notify_all();
    for (int32_t i = 0; i < running; i++) workers[i].join();
    running = 0;
    stopping.store(false, std::memory_order_release);
}
