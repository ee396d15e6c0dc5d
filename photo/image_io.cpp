// File: photo/image_io.cpp
//
// The host's plain picture files natively (what the tests and the compare
// command read and write), on the photo codecs: read upright without alpha
// or metadata, written in the format the extension names.
#include <cerrno>
#include <cstdio>
#include <cstring>

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
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int write_errno = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    *error = path + ": " + std::strerror(written ? errno : write_errno);
    std::remove(path.c_str());
    return false;
  }
  return true;
}
