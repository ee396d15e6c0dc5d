// A JPEG's quantisation tables, sampling factors, scan mode and Huffman
// tables, read from its header segments byte by byte (neither libvips nor
// the Windows codecs hand them on). Only the header is read, never the
// picture data.
#include "photo/jpeg_encoding.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "photo/jpeg_segments.h"

namespace {

// The example tables of the JPEG standard (Annex K), in natural order: what
// libjpeg scales by the quality when it writes a file.
constexpr uint16_t kStandardLuminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                             14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                             18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                             49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr uint16_t kStandardChrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                               24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                               99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                               99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// The code-length counts of the standard Huffman tables (Annex K.3: DC and
// AC, luminance and chrominance), what libjpeg writes unless asked to
// optimise. A table with other counts was made for its picture.
constexpr uint8_t kStandardCodeCounts[4][16] = {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
                                                {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
                                                {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
                                                {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77}};

// libjpeg's jpeg_quality_scaling and jpeg_add_quant_table with
// force_baseline, as every common writer calls them.
long Scaled(uint16_t standard, int quality) {
  const long scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
  const long value = (standard * scale + 50) / 100;
  return value < 1 ? 1 : value > 255 ? 255 : value;
}

long Distance(const uint16_t* table, const uint16_t* standard, int quality) {
  long sum = 0;
  for (int i = 0; i < 64; ++i) sum += std::labs(table[i] - Scaled(standard[i], quality));
  return sum;
}

// The order of the 64 values of a DQT segment (zigzag): the position of
// each in natural order.
constexpr uint8_t kNaturalOrder[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                       12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                       35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                       58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

struct Component {
  int h = 1, v = 1, table = 0;
};

// What the header segments up to the first scan say; later tables of a
// number replace earlier ones, as for a decoder.
struct Header {
  uint16_t tables[4][64] = {};
  bool have_table[4] = {};
  std::vector<Component> components;
  bool frame = false;
  bool progressive = false;
  bool optimized_huffman = false;
  bool damaged = false;
  int jfif_version = 0, density_unit = 0, density_x = 0, density_y = 0;
};

// The first JFIF segment: "JFIF\0", the version, the unit, the densities
// (and a thumbnail's size, not needed here).
void ReadJfif(const uint8_t* p, size_t size, Header* header) {
  if (header->jfif_version != 0 || size < 12 || std::memcmp(p, "JFIF", 5) != 0) return;
  header->jfif_version = p[5] << 8 | p[6];
  header->density_unit = p[7];
  header->density_x = p[8] << 8 | p[9];
  header->density_y = p[10] << 8 | p[11];
}

void ReadTables(const uint8_t* p, size_t size, Header* header) {
  while (size > 0) {
    const int precision = p[0] >> 4, number = p[0] & 15;
    const size_t bytes = 1 + 64 * (precision ? 2 : 1);
    if (number > 3 || precision > 1 || size < bytes) {
      header->damaged = true;
      return;
    }
    for (int k = 0; k < 64; ++k) {
      header->tables[number][kNaturalOrder[k]] =
          precision ? static_cast<uint16_t>(p[1 + 2 * k] << 8 | p[2 + 2 * k]) : p[1 + k];
    }
    header->have_table[number] = true;
    p += bytes;
    size -= bytes;
  }
}

void ReadHuffmanTables(const uint8_t* p, size_t size, Header* header) {
  while (size > 0) {
    if (size < 17) {
      header->damaged = true;
      return;
    }
    size_t values = 0;
    for (int i = 1; i <= 16; ++i) values += p[i];
    bool standard = false;
    for (const uint8_t* counts : kStandardCodeCounts) standard = standard || std::memcmp(p + 1, counts, 16) == 0;
    if (!standard) header->optimized_huffman = true;
    if (size < 17 + values) {
      header->damaged = true;
      return;
    }
    p += 17 + values;
    size -= 17 + values;
  }
}

// Start of frame: C0..CF but for C4 (Huffman tables), C8 (reserved) and CC
// (arithmetic conditioning).
bool FrameMarker(uint8_t marker) {
  return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

void ReadFrame(uint8_t marker, const uint8_t* p, size_t size, Header* header) {
  if (header->frame) return;
  if (size < 6 || size < 6 + size_t{p[5]} * 3 || p[5] == 0) {
    header->damaged = true;
    return;
  }
  header->frame = true;
  header->progressive = marker == 0xc2 || marker == 0xc6 || marker == 0xca || marker == 0xce;
  for (int c = 0; c < p[5]; ++c) {
    const uint8_t* at = p + 6 + 3 * c;
    Component component;
    component.h = at[1] >> 4;
    component.v = at[1] & 15;
    component.table = at[2];
    if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4) header->damaged = true;
    header->components.push_back(component);
  }
}

}  // namespace

bool JpegEncodingFromHead(const uint8_t* data, size_t size, JpegEncoding* encoding) {
  Header header;
  const bool walked = ForEachJpegSegment(data, size, [&header](uint8_t marker, const uint8_t* p, size_t length) {
    if (marker == 0xdb) ReadTables(p, length, &header);
    else if (marker == 0xc4) ReadHuffmanTables(p, length, &header);
    else if (FrameMarker(marker)) ReadFrame(marker, p, length, &header);
    else if (marker == 0xe0) ReadJfif(p, length, &header);
    return !header.damaged;
  });
  if (!walked || header.damaged || !header.frame) return false;
  const std::vector<Component>& components = header.components;
  const auto table = [&header](int number) -> const uint16_t* {
    return number >= 0 && number < 4 && header.have_table[number] ? header.tables[number] : nullptr;
  };
  const uint16_t* luminance = table(components[0].table);
  if (!luminance) return false;
  // The chrominance table counts only where the colour components have one
  // of their own (a writer may use one table for all).
  const uint16_t* chrominance = nullptr;
  JpegEncoding read;
  if (components.size() >= 3) {
    if (components[1].table != components[0].table) chrominance = table(components[1].table);
    const Component& luma = components[0];
    const Component& chroma = components[1];
    for (size_t c = 1; c < components.size(); ++c) {
      read.chroma_subsampled = read.chroma_subsampled || components[c].h < luma.h || components[c].v < luma.v;
    }
    // ReadFrame let through no sampling factor below 1.
    read.subsampling_x = luma.h / chroma.h > 0 ? luma.h / chroma.h : 1;
    read.subsampling_y = luma.v / chroma.v > 0 ? luma.v / chroma.v : 1;
  }
  read.quality = EstimateJpegQuality(luminance, chrominance);
  read.progressive = header.progressive;
  read.components = static_cast<int>(components.size());
  read.optimized_huffman = header.optimized_huffman;
  read.jfif_version = header.jfif_version;
  read.density_unit = header.density_unit;
  read.density_x = header.density_x;
  read.density_y = header.density_y;
  *encoding = read;
  return true;
}

bool JpegFrameSize(const uint8_t* data, size_t size, int* width, int* height) {
  bool found = false;
  ForEachJpegSegment(data, size, [&](uint8_t marker, const uint8_t* p, size_t length) {
    if (!FrameMarker(marker) || length < 5) return true;
    *height = (p[1] << 8) | p[2];
    *width = (p[3] << 8) | p[4];
    found = true;
    return false;
  });
  return found;
}

int EstimateJpegQuality(const uint16_t* luminance, const uint16_t* chrominance) {
  int best = 100;
  long best_distance = -1;
  for (int quality = 100; quality >= 1; --quality) {
    long distance = Distance(luminance, kStandardLuminance, quality);
    if (chrominance) distance += Distance(chrominance, kStandardChrominance, quality);
    if (best_distance < 0 || distance < best_distance) {
      best = quality;
      best_distance = distance;
    }
  }
  return best;
}

bool ReadJpegEncoding(const std::string& path, JpegEncoding* encoding) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  const std::vector<uint8_t> head = ReadJpegHead(file);
  std::fclose(file);
  return JpegEncodingFromHead(head.data(), head.size(), encoding);
}

std::string JpegDamage(const uint8_t* data, size_t size) {
  if (size < 3 || data[0] != 0xff || data[1] != 0xd8 || data[2] != 0xff) return "";
  // The scan's start, after the header segments.
  size_t scan = 0;
  const bool walked = ForEachJpegSegment(data, size, [&](uint8_t, const uint8_t* payload, size_t length) {
    scan = static_cast<size_t>(payload + length - data);
    return true;
  });
  if (!walked) {
    // Cut inside a segment, or a segment that is no segment.
    size_t at = scan == 0 ? 2 : scan;
    while (at + 1 < size && data[at] == 0xff && data[at + 1] == 0xff) ++at;
    const bool cut =
        size - at < 4 || (data[at] == 0xff && (size_t{data[at + 2]} << 8 | data[at + 3]) > size - at - 2);
    return cut ? "not a complete JPEG file: it ends inside its header" : "its JPEG header is damaged";
  }
  JpegEncoding encoding;
  if (!JpegEncodingFromHead(data, size, &encoding)) return "its JPEG header is damaged";
  // Entropy-coded data never holds 0xff 0xd9: bytes stuffed after 0xff are 0.
  for (size_t at = scan; at + 1 < size; ++at) {
    if (data[at] == 0xff && data[at + 1] == 0xd9) return "";
  }
  return "not a complete JPEG file: it ends before its end-of-image marker";
}
