// The sharpening engine behind UnsharpMask (stages.h), used by the local
// contrast and the unsharp-mask stages, exposed for the tests and
// benchmarks: the sharpening step here, on top of the blur
// (unsharp_mask_blur.h), its kernel (blur_kernel.h) and the choice of row
// loops (unsharp_mask_dispatch.h).
#ifndef CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_H_
#define CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_H_

#include <cstdint>
#include <optional>

#include "filters/engine/cpu_paths.h"
#include "filters/engine/stop_query.h"
#include "filters/pixel_buffer.h"
#include "filters/sharpen/blur_kernel.h"
#include "filters/sharpen/unsharp_mask_blur.h"
#include "filters/sharpen/unsharp_mask_dispatch.h"
#include "filters/source_rows.h"

// The sharpening step: `destination` holds the blur of `source` and receives
// the sharpened picture. Per channel, with O the source value, B the blurred
// one and d = O - B: O when |d| <= threshold, else O + amount% * d clamped to
// 0..255 and truncated. Defined for every amount and threshold. `path` as in
// BlurOptions.
void SharpenFromBlur(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                     std::optional<CpuPath> path = std::nullopt);

// The same over bands of rows on `threads` threads (the caller included).
// Its table of sharpened values comes from `memory`.
void SharpenFromBlurOn(const PixelBuffer& source, PixelBuffer& destination, int32_t amount, int32_t threshold,
                       std::optional<CpuPath> path, int threads, const BlurMemory& memory = BlurMemory());

// UnsharpMask with a choice of memory and path. A refused blur copies the
// source into the destination: the stage then leaves the picture as it was.
void UnsharpMaskWith(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                     int32_t threshold, const StopQuery& stop, const BlurOptions& options);

// UnsharpMaskInPlace with a choice of memory and path.
void UnsharpMaskInPlaceWith(PixelBuffer& picture, double radius, int32_t amount, int32_t threshold,
                            const StopQuery& stop, const BlurOptions& options);

// UnsharpMaskWith's result and queries written over `picture` alone, for
// a picture that `source` reads back exactly (SourceRows::Matches, the
// caller's check): the picture becomes its own blur (BlurInPlace), and
// then, band by band, the source rows are read again and the sharpened
// rows written over the blurred ones. Besides the blur's memory it needs a
// band of 64 source rows. kRefused, with the picture untouched, when that
// band or the blur's memory is refused; kStopped as BlurInPlace leaves it.
BlurOutcome UnsharpMaskOverSource(PixelBuffer& picture, double radius, int32_t amount, int32_t threshold,
                                  const StopQuery& stop, const BlurOptions& options, const SourceRows& source);

// Rows of source read again at a time by UnsharpMaskOverSource.
constexpr int kSourceBandRows = 64;

#endif  // CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_H_
