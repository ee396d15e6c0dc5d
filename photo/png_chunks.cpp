// PNG chunks: a file's head read without its image data (skipped, never
// inflated), the metadata blocks and the chunks carried as they are taken
// from it, chunks put into encoded bytes, and a PNG's text given its
// places in XMP and EXIF for other formats. Every length is checked against
// the bytes at hand.
#include "photo/png_chunks.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstddef>
#include <cstring>

#include "photo/codec_rules.h"
#include "photo/jpeg_segments.h"
#include "photo/tiff_directory.h"
#include "photo/xmp_packet.h"

namespace {

// No comment is this long; a larger chunk is not read.
constexpr uint32_t kMostText = 16u << 20;

void PutBigEndian(std::vector<uint8_t>* out, uint32_t v) {
  out->insert(out->end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

bool SameWord(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool Inflate(const uint8_t* data, size_t size, std::string* text) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = static_cast<uInt>(size);
  text->clear();
  int result = Z_OK;
  while (result == Z_OK && text->size() < kMostText) {
    char buffer[16384];
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    text->append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  return result == Z_STREAM_END;
}

// The text of a tEXt, zTXt or iTXt chunk's data after its keyword's NUL.
bool ChunkText(const char* type, const uint8_t* rest, size_t size, std::string* text) {
  if (std::memcmp(type, "tEXt", 4) == 0) {
    text->assign(reinterpret_cast<const char*>(rest), size);
    return true;
  }
  if (std::memcmp(type, "zTXt", 4) == 0) return size >= 1 && rest[0] == 0 && Inflate(rest + 1, size - 1, text);
  // iTXt: compressed or not, method, language NUL, translated keyword NUL.
  if (size < 2) return false;
  const bool compressed = rest[0] != 0;
  const uint8_t* end = rest + size;
  const uint8_t* p = rest + 2;
  for (int field = 0; field < 2; ++field) {
    p = static_cast<const uint8_t*>(std::memchr(p, 0, static_cast<size_t>(end - p)));
    if (p == nullptr) return false;
    ++p;
  }
  if (compressed) return Inflate(p, static_cast<size_t>(end - p), text);
  text->assign(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p));
  return true;
}

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr char kXmpKeyword[] = "XML:com.adobe.xmp";

// A chunk: length, type, data, CRC of type and data.
std::vector<uint8_t> Chunk(const char* type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> chunk;
  PutBigEndian(&chunk, static_cast<uint32_t>(data.size()));
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), data.begin(), data.end());
  PutBigEndian(&chunk, static_cast<uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4))));
  return chunk;
}

// Where the image data starts; 0 when the bytes hold none.
size_t ImageData(const std::vector<uint8_t>& png) {
  if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return 0;
  size_t at = 8;
  while (png.size() - at >= 12) {
    if (std::memcmp(png.data() + at + 4, "IDAT", 4) == 0) return at;
    const size_t size = BigEndian32(png.data() + at);
    if (size > png.size() - at - 12) return 0;
    at += 12 + size;
  }
  return 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// ImageMagick's raw profile text ("\n<type>\n<size>\n" and the bytes in
// hexadecimal on lines; exiftool names the type "IPTC profile"): false
// when the size is missing or more than the digits give.
bool FromRawProfile(const std::string& text, std::vector<uint8_t>* bytes) {
  size_t at = text.find_first_not_of("\r\n");
  if (at == std::string::npos) return false;
  at = text.find_first_of("\r\n", at);  // after the type's line ("IPTC profile" has a space)
  if (at == std::string::npos) return false;
  at = text.find_first_not_of(" \t\r\n", at);
  if (at == std::string::npos) return false;
  size_t size = 0, digits = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 10; ++at, ++digits) {
    size = size * 10 + static_cast<size_t>(text[at] - '0');
  }
  if (digits == 0 || size > text.size() / 2) return false;
  bytes->clear();
  bytes->reserve(size);
  int high = -1;
  for (; at < text.size() && bytes->size() < size; ++at) {
    const int digit = HexDigit(text[at]);
    if (digit < 0) {
      if (text[at] == ' ' || text[at] == '\n' || text[at] == '\r' || text[at] == '\t') continue;
      return false;
    }
    if (high < 0) {
      high = digit;
    } else {
      bytes->push_back(static_cast<uint8_t>(high << 4 | digit));
      high = -1;
    }
  }
  return bytes->size() == size;
}

