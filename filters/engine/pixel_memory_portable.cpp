// Pixel buffer blocks from the C heap, zero-filled.
#include <cstdlib>

#include "filters/engine/pixel_memory.h"

unsigned char* AllocateSystemPixelBlock(size_t bytes) { return static_cast<unsigned char*>(std::calloc(bytes, 1)); }

void FreeSystemPixelBlock(unsigned char* block) { std::free(block); }
