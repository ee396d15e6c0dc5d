// The local contrast and unsharp-mask stages through the whole plug-in:
// settings from the host's store, the stop query answered by the host
// (callback code 13), the result read back from the host's bitmap. Each
// result must equal, byte for byte, the plain reference engine run on the
// same picture, natively and in Chromaline.dll under Wine.
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/plugin_host.h"
#include "tests/support/reference_unsharp_mask.h"
#include "tests/support/test_support.h"

namespace {

void* P(uintptr_t value) { return reinterpret_cast<void*>(value); }

struct Sharpening {
  int32_t defog = 0;
  int32_t defog_val = 10;
  int32_t usm_enable = 0;
  double usm_radius = 0.5;
  int32_t usm_amount = 100;
  int32_t usm_threshold = 4;
};

// Answers the stop queries of one run like the host of the test does:
// `answer(n)` for the n-th query of the message.
struct ScriptedStop {
  std::function<int32_t(int)> answer;
  int asked = 0;
  static bool Ask(void* context) {
    auto* s = static_cast<ScriptedStop*>(context);
    return s->answer ? s->answer(s->asked++) != 0 : (s->asked++, false);
  }
};

// The two stages in pipeline order, each from the plain reference engine,
// with the same stop answers the plug-in got.
Image Expected(const Image& picture, const Sharpening& s, std::function<int32_t(int)> answer = nullptr) {
  ScriptedStop script{std::move(answer)};
  const StopQuery stop{&ScriptedStop::Ask, &script};
  PixelBuffer buffer = BufferOf(picture);
  if (s.defog != 0) {
    PixelBuffer next = CreatePixelBuffer(picture.width, picture.height, 24);
    ReferenceUnsharpMask(buffer, next, picture.height * 0.03125, s.defog_val, 4, stop);
    buffer = std::move(next);
  }
  if (s.usm_enable != 0) {
    PixelBuffer next = CreatePixelBuffer(picture.width, picture.height, 24);
    ReferenceUnsharpMask(buffer, next, s.usm_radius, s.usm_amount, s.usm_threshold, stop);
    buffer = std::move(next);
  }
  return ImageOf(buffer);
}

class SharpeningThroughThePlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host_.Load(DefaultPluginPath(), &error)) << error;
  }
  void TearDown() override {
    host_.SetStopAnswer(nullptr);
    host_.Send(kMessageEnable, P(1), 0);  // the module outlives the test
  }

  Image Filter(const Image& picture, const Sharpening& s) {
    FilterSettings settings;
    settings.Defog = s.defog;
    settings.DefogVal = s.defog_val;
    settings.USMEnable = s.usm_enable;
    settings.USMRadius = s.usm_radius;
    settings.USMAmount = s.usm_amount;
    settings.USMThreshold = s.usm_threshold;
    return FilterThroughPlugin(host_, picture, settings);
  }

  int StopQueryCalls() const {
    int n = 0;
    for (const PluginHost::CallRecord& call : host_.calls()) {
      if (call.code != 13) continue;
      ++n;
      EXPECT_EQ(call.p, 0u) << "stop query " << n;
      EXPECT_EQ(call.a, 0u) << "stop query " << n;
    }
    return n;
  }

  PluginHost host_;
};

TEST_F(SharpeningThroughThePlugin, AsksTheHostOncePerRowAndColumnOnItsOwnThread) {
  const Image picture = RandomImage(37, 23, 2);
  const std::thread::id caller = std::this_thread::get_id();
  bool same_thread = true;
  host_.SetStopAnswer([&](int) {
    same_thread = same_thread && std::this_thread::get_id() == caller;
    return 0;
  });
  const struct {
    const char* name;
    Sharpening settings;
    int queries;
  } rows[] = {{"unsharp mask", {0, 10, 1}, 37 + 23},
              {"local contrast", {1, 10, 0}, 37 + 23},
              {"both", {1, 10, 1}, 2 * (37 + 23)},
              {"radius 0 still blurs", {0, 10, 1, 0.0}, 37 + 23},
              {"neither", {}, 0}};
  for (const auto& row : rows) {
    Filter(picture, row.settings);
    EXPECT_EQ(StopQueryCalls(), row.queries) << row.name;
    EXPECT_EQ(host_.stop_queries(), row.queries) << row.name;
  }
  EXPECT_TRUE(same_thread);
}

