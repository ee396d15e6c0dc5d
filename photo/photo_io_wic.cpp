// The photo codecs on Windows, on the Windows Imaging Component: any format
// a WIC decoder is installed for, turned upright from the EXIF orientation
// with WIC's flip-rotator, converted to 8-bit BGR (and alpha) by WIC's
// format converter (CMYK through its profile by WIC's colour transform where
// the system has one: photo/cmyk_transform_wic); the ICC profile travels as
// the frame's colour context.
// Encoding goes to a stream in memory. The other metadata blocks, and how
// a JPEG was encoded, are read from the file's bytes and written into the
// encoded bytes here (photo/jpeg_segments, photo/png_chunks): Wine's WIC has
// no JPEG metadata reader and few writers.
#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/file_name.h"
#include "base/scoped_win32.h"
#include "photo/cmyk_transform_wic.h"
#include "photo/codec_rules.h"
#include "photo/jpeg_encoding.h"
#include "photo/jpeg_segments.h"
#include "photo/tiff_directory.h"
#include "photo/upright.h"
#include "photo/photo_io.h"
#include "photo/photo_io_wic.h"
#include "photo/png_chunks.h"

namespace {

std::string Reason(HRESULT hr) {
  struct Known {
    HRESULT code;
    const char* text;
  };
  static const Known kKnown[] = {
      {WINCODEC_ERR_COMPONENTNOTFOUND, "no decoder for this kind of file"},
      {WINCODEC_ERR_UNKNOWNIMAGEFORMAT, "unknown picture format"},
      {WINCODEC_ERR_BADHEADER, "damaged file header"},
      {WINCODEC_ERR_BADIMAGE, "damaged picture data"},
      {WINCODEC_ERR_BADSTREAMDATA, "damaged picture data"},
      {WINCODEC_ERR_STREAMREAD, "the file ends too early"},
      {WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT, "unsupported pixel format"},
      {WINCODEC_ERR_UNSUPPORTEDOPERATION, "not supported by the Windows codecs"},
  };
  for (const Known& known : kKnown) {
    if (known.code == hr) return known.text;
  }
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(hr), 0, text, sizeof(text), nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.')) --length;
  if (length > 0) return std::string(text, length);
  char code[32];
  std::snprintf(code, sizeof(code), "WIC error 0x%08lx", static_cast<unsigned long>(hr));
  return code;
}

HRESULT Factory(ScopedComPtr<IWICImagingFactory>* factory) {
  return CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                          reinterpret_cast<void**>(factory->Out()));
}

// Bits per channel, whether the pixel format may carry alpha, and whether
// it has at most 8 bits a pixel (a palette's depth, or a gray one's).
void DescribeFormat(IWICImagingFactory* factory, const WICPixelFormatGUID& format, int* bits, bool* alpha,
                    bool* low_depth) {
  *bits = 8;
  *alpha = false;
  *low_depth = false;
  ScopedComPtr<IWICComponentInfo> component;
  if (FAILED(factory->CreateComponentInfo(format, component.Out()))) return;
  ScopedComPtr<IWICPixelFormatInfo> info;
  if (FAILED(component->QueryInterface(IID_IWICPixelFormatInfo, reinterpret_cast<void**>(info.Out())))) return;
  UINT pixel_bits = 0, channels = 0;
  if (SUCCEEDED(info->GetBitsPerPixel(&pixel_bits)) && SUCCEEDED(info->GetChannelCount(&channels)) && channels > 0) {
    *bits = static_cast<int>(pixel_bits / channels) > 8 ? static_cast<int>(pixel_bits / channels) : 8;
    *low_depth = pixel_bits <= 8;
  }
  ScopedComPtr<IWICPixelFormatInfo2> info2;
  BOOL transparency = FALSE;
  if (SUCCEEDED(component->QueryInterface(IID_IWICPixelFormatInfo2, reinterpret_cast<void**>(info2.Out()))) &&
      SUCCEEDED(info2->SupportsTransparency(&transparency))) {
    *alpha = transparency != FALSE;
  } else {
    static const GUID* const kAlphaFormats[] = {&GUID_WICPixelFormat32bppBGRA,  &GUID_WICPixelFormat32bppRGBA,
                                                &GUID_WICPixelFormat64bppRGBA,  &GUID_WICPixelFormat64bppBGRA,
                                                &GUID_WICPixelFormat32bppPBGRA, &GUID_WICPixelFormat64bppPRGBA};
    for (const GUID* known : kAlphaFormats) *alpha = *alpha || IsEqualGUID(*known, format);
  }
}

