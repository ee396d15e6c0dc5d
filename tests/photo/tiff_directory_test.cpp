// The JPEG EXIF orientation reader the Windows codecs fall back on: every
// value of a real file, both byte orders, and damaged or cut files that
// must give 0 without reading outside the bytes (the native run has ASan).
#include <string>

#include "gtest/gtest.h"
#include "photo/tiff_directory.h"
#include "tests/photo/photo_samples.h"
#include "tests/support/test_support.h"

namespace {

std::vector<uint8_t> Sample() {
  return ReadBytes(std::string(CHROMALINE_SOURCE_DIR) + "/tests/data/photo/oriented.jpg");
}

// The sample's EXIF block turned little-endian by hand is more than this
// reader needs: a JPEG made of SOI, one APP1 and EOI is enough.
std::vector<uint8_t> TinyJpeg(bool big_endian, int orientation) {
  const uint8_t b = big_endian;
  std::vector<uint8_t> tiff = {uint8_t(b ? 'M' : 'I'),
                               uint8_t(b ? 'M' : 'I'),
                               uint8_t(b ? 0 : 42),
                               uint8_t(b ? 42 : 0),
                               uint8_t(b ? 0 : 8),
                               0,
                               0,
                               uint8_t(b ? 8 : 0),
                               uint8_t(b ? 0 : 1),
                               uint8_t(b ? 1 : 0)};
  const uint8_t entry_big[] = {0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, uint8_t(orientation), 0, 0};
  const uint8_t entry_little[] = {0x12, 0x01, 3, 0, 1, 0, 0, 0, uint8_t(orientation), 0, 0, 0};
  tiff.insert(tiff.end(), b ? std::begin(entry_big) : std::begin(entry_little),
              b ? std::end(entry_big) : std::end(entry_little));
  tiff.insert(tiff.end(), 4, 0);
  std::vector<uint8_t> jpeg = {0xff, 0xd8, 0xff, 0xe1};
  const size_t length = 2 + 6 + tiff.size();
  jpeg.push_back(uint8_t(length >> 8));
  jpeg.push_back(uint8_t(length));
  for (char c : std::string("Exif\0\0", 6)) jpeg.push_back(uint8_t(c));
  jpeg.insert(jpeg.end(), tiff.begin(), tiff.end());
  jpeg.insert(jpeg.end(), {0xff, 0xd9});
  return jpeg;
}

TEST(JpegExifOrientation, ReadsEveryValueInBothByteOrders) {
  const std::vector<uint8_t> sample = Sample();
  ASSERT_FALSE(sample.empty());
  EXPECT_EQ(JpegExifOrientation(sample.data(), sample.size()), 1);
  for (int orientation = 1; orientation <= 8; ++orientation) {
    std::vector<uint8_t> turned = sample;
    ASSERT_TRUE(SetJpegOrientation(&turned, orientation));
    EXPECT_EQ(JpegExifOrientation(turned.data(), turned.size()), orientation);
    for (bool big : {true, false}) {
      const std::vector<uint8_t> tiny = TinyJpeg(big, orientation);
      EXPECT_EQ(JpegExifOrientation(tiny.data(), tiny.size()), orientation) << (big ? "MM " : "II ") << orientation;
    }
  }
}

TEST(JpegExifOrientation, DamagedOrCutFilesGiveNone) {
  const std::vector<uint8_t> tiny = TinyJpeg(false, 6);
  // Every cut of the file: no EXIF block fits before the whole segment is in.
  for (size_t size = 0; size < tiny.size() - 2; ++size) {
    std::vector<uint8_t> cut(tiny.begin(), tiny.begin() + size);
    EXPECT_EQ(JpegExifOrientation(cut.data(), cut.size()), 0) << "cut at " << size;
  }
  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
  };
  const Case cases[] = {
      {"not a JPEG", 0, 0x00},
      {"segment length past the end", 4, 0xff},
      {"no Exif header", 6, 'X'},
      {"bad byte order", 12, 'X'},
      {"IFD offset past the end", 16, 0x7f},
      {"another tag than the orientation", 22, 0x13},
      {"orientation 9", 30, 9},
      {"orientation 0", 30, 0},
      {"not a SHORT", 24, 4},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> damaged = tiny;
    damaged.at(c.at) = c.value;
    EXPECT_EQ(JpegExifOrientation(damaged.data(), damaged.size()), 0) << c.what;
  }
}

}  // namespace

namespace {

TEST(TurnUpright, UndoesEachOrientationWithItsAlpha) {
  const Image upright = BlockPicture(3, 2);
  std::vector<uint8_t> upright_alpha(static_cast<size_t>(upright.width) * upright.height);
  for (size_t i = 0; i < upright_alpha.size(); ++i) upright_alpha[i] = static_cast<uint8_t>(i * 7);
  // The alpha plane as an image of its own, to store it the same way.
  Image alpha_image;
  alpha_image.width = upright.width;
  alpha_image.height = upright.height;
  for (uint8_t a : upright_alpha) alpha_image.bgr.insert(alpha_image.bgr.end(), {a, a, a});
  for (int orientation = 1; orientation <= 8; ++orientation) {
    Image image = StoredForOrientation(upright, orientation);
    const Image stored_alpha = StoredForOrientation(alpha_image, orientation);
    std::vector<uint8_t> alpha;
    for (size_t i = 0; i < stored_alpha.bgr.size(); i += 3) alpha.push_back(stored_alpha.bgr[i]);
    TurnUpright(orientation, &image, &alpha);
    EXPECT_EQ(FirstDifferentPixel(image, upright), "") << "orientation " << orientation;
    EXPECT_EQ(alpha, upright_alpha) << "orientation " << orientation;
  }
}

}  // namespace
