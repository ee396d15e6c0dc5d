// File: filters/sharpen/unsharp_mask_rows_x86.cpp
//
// Vector versions of the blur's inner loops, chosen at run time. They keep
// the plain loops' arithmetic exactly: each lane holds one output value and
// performs that value's taps in order, the sum formed in double precision
// and rounded to float after every tap (a double fused multiply-add is
// exact here because a float times a float fits a double). Lanes run across
// neighbouring values of a row, so both passes walk memory row by row.
//
// The vertical loops read intermediate rows held as doubles or, where the
// picture is too large for a ring of doubles, as floats widened on load.
//
// - SSE2 (every processor the plug-in runs on): two double lanes.
// - AVX2 with FMA, behind a processor check: four double lanes, and in the
//   horizontal pass eight float lanes with single-precision fused adds
//   where BlurTaps::horizontal_fused_exact proves them exact; the
//   sharpening step in double lanes too.
// - AVX-512 (F, DQ, VL), behind a processor check: the same with eight
//   double and sixteen float lanes; more sums in flight than AVX2 can hold.
//
// GCC and Clang compile the AVX2 functions through target attributes, so the
// rest of the module stays at the baseline instruction set; MSVC accepts the
// intrinsics as they are.
#include "filters/sharpen/unsharp_mask_rows.h"

#include <cstdint>

#include "filters/engine/cpu_paths.h"

#if defined(__x86_64__) || defined(_M_X64) || (defined(__i386__) && defined(__SSE2__)) || \
    (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define CHROMALINE_BLUR_X86 1
#include <immintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define CHROMALINE_TARGET_AVX2
#define CHROMALINE_TARGET_AVX512
#define CHROMALINE_UNROLL
#define CHROMALINE_UNROLL_4
#define CHROMALINE_UNROLL_ALL
#define CHROMALINE_OPAQUE(pointer)
#else
#define CHROMALINE_TARGET_AVX2 __attribute__((target("avx2,fma")))
#define CHROMALINE_TARGET_AVX512 __attribute__((target("avx512f,avx512dq,avx512vl,avx2,fma")))
#define CHROMALINE_UNROLL _Pragma("GCC unroll 16")
#define CHROMALINE_UNROLL_4 _Pragma("GCC unroll 4")
#define CHROMALINE_UNROLL_ALL _Pragma("GCC unroll 32")
// Keeps the compiler from splitting a row pointer into a base and one
// offset register per vector, which spills with 24 vectors.
#define CHROMALINE_OPAQUE(pointer) __asm__("" : "+r"(pointer))
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

// Rounding a double sum to float without leaving double lanes: with E the
// sum's binary exponent, M = 1.5 * 2^(E + 29) has a unit in the last place
// of 2^(E - 23), a float's at exponent E, so (sum + M) - M rounds the sum
// to float precision, ties to even (M is an even number of those units),
// and the subtraction is exact. M's bits are the sum's exponent bits plus
// 29 in the exponent and the top mantissa bit. Valid for sums of zero or
// at least the smallest normal float (BlurTaps::vector_rounding_exact).
constexpr int64_t kExponentBits = 0x7FF0000000000000;
constexpr int64_t kMagicOffset = 0x01D8000000000000;  // (29 << 52) | (1 << 51)
constexpr int64_t kTopMantissaBit = int64_t{1} << 51;

// ---- SSE2: two double lanes ------------------------------------------------

inline __m128d RoundToFloat(__m128d sum) {
  const __m128i exponent = _mm_and_si128(_mm_castpd_si128(sum), _mm_set1_epi64x(kExponentBits));
  const __m128d magic = _mm_castsi128_pd(_mm_add_epi64(exponent, _mm_set1_epi64x(kMagicOffset)));
  return _mm_sub_pd(_mm_add_pd(sum, magic), magic);
}

inline __m128d LoadTwoFloats(const float* p) {
  return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

inline void StoreTwoBytes(__m128d sum, unsigned char* out) {
  const __m128i whole = _mm_cvttpd_epi32(sum);
  out[0] = static_cast<unsigned char>(_mm_cvtsi128_si32(whole) & 0xFF);
  out[1] = static_cast<unsigned char>(_mm_cvtsi128_si32(_mm_srli_si128(whole, 4)) & 0xFF);
}

void HorizontalRowSse2(const BlurTaps& taps, const float* padded, int values, double* out) {
  int i = 0;
  for (; i + 2 * kBlocks <= values; i += 2 * kBlocks) {
    __m128d sum[kBlocks];
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = _mm_setzero_pd();
    for (int j = 0; j < taps.count; ++j) {
      const __m128d w = _mm_set1_pd(taps.weights[j]);
      const float* p = padded + i + taps.columns[j];
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) {
        sum[k] = RoundToFloat(_mm_add_pd(sum[k], _mm_mul_pd(LoadTwoFloats(p + 2 * k), w)));
      }
    }
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) _mm_storeu_pd(out + i + 2 * k, sum[k]);
  }
  if (i < values) HorizontalRowGeneric(taps, padded + i, values - i, out + i);
}

