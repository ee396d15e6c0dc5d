// The top of the sharpening engine: the sharpening step and the stage
// (UnsharpMask), which blurs (unsharp_mask_blur.cpp) and then sharpens from
// the blur on the row loops the dispatcher hands out
// (unsharp_mask_dispatch.cpp).
#include "filters/sharpen/unsharp_mask.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "filters/engine/pixel_memory.h"
#include "filters/engine/worker_team.h"
#include "filters/sharpen/unsharp_mask_rows.h"
#include "filters/stages.h"

namespace {

// Rows per band of the sharpening step when it runs on several threads.
constexpr int kSharpenBandRows = 32;
// Rows of the source read again at a time (UnsharpMaskOverSource).
constexpr int kSourceBandRows = 64;

// The sharpening parameters of one call. The result depends only on the
// pair (O, B): the plain loop looks it up in a table made once per call (or
// works it out when there is no memory for the table).
class SharpenTable {
 public:
  SharpenTable(int32_t amount, int32_t threshold)
      : parameters_{amount * 0.01, threshold, nullptr},
        table_(static_cast<unsigned char*>(AllocateEngineBlock(256 * 256))) {
    if (table_ != nullptr) {
      for (int o = 0; o < 256; ++o) {
        for (int b = 0; b < 256; ++b) table_[o * 256 + b] = SharpenedValue(o, b, parameters_.amount, threshold);
      }
    }
    parameters_.table = table_;
  }
  ~SharpenTable() { FreeEngineBlock(table_); }
  SharpenTable(const SharpenTable&) = delete;
  SharpenTable& operator=(const SharpenTable&) = delete;

  const SharpenParameters& parameters() const { return parameters_; }

 private:
  SharpenParameters parameters_;
  unsigned char* table_;
};

// A block from BlurMemory (malloc and free by default), released when it
// goes out of scope.
class MemoryBlock {
 public:
  MemoryBlock(const BlurMemory& memory, size_t bytes) : memory_(memory) {
    if (memory_.allocate == nullptr || memory_.release == nullptr) {
      block_ = static_cast<unsigned char*>(AllocateEngineBlock(bytes));
      return;
    }
    block_ = static_cast<unsigned char*>(memory_.allocate(bytes, memory_.context));
  }
  ~MemoryBlock() {
    if (block_ == nullptr) return;
    if (memory_.allocate == nullptr || memory_.release == nullptr) {
      FreeEngineBlock(block_);
    } else {
      memory_.release(block_, memory_.context);
    }
  }
  MemoryBlock(const MemoryBlock&) = delete;
  MemoryBlock& operator=(const MemoryBlock&) = delete;

  unsigned char* get() const { return block_; }

 private:
  BlurMemory memory_;
  unsigned char* block_ = nullptr;
};

}  // namespace

void SharpenFromBlur(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                     std::optional<CpuPath> path) {
  SharpenFromBlurOn(source, destination, amount, threshold, path, 1);
}

void SharpenFromBlurOn(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                       std::optional<CpuPath> path, int threads) {
  if (!SameBlurLayout(source, destination)) return;
  const SharpenTable table(amount, threshold);
  const SharpenParameters& parameters = table.parameters();
  const SharpenRowLoop sharpen = BlurRowLoopsFor(path).sharpen;
  const size_t values = size_t{3} * static_cast<size_t>(source.width());
  constexpr size_t kPiece = size_t{1} << 30;  // rows beyond int's reach go in pieces
  const int bands = (source.height() + kSharpenBandRows - 1) / kSharpenBandRows;
  RunBands(threads, bands, [&](int band) {
    const int end = std::min(source.height(), (band + 1) * kSharpenBandRows);
    for (int y = band * kSharpenBandRows; y < end; ++y) {
      for (size_t begin = 0; begin < values; begin += kPiece) {
        const int length = static_cast<int>(std::min(kPiece, values - begin));
        sharpen(source.row(y) + begin, destination.row(y) + begin, length, parameters);
      }
    }
  });
}

