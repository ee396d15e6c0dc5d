// PNG chunks at the byte level, in both builds (libvips and the Windows
// codecs alike write the pixels; every chunk of metadata is ours): the
// EXIF, XMP, ICC profile, IPTC and comment blocks, ImageMagick's raw
// profile forms of them, and the chunks a PNG output carries as the file had
// them (every text chunk, the colour chunks); for other formats, PNG's
// standard keywords in their XMP and EXIF places.
#ifndef CHROMALINE_PHOTO_PNG_CHUNKS_H_
#define CHROMALINE_PHOTO_PNG_CHUNKS_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "photo/photo_io.h"

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
// iptc", bare or as Photoshop resources), the "Comment" text and the chunks
// carried as they are (PhotoMetadata::png_chunks: every other text chunk,
// the "Comment" too, gAMA, cHRM, sRGB and the chunks PNG marks safe to
// copy) of the chunks of a PNG file (see ReadPngHead). The EXIF block is
// given with its "Exif\0\0". Returns what could not be read ("the IPTC
// block is damaged: left out"), empty when all could.
std::string ReadPngMetadata(const uint8_t* data, size_t size, PhotoMetadata* metadata);

// Puts the ICC profile (iCCP), the chunks carried as they are, the EXIF
// block (eXIf), the XMP packet (uncompressed iTXt "XML:com.adobe.xmp", where
// readers look), the comment (tEXt, or iTXt when it is not ASCII; unless a
// "Comment" chunk is carried) and the IPTC records (as ImageMagick's raw
// profile text) into the bytes of a whole PNG file, before its image data,
// in place of the encoder's own chunks of those types. False when there is
// no image data in them (or the profile cannot be compressed).
bool AddPngMetadata(std::vector<uint8_t>* png, const PhotoMetadata& metadata);

// A text chunk's keyword and its text in UTF-8 (tEXt and zTXt are Latin-1).
struct PngText {
  std::string keyword;
  std::string text;
};
// The text chunks among chunks carried (PhotoMetadata::png_chunks) that can
// be read, in order.
std::vector<PngText> PngTexts(const std::vector<uint8_t>& chunks);

// For a JPEG or TIFF output: puts the standard keywords of the PNG text
// into the XMP packet where it lacks them (Title as dc:title, Author as
// dc:creator, Description as dc:description, Copyright as dc:rights,
// Creation Time as xmp:CreateDate, Software as xmp:CreatorTool), and
// Software into the EXIF block's IFD0 too (a block made for it if there
// is none).
void PutPngTextInPlace(PhotoMetadata* metadata);
// The PNG text an output of another format has no place for, as
// "PNG text date:create, Source": the keywords above take their XMP places
// (none where the output holds no XMP: xmp_held false), the first "Comment"
// is the comment; every other keyword, a keyword's second text and a
// Creation Time that is no date are named. Empty when nothing is lost.
std::string PngTextWithoutPlace(const PhotoMetadata& metadata, bool xmp_held);

// A date as XMP writes it ("2026-12-08T12:00:00+01:00") from ISO 8601,
// EXIF's "2026:12:08 12:00:00" or RFC 1123 ("Tue, 8 Dec 2026 12:00:00
// GMT"); false for any other text.
bool XmpDate(const std::string& text, std::string* iso);

#endif  // CHROMALINE_PHOTO_PNG_CHUNKS_H_
