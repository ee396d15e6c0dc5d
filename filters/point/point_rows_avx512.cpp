// AVX-512 forms of the point-stage row loops, built for that instruction
// set only inside this file and chosen at run time. They give exactly the
// bytes of the plain loops: tables are looked up with byte permutes (four
// 64-byte quarters of a 256-entry table), and sepia levels come from exact
// integer arithmetic wherever that provably agrees with the double
// arithmetic, and from the same double operations, eight pixels at a time,
// where it might not (see SepiaRowAvx512).
//
// Pixels go 64 at a time: four groups of 16 pixels (48 bytes) are loaded,
// blue, green and red are gathered into a vector each (pixel i at byte i),
// worked on, and scattered back.
#include "filters/point/point_rows.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

#include <cstring>

#include <immintrin.h>

#include "filters/engine/cpu_targets.h"

// GCC's AVX-512 intrinsics pass deliberately undefined vectors as unused
// merge operands, which its own analysis then reports once inlined here.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

constexpr __mmask64 kGroupBytes = (__mmask64{1} << 48) - 1;

struct Table256 {
  __m512i q0, q1, q2, q3;
};

CHROMALINE_TARGET_AVX512_VBMI inline Table256 LoadTable(const uint8_t* table) {
  return {_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64), _mm512_loadu_si512(table + 128),
          _mm512_loadu_si512(table + 192)};
}

