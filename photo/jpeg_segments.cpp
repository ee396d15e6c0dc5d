// JPEG segments: marker 0xff xx, a big-endian length that counts itself,
// the payload. Metadata segments are known by the signature that starts
// their payload.
#include "photo/jpeg_segments.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "photo/codec_rules.h"
#include "photo/jpeg_xmp.h"

namespace {

constexpr uint16_t kIptcResource = 0x0404;
constexpr char kIcc[] = "ICC_PROFILE";  // and its NUL, then the chunk's number and the count
constexpr size_t kIccSize = sizeof(kIcc) + 2;
constexpr size_t kIccChunk = kMostJpegPayload - kIccSize;
constexpr char kJfif[] = "JFIF";  // and its NUL
constexpr size_t kJfifSize = 14;
constexpr size_t kMostXmpChunk = kMostJpegPayload - kExtendedXmpHeadSize;
// A head larger than this is no picture's header.
constexpr size_t kMostHead = 64u << 20;

bool Starts(const uint8_t* payload, size_t size, const char* signature, size_t signature_size) {
  return size >= signature_size && std::memcmp(payload, signature, signature_size) == 0;
}

// Markers without a length: the restart markers and TEM.
bool Standalone(uint8_t marker) { return marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7); }

}  // namespace

// Photoshop's resources: "8BIM", the resource number, a Pascal name padded
// to an even size, a 32-bit size, the data padded to an even size.
bool IptcFromPhotoshop(const uint8_t* data, size_t size, std::vector<uint8_t>* iptc) {
  size_t at = 0;
  while (at < size) {
    if (size - at < 7 || std::memcmp(data + at, "8BIM", 4) != 0) return false;
    const uint16_t id = static_cast<uint16_t>(data[at + 4] << 8 | data[at + 5]);
    const size_t name = (size_t{data[at + 6]} + 2) & ~size_t{1};  // with its length byte
    if (name > size - at - 6 || size - at - 6 - name < 4) return false;
    at += 6 + name;
    const size_t length = BigEndian32(data + at);
    at += 4;
    if (length > size - at) return false;
    if (id == kIptcResource) {
      iptc->assign(data + at, data + at + length);
      return true;
    }
    at += length + (length & 1);
  }
  return true;
}

namespace {

void PutSegment(std::vector<uint8_t>* out, uint8_t marker, const char* signature, size_t signature_size,
                const uint8_t* data, size_t size) {
  const size_t length = 2 + signature_size + size;
  out->insert(out->end(), {0xff, marker, uint8_t(length >> 8), uint8_t(length)});
  out->insert(out->end(), signature, signature + signature_size);
  out->insert(out->end(), data, data + size);
}

// The IPTC records as the one Photoshop resource of an APP13 payload
// (after its signature).
std::vector<uint8_t> IptcResource(const std::vector<uint8_t>& iptc) {
  const size_t size = iptc.size();
  const uint8_t head[12] = {'8',
                            'B',
                            'I',
                            'M',
                            kIptcResource >> 8,
                            kIptcResource & 0xff,
                            0,
                            0,
                            uint8_t(size >> 24),
                            uint8_t(size >> 16),
                            uint8_t(size >> 8),
                            uint8_t(size)};
  std::vector<uint8_t> resource(sizeof head + size + (size & 1), 0);
  std::memcpy(resource.data(), head, sizeof head);
  if (size > 0) std::memcpy(resource.data() + sizeof head, iptc.data(), size);
  return resource;
}

// The EXIF block with its "Exif\0\0" (the native codecs keep it so; a
// block without it is the TIFF structure alone).
size_t ExifPayload(const std::vector<uint8_t>& exif) {
  return ExifTiffStart(exif.data(), exif.size()) > 0 ? exif.size() : exif.size() + kExifSignatureSize;
}

bool Fits(size_t payload) { return payload <= kMostJpegPayload; }

// An ICC profile is cut into numbered chunks, at most 255.
bool IccFits(size_t size) { return (size + kIccChunk - 1) / kIccChunk <= 255; }

}  // namespace

