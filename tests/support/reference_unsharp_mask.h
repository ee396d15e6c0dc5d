// The sharpening engine written the plain way: the kernel step by step, a
// whole W x H x 3 float picture between the passes, one scalar loop per
// pass in the defined order, the stop query where the definition puts it.
// The real engine (filters/sharpen/unsharp_mask.h) must match it byte for byte.
// Radii must be finite and 0 or more; sizes as the pipeline makes them.
#ifndef CHROMALINE_TESTS_SUPPORT_REFERENCE_UNSHARP_MASK_H_
#define CHROMALINE_TESTS_SUPPORT_REFERENCE_UNSHARP_MASK_H_

#include <cstdint>
#include <vector>

#include "filters/pixel_buffer.h"
#include "filters/engine/stop_query.h"

struct ReferenceKernel {
  std::vector<float> weights;
  std::vector<int> offsets;
};

ReferenceKernel ReferenceBlurKernel(float radius);

// True when the stop query stopped it.
bool ReferenceSeparableBlur(const PixelBuffer& source, PixelBuffer& destination, double radius,
                            const StopQuery& stop);

// The sharpening of one channel value O against its blurred value B.
unsigned char ReferenceSharpen(int O, int B, int32_t amount, int32_t threshold);

void ReferenceUnsharpMask(const PixelBuffer& source, PixelBuffer& destination, double radius, int32_t amount,
                          int32_t threshold, const StopQuery& stop);

#endif  // CHROMALINE_TESTS_SUPPORT_REFERENCE_UNSHARP_MASK_H_
