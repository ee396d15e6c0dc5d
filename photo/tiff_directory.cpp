// TIFF directories read and edited in place: the orientation of an EXIF
// block (found in a JPEG's segments by photo/jpeg_segments, or in a PNG's
// chunks), the tags of a TIFF file's first directory, an EXIF block made to
// describe the upright picture, tags added to a directory. Every offset is
// checked against the bytes at hand (the file may be damaged or hostile).
#include "photo/tiff_directory.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>

#include "photo/codec_rules.h"
#include "photo/jpeg_encoding.h"
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

int TiffCompressionKept(int source) {
  if (source == 32946) return 8;
  return source == 1 || source == 8 || source == 32773 ? source : 5;
}

std::string TiffCompressionName(int compression) {
  switch (compression) {
    case 1: return "none";
    case 5: return "LZW";
    case 8:
    case 32946: return "Deflate";
    case 32773: return "PackBits";
  }
  return "compression " + std::to_string(compression);
}

bool TiffLayoutTag(uint16_t tag) {
  static const uint16_t kTags[] = {0x00fe, 0x00ff, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x010a, 0x0111, 0x0115,
                                   0x0116, 0x0117, 0x011c, 0x013d, 0x0140, 0x0142, 0x0143, 0x0144, 0x0145, 0x014a,
                                   0x0152, 0x0153, 0x015b, 0x0201, 0x0202, 0x0212, 0x02bc, 0x83bb, 0x8649, 0x8773};
  return std::find(std::begin(kTags), std::end(kTags), tag) != std::end(kTags);
}

bool ReadTiffHead(std::FILE* file, TiffHead* head) {
  head->directory.clear();
  if (std::fseek(file, 0, SEEK_SET) != 0 || std::fread(head->header, 1, 8, file) != 8) return false;
  const uint32_t at = TiffFirstDirectory(head->header);
  if (at < 8 || at > static_cast<uint32_t>(LONG_MAX) || std::fseek(file, static_cast<long>(at), SEEK_SET) != 0) {
    return false;
  }
  head->directory.resize(2 + 4096 * 12);
  head->directory.resize(std::fread(head->directory.data(), 1, head->directory.size(), file));
  return true;
}

uint32_t TiffDirectoryNumber(const TiffHead& head, uint16_t tag) {
  if (!TiffHeader(head.header)) return 0;
  const Reader r(head.directory.data(), head.directory.size(), head.header[0] == 'M');
  if (!r.Has(0, 2)) return 0;
  const size_t entries = r.U16(0);
  for (size_t i = 0; i < entries && r.Has(2 + i * 12, 12); ++i) {
    const size_t entry = 2 + i * 12;
    if (r.U16(entry) != tag || r.U32(entry + 4) != 1) continue;
    const uint16_t type = r.U16(entry + 2);
    return type == 3 ? r.U16(entry + 8) : type == 4 ? r.U32(entry + 8) : 0;
  }
  return 0;
}

bool MakeExifUpright(std::vector<uint8_t>* exif, int width, int height, int* thumbnail_side) {
  const size_t start = ExifTiffStart(exif->data(), exif->size());
  uint8_t* tiff = exif->data() + start;
  const size_t size = exif->size() - start;
  if (size < 8 || !TiffHeader(tiff)) return false;
  const Reader r(tiff, size, tiff[0] == 'M');
  const bool big = r.big_endian();
  const size_t ifd = r.U32(4);
  if (!r.Has(ifd, 2)) return false;
  const size_t entries = r.U16(ifd);
  const size_t next = ifd + 2 + entries * 12;  // the link to IFD1
  if (!r.Has(next, 4)) return false;
  size_t orientation = 0, exif_ifd = 0;  // 0 when there is none
  for (size_t i = 0; i < entries; ++i) {
    const size_t entry = ifd + 2 + i * 12;
    const uint16_t tag = r.U16(entry), type = r.U16(entry + 2);
    const uint32_t count = r.U32(entry + 4);
    if (tag == 0x8769 || tag == 0x8825) {  // the EXIF and GPS directories
      if (type != 4 || count != 1 || !r.Has(r.U32(entry + 8), 2)) return false;
      if (tag == 0x8769) exif_ifd = r.U32(entry + 8);
    } else if (tag == 0x0112) {
      if ((type != 3 && type != 4) || count != 1) return false;
      orientation = entry;
    }
  }
  // The EXIF directory's pixel dimensions, as LONG (libtiff refuses a
  // SHORT there): the value fits the entry either way.
  size_t dimensions[2] = {0, 0};
  if (exif_ifd != 0) {
    const size_t count = r.U16(exif_ifd);
    for (size_t i = 0; i < count; ++i) {
      const size_t entry = exif_ifd + 2 + i * 12;
      if (!r.Has(entry, 12)) return false;
      const uint16_t tag = r.U16(entry), type = r.U16(entry + 2);
      if (tag != 0xa002 && tag != 0xa003) continue;
      if ((type != 3 && type != 4) || r.U32(entry + 4) != 1) return false;
      dimensions[tag - 0xa002] = entry;
    }
  }
  int side = 0;
  const size_t ifd1 = r.U32(next);
  if (ifd1 != 0) {
    side = 160;  // a thumbnail of a kind we cannot measure: the usual 160 x 120
    uint32_t at = 0, length = 0;
    for (size_t i = 0; r.Has(ifd1, 2) && i < r.U16(ifd1) && r.Has(ifd1 + 2 + i * 12, 12); ++i) {
      const size_t entry = ifd1 + 2 + i * 12;
      if (r.U16(entry) == 0x0201) at = r.U32(entry + 8);
      if (r.U16(entry) == 0x0202) length = r.U32(entry + 8);
    }
    int w = 0, h = 0;
    if (at != 0 && r.Has(at, length) && JpegFrameSize(tiff + at, length, &w, &h) && std::max(w, h) > 0) {
      side = std::max(w, h);
    }
  }
  if (orientation != 0) {
    if (r.U16(orientation + 2) == 3) Put16(tiff + orientation + 8, 1, big);
    else Put32(tiff + orientation + 8, 1, big);
  }
  for (size_t k = 0; k < 2; ++k) {
    if (dimensions[k] == 0) continue;
    Put16(tiff + dimensions[k] + 2, 4, big);
    Put32(tiff + dimensions[k] + 8, static_cast<uint32_t>(k == 0 ? width : height), big);
  }
  // The layout tags out, the entries after them moved up; the link to IFD1
  // cut after the last.
  size_t kept = 0;
  for (size_t i = 0; i < entries; ++i) {
    uint8_t* entry = tiff + ifd + 2 + i * 12;
    if (TiffLayoutTag(r.U16(ifd + 2 + i * 12))) continue;
    if (kept != i) std::memmove(tiff + ifd + 2 + kept * 12, entry, 12);
    ++kept;
  }
  Put16(tiff + ifd, static_cast<uint16_t>(kept), big);
  Put32(tiff + ifd + 2 + kept * 12, 0, big);
  *thumbnail_side = side;
  return true;
}