TEST_F(SharpeningThroughThePlugin, SamplePhotosMatchTheReference) {
  const Sharpening both = {1, 25, 1, 1.2, 150, 3};
  std::vector<std::pair<std::string, Image>> pictures;
  for (const char* name : {"chelsea.png", "rocket.png"}) {
    Image image;
    std::string error;
    ASSERT_TRUE(LoadImageFile(SamplesDir() + "/" + name, &image, &error)) << error;
    pictures.emplace_back(name, std::move(image));
  }
  pictures.emplace_back("random 61x47", RandomImage(61, 47, 21));
  for (const auto& [name, picture] : pictures) {
    const Image actual = Filter(picture, both);
    EXPECT_EQ(FirstDifferentPixel(actual, Expected(picture, both)), "") << name;
    EXPECT_NE(actual.bgr, picture.bgr) << name << ": the stages changed nothing";
  }
}

TEST_F(SharpeningThroughThePlugin, DefaultUnsharpMaskOnEveryPhotoMatchesTheReference) {
  const Sharpening usm = {0, 10, 1};
  for (const char* name : {"astronaut.png", "chelsea.png", "coffee.png", "rocket.png"}) {
    Image picture;
    std::string error;
    ASSERT_TRUE(LoadImageFile(SamplesDir() + "/" + name, &picture, &error)) << error;
    EXPECT_EQ(FirstDifferentPixel(Filter(picture, usm), Expected(picture, usm)), "") << name;
  }
}

// Where the host says stop decides what the bitmap holds: nothing (zero)
// from the horizontal pass, blurred columns from the vertical pass, the
// unsharpened blur after the last column; a following stage asks again and
// works on what the first one left.
TEST_F(SharpeningThroughThePlugin, StopsLeaveTheDefinedPictureAndTheNextStageGoesOn) {
  const int width = 29, height = 70;
  const Image picture = RandomImage(width, height, 6);
  const Sharpening usm = {0, 10, 1, 2.0};
  const Sharpening both = {1, 40, 1, 2.0};
  const struct {
    const char* name;
    Sharpening settings;
    int stop_at;
    int queries;
  } rows[] = {
      {"first row", usm, 0, 1},
      {"last row", usm, height - 1, height},
      {"first column", usm, height, height + 1},
      {"column 12", usm, height + 12, height + 13},
      {"last column", usm, height + width - 1, height + width},
      {"local contrast, row 5; unsharp mask runs on the zeros", both, 5, 6 + height + width},
      {"local contrast, column 20; unsharp mask runs on the part", both, height + 20, height + 21 + height + width},
      {"unsharp mask after local contrast, column 3", both, height + width + height + 3,
       height + width + height + 4},
  };
  for (const auto& row : rows) {
    const int stop_at = row.stop_at;
    auto answer = [stop_at](int n) { return n == stop_at ? 1 : 0; };
    host_.SetStopAnswer(answer);
    const Image actual = Filter(picture, row.settings);
    EXPECT_EQ(host_.stop_queries(), row.queries) << row.name;
    EXPECT_EQ(FirstDifferentPixel(actual, Expected(picture, row.settings, answer)), "") << row.name;
  }
}

// Values a settings store can hold but the dialog refuses: the picture
// stays as it was (or is filtered as with radius 0), and nothing hangs.
TEST_F(SharpeningThroughThePlugin, RadiiAmountsAndThresholdsFromTheStoreAreSafe) {
  const Image picture = RandomImage(41, 17, 12);
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* name;
    Sharpening settings;
    int queries;
  } unchanged[] = {{"radius -5 (like 0)", {0, 10, 1, -5.0}, 41 + 17},
                   {"radius -inf (like 0)", {0, 10, 1, -inf}, 41 + 17},
                   {"radius NaN (skipped)", {0, 10, 1, std::numeric_limits<double>::quiet_NaN()}, 0},
                   {"radius 1e9 (skipped)", {0, 10, 1, 1e9}, 0},
                   {"radius +inf (skipped)", {0, 10, 1, inf}, 0},
                   {"amount 0", {0, 10, 1, 3.0, 0}, 41 + 17},
                   {"threshold INT_MAX", {0, 10, 1, 3.0, 100, INT32_MAX}, 41 + 17},
                   {"DefogVal 0", {1, 0, 0}, 41 + 17}};
  for (const auto& row : unchanged) {
    EXPECT_EQ(FirstDifferentPixel(Filter(picture, row.settings), picture), "") << row.name;
    EXPECT_EQ(host_.stop_queries(), row.queries) << row.name;
  }
  const Sharpening extremes[] = {{0, 10, 1, 1.5, INT32_MAX, 0},
                                 {0, 10, 1, 1.5, INT32_MIN, INT32_MIN},
                                 {0, 10, 1, 1.5, -250, -1},
                                 {1, INT32_MAX, 0},
                                 {1, INT32_MIN, 1, 0.7, INT32_MIN, 2}};
  for (const Sharpening& s : extremes) {
    EXPECT_EQ(FirstDifferentPixel(Filter(picture, s), Expected(picture, s)), "")
        << "amount " << s.usm_amount << " threshold " << s.usm_threshold << " DefogVal " << s.defog_val;
  }
}

}  // namespace
