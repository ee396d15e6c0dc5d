// File: photo/png_text.h
//
// The two PNG text chunks neither libvips nor exiv2 hands over: the
// "Comment" (ImageMagick writes it after the image data, where libvips does
// not look, and exiv2 takes only a "Description" for the comment), and the
// IPTC block in ImageMagick's "Raw profile type iptc" form, which libvips'
// PNG writer cannot name (its text keys end at the first space) and exiv2
// would write only by turning the eXIf chunk into a text chunk as well.
#ifndef CHROMALINE_PHOTO_PNG_TEXT_H_
#define CHROMALINE_PHOTO_PNG_TEXT_H_

#include <cstdint>
#include <string>
#include <vector>

// The text of the first tEXt, zTXt or iTXt chunk of the PNG file whose
// keyword is `keyword` (in any case). False when there is none or the file
// cannot be read as PNG chunks.
bool ReadPngText(const std::string& path, const std::string& keyword, std::string* text);

// Adds a tEXt chunk to the bytes of a whole PNG file, before its image
// data. False when there is no image data in them.
bool AddPngText(std::vector<uint8_t>* png, const std::string& keyword, const std::string& text);

// Bytes as ImageMagick's raw profile text: "\n<type>\n<size, 8 wide>\n"
// and the bytes in hexadecimal, 36 to a line.
std::string RawProfileText(const std::string& type, const std::vector<uint8_t>& bytes);

#endif  // CHROMALINE_PHOTO_PNG_TEXT_H_
