// PixelBuffer: one zero-filled block holding a 40-byte bitmap information
// header, an optional colour table and the pixel rows, exactly like a
// packed device-independent bitmap. Rows are stored bottom-up and padded to
// a multiple of 4 bytes; a 24-bit pixel is blue, green, red. The layout is
// found from the header alone, so a buffer can be handed from stage to
// stage without side information.
//
// A PixelBuffer owns its block and is move-only. An empty PixelBuffer (no
// block) is what the creation functions give when the size is refused or
// the memory cannot be had.
#ifndef CHROMALINE_FILTERS_PIXEL_BUFFER_H_
#define CHROMALINE_FILTERS_PIXEL_BUFFER_H_

#include <cstddef>
#include <cstdint>

struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

class PixelBuffer {
 public:
  PixelBuffer() = default;
  ~PixelBuffer();
  PixelBuffer(PixelBuffer&& other) noexcept;
  PixelBuffer& operator=(PixelBuffer&& other) noexcept;
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;

  explicit operator bool() const { return block_ != nullptr; }

  BitmapInfoHeader& header() { return *reinterpret_cast<BitmapInfoHeader*>(block_); }
  const BitmapInfoHeader& header() const { return *reinterpret_cast<const BitmapInfoHeader*>(block_); }
  unsigned char* block() { return block_; }
  const unsigned char* block() const { return block_; }

  int width() const { return header().biWidth; }
  int height() const { return header().biHeight; }
  int bit_count() const { return header().biBitCount; }
  // Bytes per row: the row rounded up to whole 32-bit words.
  size_t stride() const;
  // Start of the pixel rows: biSize + biClrUsed * 4 bytes into the block.
  unsigned char* pixels() { return block_ + PixelOffset(); }
  const unsigned char* pixels() const { return block_ + PixelOffset(); }
  // Image row y, counted from the top of the picture (stored bottom-up).
  unsigned char* row(int y) { return pixels() + static_cast<size_t>(height() - 1 - y) * stride(); }
  const unsigned char* row(int y) const { return pixels() + static_cast<size_t>(height() - 1 - y) * stride(); }
  // height * stride: every pixel byte including row padding.
  size_t pixel_bytes() const { return static_cast<size_t>(height()) * stride(); }

  void Reset();

 private:
  friend PixelBuffer CreatePixelBuffer(int32_t width, int32_t height, int32_t requested_bits);
  size_t PixelOffset() const { return header().biSize + static_cast<size_t>(header().biClrUsed) * 4; }

  unsigned char* block_ = nullptr;
};

// Bytes per row for a width and bit count: ((width * bits + 31) >> 5) * 4.
// Computed in 64 bits so that callers can refuse sizes that overflow.
uint64_t RowStride(int64_t width, int bits);

// The stored bit count and colour-table size for a requested bit count:
// exactly 1 -> 1 bit, 2 entries; any other value up to 4 (0 and negatives
// too) -> 4 bits, 16; 5 to 8 -> 8 bits, 256; above 8 -> 24 bits, none.
struct BitDepth {
  int bits;
  uint32_t colours;
};
BitDepth DepthForRequest(int32_t requested_bits);

// A zero-filled buffer with the header filled in. Empty when the width or
// height is below 1, when the block would not fit in 32 bits, or when the
// memory cannot be had.
PixelBuffer CreatePixelBuffer(int32_t width, int32_t height, int32_t requested_bits);

#endif  // CHROMALINE_FILTERS_PIXEL_BUFFER_H_
