// Rules the native and the Windows codecs share on encoding, and how their
// notes list things (defined in photo/photo_format.cpp).
#ifndef CHROMALINE_PHOTO_CODEC_RULES_H_
#define CHROMALINE_PHOTO_CODEC_RULES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "photo/image.h"

// Whether the picture is still gray: blue, green and red equal everywhere.
bool AllGray(const Image& image);

// Whether an ICC profile describes rows of this kind: a gray profile no
// longer fits a picture the filters coloured (sepia), nor an RGB one a
// gray channel. Profiles of other spaces are left to the encoder.
bool ProfileFits(const std::vector<uint8_t>& icc, bool gray);

// Adds `item` to a list, after `separator` when the list is not empty:
// names joined with ", " ("EXIF, XMP"), notes with "; ".
void AddToList(std::string* list, const std::string& item, const char* separator = ", ");

#endif  // CHROMALINE_PHOTO_CODEC_RULES_H_
