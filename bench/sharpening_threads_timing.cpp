// The sharpening engine on 1, 2, 4 and 8 threads, in one run, wall time:
//   - local contrast (radius H / 32, amount 10, threshold 4) on the
//     picture: best of N per thread count, the bytes compared with one
//     thread's, the engine's own memory at its peak, the longest time
//     between two stop queries (or from the start to the first, from the
//     last to the return), and the time from a stop answer half-way to the
//     return;
//   - the whole pipeline with every stage on, on the picture and on its
//     2560 x 1600 corner (CHROMALINE_THREADS set per run, as the plug-in
//     reads it);
//   - with --huge: USMRadius 8190 on the 2048 x 1536 corner, once per
//     thread count, and its longest gap between queries;
//   - the preview pane's size (272 x 169, radius 120) forced onto threads,
//     against one thread: where threads stop paying.
//
//   sharpening_threads_timing PICTURE [--repeat N] [--threads 1,2,4,8] [--huge] [--local-only]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "bench/bench_picture.h"
#include "filters/filter_pipeline.h"
#include "filters/sharpen/unsharp_mask.h"
#include "filters/engine/worker_team.h"
#include "tests/support/counting_memory.h"
#include "tests/support/reference_point_stages.h"
#include "tests/support/sample_settings.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void SetThreads(int threads) {
  const std::string value = std::to_string(threads);
#if defined(_WIN32)
  SetEnvironmentVariableA("CHROMALINE_THREADS", value.c_str());
#else
  setenv("CHROMALINE_THREADS", value.c_str(), 1);
#endif
}

// Times the stop queries; answers stop at query `stop_at` (-1: never).
struct QueryClock {
  int stop_at = -1;
  int asked = 0;
  Clock::time_point last;
  Clock::time_point stop_answered;
  double longest = 0;
  static bool Ask(void* context) {
    auto* q = static_cast<QueryClock*>(context);
    const Clock::time_point now = Clock::now();
    q->longest = std::max(q->longest, std::chrono::duration<double>(now - q->last).count());
    q->last = now;
    if (q->asked++ != q->stop_at) return false;
    q->stop_answered = Clock::now();
    return true;
  }
};

PixelBuffer Corner(const PixelBuffer& source, int width, int height) {
  width = std::min(width, source.width());
  height = std::min(height, source.height());
  PixelBuffer corner = CreatePixelBuffer(width, height, 24);
  for (int y = 0; y < height; ++y) std::memcpy(corner.row(y), source.row(y), size_t{3} * width);
  return corner;
}

struct Result {
  double wall = 1e30;      // best of the runs
  double longest_gap = 0;  // of the best run: between two queries, or to the first
  double tail = 0;         // from the last query to the return (the sharpening step)
  size_t peak = 0;
};

// One engine call; stop_at >= 0 measures the time from that answer back.
Result RunEngine(const PixelBuffer& source, PixelBuffer& destination, double radius, int amount, int threshold,
                 int threads, uint64_t threaded_work, int stop_at, double* stop_latency) {
  CountingMemory memory;
  BlurOptions options;
  options.threads = threads;
  options.threaded_work = threaded_work;
  options.memory = memory.memory();
  QueryClock clock;
  clock.stop_at = stop_at;
  const Clock::time_point start = Clock::now();
  clock.last = start;
  UnsharpMaskWith(source, destination, radius, amount, threshold, StopQuery{&QueryClock::Ask, &clock}, options);
  const Clock::time_point end = Clock::now();
  Result r;
  r.wall = std::chrono::duration<double>(end - start).count();
  r.longest_gap = clock.longest;
  r.tail = std::chrono::duration<double>(end - clock.last).count();
  r.peak = memory.peak;
  if (stop_latency != nullptr) *stop_latency = std::chrono::duration<double>(end - clock.stop_answered).count();
  return r;
}

