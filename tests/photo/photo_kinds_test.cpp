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

// The mean CIEDE2000 difference of two pictures of one size (libvips'
// Lab and dE00); 100 when the sizes differ.
double MeanDe00(const Image& a, const Image& b) {
  if (a.width != b.width || a.height != b.height) return 100.0;
  EXPECT_EQ(VIPS_INIT("photo_kinds_test"), 0);
  std::vector<uint8_t> rgb[2];
  VipsImage* lab[2] = {};
  for (int i = 0; i < 2; ++i) {
    const Image& image = i == 0 ? a : b;
    rgb[i].resize(image.bgr.size());
    for (size_t j = 0; j + 2 < rgb[i].size(); j += 3) {
      rgb[i][j] = image.bgr[j + 2];
      rgb[i][j + 1] = image.bgr[j + 1];
      rgb[i][j + 2] = image.bgr[j];
    }
    VipsImage* in =
        vips_image_new_from_memory(rgb[i].data(), rgb[i].size(), image.width, image.height, 3, VIPS_FORMAT_UCHAR);
    in->Type = VIPS_INTERPRETATION_sRGB;
    vips_colourspace(in, &lab[i], VIPS_INTERPRETATION_LAB, nullptr);
    g_object_unref(in);
  }
  VipsImage* de = nullptr;
  double mean = 100.0;
  if (lab[0] && lab[1] && vips_dE00(lab[0], lab[1], &de, nullptr) == 0) vips_avg(de, &mean, nullptr);
  for (VipsImage* image : {lab[0], lab[1], de}) {
    if (image) g_object_unref(image);
  }
  return mean;
}

// libvips' own conversion of a file through its embedded profile's table
// of `intent` to the sRGB profile (vips icc_transform --embedded --intent).
Image VipsThroughProfile(const std::string& path, const std::string& srgb_icc, VipsIntent intent) {
  EXPECT_EQ(VIPS_INIT("photo_kinds_test"), 0);
  Image image;
  VipsImage* in = vips_image_new_from_file(path.c_str(), nullptr);
  VipsImage* out = nullptr;
  if (in && vips_icc_transform(in, &out, srgb_icc.c_str(), "embedded", TRUE, "intent", intent, nullptr) == 0) {
    VipsImage* colour = nullptr;
    if (vips_extract_band(out, &colour, 0, "n", 3, nullptr) == 0) {  // any alpha left out
      g_object_unref(out);
      out = colour;
    }
    size_t size = 0;
    uint8_t* rgb = static_cast<uint8_t*>(vips_image_write_to_memory(out, &size));
    image.width = out->Xsize;
    image.height = out->Ysize;
    image.bgr.resize(size);
    for (size_t i = 0; i + 2 < size; i += 3) {
      image.bgr[i] = rgb[i + 2];
      image.bgr[i + 1] = rgb[i + 1];
      image.bgr[i + 2] = rgb[i];
    }
    g_free(rgb);
    g_object_unref(out);
  }
  if (in) g_object_unref(in);
  return image;
}

