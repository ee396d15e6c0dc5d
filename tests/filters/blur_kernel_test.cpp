// The blur kernel of the sharpening engine: the worked tables, equality
// with the plain reference kernel, the same weights in both builds, and
// which radii are built at all.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "filters/sharpen/unsharp_mask.h"
#include "tests/support/reference_unsharp_mask.h"

namespace {

struct KernelRow {
  double radius;
  int count;
  std::vector<double> per_pixel;  // centre, then each neighbour at +-1, +-2, ...
};

TEST(BlurKernel, MatchesTheWorkedTables) {
  const KernelRow rows[] = {
      {0.5, 4, {0.726728, 0.136636}},
      {1.0, 4, {0.570757, 0.214622}},
      {2.0, 6, {0.417439, 0.172813, 0.118468}},
      {1.01, 6, {}},
      // Local contrast radii of heights 1, 20, 32, 480, 600, 1080.
      {1 * 0.03125, 4, {1.0 - 2 * 0.011481, 0.011481}},
      {20 * 0.03125, 4, {0.680255, 0.159873}},
      {32 * 0.03125, 4, {0.570757, 0.214622}},
      {480 * 0.03125, 32, {0.1229, 0.060043}},
      {600 * 0.03125, 40, {0.100133, 0.049304}},
      {1080 * 0.03125, 70, {0.055426, 0.027584}},
  };
  const std::vector<std::pair<double, double>> outermost = {
      {480 * 0.03125, 0.003814}, {600 * 0.03125, 0.00203}, {1080 * 0.03125, 0.001298}, {1.01, 0.0015}};
  for (const KernelRow& row : rows) {
    float r = 0;
    ASSERT_TRUE(BlurKernelRadius(row.radius, &r)) << row.radius;
    const int count = BlurTapCount(r);
    ASSERT_EQ(count, row.count) << "radius " << row.radius;
    std::vector<float> weights(count);
    std::vector<int> offsets(count);
    FillBlurKernel(r, BlurKernel{count, weights.data(), offsets.data()});
    const int n = count / 2 - 1;
    std::vector<double> per_pixel(n + 1, 0.0);
    for (int j = 0; j < count; ++j) {
      EXPECT_EQ(offsets[j], j <= n ? j - n : j - n - 1) << "radius " << row.radius << " tap " << j;
      per_pixel[std::abs(offsets[j])] += offsets[j] >= 0 ? weights[j] : 0.0;
      EXPECT_EQ(weights[j], weights[count - 1 - j]) << "symmetric, radius " << row.radius;
    }
    for (size_t k = 0; k < row.per_pixel.size(); ++k) {
      EXPECT_NEAR(per_pixel[k], row.per_pixel[k], 6e-7) << "radius " << row.radius << " at +-" << k;
    }
    for (const auto& outer : outermost) {
      if (outer.first == row.radius) {
        EXPECT_NEAR(weights[0], outer.second, outer.second * 0.05) << row.radius;
      }
    }
  }
}

TEST(BlurKernel, EqualsTheReferenceKernelBitForBit) {
  std::vector<float> radii = {0.0f,  1e-30f, 1e-7f, 0.03125f, 0.1f,   0.5f,  0.999f, 1.0f,        1.0000001f,
                              1.01f, 2.0f,   2.5f,  18.75f,   33.75f, 90.0f, 120.0f, 2047.96875f, 8190.5f};
  for (int h = 1; h <= 4000; h += 37) radii.push_back(static_cast<float>(h * 0.03125));
  for (float r : radii) {
    const int count = BlurTapCount(r);
    std::vector<float> weights(count);
    std::vector<int> offsets(count);
    FillBlurKernel(r, BlurKernel{count, weights.data(), offsets.data()});
    const ReferenceKernel reference = ReferenceBlurKernel(r);
    ASSERT_EQ(reference.weights.size(), static_cast<size_t>(count)) << r;
    EXPECT_EQ(std::memcmp(weights.data(), reference.weights.data(), count * sizeof(float)), 0) << "radius " << r;
    EXPECT_EQ(offsets, reference.offsets) << "radius " << r;
  }
}

// The weights come from pow(); a 1-ulp difference between the C libraries
// of the two builds would show here first, as a different digest.
TEST(BlurKernel, WeightsAreTheSameInEveryBuild) {
  uint64_t digest = 14695981039346656037ull;
  auto mix = [&](float w) {
    uint32_t bits;
    std::memcpy(&bits, &w, sizeof bits);
    digest = (digest ^ bits) * 1099511628211ull;
  };
  std::vector<float> weights, unused;
  for (int h = 1; h <= 8192; ++h) {  // every local contrast radius up to 8192 rows
    const float r = static_cast<float>(h * 0.03125);
    const int count = BlurTapCount(r);
    weights.resize(count);
    unused.resize(count);
    FillBlurKernel(r, BlurKernel{count, weights.data(), reinterpret_cast<int*>(unused.data())});
    for (float w : weights) mix(w);
  }
  for (int tenths = 1; tenths <= 1200; ++tenths) {  // the dialog's radii
    const float r = static_cast<float>(tenths / 10.0);
    const int count = BlurTapCount(r);
    weights.resize(count);
    unused.resize(count);
    FillBlurKernel(r, BlurKernel{count, weights.data(), reinterpret_cast<int*>(unused.data())});
    for (float w : weights) mix(w);
  }
  EXPECT_EQ(digest, 0x7b8daa021c88c421ull) << std::hex << digest;
}

TEST(BlurKernelRadius, ClampsNegativesAndRefusesWhatCannotBeBuilt) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double radius;
    int count;  // 0: refused
  } rows[] = {{0.0, 2},
              {-0.0, 2},
              {-0.5, 2},
              {-1.9, 2},
              {-2.5, 2},
              {-1e9, 2},
              {-inf, 2},
              {1e-30, 2},
              {1e-6, 2},
              {0.5, 4},
              {8190.5, 16384},
              {8191.0, 16384},
              {8191.5, 0},
              {8192.0, 0},
              {1e9, 0},
              {inf, 0},
              {std::numeric_limits<double>::max(), 0},
              {std::nan(""), 0}};
  for (const auto& row : rows) {
    float r = -1.0f;
    const bool built = BlurKernelRadius(row.radius, &r);
    EXPECT_EQ(built, row.count != 0) << "radius " << row.radius;
    if (built) {
      EXPECT_EQ(BlurTapCount(r), row.count) << "radius " << row.radius;
    }
  }
}

}  // namespace
