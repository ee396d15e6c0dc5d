// The sharpening engine: its kernel, its bit-for-bit agreement with the
// plain reference on every inner-loop path, the stop query, and what it
// does with radii, amounts, thresholds and memory it cannot use.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "filters/engine/pixel_memory.h"
#include "filters/filter_pipeline.h"
#include "filters/stages.h"
#include "filters/sharpen/unsharp_mask.h"
#include "filters/sharpen/unsharp_mask_dispatch.h"
#include "filters/sharpen/unsharp_mask_rows.h"
#include "tests/support/counting_memory.h"
#include "tests/support/plain_lanes.h"
#include "tests/support/reference_point_stages.h"
#include "tests/support/reference_unsharp_mask.h"
#include "tests/support/sample_settings.h"

namespace {

// A smooth gradient with noise: differences both within and beyond the
// thresholds, unlike pure noise.
PixelBuffer TexturedBuffer(int width, int height, uint32_t seed) {
  PixelBuffer buffer = CreatePixelBuffer(width, height, 24);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < 3 * width; ++i) {
      const int base = (i * 7 + y * 5) % 256;
      const int noisy = base + static_cast<int>(random() % 21) - 10;
      buffer.row(y)[i] = static_cast<unsigned char>(std::min(255, std::max(0, noisy)));
    }
  }
  return buffer;
}

std::string Where(const PixelBuffer& a, const PixelBuffer& b) {
  for (int y = 0; y < a.height(); ++y) {
    for (int i = 0; i < 3 * a.width(); ++i) {
      if (a.row(y)[i] != b.row(y)[i]) {
        return "first difference at x " + std::to_string(i / 3) + " y " + std::to_string(y) + " channel " +
               std::to_string(i % 3) + ": " + std::to_string(a.row(y)[i]) + " vs " + std::to_string(b.row(y)[i]);
      }
    }
  }
  return "no difference in the pixels";
}

// The dispatcher's own choice, every path available, the plain lanes.
std::vector<LoopPath> AvailablePaths() { return LoopPathsToTest(); }

const char* PathName(const LoopPath& path) { return path.name.c_str(); }

// Answers nonzero at query number `stop_at` (0-based; -1: never) and counts.
struct StopScript {
  int stop_at = -1;
  int asked = 0;
  static bool Ask(void* context) {
    auto* s = static_cast<StopScript*>(context);
    return s->asked++ == s->stop_at;
  }
  StopQuery query() { return StopQuery{&StopScript::Ask, this}; }
};

// Runs the engine (on `path`) and the reference on the same input and
// settings; both start from zero-filled destinations.
void ExpectMatchesReference(const PixelBuffer& source, double radius, int32_t amount, int32_t threshold,
                            const LoopPath& path, int stop_at = -1) {
  PixelBuffer expected = CreatePixelBuffer(source.width(), source.height(), 24);
  PixelBuffer actual = CreatePixelBuffer(source.width(), source.height(), 24);
  StopScript reference_stop{stop_at}, engine_stop{stop_at};
  ReferenceUnsharpMask(source, expected, radius, amount, threshold, reference_stop.query());
  BlurOptions options;
  options.path = path.path;
  const ScopedLoopPath lanes(path);
  UnsharpMaskWith(source, actual, radius, amount, threshold, engine_stop.query(), options);
  const std::string label = std::string(PathName(path)) + " path, " + std::to_string(source.width()) + " x " +
                            std::to_string(source.height()) + ", radius " + std::to_string(radius) + ", amount " +
                            std::to_string(amount) + ", threshold " + std::to_string(threshold) + ", stop at " +
                            std::to_string(stop_at);
  EXPECT_TRUE(SamePixels(expected, actual)) << label << ": " << Where(expected, actual);
  EXPECT_EQ(engine_stop.asked, reference_stop.asked) << label;
}

// ---- engine against the reference -------------------------------------------

