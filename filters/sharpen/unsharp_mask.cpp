// File: filters/sharpen/unsharp_mask.cpp
//
// The sharpening engine: kernel construction, the plain inner loops and
// the sharpening step. The order of the blur's work, its stop queries and
// its threads are in filters/sharpen/unsharp_mask_blur.cpp; the vector loops, chosen
// per processor, in filters/sharpen/unsharp_mask_rows_x86.cpp.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "filters/stages.h"
#include "filters/sharpen/unsharp_mask.h"
#include "filters/sharpen/unsharp_mask_rows.h"
#include "filters/engine/worker_team.h"

namespace {

// Rows per band of the sharpening step when it runs on several threads.
constexpr int kSharpenBandRows = 32;

}  // namespace

bool BlurKernelRadius(double radius, float* narrowed) {
  if (std::isnan(radius)) return false;
  // Negative radii (the engine's own definition breaks down below -2)
  // behave like 0: two taps at offset 0, the picture unchanged.
  if (radius < 0.0) radius = 0.0;
  // Compared in double so that the narrowing below is always defined.
  if (radius >= kMaxBlurTaps / 2) return false;
  *narrowed = static_cast<float>(radius);
  return BlurTapCount(*narrowed) <= kMaxBlurTaps;
}

int BlurTapCount(float radius) {
  const int n = static_cast<int>(std::trunc(static_cast<double>(radius) + 0.999999));
  return 2 * n + 2;
}

void FillBlurKernel(float radius, const BlurKernel& kernel) {
  const int count = kernel.count;
  float* w = kernel.weights;
  const float frac = radius - std::trunc(radius);
  const double c = 0.001 * (static_cast<double>(count) * count) + 0.5;
  const double d = 1.0 / std::sqrt(6.28318530718 * c);
  for (int j = 0; j < count; ++j) {
    const double e = ((j + 2.0) / count - 1.0) * (j - 1) / (2.0 * c);
    w[j] = static_cast<float>(std::pow(d, e));
  }
  // A fractional radius adds two end taps scaled by the fraction.
  if (frac > 0.0f) {
    w[0] *= frac;
    w[count - 1] *= frac;
  }
  double sum = 0.0;
  for (int j = 0; j < count; ++j) sum += w[j];
  const double scale = 1.0 / sum;
  for (int j = 0; j < count; ++j) w[j] = static_cast<float>(w[j] * scale);
  for (int j = 0; j < count; ++j) kernel.offsets[j] = static_cast<int>(std::trunc(j - count / 2 + 0.5));
}

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

void SharpenFromBlur(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                     BlurPath path) {
  SharpenFromBlurOn(source, destination, amount, threshold, path, 1);
}

void SharpenFromBlurOn(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                       BlurPath path, int threads) {
  if (!SameBlurLayout(source, destination)) return;
  SharpenParameters parameters = {amount * 0.01, threshold, nullptr};
  // The result depends only on the pair (O, B): the plain loop looks it up
  // in a table made once per call (or works it out when there is no memory
  // for the table).
  unsigned char* table = static_cast<unsigned char*>(std::malloc(256 * 256));
  if (table != nullptr) {
    for (int o = 0; o < 256; ++o) {
      for (int b = 0; b < 256; ++b) table[o * 256 + b] = SharpenedValue(o, b, parameters.amount, threshold);
    }
  }
  parameters.table = table;
  const SharpenRowLoop sharpen = BlurRowLoopsFor(path).sharpen;
  const size_t values = size_t{3} * static_cast<size_t>(source.width());
  constexpr size_t kPiece = size_t{1} << 30;  // rows beyond int's reach go in pieces
  const int bands = (source.height() + kSharpenBandRows - 1) / kSharpenBandRows;
  RunBands(threads, bands, [&](int band) {
    const int end = std::min(source.height(), (band + 1) * kSharpenBandRows);
    for (int y = band * kSharpenBandRows; y < end; ++y) {
      for (size_t begin = 0; begin < values; begin += kPiece) {
        const int length = static_cast<int>(std::min(kPiece, values - begin));
        sharpen(source.row(y) + begin, destination.row(y) + begin, length, parameters);
      }
    }
  });
  std::free(table);
}

void UnsharpMaskWith(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                     int32_t threshold, const StopQuery& stop, const BlurOptions& options) {
  switch (SeparableBlur(source, destination, radius, stop, options)) {
    case BlurOutcome::kComplete:
      SharpenFromBlurOn(source, destination, amount, threshold, options.path,
                        BlurThreadsFor(source.width(), source.height(), 0.0f, options.threads, options.threaded_work));
      return;
    case BlurOutcome::kStopped:
      return;
    case BlurOutcome::kRefused:
      // The stage is skipped: the destination takes over the picture as it was.
      if (SameBlurLayout(source, destination) && &source != &destination) {
        std::memcpy(destination.pixels(), source.pixels(), source.pixel_bytes());
      }
      return;
  }
}

void UnsharpMask(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                 int32_t threshold, const StopQuery& stop) {
  BlurOptions options;
  options.threads = ThreadCountFromEnvironment();
  UnsharpMaskWith(source, destination, radius, amount, threshold, stop, options);
}
