// The message table of the real plug-in, loaded by the reference host:
// natively the shared library, under Wine Chromaline.dll. The codes are
// written as the numbers a viewer sends, so a wrong value in the message
// enum of plugin_abi.h fails here.
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "host/plugin_host.h"
#include "tests/support/test_support.h"

namespace {

void* P(uintptr_t value) { return reinterpret_cast<void*>(value); }

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host_.Load(DefaultPluginPath(), &error)) << error;
    host_.ClearCalls();
  }
  void TearDown() override { host_.Send(40, P(1), 0); }  // the module outlives the test

  PluginHost host_;
};

TEST_F(Messages, FixedResultsAndUnknownCodes) {
  const struct {
    uint32_t code;
    int32_t result;
  } rows[] = {{0, 0},  {1, 256}, {4, 0},  {8, 0},  {9, 0},  {10, 0}, {12, 0}, {15, 0},   {21, 0},
              {23, 0}, {26, 0},  {27, 1}, {29, 1}, {31, 0}, {39, 0}, {41, 0}, {1000, 0}, {0xFFFFFFFF, 0}};
  for (const auto& row : rows) {
    EXPECT_EQ(host_.Send(row.code, P(1), 1), row.result) << "message " << row.code;
  }
  EXPECT_TRUE(host_.calls().empty()) << "no fixed-result message calls back";
}

TEST_F(Messages, Message28AnswersBySelector) {
  EXPECT_EQ(host_.Send(28, P(0)), 0);
  EXPECT_EQ(host_.Send(28, P(1)), 1);
  EXPECT_EQ(host_.Send(28, P(2)), 65538);
  EXPECT_EQ(host_.Send(28, P(3)), -1);
  EXPECT_EQ(host_.Send(28, P(0xFFFFFFFF)), -1);
}

TEST_F(Messages, Message40SetsAndQueriesEnabled) {
  EXPECT_EQ(host_.Send(40, P(1), 0), 1) << "switched off";
  EXPECT_EQ(host_.Send(40, P(0), 1), 1) << "query ignores a";
  EXPECT_EQ(host_.Send(40, P(1), 1), 2) << "switched on";
  EXPECT_EQ(host_.Send(40, P(0), 0), 2);
  EXPECT_EQ(host_.Send(40, P(1), 7), 8) << "any value is stored unchanged";
  EXPECT_EQ(host_.Send(40, P(1), 0xFFFFFFFF), 0) << "-1 + 1";
  EXPECT_EQ(host_.Send(8), 0) << "Dirty untouched";
}

TEST_F(Messages, Message2WritesTheVersionTextWithinTwentySevenBytes) {
  char buffer[64];
  std::memset(buffer, 0x7E, sizeof buffer);
  EXPECT_EQ(host_.Send(2, buffer), 1);
  EXPECT_STREQ(buffer, "Chromaline v2.1.0");
  for (size_t i = 27; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0x7E) << "byte " << i << " written";
  EXPECT_EQ(host_.Send(2, nullptr), 1) << "a null buffer is left alone";
}

TEST_F(Messages, DirtyFollowsSaveAndLoad) {
  EXPECT_EQ(host_.Send(8), 0);
  EXPECT_EQ(host_.Send(6), 1);
  EXPECT_EQ(host_.Send(8), 0);
  EXPECT_EQ(host_.Send(7), 1);
  EXPECT_EQ(host_.Send(8), 0);
}

TEST_F(Messages, Message13And14WithNullOrEmptyTextDoNothing) {
  host_.Send(40, P(1), 1);
  EXPECT_EQ(host_.Send(13, nullptr, 5), 0);
  EXPECT_EQ(host_.Send(14, nullptr, 5), 0);
  EXPECT_EQ(host_.SendText(14, "", 5), 0);
  EXPECT_TRUE(host_.calls().empty());
}

TEST_F(Messages, Message14CallsBackForBitmapThenRegionOnlyWhenEnabled) {
  Image image = RandomImage(4, 3, 1);
  auto bitmap = HostBitmap::Create(image, HostBitmap::Kind::kDib24);
  host_.Send(40, P(1), 0);
  EXPECT_EQ(host_.FilterImage("picture.png", 77, bitmap.get()), 0);
  EXPECT_TRUE(host_.calls().empty()) << "plug-in off";

  host_.Send(40, P(1), 1);
  EXPECT_EQ(host_.FilterImage("picture.png", 77, bitmap.get()), 0);
  ASSERT_EQ(host_.CallCodes(), (std::vector<uint32_t>{8, 14})) << "no stage enabled still asks";
  EXPECT_EQ(host_.calls()[0].p, 77u);
  EXPECT_NE(host_.calls()[0].a, 0u);
  EXPECT_EQ(host_.calls()[1].p, 77u);
  EXPECT_EQ(bitmap->Read().bgr, image.bgr);
}

TEST_F(Messages, Message14WithNoBitmapFiltersNothing) {
  host_.store().SetInt("ChromalinePlugIn", "GammaAdj", 1);
  host_.Send(7);
  host_.Send(40, P(1), 1);
  EXPECT_EQ(host_.SendText(14, "picture.png", 1), 0);
  EXPECT_EQ(host_.CallCodes(), (std::vector<uint32_t>{6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 8, 14}));
}

TEST(MessagesWithoutCallback, NothingIsCalledAndResultsStay) {
  PluginHost host;
  std::string error;
  ASSERT_TRUE(host.LoadWithoutCallback(DefaultPluginPath(), &error)) << error;
  host.Send(3, nullptr);  // a module reused from an earlier test forgets its host
  host.Send(40, P(1), 1);
  EXPECT_EQ(host.Send(7), 1);
  EXPECT_EQ(host.Send(6), 1);
  EXPECT_EQ(host.SendText(14, "picture.png", 1), 0);
  EXPECT_EQ(host.Send(8), 0);
  EXPECT_TRUE(host.calls().empty());
  host.Send(40, P(1), 0);
}

}  // namespace
