// The descriptor contract for hosts without GDI: broken descriptors are
// refused, and a pipeline with nothing to do never touches the pixels.
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "chromaline/host_bitmap.h"
#include "filters/engine/bitmap_transfer.h"
#include "filters/filter_pipeline.h"

namespace {

TEST(HostDescriptor, BrokenDescriptorsAreRefused) {
  unsigned char pixels[64] = {};
  const ChromalineHostBitmap good = {sizeof(ChromalineHostBitmap), 4, 4, 24, 12, 0, pixels};
  EXPECT_TRUE(ReadBitmapPixels(reinterpret_cast<BitmapHandle>(&good)));
  const struct {
    const char* what;
    ChromalineHostBitmap d;
  } broken[] = {
      {"wrong size", {sizeof(ChromalineHostBitmap) + 1, 4, 4, 24, 12, 0, pixels}},
      {"zero width", {sizeof(ChromalineHostBitmap), 0, 4, 24, 12, 0, pixels}},
      {"negative height", {sizeof(ChromalineHostBitmap), 4, -4, 24, 12, 0, pixels}},
      {"16 bits", {sizeof(ChromalineHostBitmap), 4, 4, 16, 12, 0, pixels}},
      {"short stride", {sizeof(ChromalineHostBitmap), 4, 4, 24, 11, 0, pixels}},
      {"no pixels", {sizeof(ChromalineHostBitmap), 4, 4, 24, 12, 0, nullptr}},
      {"too large", {sizeof(ChromalineHostBitmap), 65536, 65536, 32, 262144, 0, pixels}},
  };
  for (const auto& c : broken) {
    EXPECT_FALSE(ReadBitmapPixels(reinterpret_cast<BitmapHandle>(&c.d))) << c.what;
    PixelBuffer buffer = CreatePixelBuffer(4, 4, 24);
    WriteBitmapPixels(reinterpret_cast<BitmapHandle>(&c.d), buffer);  // refused, no crash
  }
}

TEST(FilterPipeline, NoStageEnabledNeverTouchesThePixels) {
  // Pixels on a page that may not be read or written: any transfer crashes.
  const long page = sysconf(_SC_PAGESIZE);
  void* guarded = mmap(nullptr, static_cast<size_t>(page), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(guarded, MAP_FAILED);
  const ChromalineHostBitmap d = {sizeof(ChromalineHostBitmap),        8, 8, 24, 24, 0,
                                  static_cast<unsigned char*>(guarded)};
  FilterSettings settings;  // every switch off, other values set
  settings.FilterParam = 19;
  settings.GammaVal = 2.0;
  settings.USMRadius = 9.0;
  settings.DefogVal = 80;
  FilterPipeline(reinterpret_cast<BitmapHandle>(&d), settings, ImageRegion{1, 1, 3, 3});
  munmap(guarded, static_cast<size_t>(page));
  SUCCEED();
}

}  // namespace