// table[x] for each byte: the low seven bits pick from one of two 128-byte
// halves, the top bit picks the half.
CHROMALINE_TARGET_AVX512_VBMI inline __m512i Lookup(const Table256& t, __m512i x) {
  const __m512i low = _mm512_permutex2var_epi8(t.q0, x, t.q1);
  const __m512i high = _mm512_permutex2var_epi8(t.q2, x, t.q3);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

// Byte indices: for channel c, byte 16g + i of a channel vector comes from
// byte 3i + c of group g; on the way back, byte j of group g comes from byte
// 16g + j / 3 of a channel vector and belongs to channel j % 3.
struct ShuffleBytes {
  alignas(64) uint8_t gather[3][64];
  alignas(64) uint8_t scatter[4][64];
  uint64_t channel[3];
  // For one group: 32-bit lane i holds blue (low half) and red (high half)
  // of pixel i, or green in both halves, ready for 16-bit multiply-adds.
  alignas(64) uint8_t blue_red[64];
  alignas(64) uint8_t green_green[64];
  uint64_t pair_bytes;
};

constexpr ShuffleBytes MakeShuffleBytes() {
  ShuffleBytes b = {};
  for (int c = 0; c < 3; ++c) {
    for (int j = 0; j < 64; ++j) b.gather[c][j] = static_cast<uint8_t>(3 * (j % 16) + c);
    for (int j = 0; j < 48; ++j) {
      if (j % 3 == c) b.channel[c] |= uint64_t{1} << j;
    }
  }
  for (int g = 0; g < 4; ++g) {
    for (int j = 0; j < 64; ++j) b.scatter[g][j] = static_cast<uint8_t>(16 * g + (j < 48 ? j / 3 : 0));
  }
  for (int i = 0; i < 16; ++i) {
    b.blue_red[4 * i] = static_cast<uint8_t>(3 * i);
    b.blue_red[4 * i + 2] = static_cast<uint8_t>(3 * i + 2);
    b.green_green[4 * i] = static_cast<uint8_t>(3 * i + 1);
    b.green_green[4 * i + 2] = static_cast<uint8_t>(3 * i + 1);
    b.pair_bytes |= (uint64_t{1} << (4 * i)) | (uint64_t{1} << (4 * i + 2));
  }
  return b;
}

constexpr ShuffleBytes kShuffleBytes = MakeShuffleBytes();

struct Shuffles {
  __m512i gather[3];
  __m512i scatter[4];
  __mmask64 channel[3];
  __m512i blue_red, green_green;
  __mmask64 pair_bytes;
};

CHROMALINE_TARGET_AVX512_VBMI inline Shuffles LoadShuffles() {
  Shuffles s;
  for (int c = 0; c < 3; ++c) {
    s.gather[c] = _mm512_load_si512(kShuffleBytes.gather[c]);
    s.channel[c] = kShuffleBytes.channel[c];
  }
  for (int g = 0; g < 4; ++g) s.scatter[g] = _mm512_load_si512(kShuffleBytes.scatter[g]);
  s.blue_red = _mm512_load_si512(kShuffleBytes.blue_red);
  s.green_green = _mm512_load_si512(kShuffleBytes.green_green);
  s.pair_bytes = kShuffleBytes.pair_bytes;
  return s;
}

constexpr __mmask64 GroupMask(int g) { return __mmask64{0xFFFF} << (16 * g); }

struct Channels {
  __m512i blue, green, red;
};

CHROMALINE_TARGET_AVX512_VBMI inline Channels Gather64(const uint8_t* p, const Shuffles& s) {
  Channels c = {_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512()};
  for (int g = 0; g < 4; ++g) {
    const __m512i group = _mm512_maskz_loadu_epi8(kGroupBytes, p + 48 * g);
    c.blue = _mm512_mask_permutexvar_epi8(c.blue, GroupMask(g), s.gather[0], group);
    c.green = _mm512_mask_permutexvar_epi8(c.green, GroupMask(g), s.gather[1], group);
    c.red = _mm512_mask_permutexvar_epi8(c.red, GroupMask(g), s.gather[2], group);
  }
  return c;
}

CHROMALINE_TARGET_AVX512_VBMI inline void Scatter64(uint8_t* p, const Channels& c, const Shuffles& s) {
  for (int g = 0; g < 4; ++g) {
    __m512i out = _mm512_maskz_permutexvar_epi8(s.channel[0], s.scatter[g], c.blue);
    out = _mm512_mask_permutexvar_epi8(out, s.channel[1], s.scatter[g], c.green);
    out = _mm512_mask_permutexvar_epi8(out, s.channel[2], s.scatter[g], c.red);
    _mm512_mask_storeu_epi8(p + 48 * g, kGroupBytes, out);
  }
}

CHROMALINE_TARGET_AVX512_VBMI inline void ScatterGray64(uint8_t* p, __m512i level, const Shuffles& s) {
  for (int g = 0; g < 4; ++g) {
    _mm512_mask_storeu_epi8(p + 48 * g, kGroupBytes, _mm512_permutexvar_epi8(s.scatter[g], level));
  }
}

// Bytes 16g .. 16g + 15 of v as sixteen 32-bit integers.
CHROMALINE_TARGET_AVX512_VBMI inline __m512i Widen(__m512i v, int g) {
  __m128i part;
  switch (g) {
    case 0: part = _mm512_extracti32x4_epi32(v, 0); break;
    case 1: part = _mm512_extracti32x4_epi32(v, 1); break;
    case 2: part = _mm512_extracti32x4_epi32(v, 2); break;
    default: part = _mm512_extracti32x4_epi32(v, 3); break;
  }
  return _mm512_cvtepu8_epi32(part);
}

CHROMALINE_TARGET_AVX512_VBMI inline __m512i InsertGroup(__m512i v, __m128i part, int g) {
  switch (g) {
    case 0: return _mm512_inserti32x4(v, part, 0);
    case 1: return _mm512_inserti32x4(v, part, 1);
    case 2: return _mm512_inserti32x4(v, part, 2);
    default: return _mm512_inserti32x4(v, part, 3);
  }
}

// Eight sepia levels from eight pixels' channel values (as 32-bit
// integers), operation for operation as the plain loop does them.
CHROMALINE_TARGET_AVX512_VBMI inline __m256i SepiaLevels8(__m256i b, __m256i g, __m256i r, __m512d c, __m512d kb,
                                                          __m512d kr, __m512d kg) {
  const __m512d bd = _mm512_cvtepi32_pd(b), gd = _mm512_cvtepi32_pd(g), rd = _mm512_cvtepi32_pd(r);
  __m512d s = _mm512_add_pd(_mm512_mul_pd(_mm512_mul_pd(bd, c), kb), _mm512_mul_pd(_mm512_mul_pd(rd, c), kr));
  s = _mm512_add_pd(s, _mm512_mul_pd(_mm512_mul_pd(gd, c), kg));
  return _mm512_cvttpd_epi32(_mm512_mul_pd(s, _mm512_set1_pd(240.0)));
}

}  // namespace

