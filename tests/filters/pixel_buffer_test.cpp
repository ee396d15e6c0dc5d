// Pixel buffer creation: bit counts, header, row layout and refused sizes.
#include <cstring>

#include <gtest/gtest.h>

#include "filters/pixel_buffer.h"

namespace {

struct DepthCase {
  int32_t requested;
  int bits;
  uint32_t colours;
};

TEST(CreatePixelBuffer, DerivesBitCountAndColourTableFromRequest) {
  const DepthCase cases[] = {{-1, 4, 16}, {0, 4, 16},  {1, 1, 2},  {2, 4, 16},  {4, 4, 16},
                             {5, 8, 256}, {8, 8, 256}, {9, 24, 0}, {24, 24, 0}, {32, 24, 0}};
  for (const DepthCase& c : cases) {
    PixelBuffer buffer = CreatePixelBuffer(7, 3, c.requested);
    ASSERT_TRUE(buffer) << "requested " << c.requested;
    const BitmapInfoHeader& h = buffer.header();
    EXPECT_EQ(h.biBitCount, c.bits) << "requested " << c.requested;
    EXPECT_EQ(h.biClrUsed, c.colours) << "requested " << c.requested;
    EXPECT_EQ(h.biClrImportant, c.colours) << "requested " << c.requested;
    const uint32_t stride = ((7 * c.bits + 31) >> 5) * 4;
    EXPECT_EQ(h.biSizeImage, 3 * stride) << "requested " << c.requested;
    EXPECT_EQ(buffer.pixels() - buffer.block(), 40 + 4 * static_cast<int>(c.colours));
  }
}

TEST(CreatePixelBuffer, FillsTheHeaderAndZeroesEveryByte) {
  PixelBuffer buffer = CreatePixelBuffer(5, 4, 24);
  ASSERT_TRUE(buffer);
  const BitmapInfoHeader expected = {40, 5, 4, 1, 24, 0, 64, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(&buffer.header(), &expected, sizeof expected), 0);
  for (size_t i = 0; i < buffer.pixel_bytes(); ++i) ASSERT_EQ(buffer.pixels()[i], 0) << "byte " << i;
}

TEST(PixelBuffer, RowsAreBottomUpAndPaddedToFourBytes) {
  for (int width = 1; width <= 9; ++width) {
    PixelBuffer buffer = CreatePixelBuffer(width, 3, 24);
    ASSERT_TRUE(buffer);
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    EXPECT_EQ(buffer.stride(), stride) << "width " << width;
    EXPECT_EQ(buffer.row(2), buffer.pixels()) << "bottom row first, width " << width;
    EXPECT_EQ(buffer.row(0), buffer.pixels() + 2 * stride) << "top row last, width " << width;
  }
  // Five pixels: 15 bytes of pixels, 16 per row; column 4 of the top row.
  PixelBuffer five = CreatePixelBuffer(5, 6, 24);
  EXPECT_EQ(five.row(0) + 3 * 4, five.pixels() + (6 - 1) * 16 + 12);
}

TEST(CreatePixelBuffer, RefusesEmptyAndOversizedPictures) {
  const int32_t sizes[][2] = {{0, 10}, {10, 0}, {-1, 10}, {10, -5}, {65536, 65536}, {INT32_MAX, 1}, {1, INT32_MAX}};
  for (const auto& size : sizes) {
    EXPECT_FALSE(CreatePixelBuffer(size[0], size[1], 24)) << size[0] << " x " << size[1];
  }
}

}  // namespace
