// The counter every pixel and engine block passes, and the test's refusal.
#include "filters/engine/pixel_memory.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace {

std::atomic<long> g_refuse_at{0};
std::atomic<long> g_requests{0};
std::atomic<long> g_outstanding{0};

// The size of every block held, for the peak: a small table under a spin
// lock (a pipeline run holds a few dozen blocks at most).
struct HeldBlock {
  const void* block;
  size_t bytes;
  bool pixels;
};
// Both kinds [0] and pixel blocks alone [1]: held now, held at the last
// reset, and the most held since.
struct HeldBytes {
  long long now, base, peak;
};
constexpr int kHeldBlocks = 256;
HeldBlock g_held[kHeldBlocks];
std::atomic_flag g_held_lock = ATOMIC_FLAG_INIT;
HeldBytes g_bytes[2] = {};
bool g_held_overflow = false;

class HeldLock {
 public:
  HeldLock() {
    while (g_held_lock.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~HeldLock() { g_held_lock.clear(std::memory_order_release); }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
};

void Count(HeldBytes& counter, long long change) {
  counter.now += change;
  counter.peak = std::max(counter.peak, counter.now);
}

void Hold(const void* block, size_t bytes, bool pixels) {
  const HeldLock lock;
  for (HeldBlock& held : g_held) {
    if (held.block == nullptr) {
      held = HeldBlock{block, bytes, pixels};
      Count(g_bytes[0], static_cast<long long>(bytes));
      if (pixels) Count(g_bytes[1], static_cast<long long>(bytes));
      return;
    }
  }
  g_held_overflow = true;
}

void LetGo(const void* block) {
  const HeldLock lock;
  for (HeldBlock& held : g_held) {
    if (held.block == block) {
      Count(g_bytes[0], -static_cast<long long>(held.bytes));
      if (held.pixels) Count(g_bytes[1], -static_cast<long long>(held.bytes));
      held = HeldBlock{};
      return;
    }
  }
}

// Counts a request; false when it is the one to refuse.
bool Granted() {
  const long request = g_requests.fetch_add(1) + 1;
  return request != g_refuse_at.load();
}

template <typename Block>
Block* Counted(Block* block, size_t bytes, bool pixels) {
  if (block != nullptr) {
    g_outstanding.fetch_add(1);
    Hold(block, bytes, pixels);
  }
  return block;
}

}  // namespace

unsigned char* AllocatePixelBlock(size_t bytes) {
  return Granted() ? Counted(AllocateSystemPixelBlock(bytes), bytes, true) : nullptr;
}

void FreePixelBlock(unsigned char* block) {
  if (block == nullptr) return;
  g_outstanding.fetch_sub(1);
  LetGo(block);
  FreeSystemPixelBlock(block);
}

void* AllocateEngineBlock(size_t bytes) { return Granted() ? Counted(std::malloc(bytes), bytes, false) : nullptr; }

void FreeEngineBlock(void* block) {
  if (block == nullptr) return;
  g_outstanding.fetch_sub(1);
  LetGo(block);
  std::free(block);
}

void RefusePixelMemoryAt(long nth) {
  g_refuse_at.store(0);
  g_requests.store(0);
  g_refuse_at.store(nth);
}

long PixelMemoryRequests() { return g_requests.load(); }

long PixelMemoryOutstanding() { return g_outstanding.load(); }

long long PixelMemoryPeakBytes() {
  const HeldLock lock;
  return g_held_overflow ? -1 : g_bytes[0].peak - g_bytes[0].base;
}

long long PixelBlockPeakBytes() {
  const HeldLock lock;
  return g_held_overflow ? -1 : g_bytes[1].peak - g_bytes[1].base;
}

void ResetPixelMemoryPeak() {
  const HeldLock lock;
  for (HeldBytes& counter : g_bytes) counter.base = counter.peak = counter.now;
  g_held_overflow = false;
}
