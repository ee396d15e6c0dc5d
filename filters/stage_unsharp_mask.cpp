// File: filters/stage_unsharp_mask.cpp
//
// The sharpening engine: kernel construction, the order of the blur's work
// with its stop queries, and the sharpening step. The inner loops are
// chosen per processor (stage_unsharp_mask_fast.cpp).
//
// The horizontal pass does not keep a whole W x H x 3 float picture: its
// rows (float values, held as doubles so that the vertical pass need not
// convert them at every tap) go into a ring just deep enough for one band
// of output rows plus the kernel's reach above and below, and the vertical
// pass runs band by band as soon as the rows it needs exist. The stop
// queries still come in the defined order (one per source row as it is
// finished, then one per column once the blur is done), and a stop clears
// whatever the destination would not yet hold had the passes run one after
// the other: everything after a row's query, the columns right of the
// stop after a column's query.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "filters/stages.h"
#include "filters/unsharp_mask.h"
#include "filters/unsharp_mask_rows.h"

namespace {

// Output rows per band of the vertical pass, and values (three per pixel)
// per strip of a band: a strip's window of rows stays in the level-2 cache
// even for the largest radius a picture height commonly gives.
constexpr int kBandRows = 64;
constexpr int kStripValues = 192;

// The smallest weights for the shortcuts of the vector loops (BlurTaps).
constexpr float kFusedExactWeight = 1.0f / 4194304.0f;  // 2^-22
constexpr float kVectorRoundingWeight = 1.0f / 9223372036854775808.0f;  // 2^-63

void* DefaultAllocate(size_t bytes, void*) { return std::malloc(bytes); }
void DefaultRelease(void* block, void*) { std::free(block); }

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
  T* as() const { return static_cast<T*>(block_); }
  explicit operator bool() const { return block_ != nullptr; }

 private:
  BlurMemory memory_;
  void* block_ = nullptr;
};

bool SameLayout(const PixelBuffer& a, const PixelBuffer& b) {
  return a && b && a.width() == b.width() && a.height() == b.height() && a.bit_count() == 24 &&
         b.bit_count() == 24 && a.width() > 0 && a.height() > 0;
}

// Source row y as floats with n edge pixels repeated on either side.
void PadRow(const unsigned char* row, int width, int n, float* padded) {
  float* inside = padded + 3 * n;
  for (int i = 0; i < 3 * width; ++i) inside[i] = row[i];
  float* last = inside + 3 * (width - 1);
  for (int k = 0; k < n; ++k) {
    for (int c = 0; c < 3; ++c) {
      padded[3 * k + c] = inside[c];
      last[3 * (k + 1) + c] = last[c];
    }
  }
}

void ClearRows(PixelBuffer& destination, int from_byte) {
  const size_t bytes = static_cast<size_t>(destination.width()) * 3 - static_cast<size_t>(from_byte);
  for (int y = 0; y < destination.height(); ++y) std::memset(destination.row(y) + from_byte, 0, bytes);
}

}  // namespace

bool BlurKernelRadius(double radius, float* narrowed) {
  if (std::isnan(radius)) return false;
  // Negative radii (the engine's own definition breaks down below -2)
  // behave like 0: two taps at offset 0, the picture unchanged.
  if (radius < 0.0) radius = 0.0;
  // Compared in double so that the narrowing below is always defined.
  if (radius >= kMaxBlurTaps / 2) return false;
  *narrowed = static_cast<float>(radius);
  return BlurTapCount(*narrowed) <= kMaxBlurTaps;
}

int BlurTapCount(float radius) {
  const int n = static_cast<int>(std::trunc(static_cast<double>(radius) + 0.999999));
  return 2 * n + 2;
}

void FillBlurKernel(float radius, const BlurKernel& kernel) {
  const int count = kernel.count;
  float* w = kernel.weights;
  const float frac = radius - std::trunc(radius);
  const double c = 0.001 * (static_cast<double>(count) * count) + 0.5;
  const double d = 1.0 / std::sqrt(6.28318530718 * c);
  for (int j = 0; j < count; ++j) {
    const double e = ((j + 2.0) / count - 1.0) * (j - 1) / (2.0 * c);
    w[j] = static_cast<float>(std::pow(d, e));
  }
  // A fractional radius adds two end taps scaled by the fraction.
  if (frac > 0.0f) {
    w[0] *= frac;
    w[count - 1] *= frac;
  }
  double sum = 0.0;
  for (int j = 0; j < count; ++j) sum += w[j];
  const double scale = 1.0 / sum;
  for (int j = 0; j < count; ++j) w[j] = static_cast<float>(w[j] * scale);
  for (int j = 0; j < count; ++j) kernel.offsets[j] = static_cast<int>(std::trunc(j - count / 2 + 0.5));
}

