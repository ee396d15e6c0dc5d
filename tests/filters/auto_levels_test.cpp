// The auto-levels stage: the clipping levels at 0.01 % either end (with the
// single-precision fractions), the stretch table, the region (outside
// untouched, empty counts nothing), and regions of one luminance, which
// are left as they are instead of being turned black.
#include <algorithm>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "filters/point/auto_levels.h"
#include "filters/filter_pipeline.h"
#include "filters/stages.h"
#include "tests/support/reference_point_stages.h"

namespace {

// A gray picture of `width` x `height` whose pixels take the given levels
// in turn, `count` pixels each, row by row from the top.
struct LevelRun {
  int level, count;
};
PixelBuffer GrayRuns(int width, int height, const std::vector<LevelRun>& runs) {
  PixelBuffer buffer = CreatePixelBuffer(width, height, 24);
  int index = 0;
  for (const LevelRun& run : runs) {
    for (int n = 0; n < run.count; ++n, ++index) {
      std::memset(buffer.row(index / width) + 3 * (index % width), run.level, 3);
    }
  }
  return buffer;
}

std::string Describe(const ImageRegion& r) {
  return "region (" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

TEST(AutoLevels, ClipsOneHundredthOfAPercentAtEachEnd) {
  PixelBuffer buffer = GrayRuns(100, 100, {{40, 5000}, {180, 4999}, {250, 1}});
  ApplyAutoLevels(buffer, ImageRegion{0, 0, 100, 100});
  EXPECT_EQ(FindPercentileLevel(0.0001f), 40);
  EXPECT_EQ(FindPercentileLevel(0.9999f), 180) << "the single 250 lies above the top 0.01 %";
  const int32_t(&table)[256] = AutoLevelsTable();
  const std::pair<int, int> mapping[] = {{0, 0},     {39, 0},    {40, 0},    {41, 1},   {110, 127},
                                         {179, 253}, {180, 255}, {250, 255}, {255, 255}};
  for (const auto& [in, out] : mapping) EXPECT_EQ(table[in], out) << "level " << in;
  EXPECT_EQ(buffer.row(0)[0], 0) << "40 -> 0";
  EXPECT_EQ(buffer.row(50)[0], 255) << "180 -> 255";
  EXPECT_EQ(buffer.row(99)[3 * 99 + 2], 255) << "250 -> 255";
}

TEST(AutoLevels, FractionsAreSinglePrecisionWidenedToDouble) {
  // With exactly 10,000 pixels the double 0.0001 would put the threshold at
  // 1 and pass over a lone darkest pixel, and 0.9999 would keep a lone
  // brightest one; the floats lie just inside, so both are clipped levels.
  const struct {
    std::vector<LevelRun> runs;
    int lo, hi;
  } rows[] = {
      {{{10, 1}, {100, 9998}, {200, 1}}, 10, 100},
      {{{10, 1}, {100, 9999}}, 10, 100},
      {{{90, 9999}, {200, 1}}, 90, 90},  // one level: left alone
      {{{10, 1}, {60, 4999}, {100, 4999}, {200, 1}}, 10, 100},
  };
  for (const auto& row : rows) {
    PixelBuffer buffer = GrayRuns(100, 100, row.runs);
    ApplyAutoLevels(buffer, ImageRegion{0, 0, 100, 100});
    EXPECT_EQ(FindPercentileLevel(0.0001f), row.lo);
    EXPECT_EQ(FindPercentileLevel(0.9999f), row.hi);
    int index = 0;
    for (const LevelRun& run : row.runs) {
      const int want = row.hi > row.lo ? ReferenceLevel(run.level, row.lo, row.hi) : run.level;
      EXPECT_EQ(buffer.row(index / 100)[3 * (index % 100)], want) << "level " << run.level;
      index += run.count;
    }
  }
}

TEST(AutoLevels, ARunningCountEqualToTheThresholdIsNotAboveIt) {
  // 4096 x 2048 = 2^23 pixels times the float 0.9999 is the whole number
  // 8,387,769: a level whose running count reaches exactly that is not the
  // high clipping level, the next level with pixels is.
  constexpr int kWidth = 4096, kHeight = 2048;
  constexpr int32_t kTotal = kWidth * kHeight;
  const double threshold = kTotal * static_cast<double>(0.9999f);
  ASSERT_EQ(threshold, 8387769.0);
  const int32_t at = static_cast<int32_t>(threshold);
  const struct {
    int32_t at_100;  // pixels at level 100, the rest at 200
    int hi;
  } rows[] = {
      {at, 200},      // running count == threshold: not above, hi moves on
      {at - 1, 200},  // below
      {at + 1, 100},  // above: hi == lo, the region is left alone
  };
  for (const auto& row : rows) {
    std::fill(std::begin(AutoLevelsHistogram()), std::end(AutoLevelsHistogram()), 0);
    AutoLevelsHistogram()[100] = row.at_100;
    AutoLevelsHistogram()[200] = kTotal - row.at_100;
    EXPECT_EQ(FindPercentileLevel(0.9999f), row.hi) << row.at_100 << " pixels at 100";
    EXPECT_EQ(FindPercentileLevel(0.0001f), 100);
  }

  // The whole stage on the picture itself, against the plain reference.
  PixelBuffer buffer = GrayRuns(kWidth, kHeight, {{100, at}, {200, kTotal - at}});
  PixelBuffer expected = CopyBuffer(buffer);
  ApplyAutoLevels(buffer, ImageRegion{0, 0, kWidth, kHeight});
  EXPECT_EQ(FindPercentileLevel(0.9999f), 200);
  EXPECT_EQ(buffer.row(0)[0], 0) << "100 is the low level";
  EXPECT_EQ(buffer.row(kHeight - 1)[3 * (kWidth - 1)], 255) << "200 is the high level, not clipped away";
  ReferenceAutoLevels(expected, ImageRegion{0, 0, kWidth, kHeight});
  EXPECT_EQ(FirstDifference(buffer, expected), "");
}

TEST(AutoLevels, SmallRegionsStretchFromDarkestToBrightest) {
  // Up to 9,998 pixels nothing is clipped: lo and hi are the extremes.
  const struct { int width, height; } sizes[] = {{2, 1}, {3, 3}, {17, 5}, {100, 99}, {4999, 2}};
  for (const auto& size : sizes) {
    const int pixels = size.width * size.height;
    PixelBuffer buffer = GrayRuns(size.width, size.height, {{20, 1}, {128, pixels - 2}, {230, 1}});
    PixelBuffer expected = CopyBuffer(buffer);
    ApplyAutoLevels(buffer, ImageRegion{0, 0, size.width, size.height});
    EXPECT_EQ(FindPercentileLevel(0.0001f), 20) << pixels << " pixels";
    EXPECT_EQ(FindPercentileLevel(0.9999f), 230) << pixels << " pixels";
    ReferenceAutoLevels(expected, ImageRegion{0, 0, size.width, size.height});
    EXPECT_EQ(FirstDifference(buffer, expected), "") << pixels << " pixels";
  }
  // At 9,999 the lone brightest pixel is already clipped.
  PixelBuffer buffer = GrayRuns(9999, 1, {{20, 1}, {128, 9997}, {230, 1}});
  ApplyAutoLevels(buffer, ImageRegion{0, 0, 9999, 1});
  EXPECT_EQ(FindPercentileLevel(0.9999f), 128);
}

TEST(AutoLevels, OnlyTheRegionIsMeasuredAndChanged) {
  const ImageRegion regions[] = {
      {0, 0, 37, 23}, {3, 4, 20, 17}, {0, 10, 37, 11}, {5, 0, 6, 23},    {36, 22, 37, 23}, {30, 20, 10, 5},
      {4, 9, 4, 20},  {0, 0, 37, 1},  {1, 1, 36, 22},  {-5, -5, 50, 40},  // not normalised: the stage still keeps to
                                                                          // the picture
  };
  for (const ImageRegion& region : regions) {
    PixelBuffer original = RandomBuffer(37, 23, 11);
    PixelBuffer actual = CopyBuffer(original);
    PixelBuffer expected = CopyBuffer(original);
    ApplyAutoLevels(actual, region);
    ReferenceAutoLevels(expected, region);
    EXPECT_EQ(FirstDifference(actual, expected), "") << Describe(region);
    const int left = std::max(region.left, 0), top = std::max(region.top, 0);
    const int right = std::min(region.right, 37), bottom = std::min(region.bottom, 23);
    for (int y = 0; y < 23; ++y) {
      for (int x = 0; x < 37; ++x) {
        if (x >= left && x < right && y >= top && y < bottom) continue;
        ASSERT_EQ(std::memcmp(actual.row(y) + 3 * x, original.row(y) + 3 * x, 3), 0)
            << Describe(region) << ": pixel (" << x << "," << y << ") outside changed";
      }
    }
  }
}

TEST(AutoLevels, EmptyRegionCountsAndChangesNothing) {
  PixelBuffer buffer = RandomBuffer(20, 10, 2);
  ApplyAutoLevels(buffer, ImageRegion{0, 0, 20, 10});  // leaves a full histogram behind
  for (const ImageRegion& region : {ImageRegion{5, 5, 5, 9}, ImageRegion{5, 5, 9, 5}, ImageRegion{9, 7, 3, 2},
                                    ImageRegion{25, 0, 20, 10}, ImageRegion{0, -9, 20, -2}}) {
    PixelBuffer before = CopyBuffer(buffer);
    ApplyAutoLevels(buffer, region);
    EXPECT_EQ(FirstDifference(buffer, before), "") << Describe(region);
    for (int level = 0; level < 256; ++level) {
      ASSERT_EQ(AutoLevelsHistogram()[level], 0) << Describe(region) << ": nothing carried over";
      ASSERT_EQ(AutoLevelsTable()[level], 0) << Describe(region);
    }
    EXPECT_EQ(FindPercentileLevel(0.9999f), 0);
  }
}

TEST(AutoLevels, RegionOfOneLuminanceIsLeftAsItIs) {
  // Regression: with hi <= lo no stretch exists and the cleared table used
  // to turn the whole region black.
  PixelBuffer blue_and_gray = CreatePixelBuffer(2, 1, 24);
  const uint8_t bgr[6] = {255, 0, 0, 29, 29, 29};  // pure blue and gray 29: both luminance 29
  std::memcpy(blue_and_gray.row(0), bgr, 6);
  const struct {
    const char* name;
    PixelBuffer buffer;
    ImageRegion region;
  } rows[] = {
      {"flat colour picture", UniformBuffer(50, 40, 150, 120, 90), {0, 0, 50, 40}},
      {"one pixel", RandomBuffer(9, 9, 4), {4, 4, 5, 5}},
      {"flat white", UniformBuffer(8, 8, 255, 255, 255), {0, 0, 8, 8}},
      {"one level with a lone outlier", GrayRuns(100, 100, {{100, 9999}, {200, 1}}), {0, 0, 100, 100}},
      {"colours of one luminance", CopyBuffer(blue_and_gray), {0, 0, 2, 1}},
  };
  for (const auto& row : rows) {
    PixelBuffer buffer = CopyBuffer(row.buffer);
    ApplyAutoLevels(buffer, row.region);
    EXPECT_LE(FindPercentileLevel(0.9999f), FindPercentileLevel(0.0001f)) << row.name;
    EXPECT_EQ(FirstDifference(buffer, row.buffer), "") << row.name;
  }
}

TEST(BuildLevelsTable, EveryEntryMatchesTheStretch) {
  const std::pair<int, int> ranges[] = {{0, 255}, {40, 180}, {0, 1}, {254, 255}, {17, 18}, {100, 200}, {1, 254}};
  for (const auto& [lo, hi] : ranges) {
    BuildLevelsTable(0, 255, lo, hi, 1.0f);
    for (int i = 0; i < 256; ++i) {
      ASSERT_EQ(AutoLevelsTable()[i], ReferenceLevel(i, lo, hi)) << "lo " << lo << " hi " << hi << " level " << i;
    }
  }
  // Other outputs and exponents: the curve and the clamp to 0..255.
  BuildLevelsTable(10, 20, 0, 100, 2.0f);
  EXPECT_EQ(AutoLevelsTable()[50], 12);  // 0.25 * 10 + 10
  EXPECT_EQ(AutoLevelsTable()[100], 20);
  BuildLevelsTable(-100, 400, 1, 100, 1.0f);
  EXPECT_EQ(AutoLevelsTable()[0], -100) << "below lo: out_min as given";
  EXPECT_EQ(AutoLevelsTable()[1], 0) << "-100 held at 0";
  EXPECT_EQ(AutoLevelsTable()[99], 255) << "395 held at 255";
  EXPECT_EQ(AutoLevelsTable()[100], 400) << "from hi: out_max as given";
}

TEST(AutoLevels, MatchesTheReferenceOnRandomAndSkewedPictures) {
  for (int width = 1; width <= 9; ++width) {
    PixelBuffer actual = RandomBuffer(width, 4, static_cast<uint32_t>(100 + width));
    PixelBuffer expected = CopyBuffer(actual);
    ApplyAutoLevels(actual, ImageRegion{0, 0, width, 4});
    ReferenceAutoLevels(expected, ImageRegion{0, 0, width, 4});
    ASSERT_EQ(FirstDifference(actual, expected), "") << "width " << width;
  }
  // A dim picture (values 30..120) after a darkening gamma: real stretch,
  // clipping in action on 40,000 pixels.
  PixelBuffer actual = RandomBuffer(250, 160, 8);
  for (int y = 0; y < 160; ++y) {
    for (int i = 0; i < 750; ++i) actual.row(y)[i] = static_cast<uint8_t>(30 + actual.row(y)[i] * 90 / 255);
  }
  FilterSettings settings;
  settings.GammaAdj = 1;
  settings.GammaVal = -0.3;
  settings.AutoLevels = 1;
  PixelBuffer expected = CopyBuffer(actual);
  RunStages(actual, settings, ImageRegion{0, 0, 0, 0}, StopQuery());
  ReferenceGamma(expected, 0.7);
  ReferenceAutoLevels(expected, ImageRegion{0, 0, 250, 160});
  EXPECT_EQ(FirstDifference(actual, expected), "") << "gamma then auto-levels over the whole picture";
}

}  // namespace
