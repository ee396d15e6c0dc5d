// The blur's inner loops and the sharpening step written once, over a lane
// type L that says how to load, store, add, multiply and round a vector of
// L::kLanes doubles (and, for the single-precision horizontal pass, of
// L::kFloatLanes floats). unsharp_mask_rows_sse2.cpp, _avx2.cpp and
// _avx512.cpp instantiate them with their instruction set's lanes; the tests
// instantiate them with plain lanes (an array, each operation lane by lane),
// so that every block shape runs on every processor.
//
// The includer defines CHROMALINE_LANES_TARGET, the target attribute its
// lanes need (empty for SSE2 and the plain lanes), before including this
// file, and includes it once. Everything here sits in an unnamed namespace:
// each file's copy is its own, built for its own instruction set.
//
// A lane type provides, with V its double vector and F its float vector:
//   kLanes, kFloatLanes (0: no single-precision pass)
//   V Zero(); V Set(double); V Load(const double*); V Load(const float*);
//   void Store(double*, V);
//   V MulAdd(V x, V w, V sum)  sum + x * w, rounded once to double where the
//                              product is exact (every use here);
//   V RoundToFloat(V)          to 24 significant bits, ties to even;
//   void StoreLowBytes(V, unsigned char*)   low 8 bits of each truncated lane;
//   the sharpening step: V LoadBytes(const unsigned char*), Add, Sub, Mul,
//   Min, Max, V Sharpened(V d, V threshold, V original, V value) (value
//   where |d| > threshold, else original), StoreBytes(V, unsigned char*)
//   for lanes within [0, 255];
//   the single-precision pass: F FloatZero(), FloatSet(float),
//   FloatLoad(const float*), FloatMulAdd(F x, F w, F sum) (one rounding),
//   StoreFloatsAsDoubles(F, double*).
#ifndef CHROMALINE_LANES_TARGET
#error "define CHROMALINE_LANES_TARGET before including unsharp_mask_rows_lanes.h"
#endif

#include "filters/sharpen/unsharp_mask_rows.h"

// The includer may define CHROMALINE_LANES_UNROLL and _UNROLL_4 itself
// (empty for the plain lanes, which gain nothing from it but build time).
#if defined(CHROMALINE_LANES_UNROLL)
#elif defined(_MSC_VER) && !defined(__clang__)
#define CHROMALINE_LANES_UNROLL
#define CHROMALINE_LANES_UNROLL_4
#else
#define CHROMALINE_LANES_UNROLL _Pragma("GCC unroll 32")
#define CHROMALINE_LANES_UNROLL_4 _Pragma("GCC unroll 4")
#endif

