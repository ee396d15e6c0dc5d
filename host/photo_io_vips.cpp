// File: host/photo_io_vips.cpp
//
// The photo codecs natively, on libvips: any format libvips reads, turned
// upright with vips_autorot, colour reduced to 8-bit sRGB, alpha and the
// metadata blobs kept aside; encoding builds a libvips image from the
// filtered rows again and saves it to a memory buffer.
#include <vips/vips.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/photo_io.h"

namespace {

struct ImageUnref {
  void operator()(VipsImage* image) const { g_object_unref(image); }
};
using ImageRef = std::unique_ptr<VipsImage, ImageUnref>;

// libvips starts once per process, on first use from whichever thread, and
// is shut down at exit so that its caches and worker threads are gone before
// the leak checker of the sanitizer builds looks.
bool StartVips(std::string* error) {
  static const bool started = [] {
    if (VIPS_INIT("chromaline-host") != 0) return false;
    // libvips' warnings (a damaged tile, a short file) would be printed in
    // the middle of the progress line; the error that follows names them.
    g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, [](const char*, GLogLevelFlags, const char*, void*) {}, nullptr);
    // No operation cache: a batch reads each file once, and a file rewritten
    // under the same name must be read again.
    vips_cache_set_max(0);
    std::atexit(vips_shutdown);
    return true;
  }();
  if (!started) *error = "the picture library (libvips) could not be started";
  return started;
}

// The first line of libvips' error buffer, which is then cleared.
std::string VipsReason() {
  char* text = vips_error_buffer_copy();
  std::string reason = text ? text : "";
  g_free(text);
  const size_t end = reason.find('\n');
  if (end != std::string::npos) reason.resize(end);
  if (reason.empty()) reason = "unknown libvips error";
  return reason;
}

