// The written bytes read back with the same segment and chunk readers the
// decoders use for metadata, so a block counts as kept only where a reader
// of ours finds it again.
#include "photo/encoding_check.h"

#include <cstring>

#include "photo/codec_rules.h"
#include "photo/jpeg_encoding.h"
#include "photo/jpeg_segments.h"
#include "photo/png_chunks.h"
#include "photo/tiff_directory.h"

namespace {

// The blocks that were to be carried and are missing from `found`.
void MissingBlocks(const Photo& photo, const EncodeOptions& options, bool gray, const PhotoMetadata& found,
                   std::string* shortfall) {
  if (!options.keep_metadata) return;
  const PhotoMetadata& m = photo.metadata;
  const std::string left_out = MetadataLeftOut(photo, options);  // said already, elsewhere
  const auto expect = [&](bool present, bool there, const char* name) {
    if (present && !there && left_out.find(name) == std::string::npos) {
      AddToList(shortfall, std::string("no ") + name, "; ");
    }
  };
  expect(!m.exif.empty(), !found.exif.empty(), "EXIF");
  expect(!m.iptc.empty(), !found.iptc.empty(), "IPTC");
  expect(!m.xmp.empty(), !found.xmp.empty(), "XMP");
  expect(!m.comment.empty(), !found.comment.empty(), "comment");
  expect(!m.icc.empty() && ProfileFits(m.icc, gray), !found.icc.empty(), "ICC profile");
}

void CheckJpeg(const Photo& photo, const EncodeOptions& options, const std::vector<uint8_t>& bytes, bool gray,
               EncodingCheck* check) {
  JpegEncoding written;
  if (!JpegEncodingFromHead(bytes.data(), bytes.size(), &written)) {
    check->shortfall = "the encoder's output cannot be read back as a JPEG file";
    return;
  }
  const JpegEncoding& source = photo.jpeg;
  const bool like_source = options.jpeg_like_source && source.quality > 0;
  const int asked = like_source ? source.quality : options.quality;
  std::string& shortfall = check->shortfall;
  const bool below_asked = written.quality < asked - 1;
  if (below_asked) {
    AddToList(&shortfall,
              "quality " + std::to_string(written.quality) + " where " + std::to_string(asked) + " was asked", "; ");
  }
  // Never less colour resolution than a JPEG source had, whatever quality
  // was asked.
  const bool colour_out = written.components >= 3;
  const bool coarser =
      source.quality > 0 && source.components >= 3 && !gray && colour_out &&
      (written.subsampling_x > source.subsampling_x || written.subsampling_y > source.subsampling_y);
  const std::string colour = "colour at " + SubsamplingName(written.subsampling_x, written.subsampling_y);
  const std::string had = SubsamplingName(source.subsampling_x, source.subsampling_y);
  if (coarser) AddToList(&shortfall, colour + " where " + had + " or finer was asked", "; ");
  if (source.progressive && JpegProgressiveWritable() && !written.progressive) {
    AddToList(&shortfall, "baseline where progressive was asked", "; ");
  }
  if (gray && written.components != 1) AddToList(&shortfall, "colour channels for a gray picture", "; ");
  PhotoMetadata found;
  ReadJpegMetadata(bytes.data(), bytes.size(), &found);
  MissingBlocks(photo, options, gray, found, &shortfall);
  // An asked quality below the source's own is the user's choice; an
  // encoder that wrote less than both is not.
  if (source.quality > 0 && written.quality < source.quality - kQualityTolerance && below_asked) {
    AddToList(
        &check->lowered,
        "quality " + std::to_string(written.quality) + " where the original had " + std::to_string(source.quality),
        "; ");
  }
  if (coarser) AddToList(&check->lowered, colour + " where the original had " + had, "; ");
}

void CheckPng(const Photo& photo, const EncodeOptions& options, const std::vector<uint8_t>& bytes, bool gray,
              EncodingCheck* check) {
  // The colour type follows the signature, the IHDR length and type, and
  // width, height and depth: 0 and 4 are gray.
  constexpr size_t kColourType = 8 + 8 + 9;
  if (bytes.size() <= kColourType || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) {
    check->shortfall = "the encoder's output cannot be read back as a PNG file";
    return;
  }
  const uint8_t colour_type = bytes[kColourType];
  if (gray && photo.alpha.empty() && colour_type != 0) {
    AddToList(&check->shortfall, "colour channels for a gray picture", "; ");
  }
  PhotoMetadata found;
  ReadPngMetadata(bytes.data(), bytes.size(), &found);
  MissingBlocks(photo, options, gray, found, &check->shortfall);
}

// The compression asked of a TIFF (its source's) against the one written.
void CheckTiff(const Photo& photo, const std::vector<uint8_t>& bytes, EncodingCheck* check) {
  TiffHead head;
  if (bytes.size() >= 8) std::memcpy(head.header, bytes.data(), 8);
  const uint32_t at = TiffFirstDirectory(head.header);
  if (at < 8 || at >= bytes.size()) {
    check->shortfall = "the encoder's output cannot be read back as a TIFF file";
    return;
  }
  head.directory.assign(bytes.begin() + at, bytes.end());
  const int asked = TiffCompressionKept(photo.tiff_compression);
  int written = static_cast<int>(TiffDirectoryNumber(head, 259));
  if (written == 0) written = 1;  // none, where the tag is left out
  if (written == 32946) written = 8;
  if (photo.tiff_compression != 0 && written != asked) {
    check->shortfall =
        "compression " + TiffCompressionName(written) + " where " + TiffCompressionName(asked) + " was asked";
  }
}

}  // namespace

std::string SubsamplingName(int x, int y) {
  if (x == 1 && y == 1) return "4:4:4";
  if (x == 2 && y == 1) return "4:2:2";
  if (x == 2 && y == 2) return "4:2:0";
  if (x == 1 && y == 2) return "4:4:0";
  return std::to_string(x) + "x" + std::to_string(y);
}

EncodingCheck CheckEncoding(const Photo& photo, const EncodeOptions& options, const std::vector<uint8_t>& bytes) {
  EncodingCheck check;
  const bool gray = photo.gray && AllGray(photo.image);
  if (options.format == PhotoFormat::kJpeg) CheckJpeg(photo, options, bytes, gray, &check);
  if (options.format == PhotoFormat::kPng) CheckPng(photo, options, bytes, gray, &check);
  if (options.format == PhotoFormat::kTiff) CheckTiff(photo, bytes, &check);
  return check;
}
