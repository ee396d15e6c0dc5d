// The memory one pipeline run lends its stages (stage_memory.h).
#include "filters/stage_memory.h"

#include <cstring>
#include <utility>

#include "filters/engine/pixel_memory.h"
#include "filters/point/point_rows.h"

void BufferSource::AddGamma(const uint8_t (&table)[256]) {
  // Gamma runs before auto-levels; any other order is not one this
  // recipe can repeat.
  if (levels) Forget();
  gamma = true;
  std::memcpy(gamma_table, table, sizeof gamma_table);
}

void BufferSource::AddLevels(const uint8_t (&table)[256], const ImageRegion& region) {
  if (levels) Forget();
  levels = true;
  std::memcpy(levels_table, table, sizeof levels_table);
  levels_region = region;
}

bool BufferSource::ReadRows(int width, int height, int first, int count, unsigned char* out) const {
  if (bitmap == 0 || !ReadBitmapRows(bitmap, width, height, first, count, out)) return false;
  const size_t stride = static_cast<size_t>(RowStride(width, 24));
  const ByteStretch stretch = FindByteStretch(levels_table);
  for (int k = 0; k < count; ++k) {
    const int y = first + k;
    uint8_t* row = out + static_cast<size_t>(count - 1 - k) * stride;
    if (gamma) MapBytes(row, static_cast<size_t>(width) * 3, gamma_table);
    if (levels && y >= levels_region.top && y < levels_region.bottom) {
      MapBytes(row + static_cast<size_t>(levels_region.left) * 3,
               static_cast<size_t>(levels_region.right - levels_region.left) * 3, levels_table, stretch);
    }
  }
  return true;
}

StageMemory::~StageMemory() {
  for (Block& b : blocks_) FreeEngineBlock(b.block);
}

PixelBuffer StageMemory::TakePicture(const PixelBuffer& like) {
  if (spare_ && like && like.bit_count() == 24 && spare_.width() == like.width() &&
      spare_.height() == like.height() && spare_.bit_count() == 24) {
    // The rows' padding is no pixel, and no stage writes it: zero it as a
    // new picture has it.
    const size_t values = static_cast<size_t>(spare_.width()) * 3;
    const size_t padding = spare_.stride() - values;
    if (padding > 0) {
      for (int y = 0; y < spare_.height(); ++y) std::memset(spare_.row(y) + values, 0, padding);
    }
    return std::move(spare_);
  }
  if (!like) return PixelBuffer();
  PixelBuffer picture = CreatePixelBuffer(like.width(), like.height(), like.bit_count());
  if (!picture && ReleaseIdle()) picture = CreatePixelBuffer(like.width(), like.height(), like.bit_count());
  return picture;
}

void StageMemory::KeepPicture(PixelBuffer picture) { spare_ = std::move(picture); }

void* StageMemory::AllocateBlock(size_t bytes, void* memory) {
  auto& self = *static_cast<StageMemory*>(memory);
  Block* best = nullptr;
  for (Block& b : self.blocks_) {
    if (b.block != nullptr && !b.in_use && b.bytes >= bytes && (best == nullptr || b.bytes < best->bytes)) best = &b;
  }
  if (best != nullptr) {
    best->in_use = true;
    return best->block;
  }
  void* block = AllocateEngineBlock(bytes);
  if (block == nullptr && self.ReleaseIdle()) block = AllocateEngineBlock(bytes);
  if (block == nullptr) return nullptr;
  for (Block& b : self.blocks_) {
    if (b.block == nullptr) {
      b = Block{block, bytes, true};
      return block;
    }
  }
  return block;  // no entry free: released when given back
}

void StageMemory::ReleaseBlock(void* block, void* memory) {
  auto& self = *static_cast<StageMemory*>(memory);
  for (Block& b : self.blocks_) {
    if (b.block == block) {
      b.in_use = false;
      return;
    }
  }
  FreeEngineBlock(block);
}

bool StageMemory::ReleaseIdle() {
  bool released = static_cast<bool>(spare_);
  spare_.Reset();
  for (Block& b : blocks_) {
    if (b.block != nullptr && !b.in_use) {
      FreeEngineBlock(b.block);
      b = Block{};
      released = true;
    }
  }
  return released;
}
