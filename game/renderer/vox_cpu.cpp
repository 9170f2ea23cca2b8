// CPUID access through the compiler's helpers, and the processor gate.
#include "renderer/vox_cpu.h"

#include <cpuid.h>

void readcpuid(uint32_t leaf, uint32_t out[4])
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_max(leaf & 0x80000000u, nullptr) >= leaf) __cpuid(leaf, a, b, c, d);
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = d;
}

int hascpuid(uint32_t mask)
{
    // Every 64-bit x86 has CPUID; the ID flag is the only bit callers test.
    return (mask & 0x200000u) ? (__get_cpuid_max(0, nullptr) != 0) : 0;
}

uint32_t getcpufeatures()
{
    if (!hascpuid(0x200000u)) return 0;
    uint32_t r[4];
    readcpuid(0, r);
    if (r[0] == 0) return 0;
    const bool amd = r[1] == 0x68747541u && r[3] == 0x69746E65u && r[2] == 0x444D4163u;
    readcpuid(1, r);
    uint32_t flags = r[3] & 0x3FBFFFFFu;
    readcpuid(0x80000000u, r);
    if (r[0] > 0x80000000u) {
        readcpuid(0x80000001u, r);
        flags |= r[3] & 0x80000000u;
        if (amd) flags |= r[3] & 0x40400000u;
    }
    if (flags & CPU_SSE) flags |= CPU_MMXEXT;
    return flags;
}

int vox_processor_gate(uint32_t features)
{
    const uint32_t base = CPU_FPU | CPU_TSC | CPU_CMOV | CPU_MMXEXT | CPU_MMX;
    if ((features & base) != base) return VOX_KERNELS_NONE;
    if (features & CPU_SSE) return VOX_KERNELS_SSE;
    if ((features & (CPU_3DNOW | CPU_3DNOWEXT)) == (CPU_3DNOW | CPU_3DNOWEXT)) return VOX_KERNELS_SCALAR;
    return VOX_KERNELS_NONE;
}

int vox_cpu_has_avx2()
{
    uint32_t r[4];
    readcpuid(0, r);
    if (r[0] < 7) return 0;
    readcpuid(1, r);
    const uint32_t osxsave = 1u << 27, avx = 1u << 28;
    if ((r[2] & (osxsave | avx)) != (osxsave | avx)) return 0;
    uint32_t lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    if ((lo & 6) != 6) return 0; // XMM and YMM state enabled by the system
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(7, 0, a, b, c, d);
    return (b >> 5) & 1;
}
