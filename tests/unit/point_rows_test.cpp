// The vector forms of the point-stage rows against the plain loops, bit for
// bit: every stage, row lengths around the 64-pixel blocks, padded rows,
// and every colour through grayscale and sepia. Where the processor lacks
// the instructions the comparison is skipped (the plain loops are what
// runs there, and the other tests cover them).
#include <algorithm>

#include <gtest/gtest.h>

#include "filters/auto_levels.h"
#include "filters/filter_pipeline.h"
#include "filters/point_rows.h"
#include "filters/stages.h"
#include "tests/support/reference_point_stages.h"

namespace {

// Runs `stage` on a copy of `picture` with the plain loops and with the
// vector forms; empty when both give the same bytes.
template <typename Stage>
std::string CompareForms(const PixelBuffer& picture, Stage stage) {
  PixelBuffer plain = CopyBuffer(picture);
  PixelBuffer vector = CopyBuffer(picture);
  SetFastPointRowsEnabled(false);
  stage(plain);
  SetFastPointRowsEnabled(true);
  stage(vector);
  return FirstDifference(vector, plain);
}

class PointRows : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FastPointRowsAvailable()) GTEST_SKIP() << "no AVX-512 VBMI here: only the plain loops run";
  }
  void TearDown() override { SetFastPointRowsEnabled(true); }
};

TEST_F(PointRows, EveryStageMatchesThePlainLoopAtEveryRowLength) {
  const struct {
    const char* name;
    void (*stage)(PixelBuffer&);
  } stages[] = {
      {"gamma", [](PixelBuffer& b) { ApplyGamma(b, 1.7); }},
      {"auto-levels", [](PixelBuffer& b) { ApplyAutoLevels(b, ImageRegion{0, 0, b.width(), b.height()}); }},
      {"auto-levels, inner region",
       [](PixelBuffer& b) { ApplyAutoLevels(b, ImageRegion{1, 1, b.width() - 1, b.height()}); }},
      {"grayscale BT709", [](PixelBuffer& b) { ApplyGrayscale(b, 212, 716, 72); }},
      {"grayscale, weights above 1000 in sum", [](PixelBuffer& b) { ApplyGrayscale(b, 1000, 1000, 1000); }},
      {"sepia Standard", [](PixelBuffer& b) { ApplySepia(b, 299, 587, 114); }},
      {"sepia RMY", [](PixelBuffer& b) { ApplySepia(b, 500, 419, 81); }},
  };
  const int widths[] = {1, 2, 21, 63, 64, 65, 127, 128, 129, 191, 200, 257, 333};
  for (const auto& s : stages) {
    for (int width : widths) {
      const PixelBuffer picture = RandomBuffer(width, 3, static_cast<uint32_t>(width));
      EXPECT_EQ(CompareForms(picture, s.stage), "") << s.name << ", width " << width;
    }
  }
}

// A picture of 4096 pixels per row holding the colours blue + 256 green +
// 65536 red for red = 0, step, 2 step, ...
PixelBuffer Colours(int red_step) {
  const int rows = 256 / red_step * 16;
  PixelBuffer picture = CreatePixelBuffer(4096, rows, 24);
  for (int y = 0; y < rows; ++y) {
    uint8_t* p = picture.row(y);
    for (int x = 0; x < 4096; ++x, p += 3) {
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(16 * (y % 16) + x / 256);
      p[2] = static_cast<uint8_t>(y / 16 * red_step);
    }
  }
  return picture;
}

TEST_F(PointRows, EveryColourThroughGrayscaleAndSepiaInEveryMode) {
  // Every one of the 2^24 colours through sepia in the blended modes, where
  // all three products and both sums count; one red level in 15 for the
  // single-channel modes and for grayscale, whose shares are tables.
  const PixelBuffer all = Colours(1);
  const PixelBuffer some = Colours(15);
  for (int mode = 0; mode < 6; ++mode) {
    const ChannelWeight w = WeightsForFilterParam(mode);
    EXPECT_EQ(CompareForms(mode < 3 ? all : some, [&](PixelBuffer& b) { ApplySepia(b, w.red, w.green, w.blue); }),
              "")
        << "sepia, mode " << mode;
    EXPECT_EQ(CompareForms(some, [&](PixelBuffer& b) { ApplyGrayscale(b, w.red, w.green, w.blue); }), "")
        << "grayscale, mode " << mode;
  }
  // Weights that are no mode of the dialog but still thousandths: the
  // integer shortcut of the vector sepia must hold for them too.
  const ChannelWeight others[] = {{333, 333, 334}, {1, 2, 997}, {999, 0, 1}, {0, 0, 0}, {1000, 1000, 1000}, {7, 500, 493}};
  for (const ChannelWeight& w : others) {
    EXPECT_EQ(CompareForms(some, [&](PixelBuffer& b) { ApplySepia(b, w.red, w.green, w.blue); }), "")
        << "sepia, weights " << w.red << "/" << w.green << "/" << w.blue;
  }

  // The luminance histogram of every colour.
  PixelBuffer counted = CopyBuffer(all);
  SetFastPointRowsEnabled(true);
  ApplyAutoLevels(counted, ImageRegion{0, 0, 4096, 4096});
  int32_t vector_histogram[256];
  std::copy(AutoLevelsHistogram(), AutoLevelsHistogram() + 256, vector_histogram);
  counted = CopyBuffer(all);
  SetFastPointRowsEnabled(false);
  ApplyAutoLevels(counted, ImageRegion{0, 0, 4096, 4096});
  for (int level = 0; level < 256; ++level) {
    EXPECT_EQ(vector_histogram[level], AutoLevelsHistogram()[level]) << "level " << level;
  }
}

}  // namespace
