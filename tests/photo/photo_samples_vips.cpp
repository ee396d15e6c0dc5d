// The native test files, written with libvips directly (not through the
// codecs under test), and exiftool as an outside reader of the orientation.
#include <vips/vips.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "gtest/gtest.h"
#include "tests/photo/photo_samples.h"

const char kSampleExifDescription[] = "chromaline sample description";
const char kSampleXmpMarker[] = "chromaline-sample-xmp";

namespace {

void Check(int result, const std::string& what) {
  if (result != 0) {
    const std::string reason = vips_error_buffer();
    vips_error_clear();
    throw std::runtime_error(what + ": " + reason);
  }
}

void StartVips() {
  static const int started = VIPS_INIT("photo_samples");
  Check(started, "vips start");
}

void Put16(std::vector<uint8_t>* out, uint16_t v) { out->insert(out->end(), {uint8_t(v), uint8_t(v >> 8)}); }
void Put32(std::vector<uint8_t>* out, uint32_t v) {
  out->insert(out->end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
void Put32Be(std::vector<uint8_t>* out, uint32_t v) {
  out->insert(out->end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}
void PutText(std::vector<uint8_t>* out, const char* text) {
  out->insert(out->end(), text, text + std::strlen(text));
}

// An EXIF block as cameras write it: "Exif" header, little-endian TIFF
// structure, IFD0 with the image description and the orientation.
std::vector<uint8_t> SampleExif(int orientation) {
  std::vector<uint8_t> exif;
  PutText(&exif, "Exif");
  exif.insert(exif.end(), {0, 0, 'I', 'I', 42, 0});
  Put32(&exif, 8);  // IFD0 follows the 8-byte TIFF header
  const uint32_t text_size = static_cast<uint32_t>(std::strlen(kSampleExifDescription) + 1);
  Put16(&exif, 2);
  Put16(&exif, 0x010e);  // ImageDescription, ASCII, after the IFD
  Put16(&exif, 2);
  Put32(&exif, text_size);
  Put32(&exif, 8 + 2 + 2 * 12 + 4);
  Put16(&exif, 0x0112);  // Orientation, SHORT
  Put16(&exif, 3);
  Put32(&exif, 1);
  Put16(&exif, static_cast<uint16_t>(orientation));
  Put16(&exif, 0);
  Put32(&exif, 0);  // no next IFD
  exif.insert(exif.end(), kSampleExifDescription, kSampleExifDescription + text_size);
  return exif;
}

std::string SampleXmp() {
  return std::string(
             "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>"
             "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
             "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>"
             "<dc:title>") +
         kSampleXmpMarker +
         "</dc:title></rdf:Description></rdf:RDF></x:xmpmeta>"
         "<?xpacket end='w'?>";
}

struct ImageUnref {
  void operator()(VipsImage* image) const { g_object_unref(image); }
};
using ImageRef = std::unique_ptr<VipsImage, ImageUnref>;

ImageRef FromMemory(const void* data, size_t size, int width, int height, int bands, VipsBandFormat format,
                    VipsInterpretation interpretation) {
  StartVips();
  ImageRef image(vips_image_new_from_memory_copy(data, size, width, height, bands, format));
  if (!image) Check(-1, "vips image");
  image->Type = interpretation;
  return image;
}

std::vector<uint8_t> Rgb(const Image& image) {
  std::vector<uint8_t> rgb(image.bgr.size());
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = image.bgr[i + 2];
    rgb[i + 1] = image.bgr[i + 1];
    rgb[i + 2] = image.bgr[i];
  }
  return rgb;
}

void Save(VipsImage* image, const std::string& path) {
  if (path.size() > 4 && path.substr(path.size() - 4) == ".jpg") {
    Check(vips_jpegsave(image, path.c_str(), "Q", 95, nullptr), path);
  } else {
    Check(vips_image_write_to_file(image, path.c_str(), nullptr), path);
  }
}

}  // namespace

void MakeRgbFile(const std::string& path, const Image& stored, int orientation) {
  const std::vector<uint8_t> rgb = Rgb(stored);
  ImageRef image = FromMemory(rgb.data(), rgb.size(), stored.width, stored.height, 3, VIPS_FORMAT_UCHAR,
                              VIPS_INTERPRETATION_sRGB);
  const std::vector<uint8_t> exif = SampleExif(orientation);
  vips_image_set_blob_copy(image.get(), VIPS_META_EXIF_NAME, exif.data(), exif.size());
  vips_image_set_int(image.get(), VIPS_META_ORIENTATION, orientation);
  Save(image.get(), path);
}

void MakeRgbaFile(const std::string& path, const Image& colours, const std::vector<uint8_t>& alpha, int bits) {
  const std::vector<uint8_t> rgb = Rgb(colours);
  std::vector<uint8_t> rgba;
  for (size_t i = 0; i < alpha.size(); ++i)
    rgba.insert(rgba.end(), {rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2], alpha[i]});
  ImageRef image = FromMemory(rgba.data(), rgba.size(), colours.width, colours.height, 4, VIPS_FORMAT_UCHAR,
                              VIPS_INTERPRETATION_sRGB);
  if (bits != 8) throw std::runtime_error("MakeRgbaFile: 8 bits only");
  Save(image.get(), path);
}

void MakeSixteenBitFile(const std::string& path, const std::vector<uint16_t>& rgba, int width, bool with_alpha) {
  std::vector<uint16_t> samples;
  for (int x = 0; x < width; ++x) samples.insert(samples.end(), &rgba[x * 4], &rgba[x * 4] + (with_alpha ? 4 : 3));
  ImageRef image = FromMemory(samples.data(), samples.size() * 2, width, 1, with_alpha ? 4 : 3, VIPS_FORMAT_USHORT,
                              VIPS_INTERPRETATION_RGB16);
  Save(image.get(), path);
}

void MakeFileWithMetadata(const std::string& path, const Image& stored, int orientation) {
  const std::vector<uint8_t> rgb = Rgb(stored);
  ImageRef image = FromMemory(rgb.data(), rgb.size(), stored.width, stored.height, 3, VIPS_FORMAT_UCHAR,
                              VIPS_INTERPRETATION_sRGB);
  const std::vector<uint8_t> exif = SampleExif(orientation);
  const std::string xmp = SampleXmp();
  const std::vector<uint8_t> icc = SampleIccProfile();
  vips_image_set_blob_copy(image.get(), VIPS_META_EXIF_NAME, exif.data(), exif.size());
  vips_image_set_blob_copy(image.get(), VIPS_META_XMP_NAME, xmp.data(), xmp.size());
  vips_image_set_blob_copy(image.get(), VIPS_META_ICC_NAME, icc.data(), icc.size());
  vips_image_set_int(image.get(), VIPS_META_ORIENTATION, orientation);
  Save(image.get(), path);
}

// A small but well-formed ICC v2 display profile (header, one description
// tag): enough for every PNG, JPEG and TIFF writer to embed it.
std::vector<uint8_t> SampleIccProfile() {
  std::vector<uint8_t> desc;
  PutText(&desc, "desc");
  Put32Be(&desc, 0);
  const char name[] = "chromaline sample profile";
  Put32Be(&desc, sizeof(name));
  desc.insert(desc.end(), name, name + sizeof(name));
  desc.resize(desc.size() + 4 + 4 + 2 + 1 + 67, 0);  // no Unicode, no ScriptCode text
  while (desc.size() % 4) desc.push_back(0);
  const uint32_t desc_offset = 128 + 4 + 12;
  std::vector<uint8_t> icc;
  Put32Be(&icc, desc_offset + static_cast<uint32_t>(desc.size()));
  Put32Be(&icc, 0);
  Put32Be(&icc, 0x02100000);
  PutText(&icc, "mntrRGB XYZ ");
  for (uint16_t part : {2026, 1, 1, 0, 0, 0}) icc.insert(icc.end(), {uint8_t(part >> 8), uint8_t(part)});
  PutText(&icc, "acsp");
  icc.resize(68, 0);
  for (uint32_t v : {0x0000f6d6u, 0x00010000u, 0x0000d32du}) Put32Be(&icc, v);  // D50
  icc.resize(128, 0);
  Put32Be(&icc, 1);
  PutText(&icc, "desc");
  Put32Be(&icc, desc_offset);
  Put32Be(&icc, static_cast<uint32_t>(desc.size()));
  icc.insert(icc.end(), desc.begin(), desc.end());
  return icc;
}

std::string CommandOutput(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return "";
  }
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << command << "\n" << text;
  return text;
}

int ExifOrientationOfFile(const std::string& path) {
  const std::string text = CommandOutput("exiftool -s3 -n -Orientation '" + path + "' 2>/dev/null");
  int orientation = -1;
  if (std::sscanf(text.c_str(), "%d", &orientation) != 1) orientation = -1;
  return orientation;
}
