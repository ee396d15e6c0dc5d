// File: filters/stage_point_rows.cpp
//
// The plain per-row loops of the point stages, and the choice between them
// and their vector forms (stage_point_rows_vector.cpp).
#include <algorithm>
#include <cstring>

#include "filters/auto_levels.h"
#include "filters/point_rows.h"

namespace {

bool g_fast_enabled = true;

static inline void GrayPixel(uint8_t* p, const GrayShares& s) {
  const int y = std::min(s.green[p[1]] + s.blue[p[0]] + s.red[p[2]], 255);
  p[0] = p[1] = p[2] = static_cast<uint8_t>(y);
}

}  // namespace

int SepiaLevel(const SepiaRowArgs& a, int blue, int green, int red) {
  double s = a.blue_share[blue] + a.red_share[red];
  s = s + a.green_share[green];
  // |s * 240| is at most 3 * 2^31 * 0.001 * 240, below 2^31, for any
  // 32-bit weights, so the conversion is defined; negative weights could
  // put it below 0.
  return std::clamp(static_cast<int>(s * 240.0), 0, 240);
}

namespace {

static inline void SepiaPixel(uint8_t* p, const SepiaRowArgs& a) {
  const int level = SepiaLevel(a, p[0], p[1], p[2]);
  p[0] = a.blue[level];
  p[1] = a.green[level];
  p[2] = a.red[level];
}

}  // namespace

bool FastPointRowsEnabled() { return g_fast_enabled && FastPointRowsAvailable(); }
void SetFastPointRowsEnabled(bool enabled) { g_fast_enabled = enabled; }

void MapBytes(uint8_t* bytes, size_t count, const uint8_t (&table)[256]) {
  if (FastPointRowsEnabled()) {
    MapBytesVector(bytes, count, table);
    return;
  }
  // Eight bytes are read and written as one word: the loads and stores of
  // the pixels then cost less than the table lookups between them.
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    uint64_t mapped = 0;
    for (int b = 0; b < 8; ++b) mapped |= static_cast<uint64_t>(table[(word >> (8 * b)) & 0xFF]) << (8 * b);
    std::memcpy(bytes + i, &mapped, 8);
  }
  for (; i < count; ++i) bytes[i] = table[bytes[i]];
}

// The vector forms work on whole blocks of 64 pixels and leave the rest of
// the row to the plain loop.
void GrayRow(uint8_t* pixels, size_t count, const GrayShares& shares) {
  size_t done = 0;
  if (FastPointRowsEnabled()) {
    done = count / 64 * 64;
    GrayRowVector(pixels, done, shares);
  }
  for (uint8_t *p = pixels + 3 * done, *end = pixels + 3 * count; p != end; p += 3) GrayPixel(p, shares);
}

void SepiaRow(uint8_t* pixels, size_t count, const SepiaRowArgs& args) {
  size_t done = 0;
  const auto thousandths = [](int32_t w) { return w >= 0 && w <= 1000; };
  if (FastPointRowsEnabled() && thousandths(args.weight_blue) && thousandths(args.weight_red) &&
      thousandths(args.weight_green)) {
    done = count / 64 * 64;
    SepiaRowVector(pixels, done, args);
  }
  for (uint8_t *p = pixels + 3 * done, *end = pixels + 3 * count; p != end; p += 3) SepiaPixel(p, args);
}

void LuminanceRow(const uint8_t* pixels, size_t count, uint8_t* luminance) {
  size_t done = 0;
  if (FastPointRowsEnabled()) {
    done = count / 16 * 16;
    LuminanceRowVector(pixels, done, luminance);
  }
  for (size_t i = done; i < count; ++i) {
    const uint8_t* p = pixels + 3 * i;
    luminance[i] = static_cast<uint8_t>(Luminance(p[2], p[1], p[0]));
  }
}
