// The point stages that split their rows over worker threads (auto-levels'
// histogram and mapping, sepia) give the same bytes and the same histogram
// for every value of CHROMALINE_THREADS, on pictures above the threshold
// for threads, with row padding and a last band of fewer rows.
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "filters/point/auto_levels.h"
#include "filters/point/point_bands.h"
#include "filters/stages.h"
#include "tests/support/process_threads.h"
#include "tests/support/reference_point_stages.h"

namespace {

// Gradients with grain, squeezed into the middle of the range so that
// auto-levels has something to stretch.
PixelBuffer GrainyGradient(int width, int height, uint32_t seed) {
  PixelBuffer buffer = CreatePixelBuffer(width, height, 24);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int base = 60 + (x * (c + 1) + y * (3 - c)) * 120 / (width + height);
        buffer.row(y)[3 * x + c] =
            static_cast<uint8_t>(std::clamp(base + static_cast<int>(random() % 15) - 7, 0, 255));
      }
    }
  }
  return buffer;
}

class PointStagesThreads : public ::testing::Test {
 protected:
  void TearDown() override { SetThreadVariable(nullptr); }
};

TEST_F(PointStagesThreads, SameBytesAndHistogramForEveryThreadCount) {
  const struct {
    const char* name;
    void (*stage)(PixelBuffer&);
  } stages[] = {
      {"auto-levels",
       [](PixelBuffer& b) {
         ApplyAutoLevels(b, ImageRegion{0, 0, b.width(), b.height()});
       }},
      {"auto-levels, inner region",
       [](PixelBuffer& b) {
         ApplyAutoLevels(b, ImageRegion{7, 65, b.width() - 3, b.height() - 1});
       }},
      {"sepia", [](PixelBuffer& b) { ApplySepia(b, 299, 587, 114); }},
      {"gamma, auto-levels, grayscale, sepia",
       [](PixelBuffer& b) {
         ApplyGamma(b, 1.3);
         ApplyAutoLevels(b, ImageRegion{0, 0, b.width(), b.height()});
         ApplyGrayscale(b, 212, 716, 72);
         ApplySepia(b, 212, 716, 72);
       }},
  };
  const struct { int width, height; } sizes[] = {{1401, 1001}, {7301, 3 * kPointBandRows + 1}};
  for (const auto& size : sizes) {
    const PixelBuffer picture = GrainyGradient(size.width, size.height, static_cast<uint32_t>(size.width));
    ASSERT_GE(picture.pixel_bytes(), kPointThreadsMinBytes) << "the picture must be large enough for threads";
    for (const auto& s : stages) {
      SetThreadVariable(nullptr);
      PixelBuffer alone = CopyBuffer(picture);
      s.stage(alone);
      int32_t histogram[256];
      std::copy(AutoLevelsHistogram(), AutoLevelsHistogram() + 256, histogram);
      for (const char* threads : {"2", "7", "64"}) {
        SetThreadVariable(threads);
        PixelBuffer split = CopyBuffer(picture);
        s.stage(split);
        const std::string label = std::string(s.name) + ", " + std::to_string(size.width) + " x " +
                                  std::to_string(size.height) + ", CHROMALINE_THREADS=" + threads;
        EXPECT_EQ(FirstDifference(split, alone), "") << label;
        EXPECT_TRUE(std::equal(histogram, histogram + 256, AutoLevelsHistogram())) << label << ": histogram";
      }
    }
  }
}

}  // namespace