bool GrayFormat(const WICPixelFormatGUID& format) {
  static const GUID* const kGray[] = {
      &GUID_WICPixelFormatBlackWhite,         &GUID_WICPixelFormat2bppGray,
      &GUID_WICPixelFormat4bppGray,           &GUID_WICPixelFormat8bppGray,
      &GUID_WICPixelFormat16bppGray,          &GUID_WICPixelFormat16bppGrayFixedPoint,
      &GUID_WICPixelFormat16bppGrayHalf,      &GUID_WICPixelFormat32bppGrayFloat,
      &GUID_WICPixelFormat32bppGrayFixedPoint};
  for (const GUID* gray : kGray) {
    if (IsEqualGUID(*gray, format)) return true;
  }
  return false;
}

// The metadata blocks of a JPEG or PNG file, the ICC profile among them
// (Decode keeps the decoder's where it gives one), and how a JPEG was
// encoded, from the file's header part; what could not be read is said in
// photo->notes.
void ReadFileMetadata(const std::string& path, Photo* photo) {
  FILE* file = OpenFile(path, "rb");
  if (!file) return;
  std::vector<uint8_t> head = ReadJpegHead(file);
  const bool jpeg = !head.empty();
  if (!jpeg && std::fseek(file, 0, SEEK_SET) == 0) head = ReadPngHead(file);
  TiffHead tiff;
  if (head.empty() && ReadTiffHead(file, &tiff)) {
    photo->tiff_compression = static_cast<int>(TiffDirectoryNumber(tiff, 259));
    // Named, so that it is not lost unsaid (and --in-place leaves the file).
    photo->unread = TiffMetadataNames(tiff.header, tiff.directory.data(), tiff.directory.size());
    if (!photo->unread.empty()) {
      photo->notes.push_back("its " + photo->unread +
                             " cannot be read from a TIFF file by the Windows build: left out");
    }
  }
  std::fclose(file);
  if (head.empty()) return;
  PhotoMetadata& meta = photo->metadata;
  std::string problem =
      jpeg ? ReadJpegMetadata(head.data(), head.size(), &meta) : ReadPngMetadata(head.data(), head.size(), &meta);
  if (jpeg) JpegEncodingFromHead(head.data(), head.size(), &photo->jpeg);
  if (!problem.empty()) photo->notes.push_back(problem);
}

// The EXIF orientation from WIC's metadata reader (JPEG's APP1, TIFF's
// IFD0); where the reader does not show it (Wine's WIC has no JPEG
// metadata reader, and PNG's eXIf has none), from the EXIF block read from
// the file.
int Orientation(IWICBitmapFrameDecode* frame, const std::vector<uint8_t>& exif) {
  ScopedComPtr<IWICMetadataQueryReader> reader;
  if (SUCCEEDED(frame->GetMetadataQueryReader(reader.Out()))) {
    for (const wchar_t* query : {L"/app1/ifd/{ushort=274}", L"/ifd/{ushort=274}"}) {
      PROPVARIANT value;
      PropVariantInit(&value);
      int orientation = 0;
      if (SUCCEEDED(reader->GetMetadataByName(query, &value)) && value.vt == VT_UI2) orientation = value.uiVal;
      PropVariantClear(&value);
      if (orientation >= 1 && orientation <= 8) return orientation;
    }
  }
  const int orientation = ExifOrientation(exif);
  return orientation ? orientation : 1;
}

// The turns that undo an EXIF orientation: first the rotation (clockwise),
// then the mirror, each its own step so the order is plain.
struct Turn {
  WICBitmapTransformOptions rotate;
  WICBitmapTransformOptions flip;
};
const Turn kTurns[9] = {
    {WICBitmapTransformRotate0, WICBitmapTransformRotate0},           // (unused)
    {WICBitmapTransformRotate0, WICBitmapTransformRotate0},           // 1 upright
    {WICBitmapTransformRotate0, WICBitmapTransformFlipHorizontal},    // 2 mirrored
    {WICBitmapTransformRotate180, WICBitmapTransformRotate0},         // 3 upside down
    {WICBitmapTransformRotate0, WICBitmapTransformFlipVertical},      // 4 mirrored upside down
    {WICBitmapTransformRotate90, WICBitmapTransformFlipHorizontal},   // 5 transposed
    {WICBitmapTransformRotate90, WICBitmapTransformRotate0},          // 6 turned left
    {WICBitmapTransformRotate270, WICBitmapTransformFlipHorizontal},  // 7 transversed
    {WICBitmapTransformRotate270, WICBitmapTransformRotate0},         // 8 turned right
};

