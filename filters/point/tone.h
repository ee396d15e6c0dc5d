// The colour pieces of the tone stages: the HLS-to-RGB conversion on the
// 0..240 scale and the 241-colour sepia palette built from it. The stages
// themselves are declared in filters/stages.h.
#ifndef CHROMALINE_FILTERS_POINT_TONE_H_
#define CHROMALINE_FILTERS_POINT_TONE_H_

#include <array>
#include <cstdint>

struct RgbColour {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};

// Hue, lightness and saturation on the 0..240 scale, in unsigned 32-bit
// arithmetic with truncating division. A hue below 80 makes hue - 80 wrap
// round, which selects the lower of the two blend levels for blue. Results
// for arguments above 240 are taken modulo 256 per channel.
RgbColour HlsToRgb(uint32_t hue, uint32_t lightness, uint32_t saturation);

// Entry L is HlsToRgb(20, L, 120) for L = 0..240: black through browns to
// white.
constexpr int kSepiaLevels = 241;
using SepiaPalette = std::array<RgbColour, kSepiaLevels>;
SepiaPalette BuildSepiaPalette();

#endif  // CHROMALINE_FILTERS_POINT_TONE_H_
