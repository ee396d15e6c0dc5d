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

#include "filters/engine/pixel_memory.h"
#include "filters/engine/worker_team.h"
#include "filters/sharpen/blur_kernel.h"
#include "filters/sharpen/unsharp_mask_dispatch.h"
#include "filters/sharpen/unsharp_mask_plan.h"
#include "filters/sharpen/unsharp_mask_rows.h"

namespace {

// The smallest weights for the shortcuts of the vector loops (BlurTaps).
constexpr float kFusedExactWeight = 1.0f / 4194304.0f;                  // 2^-22
constexpr float kVectorRoundingWeight = 1.0f / 9223372036854775808.0f;  // 2^-63

void* DefaultAllocate(size_t bytes, void*) { return AllocateEngineBlock(bytes); }
void DefaultRelease(void* block, void*) { FreeEngineBlock(block); }

// A block from BlurMemory, released when it goes out of scope.
class EngineBlock {
 public:
  EngineBlock(const BlurMemory& memory, uint64_t bytes) : memory_(memory) {
    if (memory_.allocate == nullptr || memory_.release == nullptr) {
      memory_.allocate = DefaultAllocate;
      memory_.release = DefaultRelease;
    }
    // A size that does not fit this platform's address space is a failure,
    // never a wrapped-round smaller block.
    if (bytes > 0 && bytes <= SIZE_MAX) block_ = memory_.allocate(static_cast<size_t>(bytes), memory_.context);
  }
  ~EngineBlock() {
    if (block_ != nullptr) memory_.release(block_, memory_.context);
  }
  EngineBlock(const EngineBlock&) = delete;
  EngineBlock& operator=(const EngineBlock&) = delete;

  template <typename T>
  T* as() const {
    return static_cast<T*>(block_);
  }
  explicit operator bool() const { return block_ != nullptr; }

