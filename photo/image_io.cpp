// The plain picture files of photo/image.h (what the tests and the compare
// command read and write), on the photo codecs of either platform (libvips
// natively, WIC on Windows): read upright without alpha or metadata,
// written in the format the extension names through the safe writer.
#include "base/safe_file.h"
#include "photo/image.h"
#include "photo/photo_io.h"

bool LoadImageFile(const std::string& path, Image* image, std::string* error) {
  Photo photo;
  if (!ReadPhoto(path, &photo, error)) return false;
  *image = std::move(photo.image);
  return true;
}

bool SaveImageFile(const std::string& path, const Image& image, std::string* error) {
  EncodeOptions options;
  if (!PhotoFormatFromName(path, &options.format)) {
    *error = path + ": unknown picture format (use .png, .bmp, .jpg or .tif)";
    return false;
  }
  Photo photo;
  photo.image = image;
  std::vector<uint8_t> bytes;
  if (!EncodePhoto(photo, options, &bytes, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return WriteFileSafely(path, bytes.data(), bytes.size(), error);
}