std::vector<uint8_t> WithExifHeader(const uint8_t* tiff, size_t size) {
  std::vector<uint8_t> exif;
  if (ExifTiffStart(tiff, size) == 0) exif.assign(kExifSignature, kExifSignature + kExifSignatureSize);
  exif.insert(exif.end(), tiff, tiff + size);
  return exif;
}

// Chunks a PNG output carries as the file had them: the colour chunks that
// still describe the filtered pixels, and the ancillary chunks PNG marks
// safe to copy into an edited file (lower case first and fourth letters),
// but for those written again from what they hold (text, eXIf, pHYs).
// Those that describe the stored pixels' depth, palette or background,
// or the old file's last change (sBIT, bKGD, hIST, sPLT, tIME), are not.
bool CarriedAsItIs(const char* type) {
  for (const char* colour : {"gAMA", "cHRM", "sRGB"}) {
    if (std::memcmp(type, colour, 4) == 0) return true;
  }
  for (const char* rewritten : {"tEXt", "zTXt", "iTXt", "eXIf", "pHYs"}) {
    if (std::memcmp(type, rewritten, 4) == 0) return false;
  }
  const auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
  return lower(type[0]) && lower(type[3]) && std::isalpha(static_cast<unsigned char>(type[1])) &&
         std::isalpha(static_cast<unsigned char>(type[2]));
}

// The chunks of `png` (a whole file, or chunks alone from `at`) for each
// of which `chunk` is called with its type, data, size and whole bytes;
// a cut chunk ends the walk.
template <typename Visit>
void ForEachChunk(const uint8_t* data, size_t size, size_t at, Visit chunk) {
  while (size >= at && size - at >= 12) {
    const size_t length = BigEndian32(data + at);
    if (length > size - at - 12) return;
    chunk(reinterpret_cast<const char*>(data + at + 4), data + at + 8, length, data + at);
    at += 12 + length;
  }
}

// Removes every chunk of `type` from the bytes of a whole PNG file.
void DropPngChunks(std::vector<uint8_t>* png, const char* type) {
  if (png->size() < 8 || std::memcmp(png->data(), kSignature, 8) != 0) return;
  size_t at = 8;
  while (png->size() - at >= 12) {
    const size_t size = BigEndian32(png->data() + at);
    if (size > png->size() - at - 12) break;
    if (std::memcmp(png->data() + at + 4, type, 4) != 0) {
      at += 12 + size;
    } else {
      png->erase(png->begin() + static_cast<std::ptrdiff_t>(at),
                 png->begin() + static_cast<std::ptrdiff_t>(at + 12 + size));
    }
  }
}

// A time zone after a time ("Z", "+01:00", "+0100", "-05", nothing: local
// time) appended to *out in XMP's form; false for anything else.
bool ZoneSuffix(const char* zone, char* out, size_t size) {
  while (*zone == ' ') ++zone;
  int hours = 0, minutes = 0, n = 0;
  char sign = 0, suffix[32] = "";
  if (*zone == '\0') {
  } else if (std::strcmp(zone, "Z") == 0) {
    std::strcpy(suffix, "Z");
  } else if (std::sscanf(zone, "%c%2d%n", &sign, &hours, &n) == 2 && (sign == '+' || sign == '-') && n == 3) {
    zone += n;
    if (*zone == ':') ++zone;
    if (*zone != '\0' && (std::sscanf(zone, "%2d%n", &minutes, &n) != 1 || n != 2 || zone[n] != '\0')) return false;
    if (hours < 0 || hours > 14 || minutes < 0 || minutes > 59) return false;
    std::snprintf(suffix, sizeof suffix, "%c%02d:%02d", sign, hours, minutes);
  } else {
    return false;
  }
  std::strncat(out, suffix, size - std::strlen(out) - 1);
  return true;
}

}  // namespace

