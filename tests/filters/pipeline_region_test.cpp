// Pipeline pieces that need no bitmap: region normalisation and the tone
// choice decoded from FilterParam.
#include <cstring>

#include <gtest/gtest.h>

#include "filters/filter_pipeline.h"
#include "tests/support/reference_point_stages.h"

namespace {

struct RegionCase {
  ImageRegion in;
  ImageRegion out;
};

bool Same(const ImageRegion& a, const ImageRegion& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(NormaliseRegion, ClipsOrWidensAsTheHostRectangleDemands) {
  // A 50 x 40 picture.
  const RegionCase cases[] = {
      {{0, 0, 0, 0}, {0, 0, 50, 40}},        // all zeros: whole picture
      {{10, 10, 10, 50}, {0, 0, 50, 40}},    // left == right
      {{5, 7, 90, 7}, {0, 0, 50, 40}},       // top == bottom
      {{-20, -5, 100, 80}, {0, 0, 50, 40}},  // clipped on every side
      {{3, 4, 20, 30}, {3, 4, 20, 30}},      // inside: unchanged
      {{30, 20, 10, 5}, {30, 20, 10, 5}},    // reversed: passed on, holds no pixel
      {{60, 45, 70, 50}, {60, 45, 50, 40}},  // beyond the picture: empty after clipping
      {{-9, -9, -3, -2}, {0, 0, -3, -2}},    // left of and above it: empty
      {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {0, 0, 50, 40}},
  };
  for (const RegionCase& c : cases) {
    const ImageRegion r = NormaliseRegion(c.in, 50, 40);
    EXPECT_TRUE(Same(r, c.out)) << "(" << c.in.left << "," << c.in.top << "," << c.in.right << "," << c.in.bottom
                                << ") gave (" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
  }
}

TEST(WeightsForFilterParam, LowFourBitsPickTheModeAndUnknownModesAreStandard) {
  const struct {
    int32_t param;
    ChannelWeight weights;
    bool sepia;
  } cases[] = {
      {0, {299, 587, 114}, false}, {1, {212, 716, 72}, false},   {2, {500, 419, 81}, false},
      {3, {1000, 0, 0}, false},    {4, {0, 0, 1000}, false},     {5, {0, 1000, 0}, false},
      {6, {299, 587, 114}, false}, {15, {299, 587, 114}, false}, {16, {299, 587, 114}, true},
      {19, {1000, 0, 0}, true},    {21, {0, 1000, 0}, true},     {23, {299, 587, 114}, true},
      {31, {299, 587, 114}, true}, {35, {1000, 0, 0}, false},    {-1, {299, 587, 114}, true},
  };
  for (const auto& c : cases) {
    const ChannelWeight w = WeightsForFilterParam(c.param);
    EXPECT_EQ(w.red, c.weights.red) << "FilterParam " << c.param;
    EXPECT_EQ(w.green, c.weights.green) << "FilterParam " << c.param;
    EXPECT_EQ(w.blue, c.weights.blue) << "FilterParam " << c.param;
    EXPECT_EQ(IsSepia(c.param), c.sepia) << "FilterParam " << c.param;
  }
}

TEST(RunStages, ToneStagesGetTheWeightsInRedGreenBlueOrder) {
  // Pixels of pure red, green and blue (bytes blue, green, red) through the
  // pipeline's tone stage in every mode, grayscale and sepia, against the
  // stage called directly with the mode's weights as red, green, blue: a
  // swap anywhere between the two shows on the modes whose weights differ
  // by channel.
  PixelBuffer picture = CreatePixelBuffer(4, 1, 24);
  const uint8_t pixels[12] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 40, 90, 200};
  std::memcpy(picture.row(0), pixels, sizeof pixels);
  for (int32_t param = 0; param < 32; ++param) {
    FilterSettings settings;
    settings.ToneFilter = 1;
    settings.FilterParam = param;
    PixelBuffer through_pipeline = CreatePixelBuffer(4, 1, 24);
    std::memcpy(through_pipeline.row(0), pixels, sizeof pixels);
    RunStages(through_pipeline, settings, ImageRegion{0, 0, 0, 0}, StopQuery());
    PixelBuffer direct = CreatePixelBuffer(4, 1, 24);
    std::memcpy(direct.row(0), pixels, sizeof pixels);
    const ChannelWeight w = WeightsForFilterParam(param);
    if (IsSepia(param)) {
      ReferenceSepia(direct, w.red, w.green, w.blue);
    } else {
      ReferenceGrayscale(direct, w.red, w.green, w.blue);
    }
    EXPECT_EQ(FirstDifference(through_pipeline, direct), "") << "FilterParam " << param;
  }
  // Red Channel sepia: a red pixel takes white's palette end, blue black's.
  FilterSettings red_sepia;
  red_sepia.ToneFilter = 1;
  red_sepia.FilterParam = 16 + 3;
  RunStages(picture, red_sepia, ImageRegion{0, 0, 0, 0}, StopQuery());
  EXPECT_EQ(picture.row(0)[0], 255) << "red pixel, blue byte";
  EXPECT_EQ(picture.row(0)[6], 0) << "blue pixel, blue byte";
  EXPECT_EQ(picture.row(0)[8], 0) << "blue pixel, red byte";
}

}  // namespace
