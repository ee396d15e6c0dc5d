// The sharpening engine on several threads: the same bytes and the same
// stop queries as on one, every query on the calling thread, no long
// stretch of blur work between two queries at any radius or shape, and
// the working memory within the float picture's budget.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "filters/sharpen/unsharp_mask.h"
#include "filters/sharpen/unsharp_mask_plan.h"
#include "filters/engine/worker_team.h"
#include "tests/support/plain_lanes.h"
#include "tests/support/counting_memory.h"
#include "tests/support/reference_point_stages.h"
#include "tests/support/reference_unsharp_mask.h"

namespace {

const int kThreadCounts[] = {1, 2, 3, 7, 64};

PixelBuffer NoisyGradient(int width, int height, uint32_t seed) {
  PixelBuffer buffer = CreatePixelBuffer(width, height, 24);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < 3 * width; ++i) {
      const int v = (i * 3 + y * 7) % 256 + static_cast<int>(random() % 31) - 15;
      buffer.row(y)[i] = static_cast<unsigned char>(std::min(255, std::max(0, v)));
    }
  }
  return buffer;
}

std::string Label(int width, int height, double radius, int threads) {
  return std::to_string(width) + " x " + std::to_string(height) + ", radius " + std::to_string(radius) + ", " +
         std::to_string(threads) + " threads";
}

// What one run of the engine did: the picture, the queries (with the work
// done before each) and the threads that asked them.
struct EngineRun {
  PixelBuffer result;
  int asked = 0;
  bool all_on_caller = true;
  std::vector<uint64_t> work_at_query;
  uint64_t work_at_end = 0;
};

struct Recorder {
  int stop_at;
  std::thread::id caller;
  std::atomic<uint64_t>* work;
  EngineRun* run;
  static bool Ask(void* context) {
    auto* r = static_cast<Recorder*>(context);
    r->run->all_on_caller = r->run->all_on_caller && std::this_thread::get_id() == r->caller;
    r->run->work_at_query.push_back(r->work->load());
    return r->run->asked++ == r->stop_at;
  }
};

// Source rows read again from `source` itself (UnsharpMaskOverSource).
bool ReadSourceRows(int, int, int first, int count, unsigned char* out, void* context) {
  const auto& source = *static_cast<const PixelBuffer*>(context);
  std::memcpy(out, source.row(first + count - 1), static_cast<size_t>(count) * source.stride());
  return true;
}

// With `in_place` the engine sharpens a copy of the source over itself;
// with `over_source` it does so from the source's rows read again.
EngineRun RunEngine(const PixelBuffer& source, double radius, int threads, int stop_at = -1,
                    std::optional<CpuPath> path = std::nullopt, bool in_place = false, bool over_source = false) {
  EngineRun run;
  run.result = CreatePixelBuffer(source.width(), source.height(), 24);
  if (in_place || over_source) std::memcpy(run.result.pixels(), source.pixels(), source.pixel_bytes());
  std::atomic<uint64_t> work{0};
  Recorder recorder{stop_at, std::this_thread::get_id(), &work, &run};
  BlurOptions options;
  options.threads = threads;
  options.threaded_work = 0;  // threads even for the smallest picture
  options.work_counter = &work;
  options.path = path;
  const StopQuery stop{&Recorder::Ask, &recorder};
  if (over_source) {
    const SourceRows rows(source.width(), source.height(), ReadSourceRows, const_cast<PixelBuffer*>(&source));
    EXPECT_NE(UnsharpMaskOverSource(run.result, radius, 150, 2, stop, options, rows), BlurOutcome::kRefused);
  } else if (in_place) {
    UnsharpMaskInPlaceWith(run.result, radius, 150, 2, stop, options);
  } else {
    UnsharpMaskWith(source, run.result, radius, 150, 2, stop, options);
  }
  run.work_at_end = work.load();
  return run;
}

// Shapes around the engine's own sizes: one pixel wide or high, a band of
// 64 rows, a strip of 64 pixels, a group of 8 rows, and one off each.
const struct {
  int width, height;
  double radius;
} kShapes[] = {{1, 301, 3.0},  {301, 1, 3.0},  {1, 1, 2.0},   {65, 63, 4.5},  {63, 65, 30.0},  {64, 129, 1.0},
               {129, 64, 9.0}, {7, 200, 80.0}, {200, 9, 0.5}, {97, 71, 2.25}, {2, 500, 600.0}, {500, 2, 600.0}};