std::vector<uint8_t> ReadPngHead(std::FILE* file) {
  std::vector<uint8_t> head(8);
  if (std::fread(head.data(), 1, 8, file) != 8 || std::memcmp(head.data(), kSignature, 8) != 0) return {};
  uint8_t chunk[8];
  while (std::fread(chunk, 1, 8, file) == 8) {
    const uint32_t size = BigEndian32(chunk);
    if (size > 0x7fffffffu) break;
    if (std::memcmp(chunk + 4, "IDAT", 4) == 0 || size > kMostText) {
      if (std::fseek(file, static_cast<long>(size) + 4, SEEK_CUR) != 0) break;
      continue;
    }
    const size_t at = head.size();
    head.insert(head.end(), chunk, chunk + 8);
    head.resize(at + 8 + size + 4);
    if (std::fread(head.data() + at + 8, 1, size + 4, file) != size_t{size} + 4) {
      head.resize(at);
      break;
    }
    if (std::memcmp(chunk + 4, "IEND", 4) == 0) break;
  }
  return head;
}

std::string ReadPngMetadata(const uint8_t* data, size_t size, PhotoMetadata* metadata) {
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return "";
  std::vector<uint8_t> raw_exif, raw_xmp, raw_iptc;
  std::string problem;
  bool comment = false, iptc_damaged = false;
  const auto raw = [&](const std::string& text, std::vector<uint8_t>* bytes, bool* damaged) {
    if (!bytes->empty()) return;
    if (!FromRawProfile(text, bytes)) {
      bytes->clear();
      if (damaged) *damaged = true;
    }
  };
  size_t at = 8;
  while (size - at >= 12) {
    const size_t length = BigEndian32(data + at);
    if (length > size - at - 12) break;
    const char* type = reinterpret_cast<const char*>(data + at + 4);
    const uint8_t* chunk = data + at + 8;
    const uint8_t* whole = data + at;
    at += 12 + length;
    const auto carry = [&] { metadata->png_chunks.insert(metadata->png_chunks.end(), whole, whole + 12 + length); };
    if (CarriedAsItIs(type)) {
      carry();
      continue;
    }
    if (std::memcmp(type, "eXIf", 4) == 0) {
      if (metadata->exif.empty()) metadata->exif = WithExifHeader(chunk, length);
      continue;
    }
    if (std::memcmp(type, "iCCP", 4) == 0) {
      // The profile's name, NUL, method 0, the zlib stream.
      const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(chunk, 0, length));
      std::string profile;
      if (nul == nullptr || size_t(nul - chunk) + 2 > length || nul[1] != 0 ||
          !Inflate(nul + 2, length - size_t(nul - chunk) - 2, &profile)) {
        problem = "the ICC profile is damaged: left out";
      } else if (metadata->icc.empty()) {
        metadata->icc.assign(profile.begin(), profile.end());
      }
      continue;
    }
    const bool textual =
        std::memcmp(type, "tEXt", 4) == 0 || std::memcmp(type, "zTXt", 4) == 0 || std::memcmp(type, "iTXt", 4) == 0;
    const uint8_t* nul = textual ? static_cast<const uint8_t*>(std::memchr(chunk, 0, length)) : nullptr;
    if (nul == nullptr) continue;
    const std::string word(reinterpret_cast<const char*>(chunk), static_cast<size_t>(nul - chunk));
    // Every text but the blocks read from it, which are written again
    // (the EXIF and XMP made upright, the IPTC in one form).
    const bool block = word == kXmpKeyword || SameWord(word, "Raw profile type exif") ||
                       SameWord(word, "Raw profile type xmp") || SameWord(word, "Raw profile type iptc") ||
                       SameWord(word, "Raw profile type APP1");
    if (!block) carry();
    std::string text;
    if (!ChunkText(type, nul + 1, length - word.size() - 1, &text)) {
      if (SameWord(word, "Raw profile type iptc")) iptc_damaged = true;
      continue;
    }
    if (word == kXmpKeyword && metadata->xmp.empty()) {
      metadata->xmp.assign(text.begin(), text.end());
    } else if (SameWord(word, "Comment") && !comment) {
      metadata->comment = text;
      comment = true;
    } else if (SameWord(word, "Raw profile type exif")) {
      raw(text, &raw_exif, nullptr);
    } else if (SameWord(word, "Raw profile type xmp")) {
      raw(text, &raw_xmp, nullptr);
    } else if (SameWord(word, "Raw profile type iptc")) {
      raw(text, &raw_iptc, &iptc_damaged);
    } else if (SameWord(word, "Raw profile type APP1")) {
      std::vector<uint8_t> app1;
      raw(text, &app1, nullptr);
      if (app1.size() > kExifSignatureSize && ExifTiffStart(app1.data(), app1.size()) > 0) {
        if (raw_exif.empty()) raw_exif = app1;
      } else if (app1.size() >= kXmpSignatureSize &&
                 std::memcmp(app1.data(), kXmpSignature, kXmpSignatureSize) == 0) {
        if (raw_xmp.empty()) raw_xmp.assign(app1.begin() + kXmpSignatureSize, app1.end());
      }
    }
  }
  if (metadata->exif.empty() && !raw_exif.empty()) metadata->exif = WithExifHeader(raw_exif.data(), raw_exif.size());
  if (metadata->xmp.empty()) metadata->xmp = std::move(raw_xmp);
  // ImageMagick's IPTC profile holds the bare records, or Photoshop's
  // resources around them.
  size_t skip = 0;
  if (raw_iptc.size() >= kPhotoshopSignatureSize &&
      std::memcmp(raw_iptc.data(), kPhotoshopSignature, kPhotoshopSignatureSize) == 0) {
    skip = kPhotoshopSignatureSize;
  }
  if (skip > 0 || (raw_iptc.size() >= 4 && std::memcmp(raw_iptc.data(), "8BIM", 4) == 0)) {
    if (!IptcFromPhotoshop(raw_iptc.data() + skip, raw_iptc.size() - skip, &metadata->iptc)) iptc_damaged = true;
  } else {
    metadata->iptc = std::move(raw_iptc);
  }
  if (iptc_damaged) {
    metadata->iptc.clear();
    AddToList(&problem, "the IPTC block is damaged: left out", "; ");
  }
  return problem;
}

