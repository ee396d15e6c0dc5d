// Photo files for the command line: a picture is read upright (its EXIF
// orientation undone), reduced to the 8-bit blue-green-red rows the plug-in
// filters, with what the filters must not touch kept aside (alpha, EXIF,
// IPTC, XMP, comment, ICC profile), and encoded back to bytes in the format
// asked for.
// Encoding never writes a file: the bytes go to the safe writer, which alone
// replaces files.
//
// ReadPhoto and EncodePhoto may be called from several threads at once (one
// picture decoding while another is encoded); each call starts what its
// codec library needs by itself. Natively libvips is shut down at exit, so
// no call may still be running then (join the workers before returning
// from main).
#ifndef CHROMALINE_PHOTO_PHOTO_IO_H_
#define CHROMALINE_PHOTO_PHOTO_IO_H_

#include <cstdint>
#include <string>
#include <vector>

#include "photo/image.h"

enum class PhotoFormat { kPng, kJpeg, kBmp, kTiff };

// How a JPEG file was encoded, so that a JPEG written from it can be alike.
struct JpegEncoding {
  int quality = 0;                 // estimated from its quantisation tables, 1..100; 0: the file was no JPEG
  bool chroma_subsampled = false;  // colour stored at less than full resolution (4:2:0, 4:2:2, ...)
  int subsampling_x = 1;           // luma samples to a chroma sample across (2 in 4:2:0 and 4:2:2)
  int subsampling_y = 1;           // and down (2 in 4:2:0)
  bool progressive = false;
  bool optimized_huffman = false;  // Huffman tables made for the picture rather than the standard ones
  int components = 0;              // colour channels stored (1: gray)
};

// What travels with a picture from its file to the output. Natively the
// EXIF block and the XMP packet are made to describe the upright picture on
// reading (orientation 1, no thumbnail of the old pixels).
struct PhotoMetadata {
  std::vector<uint8_t> exif;  // the EXIF block ("Exif\0\0" and a TIFF structure)
  std::vector<uint8_t> iptc;  // the IPTC-IIM records (keywords, caption, by-line, ...)
  std::vector<uint8_t> xmp;   // the XMP packet
  std::string comment;        // the JPEG comment (a PNG's "Comment" text)
  std::vector<uint8_t> icc;   // the ICC colour profile
  // A PNG file's other chunks, whole (length, type, data, CRC) in the
  // file's order: its text chunks of every keyword and kind, the colour
  // chunks that still describe the pixels (gAMA, cHRM, sRGB) and the chunks
  // PNG marks safe to copy. A PNG output carries them as they are; a JPEG
  // or TIFF output the standard keywords in their XMP and EXIF places
  // (photo/png_chunks.h).
  std::vector<uint8_t> png_chunks;
  // The longest side of the EXIF thumbnail the file had, which is not kept
  // (it shows the old pixels): natively a new one of about that size is
  // made from the filtered picture. 0: there was none.
  int thumbnail_side = 0;
};

struct Photo {
  Image image;                 // upright, 8 bits per channel, what the plug-in filters
  std::vector<uint8_t> alpha;  // empty, or width * height values put back unchanged
  PhotoMetadata metadata;
  int orientation = 1;   // the EXIF orientation that was undone on reading (1 = none)
  int source_bits = 8;   // bits per channel of the file (16: reduced to 8 on reading)
  bool cmyk = false;     // the file's colour model is CMYK (turned into RGB on reading)
  bool palette = false;  // the file's colours are a palette (written back as full colours)
  bool gray = false;     // the file had one colour channel: written so again while the picture stays gray
  JpegEncoding jpeg;     // of a JPEG file; natively a progressive one is written progressive again
  // Of a TIFF file: its compression (the Compression tag: 1 none, 5 LZW,
  // 8 Deflate, ...), which a TIFF written from it keeps; 0 for other files.
  int tiff_compression = 0;
  // The resolution the file gave (JFIF density, PNG pHYs, TIFF tags), in
  // pixels per inch across and down the upright picture; 0 when it gave
  // none. Written again into formats that hold one.
  double dpi_x = 0;
  double dpi_y = 0;
  // The metadata the file holds that this build cannot read ("EXIF, IPTC,
  // XMP"), named in a note: --in-place leaves such a picture as it is.
  std::string unread;
  // What reading did that the user should hear of (metadata that could not
  // be read, a rule of conversion), a line each, without the file name.
  std::vector<std::string> notes;
};

struct EncodeOptions {
  PhotoFormat format = PhotoFormat::kPng;
  int quality = 90;  // JPEG, 1..100
  // JPEG from a JPEG: its estimated quality, its chroma subsampling and (natively)
  // its kind of Huffman tables instead of `quality` and the defaults.
  bool jpeg_like_source = false;
  bool keep_metadata = true;
};

// The format a file name's extension asks for (.png, .jpg/.jpeg, .bmp,
// .tif/.tiff, any case); false for anything else.
bool PhotoFormatFromName(const std::string& name, PhotoFormat* format);
// The format of a file from its first bytes (signature), whatever its name;
// false for anything else.
bool PhotoFormatOfBytes(const uint8_t* data, size_t size, PhotoFormat* format);
// The format named on the command line ("png", "jpeg"/"jpg", "bmp", "tiff"/"tif").
bool PhotoFormatFromText(const std::string& text, PhotoFormat* format);
const char* PhotoFormatName(PhotoFormat format);
// Whether this build's JPEG encoder writes progressive files (natively a
// progressive source is written progressive again).
bool JpegProgressiveWritable();
// Whether this build can write the format (the Windows codecs may lack some).
bool PhotoFormatWritable(PhotoFormat format);
// What this build's codecs cannot do, for --help: lines of text, each
// ending in a newline; empty when everything above is available.
const char* PhotoCodecLimits();

// Reads a picture file (its name in UTF-8). On failure returns false and
// sets *error to a line naming the file and the reason.
bool ReadPhoto(const std::string& path, Photo* photo, std::string* error);

// Encodes the picture (with its alpha and metadata where the format holds
// them) into *bytes. JPEG holds no alpha: the alpha plane is left out there.
// On failure returns false with the reason in *error.
bool EncodePhoto(const Photo& photo, const EncodeOptions& options, std::vector<uint8_t>* bytes, std::string* error);
// The metadata blocks of the picture that a file of this format, written
// by this build, cannot hold: their names ("EXIF, XMP, ICC profile"),
// empty when everything is kept (or options.keep_metadata is off).
std::string MetadataLeftOut(const Photo& photo, const EncodeOptions& options);
// The checks EncodePhoto makes before encoding (a picture there, an alpha
// plane of its size, a JPEG quality in 1..100), for callers that want to
// refuse a request before any work.
bool EncodeRequestValid(const Photo& photo, const EncodeOptions& options, std::string* error);

#endif  // CHROMALINE_PHOTO_PHOTO_IO_H_
