// The plain per-row loops of the point stages, and the one choice between
// them and their vector forms (filters/point/point_rows_avx2.cpp,
// filters/point/point_stretch_avx2.cpp, filters/point/point_rows_avx512.cpp),
// which call nothing back here.
#include "filters/point/point_rows.h"

#include <algorithm>
#include <cstring>

#include "filters/engine/cpu_paths.h"

namespace {

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

namespace {

// A multiplier m (and whether v itself is added) with share[v] == ((v * m)
// >> 16) + (whole ? v : 0) for every v, if there is one near the slope of
// the table.
bool FindMultiplier(const uint8_t (&share)[256], uint16_t& multiplier, bool& whole) {
  whole = share[255] == 255;
  const uint32_t base = whole ? 0 : (static_cast<uint32_t>(share[255]) << 16) / 255;
  for (uint32_t m = base > 8 ? base - 8 : 0; m <= base + 300 && m < 65536; ++m) {
    bool fits = true;
    for (uint32_t v = 0; v < 256 && fits; ++v) fits = ((v * m) >> 16) + (whole ? v : 0) == share[v];
    if (fits) {
      multiplier = static_cast<uint16_t>(m);
      return true;
    }
  }
  return false;
}

}  // namespace

void FindGrayMultipliers(GrayShares& shares) {
  shares.multiplied = FindMultiplier(shares.blue, shares.multiplier[0], shares.whole[0]) &&
                      FindMultiplier(shares.green, shares.multiplier[1], shares.whole[1]) &&
                      FindMultiplier(shares.red, shares.multiplier[2], shares.whole[2]);
}

CpuPath ActivePointRowsPath() {
  if (!PointRowsVectorFormsBuilt()) return CpuPath::kPlain;
  if (CpuPathAllowed(CpuPath::kAvx512) && ProcessorHasAvx512Vbmi()) return CpuPath::kAvx512;
  if (CpuPathAllowed(CpuPath::kAvx2)) return CpuPath::kAvx2;
  return CpuPath::kPlain;
}

void MapBytes(uint8_t* bytes, size_t count, const uint8_t (&table)[256]) {
  switch (ActivePointRowsPath()) {
    case CpuPath::kAvx512: MapBytesAvx512(bytes, count, table); return;
    case CpuPath::kAvx2: MapBytesAvx2(bytes, count, table); return;
    case CpuPath::kSse2:
    case CpuPath::kPlain: break;
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

ByteStretch FindByteStretch(const uint8_t (&table)[256]) {
  ByteStretch stretch;
  // The last 0 before the first nonzero entry is the low end; the first
  // 255 lies one span above it.
  int first_nonzero = 0;
  while (first_nonzero < 256 && table[first_nonzero] == 0) ++first_nonzero;
  int first_full = first_nonzero;
  while (first_full < 256 && table[first_full] != 255) ++first_full;
  if (first_nonzero == 0 || first_full == 256) return stretch;
  const int low = first_nonzero - 1, span = first_full - low;
  if (span > 255) return stretch;
  for (int i = 0; i < 256; ++i) {
    const int stretched = std::min(255, std::max(i - low, 0) * 255 / span);
    if (table[i] != stretched) return stretch;
  }
  stretch.found = true;
  stretch.low = static_cast<uint8_t>(low);
  stretch.span = static_cast<uint8_t>(span);
  return stretch;
}

void MapBytes(uint8_t* bytes, size_t count, const uint8_t (&table)[256], const ByteStretch& stretch) {
  if (stretch.found && ActivePointRowsPath() == CpuPath::kAvx2) {
    MapStretchAvx2(bytes, count, stretch);
    return;
  }
  MapBytes(bytes, count, table);
}

// The vector forms work on whole blocks of pixels and leave the rest of the
// row to the plain loop.
void GrayRow(uint8_t* pixels, size_t count, const GrayShares& shares) {
  size_t done = 0;
  switch (ActivePointRowsPath()) {
    case CpuPath::kAvx512:
      done = count / kAvx512Block * kAvx512Block;
      GrayRowAvx512(pixels, done, shares);
      break;
    case CpuPath::kAvx2:
      done = count / kAvx2Block * kAvx2Block;
      GrayRowAvx2(pixels, done, shares);
      break;
    case CpuPath::kSse2:
    case CpuPath::kPlain: break;
  }
  for (uint8_t *p = pixels + 3 * done, *end = pixels + 3 * count; p != end; p += 3) GrayPixel(p, shares);
}

void SepiaRow(uint8_t* pixels, size_t count, const SepiaRowArgs& args) {
  size_t done = 0;
  const auto thousandths = [](int32_t w) { return w >= 0 && w <= 1000; };
  const CpuPath path =
      thousandths(args.weight_blue) && thousandths(args.weight_red) && thousandths(args.weight_green)
          ? ActivePointRowsPath()
          : CpuPath::kPlain;
  switch (path) {
    case CpuPath::kAvx512:
      done = count / kAvx512Block * kAvx512Block;
      SepiaRowAvx512(pixels, done, args);
      break;
    case CpuPath::kAvx2:
      done = count / kAvx2Block * kAvx2Block;
      SepiaRowAvx2(pixels, done, args);
      break;
    case CpuPath::kSse2:
    case CpuPath::kPlain: break;
  }
  for (uint8_t *p = pixels + 3 * done, *end = pixels + 3 * count; p != end; p += 3) SepiaPixel(p, args);
}

void LuminanceRow(const uint8_t* pixels, size_t count, uint8_t* luminance) {
  size_t done = 0;
  switch (ActivePointRowsPath()) {
    case CpuPath::kAvx512:
      done = count / 16 * 16;
      LuminanceRowAvx512(pixels, done, luminance);
      break;
    case CpuPath::kAvx2:
      done = count / kAvx2Block * kAvx2Block;
      LuminanceRowAvx2(pixels, done, luminance);
      break;
    case CpuPath::kSse2:
    case CpuPath::kPlain: break;
  }
  for (size_t i = done; i < count; ++i) {
    const uint8_t* p = pixels + 3 * i;
    luminance[i] = static_cast<uint8_t>(Luminance(p[2], p[1], p[0]));
  }
}
