// TIFF structures at the byte level, in both builds: the directories of an
// EXIF block (a TIFF structure after "Exif\0\0") and of a TIFF file's head.
// The EXIF orientation where the Windows codecs lack it (Wine's WIC reads
// no JPEG metadata), the one routine that makes an EXIF block describe the
// upright picture, the tags a TIFF file's first directory holds, and tags
// added to a directory. Every offset is checked against the bytes at hand.
#ifndef CHROMALINE_PHOTO_TIFF_DIRECTORY_H_
#define CHROMALINE_PHOTO_TIFF_DIRECTORY_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// 1..8 from IFD0 of the first EXIF segment of the JPEG bytes given (the
// start of the file is enough); 0 when there is none or it is damaged.
int JpegExifOrientation(const uint8_t* data, size_t size);

// 1..8 from IFD0 of an EXIF block ("Exif\0\0" and a TIFF structure, or the
// TIFF structure alone); 0 when it has none or is damaged.
int ExifOrientation(const std::vector<uint8_t>& exif);

// A TIFF file's first 8 bytes and the directory they point to: its entry
// count and entries, as many bytes as the file has there (metadata and
// layout tags come early in the sorted entries: up to 4096 are read).
struct TiffHead {
  uint8_t header[8] = {};
  std::vector<uint8_t> directory;
};
// False when the file does not start as a TIFF file does.
bool ReadTiffHead(std::FILE* file, TiffHead* head);

// The metadata a TIFF file's first directory points to, by name ("EXIF,
// IPTC, XMP"; GPS and the camera's tags in the directory count as EXIF),
// given the file's first 8 bytes and the directory (see TiffHead). Empty
// when it points to none or the bytes are no TIFF structure.
std::string TiffMetadataNames(const uint8_t* header, const uint8_t* directory, size_t size);
// Where the first directory of a TIFF file starts, from its first 8 bytes;
// 0 when they are no TIFF header.
uint32_t TiffFirstDirectory(const uint8_t* header);
// The value of a tag of the directory that holds one SHORT or LONG (the
// compression, 259; the rows per strip, 278); 0 when it holds none.
uint32_t TiffDirectoryNumber(const TiffHead& head, uint16_t tag);

// The compression a TIFF written from a file of `source` compression has
// (the Compression tag's values): none (1), LZW (5), Deflate (8; Adobe's 32946
// too) and PackBits (32773) kept, anything else LZW. And a compression's
// name ("LZW").
int TiffCompressionKept(int source);
std::string TiffCompressionName(int compression);

// Tags of IFD0 that describe how a TIFF file lays out its pixels, and the
// blocks a TIFF file keeps in tags (XMP, IPTC, ICC profile, Photoshop
// resources): none of them belongs in the EXIF block of another file.
bool TiffLayoutTag(uint16_t tag);

// Makes an EXIF block (as above) describe the upright picture of width x
// height, in place and in its own byte order: the orientation of IFD0 set
// to 1, IFD0's layout tags dropped, the EXIF directory's pixel dimensions
// (where it has them) set, and IFD0's link to IFD1 (the thumbnail, which
// shows the old pixels) cut; *thumbnail_side is the longest side of that
// thumbnail (160 where it cannot be measured), 0 when there was none. False,
// with the block left as it was, when its structure is damaged: IFD0 or
// the EXIF and GPS directories it points to lie outside the block, or the
// orientation or a pixel dimension is of no integer type.
bool MakeExifUpright(std::vector<uint8_t>* exif, int width, int height, int* thumbnail_side);

// A tag to add to a directory: ASCII text (type 2), or one SHORT (3) or
// LONG (4) number.
struct TiffTag {
  uint16_t tag = 0;
  uint16_t type = 2;
  std::string text;
  uint32_t number = 0;
};
// Adds to IFD0 of the TIFF structure at `start` in *bytes (a whole TIFF
// file at 0, or an EXIF block after its "Exif\0\0") the tags it lacks: IFD0
// is written again at the end with them in tag order and their values
// after it (every other offset stays right; the old directory is left
// unreferenced). False, with the bytes unchanged, when the structure is
// damaged.
bool AddTiffTags(std::vector<uint8_t>* bytes, size_t start, const std::vector<TiffTag>& tags);

#endif  // CHROMALINE_PHOTO_TIFF_DIRECTORY_H_