bool PointRowsVectorFormsBuilt() { return true; }

CHROMALINE_TARGET_AVX512_VBMI void MapBytesAvx512(uint8_t* bytes, size_t count, const uint8_t (&table)[256]) {
  const Table256 t = LoadTable(table);
  size_t i = 0;
  for (; i + 64 <= count; i += 64) {
    _mm512_storeu_si512(bytes + i, Lookup(t, _mm512_loadu_si512(bytes + i)));
  }
  if (i < count) {
    // Masked: the bytes past the end are neither read nor written.
    const __mmask64 rest = (__mmask64{1} << (count - i)) - 1;
    _mm512_mask_storeu_epi8(bytes + i, rest, Lookup(t, _mm512_maskz_loadu_epi8(rest, bytes + i)));
  }
}

CHROMALINE_TARGET_AVX512_VBMI void GrayRowAvx512(uint8_t* pixels, size_t count, const GrayShares& shares) {
  const Shuffles s = LoadShuffles();
  const Table256 blue = LoadTable(shares.blue), green = LoadTable(shares.green), red = LoadTable(shares.red);
  for (size_t done = 0; done + 64 <= count; done += 64) {
    uint8_t* p = pixels + 3 * done;
    const Channels c = Gather64(p, s);
    // Each share is at most 255, so a saturating sum is the capped sum.
    const __m512i level =
        _mm512_adds_epu8(_mm512_adds_epu8(Lookup(green, c.green), Lookup(blue, c.blue)), Lookup(red, c.red));
    ScatterGray64(p, level, s);
  }
}

// Sepia levels. For weights of 0..1000 (the only ones the stage hands
// over), the double arithmetic approximates 240 N / 255000 = 2N / 2125 with
// N = wb B + wr R + wg G, to within far less than 1e-12, while 2N / 2125 is
// either a whole number or at least 1/2125 away from one. Away from whole
// numbers, trunc(2N / 2125) is therefore the level the double arithmetic
// gives, and it is worked out in integers (the quotient through single
// precision, then checked by its remainder). Where it is a whole number
// other than 0, or the check fails, the double arithmetic itself decides,
// operation for operation as in the plain loop.
CHROMALINE_TARGET_AVX512_VBMI void SepiaRowAvx512(uint8_t* pixels, size_t count, const SepiaRowArgs& args) {
  const Shuffles s = LoadShuffles();
  const Table256 blue = LoadTable(args.blue), green = LoadTable(args.green), red = LoadTable(args.red);
  const Table256 gray_levels = LoadTable(args.gray_level);
  const __m512d c = _mm512_set1_pd(0.00392156862745098);
  const __m512d kb = _mm512_set1_pd(args.kb), kr = _mm512_set1_pd(args.kr), kg = _mm512_set1_pd(args.kg);
  const __m512i zero = _mm512_setzero_si512(), top = _mm512_set1_epi32(240);
  const __m512i divisor = _mm512_set1_epi32(2125), low_half = _mm512_set1_epi32(0xFFFF);
  const __m512 inverse = _mm512_set1_ps(1.0f / 2125.0f);
  const __m512i twice_blue_red = _mm512_set1_epi32((2 * args.weight_red) << 16 | (2 * args.weight_blue));
  const __m512i green_green = _mm512_set1_epi32(args.weight_green << 16 | args.weight_green);
  for (size_t done = 0; done + 64 <= count; done += 64) {
    uint8_t* p = pixels + 3 * done;
    __m512i levels = _mm512_setzero_si512(), blues = _mm512_setzero_si512();
    uint64_t gray_undecided = 0;
    for (int g = 0; g < 4; ++g) {
      const __m512i group = _mm512_maskz_loadu_epi8(kGroupBytes, p + 48 * g);
      const __m512i br = _mm512_maskz_permutexvar_epi8(s.pair_bytes, s.blue_red, group);
      const __m512i gg = _mm512_maskz_permutexvar_epi8(s.pair_bytes, s.green_green, group);
      const __m512i n2 = _mm512_add_epi32(_mm512_madd_epi16(br, twice_blue_red), _mm512_madd_epi16(gg, green_green));
      __m512i level = _mm512_cvttps_epi32(_mm512_mul_ps(_mm512_cvtepi32_ps(n2), inverse));
      const __m512i remainder = _mm512_sub_epi32(n2, _mm512_mullo_epi32(level, divisor));
      const __mmask16 exact = _mm512_cmpgt_epi32_mask(remainder, zero) & _mm512_cmplt_epi32_mask(remainder, divisor);
      __mmask16 undecided = static_cast<__mmask16>(~exact & _mm512_cmpneq_epi32_mask(n2, zero));
      // Grays are undecided often (one gray value in 17 in the modes whose
      // weights sum to 1000) and too irregularly for a branch per group to
      // guess; they are settled below for the whole block from levels
      // worked out in advance. Blue | red << 16 equals green | green << 16
      // exactly for a gray.
      const __mmask16 gray = _mm512_cmpeq_epi32_mask(br, gg);
      gray_undecided |= static_cast<uint64_t>(undecided & gray) << (16 * g);
      undecided = static_cast<__mmask16>(undecided & ~gray);
      blues = InsertGroup(blues, _mm512_cvtepi32_epi8(br), g);
      if (undecided != 0) {
        // Only the half of the group that needs it does the double
        // arithmetic.
        const __m512i b = _mm512_and_si512(br, low_half), r = _mm512_srli_epi32(br, 16);
        const __m512i gr = _mm512_and_si512(gg, low_half);
        __m512i decided = level;
        if ((undecided & 0xFF) != 0) {
          const __m256i low = SepiaLevels8(_mm512_castsi512_si256(b), _mm512_castsi512_si256(gr),
                                           _mm512_castsi512_si256(r), c, kb, kr, kg);
          decided = _mm512_inserti64x4(decided, low, 0);
        }
        if ((undecided >> 8) != 0) {
          const __m256i high = SepiaLevels8(_mm512_extracti64x4_epi64(b, 1), _mm512_extracti64x4_epi64(gr, 1),
                                            _mm512_extracti64x4_epi64(r, 1), c, kb, kr, kg);
          decided = _mm512_inserti64x4(decided, high, 1);
        }
        level = _mm512_mask_mov_epi32(level, undecided, decided);
      }
      level = _mm512_min_epi32(_mm512_max_epi32(level, zero), top);
      levels = InsertGroup(levels, _mm512_cvtepi32_epi8(level), g);
    }
    if (gray_undecided != 0) levels = _mm512_mask_blend_epi8(gray_undecided, levels, Lookup(gray_levels, blues));
    Scatter64(p, Channels{Lookup(blue, levels), Lookup(green, levels), Lookup(red, levels)}, s);
  }
}

