// File: host/image_io_stb.cpp
//
// Picture files natively, through Debian's stb image library (PNG, BMP,
// JPEG and more in; PNG and BMP out).
#include <algorithm>
#include <cstring>

#include "host/image.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_NO_HDR
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  return std::equal(text.end() - static_cast<std::ptrdiff_t>(n), text.end(), suffix,
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

}  // namespace

bool LoadImageFile(const std::string& path, Image* image, std::string* error) {
  int width = 0, height = 0, channels = 0;
  unsigned char* rgb = stbi_load(path.c_str(), &width, &height, &channels, 3);
  if (rgb == nullptr) {
    *error = path + ": cannot be read as a picture (" + stbi_failure_reason() + ")";
    return false;
  }
  image->width = width;
  image->height = height;
  image->bgr.resize(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < image->bgr.size(); i += 3) {
    image->bgr[i] = rgb[i + 2];
    image->bgr[i + 1] = rgb[i + 1];
    image->bgr[i + 2] = rgb[i];
  }
  stbi_image_free(rgb);
  return true;
}

bool SaveImageFile(const std::string& path, const Image& image, std::string* error) {
  std::vector<uint8_t> rgb(image.bgr.size());
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = image.bgr[i + 2];
    rgb[i + 1] = image.bgr[i + 1];
    rgb[i + 2] = image.bgr[i];
  }
  int ok = 0;
  if (EndsWith(path, ".bmp")) {
    ok = stbi_write_bmp(path.c_str(), image.width, image.height, 3, rgb.data());
  } else if (EndsWith(path, ".png")) {
    ok = stbi_write_png(path.c_str(), image.width, image.height, 3, rgb.data(), image.width * 3);
  } else {
    *error = path + ": unknown picture type (use .png or .bmp)";
    return false;
  }
  if (ok == 0) *error = path + ": cannot be written";
  return ok != 0;
}