inline __m128d LoadTwo(const double* p) { return _mm_loadu_pd(p); }
inline __m128d LoadTwo(const float* p) { return LoadTwoFloats(p); }

template <typename Row>
void VerticalBandSse2(const BlurTaps& taps, const Row* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows) {
  for (int r = 0; r < out_rows; ++r) {
    const Row* const* rows = window + r;
    int i = first;
    for (; i + 2 * kBlocks <= last; i += 2 * kBlocks) {
      __m128d sum[kBlocks];
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = _mm_setzero_pd();
      for (int j = 0; j < taps.count; ++j) {
        const __m128d w = _mm_set1_pd(taps.weights[j]);
        const Row* p = rows[taps.rows[j]] + i;
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

CHROMALINE_TARGET_AVX2 inline __m256d RoundToFloat4(__m256d sum) {
  const __m256i exponent = _mm256_and_si256(_mm256_castpd_si256(sum), _mm256_set1_epi64x(kExponentBits));
  const __m256d magic = _mm256_castsi256_pd(_mm256_add_epi64(exponent, _mm256_set1_epi64x(kMagicOffset)));
  return _mm256_sub_pd(_mm256_add_pd(sum, magic), magic);
}

// One tap on four double lanes: the product is exact, so the fused
// multiply-add rounds once to double, as a separate add would.
CHROMALINE_TARGET_AVX2 inline __m256d Tap4(__m256d sum, const double* p, __m256d w) {
  return RoundToFloat4(_mm256_fmadd_pd(_mm256_loadu_pd(p), w, sum));
}

CHROMALINE_TARGET_AVX2 inline __m256d TapFloats4(__m256d sum, const float* p, __m256d w) {
  return RoundToFloat4(_mm256_fmadd_pd(_mm256_cvtps_pd(_mm_loadu_ps(p)), w, sum));
}

CHROMALINE_TARGET_AVX2 inline __m256d Tap4(__m256d sum, const float* p, __m256d w) { return TapFloats4(sum, p, w); }

CHROMALINE_TARGET_AVX2 void HorizontalRowAvx2Double(const BlurTaps& taps, const float* padded, int values,
                                                   double* out) {
  int i = 0;
  for (; i + 4 * kBlocks <= values; i += 4 * kBlocks) {
    __m256d sum[kBlocks];
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = _mm256_setzero_pd();
    for (int j = 0; j < taps.count; ++j) {
      const __m256d w = _mm256_set1_pd(taps.weights[j]);
      const float* p = padded + i + taps.columns[j];
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = TapFloats4(sum[k], p + 4 * k, w);
    }
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) _mm256_storeu_pd(out + i + 4 * k, sum[k]);
  }
  if (i < values) HorizontalRowGeneric(taps, padded + i, values - i, out + i);
}

CHROMALINE_TARGET_AVX2 inline void StoreEightAsDoubles(__m256 sum, double* out) {
  _mm256_storeu_pd(out, _mm256_cvtps_pd(_mm256_castps256_ps128(sum)));
  _mm256_storeu_pd(out + 4, _mm256_cvtps_pd(_mm256_extractf128_ps(sum, 1)));
}

CHROMALINE_TARGET_AVX2 void HorizontalRowAvx2(const BlurTaps& taps, const float* padded, int values,
                                             double* out) {
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
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) StoreEightAsDoubles(sum[k], out + i + 8 * k);
  }
  for (; i + 8 <= values; i += 8) {
    __m256 sum = _mm256_setzero_ps();
    for (int j = 0; j < taps.count; ++j) {
      sum = _mm256_fmadd_ps(_mm256_loadu_ps(padded + i + taps.columns[j]), _mm256_set1_ps(taps.weights[j]), sum);
    }
    StoreEightAsDoubles(sum, out + i);
  }
  if (i < values) HorizontalRowGeneric(taps, padded + i, values - i, out + i);
}

// Four sums to their low eight bits, as 32-bit integers.
CHROMALINE_TARGET_AVX2 inline __m128i LowBytes4(__m256d sum) {
  return _mm_and_si128(_mm256_cvttpd_epi32(sum), _mm_set1_epi32(0xFF));
}

// Sums live in a small array rather than in registers: for each tap the
// loop sweeps the whole strip, so every vector of the strip is an
// independent chain and the add-and-round latency never stalls it, even
// with the eight vector registers of 32-bit code.
template <typename Row>
CHROMALINE_TARGET_AVX2 void VerticalBandAvx2(const BlurTaps& taps, const Row* const* window, int out_rows,
                                            int first, int last, unsigned char* const* dest_rows) {
  constexpr int kChunk = 256;
  double sums[kChunk];
  for (int r = 0; r < out_rows; ++r) {
    const Row* const* rows = window + r;
    unsigned char* dest = dest_rows[r];
    for (int begin = first; begin < last; begin += kChunk) {
      const int end = last - begin < kChunk ? last : begin + kChunk;
      const int vectors = (end - begin) / 4;
      for (int v = 0; v < vectors; ++v) _mm256_storeu_pd(sums + 4 * v, _mm256_setzero_pd());
      for (int j = 0; j < taps.count; ++j) {
        const __m256d w = _mm256_set1_pd(taps.weights[j]);
        const Row* p = rows[taps.rows[j]] + begin;
        CHROMALINE_UNROLL_4 for (int v = 0; v < vectors; ++v) {
          _mm256_storeu_pd(sums + 4 * v, Tap4(_mm256_loadu_pd(sums + 4 * v), p + 4 * v, w));
        }
      }
      int v = 0;
      for (; v + 4 <= vectors; v += 4) {
        const __m128i lo = _mm_packus_epi32(LowBytes4(_mm256_loadu_pd(sums + 4 * v)),
                                            LowBytes4(_mm256_loadu_pd(sums + 4 * v + 4)));
        const __m128i hi = _mm_packus_epi32(LowBytes4(_mm256_loadu_pd(sums + 4 * v + 8)),
                                            LowBytes4(_mm256_loadu_pd(sums + 4 * v + 12)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + begin + 4 * v), _mm_packus_epi16(lo, hi));
      }
      for (; v < vectors; ++v) {
        const __m128i words = _mm_packus_epi32(LowBytes4(_mm256_loadu_pd(sums + 4 * v)), _mm_setzero_si128());
        const int packed = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
        for (int k = 0; k < 4; ++k) dest[begin + 4 * v + k] = static_cast<unsigned char>(packed >> (8 * k));
      }
      if (begin + 4 * vectors < end) VerticalBandGeneric(taps, rows, 1, begin + 4 * vectors, end, dest_rows + r);
    }
  }
}

// The sharpening step eight values at a time, worked out in double lanes
// exactly as the plain version: v = O + amount * d, clamped, truncated.
CHROMALINE_TARGET_AVX2 inline __m128i SharpenedHalf(__m128i original, __m128i d, __m256d amount) {
  const __m256d v = _mm256_add_pd(_mm256_cvtepi32_pd(original), _mm256_mul_pd(amount, _mm256_cvtepi32_pd(d)));
  const __m256d clamped = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
  return _mm256_cvttpd_epi32(clamped);
}

CHROMALINE_TARGET_AVX2 void SharpenRowAvx2(const unsigned char* original, unsigned char* blurred, int values,
                                          const SharpenParameters& parameters) {
  const __m256d amount = _mm256_set1_pd(parameters.amount);
  const __m256i threshold = _mm256_set1_epi32(parameters.threshold);
  int i = 0;
  for (; i + 8 <= values; i += 8) {
    const __m256i o = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(original + i)));
    const __m256i b = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(blurred + i)));
    const __m256i d = _mm256_sub_epi32(o, b);
    const __m256i sharpen = _mm256_cmpgt_epi32(_mm256_abs_epi32(d), threshold);
    const __m128i lo = SharpenedHalf(_mm256_castsi256_si128(o), _mm256_castsi256_si128(d), amount);
    const __m128i hi = SharpenedHalf(_mm256_extracti128_si256(o, 1), _mm256_extracti128_si256(d, 1), amount);
    const __m256i result = _mm256_blendv_epi8(o, _mm256_set_m128i(hi, lo), sharpen);
    const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(result), _mm256_extracti128_si256(result, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(blurred + i), _mm_packus_epi16(words, words));
  }
  if (i < values) SharpenRowGeneric(original + i, blurred + i, values - i, parameters);
}