bool AddPngMetadata(std::vector<uint8_t>* png, const PhotoMetadata& m) {
  if (ImageData(*png) == 0) return false;
  // The encoder's own of the chunks written here, so that each is there
  // once: an eXIf chunk libpng was given is written before and after the
  // image data (two EXIF blocks, which readers take for a loop), and an
  // encoder may write its own colour chunks.
  std::vector<std::string> own;
  if (!m.icc.empty()) own.push_back("iCCP");
  if (!m.exif.empty()) own.push_back("eXIf");
  bool comment_kept = false;
  ForEachChunk(m.png_chunks.data(), m.png_chunks.size(), 0,
               [&](const char* type, const uint8_t* data, size_t size, const uint8_t*) {
                 own.emplace_back(type, 4);
                 const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
                 comment_kept = comment_kept || (nul != nullptr && SameWord(std::string(data, nul), "Comment"));
               });
  for (const std::string& type : own) DropPngChunks(png, type.c_str());
  std::vector<uint8_t> chunks;
  const auto add = [&chunks](const char* type, const std::vector<uint8_t>& data) {
    const std::vector<uint8_t> chunk = Chunk(type, data);
    chunks.insert(chunks.end(), chunk.begin(), chunk.end());
  };
  const auto text = [](const std::string& keyword, bool international, const std::string& value) {
    std::vector<uint8_t> data(keyword.begin(), keyword.end());
    // iTXt: not compressed, method 0, no language, no translated keyword.
    if (international) data.insert(data.end(), {0, 0, 0, 0, 0});
    else data.push_back(0);
    data.insert(data.end(), value.begin(), value.end());
    return data;
  };
  if (!m.icc.empty()) {
    uLongf size = compressBound(static_cast<uLong>(m.icc.size()));
    std::vector<uint8_t> data = {'I', 'C', 'C', ' ', 'p', 'r', 'o', 'f', 'i', 'l', 'e', 0, 0};
    const size_t at = data.size();
    data.resize(at + size);
    if (compress2(data.data() + at, &size, m.icc.data(), static_cast<uLong>(m.icc.size()), 9) != Z_OK) return false;
    data.resize(at + size);
    add("iCCP", data);
  }
  // The colour chunks before the rest, as PNG wants them.
  chunks.insert(chunks.end(), m.png_chunks.begin(), m.png_chunks.end());
  if (!m.exif.empty()) {
    const size_t start = ExifTiffStart(m.exif.data(), m.exif.size());
    add("eXIf", std::vector<uint8_t>(m.exif.begin() + static_cast<std::ptrdiff_t>(start), m.exif.end()));
  }
  // XMP readers look for an uncompressed iTXt chunk.
  if (!m.xmp.empty()) add("iTXt", text(kXmpKeyword, true, std::string(m.xmp.begin(), m.xmp.end())));
  if (!m.comment.empty() && !comment_kept) {
    const bool ascii = std::all_of(m.comment.begin(), m.comment.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != 0; });
    add(ascii ? "tEXt" : "iTXt", text("Comment", !ascii, m.comment));
  }
  if (!m.iptc.empty()) add("tEXt", text("Raw profile type iptc", false, RawProfileText("iptc", m.iptc)));
  const size_t at = ImageData(*png);
  png->insert(png->begin() + static_cast<std::ptrdiff_t>(at), chunks.begin(), chunks.end());
  return true;
}

