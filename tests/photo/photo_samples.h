// Pictures and small real files for the photo codec tests: blocks of
// colour in every EXIF orientation; natively, files libvips writes with a
// given orientation, alpha, 16 bits per channel, EXIF/XMP/ICC.
#ifndef CHROMALINE_TESTS_PHOTO_PHOTO_SAMPLES_H_
#define CHROMALINE_TESTS_PHOTO_PHOTO_SAMPLES_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "photo/image.h"
#include "photo/photo_io.h"

// A picture of 8x8 blocks, each block its own colour: no two rotations or
// mirror images of it are alike.
Image BlockPicture(int blocks_across, int blocks_down);

// The pixels a camera stores for an upright picture under an EXIF
// orientation (1..8), and the upright picture of stored pixels.
Image StoredForOrientation(const Image& upright, int orientation);
Image Upright(const Image& stored, int orientation);

// Reads a picture that must read (a test failure otherwise); encodes a
// picture to `path` and reads the file back.
Photo MustRead(const std::string& path);
Photo RoundTrip(const Photo& photo, const EncodeOptions& options, const std::string& path);

struct FormatCase {
  PhotoFormat format;
  const char* extension;
};
// The formats that give back the very pixels written.
extern const FormatCase kLosslessFormats[3];

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Sets the EXIF orientation of a JPEG whose EXIF says 1 (the byte changed
// in place: JPEG segments carry no checksum). False when there is none.
bool SetJpegOrientation(std::vector<uint8_t>* jpeg, int orientation);

// Bytes in the form ImageMagick gives them in a PNG "Raw profile type"
// text chunk, made here independently of the codecs: a line end, the type,
// a line end, the count in eight columns, a line end, then the bytes in
// lower-case hex, 36 to a line, every line ended. `line_end` is what ends a
// line: "\n" for the chunk itself, the two characters `\n` for the text
// `convert -set` takes.
std::string ImageMagickRawProfile(const std::string& type, const std::vector<uint8_t>& bytes,
                                  const std::string& line_end = "\n");

// Numbers written in one byte order (big: Motorola's "MM", else Intel's
// "II"), and TIFF directory entries: tag, type, count, value (a SHORT
// value in the entry's first two bytes).
struct OrderedWriter {
  bool big;
  std::vector<uint8_t> bytes;
  void U16(unsigned v);
  void U32(uint32_t v);
  void Entry(unsigned tag, unsigned type, uint32_t count, uint32_t value);
};

// A PNG file of the signature, a 1x1 header, the chunks given (type, data;
// CRCs computed), image data and its end.
std::vector<uint8_t> PngFile(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks);

// Whether `text` occurs in `bytes`.
bool Contains(const std::vector<uint8_t>& bytes, const std::string& text);

// Whether the test runs under Wine, whose WIC lacks parts of Windows' (the
// tests that meet such a part say which).
bool RunningUnderWine();

// Native only (libvips): files in the format of the path's extension.
void MakeRgbFile(const std::string& path, const Image& stored, int orientation);
void MakeRgbaFile(const std::string& path, const Image& colours, const std::vector<uint8_t>& alpha, int bits);
// One row of 16-bit red, green, blue, alpha quadruples (alpha dropped unless
// with_alpha).
void MakeSixteenBitFile(const std::string& path, const std::vector<uint16_t>& rgba, int width, bool with_alpha);
// With an EXIF block (the description below and the orientation), an XMP
// packet holding the marker below, and the ICC profile below.
void MakeFileWithMetadata(const std::string& path, const Image& stored, int orientation);

extern const char kSampleExifDescription[];
extern const char kSampleXmpMarker[];
std::vector<uint8_t> SampleIccProfile();

// What a shell command prints; the test fails when it cannot be run or
// exits with other than 0.
std::string CommandOutput(const std::string& command);

// The orientation of a file as exiftool reads it (-1 when it cannot).
int ExifOrientationOfFile(const std::string& path);

#endif  // CHROMALINE_TESTS_PHOTO_PHOTO_SAMPLES_H_
