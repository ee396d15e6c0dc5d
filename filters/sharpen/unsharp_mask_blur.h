// The separable blur of the sharpening engine (unsharp_mask_blur.cpp),
// below the sharpening stage (unsharp_mask.h) and above the kernel
// (blur_kernel.h), the plan of its work (unsharp_mask_plan.h) and the row
// loops (unsharp_mask_dispatch.h).
//
// The blur is bit-exact: every tap adds its product in double precision
// and rounds the running sum to float, in tap order, in both passes. The
// engine may order the work as it likes (bands of rows, strips of
// columns, vector lanes) as long as each output value sees exactly that
// sequence of roundings, and as long as the stop query is asked H + W
// times in order with the destination in the defined state after a stop.
#ifndef CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_BLUR_H_
#define CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_BLUR_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "filters/engine/cpu_paths.h"
#include "filters/engine/engine_block.h"
#include "filters/engine/stop_query.h"
#include "filters/pixel_buffer.h"
#include "filters/sharpen/unsharp_mask_rows.h"

// Below this much work a blur stays on the calling thread: starting and
// joining threads would cost about as much as they save. The preview pane
// (272 x 169) stays below it at every radius the dialog admits (242 taps:
// 67 M tap-values); bench/sharpening_timing measures the crossover.
constexpr uint64_t kThreadedBlurWork = uint64_t{1} << 27;

struct BlurOptions {
  // Where the engine's blocks come from (kernel, plan, ring, slots, bands,
  // the table of sharpened values).
  BlurMemory memory;
  // Which row loops run (unsharp_mask_dispatch.h): none named, the widest
  // this processor allows; a named path exists so that tests can compare
  // each with the plain reference on one machine, and one the processor
  // lacks gives the plain loops.
  std::optional<CpuPath> path;
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
BlurOutcome SeparableBlur(const PixelBuffer& source, PixelBuffer& destination, double radius, const StopQuery& stop,
                          const BlurOptions& options = BlurOptions());

// The sharpening step run inside the blur (SharpenWhileBlurring).
struct BlurSharpening {
  SharpenRowLoop sharpen;
  SharpenParameters parameters;
};

// The blur of `picture` followed by the sharpening step, written over the
// picture itself: each vertical task blurs its band into a band block of its
// thread's own, sharpens those rows from the source rows and writes them
// back over them. No later task reads a source row that a band has
// written: a band waits for the horizontal rows it reads, and the
// horizontal pass of a row reads that row alone. Same bytes as a blur into
// a second buffer followed by SharpenFromBlurOn, and the same queries.
// After a stop at a row's query the picture is all zero. A stop at a
// column's query ends the queries but not the work, and the picture holds
// the finished result. kRefused leaves the picture untouched.
BlurOutcome SharpenWhileBlurring(PixelBuffer& picture, double radius, const BlurSharpening& sharpening,
                                 const StopQuery& stop, const BlurOptions& options = BlurOptions());

// The blur of `picture` written over the picture itself, band by band as
// SharpenWhileBlurring does, without the sharpening: the same bytes, the
// same queries and, after a stop, the same state as SeparableBlur into a
// second buffer (all zero after a row's query; after column x's, columns 0
// to x blurred and the rest zero). kRefused leaves the picture untouched.
BlurOutcome BlurInPlace(PixelBuffer& picture, double radius, const StopQuery& stop,
                        const BlurOptions& options = BlurOptions());

#endif  // CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_BLUR_H_
