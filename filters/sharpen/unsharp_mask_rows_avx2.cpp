// The AVX2 forms (with FMA) of the blur's inner loops and of the sharpening
// step: the loops of unsharp_mask_rows_lanes.h over four double lanes (eight
// float lanes in the horizontal pass where BlurTaps::horizontal_fused_exact
// proves single precision exact). Built through target attributes
// (filters/engine/cpu_targets.h), so that the rest of the module stays at
// the baseline instruction set, and run only where CpuPath::kAvx2 is
// allowed.
#include "filters/sharpen/unsharp_mask_rows_vector.h"

#include <cstring>

#include "filters/engine/cpu_targets.h"

#if defined(CHROMALINE_BLUR_X86)

#define CHROMALINE_LANES_TARGET CHROMALINE_TARGET_AVX2_FMA
#include "filters/sharpen/unsharp_mask_rows_lanes.h"

namespace {

struct Avx2Lanes {
  using V = __m256d;
  using F = __m256;
  static constexpr int kLanes = 4;
  static constexpr int kFloatLanes = 8;

  CHROMALINE_TARGET_AVX2_FMA static V Zero() { return _mm256_setzero_pd(); }
  CHROMALINE_TARGET_AVX2_FMA static V Set(double x) { return _mm256_set1_pd(x); }
  CHROMALINE_TARGET_AVX2_FMA static V Load(const double* p) { return _mm256_loadu_pd(p); }
  CHROMALINE_TARGET_AVX2_FMA static V Load(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
  CHROMALINE_TARGET_AVX2_FMA static void Store(double* p, V x) { _mm256_storeu_pd(p, x); }
  // The product is exact, so the fused multiply-add rounds once to double,
  // as a separate add would.
  CHROMALINE_TARGET_AVX2_FMA static V MulAdd(V x, V w, V sum) { return _mm256_fmadd_pd(x, w, sum); }
  CHROMALINE_TARGET_AVX2_FMA static V RoundToFloat(V sum) {
    const V c = _mm256_mul_pd(sum, _mm256_set1_pd(kSplitter));
    return _mm256_sub_pd(c, _mm256_sub_pd(c, sum));
  }
  // The low byte of each truncated lane, picked out of the four integers.
  CHROMALINE_TARGET_AVX2_FMA static void StoreLowBytes(V sum, unsigned char* out) {
    const __m128i low = _mm_shuffle_epi8(_mm256_cvttpd_epi32(sum), _mm_set1_epi32(0x0C080400));
    const int32_t packed = _mm_cvtsi128_si32(low);
    std::memcpy(out, &packed, 4);
  }

  CHROMALINE_TARGET_AVX2_FMA static V LoadBytes(const unsigned char* p) {
    int32_t packed;
    std::memcpy(&packed, p, 4);
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(packed)));
  }
  CHROMALINE_TARGET_AVX2_FMA static void StoreBytes(V x, unsigned char* out) { StoreLowBytes(x, out); }
  CHROMALINE_TARGET_AVX2_FMA static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  CHROMALINE_TARGET_AVX2_FMA static V Sub(V a, V b) { return _mm256_sub_pd(a, b); }
  CHROMALINE_TARGET_AVX2_FMA static V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
  CHROMALINE_TARGET_AVX2_FMA static V Min(V a, V b) { return _mm256_min_pd(a, b); }
  CHROMALINE_TARGET_AVX2_FMA static V Max(V a, V b) { return _mm256_max_pd(a, b); }
  CHROMALINE_TARGET_AVX2_FMA static V Sharpened(V d, V threshold, V original, V value) {
    const V magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), d);
    return _mm256_blendv_pd(original, value, _mm256_cmp_pd(magnitude, threshold, _CMP_GT_OQ));
  }

  CHROMALINE_TARGET_AVX2_FMA static F FloatZero() { return _mm256_setzero_ps(); }
  CHROMALINE_TARGET_AVX2_FMA static F FloatSet(float x) { return _mm256_set1_ps(x); }
  CHROMALINE_TARGET_AVX2_FMA static F FloatLoad(const float* p) { return _mm256_loadu_ps(p); }
  CHROMALINE_TARGET_AVX2_FMA static F FloatMulAdd(F x, F w, F sum) { return _mm256_fmadd_ps(x, w, sum); }
  CHROMALINE_TARGET_AVX2_FMA static void StoreFloatsAsDoubles(F x, double* out) {
    _mm256_storeu_pd(out, _mm256_cvtps_pd(_mm256_castps256_ps128(x)));
    _mm256_storeu_pd(out + 4, _mm256_cvtps_pd(_mm256_extractf128_ps(x, 1)));
  }
};

using Avx2Shape = BlockShape<kVectorRegisters>;

}  // namespace

CHROMALINE_TARGET_AVX2_FMA void HorizontalRowAvx2(const BlurTaps& taps, const float* padded, int values,
                                                  double* out) {
  HorizontalRow<Avx2Lanes, Avx2Shape>(taps, padded, values, out);
}

CHROMALINE_TARGET_AVX2_FMA void VerticalBandAvx2(const BlurTaps& taps, const double* const* window, int out_rows,
                                                 int first, int last, unsigned char* const* dest_rows) {
  VerticalBand<Avx2Lanes, Avx2Shape>(taps, window, out_rows, first, last, dest_rows);
}

CHROMALINE_TARGET_AVX2_FMA void VerticalBandAvx2(const BlurTaps& taps, const float* const* window, int out_rows,
                                                 int first, int last, unsigned char* const* dest_rows) {
  VerticalBand<Avx2Lanes, Avx2Shape>(taps, window, out_rows, first, last, dest_rows);
}

CHROMALINE_TARGET_AVX2_FMA void SharpenRowAvx2(const unsigned char* original, unsigned char* blurred, int values,
                                               const SharpenParameters& parameters) {
  SharpenRow<Avx2Lanes>(original, blurred, values, parameters);
}

#endif  // CHROMALINE_BLUR_X86