TEST(UnsharpMaskEngine, MatchesReferenceOnSmallAndOddPictures) {
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 1}, {1, 3}, {5, 4}, {7, 3}, {4, 7}, {13, 11}, {33, 5}};
  const double radii[] = {0.0, 0.5, 1.0, 1.01, 2.0, 3.3, 9.75};
  uint32_t seed = 1;
  for (const auto& path : AvailablePaths()) {
    for (const auto& size : sizes) {
      for (double radius : radii) {
        ExpectMatchesReference(RandomBuffer(size[0], size[1], seed++), radius, 100, 4, path);
      }
    }
  }
}

// Wide enough for several strips and vector tails, tall enough for several
// bands and a ring that wraps.
TEST(UnsharpMaskEngine, MatchesReferenceAcrossBandsStripsAndLaneTails) {
  const struct {
    int width, height;
    double radius;
  } cases[] = {{150, 200, 5.0}, {67, 300, 0.5}, {131, 97, 12.25}, {9, 260, 30.0}, {250, 3, 1.01}};
  for (const auto& path : AvailablePaths()) {
    uint32_t seed = 100;
    for (const auto& c : cases) {
      ExpectMatchesReference(TexturedBuffer(c.width, c.height, seed++), c.radius, 80, 3, path);
    }
  }
}

TEST(UnsharpMaskEngine, MatchesReferenceOnSeededRandomSettings) {
  std::mt19937 random(2024);
  for (int trial = 0; trial < 24; ++trial) {
    const int width = 1 + static_cast<int>(random() % 40);
    const int height = 1 + static_cast<int>(random() % 40);
    const double radius = (random() % 1000) / 64.0;
    const int32_t amount = static_cast<int32_t>(random() % 601) - 100;
    const int32_t threshold = static_cast<int32_t>(random() % 12) - 2;
    const uint32_t seed = random();
    const PixelBuffer source = trial % 2 ? RandomBuffer(width, height, seed) : TexturedBuffer(width, height, seed);
    for (const auto& path : AvailablePaths()) ExpectMatchesReference(source, radius, amount, threshold, path);
  }
}

// Radii whose end weights fall below 2^-22 take the double lanes in the
// horizontal pass too; they must agree all the same.
TEST(UnsharpMaskEngine, MatchesReferenceWithTinyEndWeights) {
  for (double radius : {1.0000001192092896, 3.0000002384185791, 40.000003814697266}) {
    for (const auto& path : AvailablePaths())
      ExpectMatchesReference(TexturedBuffer(70, 90, 9), radius, 100, 0, path);
  }
}

// The vector loops round each running sum to float without converting it;
// sums that land exactly halfway between two floats, or step into the next
// power of two, must round as the plain loop does. Each case is a column
// whose first taps build a sum just below an integer and whose next tap
// adds half a float step or a whole one, so a wrong rounding shows in the
// truncated byte. Rows are long enough for every width of vector block.
TEST(UnsharpMaskEngine, VectorLoopsRoundTiesAndPowersOfTwoLikeThePlainLoop) {
  const float half_step_below_2 = std::ldexp(1.0f, -23);  // half an ulp of floats just below 2
  const struct {
    float first, second;  // the values the first two taps read
    float first_weight, second_weight;
  } cases[] = {
      {2.0f - 2 * half_step_below_2, 1.0f, 1.0f, half_step_below_2},        // tie: up to 2.0
      {2.0f - 4 * half_step_below_2, 1.0f, 1.0f, half_step_below_2},        // tie: stays below 2
      {2.0f - 2 * half_step_below_2, 1.0f, 1.0f, 2 * half_step_below_2},    // exactly 2.0
      {255.0f - std::ldexp(1.0f, -16), 1.0f, 1.0f, std::ldexp(1.0f, -17)},  // tie at 255
      {1.0f - std::ldexp(1.0f, -24), 3.0f, 1.0f, std::ldexp(1.0f, -26)},    // crosses 1.0
      {0.0f, 0.0f, 1.0f, 1.0f},                                             // zero sums
      {std::ldexp(1.0f, -60), 7.0f, 1.0f, std::ldexp(1.0f, -62)},           // tiny sums
  };
  const int values = 3 * 8 * 24 + 8 * 8 + 8 + 5;  // a 24-vector block, an 8-vector one, a single one, a tail
  for (const auto& c : cases) {
    const float weights[] = {c.first_weight, c.second_weight};
    const int columns[] = {0, 0};
    const int rows[] = {0, 1};
    const BlurTaps taps = {2, weights, columns, rows, false, true};
    std::vector<double> first(values, c.first), second(values, c.second);
    for (int i = 0; i < values; i += 7) second[i] = 0.0;  // some lanes take no step at all
    const double* window[] = {first.data(), second.data()};
    std::vector<unsigned char> expected(values), actual(values);
    unsigned char* expected_row = expected.data();
    unsigned char* actual_row = actual.data();
    VerticalBandGeneric(taps, window, 1, 0, values, &expected_row);
    for (const auto& path : AvailablePaths()) {
      std::fill(actual.begin(), actual.end(), 0xAB);
      LoopsOf(path).vertical(taps, window, 1, 0, values, &actual_row);
      EXPECT_EQ(actual, expected) << PathName(path) << " path, values " << c.first << " and " << c.second;
    }
  }
}

