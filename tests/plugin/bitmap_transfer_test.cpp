// The transfer between the host's bitmaps and the 24-bit bottom-up buffer:
// GDI DIB sections of 24 and 32 bits and a device-dependent bitmap under
// Wine; bottom-up 24-bit and top-down 32-bit descriptors natively. And
// the memory of a whole pipeline call between the two transfers.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "filters/engine/bitmap_transfer.h"
#include "filters/engine/pixel_memory.h"
#include "filters/filter_pipeline.h"
#include "host/host_bitmap.h"
#include "tests/support/sample_settings.h"
#include "tests/support/test_support.h"

namespace {

const HostBitmap::Kind kKinds[] = {HostBitmap::Kind::kDib24, HostBitmap::Kind::kDib32,
                                   HostBitmap::Kind::kDeviceDependent};

TEST(BitmapTransfer, RoundTripsEveryWidthAndBitmapKind) {
  for (int width = 1; width <= 9; ++width) {
    for (const HostBitmap::Kind kind : kKinds) {
      SCOPED_TRACE("width " + std::to_string(width) + " kind " + std::to_string(static_cast<int>(kind)));
      const Image image = RandomImage(width, 3, 1000u + static_cast<unsigned>(width));
      auto bitmap = HostBitmap::Create(image, kind);
      ASSERT_TRUE(bitmap);
      PixelBuffer buffer = ReadBitmapPixels(bitmap->handle());
      ASSERT_TRUE(buffer);
      EXPECT_EQ(buffer.width(), width);
      EXPECT_EQ(buffer.height(), 3);
      for (int y = 0; y < 3; ++y) {
        ASSERT_EQ(std::memcmp(buffer.row(y), image.pixel(0, y), static_cast<size_t>(width) * 3), 0) << "row " << y;
        for (size_t pad = static_cast<size_t>(width) * 3; pad < buffer.stride(); ++pad) {
          ASSERT_EQ(buffer.row(y)[pad], 0) << "padding stays zero";
        }
      }
      const BitmapInfoHeader expected = {40, width, 3, 1, 24, 0, static_cast<uint32_t>(3 * buffer.stride()),
                                         0,  0,     0, 0};
      EXPECT_EQ(std::memcmp(&buffer.header(), &expected, sizeof expected), 0) << "header exactly ours";

      for (int y = 0; y < 3; ++y) {
        for (int i = 0; i < width * 3; ++i) buffer.row(y)[i] = static_cast<uint8_t>(buffer.row(y)[i] ^ 0x5A);
      }
      WriteBitmapPixels(bitmap->handle(), buffer);
      const Image after = bitmap->Read();
      for (size_t i = 0; i < image.bgr.size(); ++i) ASSERT_EQ(after.bgr[i], image.bgr[i] ^ 0x5A) << "byte " << i;
    }
  }
}

TEST(BitmapTransfer, NullHandleGivesNoBufferAndWritesNothing) {
  EXPECT_FALSE(ReadBitmapPixels(0));
  PixelBuffer buffer = CreatePixelBuffer(2, 2, 24);
  WriteBitmapPixels(0, buffer);  // must not crash
}

// A call holds nothing once it returns, and the next one asks for its
// memory again, as much as the first did.
TEST(FilterPipeline, NothingOutlivesTheCallAndTheNextCallAllocatesAfresh) {
  auto bitmap = HostBitmap::Create(RandomImage(45, 64, 77u), HostBitmap::Kind::kDib32);
  ASSERT_TRUE(bitmap);
  const FilterSettings settings = SharpeningOnly(30, 1.5, 100, 0);
  const long outstanding = PixelMemoryOutstanding();
  long requests[2];
  for (long& r : requests) {
    RefusePixelMemoryAt(0);
    FilterPipeline(bitmap->handle(), settings, ImageRegion{0, 0, 0, 0});
    r = PixelMemoryRequests();
    EXPECT_EQ(PixelMemoryOutstanding(), outstanding) << "blocks held after the call";
  }
  EXPECT_GT(requests[0], 2);
  EXPECT_EQ(requests[1], requests[0]) << "the second call asked for another amount of memory";
}

}  // namespace
