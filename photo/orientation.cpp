// File: photo/orientation.cpp
//
// Reads one SHORT from a JPEG's EXIF block, every offset checked against
// the bytes at hand (the file may be damaged or hostile), and moves pixels
// to undo an orientation.
#include "photo/orientation.h"

#include <cstring>

namespace {

class Reader {
 public:
  Reader(const uint8_t* data, size_t size, bool big_endian) : data_(data), size_(size), big_(big_endian) {}
  bool Has(size_t at, size_t count) const { return at <= size_ && count <= size_ - at; }
  uint16_t U16(size_t at) const {
    return big_ ? static_cast<uint16_t>(data_[at] << 8 | data_[at + 1])
                : static_cast<uint16_t>(data_[at + 1] << 8 | data_[at]);
  }
  uint32_t U32(size_t at) const {
    return big_ ? static_cast<uint32_t>(U16(at)) << 16 | U16(at + 2)
                : static_cast<uint32_t>(U16(at + 2)) << 16 | U16(at);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  bool big_;
};

// The orientation in a TIFF structure (the EXIF block after "Exif\0\0").
int TiffOrientation(const uint8_t* tiff, size_t size) {
  if (size < 8 || !(std::memcmp(tiff, "II", 2) == 0 || std::memcmp(tiff, "MM", 2) == 0)) return 0;
  const Reader r(tiff, size, tiff[0] == 'M');
  if (r.U16(2) != 42) return 0;
  const size_t ifd = r.U32(4);
  if (!r.Has(ifd, 2)) return 0;
  const size_t entries = r.U16(ifd);
  for (size_t i = 0; i < entries; ++i) {
    const size_t entry = ifd + 2 + i * 12;
    if (!r.Has(entry, 12)) return 0;
    if (r.U16(entry) == 0x0112 && r.U16(entry + 2) == 3 && r.U32(entry + 4) == 1) {
      const int orientation = r.U16(entry + 8);
      return orientation >= 1 && orientation <= 8 ? orientation : 0;
    }
  }
  return 0;
}

// Upright position (x, y) of a width x height upright picture -> its
// position in the stored pixels.
void StoredPosition(int orientation, int x, int y, int width, int height, int* sx, int* sy) {
  switch (orientation) {
    case 2: *sx = width - 1 - x; *sy = y; break;
    case 3: *sx = width - 1 - x; *sy = height - 1 - y; break;
    case 4: *sx = x; *sy = height - 1 - y; break;
    case 5: *sx = y; *sy = x; break;
    case 6: *sx = y; *sy = width - 1 - x; break;
    case 7: *sx = height - 1 - y; *sy = width - 1 - x; break;
    case 8: *sx = height - 1 - y; *sy = x; break;
    default: *sx = x; *sy = y; break;
  }
}

}  // namespace

int JpegExifOrientation(const uint8_t* data, size_t size) {
  if (size < 4 || data[0] != 0xff || data[1] != 0xd8) return 0;
  size_t at = 2;
  // Segments up to the first scan: marker, big-endian length (with itself).
  while (at + 4 <= size && data[at] == 0xff) {
    const uint8_t marker = data[at + 1];
    if (marker == 0xda || marker == 0xd9) break;
    const size_t length = static_cast<size_t>(data[at + 2]) << 8 | data[at + 3];
    if (length < 2 || length > size - at - 2) break;
    const uint8_t* payload = data + at + 4;
    const size_t payload_size = length - 2;
    if (marker == 0xe1 && payload_size > 6 && std::memcmp(payload, "Exif\0\0", 6) == 0) {
      return TiffOrientation(payload + 6, payload_size - 6);
    }
    at += 2 + length;
  }
  return 0;
}

void TurnUpright(int orientation, Image* image, std::vector<uint8_t>* alpha) {
  if (orientation < 2 || orientation > 8) return;
  const bool swapped = orientation >= 5;
  const int width = swapped ? image->height : image->width;
  const int height = swapped ? image->width : image->height;
  const int stored_width = image->width;
  Image upright;
  upright.width = width;
  upright.height = height;
  upright.bgr.resize(image->bgr.size());
  std::vector<uint8_t> upright_alpha(alpha->size());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int sx = 0, sy = 0;
      StoredPosition(orientation, x, y, width, height, &sx, &sy);
      std::memcpy(upright.pixel(x, y), image->pixel(sx, sy), 3);
      if (!alpha->empty()) {
        upright_alpha[static_cast<size_t>(y) * width + x] = (*alpha)[static_cast<size_t>(sy) * stored_width + sx];
      }
    }
  }
  *image = std::move(upright);
  *alpha = std::move(upright_alpha);
}