TEST(UnsharpMaskEngine, LocalContrastRadiiMatchReference) {
  for (int height : {1, 20, 32, 100, 480}) {
    const PixelBuffer source = TexturedBuffer(height >= 480 ? 6 : 23, height, height);
    for (const auto& path : AvailablePaths()) ExpectMatchesReference(source, height * 0.03125, 10, 4, path);
  }
}

TEST(UnsharpMaskEngine, ExtremeAmountsAndThresholdsMatchReference) {
  const int32_t values[] = {INT32_MIN, INT32_MIN + 1, -1000000, -1, 0, 1, 255, 256, INT32_MAX};
  const PixelBuffer source = TexturedBuffer(21, 9, 5);
  for (const auto& path : AvailablePaths()) {
    for (int32_t amount : values) {
      for (int32_t threshold : values) ExpectMatchesReference(source, 1.5, amount, threshold, path);
    }
  }
}

// ---- stop query -------------------------------------------------------------

TEST(UnsharpMaskEngine, AsksOncePerRowThenOncePerColumn) {
  for (const auto& size : {std::pair<int, int>{1, 1}, {9, 4}, {70, 150}}) {
    PixelBuffer source = RandomBuffer(size.first, size.second, 3);
    PixelBuffer destination = CreatePixelBuffer(size.first, size.second, 24);
    StopScript script;
    UnsharpMask(source, destination, 2.0, 100, 4, script.query());
    EXPECT_EQ(script.asked, size.first + size.second) << size.first << " x " << size.second;
  }
}

TEST(UnsharpMaskEngine, DestinationAfterEveryKindOfStopMatchesReference) {
  const int width = 70, height = 150;  // three bands with radius 6
  const PixelBuffer source = TexturedBuffer(width, height, 77);
  const int stops[] = {
      0, 1, 63, 64, 80, height - 1, height, height + 1, height + 33, height + width - 2, height + width - 1};
  for (const auto& path : AvailablePaths()) {
    for (int stop_at : stops) ExpectMatchesReference(source, 6.0, 100, 4, path, stop_at);
  }
}

TEST(UnsharpMaskEngine, StopStatesAreZeroThenBlurredColumnsThenWholeBlur) {
  const int width = 20, height = 90;
  const PixelBuffer source = TexturedBuffer(width, height, 8);
  PixelBuffer blur = CreatePixelBuffer(width, height, 24);
  ASSERT_EQ(SeparableBlur(source, blur, 2.0, StopQuery()), BlurOutcome::kComplete);

  for (int stop_at : {0, 70, height - 1}) {  // horizontal pass: all zero
    PixelBuffer destination = CreatePixelBuffer(width, height, 24);
    StopScript script{stop_at};
    UnsharpMask(source, destination, 2.0, 100, 4, script.query());
    EXPECT_EQ(script.asked, stop_at + 1);
    for (size_t i = 0; i < destination.pixel_bytes(); ++i) ASSERT_EQ(destination.pixels()[i], 0) << stop_at;
  }
  for (int column : {0, 7, width - 1}) {  // vertical pass: columns 0..column blurred
    PixelBuffer destination = CreatePixelBuffer(width, height, 24);
    StopScript script{height + column};
    UnsharpMask(source, destination, 2.0, 100, 4, script.query());
    EXPECT_EQ(script.asked, height + column + 1);
    for (int y = 0; y < height; ++y) {
      for (int i = 0; i < 3 * width; ++i) {
        ASSERT_EQ(destination.row(y)[i], i / 3 <= column ? blur.row(y)[i] : 0) << "stop after column " << column;
      }
    }
  }
}

