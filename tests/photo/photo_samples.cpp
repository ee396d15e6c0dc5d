// The pictures of the photo codec tests that need no codec: blocks of
// colour, the EXIF orientations as pixel moves, and file bytes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

#include "gtest/gtest.h"
#include "tests/photo/photo_samples.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// How a camera stores an upright picture under each EXIF orientation, as
// three plain moves made in this order: transposed (rows become columns),
// mirrored left to right, flipped upside down. The tests' own account of
// the orientations, independent of the one the codecs use.
struct StoredMoves {
  bool transpose, mirror, flip;
};
const StoredMoves kStoredMoves[9] = {
    {false, false, false},  // not an orientation: as 1
    {false, false, false},  // 1: upright
    {false, true, false},   // 2: mirrored
    {false, true, true},    // 3: upside down
    {false, false, true},   // 4: mirrored upside down
    {true, false, false},   // 5: transposed
    {true, false, true},    // 6: turned left (shown turned right)
    {true, true, true},     // 7: transversed
    {true, true, false},    // 8: turned right (shown turned left)
};

// Upright position (x, y) of a width x height picture -> stored position.
void StoredPosition(int orientation, int x, int y, int width, int height, int* sx, int* sy) {
  const StoredMoves& moves = kStoredMoves[orientation >= 1 && orientation <= 8 ? orientation : 0];
  if (moves.transpose) {
    std::swap(x, y);
    std::swap(width, height);
  }
  *sx = moves.mirror ? width - 1 - x : x;
  *sy = moves.flip ? height - 1 - y : y;
}

}  // namespace

Image BlockPicture(int blocks_across, int blocks_down) {
  Image image;
  image.width = blocks_across * 8;
  image.height = blocks_down * 8;
  image.bgr.resize(static_cast<size_t>(image.width) * image.height * 3);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const int block = (y / 8) * blocks_across + x / 8;
      uint8_t* p = image.pixel(x, y);
      p[0] = static_cast<uint8_t>(40 + 50 * (block % 4));
      p[1] = static_cast<uint8_t>(30 + 70 * ((block / 4) % 3));
      p[2] = static_cast<uint8_t>(block * 255 / (blocks_across * blocks_down));
    }
  }
  return image;
}

namespace {

// Moves every pixel between a picture and the one stored for `orientation`:
// `from` is the stored one when `to_upright`, else the upright one.
Image Reoriented(const Image& from, int orientation, bool to_upright) {
  Image to;
  const bool turned = orientation >= 5;
  to.width = turned ? from.height : from.width;
  to.height = turned ? from.width : from.height;
  to.bgr.resize(from.bgr.size());
  const Image& upright = to_upright ? to : from;
  for (int y = 0; y < upright.height; ++y) {
    for (int x = 0; x < upright.width; ++x) {
      int sx = 0, sy = 0;
      StoredPosition(orientation, x, y, upright.width, upright.height, &sx, &sy);
      if (to_upright) {
        std::memcpy(to.pixel(x, y), from.pixel(sx, sy), 3);
      } else {
        std::memcpy(to.pixel(sx, sy), from.pixel(x, y), 3);
      }
    }
  }
  return to;
}

}  // namespace

Image Upright(const Image& stored, int orientation) { return Reoriented(stored, orientation, true); }

Image StoredForOrientation(const Image& upright, int orientation) { return Reoriented(upright, orientation, false); }

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool SetJpegOrientation(std::vector<uint8_t>* jpeg, int orientation) {
  // The orientation entry of IFD0 with value 1, in either byte order: tag
  // 0x0112, type SHORT, count 1.
  const uint8_t big[] = {0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 1};
  const uint8_t little[] = {0x12, 0x01, 3, 0, 1, 0, 0, 0, 1, 0};
  auto at = std::search(jpeg->begin(), jpeg->end(), std::begin(big), std::end(big));
  if (at != jpeg->end()) {
    at[9] = static_cast<uint8_t>(orientation);
    return true;
  }
  at = std::search(jpeg->begin(), jpeg->end(), std::begin(little), std::end(little));
  if (at == jpeg->end()) return false;
  at[8] = static_cast<uint8_t>(orientation);
  return true;
}

std::string ImageMagickRawProfile(const std::string& type, const std::vector<uint8_t>& bytes,
                                  const std::string& line_end) {
  char size[16];
  std::snprintf(size, sizeof size, "%8zu", bytes.size());
  std::string text = line_end + type + line_end + size + line_end;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
    text += hex;
    if (i % 36 == 35 || i + 1 == bytes.size()) text += line_end;
  }
  return text;
}

void OrderedWriter::U16(unsigned v) {
  const uint8_t hi = uint8_t(v >> 8), lo = uint8_t(v);
  bytes.insert(bytes.end(), {big ? hi : lo, big ? lo : hi});
}

void OrderedWriter::U32(uint32_t v) {
  U16(big ? v >> 16 : v & 0xffff);
  U16(big ? v & 0xffff : v >> 16);
}

void OrderedWriter::Entry(unsigned tag, unsigned type, uint32_t count, uint32_t value) {
  U16(tag);
  U16(type);
  U32(count);
  if (type == 3 && count == 1) {
    U16(value);
    U16(0);
  } else {
    U32(value);
  }
}

std::vector<uint8_t> PngFile(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  const auto add = [&png](const std::string& type, const std::vector<uint8_t>& data) {
    OrderedWriter w{true, {}};
    w.U32(uint32_t(data.size()));
    w.bytes.insert(w.bytes.end(), type.begin(), type.end());
    w.bytes.insert(w.bytes.end(), data.begin(), data.end());
    uint32_t crc = 0xffffffffu;  // PNG's CRC-32 over type and data
    for (size_t i = 4; i < w.bytes.size(); ++i) {
      crc ^= w.bytes[i];
      for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xedb88320u ^ (crc >> 1) : crc >> 1;
    }
    w.U32(~crc);
    png.insert(png.end(), w.bytes.begin(), w.bytes.end());
  };
  add("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0});
  for (const auto& chunk : chunks) add(chunk.first, chunk.second);
  add("IDAT", {0x78, 0x01, 0x01, 0x04, 0x00, 0xfb, 0xff, 0, 0, 0, 0, 0x00, 0x04, 0x00, 0x01});
  add("IEND", {});
  return png;
}

bool Contains(const std::vector<uint8_t>& bytes, const std::string& text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

bool RunningUnderWine() {
#ifdef _WIN32
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

Photo MustRead(const std::string& path) {
  Photo photo;
  std::string error;
  EXPECT_TRUE(ReadPhoto(path, &photo, &error)) << error;
  return photo;
}

Photo RoundTrip(const Photo& photo, const EncodeOptions& options, const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(EncodePhoto(photo, options, &bytes, &error)) << PhotoFormatName(options.format) << ": " << error;
  WriteBytes(path, bytes);
  return MustRead(path);
}

const FormatCase kLosslessFormats[3] = {
    {PhotoFormat::kPng, ".png"}, {PhotoFormat::kTiff, ".tif"}, {PhotoFormat::kBmp, ".bmp"}};
