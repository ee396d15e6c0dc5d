// The bitmap transfer on Windows: GDI converts the host's bitmap, whatever
// its own format, into the 24-bit bottom-up layout our header asks for, and
// back again.
#include <windows.h>

#include <cstring>

#include "filters/engine/bitmap_transfer.h"

namespace {

BITMAPINFOHEADER PreparedHeader(int width, int height) {
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(RowStride(width, 24) * static_cast<uint64_t>(height));
  return header;
}

HBITMAP AsBitmap(BitmapHandle bitmap) { return reinterpret_cast<HBITMAP>(bitmap); }

}  // namespace

PixelBuffer ReadBitmapPixels(BitmapHandle bitmap) {
  if (bitmap == 0) return PixelBuffer();
  BITMAP info = {};
  if (GetObjectA(AsBitmap(bitmap), sizeof info, &info) == 0) return PixelBuffer();
  // CreatePixelBuffer refuses sizes below 1 and blocks that would not fit.
  PixelBuffer buffer = CreatePixelBuffer(info.bmWidth, info.bmHeight, 24);
  if (!buffer) return buffer;

  const BITMAPINFOHEADER prepared = PreparedHeader(info.bmWidth, info.bmHeight);
  std::memcpy(buffer.block(), &prepared, sizeof prepared);
  HDC screen = GetDC(nullptr);
  BITMAPINFO* header = reinterpret_cast<BITMAPINFO*>(buffer.block());
  // The first call lets GDI fill in the header; ours goes back on top.
  GetDIBits(screen, AsBitmap(bitmap), 0, static_cast<UINT>(info.bmHeight), nullptr, header, DIB_RGB_COLORS);
  std::memcpy(buffer.block(), &prepared, sizeof prepared);
  GetDIBits(screen, AsBitmap(bitmap), 0, static_cast<UINT>(info.bmHeight), buffer.pixels(), header, DIB_RGB_COLORS);
  std::memcpy(buffer.block(), &prepared, sizeof prepared);
  ReleaseDC(nullptr, screen);
  return buffer;
}

bool ReadBitmapRows(BitmapHandle bitmap, int width, int height, int first, int count, unsigned char* out) {
  if (bitmap == 0 || first < 0 || count < 1 || first > height - count) return false;
  BITMAP info = {};
  if (GetObjectA(AsBitmap(bitmap), sizeof info, &info) == 0) return false;
  if (info.bmWidth != width || info.bmHeight != height) return false;
  // The header of the whole picture, so that scan lines count as in
  // ReadBitmapPixels: from the bottom.
  BITMAPINFO header = {};
  header.bmiHeader = PreparedHeader(width, height);
  HDC screen = GetDC(nullptr);
  const int copied = GetDIBits(screen, AsBitmap(bitmap), static_cast<UINT>(height - first - count),
                               static_cast<UINT>(count), out, &header, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return copied == count;
}

void WriteBitmapPixels(BitmapHandle bitmap, const PixelBuffer& buffer) {
  if (bitmap == 0 || !buffer) return;
  SetDIBits(nullptr, AsBitmap(bitmap), 0, static_cast<UINT>(buffer.height()), buffer.pixels(),
            reinterpret_cast<const BITMAPINFO*>(buffer.block()), DIB_RGB_COLORS);
}
