// Settings and pictures a stranger can send, through the real plug-in: the
// slow cases, with a host that answers its stop query "stop" after a few
// queries, as a viewer does when the user moves on. The plug-in must then
// return at once: after the first "stop" it asks once more at most per
// sharpening stage still to come, and leaves the picture whole.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "host/plugin_host.h"
#include "tests/support/test_support.h"

namespace {

void* P(uintptr_t value) { return reinterpret_cast<void*>(value); }

class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host_.Load(DefaultPluginPath(), &error)) << error;
    host_.store().SetInt("ChromalinePlugIn", "Enabled", 1);
    host_.Send(kMessageLoadSettings);
    host_.Send(kMessageEnable, P(1), 1);
  }
  void TearDown() override { host_.Send(kMessageEnable, P(1), 0); }

  // Filters `picture` beside the settings text with the host answering
  // "stop" from query `stop_from` on; returns the queries asked after it.
  int QueriesAfterStop(const std::string& settings, const Image& picture, int stop_from) {
    const std::string path = dir_.File("photo.png");
    std::ofstream(dir_.File("photo.zprop"), std::ios::binary) << settings;
    auto bitmap = HostBitmap::Create(picture, HostBitmap::Kind::kDib24);
    host_.SetStopAnswer([stop_from](int n) { return n >= stop_from ? 1 : 0; });
    host_.FilterImage(path.c_str(), 1, bitmap.get());
    const Image after = bitmap->Read();
    EXPECT_EQ(after.width, picture.width);
    EXPECT_EQ(after.height, picture.height);
    return host_.stop_queries() - stop_from;
  }

  PluginHost host_;
  TempDir dir_;
};

TEST_F(HostileInput, AHugeUnsharpRadiusFromAFileStopsWhenAsked) {
  const struct {
    const char* radius;
    int stop_from;
  } cases[] = {{"8191.99", 0}, {"8191.99", 3}, {"5000", 5}, {"1e300", 0}};
  for (const auto& c : cases) {
    const std::string settings =
        std::string("[ChromalinePlugIn]\r\nUSMEnable=1\r\nUSMAmount=500\r\nUSMRadius=") + c.radius + "\r\n";
    const int after = QueriesAfterStop(settings, RandomImage(64, 48, 7), c.stop_from);
    EXPECT_LE(after, 1) << "USMRadius " << c.radius << ", stop from query " << c.stop_from;
  }
}

TEST_F(HostileInput, LocalContrastOnAPictureOfOneColumnStopsWhenAsked) {
  // 250,000 rows: local contrast works at a radius of 7,812 rows.
  const Image tall = RandomImage(1, 250000, 11);
  for (int stop_from : {0, 2, 10}) {
    const int after = QueriesAfterStop("[ChromalinePlugIn]\r\nDefog=1\r\nDefogVal=300\r\n", tall, stop_from);
    EXPECT_LE(after, 1) << "stop from query " << stop_from;
  }
  // Both sharpening stages: each may ask once after the stop.
  const int after = QueriesAfterStop(
      "[ChromalinePlugIn]\r\nDefog=1\r\nDefogVal=300\r\nUSMEnable=1\r\nUSMRadius=8000\r\n", tall, 4);
  EXPECT_LE(after, 2);
}

}  // namespace