void HorizontalRowGeneric(const BlurTaps& taps, const float* padded, int values, double* out) {
  for (int i = 0; i < values; ++i) {
    float sum = 0.0f;
    for (int j = 0; j < taps.count; ++j) sum = AddTap(sum, padded[i + taps.columns[j]], taps.weights[j]);
    out[i] = sum;
  }
}

void VerticalBandGeneric(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                         unsigned char* const* dest_rows) {
  for (int r = 0; r < out_rows; ++r) {
    for (int i = first; i < last; ++i) {
      float sum = 0.0f;
      for (int j = 0; j < taps.count; ++j) sum = AddTap(sum, window[r + taps.rows[j]][i], taps.weights[j]);
      dest_rows[r][i] = static_cast<unsigned char>(static_cast<int>(sum) & 0xFF);
    }
  }
}

void SharpenRowGeneric(const unsigned char* original, unsigned char* blurred, int values,
                       const SharpenParameters& parameters) {
  if (parameters.table != nullptr) {
    for (int i = 0; i < values; ++i) blurred[i] = parameters.table[original[i] * 256 + blurred[i]];
  } else {
    for (int i = 0; i < values; ++i) {
      blurred[i] = SharpenedValue(original[i], blurred[i], parameters.amount, parameters.threshold);
    }
  }
}

BlurOutcome SeparableBlur(const PixelBuffer& source, PixelBuffer& destination, double radius,
                          const StopQuery& stop, const BlurOptions& options) {
  if (&source == &destination || !SameLayout(source, destination)) return BlurOutcome::kRefused;
  float r = 0.0f;
  if (!BlurKernelRadius(radius, &r)) return BlurOutcome::kRefused;
  const int width = source.width();
  const int height = source.height();
  const int count = BlurTapCount(r);
  const int n = count / 2 - 1;
  // The loops index a padded row of 3 * (W + 2n) values with int; a row
  // that long (hundreds of millions of pixels) is refused, not wrapped.
  if (int64_t{3} * (int64_t{width} + 2 * n) > INT32_MAX) return BlurOutcome::kRefused;
  const int values = 3 * width;
  const BlurMemory& memory = options.memory;

  // Kernel: weights, then offsets, padded columns and window rows per tap.
  EngineBlock kernel_block(memory, uint64_t{4} * 4 * static_cast<uint64_t>(count));
  if (!kernel_block) return BlurOutcome::kRefused;
  BlurKernel kernel;
  kernel.count = count;
  kernel.weights = kernel_block.as<float>();
  kernel.offsets = reinterpret_cast<int*>(kernel.weights + count);
  int* columns = kernel.offsets + count;
  int* window_rows = columns + count;
  FillBlurKernel(r, kernel);
  const float smallest = *std::min_element(kernel.weights, kernel.weights + count);
  for (int j = 0; j < count; ++j) {
    columns[j] = 3 * (kernel.offsets[j] + n);
    window_rows[j] = kernel.offsets[j] + n;
  }
  const BlurTaps taps = {count, kernel.weights, columns, window_rows, smallest >= kFusedExactWeight,
                         smallest >= kVectorRoundingWeight};

  // The ring of horizontal rows: one band plus n rows above and below,
  // stored strip by strip, so that the rows a strip's taps walk through
  // lie next to each other in memory (fewer pages per tap sweep).
  const int ring_rows = static_cast<int>(std::min<int64_t>(height, int64_t{2} * n + kBandRows));
  const int strips = (values + kStripValues - 1) / kStripValues;
  const uint64_t strip_doubles = uint64_t{kStripValues} * static_cast<uint64_t>(ring_rows);
  const int window_size = kBandRows + 2 * n;
  EngineBlock ring_block(memory, uint64_t{8} * strip_doubles * static_cast<uint64_t>(strips));
  EngineBlock padded_block(memory, uint64_t{4} * 3 * (static_cast<uint64_t>(width) + 2 * static_cast<uint64_t>(n)));
  EngineBlock window_block(memory, sizeof(double*) * static_cast<uint64_t>(window_size));
  EngineBlock dest_block(memory, sizeof(unsigned char*) * uint64_t{kBandRows});
  if (!ring_block || !padded_block || !window_block || !dest_block) return BlurOutcome::kRefused;
  double* ring = ring_block.as<double>();
  float* padded = padded_block.as<float>();
  const double** window = window_block.as<const double*>();
  unsigned char** dest_rows = dest_block.as<unsigned char*>();
  // Row y of strip s: kStripValues values from value s * kStripValues on.
  auto ring_row = [&](int strip, int y) {
    return ring + static_cast<size_t>(strip) * static_cast<size_t>(strip_doubles) +
           static_cast<size_t>(y % ring_rows) * kStripValues;
  };

  const BlurRowLoops loops = BlurRowLoopsFor(taps.vector_rounding_exact ? options.path : BlurPath::kGeneric);
  int next_row = 0;  // the next source row of the horizontal pass
  for (int band = 0; band < height; band += kBandRows) {
    const int band_end = std::min(height, band + kBandRows);
    const int needed = std::min(height - 1, band_end - 1 + n);
    for (; next_row <= needed; ++next_row) {
      PadRow(source.row(next_row), width, n, padded);
      for (int strip = 0; strip < strips; ++strip) {
        const int first = strip * kStripValues;
        loops.horizontal(taps, padded + first, std::min(kStripValues, values - first), ring_row(strip, next_row));
      }
      if (stop.ShouldStop()) {
        // As if the vertical pass had not begun: nothing blurred yet.
        ClearRows(destination, 0);
        return BlurOutcome::kStopped;
      }
    }
    for (int strip = 0; strip < strips; ++strip) {
      const int first = strip * kStripValues;
      for (int k = 0; k < (band_end - band) + 2 * n; ++k) {
        window[k] = ring_row(strip, std::min(std::max(band - n + k, 0), height - 1));
      }
      for (int k = 0; k < band_end - band; ++k) dest_rows[k] = destination.row(band + k) + first;
      loops.vertical(taps, window, band_end - band, 0, std::min(kStripValues, values - first), dest_rows);
    }
  }

  // The vertical pass's queries, one per column from the left.
  for (int x = 0; x < width; ++x) {
    if (stop.ShouldStop()) {
      ClearRows(destination, 3 * (x + 1));
      return BlurOutcome::kStopped;
    }
  }
  return BlurOutcome::kComplete;
}

