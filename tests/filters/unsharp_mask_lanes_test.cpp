// The row loops of every path, plain lanes included, against the plain
// loops on their own: every count of vectors left over after the whole
// blocks, one to five output rows (pairs and a row alone), value ranges
// that start and end anywhere, and kernels with and without the shortcuts
// of BlurTaps. The engine tests run the same paths over whole pictures.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/plain_lanes.h"
#include "tests/support/reference_unsharp_mask.h"

namespace {

// A kernel as the engine hands it to the loops.
struct Taps {
  ReferenceKernel kernel;
  std::vector<int> columns, rows;
  BlurTaps taps;

  explicit Taps(float radius) : kernel(ReferenceBlurKernel(radius)) {
    const int count = static_cast<int>(kernel.weights.size());
    const int n = count / 2 - 1;
    float smallest = 1.0f;
    for (int j = 0; j < count; ++j) {
      columns.push_back(3 * (kernel.offsets[j] + n));
      rows.push_back(kernel.offsets[j] + n);
      smallest = std::min(smallest, kernel.weights[j]);
    }
    taps = {count, kernel.weights.data(), columns.data(), rows.data(), smallest >= 1.0f / 4194304.0f, true};
  }
  int reach() const { return taps.count / 2 - 1; }
};

// Radii with 4, 6, 18 and 52 taps; the last one's end weights are below
// 2^-22, so its horizontal pass takes the double lanes.
constexpr float kRadii[] = {0.5f, 1.7f, 8.0f, 25.0000019f};

// Values of a horizontal row: whole numbers, as the padded source row holds.
std::vector<float> SourceRow(int values, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<float> row(values);
  for (float& v : row) v = static_cast<float>(random() % 256);
  return row;
}

TEST(BlurRowLoops, HorizontalMatchesThePlainLoopForEveryLength) {
  for (float radius : kRadii) {
    const Taps k(radius);
    const int longest = 3 * 12 * 16 + 2 * 16 + 7;  // two 12-vector float blocks, leftovers, a tail
    const std::vector<float> padded = SourceRow(longest + 6 * k.reach() + 6, 7);
    std::vector<double> expected(longest), actual(longest + 1);
    for (const LoopPath& path : LoopPathsToTest()) {
      const BlurRowLoops loops = LoopsOf(path);
      for (int values = 0; values <= longest; values += values < 200 ? 1 : 37) {
        HorizontalRowGeneric(k.taps, padded.data(), values, expected.data());
        std::fill(actual.begin(), actual.end(), -1.0);
        loops.horizontal(k.taps, padded.data(), values, actual.data());
        ASSERT_EQ(std::vector<double>(actual.begin(), actual.begin() + values),
                  std::vector<double>(expected.begin(), expected.begin() + values))
            << path.name << " path, radius " << radius << ", " << values << " values";
        ASSERT_EQ(actual[values], -1.0) << path.name << " path wrote past " << values << " values";
      }
    }
  }
}

// Below 2^-22 a weight's product can reach past the double sum's
// precision, and a single-precision fused add would round differently: here
// 1 + 65 w is 1 + 2^-24 + 2^-54 exactly, which rounds to 1 in double and
// then float, but to the next float up in one step. The loops must keep to
// double lanes (BlurTaps::horizontal_fused_exact false).
TEST(BlurRowLoops, HorizontalKeepsToDoubleLanesWhereSinglePrecisionIsNotExact) {
  const float w = std::ldexp(16519105.0f, -54);  // 65 w = 2^-24 + 2^-54
  const float weights[] = {1.0f, w};
  const int columns[] = {0, 1};
  const int rows[] = {0, 0};
  const BlurTaps taps = {2, weights, columns, rows, false, true};
  std::vector<float> padded(3 * 12 * 16 + 8);
  for (size_t i = 0; i < padded.size(); ++i) padded[i] = i % 2 == 0 ? 1.0f : 65.0f;
  const int values = static_cast<int>(padded.size()) - 1;
  std::vector<double> expected(values), actual(values);
  HorizontalRowGeneric(taps, padded.data(), values, expected.data());
  ASSERT_EQ(expected[0], 1.0);
  for (const LoopPath& path : LoopPathsToTest()) {
    LoopsOf(path).horizontal(taps, padded.data(), values, actual.data());
    EXPECT_EQ(actual, expected) << path.name << " path";
  }
}

// Intermediate rows as the horizontal pass leaves them, held as doubles
// and as floats, enough for five output rows.
struct Window {
  static constexpr int kWidth = 3 * 12 * 8 + 8 * 11 + 9;
  std::vector<std::vector<double>> doubles;
  std::vector<std::vector<float>> floats;
  std::vector<const double*> double_rows;
  std::vector<const float*> float_rows;