HRESULT Transform(IWICImagingFactory* factory, IWICBitmapSource* source, WICBitmapTransformOptions options,
                  ScopedComPtr<IWICBitmapFlipRotator>* out) {
  HRESULT hr = factory->CreateBitmapFlipRotator(out->Out());
  if (SUCCEEDED(hr)) hr = (*out)->Initialize(source, options);
  return hr;
}

std::vector<uint8_t> IccProfile(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame) {
  UINT count = 0;
  if (FAILED(frame->GetColorContexts(0, nullptr, &count)) || count == 0) return {};
  std::vector<ScopedComPtr<IWICColorContext>> contexts(count);
  std::vector<IWICColorContext*> pointers;
  for (ScopedComPtr<IWICColorContext>& context : contexts) {
    factory->CreateColorContext(context.Out());
    pointers.push_back(context.get());
  }
  std::vector<uint8_t> profile;
  UINT actual = 0;
  if (SUCCEEDED(frame->GetColorContexts(count, pointers.data(), &actual))) {
    for (UINT i = 0; i < actual && profile.empty(); ++i) {
      IWICColorContext* context = pointers[i];
      WICColorContextType type;
      UINT size = 0;
      if (context && SUCCEEDED(context->GetType(&type)) && type == WICColorContextProfile &&
          SUCCEEDED(context->GetProfileBytes(0, nullptr, &size)) && size > 0) {
        profile.resize(size);
        if (FAILED(context->GetProfileBytes(size, profile.data(), &size))) profile.clear();
      }
    }
  }
  return profile;
}

// The source's pixels as 8-bit BGR rows and an alpha plane (when it has
// alpha), through WIC's format converter.
HRESULT CopyRows(IWICImagingFactory* factory, IWICBitmapSource* source, bool alpha, Photo* photo) {
  ScopedComPtr<IWICFormatConverter> converter;
  HRESULT hr = factory->CreateFormatConverter(converter.Out());
  if (FAILED(hr)) return hr;
  const WICPixelFormatGUID& target = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
  hr = converter->Initialize(source, target, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
  UINT width = 0, height = 0;
  if (SUCCEEDED(hr)) hr = converter->GetSize(&width, &height);
  if (FAILED(hr)) return hr;
  const size_t pixels = static_cast<size_t>(width) * height;
  Image& image = photo->image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.bgr.resize(pixels * 3);
  photo->alpha.clear();
  if (!alpha)
    return converter->CopyPixels(nullptr, width * 3, static_cast<UINT>(image.bgr.size()), image.bgr.data());
  std::vector<uint8_t> bgra(pixels * 4);
  if (FAILED(hr = converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgra.size()), bgra.data()))) return hr;
  photo->alpha.resize(pixels);
  for (size_t i = 0; i < pixels; ++i) {
    std::memcpy(&image.bgr[i * 3], &bgra[i * 4], 3);
    photo->alpha[i] = bgra[i * 4 + 3];
  }
  return S_OK;
}

