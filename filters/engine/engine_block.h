// Where the sharpening engine's working blocks come from (BlurMemory), and
// the one scoped holder of such a block (EngineBlock) that every part of
// the engine uses: the blur's kernel, plan, ring and slots, the band of
// source rows, the table of sharpened values.
#ifndef CHROMALINE_FILTERS_ENGINE_ENGINE_BLOCK_H_
#define CHROMALINE_FILTERS_ENGINE_ENGINE_BLOCK_H_

#include <cstddef>
#include <cstdint>

#include "filters/engine/pixel_memory.h"

// The allocator of the engine's blocks. Without both functions the blocks
// come from AllocateEngineBlock and go back to FreeEngineBlock; a pipeline
// run lends its own (StageMemory), tests substitute failing and counting
// versions.
struct BlurMemory {
  void* (*allocate)(size_t bytes, void* context) = nullptr;
  void (*release)(void* block, void* context) = nullptr;
  void* context = nullptr;
};

// A block from BlurMemory, given back when it goes out of scope. A request
// of 0 bytes asks for nothing and holds nothing; one that does not fit this
// platform's address space is refused, never wrapped round to a smaller
// block.
class EngineBlock {
 public:
  EngineBlock(const BlurMemory& memory, uint64_t bytes) : memory_(memory) {
    if (memory_.allocate == nullptr || memory_.release == nullptr) {
      memory_.allocate = [](size_t size, void*) { return AllocateEngineBlock(size); };
      memory_.release = [](void* block, void*) { FreeEngineBlock(block); };
    }
    if (bytes > 0 && bytes <= SIZE_MAX) block_ = memory_.allocate(static_cast<size_t>(bytes), memory_.context);
  }
  ~EngineBlock() {
    if (block_ != nullptr) memory_.release(block_, memory_.context);
  }
  EngineBlock(const EngineBlock&) = delete;
  EngineBlock& operator=(const EngineBlock&) = delete;

  template <typename T>
  T* as() const {
    return static_cast<T*>(block_);
  }
  explicit operator bool() const { return block_ != nullptr; }

 private:
  BlurMemory memory_;
  void* block_ = nullptr;
};

#endif  // CHROMALINE_FILTERS_ENGINE_ENGINE_BLOCK_H_
