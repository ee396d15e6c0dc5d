// The photo codecs natively, on libvips: any format libvips reads, turned
// upright with vips_autorot, colour reduced to 8-bit sRGB, alpha and the
// metadata blobs kept aside; encoding builds a libvips image from the
// filtered rows again (one gray channel where the file had one and the
// picture is still gray) and saves it to a memory buffer, a JPEG like the
// JPEG it came from where asked. What libvips does not carry (IPTC, the
// comment, TIFF's EXIF, ImageMagick's PNG text chunks) comes from
// photo/metadata_exiv2.
#include <vips/vips.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "photo/cmyk_profile.h"
#include "photo/codec_rules.h"
#include "photo/metadata_exiv2.h"
#include "photo/jpeg_encoding.h"
#include "photo/photo_io.h"
#include "photo/png_chunks.h"
#include "photo/tiff_directory.h"
#include "photo/upright.h"

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
    g_log_set_handler(
        "VIPS", G_LOG_LEVEL_WARNING, [](const char*, GLogLevelFlags, const char*, void*) {}, nullptr);
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
    case VIPS_FORMAT_UCHAR:
    case VIPS_FORMAT_CHAR: return 8;
    case VIPS_FORMAT_USHORT:
    case VIPS_FORMAT_SHORT: return 16;
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

// CMYK that no profile describes, as ImageMagick and web browsers take it:
// R = (1 - C)(1 - K), G = (1 - M)(1 - K), B = (1 - Y)(1 - K) on ink amounts
// 0..1, cut to 8 bits the way ImageMagick and Firefox cut it (rounded
// down: 255 (1 - C)(1 - K) = (255 - C)(255 - K) / 255 in whole numbers, the
// very bytes ImageMagick writes). libvips' own rule (a generic press profile)
// gives duller colours than the picture such a file was made from; with
// a profile, the picture goes through it (ProfiledCmykToSrgb8). libvips hands JPEG
// CMYK over as ink amounts already: Adobe's inverted storage is undone by
// its loader, as by ImageMagick's.
bool PlainCmykToSrgb8(VipsImage* cmyk, ImageRef* out) {
  const double full = cmyk->BandFmt == VIPS_FORMAT_USHORT ? 65535.0 : 255.0;
  VipsImage* step = nullptr;
  if (vips_invert(cmyk, &step, nullptr) != 0) return false;  // full - ink: what is left of the white
  ImageRef left(step);
  if (vips_extract_band(left.get(), &step, 0, "n", 3, nullptr) != 0) return false;
  ImageRef cmy(step);
  if (vips_extract_band(left.get(), &step, 3, nullptr) != 0) return false;
  ImageRef k(step);
  if (vips_multiply(cmy.get(), k.get(), &step, nullptr) != 0) return false;  // exact in integers
  ImageRef product(step);
  // Half a step up before rounding down, so that float error cannot drop a
  // whole number to the one below: (p + 0.5) / 255 stays below the next one.
  const double scale = 255.0 / (full * full);
  if (vips_linear1(product.get(), &step, scale, 0.5 * scale, nullptr) != 0) return false;
  ImageRef scaled(step);
  if (vips_floor(scaled.get(), &step, nullptr) != 0) return false;
  ImageRef whole(step);
  if (vips_cast_uchar(whole.get(), &step, nullptr) != 0) return false;
  out->reset(step);
  (*out)->Type = VIPS_INTERPRETATION_sRGB;
  return true;
}

bool HasProfile(VipsImage* image) { return vips_image_get_typeof(image, VIPS_META_ICC_NAME) != 0; }