  explicit Window(const Taps& k) {
    for (int r = 0; r < 5 + 2 * k.reach() + 1; ++r) {
      const std::vector<float> source = SourceRow(kWidth + 6 * k.reach() + 6, 100 + r);
      doubles.emplace_back(kWidth);
      HorizontalRowGeneric(k.taps, source.data(), kWidth, doubles.back().data());
      floats.emplace_back(doubles.back().begin(), doubles.back().end());
    }
    for (int r = 0; r < static_cast<int>(doubles.size()); ++r) {
      double_rows.push_back(doubles[r].data());
      float_rows.push_back(floats[r].data());
    }
  }
};

// The vertical pass over `out_rows` rows of [first, last), on the rows as
// doubles and as floats.
void ExpectVerticalMatches(const Taps& k, const Window& w, const LoopPath& path, int out_rows, int first, int last) {
  std::vector<std::vector<unsigned char>> expected(out_rows, std::vector<unsigned char>(Window::kWidth, 0xAB));
  std::vector<std::vector<unsigned char>> actual = expected, actual_float = expected;
  std::vector<unsigned char*> expected_rows, actual_rows, actual_float_rows;
  for (int r = 0; r < out_rows; ++r) {
    expected_rows.push_back(expected[r].data());
    actual_rows.push_back(actual[r].data());
    actual_float_rows.push_back(actual_float[r].data());
  }
  VerticalBandGeneric(k.taps, w.double_rows.data(), out_rows, first, last, expected_rows.data());
  const BlurRowLoops loops = LoopsOf(path);
  loops.vertical(k.taps, w.double_rows.data(), out_rows, first, last, actual_rows.data());
  loops.vertical_float(k.taps, w.float_rows.data(), out_rows, first, last, actual_float_rows.data());
  const std::string label = path.name + " path, taps " + std::to_string(k.taps.count) + ", " +
                            std::to_string(out_rows) + " rows of [" + std::to_string(first) + ", " +
                            std::to_string(last) + ")";
  EXPECT_EQ(actual, expected) << label << ", double rows";
  EXPECT_EQ(actual_float, expected) << label << ", float rows";
}

TEST(BlurRowLoops, VerticalMatchesThePlainLoopForEveryBlockLeftoverAndRowCount) {
  // Short ranges, then every count of vectors left after a block of twelve
  // eight-lane vectors with 0, 1 or 2 values beyond, then two blocks and
  // the longest leftover.
  std::vector<int> lengths;
  for (int length = 0; length < 18; ++length) lengths.push_back(length);
  for (int m = 0; m < 12; ++m) lengths.push_back(96 + 8 * m + m % 3);
  for (int length : {192, 193, 2 * 96 + 8 * 11 + 7}) lengths.push_back(length);
  for (float radius : {kRadii[0], kRadii[2], kRadii[3]}) {
    const Taps k(radius);
    const Window w(k);
    for (const LoopPath& path : LoopPathsToTest()) {
      for (int out_rows = 1; out_rows <= 5; ++out_rows) {
        for (int length : lengths) {
          ExpectVerticalMatches(k, w, path, out_rows, 0, length);
          if (length + 3 <= Window::kWidth) ExpectVerticalMatches(k, w, path, out_rows, 3, 3 + length);
        }
      }
    }
  }
}

TEST(BlurRowLoops, SharpenRowMatchesThePlainLoopForEveryLengthAndSetting) {
  std::mt19937 random(5);
  std::vector<unsigned char> original(300), blurred(300);
  for (auto& v : original) v = static_cast<unsigned char>(random());
  for (size_t i = 0; i < blurred.size(); ++i) {
    blurred[i] = static_cast<unsigned char>(original[i] + static_cast<int>(random() % 41) - 20);
  }
  const int32_t settings[][2] = {{100, 0}, {500, 3}, {-100, 0}, {1, -5}, {20000, 254}, {37, 255}, {250, 19}};
  for (const LoopPath& path : LoopPathsToTest()) {
    const BlurRowLoops loops = LoopsOf(path);
    for (const auto& s : settings) {
      // Worked out, as the vector forms do, not looked up in a table.
      const SharpenParameters parameters{s[0] * 0.01, s[1], nullptr};
      for (int values : {0, 1, 7, 8, 9, 31, 64, 299}) {
        std::vector<unsigned char> expected = blurred, actual = blurred;
        SharpenRowGeneric(original.data(), expected.data(), values, parameters);
        loops.sharpen(original.data(), actual.data(), values, parameters);
        EXPECT_EQ(actual, expected) << path.name << " path, amount " << s[0] << " threshold " << s[1] << ", "
                                    << values << " values";
      }
    }
  }
}

}  // namespace
