// The gamma stage: one power curve, applied to blue, green and red alike
// through a table built once per call.
#include <cmath>

#include "filters/point/gamma.h"
#include "filters/point/point_rows.h"
#include "filters/stages.h"

namespace {

// 1/255 as the multiplier the curve uses (not a division by 255).
constexpr double kInverse255 = 0.00392156862745098;

}  // namespace

void BuildGammaTable(double gamma, uint8_t (&table)[256]) {
  if (std::isnan(gamma)) {
    // A gamma that is not a number describes no curve; leave values alone.
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
    return;
  }
  const double exponent = 1.0 / gamma;
  for (int i = 0; i < 256; ++i) {
    const double t = std::pow(i * kInverse255, exponent);
    const double v = t * 255.0 + 0.5;
    // A negative gamma gives a negative exponent: the curve grows without
    // bound towards 0 and reaches infinity there. Everything at or beyond
    // 256 (infinity included) is capped before it can meet an integer
    // conversion; the rest is truncated like any other entry.
    table[i] = v < 256.0 ? static_cast<uint8_t>(static_cast<int>(v)) : 255;
  }
  // An infinite gamma makes the exponent exactly 0, and pow(0, 0) is 1;
  // every finite positive gamma keeps black black, and so does this one.
  if (gamma > 0.0) table[0] = 0;
}

void ApplyGamma(PixelBuffer& buffer, double gamma) {
  uint8_t table[256];
  BuildGammaTable(gamma, table);
  ApplyGammaTable(buffer, table);
}

void ApplyGammaTable(PixelBuffer& buffer, const uint8_t (&table)[256]) {
  if (!buffer || buffer.bit_count() != 24 || buffer.width() <= 0 || buffer.height() <= 0) return;
  const size_t stride = buffer.stride();
  const size_t row_bytes = static_cast<size_t>(buffer.width()) * 3;
  if (stride == row_bytes) {
    // No row padding: the rows are one run of bytes.
    MapBytes(buffer.pixels(), buffer.pixel_bytes(), table);
    return;
  }
  uint8_t* row = buffer.pixels();
  for (int y = 0; y < buffer.height(); ++y, row += stride) MapBytes(row, row_bytes, table);
}
