// Reading the big-endian numbers of JPEG segments, PNG chunks and the
// extended XMP chunk headers.
#ifndef CHROMALINE_PHOTO_BYTE_ORDER_H_
#define CHROMALINE_PHOTO_BYTE_ORDER_H_

#include <cstdint>

// The big-endian 32-bit number at p (JPEG's and PNG's byte order).
inline uint32_t BigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

#endif  // CHROMALINE_PHOTO_BYTE_ORDER_H_
