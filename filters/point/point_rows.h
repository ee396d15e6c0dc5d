// The per-row loops of the point stages, in a plain form and in two vector
// forms that give exactly the same bytes: AVX2 (filters/point/point_rows_avx2.cpp,
// filters/point/point_stretch_avx2.cpp) and AVX-512 with byte permutes (VBMI,
// filters/point/point_rows_avx512.cpp). The plain loops and the one choice
// between the forms are in point_rows.cpp, above the vector forms, which
// call nothing back. The stages take the widest form that
// filters/engine/cpu_paths.h allows, so tests and benchmarks narrow it
// through SetCpuPathLimit or CHROMALINE_ISA.
#ifndef CHROMALINE_FILTERS_POINT_POINT_ROWS_H_
#define CHROMALINE_FILTERS_POINT_POINT_ROWS_H_

#include <cstddef>
#include <cstdint>

#include "filters/engine/cpu_paths.h"

// The path the stages' rows take now: kAvx512 where CpuPath::kAvx512 is
// allowed and the processor has VBMI, kAvx2 where CpuPath::kAvx2 is
// allowed, else kPlain (also wherever the compiler could not build the
// vector forms). Never kSse2: the point stages have no SSE2 forms.
CpuPath ActivePointRowsPath();

// Luminance of a pixel in 1/65536 weights: 0..255, a gray pixel gives its
// own value.
inline int32_t Luminance(int32_t red, int32_t green, int32_t blue) {
  return (19595 * red + 38470 * green + 7471 * blue) >> 16;
}

// bytes[i] = table[bytes[i]] for i < count.
void MapBytes(uint8_t* bytes, size_t count, const uint8_t (&table)[256]);

// A table that stretches a range of levels linearly, as auto-levels' table
// does: entry i is min(255, floor(max(i - low, 0) * 255 / span)) for all
// 256 i. Vector forms may then work the entries out instead of looking
// them up.
struct ByteStretch {
  bool found = false;
  uint8_t low = 0;
  uint8_t span = 1;  // 1..255
};
// Whether `table` is such a stretch, checked on all 256 entries.
ByteStretch FindByteStretch(const uint8_t (&table)[256]);
// MapBytes of a table together with FindByteStretch(table).
void MapBytes(uint8_t* bytes, size_t count, const uint8_t (&table)[256], const ByteStretch& stretch);

// Gray level of each pixel: min(blue[B] + green[G] + red[R], 255), written
// to all three channels. The shares are those of weights in 0..1000, so
// each is at most 255.
struct GrayShares {
  uint8_t blue[256];
  uint8_t green[256];
  uint8_t red[256];
  // Set by FindGrayMultipliers: whether every share of channel c (blue,
  // green, red) is (v * multiplier[c]) >> 16, plus v itself where whole[c],
  // for all 256 values v; vector forms may then multiply instead of looking
  // up.
  bool multiplied;
  uint16_t multiplier[3];
  bool whole[3];
};
void FindGrayMultipliers(GrayShares& shares);
void GrayRow(uint8_t* pixels, size_t count, const GrayShares& shares);

// Sepia: s = (B * c) * kb + (R * c) * kr, then s + (G * c) * kg, level =
// trunc(s * 240) held to 0..240, pixel = palette entry of that level (in
// blue, green, red order, 256 entries each, only 0..240 used).
struct SepiaRowArgs {
  // The weights in thousandths, and the same times 0.001.
  int32_t weight_blue, weight_red, weight_green;
  double kb, kr, kg;
  // (v * c) * k of every channel value v: the very products the arithmetic
  // forms, worked out once for the plain loop.
  double blue_share[256], red_share[256], green_share[256];
  uint8_t blue[256];
  uint8_t green[256];
  uint8_t red[256];
  // The level of the gray (v, v, v) for every v.
  uint8_t gray_level[256];
};
void SepiaRow(uint8_t* pixels, size_t count, const SepiaRowArgs& args);
// The level of one pixel by the plain arithmetic (the shares must be set).
int SepiaLevel(const SepiaRowArgs& args, int blue, int green, int red);

// The auto-levels luminance (19595 R + 38470 G + 7471 B) >> 16 of each
// pixel, one byte per pixel.
void LuminanceRow(const uint8_t* pixels, size_t count, uint8_t* luminance);

// Whether this compiler built the vector forms below (GCC or Clang on x86).
bool PointRowsVectorFormsBuilt();

// The vector forms of the above, for the stages' dispatch only: each only
// when ActivePointRowsPath() allows it, on whole blocks of kAvx512Block
// pixels (16 for the luminance) or kAvx2Block pixels (MapBytes: any count),
// and for sepia only with weights of 0..1000.
constexpr size_t kAvx512Block = 64;
constexpr size_t kAvx2Block = 32;
void MapBytesAvx512(uint8_t* bytes, size_t count, const uint8_t (&table)[256]);
void GrayRowAvx512(uint8_t* pixels, size_t count, const GrayShares& shares);
void SepiaRowAvx512(uint8_t* pixels, size_t count, const SepiaRowArgs& args);
void LuminanceRowAvx512(const uint8_t* pixels, size_t count, uint8_t* luminance);
void MapBytesAvx2(uint8_t* bytes, size_t count, const uint8_t (&table)[256]);
void MapStretchAvx2(uint8_t* bytes, size_t count, const ByteStretch& stretch);
void GrayRowAvx2(uint8_t* pixels, size_t count, const GrayShares& shares);
void SepiaRowAvx2(uint8_t* pixels, size_t count, const SepiaRowArgs& args);
void LuminanceRowAvx2(const uint8_t* pixels, size_t count, uint8_t* luminance);

#endif  // CHROMALINE_FILTERS_POINT_POINT_ROWS_H_
