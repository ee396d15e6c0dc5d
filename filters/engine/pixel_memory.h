// File: filters/engine/pixel_memory.h
//
// Where pixel buffer blocks come from. On Windows a moveable, zero-filled
// global memory block locked for its whole life; elsewhere calloc.
#ifndef CHROMALINE_FILTERS_PIXEL_MEMORY_H_
#define CHROMALINE_FILTERS_PIXEL_MEMORY_H_

#include <cstddef>

// A zero-filled block of `bytes` bytes, or nullptr.
unsigned char* AllocatePixelBlock(size_t bytes);
// Releases a block from AllocatePixelBlock; nullptr is ignored.
void FreePixelBlock(unsigned char* block);

#endif  // CHROMALINE_FILTERS_PIXEL_MEMORY_H_
