// A PNG's chunks in both builds: every text chunk (any keyword, kind and
// language) and the colour chunks carried into a PNG output as they were,
// the XMP packet written as the uncompressed iTXt chunk readers look for,
// the encoder's own colour chunks not doubled; for other formats the
// standard keywords in their XMP and EXIF places and the rest named; the
// dates PNG writers use turned into XMP's.
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "photo/png_chunks.h"
#include "photo/tiff_directory.h"
#include "photo/xmp_packet.h"
#include "tests/photo/photo_samples.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Chunks = std::vector<std::pair<std::string, Bytes>>;

Bytes Data(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The chunks as a PNG file holds them, without the file around them.
Bytes ChunkBytes(const Chunks& chunks) {
  const Bytes file = PngFile(chunks), bare = PngFile({});
  return Bytes(file.begin() + 8 + 25, file.end() - static_cast<std::ptrdiff_t>(bare.size() - 8 - 25));
}

size_t Count(const Bytes& bytes, const std::string& text) {
  size_t count = 0;
  for (auto at = bytes.begin(); (at = std::search(at, bytes.end(), text.begin(), text.end())) != bytes.end(); ++at) {
    ++count;
  }
  return count;
}

const Chunks kCarried = {
    {"gAMA", {0, 0, 0xb1, 0x8f}},
    {"cHRM", Bytes(32, 1)},
    {"sRGB", {0}},
    {"tEXt", Data(std::string("Title\0Caf\xe9", 10))},
    {"zTXt", Data(std::string("Description\0\0\x78\x9c\xab\xca\x2c\x28\x48\x4d\x51\x28\x49\xad\x28\x01\x00\x1a\xf1"
                              "\x04\x72",
                              32))},
    {"iTXt", Data(std::string("Note\0\0\0fr\0Remarque\0une note", 26))},
    {"prVt", {1, 2, 3}},  // a private chunk marked safe to copy
    {"tEXt", Data(std::string("Comment\0kept", 12))},
};

TEST(PngChunks, EveryTextAndColourChunkIsCarriedAsItIs) {
  Chunks file = {{"bKGD", {0, 1, 0, 2, 0, 3}}, {"tIME", Bytes(7, 1)}, {"prVT", {4}}};  // not carried
  file.insert(file.begin() + 1, kCarried.begin(), kCarried.end());
  const std::string packet = "<x:xmpmeta><rdf:RDF><rdf:Description/></rdf:RDF></x:xmpmeta>";
  Bytes xmp_chunk = Data(std::string("XML:com.adobe.xmp\0\0", 19));
  xmp_chunk.insert(xmp_chunk.end(),
                   {0x78, 0x9c, 0xb3, 0xa9, 0xb0, 0xaa, 0xc8, 0x2d, 0xc8, 0x4d, 0x2d, 0x49, 0xb4, 0xb3, 0x29, 0x4a,
                    0x49, 0xb3, 0x0a, 0x72, 0x71, 0x83, 0x30, 0x5c, 0x52, 0x8b, 0x93, 0x8b, 0x32, 0x0b, 0x4a, 0x32,
                    0xf3, 0xf3, 0xf4, 0xed, 0x6c, 0xf4, 0xe1, 0x72, 0xfa, 0x08, 0x0d, 0x00, 0x83, 0xc8, 0x14, 0xea});
  file.push_back({"zTXt", xmp_chunk});
  const Bytes png = PngFile(file);
  PhotoMetadata read;
  EXPECT_EQ(ReadPngMetadata(png.data(), png.size(), &read), "");
  EXPECT_EQ(read.png_chunks, ChunkBytes(kCarried));
  EXPECT_EQ(std::string(read.xmp.begin(), read.xmp.end()), packet);
  EXPECT_EQ(read.comment, "kept");

  // Into an encoder's output that has gAMA and sRGB of its own: each once,
  // the file's; the XMP packet uncompressed, the comment once.
  Bytes out = PngFile({{"sRGB", {1}}, {"gAMA", {0, 0, 0, 1}}});
  ASSERT_TRUE(AddPngMetadata(&out, read));
  const Bytes carried = ChunkBytes(kCarried);
  EXPECT_NE(std::search(out.begin(), out.end(), carried.begin(), carried.end()), out.end());
  EXPECT_EQ(Count(out, "gAMA"), 1u);
  EXPECT_EQ(Count(out, "sRGB"), 1u);
  EXPECT_EQ(Count(out, "Comment"), 1u);
  EXPECT_EQ(Count(out, std::string("iTXtXML:com.adobe.xmp\0\0\0\0\0", 26) + packet), 1u);
  PhotoMetadata again;
  EXPECT_EQ(ReadPngMetadata(out.data(), out.size(), &again), "");
  EXPECT_EQ(again.png_chunks, read.png_chunks);
  EXPECT_EQ(again.xmp, read.xmp);
  EXPECT_EQ(again.comment, "kept");

  // A comment of another file is written where no "Comment" chunk is carried.
  PhotoMetadata from_jpeg;
  from_jpeg.comment = "from a JPEG";
  Bytes plain = PngFile({});
  ASSERT_TRUE(AddPngMetadata(&plain, from_jpeg));
  EXPECT_EQ(Count(plain, std::string("tEXtComment\0from a JPEG", 23)), 1u);
}

TEST(PngText, StandardKeywordsTakeTheirXmpAndExifPlacesAndTheRestIsNamed) {
  PhotoMetadata m;
  m.png_chunks = ChunkBytes({
      {"tEXt", Data(std::string("Title\0Caf\xe9", 10))},
      {"iTXt", Data(std::string("Author\0\0\0en\0\0Ann \xc3\x93", 19))},
      {"tEXt", Data(std::string("Creation Time\0Tue, 08 Dec 2026 12:00:00 GMT", 43))},
      {"tEXt", Data(std::string("Software\0paint", 14))},
      {"tEXt", Data(std::string("Copyright\0cc", 12))},
      {"tEXt", Data(std::string("date:create\0today", 17))},
      {"tEXt", Data(std::string("Title\0again", 11))},
      {"tEXt", Data(std::string("Comment\0a note", 14))},
  });
  EXPECT_EQ(PngTextWithoutPlace(m, true), "PNG text date:create, Title");
  EXPECT_EQ(PngTextWithoutPlace(m, false),
            "PNG text Title, Author, Creation Time, Software, Copyright, date:create, Title");
  PutPngTextInPlace(&m);
  const std::string xmp(m.xmp.begin(), m.xmp.end());
  for (const char* part :
       {"<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Caf\xc3\xa9</rdf:li></rdf:Alt>",
        "<dc:creator><rdf:Seq><rdf:li>Ann \xc3\x93</rdf:li></rdf:Seq></dc:creator>",
        "<xmp:CreateDate>2026-12-08T12:00:00Z</xmp:CreateDate>", "<xmp:CreatorTool>paint</xmp:CreatorTool>",
        "<dc:rights><rdf:Alt><rdf:li xml:lang=\"x-default\">cc</rdf:li>", "</rdf:RDF>"}) {
    EXPECT_NE(xmp.find(part), std::string::npos) << part << " in " << xmp;
  }
  EXPECT_EQ(xmp.find("again"), std::string::npos);
  ASSERT_GE(m.exif.size(), 14u);
  EXPECT_EQ(std::string(m.exif.begin(), m.exif.begin() + 8), std::string("Exif\0\0II", 8));
  EXPECT_TRUE(Contains(m.exif, std::string("paint\0", 6)));

  // A packet of the file's own keeps its properties: only those it lacks
  // are added, before its end of RDF.
  PhotoMetadata own;
  own.png_chunks =
      ChunkBytes({{"tEXt", Data(std::string("Title\0png", 9))}, {"tEXt", Data(std::string("Author\0a<b", 10))}});
  const std::string packet =
      "<x:xmpmeta><rdf:RDF><rdf:Description><dc:title><rdf:Alt><rdf:li>xmp</rdf:li></rdf:Alt></dc:title>"
      "</rdf:Description></rdf:RDF></x:xmpmeta>";
  own.xmp.assign(packet.begin(), packet.end());
  PutPngTextInPlace(&own);
  const std::string merged(own.xmp.begin(), own.xmp.end());
  EXPECT_EQ(merged.find("png"), std::string::npos) << merged;
  EXPECT_LT(merged.find("<dc:creator><rdf:Seq><rdf:li>a&lt;b</rdf:li>"), merged.find("</rdf:RDF>")) << merged;
  EXPECT_TRUE(own.exif.empty());
}

TEST(XmpDate, TheFormsPngWritersUseBecomeXmpDates) {
  const struct {
    const char* text;
    const char* xmp;  // nullptr: no date
  } cases[] = {
      {"2026-12-08T12:00:00+01:00", "2026-12-08T12:00:00+01:00"},
      {"2026-12-08 12:00:00", "2026-12-08T12:00:00"},
      {"2026:12:08 10:11:12", "2026-12-08T10:11:12"},
      {"2026-12-08", "2026-12-08"},
      {"2026-12-08T12:00:00.25Z", "2026-12-08T12:00:00Z"},
      {"2026-12-08T12:00-0530", "2026-12-08T12:00:00-05:30"},
      {"Tue, 08 Dec 2026 12:00:00 GMT", "2026-12-08T12:00:00Z"},
      {"08 Dec 2026 12:00:00 UT", "2026-12-08T12:00:00Z"},
      {"8 Dec 2026 12:00 +0100", "2026-12-08T12:00:00+01:00"},
      {"yesterday", nullptr},
      {"2026-13-01", nullptr},
      {"2026-12-08T24:00:00", nullptr},
      {"2026-12-08T12:00:00 PST", nullptr},
      {"Tue, 08 Dek 2026 12:00:00 GMT", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    std::string xmp = "unchanged";
    EXPECT_EQ(XmpDate(c.text, &xmp), c.xmp != nullptr) << c.text;
    EXPECT_EQ(xmp, c.xmp ? c.xmp : "unchanged") << c.text;
  }
}

}  // namespace
