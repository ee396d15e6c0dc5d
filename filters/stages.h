// File: filters/stages.h
//
// The entry points of the filter stages, in pipeline order. Each works on
// 24-bit PixelBuffers and knows nothing of the window system.
#ifndef CHROMALINE_FILTERS_STAGES_H_
#define CHROMALINE_FILTERS_STAGES_H_

#include "chromaline/plugin_abi.h"
#include "filters/pixel_buffer.h"
#include "filters/engine/stop_query.h"

// Gamma: every channel value v becomes 255 * (v / 255)^(1 / gamma), rounded
// half up, through a 256-entry table.
void ApplyGamma(PixelBuffer& buffer, double gamma);

// Auto-levels over a normalised region (columns left..right-1, rows
// top..bottom-1 from the top). Pixels outside the region are untouched.
void ApplyAutoLevels(PixelBuffer& buffer, const ImageRegion& region);

// The sharpening engine: blurs `source` into `destination` (same size,
// zero-filled) with a separable kernel built from `radius`, then moves each
// channel away from its blurred value by `amount` percent where they differ
// by more than `threshold`. Asks `stop` after every row and every column of
// the blur; a stop leaves the partial blur in `destination`, unsharpened.
void UnsharpMask(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                 int32_t threshold, const StopQuery& stop);

// Tone stages; weights are in thousandths (red, green, blue).
void ApplyGrayscale(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight);
void ApplySepia(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight);

#endif  // CHROMALINE_FILTERS_STAGES_H_
