// The separable blur: follows the plan of unsharp_mask_plan.h on a team of
// threads (the caller alone unless more were asked for), asks the stop
// queries on the calling thread where the plan places them, and after a
// stop leaves the destination as the defined order of work would have:
// all zero after a row's query, the columns up to the stopping one
// blurred after a column's query.
//
// The horizontal pass does not keep a whole W x H x 3 float picture: its
// rows go into a ring just deep enough for one band of output rows plus
// the kernel's reach above and below, stored strip by strip so that the
// rows one strip's taps walk through lie together. The ring holds the
// float values as doubles, so that the vertical pass need not convert them
// at every tap, unless that would take more than 9 bytes per pixel (large
// radii on short pictures): then as floats, at most 12 bytes per pixel.
// Short kernels (kShortKernelTaps or fewer) hold floats too: with so few
// taps the blur is memory work, and half the ring's bytes count for more
// than a conversion per tap.
#include "filters/sharpen/unsharp_mask_blur.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "filters/engine/engine_block.h"
#include "filters/engine/worker_team.h"
#include "filters/sharpen/blur_kernel.h"
#include "filters/sharpen/unsharp_mask_dispatch.h"
#include "filters/sharpen/unsharp_mask_plan.h"
#include "filters/sharpen/unsharp_mask_rows.h"

namespace {

// The smallest weights for the shortcuts of the vector loops (BlurTaps).
constexpr float kFusedExactWeight = 1.0f / 4194304.0f;                  // 2^-22
constexpr float kVectorRoundingWeight = 1.0f / 9223372036854775808.0f;  // 2^-63

// Values [first, end) of a source row padded with n edge pixels either
// side, plus the 6n values the taps read beyond them.
void PadPiece(const unsigned char* row, int width, int n, int first, int end, float* out) {
  const int first_pixel = first / 3 - n;
  const int pixels = (end - first) / 3 + 2 * n;
  // Pixels [inside_begin, inside_end) of the piece lie within the row; the
  // rest repeat the edge pixels.
  const int inside_begin = std::min(pixels, std::max(0, -first_pixel));
  const int inside_end = std::max(inside_begin, std::min(pixels, width - first_pixel));
  auto edge = [&](int p) {
    const int x = std::min(std::max(first_pixel + p, 0), width - 1);
    out[3 * p] = row[3 * x];
    out[3 * p + 1] = row[3 * x + 1];
    out[3 * p + 2] = row[3 * x + 2];
  };
  for (int p = 0; p < inside_begin; ++p) edge(p);
  const unsigned char* in = row + 3 * (static_cast<ptrdiff_t>(first_pixel) + inside_begin);
  float* inside = out + 3 * inside_begin;
  for (int i = 0; i < 3 * (inside_end - inside_begin); ++i) inside[i] = in[i];
  for (int p = inside_end; p < pixels; ++p) edge(p);
}

void ClearFrom(PixelBuffer& destination, int from_byte) {
  const size_t bytes = static_cast<size_t>(destination.width()) * 3 - static_cast<size_t>(from_byte);
  for (int y = 0; y < destination.height(); ++y) std::memset(destination.row(y) + from_byte, 0, bytes);
}

// What a blur writes, and where.
enum class BlurMode {
  kIntoDestination,       // the blur into a second picture (SeparableBlur)
  kKeptOverPicture,       // the blur over the picture itself (BlurInPlace)
  kSharpenedOverPicture,  // the sharpened result over the picture (SharpenWhileBlurring)
};

// Everything one blur shares between its threads.
struct BlurRun {
  BlurMode mode;
  const PixelBuffer* source;
  // The destination, or for the modes over the picture the picture itself.
  PixelBuffer* target;
  BlurGeometry geometry;
  BlurTaps taps;
  BlurRowLoops loops;
  const BlurTask* tasks;
  const int* ask_after;
  char* ring;
  bool float_ring;
  uint64_t strip_doubles;
  int ring_rows;
  // Per thread slot: a padded row piece, a window of row pointers and the
  // destination row pointers of one band.
  float* padded;
  size_t padded_floats;
  double* strip_rows;  // one strip of doubles per slot, for a float ring
  void** windows;
  unsigned char** dest_rows;
  int window_size;
  int band_rows;
  std::atomic<uint64_t>* work_counter;
  // Over the picture: per slot a band block of band_rows rows of
  // band_values values; the sharpening only in kSharpenedOverPicture.
  const BlurSharpening* sharpening;
  unsigned char* bands;
  size_t band_values;
  // The caller's side.
  const StopQuery* stop;
  int next_query = 0;
  int stopped_at = -1;