bool AddTiffTags(std::vector<uint8_t>* bytes, size_t start, const std::vector<TiffTag>& tags) {
  if (bytes->size() < start || bytes->size() - start < 8 || !TiffHeader(bytes->data() + start)) return false;
  const Reader r(bytes->data() + start, bytes->size() - start, (*bytes)[start] == 'M');
  const bool big = r.big_endian();
  const size_t ifd = r.U32(4);
  if (!r.Has(ifd, 2) || !r.Has(ifd + 2, size_t{r.U16(ifd)} * 12 + 4)) return false;
  const size_t entries = r.U16(ifd);
  std::vector<std::vector<uint8_t>> directory;  // the entries, 12 bytes each, in tag order
  std::vector<uint16_t> present;
  for (size_t i = 0; i < entries; ++i) {
    const uint8_t* entry = bytes->data() + start + ifd + 2 + i * 12;
    directory.emplace_back(entry, entry + 12);
    present.push_back(r.U16(ifd + 2 + i * 12));
  }
  std::vector<const TiffTag*> added;
  for (const TiffTag& tag : tags) {
    if (std::find(present.begin(), present.end(), tag.tag) == present.end()) added.push_back(&tag);
  }
  if (added.empty()) return true;
  const uint32_t link = r.U32(ifd + 2 + entries * 12);
  std::vector<uint8_t> out(*bytes);
  if ((out.size() - start) % 2 != 0) out.push_back(0);  // a directory starts on a word
  const size_t at = out.size() - start;
  const size_t count = entries + added.size();
  size_t values = at + 2 + count * 12 + 4;               // where the next long value goes
  if (at > 0xf0000000u || count > 0xffff) return false;  // offsets are 32 bits
  std::vector<uint8_t> tail;                             // the long values, after the directory
  for (const TiffTag* tag : added) {
    std::vector<uint8_t> entry(12, 0);
    Put16(entry.data(), tag->tag, big);
    Put16(entry.data() + 2, tag->type, big);
    if (tag->type == 2) {
      const uint32_t length = static_cast<uint32_t>(tag->text.size() + 1);
      Put32(entry.data() + 4, length, big);
      if (length <= 4) {
        std::memcpy(entry.data() + 8, tag->text.c_str(), length);
      } else {
        Put32(entry.data() + 8, static_cast<uint32_t>(values + tail.size()), big);
        tail.insert(tail.end(), tag->text.begin(), tag->text.end());
        tail.push_back(0);
        if (tail.size() % 2 != 0) tail.push_back(0);
      }
    } else {
      Put32(entry.data() + 4, 1, big);
      if (tag->type == 3) Put16(entry.data() + 8, static_cast<uint16_t>(tag->number), big);
      else Put32(entry.data() + 8, tag->number, big);
    }
    directory.push_back(entry);
  }
  const auto tag_of = [big](const std::vector<uint8_t>& e) { return Reader(e.data(), 12, big).U16(0); };
  std::stable_sort(
      directory.begin(), directory.end(),
      [&](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) { return tag_of(a) < tag_of(b); });
  std::vector<uint8_t> written(2 + count * 12 + 4);
  Put16(written.data(), static_cast<uint16_t>(count), big);
  for (size_t i = 0; i < count; ++i) std::memcpy(written.data() + 2 + i * 12, directory[i].data(), 12);
  Put32(written.data() + 2 + count * 12, link, big);
  out.insert(out.end(), written.begin(), written.end());
  out.insert(out.end(), tail.begin(), tail.end());
  Put32(out.data() + start + 4, static_cast<uint32_t>(at), big);
  *bytes = std::move(out);
  return true;
}
