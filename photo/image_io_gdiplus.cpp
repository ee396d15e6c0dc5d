// File: photo/image_io_gdiplus.cpp
//
// Picture files on Windows, through GDI+ (flat API): any format GDI+ reads
// comes in; PNG and BMP go out.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>

#include <algorithm>
using std::max;
using std::min;

#include <algorithm>
#include <cstring>
#include <vector>

#include <gdiplus.h>

#include "photo/image.h"

namespace {

using namespace Gdiplus;

// {557CF406-1A04-11D3-9A73-0000F81EF32E} and {557CF400-...}.
const CLSID kPngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
const CLSID kBmpEncoder = {0x557cf400, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

class GdiplusSession {
 public:
  GdiplusSession() {
    GdiplusStartupInput input = {};
    input.GdiplusVersion = 1;
    ok_ = GdiplusStartup(&token_, &input, nullptr) == Ok;
  }
  ~GdiplusSession() {
    if (ok_) GdiplusShutdown(token_);
  }
  bool ok() const { return ok_; }

 private:
  ULONG_PTR token_ = 0;
  bool ok_ = false;
};

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
  wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
  return wide;
}

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  return std::equal(text.end() - static_cast<std::ptrdiff_t>(n), text.end(), suffix,
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

}  // namespace

bool LoadImageFile(const std::string& path, ::Image* image, std::string* error) {
  GdiplusSession session;
  if (!session.ok()) {
    *error = "GDI+ cannot be started";
    return false;
  }
  GpBitmap* bitmap = nullptr;
  Status status = DllExports::GdipCreateBitmapFromFile(Wide(path).c_str(), &bitmap);
  if (status != Ok) {
    *error = path + ": cannot be read as a picture (GDI+ status " + std::to_string(status) + ")";
    return false;
  }
  UINT width = 0, height = 0;
  DllExports::GdipGetImageWidth(bitmap, &width);
  DllExports::GdipGetImageHeight(bitmap, &height);
  GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  BitmapData data = {};
  status = DllExports::GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead, PixelFormat24bppRGB, &data);
  if (status == Ok) {
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->bgr.resize(static_cast<size_t>(width) * height * 3);
    for (UINT y = 0; y < height; ++y) {
      std::memcpy(image->pixel(0, static_cast<int>(y)), static_cast<uint8_t*>(data.Scan0) + y * data.Stride,
                  static_cast<size_t>(width) * 3);
    }
    DllExports::GdipBitmapUnlockBits(bitmap, &data);
  } else {
    *error = path + ": pixels cannot be read (GDI+ status " + std::to_string(status) + ")";
  }
  DllExports::GdipDisposeImage(bitmap);
  return status == Ok;
}

bool SaveImageFile(const std::string& path, const ::Image& image, std::string* error) {
  const CLSID* encoder = EndsWith(path, ".bmp") ? &kBmpEncoder : EndsWith(path, ".png") ? &kPngEncoder : nullptr;
  if (encoder == nullptr) {
    *error = path + ": unknown picture type (use .png or .bmp)";
    return false;
  }
  GdiplusSession session;
  if (!session.ok()) {
    *error = "GDI+ cannot be started";
    return false;
  }
  const INT stride = (image.width * 3 + 3) & ~3;
  std::vector<uint8_t> rows(static_cast<size_t>(stride) * image.height);
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(&rows[static_cast<size_t>(stride) * y], image.pixel(0, y), static_cast<size_t>(image.width) * 3);
  }
  GpBitmap* bitmap = nullptr;
  Status status = DllExports::GdipCreateBitmapFromScan0(image.width, image.height, stride, PixelFormat24bppRGB,
                                                        rows.data(), &bitmap);
  if (status == Ok) {
    status = DllExports::GdipSaveImageToFile(bitmap, Wide(path).c_str(), encoder, nullptr);
    DllExports::GdipDisposeImage(bitmap);
  }
  if (status != Ok) *error = path + ": cannot be written (GDI+ status " + std::to_string(status) + ")";
  return status == Ok;
}
