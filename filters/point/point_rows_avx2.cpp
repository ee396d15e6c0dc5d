// AVX2 forms of the point-stage row loops, for processors without AVX-512
// (most desktop and laptop processors). Built for AVX2 only inside this file
// through target attributes and chosen at run time; they give exactly the
// bytes of the plain loops.
//
// A 256-entry table is looked up 32 bytes at a time with sixteen 16-byte
// shuffles (see Lookup). Pixels go 32 at a time: two groups of 16 pixels
// (48 bytes), one in each 128-bit half of the registers, are split into a
// vector of blue, one of green and one of red (pixel i at byte i), worked
// on, and put back together. Sepia levels come from the same exact integer
// arithmetic as the AVX-512 form, with the same fall-backs.
#include "filters/point/point_rows.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

#include <cstring>

#include <immintrin.h>

#include "filters/engine/cpu_targets.h"

namespace {

// Slices of a table, ready for Lookup: slice k is entries 16k .. 16k + 15
// XOR the entries of slice k - 1 (except for k = 0 and k = 8), in both
// 128-bit halves.
struct Table256 {
  __m256i slice[16];
};

CHROMALINE_TARGET_AVX2 inline Table256 LoadTable(const uint8_t* table) {
  Table256 t;
  __m256i previous = _mm256_setzero_si256();
  for (int k = 0; k < 16; ++k) {
    const __m256i entries =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k)));
    t.slice[k] = k % 8 == 0 ? entries : _mm256_xor_si256(entries, previous);
    previous = entries;
  }
  return t;
}

// Steps `index` down by sixteen. The empty assembly hides the running
// index from the optimiser, which would otherwise rebuild every index from
// x and a constant of its own, one more register or load each.
CHROMALINE_TARGET_AVX2 inline __m256i StepDown(__m256i index, __m256i sixteen) {
  index = _mm256_sub_epi8(index, sixteen);
  __asm__("" : "+x"(index));
  return index;
}

// out[i] = tables[i][x] for each byte x of x[i], i < N, with high half h
// and low half l. A shuffle gives zero where its index has the top bit set,
// so the index x - 16k picks slice k's entry l exactly when 0 <= x - 16k <
// 128. For x < 128 the first eight shuffles thus give slices 0 .. h, whose
// XOR is entries 16h .. 16h + 15; for x >= 128 the last eight give slices
// 8 .. h, likewise. The top bit of x picks between the two. N lookups side
// by side share the loads of the slices (when the tables are one) and keep
// more work in flight.
template <int N>
CHROMALINE_TARGET_AVX2 inline void LookupN(const Table256* const (&tables)[N], const __m256i (&x)[N],
                                           __m256i (&out)[N]) {
  const __m256i sixteen = _mm256_set1_epi8(16);
  __m256i index[N], low[N], high[N];
  for (int i = 0; i < N; ++i) {
    index[i] = x[i];
    low[i] = _mm256_shuffle_epi8(tables[i]->slice[0], index[i]);
  }
  for (int k = 1; k < 8; ++k) {
    for (int i = 0; i < N; ++i) {
      index[i] = StepDown(index[i], sixteen);
      low[i] = _mm256_xor_si256(low[i], _mm256_shuffle_epi8(tables[i]->slice[k], index[i]));
    }
  }
  for (int i = 0; i < N; ++i) {
    index[i] = StepDown(index[i], sixteen);
    high[i] = _mm256_shuffle_epi8(tables[i]->slice[8], index[i]);
  }
  for (int k = 9; k < 16; ++k) {
    for (int i = 0; i < N; ++i) {
      index[i] = StepDown(index[i], sixteen);
      high[i] = _mm256_xor_si256(high[i], _mm256_shuffle_epi8(tables[i]->slice[k], index[i]));
    }
  }
  for (int i = 0; i < N; ++i) out[i] = _mm256_blendv_epi8(low[i], high[i], x[i]);
}