// ---- radii, memory ------------------------------------------------------------

TEST(UnsharpMaskEngine, NegativeRadiiBehaveLikeZeroAndLeaveThePictureUnchanged) {
  // Padding 0 like the new destination's, which the stage leaves alone.
  const PixelBuffer source = RandomBuffer(11, 6, 4, 0);
  for (double radius : {0.0, -0.5, -3.0, -1e300, -std::numeric_limits<double>::infinity()}) {
    PixelBuffer destination = CreatePixelBuffer(11, 6, 24);
    StopScript script;
    UnsharpMask(source, destination, radius, 500, -7, script.query());
    EXPECT_TRUE(SamePixels(source, destination)) << "radius " << radius << ": " << Where(source, destination);
    EXPECT_EQ(script.asked, 11 + 6) << "radius " << radius;
  }
}

TEST(UnsharpMaskEngine, UnbuildableRadiiSkipTheStageAtOnce) {
  const PixelBuffer source = RandomBuffer(300, 200, 6);
  for (double radius : {std::nan(""), 8191.5, 1e9, std::numeric_limits<double>::infinity()}) {
    PixelBuffer destination = CreatePixelBuffer(300, 200, 24);
    StopScript script;
    UnsharpMask(source, destination, radius, 100, 0, script.query());
    EXPECT_TRUE(SamePixels(source, destination)) << "radius " << radius;
    EXPECT_EQ(script.asked, 0) << "radius " << radius;
  }
}

// One thread: every refusal skips the stage. Two: a refused block of the
// threads' own may also leave the whole blur to the calling thread.
// Each of the engine's blocks refused in turn, into a second picture and
// in place: the stage is skipped, or runs whole on one thread when the
// blocks for more are refused, or with its ring as floats when a ring of
// doubles is refused (the tall picture's; its kernel is too long for a
// ring of floats from the start), or works each value out when its table
// of sharpened values is refused. Nothing leaks.
TEST(UnsharpMaskEngine, FailedAllocationsSkipTheStageOrRunOnOneThreadAndLeakNothing) {
  const struct {
    int width, height;
    double radius;
    bool in_place;
  } cases[] = {{40, 30, 3.0, false}, {40, 30, 3.0, true}, {20, 1000, 5.0, false}, {20, 1000, 5.0, true}};
  for (const auto& c : cases) {
    const PixelBuffer source = TexturedBuffer(c.width, c.height, 12);
    auto run = [&](BlurOptions options, StopScript& script) {
      PixelBuffer result = CreatePixelBuffer(c.width, c.height, 24);
      if (c.in_place) {
        std::memcpy(result.pixels(), source.pixels(), source.pixel_bytes());
        UnsharpMaskInPlaceWith(result, c.radius, 100, 4, script.query(), options);
      } else {
        UnsharpMaskWith(source, result, c.radius, 100, 4, script.query(), options);
      }
      return result;
    };
    for (int threads : {1, 2}) {
      CountingMemory probe;
      BlurOptions options = probe.options();
      options.threads = threads;
      options.threaded_work = 0;
      StopScript unstopped;
      const PixelBuffer whole = run(options, unstopped);
      ASSERT_GT(probe.allocations, 0);
      EXPECT_EQ(probe.outstanding, 0);
      int ran_whole = 0;
      for (int fail_at = 0; fail_at < probe.allocations; ++fail_at) {
        const std::string label = std::to_string(c.width) + " x " + std::to_string(c.height) +
                                  (c.in_place ? " in place, " : ", ") + std::to_string(threads) +
                                  " threads, allocation " + std::to_string(fail_at) + " failed";
        CountingMemory memory;
        memory.fail_at = fail_at;
        options.memory = memory.memory();
        StopScript script;
        const PixelBuffer result = run(options, script);
        const bool skipped = SamePixels(source, result);
        EXPECT_TRUE(skipped || SamePixels(whole, result)) << label;
        EXPECT_EQ(memory.outstanding, 0) << label;
        EXPECT_EQ(script.asked, skipped ? 0 : c.width + c.height) << label;
        if (memory.refused_bytes == 256 * 256) {
          // The table of sharpened values: each value is worked out instead.
          EXPECT_TRUE(SamePixels(whole, result)) << label << ": the table";
          continue;
        }
        ran_whole += SamePixels(whole, result) ? 1 : 0;
        // Run with less, unless the table of sharpened values, asked for
        // once the blur's blocks are given back, is the most held at once.
        if (!skipped && probe.peak > 256 * 256) {
          EXPECT_LT(memory.peak, probe.peak) << label;
        }
      }
      const std::string label = std::to_string(c.height) + " rows, " + std::to_string(threads) + " threads";
      EXPECT_EQ(ran_whole > 0, threads > 1 || c.height == 1000) << label;
    }
  }
}

