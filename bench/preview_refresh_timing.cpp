// What a refresh of the settings dialog's lower preview pane costs: the
// pipeline's stages with every stage enabled (local contrast included, at
// the preview's scale) on a pane-sized 272 x 169 picture, and the same on a
// 1920 x 1080 picture, the work the full-screen time estimate measures.
// Median wall time of repeated runs, each on a fresh copy.
//
//   preview_refresh_timing [--repeat N]
//
// Builds natively and for Windows (run under Wine through the emulator).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "filters/filter_pipeline.h"
#include "filters/pixel_buffer.h"
#include "tests/support/sample_settings.h"

namespace {

// A seeded picture with smooth areas and edges, like a photo's.
std::vector<unsigned char> Picture(int width, int height) {
  std::vector<unsigned char> bgr(static_cast<size_t>(width) * height * 3);
  std::mt19937 random(7);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned char* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
      const int edge = ((x / 37) + (y / 23)) % 2 == 0 ? 60 : 0;
      p[0] = static_cast<unsigned char>(40 + x * 120 / width + edge + random() % 9);
      p[1] = static_cast<unsigned char>(30 + y * 150 / height + random() % 9);
      p[2] = static_cast<unsigned char>(180 - x * 90 / width + edge / 2 + random() % 9);
    }
  }
  return bgr;
}

double MedianMilliseconds(int width, int height, const FilterSettings& settings, int repeat) {
  const std::vector<unsigned char> picture = Picture(width, height);
  std::vector<double> times;
  for (int i = 0; i < repeat; ++i) {
    PixelBuffer buffer = CreatePixelBuffer(width, height, 24);
    if (!buffer) return -1.0;
    for (int y = 0; y < height; ++y) {
      std::memcpy(buffer.row(y), &picture[static_cast<size_t>(y) * width * 3], static_cast<size_t>(width) * 3);
    }
    const auto start = std::chrono::steady_clock::now();
    RunStages(buffer, settings, ImageRegion{0, 0, 0, 0}, StopQuery());
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 51;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[i + 1]));
  }
  const FilterSettings all = EveryStageEveryday();
  FilterSettings local_contrast_only;
  local_contrast_only.Defog = 1;
  local_contrast_only.DefogVal = 30;

  std::printf("%-34s %12s\n", "picture, stages", "median ms");
  std::printf("%-34s %12.3f\n", "272x169, every stage", MedianMilliseconds(272, 169, all, repeat));
  std::printf("%-34s %12.3f\n", "272x169, local contrast only",
              MedianMilliseconds(272, 169, local_contrast_only, repeat));
  const int large_repeat = std::max(1, repeat / 10);
  std::printf("%-34s %12.3f\n", "1920x1080, every stage", MedianMilliseconds(1920, 1080, all, large_repeat));
  return 0;
}