// out[i] = tables[i][x] for one x: LookupN with one index for all tables.
template <int N>
CHROMALINE_TARGET_AVX2 inline void LookupSameN(const Table256* const (&tables)[N], __m256i x, __m256i (&out)[N]) {
  const __m256i sixteen = _mm256_set1_epi8(16);
  __m256i index = x, low[N], high[N];
  for (int i = 0; i < N; ++i) low[i] = _mm256_shuffle_epi8(tables[i]->slice[0], index);
  for (int k = 1; k < 8; ++k) {
    index = StepDown(index, sixteen);
    for (int i = 0; i < N; ++i) low[i] = _mm256_xor_si256(low[i], _mm256_shuffle_epi8(tables[i]->slice[k], index));
  }
  index = StepDown(index, sixteen);
  for (int i = 0; i < N; ++i) high[i] = _mm256_shuffle_epi8(tables[i]->slice[8], index);
  for (int k = 9; k < 16; ++k) {
    index = StepDown(index, sixteen);
    for (int i = 0; i < N; ++i) high[i] = _mm256_xor_si256(high[i], _mm256_shuffle_epi8(tables[i]->slice[k], index));
  }
  for (int i = 0; i < N; ++i) out[i] = _mm256_blendv_epi8(low[i], high[i], x);
}

CHROMALINE_TARGET_AVX2 inline __m256i Lookup(const Table256& t, __m256i x) {
  const Table256* const tables[1] = {&t};
  const __m256i in[1] = {x};
  __m256i out[1];
  LookupN<1>(tables, in, out);
  return out[0];
}

// Byte indices for splitting a 48-byte group (three 16-byte registers r)
// into channels and back: split[c][r][i] is where pixel i's channel c lies
// in register r (0x80: elsewhere); join[r][c][j] is the pixel whose channel
// c is byte j of register r (0x80: another channel).
struct ShuffleBytes {
  alignas(16) uint8_t split[3][3][16];
  alignas(16) uint8_t join[3][3][16];
  alignas(16) uint8_t join_gray[3][16];
};

constexpr ShuffleBytes MakeShuffleBytes() {
  ShuffleBytes b = {};
  for (int c = 0; c < 3; ++c) {
    for (int r = 0; r < 3; ++r) {
      for (int i = 0; i < 16; ++i) {
        const int at = 3 * i + c;
        b.split[c][r][i] = static_cast<uint8_t>(at / 16 == r ? at % 16 : 0x80);
        const int j = 16 * r + i;
        b.join[r][c][i] = static_cast<uint8_t>(j % 3 == c ? j / 3 : 0x80);
        b.join_gray[r][i] = static_cast<uint8_t>(j / 3);
      }
    }
  }
  return b;
}

constexpr ShuffleBytes kShuffleBytes = MakeShuffleBytes();

CHROMALINE_TARGET_AVX2 inline __m256i Both(const uint8_t* sixteen) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(sixteen)));
}

// Bytes p[16r ..] in the low half, p[48 + 16r ..] in the high half.
CHROMALINE_TARGET_AVX2 inline __m256i LoadPair(const uint8_t* p, int r) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * r));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48 + 16 * r));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

CHROMALINE_TARGET_AVX2 inline void StorePair(uint8_t* p, int r, __m256i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * r), _mm256_castsi256_si128(v));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 48 + 16 * r), _mm256_extracti128_si256(v, 1));
}

struct Channels {
  __m256i blue, green, red;
};

CHROMALINE_TARGET_AVX2 inline __m256i SplitChannel(const __m256i (&in)[3], int c) {
  __m256i v = _mm256_shuffle_epi8(in[0], Both(kShuffleBytes.split[c][0]));
  v = _mm256_or_si256(v, _mm256_shuffle_epi8(in[1], Both(kShuffleBytes.split[c][1])));
  return _mm256_or_si256(v, _mm256_shuffle_epi8(in[2], Both(kShuffleBytes.split[c][2])));
}

