// The Windows build's choice of WIC's colour transform for CMYK, with a
// stand-in transform in place of the system's (Wine's never transforms, so
// the way through a profile cannot be met there otherwise): one that acts
// like a profile is used, one that hands back the format converter's bytes
// or gives colours no CMYK profile would is not, nor is any on CMYK it
// was not tried on; a picture read through one that is comes out in its
// colours, turned upright. The real transform under Wine:
// tests/cli/metadata.sh.
#include <windows.h>
#include <wincodec.h>

#include <cstring>
#include <vector>

#include "gtest/gtest.h"
#include "photo/cmyk_transform_wic.h"
#include "photo/photo_io_wic.h"
#include "tests/photo/photo_samples.h"
#include "tests/support/test_support.h"

namespace {

enum class Acts { kLikeAProfile, kPlain, kCyanReddest, kBlueAsRed, kRedFlat };

// Converts to 24-bit BGR with WIC's format converter, then acts as told;
// refuses what it was not asked for (a destination other than sRGB).
class StandInTransform final : public IWICColorTransform {
 public:
  StandInTransform(IWICImagingFactory* factory, Acts acts) : factory_(factory), acts_(acts) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IWICBitmapSource) &&
        !IsEqualIID(iid, IID_IWICColorTransform)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Initialize(IWICBitmapSource* source, IWICColorContext* from, IWICColorContext* to,
                                       REFWICPixelFormatGUID format) override {
    WICColorContextType from_type, to_type;
    UINT space = 0;
    if (FAILED(from->GetType(&from_type)) || from_type != WICColorContextProfile || FAILED(to->GetType(&to_type)) ||
        to_type != WICColorContextExifColorSpace || FAILED(to->GetExifColorSpace(&space)) || space != 1 ||
        !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
      return E_INVALIDARG;
    }
    HRESULT hr = factory_->CreateFormatConverter(&converter_);
    if (SUCCEEDED(hr)) {
      hr = converter_->Initialize(source, format, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
    return converter_->GetSize(width, height);
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
    return converter_->GetPixelFormat(format);
  }
  HRESULT STDMETHODCALLTYPE GetResolution(double* x, double* y) override { return converter_->GetResolution(x, y); }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override { return WINCODEC_ERR_PALETTEUNAVAILABLE; }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size, BYTE* bgr) override {
    const HRESULT hr = converter_->CopyPixels(rect, stride, size, bgr);
    for (UINT i = 0; SUCCEEDED(hr) && i + 2 < size; i += 3) {
      if (acts_ == Acts::kLikeAProfile) {
        for (int c = 0; c < 3; ++c) bgr[i + c] = static_cast<BYTE>(bgr[i + c] / 2 + 64);  // paper and ink toned
      } else if (acts_ == Acts::kCyanReddest) {
        std::swap(bgr[i], bgr[i + 2]);
      } else if (acts_ == Acts::kBlueAsRed) {
        bgr[i] = bgr[i + 2];  // cyan comes out green
      } else if (acts_ == Acts::kRedFlat) {
        bgr[i + 2] = 128;  // paper as red as ink
      }
    }
    return hr;
  }

 private:
  virtual ~StandInTransform() {
    if (converter_) converter_->Release();
  }
  IWICImagingFactory* factory_;
  Acts acts_;
  IWICFormatConverter* converter_ = nullptr;
  ULONG references_ = 1;
};

// The system's factory, but for the colour transforms it makes.
class StandInFactory : public IWICImagingFactory {
 public:
  StandInFactory(IWICImagingFactory* real, Acts acts) : real_(real), acts_(acts) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateColorTransformer(IWICColorTransform** out) override {
    *out = new StandInTransform(real_, acts_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateColorContext(IWICColorContext** out) override {
    return real_->CreateColorContext(out);
  }
  HRESULT STDMETHODCALLTYPE CreateFormatConverter(IWICFormatConverter** out) override {
    return real_->CreateFormatConverter(out);
  }
  HRESULT STDMETHODCALLTYPE CreateBitmapFromMemory(UINT width, UINT height, REFWICPixelFormatGUID format,
                                                   UINT stride, UINT size, BYTE* bytes, IWICBitmap** out) override {
    return real_->CreateBitmapFromMemory(width, height, format, stride, size, bytes, out);
  }
  HRESULT STDMETHODCALLTYPE CreateDecoderFromFilename(LPCWSTR name, const GUID* vendor, DWORD access,
                                                      WICDecodeOptions options, IWICBitmapDecoder** out) override {
    return real_->CreateDecoderFromFilename(name, vendor, access, options, out);
  }
  HRESULT STDMETHODCALLTYPE CreateComponentInfo(REFCLSID id, IWICComponentInfo** out) override {
    return real_->CreateComponentInfo(id, out);
  }
  HRESULT STDMETHODCALLTYPE CreateBitmapFlipRotator(IWICBitmapFlipRotator** out) override {
    return real_->CreateBitmapFlipRotator(out);
  }
  // Nothing else is asked for by the reader.
  HRESULT STDMETHODCALLTYPE CreateDecoderFromStream(IStream*, const GUID*, WICDecodeOptions,
                                                    IWICBitmapDecoder**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateDecoderFromFileHandle(ULONG_PTR, const GUID*, WICDecodeOptions,
                                                        IWICBitmapDecoder**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateDecoder(REFGUID, const GUID*, IWICBitmapDecoder**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateEncoder(REFGUID, const GUID*, IWICBitmapEncoder**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreatePalette(IWICPalette**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateBitmapScaler(IWICBitmapScaler**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateBitmapClipper(IWICBitmapClipper**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateStream(IWICStream**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateBitmap(UINT, UINT, REFWICPixelFormatGUID, WICBitmapCreateCacheOption,
                                         IWICBitmap**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateBitmapFromSource(IWICBitmapSource*, WICBitmapCreateCacheOption,
                                                   IWICBitmap**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateBitmapFromSourceRect(IWICBitmapSource*, UINT, UINT, UINT, UINT,
                                                       IWICBitmap**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateBitmapFromHBITMAP(HBITMAP, HPALETTE, WICBitmapAlphaChannelOption,
                                                    IWICBitmap**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateBitmapFromHICON(HICON, IWICBitmap**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateComponentEnumerator(DWORD, DWORD, IEnumUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateFastMetadataEncoderFromDecoder(IWICBitmapDecoder*,
                                                                 IWICFastMetadataEncoder**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateFastMetadataEncoderFromFrameDecode(IWICBitmapFrameDecode*,
                                                                     IWICFastMetadataEncoder**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateQueryWriter(REFGUID, const GUID*, IWICMetadataQueryWriter**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateQueryWriterFromReader(IWICMetadataQueryReader*, const GUID*,
                                                        IWICMetadataQueryWriter**) override {
    return E_NOTIMPL;
  }

 private:
  IWICImagingFactory* real_;
  Acts acts_;
};

// 24-bit BGR rows of a source, `width` pixels a row.
std::vector<uint8_t> Rows(IWICBitmapSource* source, UINT width, UINT height) {
  std::vector<uint8_t> bgr(width * height * 3);
  EXPECT_EQ(source->CopyPixels(nullptr, width * 3, static_cast<UINT>(bgr.size()), bgr.data()), S_OK);
  return bgr;
}

// The system's imaging factory, COM started on the test's thread.
class CmykTransformWic : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                               reinterpret_cast<void**>(real_.Out())),
              S_OK);
  }
  ScopedComPtr<IWICImagingFactory> real_;
};

TEST_F(CmykTransformWic, UsedOnlyWhereItActsLikeAProfile) {
  // A CMYK printer profile's header and no tags: the stand-in reads none.
  std::vector<uint8_t> profile(132);
  profile[3] = 132;
  profile[8] = 2;
  std::memcpy(&profile[12], "prtrCMYKLab ", 12);
  std::memcpy(&profile[36], "acsp", 4);
  const UINT width = 5, height = 3;
  std::vector<uint8_t> ink(width * height * 8);
  for (size_t i = 0; i < ink.size(); ++i) ink[i] = static_cast<uint8_t>(i * 37 + 11);
  struct Case {
    const char* name;
    Acts acts;
    const GUID* format;
    bool used;
  };
  const Case cases[] = {
      {"like a profile", Acts::kLikeAProfile, &GUID_WICPixelFormat32bppCMYK, true},
      {"the converter's bytes (Wine)", Acts::kPlain, &GUID_WICPixelFormat32bppCMYK, false},
      {"cyan with the most red", Acts::kCyanReddest, &GUID_WICPixelFormat32bppCMYK, false},
      {"cyan with as much red as blue", Acts::kBlueAsRed, &GUID_WICPixelFormat32bppCMYK, false},
      {"paper as red as ink", Acts::kRedFlat, &GUID_WICPixelFormat32bppCMYK, false},
      {"16-bit CMYK, not tried", Acts::kLikeAProfile, &GUID_WICPixelFormat64bppCMYK, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StandInFactory factory(real_.get(), c.acts);
    const UINT stride = IsEqualGUID(*c.format, GUID_WICPixelFormat32bppCMYK) ? width * 4 : width * 8;
    ScopedComPtr<IWICBitmap> cmyk;
    ASSERT_EQ(
        real_->CreateBitmapFromMemory(width, height, *c.format, stride, stride * height, ink.data(), cmyk.Out()),
        S_OK);
    ScopedComPtr<IWICColorTransform> through;
    EXPECT_EQ(CmykThroughProfile(&factory, cmyk.get(), profile, &through), c.used);
    EXPECT_EQ(static_cast<bool>(through), c.used);
    if (!c.used || !through) continue;
    ScopedComPtr<IWICFormatConverter> plain;
    ASSERT_EQ(real_->CreateFormatConverter(plain.Out()), S_OK);
    ASSERT_EQ(plain->Initialize(cmyk.get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                WICBitmapPaletteTypeCustom),
              S_OK);
    std::vector<uint8_t> want = Rows(plain.get(), width, height);
    for (uint8_t& v : want) v = static_cast<uint8_t>(v / 2 + 64);
    EXPECT_EQ(Rows(through.get(), width, height), want);
  }
}

// The reader with a stand-in transform: its colours and no note where it
// acts like a profile, else the plain conversion and the note; upright
// either way (Wine's flip-rotator cannot turn: the rows are turned after).
TEST_F(CmykTransformWic, ThePictureIsReadThroughTheTransformChosen) {
  TempDir dir;
  const std::string kNote =
      "its CMYK colour profile is not used by the Windows build: converted to RGB by Windows' own rule, so the "
      "colours may differ from a conversion through the profile";
  for (int orientation : {1, 6}) {
    std::vector<uint8_t> jpeg = ReadBytes(std::string(CHROMALINE_SOURCE_DIR) + "/tests/data/photo/cmyk.jpg");
    ASSERT_TRUE(SetJpegOrientation(&jpeg, orientation));
    const std::string path = dir.File("cmyk" + std::to_string(orientation) + ".jpg");
    WriteBytes(path, jpeg);
    Photo plain, through;
    std::string error;
    ASSERT_TRUE(ReadPhotoWith(real_.get(), path, &plain, &error)) << error;
    EXPECT_EQ(plain.notes, std::vector<std::string>{kNote});  // Wine's own transform
    for (Acts acts : {Acts::kLikeAProfile, Acts::kPlain}) {
      SCOPED_TRACE("orientation " + std::to_string(orientation) + (acts == Acts::kPlain ? ", plain" : ""));
      StandInFactory factory(real_.get(), acts);
      ASSERT_TRUE(ReadPhotoWith(&factory, path, &through, &error)) << error;
      Image want = plain.image;
      if (acts == Acts::kLikeAProfile) {
        for (uint8_t& v : want.bgr) v = static_cast<uint8_t>(v / 2 + 64);
      }
      EXPECT_EQ(FirstDifferentPixel(through.image, want), "");
      EXPECT_EQ(through.notes, acts == Acts::kPlain ? std::vector<std::string>{kNote} : std::vector<std::string>{});
    }
  }
}

}  // namespace
