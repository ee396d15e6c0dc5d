// The host bitmap on platforms without GDI.
//
// On Windows, callback code 8 answers with an HBITMAP. Everywhere else the
// handle-sized slot receives a pointer to a ChromalineHostBitmap that the
// host owns and keeps alive for the whole of message 14. The plug-in reads
// the pixels out of it and writes the filtered pixels back into the same
// memory; it never changes the descriptor itself.
//
// Contract:
//   size            sizeof(ChromalineHostBitmap); anything else is refused.
//   width, height   in pixels, both at least 1.
//   bits_per_pixel  24 (blue, green, red) or 32 (blue, green, red, unused).
//                   The fourth byte of a 32-bit pixel is left as it was.
//   stride          bytes from one row to the next in memory, at least
//                   width * bits_per_pixel / 8.
//   top_down        nonzero: the first row in memory is the top row of the
//                   picture; zero: the first row is the bottom row.
//   pixels          the first row in memory.
// A descriptor that breaks the contract is left untouched.
#ifndef CHROMALINE_HOST_BITMAP_H_
#define CHROMALINE_HOST_BITMAP_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ChromalineHostBitmap {
  uint32_t size;
  int32_t width;
  int32_t height;
  int32_t bits_per_pixel;
  int32_t stride;
  int32_t top_down;
  unsigned char* pixels;
} ChromalineHostBitmap;

#ifdef __cplusplus
}
#endif

#endif  // CHROMALINE_HOST_BITMAP_H_
