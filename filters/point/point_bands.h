// Row bands for the point stages that gain from more than one core:
// auto-levels and sepia, which take 1.6 to 4 times a copy of the picture on
// one core. Gamma and grayscale stream at the speed of memory on one core
// and stay on the calling thread (bench/README.md). The rows of a picture go in bands of kPointBandRows, on the
// threads that CHROMALINE_THREADS asks for (filters/engine/worker_team.h) when the picture holds at least
// kPointThreadsMinBytes; otherwise, and always without the variable, on the calling thread alone, band after band in
// order. The bands never depend on the thread count, and each pixel is worked on by the same row loop either way, so
// the bytes cannot either.
#ifndef CHROMALINE_FILTERS_POINT_POINT_BANDS_H_
#define CHROMALINE_FILTERS_POINT_POINT_BANDS_H_

#include <algorithm>
#include <cstddef>

#include "filters/engine/worker_team.h"

constexpr int kPointBandRows = 64;
// Below this a point stage takes well under a millisecond on one core:
// starting threads would cost more than they gain (bench/README.md).
constexpr size_t kPointThreadsMinBytes = size_t{4} << 20;

// Bands of rows [top, bottom) of the picture.
inline int PointBandCount(int top, int bottom) {
  return bottom > top ? (bottom - top + kPointBandRows - 1) / kPointBandRows : 0;
}

// The threads for a stage over `bytes` bytes of picture.
inline int PointStageThreads(size_t bytes) {
  return bytes >= kPointThreadsMinBytes ? ThreadCountFromEnvironment() : 1;
}

// body(band, first_row, end_row) for every band of rows [top, bottom).
template <typename Body>
void ForEachRowBand(int top, int bottom, size_t bytes, Body&& body) {
  RunBands(PointStageThreads(bytes), PointBandCount(top, bottom), [&](int band) {
    const int first = top + band * kPointBandRows;
    body(band, first, std::min(first + kPointBandRows, bottom));
  });
}

#endif  // CHROMALINE_FILTERS_POINT_POINT_BANDS_H_
