// The vector forms of the blur's inner loops and of the sharpening step,
// one file per instruction set (unsharp_mask_rows_sse2.cpp, _avx2.cpp,
// _avx512.cpp), and the pieces they share. They keep the plain loops'
// arithmetic exactly (unsharp_mask_rows.h): each lane holds one output
// value and performs that value's taps in order, the sum formed in double
// precision and rounded to float after every tap. Lanes run across
// neighbouring values of a row, so both passes walk memory row by row. The
// ends of rows go to the plain loops.
//
// Only unsharp_mask_dispatch.cpp calls them, each only where its path is
// allowed; they are declared only on x86 with SSE2 (CHROMALINE_BLUR_X86).
#ifndef CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_ROWS_VECTOR_H_
#define CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_ROWS_VECTOR_H_

#include <cstdint>

#include "filters/sharpen/unsharp_mask_rows.h"

#if defined(__x86_64__) || defined(_M_X64) || (defined(__i386__) && defined(__SSE2__)) || \
    (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define CHROMALINE_BLUR_X86 1
#include <immintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define CHROMALINE_UNROLL
#define CHROMALINE_UNROLL_4
#define CHROMALINE_UNROLL_ALL
#define CHROMALINE_OPAQUE(pointer)
#else
#define CHROMALINE_UNROLL _Pragma("GCC unroll 16")
#define CHROMALINE_UNROLL_4 _Pragma("GCC unroll 4")
#define CHROMALINE_UNROLL_ALL _Pragma("GCC unroll 32")
// Keeps the compiler from splitting a row pointer into a base and one
// offset register per vector, which spills with 24 vectors.
#define CHROMALINE_OPAQUE(pointer) __asm__("" : "+r"(pointer))
#endif
#endif

#if defined(CHROMALINE_BLUR_X86)

// Accumulators per block: enough independent sums to hide the latency of
// the add-and-round chain, few enough to stay in registers (eight vector
// registers in 32-bit code, sixteen in 64-bit code).
#if defined(__x86_64__) || defined(_M_X64)
constexpr int kBlocks = 8;
#else
constexpr int kBlocks = 4;
#endif
// Sums of the single-precision horizontal loop need no rounding temporary:
// in 32-bit code seven of them and the weight fill the eight registers.
#if defined(__x86_64__) || defined(_M_X64)
constexpr int kFloatBlocks = 8;
#else
constexpr int kFloatBlocks = 7;
#endif

// Rounding a double sum to float without leaving double lanes: with E the
// sum's binary exponent, M = 1.5 * 2^(E + 29) has a unit in the last place
// of 2^(E - 23), a float's at exponent E, so (sum + M) - M rounds the sum
// to float precision, ties to even (M is an even number of those units),
// and the subtraction is exact. M's bits are the sum's exponent bits plus
// 29 in the exponent and the top mantissa bit. Valid for sums of zero or
// at least the smallest normal float (BlurTaps::vector_rounding_exact).
constexpr int64_t kExponentBits = 0x7FF0000000000000;
constexpr int64_t kMagicOffset = 0x01D8000000000000;  // (29 << 52) | (1 << 51)
constexpr int64_t kTopMantissaBit = int64_t{1} << 51;

// The same rounding in three operations (the SSE2 and AVX2 loops): with
// c = sum * (2^29 + 1), c - (c - sum) is the sum rounded to 24 significant
// bits, ties to even, for every sum from the smallest normal float to far
// beyond 256 (Veltkamp's splitting, each step rounded to double). One
// multiplication and two subtractions, against a logical and, an integer
// addition, an addition and a subtraction.
constexpr double kSplitter = 536870913.0;  // 2^29 + 1

// SSE2 (every processor the plug-in runs on): two double lanes.
void HorizontalRowSse2(const BlurTaps& taps, const float* padded, int values, double* out);
void VerticalBandSse2(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows);
void VerticalBandSse2(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows);

// AVX2 with FMA: four double lanes, eight float lanes where single
// precision is exact (BlurTaps::horizontal_fused_exact).
// HorizontalRowAvx2Double never takes the float lanes.
void HorizontalRowAvx2(const BlurTaps& taps, const float* padded, int values, double* out);
void HorizontalRowAvx2Double(const BlurTaps& taps, const float* padded, int values, double* out);
void VerticalBandAvx2(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows);
void VerticalBandAvx2(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows);
void SharpenRowAvx2(const unsigned char* original, unsigned char* blurred, int values,
                    const SharpenParameters& parameters);

// AVX-512 (F, DQ, VL): eight double and sixteen float lanes. The rest of a
// horizontal row, and the whole row where single precision is not exact,
// goes to the AVX2 loops.
void HorizontalRowAvx512(const BlurTaps& taps, const float* padded, int values, double* out);
void VerticalBandAvx512(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                        unsigned char* const* dest_rows);
void VerticalBandAvx512(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                        unsigned char* const* dest_rows);

#endif  // CHROMALINE_BLUR_X86

#endif  // CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_ROWS_VECTOR_H_