 private:
  BlurMemory memory_;
  void* block_ = nullptr;
};

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

// Everything one blur shares between its threads.
struct BlurRun {
  const PixelBuffer* source;
  PixelBuffer* destination;
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
  // Over the source rows (SharpenWhileBlurring, BlurInPlace): the picture,
  // and per slot a band block of band_rows rows of band_values values; no
  // sharpening when the blur itself is kept.
  PixelBuffer* in_place;
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
          in_place != nullptr ? bands + static_cast<size_t>(slot) * static_cast<size_t>(band_rows) * band_values
                              : nullptr;
      for (int first = task.first_value; first < task.end_value; first += kStripValues) {
        const int strip = first / kStripValues;
        const int length = std::min(kStripValues, task.end_value - first);
        for (int k = 0; k < rows; ++k) {
          dest[k] = band != nullptr ? band + static_cast<size_t>(k) * band_values + (first - task.first_value)
                                    : destination->row(task.first_row + k) + first;
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
      unsigned char* row = in_place->row(y) + task.first_value;
      unsigned char* blurred = band + static_cast<size_t>(y - task.first_row) * band_values;
      if (sharpening != nullptr) sharpening->sharpen(row, blurred, length, sharpening->parameters);
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
        if (sharpening == nullptr || next_query < geometry.height) return false;
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

// The blur into `destination`, or with `in_place` the blur and sharpening
// over the source (SharpenWhileBlurring).
BlurOutcome RunBlur(const PixelBuffer& source, PixelBuffer* destination, PixelBuffer* in_place,
                    const BlurSharpening* sharpening, double radius, const StopQuery& stop,
                    const BlurOptions& options) {
  float r = 0.0f;
  if (!BlurKernelRadius(radius, &r)) return BlurOutcome::kRefused;
  const int width = source.width();
  const int height = source.height();
  const int count = BlurTapCount(r);
  // The loops index a padded row of 3 * (W + 2n) values with int; a row
  // that long (hundreds of millions of pixels) is refused, not wrapped.
  if (int64_t{3} * (int64_t{width} + count - 2) > INT32_MAX) return BlurOutcome::kRefused;
  const BlurMemory& memory = options.memory;
  BlurLayout layout(width, height, count);
  const BlurPlanShape& shape = layout.shape;
  int threads = BlurThreadsFor(width, height, r, options.threads, options.threaded_work);

  EngineBlock kernel_block(memory, uint64_t{4} * 4 * static_cast<uint64_t>(count));
  EngineBlock tasks_block(memory, sizeof(BlurTask) * static_cast<uint64_t>(shape.tasks));
  EngineBlock phases_block(memory, sizeof(BlurPhase) * static_cast<uint64_t>(shape.phases));
  EngineBlock queries_block(memory, sizeof(int) * (static_cast<uint64_t>(width) + static_cast<uint64_t>(height)));
  // A ring of doubles that cannot be had (big pictures in a 32-bit
  // process) is asked for again as floats: half the bytes, the same values.
  EngineBlock double_ring(memory, layout.float_ring ? 0 : layout.ring_bytes());
  if (!double_ring) layout.float_ring = true;
  EngineBlock float_ring(memory, double_ring ? 0 : layout.ring_bytes());
  const EngineBlock& ring_block = double_ring ? double_ring : float_ring;
  EngineBlock ready_block(memory, sizeof(int) * static_cast<uint64_t>(shape.tasks));
  if (!kernel_block || !tasks_block || !phases_block || !queries_block || !ring_block || !ready_block) {
    return BlurOutcome::kRefused;
  }
  // Without memory for several threads' slots the caller does it all.
  EngineBlock many_slots(memory, threads > 1 ? layout.slot_bytes * static_cast<uint64_t>(threads) : 0);
  if (!many_slots) threads = 1;
  EngineBlock one_slot(memory, threads > 1 ? 0 : layout.slot_bytes);
  if (threads == 1 && !one_slot) return BlurOutcome::kRefused;

  BlurTask* tasks = tasks_block.as<BlurTask>();
  int* ask_after = queries_block.as<int>();
  FillBlurPlan(layout.geometry, shape, tasks, phases_block.as<BlurPhase>());
  ScheduleBlurQueries(layout.geometry, tasks, shape.tasks, ask_after);
  // In place: a band block per slot, as wide as the widest vertical task.
  int band_values = 0;
  for (int t = 0; t < shape.tasks; ++t) {
    if (!tasks[t].horizontal) band_values = std::max(band_values, tasks[t].end_value - tasks[t].first_value);
  }
  const uint64_t band_bytes =
      in_place != nullptr ? static_cast<uint64_t>(shape.band_rows) * static_cast<uint64_t>(band_values) : 0;
  EngineBlock many_bands(memory, threads > 1 ? band_bytes * static_cast<uint64_t>(threads) : 0);
  if (band_bytes > 0 && !many_bands) threads = 1;
  EngineBlock one_band(memory, threads > 1 ? 0 : band_bytes);
  if (band_bytes > 0 && threads == 1 && !one_band) return BlurOutcome::kRefused;

  const BlurTaps taps = FillTaps(r, count, kernel_block.as<float>());
  BlurRun run{};
  run.source = &source;
  run.destination = destination;
  run.in_place = in_place;
  run.sharpening = sharpening;
  run.bands = threads > 1 ? many_bands.as<unsigned char>() : one_band.as<unsigned char>();
  run.band_values = static_cast<size_t>(band_values);
  run.geometry = layout.geometry;
  run.taps = taps;
  run.loops = BlurRowLoopsFor(taps.vector_rounding_exact ? options.path : std::optional<CpuPath>(CpuPath::kPlain));
  run.tasks = tasks;
  run.ask_after = ask_after;
  run.ring = ring_block.as<char>();
  run.float_ring = layout.float_ring;
  run.strip_doubles = layout.strip_doubles;
  run.ring_rows = shape.ring_rows;
  // Slots placed for several threads serve one as well (when the band
  // blocks for several could not be had).
  PlaceSlots(many_slots ? many_slots.as<char>() : one_slot.as<char>(), layout, threads, run);
  run.work_counter = options.work_counter;
  run.stop = &stop;
  run.Run(shape.tasks, ready_block.as<int>(), threads);
  if (run.stopped_at < 0) return BlurOutcome::kComplete;
  if (sharpening != nullptr) {
    // A stop at a row's query leaves the picture black, as a blur into a
    // second buffer would; after a column's the result is whole.
    if (run.stopped_at < height) std::memset(in_place->pixels(), 0, in_place->pixel_bytes());
    return BlurOutcome::kStopped;
  }
  // After a row's query nothing is blurred yet; after column x's, the
  // columns up to x are.
  // The same holds for a blur kept over the picture: a band is written over
  // its rows only once the horizontal rows it reads are done, so columns up
  // to x hold the blur in every row by column x's query.
  ClearFrom(destination != nullptr ? *destination : *in_place,
            run.stopped_at < height ? 0 : 3 * (run.stopped_at - height + 1));
  return BlurOutcome::kStopped;
}

}  // namespace

BlurOutcome SeparableBlur(const PixelBuffer& source, PixelBuffer& destination, double radius, const StopQuery& stop,
                          const BlurOptions& options) {
  if (&source == &destination || !SameBlurLayout(source, destination)) return BlurOutcome::kRefused;
  return RunBlur(source, &destination, nullptr, nullptr, radius, stop, options);
}

BlurOutcome BlurInPlace(PixelBuffer& picture, double radius, const StopQuery& stop, const BlurOptions& options) {
  if (!SameBlurLayout(picture, picture)) return BlurOutcome::kRefused;
  return RunBlur(picture, nullptr, &picture, nullptr, radius, stop, options);
}

BlurOutcome SharpenWhileBlurring(PixelBuffer& picture, double radius, const BlurSharpening& sharpening,
                                 const StopQuery& stop, const BlurOptions& options) {
  if (!SameBlurLayout(picture, picture)) return BlurOutcome::kRefused;
  return RunBlur(picture, nullptr, &picture, &sharpening, radius, stop, options);
}