bool ForEachJpegSegment(const uint8_t* data, size_t size,
                        const std::function<bool(uint8_t, const uint8_t*, size_t)>& segment) {
  if (size < 2 || data[0] != 0xff || data[1] != 0xd8) return false;
  size_t at = 2;
  while (at + 2 <= size) {
    if (data[at] != 0xff) return false;
    const uint8_t marker = data[at + 1];
    if (marker == 0xff) {  // a fill byte before the marker
      ++at;
      continue;
    }
    if (marker == 0xda || marker == 0xd9) return true;
    if (Standalone(marker)) {
      at += 2;
      continue;
    }
    if (size - at < 4) return false;
    const size_t length = size_t{data[at + 2]} << 8 | data[at + 3];
    if (length < 2 || length > size - at - 2) return false;
    if (!segment(marker, data + at + 4, length - 2)) return true;
    at += 2 + length;
  }
  return at == size;
}

std::vector<uint8_t> ReadJpegHead(std::FILE* file) {
  std::vector<uint8_t> head(2);
  if (std::fread(head.data(), 1, 2, file) != 2 || head[0] != 0xff || head[1] != 0xd8) return {};
  int byte = 0;
  while (head.size() < kMostHead && (byte = std::fgetc(file)) == 0xff) {
    int marker = std::fgetc(file);
    while (marker == 0xff) marker = std::fgetc(file);  // fill bytes
    if (marker == EOF) break;
    head.insert(head.end(), {0xff, static_cast<uint8_t>(marker)});
    if (marker == 0xda || marker == 0xd9) break;  // the scan, or the end
    if (Standalone(static_cast<uint8_t>(marker))) continue;
    uint8_t length[2];
    if (std::fread(length, 1, 2, file) != 2) break;
    head.insert(head.end(), length, length + 2);
    const size_t payload = size_t{length[0]} << 8 | length[1];
    if (payload < 2) break;
    const size_t at = head.size();
    head.resize(at + payload - 2);
    head.resize(at + std::fread(head.data() + at, 1, payload - 2, file));
  }
  return head;
}
std::string ReadJpegXmp(const uint8_t* data, size_t size, std::vector<uint8_t>* xmp) {
  std::vector<ExtendedXmpChunk> chunks;
  bool standard = false;
  ForEachJpegSegment(data, size, [&](uint8_t marker, const uint8_t* payload, size_t length) {
    ExtendedXmpChunk chunk;
    if (marker != 0xe1) return true;
    if (!standard && Starts(payload, length, kXmpSignature, kXmpSignatureSize)) {
      xmp->assign(payload + kXmpSignatureSize, payload + length);
      standard = true;
    } else if (ReadExtendedXmpChunk(payload, length, &chunk)) {
      chunks.push_back(chunk);
    }
    return true;
  });
  return MergeExtendedXmp(chunks, xmp);
}

