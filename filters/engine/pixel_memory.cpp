// The counter every pixel and engine block passes, and the test's refusal.
// It costs an allocation a few atomic additions and no lock: each block
// carries its own size in a header in front of it, so that a block given
// back is counted off without looking anything up.
#include "filters/engine/pixel_memory.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace {

std::atomic<long> g_refuse_at{0};
std::atomic<long> g_requests{0};
std::atomic<long> g_outstanding{0};

// Bytes held now and the most held at once since the last reset, of both
// kinds [0] and of pixel blocks alone [1], and what was held at the reset.
struct HeldBytes {
  std::atomic<long long> now{0}, peak{0}, base{0};
};
HeldBytes g_bytes[2];

// In front of every block: its size, in a header that keeps the block as
// aligned as the system's own blocks (16 bytes).
constexpr size_t kHeader = 16;

void Count(HeldBytes& counter, long long change) {
  const long long now = counter.now.fetch_add(change) + change;
  long long peak = counter.peak.load();
  while (now > peak && !counter.peak.compare_exchange_weak(peak, now)) {
  }
}

// Counts a request; false when it is the one to refuse.
bool Granted(size_t bytes) {
  const long request = g_requests.fetch_add(1) + 1;
  // A size the header cannot be added to is refused, never wrapped.
  return request != g_refuse_at.load() && bytes <= SIZE_MAX - kHeader;
}

// The block behind the header at `raw` (nullptr stays nullptr), counted.
template <typename Block>
Block* Counted(Block* raw, size_t bytes, bool pixels) {
  if (raw == nullptr) return nullptr;
  *reinterpret_cast<size_t*>(raw) = bytes;
  g_outstanding.fetch_add(1);
  Count(g_bytes[0], static_cast<long long>(bytes));
  if (pixels) Count(g_bytes[1], static_cast<long long>(bytes));
  return reinterpret_cast<Block*>(reinterpret_cast<unsigned char*>(raw) + kHeader);
}

// The header of `block`, counted off.
unsigned char* LetGo(void* block, bool pixels) {
  unsigned char* raw = static_cast<unsigned char*>(block) - kHeader;
  const auto bytes = static_cast<long long>(*reinterpret_cast<size_t*>(raw));
  g_outstanding.fetch_sub(1);
  Count(g_bytes[0], -bytes);
  if (pixels) Count(g_bytes[1], -bytes);
  return raw;
}

}  // namespace

unsigned char* AllocatePixelBlock(size_t bytes) {
  return Granted(bytes) ? Counted(AllocateSystemPixelBlock(bytes + kHeader), bytes, true) : nullptr;
}

void FreePixelBlock(unsigned char* block) {
  if (block != nullptr) FreeSystemPixelBlock(LetGo(block, true));
}

void* AllocateEngineBlock(size_t bytes) {
  return Granted(bytes) ? Counted(std::malloc(bytes + kHeader), bytes, false) : nullptr;
}

void FreeEngineBlock(void* block) {
  if (block != nullptr) std::free(LetGo(block, false));
}

void RefusePixelMemoryAt(long nth) {
  g_refuse_at.store(0);
  g_requests.store(0);
  g_refuse_at.store(nth);
}

long PixelMemoryRequests() { return g_requests.load(); }

long PixelMemoryOutstanding() { return g_outstanding.load(); }

long long PixelMemoryPeakBytes() { return g_bytes[0].peak.load() - g_bytes[0].base.load(); }

long long PixelBlockPeakBytes() { return g_bytes[1].peak.load() - g_bytes[1].base.load(); }

void ResetPixelMemoryPeak() {
  for (HeldBytes& counter : g_bytes) {
    const long long now = counter.now.load();
    counter.base.store(now);
    counter.peak.store(now);
  }
}