TEST(UnsharpMaskThreads, SameBytesAndQueriesForEveryThreadCount) {
  uint32_t seed = 1;
  for (const auto& shape : kShapes) {
    const PixelBuffer source = NoisyGradient(shape.width, shape.height, seed++);
    PixelBuffer expected = CreatePixelBuffer(shape.width, shape.height, 24);
    ReferenceUnsharpMask(source, expected, shape.radius, 150, 2, StopQuery());
    for (int threads : kThreadCounts) {
      const EngineRun run = RunEngine(source, shape.radius, threads);
      const std::string label = Label(shape.width, shape.height, shape.radius, threads);
      EXPECT_TRUE(SamePixels(run.result, expected)) << label;
      EXPECT_EQ(run.asked, shape.width + shape.height) << label;
      EXPECT_TRUE(run.all_on_caller) << label;
    }
  }
}

// The first, a middle and the last query of each pass, on every thread
// count: the queries asked and the picture left equal the single thread's
// (and the plain reference's).
TEST(UnsharpMaskThreads, StopsLeaveTheSamePictureOnEveryThreadCount) {
  const struct {
    int width, height;
    double radius;
  } shapes[] = {{150, 140, 6.0}, {40, 9, 20.0}, {9, 40, 20.0}, {130, 70, 1.0}};
  for (const auto& shape : shapes) {
    const PixelBuffer source = NoisyGradient(shape.width, shape.height, 7);
    const int h = shape.height, w = shape.width;
    for (int stop_at : {0, h / 2, h - 1, h, h + w / 2, h + w - 1}) {
      PixelBuffer expected = CreatePixelBuffer(w, h, 24);
      int reference_asked = 0;
      struct Count {
        int stop_at;
        int* asked;
        static bool Ask(void* c) {
          auto* s = static_cast<Count*>(c);
          return (*s->asked)++ == s->stop_at;
        }
      } count{stop_at, &reference_asked};
      ReferenceUnsharpMask(source, expected, shape.radius, 150, 2, StopQuery{&Count::Ask, &count});
      for (int threads : kThreadCounts) {
        const EngineRun run = RunEngine(source, shape.radius, threads, stop_at);
        const std::string label = Label(w, h, shape.radius, threads) + ", stop at query " + std::to_string(stop_at);
        EXPECT_EQ(run.asked, stop_at + 1) << label;
        EXPECT_EQ(run.asked, reference_asked) << label;
        EXPECT_TRUE(SamePixels(run.result, expected)) << label;
        EXPECT_TRUE(run.all_on_caller) << label;
        // Sharpened over the picture from its source read again: the same,
        // and on one thread no work beyond the second picture's after a stop.
        const EngineRun over = RunEngine(source, shape.radius, threads, stop_at, std::nullopt, false, true);
        EXPECT_EQ(over.asked, reference_asked) << label << ", over the source";
        EXPECT_TRUE(SamePixels(over.result, expected)) << label << ", over the source";
        EXPECT_TRUE(over.all_on_caller) << label << ", over the source";
        if (threads == 1) {
          EXPECT_EQ(over.work_at_end, run.work_at_end) << label << ", over the source";
        }
      }
    }
  }
}

// The longest stretch of blur work between two queries (or from the start
// to the first, or from the last to the end).
uint64_t LongestStretch(const EngineRun& run) {
  uint64_t longest = 0, previous = 0;
  for (uint64_t at : run.work_at_query) {
    longest = std::max(longest, at - previous);
    previous = at;
  }
  return std::max(longest, run.work_at_end - previous);
}

// What the order of the queries allows: one task's work, or a little over
// two source rows where a row is long (a row's query needs the whole row
// first, and the columns' queries wait for the last band).
uint64_t GapBound(int width, int height, double radius) {
  float r = 0.0f;
  BlurKernelRadius(radius, &r);
  (void)height;
  return std::max(kBlurTaskWork, uint64_t{3} * 3 * static_cast<uint64_t>(width) * BlurTapCount(r));
}

