// File: photo/jpeg_encoding.h
//
// How a JPEG file was encoded, read from its header with libjpeg (natively):
// the quality it was saved at, its chroma subsampling, whether it is
// progressive and whether its Huffman tables were optimised, so that the
// filtered picture can be saved alike.
#ifndef CHROMALINE_HOST_PHOTO_JPEG_ENCODING_H_
#define CHROMALINE_HOST_PHOTO_JPEG_ENCODING_H_

#include <cstdint>
#include <string>

#include "photo/photo_io.h"

// Reads the header of the JPEG file at `path` (up to its first scan).
// False, with *encoding left alone, when it is no JPEG libjpeg can read.
bool ReadJpegEncoding(const std::string& path, JpegEncoding* encoding);

// The quality 1..100 whose tables, the standard ones scaled as libjpeg's
// jpeg_set_quality scales them, come closest to the given tables (64
// values each in natural order; `chrominance` may be null): exact for files
// that libjpeg, ImageMagick or libvips wrote, the nearest for a camera's
// own tables. Of equally close qualities, the highest.
int EstimateJpegQuality(const uint16_t* luminance, const uint16_t* chrominance);

#endif  // CHROMALINE_HOST_PHOTO_JPEG_ENCODING_H_