std::vector<PngText> PngTexts(const std::vector<uint8_t>& chunks) {
  std::vector<PngText> texts;
  ForEachChunk(chunks.data(), chunks.size(), 0,
               [&](const char* type, const uint8_t* data, size_t size, const uint8_t*) {
                 const bool latin1 = std::memcmp(type, "tEXt", 4) == 0 || std::memcmp(type, "zTXt", 4) == 0;
                 if (!latin1 && std::memcmp(type, "iTXt", 4) != 0) return;
                 const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
                 if (nul == nullptr) return;
                 PngText t;
                 t.keyword.assign(data, nul);
                 if (!ChunkText(type, nul + 1, size - t.keyword.size() - 1, &t.text)) return;
                 if (latin1) {
                   std::string utf8;
                   for (unsigned char c : t.text) {
                     if (c < 0x80) {
                       utf8 += static_cast<char>(c);
                     } else {
                       utf8 += static_cast<char>(0xc0 | c >> 6);
                       utf8 += static_cast<char>(0x80 | (c & 0x3f));
                     }
                   }
                   t.text = std::move(utf8);
                 }
                 texts.push_back(std::move(t));
               });
  return texts;
}

namespace {

// The places in XMP of PNG's standard keywords ("Comment" is the comment).
struct Place {
  const char* keyword;
  const char* property;
  XmpProperty::Kind kind;
};
constexpr Place kPlaces[] = {
    {"Title", "dc:title", XmpProperty::Kind::kAlternative},
    {"Author", "dc:creator", XmpProperty::Kind::kSequence},
    {"Description", "dc:description", XmpProperty::Kind::kAlternative},
    {"Copyright", "dc:rights", XmpProperty::Kind::kAlternative},
    {"Creation Time", "xmp:CreateDate", XmpProperty::Kind::kText},
    {"Software", "xmp:CreatorTool", XmpProperty::Kind::kText},
};

// The XMP property a text takes, false when it has none: other keywords,
// a keyword's second text, a creation time that is no date.
bool PlaceOf(const PngText& text, std::vector<std::string>* seen, XmpProperty* property) {
  const bool first = std::find(seen->begin(), seen->end(), text.keyword) == seen->end();
  seen->push_back(text.keyword);
  for (const Place& place : kPlaces) {
    if (text.keyword != place.keyword) continue;
    property->name = place.property;
    property->kind = place.kind;
    property->value = text.text;
    if (std::strcmp(place.property, "xmp:CreateDate") == 0 && !XmpDate(text.text, &property->value)) return false;
    return first;
  }
  return false;
}

}  // namespace

std::string PngTextWithoutPlace(const PhotoMetadata& m, bool xmp_held) {
  std::string names;
  std::vector<std::string> seen;
  bool comment = false;
  for (const PngText& text : PngTexts(m.png_chunks)) {
    XmpProperty property;
    if (text.keyword == "Comment" && !comment) {  // the comment, said of itself
      comment = true;
      continue;
    }
    if (!PlaceOf(text, &seen, &property) || !xmp_held) AddToList(&names, text.keyword);
  }
  return names.empty() ? "" : "PNG text " + names;
}

