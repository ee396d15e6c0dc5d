// The fit of a sample to a 272 x 169 pane, where the pane draws it, and the
// wording of the time estimate.
#include <string>

#include <gtest/gtest.h>

#include "ui/preview_geometry.h"

namespace {

TEST(PreviewGeometry, FitsAndCentresOnA272By169Pane) {
  const struct {
    int image_width, image_height;
    int fitted_width, fitted_height;
    int x, drawn_width;
  } cases[] = {
      {1600, 1200, 225, 169, 23, 225},   // fitted by height
      {1920, 1080, 272, 153, -14, 300},  // fitted by width, drawn at full height
      {1000, 3000, 56, 169, 108, 56},
      {272, 169, 272, 169, 0, 272},   // taken unscaled
      {100, 50, 272, 136, -33, 338},  // enlarged
      {169, 272, 105, 169, 83, 105},
      {272, 1, 272, 1, -22848, 45968},  // a one-row picture: drawn mostly outside the pane
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.image_width) + "x" + std::to_string(c.image_height));
    const PreviewSize fitted = FitPreview(272, 169, c.image_width, c.image_height);
    EXPECT_EQ(fitted.width, c.fitted_width);
    EXPECT_EQ(fitted.height, c.fitted_height);
    const PreviewRect drawn = PaneDrawRect(0, 0, 272, 169, fitted.width, fitted.height);
    EXPECT_EQ(drawn.x, c.x);
    EXPECT_EQ(drawn.y, 0);
    EXPECT_EQ(drawn.width, c.drawn_width);
    EXPECT_EQ(drawn.height, 169);
  }
}

TEST(PreviewGeometry, DegenerateSizesKeepThePaneOrDrawNothing) {
  const PreviewSize no_width = FitPreview(272, 169, 0, 100);
  EXPECT_EQ(no_width.width, 272);
  EXPECT_EQ(no_width.height, 169);
  const PreviewSize no_pane = FitPreview(0, 0, 100, 100);
  EXPECT_EQ(no_pane.width, 0);
  EXPECT_EQ(no_pane.height, 0);
  const PreviewSize no_height = FitPreview(272, 169, 100, 0);
  EXPECT_EQ(no_height.height, 0) << "nothing to make a bitmap of";
  EXPECT_EQ(PaneDrawRect(5, 7, 272, 169, 100, 0).width, 0);
  const PreviewRect offset = PaneDrawRect(5, 7, 272, 169, 225, 169);
  EXPECT_EQ(offset.x, 28);
  EXPECT_EQ(offset.y, 7);
}

TEST(PreviewGeometry, EstimateMeasuresAndWordsTheRun) {
  const char format[] = "Image size (%d,%d), required time: %.1f sec";
  EXPECT_EQ(FormatEstimate(format, 1920, 1080, EstimateMilliseconds(5000, 6234)),
            "Image size (1920,1080), required time: 1.2 sec");
  for (uint32_t ms : {0u, 1u, 9u}) {
    EXPECT_EQ(EstimateMilliseconds(1000, 1000 + ms), 100u) << ms;
    EXPECT_EQ(FormatEstimate(format, 1, 2, EstimateMilliseconds(1000, 1000 + ms)),
              "Image size (1,2), required time: 0.1 sec");
  }
  for (uint32_t ms : {10u, 49u}) {
    EXPECT_EQ(FormatEstimate(format, 1, 2, EstimateMilliseconds(0, ms)), "Image size (1,2), required time: 0.0 sec");
  }
  EXPECT_EQ(EstimateMilliseconds(0xFFFFFFF0u, 0x10u), 32u) << "the tick counter wraps";
}

}  // namespace