// Radii whose kernel covers the whole picture used to leave the whole
// vertical pass between the last row's query and the first column's.
TEST(UnsharpMaskThreads, NoLongStretchOfWorkBetweenQueries) {
  const struct {
    int width, height;
    double radius;
  } cases[] = {{1, 2500, 3000.0}, {2500, 1, 3000.0}, {60, 40, 3000.0},  {40, 60, 3000.0},
               {200, 150, 150.0}, {16, 1000, 700.0}, {1000, 16, 700.0}, {333, 333, 12.0}};
  for (const auto& c : cases) {
    const PixelBuffer source = NoisyGradient(c.width, c.height, 3);
    // The plan the engine follows, to know what each query stands for.
    float r = 0.0f;
    ASSERT_TRUE(BlurKernelRadius(c.radius, &r));
    const BlurGeometry geometry{c.width, c.height, BlurTapCount(r) / 2 - 1, BlurTapCount(r)};
    const BlurPlanShape shape = BlurPlanShapeFor(geometry);
    std::vector<BlurTask> tasks(static_cast<size_t>(shape.tasks));
    std::vector<BlurPhase> phases(static_cast<size_t>(shape.phases));
    FillBlurPlan(geometry, shape, tasks.data(), phases.data());
    std::vector<int> ask_after(static_cast<size_t>(c.width + c.height));
    ScheduleBlurQueries(geometry, tasks.data(), shape.tasks, ask_after.data());
    std::vector<uint64_t> done_before(tasks.size());
    uint64_t sum = 0;
    for (size_t t = 0; t < tasks.size(); ++t) done_before[t] = sum += tasks[t].work;
    for (int threads : {1, 2, 7}) {
      const EngineRun run = RunEngine(source, c.radius, threads);
      const std::string label = Label(c.width, c.height, c.radius, threads);
      ASSERT_EQ(run.asked, c.width + c.height) << label;
      // Every query comes after the work it stands for, on any thread count.
      for (size_t q = 0; q < ask_after.size(); ++q) {
        ASSERT_GE(run.work_at_query[q], done_before[static_cast<size_t>(ask_after[q])]) << label << ", query " << q;
      }
      // On one thread the stretches are exact. On several, the calling
      // thread asks once the tasks before a query have finished while the
      // others go on with later ones, so a stretch holds about one task's
      // time rather than one task's work (how much more depends on how the
      // system schedules the threads; the time is what bench/ measures).
      if (threads == 1) {
        EXPECT_LE(LongestStretch(run), GapBound(c.width, c.height, c.radius)) << label;
      }
    }
  }
}

// The same bound on pictures too large to blur in a test: the plan alone.
TEST(UnsharpMaskThreads, PlansForLargePicturesKeepStretchesShort) {
  const struct {
    int width, height, reach;
  } cases[] = {{2048, 1536, 8190}, {5120, 2880, 8190}, {4432, 3324, 103}, {1, 65535, 8190}, {65535, 1, 8190},
               {16, 60000, 8190},  {60000, 16, 8190},  {6000, 4000, 125}, {272, 169, 120},  {30000, 2, 8190}};
  for (const auto& c : cases) {
    const BlurGeometry geometry{c.width, c.height, c.reach, 2 * c.reach + 2};
    const BlurPlanShape shape = BlurPlanShapeFor(geometry);
    std::vector<BlurTask> tasks(static_cast<size_t>(shape.tasks));
    std::vector<BlurPhase> phases(static_cast<size_t>(shape.phases));
    FillBlurPlan(geometry, shape, tasks.data(), phases.data());
    std::vector<int> ask_after(static_cast<size_t>(c.width + c.height));
    const uint64_t longest = ScheduleBlurQueries(geometry, tasks.data(), shape.tasks, ask_after.data());
    const std::string label =
        std::to_string(c.width) + " x " + std::to_string(c.height) + ", reach " + std::to_string(c.reach);
    const uint64_t row = uint64_t{3} * static_cast<uint64_t>(c.width) * static_cast<uint64_t>(geometry.taps);
    EXPECT_LE(longest, std::max(kBlurTaskWork, 3 * row)) << label << ": " << longest;
    // Every value of both passes is in exactly one task.
    uint64_t total = 0;
    for (const BlurTask& t : tasks) total += t.work;
    EXPECT_EQ(total, uint64_t{2} * c.height * row) << label;
    // Queries in order, none before its work, the last after the last task.
    for (size_t q = 1; q < ask_after.size(); ++q) ASSERT_LE(ask_after[q - 1], ask_after[q]) << label;
    EXPECT_EQ(ask_after.back(), shape.tasks - 1) << label;
    for (int y = 0; y < c.height; ++y) {
      int last = -1;
      for (int t = 0; t < shape.tasks; ++t) {
        if (tasks[t].horizontal && tasks[t].first_row <= y && y < tasks[t].end_row) last = t;
      }
      ASSERT_GE(ask_after[y], last) << label << ", row " << y;
      if (y > 3 && y < c.height - 4) y += c.height / 7;  // a sample of rows is enough
    }
    // Phases cover the tasks in order, horizontal ones before their band.
    int next = 0;
    for (const BlurPhase& p : phases) {
      ASSERT_EQ(p.first_task, next) << label;
      ASSERT_LT(p.first_task, p.end_task) << label;
      next = p.end_task;
    }
    EXPECT_EQ(next, shape.tasks) << label;
  }
}

