// The vector forms of the blur's inner loops and of the sharpening step,
// one file per instruction set (unsharp_mask_rows_sse2.cpp, _avx2.cpp,
// _avx512.cpp), each the loops of unsharp_mask_rows_lanes.h over its own
// lanes. They keep the plain loops' arithmetic exactly
// (unsharp_mask_rows.h): each lane holds one output value and performs that
// value's taps in order, the sum formed in double precision and rounded to
// float after every tap. Lanes run across neighbouring values of a row, so
// both passes walk memory row by row. The ends of rows go to the plain
// loops.
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
#endif
#endif

#if defined(CHROMALINE_BLUR_X86)

// Vector registers of the build: eight in 32-bit code, sixteen in 64-bit
// code (32 with AVX-512). The block shapes follow from them
// (unsharp_mask_rows_lanes.h).
#if defined(__x86_64__) || defined(_M_X64)
constexpr int kVectorRegisters = 16;
constexpr int kVectorRegistersAvx512 = 32;
#else
constexpr int kVectorRegisters = 8;
constexpr int kVectorRegistersAvx512 = 8;
#endif

// SSE2 (every processor the plug-in runs on): two double lanes.
void HorizontalRowSse2(const BlurTaps& taps, const float* padded, int values, double* out);
void VerticalBandSse2(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows);
void VerticalBandSse2(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows);

// AVX2 with FMA: four double lanes, eight float lanes where single
// precision is exact (BlurTaps::horizontal_fused_exact).
void HorizontalRowAvx2(const BlurTaps& taps, const float* padded, int values, double* out);
void VerticalBandAvx2(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows);
void VerticalBandAvx2(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                      unsigned char* const* dest_rows);
void SharpenRowAvx2(const unsigned char* original, unsigned char* blurred, int values,
                    const SharpenParameters& parameters);

// AVX-512 (F, DQ, VL): eight double and sixteen float lanes.
void HorizontalRowAvx512(const BlurTaps& taps, const float* padded, int values, double* out);
void VerticalBandAvx512(const BlurTaps& taps, const double* const* window, int out_rows, int first, int last,
                        unsigned char* const* dest_rows);
void VerticalBandAvx512(const BlurTaps& taps, const float* const* window, int out_rows, int first, int last,
                        unsigned char* const* dest_rows);
void SharpenRowAvx512(const unsigned char* original, unsigned char* blurred, int values,
                      const SharpenParameters& parameters);

#endif  // CHROMALINE_BLUR_X86

#endif  // CHROMALINE_FILTERS_SHARPEN_UNSHARP_MASK_ROWS_VECTOR_H_