  // Row y of strip s: kStripValues values from value s * kStripValues on.
  char* RingRow(int strip, int y) const {
    const size_t element = float_ring ? sizeof(float) : sizeof(double);
    return ring + element * (static_cast<size_t>(strip) * static_cast<size_t>(strip_doubles) +
                             static_cast<size_t>(y % ring_rows) * kStripValues);
  }

  // Window row k of a vertical task: source row first_row - n + k, the
  // edge rows repeated beyond the picture.
  const char* WindowRow(int strip, const BlurTask& task, int k) const {
    return RingRow(strip, std::min(std::max(task.first_row - geometry.reach + k, 0), geometry.height - 1));
  }

  void RunTask(int index, int slot) {
    const BlurTask& task = tasks[index];
    const int n = geometry.reach;
    if (task.horizontal) {
      float* piece = padded + static_cast<size_t>(slot) * padded_floats;
      for (int y = task.first_row; y < task.end_row; ++y) {
        PadPiece(source->row(y), geometry.width, n, task.first_value, task.end_value, piece);
        for (int first = task.first_value; first < task.end_value; first += kStripValues) {
          const int length = std::min(kStripValues, task.end_value - first);
          char* row = RingRow(first / kStripValues, y);
          if (!float_ring) {
            loops.horizontal(taps, piece + (first - task.first_value), length, reinterpret_cast<double*>(row));
            continue;
          }
          // The values are floats already; holding them as such loses nothing.
          double* sums = strip_rows + static_cast<size_t>(slot) * kStripValues;
          loops.horizontal(taps, piece + (first - task.first_value), length, sums);
          float* out = reinterpret_cast<float*>(row);
          for (int i = 0; i < length; ++i) out[i] = static_cast<float>(sums[i]);
        }
      }
    } else {
      // One window block per slot, read as double or float pointers.
      void* const window = windows + static_cast<size_t>(slot) * static_cast<size_t>(window_size);
      unsigned char** dest = dest_rows + static_cast<size_t>(slot) * static_cast<size_t>(band_rows);
      const int rows = task.end_row - task.first_row;
      unsigned char* const band =
          mode != BlurMode::kIntoDestination
              ? bands + static_cast<size_t>(slot) * static_cast<size_t>(band_rows) * band_values
              : nullptr;
      for (int first = task.first_value; first < task.end_value; first += kStripValues) {
        const int strip = first / kStripValues;
        const int length = std::min(kStripValues, task.end_value - first);
        for (int k = 0; k < rows; ++k) {
          dest[k] = band != nullptr ? band + static_cast<size_t>(k) * band_values + (first - task.first_value)
                                    : target->row(task.first_row + k) + first;
        }
        if (float_ring) {
          const float** rows_in = static_cast<const float**>(window);
          for (int k = 0; k < rows + 2 * n; ++k)
            rows_in[k] = reinterpret_cast<const float*>(WindowRow(strip, task, k));
          loops.vertical_float(taps, rows_in, rows, 0, length, dest);
        } else {
          const double** rows_in = static_cast<const double**>(window);
          for (int k = 0; k < rows + 2 * n; ++k)
            rows_in[k] = reinterpret_cast<const double*>(WindowRow(strip, task, k));
          loops.vertical(taps, rows_in, rows, 0, length, dest);
        }
      }
      if (band != nullptr) SharpenBand(task, band);
    }
    if (work_counter != nullptr) work_counter->fetch_add(task.work);
  }

  // The band's rows (sharpened from their source rows unless the blur is
  // kept) written over them.
  void SharpenBand(const BlurTask& task, unsigned char* band) const {
    const int length = task.end_value - task.first_value;
    for (int y = task.first_row; y < task.end_row; ++y) {
      unsigned char* row = target->row(y) + task.first_value;
      unsigned char* blurred = band + static_cast<size_t>(y - task.first_row) * band_values;
      if (mode == BlurMode::kSharpenedOverPicture) sharpening->sharpen(row, blurred, length, sharpening->parameters);
      std::memcpy(row, blurred, static_cast<size_t>(length));
    }
  }

