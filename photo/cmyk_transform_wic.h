// A CMYK picture through its embedded ICC profile on Windows: WIC's colour
// transform from the profile to sRGB, where the system has a working one.
#ifndef CHROMALINE_PHOTO_CMYK_TRANSFORM_WIC_H_
#define CHROMALINE_PHOTO_CMYK_TRANSFORM_WIC_H_

#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <vector>

#include "base/scoped_win32.h"

// A source giving `cmyk`'s pixels as 24-bit BGR in sRGB through `profile`.
// False, with *out empty, when the system cannot do it: the pixels are not
// 8-bit CMYK without alpha (the kind the transform is tried on), the
// profile is refused, the transform fails, or it does not transform
// (Wine's hands over the plain conversion); the caller then converts by
// the plain rule and says so.
bool CmykThroughProfile(IWICImagingFactory* factory, IWICBitmapSource* cmyk, const std::vector<uint8_t>& profile,
                        ScopedComPtr<IWICColorTransform>* out);

#endif  // CHROMALINE_PHOTO_CMYK_TRANSFORM_WIC_H_
