// The metadata the Windows build keeps. EXIF, IPTC, XMP, the comment and
// the ICC profile of JPEG and PNG files are read from the file's bytes
// (the decoder's ICC profile first, for every format) and written into the
// bytes WIC encoded for JPEG and PNG output (photo/jpeg_segments,
// photo/png_chunks), a JPEG block only where it fits its segments. TIFF
// output gets the ICC profile alone, where the system's TIFF encoder takes
// a colour context; BMP nothing.
#include <windows.h>
#include <wincodec.h>

#include "base/scoped_win32.h"
#include "photo/codec_rules.h"
#include "photo/jpeg_segments.h"
#include "photo/photo_io.h"
#include "photo/png_chunks.h"

namespace {

// Whether the system's TIFF encoder takes this profile as a colour context
// (Wine's refuses every one); asked once, of the first profile.
bool TiffTakesProfile(const std::vector<uint8_t>& icc) {
  static const bool takes = [&icc] {
    ScopedCom com;
    ScopedComPtr<IWICImagingFactory> factory;
    ScopedComPtr<IStream> stream;
    ScopedComPtr<IWICBitmapEncoder> encoder;
    ScopedComPtr<IWICBitmapFrameEncode> frame;
    ScopedComPtr<IPropertyBag2> bag;
    ScopedComPtr<IWICColorContext> context;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(factory.Out()));
    if (SUCCEEDED(hr)) hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatTiff, nullptr, encoder.Out());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.Out(), bag.Out());
    if (SUCCEEDED(hr)) hr = frame->Initialize(bag.get());
    if (SUCCEEDED(hr)) hr = factory->CreateColorContext(context.Out());
    if (SUCCEEDED(hr)) hr = context->InitializeFromMemory(icc.data(), static_cast<UINT>(icc.size()));
    IWICColorContext* contexts[] = {context.get()};
    if (SUCCEEDED(hr)) hr = frame->SetColorContexts(1, contexts);
    return SUCCEEDED(hr);
  }();
  return takes;
}

}  // namespace

std::string MetadataLeftOut(const Photo& photo, const EncodeOptions& options) {
  if (!options.keep_metadata) return "";
  const PhotoMetadata& m = photo.metadata;
  if (options.format == PhotoFormat::kPng) return "";
  const bool jpeg = options.format == PhotoFormat::kJpeg;
  std::string text = jpeg ? JpegMetadataTooLarge(m) : "";
  const std::string png_text = PngTextWithoutPlace(m, jpeg);
  if (jpeg) {
    if (!png_text.empty()) AddToList(&text, png_text);
    return text;
  }
  if (!m.exif.empty()) AddToList(&text, "EXIF");
  if (!m.iptc.empty()) AddToList(&text, "IPTC");
  if (!m.xmp.empty()) AddToList(&text, "XMP");
  if (!m.comment.empty()) AddToList(&text, "comment");
  if (!m.icc.empty() && (options.format == PhotoFormat::kBmp || !TiffTakesProfile(m.icc))) {
    AddToList(&text, "ICC profile");
  }
  if (!png_text.empty()) AddToList(&text, png_text);
  return text;
}