TEST(UnsharpMaskThreads, WorkingMemoryStaysWithinTheFloatPictureOnAnyThreadCount) {
  const struct {
    int width, height;
    double radius;
  } cases[] = {{640, 480, 15.0}, {640, 480, 100.0}, {300, 900, 28.125}};
  for (const auto& c : cases) {
    const PixelBuffer source = NoisyGradient(c.width, c.height, 5);
    for (int threads : {1, 2, 8}) {
      CountingMemory memory;
      BlurOptions options;
      options.threads = threads;
      options.threaded_work = 0;
      options.memory = memory.memory();
      PixelBuffer destination = CreatePixelBuffer(c.width, c.height, 24);
      UnsharpMaskWith(source, destination, c.radius, 100, 4, StopQuery(), options);
      EXPECT_LE(memory.peak, uint64_t{12} * c.width * c.height) << Label(c.width, c.height, c.radius, threads);
      EXPECT_TRUE(memory.live.empty());
    }
  }
}

// Sharpening over the picture itself: the reference's bytes and queries on
// every path and thread count, with bands, strips and ring wraps (the
// last radius is local contrast's).
TEST(UnsharpMaskInPlace, SameBytesAndQueriesAsTwoBuffers) {
  const struct { int width, height; } shapes[] = {{131, 203}, {67, 300}, {1, 150}, {245, 9}, {333, 70}};
  const std::vector<LoopPath> paths = LoopPathsToTest();
  uint32_t seed = 40;
  for (const auto& shape : shapes) {
    const PixelBuffer source = NoisyGradient(shape.width, shape.height, seed++);
    for (double radius : {0.5, 7.3, shape.height * 0.03125}) {
      PixelBuffer expected = CreatePixelBuffer(shape.width, shape.height, 24);
      ReferenceUnsharpMask(source, expected, radius, 150, 2, StopQuery());
      for (const auto& path : paths) {
        for (int threads : {1, 2, 3}) {
          const ScopedLoopPath lanes(path);
          const EngineRun run = RunEngine(source, radius, threads, -1, path.path, true);
          const std::string label = Label(shape.width, shape.height, radius, threads) + ", " + path.name + " path";
          EXPECT_TRUE(SamePixels(run.result, expected)) << label;
          EXPECT_EQ(run.asked, shape.width + shape.height) << label;
          EXPECT_TRUE(run.all_on_caller) << label;
        }
      }
    }
  }
}

