// Literal reference of the sharpening engine; see the header. Slow on
// purpose: nothing here is reordered, vectorised or cached.
#include "tests/support/reference_unsharp_mask.h"

#include <cmath>
#include <cstdlib>

namespace {

int Clamp(int v, int low, int high) { return v < low ? low : (v > high ? high : v); }

}  // namespace

ReferenceKernel ReferenceBlurKernel(float radius) {
  // 1. n from the radius plus 0.999999, in double, truncated.
  const int n = static_cast<int>(std::trunc(static_cast<double>(radius) + 0.999999));
  // 2. the tap count.
  const int count = 2 * n + 2;
  // 3. the fractional part, a float.
  const float frac = radius - std::trunc(radius);
  // 4. c and D.
  const double c = 0.001 * (count * count) + 0.5;
  const double D = 1.0 / std::sqrt(6.28318530718 * c);
  // 5. the raw weights D^E(j).
  ReferenceKernel kernel;
  kernel.weights.resize(count);
  kernel.offsets.resize(count);
  for (int j = 0; j < count; ++j) {
    const double E = ((j + 2) / static_cast<double>(count) - 1) * (j - 1) / (2 * c);
    kernel.weights[j] = static_cast<float>(std::pow(D, E));
  }
  // 6. the end taps scaled by the fraction.
  if (frac > 0) {
    kernel.weights[0] = kernel.weights[0] * frac;
    kernel.weights[count - 1] = kernel.weights[count - 1] * frac;
  }
  // 7. normalisation by the double sum.
  double S = 0;
  for (int j = 0; j < count; ++j) S = S + kernel.weights[j];
  for (int j = 0; j < count; ++j) kernel.weights[j] = static_cast<float>(kernel.weights[j] * (1 / S));
  // 8. the offsets.
  for (int j = 0; j < count; ++j) kernel.offsets[j] = static_cast<int>(std::trunc(j - count / 2 + 0.5));
  return kernel;
}

bool ReferenceSeparableBlur(const PixelBuffer& source, PixelBuffer& destination, double radius,
                            const StopQuery& stop) {
  const ReferenceKernel kernel = ReferenceBlurKernel(static_cast<float>(radius));
  const int count = static_cast<int>(kernel.weights.size());
  const int W = source.width();
  const int H = source.height();
  std::vector<float> intermediate(static_cast<size_t>(W) * H * 3, 0.0f);
  auto at = [&](int y, int x, int channel) -> float& {
    return intermediate[(static_cast<size_t>(y) * W + x) * 3 + channel];
  };

  // Horizontal pass: source -> intermediate.
  for (int y = 0; y < H; ++y) {
    const unsigned char* row = source.row(y);
    for (int x = 0; x < W; ++x) {
      for (int j = 0; j < count; ++j) {
        const int sx = Clamp(x + kernel.offsets[j], 0, W - 1);
        for (int channel = 0; channel < 3; ++channel) {
          const double sum = static_cast<double>(at(y, x, channel)) +
                             static_cast<double>(row[sx * 3 + channel]) * static_cast<double>(kernel.weights[j]);
          at(y, x, channel) = static_cast<float>(sum);
        }
      }
    }
    if (stop.ShouldStop()) return true;
  }

  // Vertical pass: intermediate -> destination, column by column.
  for (int x = 0; x < W; ++x) {
    for (int y = 0; y < H; ++y) {
      float accumulator[3] = {0.0f, 0.0f, 0.0f};
      for (int j = 0; j < count; ++j) {
        const int sy = Clamp(y + kernel.offsets[j], 0, H - 1);
        for (int channel = 0; channel < 3; ++channel) {
          const double sum = static_cast<double>(accumulator[channel]) +
                             static_cast<double>(at(sy, x, channel)) * static_cast<double>(kernel.weights[j]);
          accumulator[channel] = static_cast<float>(sum);
        }
      }
      for (int channel = 0; channel < 3; ++channel) {
        destination.row(y)[x * 3 + channel] = static_cast<unsigned char>(static_cast<int>(accumulator[channel]));
      }
    }
    if (stop.ShouldStop()) return true;
  }
  return false;
}

unsigned char ReferenceSharpen(int O, int B, int32_t amount, int32_t threshold) {
  const double a = amount * 0.01;
  const int d = O - B;
  if (std::abs(d) <= threshold) return static_cast<unsigned char>(O);
  const double v = O + a * d;
  if (v >= 255) return 255;
  if (v <= 0) return 0;
  return static_cast<unsigned char>(static_cast<int>(v));
}

void ReferenceUnsharpMask(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                          int32_t threshold, const StopQuery& stop) {
  if (ReferenceSeparableBlur(source, destination, radius, stop)) return;
  for (int y = 0; y < source.height(); ++y) {
    for (int x = 0; x < source.width(); ++x) {
      for (int channel = 0; channel < 3; ++channel) {
        const int O = source.row(y)[x * 3 + channel];
        const int B = destination.row(y)[x * 3 + channel];
        destination.row(y)[x * 3 + channel] = ReferenceSharpen(O, B, amount, threshold);
      }
    }
  }
}
