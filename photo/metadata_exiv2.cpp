// exiv2 reads the blocks of a picture file libvips does not hand over, and
// writes into libvips' JPEG and TIFF output what libvips leaves out there.
// PNG output needs no exiv2 pass (it would turn the eXIf chunk into a text
// chunk): libvips writes the pixels and the resolution, photo/png_chunks
// every chunk of metadata.
#include "photo/metadata_exiv2.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>

#include "photo/codec_rules.h"
#include "photo/jpeg_encoding.h"
#include "photo/jpeg_segments.h"
#include "photo/png_chunks.h"
#include "photo/tiff_directory.h"

namespace {

// exiv2 is started once per process: its log (warnings about odd maker
// notes and the like) would land in the middle of the progress line, and
// its XMP toolkit must be started before two threads use it.
void StartExiv2() {
  static std::recursive_mutex xmp_lock;
  static const bool started = [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize(
        [](void* lock, bool on) {
          auto* mutex = static_cast<std::recursive_mutex*>(lock);
          if (on) mutex->lock();
          else mutex->unlock();
        },
        &xmp_lock);
    std::atexit([] { Exiv2::XmpParser::terminate(); });
    return true;
  }();
  (void)started;
}

// Whether a TIFF file's tags say more than every TIFF file does (its
// layout, resolution and orientation): only then has it an EXIF block.
bool MoreThanLayout(const Exiv2::ExifData& data) {
  return std::any_of(data.begin(), data.end(), [](const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName();
    const uint16_t tag = datum.tag();
    if (group == "Image")
      return !(TiffLayoutTag(tag) || tag == 0x0112 || tag == 0x011a || tag == 0x011b || tag == 0x0128);
    return group == "Photo" || group == "GPSInfo";  // not the layout of a second page
  });
}

// The EXIF block as exiv2's tags; the "Exif\0\0" header is optional.
Exiv2::ByteOrder DecodeExif(const std::vector<uint8_t>& exif, Exiv2::ExifData* data) {
  const size_t skip = ExifTiffStart(exif.data(), exif.size());
  return Exiv2::ExifParser::decode(*data, exif.data() + skip, static_cast<uint32_t>(exif.size() - skip));
}

std::vector<uint8_t> EncodeExif(const Exiv2::ExifData& data, Exiv2::ByteOrder order) {
  if (data.empty()) return {};
  Exiv2::Blob tiff;
  Exiv2::ExifParser::encode(tiff, order, data);
  if (tiff.empty()) return {};
  std::vector<uint8_t> exif(kExifSignature, kExifSignature + kExifSignatureSize);
  exif.insert(exif.end(), tiff.begin(), tiff.end());
  return exif;
}

std::vector<uint8_t> Bytes(const Exiv2::DataBuf& buffer) {
  if (buffer.pData_ == nullptr || buffer.size_ <= 0) return {};
  return std::vector<uint8_t>(buffer.pData_, buffer.pData_ + buffer.size_);
}

// exiv2 0.27 hands its images out in a std::auto_ptr.
template <typename OldPointer>
std::unique_ptr<Exiv2::Image> Own(OldPointer image) {
  return std::unique_ptr<Exiv2::Image>(image.release());
}

}  // namespace

FileMetadata ReadMetadataExiv2(const std::string& path) {
  FileMetadata found;
  StartExiv2();
  std::unique_ptr<Exiv2::Image> image;
  try {
    image = Own(Exiv2::ImageFactory::open(path));
  } catch (const std::exception&) {
    return found;  // not a format exiv2 knows
  }
  try {
    image->readMetadata();
    PhotoMetadata& blocks = found.blocks;
    const Exiv2::ExifData& exif = image->exifData();
    const auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (orientation != exif.end() && orientation->count() == 1) {
      const long value = orientation->toLong();
      if (value >= 1 && value <= 8) found.orientation = static_cast<int>(value);
    }
    const bool tiff = image->imageType() == Exiv2::ImageType::tiff;
    if (!tiff || MoreThanLayout(exif)) {
      blocks.exif =
          EncodeExif(exif, image->byteOrder() == Exiv2::invalidByteOrder ? Exiv2::littleEndian : image->byteOrder());
    }
    if (!image->iptcData().empty()) blocks.iptc = Bytes(Exiv2::IptcParser::encode(image->iptcData()));
    const std::string& xmp = image->xmpPacket();
    blocks.xmp.assign(xmp.begin(), xmp.end());
    if (!tiff) {
      blocks.comment = image->comment();  // a TIFF file's comment is its EXIF image description
    }
  } catch (const std::exception& e) {
    found = FileMetadata();
    found.problem = std::string("its metadata cannot be read (exiv2: ") + e.what() + ")";
  }
  return found;
}