void UnsharpMaskWith(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                     int32_t threshold, const StopQuery& stop, const BlurOptions& options) {
  switch (SeparableBlur(source, destination, radius, stop, options)) {
    case BlurOutcome::kComplete:
      SharpenFromBlurOn(
          source, destination, amount, threshold, options.path,
          BlurThreadsFor(source.width(), source.height(), 0.0f, options.threads, options.threaded_work));
      return;
    case BlurOutcome::kStopped: return;
    case BlurOutcome::kRefused:
      // The stage is skipped: the destination takes over the picture as it was.
      if (SameBlurLayout(source, destination) && &source != &destination) {
        std::memcpy(destination.pixels(), source.pixels(), source.pixel_bytes());
      }
      return;
  }
}

void UnsharpMaskInPlaceWith(PixelBuffer& picture, double radius, int32_t amount, int32_t threshold,
                            const StopQuery& stop, const BlurOptions& options) {
  const SharpenTable table(amount, threshold);
  SharpenWhileBlurring(picture, radius, BlurSharpening{BlurRowLoopsFor(options.path).sharpen, table.parameters()},
                       stop, options);
}

bool UnsharpMaskOverSource(PixelBuffer& picture, double radius, int32_t amount, int32_t threshold,
                           const StopQuery& stop, const BlurOptions& options, const SourceRows& source) {
  if (!SameBlurLayout(picture, picture) || source.read == nullptr) return false;
  const int height = picture.height();
  const size_t stride = picture.stride();
  const size_t values = size_t{3} * static_cast<size_t>(picture.width());
  const int band_rows = std::min(height, kSourceBandRows);
  const MemoryBlock band(options.memory, static_cast<size_t>(band_rows) * stride);
  if (band.get() == nullptr) return false;
  // Band row k (from the top) of a band of `count` rows.
  const auto band_row = [&](int count, int k) { return band.get() + static_cast<size_t>(count - 1 - k) * stride; };
  for (int first = 0; first < height; first += band_rows) {
    const int count = std::min(band_rows, height - first);
    if (!source.read(first, count, band.get(), source.context)) return false;
    for (int k = 0; k < count; ++k) {
      if (std::memcmp(band_row(count, k), picture.row(first + k), values) != 0) return false;
    }
  }
  switch (BlurInPlace(picture, radius, stop, options)) {
    case BlurOutcome::kRefused: return false;
    case BlurOutcome::kStopped: return true;
    case BlurOutcome::kComplete: break;
  }
  // Made once the blur's blocks are given back; without memory for it the
  // loops work each value out.
  const SharpenTable table(amount, threshold);
  // The blur refuses rows whose values int cannot count.
  const SharpenRowLoop sharpen = BlurRowLoopsFor(options.path).sharpen;
  for (int first = 0; first < height; first += band_rows) {
    const int count = std::min(band_rows, height - first);
    // The same bitmap was read a moment ago; a read that fails now leaves
    // these rows blurred.
    if (!source.read(first, count, band.get(), source.context)) continue;
    for (int k = 0; k < count; ++k) {
      sharpen(band_row(count, k), picture.row(first + k), static_cast<int>(values), table.parameters());
    }
  }
  return true;
}

void UnsharpMaskInPlace(PixelBuffer& picture, double radius, int32_t amount, int32_t threshold,
                        const StopQuery& stop) {
  BlurOptions options;
  options.threads = ThreadCountFromEnvironment();
  UnsharpMaskInPlaceWith(picture, radius, amount, threshold, stop, options);
}

void UnsharpMask(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                 int32_t threshold, const StopQuery& stop) {
  BlurOptions options;
  options.threads = ThreadCountFromEnvironment();
  UnsharpMaskWith(source, destination, radius, amount, threshold, stop, options);
}
