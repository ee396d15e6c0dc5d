// The transfer between the host's bitmaps and the 24-bit bottom-up buffer:
// GDI DIB sections of 24 and 32 bits and a device-dependent bitmap under
// Wine; bottom-up 24-bit and top-down 32-bit descriptors natively.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "filters/engine/bitmap_transfer.h"
#include "host/host_bitmap.h"
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

}  // namespace
