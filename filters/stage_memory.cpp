// The memory one pipeline run lends its stages (stage_memory.h).
#include "filters/stage_memory.h"

#include <cstring>
#include <utility>

#include "filters/engine/pixel_memory.h"

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
