// The AVX2 forms (with FMA) of the blur's inner loops and of the sharpening
// step, built through target attributes (filters/engine/cpu_targets.h) so
// that the rest of the module stays at the baseline instruction set, and
// run only where CpuPath::kAvx2 is allowed. Four double lanes; in the
// horizontal pass eight float lanes with single-precision fused adds where
// BlurTaps::horizontal_fused_exact proves them exact; the sharpening step
// in double lanes too. The vertical loops read intermediate rows held as
// doubles or, where the picture is too large for a ring of doubles, as
// floats widened on load.
#include "filters/sharpen/unsharp_mask_rows_vector.h"

#include "filters/engine/cpu_targets.h"

#if defined(CHROMALINE_BLUR_X86)

namespace {

CHROMALINE_TARGET_AVX2_FMA inline __m256d RoundToFloat4(__m256d sum) {
  const __m256d c = _mm256_mul_pd(sum, _mm256_set1_pd(kSplitter));
  return _mm256_sub_pd(c, _mm256_sub_pd(c, sum));
}

// One tap on four double lanes: the product is exact, so the fused
// multiply-add rounds once to double, as a separate add would.
CHROMALINE_TARGET_AVX2_FMA inline __m256d Tap4(__m256d sum, const double* p, __m256d w) {
  return RoundToFloat4(_mm256_fmadd_pd(_mm256_loadu_pd(p), w, sum));
}

CHROMALINE_TARGET_AVX2_FMA inline __m256d TapFloats4(__m256d sum, const float* p, __m256d w) {
  return RoundToFloat4(_mm256_fmadd_pd(_mm256_cvtps_pd(_mm_loadu_ps(p)), w, sum));
}

CHROMALINE_TARGET_AVX2_FMA inline __m256d Tap4(__m256d sum, const float* p, __m256d w) {
  return TapFloats4(sum, p, w);
}

CHROMALINE_TARGET_AVX2_FMA inline __m256d Load4(const double* p) { return _mm256_loadu_pd(p); }
CHROMALINE_TARGET_AVX2_FMA inline __m256d Load4(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }

CHROMALINE_TARGET_AVX2_FMA inline void StoreEightAsDoubles(__m256 sum, double* out) {
  _mm256_storeu_pd(out, _mm256_cvtps_pd(_mm256_castps256_ps128(sum)));
  _mm256_storeu_pd(out + 4, _mm256_cvtps_pd(_mm256_extractf128_ps(sum, 1)));
}

// Four sums to their low eight bits, as 32-bit integers.
CHROMALINE_TARGET_AVX2_FMA inline __m128i LowBytes4(__m256d sum) {
  return _mm_and_si128(_mm256_cvttpd_epi32(sum), _mm_set1_epi32(0xFF));
}

// One tap of one output row over a chunk: `vectors` sums, kept in memory.
template <typename Row>
CHROMALINE_TARGET_AVX2_FMA inline void TapChunk(const Row* p, float weight, double* sums, int vectors) {
  const __m256d w = _mm256_set1_pd(weight);
  double* const end = sums + 4 * vectors;
  CHROMALINE_UNROLL_4 for (double* s = sums; s != end; s += 4, p += 4) {
    _mm256_storeu_pd(s, RoundToFloat4(_mm256_fmadd_pd(Load4(p), w, _mm256_loadu_pd(s))));
  }
}

// One intermediate row read once for two output rows: tap `upper` of the
// upper row and tap `lower` of the row below, which read the same row.
template <typename Row>
CHROMALINE_TARGET_AVX2_FMA inline void TapChunkTwice(const Row* p, float upper, float lower, double* upper_sums,
                                                     double* lower_sums, int vectors) {
  const __m256d wu = _mm256_set1_pd(upper);
  const __m256d wl = _mm256_set1_pd(lower);
  double* const end = upper_sums + 4 * vectors;
  double* l = lower_sums;
  CHROMALINE_UNROLL_4 for (double* u = upper_sums; u != end; u += 4, l += 4, p += 4) {
    const __m256d x = Load4(p);
    _mm256_storeu_pd(u, RoundToFloat4(_mm256_fmadd_pd(x, wu, _mm256_loadu_pd(u))));
    _mm256_storeu_pd(l, RoundToFloat4(_mm256_fmadd_pd(x, wl, _mm256_loadu_pd(l))));
  }
}

// A chunk's sums to their low eight bits.
CHROMALINE_TARGET_AVX2_FMA inline void StoreLowBytes(const double* sums, int vectors, unsigned char* dest) {
  int v = 0;
  for (; v + 4 <= vectors; v += 4) {
    const __m128i lo =
        _mm_packus_epi32(LowBytes4(_mm256_loadu_pd(sums + 4 * v)), LowBytes4(_mm256_loadu_pd(sums + 4 * v + 4)));
    const __m128i hi = _mm_packus_epi32(LowBytes4(_mm256_loadu_pd(sums + 4 * v + 8)),
                                        LowBytes4(_mm256_loadu_pd(sums + 4 * v + 12)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + 4 * v), _mm_packus_epi16(lo, hi));
  }
  for (; v < vectors; ++v) {
    const __m128i words = _mm_packus_epi32(LowBytes4(_mm256_loadu_pd(sums + 4 * v)), _mm_setzero_si128());
    const int packed = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    for (int k = 0; k < 4; ++k) dest[4 * v + k] = static_cast<unsigned char>(packed >> (8 * k));
  }
}

// Sums live in a small array rather than in registers: for each tap the
// loop sweeps the whole chunk, so every vector of it is an independent
// chain and the add-and-round latency never stalls it, even with the eight
// vector registers of 32-bit code. Output rows go in pairs, step by step:
// at step t the upper row takes its tap t and the lower row its tap t - 1,
// so each row still takes its taps in order, and where both taps read the
// same intermediate row (everywhere but next to a repeated offset) each
// vector of it is loaded once for both.
template <typename Row>
CHROMALINE_TARGET_AVX2_FMA void VerticalBandRows(const BlurTaps& taps, const Row* const* window, int out_rows,
                                                 int first, int last, unsigned char* const* dest_rows) {
  constexpr int kChunk = 256;
  alignas(32) double sums[2][kChunk];
  for (int r = 0; r < out_rows; r += 2) {
    const int rows = out_rows - r < 2 ? 1 : 2;
    for (int begin = first; begin < last; begin += kChunk) {
      const int end = last - begin < kChunk ? last : begin + kChunk;
      const int vectors = (end - begin) / 4;
      for (int q = 0; q < rows; ++q) {
        for (int v = 0; v < vectors; ++v) _mm256_storeu_pd(sums[q] + 4 * v, _mm256_setzero_pd());
      }
      for (int t = 0; t < taps.count + rows - 1; ++t) {
        const Row* upper = t < taps.count ? window[r + taps.rows[t]] + begin : nullptr;
        const Row* lower = rows == 2 && t > 0 ? window[r + 1 + taps.rows[t - 1]] + begin : nullptr;
        if (upper != nullptr && upper == lower) {
          TapChunkTwice(upper, taps.weights[t], taps.weights[t - 1], sums[0], sums[1], vectors);
          continue;
        }
        if (upper != nullptr) TapChunk(upper, taps.weights[t], sums[0], vectors);
        if (lower != nullptr) TapChunk(lower, taps.weights[t - 1], sums[1], vectors);
      }
      for (int q = 0; q < rows; ++q) StoreLowBytes(sums[q], vectors, dest_rows[r + q] + begin);
      if (begin + 4 * vectors < end) {
        VerticalBandGeneric(taps, window + r, rows, begin + 4 * vectors, end, dest_rows + r);
      }
    }
  }
}

// The sharpening step eight values at a time, worked out in double lanes
// exactly as the plain version: v = O + amount * d, clamped, truncated.
CHROMALINE_TARGET_AVX2_FMA inline __m128i SharpenedHalf(__m128i original, __m128i d, __m256d amount) {
  const __m256d v = _mm256_add_pd(_mm256_cvtepi32_pd(original), _mm256_mul_pd(amount, _mm256_cvtepi32_pd(d)));
  const __m256d clamped = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
  return _mm256_cvttpd_epi32(clamped);
}

// Eight float lanes per vector, `kVectors` vectors of sums in registers.
template <int kVectors>
CHROMALINE_TARGET_AVX2_FMA inline void HorizontalFloatBlock(const BlurTaps& taps, const float* padded, double* out) {
  __m256 sum[kVectors];
  CHROMALINE_UNROLL for (int k = 0; k < kVectors; ++k) sum[k] = _mm256_setzero_ps();
  for (int j = 0; j < taps.count; ++j) {
    const __m256 w = _mm256_set1_ps(taps.weights[j]);
    const float* p = padded + taps.columns[j];
    CHROMALINE_UNROLL for (int k = 0; k < kVectors; ++k) {
      sum[k] = _mm256_fmadd_ps(_mm256_loadu_ps(p + 8 * k), w, sum[k]);
    }
  }
  CHROMALINE_UNROLL for (int k = 0; k < kVectors; ++k) StoreEightAsDoubles(sum[k], out + 8 * k);
}

}  // namespace