TEST(UnsharpMaskEngine, WorkingMemoryStaysBelowTheFloatPicture) {
  for (double radius : {0.5, 20.0}) {
    const PixelBuffer source = TexturedBuffer(160, 400, 13);
    PixelBuffer destination = CreatePixelBuffer(160, 400, 24);
    CountingMemory memory;
    StopScript script{400 + 10};  // stopped in the vertical pass: all blocks released too
    UnsharpMaskWith(source, destination, radius, 100, 4, script.query(), memory.options());
    EXPECT_LT(memory.peak, uint64_t{12} * 160 * 400) << "radius " << radius;
    EXPECT_EQ(memory.outstanding, 0) << "radius " << radius;
  }
}

// ---- sharpening step ------------------------------------------------------------

TEST(SharpenFromBlur, WorkedExamples) {
  const struct {
    int original, blurred;
    int32_t amount, threshold;
    int expected;
  } rows[] = {
      {200, 190, 100, 4, 210},
      {250, 200, 100, 4, 255},
      {10, 60, 100, 4, 0},
      {104, 100, 100, 4, 104},
      {96, 100, 100, 4, 96},
      {105, 100, 100, 4, 110},
      {100, 97, 50, 0, 101},
      {160, 150, 10, 4, 161},
      {155, 150, 10, 4, 155},
      {180, 150, 10, 4, 183},
      {152, 150, 10, 4, 152},
      {90, 100, 0, -1, 90},
      {90, 100, -50, 0, 95},
      {0, 255, 100, 254, 0},
      {0, 255, 100, 255, 0},
      {255, 0, 100, 255, 255},
      // Extremes: no overflow, and the clamps decide.
      {101, 100, INT32_MAX, 0, 255},
      {99, 100, INT32_MAX, 0, 0},
      {101, 100, INT32_MIN, 0, 0},
      {99, 100, INT32_MIN, 0, 255},
      {0, 255, INT32_MAX, INT32_MAX, 0},
      {37, 200, 100, INT32_MIN, 0},
      {37, 37, INT32_MAX, INT32_MIN, 37},
      {200, 37, 1, INT32_MIN, 201},
  };
  for (const auto& row : rows) {
    PixelBuffer source = CreatePixelBuffer(1, 1, 24);
    PixelBuffer destination = CreatePixelBuffer(1, 1, 24);
    source.row(0)[1] = static_cast<unsigned char>(row.original);
    destination.row(0)[1] = static_cast<unsigned char>(row.blurred);
    SharpenFromBlur(source, destination, row.amount, row.threshold);
    EXPECT_EQ(destination.row(0)[1], row.expected) << "O " << row.original << " B " << row.blurred << " amount "
                                                   << row.amount << " threshold " << row.threshold;
  }
}