HRESULT Decode(IWICImagingFactory* factory, const std::string& path, Photo* photo) {
  ScopedComPtr<IWICBitmapDecoder> decoder;
  HRESULT hr = factory->CreateDecoderFromFilename(WideFromUtf8(path).c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.Out());
  ScopedComPtr<IWICBitmapFrameDecode> frame;
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.Out());
  if (FAILED(hr)) return hr;
  WICPixelFormatGUID format;
  hr = frame->GetPixelFormat(&format);
  if (FAILED(hr)) return hr;
  bool alpha = false, low_depth = false;
  DescribeFormat(factory, format, &photo->source_bits, &alpha, &low_depth);
  photo->cmyk = IsEqualGUID(format, GUID_WICPixelFormat32bppCMYK) ||
                IsEqualGUID(format, GUID_WICPixelFormat64bppCMYK) ||
                IsEqualGUID(format, GUID_WICPixelFormat40bppCMYKAlpha) ||
                IsEqualGUID(format, GUID_WICPixelFormat80bppCMYKAlpha);
  for (const GUID* indexed : {&GUID_WICPixelFormat1bppIndexed, &GUID_WICPixelFormat2bppIndexed,
                              &GUID_WICPixelFormat4bppIndexed, &GUID_WICPixelFormat8bppIndexed}) {
    photo->palette = photo->palette || IsEqualGUID(*indexed, format);
  }
  photo->gray = GrayFormat(format);
  double dpi_x = 0, dpi_y = 0;
  if (SUCCEEDED(frame->GetResolution(&dpi_x, &dpi_y)) && dpi_x > 0 && dpi_y > 0) {
    // To a hundredth: 300 dpi stored as 11811 pixels a metre is 299.9994,
    // which a JPEG's whole-number density would cut to 299.
    photo->dpi_x = std::round(dpi_x * 100) / 100;
    photo->dpi_y = std::round(dpi_y * 100) / 100;
  }
  ReadFileMetadata(path, photo);
  photo->orientation = Orientation(frame.get(), photo->metadata.exif);
  if (photo->orientation >= 5) std::swap(photo->dpi_x, photo->dpi_y);  // turned a quarter: across is down
  // The decoder's profile where it gives one, else the file's (Wine's PNG
  // decoder gives none). A CMYK profile no longer describes the RGB rows.
  std::vector<uint8_t> icc = IccProfile(factory, frame.get());
  if (!icc.empty()) photo->metadata.icc = std::move(icc);
  // A CMYK picture goes through its profile where the system's colour
  // transform does (Wine's does not); else it is turned into RGB by
  // Windows' own rule, which the user should know.
  ScopedComPtr<IWICColorTransform> through_profile;
  if (photo->cmyk && !photo->metadata.icc.empty() &&
      !CmykThroughProfile(factory, frame.get(), photo->metadata.icc, &through_profile)) {
    photo->notes.push_back(
        "its CMYK colour profile is not used by the Windows build: converted to RGB by Windows' "
        "own rule, so the colours may differ from a conversion through the profile");
  }
  if (photo->cmyk) photo->metadata.icc.clear();
  if (photo->jpeg.progressive) {
    photo->notes.push_back(
        "progressive JPEG: a JPEG written from it is baseline (the Windows codecs write no progressive JPEG)");
  }

  const Turn& turn = kTurns[photo->orientation];
  ScopedComPtr<IWICBitmapFlipRotator> rotated, flipped;
  IWICBitmapSource* const colour =
      through_profile ? static_cast<IWICBitmapSource*>(through_profile.get()) : frame.get();
  IWICBitmapSource* source = colour;
  if (turn.rotate != WICBitmapTransformRotate0) {
    if (FAILED(hr = Transform(factory, source, turn.rotate, &rotated))) return hr;
    source = rotated.get();
  }
  if (turn.flip != WICBitmapTransformRotate0) {
    if (FAILED(hr = Transform(factory, source, turn.flip, &flipped))) return hr;
    source = flipped.get();
  }
  // Where the converter has no way to 24-bit BGR (Wine's, from palettes and
  // 48-bit RGB), the way to 32-bit BGRA, keeping alpha only if any shows.
  bool opaque_unless_shown = low_depth;
  auto copy = [&](IWICBitmapSource* from) {
    HRESULT result = CopyRows(factory, from, alpha, photo);
    if (result == WINCODEC_ERR_UNSUPPORTEDOPERATION && !alpha) {
      result = CopyRows(factory, from, true, photo);
      opaque_unless_shown = true;
    }
    return result;
  };
  hr = copy(source);
  if (hr == E_NOTIMPL && source != colour) {
    // A flip-rotator that cannot turn (Wine's): the pixels as stored,
    // turned here.
    hr = copy(colour);
    if (SUCCEEDED(hr)) TurnUpright(photo->orientation, &photo->image, &photo->alpha);
  }
  if (FAILED(hr)) return hr;
  // The EXIF block and XMP packet made to describe the upright picture.
  std::string problem;
  MakeMetadataUpright(&photo->metadata, photo->image.width, photo->image.height, &problem);
  if (!problem.empty()) photo->notes.push_back(problem);
  if (photo->metadata.thumbnail_side > 0) {
    photo->notes.push_back(
        "its EXIF thumbnail shows the old pixels and is not carried: the Windows build cannot "
        "remake it (a file browser makes its own preview)");
  }
  // A palette may hold transparent entries; one that holds none is no alpha.
  const std::vector<uint8_t>& plane = photo->alpha;
  if (opaque_unless_shown && std::all_of(plane.begin(), plane.end(), [](uint8_t a) { return a == 255; })) {
    photo->alpha.clear();
  }
  return hr;
}

