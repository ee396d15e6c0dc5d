// The inner loops of the separable blur and of the sharpening step: what
// they are handed, and their plain forms (unsharp_mask_rows.cpp). The
// vector forms (unsharp_mask_rows_sse2.cpp, _avx2.cpp, _avx512.cpp) leave
// the ends of their rows to the plain forms; unsharp_mask_dispatch.h picks
// a path's set, and the engine (unsharp_mask_blur.cpp, which owns the order
// of rows, the stop queries and the memory) and the sharpening step
// (unsharp_mask.cpp) run it. Every form performs, for each output value,
// the same taps in the same order with the same rounding: the running sum
// plus value * weight formed in double precision and rounded to float after
// each tap.
#ifndef CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_ROWS_H_
#define CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_ROWS_H_

#include <cstdint>

#include "filters/pixel_buffer.h"

// The kernel as the loops use it.
struct BlurTaps {
  int count;
  const float* weights;
  // Tap j reads padded column value i + columns[j] (3 * (offset + n)).
  const int* columns;
  // Tap j reads window row r + rows[j] (offset + n).
  const int* rows;
  // Every weight is at least 2^-22, so in the horizontal pass (whole
  // source values times weights, sums below 256) each double sum is exact
  // and a single-precision fused multiply-add rounds it the same way.
  bool horizontal_fused_exact;
  // Every weight is at least 2^-63, so no nonzero sum of either pass falls
  // below the smallest normal float, and rounding a double sum to float is
  // rounding it to 24 significant bits: the vector loops do that with an
  // addition and a subtraction instead of two conversions. Otherwise the
  // engine uses the plain loops.
  bool vector_rounding_exact;
};

// One row of the horizontal pass. `padded` holds the source row as floats,
// n pixels of edge repeated on either side; out[i] for i in [0, values),
// float values held in doubles, ready for the vertical pass.
using HorizontalRowLoop = void (*)(const BlurTaps& taps, const float* padded, int values, double* out);

// The vertical pass over `out_rows` rows and the values [first, last) of
// each row. `window[r + taps.rows[j]]` is the intermediate row that tap j
// of output row r reads; the low eight bits of the truncated sum go to
// dest_rows[r][i].
using VerticalBandLoop = void (*)(const BlurTaps& taps, const double* const* window, int out_rows, int first,
                                  int last, unsigned char* const* dest_rows);
// The same with the intermediate rows held as floats.
using VerticalBandFloatLoop = void (*)(const BlurTaps& taps, const float* const* window, int out_rows, int first,
                                       int last, unsigned char* const* dest_rows);

// The sharpening step over one row: `blurred` holds B and receives the
// result. `table`, when not null, holds the result for every (O, B) pair
// at O * 256 + B.
struct SharpenParameters {
  double amount;  // the percentage times 0.01
  int32_t threshold;
  const unsigned char* table;
};
using SharpenRowLoop = void (*)(const unsigned char* original, unsigned char* blurred, int values,
                                const SharpenParameters& parameters);

struct BlurRowLoops {
  HorizontalRowLoop horizontal;
  VerticalBandLoop vertical;
  VerticalBandFloatLoop vertical_float;
  SharpenRowLoop sharpen;
};

// The plain scalar loops.
void HorizontalRowGeneric(const BlurTaps& taps, const float* padded, int values, double* out);
void VerticalBandGeneric(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                         unsigned char* const* dest_rows);
void VerticalBandGeneric(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                         unsigned char* const* dest_rows);
void SharpenRowGeneric(const unsigned char* original, unsigned char* blurred, int values,
                       const SharpenParameters& parameters);

// Two 24-bit buffers of the same positive size.
inline bool SameBlurLayout(const PixelBuffer& a, const PixelBuffer& b) {
  return a && b && a.width() == b.width() && a.height() == b.height() && a.bit_count() == 24 &&
         b.bit_count() == 24 && a.width() > 0 && a.height() > 0;
}

// One tap of either pass: the sum in double, rounded back to float.
inline float AddTap(float sum, double value, float weight) {
  return static_cast<float>(static_cast<double>(sum) + value * static_cast<double>(weight));
}

// The sharpening of one channel value; d = O - B.
inline unsigned char SharpenedValue(int original, int blurred, double amount, int32_t threshold) {
  const int d = original - blurred;
  if ((d < 0 ? -d : d) <= threshold) return static_cast<unsigned char>(original);
  const double v = original + amount * d;
  if (v >= 255.0) return 255;
  if (v <= 0.0) return 0;
  return static_cast<unsigned char>(static_cast<int>(v));
}

#endif  // CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_ROWS_H_
