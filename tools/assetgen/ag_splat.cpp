// Voxel splatting for the contact sheet.
#include "ag_splat.h"

#include <cmath>

#include "common/kv6_dirtable.h"

void splat_begin(SplatView *v, Canvas *canvas)
{
    v->canvas = canvas;
    v->depth.assign((size_t)canvas->w * canvas->h, 1e30f);
}

static float dot3(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Screen point and depth of a world point; 0 when behind the camera.
static int project(const SplatView *v, const float p[3], float *sx, float *sy, float *depth)
{
    float d[3] = {p[0] - v->pos[0], p[1] - v->pos[1], p[2] - v->pos[2]};
    float z = dot3(d, v->forward);
    *depth = z;
    if (v->focal > 0.0f) {
        if (z <= 1e-4f) return 0;
        *sx = v->cx + dot3(d, v->right) * v->focal / z;
        *sy = v->cy + dot3(d, v->down) * v->focal / z;
    } else {
        *sx = v->cx + dot3(d, v->right) * v->scale;
        *sy = v->cy + dot3(d, v->down) * v->scale;
    }
    return 1;
}

void splat_sprite(SplatView *v, const SpriteInstance *s, uint32_t tint, const float *light)
{
    const Kv6Model *m = s->model;
    if (!m) return;
    const float ax[3] = {s->xaxis.x, s->xaxis.y, s->xaxis.z};
    const float ay[3] = {s->yaxis.x, s->yaxis.y, s->yaxis.z};
    const float az[3] = {s->zaxis.x, s->zaxis.y, s->zaxis.z};
    const float origin[3] = {s->position.x, s->position.y, s->position.z};
    // The game's light vector in model axes (its second and third light
    // components trade places), and its lighting: ambient 1, plus half the
    // cosine to the light, times the tint over 128.
    float lm[3];
    if (light) {
        const float l[3] = {light[0], light[2], light[1]};
        lm[0] = dot3(ax, l);
        lm[1] = dot3(ay, l);
        lm[2] = dot3(az, l);
    } else {
        lm[0] = ax[0] + ax[1] + ax[2];
        lm[1] = ay[0] + ay[1] + ay[2];
        lm[2] = az[0] + az[1] + az[2];
    }
    float ll = std::sqrt(dot3(lm, lm));
    for (int i = 0; i < 3; i++) lm[i] = ll > 0.0f ? lm[i] / ll : 0.0f;

    const Kv6Voxel *vox = m->voxels;
    for (int32_t x = 0; x < m->xsize; x++)
        for (int32_t y = 0; y < m->ysize; y++) {
            uint16_t n = m->xycounts[x * m->ysize + y];
            for (uint16_t k = 0; k < n; k++, vox++) {
                if (!vox->faces) continue;
                float minx = 1e30f, miny = 1e30f, maxx = -1e30f, maxy = -1e30f, centre = 0.0f;
                int ok = 1;
                for (int c = 0; c < 8 && ok; c++) {
                    float mx = x + (c & 1) - m->xpivot, my = y + ((c >> 1) & 1) - m->ypivot;
                    float mz = vox->z + ((c >> 2) & 1) - m->zpivot;
                    float p[3];
                    for (int i = 0; i < 3; i++) p[i] = origin[i] + mx * ax[i] + my * ay[i] + mz * az[i];
                    float sx, sy, d;
                    ok = project(v, p, &sx, &sy, &d);
                    minx = std::fmin(minx, sx);
                    maxx = std::fmax(maxx, sx);
                    miny = std::fmin(miny, sy);
                    maxy = std::fmax(maxy, sy);
                    centre += d * 0.125f;
                }
                if (!ok) continue;
                float nx, ny, nz;
                dirfromindex(vox->normalindex, &nx, &ny, &nz);
                float cosine = vox->normalindex == 255 ? 0.0f : nx * lm[0] + ny * lm[1] + nz * lm[2];
                uint32_t out = 0xFF000000;
                for (int sh = 0; sh < 24; sh += 8) {
                    float ch = (float)((vox->colour >> sh) & 0xFF) * (1.0f + 0.5f * cosine) *
                               (float)((tint >> sh) & 0xFF) / 128.0f;
                    out |= (uint32_t)(ch > 255.0f ? 255.0f : ch) << sh;
                }
                int32_t x0 = (int32_t)std::lround(minx), x1 = (int32_t)std::lround(maxx);
                int32_t y0 = (int32_t)std::lround(miny), y1 = (int32_t)std::lround(maxy);
                if (x1 == x0) x1++;
                if (y1 == y0) y1++;
                for (int32_t py = y0 < 0 ? 0 : y0; py < y1 && py < v->canvas->h; py++)
                    for (int32_t px = x0 < 0 ? 0 : x0; px < x1 && px < v->canvas->w; px++) {
                        float &zb = v->depth[(size_t)py * v->canvas->w + px];
                        if (centre >= zb) continue;
                        zb = centre;
                        v->canvas->px[(size_t)py * v->canvas->w + px] = out;
                    }
            }
        }
}
