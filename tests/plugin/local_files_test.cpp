// Message 14 with local settings files beside the picture, through the real
// plug-in (natively the shared library, under Wine Chromaline.dll reading
// real files with the Windows profile functions).
#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "host/plugin_host.h"
#include "tests/support/test_support.h"

namespace {

void* P(uintptr_t value) { return reinterpret_cast<void*>(value); }

void Put(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool IsGray(const Image& image) {
  for (size_t i = 0; i + 2 < image.bgr.size(); i += 3) {
    if (image.bgr[i] != image.bgr[i + 1] || image.bgr[i + 1] != image.bgr[i + 2]) return false;
  }
  return true;
}

class LocalFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host_.Load(DefaultPluginPath(), &error)) << error;
  }
  void TearDown() override {
    host_.store().Clear();
    host_.Send(kMessageLoadSettings);
    host_.Send(kMessageEnable, P(1), 0);
  }
  // Loads the global settings from the store, switches the plug-in on.
  void Global(int tone_filter, double gamma_val = 0.0, int gamma_adj = 0) {
    host_.store().Clear();
    host_.store().SetInt("ChromalinePlugIn", "ToneFilter", tone_filter);
    host_.store().SetInt("ChromalinePlugIn", "GammaAdj", gamma_adj);
    host_.store().SetDouble("ChromalinePlugIn", "GammaVal", gamma_val);
    host_.Send(kMessageLoadSettings);
    host_.Send(kMessageEnable, P(1), 1);
  }
  // Message 14 for `path` on a copy of the picture; the filtered pixels.
  Image Filter(const std::string& path) {
    auto bitmap = HostBitmap::Create(picture_, HostBitmap::Kind::kDib24);
    host_.FilterImage(path.c_str(), 1, bitmap.get());
    return bitmap->Read();
  }

  PluginHost host_;
  Image picture_ = RandomImage(16, 16, 5);
};

TEST_F(LocalFiles, TheChosenFileDecidesTheToneStage) {
  const char* const kGray = "[ChromalinePlugIn]\r\nToneFilter=1\r\n";
  const char* const kColour = "[ChromalinePlugIn]\r\nToneFilter=0\r\n";
  const char* const kOther = "[ChromalinePlugIn]\r\nUSMEnable=0\r\n";
  const struct {
    const char* what;
    int global_tone;
    const char* picture_file;  // null: none
    const char* folder_file;
    bool gray;
  } cases[] = {
      {"no file: global off", 0, nullptr, nullptr, false},
      {"no file: global on", 1, nullptr, nullptr, true},
      {"picture file on", 0, kGray, nullptr, true},
      {"picture file off", 1, kColour, nullptr, false},
      {"folder file alone", 0, nullptr, kGray, true},
      {"picture file hides the folder file", 0, kOther, kGray, false},
      {"a key the picture file lacks is global, not the folder's", 1, kOther, kColour, true},
      {"picture file wins over the folder file", 0, kGray, kColour, true},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (c.picture_file) Put(dir.File("a.zprop"), c.picture_file);
    if (c.folder_file) Put(dir.File("zprop.ini"), c.folder_file);
    Global(c.global_tone);
    const Image out = Filter(dir.File("a.png"));
    EXPECT_EQ(IsGray(out), c.gray) << c.what;
    if (!c.gray) {
      EXPECT_EQ(out.bgr, picture_.bgr) << c.what;
    }
  }
}

TEST_F(LocalFiles, EveryPictureReadsTheFilesAgain) {
  TempDir dir;
  const std::string picture = dir.File("a.png");
  Global(0);
  EXPECT_FALSE(IsGray(Filter(picture)));
  Put(dir.File("zprop.ini"), "[ChromalinePlugIn]\r\nToneFilter=1\r\n");
  EXPECT_TRUE(IsGray(Filter(picture))) << "folder file created";
  Put(dir.File("a.zprop"), "[ChromalinePlugIn]\r\nToneFilter=0\r\n");
  EXPECT_FALSE(IsGray(Filter(picture))) << "picture file created";
  Put(dir.File("a.zprop"), "[ChromalinePlugIn]\r\ntonefilter=2\r\n");
  EXPECT_TRUE(IsGray(Filter(picture))) << "picture file changed";
  std::remove(dir.File("a.zprop").c_str());
  std::remove(dir.File("zprop.ini").c_str());
  EXPECT_FALSE(IsGray(Filter(picture))) << "both removed";
}

TEST_F(LocalFiles, AMissingRealTakesTheGlobalValueRoundedToTwoDecimals) {
  TempDir dir;
  const std::string picture = dir.File("a.png");
  Global(0, 0.33, 1);
  const Image rounded = Filter(picture);
  Global(0, 0.333, 1);
  const Image exact = Filter(picture);
  ASSERT_NE(rounded.bgr, exact.bgr) << "the picture must tell 1.33 and 1.333 apart";
  Put(dir.File("a.zprop"), "[ChromalinePlugIn]\r\nUSMEnable=0\r\n");
  EXPECT_EQ(Filter(picture).bgr, rounded.bgr) << "GammaVal missing: 0.333 read as 0.33";
  Put(dir.File("a.zprop"), "[ChromalinePlugIn]\r\nGammaVal=0.333\r\n");
  EXPECT_EQ(Filter(picture).bgr, exact.bgr) << "a value in the file is used as it stands";
}

}  // namespace
