// The point stages written the slow, obvious way. Where the real stages
// turn per-pixel work into tables (or cap values to stay defined), these
// do the arithmetic again for every channel of every pixel.
#include "tests/support/reference_point_stages.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

const double kC = 0.00392156862745098;  // 1/255 as a multiplier

template <typename PixelFunction>
void ForEachPixel(PixelBuffer& buffer, int left, int top, int right, int bottom, PixelFunction f) {
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      unsigned char* p = buffer.row(y) + 3 * x;
      f(p);
    }
  }
}

}  // namespace

uint8_t ReferenceGammaValue(int value, double gamma) {
  if (std::isnan(gamma)) return static_cast<uint8_t>(value);
  if (gamma > 0 && value == 0) return 0;
  double v = std::pow(value * kC, 1.0 / gamma) * 255.0 + 0.5;
  if (!std::isfinite(v) || v > 255.0) return 255;
  return static_cast<uint8_t>(static_cast<int>(v));
}

void ReferenceGamma(PixelBuffer& buffer, double gamma) {
  ForEachPixel(buffer, 0, 0, buffer.width(), buffer.height(), [&](unsigned char* p) {
    for (int c = 0; c < 3; ++c) p[c] = ReferenceGammaValue(p[c], gamma);
  });
}

int ReferenceLevel(int i, int lo, int hi) {
  if (i < lo) return 0;
  if (i >= hi) return 255;
  return static_cast<int>((static_cast<double>(i - lo) / (hi - lo)) * 255.0);
}

void ReferenceAutoLevels(PixelBuffer& buffer, const ImageRegion& region) {
  const int left = region.left < 0 ? 0 : region.left;
  const int top = region.top < 0 ? 0 : region.top;
  const int right = region.right > buffer.width() ? buffer.width() : region.right;
  const int bottom = region.bottom > buffer.height() ? buffer.height() : region.bottom;
  std::vector<int> luminances;
  ForEachPixel(buffer, left, top, right, bottom,
               [&](unsigned char* p) { luminances.push_back((19595 * p[2] + 38470 * p[1] + 7471 * p[0]) >> 16); });
  if (luminances.empty()) return;
  // The first level at which the number of pixels at or below it is
  // strictly above the fraction of all of them.
  std::sort(luminances.begin(), luminances.end());
  auto percentile = [&](float fraction) {
    const double threshold = luminances.size() * static_cast<double>(fraction);
    for (int level = 0; level < 256; ++level) {
      const auto at_or_below = std::upper_bound(luminances.begin(), luminances.end(), level) - luminances.begin();
      if (at_or_below > threshold) return level;
    }
    return 0;
  };
  const int hi = percentile(0.9999f);
  const int lo = percentile(0.0001f);
  if (hi <= lo) return;  // one luminance: nothing to stretch
  ForEachPixel(buffer, left, top, right, bottom, [&](unsigned char* p) {
    for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>(ReferenceLevel(p[c], lo, hi));
  });
}

uint8_t ReferenceGrayLevel(int red, int green, int blue, int32_t red_weight, int32_t green_weight,
                           int32_t blue_weight) {
  int y = (green_weight * green) / 1000 + (blue_weight * blue) / 1000 + (red_weight * red) / 1000;
  if (y > 255) y = 255;
  return static_cast<uint8_t>(y);
}

void ReferenceGrayscale(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight) {
  ForEachPixel(buffer, 0, 0, buffer.width(), buffer.height(), [&](unsigned char* p) {
    p[0] = p[1] = p[2] = ReferenceGrayLevel(p[2], p[1], p[0], red_weight, green_weight, blue_weight);
  });
}

ReferenceColour ReferenceSepiaColour(int level) {
  const int m2 = level <= 120 ? (360 * level + 120) / 240 : level + 120 - (120 * level + 120) / 240;
  const int m1 = 2 * level - m2;
  return {(m2 * 255 + 120) / 240, ((m1 + ((m2 - m1) * 20 + 20) / 40) * 255 + 120) / 240, (m1 * 255 + 120) / 240};
}

int ReferenceSepiaLevel(int red, int green, int blue, int32_t red_weight, int32_t green_weight,
                        int32_t blue_weight) {
  const double kr = red_weight * 0.001, kg = green_weight * 0.001, kb = blue_weight * 0.001;
  double s = (blue * kC) * kb + (red * kC) * kr;
  s = s + (green * kC) * kg;
  int level = static_cast<int>(s * 240);
  if (level > 240) level = 240;
  return level;
}

void ReferenceSepia(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight) {
  ForEachPixel(buffer, 0, 0, buffer.width(), buffer.height(), [&](unsigned char* p) {
    const ReferenceColour colour =
        ReferenceSepiaColour(ReferenceSepiaLevel(p[2], p[1], p[0], red_weight, green_weight, blue_weight));
    p[0] = static_cast<unsigned char>(colour.blue);
    p[1] = static_cast<unsigned char>(colour.green);
    p[2] = static_cast<unsigned char>(colour.red);
  });
}

PixelBuffer RandomBuffer(int width, int height, uint32_t seed, uint8_t padding) {
  PixelBuffer buffer = CreatePixelBuffer(width, height, 24);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < 3 * width; ++i) buffer.row(y)[i] = static_cast<unsigned char>(random() & 0xFF);
    // Padding marked, so that a stage that writes into it is caught.
    for (size_t i = 3 * static_cast<size_t>(width); i < buffer.stride(); ++i) buffer.row(y)[i] = padding;
  }
  return buffer;
}

PixelBuffer UniformBuffer(int width, int height, uint8_t blue, uint8_t green, uint8_t red) {
  PixelBuffer buffer = CreatePixelBuffer(width, height, 24);
  ForEachPixel(buffer, 0, 0, width, height, [&](unsigned char* p) {
    p[0] = blue;
    p[1] = green;
    p[2] = red;
  });
  return buffer;
}

PixelBuffer CopyBuffer(const PixelBuffer& buffer) {
  PixelBuffer copy = CreatePixelBuffer(buffer.width(), buffer.height(), buffer.bit_count());
  std::memcpy(copy.block(), buffer.block(), 40 + buffer.pixel_bytes());
  return copy;
}

std::string FirstDifference(const PixelBuffer& actual, const PixelBuffer& expected) {
  if (std::memcmp(&actual.header(), &expected.header(), sizeof(BitmapInfoHeader)) != 0) return "headers differ";
  for (int y = 0; y < expected.height(); ++y) {
    for (size_t i = 0; i < expected.stride(); ++i) {
      const int a = actual.row(y)[i], e = expected.row(y)[i];
      if (a == e) continue;
      const int width_bytes = 3 * expected.width();
      const std::string where =
          static_cast<int>(i) < width_bytes
              ? "pixel (" + std::to_string(i / 3) + ", " + std::to_string(y) + ") channel " + "BGR"[i % 3]
              : "padding byte " + std::to_string(i) + " of row " + std::to_string(y);
      return where + ": got " + std::to_string(a) + ", want " + std::to_string(e);
    }
  }
  return "";
}

bool SamePixels(const PixelBuffer& a, const PixelBuffer& b) {
  return a.pixel_bytes() == b.pixel_bytes() && std::memcmp(a.pixels(), b.pixels(), a.pixel_bytes()) == 0;
}