const GUID& Container(PhotoFormat format) {
  switch (format) {
    case PhotoFormat::kJpeg: return GUID_ContainerFormatJpeg;
    case PhotoFormat::kBmp: return GUID_ContainerFormatBmp;
    case PhotoFormat::kTiff: return GUID_ContainerFormatTiff;
    case PhotoFormat::kPng: break;
  }
  return GUID_ContainerFormatPng;
}

// One encoder option; an encoder that does not know it keeps its default.
void SetOption(IPropertyBag2* bag, const wchar_t* name, const VARIANT& value) {
  PROPBAG2 option = {};
  option.pstrName = const_cast<wchar_t*>(name);
  VARIANT copy = value;
  bag->Write(1, &option, &copy);
}

// WIC's chroma subsampling for a JPEG's (luma samples to a chroma sample
// across and down).
WICJpegYCrCbSubsamplingOption Subsampling(const JpegEncoding& jpeg) {
  if (jpeg.subsampling_x == 2 && jpeg.subsampling_y == 2) return WICJpegYCrCbSubsampling420;
  if (jpeg.subsampling_x == 2 && jpeg.subsampling_y == 1) return WICJpegYCrCbSubsampling422;
  if (jpeg.subsampling_x == 1 && jpeg.subsampling_y == 2) return WICJpegYCrCbSubsampling440;
  if (jpeg.subsampling_x == 1 && jpeg.subsampling_y == 1) return WICJpegYCrCbSubsampling444;
  return WICJpegYCrCbSubsamplingDefault;
}

