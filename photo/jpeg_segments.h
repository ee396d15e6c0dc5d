// A JPEG file's segments at the byte level, in both builds: the metadata
// blocks read from its APPn and COM segments, and written into the bytes
// an encoder made, for codecs that neither read nor write them (the
// Windows ones). Every length is checked against the bytes at hand: a file
// may be cut or damaged.
#ifndef CHROMALINE_PHOTO_JPEG_SEGMENTS_H_
#define CHROMALINE_PHOTO_JPEG_SEGMENTS_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "photo/byte_order.h"
#include "photo/photo_io.h"

// The payload a segment holds at most (its length field counts itself).
constexpr size_t kMostJpegPayload = 65533;

// The signatures that start the payloads of the metadata segments, and that
// other formats' copies of those blocks keep (PNG's raw profiles, exiv2's
// EXIF): the EXIF block's "Exif\0\0" before its TIFF structure, Adobe's
// XMP name and Photoshop's, each with its NUL.
constexpr char kExifSignature[] = "Exif\0\0";
constexpr size_t kExifSignatureSize = 6;
constexpr char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";
constexpr size_t kXmpSignatureSize = sizeof(kXmpSignature);
constexpr char kPhotoshopSignature[] = "Photoshop 3.0";
constexpr size_t kPhotoshopSignatureSize = sizeof(kPhotoshopSignature);

// Where the TIFF structure of an EXIF block starts: after its "Exif\0\0",
// or at 0 when the block is the TIFF structure alone.
inline size_t ExifTiffStart(const uint8_t* exif, size_t size) {
  return size >= kExifSignatureSize && std::memcmp(exif, kExifSignature, kExifSignatureSize) == 0
             ? kExifSignatureSize
             : 0;
}

// Calls `segment` with each marker and payload from after the start of
// image up to the first scan or the end of the bytes; it returns false to
// stop. False when the bytes are no JPEG or a length runs past them before
// the first scan.
bool ForEachJpegSegment(const uint8_t* data, size_t size,
                        const std::function<bool(uint8_t marker, const uint8_t* payload, size_t size)>& segment);

// The bytes of a JPEG file from its start to its first scan (where every
// header segment is), read segment by segment; empty when it is no JPEG.
std::vector<uint8_t> ReadJpegHead(std::FILE* file);

// The EXIF block (APP1 "Exif"), the XMP packet (APP1, Adobe's name, with
// its extended part merged in: photo/jpeg_xmp.h), the ICC profile (APP2
// chunks), the IPTC records (APP13 Photoshop resource 0x0404) and the
// comment (the first COM) of a JPEG file's head. Returns what could not be
// read ("the IPTC block is damaged: left out"), empty when all could.
std::string ReadJpegMetadata(const uint8_t* data, size_t size, PhotoMetadata* metadata);
// The XMP packet alone, as above; *xmp stays empty when there is none.
std::string ReadJpegXmp(const uint8_t* data, size_t size, std::vector<uint8_t>* xmp);

// The IPTC records (resource 0x0404) in Photoshop's image resources, the
// payload of APP13 after its signature; false when a resource is cut or
// the bytes are no resources. *iptc stays empty when there is none.
bool IptcFromPhotoshop(const uint8_t* data, size_t size, std::vector<uint8_t>* iptc);

// The names of the blocks (EXIF, IPTC, XMP, comment) too large for a JPEG
// segment (XMP: too large even split into a standard and an extended part),
// and an ICC profile too large for its 255 chunks, as a list ("EXIF,
// XMP"); empty when all fit.
std::string JpegMetadataTooLarge(const PhotoMetadata& metadata);

// The payload of the JFIF segment a JPEG written from the photo starts
// with: a JPEG source's own (its densities swapped where the picture was
// turned a quarter), none for a JPEG source that had none (empty), else
// version 1.01 with the resolution in whole dots per inch, rounded, or an
// aspect ratio of 1:1 where the photo gave none.
std::vector<uint8_t> JfifPayload(const Photo& photo);

// Makes the header of the bytes an encoder wrote hold what the photo holds:
// the encoder's own JFIF, EXIF, XMP, ICC, Photoshop (IPTC) and comment
// segments before its first scan are taken out, and in their place, after
// the start of image: the JFIF segment given (none when empty), the EXIF
// block, the XMP packet (split into standard and extended segments where
// it must be), the ICC profile, the IPTC records and the comment that fit.
// The encoder's other segments stay as they were. False when the bytes do
// not start a JPEG or a segment runs past them.
bool AddJpegMetadata(std::vector<uint8_t>* jpeg, const std::vector<uint8_t>& jfif, const PhotoMetadata& metadata);

#endif  // CHROMALINE_PHOTO_JPEG_SEGMENTS_H_
