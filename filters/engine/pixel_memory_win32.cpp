// Pixel buffer blocks as moveable, zero-filled global memory, locked for
// their whole life and known by the locked address; released by taking the
// handle back from that address.
#include <windows.h>

#include "filters/engine/pixel_memory.h"

unsigned char* AllocateSystemPixelBlock(size_t bytes) {
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (handle == nullptr) return nullptr;
  void* block = GlobalLock(handle);
  if (block == nullptr) GlobalFree(handle);
  return static_cast<unsigned char*>(block);
}

void FreeSystemPixelBlock(unsigned char* block) {
  HGLOBAL handle = GlobalHandle(block);
  GlobalUnlock(handle);
  GlobalFree(handle);
}