// CMYK through the profile it carries, to 8-bit sRGB, with the intent
// CmykProfileIntent chose (not kUnusable). vips_colourspace goes from the
// profile's XYZ to sRGB by libvips' own formulas instead of through an sRGB
// profile, and is several levels off what ImageMagick and vips
// icc_transform make of the same file.
bool ProfiledCmykToSrgb8(VipsImage* cmyk, CmykIntent intent, ImageRef* out) {
  const VipsIntent vips_intent = intent == CmykIntent::kPerceptual ? VIPS_INTENT_PERCEPTUAL : VIPS_INTENT_RELATIVE;
  VipsImage* step = nullptr;
  if (vips_icc_transform(cmyk, &step, "srgb", "embedded", TRUE, "intent", vips_intent, "depth", 8, nullptr) != 0) {
    return false;
  }
  out->reset(step);
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

struct Free {
  void operator()(void* data) const { g_free(data); }
};
using Memory = std::unique_ptr<uint8_t, Free>;

// The image's pixels, computed into one buffer of `size` bytes.
Memory Pixels(VipsImage* image, size_t size) {
  size_t written = 0;
  Memory data(static_cast<uint8_t*>(vips_image_write_to_memory(image, &written)));
  if (data && written != size) data.reset();
  return data;
}

// A file's picture, read in one pass from top to bottom when it needs no
// turning (the common case: no copy of the whole decoded picture), else
// with the random access vips_autorot needs. An orientation libvips does
// not see (EXIF in ImageMagick's PNG text chunks) is exif_orientation.
VipsImage* Open(const std::string& path, int exif_orientation, int* orientation) {
  VipsImage* image = vips_image_new_from_file(path.c_str(), "fail_on", VIPS_FAIL_ON_TRUNCATED, nullptr);
  if (!image) return nullptr;
  if (vips_image_get_typeof(image, VIPS_META_ORIENTATION) == 0 && exif_orientation != 1) {
    vips_image_set_int(image, VIPS_META_ORIENTATION, exif_orientation);  // what vips_autorot reads
  }
  *orientation = vips_image_get_orientation(image);
  if (*orientation != 1) return image;
  g_object_unref(image);
  return vips_image_new_from_file(path.c_str(), "fail_on", VIPS_FAIL_ON_TRUNCATED, "access", VIPS_ACCESS_SEQUENTIAL,
                                  nullptr);
}

// Red-green-blue to blue-green-red, and back (the same swap), from 3-byte
// pixels to pixels `to_step` bytes apart (4: room left for alpha).
void SwapRedBlue(const uint8_t* from, uint8_t* to, size_t pixels, size_t to_step = 3) {
  for (size_t i = 0; i < pixels; ++i, from += 3, to += to_step) {
    to[0] = from[2];
    to[1] = from[1];
    to[2] = from[0];
  }
}

// A PNG file's chunks (every block and the chunks carried as they are)
// and a TIFF file's compression, read at the byte level as the Windows
// build reads them; true for a PNG file, whose metadata is then all in
// *found.
bool ReadHeadBytes(const std::string& path, FileMetadata* found, Photo* photo) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  const std::vector<uint8_t> head = ReadPngHead(file);
  TiffHead tiff;
  if (head.empty() && ReadTiffHead(file, &tiff))
    photo->tiff_compression = static_cast<int>(TiffDirectoryNumber(tiff, 259));
  std::fclose(file);
  if (head.empty()) return false;
  found->problem = ReadPngMetadata(head.data(), head.size(), &found->blocks);
  const int orientation = ExifOrientation(found->blocks.exif);
  found->orientation = orientation != 0 ? orientation : 1;
  return true;
}

