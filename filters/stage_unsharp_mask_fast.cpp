// File: filters/stage_unsharp_mask_fast.cpp
//
// Vector versions of the blur's inner loops, chosen at run time. They keep
// the plain loops' arithmetic exactly: each lane holds one output value and
// performs that value's taps in order, the sum formed in double precision
// and rounded to float after every tap (a double fused multiply-add is
// exact here because a float times a float fits a double). Lanes run across
// neighbouring values of a row, so both passes walk memory row by row.
//
// - SSE2 (every processor the plug-in runs on): two double lanes.
// - AVX2 with FMA, behind a processor check: four double lanes, and in the
//   horizontal pass eight float lanes with single-precision fused adds
//   where BlurTaps::horizontal_fused_exact proves them exact.
//
// GCC and Clang compile the AVX2 functions through target attributes, so the
// rest of the module stays at the baseline instruction set; MSVC accepts the
// intrinsics as they are.
#include "filters/unsharp_mask_rows.h"

#if defined(__x86_64__) || defined(_M_X64) || (defined(__i386__) && defined(__SSE2__)) || \
    (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define CHROMALINE_BLUR_X86 1
#include <immintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define CHROMALINE_TARGET_AVX2
#define CHROMALINE_UNROLL
#else
#define CHROMALINE_TARGET_AVX2 __attribute__((target("avx2,fma")))
#define CHROMALINE_UNROLL _Pragma("GCC unroll 16")
#endif
#endif

namespace {

#if defined(CHROMALINE_BLUR_X86)

// Accumulators per block: enough independent sums to hide the latency of
// the add-and-round chain, few enough to stay in registers (eight vector
// registers in 32-bit code, sixteen in 64-bit code).
#if defined(__x86_64__) || defined(_M_X64)
constexpr int kBlocks = 8;
#else
constexpr int kBlocks = 4;
#endif

// ---- SSE2: two double lanes ------------------------------------------------

inline __m128d LoadTwo(const float* p) {
  return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

inline __m128d RoundToFloat(__m128d sum) { return _mm_cvtps_pd(_mm_cvtpd_ps(sum)); }

inline void StoreTwo(__m128d sum, float* out) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_castps_si128(_mm_cvtpd_ps(sum)));
}

inline void StoreTwoBytes(__m128d sum, unsigned char* out) {
  const __m128i whole = _mm_cvttpd_epi32(sum);
  out[0] = static_cast<unsigned char>(_mm_cvtsi128_si32(whole) & 0xFF);
  out[1] = static_cast<unsigned char>(_mm_cvtsi128_si32(_mm_srli_si128(whole, 4)) & 0xFF);
}

void HorizontalRowSse2(const BlurTaps& taps, const float* padded, int values, float* out) {
  int i = 0;
  for (; i + 2 * kBlocks <= values; i += 2 * kBlocks) {
    __m128d sum[kBlocks];
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = _mm_setzero_pd();
    for (int j = 0; j < taps.count; ++j) {
      const __m128d w = _mm_set1_pd(taps.weights[j]);
      const float* p = padded + i + taps.columns[j];
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) {
        sum[k] = RoundToFloat(_mm_add_pd(sum[k], _mm_mul_pd(LoadTwo(p + 2 * k), w)));
      }
    }
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) StoreTwo(sum[k], out + i + 2 * k);
  }
  if (i < values) HorizontalRowGeneric(taps, padded + i, values - i, out + i);
}

void VerticalBandSse2(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows) {
  for (int r = 0; r < out_rows; ++r) {
    const float* const* rows = window + r;
    int i = first;
    for (; i + 2 * kBlocks <= last; i += 2 * kBlocks) {
      __m128d sum[kBlocks];
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = _mm_setzero_pd();
      for (int j = 0; j < taps.count; ++j) {
        const __m128d w = _mm_set1_pd(taps.weights[j]);
        const float* p = rows[taps.rows[j]] + i;
        CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) {
          sum[k] = RoundToFloat(_mm_add_pd(sum[k], _mm_mul_pd(LoadTwo(p + 2 * k), w)));
        }
      }
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) StoreTwoBytes(sum[k], dest_rows[r] + i + 2 * k);
    }
    if (i < last) VerticalBandGeneric(taps, window + r, 1, i, last, dest_rows + r);
  }
}

// ---- AVX2 with FMA -----------------------------------------------------------

CHROMALINE_TARGET_AVX2 inline __m256d LoadFour(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }

// One tap on four double lanes: exact product, one rounding to double, one
// to float.
CHROMALINE_TARGET_AVX2 inline __m256d Tap4(__m256d sum, const float* p, __m256d w) {
  return _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_fmadd_pd(LoadFour(p), w, sum)));
}

CHROMALINE_TARGET_AVX2 void HorizontalRowAvx2Double(const BlurTaps& taps, const float* padded, int values,
                                                   float* out) {
  int i = 0;
  for (; i + 4 * kBlocks <= values; i += 4 * kBlocks) {
    __m256d sum[kBlocks];
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = _mm256_setzero_pd();
    for (int j = 0; j < taps.count; ++j) {
      const __m256d w = _mm256_set1_pd(taps.weights[j]);
      const float* p = padded + i + taps.columns[j];
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = Tap4(sum[k], p + 4 * k, w);
    }
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) _mm_storeu_ps(out + i + 4 * k, _mm256_cvtpd_ps(sum[k]));
  }
  if (i < values) HorizontalRowGeneric(taps, padded + i, values - i, out + i);
}

