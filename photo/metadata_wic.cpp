// File: photo/metadata_wic.cpp
//
// The metadata the Windows build keeps. The decoder gives the ICC profile
// (and the orientation it undoes); EXIF, IPTC, XMP and the comment of JPEG
// and PNG files are read from the file's bytes and written into the bytes
// WIC encoded for JPEG and PNG output (photo/jpeg_segments, photo/png_text),
// a JPEG block only where it fits one segment. TIFF output gets the ICC
// profile alone, and BMP nothing.
#include "photo/jpeg_segments.h"
#include "photo/photo_io.h"

std::string MetadataLeftOut(const Photo& photo, const EncodeOptions& options) {
  if (!options.keep_metadata) return "";
  const PhotoMetadata& m = photo.metadata;
  if (options.format == PhotoFormat::kPng) return "";
  if (options.format == PhotoFormat::kJpeg) return JpegMetadataTooLarge(m);
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
