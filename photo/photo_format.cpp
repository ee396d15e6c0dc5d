// What the native and the Windows codecs share: the formats' names (what a
// file name's extension or a --format word asks for), the checks of an
// encoding request, and the rules of photo/codec_rules.h.
#include <cctype>
#include <cstring>
#include <filesystem>

#include "base/file_name.h"
#include "photo/codec_rules.h"
#include "photo/photo_io.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

bool PhotoFormatFromText(const std::string& text, PhotoFormat* format) {
  const std::string t = Lower(text);
  if (t == "png") *format = PhotoFormat::kPng;
  else if (t == "jpeg" || t == "jpg") *format = PhotoFormat::kJpeg;
  else if (t == "bmp") *format = PhotoFormat::kBmp;
  else if (t == "tiff" || t == "tif") *format = PhotoFormat::kTiff;
  else return false;
  return true;
}

bool PhotoFormatFromName(const std::string& name, PhotoFormat* format) {
  const std::string ext = Utf8FromPath(PathFromUtf8(name).extension());
  return ext.size() > 1 && PhotoFormatFromText(ext.substr(1), format);
}

bool PhotoFormatOfBytes(const uint8_t* data, size_t size, PhotoFormat* format) {
  const auto starts = [data, size](const char* signature, size_t length) {
    return size >= length && std::memcmp(data, signature, length) == 0;
  };
  if (starts("\x89PNG\r\n\x1a\n", 8)) *format = PhotoFormat::kPng;
  else if (starts("\xff\xd8\xff", 3)) *format = PhotoFormat::kJpeg;
  else if (starts("BM", 2)) *format = PhotoFormat::kBmp;
  else if (starts("II*\0", 4) || starts("MM\0*", 4)) *format = PhotoFormat::kTiff;
  else return false;
  return true;
}

const char* PhotoFormatName(PhotoFormat format) {
  switch (format) {
    case PhotoFormat::kPng: return "png";
    case PhotoFormat::kJpeg: return "jpeg";
    case PhotoFormat::kBmp: return "bmp";
    case PhotoFormat::kTiff: return "tiff";
  }
  return "?";
}

bool EncodeRequestValid(const Photo& photo, const EncodeOptions& options, std::string* error) {
  const Image& image = photo.image;
  const size_t pixels = static_cast<size_t>(image.width) * image.height;
  if (image.width <= 0 || image.height <= 0 || image.bgr.size() != pixels * 3) {
    *error = "no picture to encode";
    return false;
  }
  if (!photo.alpha.empty() && photo.alpha.size() != pixels) {
    *error = "the alpha plane does not match the picture's size";
    return false;
  }
  if (options.format == PhotoFormat::kJpeg && (options.quality < 1 || options.quality > 100)) {
    *error = "JPEG quality " + std::to_string(options.quality) + " is outside 1..100";
    return false;
  }
  return true;
}

bool AllGray(const Image& image) {
  const uint8_t* p = image.bgr.data();
  const uint8_t* end = p + image.bgr.size();
  for (; p != end; p += 3) {
    if (p[0] != p[1] || p[0] != p[2]) return false;
  }
  return true;
}

bool ProfileFits(const std::vector<uint8_t>& icc, bool gray) {
  if (icc.size() < 20) return true;
  const std::string space(icc.begin() + 16, icc.begin() + 20);  // the header's data colour space
  if (space == "GRAY") return gray;
  if (space == "RGB ") return !gray;
  return true;
}

void AddToList(std::string* list, const std::string& item, const char* separator) {
  if (!list->empty()) *list += separator;
  *list += item;
}
