// XMP too large for one JPEG segment, as Adobe's XMP specification (part 3)
// stores it: a standard packet that names an extended part by the MD5
// digest of its bytes (xmpNote:HasExtendedXMP, 32 upper-case hex digits),
// and the extended part, a packet without wrapper, cut into APP1 chunks
// that each give the whole part's length and their own offset in it.
// A picture's metadata holds one packet, the two merged (what PNG and TIFF
// are given); it is split again only to go into a JPEG. The packets are
// handled as text, the same in both builds: whole top-level nodes of the
// rdf:RDF element are moved, each keeping the namespaces it uses.
#ifndef CHROMALINE_PHOTO_JPEG_XMP_H_
#define CHROMALINE_PHOTO_JPEG_XMP_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The signature of an extended chunk's payload (with its NUL), then the
// digest (32), the part's length and the chunk's offset (4 each,
// big-endian), then the chunk's bytes.
constexpr char kExtendedXmpSignature[] = "http://ns.adobe.com/xmp/extension/";
constexpr size_t kExtendedXmpSignatureSize = sizeof(kExtendedXmpSignature);
constexpr size_t kExtendedXmpHeadSize = kExtendedXmpSignatureSize + 32 + 4 + 4;

struct ExtendedXmpChunk {
  std::string digest;  // as the chunk gives it
  uint32_t length = 0;
  uint32_t offset = 0;
  const uint8_t* data = nullptr;  // into the payload read
  size_t size = 0;
};

// The chunk an APP1 payload holds; false when it is no extended XMP chunk
// or too short to be one.
bool ReadExtendedXmpChunk(const uint8_t* payload, size_t size, ExtendedXmpChunk* chunk);

// Merges into the standard packet (*packet) the extended part its
// HasExtendedXMP names, reassembled from `chunks`, and takes that property
// out. What could not be merged leaves the standard packet alone (without
// the property, which would name nothing) and is said in the returned note;
// an empty note when all was merged or there was nothing to merge.
std::string MergeExtendedXmp(const std::vector<ExtendedXmpChunk>& chunks, std::vector<uint8_t>* packet);

// A packet as a JPEG holds it: the standard packet and, when the whole does
// not fit in `most_standard` bytes, the extended part and its digest.
struct JpegXmp {
  std::string standard;
  std::string extended;  // empty when the packet fits
  std::string digest;
};
// False when the packet does not fit and cannot be split so that the
// standard packet fits (no rdf:RDF element to take nodes from).
bool SplitXmpForJpeg(const std::vector<uint8_t>& packet, size_t most_standard, JpegXmp* parts);

// The value of the packet's HasExtendedXMP property; empty when it has none.
std::string ExtendedXmpDigest(const std::string& packet);

#endif  // CHROMALINE_PHOTO_JPEG_XMP_H_