  // The whole list on `threads` threads, in one run: each task waits only
  // for what it reads (`ready_after`, one entry per task, filled here).
  void Run(int task_count, int* ready_after, int threads) {
    for (int t = 0; t < task_count; ++t) ready_after[t] = tasks[t].ready_after;
    WorkerTeam team(threads);
    team.RunWithSlots(
        task_count, [&](int task, int slot) { RunTask(task, slot); },
        [&](int done_prefix) { return AskQueries(done_prefix); }, ready_after);
  }

  // On the calling thread: the queries whose tasks have all finished.
  bool AskQueries(int done_prefix) {
    const int done = done_prefix;
    const int queries = geometry.height + geometry.width;
    for (; next_query < queries && ask_after[next_query] < done; ++next_query) {
      if (stop->ShouldStop()) {
        stopped_at = next_query;
        if (mode != BlurMode::kSharpenedOverPicture || next_query < geometry.height) return false;
        // Sharpening over the picture keeps no blur of the bands already
        // done (there was no room for a second picture), so a stop this
        // late cannot leave blurred columns: the queries end, the work
        // runs to its end.
        next_query = queries;
        return true;
      }
    }
    return true;
  }
};

// The sizes of one blur's blocks, from the picture and the tap count.
struct BlurLayout {
  BlurGeometry geometry;
  BlurPlanShape shape;
  int strips;
  uint64_t strip_doubles;
  bool float_ring;
  size_t padded_stride;  // floats per slot's padded piece, even
  int window_size;
  uint64_t slot_bytes;

  BlurLayout(int width, int height, int count)
      : geometry{width, height, count / 2 - 1, count}, shape(BlurPlanShapeFor(geometry)) {
    const int n = geometry.reach;
    strips = (3 * width + kStripValues - 1) / kStripValues;
    strip_doubles = uint64_t{kStripValues} * static_cast<uint64_t>(shape.ring_rows);
    float_ring =
        count <= kShortKernelTaps || uint64_t{8} * static_cast<uint64_t>(shape.ring_rows) > uint64_t{3} * height;
    padded_stride = (static_cast<size_t>(shape.piece_values) + 6 * static_cast<size_t>(n) + 1) & ~size_t{1};
    window_size = shape.band_rows + 2 * n;
    slot_bytes = uint64_t{4} * padded_stride + uint64_t{8} * (kStripValues + 1) +
                 sizeof(void*) * (static_cast<uint64_t>(window_size) + static_cast<uint64_t>(shape.band_rows));
  }
  uint64_t ring_bytes() const { return (float_ring ? 4 : 8) * strip_doubles * static_cast<uint64_t>(strips); }
};

// Fills the kernel block (weights, offsets, padded columns and window rows
// per tap) and returns the taps as the loops use them.
BlurTaps FillTaps(float radius, int count, float* block) {
  const int n = count / 2 - 1;
  BlurKernel kernel;
  kernel.count = count;
  kernel.weights = block;
  kernel.offsets = reinterpret_cast<int*>(block + count);
  int* columns = kernel.offsets + count;
  int* window_rows = columns + count;
  FillBlurKernel(radius, kernel);
  const float smallest = *std::min_element(kernel.weights, kernel.weights + count);
  for (int j = 0; j < count; ++j) {
    columns[j] = 3 * (kernel.offsets[j] + n);
    window_rows[j] = kernel.offsets[j] + n;
  }
  return {
      count, kernel.weights, columns, window_rows, smallest >= kFusedExactWeight, smallest >= kVectorRoundingWeight};
}

// Hands each of `threads` slots its pieces out of one block: all padded
// pieces first, then all strip rows, all windows and all destination row
// lists (each part starts 8-byte aligned).
void PlaceSlots(char* memory, const BlurLayout& layout, int threads, BlurRun& run) {
  const size_t count = static_cast<size_t>(threads);
  run.padded = reinterpret_cast<float*>(memory);
  run.padded_floats = layout.padded_stride;
  run.strip_rows = reinterpret_cast<double*>(memory + 4 * layout.padded_stride * count);
  run.windows = reinterpret_cast<void**>(run.strip_rows + static_cast<size_t>(kStripValues) * count);
  run.dest_rows = reinterpret_cast<unsigned char**>(run.windows + static_cast<size_t>(layout.window_size) * count);
  run.window_size = layout.window_size;
  run.band_rows = layout.shape.band_rows;
}

}  // namespace

