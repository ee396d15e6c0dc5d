// The native codecs keep what kind of picture a file holds: CMYK turned
// into the colours ImageMagick shows (plainly inverted without a profile,
// through the profile with one), one gray channel while the picture stays
// gray, and a JPEG written like the JPEG it came from (quality, chroma
// subsampling, progressive scan, optimised Huffman tables). The sources are made here with
// ImageMagick and libvips; ImageMagick's identify reads the outputs.
#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "gtest/gtest.h"
#include "photo/photo_io.h"
#include "tests/photo/photo_samples.h"
#include "tests/support/test_support.h"

namespace {

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// Root mean square difference of two pictures of one size, 0..1 of the
// full scale, as ImageMagick's compare -metric RMSE gives it.
double Rmse(const Image& a, const Image& b) {
  if (a.width != b.width || a.height != b.height) return 1.0;
  double sum = 0;
  for (size_t i = 0; i < a.bgr.size(); ++i) {
    const double d = (a.bgr[i] - b.bgr[i]) / 255.0;
    sum += d * d;
  }
  return std::sqrt(sum / static_cast<double>(a.bgr.size()));
}

int BandsOfFile(const std::string& path) {
  if (VIPS_INIT("photo_kinds_test") != 0) return -1;
  VipsImage* image = vips_image_new_from_file(path.c_str(), nullptr);
  if (!image) return -1;
  const int bands = image->Bands;
  g_object_unref(image);
  return bands;
}

// A small real photo to convert.
std::string SourcePicture(const TempDir& dir) {
  const std::string path = dir.File("source.png");
  Shell("convert '" + SamplesDir() + "/chelsea.png' -resize 160x '" + path + "'");
  return path;
}

// A CMYK JPEG carrying the CMYK profile libvips uses for its own
// conversions, and that sRGB profile as a file of its own for ImageMagick.
void MakeProfiledCmyk(const std::string& source, const std::string& jpeg, const std::string& srgb_icc) {
  ASSERT_EQ(VIPS_INIT("photo_kinds_test"), 0);
  VipsImage* rgb = vips_image_new_from_file(source.c_str(), nullptr);
  ASSERT_NE(rgb, nullptr);
  VipsImage* cmyk = nullptr;
  VipsImage* srgb = nullptr;
  ASSERT_EQ(vips_icc_transform(rgb, &cmyk, "cmyk", nullptr), 0) << vips_error_buffer();
  ASSERT_EQ(vips_icc_transform(rgb, &srgb, "srgb", nullptr), 0) << vips_error_buffer();
  ASSERT_EQ(vips_jpegsave(cmyk, jpeg.c_str(), "Q", 95, nullptr), 0) << vips_error_buffer();
  const void* icc = nullptr;
  size_t size = 0;
  ASSERT_EQ(vips_image_get_blob(srgb, VIPS_META_ICC_NAME, &icc, &size), 0);
  const uint8_t* bytes = static_cast<const uint8_t*>(icc);
  WriteBytes(srgb_icc, std::vector<uint8_t>(bytes, bytes + size));
  g_object_unref(srgb);
  g_object_unref(cmyk);
  g_object_unref(rgb);
}

TEST(PhotoCmyk, ConvertedAsImageMagickConvertsIt) {
  TempDir dir;
  const std::string source = SourcePicture(dir);
  const std::string srgb_icc = dir.File("srgb.icc");
  MakeProfiledCmyk(source, dir.File("profiled.jpg"), srgb_icc);
  Shell("convert '" + source + "' -colorspace CMYK -quality 95 '" + dir.File("plain.jpg") + "'");
  struct Case {
    const char* file;
    std::string imagemagick;  // its conversion of the file to 8-bit sRGB
    double max_rmse;          // against ImageMagick's
    bool noted;               // the plain inversion is reported
  };
  const Case cases[] = {
      // Without a profile: ImageMagick's very bytes (and within 0.01 of the
      // original picture, where libvips' generic press profile is 0.07 off).
      {"plain.jpg", "-colorspace sRGB", 0.0, true},
      // With one: through it; lcms in ImageMagick and in libvips differ a little.
      {"profiled.jpg", "-profile '" + srgb_icc + "'", 0.01, false},
  };
  const Image original = MustRead(source).image;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string reference = dir.File(std::string("im-") + c.file + ".png");
    Shell("convert '" + dir.File(c.file) + "' " + c.imagemagick + " -depth 8 '" + reference + "'");
    const Photo photo = MustRead(dir.File(c.file));
    EXPECT_LE(Rmse(photo.image, MustRead(reference).image), c.max_rmse);
    if (c.noted) {
      EXPECT_LE(Rmse(photo.image, original), 0.01);
      ASSERT_EQ(photo.notes.size(), 1u);
      EXPECT_EQ(photo.notes[0], "CMYK without a colour profile: converted to RGB by plain inversion");
    } else {
      EXPECT_TRUE(photo.notes.empty());
    }
  }
}

