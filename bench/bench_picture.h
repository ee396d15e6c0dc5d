// The picture a benchmark works on, read with stb_image (JPEG or PNG) into
// a 24-bit pixel buffer in the buffer's blue, green, red order. Shared by
// the benchmark and timing programs (bench_picture.cpp).
#ifndef CHROMALINE_BENCH_BENCH_PICTURE_H_
#define CHROMALINE_BENCH_BENCH_PICTURE_H_

#include "filters/pixel_buffer.h"

// An empty buffer when the file cannot be read.
PixelBuffer LoadBenchPicture(const char* path);

#endif  // CHROMALINE_BENCH_BENCH_PICTURE_H_
