// The metadata libvips does not carry, through exiv2 (native build): IPTC
// in JPEG and TIFF files, the JPEG comment, the EXIF of TIFF files, and
// the EXIF thumbnail remade. (A PNG file's chunks are read and written by
// photo/png_chunks in both builds.) Callable from several threads at
// once, like the codecs.
#ifndef CHROMALINE_PHOTO_METADATA_EXIV2_H_
#define CHROMALINE_PHOTO_METADATA_EXIV2_H_

#include <string>
#include <vector>

#include "photo/photo_io.h"

struct FileMetadata {
  PhotoMetadata blocks;  // EXIF as found, IPTC, XMP, comment (no ICC profile: libvips reads that)
  int orientation = 1;   // the EXIF orientation, 1 when there is none
  std::string problem;   // why the file's metadata could not be read; empty when it could
};

// The EXIF block with `jpeg` as its thumbnail (IFD1), replacing any; false
// with the block unchanged when exiv2 cannot read it.
bool PutExifThumbnail(std::vector<uint8_t>* exif, const std::vector<uint8_t>& jpeg);

// What exiv2 finds in the file. A format exiv2 does not know gives nothing
// and no problem (libvips' own blocks are all there is).
FileMetadata ReadMetadataExiv2(const std::string& path);

// Writes into the bytes libvips encoded what libvips does not write there:
// IPTC and the comment into JPEG, EXIF, IPTC and the comment (as the image
// description) into TIFF, through exiv2; every chunk of metadata into PNG
// (photo/png_chunks, as in the Windows build).
// False with the reason in *error.
bool AddMetadataLibvipsLeavesOut(const PhotoMetadata& metadata, PhotoFormat format, std::vector<uint8_t>* bytes,
                                 std::string* error);

#endif  // CHROMALINE_PHOTO_METADATA_EXIV2_H_