// The 32 pixels at p.
CHROMALINE_TARGET_AVX2 inline Channels Split32(const uint8_t* p) {
  const __m256i in[3] = {LoadPair(p, 0), LoadPair(p, 1), LoadPair(p, 2)};
  return {SplitChannel(in, 0), SplitChannel(in, 1), SplitChannel(in, 2)};
}

CHROMALINE_TARGET_AVX2 inline void Join32(uint8_t* p, const Channels& c) {
  for (int r = 0; r < 3; ++r) {
    __m256i v = _mm256_shuffle_epi8(c.blue, Both(kShuffleBytes.join[r][0]));
    v = _mm256_or_si256(v, _mm256_shuffle_epi8(c.green, Both(kShuffleBytes.join[r][1])));
    v = _mm256_or_si256(v, _mm256_shuffle_epi8(c.red, Both(kShuffleBytes.join[r][2])));
    StorePair(p, r, v);
  }
}

CHROMALINE_TARGET_AVX2 inline void JoinGray32(uint8_t* p, __m256i level) {
  for (int r = 0; r < 3; ++r) StorePair(p, r, _mm256_shuffle_epi8(level, Both(kShuffleBytes.join_gray[r])));
}

// Blue and red of eight pixels as 16-bit pairs (blue low, red high) in
// 32-bit lanes, and green in both halves, ready for 16-bit multiply-adds.
// Quarter q holds pixels 4q' .. 4q' + 3 of each 16-pixel half, in the
// order Narrow undoes.
struct Pairs {
  __m256i blue_red[4];
  __m256i green_green[4];
};

CHROMALINE_TARGET_AVX2 inline Pairs MakePairs(const Channels& c) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i blue[2] = {_mm256_unpacklo_epi8(c.blue, zero), _mm256_unpackhi_epi8(c.blue, zero)};
  const __m256i green[2] = {_mm256_unpacklo_epi8(c.green, zero), _mm256_unpackhi_epi8(c.green, zero)};
  const __m256i red[2] = {_mm256_unpacklo_epi8(c.red, zero), _mm256_unpackhi_epi8(c.red, zero)};
  Pairs p;
  for (int h = 0; h < 2; ++h) {
    p.blue_red[2 * h] = _mm256_unpacklo_epi16(blue[h], red[h]);
    p.blue_red[2 * h + 1] = _mm256_unpackhi_epi16(blue[h], red[h]);
    p.green_green[2 * h] = _mm256_unpacklo_epi16(green[h], green[h]);
    p.green_green[2 * h + 1] = _mm256_unpackhi_epi16(green[h], green[h]);
  }
  return p;
}

// Four quarters of 32-bit values (each 0..255, or 0 / -1 for a mask) back
// to 32 bytes in pixel order.
CHROMALINE_TARGET_AVX2 inline __m256i Narrow(const __m256i (&q)[4]) {
  return _mm256_packus_epi16(_mm256_packs_epi32(q[0], q[1]), _mm256_packs_epi32(q[2], q[3]));
}

CHROMALINE_TARGET_AVX2 inline __m256i NarrowMask(const __m256i (&q)[4]) {
  return _mm256_packs_epi16(_mm256_packs_epi32(q[0], q[1]), _mm256_packs_epi32(q[2], q[3]));
}

// Four sepia levels by the plain loop's double arithmetic, operation for
// operation.
CHROMALINE_TARGET_AVX2 inline __m128i SepiaLevels4(__m128i b, __m128i g, __m128i r, const SepiaRowArgs& args) {
  const __m256d c = _mm256_set1_pd(0.00392156862745098);
  const __m256d bd = _mm256_cvtepi32_pd(b), gd = _mm256_cvtepi32_pd(g), rd = _mm256_cvtepi32_pd(r);
  __m256d s = _mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(bd, c), _mm256_set1_pd(args.kb)),
                            _mm256_mul_pd(_mm256_mul_pd(rd, c), _mm256_set1_pd(args.kr)));
  s = _mm256_add_pd(s, _mm256_mul_pd(_mm256_mul_pd(gd, c), _mm256_set1_pd(args.kg)));
  return _mm256_cvttpd_epi32(_mm256_mul_pd(s, _mm256_set1_pd(240.0)));
}

