// The steady state of each row loop, marked for llvm-mca: one instruction
// set's file of loops (chosen by MCA_SSE2, MCA_AVX2 or MCA_AVX512) is
// included whole, and each region below runs one step of a loop built from
// the same inline steps the shipped loops use, in that build's block
// shapes. Never built by CMake: the markers would sit in shipped code.
// bench/loops_mca.sh compiles it to assembly and runs llvm-mca. Each
// region's name ends in the tap-lanes (one tap on one value) it performs.
#if defined(MCA_AVX512)
#include "filters/sharpen/unsharp_mask_rows_avx512.cpp"
#define MCA_TARGET CHROMALINE_TARGET_AVX512
using Lanes = Avx512Lanes;
constexpr int kRegisters = kVectorRegistersAvx512;
#elif defined(MCA_AVX2)
#include "filters/sharpen/unsharp_mask_rows_avx2.cpp"
#define MCA_TARGET CHROMALINE_TARGET_AVX2_FMA
using Lanes = Avx2Lanes;
constexpr int kRegisters = kVectorRegisters;
#else
#include "filters/sharpen/unsharp_mask_rows_sse2.cpp"
#define MCA_TARGET
using Lanes = Sse2Lanes;
constexpr int kRegisters = kVectorRegisters;
#endif

// The region's name with its tap-lanes appended (%c prints the bare number).
#define MCA_BEGIN(name, lanes) __asm__ volatile("# LLVM-MCA-BEGIN " #name "_%c0" ::"i"(lanes))
#define MCA_END() __asm__ volatile("# LLVM-MCA-END")

namespace {

using Shape = BlockShape<kRegisters>;
using V = Lanes::V;
constexpr int kL = Lanes::kLanes;
// Steps per region of the loops whose sums sit in memory (the shipped
// loops unroll them by four).
constexpr int kSteps = 4;

// The vertical pass: one intermediate row taken by an output row pair.
MCA_TARGET void VerticalPair(const double* p, int taps, double w, double* sums, unsigned char* out) {
  if constexpr (Shape::vertical_vectors > 0) {
    constexpr int kVectors = Shape::vertical_vectors;
    V upper[kVectors], lower[kVectors];
    for (int k = 0; k < kVectors; ++k) upper[k] = lower[k] = Lanes::Zero();
    for (int t = 0; t < taps; ++t, p += 4096) {
      MCA_BEGIN(vertical_registers_pair, Shape::vertical_vectors * 2 * Lanes::kLanes);
      BlockStepTwice<Lanes, kVectors>(p, Lanes::Set(w), Lanes::Set(w * 0.5), upper, lower);
      MCA_END();
    }
    for (int k = 0; k < kVectors; ++k) {
      Lanes::StoreLowBytes(upper[k], out + kL * k);
      Lanes::StoreLowBytes(lower[k], out + 512 + kL * k);
    }
  } else {
    for (int t = 0; t < taps; ++t, p += 4096) {
      const V wu = Lanes::Set(w), wl = Lanes::Set(w * 0.5);
      MCA_BEGIN(vertical_chunk_pair, kSteps * 2 * kL);
      for (int s = 0; s < kSteps; ++s) ChunkStepTwice<Lanes>(p + kL * s, wu, wl, sums + kL * s, sums + 512 + kL * s);
      MCA_END();
    }
  }
}

// The vertical pass, one output row alone (sums in memory).
MCA_TARGET void VerticalSingle(const double* p, int taps, double w, double* sums) {
  for (int t = 0; t < taps; ++t, p += 4096) {
    const V wv = Lanes::Set(w);
    MCA_BEGIN(vertical_chunk_single, kSteps * kL);
    for (int s = 0; s < kSteps; ++s) ChunkStep<Lanes>(p + kL * s, wv, sums + kL * s);
    MCA_END();
  }
}

// The horizontal pass in double lanes: one tap of a block.
MCA_TARGET void HorizontalDouble(const float* p, int taps, float w, double* out) {
  if constexpr (Shape::horizontal_vectors > 0) {
    constexpr int kVectors = Shape::horizontal_vectors;
    V sum[kVectors];
    for (int k = 0; k < kVectors; ++k) sum[k] = Lanes::Zero();
    for (int t = 0; t < taps; ++t, p += 3) {
      MCA_BEGIN(horizontal_double, Shape::horizontal_vectors * Lanes::kLanes);
      HorizontalStep<Lanes, kVectors>(p, Lanes::Set(w), sum);
      MCA_END();
    }
    for (int k = 0; k < kVectors; ++k) Lanes::Store(out + kL * k, sum[k]);
  } else {
    for (int t = 0; t < taps; ++t, p += 3) {
      const V wv = Lanes::Set(w);
      MCA_BEGIN(horizontal_double_chunk, kSteps * kL);
      for (int s = 0; s < kSteps; ++s) ChunkStep<Lanes>(p + kL * s, wv, out + kL * s);
      MCA_END();
    }
  }
}

// The horizontal pass in float lanes.
template <typename L>
MCA_TARGET void HorizontalFloat(const float* p, int taps, float w, double* out) {
  if constexpr (L::kFloatLanes > 0) {
    constexpr int kVectors = Shape::float_vectors;
    typename L::F sum[kVectors];
    for (int k = 0; k < kVectors; ++k) sum[k] = L::FloatZero();
    for (int t = 0; t < taps; ++t, p += 3) {
      MCA_BEGIN(horizontal_float, Shape::float_vectors * L::kFloatLanes);
      HorizontalFloatStep<L, kVectors>(p, L::FloatSet(w), sum);
      MCA_END();
    }
    for (int k = 0; k < kVectors; ++k) L::StoreFloatsAsDoubles(sum[k], out + L::kFloatLanes * k);
  }
}

#if !defined(MCA_SSE2)
// The sharpening step: values, not tap-lanes.
MCA_TARGET void Sharpen(const unsigned char* original, unsigned char* blurred, int values) {
  const V amount = Lanes::Set(1.5), threshold = Lanes::Set(4.0);
  for (int i = 0; i + kSteps * kL <= values; i += kSteps * kL) {
    MCA_BEGIN(sharpen_values, kSteps * Lanes::kLanes);
    for (int s = 0; s < kSteps; ++s)
      SharpenStep<Lanes>(original + i + kL * s, blurred + i + kL * s, amount, threshold);
    MCA_END();
  }
}
#endif

}  // namespace

// Keeps every region's function alive.
void (*kMcaLoops[])() = {
    reinterpret_cast<void (*)()>(VerticalPair),     reinterpret_cast<void (*)()>(VerticalSingle),
    reinterpret_cast<void (*)()>(HorizontalDouble), reinterpret_cast<void (*)()>(HorizontalFloat<Lanes>),
#if !defined(MCA_SSE2)
    reinterpret_cast<void (*)()>(Sharpen),
#endif
};