double TimePipeline(const PixelBuffer& picture, int threads, int repeat) {
  SetThreads(threads);
  double best = 1e30;
  for (int i = 0; i < repeat; ++i) {
    PixelBuffer copy = CreatePixelBuffer(picture.width(), picture.height(), 24);
    std::memcpy(copy.pixels(), picture.pixels(), picture.pixel_bytes());
    const Clock::time_point start = Clock::now();
    RunStages(copy, EveryStageEveryday(), ImageRegion{0, 0, 0, 0}, StopQuery());
    best = std::min(best, Since(start));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PICTURE [--repeat N] [--threads 1,2,4,8] [--huge]\n", argv[0]);
    return 2;
  }
  int repeat = 3;
  bool huge = false;
  bool local_only = false;
  std::vector<int> counts = {1, 2, 4, 8};
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
    if (std::strcmp(argv[i], "--huge") == 0) huge = true;
    if (std::strcmp(argv[i], "--local-only") == 0) local_only = true;
    if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      counts.clear();
      for (const char* p = argv[++i]; *p != '\0';) {
        counts.push_back(std::max(1, std::atoi(p)));
        while (*p != '\0' && *p != ',') ++p;
        if (*p == ',') ++p;
      }
    }
  }
  const PixelBuffer source = LoadBenchPicture(argv[1]);
  if (!source) {
    std::fprintf(stderr, "%s: cannot read the picture\n", argv[1]);
    return 1;
  }
  const int width = source.width(), height = source.height();
  std::printf("picture %s: %d x %d (%.1f MP), %d-bit build, %d logical processors here\n", argv[1], width, height,
              width * height / 1e6, static_cast<int>(8 * sizeof(void*)), AvailableProcessorCount());

  const double radius = height * 0.03125;
  std::printf("\nlocal contrast, radius %g, best of %d (wall):\n", radius, repeat);
  std::printf(
      "| threads | time | vs 1 thread | longest gap between queries | last query to return | stop answer to return "
      "| engine blocks | bytes |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  PixelBuffer first = CreatePixelBuffer(width, height, 24);
  double one_thread = 0;
  for (size_t c = 0; c < counts.size(); ++c) {
    PixelBuffer destination = CreatePixelBuffer(width, height, 24);
    Result best;
    for (int i = 0; i < repeat; ++i) {
      const Result r = RunEngine(source, destination, radius, 10, 4, counts[c], kThreadedBlurWork, -1, nullptr);
      if (r.wall < best.wall) best = r;
    }
    if (c == 0) {
      one_thread = best.wall;
      std::memcpy(first.pixels(), destination.pixels(), destination.pixel_bytes());
    }
    double latency = 0;
    PixelBuffer stopped = CreatePixelBuffer(width, height, 24);
    RunEngine(source, stopped, radius, 10, 4, counts[c], kThreadedBlurWork, (width + height) / 2, &latency);
    std::printf("| %d | %.3f s | %.2f x | %.1f ms | %.1f ms | %.2f ms | %.1f MB | %s |\n", counts[c], best.wall,
                one_thread / best.wall, best.longest_gap * 1e3, best.tail * 1e3, latency * 1e3,
                best.peak / 1048576.0, SamePixels(destination, first) ? "identical" : "DIFFERENT");
  }

  if (local_only) return 0;
  const PixelBuffer screen = Corner(source, 2560, 1600);
  std::printf("\nwhole pipeline, every stage on, best of %d (wall):\n", repeat);
  std::printf("| threads | %d x %d | vs 1 | %d x %d | vs 1 |\n|---|---|---|---|---|\n", screen.width(),
              screen.height(), width, height);
  double pipeline_one[2] = {0, 0};
  for (size_t c = 0; c < counts.size(); ++c) {
    const double small = TimePipeline(screen, counts[c], repeat);
    const double large = TimePipeline(source, counts[c], repeat);
    if (c == 0) {
      pipeline_one[0] = small;
      pipeline_one[1] = large;
    }
    std::printf("| %d | %.3f s | %.2f x | %.3f s | %.2f x |\n", counts[c], small, pipeline_one[0] / small, large,
                pipeline_one[1] / large);
  }

  if (huge) {
    const PixelBuffer corner = Corner(source, 2048, 1536);
    std::printf("\nUSMRadius 8190 on %d x %d, once (wall):\n", corner.width(), corner.height());
    std::printf(
        "| threads | time | longest gap between queries | last query to return | engine blocks "
        "|\n|---|---|---|---|---|\n");
    for (int threads : counts) {
      PixelBuffer destination = CreatePixelBuffer(corner.width(), corner.height(), 24);
      const Result r = RunEngine(corner, destination, 8190.0, 100, 4, threads, kThreadedBlurWork, -1, nullptr);
      std::printf("| %d | %.2f s | %.1f ms | %.1f ms | %.1f MB |\n", threads, r.wall, r.longest_gap * 1e3,
                  r.tail * 1e3, r.peak / 1048576.0);
    }
  }

  std::printf("\nsmall pictures forced onto threads (radius 120, best of 20, wall):\n");
  std::printf("| size | 1 thread | 2 threads |\n|---|---|---|\n");
  const int sizes[][2] = {{272, 169}, {544, 338}, {1088, 676}};
  for (const auto& size : sizes) {
    const PixelBuffer small = Corner(source, size[0], size[1]);
    PixelBuffer destination = CreatePixelBuffer(small.width(), small.height(), 24);
    double best[2] = {1e30, 1e30};
    for (int i = 0; i < 20; ++i) {
      for (int t = 0; t < 2; ++t) {
        best[t] = std::min(best[t], RunEngine(small, destination, 120.0, 100, 4, t + 1, 0, -1, nullptr).wall);
      }
    }
    std::printf("| %d x %d | %.2f ms | %.2f ms |\n", small.width(), small.height(), best[0] * 1e3, best[1] * 1e3);
  }
  return 0;
}