bool PutExifThumbnail(std::vector<uint8_t>* exif, const std::vector<uint8_t>& jpeg) {
  StartExiv2();
  try {
    Exiv2::ExifData data;
    const Exiv2::ByteOrder order = DecodeExif(*exif, &data);
    Exiv2::ExifThumb(data).setJpegThumbnail(jpeg.data(), static_cast<long>(jpeg.size()));
    std::vector<uint8_t> with = EncodeExif(data, order);
    if (with.empty()) return false;
    *exif = std::move(with);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

namespace {

// Whether the EXIF block holds an image description: in a TIFF file that
// is the comment's place, taken already.
bool ExifHasDescription(const std::vector<uint8_t>& exif) {
  if (exif.empty()) return false;
  StartExiv2();
  try {
    Exiv2::ExifData data;
    DecodeExif(exif, &data);
    return data.findKey(Exiv2::ExifKey("Exif.Image.ImageDescription")) != data.end();
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

bool AddMetadataLibvipsLeavesOut(const PhotoMetadata& metadata, PhotoFormat format, std::vector<uint8_t>* bytes,
                                 std::string* error) {
  if (format == PhotoFormat::kPng) {
    if (!AddPngMetadata(bytes, metadata)) {
      *error = "the PNG encoder's output does not end as a PNG file does";
      return false;
    }
    return true;
  }
  const bool tiff = format == PhotoFormat::kTiff;
  if (format != PhotoFormat::kJpeg && !tiff) return true;
  if (metadata.iptc.empty() && metadata.comment.empty() && (!tiff || metadata.exif.empty())) return true;
  StartExiv2();
  try {
    const std::unique_ptr<Exiv2::Image> image =
        Own(Exiv2::ImageFactory::open(bytes->data(), static_cast<long>(bytes->size())));
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    if (tiff && !metadata.exif.empty()) {
      // Tag by tag into what libvips wrote: its layout tags stay (the kept
      // block has none), the kept block's tags win elsewhere, except those
      // that describe compressed data only (components, bits per pixel,
      // pixel dimensions), which a TIFF file must not hold.
      Exiv2::ExifData kept;
      DecodeExif(metadata.exif, &kept);
      for (const Exiv2::Exifdatum& datum : kept) {
        const uint16_t tag = datum.tag();
        const bool compressed_only = tag == 0x9101 || tag == 0x9102 || tag == 0xa002 || tag == 0xa003;
        if (!(datum.groupName() == "Photo" && compressed_only)) exif[datum.key()] = datum.value();
      }
    }
    if (!metadata.iptc.empty()) {
      Exiv2::IptcData iptc;
      if (Exiv2::IptcParser::decode(iptc, metadata.iptc.data(), static_cast<uint32_t>(metadata.iptc.size())) != 0) {
        *error = "the IPTC block cannot be written again (exiv2 cannot read it)";
        return false;
      }
      image->setIptcData(iptc);
    }
    if (!metadata.comment.empty()) {
      const Exiv2::ExifKey description("Exif.Image.ImageDescription");
      if (!tiff) image->setComment(metadata.comment);
      else if (exif.findKey(description) == exif.end()) exif[description.key()] = metadata.comment;
    }
    image->writeXmpFromPacket(true);  // libvips' packet as it is
    image->writeMetadata();
    // The written file is in exiv2's memory "file".
    Exiv2::BasicIo& io = image->io();
    const size_t size = io.size();
    const Exiv2::byte* data = io.mmap();
    bytes->assign(data, data + size);
    io.munmap();
    return true;
  } catch (const std::exception& e) {
    *error = std::string("the metadata cannot be written (exiv2: ") + e.what() + ")";
    return false;
  }
}

std::string MetadataLeftOut(const Photo& photo, const EncodeOptions& options) {
  if (!options.keep_metadata) return "";
  const PhotoMetadata& m = photo.metadata;
  const bool bmp = options.format == PhotoFormat::kBmp;  // a BMP file has no place for any of them
  // A TIFF file's one image description holds the EXIF one first.
  const bool tiff_comment = options.format == PhotoFormat::kTiff && !m.comment.empty() && ExifHasDescription(m.exif);
  std::string text;
  if (bmp && !m.exif.empty()) AddToList(&text, "EXIF");
  if (bmp && !m.iptc.empty()) AddToList(&text, "IPTC");
  if (bmp && !m.xmp.empty()) AddToList(&text, "XMP");
  if ((bmp && !m.comment.empty()) || tiff_comment) AddToList(&text, "comment");
  if (bmp && !m.icc.empty()) AddToList(&text, "ICC profile");
  const std::string png_text = options.format == PhotoFormat::kPng ? "" : PngTextWithoutPlace(m, !bmp);
  if (!png_text.empty()) AddToList(&text, png_text);
  return text;
}