// ---- AVX-512 -------------------------------------------------------------------

CHROMALINE_TARGET_AVX512 inline __m512d RoundToFloat8(__m512d sum) {
  const __m512i exponent = _mm512_and_si512(_mm512_castpd_si512(sum), _mm512_set1_epi64(kExponentBits));
  const __m512d magic = _mm512_castsi512_pd(_mm512_add_epi64(exponent, _mm512_set1_epi64(kMagicOffset)));
  return _mm512_sub_pd(_mm512_add_pd(sum, magic), magic);
}

// The same rounding on the multiply-add units: m = 1.5 * 2^E is the sum's
// exponent bits with the top mantissa bit set (one bitwise operation), and
// M = m * 2^29 is added and taken away again by fused multiply-adds, each
// of which rounds exactly as the addition and subtraction above do (m * 2^29
// is exact). Neighbouring vectors alternate between the two forms, so that
// the adders and the multiply-add units share the work. For a zero sum m
// is the subnormal 2^-1023, and the result stays zero.
CHROMALINE_TARGET_AVX512 inline __m512d RoundToFloat8Fused(__m512d sum) {
  // Truth table 0xEA: (sum & exponent bits) | top mantissa bit.
  const __m512d m = _mm512_castsi512_pd(_mm512_ternarylogic_epi64(
      _mm512_castpd_si512(sum), _mm512_set1_epi64(kExponentBits), _mm512_set1_epi64(kTopMantissaBit), 0xEA));
  const __m512d scale = _mm512_set1_pd(536870912.0);  // 2^29
  return _mm512_fnmadd_pd(m, scale, _mm512_fmadd_pd(m, scale, sum));
}