// Every (O, B) pair on every path, with ordinary and extreme settings.
TEST(SharpenFromBlur, EveryPairOnEveryPathMatchesReference) {
  const int32_t settings[][2] = {{100, 4},       {10, 4},      {50, 0},        {-50, -1},
                                 {0, -5},        {333, 255},   {INT32_MAX, 0}, {INT32_MIN, INT32_MIN},
                                 {7, INT32_MAX}, {-1000000, 3}};
  PixelBuffer source = CreatePixelBuffer(256, 256, 24);
  PixelBuffer blur = CreatePixelBuffer(256, 256, 24);
  for (int o = 0; o < 256; ++o) {
    for (int i = 0; i < 3 * 256; ++i) {
      source.row(o)[i] = static_cast<unsigned char>(o);
      blur.row(o)[i] = static_cast<unsigned char>((i / 3 + 85 * (i % 3)) % 256);
    }
  }
  for (const auto& path : AvailablePaths()) {
    for (const auto& setting : settings) {
      PixelBuffer result = CreatePixelBuffer(256, 256, 24);
      std::memcpy(result.pixels(), blur.pixels(), blur.pixel_bytes());
      const ScopedLoopPath lanes(path);
      SharpenFromBlur(source, result, setting[0], setting[1], path.path);
      for (int o = 0; o < 256; ++o) {
        for (int i = 0; i < 3 * 256; ++i) {
          ASSERT_EQ(result.row(o)[i], ReferenceSharpen(o, blur.row(o)[i], setting[0], setting[1]))
              << PathName(path) << " path, O " << o << " B " << int{blur.row(o)[i]} << " amount " << setting[0]
              << " threshold " << setting[1];
        }
      }
    }
  }
}

TEST(SharpenFromBlur, DecidesEachChannelOnItsOwn) {
  PixelBuffer source = CreatePixelBuffer(1, 1, 24);
  PixelBuffer destination = CreatePixelBuffer(1, 1, 24);
  const unsigned char o[3] = {100, 100, 100}, b[3] = {98, 90, 110};
  std::memcpy(source.row(0), o, 3);
  std::memcpy(destination.row(0), b, 3);
  SharpenFromBlur(source, destination, 100, 4);
  EXPECT_EQ(destination.row(0)[0], 100);  // within the threshold: unchanged
  EXPECT_EQ(destination.row(0)[1], 110);
  EXPECT_EQ(destination.row(0)[2], 90);
}

// ---- pipeline ---------------------------------------------------------------------

TEST(SharpeningStages, LocalContrastThenUnsharpMaskMatchTwoReferencePasses) {
  PixelBuffer buffer = TexturedBuffer(30, 600, 21);
  PixelBuffer first = CreatePixelBuffer(30, 600, 24), second = CreatePixelBuffer(30, 600, 24);
  ReferenceUnsharpMask(buffer, first, 18.75, 10, 4, StopQuery());
  ReferenceUnsharpMask(first, second, 1.5, 140, 2, StopQuery());

  const FilterSettings settings = SharpeningOnly(10, 1.5, 140, 2);
  StopScript script;
  RunStages(buffer, settings, ImageRegion{0, 0, 0, 0}, script.query());
  EXPECT_TRUE(SamePixels(buffer, second)) << Where(buffer, second);
  EXPECT_EQ(script.asked, 2 * (30 + 600)) << "each stage asks H + W times";
}

