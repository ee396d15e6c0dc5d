// The gamma stage: the curve's known values for the dialog's settings, the
// whole table against the plain formula, and the gammas the dialog never
// offers (below 0, zero, infinite, not a number), which must still give
// defined values in 0..255.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "filters/point/gamma.h"
#include "filters/stages.h"
#include "tests/support/reference_point_stages.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A 256 x 1 picture with value v in blue, 255 - v in green and 7v mod 256
// in red: every value passes through every channel's lookup.
PixelBuffer EveryValue() {
  PixelBuffer buffer = CreatePixelBuffer(256, 1, 24);
  for (int v = 0; v < 256; ++v) {
    buffer.row(0)[3 * v] = static_cast<uint8_t>(v);
    buffer.row(0)[3 * v + 1] = static_cast<uint8_t>(255 - v);
    buffer.row(0)[3 * v + 2] = static_cast<uint8_t>(7 * v);
  }
  return buffer;
}

TEST(GammaTable, KnownValuesOfTheDialogsSettings) {
  const struct {
    double gamma_val;
    std::vector<std::pair<int, int>> mapping;
  } rows[] = {
      {1.0, {{1, 16}, {2, 23}, {16, 64}, {64, 128}, {128, 181}, {192, 221}, {254, 254}}},
      {-0.5, {{1, 0}, {11, 0}, {12, 1}, {16, 1}, {64, 16}, {128, 64}, {192, 145}, {254, 253}}},
      {2.0, {{1, 40}, {8, 80}, {32, 128}, {64, 161}, {128, 203}, {254, 255}}},
  };
  for (const auto& row : rows) {
    uint8_t table[256];
    BuildGammaTable(row.gamma_val + 1.0, table);
    for (const auto& [in, out] : row.mapping)
      EXPECT_EQ(table[in], out) << "GammaVal " << row.gamma_val << ", " << in;
    for (int v = 1; v <= 11 && row.gamma_val == -0.5; ++v) EXPECT_EQ(table[v], 0) << "GammaVal -0.5, " << v;
  }
}

TEST(GammaTable, ZeroIsIdentityAndMinusOneKeepsOnlyWhite) {
  uint8_t identity[256], lowest[256];
  BuildGammaTable(0.0 + 1.0, identity);
  BuildGammaTable(-1.0 + 1.0, lowest);  // gamma 0: the exponent is +infinity
  for (int v = 0; v < 256; ++v) {
    EXPECT_EQ(identity[v], v) << "GammaVal 0";
    EXPECT_EQ(lowest[v], v == 255 ? 255 : 0) << "GammaVal -1, value " << v;
  }
}

TEST(GammaTable, MatchesTheFormulaForEveryValueAndKeepsBlackAndWhite) {
  const double gammas[] = {1e-6, 0.01, 0.25, 1.0 / 3.0, 0.5, 0.77, 1.0, 1.3, 2.0, 2.5, 3.0, 10.0, 1e6};
  for (double gamma : gammas) {
    uint8_t table[256];
    BuildGammaTable(gamma, table);
    EXPECT_EQ(table[0], 0) << "gamma " << gamma;
    EXPECT_EQ(table[255], 255) << "gamma " << gamma;
    for (int v = 0; v < 256; ++v)
      ASSERT_EQ(table[v], ReferenceGammaValue(v, gamma)) << "gamma " << gamma << ", " << v;
  }
}

TEST(GammaTable, GammasTheDialogNeverOffersGiveDefinedValues) {
  // Below 0 the curve exceeds 255 everywhere and is infinite at 0: all
  // white, never an undefined conversion of an infinite or huge value.
  // +infinity is the limit of ever larger gammas; not a number leaves the
  // picture alone.
  const struct {
    const char* name;
    double gamma;
    int black, mid, white;  // results for 0, 100 and 255; -1: identity
  } rows[] = {
      {"GammaVal -1.5", -0.5, 255, 255, 255},
      {"GammaVal -2", -1.0, 255, 255, 255},
      {"GammaVal -1 - 1e-300", -1e-300, 255, 255, 255},
      {"GammaVal -1000", -999.0, 255, 255, 255},
      {"gamma -0", -0.0, 255, 255, 255},
      {"GammaVal -inf", -kInf, 255, 255, 255},
      {"GammaVal +inf", kInf, 0, 255, 255},
      {"tiny positive gamma", 1e-300, 0, 0, 255},
      {"GammaVal NaN", kNaN, 0, 100, 255},
  };
  for (const auto& row : rows) {
    uint8_t table[256];
    BuildGammaTable(row.gamma, table);
    EXPECT_EQ(table[0], row.black) << row.name;
    EXPECT_EQ(table[100], row.mid) << row.name;
    EXPECT_EQ(table[255], row.white) << row.name;
    for (int v = 0; v < 256; ++v) ASSERT_EQ(table[v], ReferenceGammaValue(v, row.gamma)) << row.name << ", " << v;
  }
}

TEST(ApplyGamma, MapsEveryChannelOfEveryPixelAndLeavesPaddingAlone) {
  for (double gamma : {0.0, 0.5, 1.0, 2.0, 3.0, -0.5, kInf, kNaN}) {
    PixelBuffer actual = EveryValue();
    PixelBuffer expected = EveryValue();
    ApplyGamma(actual, gamma);
    ReferenceGamma(expected, gamma);
    EXPECT_EQ(FirstDifference(actual, expected), "") << "gamma " << gamma;
    for (int width = 1; width <= 9; ++width) {
      PixelBuffer small = RandomBuffer(width, 3, static_cast<uint32_t>(width));
      PixelBuffer small_expected = RandomBuffer(width, 3, static_cast<uint32_t>(width));
      ApplyGamma(small, gamma);
      ReferenceGamma(small_expected, gamma);
      ASSERT_EQ(FirstDifference(small, small_expected), "") << "gamma " << gamma << ", width " << width;
    }
  }
}

}  // namespace
