// File: filters/sharpen/unsharp_mask_rows_sse2.cpp
//
// The SSE2 forms of the blur's inner loops: two double lanes, every tap
// added in double and rounded to float in the lanes (RoundToFloat). SSE2 is
// the baseline of every processor the plug-in runs on, so these need no
// target attribute. The sharpening step has no SSE2 form: the plain one
// runs on this path.
#include "filters/sharpen/unsharp_mask_rows_vector.h"

#if defined(CHROMALINE_BLUR_X86)

namespace {

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

inline __m128d LoadTwo(const double* p) { return _mm_loadu_pd(p); }
inline __m128d LoadTwo(const float* p) { return LoadTwoFloats(p); }

template <typename Row>
void VerticalBandRows(const BlurTaps& taps, const Row* const* window, int out_rows, int first, int last,
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

}  // namespace

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

void VerticalBandSse2(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows) {
  VerticalBandRows(taps, window, out_rows, first, last, dest_rows);
}

void VerticalBandSse2(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows) {
  VerticalBandRows(taps, window, out_rows, first, last, dest_rows);
}

#endif  // CHROMALINE_BLUR_X86