template <bool kFused = false>
CHROMALINE_TARGET_AVX512 inline __m512d Tap8(__m512d sum, const double* p, __m512d w) {
  const __m512d exact = _mm512_fmadd_pd(_mm512_loadu_pd(p), w, sum);
  return kFused ? RoundToFloat8Fused(exact) : RoundToFloat8(exact);
}

// Eight sums to their low eight bits, as bytes. (The masked forms with an
// explicit zero source keep GCC 12's headers free of uninitialised values.)
CHROMALINE_TARGET_AVX512 inline void StoreLowBytes8(__m512d sum, unsigned char* out) {
  const __m256i whole = _mm512_mask_cvttpd_epi32(_mm256_setzero_si256(), 0xFF, sum);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_mask_cvtepi32_epi8(_mm_setzero_si128(), 0xFF, whole));
}

CHROMALINE_TARGET_AVX512 inline __m512d Widen8(__m256 floats) {
  return _mm512_mask_cvtps_pd(_mm512_setzero_pd(), 0xFF, floats);
}

template <bool kFused = false>
CHROMALINE_TARGET_AVX512 inline __m512d Tap8(__m512d sum, const float* p, __m512d w) {
  const __m512d exact = _mm512_fmadd_pd(Widen8(_mm256_loadu_ps(p)), w, sum);
  return kFused ? RoundToFloat8Fused(exact) : RoundToFloat8(exact);
}