CHROMALINE_TARGET_AVX512_VBMI void LuminanceRowAvx512(const uint8_t* pixels, size_t count, uint8_t* luminance) {
  const Shuffles s = LoadShuffles();
  // 38470 does not fit a signed 16-bit weight; green counts twice at half.
  const __m512i blue_red = _mm512_set1_epi32(19595 << 16 | 7471);
  const __m512i green_green = _mm512_set1_epi32(19235 << 16 | 19235);
  for (size_t done = 0; done + 16 <= count; done += 16) {
    const __m512i group = _mm512_maskz_loadu_epi8(kGroupBytes, pixels + 3 * done);
    const __m512i br = _mm512_maskz_permutexvar_epi8(s.pair_bytes, s.blue_red, group);
    const __m512i gg = _mm512_maskz_permutexvar_epi8(s.pair_bytes, s.green_green, group);
    const __m512i sum = _mm512_add_epi32(_mm512_madd_epi16(br, blue_red), _mm512_madd_epi16(gg, green_green));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(luminance + done), _mm512_cvtepi32_epi8(_mm512_srli_epi32(sum, 16)));
  }
}

#else  // no vector forms on this compiler or processor family

bool PointRowsVectorFormsBuilt() { return false; }
void MapBytesAvx512(uint8_t*, size_t, const uint8_t (&)[256]) {}
void GrayRowAvx512(uint8_t*, size_t, const GrayShares&) {}
void SepiaRowAvx512(uint8_t*, size_t, const SepiaRowArgs&) {}
void LuminanceRowAvx512(const uint8_t*, size_t, uint8_t*) {}

#endif
