// The AVX-512 forms (F, DQ, VL) of the blur's inner loops, built through
// target attributes (filters/engine/cpu_targets.h) and run only where
// CpuPath::kAvx512 is allowed: eight double and sixteen float lanes, and
// more sums in flight than AVX2 can hold. The horizontal pass leaves the
// end of a row, and rows where single precision is not exact, to the AVX2
// loops; the sharpening step is AVX2's.
#include "filters/sharpen/unsharp_mask_rows_vector.h"

#include "filters/engine/cpu_targets.h"

#if defined(CHROMALINE_BLUR_X86)

namespace {

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
CHROMALINE_TARGET_AVX512 void VerticalBandRows(const BlurTaps& taps, const Row* const* window, int out_rows,
                                               int first, int last, unsigned char* const* dest_rows) {
  for (int r = 0; r < out_rows; ++r) {
    const Row* const* rows = window + r;
    unsigned char* dest = dest_rows[r];
    int i = first;
    for (; i + 8 * kStripVectors <= last; i += 8 * kStripVectors)
      VerticalBlockAvx512<kStripVectors>(taps, rows, i, dest);
    for (; i + 64 <= last; i += 64) VerticalBlockAvx512<8>(taps, rows, i, dest);
    for (; i + 8 <= last; i += 8) VerticalBlockAvx512<1>(taps, rows, i, dest);
    if (i < last) VerticalBandGeneric(taps, rows, 1, i, last, dest_rows + r);
  }
}
#else
template <typename Row>
CHROMALINE_TARGET_AVX512 void VerticalBandRows(const BlurTaps& taps, const Row* const* window, int out_rows,
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

}  // namespace

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

CHROMALINE_TARGET_AVX512 void VerticalBandAvx512(const BlurTaps& taps, const double* const* window, int out_rows,
                                                 int first, int last, unsigned char* const* dest_rows) {
  VerticalBandRows(taps, window, out_rows, first, last, dest_rows);
}

CHROMALINE_TARGET_AVX512 void VerticalBandAvx512(const BlurTaps& taps, const float* const* window, int out_rows,
                                                 int first, int last, unsigned char* const* dest_rows) {
  VerticalBandRows(taps, window, out_rows, first, last, dest_rows);
}

#endif  // CHROMALINE_BLUR_X86