// A lut16 CMYK profile whose perceptual table is made darker (the L* curve
// scaled by 0.8) and moved apart from the colorimetric one it shared.
std::vector<uint8_t> DarkerPerceptual(std::vector<uint8_t> icc) {
  auto get = [](const std::vector<uint8_t>& b, size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | b[at + i];
    return v;
  };
  auto put32 = [&icc](size_t at, size_t v) {
    for (int i = 0; i < 4; ++i) icc[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  for (uint32_t i = 0; i < get(icc, 128, 4); ++i) {
    const size_t entry = 132 + 12 * i;
    if (std::string(icc.begin() + entry, icc.begin() + entry + 4) != "A2B0") continue;
    std::vector<uint8_t> lut(icc.begin() + get(icc, entry + 4, 4),
                             icc.begin() + get(icc, entry + 4, 4) + get(icc, entry + 8, 4));
    EXPECT_EQ(std::string(lut.begin(), lut.begin() + 4), "mft2");
    // Channels in and out, grid points, a matrix, the curves' lengths; the
    // input curves, the grid, then the output curves, L* first.
    size_t at = 52 + lut[8] * get(lut, 48, 2) * 2 + static_cast<size_t>(std::pow(lut[10], lut[8])) * lut[9] * 2;
    for (uint32_t k = 0; k < get(lut, 50, 2); ++k, at += 2) {
      const uint32_t scaled = get(lut, at, 2) * 4 / 5;
      lut[at] = static_cast<uint8_t>(scaled >> 8);
      lut[at + 1] = static_cast<uint8_t>(scaled);
    }
    icc.resize((icc.size() + 3) / 4 * 4);
    put32(entry + 4, icc.size());
    icc.insert(icc.end(), lut.begin(), lut.end());
  }
  put32(0, icc.size());
  std::fill_n(icc.begin() + 84, 16, 0);  // no profile id
  return icc;
}

TEST(PhotoCmyk, ConvertedAsImageMagickConvertsIt) {
  TempDir dir;
  const std::string source = SourcePicture(dir);
  const std::string srgb_icc = "/usr/share/color/icc/sRGB.icc";   // icc-profiles-free
  const std::string press = "/usr/share/color/icc/ghostscript/";  // libgs-common
  // A CMYK JPEG per profile, made by ImageMagick from the sRGB photo; the
  // damaged and the RGB profile are put into a plain CMYK file.
  auto make = [&](const std::string& name, const std::string& cmyk_icc) {
    Shell("convert '" + source + "' -profile '" + srgb_icc + "' -profile '" + cmyk_icc + "' -quality 95 '" +
          dir.File(name) + "'");
  };
  make("swop.jpg", press + "default_cmyk.icc");  // one table for every intent
  make("ps.jpg", press + "ps_cmyk.icc");         // a perceptual table alone
  Shell("convert '" + source + "' -colorspace CMYK -quality 95 '" + dir.File("plain.jpg") + "'");
  WriteBytes(dir.File("darker.icc"), DarkerPerceptual(ReadBytes(press + "default_cmyk.icc")));
  make("darker.jpg", dir.File("darker.icc"));
  // Damaged: the tables from CMYK renamed, those to CMYK kept (a profile
  // to print with, of no use to read a picture).
  std::vector<uint8_t> damaged = ReadBytes(press + "default_cmyk.icc");
  for (size_t entry = 132; entry < 132 + 12 * size_t(damaged[131]); entry += 12) {
    if (std::string(damaged.begin() + entry, damaged.begin() + entry + 3) == "A2B") damaged[entry] = 'x';
  }
  WriteBytes(dir.File("damaged.icc"), damaged);
  std::copy_n("xxxx", 4, damaged.begin() + 36);  // and no profile signature: unreadable
  WriteBytes(dir.File("unreadable.icc"), damaged);
  // Colorimetric tables alone: the perceptual (and saturation) ones renamed.
  std::vector<uint8_t> colorimetric = ReadBytes(press + "default_cmyk.icc");
  for (size_t entry = 132; entry < 132 + 12 * size_t(colorimetric[131]); entry += 12) {
    const std::string tag(colorimetric.begin() + entry, colorimetric.begin() + entry + 4);
    if (tag == "A2B0" || tag == "A2B2") colorimetric[entry] = 'x';
  }
  WriteBytes(dir.File("colorimetric.icc"), colorimetric);
  make("colorimetric.jpg", dir.File("colorimetric.icc"));
  Shell("convert '" + dir.File("colorimetric.jpg") + "' '" + dir.File("colorimetric.tif") + "'");
  Shell("convert '" + dir.File("swop.jpg") + "' -alpha set -channel A -evaluate set 60% +channel '" +
        dir.File("swop-alpha.tif") + "'");
  for (const char* name : {"damaged", "unreadable", "rgb"}) {
    const std::string icc = std::string(name) == "rgb" ? srgb_icc : dir.File(std::string(name) + ".icc");
    Shell("cp '" + dir.File("plain.jpg") + "' '" + dir.File(std::string(name) + ".jpg") + "' && exiftool -q " +
          "-overwrite_original '-ICC_Profile<=" + icc + "' '" + dir.File(std::string(name) + ".jpg") + "'");
  }
  const std::string through = "-profile '" + srgb_icc + "'";
  struct Case {
    const char* file;
    std::string imagemagick;                     // its conversion of the file to 8-bit sRGB
    double max_mean_de00;                        // against ImageMagick's
    bool vips_reads_profile;                     // and within 0.5 of libvips' conversion through it
    const char* note;                            // the one note, or none
    VipsIntent intent = VIPS_INTENT_PERCEPTUAL;  // the table read
  };
  const Case cases[] = {
      // Without a profile: ImageMagick's very bytes (and within 0.01 of the
      // original picture, where libvips' generic press profile is 0.07 off).
      {"plain.jpg", "-colorspace sRGB", 0.0, false,
       "CMYK without a colour profile: converted to RGB by plain inversion"},
      // Through the profile's perceptual table, as ImageMagick reads it
      // (libvips reads the colorimetric one unless asked, the same table
      // here): libvips' bytes; ImageMagick's 8-bit rows are about half a
      // level darker (rounded down). libvips' generic way was 4.0 off.
      {"swop.jpg", through, 0.5, true, nullptr},
      // Perceptual and colorimetric apart: the perceptual (9.4 between them).
      {"darker.jpg", through, 0.5, true, nullptr},
      {"swop-alpha.tif", through, 0.5, true, nullptr},  // the alpha band kept aside
      // A perceptual table alone (for another intent libvips would warn
      // and use its own press profile, 22 off): libvips' two steps through
      // Lab keep the deepest shadows a little apart from ImageMagick's one.
      {"ps.jpg", through, 1.0, true, nullptr},
      // Colorimetric tables alone: read through the relative one, no note.
      {"colorimetric.jpg", "-intent Relative " + through, 0.5, true, nullptr, VIPS_INTENT_RELATIVE},
      {"colorimetric.tif", "-intent Relative " + through, 0.5, true, nullptr, VIPS_INTENT_RELATIVE},
      // A profile that cannot be used is none.
      {"damaged.jpg", "-colorspace sRGB", 0.0, false,
       "its CMYK colour profile cannot be used (damaged, or not for CMYK): converted to RGB by plain inversion"},
      {"unreadable.jpg", "-colorspace sRGB", 0.0, false,
       "its CMYK colour profile cannot be used (damaged, or not for CMYK): converted to RGB by plain inversion"},
      {"rgb.jpg", "-colorspace sRGB", 0.0, false,
       "its CMYK colour profile cannot be used (damaged, or not for CMYK): converted to RGB by plain inversion"},
  };
  const Image original = MustRead(source).image;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string reference = dir.File(std::string("im-") + c.file + ".png");
    Shell("convert '" + dir.File(c.file) + "' " + c.imagemagick + " -depth 8 '" + reference + "'");
    const Photo photo = MustRead(dir.File(c.file));
    const Image imagemagick = MustRead(reference).image;
    if (c.max_mean_de00 == 0.0) {
      EXPECT_EQ(FirstDifferentPixel(photo.image, imagemagick), "");
      EXPECT_LE(Rmse(photo.image, original), 0.01);
    } else {
      EXPECT_LE(MeanDe00(photo.image, imagemagick), c.max_mean_de00);
    }
    if (c.vips_reads_profile) {
      EXPECT_LE(MeanDe00(photo.image, VipsThroughProfile(dir.File(c.file), srgb_icc, c.intent)), 0.5);
    }
    if (c.note) {
      ASSERT_EQ(photo.notes.size(), 1u);
      EXPECT_EQ(photo.notes[0], c.note);
    } else {
      EXPECT_EQ(photo.notes, std::vector<std::string>{});
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