bool Decode(const std::string& path, Photo* photo) {
  FileMetadata found;
  const bool png = ReadHeadBytes(path, &found, photo);
  if (!png) found = ReadMetadataExiv2(path);
  VipsImage* step = Open(path, found.orientation, &photo->orientation);
  if (!step) return false;
  ImageRef file(step);
  if (vips_autorot(file.get(), &step, nullptr) != 0) return false;
  ImageRef upright(step);
  const char* loader = nullptr;
  if (vips_image_get_string(file.get(), "vips-loader", &loader) == 0 && std::strcmp(loader, "jpegload") == 0) {
    ReadJpegEncoding(path, &photo->jpeg);
  }

  // libvips gives pixels per millimetre, 1 where the file gave none (it
  // then reads the resolution unit as absent too).
  if (vips_image_get_typeof(file.get(), "resolution-unit") != 0 || upright->Xres != 1.0 || upright->Yres != 1.0) {
    photo->dpi_x = upright->Xres * 25.4;
    photo->dpi_y = upright->Yres * 25.4;
  }
  photo->source_bits = SourceBits(upright.get());
  const bool cmyk = upright->Type == VIPS_INTERPRETATION_CMYK;
  photo->cmyk = cmyk;
  // libvips names a palette file's depth ("palette-bit-depth" before 8.15, "palette" since).
  photo->palette = vips_image_get_typeof(file.get(), "palette-bit-depth") != 0 ||
                   vips_image_get_typeof(file.get(), "palette") != 0;
  PhotoMetadata& meta = photo->metadata;
  if (png) {
    meta = std::move(found.blocks);
  } else {
    meta.exif = Blob(upright.get(), VIPS_META_EXIF_NAME);
    meta.xmp = Blob(upright.get(), VIPS_META_XMP_NAME);
    // A CMYK profile no longer describes the sRGB rows the filters get.
    if (!cmyk) meta.icc = Blob(upright.get(), VIPS_META_ICC_NAME);
    if (meta.exif.empty()) meta.exif = std::move(found.blocks.exif);
    if (meta.xmp.empty()) meta.xmp = std::move(found.blocks.xmp);
    meta.iptc = std::move(found.blocks.iptc);
    meta.comment = std::move(found.blocks.comment);
  }
  std::string problem = found.problem;
  MakeMetadataUpright(&meta, upright->Xsize, upright->Ysize, &problem);
  if (!problem.empty()) photo->notes.push_back(problem);

  const int colour_bands = vips_image_hasalpha(upright.get()) ? upright->Bands - 1 : upright->Bands;
  photo->gray = colour_bands == 1;
  if (vips_extract_band(upright.get(), &step, 0, "n", colour_bands, nullptr) != 0) return false;
  ImageRef colour(step);
  ImageRef srgb;
  // A CMYK profile that cannot be read is taken as none, and said so.
  const bool profiled = cmyk && colour_bands == 4 && HasProfile(upright.get());
  CmykIntent intent = CmykIntent::kUnusable;
  const void* icc = nullptr;
  size_t icc_size = 0;
  if (profiled && vips_image_get_blob(upright.get(), VIPS_META_ICC_NAME, &icc, &icc_size) == 0) {
    intent = CmykProfileIntent(static_cast<const uint8_t*>(icc), icc_size);
  }
  const bool plain_cmyk = cmyk && colour_bands == 4 && intent == CmykIntent::kUnusable &&
                          (colour->BandFmt == VIPS_FORMAT_UCHAR || colour->BandFmt == VIPS_FORMAT_USHORT);
  if (plain_cmyk) {
    if (!PlainCmykToSrgb8(colour.get(), &srgb)) return false;
    photo->notes.push_back(profiled ? "its CMYK colour profile cannot be used (damaged, or not for CMYK): converted "
                                      "to RGB by plain inversion"
                                    : "CMYK without a colour profile: converted to RGB by plain inversion");
  } else if (intent != CmykIntent::kUnusable) {
    if (!ProfiledCmykToSrgb8(colour.get(), intent, &srgb)) return false;
  } else if (!ToSrgb8(colour.get(), &srgb)) {
    return false;
  }
  const int width = srgb->Xsize, height = srgb->Ysize;
  const size_t pixels = static_cast<size_t>(width) * height;

  photo->image.width = width;
  photo->image.height = height;
  photo->image.bgr.resize(pixels * 3);
  if (colour_bands == upright->Bands) {
    Memory rgb = Pixels(srgb.get(), pixels * 3);
    if (!rgb) return false;
    SwapRedBlue(rgb.get(), photo->image.bgr.data(), pixels);
    return true;
  }
  // Colour and alpha computed together: a file read in one pass cannot be
  // read twice.
  if (vips_extract_band(upright.get(), &step, colour_bands, nullptr) != 0) return false;
  ImageRef alpha(step), alpha8;
  if (!Alpha8(alpha.get(), &alpha8)) return false;
  if (vips_bandjoin2(srgb.get(), alpha8.get(), &step, nullptr) != 0) return false;
  ImageRef joined(step);
  Memory rgba = Pixels(joined.get(), pixels * 4);
  if (!rgba) return false;
  photo->alpha.resize(pixels);
  const uint8_t* from = rgba.get();
  for (size_t i = 0; i < pixels; ++i, from += 4) {
    uint8_t* to = &photo->image.bgr[i * 3];
    to[0] = from[2];
    to[1] = from[1];
    to[2] = from[0];
    photo->alpha[i] = from[3];
  }
  return true;
}

