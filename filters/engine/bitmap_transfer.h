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

// Image rows first .. first + count - 1 (from the top) of the bitmap, as
// ReadBitmapPixels would give them, into `out`: 24-bit rows of
// RowStride(width, 24) bytes, stored bottom-up like a PixelBuffer's (the
// last of the rows first). False, with `out` undefined, when the bitmap is
// not `width` x `height` or the rows cannot be read.
bool ReadBitmapRows(BitmapHandle bitmap, int width, int height, int first, int count, unsigned char* out);

// Replaces the bitmap's pixels with the buffer's (same width and height).
void WriteBitmapPixels(BitmapHandle bitmap, const PixelBuffer& buffer);

#endif  // CHROMALINE_FILTERS_ENGINE_BITMAP_TRANSFER_H_