// gray: written as one gray channel (the rows are gray, and so was the file).
HRESULT Encode(IWICImagingFactory* factory, const Photo& photo, const EncodeOptions& options, bool with_alpha,
               bool gray, IStream* stream) {
  const Image& image = photo.image;
  const size_t pixels = static_cast<size_t>(image.width) * image.height;
  ScopedComPtr<IWICBitmapEncoder> encoder;
  HRESULT hr = factory->CreateEncoder(Container(options.format), nullptr, encoder.Out());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
  ScopedComPtr<IWICBitmapFrameEncode> frame;
  ScopedComPtr<IPropertyBag2> bag;
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.Out(), bag.Out());
  if (FAILED(hr)) return hr;
  VARIANT value;
  VariantInit(&value);
  if (options.format == PhotoFormat::kJpeg) {
    // A JPEG's own quality where asked, and its chroma subsampling (a gray
    // one had no chroma: the encoder's default then).
    const bool like_source = options.jpeg_like_source && photo.jpeg.quality > 0;
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(like_source ? photo.jpeg.quality : options.quality) / 100.0f;
    SetOption(bag.get(), L"ImageQuality", value);
    if (photo.jpeg.quality > 0 && !photo.gray) {  // never less colour resolution than the source's
      value.vt = VT_UI1;
      value.bVal = static_cast<BYTE>(Subsampling(photo.jpeg));
      SetOption(bag.get(), L"JpegYCrCbSubsampling", value);
    }
  } else if (options.format == PhotoFormat::kTiff) {
    // A TIFF's own compression (photo/tiff_directory), else LZW.
    const int kept = TiffCompressionKept(photo.tiff_compression);
    const WICTiffCompressionOption compression = kept == 1       ? WICTiffCompressionNone
                                                 : kept == 8     ? WICTiffCompressionZIP
                                                 : kept == 32773 ? WICTiffCompressionRLE
                                                                 : WICTiffCompressionLZW;
    value.vt = VT_UI1;
    value.bVal = static_cast<BYTE>(compression);
    SetOption(bag.get(), L"TiffCompressionMethod", value);
  } else if (options.format == PhotoFormat::kBmp && with_alpha) {
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    SetOption(bag.get(), L"EnableV5Header32bppBGRA", value);
  }
  if (FAILED(hr = frame->Initialize(bag.get()))) return hr;
  if (FAILED(hr = frame->SetSize(image.width, image.height))) return hr;
  if (photo.dpi_x > 0 && photo.dpi_y > 0 && FAILED(hr = frame->SetResolution(photo.dpi_x, photo.dpi_y))) return hr;
  WICPixelFormatGUID format = with_alpha ? GUID_WICPixelFormat32bppBGRA
                              : gray     ? GUID_WICPixelFormat8bppGray
                                         : GUID_WICPixelFormat24bppBGR;
  if (FAILED(hr = frame->SetPixelFormat(&format))) return hr;

  if (options.format == PhotoFormat::kTiff && options.keep_metadata && !photo.metadata.icc.empty() &&
      ProfileFits(photo.metadata.icc, gray)) {
    // Kept where the encoder takes a colour context (see MetadataLeftOut);
    // JPEG and PNG get theirs with the other blocks, after encoding.
    ScopedComPtr<IWICColorContext> context;
    if (SUCCEEDED(factory->CreateColorContext(context.Out())) &&
        SUCCEEDED(context->InitializeFromMemory(photo.metadata.icc.data(),
                                                static_cast<UINT>(photo.metadata.icc.size())))) {
      IWICColorContext* contexts[] = {context.get()};
      frame->SetColorContexts(1, contexts);
    }
  }

  // The rows as a bitmap in memory; WriteSource converts them to the
  // frame's pixel format where the encoder asked for another one.
  std::vector<uint8_t> rows;
  const uint8_t* data = image.bgr.data();
  UINT stride = image.width * 3;
  const WICPixelFormatGUID* source_format = &GUID_WICPixelFormat24bppBGR;
  if (gray) {
    rows.resize(pixels);
    for (size_t i = 0; i < pixels; ++i) rows[i] = image.bgr[i * 3];
    data = rows.data();
    stride = image.width;
    source_format = &GUID_WICPixelFormat8bppGray;
  } else if (with_alpha) {
    rows.resize(pixels * 4);
    for (size_t i = 0; i < pixels; ++i) {
      std::memcpy(&rows[i * 4], &image.bgr[i * 3], 3);
      rows[i * 4 + 3] = photo.alpha[i];
    }
    data = rows.data();
    stride = image.width * 4;
    source_format = &GUID_WICPixelFormat32bppBGRA;
  }
  ScopedComPtr<IWICBitmap> bitmap;
  hr = factory->CreateBitmapFromMemory(image.width, image.height, *source_format, stride,
                                       static_cast<UINT>(stride * image.height), const_cast<BYTE*>(data),
                                       bitmap.Out());
  if (SUCCEEDED(hr)) hr = frame->WriteSource(bitmap.get(), nullptr);
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  return hr;
}

HRESULT StreamBytes(IStream* stream, std::vector<uint8_t>* bytes) {
  HGLOBAL memory = nullptr;
  HRESULT hr = GetHGlobalFromStream(stream, &memory);
  STATSTG stat = {};
  if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  const void* data = GlobalLock(memory);
  if (!data) return E_OUTOFMEMORY;
  const uint8_t* begin = static_cast<const uint8_t*>(data);
  bytes->assign(begin, begin + static_cast<size_t>(stat.cbSize.QuadPart));
  GlobalUnlock(memory);
  return S_OK;
}

}  // namespace

bool JpegProgressiveWritable() { return false; }

bool PhotoFormatWritable(PhotoFormat format) {
  ScopedCom com;
  ScopedComPtr<IWICImagingFactory> factory;
  ScopedComPtr<IWICBitmapEncoder> encoder;
  return SUCCEEDED(Factory(&factory)) &&
         SUCCEEDED(factory->CreateEncoder(Container(format), nullptr, encoder.Out()));
}