std::string ReadJpegMetadata(const uint8_t* data, size_t size, PhotoMetadata* metadata) {
  std::vector<uint8_t> resources;
  std::vector<std::vector<uint8_t>> icc_chunks;
  bool comment = false, icc_damaged = false;
  ForEachJpegSegment(data, size, [&](uint8_t marker, const uint8_t* payload, size_t length) {
    if (marker == 0xe1 && metadata->exif.empty() && Starts(payload, length, kExifSignature, kExifSignatureSize)) {
      metadata->exif.assign(payload, payload + length);
    } else if (marker == 0xed && Starts(payload, length, kPhotoshopSignature, kPhotoshopSignatureSize)) {
      // Resources too large for one segment go on in the next ones.
      resources.insert(resources.end(), payload + kPhotoshopSignatureSize, payload + length);
    } else if (marker == 0xe2 && Starts(payload, length, kIcc, sizeof(kIcc))) {
      if (length < kIccSize) return true;
      const size_t number = payload[sizeof(kIcc)], count = payload[sizeof(kIcc) + 1];
      if (icc_chunks.empty()) icc_chunks.resize(count);
      if (number == 0 || number > icc_chunks.size() || count != icc_chunks.size() ||
          !icc_chunks[number - 1].empty()) {
        icc_damaged = true;
      } else {
        icc_chunks[number - 1].assign(payload + kIccSize, payload + length);
      }
    } else if (marker == 0xfe && !comment) {
      metadata->comment.assign(reinterpret_cast<const char*>(payload), length);
      comment = true;
    }
    return true;
  });
  std::string problem = ReadJpegXmp(data, size, &metadata->xmp);
  bool icc_missing = false;
  for (const std::vector<uint8_t>& chunk : icc_chunks) {
    icc_missing = icc_missing || chunk.empty();
    metadata->icc.insert(metadata->icc.end(), chunk.begin(), chunk.end());
  }
  if (icc_damaged || icc_missing) {
    metadata->icc.clear();
    AddToList(&problem, "the ICC profile is damaged: left out", "; ");
  }
  if (!resources.empty() && !IptcFromPhotoshop(resources.data(), resources.size(), &metadata->iptc)) {
    metadata->iptc.clear();
    AddToList(&problem, "the IPTC block is damaged: left out", "; ");
  }
  return problem;
}

std::string JpegMetadataTooLarge(const PhotoMetadata& m) {
  std::string text;
  JpegXmp xmp;
  if (!m.exif.empty() && !Fits(ExifPayload(m.exif))) AddToList(&text, "EXIF");
  if (!m.iptc.empty() && !Fits(kPhotoshopSignatureSize + IptcResource(m.iptc).size())) AddToList(&text, "IPTC");
  if (!m.xmp.empty() && !SplitXmpForJpeg(m.xmp, kMostJpegPayload - kXmpSignatureSize, &xmp)) AddToList(&text, "XMP");
  if (!m.comment.empty() && !Fits(m.comment.size())) AddToList(&text, "comment");
  if (!IccFits(m.icc.size())) AddToList(&text, "ICC profile");
  return text;
}

std::vector<uint8_t> JfifPayload(const Photo& photo) {
  const JpegEncoding& source = photo.jpeg;
  int version = 0x0101, unit = 0, x = 1, y = 1;
  if (source.quality > 0) {
    if (source.jfif_version == 0) return {};
    version = source.jfif_version;
    unit = source.density_unit;
    x = source.density_x;
    y = source.density_y;
    if (photo.orientation >= 5) std::swap(x, y);  // turned a quarter: across is down
  } else if (photo.dpi_x > 0 && photo.dpi_y > 0) {
    const auto whole = [](double dpi) {
      return static_cast<int>(std::min(65535.0, std::max(1.0, std::round(dpi))));
    };
    unit = 1;
    x = whole(photo.dpi_x);
    y = whole(photo.dpi_y);
  }
  return {'J',
          'F',
          'I',
          'F',
          0,
          uint8_t(version >> 8),
          uint8_t(version),
          uint8_t(unit),
          uint8_t(x >> 8),
          uint8_t(x),
          uint8_t(y >> 8),
          uint8_t(y),
          0,
          0};
}