void PutPngTextInPlace(PhotoMetadata* m) {
  std::vector<XmpProperty> properties;
  std::vector<std::string> seen;
  std::string software;
  for (const PngText& text : PngTexts(m->png_chunks)) {
    XmpProperty property;
    if (!PlaceOf(text, &seen, &property)) continue;
    properties.push_back(property);
    if (text.keyword == "Software") software = text.text;
  }
  if (properties.empty()) return;
  AddXmpProperties(&m->xmp, properties);
  const bool ascii =
      std::all_of(software.begin(), software.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (software.empty() || !ascii) return;
  if (m->exif.empty()) {  // a block of one empty directory, little-endian
    m->exif.assign(kExifSignature, kExifSignature + kExifSignatureSize);
    m->exif.insert(m->exif.end(), {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  }
  TiffTag tag;
  tag.tag = 0x0131;
  tag.text = software;
  AddTiffTags(&m->exif, ExifTiffStart(m->exif.data(), m->exif.size()), {tag});
}

bool XmpDate(const std::string& text, std::string* iso) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, n = 0;
  const auto valid = [&] {
    return y >= 0 && y <= 9999 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h >= 0 && h <= 23 && mi >= 0 &&
           mi <= 59 && s >= 0 && s <= 60;
  };
  const char* c = text.c_str();
  while (*c == ' ') ++c;
  char out[96];
  // ISO 8601 ("2026-12-08T12:00:00+01:00", the date alone) and EXIF's
  // "2026:12:08 12:00:00".
  char sep = 0, dsep = 0;
  if (std::sscanf(c, "%4d%c%2d%*c%2d%n", &y, &dsep, &mo, &d, &n) == 4 && (dsep == '-' || dsep == ':') && n == 10) {
    const char* rest = c + n;
    if (*rest == '\0') {
      if (!valid()) return false;
      std::snprintf(out, sizeof out, "%04d-%02d-%02d", y, mo, d);
    } else if (std::sscanf(rest, "%c%2d:%2d%n", &sep, &h, &mi, &n) == 3 && (sep == 'T' || sep == ' ') && n == 6) {
      rest += n;
      if (std::sscanf(rest, ":%2d%n", &s, &n) == 1 && n == 3) rest += n;
      while (*rest == '.' || (*rest >= '0' && *rest <= '9')) ++rest;  // fractions of a second
      if (!valid()) return false;
      std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, s);
      if (!ZoneSuffix(rest, out, sizeof out)) return false;
    } else {
      return false;
    }
    *iso = out;
    return true;
  }
  // RFC 1123, PNG's own suggestion: "Tue, 08 Dec 2026 12:00:00 GMT".
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  char month[4] = {}, zone[8] = {};
  if (std::strchr(c, ',') != nullptr) c = std::strchr(c, ',') + 1;
  if (std::sscanf(c, "%2d %3s %4d %2d:%2d%n", &d, month, &y, &h, &mi, &n) != 5) return false;
  const char* rest = c + n;
  if (std::sscanf(rest, ":%2d%n", &s, &n) == 1) rest += n;
  const char* found = std::strstr(kMonths, month);
  if (std::strlen(month) != 3 || found == nullptr || (found - kMonths) % 3 != 0) return false;
  mo = static_cast<int>(found - kMonths) / 3 + 1;
  if (!valid()) return false;
  std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, s);
  while (*rest == ' ') ++rest;
  if (std::sscanf(rest, "%7s", zone) == 1 &&
      (!std::strcmp(zone, "GMT") || !std::strcmp(zone, "UT") || !std::strcmp(zone, "UTC"))) {
    rest = "Z";
  }
  if (!ZoneSuffix(rest, out, sizeof out)) return false;
  *iso = out;
  return true;
}

std::string RawProfileText(const std::string& type, const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  char size[16];
  std::snprintf(size, sizeof size, "%8zu", bytes.size());
  std::string text = "\n" + type + "\n" + size + "\n";
  for (size_t i = 0; i < bytes.size(); ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
    if (i % 36 == 35 || i + 1 == bytes.size()) text += '\n';
  }
  return text;
}
