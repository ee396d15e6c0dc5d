// PNG chunks: a walk over the chunks of a file that reads only the
// text ones (the image data is skipped, never inflated), the metadata blocks
// of a file's chunks, and chunks put into encoded bytes. Every length is
// checked against the bytes at hand.
#include "photo/png_chunks.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstddef>
#include <cstring>
#include <memory>

#include "photo/codec_rules.h"
#include "photo/jpeg_segments.h"

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

struct CloseFile {
  void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

bool ReadPngText(const std::string& path, const std::string& keyword, std::string* text) {
  std::unique_ptr<FILE, CloseFile> file(std::fopen(path.c_str(), "rb"));
  uint8_t head[8];
  if (!file || std::fread(head, 1, 8, file.get()) != 8 || std::memcmp(head, kSignature, 8) != 0) return false;
  std::vector<uint8_t> data;
  while (std::fread(head, 1, 8, file.get()) == 8) {
    const uint32_t size = BigEndian32(head);
    const char* type = reinterpret_cast<const char*>(head + 4);
    if (std::memcmp(type, "IEND", 4) == 0) break;
    const bool textual =
        std::memcmp(type, "tEXt", 4) == 0 || std::memcmp(type, "zTXt", 4) == 0 || std::memcmp(type, "iTXt", 4) == 0;
    if (!textual || size > kMostText) {
      if (std::fseek(file.get(), static_cast<long>(size) + 4, SEEK_CUR) != 0) return false;
      continue;
    }
    data.resize(size + 4);  // with the CRC, not checked: a damaged comment is still the comment
    if (std::fread(data.data(), 1, data.size(), file.get()) != data.size()) return false;
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data.data(), 0, size));
    if (nul == nullptr) continue;
    const std::string word(reinterpret_cast<const char*>(data.data()), static_cast<size_t>(nul - data.data()));
    const size_t rest = size - word.size() - 1;
    if (SameWord(word, keyword) && ChunkText(type, nul + 1, rest, text)) return true;
  }
  return false;
}

bool AddPngText(std::vector<uint8_t>* png, const std::string& keyword, const std::string& text) {
  // Before the image data, where every reader looks (libvips looks nowhere
  // else).
  const size_t at = ImageData(*png);
  if (at == 0) return false;
  std::vector<uint8_t> data(keyword.begin(), keyword.end());
  data.push_back(0);
  data.insert(data.end(), text.begin(), text.end());
  const std::vector<uint8_t> chunk = Chunk("tEXt", data);
  png->insert(png->begin() + static_cast<std::ptrdiff_t>(at), chunk.begin(), chunk.end());
  return true;
}

size_t DropRepeatedPngChunks(std::vector<uint8_t>* png, const char* type) {
  if (png->size() < 8 || std::memcmp(png->data(), kSignature, 8) != 0) return 0;
  size_t at = 8, dropped = 0;
  bool seen = false;
  while (png->size() - at >= 12) {
    const size_t size = BigEndian32(png->data() + at);
    if (size > png->size() - at - 12) break;
    if (std::memcmp(png->data() + at + 4, type, 4) != 0) {
      at += 12 + size;
    } else if (!seen) {
      seen = true;
      at += 12 + size;
    } else {
      png->erase(png->begin() + static_cast<std::ptrdiff_t>(at),
                 png->begin() + static_cast<std::ptrdiff_t>(at + 12 + size));
      ++dropped;
    }
  }
  return dropped;
}

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
    at += 12 + length;
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
  const size_t at = ImageData(*png);
  if (at == 0) return false;
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
  if (!m.exif.empty()) {
    const size_t start = ExifTiffStart(m.exif.data(), m.exif.size());
    add("eXIf", std::vector<uint8_t>(m.exif.begin() + static_cast<std::ptrdiff_t>(start), m.exif.end()));
  }
  if (!m.xmp.empty()) add("iTXt", text(kXmpKeyword, true, std::string(m.xmp.begin(), m.xmp.end())));
  if (!m.comment.empty()) {
    const bool ascii = std::all_of(m.comment.begin(), m.comment.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != 0; });
    add(ascii ? "tEXt" : "iTXt", text("Comment", !ascii, m.comment));
  }
  if (!m.iptc.empty()) add("tEXt", text("Raw profile type iptc", false, RawProfileText("iptc", m.iptc)));
  png->insert(png->begin() + static_cast<std::ptrdiff_t>(at), chunks.begin(), chunks.end());
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
