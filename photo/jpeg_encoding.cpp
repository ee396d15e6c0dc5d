// File: photo/jpeg_encoding.cpp
//
// A JPEG's quantisation tables, sampling factors and scan mode, read with
// libjpeg itself: libvips, which decodes the pixels, does not hand the
// tables on. Only the header is read, never the picture data.
#include "photo/jpeg_encoding.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace {

// The example tables of the JPEG standard (Annex K), in natural order: what
// libjpeg scales by the quality when it writes a file.
constexpr uint16_t kStandardLuminance[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr uint16_t kStandardChrominance[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// The code-length counts of the standard Huffman tables (Annex K.3: DC and
// AC, luminance and chrominance), what libjpeg writes unless asked to
// optimise. A table with other counts was made for its picture.
constexpr uint8_t kStandardCodeCounts[4][16] = {
    {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
    {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77}};

bool Standard(const JHUFF_TBL* table) {
  if (!table) return true;
  for (const uint8_t* counts : kStandardCodeCounts) {
    if (std::memcmp(table->bits + 1, counts, 16) == 0) return true;
  }
  return false;
}

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

// libjpeg reports a fatal error by calling error_exit, which must not
// return: it jumps back to ReadJpegEncoding. Warnings (a stray byte before
// a marker) are not printed: libvips decides whether the file is readable.
struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1); }
void Silent(j_common_ptr) {}

// Only plain C data lives between setjmp and longjmp here, so no destructor
// is skipped by the jump.
bool ReadHeader(std::FILE* file, JpegEncoding* encoding) {
  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);
  ErrorTrap trap;
  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = JumpBack;
  trap.manager.output_message = Silent;
  volatile bool read = false;
  if (setjmp(trap.jump) == 0) {
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    const jpeg_component_info* components = info.comp_info;
    // libjpeg checks the table numbers only when decoding starts.
    const auto table = [&info](int number) -> const JQUANT_TBL* {
      return number >= 0 && number < NUM_QUANT_TBLS ? info.quant_tbl_ptrs[number] : nullptr;
    };
    const JQUANT_TBL* luminance = table(components[0].quant_tbl_no);
    // The chrominance table counts only where the colour components have
    // one of their own (a writer may use one table for all).
    const JQUANT_TBL* chrominance = nullptr;
    bool subsampled = false;
    if (info.num_components >= 3) {
      if (components[1].quant_tbl_no != components[0].quant_tbl_no) chrominance = table(components[1].quant_tbl_no);
      for (int c = 1; c < info.num_components; ++c) {
        subsampled = subsampled || components[c].h_samp_factor < components[0].h_samp_factor ||
                     components[c].v_samp_factor < components[0].v_samp_factor;
      }
    }
    if (luminance) {
      encoding->quality =
          EstimateJpegQuality(luminance->quantval, chrominance ? chrominance->quantval : nullptr);
      encoding->chroma_subsampled = subsampled;
      encoding->progressive = info.progressive_mode != 0;
      // The tables of the first scan, the ones read with the header.
      for (int t = 0; t < NUM_HUFF_TBLS; ++t) {
        if (!Standard(info.dc_huff_tbl_ptrs[t]) || !Standard(info.ac_huff_tbl_ptrs[t])) {
          encoding->optimized_huffman = true;
        }
      }
      read = true;
    }
  }
  jpeg_destroy_decompress(&info);
  return read;
}

}  // namespace

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
  JpegEncoding read;
  const bool ok = ReadHeader(file, &read);
  std::fclose(file);
  if (ok) *encoding = read;
  return ok;
}
