// The counter every pixel and engine block passes, and the test's refusal.
#include "filters/engine/pixel_memory.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<long> g_refuse_at{0};
std::atomic<long> g_requests{0};
std::atomic<long> g_outstanding{0};

// Counts a request; false when it is the one to refuse.
bool Granted() {
  const long request = g_requests.fetch_add(1) + 1;
  return request != g_refuse_at.load();
}

template <typename Block>
Block* Counted(Block* block) {
  if (block != nullptr) g_outstanding.fetch_add(1);
  return block;
}

}  // namespace

unsigned char* AllocatePixelBlock(size_t bytes) {
  return Granted() ? Counted(AllocateSystemPixelBlock(bytes)) : nullptr;
}

void FreePixelBlock(unsigned char* block) {
  if (block == nullptr) return;
  g_outstanding.fetch_sub(1);
  FreeSystemPixelBlock(block);
}

void* AllocateEngineBlock(size_t bytes) { return Granted() ? Counted(std::malloc(bytes)) : nullptr; }

void FreeEngineBlock(void* block) {
  if (block == nullptr) return;
  g_outstanding.fetch_sub(1);
  std::free(block);
}

void RefusePixelMemoryAt(long nth) {
  g_refuse_at.store(0);
  g_requests.store(0);
  g_refuse_at.store(nth);
}

long PixelMemoryRequests() { return g_requests.load(); }

long PixelMemoryOutstanding() { return g_outstanding.load(); }
