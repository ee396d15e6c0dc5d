// Plain lanes for the vector loops: each "vector" an array of eight
// doubles (sixteen floats), each operation done lane by lane in the same
// double arithmetic as the real instructions, so that the loops and block
// shapes of the widest vectors are checked on any processor.
#include "tests/support/plain_lanes.h"

#include <algorithm>

#include "filters/sharpen/unsharp_mask_dispatch.h"

#define CHROMALINE_LANES_TARGET
#define CHROMALINE_LANES_UNROLL
#define CHROMALINE_LANES_UNROLL_4
#include "filters/sharpen/unsharp_mask_rows_lanes.h"

namespace {

struct PlainLanes {
  static constexpr int kLanes = 8;
  static constexpr int kFloatLanes = 16;
  struct V {
    double lane[kLanes];
  };
  struct F {
    float lane[kFloatLanes];
  };

  template <typename Op>
  static V Each(Op op) {
    V r;
    for (int i = 0; i < kLanes; ++i) r.lane[i] = op(i);
    return r;
  }

  static V Zero() { return Set(0.0); }
  static V Set(double x) {
    return Each([&](int) { return x; });
  }
  static V Load(const double* p) {
    return Each([&](int i) { return p[i]; });
  }
  static V Load(const float* p) {
    return Each([&](int i) { return static_cast<double>(p[i]); });
  }
  static void Store(double* p, V x) { std::copy(x.lane, x.lane + kLanes, p); }
  // The product of a float value and a float weight is exact in double.
  static V MulAdd(V x, V w, V sum) {
    return Each([&](int i) { return sum.lane[i] + x.lane[i] * w.lane[i]; });
  }
  static V RoundToFloat(V sum) {
    return Each([&](int i) {
      const double c = sum.lane[i] * kSplitter;
      return c - (c - sum.lane[i]);
    });
  }
  static void StoreLowBytes(V sum, unsigned char* out) {
    for (int i = 0; i < kLanes; ++i) out[i] = static_cast<unsigned char>(static_cast<int>(sum.lane[i]) & 0xFF);
  }

  static V LoadBytes(const unsigned char* p) {
    return Each([&](int i) { return static_cast<double>(p[i]); });
  }
  static void StoreBytes(V x, unsigned char* out) { StoreLowBytes(x, out); }
  static V Add(V a, V b) {
    return Each([&](int i) { return a.lane[i] + b.lane[i]; });
  }
  static V Sub(V a, V b) {
    return Each([&](int i) { return a.lane[i] - b.lane[i]; });
  }
  static V Mul(V a, V b) {
    return Each([&](int i) { return a.lane[i] * b.lane[i]; });
  }
  // As minpd and maxpd: the second operand unless the first is smaller
  // (larger).
  static V Min(V a, V b) {
    return Each([&](int i) { return a.lane[i] < b.lane[i] ? a.lane[i] : b.lane[i]; });
  }
  static V Max(V a, V b) {
    return Each([&](int i) { return a.lane[i] > b.lane[i] ? a.lane[i] : b.lane[i]; });
  }
  static V Sharpened(V d, V threshold, V original, V value) {
    return Each([&](int i) {
      return (d.lane[i] < 0 ? -d.lane[i] : d.lane[i]) > threshold.lane[i] ? value.lane[i] : original.lane[i];
    });
  }

  static F FloatZero() { return FloatSet(0.0f); }
  static F FloatSet(float x) {
    F r;
    std::fill(r.lane, r.lane + kFloatLanes, x);
    return r;
  }
  static F FloatLoad(const float* p) {
    F r;
    std::copy(p, p + kFloatLanes, r.lane);
    return r;
  }
  // One rounding to float of the sum worked out in double: the fused
  // single-precision multiply-add wherever the loops use it, whose double
  // sums are exact (BlurTaps::horizontal_fused_exact).
  static F FloatMulAdd(F x, F w, F sum) {
    F r;
    for (int i = 0; i < kFloatLanes; ++i) {
      r.lane[i] = static_cast<float>(static_cast<double>(sum.lane[i]) +
                                     static_cast<double>(x.lane[i]) * static_cast<double>(w.lane[i]));
    }
    return r;
  }
  static void StoreFloatsAsDoubles(F x, double* out) { std::copy(x.lane, x.lane + kFloatLanes, out); }
};

template <int kRegisters>
const BlurRowLoops* LanesFor() {
  using Shape = BlockShape<kRegisters>;
  static const BlurRowLoops loops = {HorizontalRow<PlainLanes, Shape>, VerticalBand<PlainLanes, Shape, double>,
                                     VerticalBand<PlainLanes, Shape, float>, SharpenRow<PlainLanes>};
  return &loops;
}

}  // namespace

std::vector<LoopPath> LoopPathsToTest() {
  std::vector<LoopPath> paths = {{std::nullopt, nullptr, "auto"}};
  for (CpuPath p : {CpuPath::kPlain, CpuPath::kSse2, CpuPath::kAvx2, CpuPath::kAvx512}) {
    if (BlurPathAvailable(p)) paths.push_back({p, nullptr, CpuPathName(p)});
  }
  paths.push_back({CpuPath::kSse2, LanesFor<32>(), "lanes8 for 32 registers"});
  paths.push_back({CpuPath::kSse2, LanesFor<16>(), "lanes8 for 16 registers"});
  paths.push_back({CpuPath::kSse2, LanesFor<8>(), "lanes8 for 8 registers"});
  return paths;
}

ScopedLoopPath::ScopedLoopPath(const LoopPath& path) { OverrideBlurRowLoops(path.lanes); }

ScopedLoopPath::~ScopedLoopPath() { OverrideBlurRowLoops(nullptr); }

BlurRowLoops LoopsOf(const LoopPath& path) {
  const ScopedLoopPath scope(path);
  return BlurRowLoopsFor(path.path);
}
