// Creation and ownership of PixelBuffer blocks. Sizes are worked out in 64
// bits and refused when the block would not fit in 32 bits, so nothing
// wraps round on a 32-bit host.
#include "filters/pixel_buffer.h"

#include <cstring>
#include <utility>

#include "filters/engine/pixel_memory.h"

PixelBuffer::~PixelBuffer() { Reset(); }

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
  if (this != &other) {
    Reset();
    block_ = std::exchange(other.block_, nullptr);
  }
  return *this;
}

void PixelBuffer::Reset() {
  FreePixelBlock(block_);
  block_ = nullptr;
}

size_t PixelBuffer::stride() const { return static_cast<size_t>(RowStride(width(), bit_count())); }

uint64_t RowStride(int64_t width, int bits) {
  return ((static_cast<uint64_t>(width) * static_cast<uint64_t>(bits) + 31) >> 5) * 4;
}

BitDepth DepthForRequest(int32_t requested_bits) {
  if (requested_bits == 1) return {1, 2};
  if (requested_bits <= 4) return {4, 16};
  if (requested_bits <= 8) return {8, 256};
  return {24, 0};
}

PixelBuffer CreatePixelBuffer(int32_t width, int32_t height, int32_t requested_bits) {
  PixelBuffer buffer;
  if (width < 1 || height < 1) return buffer;
  const BitDepth depth = DepthForRequest(requested_bits);
  const uint64_t stride = RowStride(width, depth.bits);
  const uint64_t image_bytes = stride * static_cast<uint64_t>(height);
  const uint64_t block_bytes = sizeof(BitmapInfoHeader) + uint64_t{depth.colours} * 4 + image_bytes;
  // The header records the image size in 32 bits; refuse what would wrap.
  if (block_bytes > UINT32_MAX || block_bytes > SIZE_MAX) return buffer;

  buffer.block_ = AllocatePixelBlock(static_cast<size_t>(block_bytes));
  if (buffer.block_ == nullptr) return buffer;

  BitmapInfoHeader header = {};
  header.biSize = sizeof(BitmapInfoHeader);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(depth.bits);
  header.biCompression = 0;
  header.biSizeImage = static_cast<uint32_t>(image_bytes);
  header.biClrUsed = depth.colours;
  header.biClrImportant = depth.colours;
  std::memcpy(buffer.block_, &header, sizeof header);
  return buffer;
}
