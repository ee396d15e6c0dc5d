// Moving pixels between the host's bitmap and a 24-bit bottom-up
// PixelBuffer. On Windows the handle is an HBITMAP and the transfer goes
// through GetDIBits / SetDIBits; elsewhere it is a ChromalineHostBitmap*
// (include/chromaline/host_bitmap.h).
#ifndef CHROMALINE_FILTERS_ENGINE_BITMAP_TRANSFER_H_
#define CHROMALINE_FILTERS_ENGINE_BITMAP_TRANSFER_H_

#include <cstdint>

#include "filters/pixel_buffer.h"

using BitmapHandle = uintptr_t;

// A new 24-bit buffer holding a copy of the bitmap's pixels; empty for a
// null handle, a bitmap of no or absurd size, or when memory runs out.
PixelBuffer ReadBitmapPixels(BitmapHandle bitmap);

// Replaces the bitmap's pixels with the buffer's (same width and height).
void WriteBitmapPixels(BitmapHandle bitmap, const PixelBuffer& buffer);

#endif  // CHROMALINE_FILTERS_ENGINE_BITMAP_TRANSFER_H_