// The undecided lanes of `level` settled by the double arithmetic.
CHROMALINE_TARGET_AVX2 __attribute__((noinline)) __m256i SettleSepiaLevels(const __m256i& level,
                                                                           const __m256i& undecided,
                                                                           const __m256i& blue_red,
                                                                           const __m256i& green_green,
                                                                           const SepiaRowArgs& args) {
  const __m256i low_half = _mm256_set1_epi32(0xFFFF);
  const __m256i b = _mm256_and_si256(blue_red, low_half), r = _mm256_srli_epi32(blue_red, 16);
  const __m256i g = _mm256_and_si256(green_green, low_half);
  const __m128i low =
      SepiaLevels4(_mm256_castsi256_si128(b), _mm256_castsi256_si128(g), _mm256_castsi256_si128(r), args);
  const __m128i high = SepiaLevels4(_mm256_extracti128_si256(b, 1), _mm256_extracti128_si256(g, 1),
                                    _mm256_extracti128_si256(r, 1), args);
  const __m256i decided = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
  return _mm256_blendv_epi8(level, decided, undecided);
}

}  // namespace

CHROMALINE_TARGET_AVX2 void MapBytesAvx2(uint8_t* bytes, size_t count, const uint8_t (&table)[256]) {
  const Table256 t = LoadTable(table);
  const Table256* const both[2] = {&t, &t};
  size_t i = 0;
  for (; i + 64 <= count; i += 64) {
    const __m256i x[2] = {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i)),
                          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 32))};
    __m256i mapped[2];
    LookupN<2>(both, x, mapped);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes + i), mapped[0]);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes + i + 32), mapped[1]);
  }
  for (; i + 32 <= count; i += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes + i), Lookup(t, x));
  }
  if (i < count) {
    // The rest goes through a copy: no byte past the end is read or written.
    alignas(32) uint8_t rest[32] = {};
    std::memcpy(rest, bytes + i, count - i);
    _mm256_store_si256(reinterpret_cast<__m256i*>(rest),
                       Lookup(t, _mm256_load_si256(reinterpret_cast<__m256i*>(rest))));
    std::memcpy(bytes + i, rest, count - i);
  }
}

// Where every share is (v * multiplier) >> 16 (GrayShares::multiplier), the
// shares come from 16-bit multiplications; otherwise from the tables.
CHROMALINE_TARGET_AVX2 void GrayRowAvx2(uint8_t* pixels, size_t count, const GrayShares& shares) {
  if (shares.multiplied) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i multiplier[3] = {_mm256_set1_epi16(static_cast<int16_t>(shares.multiplier[0])),
                                   _mm256_set1_epi16(static_cast<int16_t>(shares.multiplier[1])),
                                   _mm256_set1_epi16(static_cast<int16_t>(shares.multiplier[2]))};
    const __m256i whole[3] = {_mm256_set1_epi16(shares.whole[0] ? -1 : 0),
                              _mm256_set1_epi16(shares.whole[1] ? -1 : 0),
                              _mm256_set1_epi16(shares.whole[2] ? -1 : 0)};
    for (size_t done = 0; done + kAvx2Block <= count; done += kAvx2Block) {
      uint8_t* p = pixels + 3 * done;
      const Channels c = Split32(p);
      const __m256i channel[3] = {c.blue, c.green, c.red};
      __m256i sum[2] = {zero, zero};
      for (int ch = 0; ch < 3; ++ch) {
        const __m256i value[2] = {_mm256_unpacklo_epi8(channel[ch], zero), _mm256_unpackhi_epi8(channel[ch], zero)};
        for (int h = 0; h < 2; ++h) {
          const __m256i share =
              _mm256_add_epi16(_mm256_mulhi_epu16(value[h], multiplier[ch]), _mm256_and_si256(value[h], whole[ch]));
          sum[h] = _mm256_add_epi16(sum[h], share);
        }
      }
      // The sum is at most 3 * 255; packing saturates it to 255.
      JoinGray32(p, _mm256_packus_epi16(sum[0], sum[1]));
    }
    return;
  }
  const Table256 blue = LoadTable(shares.blue), green = LoadTable(shares.green), red = LoadTable(shares.red);
  const Table256* const tables[3] = {&green, &blue, &red};
  for (size_t done = 0; done + kAvx2Block <= count; done += kAvx2Block) {
    uint8_t* p = pixels + 3 * done;
    const Channels c = Split32(p);
    const __m256i x[3] = {c.green, c.blue, c.red};
    __m256i share[3];
    LookupN<3>(tables, x, share);
    // Each share is at most 255, so a saturating sum is the capped sum.
    JoinGray32(p, _mm256_adds_epu8(_mm256_adds_epu8(share[0], share[1]), share[2]));
  }
}