CHROMALINE_TARGET_AVX2 void HorizontalRowAvx2(const BlurTaps& taps, const float* padded, int values, float* out) {
  if (!taps.horizontal_fused_exact) {
    HorizontalRowAvx2Double(taps, padded, values, out);
    return;
  }
  int i = 0;
  for (; i + 8 * kBlocks <= values; i += 8 * kBlocks) {
    __m256 sum[kBlocks];
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = _mm256_setzero_ps();
    for (int j = 0; j < taps.count; ++j) {
      const __m256 w = _mm256_set1_ps(taps.weights[j]);
      const float* p = padded + i + taps.columns[j];
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) {
        sum[k] = _mm256_fmadd_ps(_mm256_loadu_ps(p + 8 * k), w, sum[k]);
      }
    }
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) _mm256_storeu_ps(out + i + 8 * k, sum[k]);
  }
  for (; i + 8 <= values; i += 8) {
    __m256 sum = _mm256_setzero_ps();
    for (int j = 0; j < taps.count; ++j) {
      sum = _mm256_fmadd_ps(_mm256_loadu_ps(padded + i + taps.columns[j]), _mm256_set1_ps(taps.weights[j]), sum);
    }
    _mm256_storeu_ps(out + i, sum);
  }
  if (i < values) HorizontalRowGeneric(taps, padded + i, values - i, out + i);
}

// Four sums to their low eight bits, as bytes.
CHROMALINE_TARGET_AVX2 inline __m128i LowBytes4(__m256d sum) {
  return _mm_and_si128(_mm256_cvttpd_epi32(sum), _mm_set1_epi32(0xFF));
}

CHROMALINE_TARGET_AVX2 void VerticalBandAvx2(const BlurTaps& taps, const float* const* window, int out_rows,
                                            int first, int last, unsigned char* const* dest_rows) {
  static_assert(kBlocks % 4 == 0, "blocks pack four at a time into 16 bytes");
  for (int r = 0; r < out_rows; ++r) {
    const float* const* rows = window + r;
    unsigned char* dest = dest_rows[r];
    int i = first;
    for (; i + 4 * kBlocks <= last; i += 4 * kBlocks) {
      __m256d sum[kBlocks];
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = _mm256_setzero_pd();
      for (int j = 0; j < taps.count; ++j) {
        const __m256d w = _mm256_set1_pd(taps.weights[j]);
        const float* p = rows[taps.rows[j]] + i;
        CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = Tap4(sum[k], p + 4 * k, w);
      }
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; k += 4) {
        const __m128i lo = _mm_packus_epi32(LowBytes4(sum[k]), LowBytes4(sum[k + 1]));
        const __m128i hi = _mm_packus_epi32(LowBytes4(sum[k + 2]), LowBytes4(sum[k + 3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i + 4 * k), _mm_packus_epi16(lo, hi));
      }
    }
    for (; i + 4 <= last; i += 4) {
      __m256d sum = _mm256_setzero_pd();
      for (int j = 0; j < taps.count; ++j) sum = Tap4(sum, rows[taps.rows[j]] + i, _mm256_set1_pd(taps.weights[j]));
      const __m128i bytes = _mm_packus_epi16(_mm_packus_epi32(LowBytes4(sum), _mm_setzero_si128()), _mm_setzero_si128());
      const int packed = _mm_cvtsi128_si32(bytes);
      for (int k = 0; k < 4; ++k) dest[i + k] = static_cast<unsigned char>(packed >> (8 * k));
    }
    if (i < last) VerticalBandGeneric(taps, window + r, 1, i, last, dest_rows + r);
  }
}

bool ProcessorHasAvx2() {
#if defined(_MSC_VER) && !defined(__clang__)
  int info[4];
  __cpuid(info, 0);
  if (info[0] < 7) return false;
  __cpuid(info, 1);
  const bool fma = (info[2] & (1 << 12)) != 0;
  const bool osxsave = (info[2] & (1 << 27)) != 0;
  if (!fma || !osxsave || (_xgetbv(0) & 6) != 6) return false;  // the system saves YMM state
  __cpuidex(info, 7, 0);
  return (info[1] & (1 << 5)) != 0;
#else
  // GCC's check includes the operating system's support for the YMM state.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#endif
}

#endif  // CHROMALINE_BLUR_X86

}  // namespace

bool BlurPathAvailable(BlurPath path) {
  switch (path) {
    case BlurPath::kAuto:
    case BlurPath::kGeneric:
      return true;
#if defined(CHROMALINE_BLUR_X86)
    case BlurPath::kSse2:
      return true;
    case BlurPath::kAvx2: {
      static const bool available = ProcessorHasAvx2();
      return available;
    }
#else
    default:
      return false;
#endif
  }
  return false;
}

BlurRowLoops BlurRowLoopsFor(BlurPath path) {
  if (path == BlurPath::kAuto) {
    path = BlurPathAvailable(BlurPath::kAvx2) ? BlurPath::kAvx2 : BlurPath::kSse2;
  }
  if (!BlurPathAvailable(path)) path = BlurPath::kGeneric;
  switch (path) {
#if defined(CHROMALINE_BLUR_X86)
    case BlurPath::kSse2:
      return {HorizontalRowSse2, VerticalBandSse2};
    case BlurPath::kAvx2:
      return {HorizontalRowAvx2, VerticalBandAvx2};
#endif
    default:
      return {HorizontalRowGeneric, VerticalBandGeneric};
  }
}
