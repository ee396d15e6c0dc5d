// How the native codecs read a CMYK picture through the ICC profile it
// carries (defined with lcms in photo/cmyk_profile_lcms.cpp).
#ifndef CHROMALINE_PHOTO_CMYK_PROFILE_H_
#define CHROMALINE_PHOTO_CMYK_PROFILE_H_

#include <cstddef>
#include <cstdint>

// The rendering intent a CMYK profile's colours are read with.
//   kRelative:   relative colorimetric, no black-point compensation, as
//                ImageMagick's -profile and vips icc_transform convert;
//   kPerceptual: the profile's perceptual table, for a profile that has no
//                colorimetric one (libvips would quietly use its own
//                press profile instead);
//   kUnusable:   no CMYK profile that can be read (damaged, of another
//                colour space, or without a table to read CMYK with).
enum class CmykIntent { kUnusable, kRelative, kPerceptual };

CmykIntent CmykProfileIntent(const uint8_t* icc, size_t size);

#endif  // CHROMALINE_PHOTO_CMYK_PROFILE_H_