std::vector<uint8_t> Blob(VipsImage* image, const char* name) {
  const void* data = nullptr;
  size_t size = 0;
  if (vips_image_get_typeof(image, name) == 0 || vips_image_get_blob(image, name, &data, &size) != 0) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

int SourceBits(VipsImage* image) {
  switch (image->BandFmt) {
    case VIPS_FORMAT_UCHAR: case VIPS_FORMAT_CHAR: return 8;
    case VIPS_FORMAT_USHORT: case VIPS_FORMAT_SHORT: return 16;
    default: return 32;
  }
}

// The colour bands as 8-bit sRGB: libvips' own conversions for grey,
// 16-bit, CMYK and the rest.
bool ToSrgb8(VipsImage* colour, ImageRef* out) {
  VipsImage* step = nullptr;
  if (vips_colourspace(colour, &step, VIPS_INTERPRETATION_sRGB, nullptr) != 0) return false;
  ImageRef srgb(step);
  if (srgb->BandFmt != VIPS_FORMAT_UCHAR) {
    if (vips_cast_uchar(srgb.get(), &step, nullptr) != 0) return false;
    srgb.reset(step);
  }
  if (srgb->Bands > 3) {
    if (vips_extract_band(srgb.get(), &step, 0, "n", 3, nullptr) != 0) return false;
    srgb.reset(step);
  }
  *out = std::move(srgb);
  return true;
}

// The alpha band as 8 bits, scaled the way the colour is (16-bit alpha
// keeps its high byte).
bool Alpha8(VipsImage* alpha, ImageRef* out) {
  VipsImage* step = nullptr;
  ImageRef plane;
  if (alpha->BandFmt == VIPS_FORMAT_USHORT) {
    if (vips_rshift_const1(alpha, &step, 8, nullptr) != 0) return false;
    plane.reset(step);
    alpha = plane.get();
  }
  if (vips_cast_uchar(alpha, &step, nullptr) != 0) return false;
  out->reset(step);
  return true;
}

std::vector<uint8_t> Pixels(VipsImage* image) {
  size_t size = 0;
  void* data = vips_image_write_to_memory(image, &size);
  if (!data) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  std::vector<uint8_t> pixels(bytes, bytes + size);
  g_free(data);
  return pixels;
}

bool Decode(const std::string& path, Photo* photo) {
  VipsImage* step = vips_image_new_from_file(path.c_str(), "fail_on", VIPS_FAIL_ON_TRUNCATED, nullptr);
  if (!step) return false;
  ImageRef file(step);
  photo->orientation = vips_image_get_orientation(file.get());
  if (vips_autorot(file.get(), &step, nullptr) != 0) return false;
  ImageRef upright(step);

  photo->source_bits = SourceBits(upright.get());
  photo->metadata.exif = Blob(upright.get(), VIPS_META_EXIF_NAME);
  photo->metadata.xmp = Blob(upright.get(), VIPS_META_XMP_NAME);
  // A CMYK profile no longer describes the sRGB rows the filters get.
  if (upright->Type != VIPS_INTERPRETATION_CMYK) photo->metadata.icc = Blob(upright.get(), VIPS_META_ICC_NAME);

  const int colour_bands = vips_image_hasalpha(upright.get()) ? upright->Bands - 1 : upright->Bands;
  if (vips_extract_band(upright.get(), &step, 0, "n", colour_bands, nullptr) != 0) return false;
  ImageRef colour(step);
  ImageRef srgb;
  if (!ToSrgb8(colour.get(), &srgb)) return false;
  std::vector<uint8_t> rgb = Pixels(srgb.get());
  const int width = srgb->Xsize, height = srgb->Ysize;
  if (rgb.size() != static_cast<size_t>(width) * height * 3) return false;

  if (colour_bands < upright->Bands) {
    if (vips_extract_band(upright.get(), &step, colour_bands, nullptr) != 0) return false;
    ImageRef alpha(step), alpha8;
    if (!Alpha8(alpha.get(), &alpha8)) return false;
    photo->alpha = Pixels(alpha8.get());
    if (photo->alpha.size() != static_cast<size_t>(width) * height) return false;
  }

  photo->image.width = width;
  photo->image.height = height;
  photo->image.bgr.resize(rgb.size());
  for (size_t i = 0; i < rgb.size(); i += 3) {
    photo->image.bgr[i] = rgb[i + 2];
    photo->image.bgr[i + 1] = rgb[i + 1];
    photo->image.bgr[i + 2] = rgb[i];
  }
  return true;
}

// The filtered rows (and the alpha put back) as a libvips image in sRGB,
// with the kept metadata and the orientation reset to upright.
ImageRef Assemble(const Photo& photo, bool with_alpha, bool with_metadata) {
  const Image& image = photo.image;
  const size_t pixels = static_cast<size_t>(image.width) * image.height;
  const int bands = with_alpha ? 4 : 3;
  std::vector<uint8_t> rows(pixels * bands);
  for (size_t i = 0; i < pixels; ++i) {
    uint8_t* to = &rows[i * bands];
    const uint8_t* from = &image.bgr[i * 3];
    to[0] = from[2];
    to[1] = from[1];
    to[2] = from[0];
    if (with_alpha) to[3] = photo.alpha[i];
  }
  ImageRef out(vips_image_new_from_memory_copy(rows.data(), rows.size(), image.width, image.height, bands,
                                               VIPS_FORMAT_UCHAR));
  if (!out) return out;
  out->Type = VIPS_INTERPRETATION_sRGB;
  const PhotoMetadata& meta = photo.metadata;
  if (with_metadata) {
    if (!meta.exif.empty()) vips_image_set_blob_copy(out.get(), VIPS_META_EXIF_NAME, meta.exif.data(), meta.exif.size());
    if (!meta.xmp.empty()) vips_image_set_blob_copy(out.get(), VIPS_META_XMP_NAME, meta.xmp.data(), meta.xmp.size());
    if (!meta.icc.empty()) vips_image_set_blob_copy(out.get(), VIPS_META_ICC_NAME, meta.icc.data(), meta.icc.size());
  }
  // libvips writes this into the EXIF block it saves.
  vips_image_set_int(out.get(), VIPS_META_ORIENTATION, 1);
  return out;
}

// The savers' settings. PNG: zlib level 6 with one fixed filter (Paeth)
// instead of trying every filter per row — about as small as ImageMagick's
// PNG of a photo, in less time (bench/photo_codecs_speed).
int Save(VipsImage* image, const EncodeOptions& options, bool with_alpha, void** buffer, size_t* size) {
  const gboolean strip = options.keep_metadata ? FALSE : TRUE;
  switch (options.format) {
    case PhotoFormat::kJpeg:
      return vips_jpegsave_buffer(image, buffer, size, "Q", options.quality, "strip", strip, nullptr);
    case PhotoFormat::kPng:
      return vips_pngsave_buffer(image, buffer, size, "compression", 6, "filter", VIPS_FOREIGN_PNG_FILTER_PAETH,
                                 "strip", strip, nullptr);
    case PhotoFormat::kTiff:
      return vips_tiffsave_buffer(image, buffer, size, "compression", VIPS_FOREIGN_TIFF_COMPRESSION_LZW, "predictor",
                                  VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL, "strip", strip, nullptr);
    case PhotoFormat::kBmp:
      // libvips has no BMP saver of its own; ImageMagick's (through libvips)
      // writes the classic 24-bit form, or 32 bits when there is alpha.
      return vips_magicksave_buffer(image, buffer, size, "format", with_alpha ? "bmp" : "bmp3", "strip", strip,
                                    nullptr);
  }
  return -1;
}

}  // namespace

