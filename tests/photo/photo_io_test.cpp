// The native photo codecs on small real files that libvips writes here:
// every EXIF orientation of PNG, TIFF and JPEG turned upright, alpha kept
// with the colours behind it, 16-bit files reduced with their depth
// reported, EXIF/XMP/ICC carried into JPEG, PNG and TIFF output with the
// orientation reset (tests/photo/photo_metadata_test.cpp: every block). (tests/photo/photo_codecs_test.cpp runs in
// both builds.)
#include <cstring>

#include "gtest/gtest.h"
#include "photo/image.h"
#include "photo/photo_io.h"
#include "tests/photo/photo_samples.h"
#include "tests/support/test_support.h"

namespace {

TEST(PhotoOrientation, EachOfTheEightIsTurnedUprightAndRecorded) {
  TempDir dir;
  const Image upright = BlockPicture(5, 3);
  for (const char* extension : {".png", ".tif", ".jpg"}) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
      SCOPED_TRACE(std::string(extension) + " orientation " + std::to_string(orientation));
      const Image stored = StoredForOrientation(upright, orientation);
      const std::string path = dir.File("o" + std::to_string(orientation) + extension);
      MakeRgbFile(path, stored, orientation);
      const Photo photo = MustRead(path);
      EXPECT_EQ(photo.orientation, orientation);
      // JPEG pixels are lossy: the same stored pixels without an orientation
      // decode to what this file must show turned upright.
      Image expected = upright;
      if (std::string(extension) == ".jpg") {
        const std::string plain = dir.File("plain" + std::to_string(orientation) + extension);
        MakeRgbFile(plain, stored, 1);
        expected = Upright(MustRead(plain).image, orientation);
      }
      EXPECT_EQ(FirstDifferentPixel(photo.image, expected), "");
    }
  }
}

TEST(PhotoAlpha, PlaneAndHiddenColoursComeBackUnchanged) {
  TempDir dir;
  const Image colours = RandomImage(19, 7, 11);
  std::vector<uint8_t> alpha(19 * 7);
  for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = static_cast<uint8_t>(i % 3 == 0 ? 0 : i * 37);
  const std::string source = dir.File("alpha.png");
  MakeRgbaFile(source, colours, alpha, 8);
  const Photo photo = MustRead(source);
  ASSERT_EQ(photo.alpha, alpha);
  EXPECT_EQ(FirstDifferentPixel(photo.image, colours), "") << "colours behind alpha 0 must survive reading";
  for (const FormatCase& c : kLosslessFormats) {
    SCOPED_TRACE(PhotoFormatName(c.format));
    EncodeOptions options;
    options.format = c.format;
    const Photo back = RoundTrip(photo, options, dir.File(std::string("back") + c.extension));
    EXPECT_EQ(back.alpha, alpha);
    EXPECT_EQ(FirstDifferentPixel(back.image, colours), "");
  }
  // JPEG holds no alpha: the colours are written, the plane is left out.
  EncodeOptions jpeg;
  jpeg.format = PhotoFormat::kJpeg;
  EXPECT_TRUE(RoundTrip(photo, jpeg, dir.File("back.jpg")).alpha.empty());
}

TEST(PhotoDepth, SixteenBitFilesAreReducedToTheirHighByteAndReported) {
  TempDir dir;
  // Values across the range, including the ones where rounding and the
  // high byte would differ (0x..80 and above).
  const uint16_t samples[] = {0, 1, 0x00ff, 0x0100, 0x7f80, 0x80ff, 0xfe80, 0xff7f, 0xffff};
  const int width = static_cast<int>(std::size(samples));
  std::vector<uint16_t> rgba;
  for (int i = 0; i < width; ++i) {
    const uint16_t v = samples[i];
    rgba.insert(rgba.end(),
                {v, static_cast<uint16_t>(0xffff - v), static_cast<uint16_t>(v ^ 0x5a5a), samples[(i + 3) % width]});
  }
  for (const char* extension : {".png", ".tif"}) {
    for (bool with_alpha : {false, true}) {
      SCOPED_TRACE(std::string(extension) + (with_alpha ? " with alpha" : ""));
      const std::string path = dir.File(std::string("deep") + (with_alpha ? "a" : "") + extension);
      MakeSixteenBitFile(path, rgba, width, with_alpha);
      const Photo photo = MustRead(path);
      EXPECT_EQ(photo.source_bits, 16);
      ASSERT_EQ(photo.image.width, width);
      for (int x = 0; x < width; ++x) {
        const uint8_t* bgr = photo.image.pixel(x, 0);
        EXPECT_EQ(bgr[2], rgba[x * 4] >> 8) << "x " << x;
        EXPECT_EQ(bgr[1], rgba[x * 4 + 1] >> 8) << "x " << x;
        EXPECT_EQ(bgr[0], rgba[x * 4 + 2] >> 8) << "x " << x;
        if (with_alpha) {
          EXPECT_EQ(photo.alpha.at(x), rgba[x * 4 + 3] >> 8) << "x " << x;
        }
      }
      EXPECT_EQ(photo.alpha.empty(), !with_alpha);
    }
  }
  EXPECT_EQ(MustRead(SamplesDir() + "/chelsea.png").source_bits, 8);
}

TEST(PhotoMetadata, ExifXmpAndIccReachEveryOutputWithTheOrientationReset) {
  TempDir dir;
  // libvips writes no EXIF block into the TIFF sample (the orientation
  // there is the TIFF tag of its own); the codecs write one into theirs.
  for (const char* extension : {".jpg", ".png", ".tif"}) {
    SCOPED_TRACE(std::string("source ") + extension);
    const bool exif_in = std::string(extension) != ".tif";
    const std::string source = dir.File(std::string("meta") + extension);
    MakeFileWithMetadata(source, BlockPicture(4, 3), 6);
    const Photo photo = MustRead(source);
    EXPECT_EQ(photo.orientation, 6);
    ASSERT_EQ(Contains(photo.metadata.exif, kSampleExifDescription), exif_in);
    ASSERT_TRUE(Contains(photo.metadata.xmp, kSampleXmpMarker));
    ASSERT_EQ(photo.metadata.icc, SampleIccProfile());
    for (PhotoFormat format : {PhotoFormat::kJpeg, PhotoFormat::kPng, PhotoFormat::kTiff}) {
      SCOPED_TRACE(std::string("output ") + PhotoFormatName(format));
      EncodeOptions options;
      options.format = format;
      const std::string out = dir.File(std::string("out-") + PhotoFormatName(format) + extension);
      const Photo back = RoundTrip(photo, options, out);
      EXPECT_EQ(back.orientation, 1) << "the picture is upright now; a viewer must not turn it again";
      EXPECT_EQ(back.image.width, photo.image.width);
      EXPECT_EQ(Contains(back.metadata.exif, kSampleExifDescription), exif_in);
      EXPECT_TRUE(Contains(back.metadata.xmp, kSampleXmpMarker));
      EXPECT_EQ(back.metadata.icc, SampleIccProfile());
      // Read by exiftool: 1, or no orientation at all when no EXIF came in.
      const int written = ExifOrientationOfFile(out);
      EXPECT_TRUE(written == 1 || (written == -1 && !exif_in)) << "exiftool reads orientation " << written;

      options.keep_metadata = false;
      const Photo stripped = RoundTrip(photo, options, out);
      EXPECT_FALSE(Contains(stripped.metadata.exif, kSampleExifDescription));
      EXPECT_TRUE(stripped.metadata.xmp.empty());
      EXPECT_TRUE(stripped.metadata.icc.empty());
    }
  }
}

}  // namespace
