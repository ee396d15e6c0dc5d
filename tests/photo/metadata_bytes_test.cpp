// The byte-level metadata code the Windows codecs rest on, in both builds:
// the EXIF block made upright in either byte order, JPEG segments and PNG
// chunks written and read back, a JPEG's encoding read from its header, and
// damaged or cut blocks that must be refused or left out without reading
// outside the bytes (the native run has ASan).
#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "photo/jpeg_encoding.h"
#include "photo/jpeg_segments.h"
#include "photo/png_chunks.h"
#include "photo/tiff_directory.h"
#include "photo/xmp_packet.h"
#include "tests/photo/photo_samples.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One byte of a block or file set to another value.
struct ByteDamage {
  const char* what;
  size_t at;
  uint8_t value;
};

Bytes Damaged(Bytes bytes, const ByteDamage& damage) {
  bytes.at(damage.at) = damage.value;
  return bytes;
}

using Writer = OrderedWriter;

// "Exif\0\0" and a TIFF structure: IFD0 (Model, orientation, a link to
// the EXIF directory) at 8, the EXIF directory at 50, IFD1 (a thumbnail's
// two tags) at 68.
struct SampleExif {
  Bytes block;
  size_t link;  // where IFD0's link to IFD1 is, in the block
};

SampleExif MakeExif(bool big, int orientation, unsigned orientation_type = 3) {
  Writer w{big, {}};
  w.bytes.insert(w.bytes.end(), {uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I')});
  w.U16(42);
  w.U32(8);
  w.U16(3);                           // IFD0 at 8
  w.Entry(0x0110, 2, 4, 0x00746163);  // Model "cat" (in the entry, the byte order's way)
  w.Entry(0x0112, orientation_type, 1, uint32_t(orientation));
  w.Entry(0x8769, 4, 1, 50);
  const size_t link = w.bytes.size();
  w.U32(68);                          // IFD1
  w.U16(1);                           // the EXIF directory at 50
  w.Entry(0x9000, 7, 4, 0x30323330);  // version
  w.U32(0);
  w.U16(2);  // IFD1 at 68
  w.Entry(0x0201, 4, 1, 100);
  w.Entry(0x0202, 4, 1, 4);
  w.U32(0);
  w.bytes.insert(w.bytes.end(), {0xff, 0xd8, 0xff, 0xd9});  // the thumbnail at 100
  Bytes block = {'E', 'x', 'i', 'f', 0, 0};
  block.insert(block.end(), w.bytes.begin(), w.bytes.end());
  return {block, link + 6};
}

uint32_t LinkAt(const Bytes& block, size_t at, bool big) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{block[at + i]} << (big ? 24 - 8 * i : 8 * i);
  return v;
}

TEST(ExifUpright, OrientationOneAndNoThumbnailInEitherByteOrder) {
  for (bool big : {true, false}) {
    for (bool headed : {true, false}) {
      for (unsigned type : {3u, 4u}) {  // SHORT as it should be, LONG as some writers have it
        SCOPED_TRACE(std::string(big ? "MM" : "II") + (headed ? " with Exif header" : " bare") + " type " +
                     std::to_string(type));
        SampleExif sample = MakeExif(big, 6, type);
        size_t link = sample.link;
        if (!headed) {
          sample.block.erase(sample.block.begin(), sample.block.begin() + 6);
          link -= 6;
        }
        ASSERT_EQ(ExifOrientation(sample.block), type == 3 ? 6 : 0);
        Bytes upright = sample.block;
        int side = 0;
        ASSERT_TRUE(MakeExifUpright(&upright, 4, 3, &side));
        EXPECT_EQ(LinkAt(upright, link, big), 0u);
        EXPECT_EQ(side, 160);  // a thumbnail that cannot be measured
        ASSERT_EQ(upright.size(), sample.block.size());
        // Only the orientation value and the link changed.
        size_t changed = 0;
        for (size_t i = 0; i < upright.size(); ++i) changed += upright[i] != sample.block[i];
        EXPECT_LE(changed, 3u);
        if (type == 3) {
          EXPECT_EQ(ExifOrientation(upright), 1);
        }
        // Again: nothing more to do.
        Bytes twice = upright;
        EXPECT_TRUE(MakeExifUpright(&twice, 4, 3, &side));
        EXPECT_EQ(twice, upright);
        EXPECT_EQ(side, 0);
      }
    }
  }
}

TEST(ExifUpright, DamagedBlocksAreRefusedAndLeftAsTheyWere) {
  // Offsets in a big-endian block, after "Exif\0\0" (6).
  const ByteDamage cases[] = {
      {"no byte order", 6, 'X'},
      {"not 42", 9, 43},
      {"IFD0 past the end", 10, 0x7f},
      {"entry count past the end", 15, 0xf0},
      {"EXIF directory past the end", 6 + 8 + 2 + 24 + 8, 0x7f},
      {"EXIF directory pointer not a LONG", 6 + 8 + 2 + 24 + 3, 2},
      {"orientation an ASCII text", 6 + 8 + 2 + 12 + 3, 2},
      {"orientation of two values", 6 + 8 + 2 + 12 + 7, 2},
  };
  int side = 0;
  for (const ByteDamage& c : cases) {
    SampleExif sample = MakeExif(true, 6);
    sample.block = Damaged(sample.block, c);
    Bytes damaged = sample.block;
    EXPECT_FALSE(MakeExifUpright(&damaged, 4, 3, &side)) << c.what;
    EXPECT_EQ(damaged, sample.block) << c.what;
  }
  // Every cut: refused until IFD0 and its link are whole; never a read
  // outside the bytes.
  for (bool big : {true, false}) {
    const SampleExif sample = MakeExif(big, 3);
    for (size_t size = 0; size < sample.block.size(); ++size) {
      Bytes cut(sample.block.begin(), sample.block.begin() + size);
      const bool made = MakeExifUpright(&cut, 4, 3, &side);
      if (size < sample.link + 4) {
        EXPECT_FALSE(made) << "cut at " << size;
      }
    }
  }
}

// What the Windows build cannot read of a TIFF file is named from its
// first directory's tags; a cut directory or a header that is no TIFF's
// names only what the bytes at hand show.
TEST(TiffMetadata, TheDirectorysMetadataTagsAreNamed) {
  const struct {
    std::vector<unsigned> tags;
    size_t cut;  // bytes of the directory given (0: all)
    bool tiff;
    const char* names;
  } cases[] = {
      {{0x0100, 0x0110}, 0, true, "EXIF"},  // a camera's model in the first directory
      {{0x0100, 0x02bc, 0x83bb, 0x8769}, 0, true, "EXIF, IPTC, XMP"},
      {{0x0100, 0x0101, 0x0111}, 0, true, ""},   // pixels and nothing else
      {{0x8825}, 0, true, "EXIF"},               // GPS alone
      {{0x0100, 0x8769}, 2 + 12 + 5, true, ""},  // cut inside the second entry
      {{0x8769}, 1, true, ""},                   // not even the entry count
      {{0x8769}, 0, false, ""},
  };
  for (bool big : {false, true}) {
    for (const auto& c : cases) {
      Writer header{big, {}};
      header.bytes.insert(header.bytes.end(), {uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I')});
      header.U16(c.tiff ? 42 : 43);
      header.U32(4096);
      Writer directory{big, {}};
      directory.U16(static_cast<unsigned>(c.tags.size()));
      for (unsigned tag : c.tags) directory.Entry(tag, 4, 1, 0);
      const size_t size = c.cut != 0 ? c.cut : directory.bytes.size();
      EXPECT_EQ(TiffMetadataNames(header.bytes.data(), directory.bytes.data(), size), c.names)
          << (big ? "MM" : "II") << ", " << c.tags.size() << " tags, cut " << c.cut;
      EXPECT_EQ(TiffFirstDirectory(header.bytes.data()), c.tiff ? 4096u : 0u);
    }
  }
}

TEST(XmpUpright, TheOrientationAttributeOrElementBecomesOne) {
  struct Case {
    const char* packet;
    const char* upright;
  };
  const Case cases[] = {
      {"<rdf:Description tiff:Orientation=\"6\" tiff:Make='x'/>",
       "<rdf:Description tiff:Orientation=\"1\" tiff:Make='x'/>"},
      {"<a tiff:Orientation = '8'/>", "<a tiff:Orientation = '1'/>"},
      {"<tiff:Orientation>3</tiff:Orientation>", "<tiff:Orientation>1</tiff:Orientation>"},
      {"<tiff:Orientation>1</tiff:Orientation>", "<tiff:Orientation>1</tiff:Orientation>"},
      {"<tiff:Orientation>9</tiff:Orientation>", "<tiff:Orientation>9</tiff:Orientation>"},  // no orientation
      {"<exif:Orientation>6</exif:Orientation>", "<exif:Orientation>6</exif:Orientation>"},
      {"tiff:Orientation=\"6", "tiff:Orientation=\"6"},  // cut
      {"tiff:Orientation", "tiff:Orientation"},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> xmp(c.packet, c.packet + std::strlen(c.packet));
    ResetXmpOrientation(&xmp);
    EXPECT_EQ(std::string(xmp.begin(), xmp.end()), c.upright) << c.packet;
  }
}

// The blocks a picture may carry, with sizes that test the padding (an odd
// IPTC block) and the limit of a JPEG segment.
PhotoMetadata Blocks(size_t exif_size = 0, size_t xmp_size = 40, size_t comment_size = 4) {
  PhotoMetadata m;
  m.icc.assign(300, 'i');
  m.exif = MakeExif(false, 1).block;
  if (exif_size > m.exif.size()) m.exif.resize(exif_size, 0);
  m.iptc = {0x1c, 0x02, 0x19, 0x00, 0x04, 'c', 'a', 't', 's'};  // keywords "cats": 9 bytes
  m.xmp.assign(xmp_size, 'x');
  m.comment.assign(comment_size, 'n');
  return m;
}

// A JPEG's start with a JFIF segment, as an encoder writes it, then its scan.
Bytes EncodedJpeg() {
  return {0xff, 0xd8, 0xff, 0xe0, 0, 16, 'J',  'F',  'I', 'F', 0,    1,    1,    0,
          0,    1,    0,    1,    0, 0,  0xff, 0xda, 0,   2,   0x12, 0x34, 0xff, 0xd9};
}

TEST(JpegSegments, BlocksWrittenAreReadBackAndTheTooLargeNamed) {
  struct Case {
    const char* what;
    PhotoMetadata blocks;
    const char* too_large;
  };
  const Case cases[] = {
      {"all small", Blocks(), ""},
      {"each at the limit", Blocks(kMostJpegPayload, kMostJpegPayload - 29, kMostJpegPayload), ""},
      {"each one byte over", Blocks(kMostJpegPayload + 1, kMostJpegPayload - 28, kMostJpegPayload + 1),
       "EXIF, XMP, comment"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(JpegMetadataTooLarge(c.blocks), c.too_large);
    Bytes jpeg = EncodedJpeg();
    ASSERT_TRUE(AddJpegMetadata(&jpeg, c.blocks));
    const Bytes encoded = EncodedJpeg();
    EXPECT_EQ(Bytes(jpeg.begin(), jpeg.begin() + 20), Bytes(encoded.begin(), encoded.begin() + 20))
        << "the JFIF segment stays first";
    PhotoMetadata back;
    EXPECT_EQ(ReadJpegMetadata(jpeg.data(), jpeg.size(), &back), "");
    const std::string too_large = c.too_large;
    EXPECT_EQ(back.exif, too_large.find("EXIF") == std::string::npos ? c.blocks.exif : Bytes());
    EXPECT_EQ(back.xmp, too_large.find("XMP") == std::string::npos ? c.blocks.xmp : Bytes());
    EXPECT_EQ(back.comment, too_large.find("comment") == std::string::npos ? c.blocks.comment : "");
    EXPECT_EQ(back.iptc, c.blocks.iptc);
    EXPECT_EQ(back.icc, c.blocks.icc);
    EXPECT_EQ(Bytes(jpeg.end() - 8, jpeg.end()), Bytes(encoded.end() - 8, encoded.end()));
  }
  // An ICC profile goes in numbered chunks, at most 255 of them.
  for (size_t size : {size_t{1}, size_t{65519}, size_t{65520}, size_t{140000}, size_t{255} * 65519 + 1}) {
    SCOPED_TRACE("ICC profile of " + std::to_string(size));
    PhotoMetadata icc;
    icc.icc.resize(size);
    for (size_t i = 0; i < size; ++i) icc.icc[i] = uint8_t(i * 7 + i / 251);
    const bool fits = size <= 255 * 65519;
    EXPECT_EQ(JpegMetadataTooLarge(icc), fits ? "" : "ICC profile");
    Bytes jpeg = EncodedJpeg();
    ASSERT_TRUE(AddJpegMetadata(&jpeg, icc));
    PhotoMetadata back;
    EXPECT_EQ(ReadJpegMetadata(jpeg.data(), jpeg.size(), &back), "");
    EXPECT_EQ(back.icc, fits ? icc.icc : Bytes());
  }
  // A bare TIFF structure is given its "Exif\0\0".
  PhotoMetadata bare;
  bare.exif = Blocks().exif;
  bare.exif.erase(bare.exif.begin(), bare.exif.begin() + 6);
  Bytes jpeg = EncodedJpeg();
  ASSERT_TRUE(AddJpegMetadata(&jpeg, bare));
  PhotoMetadata back;
  ReadJpegMetadata(jpeg.data(), jpeg.size(), &back);
  EXPECT_EQ(back.exif, Blocks().exif);
  Bytes not_jpeg = {'G', 'I', 'F', '8'};
  EXPECT_FALSE(AddJpegMetadata(&not_jpeg, bare));
}

TEST(JpegSegments, DamagedOrCutSegmentsGiveOnlyWholeBlocks) {
  Bytes jpeg = EncodedJpeg();
  ASSERT_TRUE(AddJpegMetadata(&jpeg, Blocks()));
  // The Photoshop resource: after SOI, JFIF (18), EXIF and XMP segments.
  const size_t exif_segment = 4 + Blocks().exif.size();
  const size_t resource = 2 + 18 + exif_segment + 4 + 29 + 40 + 4 + 14 + 300 + 4 + 14;
  ASSERT_EQ(std::memcmp(jpeg.data() + resource, "8BIM", 4), 0);
  const ByteDamage cases[] = {
      {"resource size past the segment", resource + 8, 0x40},
      {"no 8BIM", resource, 'X'},
      {"name past the segment", resource + 6, 0xf0},
  };
  for (const ByteDamage& c : cases) {
    const Bytes damaged = Damaged(jpeg, c);
    PhotoMetadata back;
    EXPECT_EQ(ReadJpegMetadata(damaged.data(), damaged.size(), &back), "the IPTC block is damaged: left out")
        << c.what;
    EXPECT_TRUE(back.iptc.empty()) << c.what;
    EXPECT_EQ(back.exif, Blocks().exif) << c.what;
    EXPECT_EQ(back.comment, Blocks().comment) << c.what;
  }
  // An ICC profile with a chunk missing, twice or out of its count.
  PhotoMetadata icc;
  icc.icc.assign(140000, 9);  // three chunks
  Bytes three = EncodedJpeg();
  ASSERT_TRUE(AddJpegMetadata(&three, icc));
  const size_t second = 2 + 18 + 4 + 65533, number = second + 4 + 12;
  ASSERT_EQ(three.at(number), 2);
  const ByteDamage icc_cases[] = {{"chunk 2 of 3 named 1", number, 1},
                                  {"chunk 2 of 3 named 4", number, 4},
                                  {"chunk 2 says 2 in all", number + 1, 2},
                                  {"chunk 2 named 0", number, 0}};
  for (const ByteDamage& c : icc_cases) {
    const Bytes damaged = Damaged(three, c);
    PhotoMetadata back;
    EXPECT_EQ(ReadJpegMetadata(damaged.data(), damaged.size(), &back), "the ICC profile is damaged: left out")
        << c.what;
    EXPECT_TRUE(back.icc.empty()) << c.what;
  }
  // Every cut: a block is read whole or not at all.
  for (size_t size = 0; size < jpeg.size(); ++size) {
    PhotoMetadata back;
    ReadJpegMetadata(jpeg.data(), size, &back);
    EXPECT_TRUE(back.exif.empty() || back.exif == Blocks().exif) << "cut at " << size;
    EXPECT_TRUE(back.xmp.empty() || back.xmp == Blocks().xmp) << "cut at " << size;
    EXPECT_TRUE(back.iptc.empty() || back.iptc == Blocks().iptc) << "cut at " << size;
  }
}

// A JPEG header: DQT with the tables given (zigzag order), SOF with the
// components' sampling factors, then the scan.
Bytes JpegHead(uint8_t sof, const std::vector<uint8_t>& factors, int quality, bool sixteen_bit = false) {
  // The example tables of the JPEG standard scaled as libjpeg scales them.
  static const uint8_t kLuminance[64] = {16, 11, 12,  14,  12,  10, 16, 14,  13,  14,  18,  17,  16, 19,  24,  40,
                                         26, 24, 22,  22,  24,  49, 35, 37,  29,  40,  58,  51,  61, 60,  57,  51,
                                         56, 55, 64,  72,  92,  78, 64, 68,  87,  69,  55,  56,  80, 109, 81,  87,
                                         95, 98, 103, 104, 103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99};
  const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
  Bytes head = {0xff, 0xd8, 0xff, 0xdb};
  const size_t length = 2 + 65 * (sixteen_bit ? 2 : 1) - (sixteen_bit ? 1 : 0);
  head.insert(head.end(), {uint8_t(length >> 8), uint8_t(length), uint8_t(sixteen_bit ? 0x10 : 0x00)});
  for (uint8_t v : kLuminance) {
    int q = (v * scale + 50) / 100;
    q = q < 1 ? 1 : q > 255 ? 255 : q;
    if (sixteen_bit) head.push_back(0);
    head.push_back(uint8_t(q));
  }
  const size_t components = factors.size();
  head.insert(head.end(), {0xff, sof, 0, uint8_t(8 + 3 * components), 8, 0, 16, 0, 16, uint8_t(components)});
  for (size_t c = 0; c < components; ++c) head.insert(head.end(), {uint8_t(c + 1), factors[c], 0});
  head.insert(head.end(), {0xff, 0xda});
  return head;
}

TEST(JpegEncoding, QualitySubsamplingAndScanModeFromTheHeader) {
  struct Case {
    const char* what;
    Bytes head;
    int quality, across, down;
    bool subsampled, progressive;
  };
  const Case cases[] = {
      {"4:2:0 baseline", JpegHead(0xc0, {0x22, 0x11, 0x11}, 75), 75, 2, 2, true, false},
      {"4:2:2 progressive", JpegHead(0xc2, {0x21, 0x11, 0x11}, 60), 60, 2, 1, true, true},
      {"4:4:0", JpegHead(0xc1, {0x12, 0x11, 0x11}, 90), 90, 1, 2, true, false},
      {"4:4:4 with 16-bit tables", JpegHead(0xc0, {0x11, 0x11, 0x11}, 30, true), 30, 1, 1, false, false},
      {"gray", JpegHead(0xc0, {0x11}, 92), 92, 1, 1, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JpegEncoding encoding;
    ASSERT_TRUE(JpegEncodingFromHead(c.head.data(), c.head.size(), &encoding));
    EXPECT_EQ(encoding.quality, c.quality);
    EXPECT_EQ(encoding.subsampling_x, c.across);
    EXPECT_EQ(encoding.subsampling_y, c.down);
    EXPECT_EQ(encoding.chroma_subsampled, c.subsampled);
    EXPECT_EQ(encoding.progressive, c.progressive);
  }
}

TEST(JpegEncoding, DamagedOrCutHeadersAreRefused) {
  const Bytes head = JpegHead(0xc0, {0x22, 0x11, 0x11}, 75);
  const size_t dqt = 2, sof = 2 + 4 + 65;
  const ByteDamage cases[] = {
      {"table number 5", dqt + 4, 0x05},
      {"table precision 2", dqt + 4, 0x20},
      {"DQT length past the end", dqt + 2, 0xff},
      {"no components", sof + 9, 0},
      {"more components than the segment holds", sof + 9, 9},
      {"sampling factor 0", sof + 11, 0x02},
      {"a table never defined", sof + 12, 3},
      {"no frame before the scan", sof + 1, 0xe5},
      {"not a JPEG", 1, 0xd9},
  };
  for (const ByteDamage& c : cases) {
    const Bytes damaged = Damaged(head, c);
    JpegEncoding encoding;
    EXPECT_FALSE(JpegEncodingFromHead(damaged.data(), damaged.size(), &encoding)) << c.what;
    EXPECT_EQ(encoding.quality, 0) << c.what;
  }
  for (size_t size = 0; size < head.size() - 2; ++size) {
    JpegEncoding encoding;
    EXPECT_FALSE(JpegEncodingFromHead(head.data(), size, &encoding)) << "cut at " << size;
  }
}

// PNG chunks by hand: length, type, data, CRC (not checked by the reader).
void AddChunk(Bytes* png, const char* type, const Bytes& data) {
  const uint32_t size = uint32_t(data.size());
  png->insert(png->end(), {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)});
  png->insert(png->end(), type, type + 4);
  png->insert(png->end(), data.begin(), data.end());
  png->insert(png->end(), 4, 0);
}

Bytes Text(const std::string& keyword, const std::string& text) {
  Bytes data(keyword.begin(), keyword.end());
  data.push_back(0);
  data.insert(data.end(), text.begin(), text.end());
  return data;
}

// zTXt data: the keyword, method 0, and the text as a zlib stream of one
// stored (uncompressed) block.
Bytes CompressedText(const std::string& keyword, const std::string& text) {
  Bytes data(keyword.begin(), keyword.end());
  const uint16_t n = uint16_t(text.size());
  data.insert(data.end(), {0, 0, 0x78, 0x01, 0x01, uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
  data.insert(data.end(), text.begin(), text.end());
  uint32_t a = 1, b = 0;
  for (char c : text) {
    a = (a + uint8_t(c)) % 65521;
    b = (b + a) % 65521;
  }
  const uint32_t adler = b << 16 | a;
  data.insert(data.end(), {uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8), uint8_t(adler)});
  return data;
}

// A signature and what follows it.
Bytes Join(const std::string& signature, const Bytes& rest) {
  Bytes joined(signature.size() + rest.size());
  std::memcpy(joined.data(), signature.data(), signature.size());
  if (!rest.empty()) std::memcpy(joined.data() + signature.size(), rest.data(), rest.size());
  return joined;
}

Bytes EncodedPng() {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  AddChunk(&png, "IHDR", Bytes(13, 1));
  AddChunk(&png, "IDAT", Bytes(5, 7));
  AddChunk(&png, "IEND", {});
  return png;
}

// The small PNG file with chunks put before its image data and end.
Bytes PngWithChunks(const std::vector<std::pair<const char*, Bytes>>& chunks) {
  Bytes file = EncodedPng();
  const Bytes tail(file.end() - 12 - 17, file.end());  // IDAT and IEND
  file.resize(file.size() - tail.size());
  for (const auto& chunk : chunks) AddChunk(&file, chunk.first, chunk.second);
  file.insert(file.end(), tail.begin(), tail.end());
  return file;
}

// zTXt data whose zlib stream ends inside its stored block.
Bytes CutCompressedText(const std::string& keyword) {
  Bytes data(keyword.begin(), keyword.end());
  data.insert(data.end(), {0, 0, 0x78, 0x01, 0x01, 5, 0, 0xfa, 0xff, 'a'});
  return data;
}

TEST(PngChunks, BlocksWrittenAndImageMagicksFormsAreRead) {
  const PhotoMetadata blocks = Blocks();
  Bytes written = EncodedPng();
  ASSERT_TRUE(AddPngMetadata(&written, blocks));
  Bytes tiff(blocks.exif.begin() + 6, blocks.exif.end());
  Bytes resources = {'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0, 0, 0, 0, 9};
  resources.insert(resources.end(), blocks.iptc.begin(), blocks.iptc.end());
  resources.push_back(0);
  const Bytes photoshop = Join(std::string("Photoshop 3.0", 14), resources);
  const Bytes app1_xmp = Join(std::string("http://ns.adobe.com/xap/1.0/", 29), blocks.xmp);

  struct Case {
    const char* what;
    Bytes file;
    Bytes icc;  // only our own writer stores the ICC profile in PNG
  };
  const Case cases[] = {
      {"as written here", written, blocks.icc},
      {"ImageMagick's raw profiles, compressed",
       PngWithChunks({{"zTXt", CompressedText("Raw profile type exif", ImageMagickRawProfile("exif", tiff))},
                      {"zTXt", CompressedText("Raw profile type iptc", ImageMagickRawProfile("iptc", photoshop))},
                      {"zTXt", CompressedText("Raw profile type xmp", ImageMagickRawProfile("xmp", blocks.xmp))},
                      {"zTXt", CompressedText("comment", blocks.comment)}}),
       Bytes()},
      {"raw profiles as plain text, Photoshop resources bare, XMP in APP1",
       PngWithChunks({{"tEXt", Text("Raw profile type APP1", ImageMagickRawProfile("APP1", blocks.exif))},
                      {"tEXt", Text("Raw profile type iptc", ImageMagickRawProfile("8bim", resources))},
                      {"tEXt", Text("Raw profile type APP1", ImageMagickRawProfile("APP1", app1_xmp))},
                      {"tEXt", Text("Comment", blocks.comment)}}),
       Bytes()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PhotoMetadata back;
    EXPECT_EQ(ReadPngMetadata(c.file.data(), c.file.size(), &back), "");
    EXPECT_EQ(back.icc, c.icc);
    EXPECT_EQ(back.exif, blocks.exif);
    EXPECT_EQ(back.iptc, blocks.iptc);
    EXPECT_EQ(back.xmp, blocks.xmp);
    EXPECT_EQ(back.comment, blocks.comment);
  }
  // The chunks go before the image data; a comment that is not ASCII
  // becomes international text.
  PhotoMetadata accented;
  accented.comment = "caf\xc3\xa9";
  Bytes png_accented = EncodedPng();
  ASSERT_TRUE(AddPngMetadata(&png_accented, accented));
  EXPECT_EQ(std::memcmp(png_accented.data() + 8 + 25 + 4, "iTXt", 4), 0);
  PhotoMetadata back;
  ReadPngMetadata(png_accented.data(), png_accented.size(), &back);
  EXPECT_EQ(back.comment, accented.comment);
  Bytes no_data = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  EXPECT_FALSE(AddPngMetadata(&no_data, accented));
}

TEST(PngChunks, DamagedOrCutChunksGiveOnlyWholeBlocks) {
  Bytes resources = {'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0, 0, 0, 0x7f, 9, 1, 2};
  struct Case {
    const char* what;
    const char* type;
    Bytes data;
  };
  const Case cases[] = {
      {"raw profile shorter than its size", "tEXt", Text("Raw profile type iptc", "\niptc\n      20\n1c0203\n")},
      {"raw profile with no size", "tEXt", Text("Raw profile type iptc", "\niptc\n")},
      {"raw profile with a stray letter", "tEXt", Text("Raw profile type iptc", "\niptc\n2\n1cz2\n")},
      {"Photoshop resource past the end", "tEXt",
       Text("Raw profile type iptc", ImageMagickRawProfile("8bim", resources))},
      {"compressed text cut", "zTXt", CutCompressedText("Raw profile type iptc")},
  };
  for (const Case& c : cases) {
    const Bytes file = PngWithChunks({{"tEXt", Text("Comment", "kept")}, {c.type, c.data}});
    PhotoMetadata back;
    EXPECT_EQ(ReadPngMetadata(file.data(), file.size(), &back), "the IPTC block is damaged: left out") << c.what;
    EXPECT_TRUE(back.iptc.empty()) << c.what;
    EXPECT_EQ(back.comment, "kept") << c.what;
  }
  Bytes png = EncodedPng();
  ASSERT_TRUE(AddPngMetadata(&png, Blocks()));
  for (size_t size = 0; size < png.size(); ++size) {
    PhotoMetadata back;
    ReadPngMetadata(png.data(), size, &back);
    EXPECT_TRUE(back.exif.empty() || back.exif == Blocks().exif) << "cut at " << size;
    EXPECT_TRUE(back.xmp.empty() || back.xmp == Blocks().xmp) << "cut at " << size;
    EXPECT_TRUE(back.iptc.empty() || back.iptc == Blocks().iptc) << "cut at " << size;
  }
}

}  // namespace
