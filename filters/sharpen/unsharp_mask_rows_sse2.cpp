// The SSE2 forms of the blur's inner loops: two double lanes, every tap
// added in double and rounded to float in the lanes (RoundToFloat), the
// sums of a chunk of values kept in memory. SSE2 is the baseline of every
// processor the plug-in runs on, so these need no target attribute. The sharpening step has no SSE2 form: the
// plain one runs on this path.
#include "filters/sharpen/unsharp_mask_rows_vector.h"

#if defined(CHROMALINE_BLUR_X86)

namespace {

inline __m128d RoundToFloat(__m128d sum) {
  const __m128d c = _mm_mul_pd(sum, _mm_set1_pd(kSplitter));
  return _mm_sub_pd(c, _mm_sub_pd(c, sum));
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

// Values per chunk: the chunk's sums stay in memory (2 kB, in the first
// level cache) and each tap sweeps the whole chunk, so that every vector is
// an independent chain and the add-and-round latency never stalls the
// loop, whatever the number of registers.
constexpr int kChunk = 256;

// The sums of `vectors` pairs of values for every tap, into `sums`; tap j
// reads the pairs from row(j).
template <typename RowOfTap>
void ChunkSums(const BlurTaps& taps, RowOfTap row, int vectors, double* sums) {
  for (int v = 0; v < vectors; ++v) _mm_storeu_pd(sums + 2 * v, _mm_setzero_pd());
  for (int j = 0; j < taps.count; ++j) {
    const __m128d w = _mm_set1_pd(taps.weights[j]);
    const auto* p = row(j);
    CHROMALINE_UNROLL_4 for (int v = 0; v < vectors; ++v) {
      const __m128d sum = _mm_add_pd(_mm_loadu_pd(sums + 2 * v), _mm_mul_pd(LoadTwo(p + 2 * v), w));
      _mm_storeu_pd(sums + 2 * v, RoundToFloat(sum));
    }
  }
}

template <typename Row>
void VerticalBandRows(const BlurTaps& taps, const Row* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows) {
  double sums[kChunk];
  for (int r = 0; r < out_rows; ++r) {
    const Row* const* rows = window + r;
    for (int begin = first; begin < last; begin += kChunk) {
      const int end = last - begin < kChunk ? last : begin + kChunk;
      const int vectors = (end - begin) / 2;
      ChunkSums(
          taps, [&](int j) { return rows[taps.rows[j]] + begin; }, vectors, sums);
      for (int v = 0; v < vectors; ++v) StoreTwoBytes(_mm_loadu_pd(sums + 2 * v), dest_rows[r] + begin + 2 * v);
      if (begin + 2 * vectors < end) VerticalBandGeneric(taps, rows, 1, begin + 2 * vectors, end, dest_rows + r);
    }
  }
}

}  // namespace

void HorizontalRowSse2(const BlurTaps& taps, const float* padded, int values, double* out) {
  for (int begin = 0; begin < values; begin += kChunk) {
    const int end = values - begin < kChunk ? values : begin + kChunk;
    const int vectors = (end - begin) / 2;
    ChunkSums(
        taps, [&](int j) { return padded + begin + taps.columns[j]; }, vectors, out + begin);
    const int done = begin + 2 * vectors;
    if (done < end) HorizontalRowGeneric(taps, padded + done, end - done, out + done);
  }
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
