// The renderer's drawing threads: a small pool of workers that take bands of
// a pass (rays, screen lines, models) beside the calling thread. Callers see
// one thread: vox_pool_run returns when every band is done, and each band
// writes only its own pixels, depths and samples, so the picture is the same
// for any thread count. Only the renderer uses it.
#pragma once
#include <cstdint>

#define VOX_MAX_THREADS 16
#define VOX_DEFAULT_MAX_THREADS 4

// Threads that draw, the caller included (1..VOX_MAX_THREADS). The first call
// takes the default: the environment variable BKM_RENDER_THREADS when it
// holds a number 1..VOX_MAX_THREADS (another value is reported on stderr and
// ignored), else the machine's cores, at most VOX_DEFAULT_MAX_THREADS.
int32_t vox_threads();
// Sets the thread count; 0 restores the default above, other values are
// clamped to 1..VOX_MAX_THREADS. 1 draws on the caller alone. Call between
// frames, from the thread that draws. Returns the count now in use.
int32_t vox_set_threads(int32_t n);

// Runs job(arg, band) for band = 0 .. bands - 1 on the pool and the caller,
// in no fixed order, and returns when all are done (more than 65535 bands run
// on the caller alone). Jobs must not call it.
typedef void (*VoxBandJob)(void *arg, int32_t band);
void vox_pool_run(VoxBandJob job, void *arg, int32_t bands);
// vox_pool_run, with aside(aside_arg) run on the caller first, while the
// other threads start on the bands; aside must not touch what the bands do.
// On one thread: aside, then the bands.
typedef void (*VoxAsideJob)(void *arg);
void vox_pool_run_aside(VoxBandJob job, void *arg, int32_t bands, VoxAsideJob aside, void *aside_arg);

// Stops and joins the workers (closerenderer and exit call it). Workers are
// started as a job needs them and otherwise stay, idle when the count is
// lowered; the next vox_pool_run after a stop starts them again.
void vox_pool_stop();
