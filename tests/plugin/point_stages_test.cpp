// Gamma, auto-levels, grayscale and sepia through the whole plug-in: the
// settings come from the host's store (message 7), the picture and region
// from the host's answers to message 14. Each result must equal, byte for
// byte, the plain reference stages run on the same picture, natively and
// in Chromaline.dll under Wine.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filters/filter_pipeline.h"
#include "host/plugin_host.h"
#include "tests/support/reference_point_stages.h"
#include "tests/support/test_support.h"

namespace {

void* P(uintptr_t value) { return reinterpret_cast<void*>(value); }

struct PointSettings {
  const char* name;
  int32_t gamma_adj = 0;
  double gamma_val = 0.0;
  int32_t auto_levels = 0;
  int32_t tone_filter = 0;
  int32_t filter_param = 0;
  ImageRegion region = {0, 0, 0, 0};
};

// The point stages in pipeline order, each from its plain reference.
Image Expected(const Image& picture, const PointSettings& s) {
  PixelBuffer buffer = BufferOf(picture);
  if (s.gamma_adj != 0) ReferenceGamma(buffer, s.gamma_val + 1.0);
  if (s.auto_levels != 0) ReferenceAutoLevels(buffer, NormaliseRegion(s.region, picture.width, picture.height));
  if (s.tone_filter != 0) {
    const ChannelWeight w = WeightsForFilterParam(s.filter_param);
    (IsSepia(s.filter_param) ? ReferenceSepia : ReferenceGrayscale)(buffer, w.red, w.green, w.blue);
  }
  return ImageOf(buffer);
}

class PointStagesThroughThePlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host_.Load(DefaultPluginPath(), &error)) << error;
  }
  void TearDown() override { host_.Send(kMessageEnable, P(1), 0); }  // the module outlives the test

  Image Filter(const Image& picture, const PointSettings& s, HostBitmap::Kind kind) {
    FilterSettings settings;
    settings.GammaAdj = s.gamma_adj;
    settings.GammaVal = s.gamma_val;
    settings.AutoLevels = s.auto_levels;
    settings.ToneFilter = s.tone_filter;
    settings.FilterParam = s.filter_param;
    return FilterThroughPlugin(host_, picture, settings, kind, s.region);
  }

  PluginHost host_;
};

std::vector<std::pair<std::string, Image>> Pictures() {
  std::vector<std::pair<std::string, Image>> pictures;
  for (const char* name : {"astronaut.png", "chelsea.png", "coffee.png", "rocket.png"}) {
    Image image;
    std::string error;
    if (LoadImageFile(SamplesDir() + "/" + name, &image, &error)) {
      pictures.emplace_back(name, std::move(image));
    } else {
      ADD_FAILURE() << error;
    }
  }
  pictures.emplace_back("random 61x47", RandomImage(61, 47, 21));
  return pictures;
}

TEST_F(PointStagesThroughThePlugin, EachStageAloneAndCombinedMatchesTheReference) {
  std::vector<PointSettings> cases = {
      {"gamma 0.8", 1, 0.8},
      {"gamma -0.45", 1, -0.45},
      {"gamma 0 (still runs, changes nothing)", 1, 0.0},
      {"auto-levels, whole picture", 0, 0.0, 1},
      {"auto-levels, host region", 0, 0.0, 1, 0, 0, {40, 30, 300, 200}},
      {"auto-levels, region beyond the picture", 0, 0.0, 1, 0, 0, {-20, -5, 100000, 80}},
      {"sepia Standard", 0, 0.0, 0, 1, 16},
      {"sepia Red Channel", 0, 0.0, 0, 1, 19},
      {"sepia, unknown mode 7", 0, 0.0, 0, 1, 23},
      {"gamma, auto-levels over a region, sepia RMY", 1, 0.3, 1, 1, 18, {10, 20, 200, 150}},
      {"darkening gamma, auto-levels, grayscale BT709", 1, -0.6, 1, 1, 1},
  };
  for (int mode = 0; mode < 6; ++mode) {
    static const char* const kNames[6] = {"grayscale Standard",     "grayscale BT709",
                                          "grayscale RMY",          "grayscale Red Channel",
                                          "grayscale Blue Channel", "grayscale Green Channel"};
    cases.push_back({kNames[mode], 0, 0.0, 0, 1, mode});
  }
  for (const auto& [name, picture] : Pictures()) {
    for (const PointSettings& s : cases) {
      const Image actual = Filter(picture, s, HostBitmap::Kind::kDib24);
      EXPECT_EQ(FirstDifferentPixel(actual, Expected(picture, s)), "") << name << ", " << s.name;
    }
  }
}

TEST_F(PointStagesThroughThePlugin, GammaValuesTheDialogRefusesComeFromTheStoreSafely) {
  // The store does not check ranges: below -1 every value becomes white, a
  // GammaVal that is not a number leaves the picture as it was, +infinity
  // keeps black and whitens the rest.
  const Image picture = RandomImage(23, 9, 4);
  const struct {
    const char* name;
    double gamma_val;
  } rows[] = {{"-3", -3.0},
              {"-1.0000001", -1.0000001},
              {"NaN", std::numeric_limits<double>::quiet_NaN()},
              {"+inf", std::numeric_limits<double>::infinity()},
              {"-inf", -std::numeric_limits<double>::infinity()}};
  for (const auto& row : rows) {
    const PointSettings s = {row.name, 1, row.gamma_val};
    const Image actual = Filter(picture, s, HostBitmap::Kind::kDib24);
    EXPECT_EQ(FirstDifferentPixel(actual, Expected(picture, s)), "") << "GammaVal " << row.name;
    for (size_t i = 0; i < actual.bgr.size(); ++i) {
      const int in = picture.bgr[i], out = actual.bgr[i];
      const int want = std::isnan(row.gamma_val) ? in : row.gamma_val > 0 ? (in == 0 ? 0 : 255) : 255;
      ASSERT_EQ(out, want) << "GammaVal " << row.name << ", byte " << i;
    }
  }
}

}  // namespace
