// The SSE2 forms of the blur's inner loops: two double lanes, the loops of
// unsharp_mask_rows_lanes.h over SSE2's lanes. SSE2 is the baseline of
// every processor the plug-in runs on, so these need no target attribute.
// There is no single-precision horizontal loop (without a fused
// multiply-add the float product would round), and the sharpening step
// stays the plain one: its table beats two lanes of arithmetic.
#include "filters/sharpen/unsharp_mask_rows_vector.h"

#if defined(CHROMALINE_BLUR_X86)

#define CHROMALINE_LANES_TARGET
#include "filters/sharpen/unsharp_mask_rows_lanes.h"

namespace {

struct Sse2Lanes {
  using V = __m128d;
  static constexpr int kLanes = 2;
  static constexpr int kFloatLanes = 0;

  static V Zero() { return _mm_setzero_pd(); }
  static V Set(double x) { return _mm_set1_pd(x); }
  static V Load(const double* p) { return _mm_loadu_pd(p); }
  static V Load(const float* p) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
  }
  static void Store(double* p, V x) { _mm_storeu_pd(p, x); }
  static V MulAdd(V x, V w, V sum) { return _mm_add_pd(sum, _mm_mul_pd(x, w)); }
  static V RoundToFloat(V sum) {
    const V c = _mm_mul_pd(sum, _mm_set1_pd(kSplitter));
    return _mm_sub_pd(c, _mm_sub_pd(c, sum));
  }
  static void StoreLowBytes(V sum, unsigned char* out) {
    const __m128i whole = _mm_cvttpd_epi32(sum);
    out[0] = static_cast<unsigned char>(_mm_cvtsi128_si32(whole) & 0xFF);
    out[1] = static_cast<unsigned char>(_mm_cvtsi128_si32(_mm_srli_si128(whole, 4)) & 0xFF);
  }
};

using Sse2Shape = BlockShape<kVectorRegisters>;

}  // namespace

void HorizontalRowSse2(const BlurTaps& taps, const float* padded, int values, double* out) {
  HorizontalRow<Sse2Lanes, Sse2Shape>(taps, padded, values, out);
}

void VerticalBandSse2(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows) {
  VerticalBand<Sse2Lanes, Sse2Shape>(taps, window, out_rows, first, last, dest_rows);
}

void VerticalBandSse2(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows) {
  VerticalBand<Sse2Lanes, Sse2Shape>(taps, window, out_rows, first, last, dest_rows);
}

#endif  // CHROMALINE_BLUR_X86