TEST(PhotoGray, OneChannelIsWrittenAgainWhileThePictureStaysGray) {
  TempDir dir;
  const std::string source = SourcePicture(dir);
  const std::string gray = dir.File("gray.png");
  Shell("convert '" + source + "' -colorspace gray '" + gray + "'");
  Shell("convert '" + gray + "' '" + dir.File("gray.jpg") + "'");
  Shell("convert '" + gray + "' -alpha set -channel A -evaluate set 50% +channel '" + dir.File("gray-alpha.png") +
        "'");
  Shell("convert '" + gray + "' -define png:color-type=2 '" + dir.File("rgb-of-gray.png") + "'");
  struct Case {
    const char* source;
    bool tinted;  // one pixel no longer gray, as sepia leaves it
    PhotoFormat format;
    const char* extension;
    int bands;
  };
  const Case cases[] = {
      {"gray.png", false, PhotoFormat::kPng, ".png", 1},
      {"gray.png", false, PhotoFormat::kTiff, ".tif", 1},
      {"gray.jpg", false, PhotoFormat::kJpeg, ".jpg", 1},
      {"gray-alpha.png", false, PhotoFormat::kPng, ".png", 2},
      {"gray.png", true, PhotoFormat::kPng, ".png", 3},
      {"gray-alpha.png", true, PhotoFormat::kTiff, ".tif", 4},
      {"rgb-of-gray.png", false, PhotoFormat::kPng, ".png", 3},  // the file had three channels
  };
  // A gray ICC profile goes only where the picture stays gray.
  std::vector<uint8_t> gray_profile = SampleIccProfile();
  std::copy_n("GRAY", 4, gray_profile.begin() + 16);  // the header's data colour space
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source) + (c.tinted ? " tinted" : "") + " into " + PhotoFormatName(c.format));
    Photo photo = MustRead(dir.File(c.source));
    photo.metadata.icc = gray_profile;
    if (c.tinted) photo.image.pixel(3, 2)[0] ^= 1;
    EncodeOptions options;
    options.format = c.format;
    const std::string out = dir.File("out" + std::to_string(++n) + c.extension);
    const Photo back = RoundTrip(photo, options, out);
    EXPECT_EQ(BandsOfFile(out), c.bands);
    EXPECT_EQ(back.metadata.icc.empty(), c.bands > 2);
    if (c.format != PhotoFormat::kJpeg) {
      EXPECT_EQ(FirstDifferentPixel(back.image, photo.image), "");
      EXPECT_EQ(back.alpha, photo.alpha);
    }
  }
}

// ImageMagick's reading of a JPEG: its estimated quality, the sampling
// factors and the scan mode ("JPEG": progressive, "None": baseline).
struct JpegKind {
  int quality = 0;
  std::string sampling, interlace;
};

JpegKind IdentifyJpeg(const std::string& path) {
  const std::string text =
      CommandOutput("identify -format '%Q %[jpeg:sampling-factor] %[interlace]' '" + path + "'");
  JpegKind kind;
  char sampling[64] = "", interlace[16] = "";
  if (std::sscanf(text.c_str(), "%d %63s %15s", &kind.quality, sampling, interlace) == 3) {
    kind.sampling = sampling;
    kind.interlace = interlace;
  }
  return kind;
}

TEST(PhotoJpeg, QualitySubsamplingScanAndTablesOfTheSourceAreKept) {
  TempDir dir;
  const std::string source = SourcePicture(dir);
  struct Case {
    int quality;
    const char* sampling;  // ImageMagick's -sampling-factor: 2x2 is 4:2:0, 1x1 is 4:4:4
    bool progressive;
    bool optimized;  // Huffman tables (a progressive JPEG's always are)
  };
  const Case cases[] = {{50, "2x2", true, true},
                        {75, "1x1", false, false},
                        {90, "2x2", false, true},
                        {95, "1x1", true, true},
                        {85, "2x1", false, false}};
  for (const Case& c : cases) {
    const std::string name =
        "q" + std::to_string(c.quality) + "-" + c.sampling + (c.progressive ? "-p" : "") + (c.optimized ? "-o" : "");
    SCOPED_TRACE(name);
    const std::string jpeg = dir.File(name + ".jpg");
    Shell("convert '" + source + "' -quality " + std::to_string(c.quality) + " -sampling-factor " + c.sampling +
          (c.progressive ? " -interlace JPEG" : "") +
          " -define jpeg:optimize-coding=" + (c.optimized ? "true" : "false") + " '" + jpeg + "'");
    const JpegKind in = IdentifyJpeg(jpeg);
    ASSERT_EQ(in.quality, c.quality);
    const Photo photo = MustRead(jpeg);
    EXPECT_NEAR(photo.jpeg.quality, c.quality, 1);
    EXPECT_EQ(photo.jpeg.optimized_huffman, c.optimized);

    EncodeOptions options;
    options.format = PhotoFormat::kJpeg;
    options.jpeg_like_source = true;
    const std::string out = dir.File(name + "-out.jpg");
    EXPECT_EQ(RoundTrip(photo, options, out).jpeg.optimized_huffman, c.optimized);
    const JpegKind kept = IdentifyJpeg(out);
    EXPECT_NEAR(kept.quality, c.quality, 1);
    // Never less colour resolution than the source: 4:2:0 is kept, any
    // other subsampling (4:2:2) is written at full resolution.
    const std::string colour = c.sampling == std::string("2x2") ? "2x2,1x1,1x1" : "1x1,1x1,1x1";
    EXPECT_EQ(kept.sampling, colour);
    EXPECT_EQ(kept.interlace, in.interlace);

    // A quality given instead: that one, the source's colour resolution
    // as above, and standard tables (the quick encode); the scan mode is
    // kept all the same.
    options.jpeg_like_source = false;
    options.quality = 80;
    EXPECT_EQ(RoundTrip(photo, options, out).jpeg.optimized_huffman, c.progressive);
    const JpegKind given = IdentifyJpeg(out);
    EXPECT_EQ(given.quality, 80);
    EXPECT_EQ(given.sampling, colour);
    EXPECT_EQ(given.interlace, in.interlace);
  }
}

}  // namespace
