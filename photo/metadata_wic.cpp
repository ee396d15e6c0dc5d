// File: photo/metadata_wic.cpp
//
// The metadata the Windows codecs keep. Their reader takes only the ICC
// profile (and the orientation it undoes), and their encoder writes that
// profile where it takes a colour context; EXIF, IPTC, XMP and the comment
// are neither read nor written here yet, so a picture read here never holds
// them, and one handed in with them is told they are left out.
#include "photo/photo_io.h"

std::string MetadataLeftOut(const Photo& photo, const EncodeOptions& options) {
  if (!options.keep_metadata) return "";
  const PhotoMetadata& m = photo.metadata;
  std::string text;
  const auto add = [&text](bool present, const char* name) {
    if (present) text += (text.empty() ? "" : ", ") + std::string(name);
  };
  add(!m.exif.empty(), "EXIF");
  add(!m.iptc.empty(), "IPTC");
  add(!m.xmp.empty(), "XMP");
  add(!m.comment.empty(), "comment");
  add(!m.icc.empty() && options.format == PhotoFormat::kBmp, "ICC profile");
  return text;
}
