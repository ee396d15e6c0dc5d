// TIFF directories at the byte level: the JPEG EXIF orientation reader the
// Windows codecs fall back on (every value of a real file, both byte
// orders, damaged or cut files that must give 0 without reading outside the
// bytes: the native run has ASan), pixels turned upright, the EXIF block of
// a camera's TIFF made upright, and tags added to a first directory.
#include <algorithm>
#include <string>

#include "gtest/gtest.h"
#include "photo/tiff_directory.h"
#include "photo/upright.h"
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

namespace {

// A TIFF structure's directory at `at` as TiffDirectoryNumber reads one.
TiffHead DirectoryAt(const std::vector<uint8_t>& tiff, size_t at) {
  TiffHead head;
  std::copy(tiff.begin(), tiff.begin() + 8, head.header);
  head.directory.assign(tiff.begin() + static_cast<std::ptrdiff_t>(at), tiff.end());
  return head;
}

uint32_t Number(const OrderedWriter& w, size_t at) {
  const uint8_t* p = w.bytes.data() + at;
  return w.big ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
               : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

// An EXIF block from a camera's TIFF: IFD0 with layout tags (width, strip
// offsets) around the model, an orientation of 6 and the EXIF directory
// (pixel dimensions as SHORT), IFD1 with a JPEG thumbnail 48 wide.
OrderedWriter CameraExif(bool big) {
  OrderedWriter w{big, {}};
  w.bytes = {uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I')};
  w.U16(42);
  w.U32(8);
  w.U16(5);  // IFD0 at 8, 5 entries, its link at 70
  w.Entry(0x0100, 4, 1, 10);
  w.Entry(0x0110, 2, 4, 0x00746163);
  w.Entry(0x0111, 4, 1, 8);
  w.Entry(0x0112, 3, 1, 6);
  w.Entry(0x8769, 4, 1, 74);
  w.U32(104);
  w.U16(2);  // the EXIF directory at 74
  w.Entry(0xa002, 3, 1, 10);
  w.Entry(0xa003, 3, 1, 20);
  w.U32(0);
  w.U16(2);  // IFD1 at 104, the thumbnail at 134
  w.Entry(0x0201, 4, 1, 134);
  w.Entry(0x0202, 4, 1, 17);
  w.U32(0);
  w.bytes.insert(w.bytes.end(), {0xff, 0xd8, 0xff, 0xc0, 0, 11, 8, 0, 32, 0, 48, 1, 1, 0x11, 0, 0xff, 0xd9});
  return w;
}

TEST(ExifUpright, LayoutTagsGoThePixelDimensionsFollowAndTheThumbnailIsMeasured) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "MM" : "II");
    const OrderedWriter camera = CameraExif(big);
    std::vector<uint8_t> exif = camera.bytes;
    exif.insert(exif.begin(), {'E', 'x', 'i', 'f', 0, 0});
    int side = 0;
    ASSERT_TRUE(MakeExifUpright(&exif, 20, 10, &side));
    EXPECT_EQ(side, 48);
    const std::vector<uint8_t> tiff(exif.begin() + 6, exif.end());
    const OrderedWriter upright{big, tiff};
    const TiffHead ifd0 = DirectoryAt(tiff, 8), exif_ifd = DirectoryAt(tiff, 74);
    EXPECT_EQ(ifd0.directory[big ? 1 : 0], 3);  // model, orientation, EXIF directory
    EXPECT_EQ(TiffDirectoryNumber(ifd0, 0x0100), 0u);
    EXPECT_EQ(TiffDirectoryNumber(ifd0, 0x0111), 0u);
    EXPECT_EQ(TiffDirectoryNumber(ifd0, 0x0112), 1u);
    EXPECT_EQ(TiffDirectoryNumber(ifd0, 0x8769), 74u);
    EXPECT_EQ(Number(upright, 8 + 2 + 3 * 12), 0u);  // no IFD1
    EXPECT_EQ(TiffDirectoryNumber(exif_ifd, 0xa002), 20u);
    EXPECT_EQ(TiffDirectoryNumber(exif_ifd, 0xa003), 10u);
    EXPECT_EQ(Number(upright, 74 + 2 + 2) >> (big ? 16 : 0) & 0xffff, 4u);  // LONG now
  }
  // A pixel dimension of no integer type is a damaged block.
  OrderedWriter damaged = CameraExif(false);
  damaged.bytes[74 + 2 + 2] = 2;
  std::vector<uint8_t> before = damaged.bytes, exif = before;
  int side = 0;
  EXPECT_FALSE(MakeExifUpright(&exif, 20, 10, &side));
  EXPECT_EQ(exif, before);
}

