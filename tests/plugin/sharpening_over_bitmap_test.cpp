// The sharpening stages of a pipeline run on a host's bitmap (GDI bitmaps
// of every kind under Wine, descriptors natively) hold one picture: the
// blur is written over the working buffer and the source read again from
// the bitmap. Against the same stages on a buffer of no bitmap, which
// blur into a second picture: the same bytes and queries for every way a
// run ends, and never a half-done picture when memory is refused.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filters/engine/bitmap_transfer.h"
#include "filters/engine/pixel_memory.h"
#include "filters/filter_pipeline.h"
#include "host/host_bitmap.h"
#include "tests/support/process_threads.h"
#include "tests/support/test_support.h"

namespace {

// Answers "stop" at query number `stop_at` (from 0) and counts the queries.
struct StopAt {
  int stop_at = -1;
  int asked = 0;
  StopQuery query() {
    return StopQuery{[](void* self) {
                       auto& s = *static_cast<StopAt*>(self);
                       return s.asked++ == s.stop_at;
                     },
                     this};
  }
};

// Values 40..189 with a flat block at the top left (rows and columns 0..9),
// so that auto-levels stretches and a region over the block is flat.
Image NarrowImage(int width, int height, uint32_t seed) {
  Image image = RandomImage(width, height, seed);
  for (uint8_t& v : image.bgr) v = static_cast<uint8_t>(40 + v % 150);
  for (int y = 0; y < std::min(height, 10); ++y) {
    for (int x = 0; x < std::min(width, 10); ++x) std::memset(image.pixel(x, y), 120, 3);
  }
  return image;
}

enum class Stop { kNone, kRow, kColumn, kLastColumn };
// Auto-levels off, over a region that reaches the right edge alone, over
// the flat block, over a region short of every edge.
enum class Levels { kOff, kRegion, kFlat, kInner };

struct Case {
  const char* name;
  int width, height;
  Stop stop;
  int at;  // the row or column of the stop
  bool gamma;
  Levels levels;
  bool unsharp_mask;  // after local contrast
  const char* threads;
  bool local_contrast = true;
};

class SharpeningOverBitmap : public ::testing::Test {
 protected:
  void TearDown() override { SetThreadVariable(nullptr); }
};

TEST_F(SharpeningOverBitmap, SameBytesQueriesAsASecondPictureAndOnePictureHeld) {
  const Case cases[] = {
      {"no stop", 37, 40, Stop::kNone, 0, false, Levels::kOff, false, nullptr},
      {"no stop, gamma, levels", 45, 70, Stop::kNone, 0, true, Levels::kRegion, false, nullptr},
      {"a row's stop", 37, 40, Stop::kRow, 5, true, Levels::kOff, false, nullptr},
      {"the first row's stop", 37, 40, Stop::kRow, 0, false, Levels::kRegion, false, nullptr},
      {"a column's stop", 37, 40, Stop::kColumn, 9, true, Levels::kRegion, false, nullptr},
      {"the first column's stop", 33, 65, Stop::kColumn, 0, false, Levels::kOff, false, nullptr},
      {"the last column's stop", 37, 40, Stop::kLastColumn, 0, true, Levels::kFlat, false, nullptr},
      {"flat region", 31, 67, Stop::kNone, 0, true, Levels::kFlat, false, nullptr},
      {"one column", 1, 70, Stop::kNone, 0, true, Levels::kRegion, false, nullptr},
      {"a region short of every edge", 60, 40, Stop::kNone, 0, false, Levels::kInner, false, nullptr},
      {"gamma, a region short of every edge", 60, 40, Stop::kNone, 0, true, Levels::kInner, false, nullptr},
      {"then unsharp mask", 45, 70, Stop::kNone, 0, true, Levels::kRegion, true, nullptr},
      {"a column's stop, then unsharp mask", 45, 70, Stop::kColumn, 30, false, Levels::kRegion, true, nullptr},
      {"unsharp mask alone", 45, 70, Stop::kNone, 0, true, Levels::kRegion, true, nullptr, false},
      {"unsharp mask alone, a column's stop", 39, 70, Stop::kColumn, 12, false, Levels::kOff, true, nullptr, false},
      {"two threads", 701, 500, Stop::kNone, 0, true, Levels::kRegion, false, "2"},
      {"three threads, a column's stop", 701, 500, Stop::kColumn, 350, true, Levels::kOff, false, "3"},
      {"three threads, a row's stop", 701, 500, Stop::kRow, 260, false, Levels::kRegion, false, "3"},
  };
  for (const Case& c : cases) {
    for (const HostBitmap::Kind kind :
         {HostBitmap::Kind::kDib24, HostBitmap::Kind::kDib32, HostBitmap::Kind::kDeviceDependent}) {
      if (c.threads != nullptr && kind != HostBitmap::Kind::kDib24) continue;  // the kinds read alike
      const std::string label = std::string(c.name) + ", kind " + std::to_string(static_cast<int>(kind));
      SetThreadVariable(c.threads);
      FilterSettings settings;
      settings.GammaAdj = c.gamma;
      settings.GammaVal = 0.6;
      settings.AutoLevels = c.levels != Levels::kOff;
      settings.Defog = c.local_contrast;
      settings.DefogVal = 60;
      settings.USMEnable = c.unsharp_mask;
      settings.USMRadius = 2.5;
      settings.USMAmount = 150;
      settings.USMThreshold = 1;
      const ImageRegion region = c.levels == Levels::kFlat    ? ImageRegion{2, 1, 9, 10}
                                 : c.levels == Levels::kInner ? ImageRegion{5, 3, 30, 38}
                                                              : ImageRegion{c.width / 4, 3, c.width, c.height - 2};
      const int stop_at = c.stop == Stop::kNone     ? -1
                          : c.stop == Stop::kRow    ? c.at
                          : c.stop == Stop::kColumn ? c.height + c.at
                                                    : c.height + c.width - 1;
      auto bitmap = HostBitmap::Create(NarrowImage(c.width, c.height, 17u), kind);
      ASSERT_TRUE(bitmap) << label;

      PixelBuffer expected = ReadBitmapPixels(bitmap->handle());
      ASSERT_TRUE(expected) << label;
      StopAt reference{stop_at};
      ResetPixelMemoryPeak();
      RunStages(expected, settings, region, reference.query());
      const long long second_picture_peak = PixelMemoryPeakBytes();

      StopAt stop{stop_at};
      ResetPixelMemoryPeak();
      FilterPipeline(bitmap->handle(), settings, region, stop.query());
      const long long one_picture = static_cast<long long>(40 + expected.pixel_bytes());
      const bool both = c.local_contrast && c.unsharp_mask;
      EXPECT_EQ(PixelBlockPeakBytes(), (both ? 2 : 1) * one_picture) << label << ": pictures held";
      // The engine's blocks as on a second picture, a band of source rows and
      // a band of blurred rows per thread.
      const long long threads = c.threads != nullptr ? std::stoi(c.threads) : 1;
      const long long band = (1 + threads) * 64 * static_cast<long long>(expected.stride());
      EXPECT_LE(PixelMemoryPeakBytes(), second_picture_peak + (both ? one_picture : 0) + band) << label;
      EXPECT_EQ(stop.asked, reference.asked) << label;
      const Image result = bitmap->Read();
      for (int y = 0; y < c.height; ++y) {
        ASSERT_EQ(std::memcmp(result.pixel(0, y), expected.row(y), static_cast<size_t>(c.width) * 3), 0)
            << label << ": row " << y;
      }
    }
  }
}

// Each allocation of a run refused in turn: local contrast then runs whole
// (on a second picture when a block of the one-picture way was refused),
// or, when the plug-in's copy of the picture was refused, the bitmap keeps
// its pixels; every block is given back.
TEST_F(SharpeningOverBitmap, EachRefusedAllocationGivesTheWholeResultOrNoChange) {
  const Image picture = NarrowImage(37, 70, 5u);
  FilterSettings lc;
  lc.GammaAdj = 1;
  lc.GammaVal = 0.6;
  lc.AutoLevels = 1;
  lc.Defog = 1;
  lc.DefogVal = 40;
  auto run = [&](long refuse_at, long* requests) {
    auto bitmap = HostBitmap::Create(picture, HostBitmap::Kind::kDib24);
    EXPECT_TRUE(bitmap);
    if (!bitmap) return Image();
    const long outstanding = PixelMemoryOutstanding();
    RefusePixelMemoryAt(refuse_at);
    FilterPipeline(bitmap->handle(), lc, ImageRegion{0, 0, 0, 0});
    if (requests != nullptr) *requests = PixelMemoryRequests();
    RefusePixelMemoryAt(0);
    EXPECT_EQ(PixelMemoryOutstanding(), outstanding) << "allocation " << refuse_at << " refused";
    return bitmap->Read();
  };
  long requests = 0;
  const Image whole = run(0, &requests);
  ASSERT_GT(requests, 3);
  for (long n = 1; n <= requests; ++n) {
    const Image result = run(n, nullptr);
    EXPECT_TRUE(result.bgr == whole.bgr || result.bgr == picture.bgr) << "allocation " << n << " of " << requests;
  }
}

}  // namespace