// The filtered rows (and the alpha put back) as a libvips image in sRGB,
// or one gray channel, with the kept metadata and the orientation reset to
// upright. The image reads its pixels from *rows, which must outlive it.
ImageRef Assemble(const Photo& photo, const PhotoMetadata& meta, bool gray, bool with_alpha, bool with_metadata,
                  std::vector<uint8_t>* rows) {
  const Image& image = photo.image;
  const size_t pixels = static_cast<size_t>(image.width) * image.height;
  const int bands = (gray ? 1 : 3) + (with_alpha ? 1 : 0);
  rows->resize(pixels * bands);
  const uint8_t* from = image.bgr.data();
  uint8_t* to = rows->data();
  if (gray && with_alpha) {
    for (size_t i = 0; i < pixels; ++i) {
      to[i * 2] = from[i * 3];
      to[i * 2 + 1] = photo.alpha[i];
    }
  } else if (gray) {
    for (size_t i = 0; i < pixels; ++i) to[i] = from[i * 3];
  } else if (with_alpha) {
    SwapRedBlue(from, to, pixels, 4);
    for (size_t i = 0; i < pixels; ++i) to[i * 4 + 3] = photo.alpha[i];
  } else {
    SwapRedBlue(from, to, pixels);
  }
  ImageRef out(
      vips_image_new_from_memory(rows->data(), rows->size(), image.width, image.height, bands, VIPS_FORMAT_UCHAR));
  if (!out) return out;
  out->Type = gray ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB;
  if (photo.dpi_x > 0 && photo.dpi_y > 0) {
    out->Xres = photo.dpi_x / 25.4;
    out->Yres = photo.dpi_y / 25.4;
    vips_image_set_string(out.get(), "resolution-unit", "in");
  }
  if (with_metadata) {
    if (!meta.exif.empty())
      vips_image_set_blob_copy(out.get(), VIPS_META_EXIF_NAME, meta.exif.data(), meta.exif.size());
    if (!meta.xmp.empty()) vips_image_set_blob_copy(out.get(), VIPS_META_XMP_NAME, meta.xmp.data(), meta.xmp.size());
    if (!meta.icc.empty() && ProfileFits(meta.icc, gray)) {
      vips_image_set_blob_copy(out.get(), VIPS_META_ICC_NAME, meta.icc.data(), meta.icc.size());
    }
  }
  // libvips writes this into the EXIF block it saves.
  vips_image_set_int(out.get(), VIPS_META_ORIENTATION, 1);
  return out;
}

