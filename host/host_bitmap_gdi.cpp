// Host bitmaps as GDI objects: DIB sections of 24 and 32 bits and a
// device-dependent bitmap compatible with the screen.
#include <windows.h>

#include <cstring>

#include "host/host_bitmap.h"

namespace {

// A top-down 24-bit BITMAPINFO for moving an Image in and out of GDI.
BITMAPINFO TopDownInfo(int width, int height, int bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bits);
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

std::vector<uint8_t> PaddedRows(const Image& image) {
  const size_t stride = (static_cast<size_t>(image.width) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> rows(stride * image.height);
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(&rows[stride * y], image.pixel(0, y), static_cast<size_t>(image.width) * 3);
  }
  return rows;
}

class GdiBitmap : public HostBitmap {
 public:
  GdiBitmap(HBITMAP bitmap, int width, int height) : bitmap_(bitmap), width_(width), height_(height) {}
  ~GdiBitmap() override { DeleteObject(bitmap_); }

  uintptr_t handle() const override { return reinterpret_cast<uintptr_t>(bitmap_); }

  Image Read() const override {
    Image image;
    image.width = width_;
    image.height = height_;
    BITMAPINFO info = TopDownInfo(width_, height_, 24);
    const size_t stride = (static_cast<size_t>(width_) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> rows(stride * height_);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap_, 0, static_cast<UINT>(height_), rows.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    image.bgr.resize(static_cast<size_t>(width_) * height_ * 3);
    for (int y = 0; y < height_; ++y) {
      std::memcpy(image.pixel(0, y), &rows[stride * y], static_cast<size_t>(width_) * 3);
    }
    return image;
  }

 private:
  HBITMAP bitmap_;
  int width_;
  int height_;
};

}  // namespace

std::unique_ptr<HostBitmap> HostBitmap::Create(const Image& image, Kind kind) {
  if (image.width < 1 || image.height < 1) return nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = nullptr;
  if (kind == Kind::kDeviceDependent) {
    bitmap = CreateCompatibleBitmap(screen, image.width, image.height);
  } else {
    BITMAPINFO info = TopDownInfo(image.width, image.height, kind == Kind::kDib24 ? 24 : 32);
    info.bmiHeader.biHeight = image.height;  // DIB sections bottom-up, as most hosts make them
    void* bits = nullptr;
    bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  }
  if (bitmap != nullptr) {
    BITMAPINFO info = TopDownInfo(image.width, image.height, 24);
    const std::vector<uint8_t> rows = PaddedRows(image);
    SetDIBits(screen, bitmap, 0, static_cast<UINT>(image.height), rows.data(), &info, DIB_RGB_COLORS);
  }
  ReleaseDC(nullptr, screen);
  if (bitmap == nullptr) return nullptr;
  return std::make_unique<GdiBitmap>(bitmap, image.width, image.height);
}