// A stop in either stage, against two reference passes. The second stage
// writes into the picture the first one replaced (the input, its row
// padding dirty as a host's may be), so whatever a stop leaves unblurred
// must be cleared there and the padding must come out zero.
TEST(SharpeningStages, AStopInEitherStageLeavesWhatTwoReferencePassesLeave) {
  constexpr int kWidth = 37, kHeight = 40, kQueries = kWidth + kHeight;
  struct Case {
    const char* name;
    int stop_at;
  } cases[] = {
      {"local contrast, a row", 5},
      {"local contrast, a column", kHeight + 9},
      {"unsharp mask, the first row", kQueries},
      {"unsharp mask, a row", kQueries + 20},
      {"unsharp mask, a column", kQueries + kHeight + 11},
      {"unsharp mask, the last column", 2 * kQueries - 1},
  };
  const FilterSettings settings = SharpeningOnly(60, 2.5, 150, 1);
  for (const Case& c : cases) {
    PixelBuffer input = TexturedBuffer(kWidth, kHeight, 9);
    PixelBuffer first = CreatePixelBuffer(kWidth, kHeight, 24), second = CreatePixelBuffer(kWidth, kHeight, 24);
    StopScript reference_stop{c.stop_at};
    ReferenceUnsharpMask(input, first, kHeight * 0.03125, settings.DefogVal, 4, reference_stop.query());
    ReferenceUnsharpMask(first, second, settings.USMRadius, settings.USMAmount, settings.USMThreshold,
                         reference_stop.query());
    for (int y = 0; y < kHeight; ++y) input.row(y)[3 * kWidth] = 0xA5;
    StopScript stop{c.stop_at};
    RunStages(input, settings, ImageRegion{0, 0, 0, 0}, stop.query());
    EXPECT_TRUE(SamePixels(input, second)) << c.name << ": " << Where(input, second);
  }
}

// Every allocation of a pipeline run refused in turn, pixel blocks and
// engine blocks alike: each sharpening stage then runs whole (in place when
// its second picture is refused) or is skipped, and every block is given
// back. The same for each allocation of a run in place.
TEST(SharpeningStages, EachRefusedAllocationSkipsAStageWholeAndLeaksNothing) {
  struct Case {
    const char* name;
    int32_t local_contrast, unsharp_mask;
    bool in_place = false;  // the unsharp mask alone, over the picture
  };
  auto run = [](const Case& c, long refuse_at) {
    FilterSettings settings;
    settings.Defog = c.local_contrast;
    settings.DefogVal = 40;
    settings.USMEnable = c.unsharp_mask;
    settings.USMRadius = 2.5;
    settings.USMAmount = 150;
    settings.USMThreshold = 0;
    PixelBuffer buffer = TexturedBuffer(37, 70, 5);
    const long outstanding = PixelMemoryOutstanding();
    RefusePixelMemoryAt(refuse_at);
    if (c.in_place) {
      UnsharpMaskInPlace(buffer, settings.USMRadius, settings.USMAmount, settings.USMThreshold, StopQuery());
    } else {
      RunStages(buffer, settings, ImageRegion{0, 0, 0, 0}, StopQuery());
    }
    const long requests = PixelMemoryRequests();
    void* later = AllocateEngineBlock(16);  // only the one allocation is refused
    EXPECT_NE(later, nullptr) << c.name << ", allocation " << refuse_at << " refused";
    FreeEngineBlock(later);
    RefusePixelMemoryAt(0);
    EXPECT_EQ(PixelMemoryOutstanding(), outstanding) << c.name << ", allocation " << refuse_at << " refused";
    return std::make_pair(std::move(buffer), requests);
  };
  const PixelBuffer unchanged = TexturedBuffer(37, 70, 5);
  const PixelBuffer local_only = run(Case{"local contrast", 1, 0}, 0).first;
  const PixelBuffer unsharp_only = run(Case{"unsharp mask", 0, 1}, 0).first;
  // The stage's second picture is the first allocation: refused, the
  // stage runs in place to the same bytes.
  EXPECT_TRUE(SamePixels(run(Case{"local contrast", 1, 0}, 1).first, local_only));
  EXPECT_TRUE(SamePixels(run(Case{"in place", 0, 1, true}, 0).first, unsharp_only));
  for (const Case& c : {Case{"local contrast", 1, 0}, Case{"unsharp mask", 0, 1}, Case{"both", 1, 1},
                        Case{"in place", 0, 1, true}}) {
    auto [whole, requests] = run(c, 0);
    ASSERT_GT(requests, 1) << c.name;
    const PixelBuffer* allowed[] = {&unchanged, &whole, c.local_contrast && c.unsharp_mask ? &local_only : &whole,
                                    c.local_contrast && c.unsharp_mask ? &unsharp_only : &whole};
    bool saw_skip = false;
    for (long n = 1; n <= requests; ++n) {
      const PixelBuffer result = run(c, n).first;
      const bool known = std::any_of(std::begin(allowed), std::end(allowed),
                                     [&](const PixelBuffer* p) { return SamePixels(*p, result); });
      EXPECT_TRUE(known) << c.name << ", allocation " << n << " of " << requests << " refused";
      saw_skip = saw_skip || !SamePixels(whole, result);
    }
    EXPECT_TRUE(saw_skip) << c.name << ": no refusal skipped a stage";
  }
}