CHROMALINE_TARGET_AVX512 void HorizontalRowAvx512(const BlurTaps& taps, const float* padded, int values,
                                                 double* out) {
  if (!taps.horizontal_fused_exact) {
    HorizontalRowAvx2Double(taps, padded, values, out);
    return;
  }
  int i = 0;
  for (; i + 16 * kBlocks <= values; i += 16 * kBlocks) {
    __m512 sum[kBlocks];
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) sum[k] = _mm512_setzero_ps();
    for (int j = 0; j < taps.count; ++j) {
      const __m512 w = _mm512_set1_ps(taps.weights[j]);
      const float* p = padded + i + taps.columns[j];
      CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) {
        sum[k] = _mm512_fmadd_ps(_mm512_loadu_ps(p + 16 * k), w, sum[k]);
      }
    }
    CHROMALINE_UNROLL for (int k = 0; k < kBlocks; ++k) {
      _mm512_storeu_pd(out + i + 16 * k, Widen8(_mm512_mask_extractf32x8_ps(_mm256_setzero_ps(), 0xFF, sum[k], 0)));
      _mm512_storeu_pd(out + i + 16 * k + 8,
                       Widen8(_mm512_mask_extractf32x8_ps(_mm256_setzero_ps(), 0xFF, sum[k], 1)));
    }
  }
  HorizontalRowAvx2(taps, padded + i, values - i, out + i);
}

// Sums of eight lanes stay in registers where there are 32 of them: a
// whole strip row (24 vectors) at a time, so that each tap reads one run of
// the window row, then what is left in eights. 32-bit code, with eight
// registers, keeps the strip's sums in memory as the AVX2 loop does.
#if defined(__x86_64__) || defined(_M_X64)
constexpr int kStripVectors = 24;

template <int kVectors, typename Row>
CHROMALINE_TARGET_AVX512 inline void VerticalBlockAvx512(const BlurTaps& taps, const Row* const* rows, int i,
                                                        unsigned char* dest) {
  __m512d sum[kVectors];
  CHROMALINE_UNROLL_ALL for (int k = 0; k < kVectors; ++k) sum[k] = _mm512_setzero_pd();
  for (int j = 0; j < taps.count; ++j) {
    const __m512d w = _mm512_set1_pd(taps.weights[j]);
    const Row* p = rows[taps.rows[j]] + i;
    CHROMALINE_OPAQUE(p);
    CHROMALINE_UNROLL_ALL for (int k = 0; k + 1 < kVectors; k += 2) {
      sum[k] = Tap8(sum[k], p + 8 * k, w);
      sum[k + 1] = Tap8<true>(sum[k + 1], p + 8 * k + 8, w);
    }
    if (kVectors % 2 != 0) sum[kVectors - 1] = Tap8(sum[kVectors - 1], p + 8 * (kVectors - 1), w);
  }
  CHROMALINE_UNROLL_ALL for (int k = 0; k < kVectors; ++k) StoreLowBytes8(sum[k], dest + i + 8 * k);
}

