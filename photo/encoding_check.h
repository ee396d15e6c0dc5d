// An encoder's output read back against what the run asked of it, before
// it replaces anything: the JPEG quality (estimated from the tables), the
// chroma subsampling, progressive or not, one channel for a gray picture,
// and each metadata block and ICC profile that was to be carried. The
// platform's encoder may pass over options (Wine's writes its own quality
// and subsampling); this says so instead of trusting it.
#ifndef CHROMALINE_PHOTO_ENCODING_CHECK_H_
#define CHROMALINE_PHOTO_ENCODING_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "photo/photo_io.h"

struct EncodingCheck {
  // What the bytes lack of what was asked, phrases joined by "; "
  // ("quality 76 where 95 was asked; no ICC profile"); empty when nothing.
  std::string shortfall;
  // For a JPEG written from a JPEG: how the bytes hold clearly less than
  // the source had and than was asked (a quality more than
  // kQualityTolerance below the source's, colour at a lower resolution);
  // empty otherwise. What --in-place must not accept.
  std::string lowered;
};

constexpr int kQualityTolerance = 5;

// JPEG, PNG and TIFF output are read back (a TIFF for its compression);
// other formats pass.
EncodingCheck CheckEncoding(const Photo& photo, const EncodeOptions& options, const std::vector<uint8_t>& bytes);

// "4:2:0", "4:2:2", "4:4:4", "4:4:0", else "HxV".
std::string SubsamplingName(int x, int y);

#endif  // CHROMALINE_PHOTO_ENCODING_CHECK_H_
