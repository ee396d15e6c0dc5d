// File: host/photo_io_basic.cpp
//
// A first form of the photo codecs on top of the host's picture files
// (PNG and BMP, no metadata, no alpha): enough for the command line to be
// built against host/photo_io.h while the photo codecs are written.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "host/photo_io.h"

bool PhotoFormatWritable(PhotoFormat format) {
  return format == PhotoFormat::kPng || format == PhotoFormat::kBmp;
}

const char* PhotoCodecLimits() {
  return "JPEG and TIFF output, alpha, EXIF, XMP and ICC profiles are not kept by this build.\n";
}

bool ReadPhoto(const std::string& path, Photo* photo, std::string* error) {
  *photo = Photo();
  return LoadImageFile(path, &photo->image, error);
}

bool EncodePhoto(const Photo& photo, const EncodeOptions& options, std::vector<uint8_t>* bytes, std::string* error) {
  if (!PhotoFormatWritable(options.format)) {
    *error = std::string("cannot write ") + PhotoFormatName(options.format) + " pictures";
    return false;
  }
  // The host's picture writer goes to a file: a private one in the system's
  // temporary folder, read back and removed.
  std::error_code failure;
  std::filesystem::path temp = std::filesystem::temp_directory_path(failure);
  if (failure) {
    *error = "no temporary folder: " + failure.message();
    return false;
  }
  std::random_device random;
  temp /= "chromaline-" + std::to_string(random()) + "." + PhotoFormatName(options.format);
  if (!SaveImageFile(temp.string(), photo.image, error)) {
    std::filesystem::remove(temp, failure);
    return false;
  }
  std::ifstream in(temp, std::ios::binary);
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  const bool ok = !in.bad();
  in.close();
  std::filesystem::remove(temp, failure);
  if (!ok) *error = temp.string() + ": cannot be read back";
  return ok;
}
