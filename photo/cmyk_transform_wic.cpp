// Whether WIC's colour transform really goes through a CMYK profile is
// found out by what it does, not by asking which system this is: a few
// patches of ink go through it and through the format converter, and a
// transform that fails, gives the converter's bytes, or gives colours no
// CMYK profile would (paper not lighter than full ink, cyan not the least
// red) is not used.
#include "photo/cmyk_transform_wic.h"

#include <cstring>

namespace {

// 32-bit CMYK patches, ink amounts: paper, full ink, cyan, magenta,
// yellow, half of each.
const uint8_t kPatches[][4] = {{0, 0, 0, 0},   {255, 255, 255, 255}, {255, 0, 0, 0},
                               {0, 255, 0, 0}, {0, 0, 255, 0},       {128, 128, 128, 128}};
const UINT kPatchCount = sizeof(kPatches) / sizeof(kPatches[0]);

HRESULT SrgbContext(IWICImagingFactory* factory, ScopedComPtr<IWICColorContext>* out) {
  HRESULT hr = factory->CreateColorContext(out->Out());
  if (SUCCEEDED(hr)) hr = (*out)->InitializeFromExifColorSpace(1);  // 1: sRGB
  return hr;
}

HRESULT ProfileContext(IWICImagingFactory* factory, const std::vector<uint8_t>& profile,
                       ScopedComPtr<IWICColorContext>* out) {
  HRESULT hr = factory->CreateColorContext(out->Out());
  if (SUCCEEDED(hr)) hr = (*out)->InitializeFromMemory(profile.data(), static_cast<UINT>(profile.size()));
  return hr;
}

// The patches as 24-bit BGR, through the colour transform when
// `transform`, else through the format converter.
bool Probe(IWICImagingFactory* factory, IWICColorContext* from, IWICColorContext* to, bool transform,
           uint8_t (*bgr)[3 * kPatchCount]) {
  ScopedComPtr<IWICBitmap> patches;
  if (FAILED(factory->CreateBitmapFromMemory(kPatchCount, 1, GUID_WICPixelFormat32bppCMYK, 4 * kPatchCount,
                                             sizeof(kPatches), const_cast<uint8_t*>(&kPatches[0][0]),
                                             patches.Out()))) {
    return false;
  }
  ScopedComPtr<IWICColorTransform> through;
  ScopedComPtr<IWICFormatConverter> converter;
  IWICBitmapSource* source = nullptr;
  HRESULT hr;
  if (transform) {
    hr = factory->CreateColorTransformer(through.Out());
    if (SUCCEEDED(hr)) hr = through->Initialize(patches.get(), from, to, GUID_WICPixelFormat24bppBGR);
    source = through.get();
  } else {
    hr = factory->CreateFormatConverter(converter.Out());
    if (SUCCEEDED(hr)) {
      hr = converter->Initialize(patches.get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                 WICBitmapPaletteTypeCustom);
    }
    source = converter.get();
  }
  WICPixelFormatGUID format = {};
  if (SUCCEEDED(hr)) hr = source->GetPixelFormat(&format);
  if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) hr = E_FAIL;
  if (SUCCEEDED(hr)) hr = source->CopyPixels(nullptr, 3 * kPatchCount, sizeof(*bgr), *bgr);
  return SUCCEEDED(hr);
}

// Colours a CMYK profile could give the patches: paper lighter than full
// ink in every channel, and cyan ink with less red than green and blue.
bool LikeAProfile(const uint8_t (&bgr)[3 * kPatchCount]) {
  const uint8_t* paper = &bgr[0];
  const uint8_t* ink = &bgr[3];
  const uint8_t* cyan = &bgr[6];
  for (int i = 0; i < 3; ++i) {
    if (paper[i] <= ink[i]) return false;
  }
  return cyan[2] < cyan[1] && cyan[2] < cyan[0];
}

}  // namespace

bool CmykThroughProfile(IWICImagingFactory* factory, IWICBitmapSource* cmyk, const std::vector<uint8_t>& profile,
                        ScopedComPtr<IWICColorTransform>* out) {
  out->Reset();
  WICPixelFormatGUID format = {};
  if (FAILED(cmyk->GetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat32bppCMYK)) return false;
  ScopedComPtr<IWICColorContext> from, to;
  if (profile.empty() || FAILED(ProfileContext(factory, profile, &from)) || FAILED(SrgbContext(factory, &to))) {
    return false;
  }
  uint8_t through[3 * kPatchCount] = {}, plain[3 * kPatchCount] = {};
  if (!Probe(factory, from.get(), to.get(), true, &through) ||
      !Probe(factory, from.get(), to.get(), false, &plain) || std::memcmp(through, plain, sizeof(through)) == 0 ||
      !LikeAProfile(through)) {
    return false;
  }
  ScopedComPtr<IWICColorTransform> transform;
  if (FAILED(factory->CreateColorTransformer(transform.Out())) ||
      FAILED(transform->Initialize(cmyk, from.get(), to.get(), GUID_WICPixelFormat24bppBGR))) {
    return false;
  }
  *out = std::move(transform);
  return true;
}
