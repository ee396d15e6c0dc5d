// The sharpening stages on worker threads, through the whole plug-in
// (natively and Chromaline.dll under Wine): nothing started unless
// CHROMALINE_THREADS asks, the same bytes and stop queries for every thread
// count, every query on the thread that sent message 14, no thread left
// when message 14 returns, and the module unloaded right after it.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "filters/sharpen/unsharp_mask.h"
#include "host/plugin_host.h"
#include "tests/support/process_threads.h"
#include "tests/support/reference_unsharp_mask.h"
#include "tests/support/test_support.h"

namespace {

void* P(uintptr_t value) { return reinterpret_cast<void*>(value); }

// Local contrast and a wide unsharp mask: enough work for threads on a
// picture of a few hundred pixels a side.
FilterSettings BothStages(double usm_radius = 120.0) {
  FilterSettings s;
  s.Defog = 1;
  s.DefogVal = 30;
  s.USMEnable = 1;
  s.USMRadius = usm_radius;
  s.USMAmount = 150;
  s.USMThreshold = 2;
  return s;
}

// The threads of this process once their count has come down to
// `expected`, or the count after two seconds of waiting for that: a thread
// whose join has returned can still be listed for a moment.
int ThreadsSettlingAt(int expected) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  int count = CountProcessThreads();
  while (count != expected && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::yield();
    count = CountProcessThreads();
  }
  return count;
}

// What one message 14 did, seen from the host's side.
struct Observed {
  Image result;
  int queries = 0;
  bool all_on_caller = true;
  int most_threads = 0;  // the process's threads at any stop query
};

class SharpeningThreads : public ::testing::Test {
 protected:
  void TearDown() override { SetThreadVariable(nullptr); }

  // Loads the plug-in in a host of its own, filters, and (unless the test
  // keeps it) unloads it as soon as message 14 has returned.
  Observed Filter(const char* variable, const Image& picture, const FilterSettings& settings, int stop_at = -1) {
    SetThreadVariable(variable);
    Observed seen;
    PluginHost host;
    std::string error;
    EXPECT_TRUE(host.Load(DefaultPluginPath(), &error)) << error;
    const std::thread::id caller = std::this_thread::get_id();
    host.SetStopAnswer([&](int n) {
      seen.all_on_caller = seen.all_on_caller && std::this_thread::get_id() == caller;
      // A census is slow (a Toolhelp snapshot under Wine): every 32nd query.
      if (n % 32 == 0) seen.most_threads = std::max(seen.most_threads, CountProcessThreads());
      return n == stop_at ? 1 : 0;
    });
    seen.result = FilterThroughPlugin(host, picture, settings);
    seen.queries = host.stop_queries();
    host.SetStopAnswer(nullptr);
    return seen;  // the host's destructor unloads the module
  }
};

TEST_F(SharpeningThreads, NoThreadUnlessTheVariableAsks) {
  const Image picture = RandomImage(700, 500, 3);
  const int before = CountProcessThreads();
  ASSERT_GT(before, 0);
  for (const char* value : {static_cast<const char*>(nullptr), "", "1", "x", "-3", "two"}) {
    const Observed seen = Filter(value, picture, BothStages());
    const std::string label = value == nullptr ? "unset" : std::string("\"") + value + "\"";
    EXPECT_EQ(seen.queries, 2 * (700 + 500)) << label;
    EXPECT_EQ(seen.most_threads, before) << label << ": a thread was started";
  }
  const Observed four = Filter("4", picture, BothStages());
  EXPECT_GE(four.most_threads, before + 1) << "CHROMALINE_THREADS=4 started no worker";
  EXPECT_TRUE(four.all_on_caller);
  // Message 14 has returned and the module is gone: no worker is left.
  EXPECT_EQ(ThreadsSettlingAt(before), before);
}

TEST_F(SharpeningThreads, SameBytesForEveryThreadCountOnThePhotos) {
  // Every count on two photos, a few on the others (each thread count is
  // a separate message 14 through a freshly loaded module).
  const struct {
    const char* name;
    std::vector<const char*> counts;
  } photos[] = {{"astronaut.png", {"1", "2", "3", "7", "64", "auto"}},
                {"rocket.png", {"1", "2", "3", "7", "64"}},
                {"chelsea.png", {"2", "7"}},
                {"coffee.png", {"3", "auto"}}};
  for (const auto& [name, counts] : photos) {
    Image picture;
    std::string error;
    ASSERT_TRUE(LoadImageFile(SamplesDir() + "/" + name, &picture, &error)) << error;
    const Observed one = Filter(nullptr, picture, BothStages());
    for (const char* threads : counts) {
      const Observed many = Filter(threads, picture, BothStages());
      EXPECT_EQ(FirstDifferentPixel(many.result, one.result), "") << name << ", " << threads << " threads";
      EXPECT_EQ(many.queries, one.queries) << name << ", " << threads << " threads";
      EXPECT_TRUE(many.all_on_caller) << name << ", " << threads << " threads";
    }
  }
  // And the single thread against the plain reference, on one photo.
  Image chelsea;
  std::string error;
  ASSERT_TRUE(LoadImageFile(SamplesDir() + "/chelsea.png", &chelsea, &error)) << error;
  PixelBuffer buffer = BufferOf(chelsea);
  for (double radius : {chelsea.height * 0.03125, 120.0}) {
    PixelBuffer next = CreatePixelBuffer(chelsea.width, chelsea.height, 24);
    ReferenceUnsharpMask(buffer, next, radius, radius == 120.0 ? 150 : 30, radius == 120.0 ? 2 : 4, StopQuery());
    buffer = std::move(next);
  }
  EXPECT_EQ(FirstDifferentPixel(Filter("7", chelsea, BothStages()).result, ImageOf(buffer)), "");
}

