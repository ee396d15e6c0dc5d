// File: photo/png_text.cpp
//
// PNG text chunks: a walk over the chunks of a file that reads only the
// text ones (the image data is skipped, never inflated), and one tEXt chunk
// put into encoded bytes.
#include "photo/png_text.h"

#include <zlib.h>

#include <cctype>
#include <cstdio>
#include <cstddef>
#include <cstring>
#include <memory>

namespace {

// No comment is this long; a larger chunk is not read.
constexpr uint32_t kMostText = 16u << 20;

uint32_t BigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void PutBigEndian(std::vector<uint8_t>* out, uint32_t v) {
  out->insert(out->end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

bool SameWord(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
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

struct CloseFile {
  void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

bool ReadPngText(const std::string& path, const std::string& keyword, std::string* text) {
  std::unique_ptr<FILE, CloseFile> file(std::fopen(path.c_str(), "rb"));
  uint8_t head[8];
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (!file || std::fread(head, 1, 8, file.get()) != 8 || std::memcmp(head, kSignature, 8) != 0) return false;
  std::vector<uint8_t> data;
  while (std::fread(head, 1, 8, file.get()) == 8) {
    const uint32_t size = BigEndian(head);
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
  size_t at = 8;
  while (at + 8 <= png->size() && std::memcmp(png->data() + at + 4, "IDAT", 4) != 0) {
    at += 12 + size_t{BigEndian(png->data() + at)};
  }
  if (at + 8 > png->size()) return false;
  std::vector<uint8_t> chunk;
  PutBigEndian(&chunk, static_cast<uint32_t>(keyword.size() + 1 + text.size()));
  chunk.insert(chunk.end(), {'t', 'E', 'X', 't'});
  chunk.insert(chunk.end(), keyword.begin(), keyword.end());
  chunk.push_back(0);
  chunk.insert(chunk.end(), text.begin(), text.end());
  PutBigEndian(&chunk, static_cast<uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4))));
  png->insert(png->begin() + static_cast<std::ptrdiff_t>(at), chunk.begin(), chunk.end());
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
