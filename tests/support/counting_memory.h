// An allocator for the sharpening engine's blocks that counts them: bytes in
// use, their peak, blocks still out, and (for failure tests) one allocation
// refused on purpose. Only the calling thread allocates, so no lock.
#ifndef CHROMALINE_TESTS_SUPPORT_COUNTING_MEMORY_H_
#define CHROMALINE_TESTS_SUPPORT_COUNTING_MEMORY_H_

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "filters/sharpen/unsharp_mask.h"

struct CountingMemory {
  int fail_at = -1;          // the allocation refused (numbered from 0); -1: none
  size_t refused_bytes = 0;  // the size it asked for
  int allocations = 0;
  int outstanding = 0;
  uint64_t bytes = 0, peak = 0;
  std::vector<std::pair<void*, size_t>> live;

  static void* Allocate(size_t size, void* context) {
    auto* m = static_cast<CountingMemory*>(context);
    if (m->allocations++ == m->fail_at) {
      m->refused_bytes = size;
      return nullptr;
    }
    void* block = std::malloc(size);
    if (block == nullptr) return nullptr;
    m->live.emplace_back(block, size);
    m->bytes += size;
    m->peak = std::max(m->peak, m->bytes);
    ++m->outstanding;
    return block;
  }
  static void Release(void* block, void* context) {
    auto* m = static_cast<CountingMemory*>(context);
    for (auto it = m->live.begin(); it != m->live.end(); ++it) {
      if (it->first == block) {
        m->bytes -= it->second;
        m->live.erase(it);
        break;
      }
    }
    --m->outstanding;
    std::free(block);
  }
  BlurMemory memory() { return BlurMemory{&CountingMemory::Allocate, &CountingMemory::Release, this}; }
  BlurOptions options() {
    BlurOptions o;
    o.memory = memory();
    return o;
  }
};

#endif  // CHROMALINE_TESTS_SUPPORT_COUNTING_MEMORY_H_
