// A JPEG's header segments in both builds: the MD5 digest against RFC
// 1321's vectors, extended XMP written (standard and extended segments,
// the digest naming the part) and read back whole or, damaged, as far as it
// can be read and said so; and the JFIF segment a written JPEG gets in
// place of the encoder's header segments.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "photo/jpeg_encoding.h"
#include "photo/jpeg_segments.h"
#include "photo/jpeg_xmp.h"
#include "photo/md5.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Digest(const std::string& text) {
  return Md5HexUpper(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(Md5, TheVectorsOfRfc1321AndThePaddingBoundaries) {
  const struct {
    std::string text;
    const char* digest;
  } cases[] = {
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
      {std::string("1234567890") + "1234567890" + "1234567890" + "1234567890" + "1234567890" + "1234567890" +
           "1234567890" + "1234567890",
       "57EDF4A22BE3C955AC49DA2E2107B67A"},
      // The length in the last block or a block of its own (md5sum).
      {std::string(55, 'q'), "C932E1B1A97DE537D13E0DDDD96DA42B"},
      {std::string(56, 'q'), "266EA7B18061F04EBE140D63CE648567"},
      {std::string(63, 'q'), "7B7CB022759A9F373EF24BF92C05204F"},
      {std::string(64, 'q'), "40BFC24C764552CB38083A62855664AA"},
      {std::string(1000000, 'a'), "7707D6AE4E027C70EEA2A935C2296F21"},
  };
  for (const auto& c : cases) EXPECT_EQ(Digest(c.text), c.digest) << c.text.size() << " bytes";
}

// The marker and payload of each segment up to the scan.
std::vector<std::pair<uint8_t, Bytes>> Segments(const Bytes& jpeg) {
  std::vector<std::pair<uint8_t, Bytes>> list;
  EXPECT_TRUE(ForEachJpegSegment(jpeg.data(), jpeg.size(), [&](uint8_t marker, const uint8_t* p, size_t size) {
    list.emplace_back(marker, Bytes(p, p + size));
    return true;
  }));
  return list;
}

bool Starts(const Bytes& payload, const std::string& signature) {
  return payload.size() >= signature.size() && std::equal(signature.begin(), signature.end(), payload.begin());
}

const std::string kXmpName("http://ns.adobe.com/xap/1.0/\0", 29);
const std::string kExtensionName("http://ns.adobe.com/xmp/extension/\0", 35);

// A packet as exiftool writes it: wrapper, one description per namespace,
// padding.
std::string Packet(const std::string& nodes, size_t padding = 2000) {
  return "<?xpacket begin='\xef\xbb\xbf' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
         "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n<rdf:RDF "
         "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n" +
         nodes + "</rdf:RDF>\n</x:xmpmeta>\n" + std::string(padding, ' ') + "\n<?xpacket end='w'?>";
}

std::string Title() {
  return " <rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>\n"
         "  <dc:title><rdf:Alt><rdf:li xml:lang='x-default'>title &gt; all</rdf:li></rdf:Alt></dc:title>\n"
         " </rdf:Description>\n";
}

// A long description; its namespace is declared on rdf:RDF of the
// extended part, as a writer may.
std::string Description(size_t size) {
  std::string text(size, 'd');
  for (size_t i = 0; i < size; i += 7) text[i] = 'a' + i % 26;
  return text;
}

const std::string kLongDescription = Description(150000);

std::string ExtendedPart() {
  return "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#' "
         "xmlns:dc='http://purl.org/dc/elements/1.1/'>\n <rdf:Description rdf:about=''>\n"
         "  <dc:description><rdf:Alt><rdf:li xml:lang='x-default'>" +
         kLongDescription + "</rdf:li></rdf:Alt></dc:description>\n </rdf:Description>\n</rdf:RDF></x:xmpmeta>";
}

std::string Naming(const std::string& digest, bool attribute) {
  if (attribute) {
    return " <rdf:Description rdf:about='' xmlns:xmpNote='http://ns.adobe.com/xmp/note/' xmpNote:HasExtendedXMP=\"" +
           digest + "\"/>\n";
  }
  return " <rdf:Description rdf:about=''\n  xmlns:xmpNote='http://ns.adobe.com/xmp/note/'>\n"
         "  <xmpNote:HasExtendedXMP>" +
         digest + "</xmpNote:HasExtendedXMP>\n </rdf:Description>\n";
}

void PutSegment(Bytes* jpeg, uint8_t marker, const std::string& payload) {
  const size_t length = payload.size() + 2;
  jpeg->insert(jpeg->end(), {0xff, marker, uint8_t(length >> 8), uint8_t(length)});
  jpeg->insert(jpeg->end(), payload.begin(), payload.end());
}

struct Chunk {
  std::string digest;
  uint32_t length, offset;
  std::string data;
};

std::string ChunkPayload(const Chunk& chunk) {
  std::string payload = kExtensionName + chunk.digest;
  for (uint32_t n : {chunk.length, chunk.offset}) {
    payload += {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
  }
  return payload + chunk.data;
}

// The extended part cut as exiftool cuts it: 65458 bytes a chunk.
std::vector<Chunk> Chunks(const std::string& part, const std::string& digest) {
  std::vector<Chunk> chunks;
  for (size_t at = 0; at < part.size(); at += 65458) {
    chunks.push_back({digest, uint32_t(part.size()), uint32_t(at), part.substr(at, 65458)});
  }
  return chunks;
}

Bytes JpegWith(const std::string& standard, const std::vector<Chunk>& chunks) {
  Bytes jpeg = {0xff, 0xd8};
  if (!standard.empty()) PutSegment(&jpeg, 0xe1, kXmpName + standard);
  for (const Chunk& chunk : chunks) PutSegment(&jpeg, 0xe1, ChunkPayload(chunk));
  jpeg.insert(jpeg.end(), {0xff, 0xda, 0, 2, 0xff, 0xd9});
  return jpeg;
}

size_t Count(const std::string& text, const std::string& word) {
  size_t count = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++count;
  return count;
}

std::string XmpOf(const Bytes& jpeg, std::string* note = nullptr) {
  PhotoMetadata back;
  const std::string said = ReadJpegMetadata(jpeg.data(), jpeg.size(), &back);
  if (note) *note = said;
  return std::string(back.xmp.begin(), back.xmp.end());
}

TEST(ExtendedXmp, ReadWholeItIsMergedIntoOnePacketWithoutTheNamingProperty) {
  const std::string part = ExtendedPart(), digest = Digest(part);
  std::vector<Chunk> reversed = Chunks(part, digest);
  ASSERT_EQ(reversed.size(), 3u);
  std::swap(reversed[0], reversed[2]);
  std::vector<Chunk> stale = Chunks(part, digest);
  stale.push_back({std::string(32, 'F'), 10, 0, "old part.."});  // another part, named by nothing: passed by
  const struct {
    const char* what;
    Bytes jpeg;
  } cases[] = {
      {"as exiftool writes it", JpegWith(Packet(Naming(digest, false) + Title()), Chunks(part, digest))},
      {"named by an attribute", JpegWith(Packet(Naming(digest, true) + Title()), Chunks(part, digest))},
      {"chunks out of order", JpegWith(Packet(Naming(digest, false) + Title()), reversed)},
      {"a stale part beside", JpegWith(Packet(Title() + Naming(digest, false)), stale)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string note;
    const std::string xmp = XmpOf(c.jpeg, &note);
    EXPECT_EQ(note, "");
    EXPECT_EQ(Count(xmp, kLongDescription), 1u);
    EXPECT_EQ(Count(xmp, "title &gt; all"), 1u);
    EXPECT_EQ(Count(xmp, "HasExtendedXMP"), 0u);
    EXPECT_EQ(Count(xmp, "xmlns:xmpNote"), 0u) << "the node left empty goes too";
    // The moved node declares the namespace its outer element gave it.
    const size_t node = xmp.find("<rdf:Description", xmp.find("</dc:title>"));
    ASSERT_NE(node, std::string::npos);
    EXPECT_LT(xmp.find("xmlns:dc='http://purl.org/dc/elements/1.1/'", node), xmp.find("<dc:description>"));
    EXPECT_EQ(xmp.find("<?xpacket end='w'?>") + 19, xmp.size()) << "one packet, its wrapper last";
  }
}

TEST(ExtendedXmp, DamagedOrMissingTheStandardPacketIsKeptAndItIsSaid) {
  const std::string part = ExtendedPart(), digest = Digest(part);
  const std::string standard = Packet(Naming(digest, false) + Title());
  std::vector<Chunk> missing = Chunks(part, digest);
  missing.erase(missing.begin() + 1);
  std::vector<Chunk> past = Chunks(part, digest);
  past[2].offset = past[2].length - 1;
  std::vector<Chunk> lengths = Chunks(part, digest);
  lengths[1].length += 1;
  std::vector<Chunk> altered = Chunks(part, digest);
  altered[1].data[100] = 'Z';
  std::vector<Chunk> short_part = Chunks(part, digest);
  for (Chunk& chunk : short_part) chunk.length = 0x7fffffff;  // more than the file could hold
  const std::string kept = "only the standard XMP kept", xs(1000, 'x');
  const struct {
    const char* what;
    Bytes jpeg;
    std::string note;
    bool merged;
  } cases[] = {
      {"a chunk missing", JpegWith(standard, missing), "its extended XMP is incomplete or damaged: " + kept, false},
      {"a chunk past the length", JpegWith(standard, past), "its extended XMP is incomplete or damaged: " + kept,
       false},
      {"lengths that differ", JpegWith(standard, lengths), "its extended XMP is incomplete or damaged: " + kept,
       false},
      {"a length no chunks cover", JpegWith(standard, short_part),
       "its extended XMP is incomplete or damaged: " + kept, false},
      {"another part's digest", JpegWith(standard, Chunks(part, Digest("other"))),
       "its extended XMP is missing: " + kept, false},
      {"no chunks", JpegWith(standard, {}), "its extended XMP is missing: " + kept, false},
      {"not XMP", JpegWith(Packet(Naming(Digest(xs), true) + Title()), Chunks(xs, Digest(xs))),
       "its extended XMP cannot be read: " + kept, false},
      {"bytes that do not match the digest", JpegWith(standard, altered),
       "its extended XMP does not match the digest that names it: kept as found", true},
      {"named by no standard packet", JpegWith(Packet(Title()), Chunks(part, digest)),
       "its extended XMP is named by no standard XMP packet: left out", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string note;
    const std::string xmp = XmpOf(c.jpeg, &note);
    EXPECT_EQ(note, c.note);
    EXPECT_EQ(Count(xmp, "title &gt; all"), 1u);
    EXPECT_EQ(Count(xmp, "HasExtendedXMP"), 0u) << "no digest naming nothing";
    EXPECT_EQ(Count(xmp, "<dc:description>"), c.merged ? 1u : 0u);
  }
}

// The segments of a JPEG written with a packet: one standard packet that
// fits, chunks of the whole part each with its length and offset, the
// part's digest named in the standard packet.
// The segments' XMP: the standard packet and the extended part read back.
std::pair<std::string, std::string> WrittenXmp(const std::string& packet) {
  PhotoMetadata m;
  m.xmp.assign(packet.begin(), packet.end());
  Bytes jpeg = {0xff, 0xd8, 0xff, 0xda, 0, 2, 0xff, 0xd9};
  EXPECT_TRUE(AddJpegMetadata(&jpeg, {}, m));
  std::pair<std::string, std::string> parts;
  for (const auto& segment : Segments(jpeg)) {
    const Bytes& p = segment.second;
    if (Starts(p, kXmpName)) parts.first.assign(p.begin() + 29, p.end());
    if (Starts(p, kExtensionName)) parts.second.append(p.begin() + 75, p.end());
  }
  return parts;
}

TEST(ExtendedXmp, APacketOrAStandardPartOfTheLimitFitsWhole) {
  const std::string node =
      " <rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>\n"
      "  <dc:description><rdf:Alt><rdf:li xml:lang='x-default'>" +
      Description(70000) + "</rdf:li></rdf:Alt></dc:description>\n </rdf:Description>\n";
  // A packet of 65504 bytes is one segment's; one more byte splits it.
  const std::string small = Packet(Title());
  for (size_t extra : {0, 1}) {
    const std::string packet = Packet(Title(), 2000 + 65504 - small.size() + extra);
    const auto parts = WrittenXmp(packet);
    EXPECT_EQ(parts.first == packet, extra == 0) << packet.size() << " bytes";
    EXPECT_EQ(parts.second.empty(), extra == 0) << packet.size() << " bytes";
  }
  // A standard part of 65504 bytes keeps the rest; one more byte moves
  // the next largest node too.
  const size_t standard = WrittenXmp(Packet(Title() + node)).first.size();
  for (size_t extra : {0, 1}) {
    const auto parts = WrittenXmp(Packet(Title() + node, 2000 + 65504 - standard + extra));
    if (extra == 0) {
      EXPECT_EQ(parts.first.size(), 65504u);
    }
    EXPECT_EQ(Count(parts.first, "title &gt; all"), extra == 0 ? 1u : 0u) << "padding " << extra;
    EXPECT_EQ(Count(parts.second, "title &gt; all"), extra == 0 ? 0u : 1u) << "padding " << extra;
  }
}

TEST(ExtendedXmp, WrittenAsStandardAndExtendedSegmentsAndReadBack) {
  for (size_t size : {size_t{60000}, size_t{65504 - 700}, size_t{150000}, size_t{400000}}) {
    SCOPED_TRACE("description of " + std::to_string(size));
    const std::string description = Description(size);
    const std::string node =
        " <rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>\n"
        "  <dc:description><rdf:Alt><rdf:li xml:lang='x-default'>" +
        description + "</rdf:li></rdf:Alt></dc:description>\n </rdf:Description>\n";
    const std::string packet = Packet(Title() + node);
    PhotoMetadata m;
    m.xmp.assign(packet.begin(), packet.end());
    EXPECT_EQ(JpegMetadataTooLarge(m), "");
    Bytes jpeg = {0xff, 0xd8, 0xff, 0xda, 0, 2, 0xff, 0xd9};
    ASSERT_TRUE(AddJpegMetadata(&jpeg, {}, m));
    std::string standard, part;
    std::vector<std::string> named;  // by each chunk
    size_t chunks = 0;
    for (const auto& segment : Segments(jpeg)) {
      const Bytes& p = segment.second;
      ASSERT_EQ(segment.first, 0xe1);
      if (Starts(p, kXmpName)) {
        EXPECT_TRUE(standard.empty()) << "one standard packet";
        standard.assign(p.begin() + 29, p.end());
        continue;
      }
      ASSERT_TRUE(Starts(p, kExtensionName));
      ASSERT_GE(p.size(), 75u);
      EXPECT_EQ(BigEndian32(&p[71]), part.size()) << "chunk " << chunks << "'s offset";
      EXPECT_LE(p.size(), 65533u);
      part.append(p.begin() + 75, p.end());
      named.push_back(std::string(p.begin() + 35, p.begin() + 67) + " of " + std::to_string(BigEndian32(&p[67])));
      ++chunks;
    }
    for (const std::string& name : named) EXPECT_EQ(name, Digest(part) + " of " + std::to_string(part.size()));
    const bool fits = packet.size() <= 65504;
    EXPECT_EQ(chunks, fits ? 0u : (part.size() + 65457) / 65458);
    EXPECT_EQ(standard == packet, fits);
    if (!fits) {
      EXPECT_EQ(ExtendedXmpDigest(standard), Digest(part));
      EXPECT_EQ(Count(standard, "title &gt; all"), 1u) << "what fits stays in the standard packet";
      EXPECT_EQ(Count(part, description), 1u);
    }
    std::string note;
    const std::string back = XmpOf(jpeg, &note);
    EXPECT_EQ(note, "");
    EXPECT_EQ(Count(back, description), 1u);
    EXPECT_EQ(Count(back, "title &gt; all"), 1u);
    EXPECT_EQ(Count(back, "HasExtendedXMP"), 0u);
  }
  // What a JPEG output cannot hold is named by both builds' codecs.
  Photo photo;
  photo.metadata.xmp.assign(kLongDescription.begin(), kLongDescription.end());  // no RDF to split
  photo.metadata.exif.assign(70000, 0);
  EncodeOptions options;
  options.format = PhotoFormat::kJpeg;
  EXPECT_EQ(MetadataLeftOut(photo, options), "EXIF, XMP");
  const std::string extended =
      Packet(Title() + " <rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>" +
             "<dc:description>" + kLongDescription + "</dc:description></rdf:Description>\n");
  photo.metadata.xmp.assign(extended.begin(), extended.end());
  photo.metadata.exif.clear();
  EXPECT_EQ(MetadataLeftOut(photo, options), "");
  // Too large and no RDF to split: left out, and named.
  PhotoMetadata plain;
  plain.xmp.assign(70000, 'x');
  EXPECT_EQ(JpegMetadataTooLarge(plain), "XMP");
  Bytes jpeg = {0xff, 0xd8, 0xff, 0xda, 0, 2, 0xff, 0xd9};
  ASSERT_TRUE(AddJpegMetadata(&jpeg, {}, plain));
  EXPECT_TRUE(Segments(jpeg).empty());
}

// An encoder's header as libvips or WIC writes it: JFIF, EXIF, a comment,
// then the tables and the frame.
Bytes EncoderHead() {
  Bytes jpeg = {0xff, 0xd8};
  PutSegment(&jpeg, 0xe0, std::string("JFIF\0\1\1\1\0\x5d\0\x5d\0\0", 14));
  PutSegment(&jpeg, 0xe1, std::string("Exif\0\0MM\0\x2a\0\0\0\x08\0\0", 16));
  PutSegment(&jpeg, 0xfe, "encoder");
  PutSegment(&jpeg, 0xdb, '\0' + std::string(64, '\1'));
  PutSegment(&jpeg, 0xc0, std::string("\x08\0\x10\0\x10\x01\x01\x11\0", 9));
  jpeg.insert(jpeg.end(), {0xff, 0xff, 0xda, 0, 2, 0x12, 0xff, 0xd9});
  return jpeg;
}

TEST(JpegHeader, TheEncodersSegmentsGiveWayToThePhotosOwn) {
  Bytes jpeg = EncoderHead();
  const Bytes jfif = {'J', 'F', 'I', 'F', 0, 1, 2, 2, 0, 37, 0, 38, 0, 0};
  ASSERT_TRUE(AddJpegMetadata(&jpeg, jfif, PhotoMetadata()));
  const auto segments = Segments(jpeg);
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_EQ(segments[0].first, 0xe0);
  EXPECT_EQ(segments[0].second, jfif);
  EXPECT_EQ(segments[1].first, 0xdb);
  EXPECT_EQ(segments[2].first, 0xc0);
  EXPECT_EQ(Bytes(jpeg.end() - 6, jpeg.end()), Bytes({0xda, 0, 2, 0x12, 0xff, 0xd9}));
  JpegEncoding read;
  ASSERT_TRUE(JpegEncodingFromHead(jpeg.data(), jpeg.size(), &read));
  EXPECT_EQ(read.jfif_version, 0x0102);
  EXPECT_EQ(read.density_unit, 2);
  EXPECT_EQ(read.density_x, 37);
  EXPECT_EQ(read.density_y, 38);
  // No JFIF to give: none at all.
  Bytes bare = EncoderHead();
  ASSERT_TRUE(AddJpegMetadata(&bare, {}, PhotoMetadata()));
  EXPECT_EQ(Segments(bare).size(), 2u);
  Bytes cut = EncoderHead();
  cut.resize(20);
  EXPECT_FALSE(AddJpegMetadata(&cut, jfif, PhotoMetadata()));
}

TEST(JpegHeader, WhatIsWrongWithADamagedFileIsNamed) {
  const Bytes whole = EncoderHead();
  const size_t frame = 2 + 18 + 20 + 11 + 69;  // after SOI, JFIF, EXIF, COM, DQT
  ASSERT_EQ(whole[frame + 1], 0xc0);
  const auto cut = [&](size_t size) { return Bytes(whole.begin(), whole.begin() + size); };
  Bytes no_frame = whole, not_a_segment = whole;
  no_frame[frame + 1] = 0xe5;
  not_a_segment[frame] = 0x00;
  const std::string ends = "not a complete JPEG file: it ends ";
  const struct {
    const char* what;
    Bytes bytes;
    std::string damage;
  } cases[] = {
      {"whole", whole, ""},
      {"cut in the scan", cut(whole.size() - 1), ends + "before its end-of-image marker"},
      {"cut at the scan", cut(whole.size() - 3), ends + "before its end-of-image marker"},
      {"cut inside a segment", cut(frame + 6), ends + "inside its header"},
      {"cut a byte short of a segment's end", cut(frame + 12), ends + "inside its header"},
      {"cut inside a length", cut(frame + 3), ends + "inside its header"},
      {"no frame", no_frame, "its JPEG header is damaged"},
      {"a segment that is none", not_a_segment, "its JPEG header is damaged"},
      {"no JPEG", Bytes({'G', 'I', 'F', '8', '9', 'a'}), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(JpegDamage(c.bytes.data(), c.bytes.size()), c.damage) << c.what;
}

TEST(JpegHeader, TheJfifSegmentIsTheSourcesOrMadeFromTheResolution) {
  const auto source = [](int version, int unit, int x, int y) {
    Photo photo;
    photo.jpeg.quality = 90;
    photo.jpeg.jfif_version = version;
    photo.jpeg.density_unit = unit;
    photo.jpeg.density_x = x;
    photo.jpeg.density_y = y;
    return photo;
  };
  const auto other = [](double dpi_x, double dpi_y) {
    Photo photo;
    photo.dpi_x = dpi_x;
    photo.dpi_y = dpi_y;
    return photo;
  };
  Photo turned = source(0x0102, 1, 72, 300);
  turned.orientation = 5;  // transposed: the first of the quarter turns
  Photo mirrored = source(0x0102, 1, 72, 300);
  mirrored.orientation = 4;
  const struct {
    const char* what;
    Photo photo;
    Bytes jfif;
  } cases[] = {
      {"dots per centimetre kept", source(0x0101, 2, 37, 37), {'J', 'F', 'I', 'F', 0, 1, 1, 2, 0, 37, 0, 37, 0, 0}},
      {"an aspect ratio kept", source(0x0102, 0, 2, 3), {'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 2, 0, 3, 0, 0}},
      {"turned a quarter", turned, {'J', 'F', 'I', 'F', 0, 1, 2, 1, 1, 44, 0, 72, 0, 0}},
      {"mirrored upside down", mirrored, {'J', 'F', 'I', 'F', 0, 1, 2, 1, 0, 72, 1, 44, 0, 0}},
      {"a JPEG without", source(0, 0, 0, 0), {}},
      {"37 per cm from elsewhere: 94 dpi",
       other(93.98, 93.98),
       {'J', 'F', 'I', 'F', 0, 1, 1, 1, 0, 94, 0, 94, 0, 0}},
      {"half a dot up", other(71.5, 299.49), {'J', 'F', 'I', 'F', 0, 1, 1, 1, 0, 72, 1, 43, 0, 0}},
      {"no resolution", other(0, 0), {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}},
      {"past the field", other(70000.0, 0.2), {'J', 'F', 'I', 'F', 0, 1, 1, 1, 0xff, 0xff, 0, 1, 0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(JfifPayload(c.photo), c.jfif) << c.what;
}

}  // namespace
