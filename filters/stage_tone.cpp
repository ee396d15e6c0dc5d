// File: filters/stage_tone.cpp
//
// The tone stages, last in the pipeline: grayscale writes one weighted
// brightness into all three channels; sepia uses a brightness on the 0..240
// scale to pick a colour of a brown palette. Both walk the rows with a byte
// pointer, three bytes per pixel, and leave the row padding alone.
#include <algorithm>
#include <cstring>

#include "filters/stages.h"
#include "filters/tone.h"

namespace {

// Terms of absurd weights (far outside thousandths; the pipeline only hands
// over the six modes, 0..1000) saturate here instead of overflowing, so that
// three of them always add up inside 32 bits.
constexpr int64_t kTermBound = int64_t{1} << 24;

// One channel's share of the gray level: (weight * value) / 1000, truncated
// on its own before the three shares are added.
int32_t GrayTerm(int32_t weight, int value) {
  const int64_t term = static_cast<int64_t>(weight) * value / 1000;
  return static_cast<int32_t>(std::clamp(term, -kTermBound, kTermBound));
}

// The shares of every channel value, worked out once per call so that a
// pixel costs three lookups and two additions.
struct GrayTerms {
  int32_t red[256];
  int32_t green[256];
  int32_t blue[256];
};

static inline uint8_t GrayLevel(const GrayTerms& terms, const uint8_t* pixel) {
  const int32_t y = terms.green[pixel[1]] + terms.blue[pixel[0]] + terms.red[pixel[2]];
  // Negative levels come only from negative weights; keep them in range too.
  return static_cast<uint8_t>(std::clamp<int32_t>(y, 0, 255));
}

// 1/255 as the multiplier the sepia arithmetic uses (not a division).
constexpr double kInverse255 = 0.00392156862745098;
constexpr double kWeightScale = 0.001;

// (value * 1/255) * k for every channel value. Each entry is the very
// product the per-pixel arithmetic would form, so the sums below come out
// bit for bit as if every multiplication were done per pixel.
struct SepiaShares {
  double blue[256];
  double red[256];
  double green[256];
};

void FillShares(double (&shares)[256], int32_t weight) {
  const double k = weight * kWeightScale;
  for (int v = 0; v < 256; ++v) shares[v] = (v * kInverse255) * k;
}

static inline int SepiaLevel(const SepiaShares& shares, const uint8_t* pixel) {
  double s = shares.blue[pixel[0]] + shares.red[pixel[2]];
  s = s + shares.green[pixel[1]];
  // |s * 240| stays below 2^31 for any 32-bit weights, so the conversion is
  // defined; negative weights could push the level below the palette.
  const int level = static_cast<int>(s * 240.0);
  return std::clamp(level, 0, kSepiaLevels - 1);
}

uint32_t HueValue(uint32_t m1, uint32_t m2, uint32_t hue) {
  if (hue > 240) hue -= 240;
  if (hue < 40) return m1 + ((m2 - m1) * hue + 20) / 40;
  if (hue < 120) return m2;
  if (hue < 160) return m1 + ((m2 - m1) * (160 - hue) + 20) / 40;
  return m1;
}

uint8_t ToByte(uint32_t level) { return static_cast<uint8_t>((level * 255 + 120) / 240); }

bool IsToneBuffer(const PixelBuffer& buffer) {
  return buffer && buffer.bit_count() == 24 && buffer.width() > 0 && buffer.height() > 0;
}

}  // namespace

RgbColour HlsToRgb(uint32_t hue, uint32_t lightness, uint32_t saturation) {
  if (saturation == 0) {
    const uint8_t gray = static_cast<uint8_t>(lightness * 255 / 240);
    return {gray, gray, gray};
  }
  const uint32_t m2 = lightness <= 120 ? (lightness * (240 + saturation) + 120) / 240
                                       : lightness + saturation - (lightness * saturation + 120) / 240;
  const uint32_t m1 = 2 * lightness - m2;
  return {ToByte(HueValue(m1, m2, hue + 80)), ToByte(HueValue(m1, m2, hue)), ToByte(HueValue(m1, m2, hue - 80))};
}

SepiaPalette BuildSepiaPalette() {
  SepiaPalette palette;
  for (int level = 0; level < kSepiaLevels; ++level) palette[level] = HlsToRgb(20, level, 120);
  return palette;
}

void ApplyGrayscale(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight) {
  if (!IsToneBuffer(buffer)) return;
  GrayTerms terms;
  for (int v = 0; v < 256; ++v) {
    terms.red[v] = GrayTerm(red_weight, v);
    terms.green[v] = GrayTerm(green_weight, v);
    terms.blue[v] = GrayTerm(blue_weight, v);
  }
  const size_t stride = buffer.stride();
  const size_t row_bytes = static_cast<size_t>(buffer.width()) * 3;
  uint8_t* row = buffer.pixels();
  for (int y = 0; y < buffer.height(); ++y, row += stride) {
    for (uint8_t *pixel = row, *end = row + row_bytes; pixel != end; pixel += 3) {
      const uint8_t level = GrayLevel(terms, pixel);
      pixel[0] = level;
      pixel[1] = level;
      pixel[2] = level;
    }
  }
}

void ApplySepia(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight) {
  if (!IsToneBuffer(buffer)) return;
  SepiaShares shares;
  FillShares(shares.blue, blue_weight);
  FillShares(shares.red, red_weight);
  FillShares(shares.green, green_weight);
  // The palette in the buffer's byte order, so a pixel is one 3-byte copy.
  const SepiaPalette palette = BuildSepiaPalette();
  uint8_t bgr[kSepiaLevels][3];
  for (int level = 0; level < kSepiaLevels; ++level) {
    bgr[level][0] = palette[level].blue;
    bgr[level][1] = palette[level].green;
    bgr[level][2] = palette[level].red;
  }
  const size_t stride = buffer.stride();
  const size_t row_bytes = static_cast<size_t>(buffer.width()) * 3;
  uint8_t* row = buffer.pixels();
  for (int y = 0; y < buffer.height(); ++y, row += stride) {
    for (uint8_t *pixel = row, *end = row + row_bytes; pixel != end; pixel += 3) {
      std::memcpy(pixel, bgr[SepiaLevel(shares, pixel)], 3);
    }
  }
}
