// The auto-levels stage: measures the luminance of a region, finds the
// levels below and above which 0.01 % of its pixels lie, and stretches that
// range to 0..255 on every channel of the region's pixels.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "filters/point/auto_levels.h"
#include "filters/point/point_bands.h"
#include "filters/point/point_rows.h"
#include "filters/stages.h"

namespace {

// Module-wide storage, cleared at the start of every run (so the stage is
// not re-entrant, and nothing is carried from one run to the next).
int32_t g_histogram[256];
int32_t g_levels[256];

constexpr float kHighFraction = 0.9999f;
constexpr float kLowFraction = 0.0001f;

using Histogram = std::array<int32_t, 256>;

// The luminance of a stretch of a row is worked out first (vector code
// where the processor allows), then counted into eight histograms in turn:
// neighbouring pixels of the same level (common in photos) then update
// different counters instead of waiting on each other.
void CountRows(const PixelBuffer& buffer, const ImageRegion& region, int first, int end, Histogram& histogram) {
  constexpr int kChunk = 2048;
  constexpr int kWays = 8;
  uint8_t luminance[kChunk];
  int32_t partial[kWays][256] = {};
  for (int y = first; y < end; ++y) {
    const uint8_t* row = buffer.row(y);
    for (int left = region.left; left < region.right; left += kChunk) {
      const int count = std::min(kChunk, region.right - left);
      LuminanceRow(row + static_cast<size_t>(left) * 3, static_cast<size_t>(count), luminance);
      int x = 0;
      for (; x + kWays <= count; x += kWays) {
        uint64_t levels;
        std::memcpy(&levels, luminance + x, kWays);
        for (int way = 0; way < kWays; ++way) ++partial[way][(levels >> (8 * way)) & 0xFF];
      }
      for (; x < count; ++x) ++partial[0][luminance[x]];
    }
  }
  for (int level = 0; level < 256; ++level) {
    int32_t total = 0;
    for (int way = 0; way < kWays; ++way) total += partial[way][level];
    histogram[level] = total;
  }
}

size_t RegionBytes(const ImageRegion& r) {
  return static_cast<size_t>(r.right - r.left) * static_cast<size_t>(r.bottom - r.top) * 3;
}

// Each band counts into a histogram of its own; the sums are the same in
// any order.
void CountRegion(const PixelBuffer& buffer, const ImageRegion& region) {
  std::vector<Histogram> bands(static_cast<size_t>(PointBandCount(region.top, region.bottom)));
  ForEachRowBand(region.top, region.bottom, RegionBytes(region),
                 [&](int band, int first, int end) { CountRows(buffer, region, first, end, bands[band]); });
  for (const Histogram& band : bands) {
    for (int level = 0; level < 256; ++level) g_histogram[level] += band[level];
  }
}

}  // namespace

int32_t (&AutoLevelsHistogram())[256] { return g_histogram; }
int32_t (&AutoLevelsTable())[256] { return g_levels; }

int32_t FindPercentileLevel(float fraction) {
  int32_t total = 0;
  for (int32_t count : g_histogram) total += count;
  const double threshold = total * static_cast<double>(fraction);
  int32_t running = 0;
  for (int32_t level = 0; level < 256; ++level) {
    running += g_histogram[level];
    if (running > threshold) return level;
  }
  return running;  // only reached with nothing counted: 0
}

void BuildLevelsTable(int32_t out_min, int32_t out_max, int32_t lo, int32_t hi, float exponent) {
  for (int32_t i = 0; i < 256; ++i) {
    if (i < lo) {
      g_levels[i] = out_min;
    } else if (i >= hi) {
      g_levels[i] = out_max;
    } else {
      // Here lo <= i < hi, so the denominator is positive.
      const double x = static_cast<double>(i - lo) / static_cast<double>(hi - lo);
      const double span = static_cast<double>(out_max) - out_min;
      const double v = std::pow(x, static_cast<double>(exponent)) * span + out_min;
      // Written so that a value that is not a number (an exponent that is
      // not one) lands on 0 instead of an undefined conversion.
      g_levels[i] = v >= 0.0 ? (v > 255.0 ? 255 : static_cast<int32_t>(v)) : 0;
    }
  }
}

void ApplyAutoLevels(PixelBuffer& buffer, const ImageRegion& region) {
  uint8_t applied[256];
  ImageRegion applied_region;
  ApplyAutoLevelsTelling(buffer, region, applied, applied_region);
}

bool ApplyAutoLevelsTelling(PixelBuffer& buffer, const ImageRegion& region, uint8_t (&table)[256],
                            ImageRegion& applied_region) {
  std::memset(g_levels, 0, sizeof g_levels);
  std::memset(g_histogram, 0, sizeof g_histogram);
  if (!buffer || buffer.bit_count() != 24) return false;
  // The pipeline hands over a normalised region; held to the picture once
  // more so that no caller can make the stage reach outside the buffer.
  ImageRegion r = region;
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, buffer.width());
  r.bottom = std::min(r.bottom, buffer.height());
  if (r.left >= r.right || r.top >= r.bottom) return false;  // no pixel to count or change

  CountRegion(buffer, r);
  const int32_t hi = FindPercentileLevel(kHighFraction);
  const int32_t lo = FindPercentileLevel(kLowFraction);
  // With hi <= lo the region is (nearly) one luminance level: a flat
  // picture, a single pixel. There is no range to stretch, and the cleared
  // table would turn the region black, so the region is left as it is.
  if (hi <= lo) return false;
  BuildLevelsTable(0, 255, lo, hi, 1.0f);

  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(g_levels[i] & 0xFF);
  // The table is nearly always a plain stretch, which vector forms can work
  // out faster than they can look it up.
  const ByteStretch stretch = FindByteStretch(table);
  const size_t run = static_cast<size_t>(r.right - r.left) * 3;
  ForEachRowBand(r.top, r.bottom, RegionBytes(r), [&](int, int first, int end) {
    for (int y = first; y < end; ++y) MapBytes(buffer.row(y) + static_cast<size_t>(r.left) * 3, run, table, stretch);
  });
  applied_region = r;
  return true;
}
