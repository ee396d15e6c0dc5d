// Plain reference versions of the point stages (gamma, auto-levels,
// grayscale, sepia): every value is worked out per pixel straight from its
// formula, with no tables and no regard for speed, for bit-for-bit
// comparisons with the real stages.
#ifndef CHROMALINE_TESTS_SUPPORT_REFERENCE_POINT_STAGES_H_
#define CHROMALINE_TESTS_SUPPORT_REFERENCE_POINT_STAGES_H_

#include <cstdint>
#include <string>

#include "chromaline/plugin_abi.h"
#include "filters/pixel_buffer.h"

// 255 * (v / 255)^(1 / gamma), rounded half up; gammas outside (0, inf)
// mapped as the stage documents.
uint8_t ReferenceGammaValue(int value, double gamma);
void ReferenceGamma(PixelBuffer& buffer, double gamma);

// The stretch of level i when lo and hi are the clipping levels (hi > lo).
int ReferenceLevel(int i, int lo, int hi);
// The whole stage over a region; a region of one luminance is left as it is.
void ReferenceAutoLevels(PixelBuffer& buffer, const ImageRegion& region);

uint8_t ReferenceGrayLevel(int red, int green, int blue, int32_t red_weight, int32_t green_weight,
                           int32_t blue_weight);
void ReferenceGrayscale(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight);

// Palette entry L from the closed form of HlsToRgb(20, L, 120).
struct ReferenceColour {
  int red, green, blue;
};
ReferenceColour ReferenceSepiaColour(int level);
int ReferenceSepiaLevel(int red, int green, int blue, int32_t red_weight, int32_t green_weight, int32_t blue_weight);
void ReferenceSepia(PixelBuffer& buffer, int32_t red_weight, int32_t green_weight, int32_t blue_weight);

// Pictures for the comparisons, shared by the tests of every stage. A
// buffer of seeded random pixels (row padding set to 0xA5, so that writes
// into it show, or to the byte given), a buffer of one colour, and an
// exact copy.
PixelBuffer RandomBuffer(int width, int height, uint32_t seed, uint8_t padding = 0xA5);
PixelBuffer UniformBuffer(int width, int height, uint8_t blue, uint8_t green, uint8_t red);
PixelBuffer CopyBuffer(const PixelBuffer& buffer);
// Empty when the two blocks (header, pixels, padding) are identical;
// otherwise names the first differing pixel or padding byte.
std::string FirstDifference(const PixelBuffer& actual, const PixelBuffer& expected);
// Whether the pixel blocks (rows with their padding) hold the same bytes.
bool SamePixels(const PixelBuffer& a, const PixelBuffer& b);

#endif  // CHROMALINE_TESTS_SUPPORT_REFERENCE_POINT_STAGES_H_
