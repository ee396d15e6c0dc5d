// Pipeline pieces that need no bitmap: region normalisation and the tone
// choice decoded from FilterParam.
#include <gtest/gtest.h>

#include "filters/filter_pipeline.h"

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
      {{0, 0, 0, 0}, {0, 0, 50, 40}},            // all zeros: whole picture
      {{10, 10, 10, 50}, {0, 0, 50, 40}},        // left == right
      {{5, 7, 90, 7}, {0, 0, 50, 40}},           // top == bottom
      {{-20, -5, 100, 80}, {0, 0, 50, 40}},      // clipped on every side
      {{3, 4, 20, 30}, {3, 4, 20, 30}},          // inside: unchanged
      {{30, 20, 10, 5}, {30, 20, 10, 5}},        // reversed: passed on, holds no pixel
      {{60, 45, 70, 50}, {60, 45, 50, 40}},      // beyond the picture: empty after clipping
      {{-9, -9, -3, -2}, {0, 0, -3, -2}},        // left of and above it: empty
      {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {0, 0, 50, 40}},
  };
  for (const RegionCase& c : cases) {
    const ImageRegion r = NormaliseRegion(c.in, 50, 40);
    EXPECT_TRUE(Same(r, c.out)) << "(" << c.in.left << "," << c.in.top << "," << c.in.right << ","
                                << c.in.bottom << ") gave (" << r.left << "," << r.top << "," << r.right
                                << "," << r.bottom << ")";
  }
}

TEST(WeightsForFilterParam, LowFourBitsPickTheModeAndUnknownModesAreStandard) {
  const struct {
    int32_t param;
    ChannelWeight weights;
    bool sepia;
  } cases[] = {
      {0, {299, 587, 114}, false},  {1, {212, 716, 72}, false},  {2, {500, 419, 81}, false},
      {3, {1000, 0, 0}, false},     {4, {0, 0, 1000}, false},    {5, {0, 1000, 0}, false},
      {6, {299, 587, 114}, false},  {15, {299, 587, 114}, false}, {16, {299, 587, 114}, true},
      {19, {1000, 0, 0}, true},     {21, {0, 1000, 0}, true},    {23, {299, 587, 114}, true},
      {31, {299, 587, 114}, true},  {35, {1000, 0, 0}, false},   {-1, {299, 587, 114}, true},
  };
  for (const auto& c : cases) {
    const ChannelWeight w = WeightsForFilterParam(c.param);
    EXPECT_EQ(w.red, c.weights.red) << "FilterParam " << c.param;
    EXPECT_EQ(w.green, c.weights.green) << "FilterParam " << c.param;
    EXPECT_EQ(w.blue, c.weights.blue) << "FilterParam " << c.param;
    EXPECT_EQ(IsSepia(c.param), c.sepia) << "FilterParam " << c.param;
  }
}

}  // namespace
