// The separable blur alone, where a change of its loops shows best: thread CPU time (steadier than wall time on a
// shared machine), best of N, on the path CHROMALINE_ISA allows, one thread, and a hash of the result's bytes so
// that two builds or two commits can be compared.
//
//   sharpening_blur_timing PICTURE [REPEAT] [RADIUS]
//
// RADIUS defaults to local contrast's (height / 32). Builds for Windows as
// well, for the DLL's code under Wine.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

#include "bench/bench_picture.h"
#include "filters/sharpen/unsharp_mask_blur.h"

namespace {

double ThreadSeconds() {
#if defined(_WIN32)
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ticks = [](const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
#else
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: sharpening_blur_timing PICTURE [REPEAT] [RADIUS]\n");
    return 2;
  }
  const PixelBuffer source = LoadBenchPicture(argv[1]);
  if (!source) {
    std::fprintf(stderr, "%s: cannot read the picture\n", argv[1]);
    return 1;
  }
  const int repeat = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const double radius = argc > 3 ? std::atof(argv[3]) : source.height() * 0.03125;
  PixelBuffer destination = CreatePixelBuffer(source.width(), source.height(), 24);
  double best = 1e30;
  for (int r = 0; r < repeat; ++r) {
    const double start = ThreadSeconds();
    if (SeparableBlur(source, destination, radius, StopQuery()) != BlurOutcome::kComplete) return 1;
    const double seconds = ThreadSeconds() - start;
    if (seconds < best) best = seconds;
  }
  uint32_t hash = 0;
  for (int y = 0; y < destination.height(); ++y) {
    for (int i = 0; i < 3 * destination.width(); ++i) hash = hash * 31 + destination.row(y)[i];
  }
  std::printf("%d x %d, radius %g, path limit %s: %.3f s best of %d, bytes %08x\n", source.width(), source.height(),
              radius, CpuPathName(CpuPathLimit()), best, repeat, hash);
  return 0;
}