int BlurThreadsFor(int width, int height, float radius, int threads, uint64_t threaded_work) {
  if (threads <= 1 || width <= 0 || height <= 0) return 1;
  const uint64_t work = uint64_t{6} * static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
                        static_cast<uint64_t>(BlurTapCount(radius));
  return work < threaded_work ? 1 : std::min(threads, kMaxWorkerThreads);
}

namespace {

// The blocks of one blur. The ring holds doubles unless they cannot be had
// (big pictures in a 32-bit process): then floats, half the bytes and the
// same values. Slots and band blocks for several threads, unless those
// cannot be had: then the caller does it all.
struct BlurBlocks {
  std::optional<EngineBlock> kernel, tasks, phases, queries, ring, ready, slots, bands;

  // Everything but the band blocks; false when one thread's cannot be had.
  bool Take(const BlurMemory& memory, BlurLayout& layout, int& threads) {
    const BlurPlanShape& shape = layout.shape;
    const BlurGeometry& g = layout.geometry;
    kernel.emplace(memory, uint64_t{4} * 4 * static_cast<uint64_t>(g.taps));
    tasks.emplace(memory, sizeof(BlurTask) * static_cast<uint64_t>(shape.tasks));
    phases.emplace(memory, sizeof(BlurPhase) * static_cast<uint64_t>(shape.phases));
    queries.emplace(memory, sizeof(int) * (static_cast<uint64_t>(g.width) + static_cast<uint64_t>(g.height)));
    ring.emplace(memory, layout.float_ring ? 0 : layout.ring_bytes());
    if (!*ring) {
      layout.float_ring = true;
      ring.emplace(memory, layout.ring_bytes());
    }
    ready.emplace(memory, sizeof(int) * static_cast<uint64_t>(shape.tasks));
    if (!*kernel || !*tasks || !*phases || !*queries || !*ring || !*ready) return false;
    slots.emplace(memory, threads > 1 ? layout.slot_bytes * static_cast<uint64_t>(threads) : 0);
    if (*slots) return true;
    threads = 1;
    slots.emplace(memory, layout.slot_bytes);
    return static_cast<bool>(*slots);
  }