namespace {

// Rounding a double sum to float without leaving double lanes, in three
// operations: with c = sum * (2^29 + 1), c - (c - sum) is the sum rounded
// to 24 significant bits, ties to even, for every sum from the smallest
// normal float to far beyond 256 (Veltkamp's splitting, each step rounded
// to double). Valid for sums of zero or at least the smallest normal float
// (BlurTaps::vector_rounding_exact).
constexpr double kSplitter = 536870913.0;  // 2^29 + 1

// The shape of the blocks for a number of vector registers: eight in
// 32-bit code, sixteen (SSE2, AVX2) or 32 (AVX-512) in 64-bit code.
// - vertical_vectors: vectors of sums per output row kept in registers, for
//   two rows at a time; 0 keeps the sums of a chunk in memory instead (the
//   first level cache), each tap sweeping the whole chunk so that every
//   vector is an independent chain and the add-and-round latency never
//   stalls the loop.
// - horizontal_vectors, float_vectors: sums in registers of the double and
//   single-precision horizontal loops; 0 for the double loop keeps them in
//   memory as the vertical loop does (its chain is too long for four).
template <int kRegisters>
struct BlockShape {
  static constexpr int vertical_vectors = kRegisters >= 32 ? 12 : 0;
  static constexpr int horizontal_vectors = kRegisters >= 32 ? 12 : kRegisters >= 16 ? 8 : 0;
  // In 32-bit code seven sums and the weight fill the eight registers.
  static constexpr int float_vectors = kRegisters >= 32 ? 12 : kRegisters >= 16 ? 8 : 7;
};

// Values per chunk of the vertical loop with its sums in memory (two rows
// of 2 kB each).
constexpr int kLanesChunk = 256;

// One tap on one vector of sums.
template <typename L>
CHROMALINE_LANES_TARGET inline typename L::V Tap(typename L::V sum, typename L::V x, typename L::V w) {
  return L::RoundToFloat(L::MulAdd(x, w, sum));
}

// ---- vertical pass ------------------------------------------------------

// Output rows go in pairs, step by step: at step t the upper row takes its
// tap t and the lower row its tap t - 1, so each row still takes its taps
// in order, and where both taps read the same intermediate row (everywhere
// but next to the repeated offset 0) each vector of it is loaded once for
// both. `rows` is 1 or 2; these give step t's row for each (null: none).
template <typename Row>
inline const Row* UpperRow(const BlurTaps& taps, const Row* const* window, int r, int t, int begin) {
  return t < taps.count ? window[r + taps.rows[t]] + begin : nullptr;
}
template <typename Row>
inline const Row* LowerRow(const BlurTaps& taps, const Row* const* window, int r, int rows, int t, int begin) {
  return rows == 2 && t > 0 ? window[r + 1 + taps.rows[t - 1]] + begin : nullptr;
}

// Sums in memory: `vectors` vectors of one or two rows over a chunk.
template <typename L, typename Row>
CHROMALINE_LANES_TARGET inline void ChunkStep(const Row* p, typename L::V w, double* s) {
  L::Store(s, Tap<L>(L::Load(s), L::Load(p), w));
}

template <typename L, typename Row>
CHROMALINE_LANES_TARGET inline void TapChunk(const Row* p, float weight, double* sums, int vectors) {
  const typename L::V w = L::Set(weight);
  double* const end = sums + L::kLanes * vectors;
  CHROMALINE_LANES_UNROLL_4 for (double* s = sums; s != end; s += L::kLanes, p += L::kLanes) {
    ChunkStep<L>(p, w, s);
  }
}

// One vector of an intermediate row taken by both rows of a pair.
template <typename L, typename Row>
CHROMALINE_LANES_TARGET inline void ChunkStepTwice(const Row* p, typename L::V wu, typename L::V wl, double* u,
                                                   double* l) {
  const typename L::V x = L::Load(p);
  L::Store(u, Tap<L>(L::Load(u), x, wu));
  L::Store(l, Tap<L>(L::Load(l), x, wl));
}

template <typename L, typename Row>
CHROMALINE_LANES_TARGET inline void TapChunkTwice(const Row* p, float upper, float lower, double* upper_sums,
                                                  double* lower_sums, int vectors) {
  const typename L::V wu = L::Set(upper);
  const typename L::V wl = L::Set(lower);
  double* const end = upper_sums + L::kLanes * vectors;
  double* l = lower_sums;
  CHROMALINE_LANES_UNROLL_4 for (double* u = upper_sums; u != end; u += L::kLanes, l += L::kLanes, p += L::kLanes) {
    ChunkStepTwice<L>(p, wu, wl, u, l);
  }
}

template <typename L, typename Row>
CHROMALINE_LANES_TARGET void VerticalChunks(const BlurTaps& taps, const Row* const* window, int out_rows, int first,
                                            int last, unsigned char* const* dest_rows) {
  alignas(64) double sums[2][kLanesChunk];
  for (int r = 0; r < out_rows; r += 2) {
    const int rows = out_rows - r < 2 ? 1 : 2;
    for (int begin = first; begin < last; begin += kLanesChunk) {
      const int end = last - begin < kLanesChunk ? last : begin + kLanesChunk;
      const int vectors = (end - begin) / L::kLanes;
      for (int q = 0; q < rows; ++q) {
        for (int v = 0; v < vectors; ++v) L::Store(sums[q] + L::kLanes * v, L::Zero());
      }
      for (int t = 0; t < taps.count + rows - 1; ++t) {
        const Row* upper = UpperRow(taps, window, r, t, begin);
        const Row* lower = LowerRow(taps, window, r, rows, t, begin);
        if (upper != nullptr && upper == lower) {
          TapChunkTwice<L>(upper, taps.weights[t], taps.weights[t - 1], sums[0], sums[1], vectors);
          continue;
        }
        if (upper != nullptr) TapChunk<L>(upper, taps.weights[t], sums[0], vectors);
        if (lower != nullptr) TapChunk<L>(lower, taps.weights[t - 1], sums[1], vectors);
      }
      for (int q = 0; q < rows; ++q) {
        for (int v = 0; v < vectors; ++v) {
          L::StoreLowBytes(L::Load(sums[q] + L::kLanes * v), dest_rows[r + q] + begin + L::kLanes * v);
        }
      }
      const int done = begin + L::kLanes * vectors;
      if (done < end) VerticalBandGeneric(taps, window + r, rows, done, end, dest_rows + r);
    }
  }
}

// One intermediate row taken by both rows of a pair, sums in registers.
template <typename L, int kVectors, typename Row>
CHROMALINE_LANES_TARGET inline void BlockStepTwice(const Row* p, typename L::V wu, typename L::V wl,
                                                   typename L::V* upper_sum, typename L::V* lower_sum) {
  CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) {
    const typename L::V x = L::Load(p + L::kLanes * k);
    upper_sum[k] = Tap<L>(upper_sum[k], x, wu);
    lower_sum[k] = Tap<L>(lower_sum[k], x, wl);
  }
}