void SharpenFromBlur(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                     BlurPath path) {
  if (!SameLayout(source, destination)) return;
  SharpenParameters parameters = {amount * 0.01, threshold, nullptr};
  // The result depends only on the pair (O, B): the plain loop looks it up
  // in a table made once per call (or works it out when there is no memory
  // for the table).
  unsigned char* table = static_cast<unsigned char*>(std::malloc(256 * 256));
  if (table != nullptr) {
    for (int o = 0; o < 256; ++o) {
      for (int b = 0; b < 256; ++b) table[o * 256 + b] = SharpenedValue(o, b, parameters.amount, threshold);
    }
  }
  parameters.table = table;
  const SharpenRowLoop sharpen = BlurRowLoopsFor(path).sharpen;
  const size_t values = size_t{3} * static_cast<size_t>(source.width());
  constexpr size_t kPiece = size_t{1} << 30;  // rows beyond int's reach go in pieces
  for (int y = 0; y < source.height(); ++y) {
    for (size_t begin = 0; begin < values; begin += kPiece) {
      const int length = static_cast<int>(std::min(kPiece, values - begin));
      sharpen(source.row(y) + begin, destination.row(y) + begin, length, parameters);
    }
  }
  std::free(table);
}

void UnsharpMaskWith(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                     int32_t threshold, const StopQuery& stop, const BlurOptions& options) {
  switch (SeparableBlur(source, destination, radius, stop, options)) {
    case BlurOutcome::kComplete:
      SharpenFromBlur(source, destination, amount, threshold, options.path);
      return;
    case BlurOutcome::kStopped:
      return;
    case BlurOutcome::kRefused:
      // The stage is skipped: the destination takes over the picture as it was.
      if (SameLayout(source, destination) && &source != &destination) {
        std::memcpy(destination.pixels(), source.pixels(), source.pixel_bytes());
      }
      return;
  }
}

void UnsharpMask(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                 int32_t threshold, const StopQuery& stop) {
  UnsharpMaskWith(source, destination, radius, amount, threshold, stop, BlurOptions());
}
