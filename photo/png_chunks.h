// PNG chunks at the byte level, in both builds. Natively, the two text
// chunks neither libvips nor exiv2 hands over: the "Comment" (ImageMagick
// writes it after the image data, where libvips does not look, and exiv2
// takes only a "Description" for the comment), and the IPTC block in
// ImageMagick's "Raw profile type iptc" form, which libvips' PNG writer
// cannot name (its text keys end at the first space) and exiv2 would write
// only by turning the eXIf chunk into a text chunk as well. For codecs that
// read and write no PNG metadata (the Windows ones), every block: EXIF,
// XMP, IPTC and the comment.
#ifndef CHROMALINE_PHOTO_PNG_CHUNKS_H_
#define CHROMALINE_PHOTO_PNG_CHUNKS_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "photo/photo_io.h"

// The text of the first tEXt, zTXt or iTXt chunk of the PNG file whose
// keyword is `keyword` (in any case). False when there is none or the file
// cannot be read as PNG chunks.
bool ReadPngText(const std::string& path, const std::string& keyword, std::string* text);

// Adds a tEXt chunk to the bytes of a whole PNG file, before its image
// data. False when there is no image data in them.
bool AddPngText(std::vector<uint8_t>* png, const std::string& keyword, const std::string& text);

// Removes every chunk of `type` but the first from the bytes of a whole PNG
// file (libpng writes an eXIf chunk it was given both before and after the
// image data: two EXIF blocks, which readers take for a loop). Returns how
// many were removed.
size_t DropRepeatedPngChunks(std::vector<uint8_t>* png, const char* type);

// Bytes as ImageMagick's raw profile text: "\n<type>\n<size, 8 wide>\n"
// and the bytes in hexadecimal, 36 to a line.
std::string RawProfileText(const std::string& type, const std::vector<uint8_t>& bytes);

// A PNG file's signature and its chunks but the image data (IDAT), up to
// its end (IEND); empty when it is no PNG. What follows a cut chunk is not
// read.
std::vector<uint8_t> ReadPngHead(std::FILE* file);

// The EXIF block (eXIf, else ImageMagick's "Raw profile type exif" or
// "APP1"), the XMP packet (iTXt "XML:com.adobe.xmp", else "Raw profile type
// xmp"), the ICC profile (iCCP), the IPTC records ("Raw profile type
// iptc", bare or as Photoshop resources) and the "Comment" text of the chunks of a PNG file (see
// ReadPngHead). The EXIF block is given with its "Exif\0\0". Returns what
// could not be read ("the IPTC block is damaged: left out"), empty when all
// could.
std::string ReadPngMetadata(const uint8_t* data, size_t size, PhotoMetadata* metadata);

// Puts the ICC profile (iCCP), the EXIF block (eXIf), the XMP packet
// (iTXt), the comment (tEXt, or iTXt when it is not ASCII) and the IPTC
// records (as ImageMagick's raw profile text) into the bytes of a whole PNG
// file, before its image data. False when there is no image data in them
// (or the profile cannot be compressed).
bool AddPngMetadata(std::vector<uint8_t>* png, const PhotoMetadata& metadata);

#endif  // CHROMALINE_PHOTO_PNG_CHUNKS_H_