// Sums in registers: kVectors vectors of one or two rows from value i on.
template <typename L, int kVectors, typename Row>
CHROMALINE_LANES_TARGET inline void VerticalBlock(const BlurTaps& taps, const Row* const* window, int r, int rows,
                                                  int i, unsigned char* const* dest_rows) {
  using V = typename L::V;
  V upper_sum[kVectors];
  V lower_sum[kVectors];
  CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) upper_sum[k] = lower_sum[k] = L::Zero();
  for (int t = 0; t < taps.count + rows - 1; ++t) {
    const Row* upper = UpperRow(taps, window, r, t, i);
    const Row* lower = LowerRow(taps, window, r, rows, t, i);
    if (upper != nullptr && upper == lower) {
      BlockStepTwice<L, kVectors>(upper, L::Set(taps.weights[t]), L::Set(taps.weights[t - 1]), upper_sum, lower_sum);
      continue;
    }
    if (upper != nullptr) {
      const V wu = L::Set(taps.weights[t]);
      CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) {
        upper_sum[k] = Tap<L>(upper_sum[k], L::Load(upper + L::kLanes * k), wu);
      }
    }
    if (lower != nullptr) {
      const V wl = L::Set(taps.weights[t - 1]);
      CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) {
        lower_sum[k] = Tap<L>(lower_sum[k], L::Load(lower + L::kLanes * k), wl);
      }
    }
  }
  CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) {
    L::StoreLowBytes(upper_sum[k], dest_rows[r] + i + L::kLanes * k);
  }
  if (rows == 2) {
    CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) {
      L::StoreLowBytes(lower_sum[k], dest_rows[r + 1] + i + L::kLanes * k);
    }
  }
}

// The vectors left after the whole blocks, in one block of `left` (fewer
// than kVectors): one at a time, each would wait for its add-and-round
// chain at every tap.
template <typename L, int kVectors, typename Row>
CHROMALINE_LANES_TARGET inline void VerticalLeftover(int left, const BlurTaps& taps, const Row* const* window, int r,
                                                     int rows, int i, unsigned char* const* dest_rows) {
  if constexpr (kVectors > 1) {
    if (left == kVectors - 1) {
      VerticalBlock<L, kVectors - 1>(taps, window, r, rows, i, dest_rows);
    } else {
      VerticalLeftover<L, kVectors - 1>(left, taps, window, r, rows, i, dest_rows);
    }
  }
}

