// Where pixel buffer blocks and the sharpening engine's own blocks come
// from. Pixel blocks are, on Windows, moveable, zero-filled global memory
// locked for its whole life; elsewhere calloc. Engine blocks come from
// malloc. Both go through one counter (pixel_memory.cpp) that a test may
// tell to refuse an allocation, so that every way out of a failed
// allocation can be walked.
#ifndef CHROMALINE_FILTERS_ENGINE_PIXEL_MEMORY_H_
#define CHROMALINE_FILTERS_ENGINE_PIXEL_MEMORY_H_

#include <cstddef>

// A zero-filled block of `bytes` bytes, or nullptr.
unsigned char* AllocatePixelBlock(size_t bytes);
// Releases a block from AllocatePixelBlock; nullptr is ignored.
void FreePixelBlock(unsigned char* block);

// An uninitialised block for the engine's working memory, or nullptr.
void* AllocateEngineBlock(size_t bytes);
// Releases a block from AllocateEngineBlock; nullptr is ignored.
void FreeEngineBlock(void* block);

// For tests. After RefusePixelMemoryAt(n) with n >= 1, the n-th allocation
// of either kind from then on returns nullptr; n = 0 refuses none. Either
// way the counts below start again from zero.
void RefusePixelMemoryAt(long nth);
// Allocations asked for since the last RefusePixelMemoryAt.
long PixelMemoryRequests();
// Blocks of either kind handed out and not yet released.
long PixelMemoryOutstanding();
// The most bytes held at once since the last ResetPixelMemoryPeak, above
// what was held then: of both kinds, and of pixel blocks alone. Counting
// takes no lock (each block carries its size), so the figures are exact
// whenever no other thread allocates at the moment they are read or reset.
long long PixelMemoryPeakBytes();
long long PixelBlockPeakBytes();
void ResetPixelMemoryPeak();

// The platform's pixel blocks (pixel_memory_win32.cpp, _portable.cpp).
unsigned char* AllocateSystemPixelBlock(size_t bytes);
void FreeSystemPixelBlock(unsigned char* block);

#endif  // CHROMALINE_FILTERS_ENGINE_PIXEL_MEMORY_H_