bool PhotoFormatWritable(PhotoFormat) { return true; }

const char* PhotoCodecLimits() {
  return "TIFF files keep their XMP and ICC profile but not their EXIF block (libvips reads and writes\n"
         "no EXIF in TIFF); the orientation there is the TIFF tag, read and reset all the same.\n";
}

bool ReadPhoto(const std::string& path, Photo* photo, std::string* error) {
  *photo = Photo();
  // The system's reason first: libvips says only that it found no loader.
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  std::fclose(file);
  if (!StartVips(error)) return false;
  if (!Decode(path, photo)) {
    *error = path + ": cannot be read as a picture (" + VipsReason() + ")";
    *photo = Photo();
    return false;
  }
  return true;
}

bool EncodePhoto(const Photo& photo, const EncodeOptions& options, std::vector<uint8_t>* bytes, std::string* error) {
  const Image& image = photo.image;
  const size_t pixels = static_cast<size_t>(image.width) * image.height;
  if (image.width <= 0 || image.height <= 0 || image.bgr.size() != pixels * 3) {
    *error = "no picture to encode";
    return false;
  }
  if (!photo.alpha.empty() && photo.alpha.size() != pixels) {
    *error = "the alpha plane does not match the picture's size";
    return false;
  }
  if (options.format == PhotoFormat::kJpeg && (options.quality < 1 || options.quality > 100)) {
    *error = "JPEG quality " + std::to_string(options.quality) + " is outside 1..100";
    return false;
  }
  if (!StartVips(error)) return false;
  const bool with_alpha = !photo.alpha.empty() && options.format != PhotoFormat::kJpeg;
  ImageRef assembled = Assemble(photo, with_alpha, options.keep_metadata);
  void* buffer = nullptr;
  size_t size = 0;
  if (!assembled || Save(assembled.get(), options, with_alpha, &buffer, &size) != 0) {
    *error = std::string("cannot encode as ") + PhotoFormatName(options.format) + " (" + VipsReason() + ")";
    return false;
  }
  const uint8_t* data = static_cast<const uint8_t*>(buffer);
  bytes->assign(data, data + size);
  g_free(buffer);
  return true;
}