// Source rows read again match the picture only when every read succeeds
// and every byte agrees; the picture sharpened over itself from rows that
// match gives the bytes of a second picture.
TEST(SharpeningOverSource, OnlyRowsThatReadBackExactlyMatchAndGiveTheSecondPicturesBytes) {
  constexpr int kWidth = 37, kHeight = 150;  // three bands of source rows
  struct Case {
    const char* name;
    int differ_row;  // -1: none
    int fail_read;   // the read (from 1) that fails; 0: none
    bool matches;
  } cases[] = {
      {"the picture's own rows", -1, 0, true},     {"the first row differs", 0, 0, false},
      {"a row of the second band", 100, 0, false}, {"the last row differs", kHeight - 1, 0, false},
      {"the first read fails", -1, 1, false},      {"the last band's read fails", -1, 3, false},
  };
  struct Source {
    const PixelBuffer* picture;
    const Case* c;
    int reads = 0;
    static bool Read(int, int, int first, int count, unsigned char* out, void* context) {
      auto& self = *static_cast<Source*>(context);
      if (++self.reads == self.c->fail_read) return false;
      const size_t stride = self.picture->stride();
      for (int k = 0; k < count; ++k) {
        unsigned char* row = out + static_cast<size_t>(count - 1 - k) * stride;
        std::memcpy(row, self.picture->row(first + k), stride);
        if (first + k == self.c->differ_row) row[3 * kWidth - 1] ^= 1;
      }
      return true;
    }
  };
  const PixelBuffer original = TexturedBuffer(kWidth, kHeight, 21);
  PixelBuffer sharpened = CreatePixelBuffer(kWidth, kHeight, 24);
  UnsharpMaskWith(original, sharpened, 3.5, 120, 2, StopQuery(), BlurOptions());
  std::vector<unsigned char> band(kSourceBandRows * original.stride());
  for (const Case& c : cases) {
    PixelBuffer picture = TexturedBuffer(kWidth, kHeight, 21);
    Source source{&original, &c};
    const SourceRows rows(kWidth, kHeight, Source::Read, &source);
    EXPECT_EQ(rows.Matches(picture, band.data(), kSourceBandRows), c.matches) << c.name;
    if (!c.matches) continue;
    EXPECT_EQ(UnsharpMaskOverSource(picture, 3.5, 120, 2, StopQuery(), BlurOptions(), rows), BlurOutcome::kComplete);
    EXPECT_TRUE(SamePixels(picture, sharpened)) << c.name << ": " << Where(picture, sharpened);
  }
  // Rows of another picture size never match, and rows beyond the
  // picture are never asked of the reader.
  const PixelBuffer taller = TexturedBuffer(kWidth, kHeight + 1, 21);
  Source source{&original, &cases[0]};
  const SourceRows rows(kWidth, kHeight, Source::Read, &source);
  EXPECT_FALSE(rows.Matches(taller, band.data(), kSourceBandRows));
  EXPECT_FALSE(rows.Read(kHeight - 1, 2, band.data()));
  EXPECT_FALSE(rows.Read(-1, 1, band.data()));
  EXPECT_EQ(source.reads, 0);
}

}  // namespace
