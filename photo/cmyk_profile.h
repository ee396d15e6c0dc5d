// How the native codecs read a CMYK picture through the ICC profile it
// carries (defined with lcms in photo/cmyk_profile_lcms.cpp).
#ifndef CHROMALINE_PHOTO_CMYK_PROFILE_H_
#define CHROMALINE_PHOTO_CMYK_PROFILE_H_

#include <cstddef>
#include <cstdint>

// The rendering intent a CMYK profile's colours are read with, never with
// black-point compensation:
//   kPerceptual: the profile's perceptual table, its default one, which
//                ImageMagick's -profile reads (vips icc_transform reads
//                the colorimetric one unless asked; most press profiles
//                hold one table for both);
//   kRelative:   relative colorimetric, for a profile without a perceptual
//                table;
//   kUnusable:   no CMYK profile that can be read (damaged, of another
//                colour space, or without a table to read CMYK with).
enum class CmykIntent { kUnusable, kRelative, kPerceptual };

CmykIntent CmykProfileIntent(const uint8_t* icc, size_t size);

#endif  // CHROMALINE_PHOTO_CMYK_PROFILE_H_
