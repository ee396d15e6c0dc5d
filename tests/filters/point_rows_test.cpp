// The vector forms of the point-stage rows (AVX2, AVX-512 VBMI) against the
// plain loops, bit for bit: every stage, row lengths around the 32- and
// 64-pixel blocks, padded rows, and every colour through grayscale and
// sepia. Each form this processor has is compared; where it has none the
// comparison is skipped (the plain loops are what runs there, and the other
// tests cover them).
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filters/point/auto_levels.h"
#include "filters/engine/cpu_paths.h"
#include "filters/filter_pipeline.h"
#include "filters/point/point_rows.h"
#include "filters/stages.h"
#include "tests/support/reference_point_stages.h"

namespace {

// The widest path that gives each vector form here.
std::vector<CpuPath> VectorFormPaths() {
  const CpuPath before = CpuPathLimit();
  std::vector<CpuPath> paths;
  CpuPath last = CpuPath::kPlain;
  for (CpuPath path : {CpuPath::kAvx2, CpuPath::kAvx512}) {
    SetCpuPathLimit(path);
    if (ActivePointRowsPath() != last) {
      last = ActivePointRowsPath();
      paths.push_back(path);
    }
  }
  SetCpuPathLimit(before);
  return paths;
}

// Runs `stage` on a copy of `picture` with the plain loops and with each
// vector form; empty when all give the same bytes, else the first form that
// differs and where.
template <typename Stage>
std::string CompareForms(const PixelBuffer& picture, Stage stage) {
  const CpuPath before = CpuPathLimit();
  PixelBuffer plain = CopyBuffer(picture);
  SetCpuPathLimit(CpuPath::kPlain);
  stage(plain);
  std::string differences;
  for (CpuPath path : VectorFormPaths()) {
    PixelBuffer vector = CopyBuffer(picture);
    SetCpuPathLimit(path);
    stage(vector);
    const std::string difference = FirstDifference(vector, plain);
    if (!difference.empty()) differences += std::string(CpuPathName(ActivePointRowsPath())) + ": " + difference;
  }
  SetCpuPathLimit(before);
  return differences;
}

class PointRows : public ::testing::Test {
 protected:
  void SetUp() override {
    before_ = CpuPathLimit();
    if (VectorFormPaths().empty()) GTEST_SKIP() << "no AVX2 here: only the plain loops run";
  }
  void TearDown() override { SetCpuPathLimit(before_); }
  CpuPath before_ = CpuPath::kPlain;
};

TEST_F(PointRows, EveryStageMatchesThePlainLoopAtEveryRowLength) {
  const struct {
    const char* name;
    void (*stage)(PixelBuffer&);
  } stages[] = {
      {"gamma", [](PixelBuffer& b) { ApplyGamma(b, 1.7); }},
      {"auto-levels",
       [](PixelBuffer& b) {
         ApplyAutoLevels(b, ImageRegion{0, 0, b.width(), b.height()});
       }},
      {"auto-levels, inner region",
       [](PixelBuffer& b) {
         ApplyAutoLevels(b, ImageRegion{1, 1, b.width() - 1, b.height()});
       }},
      {"grayscale BT709", [](PixelBuffer& b) { ApplyGrayscale(b, 212, 716, 72); }},
      {"grayscale, weights above 1000 in sum", [](PixelBuffer& b) { ApplyGrayscale(b, 1000, 1000, 1000); }},
      {"sepia Standard", [](PixelBuffer& b) { ApplySepia(b, 299, 587, 114); }},
      {"sepia RMY", [](PixelBuffer& b) { ApplySepia(b, 500, 419, 81); }},
  };
  const int widths[] = {1, 2, 21, 31, 32, 33, 63, 64, 65, 95, 96, 97, 127, 128, 129, 191, 200, 257, 333};
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
  const ChannelWeight others[] = {{333, 333, 334}, {1, 2, 997},        {999, 0, 1},
                                  {0, 0, 0},       {1000, 1000, 1000}, {7, 500, 493}};
  for (const ChannelWeight& w : others) {
    EXPECT_EQ(CompareForms(some, [&](PixelBuffer& b) { ApplySepia(b, w.red, w.green, w.blue); }), "")
        << "sepia, weights " << w.red << "/" << w.green << "/" << w.blue;
  }

  // The luminance histogram of every colour.
  PixelBuffer counted = CopyBuffer(all);
  SetCpuPathLimit(CpuPath::kPlain);
  ApplyAutoLevels(counted, ImageRegion{0, 0, 4096, 4096});
  int32_t plain_histogram[256];
  std::copy(AutoLevelsHistogram(), AutoLevelsHistogram() + 256, plain_histogram);
  for (CpuPath path : VectorFormPaths()) {
    SetCpuPathLimit(path);
    counted = CopyBuffer(all);
    ApplyAutoLevels(counted, ImageRegion{0, 0, 4096, 4096});
    for (int level = 0; level < 256; ++level) {
      EXPECT_EQ(AutoLevelsHistogram()[level], plain_histogram[level])
          << CpuPathName(ActivePointRowsPath()) << ", level " << level;
    }
  }
}

// Every one of the 256 byte values through a table of every form, at every
// offset of a 32-byte block and with every short tail.
TEST_F(PointRows, EveryByteThroughEveryTable) {
  uint8_t tables[3][256];
  for (int v = 0; v < 256; ++v) {
    tables[0][v] = static_cast<uint8_t>(255 - v);
    tables[1][v] = static_cast<uint8_t>(v * 167 + 13);
    tables[2][v] = static_cast<uint8_t>(v < 128 ? 0 : 255);
  }
  for (const auto& table : tables) {
    for (size_t length : {size_t{1}, size_t{5}, size_t{31}, size_t{32}, size_t{33}, size_t{256}, size_t{300}}) {
      for (int offset = 0; offset < 256; offset += 37) {
        std::vector<uint8_t> bytes(length + 2, 0xA5), expected(length + 2, 0xA5);
        for (size_t i = 0; i < length; ++i) bytes[i + 1] = expected[i + 1] = static_cast<uint8_t>(i + offset);
        for (size_t i = 0; i < length; ++i) expected[i + 1] = table[expected[i + 1]];
        for (CpuPath path : VectorFormPaths()) {
          std::vector<uint8_t> mapped = bytes;
          SetCpuPathLimit(path);
          MapBytes(mapped.data() + 1, length, table);
          EXPECT_EQ(mapped, expected) << CpuPathName(ActivePointRowsPath()) << ", length " << length << ", offset "
                                      << offset;
        }
      }
    }
  }
}

// Auto-levels' table for every range of levels: as a plain stretch the
// AVX2 form works the entries out instead of looking them up, and must give
// every byte exactly as the table does. Tables that are not
// a stretch, by one entry or by shape, are never taken for one.
TEST_F(PointRows, EveryLevelsRangeMapsEveryByteAsItsTable) {
  std::vector<uint8_t> all(256 + 37);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i * 7);
  int stretches = 0, ranges = 0;
  for (int lo = 0; lo < 256; ++lo) {
    for (int hi = lo + 1; hi < 256; ++hi) {
      BuildLevelsTable(0, 255, lo, hi, 1.0f);
      uint8_t table[256];
      for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(AutoLevelsTable()[i] & 0xFF);
      const ByteStretch stretch = FindByteStretch(table);
      ++ranges;
      if (!stretch.found) continue;
      ++stretches;
      std::vector<uint8_t> expected = all;
      for (uint8_t& b : expected) b = table[b];
      for (CpuPath path : VectorFormPaths()) {
        SetCpuPathLimit(path);
        std::vector<uint8_t> mapped = all;
        MapBytes(mapped.data(), mapped.size(), table, stretch);
        ASSERT_EQ(mapped, expected) << CpuPathName(ActivePointRowsPath()) << ", levels " << lo << " to " << hi;
      }
    }
  }
  // Every range is a stretch (the double arithmetic of the table never
  // lands below a whole quotient); anything else would keep the lookups.
  EXPECT_EQ(stretches, ranges);

