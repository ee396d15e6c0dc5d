// A picture and its metadata turned upright, in both builds: the stored
// pixels moved to undo an EXIF orientation where the codec does not, and the
// EXIF block and XMP packet made to describe the upright picture written.
#ifndef CHROMALINE_PHOTO_UPRIGHT_H_
#define CHROMALINE_PHOTO_UPRIGHT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "photo/image.h"
#include "photo/photo_io.h"

// Turns stored pixels (and their alpha plane, if not empty) upright for an
// EXIF orientation 1..8: 2 mirrored, 3 upside down, 4 mirrored upside
// down, 5 transposed, 6 turned left (shown turned right), 7 transversed,
// 8 turned right (shown turned left).
void TurnUpright(int orientation, Image* image, std::vector<uint8_t>* alpha);

// Makes the EXIF block describe the upright picture of width x height
// (photo/tiff_directory's MakeExifUpright: orientation 1, no layout tags,
// the pixel dimensions, no thumbnail, whose longest side goes to
// metadata->thumbnail_side) and sets an XMP tiff:Orientation to 1. A
// damaged block is dropped, with the reason added to *note.
void MakeMetadataUpright(PhotoMetadata* metadata, int width, int height, std::string* note);

#endif  // CHROMALINE_PHOTO_UPRIGHT_H_
