// The host's rectangle can hold any four values: whatever it holds, the
// pipeline reads and writes only inside the picture (the sanitizers watch
// every access), and auto-levels changes only pixels inside the clipped
// region.
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "filters/filter_pipeline.h"

namespace {

int32_t AnyValue(std::mt19937& random, int limit) {
  switch (random() % 4) {
    case 0: return static_cast<int32_t>(random());                                       // anything at all
    case 1: return static_cast<int32_t>(random() % 3) - 1 + (random() % 2 ? limit : 0);  // near an edge
    default: return static_cast<int32_t>(random() % (2 * limit + 3)) - limit / 2;        // around the picture
  }
}

TEST(FilterPipeline, AnyRegionStaysInsideThePicture) {
  std::mt19937 random(20261207);
  for (int trial = 0; trial < 400; ++trial) {
    const int width = 1 + static_cast<int>(random() % 13);
    const int height = 1 + static_cast<int>(random() % 11);
    PixelBuffer buffer = CreatePixelBuffer(width, height, 24);
    ASSERT_TRUE(buffer);
    for (int y = 0; y < height; ++y) {
      for (int i = 0; i < width * 3; ++i) buffer.row(y)[i] = static_cast<uint8_t>(random());
    }
    const std::vector<uint8_t> before(buffer.pixels(), buffer.pixels() + buffer.pixel_bytes());
    const ImageRegion region = {AnyValue(random, width), AnyValue(random, height), AnyValue(random, width),
                                AnyValue(random, height)};
    FilterSettings settings;
    settings.AutoLevels = 1;
    RunStages(buffer, settings, region, StopQuery());

    const ImageRegion r = NormaliseRegion(region, width, height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        if (inside) continue;
        const size_t at = static_cast<size_t>(height - 1 - y) * buffer.stride() + static_cast<size_t>(x) * 3;
        ASSERT_EQ(std::memcmp(buffer.pixels() + at, &before[at], 3), 0)
            << "pixel (" << x << "," << y << ") outside region (" << region.left << "," << region.top << ","
            << region.right << "," << region.bottom << ") of " << width << "x" << height << " changed";
      }
      for (size_t pad = static_cast<size_t>(width) * 3; pad < buffer.stride(); ++pad) {
        ASSERT_EQ(buffer.row(y)[pad], 0) << "padding written";
      }
    }
  }
}

}  // namespace
