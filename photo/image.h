// A picture in the host's memory: rows from the top, three bytes per pixel
// in blue, green, red order, no padding.
#ifndef CHROMALINE_PHOTO_IMAGE_H_
#define CHROMALINE_PHOTO_IMAGE_H_

#include <cstdint>
#include <string>
#include <vector>

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;

  uint8_t* pixel(int x, int y) { return &bgr[(static_cast<size_t>(y) * width + x) * 3]; }
  const uint8_t* pixel(int x, int y) const { return &bgr[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Picture files through the photo codecs (photo/photo_io.h): any format
// they read, turned upright, without alpha or metadata. Saving picks the
// format from the extension (.png, .bmp, .jpg or .tif, where the build can
// write it) and replaces the file through the safe writer.
bool LoadImageFile(const std::string& path, Image* image, std::string* error);
bool SaveImageFile(const std::string& path, const Image& image, std::string* error);

#endif  // CHROMALINE_PHOTO_IMAGE_H_