namespace {

// Whether the encoder's segment is one of those the photo's own replace.
bool MetadataSegment(uint8_t marker, const uint8_t* payload, size_t size) {
  switch (marker) {
    case 0xe0: return Starts(payload, size, kJfif, sizeof(kJfif)) || Starts(payload, size, "JFXX", 5);
    case 0xe1: return true;  // EXIF, XMP and its extension
    case 0xe2: return Starts(payload, size, kIcc, sizeof(kIcc));
    case 0xed: return Starts(payload, size, kPhotoshopSignature, kPhotoshopSignatureSize);
    case 0xfe: return true;
    default: return false;
  }
}

void PutXmp(std::vector<uint8_t>* segments, const std::vector<uint8_t>& packet) {
  JpegXmp xmp;
  if (packet.empty() || !SplitXmpForJpeg(packet, kMostJpegPayload - kXmpSignatureSize, &xmp)) return;
  PutSegment(segments, 0xe1, kXmpSignature, kXmpSignatureSize, reinterpret_cast<const uint8_t*>(xmp.standard.data()),
             xmp.standard.size());
  const size_t length = xmp.extended.size();
  for (size_t at = 0; at < length; at += kMostXmpChunk) {
    std::vector<uint8_t> head(kExtendedXmpSignature, kExtendedXmpSignature + kExtendedXmpSignatureSize);
    head.insert(head.end(), xmp.digest.begin(), xmp.digest.end());
    for (const size_t number : {length, at}) {
      head.insert(head.end(), {uint8_t(number >> 24), uint8_t(number >> 16), uint8_t(number >> 8), uint8_t(number)});
    }
    PutSegment(segments, 0xe1, reinterpret_cast<const char*>(head.data()), head.size(),
               reinterpret_cast<const uint8_t*>(xmp.extended.data()) + at, std::min(kMostXmpChunk, length - at));
  }
}

}  // namespace

bool AddJpegMetadata(std::vector<uint8_t>* jpeg, const std::vector<uint8_t>& jfif, const PhotoMetadata& m) {
  // The encoder's segments before its first scan, but those replaced here.
  std::vector<uint8_t> kept;
  size_t scan = 0;
  const uint8_t* const start = jpeg->data();
  const bool walked =
      ForEachJpegSegment(start, jpeg->size(), [&](uint8_t marker, const uint8_t* payload, size_t size) {
        if (!MetadataSegment(marker, payload, size)) kept.insert(kept.end(), payload - 4, payload + size);
        scan = static_cast<size_t>(payload + size - start);
        return true;
      });
  // The scan after the last segment, past any fill bytes: an encoder's
  // output without one is cut.
  if (scan == 0) scan = 2;
  while (scan + 1 < jpeg->size() && (*jpeg)[scan] == 0xff && (*jpeg)[scan + 1] == 0xff) ++scan;
  if (!walked || scan + 1 >= jpeg->size() || (*jpeg)[scan] != 0xff || (*jpeg)[scan + 1] != 0xda) return false;
  std::vector<uint8_t> segments = {0xff, 0xd8};
  if (!jfif.empty()) PutSegment(&segments, 0xe0, "", 0, jfif.data(), jfif.size());
  if (!m.exif.empty() && Fits(ExifPayload(m.exif))) {
    const bool headed = ExifPayload(m.exif) == m.exif.size();
    PutSegment(&segments, 0xe1, kExifSignature, headed ? 0 : kExifSignatureSize, m.exif.data(), m.exif.size());
  }
  PutXmp(&segments, m.xmp);
  if (!m.icc.empty() && IccFits(m.icc.size())) {
    const size_t count = (m.icc.size() + kIccChunk - 1) / kIccChunk;
    for (size_t i = 0; i < count; ++i) {
      const size_t at = i * kIccChunk, size = std::min(kIccChunk, m.icc.size() - at);
      char signature[kIccSize] = "ICC_PROFILE";
      signature[kIccSize - 2] = static_cast<char>(i + 1);
      signature[kIccSize - 1] = static_cast<char>(count);
      PutSegment(&segments, 0xe2, signature, kIccSize, m.icc.data() + at, size);
    }
  }
  if (!m.iptc.empty()) {
    const std::vector<uint8_t> resource = IptcResource(m.iptc);
    if (Fits(kPhotoshopSignatureSize + resource.size())) {
      PutSegment(&segments, 0xed, kPhotoshopSignature, kPhotoshopSignatureSize, resource.data(), resource.size());
    }
  }
  if (!m.comment.empty() && Fits(m.comment.size())) {
    PutSegment(&segments, 0xfe, "", 0, reinterpret_cast<const uint8_t*>(m.comment.data()), m.comment.size());
  }
  segments.insert(segments.end(), kept.begin(), kept.end());
  segments.insert(segments.end(), jpeg->begin() + static_cast<std::ptrdiff_t>(scan), jpeg->end());
  jpeg->swap(segments);
  return true;
}
