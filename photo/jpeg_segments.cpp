// JPEG segments: marker 0xff xx, a big-endian length that counts itself,
// the payload. Metadata segments are known by the signature that starts
// their payload.
#include "photo/jpeg_segments.h"

#include <algorithm>
#include <cstring>

#include "photo/codec_rules.h"

namespace {

constexpr uint16_t kIptcResource = 0x0404;
constexpr char kIcc[] = "ICC_PROFILE";  // and its NUL, then the chunk's number and the count
constexpr size_t kIccSize = sizeof(kIcc) + 2;
constexpr size_t kIccChunk = kMostJpegPayload - kIccSize;
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

std::string ReadJpegMetadata(const uint8_t* data, size_t size, PhotoMetadata* metadata) {
  std::vector<uint8_t> resources;
  std::vector<std::vector<uint8_t>> icc_chunks;
  bool comment = false, icc_damaged = false;
  ForEachJpegSegment(data, size, [&](uint8_t marker, const uint8_t* payload, size_t length) {
    if (marker == 0xe1 && metadata->exif.empty() && Starts(payload, length, kExifSignature, kExifSignatureSize)) {
      metadata->exif.assign(payload, payload + length);
    } else if (marker == 0xe1 && metadata->xmp.empty() &&
               Starts(payload, length, kXmpSignature, kXmpSignatureSize)) {
      metadata->xmp.assign(payload + kXmpSignatureSize, payload + length);
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
  std::string problem;
  for (const std::vector<uint8_t>& chunk : icc_chunks) {
    icc_damaged = icc_damaged || chunk.empty();
    metadata->icc.insert(metadata->icc.end(), chunk.begin(), chunk.end());
  }
  if (icc_damaged) {
    metadata->icc.clear();
    problem = "the ICC profile is damaged: left out";
  }
  if (!resources.empty() && !IptcFromPhotoshop(resources.data(), resources.size(), &metadata->iptc)) {
    metadata->iptc.clear();
    AddToList(&problem, "the IPTC block is damaged: left out", "; ");
  }
  return problem;
}

std::string JpegMetadataTooLarge(const PhotoMetadata& m) {
  std::string text;
  if (!m.exif.empty() && !Fits(ExifPayload(m.exif))) AddToList(&text, "EXIF");
  if (!m.iptc.empty() && !Fits(kPhotoshopSignatureSize + IptcResource(m.iptc).size())) AddToList(&text, "IPTC");
  if (!m.xmp.empty() && !Fits(kXmpSignatureSize + m.xmp.size())) AddToList(&text, "XMP");
  if (!m.comment.empty() && !Fits(m.comment.size())) AddToList(&text, "comment");
  if (!IccFits(m.icc.size())) AddToList(&text, "ICC profile");
  return text;
}

bool AddJpegMetadata(std::vector<uint8_t>* jpeg, const PhotoMetadata& m) {
  if (jpeg->size() < 4 || (*jpeg)[0] != 0xff || (*jpeg)[1] != 0xd8) return false;
  size_t at = 2;
  // After a JFIF segment: readers look for it right after the start.
  if ((*jpeg)[2] == 0xff && (*jpeg)[3] == 0xe0 && jpeg->size() >= 6) {
    const size_t length = size_t{(*jpeg)[4]} << 8 | (*jpeg)[5];
    if (length <= jpeg->size() - 4) at += 2 + length;
  }
  std::vector<uint8_t> segments;
  if (!m.exif.empty() && Fits(ExifPayload(m.exif))) {
    const bool headed = ExifPayload(m.exif) == m.exif.size();
    PutSegment(&segments, 0xe1, kExifSignature, headed ? 0 : kExifSignatureSize, m.exif.data(), m.exif.size());
  }
  if (!m.xmp.empty() && Fits(kXmpSignatureSize + m.xmp.size())) {
    PutSegment(&segments, 0xe1, kXmpSignature, kXmpSignatureSize, m.xmp.data(), m.xmp.size());
  }
  if (!m.icc.empty() && IccFits(m.icc.size())) {
    const size_t count = (m.icc.size() + kIccChunk - 1) / kIccChunk;
    for (size_t i = 0; i < count; ++i) {
      const size_t at = i * kIccChunk, size = std::min(kIccChunk, m.icc.size() - at);
      const char signature[kIccSize] = {'I',
                                        'C',
                                        'C',
                                        '_',
                                        'P',
                                        'R',
                                        'O',
                                        'F',
                                        'I',
                                        'L',
                                        'E',
                                        0,
                                        static_cast<char>(i + 1),
                                        static_cast<char>(count)};
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
  jpeg->insert(jpeg->begin() + static_cast<std::ptrdiff_t>(at), segments.begin(), segments.end());
  return true;
}
