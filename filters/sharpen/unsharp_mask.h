// File: filters/sharpen/unsharp_mask.h
//
// The sharpening engine behind UnsharpMask (stages.h), used by the local
// contrast and the unsharp-mask stages: the blur kernel, the separable
// blur and the sharpening step, exposed for the tests and benchmarks.
//
// The blur is bit-exact: every tap adds its product in double precision
// and rounds the running sum to float, in tap order, in both passes. The
// engine may order the work as it likes (bands of rows, strips of
// columns, vector lanes) as long as each output value sees exactly that
// sequence of roundings, and as long as the stop query is asked H + W
// times in order with the destination in the defined state after a stop.
#ifndef CHROMALINE_FILTERS_UNSHARP_MASK_H_
#define CHROMALINE_FILTERS_UNSHARP_MASK_H_

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "filters/pixel_buffer.h"
#include "filters/engine/stop_query.h"

// The largest kernel the engine builds. The settings dialog admits radii up
// to 120 (242 taps); the local contrast radius of a picture 65,535 rows high
// (the tallest most codecs write) is 2048 (4098 taps). A radius that would
// need more taps than this (about 8191 or more, a picture over 262,000 rows
// high, or a hand-edited settings file) is refused like a failed allocation.
constexpr int kMaxBlurTaps = 16384;

// The blur kernel: `count` taps (even, at least 2), each with a float weight
// and a pixel offset from -n to +n, offset 0 twice.
struct BlurKernel {
  int count = 0;
  float* weights = nullptr;
  int* offsets = nullptr;
};

// The radius the kernel is built from, narrowed to float. A negative radius
// (infinite ones too) counts as 0, which leaves the picture unchanged. False
// for NaN and for radii whose kernel would exceed kMaxBlurTaps.
bool BlurKernelRadius(double radius, float* narrowed);

// 2n + 2 with n = trunc(radius + 0.999999), for 0 <= radius < kMaxBlurTaps/2.
int BlurTapCount(float radius);

// Fills kernel.weights and kernel.offsets (kernel.count entries each, count
// from BlurTapCount) for the radius.
void FillBlurKernel(float radius, const BlurKernel& kernel);

// Where the engine's own blocks (kernel, intermediate rows, scratch rows)
// come from. The defaults are malloc and free; tests substitute failing and
// counting versions.
struct BlurMemory {
  void* (*allocate)(size_t bytes, void* context) = nullptr;
  void (*release)(void* block, void* context) = nullptr;
  void* context = nullptr;
};

// Which implementation of the row loops runs. kAuto picks the fastest this
// processor supports; the others exist so that tests can compare each path
// with the plain reference on one machine. A path the processor lacks falls
// back to kGeneric.
enum class BlurPath { kAuto, kGeneric, kSse2, kAvx2, kAvx512 };

// Whether `path` can run here (kAuto and kGeneric always can).
bool BlurPathAvailable(BlurPath path);
// "auto", "generic", "sse2", "avx2" or "avx512", for reports.
const char* BlurPathName(BlurPath path);

// Below this much work a blur stays on the calling thread: starting and
// joining threads would cost about as much as they save. The preview pane
// (272 x 169) stays below it at every radius the dialog admits (242 taps:
// 67 M tap-values); bench/sharpening_timing measures the crossover.
constexpr uint64_t kThreadedBlurWork = uint64_t{1} << 27;

struct BlurOptions {
  BlurMemory memory;
  BlurPath path = BlurPath::kAuto;
  // Threads for the blur and the sharpening step, the caller included
  // (ThreadCountFromEnvironment() in UnsharpMask). Small pictures stay on
  // the calling thread whatever is asked (BlurThreadsFor). The bytes never
  // depend on it.
  int threads = 1;
  // Blurs with less work than this (tap-values of both passes) stay on the
  // calling thread; tests lower it to run small pictures on threads.
  uint64_t threaded_work = kThreadedBlurWork;
  // For tests: each finished piece of blur work adds its tap-values (one
  // tap on one channel value) here, from whichever thread did it.
  std::atomic<uint64_t>* work_counter = nullptr;
};

// The threads a blur of this size and radius runs on when `threads` are
// asked for: 1 when it holds less than `threaded_work` tap-values of work,
// else `threads` (at most kMaxWorkerThreads).
int BlurThreadsFor(int width, int height, float radius, int threads, uint64_t threaded_work = kThreadedBlurWork);

enum class BlurOutcome {
  kComplete,  // the destination holds the whole blur
  kStopped,   // the host asked to stop; destination as after a stop
  kRefused,   // bad radius, mismatched buffers or no memory: nothing written
};

// Blurs `source` into `destination` (same width and height, 24 bits). Asks
// `stop` after each of the H rows of the horizontal pass, then after each of
// the W columns of the vertical pass, always on the calling thread, each
// query only once the work it stands for is done, and never with more than
// one task's worth of blur work since the previous query where the order of
// the queries allows it (unsharp_mask_plan.h). After a stop in the
// horizontal pass the destination is all zero; after a stop following
// column x, columns 0 to x hold the blur and the rest is zero.
BlurOutcome SeparableBlur(const PixelBuffer& source, PixelBuffer& destination, double radius,
                          const StopQuery& stop, const BlurOptions& options = BlurOptions());

// The sharpening step: `destination` holds the blur of `source` and receives
// the sharpened picture. Per channel, with O the source value, B the blurred
// one and d = O - B: O when |d| <= threshold, else O + amount% * d clamped to
// 0..255 and truncated. Defined for every amount and threshold.
void SharpenFromBlur(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                     BlurPath path = BlurPath::kAuto);

// The same over bands of rows on `threads` threads (the caller included).
void SharpenFromBlurOn(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                       BlurPath path, int threads);

// UnsharpMask with a choice of memory and path. A refused blur copies the
// source into the destination: the stage then leaves the picture as it was.
void UnsharpMaskWith(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                     int32_t threshold, const StopQuery& stop, const BlurOptions& options);

#endif  // CHROMALINE_FILTERS_UNSHARP_MASK_H_
