// The AVX2 form of a stretch table (ByteStretch in point_rows.h): instead
// of sixteen shuffles per 32 bytes, each entry min(255, floor(u * 255 /
// span)) with u = max(v - low, 0) is worked out in 16-bit lanes. The
// quotient comes from a multiplication by floor(2^16 / span), which falls
// short of it by at most one, and one correction step: with N = u * 255
// (below 2^16) and q the estimate, N - q * span is below 2 * span, and q
// is one too small exactly when it is span or more.
#include "filters/point/point_rows.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

#include <cstring>

#include <immintrin.h>

#include "filters/engine/cpu_targets.h"

namespace {

struct StretchConstants {
  __m256i low;         // bytes
  __m256i reciprocal;  // floor(2^16 / span), at most 65535
  __m256i span;
  __m256i span_less_one;
  __m256i times;  // 255
  __m256i full;   // 255
};

// Sixteen values u (16-bit lanes) to their entries.
CHROMALINE_TARGET_AVX2 inline __m256i Stretch16(__m256i u, const StretchConstants& c) {
  const __m256i n = _mm256_mullo_epi16(u, c.times);
  const __m256i estimate = _mm256_mulhi_epu16(n, c.reciprocal);
  const __m256i rest = _mm256_sub_epi16(n, _mm256_mullo_epi16(estimate, c.span));
  // rest < 2 * span <= 510: a signed comparison is safe.
  const __m256i short_by_one = _mm256_cmpgt_epi16(rest, c.span_less_one);
  return _mm256_min_epu16(_mm256_sub_epi16(estimate, short_by_one), c.full);
}

CHROMALINE_TARGET_AVX2 inline __m256i Stretch32(__m256i bytes, const StretchConstants& c) {
  const __m256i u = _mm256_subs_epu8(bytes, c.low);
  const __m256i zero = _mm256_setzero_si256();
  // Unpacking and packing both work within 128-bit halves, so the bytes
  // come back in their places.
  return _mm256_packus_epi16(Stretch16(_mm256_unpacklo_epi8(u, zero), c),
                             Stretch16(_mm256_unpackhi_epi8(u, zero), c));
}

}  // namespace

CHROMALINE_TARGET_AVX2 void MapStretchAvx2(uint8_t* bytes, size_t count, const ByteStretch& stretch) {
  const int span = stretch.span;
  const int reciprocal = span == 1 ? 65535 : 65536 / span;
  const StretchConstants c = {_mm256_set1_epi8(static_cast<char>(stretch.low)),
                              _mm256_set1_epi16(static_cast<short>(reciprocal)),
                              _mm256_set1_epi16(static_cast<short>(span)),
                              _mm256_set1_epi16(static_cast<short>(span - 1)),
                              _mm256_set1_epi16(255),
                              _mm256_set1_epi16(255)};
  size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    __m256i* p = reinterpret_cast<__m256i*>(bytes + i);
    _mm256_storeu_si256(p, Stretch32(_mm256_loadu_si256(p), c));
  }
  if (i < count) {
    // The rest goes through a copy: no byte past the end is read or written.
    alignas(32) uint8_t rest[32] = {};
    std::memcpy(rest, bytes + i, count - i);
    __m256i* p = reinterpret_cast<__m256i*>(rest);
    _mm256_store_si256(p, Stretch32(_mm256_load_si256(p), c));
    std::memcpy(bytes + i, rest, count - i);
  }
}

#else  // no vector forms on this compiler or processor family

void MapStretchAvx2(uint8_t*, size_t, const ByteStretch&) {}

#endif
