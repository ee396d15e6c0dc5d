// File: host/photo_format.cpp
//
// The names of the photo formats, shared by the native and the Windows
// codecs: what a file name's extension or a --format word asks for.
#include <cctype>
#include <filesystem>

#include "host/photo_io.h"

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
  const std::string ext = std::filesystem::path(name).extension().string();
  return ext.size() > 1 && PhotoFormatFromText(ext.substr(1), format);
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
