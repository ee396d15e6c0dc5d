// LoadBenchPicture (bench_picture.h) on stb_image, whose one implementation
// for all the benchmark programs is compiled here, with its own warnings
// silenced.
#include "bench/bench_picture.h"

#include <cstddef>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#endif
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

PixelBuffer LoadBenchPicture(const char* path) {
  int width = 0, height = 0, channels = 0;
  unsigned char* rgb = stbi_load(path, &width, &height, &channels, 3);
  if (rgb == nullptr) return PixelBuffer();
  PixelBuffer buffer = CreatePixelBuffer(width, height, 24);
  for (int y = 0; buffer && y < height; ++y) {
    unsigned char* out = buffer.row(y);
    const unsigned char* in = rgb + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
    for (int x = 0; x < width; ++x) {
      out[3 * x] = in[3 * x + 2];
      out[3 * x + 1] = in[3 * x + 1];
      out[3 * x + 2] = in[3 * x];
    }
  }
  stbi_image_free(rgb);
  return buffer;
}
