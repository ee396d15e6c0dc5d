// The top of the sharpening engine: the sharpening step and the stage
// (UnsharpMask), which blurs (unsharp_mask_blur.cpp) and then sharpens from
// the blur on the row loops the dispatcher hands out
// (unsharp_mask_dispatch.cpp).
#include "filters/sharpen/unsharp_mask.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "filters/engine/engine_block.h"
#include "filters/engine/worker_team.h"
#include "filters/sharpen/unsharp_mask_rows.h"
#include "filters/stages.h"

namespace {

// Rows per band of the sharpening step when it runs on several threads.
constexpr int kSharpenBandRows = 32;

// The sharpening parameters of one call. The result depends only on the
// pair (O, B): the plain loop looks it up in a table made once per call
// from the engine's memory, or works it out when there is no memory for
// the table.
class SharpenTable {
 public:
  SharpenTable(int32_t amount, int32_t threshold, const BlurMemory& memory)
      : block_(memory, 256 * 256), parameters_{amount * 0.01, threshold, nullptr} {
    unsigned char* table = block_.as<unsigned char>();
    if (table == nullptr) return;
    for (int o = 0; o < 256; ++o) {
      for (int b = 0; b < 256; ++b) table[o * 256 + b] = SharpenedValue(o, b, parameters_.amount, threshold);
    }
    parameters_.table = table;
  }

  const SharpenParameters& parameters() const { return parameters_; }

 private:
  EngineBlock block_;
  SharpenParameters parameters_;
};

}  // namespace

void SharpenFromBlur(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                     std::optional<CpuPath> path) {
  SharpenFromBlurOn(source, destination, amount, threshold, path, 1);
}

void SharpenFromBlurOn(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                       std::optional<CpuPath> path, int threads, const BlurMemory& memory) {
  if (!SameBlurLayout(source, destination)) return;
  const SharpenTable table(amount, threshold, memory);
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
          BlurThreadsFor(source.width(), source.height(), 0.0f, options.threads, options.threaded_work),
          options.memory);
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
  const SharpenTable table(amount, threshold, options.memory);
  SharpenWhileBlurring(picture, radius, BlurSharpening{BlurRowLoopsFor(options.path).sharpen, table.parameters()},
                       stop, options);
}

BlurOutcome UnsharpMaskOverSource(PixelBuffer& picture, double radius, int32_t amount, int32_t threshold,
                                  const StopQuery& stop, const BlurOptions& options, const SourceRows& source) {
  if (!SameBlurLayout(picture, picture) || !source.Readable()) return BlurOutcome::kRefused;
  const int height = picture.height();
  const size_t stride = picture.stride();
  const int band_rows = std::min(height, kSourceBandRows);
  const EngineBlock band(options.memory, static_cast<uint64_t>(band_rows) * stride);
  if (!band) return BlurOutcome::kRefused;
  const BlurOutcome blurred = BlurInPlace(picture, radius, stop, options);
  if (blurred != BlurOutcome::kComplete) return blurred;
  // Made once the blur's blocks are given back.
  const SharpenTable table(amount, threshold, options.memory);
  // The blur refuses rows whose values int cannot count.
  const int values = 3 * picture.width();
  const SharpenRowLoop sharpen = BlurRowLoopsFor(options.path).sharpen;
  unsigned char* rows = band.as<unsigned char>();
  for (int first = 0; first < height; first += band_rows) {
    const int count = std::min(band_rows, height - first);
    // The same rows were read a moment ago (SourceRows::Matches); a read
    // that fails now leaves these rows blurred.
    if (!source.Read(first, count, rows)) continue;
    for (int k = 0; k < count; ++k) {
      sharpen(rows + static_cast<size_t>(count - 1 - k) * stride, picture.row(first + k), values,
              table.parameters());
    }
  }
  return BlurOutcome::kComplete;
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