  // A band block of `band_bytes` per thread (none for 0 bytes); false when
  // one thread's cannot be had. Slots placed for several threads serve one
  // as well.
  bool TakeBands(const BlurMemory& memory, uint64_t band_bytes, int& threads) {
    bands.emplace(memory, threads > 1 ? band_bytes * static_cast<uint64_t>(threads) : 0);
    if (band_bytes == 0 || *bands) return true;
    threads = 1;
    bands.emplace(memory, band_bytes);
    return static_cast<bool>(*bands);
  }
};

// The widest vertical task of the plan, in values.
int WidestVerticalTask(const BlurTask* tasks, int count) {
  int widest = 0;
  for (int t = 0; t < count; ++t) {
    if (!tasks[t].horizontal) widest = std::max(widest, tasks[t].end_value - tasks[t].first_value);
  }
  return widest;
}

// The target as the defined order of work leaves it after a stop at query
// `stopped_at`.
void LeaveStopped(BlurMode mode, int stopped_at, PixelBuffer& target) {
  const int height = target.height();
  if (mode == BlurMode::kSharpenedOverPicture) {
    // A stop at a row's query leaves the picture black, as a blur into a
    // second buffer would; after a column's the result is whole.
    if (stopped_at < height) std::memset(target.pixels(), 0, target.pixel_bytes());
    return;
  }
  // After a row's query nothing is blurred yet; after column x's, the
  // columns up to x are. The same holds for a blur kept over the picture:
  // a band is written over its rows only once the horizontal rows it reads
  // are done, so columns up to x hold the blur in every row by column x's
  // query.
  ClearFrom(target, stopped_at < height ? 0 : 3 * (stopped_at - height + 1));
}

// The blur of `source` in `mode`, written to `target` (the source itself
// for the modes over the picture); `sharpening` only for
// kSharpenedOverPicture.
BlurOutcome RunBlur(BlurMode mode, const PixelBuffer& source, PixelBuffer& target, const BlurSharpening* sharpening,
                    double radius, const StopQuery& stop, const BlurOptions& options) {
  float r = 0.0f;
  if (!BlurKernelRadius(radius, &r)) return BlurOutcome::kRefused;
  const int width = source.width();
  const int count = BlurTapCount(r);
  // The loops index a padded row of 3 * (W + 2n) values with int; a row
  // that long (hundreds of millions of pixels) is refused, not wrapped.
  if (int64_t{3} * (int64_t{width} + count - 2) > INT32_MAX) return BlurOutcome::kRefused;
  BlurLayout layout(width, source.height(), count);
  const BlurPlanShape& shape = layout.shape;
  int threads = BlurThreadsFor(width, source.height(), r, options.threads, options.threaded_work);
  BlurBlocks blocks;
  if (!blocks.Take(options.memory, layout, threads)) return BlurOutcome::kRefused;

  BlurRun run{};
  run.mode = mode;
  run.tasks = blocks.tasks->as<BlurTask>();
  run.ask_after = blocks.queries->as<int>();
  FillBlurPlan(layout.geometry, shape, blocks.tasks->as<BlurTask>(), blocks.phases->as<BlurPhase>());
  ScheduleBlurQueries(layout.geometry, run.tasks, shape.tasks, blocks.queries->as<int>());
  // Over the picture: a band block per slot, as wide as the widest vertical
  // task.
  const int band_values = mode == BlurMode::kIntoDestination ? 0 : WidestVerticalTask(run.tasks, shape.tasks);
  if (!blocks.TakeBands(options.memory, static_cast<uint64_t>(shape.band_rows) * static_cast<uint64_t>(band_values),
                        threads)) {
    return BlurOutcome::kRefused;
  }

  run.source = &source;
  run.target = &target;
  run.sharpening = sharpening;
  run.bands = blocks.bands->as<unsigned char>();
  run.band_values = static_cast<size_t>(band_values);
  run.geometry = layout.geometry;
  run.taps = FillTaps(r, count, blocks.kernel->as<float>());
  run.loops =
      BlurRowLoopsFor(run.taps.vector_rounding_exact ? options.path : std::optional<CpuPath>(CpuPath::kPlain));
  run.ring = blocks.ring->as<char>();
  run.float_ring = layout.float_ring;
  run.strip_doubles = layout.strip_doubles;
  run.ring_rows = shape.ring_rows;
  PlaceSlots(blocks.slots->as<char>(), layout, threads, run);
  run.work_counter = options.work_counter;
  run.stop = &stop;
  run.Run(shape.tasks, blocks.ready->as<int>(), threads);
  if (run.stopped_at < 0) return BlurOutcome::kComplete;
  LeaveStopped(mode, run.stopped_at, target);
  return BlurOutcome::kStopped;
}

}  // namespace

BlurOutcome SeparableBlur(const PixelBuffer& source, PixelBuffer& destination, double radius, const StopQuery& stop,
                          const BlurOptions& options) {
  if (&source == &destination || !SameBlurLayout(source, destination)) return BlurOutcome::kRefused;
  return RunBlur(BlurMode::kIntoDestination, source, destination, nullptr, radius, stop, options);
}

BlurOutcome BlurInPlace(PixelBuffer& picture, double radius, const StopQuery& stop, const BlurOptions& options) {
  if (!SameBlurLayout(picture, picture)) return BlurOutcome::kRefused;
  return RunBlur(BlurMode::kKeptOverPicture, picture, picture, nullptr, radius, stop, options);
}

BlurOutcome SharpenWhileBlurring(PixelBuffer& picture, double radius, const BlurSharpening& sharpening,
                                 const StopQuery& stop, const BlurOptions& options) {
  if (!SameBlurLayout(picture, picture)) return BlurOutcome::kRefused;
  return RunBlur(BlurMode::kSharpenedOverPicture, picture, picture, &sharpening, radius, stop, options);
}