  BuildLevelsTable(0, 255, 40, 180, 1.0f);
  uint8_t near_miss[256], reversed[256];
  for (int i = 0; i < 256; ++i) {
    near_miss[i] = static_cast<uint8_t>(AutoLevelsTable()[i] & 0xFF);
    reversed[i] = static_cast<uint8_t>(255 - i);
  }
  ASSERT_TRUE(FindByteStretch(near_miss).found);
  near_miss[100] = static_cast<uint8_t>(near_miss[100] + 1);
  EXPECT_FALSE(FindByteStretch(near_miss).found);
  EXPECT_FALSE(FindByteStretch(reversed).found);
}

}  // namespace

namespace {

// Grayscale from share tables, through GrayRow directly: tables from
// thousandths (where the vector forms may multiply instead of looking up)
// and tables no multiplier gives (where they must look up).
TEST_F(PointRows, GrayRowsFromMultipliersAndFromTablesMatchThePlainLoop) {
  const struct {
    int32_t blue, green, red;
    bool multiplied;  // what FindGrayMultipliers must find
  } weights[] = {{114, 587, 299, true},    {72, 716, 212, true}, {81, 419, 500, true}, {0, 0, 1000, true},
                 {1000, 1000, 1000, true}, {1, 999, 0, true},    {333, 334, 333, true}};
  std::vector<GrayShares> all;
  for (const auto& w : weights) {
    GrayShares s;
    for (int v = 0; v < 256; ++v) {
      s.blue[v] = static_cast<uint8_t>(w.blue * v / 1000);
      s.green[v] = static_cast<uint8_t>(w.green * v / 1000);
      s.red[v] = static_cast<uint8_t>(w.red * v / 1000);
    }
    FindGrayMultipliers(s);
    EXPECT_EQ(s.multiplied, w.multiplied) << w.blue << "/" << w.green << "/" << w.red;
    all.push_back(s);
  }
  std::mt19937 random(17);
  for (int t = 0; t < 3; ++t) {
    GrayShares s;
    for (int v = 0; v < 256; ++v) {
      s.blue[v] = static_cast<uint8_t>(random() % 256);
      s.green[v] = static_cast<uint8_t>(random() % 256);
      s.red[v] = static_cast<uint8_t>(random() % 256);
    }
    FindGrayMultipliers(s);
    EXPECT_FALSE(s.multiplied) << "random tables " << t;
    all.push_back(s);
  }
  for (size_t t = 0; t < all.size(); ++t) {
    // Whenever the multipliers are claimed, they give every share.
    const GrayShares& s = all[t];
    const uint8_t* tables[3] = {s.blue, s.green, s.red};
    for (int c = 0; c < 3 && s.multiplied; ++c) {
      for (uint32_t v = 0; v < 256; ++v) {
        ASSERT_EQ(((v * s.multiplier[c]) >> 16) + (s.whole[c] ? v : 0), tables[c][v])
            << "shares " << t << ", channel " << c << ", value " << v;
      }
    }
    const PixelBuffer picture = RandomBuffer(4096, 16, static_cast<uint32_t>(t));
    const auto stage = [&](PixelBuffer& b) {
      for (int y = 0; y < b.height(); ++y) GrayRow(b.row(y), static_cast<size_t>(b.width()), s);
    };
    EXPECT_EQ(CompareForms(picture, stage), "") << "shares " << t;
  }
}

}  // namespace
