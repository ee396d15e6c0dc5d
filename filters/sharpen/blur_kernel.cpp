// The blur kernel: Gaussian-shaped weights in double precision, narrowed to
// float, the two end taps scaled by the radius's fraction, and the whole
// normalised to sum to one.
#include "filters/sharpen/blur_kernel.h"

#include <cmath>

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
