// The photo codecs of the command line in both builds (libvips natively,
// WIC under Wine): each format written and read back, alpha with the
// colours hidden behind it, every EXIF orientation of a real JPEG turned
// upright, the metadata blocks, a gray picture and a JPEG's encoding
// carried from the file into JPEG and PNG output, refused requests and
// unreadable files named with the reason.
#include <string>

#include "gtest/gtest.h"
#include "photo/image.h"
#include "photo/encoding_check.h"
#include "photo/tiff_directory.h"
#include "photo/photo_io.h"
#include "tests/photo/photo_samples.h"
#include "tests/support/test_support.h"

namespace {

TEST(PhotoFormatNames, ExtensionsAndWordsNameTheFormats) {
  struct Case {
    const char* text;
    bool known;
    PhotoFormat format;
  };
  const Case cases[] = {{"out.png", true, PhotoFormat::kPng},   {"OUT.JPG", true, PhotoFormat::kJpeg},
                        {"a.b.jpeg", true, PhotoFormat::kJpeg}, {"x.Bmp", true, PhotoFormat::kBmp},
                        {"x.tif", true, PhotoFormat::kTiff},    {"x.TIFF", true, PhotoFormat::kTiff},
                        {"x.gif", false, PhotoFormat::kPng},    {"png", false, PhotoFormat::kPng},
                        {"x.", false, PhotoFormat::kPng}};
  for (const Case& c : cases) {
    PhotoFormat format = PhotoFormat::kPng;
    EXPECT_EQ(PhotoFormatFromName(c.text, &format), c.known) << c.text;
    if (c.known) {
      EXPECT_EQ(format, c.format) << c.text;
    }
  }
  for (PhotoFormat f : {PhotoFormat::kPng, PhotoFormat::kJpeg, PhotoFormat::kBmp, PhotoFormat::kTiff}) {
    PhotoFormat back = PhotoFormat::kPng;
    EXPECT_TRUE(PhotoFormatFromText(PhotoFormatName(f), &back));
    EXPECT_EQ(back, f);
  }
  EXPECT_NE(PhotoCodecLimits(), nullptr);
}

TEST(PhotoOrientation, EachOfTheEightOfARealJpegIsTurnedUpright) {
  TempDir dir;
  const std::vector<uint8_t> jpeg = ReadBytes(std::string(CHROMALINE_SOURCE_DIR) + "/tests/data/photo/oriented.jpg");
  ASSERT_FALSE(jpeg.empty());
  const std::string plain = dir.File("plain.jpg");
  WriteBytes(plain, jpeg);
  const Photo stored = MustRead(plain);
  ASSERT_EQ(stored.orientation, 1);
  for (int orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE("orientation " + std::to_string(orientation));
    std::vector<uint8_t> turned = jpeg;
    ASSERT_TRUE(SetJpegOrientation(&turned, orientation));
    const std::string path = dir.File("o" + std::to_string(orientation) + ".jpg");
    WriteBytes(path, turned);
    const Photo photo = MustRead(path);
    EXPECT_EQ(photo.orientation, orientation);
    EXPECT_EQ(FirstDifferentPixel(photo.image, Upright(stored.image, orientation)), "");
  }
}

TEST(PhotoMetadata, EveryBlockOfAJpegIsCarriedIntoJpegAndPng) {
  TempDir dir;
  const std::string source = dir.File("source.jpg");
  std::vector<uint8_t> jpeg = ReadBytes(std::string(CHROMALINE_SOURCE_DIR) + "/tests/data/photo/oriented.jpg");
  ASSERT_TRUE(SetJpegOrientation(&jpeg, 6));
  WriteBytes(source, jpeg);
  Photo photo = MustRead(source);
  // The sample: quality 95 without chroma subsampling, an EXIF block with
  // a description.
  EXPECT_EQ(photo.jpeg.quality, 95);
  EXPECT_EQ(photo.jpeg.subsampling_x, 1);
  EXPECT_EQ(photo.jpeg.subsampling_y, 1);
  EXPECT_FALSE(photo.jpeg.progressive);
  ASSERT_EQ(ExifOrientation(photo.metadata.exif), 1) << "made upright on reading";
  photo.metadata.iptc = {0x1c, 0x02, 0x00, 0x00, 0x02, 0x00, 0x04, 0x1c, 0x02, 0x19, 0x00, 0x04, 'c', 'a', 't', 's'};
  const std::string xmp =
      "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
      "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/' dc:format='chromaline-marker'/>"
      "</rdf:RDF></x:xmpmeta>";
  photo.metadata.xmp.assign(xmp.begin(), xmp.end());
  photo.metadata.comment = "a note";
  for (PhotoFormat format : {PhotoFormat::kJpeg, PhotoFormat::kPng}) {
    SCOPED_TRACE(PhotoFormatName(format));
    EncodeOptions options;
    options.format = format;
    EXPECT_EQ(MetadataLeftOut(photo, options), "");
    const Photo back = RoundTrip(photo, options, dir.File(std::string("out.") + PhotoFormatName(format)));
    EXPECT_EQ(back.orientation, 1);
    EXPECT_EQ(ExifOrientation(back.metadata.exif), 1);
    EXPECT_TRUE(Contains(back.metadata.exif, "chromaline oriented sample"));
    EXPECT_EQ(back.metadata.iptc, photo.metadata.iptc);
    EXPECT_TRUE(Contains(back.metadata.xmp, "chromaline-marker"));
    EXPECT_EQ(back.metadata.comment, "a note");
    EXPECT_TRUE(back.notes.empty()) << back.notes.front();
  }
}

TEST(PhotoGray, AGrayFileIsWrittenGrayWhileThePictureStaysGray) {
  TempDir dir;
  Photo photo;
  photo.image = RandomImage(12, 9, 4);
  for (size_t i = 0; i < photo.image.bgr.size(); i += 3) {
    photo.image.bgr[i + 1] = photo.image.bgr[i + 2] = photo.image.bgr[i];
  }
  photo.gray = true;
  Photo tinted = photo;
  tinted.image.pixel(3, 2)[0] ^= 1;
  int n = 0;
  for (PhotoFormat format : {PhotoFormat::kJpeg, PhotoFormat::kPng, PhotoFormat::kTiff}) {
    SCOPED_TRACE(PhotoFormatName(format));
    EncodeOptions options;
    options.format = format;
    const std::string extension = std::string(".") + PhotoFormatName(format);
    EXPECT_TRUE(RoundTrip(photo, options, dir.File("gray" + std::to_string(++n) + extension)).gray);
    EXPECT_FALSE(RoundTrip(tinted, options, dir.File("tinted" + std::to_string(n) + extension)).gray);
  }
}

TEST(PhotoAlpha, WrittenAlphaAndTheColoursBehindItReadBack) {
  TempDir dir;
  Photo photo;
  photo.image = RandomImage(19, 7, 3);
  photo.alpha.resize(19 * 7);
  for (size_t i = 0; i < photo.alpha.size(); ++i) photo.alpha[i] = static_cast<uint8_t>(i % 3 == 0 ? 0 : i * 37);
  for (const FormatCase& c : kLosslessFormats) {
    SCOPED_TRACE(PhotoFormatName(c.format));
    if (c.format == PhotoFormat::kBmp && RunningUnderWine()) {
      // Wine's WIC writes 32-bit BMPs it then reads without alpha (Windows
      // 8 and later write and read the version 5 header's alpha).
      continue;
    }
    EncodeOptions options;
    options.format = c.format;
    const Photo back = RoundTrip(photo, options, dir.File(std::string("alpha") + c.extension));
    EXPECT_EQ(back.alpha, photo.alpha);
    EXPECT_EQ(FirstDifferentPixel(back.image, photo.image), "") << "colours behind alpha 0 must survive";
  }
  // JPEG holds no alpha: the colours are written, the plane is left out.
  EncodeOptions jpeg;
  jpeg.format = PhotoFormat::kJpeg;
  EXPECT_TRUE(RoundTrip(photo, jpeg, dir.File("alpha.jpg")).alpha.empty());
}

TEST(PhotoAlpha, PalettesHaveAlphaOnlyWithTransparentEntries) {
  const std::string data = std::string(CHROMALINE_SOURCE_DIR) + "/tests/data/photo/";
  const Photo opaque = MustRead(data + "palette.png");
  EXPECT_TRUE(opaque.alpha.empty()) << "an opaque palette picture would gain an alpha channel on output";
  const Photo clear = MustRead(data + "palette-transparent.png");
  ASSERT_EQ(clear.alpha.size(), static_cast<size_t>(40 * 24));
  // The first 8x8 block is transparent, the rest opaque.
  EXPECT_EQ(clear.alpha[0], 0);
  EXPECT_EQ(clear.alpha[7 * 40 + 7], 0);
  EXPECT_EQ(clear.alpha[8], 255);
  EXPECT_EQ(clear.alpha[23 * 40 + 39], 255);
  EXPECT_EQ(FirstDifferentPixel(clear.image, opaque.image), "") << "colours behind transparency are kept";
}

TEST(PhotoFormats, EachFormatReadsBackWhatWasWritten) {
  TempDir dir;
  Photo photo;
  photo.image = RandomImage(33, 17, 5);
  for (const FormatCase& c : kLosslessFormats) {
    SCOPED_TRACE(PhotoFormatName(c.format));
    EXPECT_TRUE(PhotoFormatWritable(c.format));
    EncodeOptions options;
    options.format = c.format;
    const Photo back = RoundTrip(photo, options, dir.File(std::string("f") + c.extension));
    EXPECT_EQ(FirstDifferentPixel(back.image, photo.image), "");
    EXPECT_TRUE(back.alpha.empty());
    EXPECT_EQ(back.source_bits, 8);
  }
  // JPEG: close to the picture at a high quality, and smaller at a low one.
  // (Wine's WIC JPEG encoder takes no quality: it always writes its own.)
  if (RunningUnderWine()) return;
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

TEST(PhotoFormats, NamesThatLookLikeLoaderOptionsAreReadAsNames) {
  // libvips reads "name[options]" as options for the loader when the name
  // alone is no file; photos are called "holiday[2].jpg" all the same.
  TempDir dir;
  Photo photo;
  photo.image = RandomImage(9, 5, 8);
  for (const char* name : {"holiday[2].png", "a b [fail].png", "q[access=sequential].tif"}) {
    SCOPED_TRACE(name);
    EncodeOptions options;
    ASSERT_TRUE(PhotoFormatFromName(name, &options.format));
    const Photo back = RoundTrip(photo, options, dir.File(name));
    EXPECT_EQ(FirstDifferentPixel(back.image, photo.image), "");
  }
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
    const char* reason;  // part of the message after the name
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

namespace {

// The read-back check names what the bytes lack of what was asked: here
// the bytes of one request checked against another that asks for more.
TEST(EncodingCheck, NamesWhatTheBytesLackOfTheRequest) {
  Photo colour;
  colour.image = BlockPicture(4, 3);
  EncodeOptions asked;
  asked.format = PhotoFormat::kJpeg;
  asked.quality = 60;
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(EncodePhoto(colour, asked, &bytes, &error)) << error;
  EXPECT_EQ(CheckEncoding(colour, asked, bytes).shortfall, "");

  struct Case {
    const char* name;
    void (*more)(Photo*, EncodeOptions*);
    const char* said;
  };
  const Case cases[] = {
      {"a higher quality", [](Photo*, EncodeOptions* o) { o->quality = 90; }, "where 90 was asked"},
      {"the source's own higher quality",
       [](Photo* p, EncodeOptions* o) {
         p->jpeg.quality = 90;
         o->jpeg_like_source = true;
       },
       "where 90 was asked"},
      {"one gray channel",
       [](Photo* p, EncodeOptions*) {
         p->gray = true;
         for (size_t i = 0; i < p->image.bgr.size(); i += 3)
           p->image.bgr[i + 1] = p->image.bgr[i + 2] = p->image.bgr[i];
       },
       "colour channels for a gray picture"},
      {"an ICC profile",
       [](Photo* p, EncodeOptions*) {
         p->metadata.icc = {1, 2, 3};
       },
       "no ICC profile"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Photo more = colour;
    EncodeOptions options = asked;
    c.more(&more, &options);
    EXPECT_NE(CheckEncoding(more, options, bytes).shortfall.find(c.said), std::string::npos)
        << CheckEncoding(more, options, bytes).shortfall;
  }
}

}  // namespace
