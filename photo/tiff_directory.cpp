// Reads the orientation from an EXIF block (found in a JPEG's segments by
// photo/jpeg_segments) and the metadata tags of a TIFF file's first
// directory, edits an EXIF block (and an XMP packet) to describe the upright
// picture, every offset checked against the bytes at hand (the file may be
// damaged or hostile), and moves pixels to undo an orientation.
#include "photo/tiff_directory.h"

#include <cstring>

#include "photo/codec_rules.h"
#include "photo/jpeg_segments.h"

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
  bool big_endian() const { return big_; }

 private:
  const uint8_t* data_;
  size_t size_;
  bool big_;
};

bool TiffHeader(const uint8_t* header) {
  return (std::memcmp(header, "II", 2) == 0 || std::memcmp(header, "MM", 2) == 0) &&
         Reader(header, 8, header[0] == 'M').U16(2) == 42;
}

// The orientation in a TIFF structure (the EXIF block after "Exif\0\0").
int TiffOrientation(const uint8_t* tiff, size_t size) {
  if (size < 8 || !TiffHeader(tiff)) return 0;
  const Reader r(tiff, size, tiff[0] == 'M');
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

void Put16(uint8_t* at, uint16_t value, bool big_endian) {
  at[big_endian ? 0 : 1] = static_cast<uint8_t>(value >> 8);
  at[big_endian ? 1 : 0] = static_cast<uint8_t>(value);
}

void Put32(uint8_t* at, uint32_t value, bool big_endian) {
  Put16(at + (big_endian ? 0 : 2), static_cast<uint16_t>(value >> 16), big_endian);
  Put16(at + (big_endian ? 2 : 0), static_cast<uint16_t>(value), big_endian);
}

// Upright position (x, y) of a width x height upright picture -> its
// position in the stored pixels.
void StoredPosition(int orientation, int x, int y, int width, int height, int* sx, int* sy) {
  switch (orientation) {
    case 2:
      *sx = width - 1 - x;
      *sy = y;
      break;
    case 3:
      *sx = width - 1 - x;
      *sy = height - 1 - y;
      break;
    case 4:
      *sx = x;
      *sy = height - 1 - y;
      break;
    case 5:
      *sx = y;
      *sy = x;
      break;
    case 6:
      *sx = y;
      *sy = width - 1 - x;
      break;
    case 7:
      *sx = height - 1 - y;
      *sy = width - 1 - x;
      break;
    case 8:
      *sx = height - 1 - y;
      *sy = x;
      break;
    default:
      *sx = x;
      *sy = y;
      break;
  }
}

}  // namespace

uint32_t TiffFirstDirectory(const uint8_t* header) {
  return TiffHeader(header) ? Reader(header, 8, header[0] == 'M').U32(4) : 0;
}

std::string TiffMetadataNames(const uint8_t* header, const uint8_t* directory, size_t size) {
  if (!TiffHeader(header)) return "";
  const Reader r(directory, size, header[0] == 'M');
  if (!r.Has(0, 2)) return "";
  bool exif = false, iptc = false, xmp = false;
  const size_t entries = r.U16(0);
  for (size_t i = 0; i < entries && r.Has(2 + i * 12, 12); ++i) {
    const uint16_t tag = r.U16(2 + i * 12);
    // The EXIF and GPS directories, and the camera's tags a TIFF file keeps
    // in its first directory: description, make, model, date, artist,
    // copyright.
    exif = exif || tag == 0x8769 || tag == 0x8825 || tag == 0x010e || tag == 0x010f || tag == 0x0110 ||
           tag == 0x0132 || tag == 0x013b || tag == 0x8298;
    iptc = iptc || tag == 0x83bb;
    xmp = xmp || tag == 0x02bc;
  }
  std::string names;
  if (exif) AddToList(&names, "EXIF");
  if (iptc) AddToList(&names, "IPTC");
  if (xmp) AddToList(&names, "XMP");
  return names;
}

int JpegExifOrientation(const uint8_t* data, size_t size) {
  int orientation = 0;
  ForEachJpegSegment(data, size, [&orientation](uint8_t marker, const uint8_t* payload, size_t length) {
    if (marker != 0xe1 || length <= kExifSignatureSize || ExifTiffStart(payload, length) == 0) return true;
    orientation = TiffOrientation(payload + kExifSignatureSize, length - kExifSignatureSize);
    return false;  // the first EXIF segment only
  });
  return orientation;
}

int ExifOrientation(const std::vector<uint8_t>& exif) {
  const size_t start = ExifTiffStart(exif.data(), exif.size());
  return TiffOrientation(exif.data() + start, exif.size() - start);
}

bool MakeExifUpright(std::vector<uint8_t>* exif, bool* had_thumbnail) {
  const size_t start = ExifTiffStart(exif->data(), exif->size());
  uint8_t* tiff = exif->data() + start;
  const size_t size = exif->size() - start;
  if (size < 8 || !TiffHeader(tiff)) return false;
  const Reader r(tiff, size, tiff[0] == 'M');
  const size_t ifd = r.U32(4);
  if (!r.Has(ifd, 2)) return false;
  const size_t entries = r.U16(ifd);
  const size_t next = ifd + 2 + entries * 12;  // the link to IFD1
  if (!r.Has(next, 4)) return false;
  size_t orientation = 0;  // the entry, 0 when there is none
  for (size_t i = 0; i < entries; ++i) {
    const size_t entry = ifd + 2 + i * 12;
    const uint16_t tag = r.U16(entry), type = r.U16(entry + 2);
    const uint32_t count = r.U32(entry + 4);
    if (tag == 0x8769 || tag == 0x8825) {  // the EXIF and GPS directories
      if (type != 4 || count != 1 || !r.Has(r.U32(entry + 8), 2)) return false;
    } else if (tag == 0x0112) {
      if ((type != 3 && type != 4) || count != 1) return false;
      orientation = entry;
    }
  }
  const bool big = r.big_endian();
  if (orientation != 0) {
    if (r.U16(orientation + 2) == 3) Put16(tiff + orientation + 8, 1, big);
    else Put32(tiff + orientation + 8, 1, big);
  }
  if (had_thumbnail) *had_thumbnail = r.U32(next) != 0;
  Put32(tiff + next, 0, big);
  return true;
}

void ResetXmpOrientation(std::vector<uint8_t>* xmp) {
  static const char kName[] = "tiff:Orientation";
  const size_t name = sizeof(kName) - 1;
  uint8_t* const end = xmp->data() + xmp->size();
  for (uint8_t* at = xmp->data(); static_cast<size_t>(end - at) > name;) {
    uint8_t* found = static_cast<uint8_t*>(std::memchr(at, 't', static_cast<size_t>(end - at) - name));
    if (found == nullptr) return;
    at = found + 1;
    if (std::memcmp(found, kName, name) != 0) continue;
    uint8_t* p = found + name;
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
    if (p < end && *p == '=') {  // an attribute: ="6" or ='6'
      ++p;
      while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
      if (p == end || (*p != '"' && *p != '\'')) continue;
      ++p;
    } else if (p < end && *p == '>') {  // an element: >6<
      ++p;
    } else {
      continue;
    }
    if (end - p >= 2 && *p >= '2' && *p <= '8' && (p[1] == '"' || p[1] == '\'' || p[1] == '<')) *p = '1';
  }
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
