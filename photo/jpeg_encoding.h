// How a JPEG file was encoded, read from its header segments:
// the quality it was saved at, its chroma subsampling, whether it is
// progressive and whether its Huffman tables were optimised, so that the
// filtered picture can be saved alike.
#ifndef CHROMALINE_PHOTO_JPEG_ENCODING_H_
#define CHROMALINE_PHOTO_JPEG_ENCODING_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "photo/photo_io.h"

// Reads the header of the JPEG file at `path` (up to its first scan).
// False, with *encoding left alone, when it is no JPEG or its header is
// damaged (no frame, no table for the first component, a segment cut).
bool ReadJpegEncoding(const std::string& path, JpegEncoding* encoding);
// The same from the bytes of the file's head (see ReadJpegHead).
bool JpegEncodingFromHead(const uint8_t* data, size_t size, JpegEncoding* encoding);

// The width and height in a JPEG file's frame header; false when the bytes
// hold no frame.
bool JpegFrameSize(const uint8_t* data, size_t size, int* width, int* height);

// The quality 1..100 whose tables, the standard ones scaled as libjpeg's
// jpeg_set_quality scales them, come closest to the given tables (64
// values each in natural order; `chrominance` may be null): exact for files
// that libjpeg, ImageMagick or libvips wrote, the nearest for a camera's
// own tables. Of equally close qualities, the highest.
int EstimateJpegQuality(const uint16_t* luminance, const uint16_t* chrominance);

// What is wrong with the bytes of a JPEG file a decoder refused, for the
// message that names it: "not a complete JPEG file: ..." (it ends inside a
// header segment, or has no end-of-image marker after the scan), "its JPEG
// header is damaged" (a segment that is none, no frame or no table before
// the scan); empty when the bytes are no JPEG or look whole.
std::string JpegDamage(const uint8_t* data, size_t size);

#endif  // CHROMALINE_PHOTO_JPEG_ENCODING_H_
