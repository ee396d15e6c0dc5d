// Times the sharpening engine on one picture against the plain reference,
// in one run, and checks that their bytes agree:
//   - local contrast (radius H / 32, amount 10, threshold 4), every loop
//     path this processor has, and the reference once;
//   - the default unsharp mask (radius 0.5, amount 100, threshold 4).
// Prints times, ratios and the memory used: the engine's own blocks (from
// a counting allocator) and the process's peak. Times are the thread's CPU
// time (steadier than wall time on a shared machine); wall times follow in
// brackets.
//
//   sharpening_timing PICTURE.png [--no-reference] [--repeat N] [--only local|default]
//
// A plain program rather than a Google Benchmark one: one reference run at
// full size takes most of a minute, and the same source builds for Windows
// so the DLL's code can be timed under Wine.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#include <time.h>
#endif

#include "bench/bench_picture.h"
#include "filters/sharpen/unsharp_mask.h"
#include "tests/support/counting_memory.h"
#include "tests/support/reference_unsharp_mask.h"

namespace {

using Clock = std::chrono::steady_clock;

double ThreadSeconds() {
#if defined(_WIN32)
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ticks = [](const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return (ticks(kernel) + ticks(user)) * 1e-7;
#else
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
#endif
}

// CPU and wall seconds since construction.
struct Stopwatch {
  double cpu_start = ThreadSeconds();
  Clock::time_point wall_start = Clock::now();
  double cpu() const { return ThreadSeconds() - cpu_start; }
  double wall() const { return std::chrono::duration<double>(Clock::now() - wall_start).count(); }
};

struct Timing {
  double cpu = 1e30, wall = 1e30;
};

double PeakProcessMegabytes() {
#if defined(_WIN32)
  PROCESS_MEMORY_COUNTERS counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize / 1048576.0;
#else
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
#endif
}

struct Stage {
  const char* name;
  double radius;
  int amount, threshold;
};

// Best of `repeat` runs of the engine, leaving the result in `destination`.
Timing TimeEngine(const PixelBuffer& source, PixelBuffer& destination, const Stage& stage,
                  std::optional<CpuPath> path, int repeat, CountingMemory* memory) {
  Timing best;
  for (int i = 0; i < repeat; ++i) {
    std::memset(destination.pixels(), 0, destination.pixel_bytes());
    BlurOptions options;
    options.path = path;
    if (memory != nullptr) options.memory = memory->memory();
    const Stopwatch watch;
    UnsharpMaskWith(source, destination, stage.radius, stage.amount, stage.threshold, StopQuery(), options);
    best.cpu = std::min(best.cpu, watch.cpu());
    best.wall = std::min(best.wall, watch.wall());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PICTURE [--no-reference] [--repeat N] [--only local|default]\n", argv[0]);
    return 2;
  }
  bool reference = true;
  int repeat = 3;
  const char* only = "";
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-reference") == 0) reference = false;
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
    if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
  }
  const PixelBuffer source = LoadBenchPicture(argv[1]);
  if (!source) {
    std::fprintf(stderr, "%s: cannot read the picture\n", argv[1]);
    return 1;
  }
  const int width = source.width(), height = source.height();
  const Stage stages[] = {{"local contrast", height * 0.03125, 10, 4}, {"default unsharp mask", 0.5, 100, 4}};
  std::printf("picture %s: %d x %d (%.1f MP), %d-bit build\n", argv[1], width, height, width * height / 1e6,
              static_cast<int>(sizeof(void*) * 8));

  PixelBuffer engine_out = CreatePixelBuffer(width, height, 24);
  PixelBuffer reference_out = reference ? CreatePixelBuffer(width, height, 24) : PixelBuffer();
  if (!engine_out || (reference && !reference_out)) {
    std::fprintf(stderr, "no memory for the pictures\n");
    return 1;
  }
  for (const Stage& stage : stages) {
    if (std::strstr(stage.name, only) == nullptr) continue;
    float r = 0;
    BlurKernelRadius(stage.radius, &r);
    std::printf("\n%s: radius %g, %d taps per pass\n", stage.name, stage.radius, BlurTapCount(r));
    Timing engine;
    // The named paths, then the one the dispatcher picks (no path named).
    for (std::optional<CpuPath> path :
         {std::optional<CpuPath>(CpuPath::kAvx512), std::optional<CpuPath>(CpuPath::kAvx2),
          std::optional<CpuPath>(CpuPath::kSse2), std::optional<CpuPath>()}) {
      if (path && !BlurPathAvailable(*path)) continue;
      CountingMemory memory;
      const Timing t = TimeEngine(source, engine_out, stage, path, repeat, &memory);
      std::printf("  engine, %-7s path: %9.3f s [wall %.3f] best of %d, engine blocks %.1f MB\n",
                  path ? CpuPathName(*path) : "auto", t.cpu, t.wall, repeat, memory.peak / 1048576.0);
      if (!path) engine = t;
    }
    if (reference) {
      std::memset(reference_out.pixels(), 0, reference_out.pixel_bytes());
      const Stopwatch watch;
      ReferenceUnsharpMask(source, reference_out, stage.radius, stage.amount, stage.threshold, StopQuery());
      const Timing t = {watch.cpu(), watch.wall()};
      const bool same = std::memcmp(engine_out.pixels(), reference_out.pixels(), engine_out.pixel_bytes()) == 0;
      std::printf("  plain reference:       %9.3f s [wall %.3f] once\n", t.cpu, t.wall);
      std::printf("  reference / engine:    %9.1f x [wall %.1f x], bytes %s\n", t.cpu / engine.cpu,
                  t.wall / engine.wall, same ? "identical" : "DIFFERENT");
      if (!same) return 1;
    }
  }
  std::printf("\npictures: 2 x %.1f MB; process peak %.1f MB\n", source.pixel_bytes() / 1048576.0,
              PeakProcessMegabytes());
  return 0;
}