// Sepia levels as in SepiaRowAvx512: trunc(2N / 2125) with N = wb B + wr R +
// wg G in integers where that is provably the double arithmetic's level,
// the double arithmetic itself (rare) where it might not be, and for grays
// (one gray value in 17 is undecided) the level worked out once per call.
CHROMALINE_TARGET_AVX2 void SepiaRowAvx2(uint8_t* pixels, size_t count, const SepiaRowArgs& args) {
  const Table256 blue = LoadTable(args.blue), green = LoadTable(args.green), red = LoadTable(args.red);
  const Table256 gray_levels = LoadTable(args.gray_level);
  const Table256* const palette[3] = {&blue, &green, &red};
  const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi32(240);
  const __m256i divisor = _mm256_set1_epi32(2125);
  const __m256 inverse = _mm256_set1_ps(1.0f / 2125.0f);
  const __m256i twice_blue_red = _mm256_set1_epi32((2 * args.weight_red) << 16 | (2 * args.weight_blue));
  const __m256i green_green = _mm256_set1_epi32(args.weight_green << 16 | args.weight_green);
  for (size_t done = 0; done + kAvx2Block <= count; done += kAvx2Block) {
    uint8_t* p = pixels + 3 * done;
    const Channels c = Split32(p);
    const Pairs pairs = MakePairs(c);
    __m256i levels[4], gray_undecided[4];
    int any_gray_undecided = 0;
    for (int q = 0; q < 4; ++q) {
      const __m256i br = pairs.blue_red[q], gg = pairs.green_green[q];
      const __m256i n2 = _mm256_add_epi32(_mm256_madd_epi16(br, twice_blue_red), _mm256_madd_epi16(gg, green_green));
      __m256i level = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(n2), inverse));
      // level < 2^15, so a 16-bit multiply-add with (2125, 0) is level * 2125.
      const __m256i remainder = _mm256_sub_epi32(n2, _mm256_madd_epi16(level, divisor));
      const __m256i exact =
          _mm256_and_si256(_mm256_cmpgt_epi32(remainder, zero), _mm256_cmpgt_epi32(divisor, remainder));
      // Not exact and n2 != 0: (exact | n2 == 0) == 0.
      __m256i undecided = _mm256_cmpeq_epi32(_mm256_or_si256(exact, _mm256_cmpeq_epi32(n2, zero)), zero);
      // Blue | red << 16 equals green | green << 16 exactly for a gray.
      const __m256i gray = _mm256_cmpeq_epi32(br, gg);
      gray_undecided[q] = _mm256_and_si256(undecided, gray);
      any_gray_undecided |= _mm256_movemask_epi8(gray_undecided[q]);
      undecided = _mm256_andnot_si256(gray, undecided);
      if (_mm256_movemask_epi8(undecided) != 0) level = SettleSepiaLevels(level, undecided, br, gg, args);
      levels[q] = _mm256_min_epi32(_mm256_max_epi32(level, zero), top);
    }
    __m256i level_bytes = Narrow(levels);
    if (any_gray_undecided != 0) {
      level_bytes = _mm256_blendv_epi8(level_bytes, Lookup(gray_levels, c.blue), NarrowMask(gray_undecided));
    }
    __m256i colour[3];
    LookupSameN<3>(palette, level_bytes, colour);
    Join32(p, Channels{colour[0], colour[1], colour[2]});
  }
}