template <typename L, int kVectors, typename Row>
CHROMALINE_LANES_TARGET void VerticalBlocks(const BlurTaps& taps, const Row* const* window, int out_rows, int first,
                                            int last, unsigned char* const* dest_rows) {
  constexpr int kBlockValues = L::kLanes * kVectors;
  for (int r = 0; r < out_rows; r += 2) {
    const int rows = out_rows - r < 2 ? 1 : 2;
    int i = first;
    for (; i + kBlockValues <= last; i += kBlockValues)
      VerticalBlock<L, kVectors>(taps, window, r, rows, i, dest_rows);
    const int left = (last - i) / L::kLanes;
    VerticalLeftover<L, kVectors>(left, taps, window, r, rows, i, dest_rows);
    i += L::kLanes * left;
    if (i < last) VerticalBandGeneric(taps, window + r, rows, i, last, dest_rows + r);
  }
}

// The vertical loop of a block shape: sums in registers or in memory.
template <typename L, typename Shape, typename Row>
CHROMALINE_LANES_TARGET void VerticalBand(const BlurTaps& taps, const Row* const* window, int out_rows, int first,
                                          int last, unsigned char* const* dest_rows) {
  if constexpr (Shape::vertical_vectors > 0) {
    VerticalBlocks<L, Shape::vertical_vectors>(taps, window, out_rows, first, last, dest_rows);
  } else {
    VerticalChunks<L>(taps, window, out_rows, first, last, dest_rows);
  }
}

// ---- horizontal pass ----------------------------------------------------

// One tap of a horizontal block.
template <typename L, int kVectors>
CHROMALINE_LANES_TARGET inline void HorizontalStep(const float* p, typename L::V w, typename L::V* sum) {
  CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) sum[k] = Tap<L>(sum[k], L::Load(p + L::kLanes * k), w);
}
template <typename L, int kVectors>
CHROMALINE_LANES_TARGET inline void HorizontalFloatStep(const float* p, typename L::F w, typename L::F* sum) {
  CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) {
    sum[k] = L::FloatMulAdd(L::FloatLoad(p + L::kFloatLanes * k), w, sum[k]);
  }
}

// Double lanes: kVectors vectors of sums from value 0 of `padded` on.
template <typename L, int kVectors>
CHROMALINE_LANES_TARGET inline void HorizontalBlock(const BlurTaps& taps, const float* padded, double* out) {
  using V = typename L::V;
  V sum[kVectors];
  CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) sum[k] = L::Zero();
  for (int j = 0; j < taps.count; ++j)
    HorizontalStep<L, kVectors>(padded + taps.columns[j], L::Set(taps.weights[j]), sum);
  CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) L::Store(out + L::kLanes * k, sum[k]);
}

// Float lanes, where BlurTaps::horizontal_fused_exact holds: each fused
// multiply-add rounds the exact sum once, to float, as the plain loop does.
template <typename L, int kVectors>
CHROMALINE_LANES_TARGET inline void HorizontalFloatBlock(const BlurTaps& taps, const float* padded, double* out) {
  using F = typename L::F;
  F sum[kVectors];
  CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k) sum[k] = L::FloatZero();
  for (int j = 0; j < taps.count; ++j) {
    HorizontalFloatStep<L, kVectors>(padded + taps.columns[j], L::FloatSet(taps.weights[j]), sum);
  }
  CHROMALINE_LANES_UNROLL for (int k = 0; k < kVectors; ++k)
      L::StoreFloatsAsDoubles(sum[k], out + L::kFloatLanes * k);
}