const char* PhotoCodecLimits() {
  return "Windows build (WIC codecs):\n"
         "  EXIF, IPTC, XMP and the comment are read from JPEG and PNG files and written into JPEG and\n"
         "  PNG files (a JPEG segment holds at most 64 KB: a larger block is left out); a TIFF or BMP\n"
         "  file is written without them, and each picture says which it had. Of TIFF and other files,\n"
         "  only the ICC profile is read (--in-place leaves a TIFF file that has more as it is).\n"
         "  The ICC profile is kept in JPEG and PNG, and in TIFF where the Windows encoder takes a colour\n"
         "  context (not under Wine).\n"
         "  A gray picture with alpha is written in colour.\n"
         "  A JPEG from a JPEG is asked for its quality and chroma subsampling and written baseline;\n"
         "  each output is read back, and a picture says where the encoder wrote less (Wine's writes\n"
         "  its own quality); --in-place then leaves a picture as it was rather than lower it.\n"
         "  BMP keeps alpha only where WIC writes version-5 BMP headers (Windows 8 and later).\n"
         "  JPEG input: the decoder is Windows' own, so pixels differ slightly from the Linux build's.\n";
}

bool ReadPhotoWith(IWICImagingFactory* factory, const std::string& path, Photo* photo, std::string* error) {
  *photo = Photo();
  // The system's reason first: WIC's messages for a missing file are vague.
  FILE* file = OpenFile(path, "rb");
  if (!file) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  std::fclose(file);
  const HRESULT hr = Decode(factory, path, photo);
  if (FAILED(hr)) {
    *error = path + ": cannot be read as a picture (" + Reason(hr) + ")";
    *photo = Photo();
    return false;
  }
  return true;
}

bool ReadPhoto(const std::string& path, Photo* photo, std::string* error) {
  ScopedCom com;
  ScopedComPtr<IWICImagingFactory> factory;
  const HRESULT hr = Factory(&factory);
  if (FAILED(hr)) {
    *photo = Photo();
    *error = path + ": cannot be read as a picture (" + Reason(hr) + ")";
    return false;
  }
  return ReadPhotoWith(factory.get(), path, photo, error);
}

bool EncodePhoto(const Photo& photo, const EncodeOptions& options, std::vector<uint8_t>* bytes, std::string* error) {
  if (!EncodeRequestValid(photo, options, error)) return false;
  const bool with_alpha = !photo.alpha.empty() && options.format != PhotoFormat::kJpeg;
  // One gray channel where the file had one and the picture is still gray;
  // BMP is written in colour (its 8-bit form is a palette).
  const bool gray = photo.gray && !with_alpha && options.format != PhotoFormat::kBmp && AllGray(photo.image);
  ScopedCom com;
  ScopedComPtr<IWICImagingFactory> factory;
  ScopedComPtr<IStream> stream;
  HRESULT hr = Factory(&factory);
  if (SUCCEEDED(hr)) hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
  if (SUCCEEDED(hr)) hr = Encode(factory.get(), photo, options, with_alpha, gray, stream.get());
  if (SUCCEEDED(hr)) hr = StreamBytes(stream.get(), bytes);
  if (FAILED(hr)) {
    *error = std::string("cannot encode as ") + PhotoFormatName(options.format) + " (" + Reason(hr) + ")";
    return false;
  }
  // A TIFF file without its rows per strip (Wine's encoder leaves the tag
  // out) is invalid: the encoder writes one strip, all the rows.
  if (options.format == PhotoFormat::kTiff) {
    TiffTag rows;
    rows.tag = 278;
    rows.type = 4;
    rows.number = static_cast<uint32_t>(photo.image.height);
    if (!AddTiffTags(bytes, 0, {rows})) {
      *error = "cannot encode as tiff (the encoder's output is no TIFF structure)";
      return false;
    }
  }
  // The blocks WIC does not write (MetadataLeftOut names what cannot be
  // held), the ICC profile where it describes the rows written; a PNG's
  // text in its XMP and EXIF places in a JPEG.
  const bool jpeg = options.format == PhotoFormat::kJpeg;
  if (!options.keep_metadata || (!jpeg && options.format != PhotoFormat::kPng)) return true;
  PhotoMetadata kept = photo.metadata;
  if (!ProfileFits(kept.icc, gray)) kept.icc.clear();
  if (jpeg) PutPngTextInPlace(&kept);
  if (!(jpeg ? AddJpegMetadata(bytes, kept) : AddPngMetadata(bytes, kept))) {
    *error = std::string("cannot encode as ") + PhotoFormatName(options.format) +
             " (the encoder's output has no place for the metadata)";
    return false;
  }
  return true;
}