// The savers' settings. PNG: zlib level 6 with the filter chosen row by row,
// as ImageMagick does: within a few percent of its size, in less time
// (libvips' default, no filter, is much larger on photos; see
// bench/photo_codecs_speed).
// JPEG: a JPEG's own quality and kind of Huffman tables where asked, else
// the quality given and standard tables; the chroma subsampling of a JPEG
// source or finer, else libvips' rule (full-resolution colour from quality
// 90 up); progressive whenever the source was.
int Save(VipsImage* image, const Photo& photo, const EncodeOptions& options, bool with_alpha, void** buffer,
         size_t* size) {
  const gboolean strip = options.keep_metadata ? FALSE : TRUE;
  switch (options.format) {
    case PhotoFormat::kJpeg: {
      const JpegEncoding& source = photo.jpeg;
      const bool like_source = options.jpeg_like_source && source.quality > 0;
      // Never less colour resolution than a JPEG source had: libjpeg
      // through libvips subsamples 4:2:0 or not at all, so a source of
      // 4:2:2 (or any other) is written at full resolution, 4:4:4.
      VipsForeignSubsample subsample = VIPS_FOREIGN_SUBSAMPLE_AUTO;
      if (source.quality > 0 && !photo.gray) {
        const bool half_both = source.subsampling_x == 2 && source.subsampling_y == 2;
        subsample = half_both ? VIPS_FOREIGN_SUBSAMPLE_ON : VIPS_FOREIGN_SUBSAMPLE_OFF;
        if (!like_source && options.quality >= 90) subsample = VIPS_FOREIGN_SUBSAMPLE_OFF;
      }
      // Optimised Huffman tables make the file a tenth to a quarter smaller
      // but cost a second pass over the whole picture (bench/
      // photo_codecs_speed shows both): only for a source that had them, so
      // that it keeps its size; a photo with standard ones (as from most
      // cameras) keeps its size without. libjpeg optimises a progressive
      // file's tables in any case.
      const gboolean optimize = like_source && source.optimized_huffman ? TRUE : FALSE;
      return vips_jpegsave_buffer(image, buffer, size, "Q", like_source ? source.quality : options.quality,
                                  "subsample_mode", subsample, "interlace", source.progressive ? TRUE : FALSE,
                                  "optimize_coding", optimize, "strip", strip, nullptr);
    }
    case PhotoFormat::kPng:
      return vips_pngsave_buffer(image, buffer, size, "compression", 6, "filter", VIPS_FOREIGN_PNG_FILTER_ALL,
                                 "strip", strip, nullptr);
    case PhotoFormat::kTiff: {
      // A TIFF's own compression (photo/tiff_directory), else LZW.
      const int kept = TiffCompressionKept(photo.tiff_compression);
      const VipsForeignTiffCompression compression = kept == 1       ? VIPS_FOREIGN_TIFF_COMPRESSION_NONE
                                                     : kept == 8     ? VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE
                                                     : kept == 32773 ? VIPS_FOREIGN_TIFF_COMPRESSION_PACKBITS
                                                                     : VIPS_FOREIGN_TIFF_COMPRESSION_LZW;
      const VipsForeignTiffPredictor predictor =
          compression == VIPS_FOREIGN_TIFF_COMPRESSION_NONE || compression == VIPS_FOREIGN_TIFF_COMPRESSION_PACKBITS
              ? VIPS_FOREIGN_TIFF_PREDICTOR_NONE
              : VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL;
      return vips_tiffsave_buffer(image, buffer, size, "compression", compression, "predictor", predictor, "strip",
                                  strip, nullptr);
    }
    case PhotoFormat::kBmp:
      // libvips has no BMP saver of its own; ImageMagick's (through libvips)
      // writes the classic 24-bit form, or 32 bits when there is alpha, a
      // gray picture too: its 8-bit form is a palette it builds lossily.
      return vips_magicksave_buffer(image, buffer, size, "format", with_alpha ? "bmp" : "bmp3", "strip", strip,
                                    nullptr);
  }
  return -1;
}

// The 8-bit picture in memory (the assembled output) averaged over blocks of
// factor x factor pixels, rounded, the odd rows and columns at the ends left
// out: a thumbnail's first step, far cheaper on a big picture than the
// shrink inside libvips' thumbnail.
ImageRef BoxShrunk(VipsImage* picture, int factor) {
  const int bands = picture->Bands;
  const int width = picture->Xsize / factor, height = picture->Ysize / factor;
  if (picture->BandFmt != VIPS_FORMAT_UCHAR || picture->data == nullptr || width < 1 || height < 1)
    return ImageRef();
  const size_t in_row = VIPS_IMAGE_SIZEOF_LINE(picture);
  const size_t columns = static_cast<size_t>(width) * factor * bands;  // the values the blocks cover
  const size_t out_row = static_cast<size_t>(width) * bands;
  std::vector<uint32_t> column_sums(columns);  // a block row's values summed down its rows (255 x factor at most)
  std::vector<uint8_t> out(out_row * height);
  const uint64_t area = static_cast<uint64_t>(factor) * static_cast<uint64_t>(factor);
  for (int y = 0; y < height; ++y) {
    std::fill(column_sums.begin(), column_sums.end(), 0u);
    for (int k = 0; k < factor; ++k) {
      const uint8_t* row =
          reinterpret_cast<const uint8_t*>(picture->data) + (static_cast<size_t>(y) * factor + k) * in_row;
      for (size_t i = 0; i < columns; ++i) column_sums[i] += row[i];
    }
    for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
      for (int b = 0; b < bands; ++b) {
        uint64_t sum = 0;
        for (int i = 0; i < factor; ++i) sum += column_sums[(x * factor + i) * bands + b];
        out[y * out_row + x * bands + b] = static_cast<uint8_t>((sum + area / 2) / area);
      }
    }
  }
  ImageRef small(vips_image_new_from_memory_copy(out.data(), out.size(), width, height, bands, VIPS_FORMAT_UCHAR));
  if (small) small->Type = picture->Type;
  return small;
}

