// The AVX-512 forms (F, DQ, VL) of the blur's inner loops and of the
// sharpening step: the loops of unsharp_mask_rows_lanes.h over eight double
// lanes (sixteen float lanes in the horizontal pass where single precision
// is exact), with the sums in registers where 64-bit code has 32 of them.
// Built through target attributes (filters/engine/cpu_targets.h) and run
// only where CpuPath::kAvx512 is allowed. The tests run the same loops, in
// the same block shapes, over plain eight-lane arrays on every processor.
//
// (The masked intrinsics with all lanes set or an explicit zero source keep
// GCC 12's headers free of uninitialised values.)
#include "filters/sharpen/unsharp_mask_rows_vector.h"

#include "filters/engine/cpu_targets.h"

#if defined(CHROMALINE_BLUR_X86)

#define CHROMALINE_LANES_TARGET CHROMALINE_TARGET_AVX512
#include "filters/sharpen/unsharp_mask_rows_lanes.h"

namespace {

struct Avx512Lanes {
  using V = __m512d;
  using F = __m512;
  static constexpr int kLanes = 8;
  static constexpr int kFloatLanes = 16;

  CHROMALINE_TARGET_AVX512 static V Zero() { return _mm512_setzero_pd(); }
  CHROMALINE_TARGET_AVX512 static V Set(double x) { return _mm512_set1_pd(x); }
  CHROMALINE_TARGET_AVX512 static V Load(const double* p) { return _mm512_loadu_pd(p); }
  CHROMALINE_TARGET_AVX512 static V Load(const float* p) { return Widen(_mm256_loadu_ps(p)); }
  CHROMALINE_TARGET_AVX512 static void Store(double* p, V x) { _mm512_storeu_pd(p, x); }
  CHROMALINE_TARGET_AVX512 static V MulAdd(V x, V w, V sum) { return _mm512_fmadd_pd(x, w, sum); }
  CHROMALINE_TARGET_AVX512 static V RoundToFloat(V sum) {
    const V c = _mm512_mul_pd(sum, _mm512_set1_pd(kSplitter));
    return _mm512_sub_pd(c, _mm512_sub_pd(c, sum));
  }
  CHROMALINE_TARGET_AVX512 static void StoreLowBytes(V sum, unsigned char* out) {
    const __m256i whole = _mm512_mask_cvttpd_epi32(_mm256_setzero_si256(), 0xFF, sum);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_mask_cvtepi32_epi8(_mm_setzero_si128(), 0xFF, whole));
  }

  CHROMALINE_TARGET_AVX512 static V LoadBytes(const unsigned char* p) {
    return _mm512_maskz_cvtepi32_pd(0xFF,
                                    _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
  }
  CHROMALINE_TARGET_AVX512 static void StoreBytes(V x, unsigned char* out) { StoreLowBytes(x, out); }
  CHROMALINE_TARGET_AVX512 static V Add(V a, V b) { return _mm512_add_pd(a, b); }
  CHROMALINE_TARGET_AVX512 static V Sub(V a, V b) { return _mm512_sub_pd(a, b); }
  CHROMALINE_TARGET_AVX512 static V Mul(V a, V b) { return _mm512_mul_pd(a, b); }
  CHROMALINE_TARGET_AVX512 static V Min(V a, V b) { return _mm512_maskz_min_pd(0xFF, a, b); }
  CHROMALINE_TARGET_AVX512 static V Max(V a, V b) { return _mm512_maskz_max_pd(0xFF, a, b); }
  CHROMALINE_TARGET_AVX512 static V Sharpened(V d, V threshold, V original, V value) {
    return _mm512_mask_blend_pd(_mm512_cmp_pd_mask(_mm512_abs_pd(d), threshold, _CMP_GT_OQ), original, value);
  }

  CHROMALINE_TARGET_AVX512 static F FloatZero() { return _mm512_setzero_ps(); }
  CHROMALINE_TARGET_AVX512 static F FloatSet(float x) { return _mm512_set1_ps(x); }
  CHROMALINE_TARGET_AVX512 static F FloatLoad(const float* p) { return _mm512_loadu_ps(p); }
  CHROMALINE_TARGET_AVX512 static F FloatMulAdd(F x, F w, F sum) { return _mm512_fmadd_ps(x, w, sum); }
  CHROMALINE_TARGET_AVX512 static void StoreFloatsAsDoubles(F x, double* out) {
    _mm512_storeu_pd(out, Widen(_mm512_mask_extractf32x8_ps(_mm256_setzero_ps(), 0xFF, x, 0)));
    _mm512_storeu_pd(out + 8, Widen(_mm512_mask_extractf32x8_ps(_mm256_setzero_ps(), 0xFF, x, 1)));
  }

  CHROMALINE_TARGET_AVX512 static V Widen(__m256 floats) {
    return _mm512_mask_cvtps_pd(_mm512_setzero_pd(), 0xFF, floats);
  }
};

using Avx512Shape = BlockShape<kVectorRegistersAvx512>;

}  // namespace

CHROMALINE_TARGET_AVX512 void HorizontalRowAvx512(const BlurTaps& taps, const float* padded, int values,
                                                  double* out) {
  HorizontalRow<Avx512Lanes, Avx512Shape>(taps, padded, values, out);
}

CHROMALINE_TARGET_AVX512 void VerticalBandAvx512(const BlurTaps& taps, const double* const* window, int out_rows,
                                                 int first, int last, unsigned char* const* dest_rows) {
  VerticalBand<Avx512Lanes, Avx512Shape>(taps, window, out_rows, first, last, dest_rows);
}

CHROMALINE_TARGET_AVX512 void VerticalBandAvx512(const BlurTaps& taps, const float* const* window, int out_rows,
                                                 int first, int last, unsigned char* const* dest_rows) {
  VerticalBand<Avx512Lanes, Avx512Shape>(taps, window, out_rows, first, last, dest_rows);
}

CHROMALINE_TARGET_AVX512 void SharpenRowAvx512(const unsigned char* original, unsigned char* blurred, int values,
                                               const SharpenParameters& parameters) {
  SharpenRow<Avx512Lanes>(original, blurred, values, parameters);
}

#endif  // CHROMALINE_BLUR_X86
