// The rows of a working picture read again (source_rows.h).
#include "filters/source_rows.h"

#include <algorithm>
#include <cstring>

SourceRows SourceRows::OfBitmap(BitmapHandle bitmap, int width, int height) {
  if (bitmap == 0) return SourceRows();
  const Reader read = [](int w, int h, int first, int count, unsigned char* out, void* context) {
    return ReadBitmapRows(reinterpret_cast<BitmapHandle>(context), w, h, first, count, out);
  };
  return SourceRows(width, height, read, reinterpret_cast<void*>(bitmap));
}

void SourceRows::AddTable(const uint8_t (&table)[256], const ImageRegion& region) {
  if (!Readable()) return;
  if (table_count_ == kTables) {
    Forget();
    return;
  }
  Table& t = tables_[table_count_++];
  std::memcpy(t.bytes, table, sizeof t.bytes);
  t.stretch = FindByteStretch(table);
  // Held to the picture, as the stage held it.
  t.region = ImageRegion{std::max(region.left, 0), std::max(region.top, 0), std::min(region.right, width_),
                         std::min(region.bottom, height_)};
}

bool SourceRows::Read(int first, int count, unsigned char* out) const {
  if (!Readable() || first < 0 || count <= 0 || count > height_ - first) return false;
  if (!read_(width_, height_, first, count, out, context_)) return false;
  const size_t stride = static_cast<size_t>(RowStride(width_, 24));
  for (int k = 0; k < count; ++k) {
    const int y = first + k;
    uint8_t* row = out + static_cast<size_t>(count - 1 - k) * stride;
    for (int i = 0; i < table_count_; ++i) {
      const Table& t = tables_[i];
      if (y < t.region.top || y >= t.region.bottom || t.region.left >= t.region.right) continue;
      MapBytes(row + static_cast<size_t>(t.region.left) * 3, static_cast<size_t>(t.region.right - t.region.left) * 3,
               t.bytes, t.stretch);
    }
  }
  return true;
}

bool SourceRows::Matches(const PixelBuffer& picture, unsigned char* band, int band_rows) const {
  if (!picture || picture.bit_count() != 24 || picture.width() != width_ || picture.height() != height_ ||
      band == nullptr || band_rows <= 0) {
    return false;
  }
  const size_t stride = picture.stride();
  const size_t values = size_t{3} * static_cast<size_t>(width_);
  for (int first = 0; first < height_; first += band_rows) {
    const int count = std::min(band_rows, height_ - first);
    if (!Read(first, count, band)) return false;
    for (int k = 0; k < count; ++k) {
      if (std::memcmp(band + static_cast<size_t>(count - 1 - k) * stride, picture.row(first + k), values) != 0) {
        return false;
      }
    }
  }
  return true;
}
