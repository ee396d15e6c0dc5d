// The tone stages: the HLS conversion and sepia palette, the grayscale and
// sepia results the weighting modes are known for, and both stages against
// their plain references for every channel value and on random pictures.
#include <gtest/gtest.h>

#include "filters/filter_pipeline.h"
#include "filters/stages.h"
#include "filters/point/tone.h"
#include "tests/support/reference_point_stages.h"

namespace {

const char* const kModeNames[6] = {"Standard", "BT709", "RMY", "Red Channel", "Blue Channel", "Green Channel"};

ChannelWeight Mode(int mode) { return WeightsForFilterParam(mode); }

// One pixel through a stage: (blue, green, red) in, the pixel out.
struct Bgr {
  int blue, green, red;
};
Bgr RunOnPixel(void (*stage)(PixelBuffer&, int32_t, int32_t, int32_t), int mode, Bgr in) {
  PixelBuffer buffer = UniformBuffer(1, 1, static_cast<uint8_t>(in.blue), static_cast<uint8_t>(in.green),
                                     static_cast<uint8_t>(in.red));
  const ChannelWeight w = Mode(mode);
  stage(buffer, w.red, w.green, w.blue);
  const uint8_t* p = buffer.row(0);
  return {p[0], p[1], p[2]};
}

// A 256 x 4 picture holding every value v as gray (v, v, v) and in each
// channel alone, so that every table entry of a stage is used.
PixelBuffer EveryChannelValue() {
  PixelBuffer buffer = CreatePixelBuffer(256, 4, 24);
  for (int v = 0; v < 256; ++v) {
    for (int y = 0; y < 4; ++y) {
      uint8_t* p = buffer.row(y) + 3 * v;
      p[0] = static_cast<uint8_t>(y == 0 || y == 3 ? v : 0);
      p[1] = static_cast<uint8_t>(y == 0 || y == 2 ? v : 0);
      p[2] = static_cast<uint8_t>(y == 0 || y == 1 ? v : 0);
    }
  }
  return buffer;
}

TEST(SepiaPalette, HasTheKnownBrownsAndMatchesTheClosedForm) {
  const struct {
    int level, red, green, blue;
  } rows[] = {{0, 0, 0, 0},         {1, 2, 1, 0},         {30, 48, 32, 16},     {60, 96, 64, 32},
              {90, 143, 96, 48},    {120, 191, 128, 64},  {121, 191, 129, 66},  {150, 207, 159, 112},
              {180, 223, 191, 159}, {210, 239, 223, 207}, {239, 254, 254, 254}, {240, 255, 255, 255}};
  const SepiaPalette palette = BuildSepiaPalette();
  ASSERT_EQ(palette.size(), 241u);
  for (const auto& row : rows) {
    EXPECT_EQ(palette[row.level].red, row.red) << "entry " << row.level;
    EXPECT_EQ(palette[row.level].green, row.green) << "entry " << row.level;
    EXPECT_EQ(palette[row.level].blue, row.blue) << "entry " << row.level;
  }
  for (int level = 0; level < kSepiaLevels; ++level) {
    const ReferenceColour want = ReferenceSepiaColour(level);
    EXPECT_EQ(palette[level].red, want.red) << "entry " << level;
    EXPECT_EQ(palette[level].green, want.green) << "entry " << level;
    EXPECT_EQ(palette[level].blue, want.blue) << "entry " << level;
  }
}

TEST(HlsToRgb, GraysPrimariesAndTheWrappedHue) {
  const struct {
    uint32_t hue, lightness, saturation;
    int red, green, blue;
  } rows[] = {
      {0, 0, 0, 0, 0, 0},           {100, 240, 0, 255, 255, 255}, {7, 120, 0, 127, 127, 127},  // saturation 0
      {0, 120, 240, 255, 0, 0},     {80, 120, 240, 0, 255, 0},    {160, 120, 240, 0, 0, 255},  // primaries
      {40, 120, 240, 255, 255, 0},                                                             // yellow
      {200, 120, 240, 255, 0, 255},                                                            // magenta
      {0, 60, 240, 128, 0, 0},     // hue 0: hue - 80 wraps round and blue takes the lower level
      {239, 120, 240, 255, 0, 6},  // hue + 80 passes 240 and comes back round for red
  };
  for (const auto& row : rows) {
    const RgbColour c = HlsToRgb(row.hue, row.lightness, row.saturation);
    EXPECT_EQ(c.red, row.red) << "HLS " << row.hue << "," << row.lightness << "," << row.saturation;
    EXPECT_EQ(c.green, row.green) << "HLS " << row.hue << "," << row.lightness << "," << row.saturation;
    EXPECT_EQ(c.blue, row.blue) << "HLS " << row.hue << "," << row.lightness << "," << row.saturation;
  }
}

TEST(ApplyGrayscale, KnownResultsOfEachMode) {
  const Bgr white = {255, 255, 255}, mid = {128, 128, 128}, red = {0, 0, 255}, green = {0, 255, 0};
  const struct {
    int mode;
    Bgr in;
    int gray;
  } rows[] = {
      // Each share is truncated on its own, so white falls short except in
      // the single-channel modes.
      {0, white, 254}, {1, white, 254}, {2, white, 253}, {3, white, 255}, {4, white, 255},
      {5, white, 255}, {0, mid, 127},  // 38 + 75 + 14
      {0, red, 76},    {1, red, 54},    {2, red, 127},   {3, red, 255},   {4, red, 0},
      {5, red, 0},     {4, green, 0},   {5, green, 255}, {3, green, 0},   {0, {0, 0, 0}, 0},
  };
  for (const auto& row : rows) {
    const Bgr out = RunOnPixel(ApplyGrayscale, row.mode, row.in);
    EXPECT_TRUE(out.blue == row.gray && out.green == row.gray && out.red == row.gray)
        << kModeNames[row.mode] << " on (" << row.in.red << "," << row.in.green << "," << row.in.blue << ") gave "
        << out.red << "," << out.green << "," << out.blue << "; want " << row.gray;
  }
}

TEST(ApplySepia, KnownPaletteEntriesOfEachMode) {
  const Bgr white = {255, 255, 255}, black = {0, 0, 0}, mid = {128, 128, 128};
  const Bgr red = {0, 0, 255}, green = {0, 255, 0}, one = {1, 1, 1};
  struct Row {
    int mode;
    Bgr in;
    int level;
  };
  std::vector<Row> rows = {
      {0, red, 71}, {3, red, 240}, {3, green, 0}, {3, one, 0},  // 240 / 255 is truncated
  };
  for (int mode = 0; mode < 6; ++mode) {
    rows.push_back({mode, white, 240});
    rows.push_back({mode, black, 0});
    rows.push_back({mode, mid, 120});
  }
  const SepiaPalette palette = BuildSepiaPalette();
  EXPECT_EQ(palette[120].red, 191);
  EXPECT_EQ(palette[120].green, 128);
  EXPECT_EQ(palette[120].blue, 64);
  for (const Row& row : rows) {
    const Bgr out = RunOnPixel(ApplySepia, row.mode, row.in);
    const RgbColour want = palette[row.level];
    EXPECT_TRUE(out.blue == want.blue && out.green == want.green && out.red == want.red)
        << kModeNames[row.mode] << " on (" << row.in.red << "," << row.in.green << "," << row.in.blue << ") gave "
        << out.red << "," << out.green << "," << out.blue << "; want entry " << row.level;
  }
}

using ToneStage = void (*)(PixelBuffer&, int32_t, int32_t, int32_t);
const struct {
  const char* name;
  ToneStage stage;
  ToneStage reference;
} kToneStages[] = {{"grayscale", ApplyGrayscale, ReferenceGrayscale}, {"sepia", ApplySepia, ReferenceSepia}};

TEST(ToneStages, MatchTheReferenceForEveryChannelValueInEveryMode) {
  for (const auto& tone : kToneStages) {
    for (int mode = 0; mode < 6; ++mode) {
      const ChannelWeight w = Mode(mode);
      PixelBuffer actual = EveryChannelValue();
      PixelBuffer expected = EveryChannelValue();
      tone.stage(actual, w.red, w.green, w.blue);
      tone.reference(expected, w.red, w.green, w.blue);
      EXPECT_EQ(FirstDifference(actual, expected), "") << tone.name << ", " << kModeNames[mode];
    }
  }
}

TEST(ToneStages, MatchTheReferenceOnRandomPicturesOfEveryRowPadding) {
  // Widths 1 to 9 cover every padding of a row; the odd weights are not a
  // mode of the dialog but exercise every share table.
  const ChannelWeight weights[] = {Mode(0), Mode(1), Mode(2),         Mode(3),
                                   Mode(4), Mode(5), {333, 333, 334}, {1, 2, 997}};
  for (const auto& tone : kToneStages) {
    for (const ChannelWeight& w : weights) {
      for (int width = 1; width <= 9; ++width) {
        for (int height : {1, 2, 5}) {
          const uint32_t seed = static_cast<uint32_t>(width * 31 + height + w.red);
          PixelBuffer actual = RandomBuffer(width, height, seed);
          PixelBuffer expected = RandomBuffer(width, height, seed);
          tone.stage(actual, w.red, w.green, w.blue);
          tone.reference(expected, w.red, w.green, w.blue);
          ASSERT_EQ(FirstDifference(actual, expected), "")
              << tone.name << " " << width << "x" << height << " weights " << w.red << "/" << w.green << "/"
              << w.blue;
        }
      }
      PixelBuffer actual = RandomBuffer(263, 41, 7);
      PixelBuffer expected = RandomBuffer(263, 41, 7);
      tone.stage(actual, w.red, w.green, w.blue);
      tone.reference(expected, w.red, w.green, w.blue);
      EXPECT_EQ(FirstDifference(actual, expected), "") << tone.name << " 263x41";
    }
  }
}

TEST(ToneStages, NegativeOrHugeWeightsStayInsideThePictureAndItsPalette) {
  // Only the pipeline's six modes reach the stages from settings; a direct
  // caller with absurd weights still gets levels within range.
  const ChannelWeight weights[] = {
      {-1000, 0, 0}, {0, -500, -500}, {INT32_MAX, INT32_MAX, INT32_MAX}, {INT32_MIN, 0, INT32_MAX}};
  for (const ChannelWeight& w : weights) {
    PixelBuffer gray = RandomBuffer(7, 3, 99);
    ApplyGrayscale(gray, w.red, w.green, w.blue);
    PixelBuffer sepia = RandomBuffer(7, 3, 99);
    ApplySepia(sepia, w.red, w.green, w.blue);
    const SepiaPalette palette = BuildSepiaPalette();
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 7; ++x) {
        const uint8_t* g = gray.row(y) + 3 * x;
        EXPECT_TRUE(g[0] == g[1] && g[1] == g[2]) << "grayscale pixel stays gray";
        const uint8_t* s = sepia.row(y) + 3 * x;
        bool in_palette = false;
        for (const RgbColour& c : palette) in_palette |= c.blue == s[0] && c.green == s[1] && c.red == s[2];
        EXPECT_TRUE(in_palette) << "sepia pixel (" << x << "," << y << ") is a palette colour";
      }
      EXPECT_EQ(gray.row(y)[21], 0xA5) << "padding";
      EXPECT_EQ(sepia.row(y)[21], 0xA5) << "padding";
    }
    // Where every share is negative the level is 0: black in both stages.
    if (w.red <= 0 && w.green <= 0 && w.blue <= 0) {
      PixelBuffer white = UniformBuffer(1, 1, 255, 255, 255);
      ApplyGrayscale(white, w.red, w.green, w.blue);
      EXPECT_EQ(white.row(0)[0], 0);
    }
  }
}

}  // namespace