// The photos sharpened over themselves (as when a second picture cannot be
// had) give the bytes of a sharpening into a second picture.
TEST(SharpeningInPlace, SameBytesAsTwoBuffersOnThePhotos) {
  for (const char* name : {"astronaut.png", "chelsea.png", "coffee.png", "rocket.png"}) {
    Image picture;
    std::string error;
    ASSERT_TRUE(LoadImageFile(SamplesDir() + "/" + name, &picture, &error)) << error;
    const PixelBuffer source = BufferOf(picture);
    for (double radius : {0.5, 7.3, picture.height * 0.03125}) {
      BlurOptions options;
      options.threaded_work = 0;
      PixelBuffer expected = CreatePixelBuffer(picture.width, picture.height, 24);
      UnsharpMaskWith(source, expected, radius, 150, 2, StopQuery(), options);
      for (int threads : {1, 2, 3}) {
        options.threads = threads;
        PixelBuffer actual = BufferOf(picture);
        UnsharpMaskInPlaceWith(actual, radius, 150, 2, StopQuery(), options);
        EXPECT_EQ(FirstDifferentPixel(ImageOf(actual), ImageOf(expected)), "")
            << name << ", radius " << radius << ", " << threads << " threads";
      }
    }
  }
}

// The first, a middle and the last query of each pass of each stage.
TEST_F(SharpeningThreads, StopsLeaveWhatOneThreadLeaves) {
  const int width = 400, height = 300;
  const Image picture = RandomImage(width, height, 8);
  const int pass = width + height;
  const int stops[] = {0,        height / 2,        height - 1,        height,      height + width / 2,
                       pass - 1, pass + height / 2, pass + height + 3, 2 * pass - 1};
  for (int stop_at : stops) {
    const Observed one = Filter("1", picture, BothStages(), stop_at);
    EXPECT_EQ(one.queries, stop_at < pass ? stop_at + 1 + pass : stop_at + 1) << "stop at " << stop_at;
    for (const char* threads : {"2", "7"}) {
      const Observed many = Filter(threads, picture, BothStages(), stop_at);
      const std::string label = std::string(threads) + " threads, stop at query " + std::to_string(stop_at);
      EXPECT_EQ(many.queries, one.queries) << label;
      EXPECT_EQ(FirstDifferentPixel(many.result, one.result), "") << label;
      EXPECT_TRUE(many.all_on_caller) << label;
    }
  }
}

// A viewer may free the module as soon as message 14 returns; with workers
// that would crash if any were still running its code. Freed means gone
// from the process, so that the next load starts from nothing.
TEST_F(SharpeningThreads, ModuleUnloadsRightAfterTheMessageAndLoadsAgain) {
  const std::string module = DefaultPluginPath();
  const Image picture = RandomImage(640, 480, 5);
  const int before = CountProcessThreads();
  const Observed first = Filter("auto", picture, BothStages());
  EXPECT_EQ(ThreadsSettlingAt(before), before);
  EXPECT_NE(ModuleLoaded(module), 1) << module << " is still loaded after its host let it go";
  for (int round = 0; round < 3; ++round) {
    const Observed again = Filter("3", picture, BothStages(60.0));
    EXPECT_EQ(ThreadsSettlingAt(before), before) << "round " << round;
    EXPECT_NE(ModuleLoaded(module), 1) << "round " << round;
    EXPECT_EQ(again.queries, 2 * (640 + 480));
  }
  EXPECT_EQ(FirstDifferentPixel(Filter("3", picture, BothStages()).result, first.result), "");
  // The same module instance used again after a threaded message.
  SetThreadVariable("2");
  PluginHost host;
  std::string error;
  ASSERT_TRUE(host.Load(module, &error)) << error;
  // Every Filter above switched the plug-in on through message 7; this
  // module's state is new.
  EXPECT_EQ(host.Send(kMessageEnable), 1)
      << "the reloaded module answers as switched on: its state outlived the unload";
  EXPECT_EQ(FirstDifferentPixel(FilterThroughPlugin(host, picture, BothStages()), first.result), "");
  EXPECT_EQ(FirstDifferentPixel(FilterThroughPlugin(host, picture, BothStages()), first.result), "");
  host.Send(kMessageEnable, P(1), 0);
}

}  // namespace
