// The function attributes that let a vector loop use a wider instruction
// set than the module around it is built for, so that the loops of every
// path live in one build and filters/engine/cpu_paths.h chooses among them
// at run time. Only a function marked with one of these may use that set's
// intrinsics, and only a caller that has checked the path may call it.
//
// GCC and Clang need the attribute on each such function; MSVC accepts the
// intrinsics as they are, so there the macros are empty.
//
// - CHROMALINE_TARGET_AVX2: AVX2 alone (the point stages' byte loops).
// - CHROMALINE_TARGET_AVX2_FMA: AVX2 with FMA, the whole CpuPath::kAvx2
//   level (the sharpening loops).
// - CHROMALINE_TARGET_AVX512: AVX-512 F, DQ and VL with AVX2 and FMA (the
//   sharpening loops on CpuPath::kAvx512).
// - CHROMALINE_TARGET_AVX512_VBMI: AVX-512 F, BW and VL with the byte
//   permutes of VBMI (the point stages on CpuPath::kAvx512 where
//   ProcessorHasAvx512Vbmi()).
#ifndef CHROMALINE_FILTERS_ENGINE_CPU_TARGETS_H_
#define CHROMALINE_FILTERS_ENGINE_CPU_TARGETS_H_

#if defined(_MSC_VER) && !defined(__clang__)
#define CHROMALINE_TARGET_AVX2
#define CHROMALINE_TARGET_AVX2_FMA
#define CHROMALINE_TARGET_AVX512
#define CHROMALINE_TARGET_AVX512_VBMI
#else
#define CHROMALINE_TARGET_AVX2 __attribute__((target("avx2")))
#define CHROMALINE_TARGET_AVX2_FMA __attribute__((target("avx2,fma")))
#define CHROMALINE_TARGET_AVX512 __attribute__((target("avx512f,avx512dq,avx512vl,avx2,fma")))
#define CHROMALINE_TARGET_AVX512_VBMI __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))
#endif

#endif  // CHROMALINE_FILTERS_ENGINE_CPU_TARGETS_H_