// A fresh EXIF thumbnail of the filtered, upright picture that fits in
// side x side, as a JPEG with no metadata of its own; alpha left out.
bool Thumbnail(VipsImage* picture, int side, std::vector<uint8_t>* jpeg) {
  VipsImage* step = nullptr;
  // libvips' thumbnail finishes from a box average at about twice the side
  // (or from the picture itself where that cannot be made).
  const ImageRef smaller = BoxShrunk(picture, std::max(1, std::min(picture->Xsize, picture->Ysize) / (2 * side)));
  VipsImage* from = smaller ? smaller.get() : picture;
  if (vips_thumbnail_image(from, &step, side, "height", side, "size", VIPS_SIZE_DOWN, nullptr) != 0) return false;
  ImageRef small(step);
  if (vips_image_hasalpha(small.get())) {
    if (vips_extract_band(small.get(), &step, 0, "n", small->Bands - 1, nullptr) != 0) return false;
    small.reset(step);
  }
  void* buffer = nullptr;
  size_t size = 0;
  if (vips_jpegsave_buffer(small.get(), &buffer, &size, "Q", 85, "strip", TRUE, nullptr) != 0) return false;
  const uint8_t* data = static_cast<const uint8_t*>(buffer);
  jpeg->assign(data, data + size);
  g_free(buffer);
  return true;
}

// The EXIF block of a JPEG or PNG output carries a new thumbnail where the
// file had one. Without it the block goes as it is, thumbnail-less.
void RemakeThumbnail(const EncodeOptions& options, VipsImage* assembled, PhotoMetadata* kept) {
  const bool holds = options.format == PhotoFormat::kJpeg || options.format == PhotoFormat::kPng;
  if (!options.keep_metadata || !holds || kept->thumbnail_side <= 0 || kept->exif.empty()) return;
  std::vector<uint8_t> jpeg, exif = kept->exif;
  if (!Thumbnail(assembled, kept->thumbnail_side, &jpeg) || !PutExifThumbnail(&exif, jpeg)) {
    vips_error_clear();
    return;
  }
  kept->exif = std::move(exif);
  vips_image_set_blob_copy(assembled, VIPS_META_EXIF_NAME, kept->exif.data(), kept->exif.size());
}

}  // namespace

bool PhotoFormatWritable(PhotoFormat) { return true; }

bool JpegProgressiveWritable() { return true; }

const char* PhotoCodecLimits() {
  return "A BMP file holds no metadata: EXIF, IPTC, XMP, the comment and the ICC profile are left\n"
         "out there, and each picture says which it had. A TIFF file keeps the comment as its image\n"
         "description unless the EXIF block has one.\n";
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
  if (!EncodeRequestValid(photo, options, error)) return false;
  if (!StartVips(error)) return false;
  const bool with_alpha = !photo.alpha.empty() && options.format != PhotoFormat::kJpeg;
  const bool gray = photo.gray && AllGray(photo.image);
  // PNG's chunks are all written by photo/png_chunks after libvips; a PNG's
  // text takes its places in the XMP and EXIF of other formats.
  const bool png = options.format == PhotoFormat::kPng;
  PhotoMetadata kept = photo.metadata;
  if (!png) PutPngTextInPlace(&kept);
  if (!ProfileFits(kept.icc, gray)) kept.icc.clear();
  std::vector<uint8_t> rows;
  ImageRef assembled = Assemble(photo, kept, gray, with_alpha, options.keep_metadata && !png, &rows);
  if (assembled) RemakeThumbnail(options, assembled.get(), &kept);
  void* buffer = nullptr;
  size_t size = 0;
  if (!assembled || Save(assembled.get(), photo, options, with_alpha, &buffer, &size) != 0) {
    *error = std::string("cannot encode as ") + PhotoFormatName(options.format) + " (" + VipsReason() + ")";
    return false;
  }
  const uint8_t* data = static_cast<const uint8_t*>(buffer);
  bytes->assign(data, data + size);
  g_free(buffer);
  if (options.keep_metadata && !AddMetadataLibvipsLeavesOut(kept, options.format, bytes, error)) {
    *error = std::string("cannot encode as ") + PhotoFormatName(options.format) + " (" + *error + ")";
    return false;
  }
  return true;
}