// Blue and red of four pixels (12 bytes from `skip`) as 16-bit pairs in
// 32-bit lanes, and green in both halves; 0x80 clears a byte.
struct LuminanceBytes {
  alignas(32) uint8_t blue_red[2][16];
  alignas(32) uint8_t green_green[2][16];
};

constexpr LuminanceBytes MakeLuminanceBytes() {
  LuminanceBytes b = {};
  for (int skip = 0; skip < 2; ++skip) {
    for (int i = 0; i < 16; ++i) {
      const int pixel = i / 4, part = i % 4, base = 4 * skip + 3 * pixel;
      b.blue_red[skip][i] = static_cast<uint8_t>(part == 0 ? base : part == 2 ? base + 2 : 0x80);
      b.green_green[skip][i] = static_cast<uint8_t>(part % 2 == 0 ? base + 1 : 0x80);
    }
  }
  return b;
}

constexpr LuminanceBytes kLuminanceBytes = MakeLuminanceBytes();

// Pattern 0 in the low half, pattern `high` in the high half.
CHROMALINE_TARGET_AVX2 inline __m256i Patterns(const uint8_t (&table)[2][16], int high) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table[0]))),
                                 _mm_load_si128(reinterpret_cast<const __m128i*>(table[high])), 1);
}

// Eight pixels a step: pixels 0..3 and 4..7 of the step in the two halves.
// The last step of a block reads its second half from 4 bytes earlier, so
// that nothing past the block is read.
CHROMALINE_TARGET_AVX2 void LuminanceRowAvx2(const uint8_t* pixels, size_t count, uint8_t* luminance) {
  // 38470 does not fit a signed 16-bit weight; green counts twice at half.
  const __m256i weights_blue_red = _mm256_set1_epi32(19595 << 16 | 7471);
  const __m256i weights_green = _mm256_set1_epi32(19235 << 16 | 19235);
  const __m256i blue_red[2] = {Patterns(kLuminanceBytes.blue_red, 0), Patterns(kLuminanceBytes.blue_red, 1)};
  const __m256i green[2] = {Patterns(kLuminanceBytes.green_green, 0), Patterns(kLuminanceBytes.green_green, 1)};
  for (size_t done = 0; done + kAvx2Block <= count; done += kAvx2Block) {
    const uint8_t* p = pixels + 3 * done;
    __m256i level[4];
    for (int q = 0; q < 4; ++q) {
      const int last = q == 3 ? 1 : 0;
      const uint8_t* step = p + 24 * q;
      const __m256i bytes =
          _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(step))),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(step + 12 - 4 * last)), 1);
      const __m256i sum =
          _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(bytes, blue_red[last]), weights_blue_red),
                           _mm256_madd_epi16(_mm256_shuffle_epi8(bytes, green[last]), weights_green));
      level[q] = _mm256_srli_epi32(sum, 16);
    }
    // level[q] holds pixels 8q .. 8q + 7 in lane order; the packs work per
    // half, so the halves are put back in order at the end.
    const __m256i packed =
        _mm256_packus_epi16(_mm256_packs_epi32(level[0], level[1]), _mm256_packs_epi32(level[2], level[3]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(luminance + done),
                        _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7)));
  }
}

#else  // no vector forms on this compiler or processor family

void MapBytesAvx2(uint8_t*, size_t, const uint8_t (&)[256]) {}
void GrayRowAvx2(uint8_t*, size_t, const GrayShares&) {}
void SepiaRowAvx2(uint8_t*, size_t, const SepiaRowArgs&) {}
void LuminanceRowAvx2(const uint8_t*, size_t, uint8_t*) {}

#endif
