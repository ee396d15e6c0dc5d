// EXIF orientation where the Windows codecs lack it: WIC's metadata reader
// and flip-rotator come first; these are what the codecs fall back on where
// those parts are missing (Wine's WIC reads no JPEG metadata and its
// flip-rotator only flips upside down).
#ifndef CHROMALINE_PHOTO_TIFF_DIRECTORY_H_
#define CHROMALINE_PHOTO_TIFF_DIRECTORY_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "photo/image.h"

// 1..8 from IFD0 of the first EXIF segment of the JPEG bytes given (the
// start of the file is enough); 0 when there is none or it is damaged.
int JpegExifOrientation(const uint8_t* data, size_t size);

// 1..8 from IFD0 of an EXIF block ("Exif\0\0" and a TIFF structure, or the
// TIFF structure alone); 0 when it has none or is damaged.
int ExifOrientation(const std::vector<uint8_t>& exif);

// The metadata a TIFF file's first directory points to, by name ("EXIF,
// IPTC, XMP"; GPS counts as EXIF), given the file's first 8 bytes and the
// directory they point to (`directory`: its entry count and entries, as
// many bytes as the file has there). Empty when it points to none or the
// bytes are no TIFF structure.
std::string TiffMetadataNames(const uint8_t* header, const uint8_t* directory, size_t size);
// Where the first directory of a TIFF file starts, from its first 8 bytes;
// 0 when they are no TIFF header.
uint32_t TiffFirstDirectory(const uint8_t* header);

// Makes an EXIF block (as above) describe the upright picture, in place
// and in its own byte order: the orientation of IFD0 set to 1 and IFD0's
// link to IFD1 (the thumbnail, which shows the old pixels) cut. False, with
// the block left as it was, when its structure is damaged: IFD0 or the
// EXIF and GPS directories it points to lie outside the block, or the
// orientation is of no integer type.
bool MakeExifUpright(std::vector<uint8_t>* exif, bool* had_thumbnail = nullptr);

// Sets an XMP packet's tiff:Orientation, as an attribute or an element, to
// 1 in place (a single digit for a single digit: the packet keeps its size).
void ResetXmpOrientation(std::vector<uint8_t>* xmp);

// Turns stored pixels (and their alpha plane, if not empty) upright for an
// EXIF orientation 1..8: 2 mirrored, 3 upside down, 4 mirrored upside
// down, 5 transposed, 6 turned left (shown turned right), 7 transversed,
// 8 turned right (shown turned left).
void TurnUpright(int orientation, Image* image, std::vector<uint8_t>* alpha);

#endif  // CHROMALINE_PHOTO_TIFF_DIRECTORY_H_