template <typename Row>
CHROMALINE_TARGET_AVX512 void VerticalBandAvx512(const BlurTaps& taps, const Row* const* window, int out_rows,
                                                int first, int last, unsigned char* const* dest_rows) {
  for (int r = 0; r < out_rows; ++r) {
    const Row* const* rows = window + r;
    unsigned char* dest = dest_rows[r];
    int i = first;
    for (; i + 8 * kStripVectors <= last; i += 8 * kStripVectors) VerticalBlockAvx512<kStripVectors>(taps, rows, i, dest);
    for (; i + 64 <= last; i += 64) VerticalBlockAvx512<8>(taps, rows, i, dest);
    for (; i + 8 <= last; i += 8) VerticalBlockAvx512<1>(taps, rows, i, dest);
    if (i < last) VerticalBandGeneric(taps, rows, 1, i, last, dest_rows + r);
  }
}
#else
template <typename Row>
CHROMALINE_TARGET_AVX512 void VerticalBandAvx512(const BlurTaps& taps, const Row* const* window, int out_rows,
                                                int first, int last, unsigned char* const* dest_rows) {
  constexpr int kChunk = 256;
  double sums[kChunk];
  for (int r = 0; r < out_rows; ++r) {
    const Row* const* rows = window + r;
    unsigned char* dest = dest_rows[r];
    for (int begin = first; begin < last; begin += kChunk) {
      const int end = last - begin < kChunk ? last : begin + kChunk;
      const int vectors = (end - begin) / 8;
      for (int v = 0; v < vectors; ++v) _mm512_storeu_pd(sums + 8 * v, _mm512_setzero_pd());
      for (int j = 0; j < taps.count; ++j) {
        const __m512d w = _mm512_set1_pd(taps.weights[j]);
        const Row* p = rows[taps.rows[j]] + begin;
        CHROMALINE_UNROLL_4 for (int v = 0; v < vectors; ++v) {
          _mm512_storeu_pd(sums + 8 * v, Tap8(_mm512_loadu_pd(sums + 8 * v), p + 8 * v, w));
        }
      }
      for (int v = 0; v < vectors; ++v) StoreLowBytes8(_mm512_loadu_pd(sums + 8 * v), dest + begin + 8 * v);
      if (begin + 8 * vectors < end) VerticalBandGeneric(taps, rows, 1, begin + 8 * vectors, end, dest_rows + r);
    }
  }
}
#endif

#endif  // CHROMALINE_BLUR_X86

}  // namespace

const char* BlurPathName(BlurPath path) {
  switch (path) {
    case BlurPath::kAuto: return "auto";
    case BlurPath::kGeneric: return "generic";
    case BlurPath::kSse2: return "sse2";
    case BlurPath::kAvx2: return "avx2";
    case BlurPath::kAvx512: return "avx512";
  }
  return "?";
}

bool BlurPathAvailable(BlurPath path) {
  switch (path) {
    case BlurPath::kAuto:
    case BlurPath::kGeneric:
      return true;
#if defined(CHROMALINE_BLUR_X86)
    case BlurPath::kSse2:
      return CpuPathAllowed(CpuPath::kSse2);
    case BlurPath::kAvx2:
      return CpuPathAllowed(CpuPath::kAvx2);
    case BlurPath::kAvx512:
      return CpuPathAllowed(CpuPath::kAvx512);
#else
    default:
      return false;
#endif
  }
  return false;
}

BlurRowLoops BlurRowLoopsFor(BlurPath path) {
  if (path == BlurPath::kAuto) {
    path = BlurPathAvailable(BlurPath::kAvx512) ? BlurPath::kAvx512
           : BlurPathAvailable(BlurPath::kAvx2) ? BlurPath::kAvx2
                                                 : BlurPath::kSse2;
  }
  if (!BlurPathAvailable(path)) path = BlurPath::kGeneric;
  switch (path) {
#if defined(CHROMALINE_BLUR_X86)
    case BlurPath::kSse2:
      return {HorizontalRowSse2, VerticalBandSse2<double>, VerticalBandSse2<float>, SharpenRowGeneric};
    case BlurPath::kAvx2:
      return {HorizontalRowAvx2, VerticalBandAvx2<double>, VerticalBandAvx2<float>, SharpenRowAvx2};
    case BlurPath::kAvx512:
      return {HorizontalRowAvx512, VerticalBandAvx512<double>, VerticalBandAvx512<float>, SharpenRowAvx2};
#endif
    default:
      return {HorizontalRowGeneric, VerticalBandGeneric, VerticalBandGeneric, SharpenRowGeneric};
  }
}
