// The bitmap transfer for hosts without GDI: the handle is a
// ChromalineHostBitmap* whose rows are copied into and out of the 24-bit
// bottom-up buffer. A descriptor that breaks its contract is not touched.
#include <cstring>

#include "chromaline/host_bitmap.h"
#include "filters/engine/bitmap_transfer.h"

namespace {

const ChromalineHostBitmap* CheckedDescriptor(BitmapHandle bitmap) {
  const auto* d = reinterpret_cast<const ChromalineHostBitmap*>(bitmap);
  if (d == nullptr || d->size != sizeof(ChromalineHostBitmap) || d->pixels == nullptr) return nullptr;
  if (d->width < 1 || d->height < 1) return nullptr;
  if (d->bits_per_pixel != 24 && d->bits_per_pixel != 32) return nullptr;
  const int64_t row_bytes = int64_t{d->width} * (d->bits_per_pixel / 8);
  if (d->stride < row_bytes) return nullptr;
  return d;
}

// Image row y (from the top) of the host's memory.
unsigned char* HostRow(const ChromalineHostBitmap& d, int y) {
  const int memory_row = d.top_down ? y : d.height - 1 - y;
  return d.pixels + static_cast<size_t>(memory_row) * static_cast<size_t>(d.stride);
}

// One host row of `step` bytes per pixel as 24-bit pixels.
void CopyRowTo24(const unsigned char* in, int step, int width, unsigned char* out) {
  if (step == 3) {
    std::memcpy(out, in, static_cast<size_t>(width) * 3);
    return;
  }
  for (int x = 0; x < width; ++x, in += step, out += 3) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
  }
}

}  // namespace

PixelBuffer ReadBitmapPixels(BitmapHandle bitmap) {
  const ChromalineHostBitmap* d = CheckedDescriptor(bitmap);
  if (d == nullptr) return PixelBuffer();
  PixelBuffer buffer = CreatePixelBuffer(d->width, d->height, 24);
  if (!buffer) return buffer;
  const int step = d->bits_per_pixel / 8;
  for (int y = 0; y < d->height; ++y) CopyRowTo24(HostRow(*d, y), step, d->width, buffer.row(y));
  return buffer;
}

bool ReadBitmapRows(BitmapHandle bitmap, int width, int height, int first, int count, unsigned char* out) {
  const ChromalineHostBitmap* d = CheckedDescriptor(bitmap);
  if (d == nullptr || d->width != width || d->height != height) return false;
  if (first < 0 || count < 1 || first > height - count) return false;
  const int step = d->bits_per_pixel / 8;
  const size_t stride = static_cast<size_t>(RowStride(width, 24));
  for (int k = 0; k < count; ++k) {
    CopyRowTo24(HostRow(*d, first + k), step, width, out + static_cast<size_t>(count - 1 - k) * stride);
  }
  return true;
}

void WriteBitmapPixels(BitmapHandle bitmap, const PixelBuffer& buffer) {
  const ChromalineHostBitmap* d = CheckedDescriptor(bitmap);
  if (d == nullptr || !buffer || buffer.width() != d->width || buffer.height() != d->height) return;
  const int step = d->bits_per_pixel / 8;
  for (int y = 0; y < d->height; ++y) {
    const unsigned char* in = buffer.row(y);
    unsigned char* out = HostRow(*d, y);
    if (step == 3) {
      std::memcpy(out, in, static_cast<size_t>(d->width) * 3);
    } else {
      for (int x = 0; x < d->width; ++x, in += 3, out += 4) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
      }
    }
  }
}
