// File: tests/host/photo_io_test.cpp
//
// The native photo codecs on small real files that libvips writes here:
// every EXIF orientation turned upright, alpha kept with the colours behind
// it, 16-bit files reduced with their depth reported, EXIF/XMP/ICC carried
// into JPEG, PNG and TIFF output with the orientation reset, each format
// read back, and unreadable files named with the reason.
#include <vips/vips.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "gtest/gtest.h"
#include "host/image.h"
#include "host/photo_io.h"
#include "tests/host/photo_samples.h"
#include "tests/support/test_support.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool Contains(const std::vector<uint8_t>& bytes, const std::string& text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

Photo MustRead(const std::string& path) {
  Photo photo;
  std::string error;
  EXPECT_TRUE(ReadPhoto(path, &photo, &error)) << error;
  return photo;
}

// Encodes `photo` to `path` and reads the file back.
Photo RoundTrip(const Photo& photo, const EncodeOptions& options, const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(EncodePhoto(photo, options, &bytes, &error)) << PhotoFormatName(options.format) << ": " << error;
  WriteBytes(path, bytes);
  return MustRead(path);
}

struct FormatCase {
  PhotoFormat format;
  const char* extension;
};
const FormatCase kLosslessFormats[] = {{PhotoFormat::kPng, ".png"}, {PhotoFormat::kTiff, ".tif"},
                                       {PhotoFormat::kBmp, ".bmp"}};

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
    rgba.insert(rgba.end(), {v, static_cast<uint16_t>(0xffff - v), static_cast<uint16_t>(v ^ 0x5a5a),
                             samples[(i + 3) % width]});
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
  // libvips keeps no EXIF block in TIFF files (PhotoCodecLimits says so);
  // the orientation there is the TIFF tag of its own.
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
      EXPECT_EQ(Contains(back.metadata.exif, kSampleExifDescription), exif_in && format != PhotoFormat::kTiff);
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

TEST(PhotoFormats, EachFormatReadsBackWhatWasWritten) {
  TempDir dir;
  Photo photo;
  photo.image = RandomImage(33, 17, 5);
  for (const FormatCase& c : kLosslessFormats) {
    SCOPED_TRACE(PhotoFormatName(c.format));
    EncodeOptions options;
    options.format = c.format;
    const Photo back = RoundTrip(photo, options, dir.File(std::string("f") + c.extension));
    EXPECT_EQ(FirstDifferentPixel(back.image, photo.image), "");
    EXPECT_TRUE(back.alpha.empty());
    EXPECT_EQ(back.source_bits, 8);
  }
  // JPEG: close to the picture at a high quality, and smaller at a low one.
  photo.image = BlockPicture(6, 4);
  EncodeOptions jpeg;
  jpeg.format = PhotoFormat::kJpeg;
  jpeg.quality = 95;
  const Photo fine = RoundTrip(photo, jpeg, dir.File("fine.jpg"));
  EXPECT_LE(MaxDifference(fine.image, photo.image), 12);
  jpeg.quality = 20;
  RoundTrip(photo, jpeg, dir.File("coarse.jpg"));
  EXPECT_LT(ReadBytes(dir.File("coarse.jpg")).size(), ReadBytes(dir.File("fine.jpg")).size());
  // The host's plain picture files go through the same codecs.
  std::string error;
  ASSERT_TRUE(SaveImageFile(dir.File("plain.bmp"), photo.image, &error)) << error;
  Image plain;
  ASSERT_TRUE(LoadImageFile(dir.File("plain.bmp"), &plain, &error)) << error;
  EXPECT_EQ(FirstDifferentPixel(plain, photo.image), "");
  EXPECT_FALSE(SaveImageFile(dir.File("plain.xyz"), photo.image, &error));
  EXPECT_NE(error.find("plain.xyz"), std::string::npos) << error;
}

TEST(PhotoFormats, BadRequestsAreRefusedWithTheReason) {
  Photo empty;
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_FALSE(EncodePhoto(empty, EncodeOptions(), &bytes, &error));
  EXPECT_NE(error.find("no picture"), std::string::npos) << error;
  Photo photo;
  photo.image = RandomImage(4, 4, 1);
  photo.alpha.assign(3, 255);
  EXPECT_FALSE(EncodePhoto(photo, EncodeOptions(), &bytes, &error));
  EXPECT_NE(error.find("alpha"), std::string::npos) << error;
  photo.alpha.clear();
  EncodeOptions jpeg;
  jpeg.format = PhotoFormat::kJpeg;
  jpeg.quality = 101;
  EXPECT_FALSE(EncodePhoto(photo, jpeg, &bytes, &error));
  EXPECT_NE(error.find("101"), std::string::npos) << error;
}

TEST(PhotoErrors, UnreadableFilesAreNamedWithTheReason) {
  TempDir dir;
  Photo good;
  good.image = BlockPicture(8, 8);
  std::vector<uint8_t> png, jpeg;
  std::string error;
  ASSERT_TRUE(EncodePhoto(good, EncodeOptions(), &png, &error)) << error;
  EncodeOptions jpeg_options;
  jpeg_options.format = PhotoFormat::kJpeg;
  ASSERT_TRUE(EncodePhoto(good, jpeg_options, &jpeg, &error)) << error;
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;  // written unless the case is about a missing file
    bool write;
    const char* reason;          // part of the message after the name
  };
  const std::string text = "not a picture at all";
  const Case cases[] = {
      {"missing.png", {}, false, "No such file"},
      {"text.png", std::vector<uint8_t>(text.begin(), text.end()), true, "cannot be read as a picture"},
      {"empty.jpg", {}, true, "cannot be read as a picture"},
      {"cut.png", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2), true, "cannot be read"},
      {"cut.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() / 2), true, "cannot be read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(c.name);
    if (c.write) WriteBytes(path, c.bytes);
    Photo photo;
    EXPECT_FALSE(ReadPhoto(path, &photo, &error));
    EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(photo.image.width, 0);
  }
  Photo photo;
  EXPECT_FALSE(ReadPhoto(dir.path(), &photo, &error));
  EXPECT_EQ(error.rfind(dir.path() + ": ", 0), 0u) << error;
}

}  // namespace
