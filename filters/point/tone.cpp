// The tone stages, last in the pipeline: grayscale writes one weighted
// brightness into all three channels; sepia uses a brightness on the 0..240
// scale to pick a colour of a brown palette. Both walk the rows three bytes
// per pixel (filters/point/point_rows.h) and leave the row padding alone.
#include <algorithm>

#include "filters/point/point_bands.h"
#include "filters/point/point_rows.h"
#include "filters/stages.h"
#include "filters/point/tone.h"

namespace {

// 1/255 as the multiplier the sepia arithmetic uses (not a division).
constexpr double kInverse255 = 0.00392156862745098;
constexpr double kWeightScale = 0.001;

// Shares of absurd weights (far outside thousandths; the pipeline only
// hands over the six modes, 0..1000) saturate here instead of overflowing,
// so that three of them always add up inside 32 bits.
constexpr int64_t kShareBound = int64_t{1} << 24;

// One channel's share of the gray level: (weight * value) / 1000, truncated
// on its own before the three shares are added.
int32_t GrayShare(int32_t weight, int value) {
  const int64_t share = static_cast<int64_t>(weight) * value / 1000;
  return static_cast<int32_t>(std::clamp(share, -kShareBound, kShareBound));
}

bool IsThousandths(int32_t weight) { return weight >= 0 && weight <= 1000; }

bool IsToneBuffer(const PixelBuffer& buffer) {
  return buffer && buffer.bit_count() == 24 && buffer.width() > 0 && buffer.height() > 0;
}

// Row bands, on worker threads where filters/point/point_bands.h allows and
// `split` asks. Grayscale runs at the speed of memory on one core (about
// 0.6 to 1 times a copy of the picture), so only sepia splits its rows.
template <typename RowFunction>
void ForEachRow(PixelBuffer& buffer, bool split, RowFunction row_function) {
  const size_t stride = buffer.stride();
  ForEachRowBand(0, buffer.height(), split ? buffer.pixel_bytes() : 0, [&](int, int first, int end) {
    uint8_t* row = buffer.pixels() + stride * static_cast<size_t>(first);
    for (int y = first; y < end; ++y, row += stride) row_function(row, static_cast<size_t>(buffer.width()));
  });
}

// Weights outside 0..1000 never come from the settings; their shares can
// exceed a byte or be negative, so they take this slower loop, which holds
// the sum to 0..255.
void GrayscaleAnyWeights(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight) {
  int32_t red[256], green[256], blue[256];
  for (int v = 0; v < 256; ++v) {
    red[v] = GrayShare(red_weight, v);
    green[v] = GrayShare(green_weight, v);
    blue[v] = GrayShare(blue_weight, v);
  }
  ForEachRow(buffer, false, [&](uint8_t* row, size_t count) {
    for (uint8_t *p = row, *end = row + 3 * count; p != end; p += 3) {
      const int32_t y = std::clamp(green[p[1]] + blue[p[0]] + red[p[2]], 0, 255);
      p[0] = p[1] = p[2] = static_cast<uint8_t>(y);
    }
  });
}

uint32_t HueValue(uint32_t m1, uint32_t m2, uint32_t hue) {
  if (hue > 240) hue -= 240;
  if (hue < 40) return m1 + ((m2 - m1) * hue + 20) / 40;
  if (hue < 120) return m2;
  if (hue < 160) return m1 + ((m2 - m1) * (160 - hue) + 20) / 40;
  return m1;
}

uint8_t ToByte(uint32_t level) { return static_cast<uint8_t>((level * 255 + 120) / 240); }

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
  if (!IsThousandths(red_weight) || !IsThousandths(green_weight) || !IsThousandths(blue_weight)) {
    GrayscaleAnyWeights(buffer, red_weight, green_weight, blue_weight);
    return;
  }
  // Every share of a weight in 0..1000 fits a byte.
  GrayShares shares;
  for (int v = 0; v < 256; ++v) {
    shares.red[v] = static_cast<uint8_t>(GrayShare(red_weight, v));
    shares.green[v] = static_cast<uint8_t>(GrayShare(green_weight, v));
    shares.blue[v] = static_cast<uint8_t>(GrayShare(blue_weight, v));
  }
  FindGrayMultipliers(shares);
  ForEachRow(buffer, false, [&](uint8_t* row, size_t count) { GrayRow(row, count, shares); });
}

void ApplySepia(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight) {
  if (!IsToneBuffer(buffer)) return;
  SepiaRowArgs args = {};
  args.weight_blue = blue_weight;
  args.weight_red = red_weight;
  args.weight_green = green_weight;
  args.kb = blue_weight * kWeightScale;
  args.kr = red_weight * kWeightScale;
  args.kg = green_weight * kWeightScale;
  for (int v = 0; v < 256; ++v) {
    args.blue_share[v] = (v * kInverse255) * args.kb;
    args.red_share[v] = (v * kInverse255) * args.kr;
    args.green_share[v] = (v * kInverse255) * args.kg;
  }
  for (int v = 0; v < 256; ++v) args.gray_level[v] = static_cast<uint8_t>(SepiaLevel(args, v, v, v));
  const SepiaPalette palette = BuildSepiaPalette();
  for (int level = 0; level < kSepiaLevels; ++level) {
    args.blue[level] = palette[level].blue;
    args.green[level] = palette[level].green;
    args.red[level] = palette[level].red;
  }
  ForEachRow(buffer, true, [&](uint8_t* row, size_t count) { SepiaRow(row, count, args); });
}