// A stop at a row's query leaves the picture black, bands already written
// over included; a stop at a column's query ends the queries and leaves
// the finished result, since the blur of the earlier bands is gone.
TEST(UnsharpMaskInPlace, RowStopsLeaveBlackColumnStopsTheFinishedResult) {
  const struct {
    int width, height;
    double radius;
  } shapes[] = {{150, 140, 6.0}, {40, 9, 20.0}, {9, 200, 2.0}, {130, 70, 1.0}};
  for (const auto& shape : shapes) {
    const int h = shape.height, w = shape.width;
    const PixelBuffer source = NoisyGradient(w, h, 11);
    PixelBuffer finished = CreatePixelBuffer(w, h, 24);
    ReferenceUnsharpMask(source, finished, shape.radius, 150, 2, StopQuery());
    const PixelBuffer black = CreatePixelBuffer(w, h, 24);
    for (int stop_at : {0, 1, h / 2, h - 1, h, h + w / 2, h + w - 1}) {
      for (int threads : {1, 2, 3}) {
        const EngineRun run = RunEngine(source, shape.radius, threads, stop_at, std::nullopt, true);
        const std::string label = Label(w, h, shape.radius, threads) + ", stop at query " + std::to_string(stop_at);
        EXPECT_EQ(run.asked, stop_at + 1) << label;
        EXPECT_TRUE(SamePixels(run.result, stop_at < h ? black : finished)) << label;
        EXPECT_TRUE(run.all_on_caller) << label;
      }
    }
  }
}

TEST(UnsharpMaskThreads, SmallPicturesStayOnTheCallingThread) {
  EXPECT_EQ(BlurThreadsFor(272, 169, 120.0f, 8), 1);  // the preview pane at the dialog's largest radius
  EXPECT_EQ(BlurThreadsFor(272, 169, 5.28f, 64), 1);
  EXPECT_EQ(BlurThreadsFor(4432, 3324, 103.0f, 8), 8);
  EXPECT_EQ(BlurThreadsFor(4432, 3324, 103.0f, 1), 1);
  EXPECT_EQ(BlurThreadsFor(4432, 3324, 103.0f, 500), kMaxWorkerThreads);
}

// The rows each thread sharpened from, seen by a row loop that wraps the
// plain one: SharpenWhileBlurring hands it the band block's rows.
struct BandRowsSeen {
  std::mutex mutex;
  std::map<std::thread::id, std::set<const unsigned char*>> rows;
};
BandRowsSeen* g_band_rows = nullptr;

void RecordingSharpen(const unsigned char* original, unsigned char* blurred, int values,
                      const SharpenParameters& parameters) {
  {
    const std::lock_guard<std::mutex> lock(g_band_rows->mutex);
    g_band_rows->rows[std::this_thread::get_id()].insert(blurred);
  }
  BlurRowLoopsFor(CpuPath::kPlain).sharpen(original, blurred, values, parameters);
}

// Each thread blurs its bands into a band block of its own: no row of a
// band block is used on two threads, and the bytes are the reference's.
// Run again until the vertical pass did run on two threads at least.
TEST(UnsharpMaskThreads, EachThreadSharpensFromABandBlockOfItsOwn) {
  const PixelBuffer source = NoisyGradient(301, 260, 11);
  PixelBuffer expected = CreatePixelBuffer(301, 260, 24);
  ReferenceUnsharpMask(source, expected, 3.0, 150, 2, StopQuery());
  BandRowsSeen seen;
  g_band_rows = &seen;
  const BlurSharpening sharpening{RecordingSharpen, SharpenParameters{150 * 0.01, 2, nullptr}};
  for (int threads : {2, 3}) {
    for (int attempt = 0; attempt < 100 && seen.rows.size() < 2; ++attempt) {
      seen.rows.clear();
      PixelBuffer picture = CreatePixelBuffer(source.width(), source.height(), 24);
      std::memcpy(picture.pixels(), source.pixels(), source.pixel_bytes());
      BlurOptions options;
      options.threads = threads;
      options.threaded_work = 0;
      ASSERT_EQ(SharpenWhileBlurring(picture, 3.0, sharpening, StopQuery(), options), BlurOutcome::kComplete);
      EXPECT_TRUE(SamePixels(picture, expected)) << threads << " threads";
      std::set<const unsigned char*> used;
      for (const auto& [thread, rows] : seen.rows) {
        for (const unsigned char* row : rows) {
          EXPECT_TRUE(used.insert(row).second) << threads << " threads: a band row used on two threads";
        }
      }
    }
    EXPECT_GE(seen.rows.size(), 2u) << threads << " threads: the vertical pass never ran on two";
    seen.rows.clear();
  }
  g_band_rows = nullptr;
}

}  // namespace
