// The blur kernel of the sharpening engine: from a radius, an even number
// of taps with float weights that sum to one and pixel offsets from -n to
// +n (offset 0 twice). The bottom of the engine: it calls nothing else of
// it, and the blur (unsharp_mask_blur.h) builds one kernel per call.
#ifndef CHROMALINE_FILTERS_SHARPEN_BLUR_KERNEL_H_
#define CHROMALINE_FILTERS_SHARPEN_BLUR_KERNEL_H_

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

#endif  // CHROMALINE_FILTERS_SHARPEN_BLUR_KERNEL_H_
