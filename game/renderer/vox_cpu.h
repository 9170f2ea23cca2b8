// Processor feature word and the renderer's processor gate.
#pragma once
#include <cstdint>

// Bits of the CpuFeatures word (CPUID leaf 1 EDX, with the extended bits
// merged in as getcpufeatures describes).
#define CPU_FPU (1u << 0)
#define CPU_TSC (1u << 4)
#define CPU_CMOV (1u << 15)
#define CPU_MMXEXT (1u << 22)
#define CPU_MMX (1u << 23)
#define CPU_SSE (1u << 25)
#define CPU_SSE2 (1u << 26)
#define CPU_3DNOWEXT (1u << 30)
#define CPU_3DNOW (1u << 31)

// Kernel sets the gate can choose.
enum VoxKernelSet {
    VOX_KERNELS_NONE = -1,   // processor refused
    VOX_KERNELS_SSE = 0,     // SSE2 intrinsics
    VOX_KERNELS_SCALAR = 1,  // portable kernels (the set for non-SSE processors)
    VOX_KERNELS_AVX2 = 2,    // the SSE2 set with an AVX2 line kernel, where the processor has AVX2
};

// Executes CPUID for `leaf`, storing EAX, EBX, ECX, EDX into out[0..3]
// (all zero where the instruction is unavailable).
void readcpuid(uint32_t leaf, uint32_t out[4]);
// 1 when the EFLAGS bits in `mask` can be toggled (0x200000: CPUID exists).
int hascpuid(uint32_t mask);
// The feature word, taken once at start by the program's entry point.
uint32_t getcpufeatures();

// 1 when the processor and the operating system support AVX2 (the YMM
// registers saved on task switches).
int vox_cpu_has_avx2();

// Pure: which kernels a processor with this feature word gets. Requires FPU,
// TSC, CMOV, MMX and MMX extensions, then SSE (-> SSE kernels) or 3DNow!
// with its extensions (-> scalar kernels); otherwise VOX_KERNELS_NONE.
int vox_processor_gate(uint32_t features);
