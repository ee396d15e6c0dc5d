// The plain inner loops of the blur and the sharpening step: the reference
// every vector form matches bit for bit, the path of processors without
// one, and the end of every row that a vector form leaves over. They call
// nothing of the engine but the inline pieces of unsharp_mask_rows.h.
#include "filters/sharpen/unsharp_mask_rows.h"

void HorizontalRowGeneric(const BlurTaps& taps, const float* padded, int values, double* out) {
  for (int i = 0; i < values; ++i) {
    float sum = 0.0f;
    for (int j = 0; j < taps.count; ++j) sum = AddTap(sum, padded[i + taps.columns[j]], taps.weights[j]);
    out[i] = sum;
  }
}

namespace {

template <typename Row>
void VerticalBandPlain(const BlurTaps& taps, const Row* const* window, int out_rows, int first, int last,
                       unsigned char* const* dest_rows) {
  for (int r = 0; r < out_rows; ++r) {
    for (int i = first; i < last; ++i) {
      float sum = 0.0f;
      for (int j = 0; j < taps.count; ++j) sum = AddTap(sum, window[r + taps.rows[j]][i], taps.weights[j]);
      dest_rows[r][i] = static_cast<unsigned char>(static_cast<int>(sum) & 0xFF);
    }
  }
}

}  // namespace

void VerticalBandGeneric(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                         unsigned char* const* dest_rows) {
  VerticalBandPlain(taps, window, out_rows, first, last, dest_rows);
}

void VerticalBandGeneric(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                         unsigned char* const* dest_rows) {
  VerticalBandPlain(taps, window, out_rows, first, last, dest_rows);
}

void SharpenRowGeneric(const unsigned char* original, unsigned char* blurred, int values,
                       const SharpenParameters& parameters) {
  if (parameters.table != nullptr) {
    for (int i = 0; i < values; ++i) blurred[i] = parameters.table[original[i] * 256 + blurred[i]];
  } else {
    for (int i = 0; i < values; ++i) {
      blurred[i] = SharpenedValue(original[i], blurred[i], parameters.amount, parameters.threshold);
    }
  }
}