CHROMALINE_TARGET_AVX2_FMA void HorizontalRowAvx2Double(const BlurTaps& taps, const float* padded, int values,
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

CHROMALINE_TARGET_AVX2_FMA void HorizontalRowAvx2(const BlurTaps& taps, const float* padded, int values,
                                                  double* out) {
  if (!taps.horizontal_fused_exact) {
    HorizontalRowAvx2Double(taps, padded, values, out);
    return;
  }
  int i = 0;
  for (; i + 8 * kFloatBlocks <= values; i += 8 * kFloatBlocks) {
    HorizontalFloatBlock<kFloatBlocks>(taps, padded + i, out + i);
  }
  // The vectors left over go in one block too: one at a time, each would
  // wait for its fused add at every tap. (A strip of 192 values leaves
  // three in 32-bit code, which would otherwise double the pass.)
  const int left = (values - i) / 8;
  switch (left) {
    case 7: HorizontalFloatBlock<7>(taps, padded + i, out + i); break;
    case 6: HorizontalFloatBlock<6>(taps, padded + i, out + i); break;
    case 5: HorizontalFloatBlock<5>(taps, padded + i, out + i); break;
    case 4: HorizontalFloatBlock<4>(taps, padded + i, out + i); break;
    case 3: HorizontalFloatBlock<3>(taps, padded + i, out + i); break;
    case 2: HorizontalFloatBlock<2>(taps, padded + i, out + i); break;
    case 1: HorizontalFloatBlock<1>(taps, padded + i, out + i); break;
    default: break;
  }
  i += 8 * left;
  if (i < values) HorizontalRowGeneric(taps, padded + i, values - i, out + i);
}

CHROMALINE_TARGET_AVX2_FMA void VerticalBandAvx2(const BlurTaps& taps, const double* const* window, int out_rows,
                                                 int first, int last, unsigned char* const* dest_rows) {
  VerticalBandRows(taps, window, out_rows, first, last, dest_rows);
}

CHROMALINE_TARGET_AVX2_FMA void VerticalBandAvx2(const BlurTaps& taps, const float* const* window, int out_rows,
                                                 int first, int last, unsigned char* const* dest_rows) {
  VerticalBandRows(taps, window, out_rows, first, last, dest_rows);
}

CHROMALINE_TARGET_AVX2_FMA void SharpenRowAvx2(const unsigned char* original, unsigned char* blurred, int values,
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

#endif  // CHROMALINE_BLUR_X86