TEST(AddTiffTags, MissingTagsJoinTheFirstDirectoryInOrder) {
  for (bool big : {false, true}) {
    for (size_t start : {size_t{0}, size_t{6}}) {  // a TIFF file, an EXIF block
      SCOPED_TRACE(std::string(big ? "MM" : "II") + " at " + std::to_string(start));
      OrderedWriter w{big, std::vector<uint8_t>(start, 'x')};
      w.bytes.insert(w.bytes.end(), {uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I')});
      w.U16(42);
      w.U32(8);
      w.U16(3);
      w.Entry(0x0100, 3, 1, 16);
      w.Entry(0x0103, 3, 1, 5);
      w.Entry(0x0111, 4, 1, 8);
      w.U32(0);
      w.bytes.push_back(0);  // an odd end: the new directory starts on a word
      std::vector<uint8_t> bytes = w.bytes;
      TiffTag rows, software, compression;
      rows.tag = 278, rows.type = 4, rows.number = 12;
      software.tag = 0x0131, software.text = "paint";
      compression.tag = 0x0103, compression.type = 3, compression.number = 1;  // there already
      ASSERT_TRUE(AddTiffTags(&bytes, start, {software, rows, compression}));
      const std::vector<uint8_t> tiff(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
      const OrderedWriter added{big, tiff};
      const uint32_t at = Number(added, 4);
      EXPECT_EQ(at % 2, 0u);
      const TiffHead head = DirectoryAt(tiff, at);
      EXPECT_EQ(TiffDirectoryNumber(head, 278), 12u);
      EXPECT_EQ(TiffDirectoryNumber(head, 0x0103), 5u);
      EXPECT_EQ(TiffDirectoryNumber(head, 0x0100), 16u);
      std::vector<unsigned> tags;
      for (size_t i = 0; i < 5; ++i) tags.push_back(Number(added, at + 2 + i * 12) >> (big ? 16 : 0) & 0xffff);
      EXPECT_EQ(tags, (std::vector<unsigned>{0x0100, 0x0103, 0x0111, 278, 0x0131}));
      const uint32_t text = Number(added, at + 2 + 4 * 12 + 8);
      EXPECT_EQ(std::string(tiff.begin() + text, tiff.begin() + text + 6), std::string("paint\0", 6));
      std::vector<uint8_t> again = bytes;
      ASSERT_TRUE(AddTiffTags(&again, start, {rows, software}));
      EXPECT_EQ(again, bytes);  // nothing missing: nothing written
    }
  }
  // A directory past the end, or cut before its link: refused, unchanged.
  OrderedWriter w{false, {'I', 'I', 42, 0}};
  w.U32(8);
  w.U16(2);
  w.Entry(0x0100, 3, 1, 16);
  for (uint8_t offset : {uint8_t(8), uint8_t(0x7f)}) {
    std::vector<uint8_t> bytes = w.bytes;
    bytes[4] = offset;
    const std::vector<uint8_t> before = bytes;
    TiffTag rows;
    rows.tag = 278, rows.type = 4, rows.number = 1;
    EXPECT_FALSE(AddTiffTags(&bytes, 0, {rows})) << int(offset);
    EXPECT_EQ(bytes, before);
  }
}

}  // namespace