// Double lanes with the sums of a chunk in memory, written straight into
// `out`.
template <typename L>
CHROMALINE_LANES_TARGET void HorizontalChunks(const BlurTaps& taps, const float* padded, int values, double* out) {
  for (int begin = 0; begin < values; begin += kLanesChunk) {
    const int end = values - begin < kLanesChunk ? values : begin + kLanesChunk;
    const int vectors = (end - begin) / L::kLanes;
    double* sums = out + begin;
    for (int v = 0; v < vectors; ++v) L::Store(sums + L::kLanes * v, L::Zero());
    for (int j = 0; j < taps.count; ++j)
      TapChunk<L>(padded + begin + taps.columns[j], taps.weights[j], sums, vectors);
    const int done = begin + L::kLanes * vectors;
    if (done < end) HorizontalRowGeneric(taps, padded + done, end - done, out + done);
  }
}

// Whole blocks of kVectors vectors of `kFloat` lanes, then the vectors left
// in one block, then the plain loop for the last values.
template <typename L, bool kFloat, int kVectors>
CHROMALINE_LANES_TARGET inline void HorizontalRun(int left, const BlurTaps& taps, const float* padded, double* out) {
  if constexpr (kVectors > 0) {
    if (left == kVectors) {
      if constexpr (kFloat) {
        HorizontalFloatBlock<L, kVectors>(taps, padded, out);
      } else {
        HorizontalBlock<L, kVectors>(taps, padded, out);
      }
    } else {
      HorizontalRun<L, kFloat, kVectors - 1>(left, taps, padded, out);
    }
  }
}

template <typename L, bool kFloat, int kVectors>
CHROMALINE_LANES_TARGET void HorizontalRowOf(const BlurTaps& taps, const float* padded, int values, double* out) {
  constexpr int kLanes = kFloat ? L::kFloatLanes : L::kLanes;
  int i = 0;
  for (; i + kLanes * kVectors <= values; i += kLanes * kVectors) {
    HorizontalRun<L, kFloat, kVectors>(kVectors, taps, padded + i, out + i);
  }
  const int left = (values - i) / kLanes;
  HorizontalRun<L, kFloat, kVectors - 1>(left, taps, padded + i, out + i);
  i += kLanes * left;
  if (i < values) HorizontalRowGeneric(taps, padded + i, values - i, out + i);
}

// The horizontal loop of a block shape: float lanes where they are exact and
// the lanes have them, double lanes otherwise.
template <typename L, typename Shape>
CHROMALINE_LANES_TARGET void HorizontalRow(const BlurTaps& taps, const float* padded, int values, double* out) {
  if constexpr (L::kFloatLanes > 0) {
    if (taps.horizontal_fused_exact) {
      HorizontalRowOf<L, true, Shape::float_vectors>(taps, padded, values, out);
      return;
    }
  }
  if constexpr (Shape::horizontal_vectors > 0) {
    HorizontalRowOf<L, false, Shape::horizontal_vectors>(taps, padded, values, out);
  } else {
    HorizontalChunks<L>(taps, padded, values, out);
  }
}

// ---- sharpening step ----------------------------------------------------

// SharpenedValue in double lanes: v = O + amount * d (multiplied, then
// added: never fused), clamped to [0, 255] and truncated, where |d| is
// above the threshold.
template <typename L>
CHROMALINE_LANES_TARGET inline void SharpenStep(const unsigned char* original, unsigned char* blurred,
                                                typename L::V amount, typename L::V threshold) {
  using V = typename L::V;
  const V o = L::LoadBytes(original);
  const V d = L::Sub(o, L::LoadBytes(blurred));
  const V v = L::Min(L::Max(L::Add(o, L::Mul(amount, d)), L::Zero()), L::Set(255.0));
  L::StoreBytes(L::Sharpened(d, threshold, o, v), blurred);
}

template <typename L>
CHROMALINE_LANES_TARGET void SharpenRow(const unsigned char* original, unsigned char* blurred, int values,
                                        const SharpenParameters& parameters) {
  using V = typename L::V;
  const V amount = L::Set(parameters.amount);
  const V threshold = L::Set(parameters.threshold);
  int i = 0;
  for (; i + L::kLanes <= values; i += L::kLanes) SharpenStep<L>(original + i, blurred + i, amount, threshold);
  if (i < values) SharpenRowGeneric(original + i, blurred + i, values - i, parameters);
}

}  // namespace
